#pragma once
// A grid over an in-memory record set, for the exporters' tests: fields and rows in, exported bytes
// out. System colours are the fixed Windows defaults of headless runs unless a test sets the
// desktop's.

#include "TColor.h"
#include "TCustomDBGridEh.h"
#include "TDBGridEhExport.h"
#include "TMemDataSet.h"

#include <QPalette>

#include <memory>
#include <vector>

class TExportGrid
{
public:
    TExportGrid(std::vector<TFieldDef> fields, std::vector<std::vector<QVariant>> rows);
    ~TExportGrid();

    // A column bound to a field, with its title and width.
    TColumnEh* AddColumn(const QString& fieldName, const QString& caption, int width = 64);
    // Opens the record set and lays the grid out.
    void Open();

    QByteArray Export(TDBGridEhExportClass exportClass, bool exportAll = true, const TExportProgressEh& progress = {});

    TMemDataSet DataSet;
    TDataSource Source;
    std::unique_ptr<TCustomDBGridEh> Grid;
};

// Takes system colours from the desktop palette with the given button face, window text and
// window colours, for as long as it lives.
class TDesktopColors
{
public:
    TDesktopColors(QColor buttonFace, QColor windowText = Qt::black, QColor window = Qt::white);
    ~TDesktopColors();

private:
    TPinSystemColorsEh fSource;
    QPalette fSaved;
};

// Two columns titled T1 and T2 over two text fields holding the given rows.
std::unique_ptr<TExportGrid> TwoColumnGrid(std::vector<std::vector<QVariant>> rows);
