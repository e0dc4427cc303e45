#include "TSafeFileWriterEh.h"

#include "Exception.h"
#include "ExportGrid.h"
#include "GoldenBytes.h"
#include "TDBGridEhExportAsText.h"
#include "TDBGridEhExportAsXLS.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kOldBytes = "the report of last week\r\n";

// One integer column N over the records 1..count.
std::unique_ptr<TExportGrid> NumberGrid(int count)
{
    std::vector<std::vector<QVariant>> rows;
    rows.reserve(std::size_t(count));
    for (int i = 1; i <= count; ++i)
        rows.push_back({i});
    auto g = std::make_unique<TExportGrid>(std::vector<TFieldDef>{{QStringLiteral("n"), ftInteger}}, std::move(rows));
    g->AddColumn(QStringLiteral("n"), QStringLiteral("N"));
    g->Open();
    return g;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString& path, const QByteArray& bytes, mode_t mode)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

mode_t Mode(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Everything in the folder, hidden files included: a temporary file left behind shows here.
QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Files larger than the limit cannot be written while it lives: the write that passes it fails
// with "File too large" (the signal that would end the program is ignored). Root is bound too.
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &fSaved);
        fOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = fSaved;
        lower.rlim_cur = bytes;
        fSet = ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~TFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &fSaved);
        std::signal(SIGXFSZ, fOldHandler);
    }
    bool Set() const { return fSet; }

private:
    rlimit fSaved{};
    void (*fOldHandler)(int) = nullptr;
    bool fSet = false;
};

// An export over an existing file that does not complete: the message the user sees, and the old
// file exactly as it was.
struct FailedExportCase
{
    std::string name;
    std::function<std::unique_ptr<TExportGrid>()> grid;
    TDBGridEhExportClass exportClass;
    TExportProgressEh progress;
    rlim_t sizeLimit; // 0: none
    // The expected message; %1 stands for the target's path.
    QString message;
};

void PrintTo(const FailedExportCase& c, std::ostream* os)
{
    *os << c.name;
}

class FailedExportOverAFile : public ::testing::TestWithParam<FailedExportCase>
{
};

TEST_P(FailedExportOverAFile, LeavesTheOldFileAndNoTemporaryFile)
{
    const FailedExportCase& c = GetParam();
    auto g = c.grid();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.out"));
    WriteFile(path, kOldBytes, 0640);
    QString message;
    {
        std::optional<TFileSizeLimit> limit;
        if (c.sizeLimit != 0) {
            limit.emplace(c.sizeLimit);
            ASSERT_TRUE(limit->Set());
        }
        try {
            ExportGridToFile(c.exportClass, g->Grid.get(), path, true, c.progress);
        } catch (const Exception& e) {
            message = e.Message();
        }
    }
    EXPECT_EQ(message.toStdString(), QString(c.message).replace(QStringLiteral("%1"), path).toStdString());
    EXPECT_BYTES(ReadAll(path), kOldBytes);
    EXPECT_EQ(Mode(path), mode_t(0640));
    EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("report.out")});
    EXPECT_FALSE(g->DataSet.NotifySuspended());
}

INSTANTIATE_TEST_SUITE_P(
    ExportToFile, FailedExportOverAFile,
    ::testing::Values(FailedExportCase{"XlsWithMoreRowsThanASheetHolds",
                                       [] { return NumberGrid(65536); },
                                       ExportClassEh<TDBGridEhExportAsXLS>,
                                       {},
                                       0,
                                       QStringLiteral("Лист Excel «%1» не записан: на листе помещается не больше "
                                                      "65536 строк, а в выгрузке их 65537.")},
                      FailedExportCase{"WriteFailsMidway",
                                       [] { return NumberGrid(20000); },
                                       ExportClassEh<TDBGridEhExportAsCSV>,
                                       {},
                                       5000,
                                       QStringLiteral("Не удалось записать файл «%1»: ") + Reason(EFBIG)},
                      FailedExportCase{"CancelledAfterSomeRecords", [] { return NumberGrid(20000); },
                                       ExportClassEh<TDBGridEhExportAsCSV>,
                                       [](qint64 done, qint64) { return done < 8192; }, 0,
                                       QStringLiteral("Operation aborted")},
                      FailedExportCase{"HandlerFails",
                                       [] {
                                           auto g = NumberGrid(20000);
                                           g->Grid->Columns()[0]->OnGetCellParams = [](TColumnEh* column, bool,
                                                                                       TColCellParamsEh&) {
                                               if (column->Field()->AsInteger() == 19000)
                                                   throw Exception(QStringLiteral("no 19000"));
                                           };
                                           return g;
                                       },
                                       ExportClassEh<TDBGridEhExportAsText>,
                                       {},
                                       0,
                                       QStringLiteral("no 19000")}),
    NamedCase());

// A complete export: the new bytes in place of the old, under the old file's permissions, or
// under the usual ones of a created file when there was none.
struct ReplaceCase
{
    std::string name;
    mode_t oldMode; // 0: no file there before
    mode_t umask;
    mode_t expectedMode;
};

void PrintTo(const ReplaceCase& c, std::ostream* os)
{
    *os << c.name;
}

class CompleteExport : public ::testing::TestWithParam<ReplaceCase>
{
};

TEST_P(CompleteExport, WritesTheNewBytesWithThePermissionsKept)
{
    const ReplaceCase& c = GetParam();
    auto g = TwoColumnGrid({{"a1", "a2"}, {"b1", "b2"}});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    if (c.oldMode != 0)
        WriteFile(path, QByteArray(5000, 'z'), c.oldMode);
    const mode_t saved = ::umask(c.umask);
    try {
        ExportGridToFile(ExportClassEh<TDBGridEhExportAsText>, g->Grid.get(), path, true);
    } catch (const Exception& e) {
        ADD_FAILURE() << e.what();
    }
    ::umask(saved);
    EXPECT_BYTES(ReadAll(path), Golden("example.txt"));
    EXPECT_EQ(Mode(path), c.expectedMode);
    EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("out.txt")});
}

INSTANTIATE_TEST_SUITE_P(ExportToFile, CompleteExport,
                         ::testing::Values(ReplaceCase{"Existing0640Stays0640", 0640, 022, 0640},
                                           ReplaceCase{"Existing0604Stays0604", 0604, 077, 0604},
                                           ReplaceCase{"NewUnderUmask022", 0, 022, 0644},
                                           ReplaceCase{"NewUnderUmask027", 0, 027, 0640}),
                         NamedCase());

TEST(ExportToFile, ThroughASymbolicLinkReplacesTheFileItNames)
{
    auto g = TwoColumnGrid({{"a1", "a2"}, {"b1", "b2"}});
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("real")));
    const QString real = dir.filePath(QStringLiteral("real/out.txt"));
    const QString link = dir.filePath(QStringLiteral("out.txt"));
    WriteFile(real, kOldBytes, 0600);
    ASSERT_TRUE(QFile::link(real, link));
    ExportGridToFile(ExportClassEh<TDBGridEhExportAsText>, g->Grid.get(), link, true);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), real);
    EXPECT_BYTES(ReadAll(real), Golden("example.txt"));
    EXPECT_EQ(Mode(real), mode_t(0600));
    EXPECT_EQ(Entries(dir.filePath(QStringLiteral("real"))), QStringList{QStringLiteral("out.txt")});
}

// Targets a rename cannot replace are written where they are.
TEST(ExportToFile, AFullDeviceNamesItselfAndTheSystemsReason)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full here";
    auto g = NumberGrid(100);
    try {
        ExportGridToFile(ExportClassEh<TDBGridEhExportAsCSV>, g->Grid.get(), QStringLiteral("/dev/full"), true);
        FAIL() << "no failure";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().toStdString(),
                  (QStringLiteral("Не удалось записать файл «/dev/full»: ") + Reason(ENOSPC)).toStdString());
    }
    EXPECT_FALSE(g->DataSet.NotifySuspended());
}

TEST(ExportToFile, AFifoIsWrittenInPlace)
{
    auto g = TwoColumnGrid({{"a1", "a2"}, {"b1", "b2"}});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // The read end is open first, so the export's open does not wait; the few bytes fit the
    // pipe's buffer. Were the FIFO not written, the read finds nothing instead of waiting.
    const int readEnd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(readEnd, 0);
    try {
        ExportGridToFile(ExportClassEh<TDBGridEhExportAsText>, g->Grid.get(), path, true);
    } catch (const Exception& e) {
        ADD_FAILURE() << e.what();
    }
    QByteArray received;
    char buffer[4096];
    for (ssize_t n; (n = ::read(readEnd, buffer, sizeof buffer)) > 0;)
        received.append(buffer, n);
    ::close(readEnd);
    EXPECT_BYTES(received, Golden("example.txt"));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("pipe")});
}

TEST(ExportToFile, CannotCreateKeepsItsMessage)
{
    auto g = TwoColumnGrid({{"a1", "a2"}});
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    WriteFile(dir.filePath(QStringLiteral("plain.txt")), kOldBytes, 0644);
    const struct
    {
        const char* name;
        QString path;
        int error;
    } cases[] = {
        {"a folder that does not exist", dir.filePath(QStringLiteral("missing/x.csv")), ENOENT},
        {"a folder as the target", dir.filePath(QStringLiteral("folder")), EISDIR},
        {"a file as a folder", dir.filePath(QStringLiteral("plain.txt/y.csv")), ENOTDIR},
    };
    for (const auto& c : cases) {
        try {
            ExportGridToFile(ExportClassEh<TDBGridEhExportAsCSV>, g->Grid.get(), c.path, true);
            ADD_FAILURE() << c.name << ": no failure";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message().toStdString(),
                      QStringLiteral("Cannot create file \"%1\". %2").arg(c.path, Reason(c.error)).toStdString())
                << c.name;
        }
    }
    EXPECT_EQ(Entries(dir.path()), (QStringList{QStringLiteral("folder"), QStringLiteral("plain.txt")}));
    EXPECT_TRUE(Entries(dir.filePath(QStringLiteral("folder"))).isEmpty());
}

TEST(SafeFileWriter, ARenameThatFailsNamesTheFileAndLeavesNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    {
        TSafeFileWriterEh file(path);
        EXPECT_FALSE(file.InPlace());
        ASSERT_EQ(file.Device()->write("new"), 3);
        // Meanwhile a folder takes the name: no rename puts a file in its place.
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out.txt/inside")));
        try {
            file.Commit();
            ADD_FAILURE() << "no failure";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message().toStdString(),
                      QStringLiteral("Не удалось заменить файл «%1»: %2").arg(path, Reason(EISDIR)).toStdString());
        }
    }
    EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("out.txt")});
    EXPECT_EQ(Entries(path), QStringList{QStringLiteral("inside")});
}

TEST(IsSameFileEh, SameDeviceAndInodeWhateverThePath)
{
    QTemporaryDir dir;
    const QDir d(dir.path());
    ASSERT_TRUE(d.mkdir(QStringLiteral("x")));
    const QString db = d.filePath(QStringLiteral("phonebook.mdb"));
    WriteFile(db, "directory", 0644);
    WriteFile(d.filePath(QStringLiteral("copy.mdb")), "directory", 0644);
    ASSERT_TRUE(QFile::link(db, d.filePath(QStringLiteral("link.mdb"))));
    ASSERT_EQ(::link(QFile::encodeName(db).constData(),
                     QFile::encodeName(d.filePath(QStringLiteral("hard.mdb"))).constData()),
              0);
    const QString relative = QDir::current().relativeFilePath(d.filePath(QStringLiteral("x/../phonebook.mdb")));
    const struct
    {
        const char* name;
        QString other;
        bool same;
    } cases[] = {
        {"the same path", db, true},
        {"through a folder and back", d.filePath(QStringLiteral("./x/../phonebook.mdb")), true},
        {"relative to the current folder", relative, true},
        {"a symbolic link to it", d.filePath(QStringLiteral("link.mdb")), true},
        {"another hard link", d.filePath(QStringLiteral("hard.mdb")), true},
        {"a copy", d.filePath(QStringLiteral("copy.mdb")), false},
        {"its folder", d.path(), false},
        {"a file not there yet", d.filePath(QStringLiteral("new.mdb")), false},
        {"no name", QString(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSameFileEh(c.other, db), c.same) << c.name;
        EXPECT_EQ(IsSameFileEh(db, c.other), c.same) << c.name;
    }
    // A file not there yet is not the same as itself either.
    EXPECT_FALSE(IsSameFileEh(d.filePath(QStringLiteral("new.mdb")), d.filePath(QStringLiteral("new.mdb"))));
}

} // namespace
