#include "TDirectoryGrid.h"

#include "TCustomDBGridEh.h"
#include "TDBGridEhExportAsHTML.h"
#include "TDBGridEhExportAsRTF.h"
#include "TDBGridEhExportAsText.h"
#include "TDBGridEhExportAsXLS.h"
#include "TDBGridEhExportAsXLSX.h"
#include "TFontMetricsEh.h"

namespace {

struct TColumnDesign
{
    const char* FieldName;
    const char* Caption;
    int Width;
};

const TColumnDesign kColumns[] = {
    {"numer", "Телефон", 65}, {"vlad", "Владелец", 275},   {"street", "Улица", 175},
    {"numhome", "Дом", 60},   {"numdoor", "Квартира", 60},
};

} // namespace

const TExportType kExportTypes[6] = {
    {"Текстовый файл", "txt", &ExportClassEh<TDBGridEhExportAsText>},
    {"Файл CSV", "csv", &ExportClassEh<TDBGridEhExportAsCSV>},
    {"Файл HTML", "htm", &ExportClassEh<TDBGridEhExportAsHTML>},
    {"Файл RTF", "rtf", &ExportClassEh<TDBGridEhExportAsRTF>},
    {"Файл Microsoft Excel", "xls", &ExportClassEh<TDBGridEhExportAsXLS>},
    // A workbook holds a million rows where a BIFF worksheet holds 65 536.
    {"Книга Microsoft Excel 2007", "xlsx", &ExportClassEh<TDBGridEhExportAsXLSX>},
};

const TExportType* FindExportType(const QString& extension)
{
    for (const TExportType& type : kExportTypes)
        if (extension == QLatin1String(type.Extension))
            return &type;
    return nullptr;
}

void ConfigureDirectoryGrid(TCustomDBGridEh& grid, TDataSource* source)
{
    // Its fonts are Tahoma, which the system may lack.
    EnsureTahomaEh();
    // Its name is the HTML export's title.
    grid.setObjectName(QStringLiteral("DBS"));
    grid.SetDataSource(source);
    grid.SetOptions(TDBGridOptions{dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
                                   dgConfirmDelete, dgCancelOnExit});
    grid.SetAutoFitColWidths(true);
    grid.SetFlat(false);
    grid.SetSortLocal(true);
    grid.SetTitleFont(TFontEh::FromPoints(QStringLiteral("Tahoma"), 8, clWindowText, RUSSIAN_CHARSET));
    grid.SetFooterFont(TFontEh::FromPoints(QStringLiteral("Tahoma"), 8, clWindowText, RUSSIAN_CHARSET));
    grid.SetFooterColor(clWindow);
}

void AddDirectoryColumns(TCustomDBGridEh& grid)
{
    for (const TColumnDesign& design : kColumns) {
        TColumnEh* column = grid.Columns().Add();
        column->SetFieldName(QString::fromLatin1(design.FieldName));
        column->Title()->SetCaption(QString::fromUtf8(design.Caption));
        column->SetWidth(design.Width);
    }
}
