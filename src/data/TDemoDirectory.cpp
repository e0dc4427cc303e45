#include "TDemoDirectory.h"

#include "Exception.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Men's surnames; women's forms are derived (Иванов - Иванова, Ковальский - Ковальская).
const char* const kSurnames[] = {
    "Иванов",    "Смирнов",    "Кузнецов",   "Попов",       "Васильев",   "Петров",     "Соколов",   "Михайлов",
    "Новиков",   "Фёдоров",    "Морозов",    "Волков",      "Алексеев",   "Лебедев",    "Семёнов",   "Егоров",
    "Павлов",    "Козлов",     "Степанов",   "Николаев",    "Орлов",      "Андреев",    "Макаров",   "Никитин",
    "Захаров",   "Зайцев",     "Соловьёв",   "Борисов",     "Яковлев",    "Григорьев",  "Романов",   "Воробьёв",
    "Сергеев",   "Кузьмин",    "Фролов",     "Александров", "Дмитриев",   "Королёв",    "Гусев",     "Киселёв",
    "Ильин",     "Максимов",   "Поляков",    "Сорокин",     "Виноградов", "Ковалёв",    "Белов",     "Медведев",
    "Антонов",   "Тарасов",    "Жуков",      "Баранов",     "Филиппов",   "Комаров",    "Давыдов",   "Беляев",
    "Герасимов", "Богданов",   "Осипов",     "Сидоров",     "Матвеев",    "Титов",      "Марков",    "Миронов",
    "Крылов",    "Куликов",    "Карпов",     "Власов",      "Мельников",  "Денисов",    "Гаврилов",  "Тихонов",
    "Казаков",   "Афанасьев",  "Данилов",    "Савельев",    "Тимофеев",   "Фомин",      "Чернов",    "Абрамов",
    "Мартынов",  "Ефимов",     "Федотов",    "Щербаков",    "Назаров",    "Калинин",    "Исаев",     "Чернышёв",
    "Быков",     "Маслов",     "Родионов",   "Коновалов",   "Лазарев",    "Воронин",    "Климов",    "Филатов",
    "Пономарёв", "Голубев",    "Кудрявцев",  "Прохоров",    "Наумов",     "Потапов",    "Журавлёв",  "Овчинников",
    "Трофимов",  "Леонов",     "Соболев",    "Ермаков",     "Колесников", "Гончаров",   "Емельянов", "Никифоров",
    "Грачёв",    "Котов",      "Гришин",     "Ефремов",     "Архипов",    "Громов",     "Кириллов",  "Малышев",
    "Панов",     "Моисеев",    "Румянцев",   "Акимов",      "Кондратьев", "Бирюков",    "Горбунов",  "Анисимов",
    "Ерёмин",    "Тихомиров",  "Галкин",     "Лукьянов",    "Михеев",     "Скворцов",   "Юдин",      "Белоусов",
    "Нестеров",  "Симонов",    "Прокофьев",  "Харитонов",   "Князев",     "Цветков",    "Левин",     "Митрофанов",
    "Воронцов",  "Пугачёв",    "Горбачёв",   "Потёмкин",    "Артёмов",    "Ёлкин",      "Щёголев",   "Рыжов",
    "Сёмин",     "Толкачёв",   "Ковальский", "Вишневский",  "Островский", "Покровский", "Успенский", "Толстой",
    "Шевченко",  "Бондаренко", "Коваленко",  "Кравченко",   "Черных",     "Седых",
};

const char* const kMenNames[] = {
    "Александр",  "Алексей", "Анатолий", "Андрей",    "Антон",    "Артём",    "Борис",    "Вадим",   "Валентин",
    "Валерий",    "Василий", "Виктор",   "Виталий",   "Владимир", "Вячеслав", "Геннадий", "Георгий", "Григорий",
    "Даниил",     "Денис",   "Дмитрий",  "Евгений",   "Егор",     "Иван",     "Игорь",    "Илья",    "Кирилл",
    "Константин", "Леонид",  "Максим",   "Михаил",    "Никита",   "Николай",  "Олег",     "Павел",   "Пётр",
    "Роман",      "Семён",   "Сергей",   "Станислав", "Степан",   "Фёдор",    "Юрий",     "Ярослав",
};

const char* const kWomenNames[] = {
    "Александра", "Алёна",     "Алла",     "Анастасия", "Анна",    "Валентина", "Вера",  "Виктория",
    "Галина",     "Дарья",     "Евгения",  "Екатерина", "Елена",   "Елизавета", "Жанна", "Зинаида",
    "Зоя",        "Инна",      "Ирина",    "Клавдия",   "Ксения",  "Лариса",    "Лидия", "Любовь",
    "Людмила",    "Маргарита", "Марина",   "Мария",     "Надежда", "Наталья",   "Нина",  "Ольга",
    "Полина",     "Раиса",     "Светлана", "Софья",     "Тамара",  "Татьяна",   "Фёкла", "Юлия",
};

// Patronymics: a man's and a woman's form.
const char* const kPatronymics[][2] = {
    {"Александрович", "Александровна"}, {"Алексеевич", "Алексеевна"},   {"Анатольевич", "Анатольевна"},
    {"Андреевич", "Андреевна"},         {"Антонович", "Антоновна"},     {"Артёмович", "Артёмовна"},
    {"Борисович", "Борисовна"},         {"Васильевич", "Васильевна"},   {"Викторович", "Викторовна"},
    {"Владимирович", "Владимировна"},   {"Геннадьевич", "Геннадьевна"}, {"Григорьевич", "Григорьевна"},
    {"Дмитриевич", "Дмитриевна"},       {"Евгеньевич", "Евгеньевна"},   {"Иванович", "Ивановна"},
    {"Игоревич", "Игоревна"},           {"Ильич", "Ильинична"},         {"Константинович", "Константиновна"},
    {"Леонидович", "Леонидовна"},       {"Михайлович", "Михайловна"},   {"Николаевич", "Николаевна"},
    {"Олегович", "Олеговна"},           {"Павлович", "Павловна"},       {"Петрович", "Петровна"},
    {"Романович", "Романовна"},         {"Семёнович", "Семёновна"},     {"Сергеевич", "Сергеевна"},
    {"Степанович", "Степановна"},       {"Фёдорович", "Фёдоровна"},     {"Юрьевич", "Юрьевна"},
    {"Яковлевич", "Яковлевна"},
};

const char* const kCompanyKinds[] = {"ООО", "ООО", "ООО", "ЗАО", "ОАО", "АО", "ПАО", "МУП"};

const char* const kCompanyNames[] = {
    "Ромашка",      "Вектор",     "Сибирь",      "Альфа",     "Надежда",   "Стройсервис", "Заря",        "Восход",
    "Рассвет",      "Импульс",    "Прогресс",    "Энергия",   "Гранит",    "Меридиан",    "Техносервис", "Автотранс",
    "Лада",         "Уют",        "Берёзка",     "Ёлочка",    "Радуга",    "Океан",       "Сокол",       "Звезда",
    "Факел",        "Горизонт",   "Кедр",        "Кристалл",  "Феникс",    "Гарант",      "Спектр",      "Домострой",
    "Агрокомплекс", "Медтехника", "Связьинформ", "Теплосеть", "Водоканал", "Электросеть", "Жилсервис",   "Хлебозавод",
};

const char* const kInstitutions[] = {"Школа", "Аптека", "Детский сад", "Поликлиника", "Библиотека", "Отделение связи"};

// Street names that go with any kind of street.
const char* const kStreetNames[] = {
    "Мира",
    "Ленина",
    "Энтузиастов",
    "Гагарина",
    "Пушкина",
    "Строителей",
    "Космонавтов",
    "Победы",
    "Свободы",
    "Мичурина",
    "Чкалова",
    "Кирова",
    "Горького",
    "Лермонтова",
    "Чехова",
    "Толстого",
    "Гоголя",
    "Жукова",
    "Королёва",
    "Циолковского",
    "50 лет Октября",
    "8 Марта",
    "Карла Маркса",
    "Фрунзе",
    "Дзержинского",
    "Калинина",
    "Куйбышева",
    "Щорса",
    "Ломоносова",
    "Менделеева",
    "Некрасова",
    "Островского",
    "Белинского",
    "Герцена",
    "Тургенева",
    "Пирогова",
    "Павлова",
    "Попова",
    "Крупской",
    "Орджоникидзе",
    "Челюскинцев",
    "Партизан",
    "Пионеров",
    "Комсомольцев",
    "Героев",
    "Металлургов",
    "Шахтёров",
    "Химиков",
    "Связистов",
    "Нефтяников",
    "Декабристов",
    "Маяковского",
    "Есенина",
    "Суворова",
    "Кутузова",
    "Нахимова",
    "Ушакова",
    "Матросова",
    "Титова",
    "Терешковой",
    "Фурманова",
    "Чапаева",
    "Щетинкина",
    "Урицкого",
    "Володарского",
    "Свердлова",
    "Луначарского",
    "Пархоменко",
    "Рабочей Молодёжи",
    "Красной Армии",
    "Труда",
    "Дружбы",
    "Юности",
    "Энергетиков",
    "Авиаторов",
    "Геологов",
    "Железнодорожников",
    "Учителей",
    "Врачей",
    "Мастеров",
    "Ветеранов",
    "Лесников",
    "Рыбаков",
    "Моряков",
    "Полярников",
    "Кооператоров",
    "Коммунаров",
    "Добровольцев",
};

const char* const kStreetKinds[] = {"пр.", "пер.", "ш.", "б-р", "пл.", "туп."};

// Adjective street names: the feminine form goes with "ул.", the masculine with "пер." and "пр.".
const char* const kStreetAdjectives[][2] = {
    {"Садовая", "Садовый"},
    {"Центральная", "Центральный"},
    {"Лесная", "Лесной"},
    {"Зелёная", "Зелёный"},
    {"Новая", "Новый"},
    {"Школьная", "Школьный"},
    {"Полевая", "Полевой"},
    {"Молодёжная", "Молодёжный"},
    {"Советская", "Советский"},
    {"Рабочая", "Рабочий"},
    {"Северная", "Северный"},
    {"Южная", "Южный"},
    {"Заречная", "Заречный"},
    {"Луговая", "Луговой"},
    {"Солнечная", "Солнечный"},
    {"Берёзовая", "Берёзовый"},
    {"Речная", "Речной"},
    {"Почтовая", "Почтовый"},
    {"Железнодорожная", "Железнодорожный"},
    {"Трудовая", "Трудовой"},
};

const char* const kHouseLetters[] = {"а", "б", "в", "г"};

// One word in the three letter cases owners are written in.
struct TWord
{
    std::string Normal, Upper, Lower;

    explicit TWord(const QString& word)
        : Normal(word.toStdString()), Upper(word.toUpper().toStdString()), Lower(word.toLower().toStdString())
    {
    }
};

QString WomansSurname(const QString& man)
{
    if (man.endsWith(QStringLiteral("ский")) || man.endsWith(QStringLiteral("ой")))
        return man.left(man.size() - 2) + QStringLiteral("ая");
    for (const char* ending : {"ов", "ев", "ёв", "ин", "ын"})
        if (man.endsWith(QString::fromUtf8(ending)))
            return man + QStringLiteral("а");
    return man; // Шевченко, Черных
}

// Deterministic stream from a 64-bit state (splitmix64): the same on every platform and library.
std::uint64_t SplitMix(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

void AppendNumber(std::string& out, unsigned value)
{
    char digits[12];
    const int n = std::snprintf(digits, sizeof digits, "%u", value);
    out.append(digits, std::size_t(n));
}

void AppendDigits(std::string& out, unsigned value, int count)
{
    char digits[12];
    const int n = std::snprintf(digits, sizeof digits, "%0*u", count, value);
    out.append(digits, std::size_t(n));
}

} // namespace

struct TDemoDirectory::Lists
{
    std::vector<TWord> MenSurnames, WomenSurnames, MenNames, WomenNames, MenPatronymics, WomenPatronymics;
    std::vector<std::string> Streets;

    Lists()
    {
        for (const char* s : kSurnames) {
            const QString man = QString::fromUtf8(s);
            MenSurnames.emplace_back(man);
            WomenSurnames.emplace_back(WomansSurname(man));
        }
        for (const char* s : kMenNames)
            MenNames.emplace_back(QString::fromUtf8(s));
        for (const char* s : kWomenNames)
            WomenNames.emplace_back(QString::fromUtf8(s));
        for (const auto& pair : kPatronymics) {
            MenPatronymics.emplace_back(QString::fromUtf8(pair[0]));
            WomenPatronymics.emplace_back(QString::fromUtf8(pair[1]));
        }
        // A few hundred streets: every name as an "ул.", some also as a prospect, lane, highway...
        std::uint64_t state = 0x5354524545545321ULL;
        std::vector<std::string> seen;
        const auto add = [&](const std::string& street) {
            for (const std::string& s : seen)
                if (s == street)
                    return;
            seen.push_back(street);
        };
        for (const char* name : kStreetNames) {
            add(std::string("ул. ") + name);
            for (const char* kind : kStreetKinds)
                if (SplitMix(state) % 4 == 0)
                    add(std::string(kind) + " " + name);
        }
        for (const auto& pair : kStreetAdjectives) {
            add(std::string("ул. ") + pair[0]);
            if (SplitMix(state) % 2 == 0)
                add(std::string("пер. ") + pair[1]);
            if (SplitMix(state) % 4 == 0)
                add(std::string("пр. ") + pair[1]);
        }
        Streets = std::move(seen);
    }
};

TDemoDirectory::TDemoDirectory(std::uint64_t seed) : fLists(SharedLists()), fState(seed) {}

const TDemoDirectory::Lists& TDemoDirectory::SharedLists()
{
    static const Lists lists;
    return lists;
}

TDemoDirectory::~TDemoDirectory() = default;

std::uint64_t TDemoDirectory::Next()
{
    return SplitMix(fState);
}

std::uint32_t TDemoDirectory::Below(std::uint32_t n)
{
    return std::uint32_t(((Next() >> 32) * n) >> 32);
}

void TDemoDirectory::NextRow(TDemoRow& row)
{
    const std::uint64_t index = fRow++;

    // Telephone numbers walk a permutation of 8 000 000 seven-digit numbers, so they repeat only
    // among the older six-digit ones ("2-34-56").
    const unsigned code = unsigned((index * 2654435761ULL + 1234567ULL) % 8000000ULL);
    row.Numer.clear();
    if (Below(100) < 30) {
        const unsigned six = 200000 + code % 800000;
        AppendNumber(row.Numer, six / 100000);
        row.Numer += '-';
        AppendDigits(row.Numer, six / 1000 % 100, 2);
        row.Numer += '-';
        AppendDigits(row.Numer, six % 100, 2);
    } else {
        const unsigned seven = 2000000 + code;
        AppendNumber(row.Numer, seven / 10000);
        row.Numer += '-';
        AppendDigits(row.Numer, seven / 100 % 100, 2);
        row.Numer += '-';
        AppendDigits(row.Numer, seven % 100, 2);
    }

    row.Vlad.clear();
    Owner(row.Vlad);

    // Some streets are much longer than others.
    const auto streets = std::uint32_t(fLists.Streets.size());
    const std::uint32_t street = Below(2) ? Below(streets) : std::min(Below(streets), Below(streets));
    row.Street = fLists.Streets[street];

    // About 15% private houses: a plain house number and no flat (an empty text, not NULL, as a
    // directory loaded from text files holds it).
    const bool privateHouse = Below(100) < 15;
    row.NumHome.clear();
    const unsigned house = 1 + std::min(Below(60), Below(200));
    AppendNumber(row.NumHome, house);
    if (!privateHouse) {
        const std::uint32_t form = Below(100);
        if (form < 12) {
            row.NumHome += kHouseLetters[Below(4)];
        } else if (form < 20) {
            row.NumHome += '/';
            AppendNumber(row.NumHome, 1 + Below(5));
        } else if (form < 30) {
            row.NumHome += "к";
            AppendNumber(row.NumHome, 1 + Below(4));
        }
    }
    row.NumDoor.clear();
    if (!privateHouse)
        AppendNumber(row.NumDoor, 1 + (Below(2) ? Below(300) : Below(80)));
}

void TDemoDirectory::Owner(std::string& out)
{
    if (Below(100) < 5)
        Organisation(out);
    else
        Person(out);
}

void TDemoDirectory::Person(std::string& out)
{
    const bool woman = Below(2);
    const Lists& l = fLists;
    const TWord& surname = (woman ? l.WomenSurnames : l.MenSurnames)[Below(std::uint32_t(l.MenSurnames.size()))];
    const auto& names = woman ? l.WomenNames : l.MenNames;
    const TWord& name = names[Below(std::uint32_t(names.size()))];
    const TWord& patronymic =
        (woman ? l.WomenPatronymics : l.MenPatronymics)[Below(std::uint32_t(l.MenPatronymics.size()))];

    // Mostly "Иванов Иван Иванович"; some typed in capitals, some in lower case, some with initials.
    const std::uint32_t style = Below(100);
    if (style < 85) {
        out += surname.Normal;
        out += ' ';
        out += name.Normal;
        out += ' ';
        out += patronymic.Normal;
    } else if (style < 93) {
        out += surname.Upper;
        out += ' ';
        out += name.Upper;
        out += ' ';
        out += patronymic.Upper;
    } else if (style < 97) {
        out += surname.Lower;
        out += ' ';
        out += name.Lower;
        out += ' ';
        out += patronymic.Lower;
    } else {
        // The first letter of a Cyrillic word is two bytes in UTF-8.
        out += surname.Normal;
        out += ' ';
        out.append(name.Normal, 0, 2);
        out += '.';
        out.append(patronymic.Normal, 0, 2);
        out += '.';
    }
}

void TDemoDirectory::Organisation(std::string& out)
{
    const std::uint32_t style = Below(100);
    if (style < 85) {
        out += kCompanyKinds[Below(std::size(kCompanyKinds))];
        out += " \"";
        out += kCompanyNames[Below(std::size(kCompanyNames))];
        out += '"';
    } else if (style < 93) {
        out += kCompanyKinds[Below(std::size(kCompanyKinds))];
        out += " «";
        out += kCompanyNames[Below(std::size(kCompanyNames))];
        out += "»";
    } else {
        out += kInstitutions[Below(std::size(kInstitutions))];
        out += " № ";
        AppendNumber(out, 1 + Below(150));
    }
}

namespace {

// Closes the database and removes the unfinished file unless the write completed.
class TDatabaseFile
{
public:
    // Writes path; errors name shownPath, the file the user asked for.
    TDatabaseFile(QString path, QString shownPath) : fPath(std::move(path)), fShownPath(std::move(shownPath)) {}
    ~TDatabaseFile()
    {
        Close();
        if (!fKeep)
            QFile::remove(fPath);
    }
    void Open()
    {
        QFile::remove(fPath);
        if (sqlite3_open_v2(fPath.toUtf8().constData(), &fDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            != SQLITE_OK)
            Fail(QStringLiteral("Не удаётся создать файл"));
    }
    void Execute(const char* sql)
    {
        if (sqlite3_exec(fDb, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            Fail(QStringLiteral("Не удаётся записать файл"));
    }
    sqlite3* Handle() const { return fDb; }
    void Close()
    {
        if (fDb && sqlite3_close(fDb) == SQLITE_OK)
            fDb = nullptr;
    }
    void Keep() { fKeep = true; }
    [[noreturn]] void Fail(const QString& what) const
    {
        QString message = what + QStringLiteral(" '%1'").arg(fShownPath);
        if (fDb)
            message += QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(fDb));
        throw EDatabaseError(message);
    }

private:
    QString fPath;
    QString fShownPath;
    sqlite3* fDb = nullptr;
    bool fKeep = false;
};

} // namespace

void TDemoDirectory::Write(const QString& path, std::int64_t rows, bool indexOwners)
{
    if (rows < 0)
        throw EDatabaseError(QStringLiteral("Число записей не может быть отрицательным"));
    const QFileInfo target(path);
    if (target.isDir())
        throw EDatabaseError(QStringLiteral("'%1' — папка").arg(path));

    // Built beside the target under another name, so an interrupted run never leaves half a file
    // under the directory's name.
    const QString temporary = path + QStringLiteral(".part");
    TDatabaseFile file(temporary, path);
    file.Open();
    file.Execute("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA page_size=4096;"
                 "CREATE TABLE kray(numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);"
                 "BEGIN;");

    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(file.Handle(), "INSERT INTO kray VALUES(?,?,?,?,?)", -1, &insert, nullptr) != SQLITE_OK)
        file.Fail(QStringLiteral("Не удаётся записать файл"));
    struct TFinalize
    {
        sqlite3_stmt* Statement;
        ~TFinalize() { sqlite3_finalize(Statement); }
    } finalize{insert};

    TDemoDirectory generator;
    TDemoRow row;
    for (std::int64_t i = 0; i < rows; ++i) {
        generator.NextRow(row);
        const std::string* values[] = {&row.Numer, &row.Vlad, &row.Street, &row.NumHome, &row.NumDoor};
        for (int c = 0; c < 5; ++c)
            sqlite3_bind_text(insert, c + 1, values[c]->data(), int(values[c]->size()), SQLITE_STATIC);
        if (sqlite3_step(insert) != SQLITE_DONE)
            file.Fail(QStringLiteral("Не удаётся записать файл"));
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    finalize.Statement = nullptr;

    file.Execute("COMMIT;");
    if (indexOwners)
        file.Execute("CREATE INDEX kray_vlad ON kray(vlad);");
    file.Close();

    // rename() replaces an existing file in one step.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
        throw EDatabaseError(
            QStringLiteral("Не удаётся создать файл '%1': %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    file.Keep();
}
