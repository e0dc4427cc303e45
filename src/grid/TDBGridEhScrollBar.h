#pragma once
// The data grid's scroll-bar settings: whether its bar is shown at all, whether dragging the thumb
// moves the cursor at once, an external scroll bar control that takes the grid's values instead,
// and for the vertical bar when it shows.

#include <QPointer>
#include <QProxyStyle>
#include <QScrollBar>

class TCustomDBGridEh;

enum TScrollBarVisibleModeEh { sbAlwaysShowEh, sbNeverShowEh, sbAutoShowEh };

class TDBGridEhScrollBar
{
public:
    TDBGridEhScrollBar(TCustomDBGridEh* grid, Qt::Orientation orientation);
    virtual ~TDBGridEhScrollBar();
    TDBGridEhScrollBar(const TDBGridEhScrollBar&) = delete;
    TDBGridEhScrollBar& operator=(const TDBGridEhScrollBar&) = delete;

    Qt::Orientation Orientation() const { return fOrientation; }
    bool Visible() const { return fVisible; }
    void SetVisible(bool value);
    bool Tracking() const { return fTracking; }
    void SetTracking(bool value) { fTracking = value; }
    // An external scroll bar (not owned) that shows the grid's position and drives it.
    QScrollBar* ExtScrollBar() const { return fExtScrollBar; }
    void SetExtScrollBar(QScrollBar* value);
    // The grid's own bar is shown now.
    bool IsScrollBarShowing() const;

protected:
    TCustomDBGridEh* fGrid;

private:
    Qt::Orientation fOrientation;
    bool fVisible = true;
    bool fTracking = false;
    QPointer<QScrollBar> fExtScrollBar;
    QMetaObject::Connection fExtConnection;
    QMetaObject::Connection fExtReleaseConnection;
    QMetaObject::Connection fExtMoveConnection;
};

class TVertDBGridEhScrollBar : public TDBGridEhScrollBar
{
public:
    explicit TVertDBGridEhScrollBar(TCustomDBGridEh* grid);
    TScrollBarVisibleModeEh VisibleMode() const { return fVisibleMode; }
    void SetVisibleMode(TScrollBarVisibleModeEh value);

private:
    TScrollBarVisibleModeEh fVisibleMode = sbAutoShowEh;
};

// Scroll bars as thick as the Windows ones (17 pixels at 96 dpi), whatever the desktop style.
class TScrollBarStyleEh : public QProxyStyle
{
public:
    TScrollBarStyleEh();
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    // One style object shared by every grid's scroll bars.
    static TScrollBarStyleEh* Instance();
};
