#pragma once
// The directory engine for SQLite 3 files. The file is opened read-only under SQLite's own locking
// and journal rules, so a search sees exactly what other programs have committed, and nothing is
// ever written to the file. A writer holding it is waited for BusyTimeoutMs, then the search fails
// with "database is locked". On media that allow no locks the file is read as immutable, as long
// as no journal or WAL file stands beside it.
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

    // Watches the cancel token (TDirectoryEngine::SetCancelToken) between SQLite's steps, so even
    // a statement that finds no row for a long time (an endless view) ends with ECancelled.
    std::unique_ptr<TResultTable> Select(const TSelectStatement& statement) override;
    bool TypesFollowRows() const override { return true; }

    // How long an open or a search waits for a writer's lock (3000 ms unless set); applies to
    // engines opened afterwards.
    static int BusyTimeoutMs();
    static void SetBusyTimeoutMs(int ms);

    // SQLite's plan for the statement as Select would run it (one line per plan step).
    QStringList QueryPlan(const TSelectStatement& statement);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
