#pragma once
// mdbtools' own mdb-export as an independent reader of the sample Jet files: what it prints for a
// table, parsed into names and rows, for tests to compare our values with.

#include <QDate>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

// One table as mdb-export prints it: the header's names, then the rows; a value is absent for
// an unquoted empty field (null).
struct TMdbExport
{
    QStringList Names;
    std::vector<std::vector<std::optional<QString>>> Rows;
};

inline QString MdbExportProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
}

#define SKIP_WITHOUT_MDB_EXPORT()                                                                                      \
    if (MdbExportProgram().isEmpty())                                                                                  \
    GTEST_SKIP() << "mdb-export (Debian package mdbtools) is not installed: nothing to compare with"

inline TMdbExport ParseMdbExport(const QString& csv)
{
    TMdbExport out;
    std::vector<std::optional<QString>> row;
    qsizetype i = 0;
    bool header = true;
    auto endRow = [&] {
        if (header) {
            for (const auto& v : row)
                out.Names << v.value_or(QString());
            header = false;
        } else {
            out.Rows.push_back(std::move(row));
        }
        row.clear();
    };
    while (i < csv.size()) {
        std::optional<QString> value;
        if (csv[i] == u'"') {
            QString text;
            ++i;
            while (i < csv.size()) {
                if (csv[i] == u'"') {
                    if (i + 1 < csv.size() && csv[i + 1] == u'"') {
                        text += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += csv[i++];
            }
            value = text;
        } else {
            const qsizetype start = i;
            while (i < csv.size() && csv[i] != u',' && csv[i] != u'\n')
                ++i;
            if (i > start)
                value = csv.mid(start, i - start);
        }
        row.push_back(value);
        if (i >= csv.size() || csv[i] == u'\n') {
            endRow();
            ++i;
        } else {
            ++i; // the comma
        }
    }
    return out;
}

// mdb-export with dates as ISO text and binary values as hex; charset as for our engine.
inline TMdbExport RunMdbExport(const QString& file, const QString& table, const QByteArray& jet3Charset)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MDB_JET3_CHARSET"), QString::fromLatin1(jet3Charset));
    env.insert(QStringLiteral("MDBICONV"), QStringLiteral("UTF-8"));
    process.setProcessEnvironment(env);
    process.start(MdbExportProgram(),
                  {QStringLiteral("-D"), QStringLiteral("%Y-%m-%d %H:%M:%S"), QStringLiteral("-T"),
                   QStringLiteral("%Y-%m-%d %H:%M:%S"), QStringLiteral("-b"), QStringLiteral("hex"), file, table});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        ADD_FAILURE() << "mdb-export failed on " << table.toStdString() << ": "
                      << process.readAllStandardError().toStdString();
    return ParseMdbExport(QString::fromUtf8(process.readAllStandardOutput()));
}

// mdb-export cannot print a date before 1899-12-30 or after about 4600: it writes day 0 of
// January 1900 instead. Those values of DateTestDatabase.mdb's table DateTest are checked against
// this table, read from the file's raw day numbers (Jet counts days from 1899-12-30; Python's date
// arithmetic gave the dates).
struct TKnownDate
{
    const char* name;
    int id; // IDCol
    const char* column;
    QDate expected;
};

inline const std::vector<TKnownDate> kDatesMdbExportCannotPrint = {
    {"year 9999", 2, "DateTimeCol", QDate(9999, 1, 1)}, {"year 9999", 2, "DateCol", QDate(9999, 1, 1)},
    {"year 9999", 2, "TimeCol", QDate(9999, 1, 1)},     {"before 1900", 3, "DateTimeCol", QDate(1898, 1, 1)},
    {"before 1900", 3, "DateCol", QDate(1899, 1, 1)},   {"before 1000", 4, "DateTimeCol", QDate(632, 1, 1)},
    {"before 1000", 4, "DateCol", QDate(633, 1, 1)},    {"before 1000", 4, "TimeCol", QDate(634, 1, 1)},
};
