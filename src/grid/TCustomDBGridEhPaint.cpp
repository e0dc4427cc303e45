#include "TCustomDBGridEh.h"

#include "TScopeExit.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

// ---------------------------------------------------------------------------------------------
// Cell parameters

void TCustomDBGridEh::FireGridCellParams(TColumnEh* column, TFontEh& font, TColor& background, TGridDrawState state)
{
    if (OnGetCellParams)
        OnGetCellParams(this, column, font, background, state);
}

void TCustomDBGridEh::ResolveCellParams(TColumnEh* column, TColCellParamsEh& params, int col, int row)
{
    column->FillCellParams(params);
    params.Col = col;
    params.Row = row;
    FireGridCellParams(column, *params.Font, params.Background, params.State);
    column->FireColumnCellParams(false, params);
}

QString TCustomDBGridEh::FooterCellText(int footerRow, TColumnEh* column) const
{
    const TColumnFooterEh* footer = column->UsedFooter(footerRow);
    switch (footer->ValueType()) {
    case fvtStaticText:
        return footer->Value();
    case fvtFieldValue: {
        const TDataSet* ds = DataSet();
        if (!ds || !ds->Active())
            return {};
        const TField* f = ds->FieldNamed(footer->FieldName().isEmpty() ? column->FieldName() : footer->FieldName());
        return f ? f->DisplayText() : QString();
    }
    default:
        return {};
    }
}

// ---------------------------------------------------------------------------------------------
// Painting

TColor TCustomDBGridEh::DataAreaLineColor(bool vertical) const
{
    const TGridLineColorSlotEh slot = vertical ? glcDataVertEh : glcDataHorzEh;
    if (fGridLineColors.Assigned(slot))
        return fGridLineColors.Slot(slot);
    return fColor == clSilver ? clGray : clSilver;
}

TColor TCustomDBGridEh::FixedAreaLineColor(bool vertical) const
{
    const TGridLineColorSlotEh slot = vertical ? glcFixedVertEh : glcFixedHorzEh;
    if (fGridLineColors.Assigned(slot))
        return fGridLineColors.Slot(slot);
    return fFlat ? clGray : clBlack;
}

bool TCustomDBGridEh::UseThemedFixedCells() const
{
    return !fFlat && ThemeServicesEnabledEh() && fOptionsEh.Contains(dghFixed3D) && fOptions.Contains(dgColLines)
           && fOptions.Contains(dgRowLines);
}

TCellTypeEh TCustomDBGridEh::GetCellType(int col, int row) const
{
    TCellTypeEh t;
    if (col < fIndicatorOffset) {
        t.ColKind = cckIndicatorEh;
        t.DataCol = -1;
    } else {
        t.ColKind = cckDataEh;
        t.DataCol = col - fIndicatorOffset;
    }
    const int titleRows = fOptions.Contains(dgTitles) ? 1 : 0;
    const int footerStart = RowCount() - fFooterRowCount;
    if (row >= 0 && row < titleRows) {
        t.RowKind = crkTitleEh;
        t.RowIndex = row;
    } else if (row >= titleRows && row < fTitleRowCount) {
        t.RowKind = crkFilterEh;
        t.RowIndex = row - titleRows;
    } else if (row >= fTitleRowCount && row < footerStart) {
        t.RowKind = crkDataEh;
        t.RowIndex = row - fTitleRowCount;
    } else if (row >= footerStart && row >= fTitleRowCount && row < RowCount()) {
        t.RowKind = crkFooterEh;
        t.RowIndex = row - footerStart;
    } else {
        throw Exception(QStringLiteral("Algorithm error in TCustomDBGridEh.GetCellType"));
    }
    return t;
}

bool TCustomDBGridEh::CellHasRaisedFrame(int col, int row, const TCellTypeEh& type) const
{
    const bool fixed = col < FixedCols() || row < FixedRows();
    if (fixed && fOptionsEh.Contains(dghFixed3D) && (type.ColKind == cckIndicatorEh || type.RowKind == crkTitleEh))
        return true;
    if (type.RowKind == crkFooterEh)
        return fOptionsEh.Contains(dghFooter3D);
    if (type.ColKind == cckDataEh && type.RowKind == crkDataEh) {
        if (fOptionsEh.Contains(dghData3D))
            return true;
        if (fOptionsEh.Contains(dghFrozen3D) && col < FixedCols())
            return true;
    }
    return false;
}

bool TCustomDBGridEh::SelectionKindAllowed(TDBGridEhSelectionType kind) const
{
    if (kind == gstNon)
        return true;
    if (!fOptions.Contains(dgMultiSelect) || !fAllowedSelections.Contains(kind))
        return false;
    return !((kind == gstRectangle || kind == gstColumns) && fOptions.Contains(dgRowSelect));
}

bool TCustomDBGridEh::IndicatorRowSelected(int dataRow)
{
    if (!fOptions.Contains(dgMultiSelect) || !fDataLink->Active())
        return false;
    const TDBGridEhSelectionType kind = fSelection->SelectionType();
    if (kind == gstAll)
        return true;
    if (kind != gstRecordBookmarks || dataRow < 0 || dataRow >= fDataLink->RecordCount())
        return false;
    BeginReadRow(dataRow);
    TScopeExit end([this] { EndReadRow(); });
    return fSelection->CurrentRecordSelected();
}

int TCustomDBGridEh::IndicatorGlyph(int dataRow)
{
    if (!fDataLink->Active())
        return -1;
    const bool current = IsCurrentDataRow(dataRow);
    const bool selected = IndicatorRowSelected(dataRow);
    if (!current && !selected)
        return -1;
    switch (DataSet()->CursorState()) {
    case dsBrowse:
        if (!current)
            return -1;
        if (selected)
            return 5;
        return IncSearchRunning() ? 6 : 0;
    case dsEdit:
        return 1;
    case dsInsert:
        return 2;
    default:
        return 0;
    }
}

void TCustomDBGridEh::DrawCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state)
{
    if (fLayoutState.Contains(lsInLayout))
        return;
    if (fLayoutState.Contains(lsLoading)) {
        painter.fillRect(rect, ColorToQColor(fColor));
        return;
    }
    DrawGridCell(painter, col, row, rect, state);
}

void TCustomDBGridEh::DrawFixedBackground(TCanvasEh& canvas, const QRect& rect, bool pressed, const TCellTypeEh& type)
{
    if (!UseThemedFixedCells()) {
        canvas.FillRect(rect);
        return;
    }
    // The desktop's header section stands for the themed cell: hot normally, pressed when asked,
    // one pixel beyond the cell on every side (over its lines).
    QStyleOptionHeader option;
    option.initFrom(this);
    option.rect = rect.adjusted(-2, -2, 2, 2);
    option.state = QStyle::State_Enabled | QStyle::State_Horizontal | QStyle::State_Raised;
    option.state |= pressed ? QStyle::State_Sunken : QStyle::State_MouseOver;
    option.orientation = type.ColKind == cckIndicatorEh && type.RowKind != crkTitleEh ? Qt::Vertical : Qt::Horizontal;
    option.position = QStyleOptionHeader::Middle;
    const QColor face = ColorToQColor(canvas.BrushColor());
    option.palette.setColor(QPalette::Button, face);
    option.palette.setColor(QPalette::Window, face);
    style()->drawControl(QStyle::CE_HeaderSection, &option, &canvas.Painter(), this);
    // The desktop's section has no edge of its own once neighbours overlap it; the toolbar button it
    // stands for has a 1-pixel border, which shows where one title ends and the next begins (and where
    // to grab a column edge). Pressed, the border darkens and a shadow inside its top and left sinks it.
    QPainter& p = canvas.Painter();
    const QRect outer = option.rect;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    p.setPen(ColorToQColor(pressed ? cl3DDkShadow : clBtnShadow));
    p.drawRect(outer.adjusted(0, 0, -1, -1));
    if (pressed) {
        const QRect inner = outer.adjusted(1, 1, -1, -1);
        p.setPen(ColorToQColor(clBtnShadow));
        p.drawLine(inner.topLeft(), inner.topRight());
        p.drawLine(inner.topLeft(), inner.bottomLeft());
        p.setPen(ColorToQColor(clBtnHighlight));
        p.drawLine(inner.bottomLeft(), inner.bottomRight());
        p.drawLine(inner.topRight(), inner.bottomRight());
    }
    p.restore();
}

void TCustomDBGridEh::DrawGridCell(QPainter& painter, int col, int row, const QRect& cellRect, TGridDrawState state)
{
    fCellParams.Col = col;
    fCellParams.Row = row;
    const TCellTypeEh type = GetCellType(col, row);
    const bool raised = CellHasRaisedFrame(col, row, type);
    TCanvasEh canvas(painter);
    QRect rect = cellRect;
    int dx = 2;
    int dy = 2;
    if (raised) {
        rect.adjust(1, 1, -1, -1);
        dx = 1;
        dy = 1;
    }
    if (fFlat)
        --dy;

    bool sunken = false;
    bool themed = false;
    if (type.ColKind == cckIndicatorEh) {
        sunken = DrawIndicatorCell(canvas, cellRect, rect, type);
        themed = UseThemedFixedCells();
    } else if (type.RowKind == crkTitleEh) {
        sunken = DrawTitleCell(canvas, rect, type, dx, dy);
        themed = UseThemedFixedCells();
    } else if (type.RowKind == crkDataEh) {
        TColumnEh* column = type.DataCol < fColumns->Count() ? fColumns->Items(type.DataCol) : nullptr;
        if (column && fDataLink->Active() && type.RowIndex < fDataLink->RecordCount()) {
            DrawDataCell(canvas, rect, col, row, type, state, dx, dy);
        } else {
            canvas.SetBrushColor(column ? column->Color() : fColor);
            canvas.FillRect(rect);
        }
    } else if (type.RowKind == crkFooterEh) {
        DrawFooterCell(canvas, rect, type, dx, dy);
    } else {
        canvas.SetBrushColor(fFixedColor);
        canvas.FillRect(rect);
    }
    if (raised && !themed)
        canvas.DrawEdge(cellRect, !sunken);
}

bool TCustomDBGridEh::DrawIndicatorCell(TCanvasEh& canvas, const QRect& cellRect, const QRect& rect,
                                        const TCellTypeEh& type)
{
    TColor background = fFixedColor;
    TColor fontColor = fFont.Color;
    bool selected = false;
    if (type.RowKind == crkDataEh)
        selected = IndicatorRowSelected(type.RowIndex);
    else if (type.RowKind == crkTitleEh)
        selected = fSelection->SelectionType() == gstAll;
    if (selected)
        Style().FixedCellHighlight(*this, type, background, fontColor);
    canvas.SetBrushColor(background);
    canvas.SetFontColor(fontColor);
    DrawFixedBackground(canvas, rect, selected, type);
    if (type.RowKind == crkDataEh && fDataLink->Active()) {
        const int glyph = IndicatorGlyph(type.RowIndex);
        if (glyph >= 0) {
            // 8 pixels left of the cell's right edge, centred as whole pixels round down.
            const int right = cellRect.left() + cellRect.width();
            const int bottom = cellRect.top() + cellRect.height();
            IndicatorImagesEh().Draw(canvas.Painter(), right - 8, (cellRect.top() + bottom - 11) / 2, glyph);
            if (IsCurrentDataRow(type.RowIndex))
                fLastIndicatorRow = type.RowIndex + fTitleRowCount;
        }
    }
    return selected;
}

const TFontEh& TCustomDBGridEh::SortOrdinalFont()
{
    static const TFontEh font = [] {
        TFontEh f;
        f.Name = QStringLiteral("Arial");
        f.Height = 1 - SortMarkerImagesEh().Height(); // -8: characters 8 pixels high
        f.Color = clWindowText;
        return f;
    }();
    return font;
}

int TCustomDBGridEh::SortMarkerAreaWidth(const TColumnEh* column) const
{
    const TColumnTitleEh* title = column->Title();
    if (title->SortIndex() == 0)
        return 0;
    int ordinal = 0;
    if (fSortMarkedColumns.Count() >= 2)
        ordinal = TextWidthEh(SortOrdinalFont().ToQFont(), QString::number(title->SortIndex()));
    const int room = column->Width() - 4;
    if (16 + ordinal <= room)
        return 16 + ordinal;
    // Too narrow for the triangle: only the ordinal, if even that fits.
    if (16 + ordinal - 14 <= room)
        return 16 + ordinal - 14;
    return 0;
}

bool TCustomDBGridEh::DrawTitleCell(TCanvasEh& canvas, const QRect& rect, const TCellTypeEh& type, int dx, int dy)
{
    TColumnEh* column = fColumns->Items(type.DataCol);
    const TColumnTitleEh* title = column->Title();
    TColor background = title->Color();
    TColor fontColor = title->Font().Color;
    canvas.SetFont(title->Font());

    QRect textArea = rect;
    QRect markerArea;
    if (title->SortMarker() != smNoneEh) {
        int reserve = 16;
        if (fSortMarkedColumns.Count() > 1) {
            TCanvasEh measure(canvas.Painter());
            measure.SetFont(SortOrdinalFont());
            reserve += measure.TextWidth(QString::number(title->SortIndex()));
        }
        textArea.setRight(std::max(rect.left() - 1, rect.right() - reserve));
        markerArea = QRect(QPoint(textArea.right() + 1, rect.top()), rect.bottomRight());
    }
    const bool pressed = fTitlePressCol == type.DataCol && fTitlePressed;
    if (pressed) {
        ++dx;
        ++dy;
    }
    const TDBGridEhSelectionType kind = fSelection->SelectionType();
    const bool highlighted = kind == gstAll || (kind == gstColumns && fSelection->Columns().IndexOf(column) >= 0);
    if (highlighted)
        Style().FixedCellHighlight(*this, type, background, fontColor);
    canvas.SetBrushColor(background);
    canvas.SetFontColor(fontColor);

    const bool themed = UseThemedFixedCells();
    if (themed)
        DrawFixedBackground(canvas, rect, pressed || highlighted, type);
    else if (textArea.right() < rect.right())
        canvas.FillRect(QRect(QPoint(textArea.right() + 1, rect.top()), rect.bottomRight()));
    // A title row made taller than one line (title lines or height) wraps its captions.
    const bool multiLine = textArea.height() >= 2 * canvas.Metrics().Height;
    DrawCellText(canvas, textArea, !themed, false, 0, 0, title->EndEllipsis(), multiLine, tlTop, title->Alignment(),
                 title->Caption(), dy, dx);
    if (!markerArea.isEmpty())
        DrawSortMarker(canvas, markerArea, column, pressed);
    return pressed || highlighted;
}

void TCustomDBGridEh::DrawSortMarker(TCanvasEh& canvas, const QRect& area, const TColumnEh* column, bool pressed)
{
    const TColumnTitleEh* title = column->Title();
    const TImageListEh& images = SortMarkerImagesEh();
    const int shift = pressed ? 1 : 0;
    const int x = area.left() + 2 + shift;
    const int y = area.top() + (area.height() - images.Height()) / 2 + shift;
    canvas.Painter().save();
    canvas.Painter().setClipRect(area, Qt::IntersectClip);
    images.Draw(canvas.Painter(), x, y, title->SortMarker() == smDownEh ? 0 : 1);
    if (fSortMarkedColumns.Count() > 1) {
        // The ordinal right of the triangle, in the title's font colour.
        const TColor fontColor = canvas.FontColor();
        canvas.SetFont(SortOrdinalFont());
        canvas.SetFontColor(fontColor);
        const QRect ordinal(area.left() + 14 + shift, area.top() + shift, std::max(0, area.width() - 14),
                            area.height());
        DrawCellText(canvas, ordinal, false, false, 0, 0, false, false, tlCenter, taLeftJustify,
                     QString::number(title->SortIndex()), 0, 0);
    }
    canvas.Painter().restore();
}

void TCustomDBGridEh::DrawDataCell(TCanvasEh& canvas, const QRect& rect, int col, int row, const TCellTypeEh& type,
                                   TGridDrawState state, int dx, int dy)
{
    TColumnEh* column = fColumns->Items(type.DataCol);
    BeginReadRow(type.RowIndex);
    TScopeExit end([this] { EndReadRow(); });
    TDataSet* ds = DataSet();

    TColor background = column->Color();
    if (background == fColor && (fEvenRowColorSet || fOddRowColorSet) && ds->HasExactNumbering())
        background = (ds->RecordNumber() % 2 != 0) ? OddRowColor() : EvenRowColor();
    fCanvasFont = column->Font();

    // The cell's parameters as FillCellParams gives them, for this grid cell and its state.
    const bool readOnly = fCellParams.ReadOnly;
    column->FillCellParams(fCellParams);
    fCellParams.ReadOnly = readOnly;
    fCellParams.Col = col;
    fCellParams.Row = row;
    fCellParams.State = state;
    fCellParams.Font = &fCanvasFont;
    fCellParams.Background = background;
    FireGridCellParams(column, *fCellParams.Font, fCellParams.Background, fCellParams.State);
    column->FireColumnCellParams(false, fCellParams);

    background = fCellParams.Background;
    TColor fontColor = fCellParams.Font->Color;
    if (Style().DataCellHighlight(*this, type.DataCol, row, fCellParams.State, background, fontColor)) {
        state.Include(gdSelected);
        fCellParams.State.Include(gdSelected);
    }
    canvas.SetFont(*fCellParams.Font);
    canvas.SetFontColor(fontColor);
    canvas.SetBrushColor(background);

    if (fDefaultDrawing) {
        switch (column->CellKind()) {
        case ctKeyImageList:
            canvas.FillRect(rect);
            if (TImageListEh* images = column->ImageList())
                images->Draw(canvas.Painter(), rect.left() + (rect.width() - images->Width()) / 2,
                             rect.top() + (rect.height() - images->Height()) / 2, fCellParams.ImageIndex);
            break;
        case ctCheckboxes: {
            canvas.FillRect(rect);
            QStyleOptionButton option;
            option.initFrom(this);
            const int side = std::min({13, rect.width(), rect.height()});
            option.rect =
                QRect(rect.left() + (rect.width() - side) / 2, rect.top() + (rect.height() - side) / 2, side, side);
            option.state = QStyle::State_Enabled;
            option.state |= fCellParams.BoxState == cbChecked  ? QStyle::State_On
                            : fCellParams.BoxState == cbGrayed ? QStyle::State_NoChange
                                                               : QStyle::State_Off;
            style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &canvas.Painter(), this);
            break;
        }
        default: {
            const TTextMetricEh& m = canvas.Metrics();
            const bool multiLine =
                column->WordWrap() && DefaultRowHeight() > m.Height + m.ExternalLeading + m.InternalLeading + 4;
            DrawCellText(canvas, rect, true, false, 0, 0, column->EndEllipsis(), multiLine, column->Layout(),
                         fCellParams.Alignment, fCellParams.Text, dy, dx);
            break;
        }
        }
    }
    if (OnDrawDataCell && fColumns->State() == csDefault)
        OnDrawDataCell(this, canvas.Painter(), rect, column->Field(), state);
    if (OnDrawColumnCell)
        OnDrawColumnCell(this, canvas.Painter(), rect, type.DataCol, column, state);
    if (fDefaultDrawing && state.Contains(gdFocused) && Focused() && IsActiveControl()
        && !fOptions.Contains(dgRowSelect) && fUpdateLock == 0 && Style().ShowFocusFrame())
        canvas.DrawFocusRect(rect);
}

void TCustomDBGridEh::DrawFooterCell(TCanvasEh& canvas, const QRect& rect, const TCellTypeEh& type, int dx, int dy)
{
    if (type.ColKind != cckDataEh || type.DataCol >= fColumns->Count()) {
        canvas.SetBrushColor(fFooterColor);
        canvas.FillRect(rect);
        return;
    }
    TColumnEh* column = fColumns->Items(type.DataCol);
    const TColumnFooterEh* footer = column->UsedFooter(type.RowIndex);
    canvas.SetFont(footer->Font());
    canvas.SetFontColor(footer->Font().Color);
    canvas.SetBrushColor(footer->Color());
    DrawCellText(canvas, rect, true, false, 0, 0, false, false, tlTop, footer->Alignment(),
                 FooterCellText(type.RowIndex, column), dy, dx);
}
