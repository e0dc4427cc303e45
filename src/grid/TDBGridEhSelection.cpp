#include "TDBGridEhSelection.h"

#include "TCustomDBGridEh.h"

namespace {

TDataSet* OpenDataSet(const TDBGridEhSelection* selection)
{
    TDataSet* dataSet = selection->Grid()->DataSet();
    if (!dataSet || !dataSet->Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    return dataSet;
}

}  // namespace

int TBookmarkListEh::Find(const QByteArray& bookmark, bool& found) const
{
    const TDataSet* dataSet = OpenDataSet(fSelection);
    int low = 0;
    int high = Count() - 1;
    while (low <= high) {
        const int mid = (low + high) / 2;
        const int order = dataSet->BookmarkOrder(fItems[std::size_t(mid)], bookmark);
        if (order == 0) {
            found = true;
            return mid;
        }
        if (order < 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    found = false;
    return low;
}

int TBookmarkListEh::IndexOf(const QByteArray& bookmark) const
{
    bool found = false;
    const int at = Find(bookmark, found);
    return found ? at : -1;
}

bool TBookmarkListEh::CurrentRowSelected() const
{
    return IndexOf(OpenDataSet(fSelection)->Bookmark()) >= 0;
}

void TBookmarkListEh::SetCurrentRowSelected(bool value)
{
    const QByteArray bookmark = OpenDataSet(fSelection)->Bookmark();
    if (bookmark.isEmpty())
        return;
    bool found = false;
    const int at = Find(bookmark, found);
    if (found == value)
        return;
    if (value) {
        fSelection->ClearOtherThan(gstRecordBookmarks);
        fItems.insert(fItems.begin() + at, bookmark);
    } else {
        fItems.erase(fItems.begin() + at);
    }
    fSelection->SetSelectionType(fItems.empty() ? gstNon : gstRecordBookmarks);
    fSelection->Grid()->InvalidateGrid();
}

int TDBGridEhSelectionRect::Order(const QByteArray& a, const QByteArray& b) const
{
    // A corner whose record is gone sorts last: the rectangle then runs from the other corner
    // to the end.
    const TDataSet* dataSet = OpenDataSet(fSelection);
    const bool validA = dataSet->BookmarkValid(a);
    const bool validB = dataSet->BookmarkValid(b);
    if (validA != validB)
        return validA ? -1 : 1;
    return dataSet->BookmarkOrder(a, b);
}

void TDBGridEhSelectionRect::Select(int dataCol, const QByteArray& bookmark, bool extend)
{
    fSelection->ClearOtherThan(gstRectangle);
    if (fAnchor.Col < 0 || !extend)
        fAnchor = TDBCell{dataCol, bookmark};
    fShiftCell = TDBCell{dataCol, bookmark};
    const bool sameCell = fAnchor.Col == fShiftCell.Col && Order(fAnchor.Row, fShiftCell.Row) == 0;
    fSelection->SetSelectionType(sameCell ? gstNon : gstRectangle);
    fSelection->Grid()->InvalidateGrid();
}

QByteArray TDBGridEhSelectionRect::TopRow() const
{
    return Order(fAnchor.Row, fShiftCell.Row) <= 0 ? fAnchor.Row : fShiftCell.Row;
}

QByteArray TDBGridEhSelectionRect::GetBottomRow() const
{
    return Order(fAnchor.Row, fShiftCell.Row) < 0 ? fShiftCell.Row : fAnchor.Row;
}

int TDBGridEhSelectionRect::LeftCol() const
{
    return std::min(fAnchor.Col, fShiftCell.Col);
}

int TDBGridEhSelectionRect::RightCol() const
{
    return std::max(fAnchor.Col, fShiftCell.Col);
}

void TDBGridEhSelectionRect::Clear()
{
    fAnchor = TDBCell();
    fShiftCell = TDBCell();
}

void TDBGridEhSelectionCols::Select(TColumnEh* column, bool keepSelected)
{
    fSelection->ClearOtherThan(gstColumns);
    if (!keepSelected)
        TColumnsEhList::Clear();
    if (IndexOf(column) < 0) {
        // Collection order: before the first listed column that comes after it.
        int at = Count();
        for (int i = 0; i < Count(); ++i)
            if (Items(i)->Index() > column->Index()) {
                at = i;
                break;
            }
        Insert(at, column);
    }
    fSelection->SetSelectionType(gstColumns);
    fSelection->Grid()->InvalidateGrid();
}

TDBGridEhSelection::TDBGridEhSelection(TCustomDBGridEh* grid)
    : fGrid(grid), fRows(this), fRect(this), fColumns(this)
{
}

void TDBGridEhSelection::ClearOtherThan(TDBGridEhSelectionType kind)
{
    if (fSelectionType != gstNon && fSelectionType != kind)
        Clear();
}

void TDBGridEhSelection::Clear()
{
    fRows.Clear();
    fRect.Clear();
    fColumns.TColumnsEhList::Clear();
    if (fSelectionType == gstNon)
        return;
    fSelectionType = gstNon;
    fGrid->InvalidateGrid();
    if (fGrid->OnSelectionChanged)
        fGrid->OnSelectionChanged(fGrid);
}

void TDBGridEhSelection::LinkActive(bool /*active*/)
{
    Clear();
}
