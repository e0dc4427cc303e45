#pragma once
// An in-memory index of one directory table: every row of it held compactly, as a search result
// holds rows, with a signature of the characters of each value of the longer text columns and the
// sort order of chosen columns. It answers a search of that table without asking the engine: the
// signatures pass over values that cannot match, and the matcher decides every other value exactly
// as the engines' scans decide it, so the rows found and their order are the engines' own.

#include "TDirectoryEngine.h"
#include "TResultTable.h"
#include "TSelectStatement.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class TDirectoryIndex
{
public:
    // Indexes the rows of a table (the whole result of "SELECT * FROM <table>", in the engine's
    // order) and ranks the named text columns for sorting. Throws ECancelled (naming path) when the
    // token, if any, is cancelled meanwhile.
    TDirectoryIndex(QString table, std::unique_ptr<TResultTable> rows, const QStringList& rankedColumns,
                    const TCancelToken* token, const QString& path);

    // Whether the statement is a search of the indexed table with every condition on one of its
    // text columns; Select answers only such statements.
    bool Answers(const TSelectStatement& statement) const;
    // The rows the statement finds, in the table's order, as a view of the indexed rows.
    std::unique_ptr<TResultTable> Select(const TSelectStatement& statement, const TCancelToken* token) const;

    // Bytes of the indexed text (every text value, as UTF-8) and bytes the index holds in all: at
    // most MemoryFactor times the text, unless the rows alone hold more.
    std::size_t TextBytes() const { return fTextBytes; }
    std::size_t MemoryUsed() const;
    static constexpr double MemoryFactor = 1.5;

private:
    int TextColumn(const QString& name) const; // -1 when the table has no such text column
    void ThrowIfCancelled(const TCancelToken* token) const;

    QString fTable;
    QString fPath;
    std::shared_ptr<const TResultTable> fRows;
    std::vector<bool> fText; // by column: a text column
    // By column, at most one of them kept: 64-bit signatures for long texts, 32-bit ones for the
    // others, none where they would not pay or the room is spent.
    std::vector<TPlainBuffer<std::uint64_t>> fWideSignatures;
    std::vector<TPlainBuffer<std::uint32_t>> fSignatures;
    std::size_t fTextBytes = 0;
};
