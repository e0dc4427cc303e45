#pragma once
// The grid that shows a directory search as the window designs it, and the file formats a result
// is exported to. The window's grid and the command line's unseen grid are both made this way, so
// that the two write the same bytes.

#include "TDBGridEhExport.h"

#include <QString>

class TCustomDBGridEh;
class TDataSource;

// The design size of the window's grid at 96 dpi; auto-fitted column widths depend on it.
constexpr int kDirectoryGridWidth = 673;
constexpr int kDirectoryGridHeight = 193;

// Names the grid, links it to the source and sets its options, fonts and colours; no columns.
void ConfigureDirectoryGrid(TCustomDBGridEh& grid, TDataSource* source);
// Adds the five columns of the directory table (telephone, owner, street, house, flat).
void AddDirectoryColumns(TCustomDBGridEh& grid);

// Export file types in the order of the save dialog's filter.
struct TExportType
{
    const char* Filter;    // the dialog's name of the type
    const char* Extension; // also the format's name on the command line
    TDBGridEhExportClass Class;
};
extern const TExportType kExportTypes[6];
// The type of an extension ("txt", "csv", "htm", "rtf", "xls", "xlsx"), or none.
const TExportType* FindExportType(const QString& extension);
