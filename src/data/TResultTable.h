#pragma once
// A whole query result held compactly for the client-side cursor: one byte arena with every
// value, and one end offset per value. Text is kept as UTF-8 and becomes QString only when read.

#include "TDataSet.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

// Memory blocks for large buffers: mapped pages that grow and shrink by remapping, never by
// copying (a result of hundreds of megabytes is filled without being copied on the way).
namespace ResultMemory {
// Resizes a block to at least newBytes (set to what the block holds now); throws std::bad_alloc.
// Blocks of one kind (one kind of buffer) are reused for that kind only.
void* Resize(void* block, std::size_t oldBytes, std::size_t& newBytes, int kind);
void Free(void* block, std::size_t bytes, int kind);
} // namespace ResultMemory

// A growable array of plain values in one block of ResultMemory.
template <class T>
class TPlainBuffer
{
    static_assert(std::is_trivially_copyable_v<T>);

public:
    TPlainBuffer() = default;
    ~TPlainBuffer() { release(); }
    TPlainBuffer(TPlainBuffer&& other) noexcept
        : fData(std::exchange(other.fData, nullptr)),
          fSize(std::exchange(other.fSize, 0)),
          fCapacity(std::exchange(other.fCapacity, 0))
    {
    }
    TPlainBuffer& operator=(TPlainBuffer&& other) noexcept
    {
        if (this != &other) {
            release();
            fData = std::exchange(other.fData, nullptr);
            fSize = std::exchange(other.fSize, 0);
            fCapacity = std::exchange(other.fCapacity, 0);
        }
        return *this;
    }
    TPlainBuffer(const TPlainBuffer&) = delete;
    TPlainBuffer& operator=(const TPlainBuffer&) = delete;

    std::size_t size() const { return fSize; }
    std::size_t capacity() const { return fCapacity; }
    const T* data() const { return fData; }
    const T& operator[](std::size_t i) const { return fData[i]; }

    void push_back(T value)
    {
        if (fSize == fCapacity)
            Grow(fSize + 1);
        fData[fSize++] = value;
    }
    void append(const T* values, std::size_t count)
    {
        if (count == 0)
            return;
        if (fSize + count > fCapacity)
            Grow(fSize + count);
        std::memcpy(fData + fSize, values, count * sizeof(T));
        fSize += count;
    }
    void truncate(std::size_t size) { fSize = std::min(fSize, size); }
    void reserve(std::size_t capacity)
    {
        if (capacity > fCapacity)
            Reallocate(capacity);
    }
    void shrink_to_fit()
    {
        if (fCapacity > fSize)
            Reallocate(fSize);
    }
    void release()
    {
        ResultMemory::Free(fData, fCapacity * sizeof(T), int(sizeof(T)));
        fData = nullptr;
        fSize = fCapacity = 0;
    }

private:
    void Grow(std::size_t needed) { Reallocate(std::max({needed, fCapacity * 2, std::size_t(4096 / sizeof(T))})); }
    void Reallocate(std::size_t capacity)
    {
        std::size_t bytes = capacity * sizeof(T);
        fData = static_cast<T*>(ResultMemory::Resize(fData, fCapacity * sizeof(T), bytes, int(sizeof(T))));
        fCapacity = bytes / sizeof(T);
    }

    T* fData = nullptr;
    std::size_t fSize = 0;
    std::size_t fCapacity = 0;
};

struct TResultColumn
{
    QString Name;
    TFieldType DataType = ftString;
    int Size = 0; // characters for text, 0 when unknown
};

// A result that would not fit in the machine's memory (or in the row numbering): the filling
// stops before the machine starts swapping.
class EResultTooLarge : public EDatabaseError
{
public:
    using EDatabaseError::EDatabaseError;
};

class TResultTable
{
public:
    explicit TResultTable(std::vector<TResultColumn> columns);

    // A result made of some rows of another, in the given order, without copying them: what an
    // index answers. The base is a table of its own (not a view), shared, and must not change any
    // more.
    static std::unique_ptr<TResultTable> View(std::shared_ptr<const TResultTable> base,
                                              TPlainBuffer<std::uint32_t> rows);
    // The row of the base a row of a view stands for (the row itself in a table of its own).
    int BaseRow(int row) const { return fBase ? int(fBaseRows[std::size_t(row)]) : row; }
    bool IsView() const { return fBase != nullptr; }

    // The position of each row's value of a text column in the directory's sort order, with equal
    // values sharing one: sorting rows by it is sorting them by the value. Set on a table before it
    // is shared; a view answers with its base's ranks.
    void SetSortRanks(int column, TPlainBuffer<std::uint32_t> ranks);
    bool HasSortRanks(int column) const;
    std::uint32_t SortRank(int row, int column) const;

    const std::vector<TResultColumn>& Columns() const { return fColumns; }
    int ColumnCount() const { return int(fColumns.size()); }
    int RowCount() const { return fRows; }

    // Filling: one Append per column in order, then EndRow.
    void AppendNull();
    void AppendText(QByteArrayView utf8);
    void AppendInteger(qint64 value);
    void AppendDouble(double value);
    void AppendBoolean(bool value);
    void AppendDateTime(const QDateTime& value); // kept as milliseconds since the epoch, UTC
    void AppendBytes(QByteArrayView bytes);
    void EndRow();
    // Drops a row begun but not ended (a filter rejected it).
    void DiscardRow();
    void Reserve(std::size_t rows, std::size_t bytes);
    void Squeeze();

    bool IsNull(int row, int column) const;
    QVariant Value(int row, int column) const;
    QString Text(int row, int column) const; // text columns: the text; others: Value().toString()
    QByteArrayView Raw(int row, int column) const;

    std::size_t MemoryUsed() const;

    // Reads the values of one column row after row without a call per value, for scans of a
    // table of its own (not a view).
    class TColumnScan
    {
    public:
        // False for a null value; otherwise value is set.
        bool Get(std::uint32_t row, QByteArrayView& value) const
        {
            const std::size_t cell = std::size_t(row) * fStride + fColumn;
            std::uint64_t start = 0, end;
            if (fEnds32) {
                end = fEnds32[cell];
                if (end >> 31)
                    return false;
                if (cell > 0)
                    start = fEnds32[cell - 1] & ~(std::uint32_t(1) << 31);
            } else {
                end = fEnds64[cell];
                if (end >> 63)
                    return false;
                if (cell > 0)
                    start = fEnds64[cell - 1] & ~(std::uint64_t(1) << 63);
            }
            value = QByteArrayView(fArena + start, qsizetype(end - start));
            return true;
        }

        // Asks the memory for what Get(row) will read, some rows before it is read: first the value's
        // end offsets, then (once those are in) its bytes.
        void PrefetchEnds(std::uint32_t row) const
        {
            const std::size_t cell = std::size_t(row) * fStride + fColumn;
            if (fEnds32)
                __builtin_prefetch(fEnds32 + cell);
            else
                __builtin_prefetch(fEnds64 + cell);
        }
        void PrefetchValue(std::uint32_t row) const
        {
            const std::size_t cell = std::size_t(row) * fStride + fColumn;
            if (cell == 0)
                return;
            const std::uint64_t start = fEnds32 ? (fEnds32[cell - 1] & ~(std::uint32_t(1) << 31))
                                                : (fEnds64[cell - 1] & ~(std::uint64_t(1) << 63));
            __builtin_prefetch(fArena + start);
        }

    private:
        friend class TResultTable;
        const char* fArena = nullptr;
        const std::uint32_t* fEnds32 = nullptr;
        const std::uint64_t* fEnds64 = nullptr;
        std::size_t fStride = 0;
        std::size_t fColumn = 0;
    };
    TColumnScan ScanColumn(int column) const;

    // The most bytes one result may fill (values and their offsets): by default three quarters of
    // the machine's physical memory, or of the process's memory limit when that is smaller. EndRow
    // throws EResultTooLarge on the row that goes beyond it. SetMemoryLimit(0) restores the default.
    static std::size_t MemoryLimit();
    static void SetMemoryLimit(std::size_t bytes);

private:
    std::size_t Cells() const { return fWideEnds ? fEnds64.size() : fEnds32.size(); }
    std::size_t End(std::size_t cell) const; // without the null mark
    bool EndIsNull(std::size_t cell) const;
    void PushEnd(bool null);
    void Widen();

    std::vector<TResultColumn> fColumns;
    std::shared_ptr<const TResultTable> fBase; // a view's table; null otherwise
    TPlainBuffer<std::uint32_t> fBaseRows;
    std::vector<TPlainBuffer<std::uint32_t>> fSortRanks; // by column; empty where none
    TPlainBuffer<char> fArena;
    // End offset of each value in the arena; the top bit marks a null value. Offsets take 32 bits
    // until the arena outgrows them, then every offset moves to 64 bits.
    TPlainBuffer<std::uint32_t> fEnds32;
    TPlainBuffer<std::uint64_t> fEnds64;
    bool fWideEnds = false;
    std::size_t fRowStartCells = 0;
    std::size_t fRowStartBytes = 0;
    int fRows = 0;
};
