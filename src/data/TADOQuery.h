#pragma once
// A query on a directory connection: its statement text is parsed by our own parser and run by the
// connection's engine; the whole result is held client-side (exact RecordCount) and read-only.

#include "TDataSet.h"
#include "TDirectoryEngine.h"
#include "TResultTable.h"

#include <QString>

#include <memory>

class TADOConnection;

enum TCursorType
{
    ctUnspecified
};
enum TCursorLocation
{
    clUseClient
};

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

    // Ending a running Open early (a search that takes too long, or never ends: an endless view).
    // Cancel() may be called from any thread, e.g. by a progress dialog's button or a timer while
    // a worker thread runs Open, or from CancelToken().Progress on the opening thread itself; the
    // Open then ends with ECancelled (an EAbort: the window shows nothing) and the query stays
    // closed. The query's own token is reset when each Open starts, so a Cancel made while no Open
    // runs is forgotten. CancelToken().Progress, when set, is called on the opening thread about
    // every CancelToken().ProgressIntervalMs during the Open (to keep a dialog painted).
    void Cancel() noexcept { WatchedCancelToken().Cancel(); }
    TCancelToken& CancelToken() { return fCancelToken; }
    // A token to watch instead of the query's own (nullptr: the own one again). The query never
    // resets it, so it suits a Ctrl+C handler: TCancelToken::Cancel is a lock-free atomic store,
    // safe in a signal handler. The caller keeps it alive while it is set.
    void SetCancelToken(TCancelToken* token) { fExternalCancelToken = token; }
    TCancelToken& WatchedCancelToken() { return fExternalCancelToken ? *fExternalCancelToken : fCancelToken; }

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
    bool HasStoredSortRanks(int field) const override;
    std::uint32_t StoredSortRank(int row, int field) const override;

private:
    TADOConnection* fConnection = nullptr;
    QString fSQL = QStringLiteral("select * from kray");
    std::unique_ptr<TResultTable> fResult;
    TCancelToken fCancelToken;
    TCancelToken* fExternalCancelToken = nullptr;
};
