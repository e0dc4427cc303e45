#include "TGridLayoutEh.h"

#include "TColumnEh.h"

#include <cstdlib>
#include <limits>

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t p = std::int64_t(a) * b;
    // Round half away from zero: add half the divisor's magnitude in the direction of the result.
    const bool negative = (p < 0) != (c < 0);
    const std::int64_t ap = p < 0 ? -p : p;
    const std::int64_t ac = c < 0 ? -std::int64_t(c) : std::int64_t(c);
    std::int64_t q = (ap + ac / 2) / ac;
    if (negative)
        q = -q;
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min())
        return -1;
    return int(q);
}

// ---------------------------------------------------------------------------------------------
// TGridAxisEh

int TGridAxisEh::FixedBoundary() const
{
    int pos = 0;
    for (int i = 0; i < FixedCount && i < Count(); ++i)
        pos += Pitch(i);
    return pos;
}

int TGridAxisEh::CellStart(int i) const
{
    if (i < 0 || i >= Count())
        return -1;
    if (i < FixedCount) {
        int pos = 0;
        for (int k = 0; k < i; ++k)
            pos += Pitch(k);
        return pos;
    }
    if (i < FirstCell)
        return -1;
    int pos = FixedBoundary();
    for (int k = FirstCell; k < i; ++k)
        pos += Pitch(k);
    return pos;
}

int TGridAxisEh::GridBoundary() const
{
    int pos = FixedBoundary();
    for (int k = std::max(FirstCell, FixedCount); k < Count() && pos < ClientExtent; ++k)
        pos += Pitch(k);
    return std::min(pos, ClientExtent);
}

int TGridAxisEh::LastVisibleCell() const
{
    int pos = FixedBoundary();
    int last = -1;
    for (int k = std::max(FirstCell, FixedCount); k < Count() && pos < ClientExtent; ++k) {
        if (Pitch(k) > 0)
            last = k;
        pos += Pitch(k);
    }
    return last;
}

int TGridAxisEh::LastFullVisibleCell() const
{
    const int first = std::max(FirstCell, FixedCount);
    int pos = FixedBoundary();
    int last = first - 1;
    for (int k = first; k < Count(); ++k) {
        pos += Pitch(k);
        if (pos > ClientExtent)
            break;
        last = k;
    }
    return last;
}

int TGridAxisEh::CellAt(int pos) const
{
    if (pos < 0)
        return -1;
    int start = 0;
    for (int k = 0; k < FixedCount && k < Count(); ++k) {
        const int end = start + Pitch(k);
        if (pos < end)
            return k;
        start = end;
    }
    for (int k = std::max(FirstCell, FixedCount); k < Count() && start < ClientExtent; ++k) {
        const int end = start + Pitch(k);
        if (pos < end)
            return k;
        start = end;
    }
    return -1;
}

int TGridAxisEh::SizingHit(int pos, int& boundary) const
{
    int back = 0;
    int range = LineWidth;
    if (range < 7) {
        range = 7;
        back = (range - LineWidth) / 2;
    }
    int line = FixedBoundary();
    for (int k = std::max(FirstCell, FixedCount); k < Count(); ++k) {
        if (Extent(k) < 0)
            continue; // a hidden cell has no boundary of its own
        line += Extent(k);
        if (line > ClientExtent)
            break;
        if (pos >= line - back && pos <= line - back + range) {
            boundary = line;
            return k;
        }
        line += LineWidth;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Vertical scroll bar values

bool ScrollRangeExceedsPage(const TScrollInfoEh& info)
{
    if (info.Page <= 0)
        return info.Max > info.Min;
    return std::int64_t(info.Max) - info.Min + 1 > info.Page;
}

TScrollInfoEh ComputeVertScrollInfoEh(const TVertScrollInputEh& in)
{
    TScrollInfoEh si;
    if (!in.Active)
        return si; // 0, 1, 2, 0: nothing to scroll
    if (in.Sequenced) {
        // The thumb stands for the current record and reaches its end at the last one.
        si.Min = 1;
        si.Page = in.VisibleRows;
        si.Max = in.RecordCount + si.Page - 1;
        si.Pos = in.InsertOrLater ? in.PreviousPos : in.RecordNumber;
    } else {
        si.Min = 0;
        si.Page = 0;
        si.Max = 4;
        si.Pos = in.AtStart ? 0 : (in.AtEnd ? 4 : 2);
    }
    return si;
}

// ---------------------------------------------------------------------------------------------
// Auto-fit

void AutoFitColumnsEh(const TColumnsEhList& visible, const TAutoFitParamsEh& params,
                      const std::function<int()>& clientWidth)
{
    for (TColumnEh* c : visible)
        c->SetOutOfWidthRange(false);
    const auto fitted = [](const TColumnEh* c) { return c->AutoFitColWidth() && !c->OutOfWidthRange(); };
    int room = 0;
    int fittedSum = 0;
    for (int pass = 0; pass < visible.Count(); ++pass) {
        const int client = clientWidth();
        std::int64_t weights = 0;
        int fixed = 0;
        for (TColumnEh* c : visible) {
            if (fitted(c))
                weights += c->BasisWidth();
            else
                fixed += c->Width();
        }
        room = std::max(0, std::max(params.MinAutoFitWidth, client) - fixed);
        if (params.Indicator)
            room -= params.IndicatorWidth;
        if (params.ColLines)
            room -= visible.Count();
        if (params.Indicator && params.ColLines)
            room -= 1;
        const int divisor =
            int(std::clamp<std::int64_t>(weights, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
        bool marked = false;
        fittedSum = 0;
        for (TColumnEh* c : visible) {
            if (!fitted(c))
                continue;
            const int share = MulDiv(c->BasisWidth(), room, divisor);
            c->SetWidth(share);
            if (c->Width() != share) {
                c->SetOutOfWidthRange(true);
                marked = true;
            }
            fittedSum += c->Width();
        }
        if (!marked)
            break;
    }
    if (fittedSum != room) {
        for (int i = visible.Count() - 1; i >= 0; --i) {
            TColumnEh* c = visible[i];
            if (fitted(c)) {
                c->SetWidth(std::max(0, c->Width() + room - fittedSum));
                break;
            }
        }
    }
}

int FixedColCountEh(const std::vector<bool>& columnVisible, int indicatorOffset, int frozenCols, int colCount)
{
    int fixedCols = indicatorOffset + frozenCols;
    // Hidden columns among the frozen ones and right after them stay fixed too.
    int frozenSeen = 0;
    for (const bool visible : columnVisible) {
        if (visible && frozenSeen >= frozenCols)
            break;
        if (visible)
            ++frozenSeen;
        else
            ++fixedCols;
    }
    if (std::find(columnVisible.begin(), columnVisible.end(), true) == columnVisible.end())
        --fixedCols;
    return std::clamp(fixedCols, 0, colCount - 1);
}
