#include "TProgramFiles.h"

#include "Exception.h"
#include "TApplication.h"
#include "TDBGridEh.h"
#include "TDemoDirectory.h"
#include "TForm1.h"
#include "TScopeExit.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

namespace {

const char* const kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"};

// Runs body with the four variables set as given (unset when absent) and puts them back after.
void WithEnvironment(const std::map<std::string, QString>& values, const std::function<void()>& body)
{
    std::map<std::string, std::optional<QByteArray>> saved;
    for (const char* name : kVariables)
        saved[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    TScopeExit restore([&saved] {
        for (const auto& [name, value] : saved) {
            if (value)
                qputenv(name.c_str(), *value);
            else
                qunsetenv(name.c_str());
        }
    });
    for (const char* name : kVariables) {
        const auto it = values.find(name);
        if (it == values.end())
            qunsetenv(name);
        else
            qputenv(name, it->second.toUtf8());
    }
    body();
}

void Touch(const QString& path)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath())) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

// A temporary root holding the program's folder "bin", a home "home" and a few data folders.
class ProgramFilesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(fRoot.isValid()); }
    QString At(const QString& relative) const { return fRoot.path() + u'/' + relative; }

    QTemporaryDir fRoot;
};

struct TLookupCase
{
    const char* Name;
    std::map<std::string, QString> Environment; // values relative to the root start with "@"
    QStringList Existing;                       // files made under the root
    QString Settings;                           // expected, under the root
    QString Database;
};

TEST_F(ProgramFilesTest, TheFirstPlaceHoldingAFileWins)
{
    const std::vector<TLookupCase> cases = {
        {"beside the program before every other place",
         {{"HOME", "@home"}, {"XDG_DATA_DIRS", "@sys"}},
         {"bin/phonebook.ini", "bin/phonebook.mdb", "home/.config/phonebook/phonebook.ini",
          "home/.local/share/phonebook/phonebook.mdb", "sys/phonebook/phonebook.mdb"},
         "bin/phonebook.ini",
         "bin/phonebook.mdb"},
        {"the user's places by default under the home folder",
         {{"HOME", "@home"}, {"XDG_DATA_DIRS", "@sys"}},
         {"home/.config/phonebook/phonebook.ini", "home/.local/share/phonebook/phonebook.mdb",
          "sys/phonebook/phonebook.mdb"},
         "home/.config/phonebook/phonebook.ini",
         "home/.local/share/phonebook/phonebook.mdb"},
        {"XDG_CONFIG_HOME and XDG_DATA_HOME replace the defaults",
         {{"HOME", "@home"}, {"XDG_CONFIG_HOME", "@cfg"}, {"XDG_DATA_HOME", "@data"}, {"XDG_DATA_DIRS", "@sys"}},
         {"home/.config/phonebook/phonebook.ini", "home/.local/share/phonebook/phonebook.mdb",
          "cfg/phonebook/phonebook.ini", "data/phonebook/phonebook.mdb"},
         "cfg/phonebook/phonebook.ini",
         "data/phonebook/phonebook.mdb"},
        {"relative and empty XDG values are ignored",
         {{"HOME", "@home"}, {"XDG_CONFIG_HOME", "cfg"}, {"XDG_DATA_HOME", ""}, {"XDG_DATA_DIRS", "@sys"}},
         {"home/.config/phonebook/phonebook.ini", "home/.local/share/phonebook/phonebook.mdb"},
         "home/.config/phonebook/phonebook.ini",
         "home/.local/share/phonebook/phonebook.mdb"},
        {"the user's data before the system's data folders",
         {{"HOME", "@home"}, {"XDG_DATA_HOME", "@data"}, {"XDG_DATA_DIRS", "@sys1:@sys2"}},
         {"data/phonebook/phonebook.mdb", "sys1/phonebook/phonebook.mdb"},
         "bin/phonebook.ini",
         "data/phonebook/phonebook.mdb"},
        {"the system's data folders in their order, empty and relative entries skipped",
         {{"HOME", "@home"}, {"XDG_DATA_DIRS", "::relative:@sys1:@sys2/:@sys3"}},
         {"relative/phonebook/phonebook.mdb", "sys2/phonebook/phonebook.mdb", "sys3/phonebook/phonebook.mdb"},
         "bin/phonebook.ini",
         "sys2/phonebook/phonebook.mdb"},
        {"a folder named like the file is no file",
         {{"HOME", "@home"}, {"XDG_DATA_DIRS", "@sys"}},
         {"home/.local/share/phonebook/phonebook.mdb/x", "home/.config/phonebook/phonebook.ini/x",
          "sys/phonebook/phonebook.mdb"},
         "bin/phonebook.ini",
         "sys/phonebook/phonebook.mdb"},
        {"nothing anywhere: the files beside the program",
         {{"HOME", "@home"}, {"XDG_DATA_DIRS", "@sys"}},
         {},
         "bin/phonebook.ini",
         "bin/phonebook.mdb"},
    };
    for (const TLookupCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const auto at = [&](const QString& relative) { return root.path() + u'/' + relative; };
        ASSERT_TRUE(QDir().mkpath(at("bin")));
        for (const QString& file : c.Existing)
            Touch(at(file));
        std::map<std::string, QString> env;
        for (const auto& [name, value] : c.Environment) {
            QString v = value;
            v.replace(u'@', root.path() + u'/');
            env[name] = v;
        }
        WithEnvironment(env, [&] {
            const TProgramFiles files = TProgramFiles::Locate(at("bin/phonebook"));
            EXPECT_EQ(QDir::cleanPath(files.SettingsPath()), at(c.Settings));
            EXPECT_EQ(QDir::cleanPath(files.DatabasePath()), at(c.Database));
        });
    }
}

TEST_F(ProgramFilesTest, PlacesInOrderWithTheDefaultsOfAnUnsetEnvironment)
{
    WithEnvironment({{"HOME", At("home")}}, [&] {
        const TProgramFiles files = TProgramFiles::Locate("/usr/bin/phonebook");
        EXPECT_EQ(files.SettingsPlaces(),
                  QStringList({"/usr/bin/phonebook.ini", At("home/.config/phonebook/phonebook.ini"),
                               "/etc/phonebook/phonebook.ini"}));
        EXPECT_EQ(files.DatabasePlaces(),
                  QStringList({"/usr/bin/phonebook.mdb", At("home/.local/share/phonebook/phonebook.mdb"),
                               "/usr/local/share/phonebook/phonebook.mdb", "/usr/share/phonebook/phonebook.mdb"}));
    });
    // The program's own folder keeps its file name; the other places always say "phonebook".
    WithEnvironment({{"HOME", At("home")}, {"XDG_DATA_DIRS", At("sys")}}, [&] {
        const TProgramFiles files = TProgramFiles::Locate(At("bin/PHONE.EXE"));
        EXPECT_EQ(files.DatabasePlaces(),
                  QStringList({At("bin/PHONE.mdb"), At("home/.local/share/phonebook/phonebook.mdb"),
                               At("sys/phonebook/phonebook.mdb")}));
    });
}

TEST_F(ProgramFilesTest, AMissingDirectoryIsReportedWithEveryPlaceLookedIn)
{
    WithEnvironment({{"HOME", At("home")}, {"XDG_DATA_DIRS", At("sys1") + ':' + At("sys2")}}, [&] {
        TProgramFiles files = TProgramFiles::Locate(At("bin/phonebook"));
        try {
            files.CheckDatabaseFound();
            FAIL() << "no error for a missing directory";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), "Не найден файл справочника phonebook.mdb. Программа искала его здесь:\n"
                                   "  " + At("bin/phonebook.mdb")
                                       + "\n"
                                         "  "
                                       + At("home/.local/share/phonebook/phonebook.mdb")
                                       + "\n"
                                         "  "
                                       + At("sys1/phonebook/phonebook.mdb")
                                       + "\n"
                                         "  "
                                       + At("sys2/phonebook/phonebook.mdb")
                                       + "\n"
                                         "Положите справочник в одно из этих мест");
        }
        Touch(At("sys2/phonebook/phonebook.mdb"));
        EXPECT_NO_THROW(files.CheckDatabaseFound());

        // A file named outright, or looked for beside the program only, is the engine's to report.
        files.Database = At("none.mdb");
        QFile::remove(At("sys2/phonebook/phonebook.mdb"));
        EXPECT_NO_THROW(files.CheckDatabaseFound());
        EXPECT_EQ(files.DatabasePath(), At("none.mdb"));
        EXPECT_NO_THROW(TProgramFiles::FromExecutable(At("bin/phonebook")).CheckDatabaseFound());
    });
}

// The window opens the directory it finds in the user's data folder and takes its caption from the
// user's settings; without a directory anywhere its error box lists the places.
TEST_F(ProgramFilesTest, TheWindowUsesTheUsersPlaces)
{
    QStringList errors;
    SetErrorSink([&errors](QWidget*, const QString& text) { errors << text; });
    TScopeExit unsink([] { SetErrorSink(nullptr); });
    WithEnvironment({{"HOME", At("home")}, {"XDG_DATA_DIRS", At("sys")}}, [&] {
        ASSERT_TRUE(QDir().mkpath(At("home/.local/share/phonebook")));
        TDemoDirectory::Write(At("home/.local/share/phonebook/phonebook.mdb"), 10, false);
        ASSERT_TRUE(QDir().mkpath(At("home/.config/phonebook")));
        QFile ini(At("home/.config/phonebook/phonebook.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[main]\ntitle=Справочник пользователя\n");
        ini.close();
        {
            TForm1 form(TProgramFiles::Locate(At("bin/phonebook")));
            EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
            EXPECT_EQ(form.windowTitle(), "Справочник пользователя");
            EXPECT_EQ(form.DBS->Columns().Count(), 5);
        }
        QFile::remove(At("home/.local/share/phonebook/phonebook.mdb"));
        TForm1 form(TProgramFiles::Locate(At("bin/phonebook")));
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].startsWith("Не найден файл справочника phonebook.mdb.")) << errors[0].toStdString();
        EXPECT_TRUE(errors[0].contains(At("sys/phonebook/phonebook.mdb"))) << errors[0].toStdString();
        // The rest of the start-up is skipped: none of the five columns, no match style.
        ASSERT_EQ(form.DBS->Columns().Count(), 1);
        EXPECT_TRUE(form.DBS->Columns().Items(0)->IsDefaultColumn());
        EXPECT_EQ(form.fio_style->currentIndex(), -1);
    });
}

} // namespace
