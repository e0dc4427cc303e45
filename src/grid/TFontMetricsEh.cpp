#include "TFontMetricsEh.h"

#include "TGridLayoutEh.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QRawFont>
#include <QScreen>
#include <QtEndian>

#include <cmath>

namespace {

struct FaceTables
{
    bool Valid = false;
    int UnitsPerEm = 0;
    int WinAscent = 0;
    int WinDescent = 0;
    int AvgCharWidth = 0;
    int HheaAscender = 0;
    int HheaDescender = 0;
    int HheaLineGap = 0;
};

quint16 U16(const QByteArray& t, int offset)
{
    return qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(t.constData()) + offset);
}

qint16 S16(const QByteArray& t, int offset)
{
    return qint16(U16(t, offset));
}

// The vertical metrics of the face a font resolves to, read from its OS/2, head and hhea tables.
FaceTables ReadFaceTables(const QFont& font)
{
    FaceTables f;
    QFont probe(font);
    probe.setPixelSize(64);
    const QRawFont raw = QRawFont::fromFont(probe);
    if (!raw.isValid())
        return f;
    const QByteArray os2 = raw.fontTable("OS/2");
    const QByteArray head = raw.fontTable("head");
    const QByteArray hhea = raw.fontTable("hhea");
    if (os2.size() < 78 || head.size() < 20)
        return f;
    f.UnitsPerEm = U16(head, 18);
    f.AvgCharWidth = S16(os2, 2);
    f.WinAscent = U16(os2, 74);
    f.WinDescent = U16(os2, 76);
    if (hhea.size() >= 10) {
        f.HheaAscender = S16(hhea, 4);
        f.HheaDescender = S16(hhea, 6);
        f.HheaLineGap = S16(hhea, 8);
    }
    f.Valid = f.UnitsPerEm > 0;
    return f;
}

const FaceTables& FaceTablesFor(const QFont& font)
{
    static QHash<QString, FaceTables> cache;
    QFont key(font);
    key.setPixelSize(64);
    const QString k = key.key();
    auto it = cache.find(k);
    if (it == cache.end())
        it = cache.insert(k, ReadFaceTables(font));
    return *it;
}

int Scaled(int units, int pixels, int unitsPerEm)
{
    return int(std::lround(double(units) * pixels / unitsPerEm));
}

int EmPixels(const QFont& font)
{
    if (font.pixelSize() > 0)
        return font.pixelSize();
    return int(std::lround(font.pointSizeF() * ScreenPixelsPerInchEh() / 72.0));
}

TTextMetricEh Measure(const QFont& font)
{
    TTextMetricEh m;
    const int em = EmPixels(font);
    const FaceTables& t = FaceTablesFor(font);
    const QFontMetrics qm(font);
    if (t.Valid) {
        m.Ascent = Scaled(t.WinAscent, em, t.UnitsPerEm);
        m.Descent = Scaled(t.WinDescent, em, t.UnitsPerEm);
        // Line gap beyond what the Windows ascent and descent already cover.
        const int hheaHeight = t.HheaAscender - t.HheaDescender;
        const int gap = t.HheaLineGap - ((t.WinAscent + t.WinDescent) - hheaHeight);
        m.ExternalLeading = gap > 0 ? Scaled(gap, em, t.UnitsPerEm) : 0;
        m.AveCharWidth = Scaled(t.AvgCharWidth, em, t.UnitsPerEm);
    } else {
        m.Ascent = qm.ascent();
        m.Descent = qm.descent();
        m.ExternalLeading = std::max(0, qm.leading());
        m.AveCharWidth = qm.averageCharWidth();
    }
    m.Height = m.Ascent + m.Descent;
    m.InternalLeading = std::max(0, m.Height - em);
    m.Overhang = 0;
    m.ZeroWidth = qm.horizontalAdvance(QLatin1Char('0'));
    return m;
}

} // namespace

TTextMetricEh TextMetricsEh(const QFont& font)
{
    static QHash<QString, TTextMetricEh> cache;
    const QString k = font.key();
    auto it = cache.find(k);
    if (it == cache.end())
        it = cache.insert(k, Measure(font));
    return *it;
}

int TextWidthEh(const QFont& font, const QString& text)
{
    return QFontMetrics(font).horizontalAdvance(text);
}

int CellHeightToEmPixelsEh(const QFont& font, int cellHeight)
{
    const FaceTables& t = FaceTablesFor(font);
    if (!t.Valid || t.WinAscent + t.WinDescent <= 0)
        return std::max(1, cellHeight);
    return std::max(1, MulDiv(cellHeight, t.UnitsPerEm, t.WinAscent + t.WinDescent));
}

void EnsureTahomaEh()
{
    static bool done = false;
    if (done || !qGuiApp)
        return;
    done = true;
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive))
        return;
    for (const char* path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        const QString file = QString::fromLatin1(path);
        if (QFile::exists(file))
            QFontDatabase::addApplicationFont(file);
    }
}

int ScreenPixelsPerInchEh()
{
    if (!qGuiApp)
        return 96;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96;
    const int dpi = int(std::lround(screen->logicalDotsPerInchX()));
    return dpi > 0 ? dpi : 96;
}

int ScaleForScreenEh(int pixelsAt96)
{
    return MulDiv(pixelsAt96, ScreenPixelsPerInchEh(), 96);
}

int ScrollBarExtentEh()
{
    return ScaleForScreenEh(17);
}
