#include "TResultTable.h"

#include <cstring>

namespace {
constexpr std::uint64_t kNullBit = std::uint64_t(1) << 63;
}

TResultTable::TResultTable(std::vector<TResultColumn> columns) : fColumns(std::move(columns)) {}

void TResultTable::PushEnd(bool null)
{
    fEnds.push_back(std::uint64_t(fArena.size()) | (null ? kNullBit : 0));
}

void TResultTable::AppendNull()
{
    PushEnd(true);
}

void TResultTable::AppendText(QByteArrayView utf8)
{
    fArena.insert(fArena.end(), utf8.data(), utf8.data() + utf8.size());
    PushEnd(false);
}

void TResultTable::AppendBytes(QByteArrayView bytes)
{
    AppendText(bytes);
}

void TResultTable::AppendInteger(qint64 value)
{
    const char* p = reinterpret_cast<const char*>(&value);
    fArena.insert(fArena.end(), p, p + sizeof value);
    PushEnd(false);
}

void TResultTable::AppendDouble(double value)
{
    const char* p = reinterpret_cast<const char*>(&value);
    fArena.insert(fArena.end(), p, p + sizeof value);
    PushEnd(false);
}

void TResultTable::AppendBoolean(bool value)
{
    fArena.push_back(value ? 1 : 0);
    PushEnd(false);
}

void TResultTable::AppendDateTime(const QDateTime& value)
{
    AppendInteger(value.toMSecsSinceEpoch());
}

void TResultTable::EndRow()
{
    fRowStartCells = fEnds.size();
    fRowStartBytes = fArena.size();
    ++fRows;
}

void TResultTable::DiscardRow()
{
    fEnds.resize(fRowStartCells);
    fArena.resize(fRowStartBytes);
}

void TResultTable::Reserve(std::size_t rows, std::size_t bytes)
{
    fEnds.reserve(rows * fColumns.size());
    fArena.reserve(bytes);
}

void TResultTable::Squeeze()
{
    fEnds.shrink_to_fit();
    fArena.shrink_to_fit();
}

std::uint32_t TResultTable::Start(std::size_t cell) const
{
    return cell == 0 ? 0 : std::uint32_t(fEnds[cell - 1] & ~kNullBit);
}

bool TResultTable::IsNull(int row, int column) const
{
    return (fEnds[std::size_t(row) * fColumns.size() + std::size_t(column)] & kNullBit) != 0;
}

QByteArrayView TResultTable::Raw(int row, int column) const
{
    const std::size_t cell = std::size_t(row) * fColumns.size() + std::size_t(column);
    const std::uint64_t start = cell == 0 ? 0 : (fEnds[cell - 1] & ~kNullBit);
    const std::uint64_t end = fEnds[cell] & ~kNullBit;
    return QByteArrayView(fArena.data() + start, qsizetype(end - start));
}

QVariant TResultTable::Value(int row, int column) const
{
    if (IsNull(row, column))
        return {};
    const QByteArrayView raw = Raw(row, column);
    switch (fColumns[std::size_t(column)].DataType) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: {
        qint64 v = 0;
        std::memcpy(&v, raw.data(), sizeof v);
        return QVariant(qlonglong(v));
    }
    case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd: {
        double v = 0;
        std::memcpy(&v, raw.data(), sizeof v);
        return QVariant(v);
    }
    case ftBoolean:
        return QVariant(raw.size() > 0 && raw[0] != 0);
    case ftDate: case ftTime: case ftDateTime: case ftTimeStamp: {
        qint64 v = 0;
        std::memcpy(&v, raw.data(), sizeof v);
        return QVariant(QDateTime::fromMSecsSinceEpoch(v, Qt::UTC));
    }
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: case ftTypedBinary:
    case ftParadoxOle: case ftDBaseOle: case ftOraBlob:
        return QVariant(raw.toByteArray());
    default:
        return QVariant(QString::fromUtf8(raw));
    }
}

QString TResultTable::Text(int row, int column) const
{
    switch (fColumns[std::size_t(column)].DataType) {
    case ftString: case ftFixedChar: case ftWideString: case ftMemo: case ftFmtMemo: case ftOraClob:
        return IsNull(row, column) ? QString() : QString::fromUtf8(Raw(row, column));
    default:
        return Value(row, column).toString();
    }
}

std::size_t TResultTable::MemoryUsed() const
{
    return fArena.capacity() + fEnds.capacity() * sizeof(std::uint64_t);
}
