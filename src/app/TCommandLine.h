#pragma once
// The program's command line: searches and exports without a window.
//   phonebook [--database FILE] --fio TEXT --fio-style left|anywhere|exact --street TEXT --dom TEXT
//             --kvart TEXT --phone TEXT --exact-phone --sort FIELD --export FILE
//             --format txt|csv|htm|rtf|xls --copy --copy-wait SECONDS
//   phonebook [--database FILE] --table NAME [--sort FIELD] [--export FILE] [--copy]
//   phonebook [--database FILE] --load-into postgresql://...
//   phonebook [--database FILE] --batch FILE|- [--export-dir DIR [--format FORMAT]]

#include "TSearchCriteria.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

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
    QString BatchFile;         // a file of searches, one per line; "-" for standard input
    QString ExportDir;         // where a batch exports each line's result; empty: no export
};

// What the arguments are: the program's own command line, or one line of a batch, which holds the
// options of one search only (the criteria and --sort).
enum class TCommandLineScope
{
    Program,
    BatchLine
};

// Parses the arguments after the program name (or the words of a batch line); a bad option or a
// missing value throws Exception with a message naming it.
TCommandLine ParseCommandLine(const QStringList& arguments, TCommandLineScope scope = TCommandLineScope::Program);
QString CommandLineHelp();

class TDBGridEh;
class TDirectorySearch;
struct TProgramFiles;

// The directory the command line opened and the window's grid, never shown, that sorts and exports
// read: the single search and every line of a batch run the same steps here. Errors are printed on
// standard error, after the message prefix, as they happen.
class TCommandLineSearch
{
public:
    enum class TOutcome
    {
        Succeeded,
        Failed,
        Interrupted
    };

    TCommandLineSearch();
    ~TCommandLineSearch();
    TCommandLineSearch(const TCommandLineSearch&) = delete;
    TCommandLineSearch& operator=(const TCommandLineSearch&) = delete;

    // Opens the directory file (the one --database names, or the program's) for searches, or for
    // a whole table with one column per field of its own. False when it failed (error printed).
    bool Open(const TProgramFiles& files, const QString& databaseOption, bool wholeTable);
    // The search (or the whole table) of a parsed command line, then its sort, export and copy.
    // Only the search listens to Ctrl+C: stopped, it says so and gives Interrupted.
    TOutcome Run(const TCommandLine& commandLine);
    // Put before each error message, e.g. the line of a batch.
    void SetMessagePrefix(const QString& prefix) { fMessagePrefix = prefix; }

    TDirectorySearch& Directory() { return *fDirectory; }

private:
    bool Step(const std::function<void()>& action);

    std::unique_ptr<TDirectorySearch> fDirectory;
    std::unique_ptr<TDBGridEh> fGrid; // linked to the record set: goes before it
    QString fMessagePrefix;
    bool fFailed = false;
};

// Runs the search (and the sort, export and copy) of a parsed command line without a window:
// prints the status text, or the error on standard error. Returns the process exit code.
int RunCommandLine(const TCommandLine& commandLine);

// The exit code of a run stopped by Ctrl+C: the shell's code for it (128 + SIGINT).
constexpr int kInterruptedExitCode = 130;

// The export dialog's extension rule: append "." + ext unless the name already ends in ext, in
// any letter case (its last three characters for the three-letter extensions: no dot needed).
QString ExportFileName(const QString& name, const QString& ext);
