#include "TDirectoryEngine.h"

#include "TJetEngine.h"
#include "TSqliteEngine.h"

#include <QFile>
#include <QFileInfo>

namespace {

[[noreturn]] void Fail(const char* pattern, const QString& path)
{
    throw EDatabaseError(FormatMessage(QString::fromUtf8(pattern), {path}));
}

} // namespace

ECancelled::ECancelled(const QString& path)
    : fReason(FormatMessage(QStringLiteral("Поиск в справочнике '%s' прерван."), {path}))
{
}

std::unique_ptr<TDirectoryEngine> OpenDirectoryEngine(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        Fail("Could not find file '%s'.", path);
    if (info.isDir())
        Fail("'%s' is a folder, not a database file.", path);
    if (!info.isFile())
        Fail("'%s' is not a regular file and cannot be a database.", path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(FormatMessage(QStringLiteral("Cannot read the database file '%s': %s."),
                                           {path, file.errorString()}));
    const QByteArray head = file.read(32);
    file.close();
    if (head.isEmpty())
        Fail("The database file '%s' is empty.", path);
    if (head.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return std::make_unique<TSqliteEngine>(path);
    if (TJetEngine::IsJetHeader(head))  // Jet 3/4 (.mdb) and ACE (.accdb)
        return std::make_unique<TJetEngine>(path);
    Fail("Unrecognized database format '%s'.", path);
}
