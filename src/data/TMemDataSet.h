#pragma once
// A modifiable record set held in memory: field definitions first, then rows. Grids that edit,
// delete and paste are built and tested on it.

#include "TDataSet.h"

struct TFieldDef
{
    QString Name;
    TFieldType DataType = ftString;
    int Size = 0;
};

class TMemDataSet : public TDataSet
{
public:
    explicit TMemDataSet(QString name = {});
    ~TMemDataSet() override;

    // Definitions and initial rows; take effect at the next Open.
    void SetFieldDefs(std::vector<TFieldDef> defs);
    void AddRow(std::vector<QVariant> values);
    void SetReadOnly(bool readOnly) { fReadOnly = readOnly; }

    bool CanModify() const override { return !fReadOnly; }

protected:
    void DoOpen() override;
    void DoClose() override;
    int StoredRowCount() const override { return int(fRows.size()); }
    QVariant StoredValue(int row, int field) const override;
    int StoreAppend(const std::vector<QVariant>& values) override;
    void StoreUpdate(int row, const std::vector<QVariant>& values) override;

private:
    std::vector<TFieldDef> fDefs;
    std::vector<std::vector<QVariant>> fRows;
    bool fReadOnly = false;
};
