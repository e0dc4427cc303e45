#pragma once
// The directory engine for SQLite 3 files. The file is opened read-only and immutable: nothing is
// ever written to it or locked, so it stays byte-identical with its modification time.
// Conditions are matched by our own matcher, registered as SQL functions that take every literal
// as a bound parameter; prefix conditions on indexed text columns are narrowed to index ranges.

#include "TDirectoryEngine.h"

#include <QString>
#include <QStringList>

#include <memory>

class TSqliteEngine : public TDirectoryEngine
{
public:
    // Throws EDatabaseError when the file cannot be opened as an SQLite database.
    explicit TSqliteEngine(const QString& path);
    ~TSqliteEngine() override;
    TSqliteEngine(const TSqliteEngine&) = delete;
    TSqliteEngine& operator=(const TSqliteEngine&) = delete;

    std::unique_ptr<TResultTable> Select(const TSelectStatement& statement) override;

    // SQLite's plan for the statement as Select would run it (one line per plan step).
    QStringList QueryPlan(const TSelectStatement& statement);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
