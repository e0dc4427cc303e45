#pragma once
// The directory engine for a directory held by a PostgreSQL server, named by a connection URI
// ("postgresql://user@host:5432/dbname?sslmode=prefer"). The password comes from libpq's own
// places (PGPASSWORD, ~/.pgpass, a service file); the program never keeps one.
//
// Every search runs in a read-only transaction of its own. The server only narrows: each condition
// becomes a regular expression with bound parameters in which every letter stands as the bracket
// of all the characters our matcher folds alike, so the server's own letter-case rules (its locale)
// cannot drop a row; the trigram and b-tree indexes serve those expressions. Our matcher then
// decides every row the server hands out, so the answers are exactly those of the file engines.
// Rows stream in one by one (libpq's single-row mode) into the result table; a cancelled search
// is cancelled on the server too. A connection the server lost is made again by the next search.

#include "TDirectoryEngine.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class TPostgresEngine : public TDirectoryEngine
{
public:
    // Connects to the server; throws EDatabaseError with the server's message when it cannot.
    explicit TPostgresEngine(const QString& uri);
    ~TPostgresEngine() override;
    TPostgresEngine(const TPostgresEngine&) = delete;
    TPostgresEngine& operator=(const TPostgresEngine&) = delete;

    std::unique_ptr<TResultTable> Select(const TSelectStatement& statement) override;

    // The server's process serving this connection (0 while none is open).
    int ServerProcessId() const;

    // The expression the server narrows a condition with ("^[иИ][вВ].*"), matching a superset of
    // what our matcher accepts for it; empty when no text can match (a literal holding U+0000).
    static QString NarrowingPattern(const QString& literal, TCondition::Op op);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
