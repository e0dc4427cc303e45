#pragma once
// The data grid's multi-cell selection: its kind (records, a rectangle, columns, everything or
// nothing). Only the kind and clearing live here so far; the grid of this program never makes a
// selection (no multi-select option), so every export takes the whole grid.

class TCustomDBGridEh;

enum TDBGridEhSelectionType { gstNon, gstRecordBookmarks, gstRectangle, gstColumns, gstAll };

class TDBGridEhSelection
{
public:
    explicit TDBGridEhSelection(TCustomDBGridEh* grid) : fGrid(grid) {}
    virtual ~TDBGridEhSelection() = default;
    TDBGridEhSelection(const TDBGridEhSelection&) = delete;
    TDBGridEhSelection& operator=(const TDBGridEhSelection&) = delete;

    TCustomDBGridEh* Grid() const { return fGrid; }
    TDBGridEhSelectionType SelectionType() const { return fSelectionType; }
    void SetSelectionType(TDBGridEhSelectionType value) { fSelectionType = value; }
    virtual void Clear();
    // The record set opened or closed: any selection ends.
    virtual void LinkActive(bool active);
    // After a layout pass (columns may have gone).
    virtual void Refresh() {}

private:
    TCustomDBGridEh* fGrid;
    TDBGridEhSelectionType fSelectionType = gstNon;
};
