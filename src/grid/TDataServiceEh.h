#pragma once
// The data service: operations on a grid's record set whose best implementation depends on the
// kind of record set (locating a text, the find dialog). Handlers are registered per record-set
// class; an operation goes to the handler of the nearest class the grid's record set derives from.
// Where none fits, the grid's own text search and its own find dialog do the work.

#include "TEnumSetEh.h"

#include <QString>

#include <memory>
#include <typeindex>
#include <utility>
#include <vector>

class TCustomDBGridEh;
class TColumnEh;
class TDataSet;

// A text search request: which way it walks, how a cell must match, and its switches.
enum TTextSearchDirectionEh
{
    tsdUpEh,
    tsdDownEh,
    tsdAllEh
};
enum TTextSearchMatchEh
{
    tsmAnyPartEh,
    tsmWholeFieldEh,
    tsmFromBeginEh
};
enum TTextSearchOptionEh
{
    tsoIgnoreCaseEh,
    tsoAllColumnsEh,
    tsoDisplayTextEh
};
using TTextSearchOptionsEh = TEnumSetEh<TTextSearchOptionEh, 3>;
// Which nodes a search of a tree-structured record set covers (no record set here has a tree).
enum TTextSearchTreeRangeEh
{
    tstAllNodesEh,
    tstExpandedNodesEh,
    tstCurrentLevelEh,
    tstCurrentNodeEh
};

// Columns a caller offers the find dialog instead of the grid's: (caption, column) pairs.
using TFindColumnListEh = std::vector<std::pair<QString, TColumnEh*>>;

// The procedure that runs the find dialog for a grid; the dialog's module provides it.
using TFindDialogProcEh = void (*)(TCustomDBGridEh* grid, const QString& text, const QString& fieldName,
                                   const TFindColumnListEh* columns, bool modal);

// What a record-set class may do its own way. The defaults are the grid's own.
class TDataSetHandlerEh
{
public:
    virtual ~TDataSetHandlerEh() = default;
    virtual bool LocateText(TCustomDBGridEh* grid, const QString& fieldName, const QString& text,
                            TTextSearchOptionsEh options, TTextSearchDirectionEh direction, TTextSearchMatchEh matching,
                            TTextSearchTreeRangeEh treeRange);
    virtual void ExecuteFindDialog(TCustomDBGridEh* grid, const QString& text, const QString& fieldName, bool modal);
};

class TDataServiceEh
{
public:
    // The one service all grids share.
    static TDataServiceEh& Instance();

    // Registers (or replaces) the handler for record sets of class T and of its descendants.
    template <class T>
    void Register(std::shared_ptr<TDataSetHandlerEh> handler)
    {
        TEntry e{std::type_index(typeid(T)), [](const TDataSet* ds) { return dynamic_cast<const T*>(ds) != nullptr; },
                 [] { throw static_cast<const T*>(nullptr); },
                 [](void (*thrower)()) {
                     try {
                         thrower();
                     } catch (const T*) {
                         return true;
                     } catch (...) {
                     }
                     return false;
                 },
                 std::move(handler)};
        Add(std::move(e));
    }
    template <class T>
    void Unregister()
    {
        Remove(std::type_index(typeid(T)));
    }
    // The handler of the nearest registered class the record set derives from; none when none fits.
    TDataSetHandlerEh* HandlerFor(const TDataSet* dataSet) const;

    // The operations the grid hands over.
    bool LocateText(TCustomDBGridEh* grid, const QString& fieldName, const QString& text, TTextSearchOptionsEh options,
                    TTextSearchDirectionEh direction, TTextSearchMatchEh matching, TTextSearchTreeRangeEh treeRange);
    void ExecuteFindDialog(TCustomDBGridEh* grid, const QString& text, const QString& fieldName, bool modal);

    // The find dialog used when no handler fits.
    TFindDialogProcEh FindDialogProc() const { return fFindDialogProc; }
    void SetFindDialogProc(TFindDialogProcEh proc) { fFindDialogProc = proc; }

private:
    TDataServiceEh();

    struct TEntry
    {
        std::type_index Type;
        bool (*Matches)(const TDataSet*);
        void (*ThrowNull)();
        // Whether a pointer thrown by the given thrower converts to a pointer to this entry's class.
        bool (*IsBaseOf)(void (*thrower)());
        std::shared_ptr<TDataSetHandlerEh> Handler;
    };
    void Add(TEntry entry);
    void Remove(std::type_index type);

    std::vector<TEntry> fEntries;
    TFindDialogProcEh fFindDialogProc = nullptr;
};
