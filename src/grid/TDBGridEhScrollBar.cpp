#include "TDBGridEhScrollBar.h"

#include "TCustomDBGridEh.h"
#include "TFontMetricsEh.h"

#include <QApplication>

TDBGridEhScrollBar::TDBGridEhScrollBar(TCustomDBGridEh* grid, Qt::Orientation orientation)
    : fGrid(grid), fOrientation(orientation)
{
}

TDBGridEhScrollBar::~TDBGridEhScrollBar()
{
    QObject::disconnect(fExtConnection);
    QObject::disconnect(fExtReleaseConnection);
    QObject::disconnect(fExtMoveConnection);
}

void TDBGridEhScrollBar::SetVisible(bool value)
{
    if (value == fVisible)
        return;
    fVisible = value;
    if (fOrientation == Qt::Vertical)
        fGrid->RefreshVertScrollBar();
    fGrid->RequestLayout();
}

void TDBGridEhScrollBar::SetExtScrollBar(QScrollBar* value)
{
    if (value == fExtScrollBar)
        return;
    QObject::disconnect(fExtConnection);
    QObject::disconnect(fExtReleaseConnection);
    QObject::disconnect(fExtMoveConnection);
    fExtScrollBar = value;
    if (value && fOrientation == Qt::Vertical) {
        value->setTracking(false);
        TCustomDBGridEh* grid = fGrid;
        fExtConnection = QObject::connect(value, &QScrollBar::actionTriggered, grid, [grid, value](int action) {
            if (value->isSliderDown())
                return; // only the release of a held thumb moves the grid
            grid->VertScrollBarAction(action);
            value->setSliderPosition(value->value());
        });
        fExtReleaseConnection = QObject::connect(value, &QScrollBar::sliderReleased, grid, [grid, value] {
            grid->VertThumbReleased(value->sliderPosition());
            value->setSliderPosition(value->value());
        });
        fExtMoveConnection = QObject::connect(value, &QScrollBar::sliderMoved, grid,
                                              [grid](int position) { grid->VertThumbMoved(position); });
    }
    if (fOrientation == Qt::Vertical)
        fGrid->RefreshVertScrollBar();
    fGrid->RequestLayout();
}

bool TDBGridEhScrollBar::IsScrollBarShowing() const
{
    return fOrientation == Qt::Vertical ? fGrid->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn
                                        : fGrid->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
}

TVertDBGridEhScrollBar::TVertDBGridEhScrollBar(TCustomDBGridEh* grid) : TDBGridEhScrollBar(grid, Qt::Vertical) {}

void TVertDBGridEhScrollBar::SetVisibleMode(TScrollBarVisibleModeEh value)
{
    if (value == fVisibleMode)
        return;
    fVisibleMode = value;
    fGrid->RefreshVertScrollBar();
    fGrid->RequestLayout();
}

TGridScrollBarEh::TGridScrollBarEh(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

void TGridScrollBarEh::mousePressEvent(QMouseEvent* event)
{
    QScrollBar::mousePressEvent(event);
    fDragged = sliderPosition();
}

void TGridScrollBarEh::mouseMoveEvent(QMouseEvent* event)
{
    QScrollBar::mouseMoveEvent(event);
    if (isSliderDown())
        fDragged = sliderPosition();
}

TScrollBarStyleEh::TScrollBarStyleEh() = default;

int TScrollBarStyleEh::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (metric == PM_ScrollBarExtent)
        return ScrollBarExtentEh();
    return QProxyStyle::pixelMetric(metric, option, widget);
}

TScrollBarStyleEh* TScrollBarStyleEh::Instance()
{
    static QPointer<TScrollBarStyleEh> instance;
    if (!instance) {
        instance = new TScrollBarStyleEh();
        instance->setParent(qApp);
    }
    return instance;
}
