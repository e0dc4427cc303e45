#pragma once
// Copying a grid to the clipboard in four representations at once (Unicode text, "Csv",
// "Rich Text Format" and the typed "VCLDBIF" stream), and the cut and delete commands beside it.

#include "TDBGridEhExport.h"

#include <QString>
#include <functional>
#include <memory>

class QMimeData;
class TCustomDBGridEh;

// The registered clipboard formats, by the names other programs look for. Set once at start by
// RegisterClipboardFormatsEh, in this order.
extern QString InternalClipboardFormat; // "VCLDBIF"
extern QString CsvClipboardFormat;      // "Csv"
extern QString RtfClipboardFormat;      // "Rich Text Format"
void RegisterClipboardFormatsEh();

// The mime type under which a desktop format name travels between programs.
QString WindowsMimeTypeEh(const QString& formatName);

// The four representations of the grid (the whole grid, or its selection) under their names in
// the copy's placing order; CopyGridData places them on the clipboard. The rows are kept now and
// each representation is written when first asked for (TDBGridEhClipboardData); a grid whose
// export depends on more than its rows and columns (handlers, footers, lookup fields) has all
// four written now, as BuildGridClipboardDataEh does.
std::unique_ptr<QMimeData> GridClipboardDataEh(TCustomDBGridEh* grid, bool wholeGrid,
                                               const TExportProgressEh& progress = {});
std::unique_ptr<QMimeData> BuildGridClipboardDataEh(TCustomDBGridEh* grid, bool wholeGrid,
                                                    const TExportProgressEh& progress = {});

void CopyGridData(TCustomDBGridEh* grid, bool wholeGrid, const TExportProgressEh& progress = {});
void CutGridData(TCustomDBGridEh* grid, bool wholeGrid);
void DeleteGridData(TCustomDBGridEh* grid, bool wholeGrid);

// Writes the clipboard's grid data into the grid's record set: the "VCLDBIF" stream when the
// clipboard holds one, else its text as windows-1251 tab-separated cells. Nothing happens when it
// holds neither. PasteGridMimeData does the same from given data, without the system clipboard.
void PasteGridData(TCustomDBGridEh* grid, bool wholeGrid);
void PasteGridMimeData(TCustomDBGridEh* grid, const QMimeData* data, bool wholeGrid);
// Whether the grid takes a paste now: paste is among its edit actions, its record set is open and
// can be modified, the grid is not read-only, the clipboard holds grid data or text, and updating
// is allowed unless a new record is being inserted.
bool CanPasteGridData(TCustomDBGridEh* grid, const QMimeData* data);

// Asks the user a yes-or-no question in a "Confirm" box with OK and Cancel; closing the box counts
// as Cancel. Tests replace it.
using TConfirmEh = std::function<bool(const QString& question)>;
void SetConfirmEh(TConfirmEh confirm);
bool ConfirmEh(const QString& question);

// The system this runs on offers Unicode text on its clipboard (always so here); the copy places
// its text representation only then.
bool RunsOnNTFamily();
