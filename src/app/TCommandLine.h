#pragma once
// The program's command line: searches and exports without a window.
//   phonebook --fio TEXT --fio-style left|anywhere|exact --street TEXT --dom TEXT --kvart TEXT
//             --phone TEXT --exact-phone --sort FIELD --export FILE --format txt|csv|htm|rtf|xls

#include "TSearchCriteria.h"

#include <QString>
#include <QStringList>

struct TCommandLine
{
    bool Batch = false;  // any option given: run without a window
    bool Help = false;
    TSearchCriteria Criteria;
    QString SortField;
    QString ExportFile;
    QString Format;  // "txt", "csv", "htm", "rtf" or "xls"; empty without --export
};

// Parses the arguments after the program name; a bad option or a missing value throws Exception
// with a message naming it.
TCommandLine ParseCommandLine(const QStringList& arguments);
QString CommandLineHelp();

// The export dialog's extension rule: append "." + ext unless the name's last three characters
// already are ext, in any letter case.
QString ExportFileName(const QString& name, const QString& ext);
