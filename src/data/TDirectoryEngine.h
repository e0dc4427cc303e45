#pragma once
// What stands behind a connection: one engine per database file format. Each answers the
// statement dialect (TSelectStatement) with a whole result held in a TResultTable.

#include "TResultTable.h"
#include "TSelectStatement.h"

#include <QString>
#include <memory>

class TDirectoryEngine
{
public:
    virtual ~TDirectoryEngine() = default;
    // Runs the statement; every row of the result is read before it returns.
    virtual std::unique_ptr<TResultTable> Select(const TSelectStatement& statement) = 0;
};

// Opens the database file at path with the engine its format needs, read-only. Throws
// EDatabaseError saying what is wrong with the file (missing, a folder, unreadable, empty, a
// format no engine here reads).
std::unique_ptr<TDirectoryEngine> OpenDirectoryEngine(const QString& path);
