#include "TResultTable.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

namespace {
constexpr std::uint64_t kNullBit64 = std::uint64_t(1) << 63;
constexpr std::uint32_t kNullBit32 = std::uint32_t(1) << 31;
} // namespace

// Blocks below kMapped bytes live on the heap; larger ones are mapped pages of their own, which
// mremap resizes in place or moves without copying. The pages of the last results closed are
// kept for the next ones (searches follow each other): fresh pages cost a fault each, which
// can take longer than reading the rows. Results are filled and freed on the one thread that
// runs the window, so the kept blocks need no lock.
namespace {

constexpr std::size_t kMapped = std::size_t(1) << 20;
constexpr std::size_t kKeptBlocks = 4;
constexpr std::size_t kKeptBytes = std::size_t(512) << 20;

struct TKeptBlock
{
    void* Block;
    std::size_t Bytes;
    int Kind;
};

std::vector<TKeptBlock>& KeptBlocks()
{
    static std::vector<TKeptBlock> kept;
    return kept;
}

// The largest kept block of the kind (a buffer's next result tends to be like its last).
TKeptBlock TakeKept(std::size_t bytes, int kind)
{
    auto& kept = KeptBlocks();
    auto best = kept.end();
    for (auto it = kept.begin(); it != kept.end(); ++it)
        if (it->Kind == kind && it->Bytes >= bytes && (best == kept.end() || it->Bytes > best->Bytes))
            best = it;
    if (best == kept.end())
        return {nullptr, 0, kind};
    const TKeptBlock block = *best;
    kept.erase(best);
    return block;
}

void Keep(void* block, std::size_t bytes, int kind)
{
    auto& kept = KeptBlocks();
    kept.push_back({block, bytes, kind});
    std::size_t total = 0;
    for (const TKeptBlock& b : kept)
        total += b.Bytes;
    // Over the limits, the oldest go back to the system.
    while (!kept.empty() && (kept.size() > kKeptBlocks || total > kKeptBytes)) {
        total -= kept.front().Bytes;
        munmap(kept.front().Block, kept.front().Bytes);
        kept.erase(kept.begin());
    }
}

} // namespace

void* ResultMemory::Resize(void* block, std::size_t oldBytes, std::size_t& newBytes, int kind)
{
    if (newBytes == 0) {
        Free(block, oldBytes, kind);
        return nullptr;
    }
    const bool wasMapped = oldBytes >= kMapped;
    if (newBytes < kMapped && !wasMapped) {
        void* p = std::realloc(block, newBytes);
        if (!p)
            throw std::bad_alloc();
        return p;
    }
    if (wasMapped && newBytes < kMapped) {
        void* p = std::malloc(newBytes);
        if (!p)
            throw std::bad_alloc();
        std::memcpy(p, block, newBytes);
        munmap(block, oldBytes);
        return p;
    }
    if (wasMapped) {
        void* p = mremap(block, oldBytes, newBytes, MREMAP_MAYMOVE);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        return p;
    }
    // From the heap to pages of its own: a kept block serves as it is (growing into it costs
    // nothing), else fresh pages.
    const TKeptBlock kept = TakeKept(newBytes, kind);
    void* p = kept.Block;
    if (p) {
        newBytes = kept.Bytes;
    } else {
        p = mmap(nullptr, newBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
    }
    if (block)
        std::memcpy(p, block, oldBytes);
    std::free(block);
    return p;
}

void ResultMemory::Free(void* block, std::size_t bytes, int kind)
{
    if (!block)
        return;
    if (bytes >= kMapped)
        Keep(block, bytes, kind);
    else
        std::free(block);
}

TResultTable::TResultTable(std::vector<TResultColumn> columns) : fColumns(std::move(columns)) {}

void TResultTable::Widen()
{
    fEnds64.reserve(std::max(fEnds32.capacity(), fEnds32.size() + 1));
    for (std::size_t i = 0; i < fEnds32.size(); ++i) {
        const std::uint32_t e = fEnds32[i];
        fEnds64.push_back(std::uint64_t(e & ~kNullBit32) | ((e & kNullBit32) ? kNullBit64 : 0));
    }
    fEnds32.release();
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
    fArena.append(utf8.data(), std::size_t(utf8.size()));
    PushEnd(false);
}

void TResultTable::AppendBytes(QByteArrayView bytes)
{
    AppendText(bytes);
}

void TResultTable::AppendInteger(qint64 value)
{
    fArena.append(reinterpret_cast<const char*>(&value), sizeof value);
    PushEnd(false);
}

void TResultTable::AppendDouble(double value)
{
    fArena.append(reinterpret_cast<const char*>(&value), sizeof value);
    PushEnd(false);
}

void TResultTable::AppendBoolean(bool value)
{
    fArena.push_back(value ? char(1) : char(0));
    PushEnd(false);
}

void TResultTable::AppendDateTime(const QDateTime& value)
{
    AppendInteger(value.toMSecsSinceEpoch());
}

namespace {

// Three quarters of what the machine (or the process's control group) lets us have.
std::size_t DefaultMemoryLimit()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    std::size_t available = pages > 0 && pageSize > 0 ? std::size_t(pages) * std::size_t(pageSize) : 0;
    for (const char* name : {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
        QFile file(QString::fromLatin1(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const qulonglong limit = file.readLine().trimmed().toULongLong(&ok); // "max" reads as no limit
        if (ok && limit > 0 && (available == 0 || limit < available))
            available = std::size_t(limit);
    }
    if (available == 0)
        return SIZE_MAX;
    return available / 4 * 3;
}

std::atomic<std::size_t> gMemoryLimit{0};

} // namespace

std::size_t TResultTable::MemoryLimit()
{
    std::size_t limit = gMemoryLimit.load(std::memory_order_relaxed);
    if (limit == 0) {
        limit = DefaultMemoryLimit();
        gMemoryLimit.store(limit, std::memory_order_relaxed);
    }
    return limit;
}

void TResultTable::SetMemoryLimit(std::size_t bytes)
{
    gMemoryLimit.store(bytes, std::memory_order_relaxed);
}

void TResultTable::EndRow()
{
    const std::size_t used = fArena.size() + Cells() * (fWideEnds ? sizeof(std::uint64_t) : sizeof(std::uint32_t));
    if (used > MemoryLimit() || fRows == INT_MAX - 1) {
        DiscardRow();
        throw EResultTooLarge(FormatMessage(
            QStringLiteral("Результат поиска не помещается в память: найдено больше %s записей, и они заняли бы "
                           "больше %s МБ. Уточните условия поиска."),
            {QString::number(fRows), QString::number((MemoryLimit() >> 20) + ((MemoryLimit() & 0xFFFFF) ? 1 : 0))}));
    }
    fRowStartCells = Cells();
    fRowStartBytes = fArena.size();
    ++fRows;
}

void TResultTable::DiscardRow()
{
    fEnds64.truncate(fRowStartCells);
    fEnds32.truncate(fRowStartCells);
    fArena.truncate(fRowStartBytes);
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

TResultTable::TColumnScan TResultTable::ScanColumn(int column) const
{
    TColumnScan scan;
    scan.fArena = fArena.data();
    if (fWideEnds)
        scan.fEnds64 = fEnds64.data();
    else
        scan.fEnds32 = fEnds32.data();
    scan.fStride = fColumns.size();
    scan.fColumn = std::size_t(column);
    return scan;
}

std::unique_ptr<TResultTable> TResultTable::View(std::shared_ptr<const TResultTable> base,
                                                 TPlainBuffer<std::uint32_t> rows)
{
    auto view = std::make_unique<TResultTable>(base->Columns());
    view->fRows = int(rows.size());
    view->fBaseRows = std::move(rows);
    view->fBaseRows.shrink_to_fit();
    view->fBase = std::move(base);
    return view;
}

void TResultTable::SetSortRanks(int column, TPlainBuffer<std::uint32_t> ranks)
{
    if (fSortRanks.size() < fColumns.size())
        fSortRanks.resize(fColumns.size());
    fSortRanks[std::size_t(column)] = std::move(ranks);
}

bool TResultTable::HasSortRanks(int column) const
{
    if (fBase)
        return fBase->HasSortRanks(column);
    return std::size_t(column) < fSortRanks.size() && fSortRanks[std::size_t(column)].size() == std::size_t(fRows);
}

std::uint32_t TResultTable::SortRank(int row, int column) const
{
    if (fBase)
        return fBase->SortRank(BaseRow(row), column);
    return fSortRanks[std::size_t(column)][std::size_t(row)];
}

bool TResultTable::IsNull(int row, int column) const
{
    if (fBase)
        return fBase->IsNull(BaseRow(row), column);
    return EndIsNull(std::size_t(row) * fColumns.size() + std::size_t(column));
}

QByteArrayView TResultTable::Raw(int row, int column) const
{
    if (fBase)
        return fBase->Raw(BaseRow(row), column);
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
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint: {
        qint64 v = 0;
        std::memcpy(&v, raw.data(), sizeof v);
        return QVariant(qlonglong(v));
    }
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd: {
        double v = 0;
        std::memcpy(&v, raw.data(), sizeof v);
        return QVariant(v);
    }
    case ftBoolean:
        return QVariant(raw.size() > 0 && raw[0] != 0);
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: {
        qint64 v = 0;
        std::memcpy(&v, raw.data(), sizeof v);
        return QVariant(QDateTime::fromMSecsSinceEpoch(v, Qt::UTC));
    }
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftTypedBinary:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftOraBlob:
        return QVariant(raw.toByteArray());
    default:
        return QVariant(QString::fromUtf8(raw));
    }
}

QString TResultTable::Text(int row, int column) const
{
    switch (fColumns[std::size_t(column)].DataType) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob:
        return IsNull(row, column) ? QString() : QString::fromUtf8(Raw(row, column));
    default:
        return Value(row, column).toString();
    }
}

std::size_t TResultTable::MemoryUsed() const
{
    std::size_t used = fArena.capacity() + fEnds32.capacity() * sizeof(std::uint32_t)
                       + fEnds64.capacity() * sizeof(std::uint64_t) + fBaseRows.capacity() * sizeof(std::uint32_t);
    for (const TPlainBuffer<std::uint32_t>& ranks : fSortRanks)
        used += ranks.capacity() * sizeof(std::uint32_t);
    return used;
}
