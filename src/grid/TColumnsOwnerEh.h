#pragma once
// What the columns, their titles and the column defaults need from the grid that owns them: the
// reports they send up and the grid's own values they follow while not assigned. The data grid
// implements it; the column files know the grid only through it.

#include "TColor.h"
#include "TFontEh.h"
#include "TFontMetricsEh.h"
#include "TGridTypesEh.h"

#include <QString>

class TColumnEh;
class TColumnDefValuesEh;
class TColumnsEhList;
class TDataSet;

class TColumnsOwnerEh
{
public:
    // Reports.
    virtual void ColumnsChanged(TColumnEh* column) = 0; // one column, or all for none
    virtual void ColumnDeleting(TColumnEh* column) = 0;
    virtual void RequestLayout() = 0;
    virtual void InvalidateGrid() = 0;
    // Fits a column to its title and the records in the window.
    virtual void OptimizeColWidth(TColumnEh* column) = 0;

    // State.
    virtual TDataSet* DataSet() const = 0;
    virtual bool IsLoading() const = 0;
    virtual bool InLayout() const = 0;
    virtual bool HandleAllocated() const = 0;

    // Values the columns follow until assigned.
    virtual const TColumnDefValuesEh& ColumnDefValues() const = 0;
    virtual const TFontEh& Font() const = 0;
    virtual const TFontEh& TitleFont() const = 0;
    virtual const TFontEh& FooterFont() const = 0;
    virtual TColor Color() const = 0;
    virtual TColor FixedColor() const = 0;
    virtual TColor FooterColor() const = 0;
    virtual bool ReadOnly() const = 0;
    virtual bool DrawMemoText() const = 0;
    virtual bool UseMultiTitle() const = 0;
    virtual TImeModeEh ImeMode() const = 0;
    virtual const QString& ImeName() const = 0;

    // Widths.
    virtual bool AutoFitColWidths() const = 0;
    virtual int DefaultColWidth() const = 0;
    virtual TTextMetricEh CanvasTextMetrics(const TFontEh& font) const = 0;

    // Sort markers: the marked columns in marking order, and whether several may be marked.
    virtual TColumnsEhList& SortMarkedList() = 0;
    virtual bool MultiSortMarking() const = 0;

protected:
    ~TColumnsOwnerEh() = default;
};
