#pragma once
// Many searches over one opened directory, read from a file (or standard input) one per line:
//   phonebook [--database FILE] --batch FILE|- [--export-dir DIR [--format FORMAT]]
// Each line holds the options of one search as the command line takes them (the criteria and
// --sort), and gets its status text printed, or its error with the line's number.

#include <QString>
#include <QStringList>

#include <cstdio>

struct TCommandLine;

// The words of a batch line, split as a shell splits a command: blanks separate words; double
// quotes keep blanks and take \" \\ \$ \` as escapes (any other backslash stays); single quotes
// keep everything up to the next single quote; outside quotes a backslash takes the next
// character as it is; an unquoted # at the start of a word begins a comment up to the end of the
// line. "" gives an empty word. An unclosed quote or a backslash at the end throws Exception.
QStringList SplitBatchLine(const QString& line);

// Runs the batch of a parsed command line (BatchFile set): prints "<line number>\t<status text>"
// on out for every search that succeeded, in the order of the lines, and each failed line's error
// on standard error after "Строка <line number>: ". Blank and comment lines are skipped but
// counted. Returns the exit code: 0 when every line succeeded, 1 when any failed or the batch
// could not start, 130 when Ctrl+C stopped a search.
int RunBatch(const TCommandLine& commandLine, std::FILE* out = stdout);
