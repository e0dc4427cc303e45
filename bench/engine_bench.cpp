// Directory engine timings on generated directories of 1 000 000 and 2 000 000 entries, each
// beside a plain sqlite3 C loop over the same rows in the same run (the floor):
//   searches (open + RecordCount), a prefix search on an indexed file, opening ~all rows with its
//   resident memory, and SortBy on the owner name.
// Usage: engine_bench [folder for the generated files] [row counts...]
// The files are kept in the folder (default: the system's temporary folder) and reused.

#include "TADOConnection.h"
#include "TADOQuery.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QString>

#include <sqlite3.h>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// --- A directory generator (deterministic) ----------------------------------------------------

const char* const kSurnames[] = {
    "Иванов", "Петров", "Сидоров", "Смирнов", "Кузнецов", "Попов", "Васильев", "Соколов", "Михайлов",
    "Новиков", "Фёдоров", "Морозов", "Волков", "Алексеев", "Лебедев", "Семёнов", "Егоров", "Павлов",
    "Козлов", "Степанов", "Николаев", "Орлов", "Андреев", "Макаров", "Никитин", "Захаров", "Зайцев",
    "Соловьёв", "Борисов", "Яковлев", "Григорьев", "Романов", "Воробьёв", "Сергеев", "Кузьмин", "Фролов",
    "Александров", "Дмитриев", "Королёв", "Гусев", "Киселёв", "Ильин", "Максимов", "Поляков", "Сорокин",
    "Виноградов", "Ковалёв", "Белов", "Медведев", "Антонов", "Тарасов", "Жуков", "Баранов", "Филиппов",
    "Комаров", "Давыдов", "Беляев", "Герасимов", "Богданов", "Осипов", "Сидоренко", "Шевченко", "Бондаренко",
    "Коваленко", "Ткаченко", "Кравченко", "Олейник", "Шевчук", "Мельник", "Гончаренко", "Ковальчук", "Руденко",
    "Лысенко", "Марченко", "Литвиненко", "Ершов", "Никифоров", "Щербаков", "Пономарёв", "Голубев", "Виноградский",
    "Крылов", "Афанасьев", "Чернов", "Горбунов", "Калинин", "Пестов", "Блинов", "Хохлов", "Щукин"};
const char* const kMaleNames[] = {
    "Александр", "Алексей", "Анатолий", "Андрей", "Артём", "Борис", "Вадим", "Валентин", "Валерий", "Василий",
    "Виктор", "Виталий", "Владимир", "Вячеслав", "Геннадий", "Георгий", "Григорий", "Дмитрий", "Евгений",
    "Иван", "Игорь", "Константин", "Леонид", "Михаил", "Николай", "Олег", "Павел", "Пётр", "Роман", "Сергей",
    "Семён", "Степан", "Юрий", "Яков", "Фёдор"};
const char* const kPatronymicStems[] = {
    "Александров", "Алексеев", "Анатольев", "Андреев", "Борисов", "Васильев", "Викторов", "Владимиров",
    "Геннадьев", "Григорьев", "Дмитриев", "Евгеньев", "Иванов", "Игорев", "Константинов", "Леонидов",
    "Михайлов", "Николаев", "Олегов", "Павлов", "Петров", "Романов", "Сергеев", "Семёнов", "Степанов",
    "Юрьев", "Яковлев", "Фёдоров"};
const char* const kFemaleNames[] = {
    "Анна", "Алла", "Валентина", "Вера", "Галина", "Дарья", "Евгения", "Екатерина", "Елена", "Ирина",
    "Лариса", "Любовь", "Людмила", "Мария", "Марина", "Надежда", "Наталья", "Нина", "Ольга", "Светлана",
    "Татьяна", "Юлия", "Алёна", "Зоя", "Тамара"};
const char* const kOrganisations[] = {
    "ООО \"Ромашка\"", "ЗАО \"Берёзка\"", "ООО \"Весна\"", "АО \"Горводоканал\"", "ООО \"Стройсервис\"",
    "МУП \"Теплосеть\"", "ООО \"Альфа\"", "ИП Ёлкин", "ООО \"Север\"", "ГБУЗ \"Городская больница № 2\"",
    "ООО \"Торговый дом \"\"Урал\"\"\"", "Аптека \"Здоровье\""};
const char* const kStreets[] = {
    "Мира", "Ленина", "Садовая", "Советская", "Школьная", "Молодёжная", "Лесная", "Новая", "Набережная",
    "Заводская", "Центральная", "Гагарина", "Пушкина", "Полевая", "Октябрьская", "Комсомольская",
    "Первомайская", "Луговая", "Юбилейная", "Зелёная", "Кирова", "Чехова", "Строителей", "Победы",
    "Горького", "Рабочая", "Северная", "Южная", "Светлая", "Речная", "Весенняя", "Берёзовая",
    "Солнечная", "Шевченко", "Маяковского", "Калинина", "Суворова", "Есенина", "Нагорная", "Почтовая"};
const char* const kStreetKinds[] = {"ул. ", "ул. ", "ул. ", "пр. ", "пер. ", "ул.", "бульвар "};

std::string Upper(const std::string& s)
{
    return QString::fromStdString(s).toUpper().toStdString();
}

std::string Lower(const std::string& s)
{
    return QString::fromStdString(s).toLower().toStdString();
}

std::string FirstLetter(const char* word)
{
    return QString::fromUtf8(word).left(1).toStdString();
}

struct TEntry
{
    std::string Numer, Vlad, Street, Numhome;
    bool HasDoor;
    std::string Numdoor;
};

TEntry MakeEntry(std::mt19937& rng, int index)
{
    auto pick = [&](const auto& list) { return std::string(list[rng() % std::size(list)]); };
    TEntry e;
    e.Numer = std::to_string(200000 + (index * 7919) % 800000) + (index >= 800000 ? std::to_string(index / 800000) : "");
    const unsigned kind = rng() % 100;
    if (kind < 5) {
        e.Vlad = pick(kOrganisations);
    } else {
        const bool female = rng() % 2 == 0;
        std::string surname = pick(kSurnames);
        const std::string stem = pick(kPatronymicStems);
        if (female) {
            const QString s = QString::fromStdString(surname);
            if (s.endsWith("ов") || s.endsWith("ев") || s.endsWith("ёв") || s.endsWith("ин"))
                surname += "а";
            const std::string name = pick(kFemaleNames);
            e.Vlad = kind < 25 ? surname + " " + FirstLetter(name.c_str()) + "." + FirstLetter(stem.c_str()) + "."
                               : surname + " " + name + " " + stem + "на";
        } else {
            const std::string name = pick(kMaleNames);
            e.Vlad = kind < 25 ? surname + " " + FirstLetter(name.c_str()) + "." + FirstLetter(stem.c_str()) + "."
                               : surname + " " + name + " " + stem + "ич";
        }
        const unsigned letterCase = rng() % 100;
        if (letterCase < 8)
            e.Vlad = Upper(e.Vlad);
        else if (letterCase < 11)
            e.Vlad = Lower(e.Vlad);
    }
    e.Street = pick(kStreetKinds) + pick(kStreets);
    e.Numhome = std::to_string(1 + rng() % 150);
    if (rng() % 10 == 0)
        e.Numhome += rng() % 2 ? "а" : "б";
    e.HasDoor = rng() % 4 != 0;  // private houses have no flat number
    e.Numdoor = std::to_string(1 + rng() % 300);
    return e;
}

[[noreturn]] void Die(sqlite3* db, const char* what)
{
    std::fprintf(stderr, "%s: %s\n", what, db ? sqlite3_errmsg(db) : "?");
    std::exit(1);
}

void Exec(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Die(db, sql);
}

// Writes the directory (and, when indexed, an index on vlad) unless the file is already there.
void Generate(const QString& path, int rows, bool indexed)
{
    if (QFileInfo::exists(path))
        return;
    std::printf("  generating %s ...\n", qPrintable(path));
    std::fflush(stdout);
    const QString temp = path + ".part";
    QFile::remove(temp);
    sqlite3* db = nullptr;
    if (sqlite3_open(temp.toUtf8().constData(), &db) != SQLITE_OK)
        Die(db, "open");
    Exec(db, "PRAGMA synchronous=OFF; PRAGMA journal_mode=OFF;"
             "CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT); BEGIN;");
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO kray VALUES (?1, ?2, ?3, ?4, ?5)", -1, &insert, nullptr) != SQLITE_OK)
        Die(db, "prepare");
    std::mt19937 rng(20240229);
    for (int i = 0; i < rows; ++i) {
        const TEntry e = MakeEntry(rng, i);
        sqlite3_bind_text(insert, 1, e.Numer.data(), int(e.Numer.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, e.Vlad.data(), int(e.Vlad.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, e.Street.data(), int(e.Street.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, e.Numhome.data(), int(e.Numhome.size()), SQLITE_TRANSIENT);
        if (e.HasDoor)
            sqlite3_bind_text(insert, 5, e.Numdoor.data(), int(e.Numdoor.size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(insert, 5);
        if (sqlite3_step(insert) != SQLITE_DONE)
            Die(db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Exec(db, "COMMIT;");
    if (indexed)
        Exec(db, "CREATE INDEX kray_vlad ON kray(vlad);");
    sqlite3_close(db);
    QFile::rename(temp, path);
}

// --- Measuring ----------------------------------------------------------------------------------

double Best(int runs, const std::function<void()>& work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

std::size_t ResidentBytes()
{
    malloc_trim(0);
    FILE* f = std::fopen("/proc/self/statm", "r");
    long size = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return std::size_t(resident) * std::size_t(sysconf(_SC_PAGESIZE));
}

// The floor: a plain prepared statement stepped to the end, every column of every row read as
// text; returns the rows and adds up the bytes of their values.
struct TFloor
{
    long Rows = 0;
    std::size_t Bytes = 0;
};

TFloor PlainLoop(const QString& path, const char* sql, const char* parameter)
{
    sqlite3* db = nullptr;
    const QByteArray uri = "file:" + path.toUtf8() + "?mode=ro&immutable=1";
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK)
        Die(db, "open");
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        Die(db, sql);
    if (parameter)
        sqlite3_bind_text(stmt, 1, parameter, -1, SQLITE_STATIC);
    TFloor floor;
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++floor.Rows;
        for (int c = 0; c < columns; ++c) {
            sqlite3_column_text(stmt, c);
            floor.Bytes += std::size_t(sqlite3_column_bytes(stmt, c));
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return floor;
}

QString ConnectionString(const QString& path)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False";
}

// Opens a search and reads its count, as the window does.
int Search(TADOQuery& query, const QString& sql)
{
    query.Close();
    query.SetSQL(sql);
    query.Open();
    return query.RecordCount();
}

void Line(const char* what, double ms, const char* targetText, bool met)
{
    std::printf("  %-58s %9.1f ms   %-28s %s\n", what, ms, targetText, met ? "ok" : "MISSED");
}

void RatioLine(const char* what, double ms, double floorMs, double limit, long rows)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s (%ld rows), floor %.1f ms", what, rows, floorMs);
    char target[64];
    std::snprintf(target, sizeof target, "%.2fx floor (target <= %.1fx)", ms / floorMs, limit);
    Line(text, ms, target, ms <= limit * floorMs);
}

void RunSize(const QString& folder, int rows)
{
    const QString plain = QDir(folder).filePath(QStringLiteral("directory_%1.db").arg(rows));
    const QString indexed = QDir(folder).filePath(QStringLiteral("directory_%1_indexed.db").arg(rows));
    Generate(plain, rows, false);
    Generate(indexed, rows, true);
    std::printf("\n%d rows (%s, %.0f MB)\n", rows, qPrintable(plain), double(QFileInfo(plain).size()) / 1e6);

    TADOConnection connection;
    connection.SetConnectionString(ConnectionString(plain));
    connection.Open();
    TADOQuery query;
    query.SetConnection(&connection);

    struct TScan
    {
        const char* Name;
        QString Sql;
        const char* FloorSql;
        const char* FloorParameter;
    };
    const TScan scans[] = {
        {"substring on street \"%мира%\"", "SELECT * FROM kray WHERE street like \"%мира%\";",
         "SELECT * FROM kray WHERE street LIKE ?1", "%Мира%"},
        {"substring on vlad \"%петров%\"", "SELECT * FROM kray WHERE vlad like \"%петров%\";",
         "SELECT * FROM kray WHERE vlad LIKE ?1", "%Петров%"},
        {"substring on vlad and street", "SELECT * FROM kray WHERE vlad like \"%иван%\"and street like \"%мира%\";",
         "SELECT * FROM kray WHERE vlad LIKE ?1 AND street LIKE '%Мира%'", "%Иван%"},
    };
    for (const TScan& scan : scans) {
        long count = 0;
        const double ms = Best(3, [&] { count = Search(query, scan.Sql); });
        TFloor floor;
        const double floorMs = Best(3, [&] { floor = PlainLoop(plain, scan.FloorSql, scan.FloorParameter); });
        RatioLine(scan.Name, ms, floorMs, 1.5, count);
        if (floor.Rows != count)
            std::printf("  %-58s (floor's own LIKE found %ld: it folds ASCII only)\n", "", floor.Rows);
    }

    // Opening ~all rows, and what the open result takes.
    query.Close();
    const std::size_t before = ResidentBytes();
    long all = 0;
    const double openMs = Best(3, [&] { all = Search(query, "SELECT * FROM kray WHERE numer like \"%\";"); });
    const std::size_t resident = ResidentBytes() - before;
    TFloor allFloor;
    const double allFloorMs = Best(3, [&] { allFloor = PlainLoop(plain, "SELECT * FROM kray", nullptr); });
    RatioLine("open ~all rows (numer like \"%\")", openMs, allFloorMs, 1.5, all);
    std::printf("  %-58s %9.1f MB   %.2fx raw %.1f MB (target <= 2x)   %s\n", "resident memory of the open result",
                double(resident) / 1e6, double(resident) / double(allFloor.Bytes), double(allFloor.Bytes) / 1e6,
                double(resident) <= 2.0 * double(allFloor.Bytes) ? "ok" : "MISSED");

    // Sorting the open result.
    if (rows <= 1000000 || true) {
        const double sortVlad = Best(3, [&] { query.SortBy("vlad"); });
        char text[96];
        std::snprintf(text, sizeof text, "SortBy vlad (%ld rows)", all);
        Line(text, sortVlad, rows <= 1000000 ? "target <= 1000 ms" : "(1M target <= 1000 ms)",
             rows > 1000000 || sortVlad <= 1000);
        const double sortStreet = Best(3, [&] { query.SortBy("street"); });
        std::snprintf(text, sizeof text, "SortBy street (%ld rows)", all);
        Line(text, sortStreet, "(for comparison)", true);
    }
    query.Close();
    connection.Close();

    // Prefix searches on the indexed file.
    connection.SetConnectionString(ConnectionString(indexed));
    connection.Open();
    struct TPrefix
    {
        const char* Name;
        QString Sql;
        const char* FloorLow;
        const char* FloorHigh;
    };
    const TPrefix prefixes[] = {
        {"prefix \"Иванов%\"", "SELECT * FROM kray WHERE vlad like \"Иванов%\";", "Иванов", "Иваноw"},
        {"prefix \"иванов пётр%\"", "SELECT * FROM kray WHERE vlad like \"иванов пётр%\";", "Иванов Пётр",
         "Иванов Пётс"},
        {"prefix \"Ершова Алла%\"", "SELECT * FROM kray WHERE vlad like \"Ершова Алла%\";", "Ершова Алла",
         "Ершова Аллб"},
        {"exact \"Щукин Фёдор Юрьевич\"", "SELECT * FROM kray WHERE vlad=\"Щукин Фёдор Юрьевич\";",
         "Щукин Фёдор Юрьевич", "Щукин Фёдор Юрьевичa"},
        {"prefix \"ООО \"\"Ром%\"", "SELECT * FROM kray WHERE vlad like \"ООО \"\"Ром%\";", "ООО \"Ром",
         "ООО \"Рон"},
    };
    for (const TPrefix& prefix : prefixes) {
        long count = 0;
        const double ms = Best(5, [&] { count = Search(query, prefix.Sql); });
        const std::string floorSql = std::string("SELECT * FROM kray WHERE vlad >= '") + prefix.FloorLow
                                     + "' AND vlad < '" + prefix.FloorHigh + "'";
        TFloor floor;
        const double floorMs = Best(5, [&] { floor = PlainLoop(indexed, floorSql.c_str(), nullptr); });
        char text[160];
        std::snprintf(text, sizeof text, "%s, index (%ld rows), floor %.1f ms", prefix.Name, count, floorMs);
        Line(text, ms, "target <= 5 ms", ms <= 5.0);
    }
    query.Close();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {1000000, 2000000};
    std::printf("Directory engine benchmark (times are the best of several runs)\n");
    for (int rows : sizes)
        RunSize(folder, rows);
    return 0;
}
