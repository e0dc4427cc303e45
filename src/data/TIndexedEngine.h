#pragma once
// A directory file's engine with a search index beside it in memory. The index of one table is
// built in the background from a connection of its own, after the window has painted; until it is
// ready, and whenever the file no longer is what was indexed (another program committed to it),
// searches go to the engine as before, and a fresh index is built. Nothing is written anywhere.

#include "TDirectoryEngine.h"
#include "TDirectoryIndex.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TIndexedEngine : public TDirectoryEngine
{
public:
    // Opens a fresh engine of the same file for a build (OpenDirectoryEngine unless a test says).
    using TOpener = std::function<std::unique_ptr<TDirectoryEngine>(const QString& path)>;

    TIndexedEngine(std::unique_ptr<TDirectoryEngine> engine, QString path, TOpener opener = {});
    // Stops a build still running.
    ~TIndexedEngine() override;
    TIndexedEngine(const TIndexedEngine&) = delete;
    TIndexedEngine& operator=(const TIndexedEngine&) = delete;

    std::unique_ptr<TResultTable> Select(const TSelectStatement& statement) override;
    bool TypesFollowRows() const override { return fEngine->TypesFollowRows(); }

    // Starts building the index of the table (sort ranks for the named columns) in the background.
    void StartIndexing(const QString& table, const QStringList& rankedColumns);
    // Waits until a started build has ended; true when the index is ready and matches the file.
    bool WaitForIndex();
    // The ready index, if any (whether it still matches the file is checked by each Select).
    std::shared_ptr<const TDirectoryIndex> Index() const;
    // Why the last build failed (empty: it did not fail).
    QString IndexError() const;

private:
    struct TFingerprint;
    void StartBuild();
    void Build();
    void StopBuild();

    std::unique_ptr<TDirectoryEngine> fEngine;
    QString fPath;
    TOpener fOpener;
    QString fTable;
    QStringList fRankedColumns;

    mutable std::mutex fMutex;
    std::condition_variable fBuilt;
    std::shared_ptr<const TDirectoryIndex> fIndex;     // guarded by fMutex
    std::shared_ptr<const TFingerprint> fIndexedPrint; // what the file was when fIndex was read
    bool fBuilding = false;                            // guarded by fMutex
    QString fError;                                    // guarded by fMutex
    TCancelToken fBuildToken;
    std::thread fBuilder;
};
