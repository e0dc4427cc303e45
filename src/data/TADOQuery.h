#pragma once
// A query on a directory connection: its statement text is parsed by our own parser and run by the
// connection's engine; the whole result is held client-side (exact RecordCount) and read-only.

#include "TDataSet.h"
#include "TResultTable.h"

#include <QString>

#include <memory>

class TADOConnection;

enum TCursorType { ctUnspecified };
enum TCursorLocation { clUseClient };

class TADOQuery : public TDataSet
{
public:
    explicit TADOQuery(QString name = QStringLiteral("ADOQuery1"));
    ~TADOQuery() override;

    TADOConnection* Connection() const { return fConnection; }
    void SetConnection(TADOConnection* connection);

    // The statement text; replacing it closes an open result.
    const QString& SQL() const { return fSQL; }
    void SetSQL(const QString& text);

    // Design settings, read by nothing yet: the result is always held whole, client-side.
    TCursorType CursorType = ctUnspecified;
    TCursorLocation CursorLocation = clUseClient;

    // The connection is read-only: every change is refused.
    bool CanModify() const override { return false; }

protected:
    // Parses the statement, connects on demand, runs it and takes the whole result.
    void DoOpen() override;
    void DoClose() override;
    int StoredRowCount() const override;
    QVariant StoredValue(int row, int field) const override;
    bool StoredIsNull(int row, int field) const override;
    QString StoredText(int row, int field) const override;
    bool HasUtf8Text(int field) const override;
    QByteArrayView StoredUtf8(int row, int field) const override;

private:
    TADOConnection* fConnection = nullptr;
    QString fSQL = QStringLiteral("select * from kray");
    std::unique_ptr<TResultTable> fResult;
};
