#pragma once
// The data grid's multi-cell selection: a set of records, a rectangle of cells, a set of columns, or
// everything. Painting shows it; exporters and the clipboard commands take it when they are not
// told to take the whole grid. The user makes selections only with the grid's multi-select option;
// the model itself works without it.

#include "TColumnEh.h"
#include "TGridTypesEh.h"

#include <QByteArray>

#include <vector>

class TCustomDBGridEh;
class TDataSet;

enum TDBGridEhSelectionType
{
    gstNon,
    gstRecordBookmarks,
    gstRectangle,
    gstColumns,
    gstAll
};

class TDBGridEhSelection;

// The selected records: bookmarks kept sorted in the record set's order, without duplicates. A
// one-entry cache answers repeated searches for the same bookmark until the list changes.
class TBookmarkListEh
{
public:
    explicit TBookmarkListEh(TDBGridEhSelection* selection);

    int Count() const { return int(fList.size()); }
    const QByteArray& Items(int index) const { return fList.at(std::size_t(index)); }
    const QByteArray& operator[](int index) const { return Items(index); }
    // Index of a bookmark, -1 when it is not listed.
    int IndexOf(const QByteArray& bookmark) const;
    // Binary search: whether the bookmark is listed, and its index or the index it would be
    // inserted at.
    bool Find(const QByteArray& bookmark, int& index) const;
    // The record set's current record (or the one the grid reads for a moment).
    bool CurrentRowSelected() const;
    void SetCurrentRowSelected(bool value);
    void Clear();
    // Deletes every listed record from the record set, the last first, and empties the list.
    void DeleteRecords();
    // The record set opened or closed: the list follows the open state and is emptied.
    void LinkActive(bool active);
    bool LinkActiveFlag() const { return fLinkActive; }
    // Bookmarks the search compared, for observing the cache.
    int Comparisons() const { return fComparisons; }

private:
    TDataSet* DataSet() const;
    TDataSet* ActiveDataSet() const;
    void ListChanged() { fCacheValid = false; }

    TDBGridEhSelection* fSelection;
    std::vector<QByteArray> fList;
    bool fLinkActive = false;
    mutable QByteArray fCacheBookmark;
    mutable int fCacheIndex = 0;
    mutable bool fCacheFound = false;
    mutable bool fCacheValid = false;
    mutable int fComparisons = 0;
};
using TBMListEh = TBookmarkListEh;

// One cell of a rectangle: a data column and a record; column -1 and no bookmark when unset.
struct TDBCell
{
    int Col = -1;
    QByteArray Row;
    bool IsSet() const { return Col >= 0; }
};

// A rectangle of cells between an anchor cell and a shift cell.
class TDBGridEhSelectionRect
{
public:
    explicit TDBGridEhSelectionRect(TDBGridEhSelection* selection) : fSelection(selection) {}

    const TDBCell& Anchor() const { return fAnchor; }
    const TDBCell& ShiftCell() const { return fShift; }
    // Sets the anchor (unless extending an existing one) and the shift cell; a single cell makes
    // no rectangle.
    void Select(int dataCol, const QByteArray& bookmark, bool extend);
    // Bounds, in bookmark order and column order. Each fails without an open record set.
    QByteArray TopRow() const;
    QByteArray GetBottomRow() const;
    QByteArray BottomRow() const { return GetBottomRow(); }
    int LeftCol() const;
    int RightCol() const;
    bool CellSelected(int dataCol, const QByteArray& bookmark) const;
    void Clear();
    // The rectangle's extent in the cells of the grid's window.
    TGridRectEh GridRect() const;

private:
    void CheckOpen(const char* what) const;
    bool Empty() const { return !fAnchor.IsSet(); }
    TGridRectEh ExtentOf(const TDBCell& a, const TDBCell& b) const;

    TDBGridEhSelection* fSelection;
    TDBCell fAnchor;
    TDBCell fShift;
};

// The selected columns, kept in collection order.
class TDBGridEhSelectionCols : public TColumnsEhList
{
public:
    explicit TDBGridEhSelectionCols(TDBGridEhSelection* selection) : fSelection(selection) {}

    TColumnEh* AnchorColumn() const { return fAnchor; }
    TColumnEh* ShiftColumn() const { return fShift; }
    const TColumnsEhList& ShiftSelectedColumns() const { return fShiftSelected; }
    // Selects a column, alone unless keep is set.
    void Select(TColumnEh* column, bool keepOthers);
    // Adds the column or removes it.
    void InvertSelect(TColumnEh* column);
    // The columns from the anchor to this one become selected, replacing those of the previous
    // extension.
    void SelectShift(TColumnEh* column);
    // Drops columns that left the grid and restores collection order.
    void Refresh();
    void Clear();
    TGridRectEh GridRect() const;

private:
    void AddInOrder(TColumnEh* column);
    void InvalidateColumns() const;

    TDBGridEhSelection* fSelection;
    TColumnEh* fAnchor = nullptr;
    TColumnEh* fShift = nullptr;
    TColumnsEhList fShiftSelected;
};

class TDBGridEhSelection
{
public:
    explicit TDBGridEhSelection(TCustomDBGridEh* grid);
    virtual ~TDBGridEhSelection() = default;
    TDBGridEhSelection(const TDBGridEhSelection&) = delete;
    TDBGridEhSelection& operator=(const TDBGridEhSelection&) = delete;

    TCustomDBGridEh* Grid() const { return fGrid; }
    TDBGridEhSelectionType SelectionType() const { return fSelectionType; }
    // Stores the kind (and refreshes the in-place editor, which this grid does not have).
    void SetSelectionType(TDBGridEhSelectionType value);
    TBookmarkListEh& Rows() { return fRows; }
    const TBookmarkListEh& Rows() const { return fRows; }
    TDBGridEhSelectionRect& Rect() { return fRect; }
    const TDBGridEhSelectionRect& Rect() const { return fRect; }
    TDBGridEhSelectionCols& Columns() { return fColumns; }
    const TDBGridEhSelectionCols& Columns() const { return fColumns; }

    // Whether a cell (data column, record) is in the selection.
    bool CellSelected(int dataCol, const QByteArray& bookmark) const;
    // The same for the record the grid reads now; asks for its bookmark only when the kind needs it.
    bool DataCellSelected(int dataCol) const;
    // Whether the record the grid reads now is selected as a whole (record list or everything).
    bool CurrentRecordSelected() const;
    virtual void Clear();
    // Clears a selection of another kind before one of this kind is made.
    void ClearOtherThan(TDBGridEhSelectionType kind);
    void SelectAll();
    // A record or column selection whose list became empty falls back to none.
    void UpdateState();
    // The selection's extent in grid cells, all -1 when nothing of it is in the window.
    TGridRectEh GridRect() const;
    // The record set opened or closed.
    virtual void LinkActive(bool active);
    // After a layout pass (columns may have gone).
    virtual void Refresh();
    // Fires the grid's OnSelectionChanged.
    void Changed();

private:
    TCustomDBGridEh* fGrid;
    TDBGridEhSelectionType fSelectionType = gstNon;
    TBookmarkListEh fRows;
    TDBGridEhSelectionRect fRect;
    TDBGridEhSelectionCols fColumns;
};
