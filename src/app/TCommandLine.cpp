#include "TCommandLine.h"

#include "Exception.h"
#include "TDirectoryEngine.h"

#include <QFileInfo>

namespace {

// Options that fill in the search criteria of the directory table.
const QStringList kSearchOptions = {
    QStringLiteral("--fio"),   QStringLiteral("--fio-style"), QStringLiteral("--street"),     QStringLiteral("--dom"),
    QStringLiteral("--kvart"), QStringLiteral("--phone"),     QStringLiteral("--exact-phone")};

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
        "  --format ФОРМАТ        txt, csv, htm, rtf, xls или xlsx (по умолчанию по расширению ФАЙЛА)\n"
        "  --copy                 скопировать результат в буфер обмена, как это делает контекстное\n"
        "                         меню окна, и держать его там, пока буфер не займёт другая\n"
        "                         программа (нужен дисплей)\n"
        "  --copy-wait СЕКУНДЫ    держать буфер обмена не дольше этого времени (по умолчанию 300;\n"
        "                         0: без ограничения)\n"
        "  --help                 показать этот текст\n");
}

TCommandLine ParseCommandLine(const QStringList& arguments)
{
    TCommandLine cl;
    QStringList searchOptions; // given options that only apply to a search of the directory table
    bool copyWaitGiven = false;
    auto value = [&](qsizetype& i) -> QString {
        const QString option = arguments[i];
        if (i + 1 >= arguments.size())
            throw Exception(FormatMessage(QStringLiteral("Параметру %s нужно значение"), {option}));
        return arguments[++i];
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
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
        if (!others.isEmpty())
            throw Exception(FormatMessage(QStringLiteral("--load-into копирует весь справочник и задаётся без %s"),
                                          {others.join(QStringLiteral(", "))}));
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
