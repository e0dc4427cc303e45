// The captions the window system shows for the program's windows, asked of a real X server: the
// program started under an Xvfb of the test's own, its windows' names read back with xdotool.

#include "QtPrinters.h"
#include "XvfbServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <optional>

namespace {

const QString kProgram = QStringLiteral(PB_BINARY_DIR "/src/app/phonebook");

// The program file in a folder of its own, with a small directory beside it and, when given, its
// settings file: the program finds both by its own name.
class TProgramFolder
{
public:
    bool Make(const std::optional<QByteArray>& settings)
    {
        if (!fDir.isValid() || !QFile::copy(kProgram, Program()))
            return false;
        if (settings) {
            QFile ini(fDir.filePath("phonebook.ini"));
            if (!ini.open(QIODevice::WriteOnly) || ini.write(*settings) != settings->size())
                return false;
        }
        sqlite3* db = nullptr;
        if (sqlite3_open(fDir.filePath("phonebook.mdb").toUtf8().constData(), &db) != SQLITE_OK)
            return false;
        const int rc = sqlite3_exec(db,
                                    "CREATE TABLE kray(numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);"
                                    "INSERT INTO kray VALUES('2-34-56','Adams John','Main St','12','5');"
                                    "INSERT INTO kray VALUES('4-33-33','Baker Ann','Main St','7','40');",
                                    nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return rc == SQLITE_OK;
    }
    QString Program() const { return fDir.filePath("phonebook"); }

private:
    QTemporaryDir fDir;
};

// The program running on the server; it is ended with the object.
class TRunningProgram
{
public:
    TRunningProgram(const TXvfbServer& server, const QString& program)
    {
        fProcess.setProcessEnvironment(server.Environment());
        fProcess.start(program, {});
    }
    ~TRunningProgram()
    {
        fProcess.kill();
        fProcess.waitForFinished(10000);
    }
    qint64 Pid() const { return fProcess.processId(); }
    QString Errors() { return QString::fromLocal8Bit(fProcess.readAllStandardError()); }

private:
    QProcess fProcess;
};

#define SKIP_WITHOUT_X_SERVER()                                                                                        \
    if (!TXvfbServer::Installed())                                                                                     \
    GTEST_SKIP() << "Xvfb or xdotool is not installed (Debian packages xvfb, xdotool): no window system to ask"

TEST(WindowCaption, TheWindowSystemShowsTheCaptionAsTheSettingsGiveIt)
{
    SKIP_WITHOUT_X_SERVER();
    TXvfbServer server;
    QString why;
    ASSERT_FALSE(server.Start(why).isEmpty()) << why.toStdString();

    const struct
    {
        const char* name;
        std::optional<QByteArray> settings;
        QString caption;
    } cases[] = {
        {"a caption of the settings file", QByteArray("[main]\r\ntitle=Справочник АТС-5\r\n"), "Справочник АТС-5"},
        {"an empty caption stays empty", QByteArray("[main]\ntitle=\n"), ""},
        {"no settings file", std::nullopt, "Телефонный справочник"},
        {"the program's name as the caption", QByteArray("[main]\ntitle=Телефонный справочник\n"),
         "Телефонный справочник"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TProgramFolder folder;
        ASSERT_TRUE(folder.Make(c.settings));
        TRunningProgram program(server, folder.Program());
        const QString window = server.WaitForWindow(program.Pid(), [](const QString&, const QString&) { return true; });
        ASSERT_FALSE(window.isEmpty()) << "no window shown: " << program.Errors().toStdString();
        QByteArray name = server.Xdotool({"getwindowname", window});
        ASSERT_FALSE(name.isNull());
        name.chop(1); // xdotool's line end
        EXPECT_EQ(QString::fromUtf8(name), c.caption);
    }
}

// The find dialog and the save dialog carry their own captions, with nothing of the program's
// name appended.
TEST(WindowCaption, DialogsShowTheirOwnCaptions)
{
    SKIP_WITHOUT_X_SERVER();
    TXvfbServer server;
    QString why;
    ASSERT_FALSE(server.Start(why).isEmpty()) << why.toStdString();
    TProgramFolder folder;
    ASSERT_TRUE(folder.Make(QByteArray("[main]\ntitle=Справочник АТС-5\n")));
    TRunningProgram program(server, folder.Program());
    const QString window = server.WaitForWindow(program.Pid(), [](const QString&, const QString&) { return true; });
    ASSERT_FALSE(window.isEmpty()) << "no window shown: " << program.Errors().toStdString();

    // A search by the owner's name, then Ctrl+F in the grid. Places are the design's at 96 dpi.
    auto click = [&](int x, int y) {
        return !server.Xdotool({"mousemove", "--window", window, QString::number(x), QString::number(y), "click", "1"})
                    .isNull();
    };
    ASSERT_TRUE(click(200, 40)); // fio
    ASSERT_FALSE(server.Xdotool({"type", "--delay", "30", "Adams"}).isNull());
    ASSERT_FALSE(server.Xdotool({"key", "Return"}).isNull());
    ASSERT_TRUE(click(300, 180)); // the grid's first row
    ASSERT_FALSE(server.Xdotool({"key", "ctrl+f"}).isNull());
    const QString find = server.WaitForWindow(
        program.Pid(), [](const QString&, const QString& caption) { return caption.startsWith("Find"); });
    ASSERT_FALSE(find.isEmpty()) << "the find dialog did not open";
    QByteArray name = server.Xdotool({"getwindowname", find});
    EXPECT_EQ(name, "Find text\n");
    ASSERT_FALSE(server.Xdotool({"key", "Escape"}).isNull());

    ASSERT_TRUE(click(608, 114)); // "Экспорт"
    const QString save = server.WaitForWindow(
        program.Pid(), [&](const QString& id, const QString&) { return id != window && id != find; });
    ASSERT_FALSE(save.isEmpty()) << "the save dialog did not open";
    name = server.Xdotool({"getwindowname", save});
    EXPECT_FALSE(name.contains("Телефонный справочник")) << name.toStdString();
    EXPECT_FALSE(name.contains("—")) << name.toStdString();
}

} // namespace
