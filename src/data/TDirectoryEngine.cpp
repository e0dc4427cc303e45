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
        Fail("Не найден файл '%s'.", path);
    if (info.isDir())
        Fail("'%s' — папка, а не файл базы данных.", path);
    if (!info.isFile())
        Fail("'%s' — не обычный файл и не может быть базой данных.", path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(FormatMessage(QStringLiteral("Не удаётся прочитать файл базы данных '%s': %s."),
                                           {path, file.errorString()}));
    const QByteArray head = file.read(32);
    file.close();
    if (head.isEmpty())
        Fail("Файл базы данных '%s' пуст.", path);
    if (head.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return std::make_unique<TSqliteEngine>(path);
    if (TJetEngine::IsJetHeader(head)) // Jet 3/4 (.mdb) and ACE (.accdb)
        return std::make_unique<TJetEngine>(path);
    Fail("Неизвестный формат базы данных '%s'.", path);
}
