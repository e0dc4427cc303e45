#include "TDataSource.h"

#include "TDataSet.h"

#include <algorithm>

TDataSource::TDataSource(QString name) : fName(std::move(name)) {}

TDataSource::~TDataSource()
{
    for (TDataLink* link : std::vector<TDataLink*>(fLinks))
        link->SetDataSource(nullptr);
    SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet)
{
    if (dataSet == fDataSet)
        return;
    if (fDataSet)
        std::erase(fDataSet->fSources, this);
    fDataSet = dataSet;
    if (fDataSet)
        fDataSet->fSources.push_back(this);
    for (TDataLink* link : std::vector<TDataLink*>(fLinks))
        link->SetActive(fDataSet && fDataSet->Active());
}

TDataSetState TDataSource::State() const
{
    return fDataSet ? fDataSet->CursorState() : dsInactive;
}

// ---------------------------------------------------------------------------------------------
// TDataLink

TDataLink::TDataLink() = default;

TDataLink::~TDataLink()
{
    if (fDataSource)
        std::erase(fDataSource->fLinks, this);
}

void TDataLink::SetDataSource(TDataSource* source)
{
    if (source == fDataSource)
        return;
    if (fDataSource)
        std::erase(fDataSource->fLinks, this);
    fDataSource = source;
    if (fDataSource)
        fDataSource->fLinks.push_back(this);
    TDataSet* ds = DataSet();
    SetActive(ds && ds->Active());
}

TDataSet* TDataLink::DataSet() const
{
    return fDataSource ? fDataSource->fDataSet : nullptr;
}

void TDataLink::SetActive(bool active)
{
    if (active == fActive)
        return;
    fActive = active;
    if (active)
        DataSet()->PlaceWindow(this, TDataSet::WindowMove::Top);
    else
        fFirst = 0;
    ActiveChanged();
}

void TDataLink::SetBufferCount(int count)
{
    count = std::max(1, count);
    if (count == fBufferCount)
        return;
    fBufferCount = count;
    if (fActive)
        DataSet()->PlaceWindow(this, TDataSet::WindowMove::Keep);
}

int TDataLink::RecordCount() const
{
    if (!fActive)
        return 0;
    return std::clamp(DataSet()->RowCount() - fFirst, 0, fBufferCount);
}

int TDataLink::ActiveRecord() const
{
    if (!fActive)
        return 0;
    const TDataSet* ds = DataSet();
    return (ds->fReadPos >= 0 ? ds->fReadPos : ds->fPos) - fFirst;
}

void TDataLink::SetActiveRecord(int index)
{
    if (!fActive)
        return;
    TDataSet* ds = DataSet();
    const int pos = fFirst + index;
    ds->fReadPos = (pos == ds->fPos) ? -1 : pos;
}
