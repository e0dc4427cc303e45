#include "TDirectorySearch.h"

#include "TProgramFiles.h"
#include "TSearchCriteria.h"

#include "Exception.h"
#include "TSafeFileWriterEh.h"

TDirectorySearch::TDirectorySearch()
    : ADOConnection1(QStringLiteral("ADOConnection1")),
      ADOQuery1(QStringLiteral("ADOQuery1")),
      DataSource1(QStringLiteral("DataSource1"))
{
    ADOQuery1.SetConnection(&ADOConnection1);
    DataSource1.SetDataSet(&ADOQuery1);
}

TDirectorySearch::~TDirectorySearch() = default;

void TDirectorySearch::Connect(const QString& databasePath)
{
    fDatabasePath = databasePath;
    ADOConnection1.SetConnectionString(TADOConnection::ConnectionStringFor(databasePath));
    ADOConnection1.LoginPrompt = false;
    ADOConnection1.Open();
}

void TDirectorySearch::Disconnect()
{
    ADOConnection1.Close();
}

void TDirectorySearch::StartIndexing()
{
    ADOConnection1.StartIndexing(QStringLiteral("kray"), {QStringLiteral("vlad")});
}

void TDirectorySearch::WaitForIndex()
{
    StartIndexing();
    ADOConnection1.WaitForIndex();
}

void TDirectorySearch::CheckExportTarget(const QString& fileName) const
{
    if (!fDatabasePath.isEmpty() && IsSameFileEh(fileName, fDatabasePath))
        throw Exception(FormatMessage(
            QStringLiteral("Экспорт в файл '%s' не выполнен: это открытый файл справочника, он остался без изменений"),
            {fileName}));
}

bool TDirectorySearch::Search(const TSearchCriteria& criteria)
{
    const QString statement = ComposeSearchStatement(criteria);
    if (IsEmptySearchStatement(statement))
        return false;
    OpenResult(statement);
    return true;
}

void TDirectorySearch::ShowTable(const QString& table)
{
    OpenResult(QStringLiteral("SELECT * FROM [") + table + QStringLiteral("];"));
}

void TDirectorySearch::OpenResult(const QString& statement)
{
    // What is shown now, to be shown again when the user stops the new search: the result is held
    // by the query itself, so it is read again from its statement.
    const bool hadResult = ADOQuery1.Active();
    const QString oldStatement = ADOQuery1.SQL();
    const QString oldSort = fSortField;
    const int oldRecord = hadResult ? ADOQuery1.RecordNumber() : 0;
    ADOQuery1.Close();
    fSortField.clear();
    ADOQuery1.SetSQL(statement);
    try {
        ADOQuery1.Open();
    } catch (const ECancelled&) {
        if (hadResult)
            Reopen(oldStatement, oldSort, oldRecord);
        throw;
    }
    ADOQuery1.MoveFirst();
    fStatusText = QStringLiteral("Найдено ") + QString::number(ADOQuery1.RecordCount()) + QStringLiteral(" записей.");
}

void TDirectorySearch::Reopen(const QString& statement, const QString& sortField, int recordNumber)
{
    // The stop was the user's wish and is what gets reported; should the old result not come back
    // (the user stops this too, or the file went away meanwhile), the query stays closed, as after
    // an engine error.
    try {
        ADOQuery1.SetSQL(statement);
        ADOQuery1.Open();
        if (!sortField.isEmpty()) {
            ADOQuery1.SortBy(sortField);
            fSortField = sortField;
        }
        if (recordNumber > 0 && recordNumber <= ADOQuery1.RecordCount())
            ADOQuery1.SetRecordNumber(recordNumber);
    } catch (...) {
        ADOQuery1.Close();
        fSortField.clear();
    }
}

void TDirectorySearch::SortBy(const QString& fieldName)
{
    if (!ADOQuery1.Active())
        return;
    ADOQuery1.SortBy(fieldName);
    fSortField = fieldName;
}

void TDirectorySearch::Clear()
{
    ADOQuery1.Close();
    fSortField.clear();
    fStatusText.clear();
}

void ConnectDirectory(TDirectorySearch& directory, const TProgramFiles& files)
{
    try {
        directory.Connect(files.DatabasePath());
    } catch (const EDatabaseError&) {
        files.CheckDatabaseFound();
        throw;
    }
}
