#pragma once
// Puts a directory on a PostgreSQL server: the table kray of any directory the program reads (an
// SQLite or Jet file, or another server) is copied into the table kray at a server URI, with the
// indexes that make the window's searches fast. The rows go into a new table beside the old one
// ("kray__loading", which no search reads), indexed by two server processes at once; one
// transaction then puts it in the old one's place, so a failure leaves the server's old table as
// it was (the new one is dropped again) and searching desks never see a half-loaded table. The
// old table's grants (a read-only role's SELECT) pass to the new one. Loads wait for each other.

#include <QString>
#include <QStringList>

#include <functional>

class TPostgresLoader
{
public:
    enum class TStage
    {
        Reading,  // the source table is read whole
        Copying,  // its rows go to the server: done and total in rows
        Indexing, // the indexes are made: done and total in index statements
    };
    using TProgress = std::function<void(TStage stage, qint64 done, qint64 total)>;

    // Copies the rows; returns how many. Throws EDatabaseError with the engine's or the server's
    // message, naming the directory (a URI without its password).
    static qint64 Load(const QString& source, const QString& uri, const TProgress& progress = {});

    // The statements that make the searches fast on a table of the directory's five text fields:
    // trigram GIN indexes for the searches anywhere in a value, b-tree indexes for the searches at
    // its start and the exact ones. Index names begin with the table's name.
    static QStringList IndexStatements(const QString& table = QStringLiteral("kray"));
};
