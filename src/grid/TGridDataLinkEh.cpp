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

void TGridDataLinkEh::Grow()
{
    // Doubling, at least one more entry, at most the limit.
    qint64 capacity = fMapCapacity == 0 ? 8 : qint64(fMapCapacity) * 2;
    capacity = std::max<qint64>(capacity, qint64(fMapCount) + 1);
    capacity = std::min<qint64>(capacity, kMaxMapSize);
    auto map = std::make_unique<int[]>(std::size_t(capacity));
    std::copy(fFieldMap.get(), fFieldMap.get() + fMapCount, map.get());
    fFieldMap = std::move(map);
    fMapCapacity = int(capacity);
}

bool TGridDataLinkEh::AddMapping(const QString& fieldName)
{
    if (fMapCount >= kMaxMapSize)
        throw EInvalidGridOperationEh(QStringLiteral("Grid requested to display more than 256 columns"));
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
