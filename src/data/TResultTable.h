#pragma once
// A whole query result held compactly for the client-side cursor: one byte arena with every
// value, and one end offset per value. Text is kept as UTF-8 and becomes QString only when read.

#include "TDataSet.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <vector>

struct TResultColumn
{
    QString Name;
    TFieldType DataType = ftString;
    int Size = 0;  // characters for text, 0 when unknown
};

class TResultTable
{
public:
    explicit TResultTable(std::vector<TResultColumn> columns);

    const std::vector<TResultColumn>& Columns() const { return fColumns; }
    int ColumnCount() const { return int(fColumns.size()); }
    int RowCount() const { return fRows; }

    // Filling: one Append per column in order, then EndRow.
    void AppendNull();
    void AppendText(QByteArrayView utf8);
    void AppendInteger(qint64 value);
    void AppendDouble(double value);
    void AppendBoolean(bool value);
    void AppendDateTime(const QDateTime& value);  // kept as milliseconds since the epoch, UTC
    void AppendBytes(QByteArrayView bytes);
    void EndRow();
    // Drops a row begun but not ended (a filter rejected it).
    void DiscardRow();
    void Reserve(std::size_t rows, std::size_t bytes);
    void Squeeze();

    bool IsNull(int row, int column) const;
    QVariant Value(int row, int column) const;
    QString Text(int row, int column) const;  // text columns: the text; others: Value().toString()
    QByteArrayView Raw(int row, int column) const;

    std::size_t MemoryUsed() const;

private:
    std::size_t Cells() const { return fWideEnds ? fEnds64.size() : fEnds32.size(); }
    std::size_t End(std::size_t cell) const;  // without the null mark
    bool EndIsNull(std::size_t cell) const;
    void PushEnd(bool null);
    void Widen();

    std::vector<TResultColumn> fColumns;
    std::vector<char> fArena;
    // End offset of each value in the arena; the top bit marks a null value. Offsets take 32 bits
    // until the arena outgrows them, then every offset moves to 64 bits.
    std::vector<std::uint32_t> fEnds32;
    std::vector<std::uint64_t> fEnds64;
    bool fWideEnds = false;
    std::size_t fRowStartCells = 0;
    std::size_t fRowStartBytes = 0;
    int fRows = 0;
};
