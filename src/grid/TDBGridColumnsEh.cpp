#include "TColumnEh.h"

#include "TColumnsOwnerEh.h"

#include <algorithm>

// ---------------------------------------------------------------------------------------------
// TColumnsEhList

int TColumnsEhList::IndexOf(const TColumnEh* column) const
{
    const auto it = std::find(fItems.begin(), fItems.end(), column);
    return it == fItems.end() ? -1 : int(it - fItems.begin());
}

int TColumnsEhList::Remove(const TColumnEh* column)
{
    const int i = IndexOf(column);
    if (i >= 0)
        Delete(i);
    return i;
}

// ---------------------------------------------------------------------------------------------
// TDBGridColumnsEh

TDBGridColumnsEh::TDBGridColumnsEh(TColumnsOwnerEh* grid) : fGrid(grid) {}

TDBGridColumnsEh::~TDBGridColumnsEh()
{
    fGrid = nullptr;
    fItems.clear();
}

TDBGridColumnEh* TDBGridColumnsEh::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EInvalidGridOperationEh(QStringLiteral("List index out of bounds (%1)").arg(index));
    return fItems[std::size_t(index)].get();
}

int TDBGridColumnsEh::IndexOf(const TColumnEh* column) const
{
    for (std::size_t i = 0; i < fItems.size(); ++i)
        if (fItems[i].get() == column)
            return int(i);
    return -1;
}

TDBGridColumnEh* TDBGridColumnsEh::Add()
{
    BeginUpdate();
    // The program's own columns replace the ones generated from fields.
    if (State() == csDefault)
        Clear();
    fItems.push_back(std::make_unique<TDBGridColumnEh>(this));
    TDBGridColumnEh* column = fItems.back().get();
    EndUpdate();
    return column;
}

TDBGridColumnEh* TDBGridColumnsEh::InsertDefault(int index)
{
    index = std::clamp(index, 0, Count());
    auto column = std::make_unique<TDBGridColumnEh>(this);
    column->SetPersistent(false);
    TDBGridColumnEh* raw = column.get();
    fItems.insert(fItems.begin() + index, std::move(column));
    Update(nullptr);
    return raw;
}

void TDBGridColumnsEh::Delete(int index)
{
    TDBGridColumnEh* column = Items(index);
    if (fGrid)
        fGrid->ColumnDeleting(column);
    fItems.erase(fItems.begin() + index);
    Update(nullptr);
}

void TDBGridColumnsEh::Clear()
{
    if (fItems.empty())
        return;
    BeginUpdate();
    while (!fItems.empty())
        Delete(Count() - 1);
    EndUpdate();
}

void TDBGridColumnsEh::Move(int fromIndex, int toIndex)
{
    Items(fromIndex)->SetIndex(toIndex);
}

void TDBGridColumnsEh::MoveItem(int fromIndex, int toIndex)
{
    toIndex = std::clamp(toIndex, 0, Count() - 1);
    if (fromIndex == toIndex)
        return;
    auto item = std::move(fItems[std::size_t(fromIndex)]);
    fItems.erase(fItems.begin() + fromIndex);
    fItems.insert(fItems.begin() + toIndex, std::move(item));
    Update(nullptr);
}

TDBGridColumnsState TDBGridColumnsEh::State() const
{
    return !fItems.empty() && fItems.front()->IsPersistent() ? csCustomized : csDefault;
}

void TDBGridColumnsEh::SetState(TDBGridColumnsState state)
{
    if (state == State())
        return;
    if (state == csDefault) {
        Clear();
    } else {
        BeginUpdate();
        for (auto& c : fItems)
            c->SetPersistent(true);
        EndUpdate();
    }
}

void TDBGridColumnsEh::RestoreDefaults()
{
    BeginUpdate();
    for (auto& c : fItems)
        c->RestoreDefaults();
    EndUpdate();
}

void TDBGridColumnsEh::EndUpdate()
{
    if (fUpdateCount > 0 && --fUpdateCount == 0)
        Update(nullptr);
}

void TDBGridColumnsEh::Update(TColumnEh* item)
{
    if (fUpdateCount > 0 || !fGrid || fGrid->IsLoading())
        return;
    fGrid->ColumnsChanged(item);
}
