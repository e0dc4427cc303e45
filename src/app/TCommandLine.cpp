#include "TCommandLine.h"

#include "Exception.h"
#include "TDirectoryEngine.h"

#include <QFileInfo>

namespace {

// Options that fill in the search criteria of the directory table.
const QStringList kSearchOptions = {
    QStringLiteral("--fio"),   QStringLiteral("--fio-style"), QStringLiteral("--street"),     QStringLiteral("--dom"),
    QStringLiteral("--kvart"), QStringLiteral("--phone"),     QStringLiteral("--exact-phone")};

// The options of one search, which are all a line of a batch may hold.
const QStringList kBatchLineOptions = kSearchOptions + QStringList{QStringLiteral("--sort")};

// Options that say what the whole run does, given once on the program's command line.
const QStringList kProgramOptions = {
    QStringLiteral("--help"),  QStringLiteral("-h"),           QStringLiteral("--database"), QStringLiteral("--table"),
    QStringLiteral("--copy"),  QStringLiteral("--copy-wait"),  QStringLiteral("--export"),   QStringLiteral("--format"),
    QStringLiteral("--batch"), QStringLiteral("--export-dir"), QStringLiteral("--load-into")};

const QStringList kFormats = {QStringLiteral("txt"), QStringLiteral("csv"), QStringLiteral("htm"),
                              QStringLiteral("rtf"), QStringLiteral("xls"), QStringLiteral("xlsx")};

} // namespace

QString ExportFileName(const QString& name, const QString& ext)
{
    if (name.right(ext.size()).toUpper() != ext.toUpper())
        return name + u'.' + ext;
    return name;
}

QString CommandLineHelp()
{
    return QStringLiteral(
        "Запуск: phonebook [параметры]\n"
        "Без параметров открывается окно. С параметрами справочник просматривается без окна,\n"
        "печатается число найденных записей, а результат можно упорядочить, выгрузить в файл\n"
        "и скопировать.\n"
        "\n"
        "  --database ФАЙЛ        искать в ФАЙЛЕ (SQLite или Jet .mdb) или на сервере PostgreSQL\n"
        "                         (postgresql://пользователь@сервер:5432/база), а не в справочнике\n"
        "                         рядом с программой\n"
        "  --load-into АДРЕС      скопировать таблицу kray справочника в таблицу kray на сервере\n"
        "                         PostgreSQL (postgresql://...) с индексами для поиска, одной\n"
        "                         транзакцией; поиск тогда не выполняется\n"
        "  --table ИМЯ            взять все строки таблицы ИМЯ вместо поиска в таблице\n"
        "                         справочника kray (параметры поиска тогда не задаются)\n"
        "  --fio ТЕКСТ            владелец\n"
        "  --fio-style СПОСОБ     как сравнивается владелец: left (с начала, по умолчанию),\n"
        "                         anywhere (в любом месте), exact (полностью)\n"
        "  --street ТЕКСТ         улица (в любом месте названия)\n"
        "  --dom ТЕКСТ            номер дома (с начала)\n"
        "  --kvart ТЕКСТ          номер квартиры (с начала)\n"
        "  --phone ТЕКСТ          номер телефона (в любом месте)\n"
        "  --exact-phone          номер телефона должен совпасть полностью\n"
        "  --sort ПОЛЕ            упорядочить результат по полю (numer, vlad, street, numhome,\n"
        "                         numdoor или одно из полей таблицы --table)\n"
        "  --export ФАЙЛ          записать результат в ФАЙЛ\n"
        "  --format ФОРМАТ        txt, csv, htm, rtf, xls или xlsx (по умолчанию по расширению ФАЙЛА,\n"
        "                         с --export-dir csv)\n"
        "  --copy                 скопировать результат в буфер обмена, как это делает контекстное\n"
        "                         меню окна, и держать его там, пока буфер не займёт другая\n"
        "                         программа (нужен дисплей)\n"
        "  --copy-wait СЕКУНДЫ    держать буфер обмена не дольше этого времени (по умолчанию 300;\n"
        "                         0: без ограничения)\n"
        "  --batch ФАЙЛ           выполнить поиски из ФАЙЛА (- : со стандартного ввода), по одному\n"
        "                         в строке, в одном открытом справочнике (см. ниже)\n"
        "  --export-dir КАТАЛОГ   с --batch: выгрузить результат каждой строки в КАТАЛОГ\n"
        "                         как <номер строки>.<формат>\n"
        "  --help                 показать этот текст\n"
        "\n"
        "Пакет (--batch): каждая строка ФАЙЛА (UTF-8) задаёт один поиск параметрами поиска и --sort,\n"
        "как в командной строке: слова разделяются пробелами, значение с пробелами берётся\n"
        "в двойные или одинарные кавычки, обратная косая черта экранирует следующий знак\n"
        "(в двойных кавычках только \\\" \\\\ \\$ \\`), например\n"
        "    --street \"пр. Мира\" --dom 12 --sort vlad\n"
        "Пустые строки и строки, начинающиеся с #, пропускаются (# в начале слова начинает\n"
        "комментарий), но номера строк считаются по всем строкам файла. Для каждого поиска\n"
        "печатается строка: номер строки, знак табуляции и текст «Найдено N записей.».\n"
        "Ошибка строки (в том числе строка без условий поиска) печатается в поток ошибок\n"
        "с номером строки, следующие строки выполняются. Код завершения 1, если хоть одна\n"
        "строка не выполнена, иначе 0.\n");
}

TCommandLine ParseCommandLine(const QStringList& arguments, TCommandLineScope scope)
{
    TCommandLine cl;
    QStringList searchOptions; // given options that only apply to a search of the directory table
    QStringList lineOptions;   // given options that a batch takes on each of its lines instead
    QStringList notInBatch;    // given options that a batch does not take at all
    bool copyWaitGiven = false;
    auto value = [&](qsizetype& i) -> QString {
        const QString option = arguments[i];
        if (i + 1 >= arguments.size())
            throw Exception(FormatMessage(QStringLiteral("Параметру %s нужно значение"), {option}));
        return arguments[++i];
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (scope == TCommandLineScope::BatchLine && kProgramOptions.contains(a))
            throw Exception(FormatMessage(
                QStringLiteral("Параметр %s не задаётся в строке пакета: в ней только параметры поиска и --sort"),
                {a}));
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            cl.Help = true;
        } else if (a == QLatin1String("--database")) {
            cl.Database = value(i);
            if (cl.Database.isEmpty())
                throw Exception(QStringLiteral("Параметру --database нужно имя файла"));
        } else if (a == QLatin1String("--load-into")) {
            cl.LoadInto = value(i);
            if (!IsServerDirectory(cl.LoadInto))
                throw Exception(FormatMessage(
                    QStringLiteral(
                        "Параметру --load-into нужен адрес сервера PostgreSQL (postgresql://...), а не '%s'"),
                    {DirectoryDisplayName(cl.LoadInto)}));
        } else if (a == QLatin1String("--table")) {
            cl.Table = value(i);
            // The name goes into the statement in square brackets, which it must not close.
            if (cl.Table.isEmpty() || cl.Table.contains(u']'))
                throw Exception(FormatMessage(QStringLiteral("Недопустимое имя таблицы '%s'"), {cl.Table}));
        } else if (a == QLatin1String("--copy")) {
            cl.Copy = true;
        } else if (a == QLatin1String("--copy-wait")) {
            const QString text = value(i);
            bool ok = false;
            cl.CopyWaitSeconds = text.toInt(&ok);
            if (!ok || cl.CopyWaitSeconds < 0 || cl.CopyWaitSeconds > 24 * 3600)
                throw Exception(FormatMessage(
                    QStringLiteral("Параметру --copy-wait нужно число секунд от 0 до 86400, а не '%s'"), {text}));
            copyWaitGiven = true;
        } else if (a == QLatin1String("--fio")) {
            cl.Criteria.Fio = value(i);
        } else if (a == QLatin1String("--fio-style")) {
            const QString style = value(i);
            if (style == QLatin1String("left"))
                cl.Criteria.FioStyle = 0;
            else if (style == QLatin1String("anywhere"))
                cl.Criteria.FioStyle = 1;
            else if (style == QLatin1String("exact"))
                cl.Criteria.FioStyle = 2;
            else
                throw Exception(FormatMessage(
                    QStringLiteral("Неизвестное значение --fio-style '%s' (допустимы left, anywhere и exact)"),
                    {style}));
        } else if (a == QLatin1String("--street")) {
            cl.Criteria.Street = value(i);
        } else if (a == QLatin1String("--dom")) {
            cl.Criteria.Dom = value(i);
        } else if (a == QLatin1String("--kvart")) {
            cl.Criteria.Kvart = value(i);
        } else if (a == QLatin1String("--phone")) {
            cl.Criteria.Phone = value(i);
        } else if (a == QLatin1String("--exact-phone")) {
            cl.Criteria.Discrete = true;
        } else if (a == QLatin1String("--sort")) {
            cl.SortField = value(i);
        } else if (a == QLatin1String("--export")) {
            cl.ExportFile = value(i);
        } else if (a == QLatin1String("--batch")) {
            cl.BatchFile = value(i);
            if (cl.BatchFile.isEmpty())
                throw Exception(QStringLiteral("Параметру --batch нужно имя файла (или - для стандартного ввода)"));
        } else if (a == QLatin1String("--export-dir")) {
            cl.ExportDir = value(i);
            if (cl.ExportDir.isEmpty())
                throw Exception(QStringLiteral("Параметру --export-dir нужно имя каталога"));
        } else if (a == QLatin1String("--format")) {
            cl.Format = value(i).toLower();
            if (!kFormats.contains(cl.Format))
                throw Exception(FormatMessage(
                    QStringLiteral("Неизвестное значение --format '%s' (допустимы txt, csv, htm, rtf, xls и xlsx)"),
                    {cl.Format}));
        } else {
            throw Exception(FormatMessage(QStringLiteral("Неизвестный параметр '%s' (см. --help)"), {a}));
        }
        if (kSearchOptions.contains(a) && !searchOptions.contains(a))
            searchOptions << a;
        if (kBatchLineOptions.contains(a) && !lineOptions.contains(a))
            lineOptions << a;
        if ((a == QLatin1String("--table") || a == QLatin1String("--export") || a == QLatin1String("--copy")
             || a == QLatin1String("--copy-wait"))
            && !notInBatch.contains(a))
            notInBatch << a;
        cl.Batch = true;
    }
    if (!cl.Table.isEmpty() && !searchOptions.isEmpty())
        throw Exception(FormatMessage(
            QStringLiteral(
                "--table берёт все строки таблицы; параметры поиска %s относятся только к таблице справочника"),
            {searchOptions.join(QStringLiteral(", "))}));
    if (!cl.LoadInto.isEmpty()) {
        QStringList others = searchOptions;
        if (!cl.Table.isEmpty())
            others << QStringLiteral("--table");
        if (!cl.SortField.isEmpty())
            others << QStringLiteral("--sort");
        if (!cl.ExportFile.isEmpty())
            others << QStringLiteral("--export");
        if (cl.Copy)
            others << QStringLiteral("--copy");
        if (!cl.BatchFile.isEmpty())
            others << QStringLiteral("--batch");
        if (!others.isEmpty())
            throw Exception(FormatMessage(QStringLiteral("--load-into копирует весь справочник и задаётся без %s"),
                                          {others.join(QStringLiteral(", "))}));
    }
    if (!cl.BatchFile.isEmpty() && !lineOptions.isEmpty())
        throw Exception(
            FormatMessage(QStringLiteral("С --batch параметры поиска и --sort задаются в строках файла, а не в "
                                         "командной строке: %s"),
                          {lineOptions.join(QStringLiteral(", "))}));
    if (!cl.BatchFile.isEmpty() && !notInBatch.isEmpty())
        throw Exception(FormatMessage(
            QStringLiteral(
                "Параметры %s не задаются вместе с --batch (результат каждой строки выгружает --export-dir)"),
            {notInBatch.join(QStringLiteral(", "))}));
    if (!cl.ExportDir.isEmpty() && cl.BatchFile.isEmpty())
        throw Exception(QStringLiteral("Параметр --export-dir задаётся только вместе с --batch ФАЙЛ"));
    if (!cl.BatchFile.isEmpty()) {
        if (!cl.Format.isEmpty() && cl.ExportDir.isEmpty())
            throw Exception(
                QStringLiteral("С --batch параметр --format задаётся только вместе с --export-dir КАТАЛОГ"));
        if (!cl.ExportDir.isEmpty() && cl.Format.isEmpty())
            cl.Format = QStringLiteral("csv");
        return cl;
    }
    if (copyWaitGiven && !cl.Copy)
        throw Exception(QStringLiteral("Параметр --copy-wait задаётся только вместе с --copy"));
    if (!cl.Format.isEmpty() && cl.ExportFile.isEmpty())
        throw Exception(QStringLiteral("Параметр --format задаётся только вместе с --export ФАЙЛ"));
    if (!cl.ExportFile.isEmpty() && cl.Format.isEmpty()) {
        QString suffix = QFileInfo(cl.ExportFile).suffix().toLower();
        if (suffix == QLatin1String("html"))
            suffix = QStringLiteral("htm");
        if (!kFormats.contains(suffix))
            throw Exception(FormatMessage(
                QStringLiteral("Формат файла '%s' не определить по расширению: укажите --format"), {cl.ExportFile}));
        cl.Format = suffix;
    }
    return cl;
}
