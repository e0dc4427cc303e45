#pragma once
// The grid's own text search: walks the record set from the current cell (or from the first record)
// through one column or all shown columns until a cell matches, and leaves the cursor on it; when
// nothing matches, the cursor and the window come back to where they were.

#include "TDataServiceEh.h"

#include <QLocale>
#include <QString>
#include <QStringView>

// Tests cell texts against one search text: anywhere in the cell, the whole cell, or its
// beginning; optionally ignoring letter case by comparing both in upper case, as the locale
// converts them.
class TCellTextMatcherEh
{
public:
    TCellTextMatcherEh(const QString& text, TTextSearchMatchEh matching, bool ignoreCase,
                       const QLocale& locale = QLocale());
    bool Matches(QStringView cell);

private:
    // Upper case of a text as the locale has it, into out (reusing its storage where it can).
    void ToUpper(QStringView in, QString& out) const;

    QString fText; // in upper case when case is ignored
    TTextSearchMatchEh fMatching;
    bool fIgnoreCase;
    QLocale fLocale;
    // The locale has no casing rules of its own (no Turkish dotted i and the like), so
    // characters without special upper-case forms may be converted one by one.
    bool fCharwiseCasing;
    QString fCell; // the cell text in upper case
};

bool DefaultTextSearch(TCustomDBGridEh* grid, const QString& fieldName, const QString& text,
                       TTextSearchOptionsEh options, TTextSearchDirectionEh direction, TTextSearchMatchEh matching,
                       TTextSearchTreeRangeEh treeRange);
