// Any file name the file system allows reaches the engine through the connection string: quoting
// round-trips, and a directory under each hostile name opens and is searched.
#include "TADOConnection.h"
#include "TADOQuery.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <string>
#include <vector>

namespace {

struct TPathCase
{
    std::string Name;
    QString Folder; // below the temporary folder; may be empty
    QString File;
};

std::ostream& operator<<(std::ostream& os, const TPathCase& c)
{
    return os << c.Name;
}

const std::vector<TPathCase> kPaths = {
    {"Plain", "", "phonebook.mdb"},
    {"Semicolon", "", "a;b.mdb"},
    {"DoubleQuote", "", "a\"b.mdb"},
    {"SingleQuote", "", "o'neil.mdb"},
    {"AllThreeTogether", "", "x\"y'z;w.mdb"},
    {"QuotesDoubledAlready", "", "a\"\"b''c;.mdb"},
    {"StartsWithDoubleQuote", "", "\"start.mdb"},
    {"StartsWithSingleQuote", "", "'start.mdb"},
    {"EndsWithQuotes", "", "end'\""},
    {"OnlyQuotesAndSemicolons", "", "\"';\"';"},
    {"EqualsSigns", "", "a=b;c=d.mdb"},
    {"BlanksAtBothEnds", "", "  blanks.mdb  "},
    {"TabAndNewline", "", "tab\tnew\nline.mdb\n"},
    {"UriCharacters", "", "%20#?&mode=rw.mdb"},
    {"Backslash", "", "a\\b.mdb"},
    {"CyrillicAndEverything", "", "Справочник \"Ромашка\"; o'neil ё.mdb"},
    {"AstralCharacters", "", "\U0001F4DE.mdb"},
    {"HostileFolderToo", "dir \"';= ", "file.mdb"},
};

class TConnectionPaths : public ::testing::TestWithParam<TPathCase>
{
};

TEST_P(TConnectionPaths, TheDirectoryUnderThisNameOpens)
{
    QTemporaryDir dir;
    QString folder = dir.path();
    if (!GetParam().Folder.isEmpty()) {
        folder = QDir(dir.path()).filePath(GetParam().Folder);
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    const QString path = folder + u'/' + GetParam().File;
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);"
                               "INSERT INTO kray VALUES ('1', 'Иванов', 'ул. Мира', '1', '1');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    ASSERT_TRUE(QFile::exists(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    file.close();

    TADOConnection connection;
    connection.SetConnectionString(TADOConnection::ConnectionStringFor(path));
    EXPECT_EQ(connection.DataSource().toStdString(), path.toStdString());
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQL("SELECT * FROM kray WHERE vlad like \"и%\";");
    query.Open();
    EXPECT_EQ(query.RecordCount(), 1);
    connection.Close();

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex().toStdString(),
              before.toStdString());
}

INSTANTIATE_TEST_SUITE_P(Cases, TConnectionPaths, ::testing::ValuesIn(kPaths),
                         [](const auto& param) { return param.param.Name; });

struct TValueCase
{
    std::string Name;
    QString ConnectionString;
    QString Value;
};

std::ostream& operator<<(std::ostream& os, const TValueCase& c)
{
    return os << c.Name;
}

class TQuotedValues : public ::testing::TestWithParam<TValueCase>
{
};

TEST_P(TQuotedValues, ReadAsWritten)
{
    EXPECT_EQ(TADOConnection::ConnectionStringValue(GetParam().ConnectionString, "Data Source").toStdString(),
              GetParam().Value.toStdString());
}

const std::vector<TValueCase> kValues = {
    {"DoubledDoubleQuote", "Data Source=\"a\"\"b;c\";Provider=x", "a\"b;c"},
    {"DoubledSingleQuote", "Data Source='it''s; here'", "it's; here"},
    {"OtherQuoteInsideIsPlain", "Data Source=\"it's\"", "it's"},
    {"BlanksInsideQuotesStay", "Data Source=\"  a  \" ;Provider=x", "  a  "},
    {"BlanksBeforeTheQuote", "Data Source =   \"a;b\"", "a;b"},
    {"TextAfterTheClosingQuoteIgnored", "Data Source=\"a\"junk;Provider=x", "a"},
    {"EmptyQuoted", "Data Source=\"\";Provider=x", ""},
    {"UnclosedQuoteTakesTheRest", "Provider=x;Data Source=\"a;b", "\"a;b"},
    {"QuoteInsideABareValueIsPlain", "Data Source=a\"b;Provider=x", "a\"b"},
    {"LaterKeyWins", "Data Source=\"a\";Data Source='b'", "b"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TQuotedValues, ::testing::ValuesIn(kValues),
                         [](const auto& param) { return param.param.Name; });

TEST(TQuotedValues, AnyValueRoundTrips)
{
    const QString alphabet = QStringLiteral("\"';= \tаЯx=\\");
    QRandomGenerator random(20261210);
    for (int i = 0; i < 20000; ++i) {
        QString value;
        const int length = int(random.bounded(9));
        for (int k = 0; k < length; ++k)
            value += alphabet[qsizetype(random.bounded(alphabet.size()))];
        const QString text = QStringLiteral("Provider=x;Data Source=") + TADOConnection::QuotedConnectionValue(value)
                             + QStringLiteral(";Persist Security Info=False");
        ASSERT_EQ(TADOConnection::ConnectionStringValue(text, "Data Source").toStdString(), value.toStdString())
            << "connection string: " << text.toStdString();
        ASSERT_EQ(TADOConnection::ConnectionStringValue(text, "Persist Security Info").toStdString(), "False");
    }
}

} // namespace
