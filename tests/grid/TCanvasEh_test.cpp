// The grid's text writer and drawing helpers, rendered into images and compared with the text
// drawn where the rules put it.
#include "PaintCheck.h"
#include "TCanvasEh.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

const TFontEh kTahoma = [] {
    TFontEh f;
    f.Name = QStringLiteral("Tahoma");
    f.Height = -11;
    return f;
}();
constexpr QRgb kSentinel = 0x123456;

struct TCellCase
{
    const char* name;
    QRect rect;
    TAlignment alignment;
    TTextLayout layout;
    bool ellipsis;
    QString text;
    int dx, dy;
};

// The text the writer should produce: the rectangle filled, the line at (x, y), clipped.
QImage Reference(const QRect& rect, const QString& text, int x, int y, QRgb back = 0xFFFFFF)
{
    QImage img(120, 60, QImage::Format_RGB32);
    img.fill(kSentinel);
    QPainter p(&img);
    p.fillRect(rect, QColor::fromRgb(back));
    TCanvasEh c(p);
    c.SetFont(kTahoma);
    p.setClipRect(rect);
    p.setFont(c.QtFont());
    p.setPen(Qt::black);
    p.drawText(QPoint(x, y + c.Metrics().Ascent), text);
    return img;
}

QImage Written(const TCellCase& k, bool fill = true, TColor brush = clWhite)
{
    QImage img(120, 60, QImage::Format_RGB32);
    img.fill(kSentinel);
    QPainter p(&img);
    TCanvasEh c(p);
    c.SetFont(kTahoma);
    c.SetFontColor(clBlack);
    c.SetBrushColor(brush);
    DrawCellText(c, k.rect, fill, false, 0, 0, k.ellipsis, false, k.layout, k.alignment, k.text, k.dy, k.dx);
    return img;
}

int Width(const QString& text)
{
    QImage img(1, 1, QImage::Format_RGB32);
    QPainter p(&img);
    TCanvasEh c(p);
    c.SetFont(kTahoma);
    return c.TextWidth(text);
}

int TextHeight()
{
    return TextMetricsEh(kTahoma.ToQFont()).Height;
}

} // namespace

TEST(DrawCellText, SingleLinePositions)
{
    const QRect cell(10, 5, 60, 17); // left 10, right edge 70 (first pixel after), bottom 22
    const QString t = QStringLiteral("Дом 12");
    const int w = Width(t);
    const int h = TextHeight();
    struct Row
    {
        TCellCase k;
        int x, y;
    };
    const Row rows[] = {
        {{"left: 2 in, 2 down", cell, taLeftJustify, tlTop, false, t, 2, 2}, 12, 7},
        {{"raised left: 1 in", cell, taLeftJustify, tlTop, false, t, 1, 1}, 11, 6},
        {{"right: 3 from the edge whatever dx", cell, taRightJustify, tlTop, false, t, 2, 2}, 70 - w - 3, 7},
        {{"centre: halves in integers", cell, taCenter, tlTop, false, t, 2, 2}, 10 + 60 / 2 - w / 2, 7},
        {{"centre layout", cell, taLeftJustify, tlCenter, false, t, 2, 2}, 12, (5 + 22 - h) / 2},
        {{"bottom layout", cell, taLeftJustify, tlBottom, false, t, 2, 2}, 12, 22 - h},
        {{"text too high for centring stays at the top", QRect(10, 5, 60, h), taLeftJustify, tlCenter, false, t, 2, 2},
         12,
         7},
    };
    for (const Row& r : rows) {
        const QImage got = Written(r.k);
        const QImage want = Reference(r.k.rect, r.k.text, r.x, r.y);
        EXPECT_EQ(FirstPixelDifference(got, want, got.rect()), "") << r.k.name;
    }
}

TEST(DrawCellText, EllipsisLoopShortensOneCharacterAtATime)
{
    std::vector<QString> tries;
    const auto tenPerChar = [](const QString& s) { return int(s.size()) * 10; };
    // Room for two characters and the dots: four, three, then two characters are tried.
    EXPECT_EQ(EllipsisFitEh(QStringLiteral("abcdef"), 50, tenPerChar, &tries), QStringLiteral("ab..."));
    EXPECT_EQ(tries,
              (std::vector<QString>{QStringLiteral("abcd..."), QStringLiteral("abc..."), QStringLiteral("ab...")}));
    tries.clear();
    EXPECT_EQ(EllipsisFitEh(QStringLiteral("abcdef"), 60, tenPerChar, &tries), QStringLiteral("abcdef")) << "it fits";
    EXPECT_TRUE(tries.empty());
    tries.clear();
    EXPECT_EQ(EllipsisFitEh(QStringLiteral("abc"), 5, tenPerChar, &tries), QStringLiteral("..."))
        << "after length tries the dots alone stay";
    EXPECT_EQ(tries.size(), 3u);

    // Written: the rectangle's width less dx is the room.
    const QString shortened = QStringLiteral("Вл...");
    const QRect rect(10, 5, Width(shortened) + 2, 17);
    const TCellCase k{"", rect, taLeftJustify, tlTop, true, QStringLiteral("Владел"), 2, 2};
    EXPECT_EQ(FirstPixelDifference(Written(k), Reference(rect, shortened, 12, 7), QRect(0, 0, 120, 60)), "");
}

TEST(DrawCellText, WithoutEllipsisTheTextIsClippedAtTheRectangle)
{
    const QRect rect(10, 5, 30, 17);
    const TCellCase k{"", rect, taLeftJustify, tlTop, false, QStringLiteral("Иванов-Петров Сидор"), 2, 2};
    const QImage got = Written(k);
    EXPECT_EQ(FirstPixelDifference(got, Reference(rect, k.text, 12, 7), got.rect()), "");
    EXPECT_TRUE(AllPixels(got, QRect(40, 0, 80, 60), kSentinel)) << "nothing right of the rectangle";
}

TEST(DrawCellText, FillFlagAndTransparentText)
{
    const QRect rect(10, 5, 60, 17);
    const TCellCase k{"", rect, taLeftJustify, tlTop, false, QStringLiteral("x"), 2, 2};
    const QImage got = Written(k, false);
    EXPECT_EQ(got.pixel(60, 10) & 0xFFFFFF, kSentinel) << "no fill: the background stays";
    EXPECT_EQ(Written(k, true).pixel(60, 10) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(DrawCellText, ABrushThePaletteDisplayCannotShowGoesThroughTheBitmap)
{
    TPinDisplayColorCountEh palette(256);
    const TColor odd = RGBColor(0x12, 0x9A, 0x56);
    ASSERT_NE(NearestDisplayColorEh(odd), odd);
    const QRect rect(10, 5, 60, 17);
    const QString t = QStringLiteral("42");
    // The extended text drawing places right-aligned text at the rectangle less dx, and fills the
    // rectangle whatever the fill flag says.
    const QImage got = Written({"", rect, taRightJustify, tlTop, false, t, 2, 2}, false, odd);
    const QImage want = Reference(rect, t, 70 - 2 - Width(t), 7, qRgb(0x12, 0x9A, 0x56));
    EXPECT_EQ(FirstPixelDifference(got, want, got.rect()), "");
    TPinDisplayColorCountEh trueColour(-1);
    EXPECT_EQ(NearestDisplayColorEh(odd), odd);
}

TEST(DrawCellText, MultiLineWrapsWithinTheRectangleLessTheOffsets)
{
    const int h = TextHeight();
    const QString first = QStringLiteral("Улица");
    const QRect rect(10, 5, Width(first) + 4 + 6, 2 * h + 6);
    QImage got(120, 60, QImage::Format_RGB32);
    got.fill(kSentinel);
    {
        QPainter p(&got);
        TCanvasEh c(p);
        c.SetFont(kTahoma);
        c.SetFontColor(clBlack);
        c.SetBrushColor(clWhite);
        DrawCellText(c, rect, true, false, 0, 0, false, true, tlTop, taLeftJustify, QStringLiteral("Улица Ленина"), 2,
                     2);
    }
    QImage want = Reference(rect, first, 12, 7);
    {
        QPainter p(&want);
        TCanvasEh c(p);
        c.SetFont(kTahoma);
        p.setClipRect(rect);
        p.setFont(c.QtFont());
        p.setPen(Qt::black);
        p.drawText(QPoint(12, 7 + h + c.Metrics().Ascent), QStringLiteral("Ленина"));
    }
    EXPECT_EQ(FirstPixelDifference(got, want, got.rect()), "");
}

TEST(TCanvasEh, EdgesAndTheInvertingFocusFrame)
{
    TPinSystemColorsEh pin;
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    const QRect r(2, 3, 10, 8); // right 11, bottom 10
    {
        QPainter p(&img);
        TCanvasEh c(p);
        c.DrawEdge(r, true);
    }
    const QRgb light = ColorToQColor(clBtnHighlight).rgb() & 0xFFFFFF;
    const QRgb shadow = ColorToQColor(clBtnShadow).rgb() & 0xFFFFFF;
    EXPECT_EQ(img.pixel(2, 3) & 0xFFFFFF, light);
    EXPECT_EQ(img.pixel(10, 3) & 0xFFFFFF, light);
    EXPECT_EQ(img.pixel(11, 3) & 0xFFFFFF, shadow) << "the top right corner is shadow";
    EXPECT_EQ(img.pixel(2, 10) & 0xFFFFFF, shadow) << "the bottom left corner is shadow";
    EXPECT_EQ(img.pixel(11, 10) & 0xFFFFFF, shadow);
    {
        QPainter p(&img);
        TCanvasEh c(p);
        c.DrawEdge(r, false);
    }
    EXPECT_EQ(img.pixel(2, 3) & 0xFFFFFF, shadow) << "sunken: the other way round";
    EXPECT_EQ(img.pixel(11, 10) & 0xFFFFFF, light);

    QImage back(20, 20, QImage::Format_RGB32);
    back.fill(QColor(0x33, 0x99, 0xFF));
    QImage framed = back;
    {
        QPainter p(&framed);
        TCanvasEh(p).DrawFocusRect(r);
    }
    int inverted = 0;
    for (int x = r.left(); x <= r.right(); ++x)
        if ((framed.pixel(x, r.top()) & 0xFFFFFF) == (~back.pixel(x, r.top()) & 0xFFFFFF))
            ++inverted;
    EXPECT_EQ(inverted, 5) << "every other pixel of the top line is inverted";
    EXPECT_EQ(framed.pixel(5, 6), back.pixel(5, 6)) << "the inside stays";
    {
        QPainter p(&framed);
        TCanvasEh(p).DrawFocusRect(r);
    }
    EXPECT_EQ(FirstPixelDifference(framed, back, back.rect()), "") << "drawn twice, it is gone";
}
