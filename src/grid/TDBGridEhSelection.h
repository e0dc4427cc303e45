#pragma once
// The data grid's multi-cell selection: its kind (records, a rectangle, columns, everything or
// nothing) and the holder of each kind. The grid of this program never makes a selection (no
// multi-select option), so every export there takes the whole grid; exporters and the clipboard
// read the holders when they export a selection.

#include "TColumnEh.h"

#include <QByteArray>

#include <vector>

class TCustomDBGridEh;
class TDBGridEhSelection;

enum TDBGridEhSelectionType { gstNon, gstRecordBookmarks, gstRectangle, gstColumns, gstAll };

// Selected records: bookmarks kept in the record set's bookmark order, without duplicates.
class TBookmarkListEh
{
public:
    explicit TBookmarkListEh(TDBGridEhSelection* selection) : fSelection(selection) {}

    int Count() const { return int(fItems.size()); }
    const QByteArray& Items(int index) const { return fItems.at(std::size_t(index)); }
    // Position of a bookmark, -1 when it is not listed.
    int IndexOf(const QByteArray& bookmark) const;
    // Whether the current record is listed; setting lists or unlists it and switches the
    // selection to records (or to none when the list becomes empty).
    bool CurrentRowSelected() const;
    void SetCurrentRowSelected(bool value);
    void Clear() { fItems.clear(); }

private:
    // Binary search in bookmark order: the index of an equal entry, or where it would go.
    int Find(const QByteArray& bookmark, bool& found) const;

    TDBGridEhSelection* fSelection;
    std::vector<QByteArray> fItems;
};

// A cell of the rectangle: data column index and record bookmark.
struct TDBCell
{
    int Col = -1;
    QByteArray Row;
};

// A rectangle of cells between an anchor cell and a shift cell.
class TDBGridEhSelectionRect
{
public:
    explicit TDBGridEhSelectionRect(TDBGridEhSelection* selection) : fSelection(selection) {}

    // Anchors the rectangle at a cell (unless extending) and stretches it to the cell. Anchor and
    // shift cell being the same cell is no rectangle.
    void Select(int dataCol, const QByteArray& bookmark, bool extend);
    QByteArray TopRow() const;
    QByteArray GetBottomRow() const;
    int LeftCol() const;
    int RightCol() const;
    void Clear();

private:
    int Order(const QByteArray& a, const QByteArray& b) const;

    TDBGridEhSelection* fSelection;
    TDBCell fAnchor;
    TDBCell fShiftCell;
};

// Selected columns, kept in collection order.
class TDBGridEhSelectionCols : public TColumnsEhList
{
public:
    explicit TDBGridEhSelectionCols(TDBGridEhSelection* selection) : fSelection(selection) {}

    // Selects a column, keeping the others selected when asked.
    void Select(TColumnEh* column, bool keepSelected);

private:
    TDBGridEhSelection* fSelection;
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
    void SetSelectionType(TDBGridEhSelectionType value) { fSelectionType = value; }
    TBookmarkListEh& Rows() { return fRows; }
    const TBookmarkListEh& Rows() const { return fRows; }
    TDBGridEhSelectionRect& Rect() { return fRect; }
    const TDBGridEhSelectionRect& Rect() const { return fRect; }
    TDBGridEhSelectionCols& Columns() { return fColumns; }
    const TDBGridEhSelectionCols& Columns() const { return fColumns; }
    // Ends the selection of any kind.
    virtual void Clear();
    // Clears a selection of another kind before one of this kind is made.
    void ClearOtherThan(TDBGridEhSelectionType kind);
    // The record set opened or closed: any selection ends.
    virtual void LinkActive(bool active);
    // After a layout pass (columns may have gone).
    virtual void Refresh() {}

private:
    TCustomDBGridEh* fGrid;
    TDBGridEhSelectionType fSelectionType = gstNon;
    TBookmarkListEh fRows;
    TDBGridEhSelectionRect fRect;
    TDBGridEhSelectionCols fColumns;
};
