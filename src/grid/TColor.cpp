#include "TColor.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include <array>
#include <optional>

namespace {

// The Windows desktop's default system colours, as RGB (index = system colour index).
constexpr std::array<TColor, 31> kWindowsDefaults = {
    RGBColor(0xC8, 0xC8, 0xC8), // clScrollBar
    RGBColor(0x00, 0x00, 0x00), // clBackground
    RGBColor(0x99, 0xB4, 0xD1), // clActiveCaption
    RGBColor(0xBF, 0xCD, 0xDB), // clInactiveCaption
    RGBColor(0xF0, 0xF0, 0xF0), // clMenu
    RGBColor(0xFF, 0xFF, 0xFF), // clWindow
    RGBColor(0x64, 0x64, 0x64), // clWindowFrame
    RGBColor(0x00, 0x00, 0x00), // clMenuText
    RGBColor(0x00, 0x00, 0x00), // clWindowText
    RGBColor(0x00, 0x00, 0x00), // clCaptionText
    RGBColor(0xB4, 0xB4, 0xB4), // clActiveBorder
    RGBColor(0xF4, 0xF7, 0xFC), // clInactiveBorder
    RGBColor(0xAB, 0xAB, 0xAB), // clAppWorkSpace
    RGBColor(0x33, 0x99, 0xFF), // clHighlight
    RGBColor(0xFF, 0xFF, 0xFF), // clHighlightText
    RGBColor(0xF0, 0xF0, 0xF0), // clBtnFace
    RGBColor(0xA0, 0xA0, 0xA0), // clBtnShadow
    RGBColor(0x6D, 0x6D, 0x6D), // clGrayText
    RGBColor(0x00, 0x00, 0x00), // clBtnText
    RGBColor(0x43, 0x4E, 0x54), // clInactiveCaptionText
    RGBColor(0xFF, 0xFF, 0xFF), // clBtnHighlight
    RGBColor(0x69, 0x69, 0x69), // cl3DDkShadow
    RGBColor(0xE3, 0xE3, 0xE3), // cl3DLight
    RGBColor(0x00, 0x00, 0x00), // clInfoText
    RGBColor(0xFF, 0xFF, 0xE1), // clInfoBk
    RGBColor(0x00, 0x00, 0x00), // (unused index 25)
    RGBColor(0x00, 0x66, 0xCC), // clHotLight
    RGBColor(0xB9, 0xD1, 0xEA), // clGradientActiveCaption
    RGBColor(0xD7, 0xE4, 0xF2), // clGradientInactiveCaption
    RGBColor(0x33, 0x99, 0xFF), // clMenuHighlight
    RGBColor(0xF0, 0xF0, 0xF0), // clMenuBar
};

std::optional<TSystemColorSourceEh> gSource;
std::optional<int> gDisplayColorCount;

// The colours a palette display always holds (the static entries of the system palette).
constexpr std::array<TColor, 20> kStaticPalette = {
    RGBColor(0x00, 0x00, 0x00), RGBColor(0x80, 0x00, 0x00), RGBColor(0x00, 0x80, 0x00), RGBColor(0x80, 0x80, 0x00),
    RGBColor(0x00, 0x00, 0x80), RGBColor(0x80, 0x00, 0x80), RGBColor(0x00, 0x80, 0x80), RGBColor(0xC0, 0xC0, 0xC0),
    RGBColor(0xC0, 0xDC, 0xC0), RGBColor(0xA6, 0xCA, 0xF0), RGBColor(0xFF, 0xFB, 0xF0), RGBColor(0xA0, 0xA0, 0xA4),
    RGBColor(0x80, 0x80, 0x80), RGBColor(0xFF, 0x00, 0x00), RGBColor(0x00, 0xFF, 0x00), RGBColor(0xFF, 0xFF, 0x00),
    RGBColor(0x00, 0x00, 0xFF), RGBColor(0xFF, 0x00, 0xFF), RGBColor(0x00, 0xFF, 0xFF), RGBColor(0xFF, 0xFF, 0xFF),
};

TSystemColorSourceEh DefaultSource()
{
    // Headless runs get fixed colours; a desktop session gets its own. The platform does not
    // change while the program runs, so it is asked once (colours are resolved for every cell).
    if (!qGuiApp)
        return TSystemColorSourceEh::WindowsDefaults;
    static const TSystemColorSourceEh source = [] {
        const QString platform = QGuiApplication::platformName();
        return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")
                   ? TSystemColorSourceEh::WindowsDefaults
                   : TSystemColorSourceEh::Palette;
    }();
    return source;
}

// The palette role that stands for a system colour, where there is one.
std::optional<std::pair<QPalette::ColorGroup, QPalette::ColorRole>> PaletteRole(int index)
{
    using R = QPalette::ColorRole;
    const auto active = QPalette::Active;
    switch (index) {
    case 4:
        return std::pair(active, R::Window); // clMenu
    case 5:
        return std::pair(active, R::Base); // clWindow
    case 7:
        return std::pair(active, R::WindowText); // clMenuText
    case 8:
        return std::pair(active, R::Text); // clWindowText
    case 13:
        return std::pair(active, R::Highlight); // clHighlight
    case 14:
        return std::pair(active, R::HighlightedText); // clHighlightText
    case 15:
        return std::pair(active, R::Button); // clBtnFace
    case 16:
        return std::pair(active, R::Dark); // clBtnShadow
    case 17:
        return std::pair(QPalette::Disabled, R::Text); // clGrayText
    case 18:
        return std::pair(active, R::ButtonText); // clBtnText
    case 20:
        return std::pair(active, R::Light); // clBtnHighlight
    case 21:
        return std::pair(active, R::Shadow); // cl3DDkShadow
    case 22:
        return std::pair(active, R::Midlight); // cl3DLight
    case 23:
        return std::pair(active, R::ToolTipText); // clInfoText
    case 24:
        return std::pair(active, R::ToolTipBase); // clInfoBk
    case 26:
        return std::pair(active, R::Link); // clHotLight
    case 29:
        return std::pair(active, R::Highlight); // clMenuHighlight
    case 30:
        return std::pair(active, R::Window); // clMenuBar
    default:
        return std::nullopt;
    }
}

} // namespace

TSystemColorSourceEh SystemColorSource()
{
    return gSource ? *gSource : DefaultSource();
}

void SetSystemColorSource(TSystemColorSourceEh source)
{
    gSource = source;
}

TPinSystemColorsEh::TPinSystemColorsEh(TSystemColorSourceEh source) : fSaved(SystemColorSource())
{
    SetSystemColorSource(source);
}

TPinSystemColorsEh::~TPinSystemColorsEh()
{
    SetSystemColorSource(fSaved);
}

TColor ColorToRGB(TColor color)
{
    if (!IsSystemColor(color))
        return color;
    const int index = int(color & 0xFF);
    if (index >= int(kWindowsDefaults.size()))
        return clBlack;
    if (SystemColorSource() == TSystemColorSourceEh::Palette && qGuiApp) {
        if (const auto role = PaletteRole(index))
            return QColorToColor(QGuiApplication::palette().color(role->first, role->second));
    }
    return kWindowsDefaults[std::size_t(index)];
}

QColor ColorToQColor(TColor color)
{
    if (color == clNone)
        return QColor(Qt::transparent);
    const TColor rgb = ColorToRGB(color) & 0xFFFFFF;
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor QColorToColor(const QColor& color)
{
    const QColor c = color.toRgb();
    return RGBColor(c.red(), c.green(), c.blue());
}

int DisplayColorCountEh()
{
    if (gDisplayColorCount)
        return *gDisplayColorCount;
    const QScreen* screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    const int depth = screen ? screen->depth() : 32;
    return depth > 8 ? -1 : (1 << depth);
}

TPinDisplayColorCountEh::TPinDisplayColorCountEh(int count)
    : fSaved(gDisplayColorCount.value_or(0)), fHadSaved(gDisplayColorCount.has_value())
{
    gDisplayColorCount = count;
}

TPinDisplayColorCountEh::~TPinDisplayColorCountEh()
{
    if (fHadSaved)
        gDisplayColorCount = fSaved;
    else
        gDisplayColorCount.reset();
}

TColor NearestDisplayColorEh(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    if (rgb == clNone || rgb == clDefault)
        return rgb;
    const int count = DisplayColorCountEh();
    if (count < 0 || count > 256)
        return rgb & 0xFFFFFF;
    TColor best = clBlack;
    int bestDistance = -1;
    for (TColor c : kStaticPalette) {
        const int dr = GetRValue(c) - GetRValue(rgb);
        const int dg = GetGValue(c) - GetGValue(rgb);
        const int db = GetBValue(c) - GetBValue(rgb);
        const int d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    return best;
}
