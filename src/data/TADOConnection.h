#pragma once
// The connection to the directory database: a connection string naming the file ("Data Source"),
// opened read-only and kept until it is closed. The engine that reads the file is chosen by the
// file's format when the connection opens.

#include "TDirectoryEngine.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TADOQuery;
class TIndexedEngine;
class TDirectoryIndex;

enum TConnectMode
{
    cmUnknown,
    cmRead,
    cmWrite,
    cmReadWrite,
    cmShareDenyRead,
    cmShareDenyWrite,
    cmShareExclusive,
    cmShareDenyNone
};

class TADOConnection
{
public:
    explicit TADOConnection(QString name = QStringLiteral("ADOConnection1"));
    ~TADOConnection();
    TADOConnection(const TADOConnection&) = delete;
    TADOConnection& operator=(const TADOConnection&) = delete;

    const QString& Name() const { return fName; }

    // "Provider=...;Data Source=<path>;Persist Security Info=False". Setting it closes an open
    // connection.
    const QString& ConnectionString() const { return fConnectionString; }
    void SetConnectionString(const QString& text);
    // The database file the connection string names (empty when it names none).
    QString DataSource() const;
    // The value of one key of a connection string: keys in any letter case, blanks around keys
    // and bare values ignored; a value in single or double quotes is taken exactly, ';' and
    // blanks included, with its own quote character written twice inside.
    static QString ConnectionStringValue(const QString& connectionString, const QString& key);
    // Any value (a file name holding ';', quotes of both kinds, blanks at its ends) written so that
    // ConnectionStringValue reads exactly it back: bare when nothing in it needs quoting, else in
    // double quotes, or in single quotes when it holds double ones only, or in double quotes with
    // each double quote inside written twice.
    static QString QuotedConnectionValue(const QString& value);
    // The window's connection string for a directory file: "Provider=Microsoft.Jet.OLEDB.4.0;Data
    // Source=" + QuotedConnectionValue(path) + ";Persist Security Info=False".
    static QString ConnectionStringFor(const QString& path);

    // Access is always read-only.
    TConnectMode Mode() const { return cmRead; }
    bool LoginPrompt = false;

    bool Connected() const { return fEngine != nullptr; }
    void SetConnected(bool connected);
    // Opens the file; on failure the connection stays closed and EDatabaseError says why.
    void Open();
    // Closes the queries that use the connection, then the file.
    void Close();

    // The open engine; throws when the connection is closed.
    TDirectoryEngine& Engine() const;

    // Builds a search index of a table of the directory file in the background (sort ranks for the
    // named columns), now if the connection is open, else when it opens; searches of the table use
    // it once it is ready, as long as the file stays as it was indexed.
    void StartIndexing(const QString& table, const QStringList& rankedColumns);
    // Waits for the index being built; true when it is ready and matches the file.
    bool WaitForIndex();
    // The index when it is ready (null before, and for a connection that keeps none).
    std::shared_ptr<const TDirectoryIndex> Index() const;

private:
    friend class TADOQuery;
    void Attach(TADOQuery* query);
    void Detach(TADOQuery* query);

    QString fName;
    QString fConnectionString;
    std::unique_ptr<TDirectoryEngine> fEngine;
    TIndexedEngine* fIndexed = nullptr; // fEngine itself when it keeps an index
    QString fIndexTable;
    QStringList fRankedColumns;
    std::vector<TADOQuery*> fQueries;
};
