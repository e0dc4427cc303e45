#pragma once
// A large open result for the benchmarks: the demo directory's entries in the compact result table
// the engines fill, and a record set reading it as the engine-backed record set does.

#include "TDataSet.h"
#include "TDemoDirectory.h"
#include "TResultTable.h"

#include <memory>
#include <string>
#include <vector>

class TTableDataSet : public TDataSet
{
public:
    explicit TTableDataSet(std::unique_ptr<TResultTable> table, const QString& name = QStringLiteral("ADOQuery1"))
        : TDataSet(name), fTable(std::move(table))
    {
    }
    ~TTableDataSet() override { Close(); }

protected:
    void DoOpen() override
    {
        for (const TResultColumn& c : fTable->Columns())
            AddField(std::make_unique<TField>(this, c.Name, c.DataType, c.Size));
    }
    void DoClose() override {}
    int StoredRowCount() const override { return fTable->RowCount(); }
    QVariant StoredValue(int row, int field) const override { return fTable->Value(row, field); }
    bool StoredIsNull(int row, int field) const override { return fTable->IsNull(row, field); }
    QString StoredText(int row, int field) const override { return fTable->Text(row, field); }

private:
    std::unique_ptr<TResultTable> fTable;
};

// The first `rows` entries of the demo directory, in the directory table's five columns.
inline std::unique_ptr<TResultTable> MakeDirectory(int rows)
{
    auto table = std::make_unique<TResultTable>(std::vector<TResultColumn>{{QStringLiteral("numer"), ftString, 10},
                                                                           {QStringLiteral("vlad"), ftString, 50},
                                                                           {QStringLiteral("street"), ftString, 40},
                                                                           {QStringLiteral("numhome"), ftString, 8},
                                                                           {QStringLiteral("numdoor"), ftString, 8}});
    table->Reserve(std::size_t(rows), std::size_t(rows) * 64);
    TDemoDirectory demo;
    TDemoRow row;
    for (int i = 0; i < rows; ++i) {
        demo.NextRow(row);
        for (const std::string* s : {&row.Numer, &row.Vlad, &row.Street, &row.NumHome, &row.NumDoor})
            table->AppendText(QByteArrayView(s->data(), qsizetype(s->size())));
        table->EndRow();
    }
    table->Squeeze();
    return table;
}
