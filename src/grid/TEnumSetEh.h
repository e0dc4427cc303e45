#pragma once
// A set of enumerators whose ordinals are 0..N-1, for the grid's option flags and drawing states.
// The enumerators keep their own ordinal order, so a set reads like the option lists it stands for:
// `Options.Contains(dgTitles)`, `Options = {dgTitles, dgIndicator}`.

#include <bitset>
#include <cstddef>
#include <initializer_list>

template <class E, std::size_t N>
class TEnumSetEh
{
public:
    constexpr TEnumSetEh() = default;
    TEnumSetEh(std::initializer_list<E> items)
    {
        for (E e : items)
            fBits.set(std::size_t(e));
    }

    bool Contains(E e) const { return fBits.test(std::size_t(e)); }
    TEnumSetEh& Include(E e)
    {
        fBits.set(std::size_t(e));
        return *this;
    }
    TEnumSetEh& Exclude(E e)
    {
        fBits.reset(std::size_t(e));
        return *this;
    }
    TEnumSetEh& Set(E e, bool on)
    {
        fBits.set(std::size_t(e), on);
        return *this;
    }
    bool IsEmpty() const { return fBits.none(); }
    std::size_t Count() const { return fBits.count(); }
    unsigned long ToBits() const { return fBits.to_ulong(); }
    static TEnumSetEh FromBits(unsigned long bits)
    {
        TEnumSetEh s;
        s.fBits = std::bitset<N>(bits);
        return s;
    }

    friend TEnumSetEh operator+(TEnumSetEh a, const TEnumSetEh& b)
    {
        a.fBits |= b.fBits;
        return a;
    }
    friend TEnumSetEh operator-(TEnumSetEh a, const TEnumSetEh& b)
    {
        a.fBits &= ~b.fBits;
        return a;
    }
    friend TEnumSetEh operator*(TEnumSetEh a, const TEnumSetEh& b)
    {
        a.fBits &= b.fBits;
        return a;
    }
    friend TEnumSetEh operator+(TEnumSetEh a, E e) { return a.Include(e); }
    friend TEnumSetEh operator-(TEnumSetEh a, E e) { return a.Exclude(e); }
    friend bool operator==(const TEnumSetEh& a, const TEnumSetEh& b) { return a.fBits == b.fBits; }

private:
    std::bitset<N> fBits;
};
