#include "TDirectorySearch.h"

#include "TProgramFiles.h"
#include "TSearchCriteria.h"

#include "Exception.h"
#include "TSafeFileWriterEh.h"

TDirectorySearch::TDirectorySearch()
    : ADOConnection1(QStringLiteral("ADOConnection1")), ADOQuery1(QStringLiteral("ADOQuery1")),
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
    ADOQuery1.Close();
    ADOQuery1.SetSQL(statement);
    ADOQuery1.Open();
    ADOQuery1.MoveFirst();
    fStatusText = QStringLiteral("Найдено ") + QString::number(ADOQuery1.RecordCount()) + QStringLiteral(" записей.");
}

void TDirectorySearch::SortBy(const QString& fieldName)
{
    if (!ADOQuery1.Active())
        return;
    ADOQuery1.SortBy(fieldName);
}

void TDirectorySearch::Clear()
{
    ADOQuery1.Close();
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
