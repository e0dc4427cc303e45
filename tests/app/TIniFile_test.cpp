#include "TIniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Case
{
    const char* name;
    QByteArray content; // empty: no file at all
    QString expected;
};

const QString kDefault = QStringLiteral("Телефонный справочник");

} // namespace

TEST(SettingsFile, ReadsTheTitleLikeTheProfileReader)
{
    const QByteArray longValue(3000, 'x');
    const std::vector<Case> cases = {
        {"missing file", {}, kDefault},
        {"missing section", "[other]\ntitle=X\n", kDefault},
        {"missing key", "[main]\ncaption=X\n", kDefault},
        {"plain value", "[main]\ntitle=Справочник МГТС\n", "Справочник МГТС"},
        {"empty value gives an empty caption", "[main]\ntitle=\n", ""},
        {"blanks around value trimmed", "[main]\ntitle =   Справочник  \r\n", "Справочник"},
        {"surrounding double quotes removed", "[main]\ntitle=\"  Справочник \"\n", "  Справочник "},
        {"surrounding single quotes removed", "[main]\ntitle='Справочник'\n", "Справочник"},
        {"only one pair of quotes removed", "[main]\ntitle=\"\"x\"\"\n", "\"x\""},
        {"unmatched quote kept", "[main]\ntitle=\"x\n", "\"x"},
        {"names ignore letter case", "[MAIN]\nTitle=A\n", "A"},
        {"key in a later section is not read", "[main]\nx=1\n[other]\ntitle=B\n", kDefault},
        {"comment lines skipped", "; note\n[main]\n;title=no\ntitle=C\n", "C"},
        {"long value cut to 2047 characters", "[main]\ntitle=" + longValue + "\n", QString(2047, u'x')},
        {"windows-1251 file", QByteArray("[main]\ntitle=\xD1\xEF\xF0\xE0\xE2\xEA\xE0\n"), "Справка"},
        {"UTF-8 with byte-order mark", "\xEF\xBB\xBF[main]\ntitle=Да\n", "Да"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("phonebook.ini");
        if (!c.content.isEmpty()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        EXPECT_EQ(ReadProfileString(path, "main", "title", kDefault), c.expected);
    }
}
