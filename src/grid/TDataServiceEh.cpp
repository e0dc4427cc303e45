#include "TDataServiceEh.h"

#include "TCustomDBGridEh.h"
#include "TDBGridEhFindDlg.h"
#include "TDBGridEhTextSearch.h"

#include <algorithm>

bool TDataSetHandlerEh::LocateText(TCustomDBGridEh* grid, const QString& fieldName, const QString& text,
                                   TTextSearchOptionsEh options, TTextSearchDirectionEh direction,
                                   TTextSearchMatchEh matching, TTextSearchTreeRangeEh treeRange)
{
    return DefaultTextSearch(grid, fieldName, text, options, direction, matching, treeRange);
}

void TDataSetHandlerEh::ExecuteFindDialog(TCustomDBGridEh* grid, const QString& text, const QString& fieldName,
                                          bool modal)
{
    if (TFindDialogProcEh proc = TDataServiceEh::Instance().FindDialogProc())
        proc(grid, text, fieldName, nullptr, modal);
}

TDataServiceEh::TDataServiceEh() : fFindDialogProc(&ExecuteDBGridEhFindDialog) {}

TDataServiceEh& TDataServiceEh::Instance()
{
    static TDataServiceEh service;
    return service;
}

void TDataServiceEh::Add(TEntry entry)
{
    Remove(entry.Type);
    fEntries.push_back(std::move(entry));
}

void TDataServiceEh::Remove(std::type_index type)
{
    fEntries.erase(std::remove_if(fEntries.begin(), fEntries.end(), [&](const TEntry& e) { return e.Type == type; }),
                   fEntries.end());
}

TDataSetHandlerEh* TDataServiceEh::HandlerFor(const TDataSet* dataSet) const
{
    if (!dataSet)
        return nullptr;
    // Every matching class is an ancestor of the record set's own; the nearest is the one that
    // derives from all the others.
    const TEntry* best = nullptr;
    for (const TEntry& e : fEntries) {
        if (!e.Matches(dataSet))
            continue;
        if (!best || best->IsBaseOf(e.ThrowNull))
            best = &e;
    }
    return best ? best->Handler.get() : nullptr;
}

bool TDataServiceEh::LocateText(TCustomDBGridEh* grid, const QString& fieldName, const QString& text,
                                TTextSearchOptionsEh options, TTextSearchDirectionEh direction,
                                TTextSearchMatchEh matching, TTextSearchTreeRangeEh treeRange)
{
    if (TDataSetHandlerEh* h = HandlerFor(grid ? grid->DataSet() : nullptr))
        return h->LocateText(grid, fieldName, text, options, direction, matching, treeRange);
    return DefaultTextSearch(grid, fieldName, text, options, direction, matching, treeRange);
}

void TDataServiceEh::ExecuteFindDialog(TCustomDBGridEh* grid, const QString& text, const QString& /*fieldName*/,
                                       bool modal)
{
    if (TDataSetHandlerEh* h = HandlerFor(grid ? grid->DataSet() : nullptr)) {
        h->ExecuteFindDialog(grid, text, QString(), modal);
        return;
    }
    if (fFindDialogProc)
        fFindDialogProc(grid, text, QString(), nullptr, modal);
}
