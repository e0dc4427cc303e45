#pragma once
// Tab-separated text and CSV: lines separated by CR LF, values by TAB or by the CSV separator.

#include "TByteWriterEh.h"

#include <QStringView>

// The CSV form of a value: in double quotes, every double quote inside doubled; nothing else is
// changed (separators, CR, LF and TAB stay as they are, inside the quotes).
void WriteCsvQuoted(TByteWriterEh& w, QStringView value);
