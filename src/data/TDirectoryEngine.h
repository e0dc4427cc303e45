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
