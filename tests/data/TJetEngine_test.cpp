// The Jet engine against an independent reader: mdbtools' own mdb-export prints every table of
// the sample files, and our rows must hold the same values. Then the statement filter, the error
// messages, and corrupted copies of the samples that must fail cleanly.
#include "Exception.h"
#include "TJetEngine.h"
#include "TSelectStatement.h"

#include "MdbExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <random>

namespace {

const QString kNwind = QStringLiteral(PB_FIXTURES_DIR "/nwind.mdb");
const QString kDateTest = QStringLiteral(PB_FIXTURES_DIR "/DateTestDatabase.mdb");

// Sets (or removes) an environment variable for one scope.
class TEnvGuard
{
public:
    TEnvGuard(const char* name, std::optional<QByteArray> value)
        : fName(name), fOld(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        Set(value);
    }
    ~TEnvGuard() { Set(fOld); }

private:
    void Set(const std::optional<QByteArray>& value)
    {
        if (value)
            qputenv(fName, *value);
        else
            qunsetenv(fName);
    }
    const char* fName;
    std::optional<QByteArray> fOld;
};

// Compares one value of ours with mdb-export's text for it, by the column's type.
void ExpectSameValue(const TResultTable& table, int row, int column, const std::optional<QString>& exported,
                     const QString& where)
{
    SCOPED_TRACE(where.toStdString());
    const TFieldType type = table.Columns()[std::size_t(column)].DataType;
    if (!exported) {
        EXPECT_TRUE(table.IsNull(row, column)) << "ours: " << table.Text(row, column).toStdString();
        return;
    }
    ASSERT_FALSE(table.IsNull(row, column)) << "mdb-export: " << exported->toStdString();
    const QVariant ours = table.Value(row, column);
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftAutoInc:
    case ftWord:
    case ftLargeint:
        EXPECT_EQ(ours.toLongLong(), exported->toLongLong());
        break;
    case ftBoolean:
        EXPECT_EQ(ours.toBool(), exported->toInt() != 0);
        break;
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
        bool ok = false;
        const double theirs = exported->toDouble(&ok);
        ASSERT_TRUE(ok) << exported->toStdString();
        // Singles are printed with about 8 significant digits.
        EXPECT_NEAR(ours.toDouble(), theirs, 1e-6 * std::max(1.0, std::fabs(theirs)));
        break;
    }
    case ftDateTime: {
        const QDateTime theirs = QDateTime::fromString(*exported, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        ASSERT_TRUE(theirs.isValid()) << "mdb-export printed no date: " << exported->toStdString();
        EXPECT_EQ(ours.toDateTime(), QDateTime(theirs.date(), theirs.time(), Qt::UTC));
        break;
    }
    case ftBytes:
    case ftBlob:
        EXPECT_EQ(ours.toByteArray().toHex().toUpper().toStdString(), exported->toStdString());
        break;
    default:
        EXPECT_EQ(ours.toString().toStdString(), exported->toStdString());
        break;
    }
}

// Every row and value of a table equals mdb-export's, in the same order.
void ExpectTableAsExported(const QString& file, const QString& table, const std::optional<QByteArray>& jet3Charset,
                           const QByteArray& exportCharset)
{
    const TEnvGuard charset("MDB_JET3_CHARSET", jet3Charset);
    TJetEngine engine(file);
    const auto ours = engine.Select(TSelectStatement{table, {}});
    const TMdbExport theirs = RunMdbExport(file, table, exportCharset);
    ASSERT_EQ(ours->ColumnCount(), theirs.Names.size());
    for (int c = 0; c < ours->ColumnCount(); ++c)
        EXPECT_EQ(ours->Columns()[std::size_t(c)].Name.toStdString(), theirs.Names[c].toStdString());
    ASSERT_EQ(std::size_t(ours->RowCount()), theirs.Rows.size());
    ASSERT_GT(ours->RowCount(), 0);
    for (int r = 0; r < ours->RowCount(); ++r) {
        ASSERT_EQ(theirs.Rows[std::size_t(r)].size(), std::size_t(ours->ColumnCount())) << "row " << r;
        for (int c = 0; c < ours->ColumnCount(); ++c) {
            const QString where = QStringLiteral("%1 row %2 column %3").arg(table).arg(r + 1).arg(theirs.Names[c]);
            const auto& exported = theirs.Rows[std::size_t(r)][std::size_t(c)];
            if (exported && exported->startsWith(QStringLiteral("1900-01-00"))) {
                // mdb-export's sign for a date it cannot print: ours must be the date in the file.
                const qlonglong id = ours->Value(r, 0).toLongLong();
                bool known = false;
                for (const TKnownDate& k : kDatesMdbExportCannotPrint) {
                    if (file == kDateTest && k.id == id && theirs.Names[c] == QLatin1String(k.column)) {
                        EXPECT_EQ(ours->Value(r, c).toDateTime(), QDateTime(k.expected, QTime(0, 0), Qt::UTC))
                            << k.name << ", " << where.toStdString();
                        known = true;
                    }
                }
                EXPECT_TRUE(known) << "unexpected unprintable date at " << where.toStdString();
                continue;
            }
            ExpectSameValue(*ours, r, c, exported, where);
        }
    }
}

struct TTableCase
{
    const char* name;
    QString file;
    QString table;
    std::optional<QByteArray> jet3Charset; // in our environment
    QByteArray exportCharset;              // for mdb-export, which reads windows-1252 by default
};

void PrintTo(const TTableCase& tableCase, std::ostream* out)
{
    *out << tableCase.name;
}

class JetTableAsExported : public testing::TestWithParam<TTableCase>
{
};

} // namespace

TEST_P(JetTableAsExported, EveryRowAndValue)
{
    SKIP_WITHOUT_MDB_EXPORT();
    ExpectTableAsExported(GetParam().file, GetParam().table, GetParam().jet3Charset, GetParam().exportCharset);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, JetTableAsExported,
    testing::Values(TTableCase{"Customers_Western", kNwind, "Customers", QByteArray("CP1252"), "CP1252"},
                    TTableCase{"Customers_Cyrillic_by_default", kNwind, "Customers", std::nullopt, "CP1251"},
                    TTableCase{"Customers_double_byte_code_page", kNwind, "Customers", QByteArray("CP932"), "CP932"},
                    TTableCase{"DateTest_Jet4", kDateTest, "DateTest", std::nullopt, "CP1251"},
                    TTableCase{"OrderDetails_singles_and_currency", kNwind, "Order Details", QByteArray("CP1252"),
                               "CP1252"},
                    TTableCase{"Orders_dates", kNwind, "Orders", QByteArray("CP1252"), "CP1252"},
                    TTableCase{"Products_booleans", kNwind, "Products", QByteArray("CP1252"), "CP1252"},
                    TTableCase{"Employees_memo_and_OLE", kNwind, "Employees", QByteArray("CP1252"), "CP1252"},
                    TTableCase{"Categories_pictures", kNwind, "Categories", QByteArray("CP1252"), "CP1252"},
                    TTableCase{"Suppliers_hyperlinks", kNwind, "Suppliers", QByteArray("CP1252"), "CP1252"}),
    [](const testing::TestParamInfo<TTableCase>& tableCase) { return std::string(tableCase.param.name); });

TEST(JetEngine, FieldTypesFollowTheColumns)
{
    struct Case
    {
        QString file;
        QString table;
        QString column;
        TFieldType type;
        int size;
    };
    const std::vector<Case> cases = {
        {kNwind, "Customers", "CompanyName", ftString, 40},
        {kNwind, "Products", "ProductID", ftAutoInc, 0},
        {kNwind, "Products", "SupplierID", ftInteger, 0},
        {kNwind, "Products", "UnitsInStock", ftSmallint, 0},
        {kNwind, "Products", "UnitPrice", ftCurrency, 0},
        {kNwind, "Products", "Discontinued", ftBoolean, 0},
        {kNwind, "Order Details", "Discount", ftFloat, 0},
        {kNwind, "Orders", "OrderDate", ftDateTime, 0},
        {kNwind, "Employees", "Notes", ftMemo, 0},
        {kNwind, "Employees", "Photo", ftBlob, 0},
        {kDateTest, "DateTest", "ShortTextCol", ftString, 255},
        {kDateTest, "DateTest", "LongTextCol", ftMemo, 0},
        {kDateTest, "DateTest", "IDCol", ftInteger, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.table + "." + c.column).toStdString());
        TJetEngine engine(c.file);
        const auto result = engine.Select(TSelectStatement{c.table, {{c.column, TCondition::Equal, "no such value"}}});
        EXPECT_EQ(result->RowCount(), 0);
        const auto& columns = result->Columns();
        const auto it = std::find_if(columns.begin(), columns.end(),
                                     [&](const TResultColumn& col) { return col.Name == c.column; });
        ASSERT_NE(it, columns.end());
        EXPECT_EQ(FieldTypeName(it->DataType).toStdString(), FieldTypeName(c.type).toStdString());
        EXPECT_EQ(it->Size, c.size);
    }
}

TEST(JetEngine, FilterMatchesTheSameFilterOnMdbExport)
{
    SKIP_WITHOUT_MDB_EXPORT();
    const TEnvGuard charset("MDB_JET3_CHARSET", QByteArray("CP1252"));
    TJetEngine engine(kNwind);
    const auto ours = engine.Select(ParseSelectStatement(
        QStringLiteral("SELECT * FROM Customers WHERE CompanyName like \"a%\" and Country=\"germany\";")));
    const TMdbExport theirs = RunMdbExport(kNwind, QStringLiteral("Customers"), QByteArray("CP1252"));
    const qsizetype name = theirs.Names.indexOf(QStringLiteral("CompanyName"));
    const qsizetype country = theirs.Names.indexOf(QStringLiteral("Country"));
    const qsizetype id = theirs.Names.indexOf(QStringLiteral("CustomerID"));
    QStringList expected;
    for (const auto& row : theirs.Rows)
        if (row[std::size_t(name)].value_or(QString()).startsWith(u'a', Qt::CaseInsensitive)
            && row[std::size_t(country)].value_or(QString()).compare(QStringLiteral("germany"), Qt::CaseInsensitive)
                   == 0)
            expected << *row[std::size_t(id)];
    QStringList got;
    for (int r = 0; r < ours->RowCount(); ++r)
        got << ours->Text(r, int(id));
    EXPECT_FALSE(expected.isEmpty());
    EXPECT_EQ(got, expected);
}

TEST(JetEngine, MatchesTextCaseInsensitivelyAndOtherValuesByTheirText)
{
    const TEnvGuard charset("MDB_JET3_CHARSET", QByteArray("CP1252"));
    TJetEngine engine(kNwind);
    struct Case
    {
        const char* name;
        QString table;
        TCondition condition;
        int rows;
    };
    const auto like = TCondition::Like;
    const auto equal = TCondition::Equal;
    const std::vector<Case> cases = {
        {"accented capital matches small letter", "Customers", {"City", like, "mÉxico%"}, 5},
        {"underscore is one character", "Customers", {"CustomerID", like, "AL_KI"}, 1},
        {"equal is case-insensitive", "Customers", {"CustomerID", equal, "alfki"}, 1},
        {"null never matches", "Customers", {"Region", like, "%"}, 31},
        {"integer by its text", "Products", {"ProductID", equal, "7"}, 1},
        {"currency by its text", "Products", {"UnitPrice", equal, "18"}, 4},
        {"single by its shortest text", "Order Details", {"Discount", equal, "0.15"}, 157},
        {"boolean by its text", "Products", {"Discontinued", equal, "true"}, 8},
        {"date by its text", "Orders", {"OrderDate", like, "16.11.1994"}, 2},
        {"memo", "Employees", {"Notes", like, "%COLLEGE%"}, 3},
        {"table and field names in any case", "customers", {"companyname", like, "A%"}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(engine.Select(TSelectStatement{c.table, {c.condition}})->RowCount(), c.rows);
    }
}

TEST(JetEngine, ReadsTheCharsetOnlyWhileOpening)
{
    const TEnvGuard charset("MDB_JET3_CHARSET", std::nullopt);
    const TEnvGuard iconv("MDBICONV", std::nullopt);
    TJetEngine engine(kNwind);
    EXPECT_FALSE(qEnvironmentVariableIsSet("MDB_JET3_CHARSET"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("MDBICONV"));
    // windows-1251: "México" has the byte E9, which is "й" there; the table name is converted too.
    const auto result =
        engine.Select(ParseSelectStatement(QStringLiteral("SELECT * FROM Customers WHERE CustomerID=\"ANATR\"")));
    ASSERT_EQ(result->RowCount(), 1);
    EXPECT_EQ(result->Text(0, 5), QStringLiteral("Mйxico D.F."));
    EXPECT_TRUE(engine.TableNames().contains(QStringLiteral("Umsдtze")));
}

TEST(JetEngine, ListsTheUserTables)
{
    const TEnvGuard charset("MDB_JET3_CHARSET", QByteArray("CP1252"));
    EXPECT_EQ(TJetEngine(kDateTest).TableNames(), QStringList{"DateTest"});
    const QStringList names = TJetEngine(kNwind).TableNames();
    EXPECT_EQ(names.size(), 9);
    EXPECT_TRUE(names.contains(QStringLiteral("Umsätze")));
    EXPECT_FALSE(names.contains(QStringLiteral("MSysObjects")));
}

TEST(JetEngine, RecognisesItsFilesByTheirFirstBytes)
{
    QFile file(kNwind);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(TJetEngine::IsJetHeader(file.read(32)));
    EXPECT_TRUE(TJetEngine::IsJetHeader(QByteArray("\0\1\0\0Standard ACE DB\0", 20)));
    EXPECT_FALSE(TJetEngine::IsJetHeader(QByteArray("SQLite format 3\0", 16)));
    EXPECT_FALSE(TJetEngine::IsJetHeader(QByteArray("\0\1\0\0Standard Jet DB", 19)));
}

// The same Cyrillic directory written by another Jet implementation in each file version an
// office may hold: every one opens as its version and reads every row as kray.tsv holds it (an
// empty flat reads as NULL, as mdbtools gives it).
TEST(JetEngine, ReadsEveryFileVersionAsWritten)
{
    const QString dir = QStringLiteral(PB_FIXTURES_DIR "/jet-cyrillic/");
    QFile tsv(dir + "kray.tsv");
    ASSERT_TRUE(tsv.open(QIODevice::ReadOnly));
    std::vector<QStringList> rows;
    for (const QByteArray& line : tsv.readAll().split('\n'))
        if (!line.isEmpty())
            rows.push_back(QString::fromUtf8(line).split(u'\t'));
    ASSERT_EQ(rows.size(), 40u);

    const struct
    {
        const char* file;
        const char* format;
    } cases[] = {
        {"kray-V2000.mdb", "Jet 4 (Access 2000-2003)"}, {"kray-V2007.accdb", "ACE 12 (Access 2007)"},
        {"kray-V2010.accdb", "ACE 14 (Access 2010)"},   {"kray-V2016.accdb", "ACE 16 (Access 2016)"},
        {"kray-V2019.accdb", "ACE 17 (Access 2019)"},
    };
    const QStringList names = {"numer", "vlad", "street", "numhome", "numdoor"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TJetEngine engine(dir + c.file);
        EXPECT_EQ(engine.FormatName().toStdString(), c.format);
        EXPECT_EQ(engine.TableNames(), QStringList{"kray"});
        const auto table = engine.Select(TSelectStatement{"kray", {}});
        ASSERT_EQ(table->ColumnCount(), 5);
        for (int col = 0; col < 5; ++col) {
            const TResultColumn& column = table->Columns()[std::size_t(col)];
            EXPECT_EQ(column.Name, names[col]);
            EXPECT_EQ(FieldTypeName(column.DataType).toStdString(), FieldTypeName(ftString).toStdString());
            EXPECT_EQ(column.Size, 255);
        }
        ASSERT_EQ(std::size_t(table->RowCount()), rows.size());
        for (int r = 0; r < table->RowCount(); ++r) {
            for (int col = 0; col < 5; ++col) {
                SCOPED_TRACE(QStringLiteral("row %1, %2").arg(r + 1).arg(names[col]).toStdString());
                const QString& written = rows[std::size_t(r)][col];
                if (written == QLatin1String("\\N") || written.isEmpty())
                    EXPECT_TRUE(table->IsNull(r, col)) << table->Text(r, col).toStdString();
                else
                    EXPECT_EQ(table->Text(r, col).toStdString(), written.toStdString());
            }
        }
    }
}

// The version byte decides alone (the three bytes after it vary between real files), and every
// code the library knows is read; any other is refused by name.
TEST(JetEngine, KnowsEveryVersionCodeOfTheLibrary)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile source(QStringLiteral(PB_FIXTURES_DIR "/jet-cyrillic/kray-V2007.accdb"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray ace = source.readAll();
    const auto withVersion = [&](int code, char next) {
        QByteArray bytes = ace;
        bytes[0x14] = char(code);
        bytes[0x15] = next;
        const QString path = dir.filePath(QStringLiteral("v%1.accdb").arg(code));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            ADD_FAILURE() << "cannot write " << path.toStdString();
        return path;
    };
    const std::vector<std::pair<int, const char*>> known = {
        {1, "Jet 4 (Access 2000-2003)"}, {2, "ACE 12 (Access 2007)"}, {3, "ACE 14 (Access 2010)"},
        {4, "ACE 15 (Access 2013)"},     {5, "ACE 16 (Access 2016)"}, {6, "ACE 17 (Access 2019)"},
    };
    for (const auto& [code, format] : known) {
        for (const char next : {'\0', '\1', '\x7f'}) {
            SCOPED_TRACE(QStringLiteral("version %1, next byte %2").arg(code).arg(int(next)).toStdString());
            TJetEngine engine(withVersion(code, next));
            EXPECT_EQ(engine.FormatName().toStdString(), format);
            EXPECT_EQ(engine.Select(TSelectStatement{"kray", {}})->RowCount(), 40);
        }
    }
    for (const int code : {7, 0x10, 0xff}) {
        SCOPED_TRACE(code);
        const QString path = withVersion(code, '\0');
        try {
            TJetEngine engine(path);
            ADD_FAILURE() << "no error";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(
                e.Message().toStdString(),
                QStringLiteral("Файл базы данных '%1' имеет неизвестную версию формата: заголовок «Standard ACE DB», "
                               "код версии 0x%2.")
                    .arg(path)
                    .arg(code, 2, 16, QLatin1Char('0'))
                    .toStdString());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Errors

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

// Runs the whole read path: open, list, and read every table with and without a condition.
void ReadEverything(const QString& path)
{
    TJetEngine engine(path);
    const QStringList tables = engine.TableNames();
    for (const QString& table : tables.mid(0, 20)) {
        TSelectStatement all;
        all.Table = table;
        const auto rows = engine.Select(all);
        for (int r = 0; r < rows->RowCount(); ++r)
            for (int c = 0; c < rows->ColumnCount(); ++c)
                (void)rows->Text(r, c);
        if (rows->ColumnCount() > 0) {
            TSelectStatement some = all;
            some.Conditions.push_back({rows->Columns()[0].Name, TCondition::Like, QStringLiteral("%a%")});
            (void)engine.Select(some);
        }
    }
}

} // namespace

TEST(JetEngine, ErrorsNameTheirCause)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray nwind = ReadAll(kNwind);
    QByteArray newVersion = nwind;
    newVersion[0x14] = char(0x20);

    struct Case
    {
        const char* name;
        std::function<void()> action;
        QString message;
    };
    const auto select = [](const QString& path, const QString& sql) {
        return [path, sql] { TJetEngine(path).Select(ParseSelectStatement(sql)); };
    };
    const std::vector<Case> cases = {
        {"missing table", select(kNwind, "SELECT * FROM kray WHERE vlad like \"a%\""),
         "Таблица 'kray' не найдена в базе данных '" + kNwind + "'."},
        {"missing field", select(kNwind, "SELECT * FROM Customers WHERE vlad like \"a%\""),
         "Поле 'vlad' не найдено в таблице 'Customers'."},
        {"missing file", [&] { TJetEngine(dir.filePath("none.mdb")); },
         "Не найден файл '" + dir.filePath("none.mdb") + "'."},
        {"not a database", [&] { TJetEngine(WriteFile(dir, "text.mdb", QByteArray(4096, 'x'))); },
         "Неизвестный формат базы данных '" + dir.filePath("text.mdb") + "'."},
        {"unknown version", [&] { TJetEngine(WriteFile(dir, "new.mdb", newVersion)); },
         "Файл базы данных '" + dir.filePath("new.mdb")
             + "' имеет неизвестную версию формата: заголовок «Standard Jet DB», код версии 0x20."},
        {"cut inside a page", [&] { TJetEngine(WriteFile(dir, "cut.mdb", nwind.left(100000))); },
         "Файл базы данных '" + dir.filePath("cut.mdb")
             + "' повреждён: его размер (100000 байт) не кратен размеру страницы в 2048 байт."},
        {"cut inside the header", [&] { TJetEngine(WriteFile(dir, "head.mdb", nwind.left(20))); },
         "Файл базы данных '" + dir.filePath("head.mdb") + "' повреждён: файл слишком короткий (20 байт)."},
        {"header only", [&] { TJetEngine(WriteFile(dir, "short.mdb", nwind.left(2048))); },
         "Файл базы данных '" + dir.filePath("short.mdb") + "' повреждён: файл слишком короткий (2048 байт)."},
        {"unknown Jet 3 character set",
         [&] {
             const TEnvGuard charset("MDB_JET3_CHARSET", QByteArray("NO-SUCH-CHARSET"));
             TJetEngine engine(kNwind);
         },
         "Неизвестная кодировка 'NO-SUCH-CHARSET' (MDB_JET3_CHARSET) для файла базы данных '" + kNwind + "'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.action();
            ADD_FAILURE() << "no error";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message().toStdString(), c.message.toStdString());
        }
    }
}

// A copy cut at a page boundary reads either every row the whole file has or fails with an
// error: rows never go missing without a word.
TEST(JetEngine, TruncatedCopyNeverDropsRowsSilently)
{
    const TEnvGuard charset("MDB_JET3_CHARSET", QByteArray("CP1252"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray nwind = ReadAll(kNwind);
    TJetEngine whole(kNwind);
    const int pages = int(nwind.size() / 2048);
    for (const int cut : {pages / 4, pages / 2, pages * 3 / 4, pages - 1}) {
        const QString path = WriteFile(dir, QStringLiteral("cut%1.mdb").arg(cut), nwind.left(qsizetype(cut) * 2048));
        std::unique_ptr<TJetEngine> engine;
        try {
            engine = std::make_unique<TJetEngine>(path);
        } catch (const EDatabaseError&) {
            continue;
        }
        for (const QString& table : whole.TableNames()) {
            SCOPED_TRACE(QStringLiteral("%1 cut at page %2").arg(table).arg(cut).toStdString());
            TSelectStatement all;
            all.Table = table;
            try {
                EXPECT_EQ(engine->Select(all)->RowCount(), whole.Select(all)->RowCount());
            } catch (const EDatabaseError& e) {
                EXPECT_TRUE(e.Message().contains(QStringLiteral("повреждён"))) << e.Message().toStdString();
            }
        }
    }
}

// Corrupted copies of both samples: cut at many points, bytes flipped in the header, the
// catalog, the table definitions and the data pages, whole pages of noise or zeros. Each either reads or fails with a
// database error; nothing crashes, hangs or throws anything else. PB_JET_FUZZ_ROUNDS raises the count, PB_JET_FUZZ_SEED
// picks another series.
TEST(JetEngine, CorruptedCopiesFailCleanly)
{
    const TEnvGuard charset("MDB_JET3_CHARSET", QByteArray("CP1252"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int rounds =
        qEnvironmentVariableIsSet("PB_JET_FUZZ_ROUNDS") ? qEnvironmentVariableIntValue("PB_JET_FUZZ_ROUNDS") : 6;
    std::mt19937 random(qEnvironmentVariableIsSet("PB_JET_FUZZ_SEED") ? qEnvironmentVariableIntValue("PB_JET_FUZZ_SEED")
                                                                      : 20240611);
    int opened = 0;
    int failed = 0;
    for (const QString& fixture : {kNwind, kDateTest}) {
        const QByteArray original = ReadAll(fixture);
        ASSERT_FALSE(original.isEmpty());
        const int pageSize = original[0x14] == 0 ? 2048 : 4096;
        const int pages = int(original.size() / pageSize);
        // Pages by their role: 0 the header, 1 type 2 table definitions (page 2 is the catalog's),
        // data pages of the catalog (owned by page 2), other data pages.
        std::vector<int> tdefs, catalogData, data, any;
        for (int p = 1; p < pages; ++p) {
            any.push_back(p);
            const auto* page = reinterpret_cast<const unsigned char*>(original.constData()) + qsizetype(p) * pageSize;
            const quint32 owner = quint32(page[4] | (page[5] << 8) | (page[6] << 16) | (page[7] << 24));
            if (page[0] == 2)
                tdefs.push_back(p);
            else if (page[0] == 1)
                (owner == 2 ? catalogData : data).push_back(p);
        }
        struct Variant
        {
            QString name;
            QByteArray bytes;
        };
        std::vector<Variant> variants;
        for (const qsizetype cut :
             {qsizetype(0), qsizetype(20), qsizetype(pageSize - 1), qsizetype(pageSize) * 3,
              qsizetype(pageSize) * 3 + 100, original.size() / 2, original.size() / 2 / pageSize * pageSize,
              original.size() - pageSize, original.size() - 1})
            variants.push_back({QStringLiteral("cut at %1").arg(cut), original.left(cut)});
        const auto flipped = [&](const char* role, const std::vector<int>& from) {
            if (from.empty())
                return;
            QByteArray bytes = original;
            const int page = from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
            const int flips = std::uniform_int_distribution<int>(1, 16)(random);
            for (int i = 0; i < flips; ++i) {
                const qsizetype at =
                    qsizetype(page) * pageSize + std::uniform_int_distribution<int>(0, pageSize - 1)(random);
                bytes[at] = char(bytes[at] ^ std::uniform_int_distribution<int>(1, 255)(random));
            }
            variants.push_back(
                {QStringLiteral("%1 page %2, %3 bytes flipped").arg(QLatin1String(role)).arg(page).arg(flips), bytes});
        };
        for (int round = 0; round < rounds; ++round) {
            flipped("header", {0});
            flipped("table definition", tdefs);
            flipped("catalog data", catalogData);
            flipped("data", data);
            flipped("any", any);
            // A whole page of noise, or of zeros, in place of any page.
            for (const bool noise : {true, false}) {
                QByteArray bytes = original;
                const int page = any[std::uniform_int_distribution<std::size_t>(0, any.size() - 1)(random)];
                for (int i = 0; i < pageSize; ++i)
                    bytes[qsizetype(page) * pageSize + i] = noise ? char(random()) : '\0';
                variants.push_back({QStringLiteral("page %1 %2").arg(page).arg(noise ? "noise" : "zeroed"), bytes});
            }
        }
        for (const Variant& v : variants) {
            SCOPED_TRACE((QFileInfo(fixture).fileName() + ": " + v.name).toStdString());
            const QString path = WriteFile(dir, QStringLiteral("fuzz.mdb"), v.bytes);
            try {
                ReadEverything(path);
                ++opened;
            } catch (const EDatabaseError& e) {
                EXPECT_FALSE(e.Message().isEmpty());
                ++failed;
            }
        }
    }
    EXPECT_GT(failed, 0);
    EXPECT_GT(opened, 0);
}
