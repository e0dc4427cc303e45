#pragma once
// A search of the telephone directory without any widget: the connection to the directory file,
// the query whose result is shown, its data source, and the status text of the last search. The
// window turns its edits into criteria and runs them here; the command line does the same with
// its options. One object serves any number of searches over one opened directory.

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TDataSet.h"

#include <QString>

struct TSearchCriteria;

class TDirectorySearch
{
public:
    TDirectorySearch();
    ~TDirectorySearch();
    TDirectorySearch(const TDirectorySearch&) = delete;
    TDirectorySearch& operator=(const TDirectorySearch&) = delete;

    TADOConnection ADOConnection1;
    TADOQuery ADOQuery1;
    TDataSource DataSource1; // what grids link to

    // Opens the directory file, read-only and without a log-in prompt.
    void Connect(const QString& databasePath);
    void Disconnect();
    // Builds the search index of the directory table in the background (owner names ranked for
    // sorting); searches use it once it is ready. The window starts it once it has painted.
    void StartIndexing();
    // Starts the index if it is not being built yet and blocks until it is ready (or cannot be
    // built: the searches then read the file).
    void WaitForIndex();
    // The directory file last connected to, as given.
    const QString& DatabasePath() const { return fDatabasePath; }
    // Refuses a file name that names the connected directory file by any path (a link, "..",
    // another hard link): an export there would replace the directory with its own result.
    void CheckExportTarget(const QString& fileName) const;

    // Runs the statement of the criteria and makes its first record current. With no criterion
    // used nothing happens (the previous result, its order and the status text stay) and false
    // is returned. An engine error leaves the query closed and the status text as it was. A search
    // stopped on request (ECancelled, through the query's cancel token) brings the previous result
    // back, in its order and at its record, and keeps the status text.
    bool Search(const TSearchCriteria& criteria);
    // Takes every row of another table of the directory file, as a search takes its result.
    void ShowTable(const QString& table);
    // Orders the open result by a field, ascending; nothing while no result is open.
    void SortBy(const QString& fieldName);
    // Closes the result and empties the status text.
    void Clear();

    bool Active() const { return ADOQuery1.Active(); }
    // "Найдено " + the count + " записей." after a search; empty before the first one and after
    // Clear.
    const QString& StatusText() const { return fStatusText; }

private:
    void OpenResult(const QString& statement);
    void Reopen(const QString& statement, const QString& sortField, int recordNumber);

    QString fStatusText;
    QString fDatabasePath;
    QString fSortField; // the order of the open result; empty: as found
};

struct TProgramFiles;
// Connects the search to the directory the program's files name. When that fails because the
// directory is in none of the places the program looks, the error names every place instead.
void ConnectDirectory(TDirectorySearch& directory, const TProgramFiles& files);
