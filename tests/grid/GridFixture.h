#pragma once
// The directory window's grid as the window configures it, over an in-memory result.

#include "TDBGridEh.h"
#include "TMemDataSet.h"

#include <QApplication>

#include <memory>

// A result of the directory table with n generated subscribers.
inline void FillDirectory(TMemDataSet& ds, int n)
{
    ds.SetFieldDefs({{QStringLiteral("numer"), ftString, 10},
                     {QStringLiteral("vlad"), ftString, 50},
                     {QStringLiteral("street"), ftString, 40},
                     {QStringLiteral("numhome"), ftString, 8},
                     {QStringLiteral("numdoor"), ftString, 8}});
    for (int i = 0; i < n; ++i)
        ds.AddRow({QStringLiteral("%1").arg(200000 + i), QStringLiteral("Owner %1").arg(i),
                   QStringLiteral("Street %1").arg(i % 97), QString::number(i % 50 + 1), QString::number(i % 120 + 1)});
}

// The window's five columns, added while the grid has no window yet, as start-up does.
inline void AddWindowColumns(TCustomDBGridEh& grid)
{
    struct Col
    {
        const char* field;
        const char* caption;
        int width;
    };
    static const Col cols[] = {{"numer", "Телефон", 65},
                               {"vlad", "Владелец", 275},
                               {"street", "Улица", 175},
                               {"numhome", "Дом", 60},
                               {"numdoor", "Квартира", 60}};
    for (const Col& c : cols) {
        TColumnEh* col = grid.Columns().Add();
        col->SetFieldName(QString::fromUtf8(c.field));
        col->Title()->SetCaption(QString::fromUtf8(c.caption));
        col->SetWidth(c.width);
    }
}

inline void ConfigureLikeWindow(TCustomDBGridEh& grid)
{
    grid.SetOptions(
        {dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgConfirmDelete, dgCancelOnExit});
    grid.SetAutoFitColWidths(true);
    grid.SetSortLocal(true);
    const TFontEh tahoma = TFontEh::FromPoints(QStringLiteral("Tahoma"), 8, clWindowText, RUSSIAN_CHARSET);
    grid.SetFont(tahoma);
    grid.SetTitleFont(tahoma);
    grid.SetFooterFont(tahoma);
    grid.SetFooterColor(clWindow);
}

// A grid that records what it repaints, so that tests can tell a pixel scroll from a full repaint.
class TRecordingGrid : public TDBGridEh
{
public:
    struct Scroll
    {
        int Dx, Dy;
        QRect Rect;
    };
    std::vector<QRect> Invalidated;
    std::vector<Scroll> Scrolled;
    int FullRepaints = 0;

    void ClearLog()
    {
        Invalidated.clear();
        Scrolled.clear();
        FullRepaints = 0;
    }
    void InvalidateRect(const QRect& rect) override
    {
        Invalidated.push_back(rect);
        TDBGridEh::InvalidateRect(rect);
    }
    void InvalidateGrid() override
    {
        ++FullRepaints;
        TDBGridEh::InvalidateGrid();
    }
    void ScrollDataRect(int dx, int dy, const QRect& rect) override
    {
        Scrolled.push_back({dx, dy, rect});
        TDBGridEh::ScrollDataRect(dx, dy, rect);
    }
};

// The window's grid: 673 x 193 outside, so 669 x 189 inside its 2-pixel frame. A test that needs
// another grid or record-set class (one that records, fails or fakes something) names it.
template <class GridT = TRecordingGrid, class DataT = TMemDataSet>
struct TWindowGridOf
{
    std::unique_ptr<DataT> Data = std::make_unique<DataT>(QStringLiteral("ADOQuery1"));
    std::unique_ptr<TDataSource> Source = std::make_unique<TDataSource>(QStringLiteral("DataSource1"));
    std::unique_ptr<GridT> Grid = std::make_unique<GridT>();

    explicit TWindowGridOf(int records = 0, bool show = true)
    {
        FillDirectory(*Data, records);
        Source->SetDataSet(Data.get());
        Grid->SetDataSource(Source.get());
        ConfigureLikeWindow(*Grid);
        AddWindowColumns(*Grid);
        Grid->resize(673, 193);
        if (show) {
            Grid->show();
            QApplication::processEvents();
        }
    }
    ~TWindowGridOf()
    {
        Grid.reset();
        Source.reset();
        Data.reset();
    }
    void Open()
    {
        Data->Open();
        QApplication::processEvents();
    }
    std::vector<int> Widths() const
    {
        std::vector<int> w;
        for (int i = 0; i < Grid->Columns().Count(); ++i)
            w.push_back(Grid->Columns()[i]->Width());
        return w;
    }
    std::vector<int> Bases() const
    {
        std::vector<int> w;
        for (int i = 0; i < Grid->Columns().Count(); ++i)
            w.push_back(Grid->Columns()[i]->BasisWidth());
        return w;
    }
};

using TWindowGrid = TWindowGridOf<>;
