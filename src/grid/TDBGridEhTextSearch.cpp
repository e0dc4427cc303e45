#include "TDBGridEhTextSearch.h"

#include "TCustomDBGridEh.h"

#include <algorithm>

namespace {

// Characters whose upper case is one character that does not depend on the locale: ASCII,
// Latin-1 except the sharp s, and the Cyrillic block. Anything else goes through the locale.
bool HasSimpleUpper(char16_t c)
{
    return c < 0xDF || (c >= 0xE0 && c <= 0xFF) || (c >= 0x400 && c <= 0x4FF);
}

} // namespace

TCellTextMatcherEh::TCellTextMatcherEh(const QString& text, TTextSearchMatchEh matching, bool ignoreCase,
                                       const QLocale& locale)
    : fMatching(matching), fIgnoreCase(ignoreCase), fLocale(locale)
{
    const QLocale::Language lang = locale.language();
    fCharwiseCasing = lang != QLocale::Turkish && lang != QLocale::Azerbaijani && lang != QLocale::Lithuanian;
    if (fIgnoreCase)
        ToUpper(text, fText);
    else
        fText = text;
}

void TCellTextMatcherEh::ToUpper(QStringView in, QString& out) const
{
    if (fCharwiseCasing) {
        out.resize(in.size());
        QChar* d = out.data();
        bool simple = true;
        for (qsizetype i = 0; i < in.size(); ++i) {
            const char16_t c = in[i].unicode();
            if (c < 0x80) {
                d[i] = QChar(c >= u'a' && c <= u'z' ? char16_t(c - 0x20) : c);
            } else if (c >= 0x430 && c <= 0x45F) {
                d[i] = QChar(char16_t(c < 0x450 ? c - 0x20 : c - 0x50)); // а..я, ѐ..џ
            } else if (HasSimpleUpper(c)) {
                d[i] = QChar(char16_t(QChar::toUpper(char32_t(c))));
            } else {
                simple = false;
                break;
            }
        }
        if (simple)
            return;
    }
    out = fLocale.toUpper(in.toString());
}

bool TCellTextMatcherEh::Matches(QStringView cell)
{
    QStringView c = cell;
    if (fIgnoreCase) {
        ToUpper(cell, fCell);
        c = fCell;
    }
    switch (fMatching) {
    case tsmAnyPartEh:
        return !fText.isEmpty() && !c.isEmpty() && c.indexOf(fText) >= 0;
    case tsmWholeFieldEh:
        return c == fText;
    case tsmFromBeginEh:
        return c.startsWith(fText);
    }
    return false;
}

bool DefaultTextSearch(TCustomDBGridEh* grid, const QString& /*fieldName*/, const QString& text,
                       TTextSearchOptionsEh options, TTextSearchDirectionEh direction, TTextSearchMatchEh matching,
                       TTextSearchTreeRangeEh /*treeRange*/)
{
    TDataSet* ds = grid && grid->DataSource() ? grid->DataSet() : nullptr;
    if (!ds || !ds->Active() || grid->VisibleColCount() < 1)
        return false;
    const TDBGridColumnsEh& columns = grid->Columns();
    // The columns a search of all columns visits, in collection order: those shown.
    std::vector<int> shown;
    for (int i = 0; i < columns.Count(); ++i)
        if (columns[i]->Visible())
            shown.push_back(i);
    if (shown.empty())
        return false;
    const bool allColumns = options.Contains(tsoAllColumnsEh);
    const bool displayText = options.Contains(tsoDisplayTextEh);
    const bool forward = direction != tsdUpEh;
    int c = grid->SelectedIndex();
    if (c < 0 || c >= columns.Count())
        c = shown.front();

    ds->SuspendNotify();
    struct TResume
    {
        TDataSet* Ds;
        ~TResume() { Ds->ResumeNotify(); }
    } resume{ds};
    grid->SaveCursorPosition();

    TCellTextMatcherEh matcher(text, matching, options.Contains(tsoIgnoreCaseEh));
    // One step to the next cell to test; false when the record set has no more records that way.
    auto step = [&]() -> bool {
        if (allColumns) {
            if (forward) {
                const auto next = std::upper_bound(shown.begin(), shown.end(), c);
                if (next != shown.end()) {
                    c = *next;
                    return true;
                }
                if (ds->MoveRelative(1) == 0)
                    return false;
                c = shown.front();
                return true;
            }
            const auto here = std::lower_bound(shown.begin(), shown.end(), c);
            if (here != shown.begin()) {
                c = *(here - 1);
                return true;
            }
            if (ds->MoveRelative(-1) == 0)
                return false;
            c = shown.back();
            return true;
        }
        return ds->MoveRelative(forward ? 1 : -1) != 0;
    };

    bool more = !ds->HasNoRows();
    if (more) {
        if (direction == tsdAllEh) {
            // From the very first cell: with all columns, the first record's own first column too.
            ds->MoveFirst();
            if (allColumns)
                c = shown.front();
        } else {
            more = step(); // the current cell itself is never tested
        }
    }
    bool found = false;
    while (more) {
        const TColumnEh* column = columns[c];
        QString cell;
        if (displayText) {
            cell = column->CellDisplayText();
        } else if (const TField* f = column->Field()) {
            cell = f->PlainText();
        }
        if (matcher.Matches(cell)) {
            found = true;
            break;
        }
        more = step();
    }
    if (found)
        grid->SelectColumn(grid->DataToRawColumn(c), 0);
    else
        grid->RestoreCursorPosition();
    return found;
}
