#pragma once
// The data service that grids hand record-set work to which depends on the kind of record set:
// applying a sorting or a filter, moving records, locating a text and running the find dialog.
// Handlers are registered per record-set class; for a grid's record set the service takes the
// handler registered for its own class or, failing that, for the nearest class it inherits from
// (class names compared without regard to letter case). With no handler, sorting, filtering and
// moving do nothing; the grid's text search and find dialog, which ask FeaturesFor, then use the
// grid's own.

#include <QString>

#include <memory>
#include <typeinfo>
#include <vector>

class TCustomDBGridEh;
class TDataSet;

// What a handler does for the record sets of its class.
class TDatasetFeaturesEh
{
public:
    virtual ~TDatasetFeaturesEh() = default;
    // Orders the record set by the grid's sort markers.
    virtual void ApplySorting(TCustomDBGridEh* grid, TDataSet* dataSet, bool isReopen) = 0;
    // Filters the record set by the grid's filter row.
    virtual void ApplyFilter(TCustomDBGridEh* grid, TDataSet* dataSet, bool isReopen) = 0;
    // Moves the listed records to another place; returns whether anything moved.
    virtual bool MoveRecords(TCustomDBGridEh* grid, TDataSet* dataSet, int toRecordNumber, bool checkOnly) = 0;
};

class TDBGridEhDataService
{
public:
    // Registers a handler for the record sets of class T and its descendants.
    template <class T>
    void RegisterFeatures(std::shared_ptr<TDatasetFeaturesEh> features)
    {
        Register(ClassNameOf(typeid(T)), std::move(features));
    }
    void Register(const QString& className, std::shared_ptr<TDatasetFeaturesEh> features);
    void Unregister(const QString& className);
    // The handler for a record set: its own class's or the nearest ancestor's; none when no
    // registered class fits.
    TDatasetFeaturesEh* FeaturesFor(const TDataSet* dataSet) const;

    void ApplySorting(TCustomDBGridEh* grid, TDataSet* dataSet, bool isReopen) const;
    void ApplyFilter(TCustomDBGridEh* grid, TDataSet* dataSet, bool isReopen) const;
    // Reports whether anything moved (nothing does without a handler).
    bool MoveRecords(TCustomDBGridEh* grid, TDataSet* dataSet, int toRecordNumber, bool checkOnly) const;

    // The class names of a record set from its own class up through its ancestors.
    static std::vector<QString> ClassChain(const TDataSet* dataSet);
    static QString ClassNameOf(const std::type_info& type);

private:
    struct TEntry
    {
        QString ClassName;
        std::shared_ptr<TDatasetFeaturesEh> Features;
    };
    std::vector<TEntry> fEntries;
};

// The one data service all grids share.
TDBGridEhDataService& DBGridEhDataService();
