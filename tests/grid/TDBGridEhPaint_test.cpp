// What the grid paints, pixel by pixel, on the window's grid over an open result (two or more
// records show the scroll bar, so the columns are 65, 275, 175, 60 and 60 wide): indicator 0..10,
// line 11; numer 12..76, line 77; vlad 78..352, line 353; street 354..528, line 529; numhome
// 530..589, line 590; numdoor 591..650, line 651. Title row 0..16, line 17; data row r (1-based)
// from 18 * r to 18 * r + 16, its line below.
#include "GridFixture.h"
#include "PaintCheck.h"

#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QRgb Rgb(TColor c)
{
    return ColorToQColor(c).rgb() & 0xFFFFFF;
}

// The reference for a cell's text: the area filled with the background and the text written with
// its cell top at (x, y), clipped to the area, on a copy of what was painted.
QImage WithText(const QImage& painted, const QRect& area, TColor back, const TFontEh& font, TColor colour, int x, int y,
                const QString& text)
{
    QImage img = painted.copy();
    QPainter p(&img);
    p.fillRect(area, ColorToQColor(back));
    TCanvasEh c(p);
    c.SetFont(font);
    p.setClipRect(area);
    p.setFont(c.QtFont());
    p.setPen(ColorToQColor(colour));
    p.drawText(QPoint(x, y + c.Metrics().Ascent), text);
    return img;
}

int TextWidthIn(const TFontEh& font, const QString& text)
{
    QImage img(1, 1, QImage::Format_RGB32);
    QPainter p(&img);
    TCanvasEh c(p);
    c.SetFont(font);
    return c.TextWidth(text);
}

// The window's grid over records, painted without the focus.
struct TPaintedGrid : TWindowGrid
{
    explicit TPaintedGrid(int records = 100) : TWindowGrid(records)
    {
        if (records > 0)
            Open();
    }
    QImage Grab() { return Grid->viewport()->grab().toImage(); }
};

// A grid that notes the cells it paints.
class TCellCountingGrid : public TRecordingGrid
{
public:
    std::vector<QPoint> Painted;

protected:
    void DrawGridCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state) override
    {
        Painted.emplace_back(col, row);
        TRecordingGrid::DrawGridCell(painter, col, row, rect, state);
    }
};

} // namespace

TEST(GridPainting, TextPositionsInTitlesAndDataCells)
{
    TPinSystemColorsEh pin;
    TPaintedGrid w;
    w.Grid->Columns()[3]->SetAlignment(taRightJustify);
    const QImage img = w.Grab();
    const TFontEh& font = w.Grid->Font();

    // A raised title: its text 2 pixels in from the cell's outer corner (1 for the edge, 1 offset).
    const QRect titleInner(13, 1, 63, 15);
    EXPECT_EQ(FirstPixelDifference(
                  img, WithText(img, titleInner, clBtnFace, font, clWindowText, 14, 2, QStringLiteral("Телефон")),
                  titleInner),
              "");
    // A data cell: 2 in, 2 down (second record, row 2; the first is current).
    const QRect cell(12, 36, 65, 17);
    EXPECT_EQ(FirstPixelDifference(
                  img, WithText(img, cell, clWindow, font, clWindowText, 14, 38, QStringLiteral("200001")), cell),
              "");
    // Right-aligned in the 60-pixel numhome column: ending 3 pixels left of the cell's edge.
    const QRect home(530, 36, 60, 17);
    const int w2 = TextWidthIn(font, QStringLiteral("2"));
    EXPECT_EQ(FirstPixelDifference(
                  img, WithText(img, home, clWindow, font, clWindowText, 590 - 3 - w2, 38, QStringLiteral("2")), home),
              "");
    // The title of a right-aligned column stays as its title says (left).
    const QRect homeTitle(531, 1, 58, 15);
    EXPECT_EQ(
        FirstPixelDifference(
            img, WithText(img, homeTitle, clBtnFace, font, clWindowText, 532, 2, QStringLiteral("Дом")), homeTitle),
        "");
}

TEST(GridPainting, IndicatorGlyphEightPixelsLeftOfTheEdgeAndCentred)
{
    TPinSystemColorsEh pin;
    TPaintedGrid w;
    const QImage img = w.Grab();
    // Current record in row 1 (18..34): left 11 - 8 = 3, top (18 + 35 - 11) / 2 = 21.
    QImage want = img.copy();
    {
        QPainter p(&want);
        p.fillRect(QRect(1, 19, 9, 15), ColorToQColor(clBtnFace));
        IndicatorImagesEh().Draw(p, 3, 21, 0);
    }
    EXPECT_EQ(FirstPixelDifference(img, want, QRect(1, 19, 9, 15)), "");
    EXPECT_EQ(w.Grid->LastIndicatorRow(), 1);
    EXPECT_TRUE(AllPixels(img, QRect(1, 37, 9, 15), Rgb(clBtnFace))) << "no glyph on other rows";
}

TEST(GridPainting, LinesAndRaisedFixedCells)
{
    TPinSystemColorsEh pin;
    TPaintedGrid w;
    const QImage img = w.Grab();
    struct Case
    {
        const char* name;
        QPoint at;
        TColor colour;
    };
    const Case cases[] = {
        {"data column line", {77, 30}, clSilver},
        {"data row line", {200, 35}, clSilver},
        {"indicator's line", {11, 30}, clBlack},
        {"indicator's row line", {5, 35}, clBlack},
        {"title row's line", {200, 17}, clBlack},
        {"line between titles", {77, 8}, clBlack},
        {"title edge, top", {100, 0}, clBtnHighlight},
        {"title edge, left", {12, 8}, clBtnHighlight},
        {"title edge, bottom", {100, 16}, clBtnShadow},
        {"title edge, right", {76, 8}, clBtnShadow},
        {"indicator edge, left", {0, 25}, clBtnHighlight},
        {"indicator edge, right", {10, 25}, clBtnShadow},
        {"title background beside the caption", {300, 8}, clBtnFace},
    };
    for (const Case& c : cases)
        EXPECT_EQ(img.pixel(c.at) & 0xFFFFFF, Rgb(c.colour)) << c.name;

    w.Grid->SetColor(clSilver);
    EXPECT_EQ(w.Grab().pixel(77, 30) & 0xFFFFFF, Rgb(clGray)) << "on a silver grid the data lines are gray";
    w.Grid->GridLineColors().SetSlot(glcDataVertEh, clRed);
    w.Grid->GridLineColors().SetSlot(glcFixedHorzEh, clBlue);
    const QImage assigned = w.Grab();
    EXPECT_EQ(assigned.pixel(77, 30) & 0xFFFFFF, Rgb(clRed)) << "an assigned line colour";
    EXPECT_EQ(assigned.pixel(200, 35) & 0xFFFFFF, Rgb(clGray)) << "the other lines keep theirs";
    EXPECT_EQ(assigned.pixel(200, 17) & 0xFFFFFF, Rgb(clBlue));
    EXPECT_EQ(assigned.pixel(11, 30) & 0xFFFFFF, Rgb(clBlack));
    w.Grid->SetFlat(true);
    EXPECT_EQ(w.Grab().pixel(11, 30) & 0xFFFFFF, Rgb(clGray)) << "flat: gray fixed lines";
}

TEST(GridPainting, ClosedRecordSetShowsTitlesRaisedFixedCellsAndOneEmptyRow)
{
    TPinSystemColorsEh pin;
    TPaintedGrid w(0); // closed: no scroll bar, columns 67, 282, 180, 62, 61
    w.Grid->Columns()[1]->SetColor(clYellow);
    const QImage img = w.Grab();
    EXPECT_TRUE(AllPixels(img, QRect(1, 19, 9, 15), Rgb(clBtnFace))) << "raised indicator without glyph";
    EXPECT_EQ(img.pixel(0, 20) & 0xFFFFFF, Rgb(clBtnHighlight));
    EXPECT_EQ(img.pixel(10, 20) & 0xFFFFFF, Rgb(clBtnShadow));
    EXPECT_TRUE(AllPixels(img, QRect(1, 1, 9, 15), Rgb(clBtnFace))) << "raised corner";
    EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, Rgb(clBtnHighlight));
    EXPECT_TRUE(AllPixels(img, QRect(12, 18, 67, 17), Rgb(clWindow))) << "the empty row in numer's colour";
    EXPECT_TRUE(AllPixels(img, QRect(80, 18, 282, 17), Rgb(clYellow))) << "and in vlad's";
    EXPECT_EQ(img.pixel(200, 35) & 0xFFFFFF, Rgb(clSilver));
    EXPECT_EQ(img.pixel(11, 25) & 0xFFFFFF, Rgb(clBlack));
    EXPECT_TRUE(AllPixels(img, QRect(0, 36, 669, 100), Rgb(clWindow))) << "below the last row: the grid's colour";
    EXPECT_TRUE(AnyDarkPixel(img, QRect(81, 2, 60, 13))) << "titles are written";
}

TEST(GridPainting, CurrentCellHighlightFollowsTheFocus)
{
    TPinSystemColorsEh pin;
    TPaintedGrid w;
    QWidget other;
    other.show();
    w.Grid->activateWindow();
    w.Grid->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(w.Grid->hasFocus());
    QImage img = w.Grab();
    EXPECT_EQ(img.pixel(70, 30) & 0xFFFFFF, Rgb(clHighlight)) << "the current cell";
    EXPECT_TRUE(AnyLightPixel(img, QRect(14, 20, 40, 13))) << "its text in the highlight text colour";
    EXPECT_EQ(img.pixel(70, 45) & 0xFFFFFF, Rgb(clWindow)) << "another record";
    EXPECT_EQ(img.pixel(300, 30) & 0xFFFFFF, Rgb(clWindow)) << "another column";
    // The dotted focus frame inverts every other pixel of the cell's edge.
    EXPECT_EQ(img.pixel(12, 18) & 0xFFFFFF, ~Rgb(clHighlight) & 0xFFFFFF);
    EXPECT_EQ(img.pixel(13, 18) & 0xFFFFFF, Rgb(clHighlight));
    EXPECT_EQ(img.pixel(76, 34) & 0xFFFFFF, ~Rgb(clHighlight) & 0xFFFFFF);

    // Another column current: the old cell in its normal colours, the new one highlighted.
    w.Grid->FocusCell(2, 1, true);
    img = w.Grab();
    EXPECT_EQ(img.pixel(70, 30) & 0xFFFFFF, Rgb(clWindow));
    EXPECT_EQ(img.pixel(300, 30) & 0xFFFFFF, Rgb(clHighlight));

    // Focus elsewhere: no highlight and no frame.
    other.activateWindow();
    other.setFocus();
    QApplication::processEvents();
    ASSERT_FALSE(w.Grid->hasFocus());
    img = w.Grab();
    EXPECT_EQ(img.pixel(300, 30) & 0xFFFFFF, Rgb(clWindow));
    EXPECT_EQ(img.pixel(78, 18) & 0xFFFFFF, Rgb(clWindow));
}

TEST(GridPainting, OnlyCellsMeetingTheInvalidRegionArePainted)
{
    TWindowGridOf<TCellCountingGrid> w(100);
    auto& grid = w.Grid;
    w.Open();
    grid->Painted.clear();
    grid->viewport()->repaint(QRect(80, 40, 10, 5));
    EXPECT_EQ(grid->Painted, (std::vector<QPoint>{{2, 2}}));
    grid->Painted.clear();
    grid->viewport()->repaint(QRect(70, 30, 20, 10)); // over a line crossing: four cells
    EXPECT_EQ(grid->Painted.size(), 4u);
    grid->Painted.clear();
    grid->viewport()->repaint();
    EXPECT_EQ(grid->Painted.size(), 6u * 10u) << "every cell once: six columns, title and nine records";
}

TEST(GridPainting, SortMarkerTakesTheRightOfTheTitle)
{
    TPinSystemColorsEh pin;
    TPaintedGrid w;
    w.Grid->Columns()[1]->Title()->SetCaption(QString(60, QChar(u'Ж')));
    w.Grid->Columns()[1]->Title()->SetSortMarker(smDownEh);
    const QImage img = w.Grab();
    // vlad's title 78..352, inside 79..351: the marker area is its last 16 pixels, 336..351; the
    // triangle 2 pixels into it, centred in the 15 rows: top 1 + (15 - 9) / 2 = 4.
    QImage want = img.copy();
    {
        QPainter p(&want);
        p.fillRect(QRect(336, 1, 16, 15), ColorToQColor(clBtnFace));
        SortMarkerImagesEh().Draw(p, 338, 4, 0);
    }
    EXPECT_EQ(FirstPixelDifference(img, want, QRect(336, 1, 16, 15)), "");
    EXPECT_TRUE(AnyDarkPixel(img, QRect(320, 2, 16, 13))) << "the caption runs up to the marker";
    w.Grid->Columns()[1]->Title()->SetSortMarker(smUpEh);
    want = w.Grab();
    {
        QPainter p(&want);
        p.fillRect(QRect(336, 1, 16, 15), ColorToQColor(clBtnFace));
        SortMarkerImagesEh().Draw(p, 338, 4, 1);
    }
    EXPECT_EQ(FirstPixelDifference(w.Grab(), want, QRect(336, 1, 16, 15)), "");
}

TEST(GridPainting, SelectedFixedCellsAreDarkAndSunken)
{
    TPinSystemColorsEh pin;
    TPaintedGrid w;
    w.Grid->SetOptions(w.Grid->Options() + dgMultiSelect);
    w.Grid->Selection().SelectAll();
    w.Grid->clearFocus();
    const QImage img = w.Grab();
    EXPECT_EQ(img.pixel(5, 45) & 0xFFFFFF, qRgb(64, 64, 64) & 0xFFFFFF) << "a selected record's indicator";
    EXPECT_EQ(img.pixel(0, 40) & 0xFFFFFF, Rgb(clBtnShadow)) << "sunken";
    EXPECT_TRUE(AnyPixel(img, QRect(3, 21, 6, 11), 0xFFFFFF)) << "the current record's white triangle";
    EXPECT_EQ(img.pixel(300, 8) & 0xFFFFFF, qRgb(64, 64, 64) & 0xFFFFFF) << "a title";
    EXPECT_TRUE(AnyLightPixel(img, QRect(80, 2, 60, 13))) << "in white";
    EXPECT_EQ(img.pixel(5, 8) & 0xFFFFFF, qRgb(64, 64, 64) & 0xFFFFFF) << "the corner";
    EXPECT_EQ(img.pixel(300, 45) & 0xFFFFFF, MixSelectionColor(clWindow, clBtnShadow, false))
        << "data cells of an unfocused grid in the softened shadow";
}

TEST(GridPainting, ThemedFixedCellsUseTheDesktopsHeaderLook)
{
    TPinSystemColorsEh pin;
    TPaintedGrid w;
    EXPECT_FALSE(w.Grid->UseThemedFixedCells()) << "headless: the classic look";
    const QImage classic = w.Grab();
    TPinThemesEh themes(true);
    ASSERT_TRUE(w.Grid->UseThemedFixedCells());
    const QImage themed = w.Grab();
    EXPECT_NE(FirstPixelDifference(themed, classic, QRect(0, 0, 652, 18)), "") << "titles look different";
    EXPECT_EQ(FirstPixelDifference(themed, classic, QRect(12, 18, 640, 150)), "") << "data cells do not";
    w.Grid->SetOptionsEh(w.Grid->OptionsEh() - dghFixed3D);
    EXPECT_FALSE(w.Grid->UseThemedFixedCells());
    w.Grid->SetOptionsEh(w.Grid->OptionsEh() + dghFixed3D);
    w.Grid->SetOptions(w.Grid->Options() - dgRowLines);
    EXPECT_FALSE(w.Grid->UseThemedFixedCells());
    w.Grid->SetOptions(w.Grid->Options() + dgRowLines);
    w.Grid->SetFlat(true);
    EXPECT_FALSE(w.Grid->UseThemedFixedCells());
}

// Themed titles are bordered: a line darker than the title face stands on every column edge, and a
// pressed title is sunken (shadow inside its top and left, light inside its bottom and right).
TEST(GridPainting, ThemedTitlesShowTheirEdgesAndAPressedTitleIsSunken)
{
    TPinSystemColorsEh pin;
    TPaintedGrid w;
    TPinThemesEh themes(true);
    ASSERT_TRUE(w.Grid->UseThemedFixedCells());
    w.Grid->ColumnDefValues().Title().SetTitleButton(true);
    const auto grey = [](const QImage& img, int x, int y) { return qGray(img.pixel(x, y)); };
    const int kVisible = 24; // grey levels between an edge and the face it bounds

    const QImage img = w.Grab();
    struct Edge
    {
        const char* name;
        int x;
    };
    const Edge edges[] = {{"indicator | numer", 11}, {"numer | vlad", 77},       {"vlad | street", 353},
                          {"street | numhome", 529}, {"numhome | numdoor", 590}, {"right of numdoor", 651}};
    for (const Edge& e : edges)
        for (int y : {4, 15})
            EXPECT_LT(grey(img, e.x, y), grey(img, e.x - 2, y) - kVisible) << e.name << " at y " << y;
    EXPECT_LT(grey(img, 300, 17), grey(img, 300, 15) - kVisible) << "the bottom edge of a title";

    QWidget* vp = w.Grid->viewport();
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, QPoint(200, 5));
    ASSERT_TRUE(w.Grid->TitlePressed());
    const QImage pressed = w.Grab();
    EXPECT_LT(grey(pressed, 78, 8), grey(pressed, 352, 8) - kVisible) << "pressed: left inside darker than right";
    EXPECT_LT(grey(pressed, 300, 0), grey(pressed, 300, 16) - kVisible) << "pressed: top inside darker than bottom";
    EXPECT_LT(grey(pressed, 77, 8), grey(pressed, 80, 8)) << "pressed: its edge still shows";
    EXPECT_GE(grey(pressed, 354, 8), grey(pressed, 528, 8) - kVisible) << "the title beside it stays raised";
    EXPECT_GE(grey(img, 78, 8), grey(img, 352, 8) - kVisible) << "not pressed: not sunken";
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(200, 5));
    EXPECT_FALSE(w.Grid->TitlePressed());
}

TEST(GridPainting, CellTypesAndRaisedFrames)
{
    TPaintedGrid w;
    TDBGridEh& g = *w.Grid;
    struct Case
    {
        const char* name;
        int col, row;
        TCellColKindEh colKind;
        TCellRowKindEh rowKind;
        int dataCol, rowIndex;
        bool raised;
    };
    const Case cases[] = {
        {"corner", 0, 0, cckIndicatorEh, crkTitleEh, -1, 0, true},
        {"title of numer", 1, 0, cckDataEh, crkTitleEh, 0, 0, true},
        {"indicator of record 3", 0, 3, cckIndicatorEh, crkDataEh, -1, 2, true},
        {"street of record 5", 3, 5, cckDataEh, crkDataEh, 2, 4, false},
    };
    for (const Case& c : cases) {
        const TCellTypeEh t = g.GetCellType(c.col, c.row);
        EXPECT_EQ(t.ColKind, c.colKind) << c.name;
        EXPECT_EQ(t.RowKind, c.rowKind) << c.name;
        EXPECT_EQ(t.DataCol, c.dataCol) << c.name;
        EXPECT_EQ(t.RowIndex, c.rowIndex) << c.name;
        EXPECT_EQ(g.CellHasRaisedFrame(c.col, c.row, t), c.raised) << c.name;
    }
    g.SetOptionsEh(g.OptionsEh() + dghData3D - dghFixed3D);
    EXPECT_TRUE(g.CellHasRaisedFrame(3, 5, g.GetCellType(3, 5))) << "raised data cells";
    EXPECT_FALSE(g.CellHasRaisedFrame(1, 0, g.GetCellType(1, 0))) << "flat titles";
    try {
        g.GetCellType(1, g.RowCount());
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Algorithm error in TCustomDBGridEh.GetCellType"));
    }
}

TEST(GridPainting, ATallerTitleRowWrapsCaptions)
{
    TPinSystemColorsEh pin;
    TPaintedGrid w;
    w.Grid->Columns()[0]->Title()->SetCaption(QStringLiteral("Номер телефона"));
    const QImage one = w.Grab();
    EXPECT_FALSE(AnyDarkPixel(one, QRect(13, 16, 63, 1))) << "one line: nothing below it";
    w.Grid->SetTitleLines(2);
    QApplication::processEvents();
    const int h = w.Grid->RowHeights(0);
    ASSERT_GT(h, 26);
    const QImage two = w.Grab();
    EXPECT_TRUE(AnyDarkPixel(two, QRect(13, 15, 63, 12))) << "the second word on the second line";
}
