#pragma once
// The directory engine for a directory held by a PostgreSQL server, named by a connection URI
// ("postgresql://user@host:5432/dbname?sslmode=prefer"). The password comes from libpq's own
// places (PGPASSWORD, ~/.pgpass, a service file); the program never keeps one.
//
// Every search runs in a read-only transaction of its own. The server only narrows: each condition
// becomes regular expressions with bound parameters in which every letter stands as the bracket
// of the characters our matcher folds alike, so the server's own letter-case rules (its locale)
// cannot drop a row. A letter's plain pair ([Вв]) is what the trigram indexes serve well; its rare
// other forms (the rounded Cyrillic ᲀ beside в, the long ſ, the Kelvin sign) go into a second
// expression that only rows holding such a form at all are tried with (a small partial index,
// VariantIndexCondition, finds those rows). Our matcher then decides every row the server hands
// out, so the answers are exactly those of the file engines.
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

    // The expression the server narrows a condition with ("^[Ии][Вв].*"): with every form of each
    // letter (allForms) it matches a superset of what our matcher accepts; with the plain pairs
    // only, a superset among the values that hold no rare letter form. Empty when no text can
    // match (a literal holding U+0000).
    static QString NarrowingPattern(const QString& literal, TCondition::Op op, bool allForms = true);
    // "<column> ~ '[...]'": the values that hold a rare letter form, the predicate of the partial
    // index that finds them (written exactly so, in ASCII, for the server to see that the index
    // serves the search).
    static QString VariantIndexCondition(const QString& column);
    // "translate(<column>, 'ABC...', 'abc...')": the value with its Latin and Cyrillic capitals made
    // small, which the b-tree indexes hold for the searches at the start of a value.
    static QString FoldedExpression(const QString& column);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
