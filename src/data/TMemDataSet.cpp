#include "TMemDataSet.h"

TMemDataSet::TMemDataSet(QString name) : TDataSet(std::move(name)) {}

TMemDataSet::~TMemDataSet()
{
    Close();
}

void TMemDataSet::SetFieldDefs(std::vector<TFieldDef> defs)
{
    fDefs = std::move(defs);
}

void TMemDataSet::AddRow(std::vector<QVariant> values)
{
    values.resize(fDefs.size());
    fRows.push_back(std::move(values));
}

void TMemDataSet::DoOpen()
{
    for (const TFieldDef& def : fDefs)
        AddField(std::make_unique<TField>(this, def.Name, def.DataType, def.Size));
}

void TMemDataSet::DoClose() {}

QVariant TMemDataSet::StoredValue(int row, int field) const
{
    const auto& r = fRows.at(std::size_t(row));
    return std::size_t(field) < r.size() ? r[std::size_t(field)] : QVariant();
}

int TMemDataSet::StoreAppend(const std::vector<QVariant>& values)
{
    if (fReadOnly)
        ReadOnlyError();
    fRows.push_back(values);
    return int(fRows.size()) - 1;
}

void TMemDataSet::StoreUpdate(int row, const std::vector<QVariant>& values)
{
    if (fReadOnly)
        ReadOnlyError();
    fRows.at(std::size_t(row)) = values;
}
