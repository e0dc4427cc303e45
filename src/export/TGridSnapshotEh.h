#pragma once
// What an export of a grid would write, kept at one moment so that it can be written later, after
// the grid has moved on (another search, a sort, a closed result): the exported records in their
// order, only the exported fields, as compactly as the engines keep a result, plus the exported
// columns with every property the exporters read fixed at its value of that moment. Written later
// by the same exporters, through a grid made for the purpose over the kept rows, it gives the same
// bytes as an export at the time it was taken.

#include "TDBGridEhExport.h"

#include <QIODevice>

#include <cstddef>
#include <memory>

class TCustomDBGridEh;

class TGridSnapshotEh
{
public:
    ~TGridSnapshotEh();
    TGridSnapshotEh(const TGridSnapshotEh&) = delete;
    TGridSnapshotEh& operator=(const TGridSnapshotEh&) = delete;

    // Takes what exporting the grid (all of it with wholeGrid, else its selection) would write,
    // walking its record set once as an export does. Returns nullptr when a later export could
    // differ from one now: cell or footer handlers, footer rows, lookup or calculated fields,
    // hidden columns among the exported ones, values of a kind not kept compactly, or nothing
    // selected. Failures of the walk (and an abort from progress) pass to the caller.
    static std::unique_ptr<TGridSnapshotEh> Take(TCustomDBGridEh* grid, bool wholeGrid,
                                                 const TExportProgressEh& progress = {});

    int RecordCount() const;
    // Bytes held for the records.
    std::size_t MemoryUsed() const;

    // Writes the kept rows with the exporter class, as the grid exported them when taken. Needs
    // the application's widgets (the exporters read a grid); throws when they are gone.
    void Export(TDBGridEhExportClass exportClass, QIODevice* stream) const;

private:
    class TRows;
    class TColumns;
    class TWalk;
    TGridSnapshotEh();

    std::unique_ptr<TRows> fRows;
    std::unique_ptr<TColumns> fColumns;
};
