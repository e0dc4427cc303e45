#pragma once
// The data grid's end of the record set's notifications, and its field map: for each grid data
// column, the index of its field in the record set's field list (-1 when the column's field name
// names no field).

#include "TDataSet.h"

#include <memory>

class TCustomDBGridEh;

class TGridDataLinkEh : public TDataLink
{
public:
    explicit TGridDataLinkEh(TCustomDBGridEh* grid);
    ~TGridDataLinkEh() override;

    TCustomDBGridEh* Grid() const { return fGrid; }

    // Field map.
    void ClearMapping();
    // Adds the field named so; a sparse map takes -1 for a missing field, a full one fails.
    bool AddMapping(const QString& fieldName);
    int MapCount() const { return fMapCount; }
    int MapCapacity() const { return fMapCapacity; }
    // Field index of data column i, -1 for none.
    int GetMappedIndex(int dataColumn) const;
    TField* Fields(int dataColumn) const;
    bool Sparse() const { return fSparse; }
    void SetSparse(bool value) { fSparse = value; }
    // The record set uses its default fields and, for a sparse map, every column has a field.
    bool DefaultFields() const;

    // The in-place editor changed the current cell.
    bool Modified() const { return fModified; }
    void SetModified() { fModified = true; }
    void ClearModified() { fModified = false; }
    void Reset();

    // Limit of the map: adding an entry to a map that holds this many fails.
    static constexpr int kMaxMapSize = 0x0FFFFFFF;
    static void CheckMapRoom(int count);
    // Capacity a full map grows to: 8 when empty, else twice its size; at least count + 1, at most
    // the limit.
    static int NextCapacity(int capacity, int count);

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void EditingChanged() override;
    void FocusControl(TField* field, bool& handled) override;
    void UpdateData() override;
    void DisabledStateChanged(bool disabled) override;

private:
    void Grow();

    TCustomDBGridEh* fGrid;
    std::unique_ptr<int[]> fFieldMap;
    int fMapCount = 0;
    int fMapCapacity = 0;
    bool fSparse = false;
    bool fModified = false;
    bool fInUpdate = false;
};
