#include "ExportGrid.h"

#include "TMemoryStreamEh.h"

#include <QApplication>

TExportGrid::TExportGrid(std::vector<TFieldDef> fields, std::vector<std::vector<QVariant>> rows)
    : Grid(std::make_unique<TCustomDBGridEh>())
{
    DataSet.SetFieldDefs(std::move(fields));
    for (auto& row : rows)
        DataSet.AddRow(std::move(row));
    Source.SetDataSet(&DataSet);
    Grid->setObjectName(QStringLiteral("DBS"));
    Grid->resize(600, 300);
}

TExportGrid::~TExportGrid()
{
    Grid.reset();
}

TColumnEh* TExportGrid::AddColumn(const QString& fieldName, const QString& caption, int width)
{
    TColumnEh* column = Grid->Columns().Add();
    column->SetFieldName(fieldName);
    column->Title()->SetCaption(caption);
    column->SetWidth(width);
    return column;
}

void TExportGrid::Open()
{
    Grid->SetDataSource(&Source);
    DataSet.Open();
    Grid->RequestLayout();
}

QByteArray TExportGrid::Export(TDBGridEhExportClass exportClass, bool exportAll, const TExportProgressEh& progress)
{
    TMemoryStreamEh stream;
    ExportGridToStream(exportClass, Grid.get(), &stream, exportAll, progress);
    return stream.Bytes();
}

TDesktopColors::TDesktopColors(QColor buttonFace, QColor windowText, QColor window)
    : fSource(TSystemColorSourceEh::Palette), fSaved(QApplication::palette())
{
    QPalette p = fSaved;
    p.setColor(QPalette::Active, QPalette::Button, buttonFace);
    p.setColor(QPalette::Active, QPalette::Text, windowText);
    p.setColor(QPalette::Active, QPalette::Base, window);
    QApplication::setPalette(p);
}

TDesktopColors::~TDesktopColors()
{
    QApplication::setPalette(fSaved);
}

std::unique_ptr<TExportGrid> TwoColumnGrid(std::vector<std::vector<QVariant>> rows)
{
    auto g = std::make_unique<TExportGrid>(
        std::vector<TFieldDef>{{QStringLiteral("a"), ftString, 20}, {QStringLiteral("b"), ftString, 20}},
        std::move(rows));
    g->AddColumn(QStringLiteral("a"), QStringLiteral("T1"), 65);
    g->AddColumn(QStringLiteral("b"), QStringLiteral("T2"), 275);
    g->Open();
    return g;
}
