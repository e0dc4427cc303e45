#include "TDBGridEhSelection.h"

#include "TCustomDBGridEh.h"
#include "TScopeExit.h"

#include <algorithm>

namespace {

const QString kClosedDataSet = QStringLiteral("Cannot perform this operation on a closed dataset");

} // namespace

// ---------------------------------------------------------------------------------------------
// TBookmarkListEh

TBookmarkListEh::TBookmarkListEh(TDBGridEhSelection* selection) : fSelection(selection) {}

TDataSet* TBookmarkListEh::DataSet() const
{
    return fSelection->Grid()->DataSet();
}

TDataSet* TBookmarkListEh::ActiveDataSet() const
{
    TDataSet* ds = DataSet();
    if (!ds || !ds->Active())
        throw EDatabaseError(kClosedDataSet);
    return ds;
}

bool TBookmarkListEh::Find(const QByteArray& bookmark, int& index) const
{
    if (fCacheValid && bookmark == fCacheBookmark) {
        index = fCacheIndex;
        return fCacheFound;
    }
    const TDataSet* ds = DataSet();
    int lo = 0;
    int hi = Count() - 1;
    bool found = false;
    while (lo <= hi && ds) {
        const int mid = (lo + hi) / 2;
        ++fComparisons;
        const int order = ds->BookmarkOrder(fList[std::size_t(mid)], bookmark);
        if (order == 0) {
            lo = mid;
            found = true;
            break;
        }
        if (order < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    index = lo;
    fCacheBookmark = bookmark;
    fCacheIndex = index;
    fCacheFound = found;
    fCacheValid = true;
    return found;
}

int TBookmarkListEh::IndexOf(const QByteArray& bookmark) const
{
    int index = -1;
    return Find(bookmark, index) ? index : -1;
}

bool TBookmarkListEh::CurrentRowSelected() const
{
    const TDataSet* ds = ActiveDataSet();
    int index = -1;
    return Find(ds->Bookmark(), index);
}

void TBookmarkListEh::SetCurrentRowSelected(bool value)
{
    const TDataSet* ds = ActiveDataSet();
    const QByteArray bookmark = ds->Bookmark();
    if (bookmark.isEmpty())
        return;
    int index = -1;
    if (Find(bookmark, index) == value)
        return;
    TCustomDBGridEh* grid = fSelection->Grid();
    fSelection->ClearOtherThan(gstRecordBookmarks);
    if (value)
        fList.insert(fList.begin() + index, bookmark);
    else
        fList.erase(fList.begin() + index);
    ListChanged();
    grid->InvalidateRow(grid->Row());
    if (!fList.empty())
        fSelection->SetSelectionType(gstRecordBookmarks);
    fSelection->UpdateState();
    fSelection->Changed();
}

void TBookmarkListEh::Clear()
{
    if (fList.empty())
        return;
    fList.clear();
    ListChanged();
    fSelection->Grid()->InvalidateGrid();
}

void TBookmarkListEh::DeleteRecords()
{
    TDataSet* ds = ActiveDataSet();
    ds->SuspendNotify();
    {
        TScopeExit resume([ds] { ds->ResumeNotify(); });
        for (int i = Count() - 1; i >= 0; --i) {
            ds->SetBookmark(fList[std::size_t(i)]);
            ds->Delete();
            fList.erase(fList.begin() + i);
            ListChanged();
        }
    }
    fSelection->UpdateState();
}

void TBookmarkListEh::LinkActive(bool active)
{
    fLinkActive = active;
    fList.clear();
    ListChanged();
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhSelectionRect

void TDBGridEhSelectionRect::CheckOpen(const char* what) const
{
    const TDataSet* ds = fSelection->Grid()->DataSet();
    if (!ds || !ds->Active())
        throw EInvalidGridOperationEh(QStringLiteral("Error in TDBGridEhSelectionRect.%1").arg(QLatin1String(what)));
}

QByteArray TDBGridEhSelectionRect::TopRow() const
{
    CheckOpen("GetTopRow");
    const TDataSet* ds = fSelection->Grid()->DataSet();
    return ds->BookmarkOrder(fAnchor.Row, fShift.Row) <= 0 ? fAnchor.Row : fShift.Row;
}

QByteArray TDBGridEhSelectionRect::GetBottomRow() const
{
    CheckOpen("GetBottomRow");
    const TDataSet* ds = fSelection->Grid()->DataSet();
    return ds->BookmarkOrder(fAnchor.Row, fShift.Row) < 0 ? fShift.Row : fAnchor.Row;
}

int TDBGridEhSelectionRect::LeftCol() const
{
    CheckOpen("GetLeftCol");
    return std::min(fAnchor.Col, fShift.Col);
}

int TDBGridEhSelectionRect::RightCol() const
{
    CheckOpen("GetRightCol");
    return std::max(fAnchor.Col, fShift.Col);
}

bool TDBGridEhSelectionRect::CellSelected(int dataCol, const QByteArray& bookmark) const
{
    const TDataSet* ds = fSelection->Grid()->DataSet();
    if (!ds || !ds->Active())
        throw EInvalidGridOperationEh(QStringLiteral("Error in function TDBGridEhSelectionRect.CellSelected"));
    if (Empty())
        return false;
    if (ds->BookmarkOrder(TopRow(), bookmark) > 0 || ds->BookmarkOrder(bookmark, GetBottomRow()) > 0)
        return false;
    return dataCol >= LeftCol() && dataCol <= RightCol();
}

TGridRectEh TDBGridEhSelectionRect::ExtentOf(const TDBCell& a, const TDBCell& b) const
{
    TCustomDBGridEh* grid = fSelection->Grid();
    TGridRectEh r;
    const TDataSet* ds = grid->DataSet();
    if (!a.IsSet() || !b.IsSet() || !ds || !ds->Active() || !grid->DataLink()->Active())
        return r;
    const bool aFirst = ds->BookmarkOrder(a.Row, b.Row) <= 0;
    const QByteArray& top = aFirst ? a.Row : b.Row;
    const QByteArray& bottom = aFirst ? b.Row : a.Row;
    int first = -1;
    int last = -1;
    for (int i = 0; i < grid->DataLink()->RecordCount(); ++i) {
        grid->BeginReadRow(i);
        TScopeExit end([grid] { grid->EndReadRow(); });
        const QByteArray bm = ds->Bookmark();
        if (ds->BookmarkOrder(top, bm) <= 0 && ds->BookmarkOrder(bm, bottom) <= 0) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0)
        return r;
    r.Left = grid->DataToRawColumn(std::min(a.Col, b.Col));
    r.Right = grid->DataToRawColumn(std::max(a.Col, b.Col));
    r.Top = first + grid->TitleRowCount();
    r.Bottom = last + grid->TitleRowCount();
    return r;
}

TGridRectEh TDBGridEhSelectionRect::GridRect() const
{
    return ExtentOf(fAnchor, fShift);
}

void TDBGridEhSelectionRect::Select(int dataCol, const QByteArray& bookmark, bool extend)
{
    TCustomDBGridEh* grid = fSelection->Grid();
    const TDataSet* ds = grid->DataSet();
    fSelection->ClearOtherThan(gstRectangle);
    const TGridRectEh before = fSelection->SelectionType() == gstRectangle ? GridRect() : TGridRectEh();
    if (!fAnchor.IsSet() || !extend)
        fAnchor = {dataCol, bookmark};
    fShift = {dataCol, bookmark};
    const bool sameRow =
        ds && ds->Active() ? ds->BookmarkOrder(fAnchor.Row, fShift.Row) == 0 : fAnchor.Row == fShift.Row;
    fSelection->SetSelectionType(fAnchor.Col != fShift.Col || !sameRow ? gstRectangle : gstNon);
    grid->InvalidateCells(before);
    grid->InvalidateCells(GridRect());
    fSelection->Changed();
}

void TDBGridEhSelectionRect::Clear()
{
    fAnchor = TDBCell();
    fShift = TDBCell();
    fSelection->Grid()->InvalidateGrid();
    fSelection->Changed();
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhSelectionCols

void TDBGridEhSelectionCols::AddInOrder(TColumnEh* column)
{
    if (IndexOf(column) >= 0)
        return;
    int pos = 0;
    while (pos < Count() && Items(pos)->Index() < column->Index())
        ++pos;
    Insert(pos, column);
}

void TDBGridEhSelectionCols::InvalidateColumns() const
{
    TCustomDBGridEh* grid = fSelection->Grid();
    for (TColumnEh* c : *this)
        grid->InvalidateColumn(c);
}

void TDBGridEhSelectionCols::Select(TColumnEh* column, bool keepOthers)
{
    fSelection->ClearOtherThan(gstColumns);
    if (!keepOthers) {
        InvalidateColumns();
        TColumnsEhList::Clear();
    }
    fShiftSelected.Clear();
    AddInOrder(column);
    fAnchor = column;
    fShift = column;
    fSelection->Grid()->InvalidateColumn(column);
    fSelection->SetSelectionType(gstColumns);
    fSelection->Changed();
}

void TDBGridEhSelectionCols::InvertSelect(TColumnEh* column)
{
    fSelection->ClearOtherThan(gstColumns);
    if (Remove(column) < 0)
        AddInOrder(column);
    fShiftSelected.Clear();
    fAnchor = column;
    fShift = column;
    fSelection->Grid()->InvalidateColumn(column);
    fSelection->SetSelectionType(Count() > 0 ? gstColumns : gstNon);
    fSelection->Changed();
}

void TDBGridEhSelectionCols::SelectShift(TColumnEh* column)
{
    if (!fAnchor) {
        Select(column, false);
        return;
    }
    fSelection->ClearOtherThan(gstColumns);
    TCustomDBGridEh* grid = fSelection->Grid();
    for (TColumnEh* c : fShiftSelected) {
        if (c != fAnchor) {
            Remove(c);
            grid->InvalidateColumn(c);
        }
    }
    fShiftSelected.Clear();
    const int from = std::min(fAnchor->Index(), column->Index());
    const int to = std::max(fAnchor->Index(), column->Index());
    const TDBGridColumnsEh& all = grid->Columns();
    for (int i = from; i <= to; ++i) {
        TColumnEh* c = all[i];
        if (!c->Visible() || IndexOf(c) >= 0)
            continue;
        AddInOrder(c);
        fShiftSelected.Add(c);
        grid->InvalidateColumn(c);
    }
    AddInOrder(fAnchor);
    fShift = column;
    fSelection->SetSelectionType(gstColumns);
    fSelection->Changed();
}

void TDBGridEhSelectionCols::Refresh()
{
    const TDBGridColumnsEh& all = fSelection->Grid()->Columns();
    std::vector<TColumnEh*> kept;
    for (TColumnEh* c : *this)
        if (all.IndexOf(c) >= 0)
            kept.push_back(c);
    std::sort(kept.begin(), kept.end(), [](TColumnEh* a, TColumnEh* b) { return a->Index() < b->Index(); });
    TColumnsEhList::Clear();
    for (TColumnEh* c : kept)
        Add(c);
    if (fAnchor && all.IndexOf(fAnchor) < 0)
        fAnchor = nullptr;
    if (fShift && all.IndexOf(fShift) < 0)
        fShift = nullptr;
    for (int i = fShiftSelected.Count() - 1; i >= 0; --i)
        if (all.IndexOf(fShiftSelected[i]) < 0)
            fShiftSelected.Delete(i);
}

void TDBGridEhSelectionCols::Clear()
{
    InvalidateColumns();
    TColumnsEhList::Clear();
    fShiftSelected.Clear();
    fAnchor = nullptr;
    fShift = nullptr;
    fSelection->Changed();
}

TGridRectEh TDBGridEhSelectionCols::GridRect() const
{
    TGridRectEh r;
    if (Count() == 0)
        return r;
    const TCustomDBGridEh* grid = fSelection->Grid();
    int left = -1;
    int right = -1;
    for (TColumnEh* c : *this) {
        const int raw = grid->DataToRawColumn(c->Index());
        left = left < 0 ? raw : std::min(left, raw);
        right = std::max(right, raw);
    }
    r.Left = left;
    r.Right = right;
    r.Top = 0;
    r.Bottom = grid->RowCount() - 1;
    return r;
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhSelection

TDBGridEhSelection::TDBGridEhSelection(TCustomDBGridEh* grid) : fGrid(grid), fRows(this), fRect(this), fColumns(this) {}

void TDBGridEhSelection::SetSelectionType(TDBGridEhSelectionType value)
{
    // The in-place editor would be refreshed here; this grid has none.
    fSelectionType = value;
}

bool TDBGridEhSelection::CellSelected(int dataCol, const QByteArray& bookmark) const
{
    switch (fSelectionType) {
    case gstRecordBookmarks: {
        int index = -1;
        return fRows.Find(bookmark, index);
    }
    case gstRectangle:
        return dataCol >= 0 && fRect.CellSelected(dataCol, bookmark);
    case gstColumns:
        return dataCol >= 0 && dataCol < fGrid->Columns().Count() && fColumns.IndexOf(fGrid->Columns()[dataCol]) >= 0;
    case gstAll:
        return true;
    case gstNon:
        break;
    }
    return false;
}

bool TDBGridEhSelection::DataCellSelected(int dataCol) const
{
    switch (fSelectionType) {
    case gstNon:
        return false;
    case gstAll:
        return true;
    case gstColumns:
        return CellSelected(dataCol, {});
    case gstRecordBookmarks:
    case gstRectangle: {
        const TDataSet* ds = fGrid->DataSet();
        return ds && ds->Active() && CellSelected(dataCol, ds->Bookmark());
    }
    }
    return false;
}

bool TDBGridEhSelection::CurrentRecordSelected() const
{
    if (fSelectionType == gstAll)
        return true;
    if (fSelectionType != gstRecordBookmarks)
        return false;
    const TDataSet* ds = fGrid->DataSet();
    int index = -1;
    return ds && ds->Active() && fRows.Find(ds->Bookmark(), index);
}

void TDBGridEhSelection::Clear()
{
    const TDBGridEhSelectionType kind = fSelectionType;
    if (kind == gstNon)
        return;
    switch (kind) {
    case gstRecordBookmarks:
        fRows.Clear();
        break;
    case gstRectangle:
        fRect.Clear();
        break;
    case gstColumns:
        fColumns.Clear();
        break;
    case gstAll:
        fGrid->InvalidateGrid();
        break;
    case gstNon:
        break;
    }
    SetSelectionType(gstNon);
    // With an editor always shown it would be shown again here; this grid has none.
    if (kind == gstRecordBookmarks || kind == gstAll)
        Changed();
}

void TDBGridEhSelection::ClearOtherThan(TDBGridEhSelectionType kind)
{
    if (fSelectionType != gstNon && fSelectionType != kind)
        Clear();
}

void TDBGridEhSelection::SelectAll()
{
    ClearOtherThan(gstAll);
    SetSelectionType(gstAll);
    fGrid->InvalidateGrid();
    Changed();
}

void TDBGridEhSelection::UpdateState()
{
    if ((fSelectionType == gstRecordBookmarks && fRows.Count() == 0)
        || (fSelectionType == gstColumns && fColumns.Count() == 0)) {
        SetSelectionType(gstNon);
        fGrid->InvalidateGrid();
    }
}

TGridRectEh TDBGridEhSelection::GridRect() const
{
    TGridRectEh r;
    switch (fSelectionType) {
    case gstRecordBookmarks: {
        const TDataSet* ds = fGrid->DataSet();
        if (!ds || !ds->Active() || !fGrid->DataLink()->Active())
            return r;
        int first = -1;
        int last = -1;
        for (int i = 0; i < fGrid->DataLink()->RecordCount(); ++i) {
            fGrid->BeginReadRow(i);
            TScopeExit end([this] { fGrid->EndReadRow(); });
            int index = -1;
            if (fRows.Find(ds->Bookmark(), index)) {
                if (first < 0)
                    first = i;
                last = i;
            }
        }
        if (first < 0)
            return r;
        return {0, first + fGrid->TitleRowCount(), fGrid->ColCount() - 1, last + fGrid->TitleRowCount()};
    }
    case gstRectangle:
        return fRect.GridRect();
    case gstColumns:
        return fColumns.GridRect();
    case gstAll:
        return {0, 0, fGrid->ColCount() - 1, fGrid->RowCount() - 1};
    case gstNon:
        break;
    }
    return r;
}

void TDBGridEhSelection::LinkActive(bool active)
{
    fRows.LinkActive(active);
    Clear();
}

void TDBGridEhSelection::Refresh()
{
    fColumns.Refresh();
    UpdateState();
}

void TDBGridEhSelection::Changed()
{
    if (fGrid->OnSelectionChanged)
        fGrid->OnSelectionChanged(fGrid);
}
