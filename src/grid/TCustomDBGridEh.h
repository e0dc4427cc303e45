#pragma once
// The data grid: shows a sliding window of consecutive records of an open record set through its
// column collection, with a title row and an indicator column. It never holds records itself; the
// record set keeps the window (a buffer of records around its cursor) and the grid sets the
// window's size to the number of data rows that fit, shows buffer record i in data row i, and
// turns the record set's notifications into repaints, row-count changes and scroll-bar updates.

#include "TCanvasEh.h"
#include "TColumnDefValuesEh.h"
#include "TColumnEh.h"
#include "TColumnsOwnerEh.h"
#include "TCustomGridEh.h"
#include "TDBGridEhScrollBar.h"
#include "TDBGridEhSelection.h"
#include "TDBGridEhStyle.h"
#include "TDataServiceEh.h"
#include "TFontEh.h"
#include "TFontMetricsEh.h"
#include "TGridDataLinkEh.h"
#include "TGridResourcesEh.h"
#include "TImageListEh.h"

#include <QByteArray>
#include <QEvent>
#include <QPoint>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

enum TDBGridOption
{
    dgEditing,
    dgAlwaysShowEditor,
    dgTitles,
    dgIndicator,
    dgColumnResize,
    dgColLines,
    dgRowLines,
    dgTabs,
    dgRowSelect,
    dgAlwaysShowSelection,
    dgConfirmDelete,
    dgCancelOnExit,
    dgMultiSelect
};
using TDBGridOptions = TEnumSetEh<TDBGridOption, 13>;

enum TDBGridEhOption
{
    dghFixed3D,
    dghFrozen3D,
    dghFooter3D,
    dghData3D,
    dghResizeWholeRightPart,
    dghHighlightFocus,
    dghClearSelection,
    dghFitRowHeightToText,
    dghAutoSortMarking,
    dghMultiSortMarking,
    dghEnterAsTab,
    dghTraceColSizing,
    dghIncSearch,
    dghPreferIncSearch,
    dghRowHighlight,
    dghDblClickOptimizeColWidth,
    dghDialogFind,
    dghRecordMoving
};
using TDBGridEhOptions = TEnumSetEh<TDBGridEhOption, 18>;

enum TDBGridEhAllowedOperation
{
    alopInsertEh,
    alopUpdateEh,
    alopDeleteEh,
    alopAppendEh
};
using TDBGridEhAllowedOperations = TEnumSetEh<TDBGridEhAllowedOperation, 4>;

// The kinds a user may select; they are named as the selection kinds themselves.
using TDBGridEhAllowedSelections = TEnumSetEh<TDBGridEhSelectionType, 5>;

enum TDBGridEhEditAction
{
    geaCutEh,
    geaCopyEh,
    geaPasteEh,
    geaDeleteEh,
    geaSelectAllEh
};
using TDBGridEhEditActions = TEnumSetEh<TDBGridEhEditAction, 5>;

class TCustomDBGridEh;
enum TGridKeyCommandEh : int;

// Handler types of the grid.
using TNotifyEventEh = std::function<void(TCustomDBGridEh* sender)>;
using TDBGridEhColumnEvent = std::function<void(TColumnEh* column)>;
using TMovedEventEh = std::function<void(TCustomDBGridEh* sender, int fromIndex, int toIndex)>;
using TGetCellEhParamsEvent = std::function<void(TCustomDBGridEh* sender, TColumnEh* column, TFontEh& font,
                                                 TColor& background, TGridDrawState state)>;
using TGetFooterParamsEvent =
    std::function<void(TCustomDBGridEh* sender, int dataCol, int row, TColumnEh* column, TFontEh& font,
                       TColor& background, TAlignment& alignment, TGridDrawState state, QString& text)>;
using TDrawColumnEhCellEvent = std::function<void(TCustomDBGridEh* sender, QPainter& painter, const QRect& rect,
                                                  int dataCol, TColumnEh* column, TGridDrawState state)>;
using TDrawDataCellEvent = std::function<void(TCustomDBGridEh* sender, QPainter& painter, const QRect& rect,
                                              TField* field, TGridDrawState state)>;
using TDrawFooterCellEvent = std::function<void(TCustomDBGridEh* sender, QPainter& painter, int dataCol, int row,
                                                TColumnEh* column, const QRect& rect, TGridDrawState state)>;
using TTitleEhClickEvent = std::function<void(TCustomDBGridEh* sender, int dataCol, TColumnEh* column)>;
// Key and mouse events: a key handler may set key to 0 to keep the grid from handling it.
using TKeyEventEh = std::function<void(TCustomDBGridEh* sender, int& key, Qt::KeyboardModifiers shift)>;
using TKeyPressEventEh = std::function<void(TCustomDBGridEh* sender, QChar& key)>;
using TMouseEventEh =
    std::function<void(TCustomDBGridEh* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
using TMouseMoveEventEh = std::function<void(TCustomDBGridEh* sender, Qt::KeyboardModifiers shift, int x, int y)>;
using TCheckTitleEhBtnEvent =
    std::function<void(TCustomDBGridEh* sender, int dataCol, TColumnEh* column, bool& enabled)>;

// Colours of the grid's lines, one slot per kind of line; a slot holds clDefault until assigned,
// and an unassigned slot follows the grid's look (silver data lines, gray on a silver grid; black
// fixed lines, gray when flat). The data and fixed slots colour this grid's lines; the others
// belong to parts of the grid family it does not show (footers, frozen and contra columns, the
// filter row).
enum TGridLineColorSlotEh
{
    glcDataVertEh,
    glcDataHorzEh,
    glcFixedVertEh,
    glcFixedHorzEh,
    glcTitleVertEh,
    glcTitleHorzEh,
    glcIndicatorVertEh,
    glcIndicatorHorzEh,
    glcFooterVertEh,
    glcFooterHorzEh,
    glcFrozenVertEh,
    glcFrozenHorzEh,
    glcContraVertEh,
    glcContraHorzEh,
    glcFilterVertEh,
    glcFilterHorzEh,
    glcDarkEh,
    glcBrightEh
};
class TGridLineColorsEh
{
public:
    static constexpr int SlotCount = 18;
    TGridLineColorsEh() { fSlots.fill(clDefault); }
    TColor Slot(TGridLineColorSlotEh slot) const { return fSlots[std::size_t(slot)]; }
    void SetSlot(TGridLineColorSlotEh slot, TColor value) { fSlots[std::size_t(slot)] = value; }
    bool Assigned(TGridLineColorSlotEh slot) const { return Slot(slot) != clDefault; }

private:
    std::array<TColor, SlotCount> fSlots;
};

// Where the grid's cursor stood in its window, to come back to after walking the record set.
struct TCursorPositionEh
{
    QByteArray Bookmark; // the window's middle record
    int Offset = 0;      // the current record's distance from it
    bool Valid = false;
};

class TCustomDBGridEh : public TCustomGridEh, public TColumnsOwnerEh
{
    Q_OBJECT

public:
    explicit TCustomDBGridEh(QWidget* parent = nullptr);
    ~TCustomDBGridEh() override;

    // Data.
    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* value);
    TGridDataLinkEh* DataLink() const { return fDataLink.get(); }
    TDataSet* DataSet() const override { return fDataLink->DataSet(); }

    // Columns.
    TDBGridColumnsEh& Columns() { return *fColumns; }
    const TDBGridColumnsEh& Columns() const { return *fColumns; }
    const TColumnsEhList& VisibleColumnList() const { return fVisibleColumns; }
    TColumnsEhList& SortMarkedList() override { return fSortMarkedColumns; }
    bool MultiSortMarking() const override { return fOptionsEh.Contains(dghMultiSortMarking); }
    TDBGridEhColumnDefValuesEh& ColumnDefValues() { return *fColumnDefValues; }
    const TDBGridEhColumnDefValuesEh& ColumnDefValues() const override { return *fColumnDefValues; }
    TDBGridEhSelection& Selection() { return *fSelection; }
    const TDBGridEhSelection& Selection() const { return *fSelection; }
    void SetSelection(std::unique_ptr<TDBGridEhSelection> selection);

    // Options.
    TDBGridOptions Options() const { return fOptions; }
    void SetOptions(TDBGridOptions value);
    TDBGridEhOptions OptionsEh() const { return fOptionsEh; }
    void SetOptionsEh(TDBGridEhOptions value);
    TDBGridEhAllowedOperations AllowedOperations() const { return fAllowedOperations; }
    void SetAllowedOperations(TDBGridEhAllowedOperations value) { fAllowedOperations = value; }
    TDBGridEhAllowedSelections AllowedSelections() const { return fAllowedSelections; }
    void SetAllowedSelections(TDBGridEhAllowedSelections value);
    TDBGridEhEditActions EditActions() const { return fEditActions; }
    void SetEditActions(TDBGridEhEditActions value) { fEditActions = value; }
    // Copy, cut, paste and deleting a selection live with the clipboard code, above the grid: it
    // installs what the edit-action keys run (never with the whole-grid flag).
    using TEditActionHandlerEh = std::function<void(TCustomDBGridEh* grid, TDBGridEhEditAction action)>;
    static void SetEditActionHandler(TEditActionHandlerEh handler);
    // Whether the selection may be deleted: an open, non-empty, modifiable record set, a grid that
    // is not read-only, and deleting (records, whole grid) or updating (rectangle, columns) allowed.
    bool SelectionCanBeDeleted() const;

    // Layout settings.
    bool AutoFitColWidths() const override { return fAutoFitColWidths; }
    void SetAutoFitColWidths(bool value);
    int MinAutoFitWidth() const { return fMinAutoFitWidth; }
    void SetMinAutoFitWidth(int value);
    int FrozenCols() const { return fFrozenCols; }
    void SetFrozenCols(int value);
    int ContraColCount() const { return fContraColCount; }
    void SetContraColCount(int value) { fContraColCount = value; }
    int RowHeight() const { return fRowHeight; }
    void SetRowHeight(int value);
    int RowLines() const { return fRowLines; }
    void SetRowLines(int value);
    int TitleHeight() const { return fTitleHeight; }
    void SetTitleHeight(int value);
    int TitleLines() const { return fTitleLines; }
    void SetTitleLines(int value);
    bool RowSizingAllowed() const { return fRowSizingAllowed; }
    void SetRowSizingAllowed(bool value);
    bool UseMultiTitle() const override { return fUseMultiTitle; }
    void SetUseMultiTitle(bool value);
    int VTitleMargin() const { return fVTitleMargin; }
    void SetVTitleMargin(int value) { fVTitleMargin = value; }
    bool Flat() const { return fFlat; }
    void SetFlat(bool value);
    // Three-dimensional look of the control (the exporters' table borders follow it).
    bool Ctl3D() const { return fCtl3D; }
    void SetCtl3D(bool value) { fCtl3D = value; }
    int IndicatorWidth() const { return fIndicatorWidth; }
    int TitleTextPadding() const { return 4; }

    // Look.
    TColor Color() const override { return fColor; }
    void SetColor(TColor value);
    TColor FixedColor() const override { return fFixedColor; }
    void SetFixedColor(TColor value);
    TColor EvenRowColor() const { return fEvenRowColorSet ? fEvenRowColor : fColor; }
    void SetEvenRowColor(TColor value);
    TColor OddRowColor() const { return fOddRowColorSet ? fOddRowColor : fColor; }
    void SetOddRowColor(TColor value);
    const TFontEh& Font() const override { return fFont; }
    void SetFont(const TFontEh& value);
    const TFontEh& TitleFont() const override { return fTitleFont; }
    void SetTitleFont(const TFontEh& value);
    const TFontEh& FooterFont() const override { return fFooterFont; }
    void SetFooterFont(const TFontEh& value);
    TColor FooterColor() const override { return fFooterColor; }
    void SetFooterColor(TColor value);
    int FooterRowCount() const { return fFooterRowCount; }
    void SetFooterRowCount(int value);
    bool DefaultDrawing() const { return fDefaultDrawing; }
    void SetDefaultDrawing(bool value) { fDefaultDrawing = value; }
    bool DrawMemoText() const override { return fDrawMemoText; }
    void SetDrawMemoText(bool value);
    bool ReadOnly() const override { return fReadOnly; }
    void SetReadOnly(bool value);
    bool SortLocal() const { return fSortLocal; }
    void SetSortLocal(bool value) { fSortLocal = value; }
    TImageListEh* TitleImages() const { return fTitleImages; }
    void SetTitleImages(TImageListEh* value);
    TImeModeEh ImeMode() const override { return fImeMode; }
    void SetImeMode(TImeModeEh value) { fImeMode = value; }
    const QString& ImeName() const override { return fImeName; }
    void SetImeName(const QString& value) { fImeName = value; }
    TVertDBGridEhScrollBar& VertScrollBar() { return *fVertScrollBar; }
    TGridLineColorsEh& GridLineColors() { return fGridLineColors; }
    const TGridLineColorsEh& GridLineColors() const { return fGridLineColors; }
    // Colours of the vertical or horizontal lines in the data area and in the fixed cells, as
    // painted.
    TColor DataAreaLineColor(bool vertical) const;
    TColor FixedAreaLineColor(bool vertical) const;
    // The shared look (highlight colours, focus frame) this grid paints with.
    TDBGridEhStyle& Style() const { return *fStyle; }
    void SetStyle(TDBGridEhStyle* style) { fStyle = style ? style : &DBGridEhStyle(); }
    // Fixed cells are painted with the desktop's header look rather than raised edges.
    bool UseThemedFixedCells() const;
    TDBGridEhScrollBar& HorzScrollBar() { return *fHorzScrollBar; }

    // Row window.
    int TitleRowCount() const { return fTitleRowCount; }
    int IndicatorOffset() const { return fIndicatorOffset; }
    int LastIndicatorRow() const { return fLastIndicatorRow; }
    int UpdateLockCount() const { return fUpdateLock; }
    int LayoutLockCount() const { return fLayoutLock; }
    // Data rows completely visible: last completely visible row - top row + 1.
    int VisibleDataRowCount() const;
    bool IsCurrentDataRow(int dataRow) const;
    // Makes buffer record dataRow the active record for a moment (pair with EndReadRow).
    void BeginReadRow(int dataRow);
    void EndReadRow();
    // Remember and come back to the current record and its place in the window after walking the
    // record set (exports, text search).
    void SaveCursorPosition();
    void RestoreCursorPosition();
    const TCursorPositionEh& SavedCursorPosition() const { return fSavedPosition; }

    // Layout.
    void BeginUpdate();
    void EndUpdate();
    void BeginLayout();
    void EndLayout();
    // Lays the grid out now unless an update or layout lock is held.
    void RequestLayout() override;
    // Posts one deferred layout request to the grid itself.
    void PostDeferredLayout();
    bool DeferredLayoutPending() const { return fLayoutState.Contains(lsDeferredLayoutPosted); }
    void RecountRows();
    void RefreshVertScrollBar();
    void SyncCurrentRow();
    bool InLayout() const override { return fLayoutState.Contains(lsInLayout); }
    // A stored layout being read: nothing is reported until EndLoading.
    void BeginLoading();
    void EndLoading();
    bool IsLoading() const override { return fLayoutState.Contains(lsLoading); }

    // Column indexes: grid column of data column i and back (-1 for the indicator column).
    int DataToRawColumn(int dataCol) const { return dataCol + fIndicatorOffset; }
    int RawToDataColumn(int rawCol) const { return rawCol - fIndicatorOffset; }
    // Column shown in a grid column, none for the indicator.
    TColumnEh* ColumnAt(int rawCol) const;
    // Index of the selected data column (current grid column less the indicator).
    int SelectedIndex() const { return RawToDataColumn(Col()); }
    // Where a cell lies (indicator or data column; title, filter, data or footer row).
    TCellTypeEh GetCellType(int col, int row) const;
    // Whether a cell is painted with a raised 1-pixel frame.
    bool CellHasRaisedFrame(int col, int row, const TCellTypeEh& cellType) const;
    // The keyboard focus is on the grid (or its in-place editor, which this grid does not have).
    virtual bool HasInputFocus() const { return Focused(); }
    // Whether the user may make a selection of this kind.
    bool SelectionKindAllowed(TDBGridEhSelectionType kind) const;
    // The parameters of the cell painted last.
    const TColCellParamsEh& CellParams() const { return fCellParams; }

    // Title buttons and sort markers. The data column whose title is held down as a button (-1
    // for none), and whether it is drawn pressed now.
    int TitlePressColumn() const { return fTitlePressCol; }
    bool TitlePressed() const { return fTitlePressed; }
    // Steps a column's sort marker on: none, down, up, then none again when the others stay
    // (keepOthers), else down again; unless the others stay, every other marker goes first.
    void CycleSortMarker(TColumnEh* column, bool keepOthers);
    // Tells that the sort markers changed: OnSortMarkingChanged, else the data service sorts.
    void SortMarkingChanged();
    // Room a title reserves on its right for the sort marker (and the ordinal), as a column fitted
    // to its content needs it.
    int SortMarkerAreaWidth(const TColumnEh* column) const;
    // The font the ordinals of sort-marked columns are written in.
    static const TFontEh& SortOrdinalFont();

    // Makes grid column target current, skipping hidden columns in direction skip (-1, 0 or +1),
    // with OnColExit before and OnColEnter after the change.
    void SelectColumn(int target, int skip);

    // Text search: the find dialog, and one search step of it; both go through the data service.
    void OpenFindDialog(const QString& text, const QString& fieldName, bool modal);
    bool SearchGridText(const QString& fieldName, TTextSearchTreeRangeEh treeRange, TTextSearchMatchEh matching,
                        TTextSearchDirectionEh direction, TTextSearchOptionsEh options, const QString& text);

    // Keyboard navigation (the record set's cursor moves; the grid's current column changes).
    // Moves the cursor by distance records, or to the first (distance < 0) or last record with
    // toEnd, then paints at once unless an update lock is held.
    void MoveRows(bool extend, int distance, bool rowMode, bool toEnd);
    void StepDown(bool extend = false);
    void StepUp(bool extend = false);
    // Tab (forward) and Shift+Tab: to the next tab stop, wrapping to the next or previous record.
    void TabToColumn(bool forward);
    void ClearSelectionIfAllowed();
    // The data cells' area in client coordinates: from the first data column to the last column
    // shown and from the first data row to the last row.
    QRect DataAreaRect() const;
    // While a press in the data area is held: whether it is tracked, and the drag timer.
    bool TrackingMouse() const { return fTrackingMouse; }
    bool DragTimerActive() const { return fDragTimer.isActive(); }
    int DragTimerInterval() const { return fDragTimer.interval(); }
    // Rows one auto-scroll step moves and the drag timer's interval, for a pointer d pixels
    // outside the data area.
    static int DragScrollRows(int d) { return std::min(d / 6, 8); }
    static int DragScrollInterval(int d) { return std::max(0, 200 - 15 * d); }
    // Asks whether to delete (with dgConfirmDelete); true to go ahead.
    bool ConfirmDeletion();

    // Input events of the control, in the order they fire.
    TKeyEventEh OnKeyDown;
    TKeyPressEventEh OnKeyPress;
    TKeyEventEh OnKeyUp;
    TMouseEventEh OnMouseDown;
    TMouseMoveEventEh OnMouseMove;
    TMouseEventEh OnMouseUp;
    TNotifyEventEh OnDblClick;
    TNotifyEventEh OnEnter;
    TNotifyEventEh OnExit;

    // Cell parameters.
    void FireGridCellParams(TColumnEh* column, TFontEh& font, TColor& background, TGridDrawState state);
    // FillCellParams, row and column where known, the grid's then the column's handler.
    void ResolveCellParams(TColumnEh* column, TColCellParamsEh& params, int col = -1, int row = -1);
    // Text the grid shows in a footer cell of its own (static text and field values).
    QString FooterCellText(int footerRow, TColumnEh* column) const;

    // Measures as the grid's canvas reports them.
    TTextMetricEh CanvasTextMetrics(const TFontEh& font) const override;

    // Actions of the vertical scroll bar; each moves the record set's cursor.
    enum TVertScrollActionEh
    {
        saLineUp,
        saLineDown,
        saPageUp,
        saPageDown,
        saThumbTrack,
        saThumbRelease,
        saTop,
        saBottom
    };
    void VertScroll(TVertScrollActionEh action, int trackPos = 0);
    // The same from a scroll bar control: its actions (QAbstractSlider actions), the thumb dragged
    // to a position, and the thumb's release.
    void VertScrollBarAction(int action);
    void VertThumbMoved(int trackPos);
    void VertThumbReleased(int trackPos);
    // What the grid's own vertical bar was last given, and what an external bar gets.
    const TScrollInfoEh& VertScrollInfo() const { return fVertInfo; }
    const TScrollInfoEh& ExtVertScrollInfo() const { return fVertExtInfo; }
    // Fits a column to its title and the records in the window.
    void OptimizeColWidth(TColumnEh* column) override;

    // Reactions to column changes (from the collection).
    void ColumnsChanged(TColumnEh* item) override;
    void ColumnDeleting(TColumnEh* column) override;
    // The cell grid's own, named again for the columns.
    void InvalidateGrid() override { TCustomGridEh::InvalidateGrid(); }
    int DefaultColWidth() const override { return TCustomGridEh::DefaultColWidth(); }
    bool HandleAllocated() const override { return TCustomGridEh::HandleAllocated(); }
    void InvalidateColumn(TColumnEh* column);

    // Events.
    TNotifyEventEh OnApplyFilter; // published, never fired yet
    TDBGridEhColumnEvent OnCellClick;
    TCheckTitleEhBtnEvent OnCheckButton;
    TNotifyEventEh OnColEnter;
    TNotifyEventEh OnColExit;
    TMovedEventEh OnColumnMoved;
    TNotifyEventEh OnColWidthsChanged;
    TDrawColumnEhCellEvent OnDrawColumnCell;
    TDrawDataCellEvent OnDrawDataCell;
    TDrawFooterCellEvent OnDrawFooterCell; // published, never fired yet
    TGetCellEhParamsEvent OnGetCellParams;
    TGetFooterParamsEvent OnGetFooterParams;
    TNotifyEventEh OnSelectionChanged;
    TNotifyEventEh OnSortMarkingChanged;
    TNotifyEventEh OnSumListAfterRecalcAll; // published, never fired yet
    TNotifyEventEh OnSumListRecalcAll;      // published, never fired yet
    TTitleEhClickEvent OnTitleBtnClick;
    TDBGridEhColumnEvent OnTitleClick;

    // Indicator glyphs, made once for the program: 0 arrow, 1 edit, 2 insert, 3 dot, 4 arrow
    // with dot, 5 white arrow, 6 white arrow in the incremental-search colour.
    static const TImageListEh& IndicatorImages() { return IndicatorImagesEh(); }

    // Link notifications.
    virtual void LinkActiveChanged(bool active);
    virtual void LinkDataChanged();
    virtual void LinkScrolled(int distance);
    virtual void LinkLayoutChanged();
    virtual void LinkRecordChanged(TField* field);
    virtual void LinkEditingChanged();
    virtual void LinkFocusField(TField* field, bool& handled);
    virtual void LinkUpdateData();
    virtual void LinkReset();
    virtual void LinkDisabledStateChanged(bool disabled);

protected:
    // The layout pass and its steps.
    virtual void RebuildLayout();
    void DefineFieldMap();
    void RebuildDefaultColumns();
    void ApplyColumnWidths();
    void AutoFit();
    void ApplyUserColWidths();
    void ApplyColumnMove(int fromIndex, int toIndex);

    // Cell grid reactions.
    void ColWidthsChanged() override;
    void ColumnMoved(int fromIndex, int toIndex) override;
    void WindowCreated() override;
    void GridResized() override;
    bool BeginColumnDrag(int& origin, int& destination, const QPoint& pos) override;
    bool CheckColumnDrag(int& origin, int& destination, const QPoint& pos) override;
    void UpdateVertScrollRange() override;
    void VertScrollAction(int action) override;
    void VertSliderMoved(int position) override;
    void VertSliderReleased() override;

    // Painting: every visible cell through DrawGridCell.
    void DrawCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state) override;
    virtual void DrawGridCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state);
    TColor GridBackgroundColor() const override { return fColor; }
    TColor FixedLineColor(bool vertical) const override { return FixedAreaLineColor(vertical); }
    TColor DataLineColor(bool vertical) const override { return DataAreaLineColor(vertical); }
    // Glyph of the indicator cell of a data row, -1 for none.
    int IndicatorGlyph(int dataRow);
    // Whether a data row's record is selected as a whole (it shows in the indicator).
    bool IndicatorRowSelected(int dataRow);
    // An incremental search is running (the current row's glyph shows it); never in this grid.
    virtual bool IncSearchRunning() const { return false; }
    // Rectangle of a whole grid row, from column 0 to the client's right edge.
    QRect FullRowRect(int row) const;

    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool TraceColSizing() const override { return fOptionsEh.Contains(dghTraceColSizing); }
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    static const QEvent::Type kDeferredLayoutEvent;

private:
    void OptionsToGridOptions();
    void ComputeRowHeights();
    bool HasPendingLayout() const { return fLayoutState.Contains(lsLayoutPending); }
    bool TakeFocusForAction();
    // Painting of the kinds of cells.
    bool DrawIndicatorCell(TCanvasEh& canvas, const QRect& cellRect, const QRect& rect, const TCellTypeEh& type);
    bool DrawTitleCell(TCanvasEh& canvas, const QRect& rect, const TCellTypeEh& type, int dx, int dy);
    void DrawDataCell(TCanvasEh& canvas, const QRect& rect, int col, int row, const TCellTypeEh& type,
                      TGridDrawState state, int dx, int dy);
    void DrawFooterCell(TCanvasEh& canvas, const QRect& rect, const TCellTypeEh& type, int dx, int dy);
    void DrawFixedBackground(TCanvasEh& canvas, const QRect& rect, bool pressed, const TCellTypeEh& type);
    void DrawSortMarker(TCanvasEh& canvas, const QRect& area, const TColumnEh* column, bool pressed);
    // Title buttons: a press that the title takes as a button, the pointer's moves and the release.
    bool TitleButtonDown(int dataCol);
    void TitleButtonMove(const QPoint& pos);
    void TitleButtonUp(const QPoint& pos, Qt::KeyboardModifiers modifiers);
    bool IsTitleCell(const QPoint& cell) const;
    // Making selections with the mouse (multi-select): the lower strip of a title selects its
    // column; the indicator selects records; the corner selects everything; data cells span a
    // rectangle. Returns whether the press was taken.
    bool InColumnSelectStrip(const QPoint& pos, const QPoint& cell) const;
    bool SelectionMouseDown(const QPoint& pos, const QPoint& cell, Qt::KeyboardModifiers modifiers);
    void SelectionMouseMove(const QPoint& pos);
    void SelectRecordAtRow(int dataRow, bool selected);
    void UpdateSelectionCursor(const QPoint& pos);
    int NonDataHeight() const;
    int RowPitch() const;

    std::unique_ptr<TGridDataLinkEh> fDataLink;
    std::unique_ptr<TDBGridColumnsEh> fColumns;
    std::unique_ptr<TDBGridEhColumnDefValuesEh> fColumnDefValues;
    std::unique_ptr<TDBGridEhSelection> fSelection;
    std::unique_ptr<TVertDBGridEhScrollBar> fVertScrollBar;
    std::unique_ptr<TDBGridEhScrollBar> fHorzScrollBar;
    TColumnsEhList fVisibleColumns;
    TColumnsEhList fSortMarkedColumns;

    TDBGridOptions fOptions;
    TDBGridEhOptions fOptionsEh;
    TDBGridEhAllowedOperations fAllowedOperations;
    TDBGridEhAllowedSelections fAllowedSelections;
    TDBGridEhEditActions fEditActions;

    bool fAutoFitColWidths = false;
    int fMinAutoFitWidth = 0;
    int fFrozenCols = 0;
    int fContraColCount = 0;
    int fRowHeight = 0;
    int fRowLines = 0;
    int fTitleHeight = 0;
    int fTitleLines = 0;
    bool fRowSizingAllowed = false;
    bool fUseMultiTitle = false;
    int fVTitleMargin = 10;
    bool fFlat = false;
    bool fCtl3D = true;
    int fIndicatorWidth = 11;

    TColor fColor = clWindow;
    TColor fFixedColor = clBtnFace;
    TColor fEvenRowColor = clWindow;
    TColor fOddRowColor = clWindow;
    bool fEvenRowColorSet = false;
    bool fOddRowColorSet = false;
    TFontEh fFont;
    TFontEh fTitleFont;
    TFontEh fFooterFont;
    TColor fFooterColor = clWindow;
    int fFooterRowCount = 0;
    bool fDefaultDrawing = true;
    bool fDrawMemoText = false;
    bool fReadOnly = false;
    bool fSortLocal = false;
    TImageListEh* fTitleImages = nullptr;
    TImeModeEh fImeMode = imDontCare;
    QString fImeName;

    int fTitleRowCount = 1;
    int fIndicatorOffset = 1;
    int fLastIndicatorRow = -1;
    int fUpdateLock = 0;
    int fLayoutLock = 0;
    // What the layout is doing and has left to do, in one value.
    enum TLayoutStateFlagEh
    {
        lsLayoutPending,        // a layout pass waits for the locks to go
        lsInLayout,             // a layout pass is running
        lsLoading,              // a stored layout is read (or the grid is going): nothing is laid out
        lsDeferredLayoutPosted, // the deferred layout request is in the queue
        lsResizePending,        // a resize waits for the update lock to go
        lsSettingColumnWidth,   // the grid itself sets a column's width from the cell widths
        lsVertBarApplied        // the vertical bar has been given its values once
    };
    TEnumSetEh<TLayoutStateFlagEh, 7> fLayoutState;
    bool fThumbTracked = false;
    int fReadRowSaved = -1;
    int fReadRowDepth = 0;
    TCursorPositionEh fSavedPosition;
    int fLastTitleHeight = 0;
    bool fPressStartedSizing = false;
    enum TSelectDragEh
    {
        sdNone,
        sdRows,
        sdColumns,
        sdRectangle
    };
    TSelectDragEh fSelectDrag = sdNone;
    TGridLineColorsEh fGridLineColors;
    TDBGridEhStyle* fStyle = nullptr;
    TColCellParamsEh fCellParams;
    TFontEh fCanvasFont;
    int fTitlePressCol = -1;
    bool fTitlePressed = false;
    bool fSortCtrlClicked = false;
    // A right press on a title handled as a left press, and the context menu that waits for the
    // right button's release.
    bool fRightAsLeft = false;
    bool fRightButtonDown = false;
    struct TPendingContextMenu
    {
        QPoint Pos;
        QPoint GlobalPos;
        Qt::KeyboardModifiers Modifiers;
    };
    std::optional<TPendingContextMenu> fPendingContextMenu;
    TScrollInfoEh fVertInfo;
    TScrollInfoEh fVertExtInfo;
    TScrollBarVisibleModeEh fVertAppliedMode = sbAutoShowEh;
    bool fInColExit = false;
    int fWheelDelta = 0; // wheel rotation short of a whole notch

    // Keyboard navigation.
    bool CursorOpen() const;
    bool KeyDownAction(int key, Qt::KeyboardModifiers shift);
    // Keys the grid claims as its own (bound in the key table and usable with these options).
    bool ClaimsKey(int key, Qt::KeyboardModifiers shift) const;
    // Whether a bound key's command may run with the grid's options (Tab needs dgTabs and no Alt,
    // the find dialog dghDialogFind).
    bool KeyCommandEnabled(TGridKeyCommandEh command, Qt::KeyboardModifiers shift) const;
    bool NewRecordAtEnd() const;
    void DeleteWithConfirmation();
    // Ctrl+C / Ctrl+Insert, Ctrl+X / Shift+Delete, Ctrl+V / Shift+Insert, Ctrl+A: true when the key
    // is one of them and its action is among EditActions.
    bool EditActionKey(int key, Qt::KeyboardModifiers shift);
    void CopyFromRecordAbove();
    void PaintNow();

    // Tracking a press in the data area until its release: the pointer's remembered place and the
    // drag timer that keeps the grid scrolling while the pointer is held outside the data area.
    bool fTrackingMouse = false;
    bool fDraggingInData = false;
    QPoint fTrackPos;
    QTimer fDragTimer;
    void StartTracking(bool inData);
    void StopTracking();
    void TrackMouseMove(const QPoint& pos);
    void AutoScrollStep();
    // The grid's own handling of a press and a release, before the events reach the handlers.
    void GridMouseDown(QMouseEvent* event);
    void DataMouseDown(QMouseEvent* event, const QPoint& cell);
    void GridMouseUp(QMouseEvent* event);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};
