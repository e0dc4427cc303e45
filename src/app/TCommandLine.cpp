#include "TCommandLine.h"

#include "Exception.h"

#include <QFileInfo>

namespace {

// Options that fill in the search criteria of the directory table.
const QStringList kSearchOptions = {QStringLiteral("--fio"),   QStringLiteral("--fio-style"), QStringLiteral("--street"),
                                    QStringLiteral("--dom"),   QStringLiteral("--kvart"),     QStringLiteral("--phone"),
                                    QStringLiteral("--exact-phone")};

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
        "Usage: phonebook [options]\n"
        "Without options the window opens. With options the directory is searched without a\n"
        "window, the count found is printed, and the result may be sorted, exported and copied.\n"
        "\n"
        "  --database FILE        search FILE (SQLite or Jet .mdb) instead of the directory\n"
        "                         beside the program\n"
        "  --table NAME           take every row of the table NAME instead of searching the\n"
        "                         directory table kray (no search options then)\n"
        "  --fio TEXT             owner name\n"
        "  --fio-style STYLE      how the owner name matches: left (at the start, default),\n"
        "                         anywhere, exact\n"
        "  --street TEXT          street (anywhere in the name)\n"
        "  --dom TEXT             house number (at the start)\n"
        "  --kvart TEXT           flat number (at the start)\n"
        "  --phone TEXT           telephone number (anywhere)\n"
        "  --exact-phone          the telephone number must match exactly\n"
        "  --sort FIELD           order the result by a field (numer, vlad, street, numhome, numdoor,\n"
        "                         or one of the fields of --table)\n"
        "  --export FILE          write the result to FILE\n"
        "  --format FORMAT        txt, csv, htm, rtf, xls or xlsx (default: from FILE's extension)\n"
        "  --copy                 copy the result to the clipboard as the window's popup menu does,\n"
        "                         and hold it there until another program takes the clipboard over\n"
        "                         (needs a display)\n"
        "  --copy-wait SECONDS    hold the clipboard at most this long (default 300; 0: no limit)\n"
        "  --help                 show this text\n");
}

TCommandLine ParseCommandLine(const QStringList& arguments)
{
    TCommandLine cl;
    QStringList searchOptions;  // given options that only apply to a search of the directory table
    bool copyWaitGiven = false;
    auto value = [&](qsizetype& i) -> QString {
        const QString option = arguments[i];
        if (i + 1 >= arguments.size())
            throw Exception(FormatMessage(QStringLiteral("Option %s needs a value"), {option}));
        return arguments[++i];
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            cl.Help = true;
        } else if (a == QLatin1String("--database")) {
            cl.Database = value(i);
            if (cl.Database.isEmpty())
                throw Exception(QStringLiteral("--database needs a file name"));
        } else if (a == QLatin1String("--table")) {
            cl.Table = value(i);
            // The name goes into the statement in square brackets, which it must not close.
            if (cl.Table.isEmpty() || cl.Table.contains(u']'))
                throw Exception(FormatMessage(QStringLiteral("Invalid table name '%s'"), {cl.Table}));
        } else if (a == QLatin1String("--copy")) {
            cl.Copy = true;
        } else if (a == QLatin1String("--copy-wait")) {
            const QString text = value(i);
            bool ok = false;
            cl.CopyWaitSeconds = text.toInt(&ok);
            if (!ok || cl.CopyWaitSeconds < 0 || cl.CopyWaitSeconds > 24 * 3600)
                throw Exception(FormatMessage(
                    QStringLiteral("--copy-wait needs a number of seconds from 0 to 86400, not '%s'"), {text}));
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
                    QStringLiteral("Unknown --fio-style '%s' (use left, anywhere or exact)"), {style}));
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
                    QStringLiteral("Unknown --format '%s' (use txt, csv, htm, rtf, xls or xlsx)"), {cl.Format}));
        } else {
            throw Exception(FormatMessage(QStringLiteral("Unknown option '%s' (see --help)"), {a}));
        }
        if (kSearchOptions.contains(a) && !searchOptions.contains(a))
            searchOptions << a;
        cl.Batch = true;
    }
    if (!cl.Table.isEmpty() && !searchOptions.isEmpty())
        throw Exception(FormatMessage(
            QStringLiteral("--table takes every row of a table; the search options %s apply to the directory table only"),
            {searchOptions.join(QStringLiteral(", "))}));
    if (copyWaitGiven && !cl.Copy)
        throw Exception(QStringLiteral("--copy-wait needs --copy"));
    if (!cl.Format.isEmpty() && cl.ExportFile.isEmpty())
        throw Exception(QStringLiteral("--format needs --export FILE"));
    if (!cl.ExportFile.isEmpty() && cl.Format.isEmpty()) {
        QString suffix = QFileInfo(cl.ExportFile).suffix().toLower();
        if (suffix == QLatin1String("html"))
            suffix = QStringLiteral("htm");
        if (!kFormats.contains(suffix))
            throw Exception(FormatMessage(
                QStringLiteral("Cannot tell the format of '%s' from its extension: give --format"),
                {cl.ExportFile}));
        cl.Format = suffix;
    }
    return cl;
}
