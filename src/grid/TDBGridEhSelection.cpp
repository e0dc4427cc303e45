#include "TDBGridEhSelection.h"

#include "TCustomDBGridEh.h"

void TDBGridEhSelection::Clear()
{
    if (fSelectionType == gstNon)
        return;
    fSelectionType = gstNon;
    fGrid->InvalidateGrid();
    if (fGrid->OnSelectionChanged)
        fGrid->OnSelectionChanged(fGrid);
}

void TDBGridEhSelection::LinkActive(bool /*active*/)
{
    Clear();
}
