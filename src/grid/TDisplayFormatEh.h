#pragma once
// Formatting of numbers and date-times by a display-format pattern, as a column's DisplayFormat
// and the exporters' footer totals use it.
//
// Number patterns: up to three sections separated by ";" (positive; negative; zero). In a section
// "0" is a digit that always shows, "#" a digit shown only when significant, "." the place of the
// decimal separator, "," anywhere switches on thousands separators, "E+"/"E-" with digits after
// them give scientific notation, text in quotes is copied, any other character too.
//
// Date-time patterns: d, dd, ddd, dddd, m, mm, mmm, mmmm (minutes after h or hh), yy, yyyy, h, hh,
// n, nn, s, ss, z, zzz, am/pm, a/p, "/" (date separator), ":" (time separator); quoted text is
// copied.

#include <QDateTime>
#include <QString>

QString FormatFloatEh(const QString& pattern, double value);
QString FormatDateTimeEh(const QString& pattern, const QDateTime& value);
