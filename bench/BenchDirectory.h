#pragma once
// Large results for the benchmarks, and the window's grid to show them in: the demo directory's
// entries in the compact result table the engines fill with a record set reading it as the
// engine-backed record set does, or rows made up on demand.

#include "TDBGridEh.h"
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

// A directory result whose rows are made up on demand, so that a million of them cost no memory.
// Texts have the same length whatever the row number, so that any size paints the same glyphs.
class TGeneratedDataSet : public TDataSet
{
public:
    explicit TGeneratedDataSet(int rows) : TDataSet(QStringLiteral("Generated")), fRows(rows) {}
    ~TGeneratedDataSet() override { Close(); }

protected:
    void DoOpen() override
    {
        AddField(std::make_unique<TField>(this, QStringLiteral("numer"), ftString, 10));
        AddField(std::make_unique<TField>(this, QStringLiteral("vlad"), ftString, 50));
        AddField(std::make_unique<TField>(this, QStringLiteral("street"), ftString, 40));
        AddField(std::make_unique<TField>(this, QStringLiteral("numhome"), ftString, 8));
        AddField(std::make_unique<TField>(this, QStringLiteral("numdoor"), ftString, 8));
    }
    void DoClose() override {}
    int StoredRowCount() const override { return fRows; }
    QVariant StoredValue(int row, int field) const override
    {
        switch (field) {
        case 0:
            return QString::number(2000000 + row % 1000000);
        case 1:
            return QStringLiteral("Иванов-Петров Сидор %1").arg(row, 7, 10, QLatin1Char('0'));
        case 2:
            return QStringLiteral("ул. Ленина, корпус %1").arg(row % 977);
        case 3:
            return QString::number(row % 150 + 1);
        default:
            return QString::number(row % 300 + 1);
        }
    }

private:
    int fRows;
};

// The window's grid over a record set: its options and its five columns with their captions and
// widths. The caller sizes, shows and opens.
inline void SetUpWindowGrid(TDBGridEh& grid, TDataSource& source, TDataSet& data)
{
    source.SetDataSet(&data);
    grid.SetDataSource(&source);
    grid.SetOptions(
        {dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgConfirmDelete, dgCancelOnExit});
    grid.SetAutoFitColWidths(true);
    const char* fields[] = {"numer", "vlad", "street", "numhome", "numdoor"};
    const char* captions[] = {"Телефон", "Владелец", "Улица", "Дом", "Квартира"};
    const int widths[] = {65, 275, 175, 60, 60};
    for (int i = 0; i < 5; ++i) {
        TColumnEh* c = grid.Columns().Add();
        c->SetFieldName(QString::fromLatin1(fields[i]));
        c->Title()->SetCaption(QString::fromUtf8(captions[i]));
        c->SetWidth(widths[i]);
    }
}
