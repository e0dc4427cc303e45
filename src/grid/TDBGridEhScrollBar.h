#pragma once
// The data grid's scroll-bar settings: whether its bar is shown at all, whether dragging the thumb
// moves the cursor at once, an external scroll bar control that takes the grid's values instead,
// and for the vertical bar when it shows.

#include <QPointer>
#include <QProxyStyle>
#include <QScrollBar>

class TCustomDBGridEh;

enum TScrollBarVisibleModeEh
{
    sbAlwaysShowEh,
    sbNeverShowEh,
    sbAutoShowEh
};

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

// The grid's own scroll bar. It remembers where the user's pointer put the held thumb: a step that
// reaches a held bar (its repeat timer, the wheel) is computed from the bar's value, not from the
// thumb, and would pull the thumb back towards the current record.
class TGridScrollBarEh : public QScrollBar
{
public:
    explicit TGridScrollBarEh(Qt::Orientation orientation, QWidget* parent = nullptr);
    // Where the pointer last put the thumb while it is held.
    int DraggedPosition() const { return fDragged; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int fDragged = 0;
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
