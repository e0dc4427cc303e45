#include "TResultTable.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint64_t kNullBit64 = std::uint64_t(1) << 63;
constexpr std::uint32_t kNullBit32 = std::uint32_t(1) << 31;
}

TResultTable::TResultTable(std::vector<TResultColumn> columns) : fColumns(std::move(columns)) {}

void TResultTable::Widen()
{
    fEnds64.reserve(std::max(fEnds32.capacity(), fEnds32.size() + 1));
    for (std::uint32_t e : fEnds32)
        fEnds64.push_back(std::uint64_t(e & ~kNullBit32) | ((e & kNullBit32) ? kNullBit64 : 0));
    fEnds32 = {};
    fWideEnds = true;
}

void TResultTable::PushEnd(bool null)
{
    const std::size_t end = fArena.size();
    if (!fWideEnds && end >= kNullBit32)
        Widen();
    if (fWideEnds)
        fEnds64.push_back(std::uint64_t(end) | (null ? kNullBit64 : 0));
    else
        fEnds32.push_back(std::uint32_t(end) | (null ? kNullBit32 : 0));
}

std::size_t TResultTable::End(std::size_t cell) const
{
    return fWideEnds ? std::size_t(fEnds64[cell] & ~kNullBit64) : std::size_t(fEnds32[cell] & ~kNullBit32);
}

bool TResultTable::EndIsNull(std::size_t cell) const
{
    return fWideEnds ? (fEnds64[cell] & kNullBit64) != 0 : (fEnds32[cell] & kNullBit32) != 0;
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
    fRowStartCells = Cells();
    fRowStartBytes = fArena.size();
    ++fRows;
}

void TResultTable::DiscardRow()
{
    if (fWideEnds)
        fEnds64.resize(fRowStartCells);
    else
        fEnds32.resize(fRowStartCells);
    fArena.resize(fRowStartBytes);
}

void TResultTable::Reserve(std::size_t rows, std::size_t bytes)
{
    if (fWideEnds)
        fEnds64.reserve(rows * fColumns.size());
    else
        fEnds32.reserve(rows * fColumns.size());
    fArena.reserve(bytes);
}

void TResultTable::Squeeze()
{
    fEnds32.shrink_to_fit();
    fEnds64.shrink_to_fit();
    fArena.shrink_to_fit();
}

bool TResultTable::IsNull(int row, int column) const
{
    return EndIsNull(std::size_t(row) * fColumns.size() + std::size_t(column));
}

QByteArrayView TResultTable::Raw(int row, int column) const
{
    const std::size_t cell = std::size_t(row) * fColumns.size() + std::size_t(column);
    const std::size_t start = cell == 0 ? 0 : End(cell - 1);
    return QByteArrayView(fArena.data() + start, qsizetype(End(cell) - start));
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
    return fArena.capacity() + fEnds32.capacity() * sizeof(std::uint32_t)
           + fEnds64.capacity() * sizeof(std::uint64_t);
}
