#include "TApplication.h"
#include "TProgramFiles.h"

#include "Exception.h"

#include <QDir>

#include <gtest/gtest.h>

#include <stdexcept>

TEST(ErrorBox, AppendsAFullStopOnlyAfterCharactersSortingAfterIt)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"Could not find file 'x'.", "Could not find file 'x'."},
        {"no such table: kray", "no such table: kray."},
        {"Ошибка", "Ошибка."},
        {"done!", "done!"},
        {"quoted 'x'", "quoted 'x'"},
        {"(x)", "(x)"},
        {"1/2", "1/2."},
        {"", ""},
    };
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(ErrorBoxText(message), shown) << message.toStdString();
}

TEST(ErrorBox, HandlersEndButTheProgramGoesOn)
{
    QStringList shown;
    SetErrorSink([&](QWidget*, const QString& text) { shown << text; });
    bool after = false;
    RunHandler(nullptr, [] { throw EDatabaseError("Syntax error"); });
    RunHandler(nullptr, [] { throw EAbort(); });
    RunHandler(nullptr, [&] { after = true; });
    SetErrorSink(nullptr);
    EXPECT_EQ(shown, QStringList{"Syntax error."});
    EXPECT_TRUE(after);
}

TEST(ErrorBox, AForeignExceptionIsShownAndTheProgramGoesOn)
{
    struct TForeign
    {
    };
    QStringList shown;
    SetErrorSink([&](QWidget*, const QString& text) { shown << text; });
    RunHandler(nullptr, [] { throw TForeign(); });
    RunHandler(nullptr, [] { throw 42; });
    RunHandler(nullptr, [] { throw std::runtime_error("bad state"); });
    bool after = false;
    RunHandler(nullptr, [&] { after = true; });
    SetErrorSink(nullptr);
    EXPECT_EQ(shown, (QStringList{"Операция прервана неизвестной ошибкой.", "Операция прервана неизвестной ошибкой.",
                                  "bad state."}));
    EXPECT_TRUE(after);
}

TEST(ProgramFiles, BaseIsTheNameLessATrailingExe)
{
    const QString dir = QDir::rootPath() + "opt/pb/";
    const std::vector<std::pair<QString, QString>> cases = {
        {"phonebook", "phonebook"},
        {"phonebook.exe", "phonebook"},
        {"PHONE.EXE", "PHONE"},
        {"a.exe", "a"},
        {".exe", ""},
        {"tool.sh", "tool.sh"},
    };
    for (const auto& [name, base] : cases) {
        const TProgramFiles f = TProgramFiles::FromExecutable(dir + name);
        EXPECT_EQ(f.Base, base) << name.toStdString();
        EXPECT_EQ(f.Dir, dir);
        EXPECT_EQ(f.SettingsPath(), dir + base + ".ini");
        EXPECT_EQ(f.DatabasePath(), dir + base + ".mdb");
    }
}
