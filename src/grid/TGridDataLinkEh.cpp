#include "TGridDataLinkEh.h"

#include "TCustomDBGridEh.h"

TGridDataLinkEh::TGridDataLinkEh(TCustomDBGridEh* grid) : fGrid(grid) {}

TGridDataLinkEh::~TGridDataLinkEh()
{
    ClearMapping();
}

void TGridDataLinkEh::ClearMapping()
{
    fMapCount = 0;
}

void TGridDataLinkEh::CheckMapRoom(int count)
{
    if (count >= kMaxMapSize)
        throw EInvalidGridOperationEh(QStringLiteral("Grid requested to display more than 256 columns"));
}

int TGridDataLinkEh::NextCapacity(int capacity, int count)
{
    qint64 next = capacity == 0 ? 8 : qint64(capacity) * 2;
    next = std::max<qint64>(next, qint64(count) + 1);
    return int(std::min<qint64>(next, kMaxMapSize));
}

void TGridDataLinkEh::Grow()
{
    const int capacity = NextCapacity(fMapCapacity, fMapCount);
    auto map = std::make_unique<int[]>(std::size_t(capacity));
    std::copy(fFieldMap.get(), fFieldMap.get() + fMapCount, map.get());
    fFieldMap = std::move(map);
    fMapCapacity = capacity;
}

bool TGridDataLinkEh::AddMapping(const QString& fieldName)
{
    CheckMapRoom(fMapCount);
    int index = -1;
    if (TDataSet* ds = DataSet()) {
        if (fSparse) {
            if (const TField* f = ds->FieldNamed(fieldName))
                index = f->Index();
        } else {
            index = ds->FieldRequired(fieldName)->Index();
        }
    }
    if (fMapCount >= fMapCapacity)
        Grow();
    fFieldMap[std::size_t(fMapCount++)] = index;
    return index >= 0;
}

int TGridDataLinkEh::GetMappedIndex(int dataColumn) const
{
    if (dataColumn < 0 || dataColumn >= fMapCount)
        return -1;
    return fFieldMap[std::size_t(dataColumn)];
}

TField* TGridDataLinkEh::Fields(int dataColumn) const
{
    const int i = GetMappedIndex(dataColumn);
    TDataSet* ds = DataSet();
    if (i < 0 || !ds || i >= ds->FieldCount())
        return nullptr;
    return ds->Field(i);
}

bool TGridDataLinkEh::DefaultFields() const
{
    const TDataSet* ds = DataSet();
    if (!ds || !ds->DefaultFields())
        return false;
    if (fSparse)
        for (int i = 0; i < fMapCount; ++i)
            if (fFieldMap[std::size_t(i)] < 0)
                return false;
    return true;
}

void TGridDataLinkEh::Reset()
{
    fGrid->LinkReset();
}

void TGridDataLinkEh::ActiveChanged()
{
    fModified = false;
    fGrid->LinkActiveChanged(Active());
}

void TGridDataLinkEh::DataSetChanged()
{
    fModified = false;
    fGrid->LinkDataChanged();
}

void TGridDataLinkEh::DataSetScrolled(int distance)
{
    fGrid->LinkScrolled(distance);
}

void TGridDataLinkEh::LayoutChanged()
{
    fGrid->LinkLayoutChanged();
}

void TGridDataLinkEh::RecordChanged(TField* field)
{
    fGrid->LinkRecordChanged(field);
    fModified = false;
}

void TGridDataLinkEh::EditingChanged()
{
    fGrid->LinkEditingChanged();
}

void TGridDataLinkEh::FocusControl(TField* field, bool& handled)
{
    fGrid->LinkFocusField(field, handled);
}

void TGridDataLinkEh::UpdateData()
{
    if (fInUpdate)
        return;
    fInUpdate = true;
    try {
        if (fModified)
            fGrid->LinkUpdateData();
    } catch (...) {
        fInUpdate = false;
        throw;
    }
    fInUpdate = false;
    fModified = false;
}

void TGridDataLinkEh::DisabledStateChanged(bool disabled)
{
    fGrid->LinkDisabledStateChanged(disabled);
}
