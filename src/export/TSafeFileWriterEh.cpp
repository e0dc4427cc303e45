#include "TSafeFileWriterEh.h"

#include "Exception.h"
#include "TScopeExit.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Exception CannotCreate(const QString& fileName, int error)
{
    return Exception(FormatMessage(QStringLiteral("Cannot create file \"%s\". %s"), {fileName, Reason(error)}));
}

Exception CannotReplace(const QString& fileName, const QString& reason)
{
    return Exception(QStringLiteral("Не удалось заменить файл «%1»: %2").arg(fileName, reason));
}

QString WriteMessage(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Не удалось записать файл «%1»: %2").arg(fileName, reason);
}

// Six letters and digits, so that two exports into one folder never meet.
QString RandomSuffix()
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(36)]);
    return suffix;
}

} // namespace

// Writes straight to the file handle and keeps the system's reason when a write fails, also
// one that fails after part of the bytes went out.
class TSafeFileWriterEh::THandleDevice : public QIODevice
{
public:
    explicit THandleDevice(int handle) : fHandle(handle) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }
    int Error() const { return fError; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        qint64 written = 0;
        while (written < size) {
            const ssize_t n = ::write(fHandle, data + written, std::size_t(size - written));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                fError = n < 0 ? errno : EIO;
                setErrorString(Reason(fError));
                break;
            }
            written += n;
        }
        return written > 0 || size == 0 ? written : -1;
    }

private:
    int fHandle;
    int fError = 0;
};

TSafeFileWriterEh::TSafeFileWriterEh(const QString& fileName) : fFileName(QFileInfo(fileName).absoluteFilePath())
{
    const QByteArray path = QFile::encodeName(fFileName);
    struct stat target;
    if (::stat(path.constData(), &target) == 0) {
        if (!S_ISREG(target.st_mode)) {
            OpenInPlace();
            return;
        }
        // A file this user may not write is not replaced behind its back either.
        if (::access(path.constData(), W_OK) != 0)
            throw CannotCreate(fFileName, errno);
        fFinalName = QFileInfo(fFileName).canonicalFilePath();
        OpenBeside(&target);
        return;
    }
    struct stat link;
    if (errno == ENOENT && ::lstat(path.constData(), &link) == 0) {
        // A symbolic link to nothing yet: writing through it makes the file it names.
        OpenInPlace();
        return;
    }
    fFinalName = fFileName;
    OpenBeside(nullptr);
}

TSafeFileWriterEh::~TSafeFileWriterEh()
{
    CloseHandle();
    if (!fTempName.isEmpty())
        ::unlink(QFile::encodeName(fTempName).constData());
}

void TSafeFileWriterEh::OpenInPlace()
{
    fInPlace = true;
    fHandle = ::open(QFile::encodeName(fFileName).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fHandle < 0)
        throw CannotCreate(fFileName, errno);
    fDevice = std::make_unique<THandleDevice>(fHandle);
}

void TSafeFileWriterEh::OpenBeside(const struct stat* old)
{
    const QFileInfo finalInfo(fFinalName);
    const QString folder = finalInfo.absolutePath();
    // Hidden, and short enough that a long target name still leaves room for the suffix.
    const QString stem = u'.' + finalInfo.fileName().left(64) + u'.';
    QString name;
    for (int attempt = 0;; ++attempt) {
        name = folder + u'/' + stem + RandomSuffix();
        // A new file takes the permissions any created file takes; a replacement takes the old
        // file's below, and is private until then.
        fHandle =
            ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
        if (fHandle >= 0)
            break;
        const int error = errno;
        if (error == EEXIST && attempt < 100)
            continue;
        if (!old)
            throw CannotCreate(fFileName, error);
        throw CannotReplace(
            fFileName, QStringLiteral("в папке «%1» нельзя создать временный файл: %2").arg(folder, Reason(error)));
    }
    fTempName = name;
    // No destructor runs for a constructor that fails: the file made above goes here.
    bool opened = false;
    TScopeExit discard([&] {
        if (opened)
            return;
        CloseHandle();
        ::unlink(QFile::encodeName(fTempName).constData());
        fTempName.clear();
    });
    if (old) {
        // The owner is kept where this user may set it (as root); the permissions always.
        if ((old->st_uid != ::geteuid() || old->st_gid != ::getegid())
            && ::fchown(fHandle, old->st_uid, old->st_gid) != 0) {
            // Not ours to give away: the new file belongs to this user.
        }
        if (::fchmod(fHandle, old->st_mode & 07777) != 0)
            throw CannotReplace(fFileName, Reason(errno));
    }
    fDevice = std::make_unique<THandleDevice>(fHandle);
    opened = true;
}

QIODevice* TSafeFileWriterEh::Device()
{
    return fDevice.get();
}

bool TSafeFileWriterEh::WriteFailed() const
{
    return fDevice && fDevice->Error() != 0;
}

QString TSafeFileWriterEh::WriteFailure() const
{
    return WriteMessage(fFileName, fDevice ? Reason(fDevice->Error()) : QString());
}

void TSafeFileWriterEh::CloseHandle()
{
    if (fHandle >= 0)
        ::close(fHandle);
    fHandle = -1;
}

void TSafeFileWriterEh::Commit()
{
    if (!fInPlace && ::fsync(fHandle) != 0 && errno != EINVAL)
        throw Exception(WriteMessage(fFileName, Reason(errno)));
    const int handle = fHandle;
    fHandle = -1;
    // Some file systems report a failed write only here.
    if (::close(handle) != 0 && errno != EINTR)
        throw Exception(WriteMessage(fFileName, Reason(errno)));
    if (fInPlace)
        return;
    if (::rename(QFile::encodeName(fTempName).constData(), QFile::encodeName(fFinalName).constData()) != 0)
        throw CannotReplace(fFileName, Reason(errno));
    fTempName.clear();
}

bool IsSameFileEh(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat first;
    struct stat second;
    if (::stat(QFile::encodeName(a).constData(), &first) != 0 || ::stat(QFile::encodeName(b).constData(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
