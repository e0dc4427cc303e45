#include "TGridResourcesEh.h"

#include "Exception.h"
#include "TDBGridEhStyle.h"

#include <QPixmap>

#include <array>
#include <memory>

// The compiled-in resources of a static library must be registered by hand (outside any namespace).
static void RegisterGridQrcEh()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(grid);
        return true;
    }();
    (void)registered;
}

namespace {

struct TGridResources
{
    TImageListEh Indicators{6, 11};
    TImageListEh SortMarkers{10, 9};
    std::array<QCursor, 3> Cursors;
};

std::unique_ptr<TGridResources> gResources;

struct TCursorDef
{
    const char* name;
    int hotX, hotY;
};
constexpr TCursorDef kCursors[] = {{"DOWNCUREH", 8, 12}, {"RIGHTCUREH", 12, 8}, {"LEFTCUREH", 3, 8}};

int CursorIndex(const QString& name)
{
    for (int i = 0; i < 3; ++i)
        if (name == QLatin1String(kCursors[i].name))
            return i;
    return -1;
}

// The white of an image recoloured: the search-colour variant of the white arrow.
QImage Recoloured(const QImage& image, QRgb from, QRgb to)
{
    QImage img = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (from & 0xFFFFFF))
                line[x] = to;
    }
    return img;
}

std::unique_ptr<TGridResources> LoadAll()
{
    auto r = std::make_unique<TGridResources>();
    for (const char* name : {"DBGARROWEH", "DBEDITEH", "DBINSERTEH", "DBMULTIDOTEH", "DBMULTIARROWEH"})
        r->Indicators.Add(LoadGridBitmapEh(QLatin1String(name)), clWhite);
    const QImage white = LoadGridBitmapEh(QStringLiteral("DBGARROWEHW"));
    r->Indicators.Add(white, clTeal);
    r->Indicators.Add(Recoloured(white, qRgb(255, 255, 255), qRgb(255, 255, 0)), clTeal);
    r->SortMarkers.Add(LoadGridBitmapEh(QStringLiteral("DBSMDOWNEH")), clFuchsia);
    r->SortMarkers.Add(LoadGridBitmapEh(QStringLiteral("DBSMUPEH")), clFuchsia);
    for (int i = 0; i < 3; ++i)
        r->Cursors[std::size_t(i)] = LoadGridCursorEh(QLatin1String(kCursors[i].name));
    return r;
}

const TGridResources& Resources()
{
    if (!gResources)
        InitGridResourcesEh();
    return *gResources;
}

} // namespace

QImage LoadGridBitmapEh(const QString& name)
{
    RegisterGridQrcEh();
    const QImage image(QStringLiteral(":/grid/") + name);
    if (image.isNull())
        throw Exception(QStringLiteral("Resource %1 not found").arg(name));
    return image;
}

QCursor LoadGridCursorEh(const QString& name)
{
    RegisterGridQrcEh();
    const QPixmap pixmap(QStringLiteral(":/grid/") + name);
    const int i = CursorIndex(name);
    if (pixmap.isNull() || i < 0)
        throw Exception(QStringLiteral("Cannot load cursor resource"));
    return QCursor(pixmap, kCursors[i].hotX, kCursors[i].hotY);
}

void InitGridResourcesEh()
{
    if (!gResources)
        gResources = LoadAll();
    DBGridEhStyle();
}

const TImageListEh& IndicatorImagesEh()
{
    return Resources().Indicators;
}

const TImageListEh& SortMarkerImagesEh()
{
    return Resources().SortMarkers;
}

const QCursor& GridCursorEh(TGridCursorEh which)
{
    return Resources().Cursors[std::size_t(which)];
}
