#include "TIndexedEngine.h"

#include "TScopeExit.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace {

// Builds begun again at most this often when the file changes while it is read.
constexpr int kBuildAttempts = 3;

struct TFileState
{
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Modified{}; // not the status change time: a reader opening a WAL file changes that

    bool operator==(const TFileState& o) const
    {
        return Exists == o.Exists && Device == o.Device && Inode == o.Inode && Size == o.Size
               && Modified.tv_sec == o.Modified.tv_sec && Modified.tv_nsec == o.Modified.tv_nsec;
    }
};

TFileState StateOf(const QByteArray& path)
{
    TFileState state;
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0)
        return state;
    state.Exists = true;
    state.Device = info.st_dev;
    state.Inode = info.st_ino;
    state.Size = info.st_size;
    state.Modified = info.st_mtim;
    return state;
}

} // namespace

// What the directory file is at a moment: its identity, size and times, those of an SQLite
// write-ahead log beside it (where commits land before they reach the file), and the file's first
// bytes (SQLite counts every change of the file in its header).
struct TIndexedEngine::TFingerprint
{
    TFileState File;
    TFileState Log;
    std::array<char, 100> Header{};

    static std::shared_ptr<const TFingerprint> Of(const QString& path)
    {
        auto print = std::make_shared<TFingerprint>();
        const QByteArray name = QFile::encodeName(path);
        print->File = StateOf(name);
        print->Log = StateOf(name + "-wal");
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            if (::pread(fd, print->Header.data(), print->Header.size(), 0) < 0)
                print->File.Exists = false;
            ::close(fd);
        }
        return print;
    }

    bool operator==(const TFingerprint& o) const { return File == o.File && Log == o.Log && Header == o.Header; }
};

TIndexedEngine::TIndexedEngine(std::unique_ptr<TDirectoryEngine> engine, QString path, TOpener opener)
    : fEngine(std::move(engine)), fPath(std::move(path)), fOpener(std::move(opener))
{
    if (!fOpener)
        fOpener = [](const QString& file) { return OpenDirectoryEngine(file); };
}

TIndexedEngine::~TIndexedEngine()
{
    StopBuild();
}

void TIndexedEngine::StopBuild()
{
    fBuildToken.Cancel();
    if (fBuilder.joinable())
        fBuilder.join();
}

void TIndexedEngine::StartIndexing(const QString& table, const QStringList& rankedColumns)
{
    {
        std::lock_guard lock(fMutex);
        if (fBuilding || (fIndex && fTable == table && fRankedColumns == rankedColumns))
            return;
        fTable = table;
        fRankedColumns = rankedColumns;
    }
    StartBuild();
}

void TIndexedEngine::StartBuild()
{
    if (fBuilder.joinable())
        fBuilder.join(); // a build that has ended
    {
        std::lock_guard lock(fMutex);
        fBuilding = true;
        fError.clear();
    }
    fBuildToken.Reset();
    fBuilder = std::thread([this] { Build(); });
}

void TIndexedEngine::Build()
{
    std::shared_ptr<const TDirectoryIndex> index;
    std::shared_ptr<const TFingerprint> print;
    QString error;
    try {
        for (int attempt = 0; attempt < kBuildAttempts && !index; ++attempt) {
            const auto before = TFingerprint::Of(fPath);
            std::unique_ptr<TDirectoryEngine> engine = fOpener(fPath);
            engine->SetCancelToken(&fBuildToken);
            std::unique_ptr<TResultTable> rows = engine->Select(TSelectStatement{fTable, {}});
            // Where a search could type a column otherwise than the whole table does, its rows
            // would not come out of the index as the engine gives them: only all-text tables then.
            if (engine->TypesFollowRows())
                for (const TResultColumn& column : rows->Columns())
                    if (column.DataType != ftString)
                        throw EDatabaseError(QStringLiteral("Поле '%1' таблицы '%2' справочника '%3' не текстовое: "
                                                            "поиск идёт без индекса.")
                                                 .arg(column.Name, fTable, fPath));
            auto built =
                std::make_shared<const TDirectoryIndex>(fTable, std::move(rows), fRankedColumns, &fBuildToken, fPath);
            if (*TFingerprint::Of(fPath) == *before) {
                index = std::move(built);
                print = before;
            }
        }
    } catch (const ECancelled&) {
    } catch (const Exception& e) {
        error = e.Message();
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    }
    std::lock_guard lock(fMutex);
    if (index) {
        fIndex = std::move(index);
        fIndexedPrint = std::move(print);
    }
    fError = error;
    fBuilding = false;
    fBuilt.notify_all();
}

bool TIndexedEngine::WaitForIndex()
{
    std::shared_ptr<const TFingerprint> print;
    {
        std::unique_lock lock(fMutex);
        fBuilt.wait(lock, [this] { return !fBuilding; });
        if (!fIndex)
            return false;
        print = fIndexedPrint;
    }
    return *TFingerprint::Of(fPath) == *print;
}

std::shared_ptr<const TDirectoryIndex> TIndexedEngine::Index() const
{
    std::lock_guard lock(fMutex);
    return fIndex;
}

QString TIndexedEngine::IndexError() const
{
    std::lock_guard lock(fMutex);
    return fError;
}

std::unique_ptr<TResultTable> TIndexedEngine::Select(const TSelectStatement& statement)
{
    std::shared_ptr<const TDirectoryIndex> index;
    std::shared_ptr<const TFingerprint> print;
    {
        std::lock_guard lock(fMutex);
        index = fIndex;
        print = fIndexedPrint;
    }
    if (index && index->Answers(statement)) {
        if (*TFingerprint::Of(fPath) == *print) {
            if (CancelToken() && CancelToken()->IsCancelled())
                throw ECancelled(fPath);
            return index->Select(statement, CancelToken());
        }
        // Another program has changed the file: its engine answers until a new index is ready.
        bool building;
        {
            std::lock_guard lock(fMutex);
            fIndex.reset();
            fIndexedPrint.reset();
            building = fBuilding;
        }
        if (!building)
            StartBuild();
    }
    fEngine->SetCancelToken(CancelToken());
    TScopeExit unwatch([this] { fEngine->SetCancelToken(nullptr); });
    return fEngine->Select(statement);
}
