#include "TADOQuery.h"

#include "TADOConnection.h"
#include "TScopeExit.h"
#include "TSelectStatement.h"

TADOQuery::TADOQuery(QString name) : TDataSet(std::move(name)) {}

TADOQuery::~TADOQuery()
{
    Close();
    SetConnection(nullptr);
}

void TADOQuery::SetConnection(TADOConnection* connection)
{
    if (connection == fConnection)
        return;
    Close();
    if (fConnection)
        fConnection->Detach(this);
    fConnection = connection;
    if (fConnection)
        fConnection->Attach(this);
}

void TADOQuery::SetSQL(const QString& text)
{
    Close();
    fSQL = text;
}

void TADOQuery::DoOpen()
{
    if (!fConnection)
        throw EDatabaseError(FormatMessage(QStringLiteral("%s: Missing Connection or ConnectionString"), {Name()}));
    TCancelToken& token = WatchedCancelToken();
    if (&token == &fCancelToken)
        fCancelToken.Reset();
    const TSelectStatement statement = ParseSelectStatement(fSQL);
    fConnection->Open();
    TDirectoryEngine& engine = fConnection->Engine();
    engine.SetCancelToken(&token);
    TScopeExit unwatch([&engine] { engine.SetCancelToken(nullptr); });
    fResult = engine.Select(statement);
    for (const TResultColumn& column : fResult->Columns())
        AddField(std::make_unique<TField>(this, column.Name, column.DataType, column.Size));
}

void TADOQuery::DoClose()
{
    fResult.reset();
}

int TADOQuery::StoredRowCount() const
{
    return fResult ? fResult->RowCount() : 0;
}

QVariant TADOQuery::StoredValue(int row, int field) const
{
    return fResult->Value(row, field);
}

bool TADOQuery::StoredIsNull(int row, int field) const
{
    return fResult->IsNull(row, field);
}

QString TADOQuery::StoredText(int row, int field) const
{
    return fResult->Text(row, field);
}

bool TADOQuery::HasUtf8Text(int field) const
{
    return IsTextFieldType(fResult->Columns().at(std::size_t(field)).DataType);
}

QByteArrayView TADOQuery::StoredUtf8(int row, int field) const
{
    return fResult->Raw(row, field);
}

bool TADOQuery::HasStoredSortRanks(int field) const
{
    return fResult && fResult->HasSortRanks(field);
}

std::uint32_t TADOQuery::StoredSortRank(int row, int field) const
{
    return fResult->SortRank(row, field);
}
