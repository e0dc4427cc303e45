#include "TCanvasEh.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QTextLayout>

#include <memory>

struct TCanvasEh::TFontEntry
{
    TFontEh Key;
    QFont Font;
    TTextMetricEh Metrics;
    QFontMetrics Measure;

    explicit TFontEntry(const TFontEh& key) : Key(key), Font(key.ToQFont()), Metrics(TextMetricsEh(Font)), Measure(Font)
    {
    }
};

namespace {

// Fonts made so far: a grid writes with a handful of them, so a short list searched from the most
// recent one is all the cache needs. Canvases share the entries, so dropping the oldest of a full
// list never pulls a font from under a canvas that still writes with it.
constexpr std::size_t kMaxFontEntries = 32;
std::vector<std::shared_ptr<const TCanvasEh::TFontEntry>>& FontEntries()
{
    static std::vector<std::shared_ptr<const TCanvasEh::TFontEntry>> entries;
    return entries;
}

const QString kEllipsis = QStringLiteral("...");

// Windows draws a line of text with its cell top at y; Qt places the baseline.
void DrawLine(QPainter& p, int x, int y, const TTextMetricEh& m, const QString& text, bool rightToLeft)
{
    if (rightToLeft) {
        const Qt::LayoutDirection saved = p.layoutDirection();
        p.setLayoutDirection(Qt::RightToLeft);
        p.drawText(QPoint(x, y + m.Ascent), text);
        p.setLayoutDirection(saved);
    } else {
        p.drawText(QPoint(x, y + m.Ascent), text);
    }
}

// Word-wrapped text within a rectangle as the platform's extended text drawing lays it out: lines
// of the font's text height, tabs expanded, aligned left, right or centred, shortened with "..."
// where a line does not fit when asked. Draws when painter is given; returns the text height.
int LayoutTextEx(QPainter* painter, const TCanvasEh& canvas, const QRect& r, bool wordBreak, bool endEllipsis,
                 TAlignment alignment, bool rightToLeft, const QString& text)
{
    const TTextMetricEh& m = canvas.Metrics();
    QString t = text;
    t.remove(u'\r');
    t.replace(u'\n', QChar::LineSeparator);
    QTextOption option;
    option.setWrapMode(wordBreak ? QTextOption::WordWrap : QTextOption::ManualWrap);
    option.setTabStopDistance(8.0 * std::max(1, m.AveCharWidth));
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    QTextLayout layout(t, canvas.QtFont());
    layout.setTextOption(option);
    layout.beginLayout();
    std::vector<QTextLine> lines;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(std::max(0, r.width()));
        lines.push_back(line);
    }
    layout.endLayout();
    const int height = int(lines.size()) * m.Height;
    if (!painter)
        return height;
    painter->setFont(canvas.QtFont());
    painter->setPen(ColorToQColor(canvas.FontColor()));
    int y = r.top();
    for (const QTextLine& line : lines) {
        QString s = t.mid(line.textStart(), line.textLength());
        while (!s.isEmpty() && (s.back() == QChar::LineSeparator || s.back() == u' '))
            s.chop(1);
        int w = canvas.TextWidth(s);
        if (endEllipsis && w > r.width()) {
            s = EllipsisFitEh(s, r.width(), [&canvas](const QString& x) { return canvas.TextWidth(x); });
            w = canvas.TextWidth(s);
        }
        int x = r.left();
        if (alignment == taRightJustify)
            x = r.left() + r.width() - w;
        else if (alignment == taCenter)
            x = r.left() + (r.width() - w) / 2;
        DrawLine(*painter, x, y, m, s, rightToLeft);
        y += m.Height;
    }
    return height;
}

// The multi-line path (and the off-screen one): the rectangle less dx and dy, then the margins.
void DrawTextEx(QPainter& painter, const TCanvasEh& canvas, const QRect& rect, bool rightToLeft, int leftMargin,
                int rightMargin, bool endEllipsis, bool wordBreak, TTextLayout layout, TAlignment alignment,
                const QString& text, int dy, int dx)
{
    QRect r = rect.adjusted(dx, dy, -dx, -dy);
    if (dx > 0)
        r.setBottom(r.bottom() + 1);
    r.adjust(leftMargin, 0, -rightMargin, 0);
    if (layout != tlTop) {
        const int h = LayoutTextEx(nullptr, canvas, r, wordBreak, endEllipsis, alignment, rightToLeft, text);
        const int top = layout == tlCenter ? r.top() + r.height() / 2 - h / 2 : r.top() + r.height() - h;
        r.setTop(top);
    }
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    LayoutTextEx(&painter, canvas, r, wordBreak, endEllipsis, alignment, rightToLeft, text);
    painter.restore();
}

// The bitmap that text on brushes the display cannot show exactly goes through; it only grows.
QImage& SharedTextBitmap(const QSize& atLeast)
{
    static QImage bitmap;
    if (bitmap.width() < atLeast.width() || bitmap.height() < atLeast.height())
        bitmap = QImage(std::max(bitmap.width(), atLeast.width()), std::max(bitmap.height(), atLeast.height()),
                        QImage::Format_RGB32);
    return bitmap;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TCanvasEh

void TCanvasEh::SetFont(const TFontEh& font)
{
    if (fEntry && fEntry->Key.SameHandle(font))
        return;
    auto& entries = FontEntries();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if ((*it)->Key.SameHandle(font)) {
            fEntry = *it;
            return;
        }
    if (entries.size() >= kMaxFontEntries)
        entries.erase(entries.begin());
    entries.push_back(std::make_shared<const TFontEntry>(font));
    fEntry = entries.back();
}

const TCanvasEh::TFontEntry& TCanvasEh::Entry() const
{
    if (!fEntry)
        const_cast<TCanvasEh*>(this)->SetFont(TFontEh());
    return *fEntry;
}

const QFont& TCanvasEh::QtFont() const
{
    return Entry().Font;
}

const TTextMetricEh& TCanvasEh::Metrics() const
{
    return Entry().Metrics;
}

int TCanvasEh::TextWidth(const QString& text) const
{
    return Entry().Measure.horizontalAdvance(text);
}

void TCanvasEh::FillRect(const QRect& rect) const
{
    if (rect.isEmpty() || fBrushColor == clNone)
        return;
    fPainter.fillRect(rect, ColorToQColor(fBrushColor));
}

void TCanvasEh::DrawEdge(const QRect& rect, bool raised) const
{
    if (rect.isEmpty())
        return;
    const QColor light = ColorToQColor(raised ? clBtnHighlight : clBtnShadow);
    const QColor dark = ColorToQColor(raised ? clBtnShadow : clBtnHighlight);
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();
    fPainter.fillRect(QRect(l, t, std::max(0, r - l), 1), light);
    fPainter.fillRect(QRect(l, t, 1, std::max(0, b - t)), light);
    fPainter.fillRect(QRect(l, b, r - l + 1, 1), dark);
    fPainter.fillRect(QRect(r, t, 1, b - t + 1), dark);
}

void TCanvasEh::DrawFocusRect(const QRect& rect) const
{
    if (rect.isEmpty())
        return;
    // Every pixel of the frame once (a corner inverted twice would not show), every other one.
    QPolygon points;
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();
    auto add = [&points](int x, int y) {
        if (((x + y) & 1) == 0)
            points << QPoint(x, y);
    };
    for (int x = l; x <= r; ++x) {
        add(x, t);
        if (b > t)
            add(x, b);
    }
    for (int y = t + 1; y < b; ++y) {
        add(l, y);
        if (r > l)
            add(r, y);
    }
    fPainter.save();
    fPainter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    fPainter.setPen(QPen(Qt::white, 0));
    fPainter.drawPoints(points);
    fPainter.restore();
}

// ---------------------------------------------------------------------------------------------
// The text writer

QString EllipsisFitEh(const QString& text, int width, const std::function<int(const QString&)>& measure,
                      std::vector<QString>* tries)
{
    if (measure(text) <= width)
        return text;
    const int length = int(text.size());
    QString s = text;
    for (int i = 1; i <= length; ++i) {
        s = text.left(std::max(0, length - i - 1)) + kEllipsis;
        if (tries)
            tries->push_back(s);
        if (measure(s) <= width)
            break;
    }
    return s;
}

void DrawCellText(TCanvasEh& canvas, const QRect& rect, bool fill, bool rightToLeft, int leftMargin, int rightMargin,
                  bool endEllipsis, bool multiLine, TTextLayout layout, TAlignment alignment, const QString& text,
                  int dy, int dx)
{
    QPainter& p = canvas.Painter();
    const TColor brush = canvas.BrushColor();
    if (brush != clNone && NearestDisplayColorEh(brush) != (ColorToRGB(brush) & 0xFFFFFF)) {
        // A brush the display would dither: the text is laid out on a bitmap filled with it and
        // copied over, always through the extended text drawing.
        if (rect.isEmpty())
            return;
        QImage& bitmap = SharedTextBitmap(rect.size());
        {
            QPainter bp(&bitmap);
            const QRect area(QPoint(0, 0), rect.size());
            bp.fillRect(area, ColorToQColor(brush));
            DrawTextEx(bp, canvas, area, rightToLeft, leftMargin, rightMargin, endEllipsis, multiLine, layout,
                       alignment, text, dy, dx);
        }
        p.drawImage(rect.topLeft(), bitmap, QRect(QPoint(0, 0), rect.size()));
        return;
    }
    if (multiLine) {
        if (fill)
            canvas.FillRect(rect);
        DrawTextEx(p, canvas, rect, rightToLeft, leftMargin, rightMargin, endEllipsis, true, layout, alignment, text,
                   dy, dx);
        return;
    }

    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.left() + rect.width(); // first pixel after the rectangle
    const int bottom = rect.top() + rect.height();
    QString s = text;
    int width = -1;
    if (endEllipsis) {
        s = EllipsisFitEh(text, rect.width() - dx, [&canvas](const QString& x) { return canvas.TextWidth(x); });
        width = canvas.TextWidth(s);
    }
    auto textWidth = [&] {
        if (width < 0)
            width = canvas.TextWidth(s);
        return width;
    };
    int x = left + dx;
    if (alignment == taRightJustify)
        x = right - textWidth() - 3;
    else if (alignment == taCenter)
        x = left + std::max(0, right - left) / 2 - textWidth() / 2;

    const TTextMetricEh& m = canvas.Metrics();
    int y = top + dy;
    if (m.Height < rect.height() - dy) {
        if (layout == tlCenter)
            y = (top + bottom - m.Height) / 2;
        else if (layout == tlBottom)
            y = bottom - m.Height;
    }

    if (fill)
        canvas.FillRect(rect);
    if (s.isEmpty())
        return;
    p.setFont(canvas.QtFont());
    p.setPen(ColorToQColor(canvas.FontColor()));
    // Left-aligned text is not measured for its own sake: clipping costs less than measuring.
    const bool inside = width >= 0 && x >= left && y >= top && y + m.Height <= bottom && x + width <= right;
    if (inside) {
        DrawLine(p, x, y, m, s, rightToLeft);
    } else {
        p.save();
        p.setClipRect(rect, Qt::IntersectClip);
        DrawLine(p, x, y, m, s, rightToLeft);
        p.restore();
    }
}
