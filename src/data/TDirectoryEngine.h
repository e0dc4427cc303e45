#pragma once
// What stands behind a connection: one engine per database file format. Each answers the
// statement dialect (TSelectStatement) with a whole result held in a TResultTable.

#include "TResultTable.h"
#include "TSelectStatement.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

// A request to end a running Select early. Cancel may be called from any thread (a worker's
// owner, a signal handler's relay, a timer); the engine watches the token on the thread that runs
// the Select and ends it with ECancelled. Progress, when set, is called on that same thread about
// every ProgressIntervalMs while the Select runs, so a progress dialog on the window's thread can
// process its events and let its button call Cancel; it must not throw, nor touch the connection.
class TCancelToken
{
public:
    void Cancel() noexcept { fCancelled.store(true, std::memory_order_relaxed); }
    bool IsCancelled() const noexcept { return fCancelled.load(std::memory_order_relaxed); }
    void Reset() noexcept { fCancelled.store(false, std::memory_order_relaxed); }

    std::function<void()> Progress;
    int ProgressIntervalMs = 100;

private:
    std::atomic<bool> fCancelled{false};
};

// A search ended on request. It is an abort, so the window drops it without a message box; the
// command line prints Reason() ("Поиск в справочнике '<file>' прерван.").
class ECancelled : public EAbort
{
public:
    explicit ECancelled(const QString& path);
    const QString& Reason() const noexcept { return fReason; }

private:
    QString fReason;
};

class TDirectoryEngine
{
public:
    virtual ~TDirectoryEngine() = default;
    // Runs the statement; every row of the result is read before it returns. Throws ECancelled
    // when the cancel token (if any) is cancelled while it runs.
    virtual std::unique_ptr<TResultTable> Select(const TSelectStatement& statement) = 0;

    // Whether a column's type in a result may depend on the rows read (a value the declared type
    // cannot hold turns the column into text), so that a filtered read may type a column otherwise
    // than a read of the whole table.
    virtual bool TypesFollowRows() const { return false; }

    // The token the next Selects watch (none: they run to their end). The engine keeps the
    // pointer only; the caller keeps the token alive while it is set.
    void SetCancelToken(TCancelToken* token) { fCancelToken = token; }
    TCancelToken* CancelToken() const { return fCancelToken; }

private:
    TCancelToken* fCancelToken = nullptr;
};

// Opens the database file at path with the engine its format needs, read-only, or connects to the
// server a PostgreSQL URI names. Throws EDatabaseError saying what is wrong with the file
// (missing, a folder, unreadable, empty, a format no engine here reads) or the server's message.
std::unique_ptr<TDirectoryEngine> OpenDirectoryEngine(const QString& path);

// Whether a directory's name is a PostgreSQL connection URI ("postgresql://..." or
// "postgres://...") rather than a file.
bool IsServerDirectory(const QString& path);
// The directory's name as messages show it: a file as given, a URI without any password in it.
QString DirectoryDisplayName(const QString& path);
