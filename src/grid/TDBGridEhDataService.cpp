#include "TDBGridEhDataService.h"

#include "TDataSet.h"

#include <cstdlib>
#include <cxxabi.h>

namespace {

// The single-inheritance chain of a polymorphic class, from the class itself to its root, as the
// Itanium C++ ABI describes it. A class with several bases ends the chain (record sets have one).
std::vector<const std::type_info*> TypeChain(const std::type_info& type)
{
    std::vector<const std::type_info*> chain;
    const std::type_info* t = &type;
    while (t) {
        chain.push_back(t);
        const auto* si = dynamic_cast<const abi::__si_class_type_info*>(t);
        t = si ? si->__base_type : nullptr;
    }
    return chain;
}

} // namespace

QString TDBGridEhDataService::ClassNameOf(const std::type_info& type)
{
    int status = 0;
    char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    const QString result = QString::fromLatin1(status == 0 && name ? name : type.name());
    std::free(name);
    return result;
}

std::vector<QString> TDBGridEhDataService::ClassChain(const TDataSet* dataSet)
{
    std::vector<QString> names;
    if (!dataSet)
        return names;
    for (const std::type_info* t : TypeChain(typeid(*dataSet)))
        names.push_back(ClassNameOf(*t));
    return names;
}

void TDBGridEhDataService::Register(const QString& className, std::shared_ptr<TDatasetFeaturesEh> features)
{
    Unregister(className);
    fEntries.push_back({className, std::move(features)});
}

void TDBGridEhDataService::Unregister(const QString& className)
{
    std::erase_if(fEntries, [&](const TEntry& e) { return e.ClassName.compare(className, Qt::CaseInsensitive) == 0; });
}

TDatasetFeaturesEh* TDBGridEhDataService::FeaturesFor(const TDataSet* dataSet) const
{
    if (fEntries.empty() || !dataSet)
        return nullptr;
    // The fewest inheritance steps win: walk up from the record set's own class.
    for (const QString& name : ClassChain(dataSet))
        for (const TEntry& e : fEntries)
            if (e.ClassName.compare(name, Qt::CaseInsensitive) == 0)
                return e.Features.get();
    return nullptr;
}

void TDBGridEhDataService::ApplySorting(TCustomDBGridEh* grid, TDataSet* dataSet, bool isReopen) const
{
    if (TDatasetFeaturesEh* f = FeaturesFor(dataSet))
        f->ApplySorting(grid, dataSet, isReopen);
}

void TDBGridEhDataService::ApplyFilter(TCustomDBGridEh* grid, TDataSet* dataSet, bool isReopen) const
{
    if (TDatasetFeaturesEh* f = FeaturesFor(dataSet))
        f->ApplyFilter(grid, dataSet, isReopen);
}

bool TDBGridEhDataService::MoveRecords(TCustomDBGridEh* grid, TDataSet* dataSet, int toRecordNumber,
                                       bool checkOnly) const
{
    if (TDatasetFeaturesEh* f = FeaturesFor(dataSet))
        return f->MoveRecords(grid, dataSet, toRecordNumber, checkOnly);
    return false;
}

TDBGridEhDataService& DBGridEhDataService()
{
    static TDBGridEhDataService service;
    return service;
}
