#pragma once
// The program's command line: searches and exports without a window.
//   phonebook [--database FILE] --fio TEXT --fio-style left|anywhere|exact --street TEXT --dom TEXT
//             --kvart TEXT --phone TEXT --exact-phone --sort FIELD --export FILE
//             --format txt|csv|htm|rtf|xls --copy --copy-wait SECONDS
//   phonebook [--database FILE] --table NAME [--sort FIELD] [--export FILE] [--copy]
//   phonebook [--database FILE] --load-into postgresql://...

#include "TSearchCriteria.h"

#include <QString>
#include <QStringList>

struct TCommandLine
{
    bool Batch = false; // any option given: run without a window
    bool Help = false;
    TSearchCriteria Criteria;
    QString Database; // another directory file than the one beside the program, or a server URI
    QString Table;    // a whole table of that file in place of a search of the directory table
    QString SortField;
    QString ExportFile;
    QString Format;            // "txt", "csv", "htm", "rtf", "xls" or "xlsx"; empty without --export
    bool Copy = false;         // copy the result to the clipboard and hold it there
    int CopyWaitSeconds = 300; // how long at most the clipboard is held; 0 for no limit
    QString LoadInto;          // a server URI the directory table is copied to, in place of a search
};

// Parses the arguments after the program name; a bad option or a missing value throws Exception
// with a message naming it.
TCommandLine ParseCommandLine(const QStringList& arguments);
QString CommandLineHelp();

// Runs the search (and the sort, export and copy) of a parsed command line without a window:
// prints the status text, or the error on standard error. Returns the process exit code.
int RunCommandLine(const TCommandLine& commandLine);

// The export dialog's extension rule: append "." + ext unless the name already ends in ext, in
// any letter case (its last three characters for the three-letter extensions: no dot needed).
QString ExportFileName(const QString& name, const QString& ext);
