// The data service's registry of record-set handlers: nearest class wins, names without letter
// case; with no handler nothing happens, as in this program.
#include "GridFixture.h"
#include "TDBGridEhDataService.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class TSortingFeatures : public TDatasetFeaturesEh
{
public:
    explicit TSortingFeatures(std::string name) : Name(std::move(name)) {}
    std::string Name;
    std::vector<std::string> Calls;
    void ApplySorting(TCustomDBGridEh* grid, TDataSet* ds, bool) override
    {
        Calls.push_back("sort " + ds->Name().toStdString() + (grid ? " for the grid" : ""));
    }
    void ApplyFilter(TCustomDBGridEh*, TDataSet*, bool) override { Calls.push_back("filter"); }
    bool MoveRecords(TCustomDBGridEh*, TDataSet*, int, bool) override
    {
        Calls.push_back("move");
        return true;
    }
};

class TDerivedMemDataSet : public TMemDataSet
{
public:
    using TMemDataSet::TMemDataSet;
};

// Unregisters what a test registered, whatever happens.
struct TRegistrations
{
    std::vector<QString> Names;
    ~TRegistrations()
    {
        for (const QString& n : Names)
            DBGridEhDataService().Unregister(n);
    }
};

} // namespace

TEST(DataService, NoHandlerMeansNothingHappens)
{
    TMemDataSet ds(QStringLiteral("ADOQuery1"));
    const TDBGridEhDataService& service = DBGridEhDataService();
    EXPECT_EQ(service.FeaturesFor(&ds), nullptr);
    service.ApplySorting(nullptr, &ds, false);
    service.ApplyFilter(nullptr, &ds, false);
    EXPECT_FALSE(service.MoveRecords(nullptr, &ds, 1, false)) << "nothing moved";
    EXPECT_EQ(TDBGridEhDataService::ClassChain(&ds),
              (std::vector<QString>{QStringLiteral("TMemDataSet"), QStringLiteral("TDataSet")}));
}

TEST(DataService, TheNearestRegisteredClassWins)
{
    TDBGridEhDataService service;
    auto base = std::make_shared<TSortingFeatures>("base");
    auto mem = std::make_shared<TSortingFeatures>("mem");
    service.RegisterFeatures<TDataSet>(base);
    TDerivedMemDataSet derived(QStringLiteral("Derived"));
    EXPECT_EQ(service.FeaturesFor(&derived), base.get()) << "two steps up";
    service.Register(QStringLiteral("tmemdataset"), mem);
    EXPECT_EQ(service.FeaturesFor(&derived), mem.get()) << "one step up, letter case aside";
    service.ApplySorting(nullptr, &derived, false);
    EXPECT_TRUE(service.MoveRecords(nullptr, &derived, 3, true));
    EXPECT_EQ(mem->Calls, (std::vector<std::string>{"sort Derived", "move"}));
    EXPECT_TRUE(base->Calls.empty());
    service.Unregister(QStringLiteral("TMEMDATASET"));
    EXPECT_EQ(service.FeaturesFor(&derived), base.get());
}

TEST(DataService, SortMarkingWithoutAHandlerOfTheGridAsksTheService)
{
    TRegistrations cleanup;
    auto features = std::make_shared<TSortingFeatures>("mem");
    DBGridEhDataService().RegisterFeatures<TMemDataSet>(features);
    cleanup.Names.push_back(QStringLiteral("TMemDataSet"));
    TWindowGrid w;
    w.Grid->SetOptionsEh(w.Grid->OptionsEh() + dghAutoSortMarking);
    w.Grid->Columns()[1]->Title()->SetTitleButton(true);
    QTest::mouseClick(w.Grid->viewport(), Qt::LeftButton, {}, QPoint(200, 5));
    EXPECT_EQ(features->Calls, (std::vector<std::string>{"sort ADOQuery1 for the grid"}));
}
