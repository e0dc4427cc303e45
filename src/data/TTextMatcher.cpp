#include "TTextMatcher.h"

#include <QChar>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Both entry points decide on code points folded one to one (Unicode simple case folding, as
// QChar::toCaseFolded gives it), so "_" is always exactly one character and the UTF-16 and UTF-8
// paths agree by construction. Bytes that are not well-formed UTF-8 read as one U+FFFD each, as
// QString::fromUtf8 reads them, so a value matches exactly when its displayed text does.
//
// The UTF-8 path, called on every row of a scan, never allocates for directory-sized values:
// - the start and the end of a pattern are compared character by character, folding as it goes
//   (tables for ASCII and two-byte letters, Cyrillic among them);
// - a run between % signs is searched in the text's own bytes, with a byte class per position;
// - a text holding a character whose folded form has another UTF-8 length is folded into a buffer
//   and searched there; the text is decoded into code points whole only when stepping back from
//   its end meets bytes that are not well-formed.

namespace {

using Byte = std::uint8_t;

// Stands for "_" in a compiled pattern; no code point has this value.
constexpr char32_t kAnyOne = 0xFFFFFFFFu;
constexpr char32_t kReplacement = 0xFFFD;
// Texts up to this many bytes are folded on the stack.
constexpr std::size_t kStackBytes = 512;
// A pattern with at most this many runs between "%" signs gets search tables for them.
constexpr std::size_t kTabledRuns = 8;

struct TFoldTables
{
    // ASCII folded to ASCII.
    std::array<Byte, 128> Ascii{};
    // Folded code point of every code point below U+0800 (all fold into the BMP).
    std::array<char16_t, 0x800> Low{};
    // For every two-byte code point (U+0080..U+07FF): its folded form as two UTF-8 bytes (lead byte
    // high), or 0 when the folded form has another length (the long s, a few Latin letters).
    std::array<std::uint16_t, 0x800> TwoByte{};
    // Every code point that folds to another one, as (folded, original), ordered by folded.
    std::vector<std::pair<char32_t, char32_t>> Unfold;

    TFoldTables()
    {
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            const char32_t f = QChar::toCaseFolded(c);
            if (f != c)
                Unfold.emplace_back(f, c);
        }
        std::sort(Unfold.begin(), Unfold.end());
        for (char32_t c = 0; c < 0x800; ++c) {
            const char32_t f = QChar::toCaseFolded(c);
            Low[c] = char16_t(f);
            if (c < 0x80)
                Ascii[c] = Byte(f);
            else if (f >= 0x80 && f < 0x800)
                TwoByte[c] = std::uint16_t(((0xC0 | (f >> 6)) << 8) | (0x80 | (f & 0x3F)));
        }
    }
};

const TFoldTables& FoldTables()
{
    static const TFoldTables tables;
    return tables;
}

// Every code point whose folded form is c.
std::vector<char32_t> Unfolded(const TFoldTables& t, char32_t c)
{
    std::vector<char32_t> out;
    if (QChar::toCaseFolded(c) == c)
        out.push_back(c);
    auto it = std::lower_bound(t.Unfold.begin(), t.Unfold.end(), std::make_pair(c, char32_t(0)));
    for (; it != t.Unfold.end() && it->first == c; ++it)
        out.push_back(it->second);
    return out;
}

inline char32_t Fold(const TFoldTables& t, char32_t c)
{
    return c < 0x800 ? t.Low[c] : QChar::toCaseFolded(c);
}

inline bool IsContinuation(Byte b)
{
    return (b & 0xC0) == 0x80;
}

inline Byte* EncodeUtf8(char32_t c, Byte* out)
{
    if (c < 0x80) {
        *out++ = Byte(c);
    } else if (c < 0x800) {
        *out++ = Byte(0xC0 | (c >> 6));
        *out++ = Byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = Byte(0xE0 | (c >> 12));
        *out++ = Byte(0x80 | ((c >> 6) & 0x3F));
        *out++ = Byte(0x80 | (c & 0x3F));
    } else {
        *out++ = Byte(0xF0 | (c >> 18));
        *out++ = Byte(0x80 | ((c >> 12) & 0x3F));
        *out++ = Byte(0x80 | ((c >> 6) & 0x3F));
        *out++ = Byte(0x80 | (c & 0x3F));
    }
    return out;
}

// Reads one code point; a byte that does not start a well-formed sequence reads as U+FFFD and
// consumes that byte alone. A byte that is not a continuation byte is therefore always the start of
// a character, which is what lets the matcher step backwards from the end of a text.
inline char32_t DecodeUtf8(const Byte*& p, const Byte* e)
{
    const Byte b = *p;
    if (b < 0x80) {
        ++p;
        return b;
    }
    const std::ptrdiff_t left = e - p;
    if (b >= 0xC2 && b <= 0xDF) {
        if (left >= 2 && IsContinuation(p[1])) {
            const char32_t c = (char32_t(b & 0x1F) << 6) | (p[1] & 0x3F);
            p += 2;
            return c;
        }
    } else if (b >= 0xE0 && b <= 0xEF) {
        if (left >= 3 && IsContinuation(p[1]) && IsContinuation(p[2])) {
            const char32_t c = (char32_t(b & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) {
                p += 3;
                return c;
            }
        }
    } else if (b >= 0xF0 && b <= 0xF4) {
        if (left >= 4 && IsContinuation(p[1]) && IsContinuation(p[2]) && IsContinuation(p[3])) {
            const char32_t c = (char32_t(b & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) | (char32_t(p[2] & 0x3F) << 6)
                               | (p[3] & 0x3F);
            if (c >= 0x10000 && c <= 0x10FFFF) {
                p += 4;
                return c;
            }
        }
    }
    ++p;
    return kReplacement;
}

// Growable scratch space that stays on the stack for the short texts of a directory.
template <typename T>
class TScratch
{
public:
    explicit TScratch(std::size_t size)
    {
        if (size > kStackBytes / sizeof(T)) {
            fHeap.reset(new T[size]);
            fData = fHeap.get();
        }
    }
    T* Data() { return fData; }

private:
    T fStack[kStackBytes / sizeof(T)];
    std::unique_ptr<T[]> fHeap;
    T* fData = fStack;
};

// The tables that speed up the search for one run between two "%" signs. They take some kilobytes
// a run, so only a pattern of few runs gets them; the runs of any other pattern are searched
// plainly, which keeps a compiled pattern proportional to the length of its text.
struct TRunSearch
{
    std::u32string_view Chars;     // folded, no "_"
    std::string_view Bytes;        // the same as UTF-8
    std::array<Byte, 256> Shift{}; // Horspool skip table over Bytes

    // Search in the text's own bytes, without folding it: a match there is a run of exactly
    // Bytes.size() bytes in which position j holds a byte of some character that folds to the
    // pattern character there. Masks[b] has bit (m-1-j) set when byte b may stand at position j.
    // This needs every such character to have the UTF-8 length of its folded form; the lead bytes
    // of those that do not (ᲀ for "в", the Kelvin sign for "k") are in Watch, and a text holding
    // one is searched folded instead.
    bool Raw = false;
    std::array<std::uint64_t, 256> Masks{};
    std::array<Byte, 4096> PairShift{}; // by PairIndex; pairs that share an index take the least
    // The probe: the bytes allowed at ProbeFirst and at the last position, when both sets are small.
    bool Probe = false;
    std::size_t ProbeFirst = 0;
    std::array<Byte, 4> FirstClass{}, FinalClass{};
    int FirstClassSize = 0, FinalClassSize = 0;
    std::vector<Byte> Watch;

    TRunSearch(const TFoldTables& t, std::u32string_view chars, std::string_view bytes) : Chars(chars), Bytes(bytes)
    {
        const std::size_t m = Bytes.size();
        Shift.fill(Byte(std::min<std::size_t>(m, 255)));
        for (std::size_t i = 0; i + 1 < m; ++i)
            Shift[Byte(Bytes[i])] = Byte(std::min<std::size_t>(m - 1 - i, 255));

        // A bad byte reads as U+FFFD and is one byte long: leave such patterns to the folded search.
        Raw = m > 0 && m <= 64 && std::find(Chars.begin(), Chars.end(), kReplacement) == Chars.end();
        if (!Raw)
            return;
        Byte buffer[4];
        std::size_t at = 0;
        for (char32_t c : Chars) {
            const std::size_t length = std::size_t(EncodeUtf8(c, buffer) - buffer);
            for (char32_t original : Unfolded(t, c)) {
                const std::size_t n = std::size_t(EncodeUtf8(original, buffer) - buffer);
                if (n != length) {
                    if (std::find(Watch.begin(), Watch.end(), buffer[0]) == Watch.end())
                        Watch.push_back(buffer[0]);
                    continue;
                }
                for (std::size_t k = 0; k < n; ++k)
                    Masks[buffer[k]] |= std::uint64_t(1) << (m - 1 - (at + k));
            }
            at += length;
        }
        CompilePairs();
        CompileProbe();
    }

    void CompileProbe()
    {
        const std::size_t m = Bytes.size();
        Byte lead[4];
        ProbeFirst = std::size_t(EncodeUtf8(Chars.front(), lead) - lead) - 1;
        const auto fill = [&](std::size_t position, std::array<Byte, 4>& bytes, int& size) {
            size = 0;
            for (unsigned b = 0; b < 256; ++b) {
                if (!(Masks[b] >> (m - 1 - position) & 1))
                    continue;
                if (size == int(bytes.size()))
                    return false;
                bytes[std::size_t(size++)] = Byte(b);
            }
            return size > 0;
        };
        Probe = fill(ProbeFirst, FirstClass, FirstClassSize) && fill(m - 1, FinalClass, FinalClassSize);
    }

    // Leftmost match in the text's own bytes [from, end); returns the end of the match or null.
    const Byte* FindRaw(const Byte* from, const Byte* end, const TFoldTables& t) const
    {
        const std::size_t m = Bytes.size();
        if (std::size_t(end - from) < m)
            return nullptr;
        if (!Probe)
            return FindRawByPairs(from, end, t);
        // Window starts are tested on two bytes that tell letters apart (the last byte of the
        // first character and the last byte of the pattern; lead bytes tell little), sixteen
        // starts at a time where the processor allows; the few that pass are confirmed.
        const std::size_t last = std::size_t(end - from) - m; // the last window start
#if defined(__SSE2__)
        if (last < 15) {
            // A short text: one block over a copy padded with zeros; starts past last are masked off.
            alignas(16) Byte padded[64 + 16 + 16] = {};
            std::memcpy(padded, from, std::size_t(end - from));
            const Byte* hit = ProbeBlock(padded, (1u << (last + 1)) - 1, t);
            return hit ? from + (hit - padded) : nullptr;
        }
        std::size_t start = 0;
        for (; start + 15 <= last; start += 16)
            if (const Byte* hit = ProbeBlock(from + start, 0xFFFF, t))
                return hit;
        // The starts left over: one more block that ends at the last start, minus those done.
        if (start <= last)
            return ProbeBlock(from + last - 15, 0xFFFFu & ~((1u << (start - (last - 15))) - 1), t);
        return nullptr;
#else
        const std::uint64_t firstBit = std::uint64_t(1) << (m - 1 - ProbeFirst);
        for (std::size_t start = 0; start <= last; ++start) {
            const Byte* window = from + start;
            if ((Masks[window[ProbeFirst]] & firstBit) && (Masks[window[m - 1]] & 1)
                && ConfirmRaw(window, window + m, t))
                return window + m;
        }
        return nullptr;
#endif
    }

#if defined(__SSE2__)
    // Probes the sixteen window starts from base on (the allowed ones in starts) and confirms those
    // that pass, leftmost first; base must have 15 + Bytes.size() readable bytes.
    const Byte* ProbeBlock(const Byte* base, unsigned starts, const TFoldTables& t) const
    {
        const std::size_t m = Bytes.size();
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + ProbeFirst));
        const __m128i final = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + m - 1));
        __m128i hitFirst = _mm_cmpeq_epi8(first, _mm_set1_epi8(char(FirstClass[0])));
        for (int k = 1; k < FirstClassSize; ++k)
            hitFirst = _mm_or_si128(hitFirst, _mm_cmpeq_epi8(first, _mm_set1_epi8(char(FirstClass[k]))));
        __m128i hitFinal = _mm_cmpeq_epi8(final, _mm_set1_epi8(char(FinalClass[0])));
        for (int k = 1; k < FinalClassSize; ++k)
            hitFinal = _mm_or_si128(hitFinal, _mm_cmpeq_epi8(final, _mm_set1_epi8(char(FinalClass[k]))));
        for (unsigned bits = unsigned(_mm_movemask_epi8(_mm_and_si128(hitFirst, hitFinal))) & starts; bits;
             bits &= bits - 1) {
            const Byte* window = base + unsigned(__builtin_ctz(bits));
            if (ConfirmRaw(window, window + m, t))
                return window + m;
        }
        return nullptr;
    }
#endif

    // The same search without the probe: Horspool on the pair of bytes that ends the window (in
    // UTF-8 Cyrillic every other byte is a D0 or D1 lead byte, while a pair pins down a letter).
    const Byte* FindRawByPairs(const Byte* from, const Byte* end, const TFoldTables& t) const
    {
        const std::size_t m = Bytes.size();
        if (m == 1) {
            for (const Byte* p = from; p < end; ++p)
                if (Masks[*p] && ConfirmRaw(p, p + 1, t))
                    return p + 1;
            return nullptr;
        }
        for (const Byte* window = from; std::size_t(end - window) >= m;) {
            const Byte* pair = window + m - 2;
            const Byte shift = PairShift[PairIndex(pair[0], pair[1])];
            if (shift) {
                window += shift;
                continue;
            }
            if (ConfirmRaw(window, window + m, t))
                return window + m;
            ++window;
        }
        return nullptr;
    }

    static std::size_t PairIndex(Byte a, Byte b)
    {
        return (std::size_t(a & 0x3F) << 6) | (b & 0x3F);
    }

    // Fills PairShift from Masks: the distance from each pair position to the window's end.
    void CompilePairs()
    {
        const std::size_t m = Bytes.size();
        PairShift.fill(Byte(m - 1));
        std::vector<std::vector<Byte>> classes(m);
        for (std::size_t j = 0; j < m; ++j)
            for (unsigned b = 0; b < 256; ++b)
                if (Masks[b] >> (m - 1 - j) & 1)
                    classes[j].push_back(Byte(b));
        for (std::size_t j = 0; j + 1 < m; ++j)
            for (Byte a : classes[j])
                for (Byte b : classes[j + 1]) {
                    Byte& shift = PairShift[PairIndex(a, b)];
                    shift = std::min(shift, Byte(m - 2 - j));
                }
    }

    bool ConfirmRaw(const Byte* p, const Byte* e, const TFoldTables& t) const
    {
        for (char32_t c : Chars)
            if (p == e || Fold(t, DecodeUtf8(p, e)) != c)
                return false;
        return p == e;
    }
};

// One run of the pattern between "%" signs (or before the first, or after the last).
struct TSegment
{
    std::u32string_view Chars; // folded; kAnyOne for "_"
    bool HasAnyOne = false;
    std::string_view Bytes;                   // folded UTF-8 of a searched run without "_"
    std::unique_ptr<const TRunSearch> Search; // none: searched plainly

    qsizetype Length() const { return qsizetype(Chars.size()); }
    bool Raw() const { return Search && Search->Raw; }

    // Code point comparison at a position of a folded text.
    bool EqualsAt(const char32_t* text, qsizetype at) const
    {
        for (qsizetype j = 0; j < Length(); ++j)
            if (Chars[std::size_t(j)] != kAnyOne && Chars[std::size_t(j)] != text[at + j])
                return false;
        return true;
    }

    // Leftmost occurrence in folded UTF-8 [from, end); returns the end of the match or null.
    const Byte* FindIn(const Byte* from, const Byte* end) const
    {
        if (HasAnyOne) {
            for (const Byte* start = from; start < end;) {
                const Byte* p = start;
                bool ok = true;
                for (char32_t c : Chars) {
                    if (p >= end) {
                        return nullptr; // later starts have even less room
                    }
                    const char32_t t = DecodeUtf8(p, end);
                    if (c != kAnyOne && c != t) {
                        ok = false;
                        break;
                    }
                }
                if (ok)
                    return p;
                ++start;
                while (start < end && IsContinuation(*start))
                    ++start;
            }
            return nullptr;
        }
        const std::size_t m = Bytes.size();
        const std::size_t n = std::size_t(end - from);
        if (m > n)
            return nullptr;
        const Byte* needle = reinterpret_cast<const Byte*>(Bytes.data());
        if (m == 1) {
            const void* hit = std::memchr(from, needle[0], n);
            return hit ? static_cast<const Byte*>(hit) + 1 : nullptr;
        }
        const Byte last = needle[m - 1];
        if (!Search) {
            // No skip table: find the first byte, then compare the rest.
            for (const Byte* p = from; p + m <= end; ++p) {
                p = static_cast<const Byte*>(std::memchr(p, needle[0], std::size_t(end - p) - m + 1));
                if (!p)
                    return nullptr;
                if (p[m - 1] == last && std::memcmp(p, needle, m - 1) == 0)
                    return p + m;
            }
            return nullptr;
        }
        for (const Byte* p = from; p + m <= end;) {
            const Byte c = p[m - 1];
            if (c == last && std::memcmp(p, needle, m - 1) == 0)
                return p + m;
            p += Search->Shift[c];
        }
        return nullptr;
    }
};

enum class TVerdict
{
    No,
    Yes,
    Unsure
};

} // namespace

struct TTextMatcher::Impl
{
    const TFoldTables* Tables = nullptr;
    std::u32string Chars;         // the folded pattern without its "%" signs; the runs look into it
    std::string Bytes;            // the middle runs without "_" as UTF-8; they look into it
    bool Exact = false;           // no "%": the whole text must match Head
    TSegment Head;                // before the first "%", anchored at the start
    TSegment Tail;                // after the last "%", anchored at the end
    std::vector<TSegment> Middle; // between, found leftmost in order
    bool RawMiddle = false;       // every middle run can be searched in the text's own bytes
    std::vector<Byte> Watch;      // lead bytes that send a text to the folded search

    // The decision on a folded text; the reference for both entry points.
    bool MatchFolded(const char32_t* text, qsizetype n) const
    {
        if (Exact)
            return n == Head.Length() && Head.EqualsAt(text, 0);
        if (Head.Length() > n || !Head.EqualsAt(text, 0))
            return false;
        qsizetype pos = Head.Length();
        const qsizetype last = n - Tail.Length();
        if (last < pos || !Tail.EqualsAt(text, last))
            return false;
        for (const TSegment& segment : Middle) {
            qsizetype at = pos;
            while (at + segment.Length() <= last && !segment.EqualsAt(text, at))
                ++at;
            if (at + segment.Length() > last)
                return false;
            pos = at + segment.Length();
        }
        return true;
    }

    bool MatchUtf8Decoded(const Byte* p, const Byte* e) const
    {
        TScratch<char32_t> folded(std::size_t(e - p));
        char32_t* out = folded.Data();
        while (p < e)
            *out++ = Fold(*Tables, DecodeUtf8(p, e));
        return MatchFolded(folded.Data(), out - folded.Data());
    }

    // Byte-wise decision; Unsure when the text needs the decoding path.
    TVerdict MatchUtf8Fast(const Byte* p, const Byte* e) const
    {
        const TFoldTables& t = *Tables;
        // The start: character by character, folding as we go.
        for (char32_t c : Head.Chars) {
            if (p == e)
                return TVerdict::No;
            const char32_t folded = Fold(t, DecodeUtf8(p, e));
            if (c != kAnyOne && c != folded)
                return TVerdict::No;
        }
        if (Exact)
            return p == e ? TVerdict::Yes : TVerdict::No;

        // The end: step back one character at a time.
        const Byte* q = e;
        for (auto it = Tail.Chars.rbegin(); it != Tail.Chars.rend(); ++it) {
            if (q == p)
                return TVerdict::No;
            const Byte* r = q - 1;
            while (r > p && IsContinuation(*r) && q - r < 4)
                --r;
            // r starts a character unless it is a continuation byte above p; either way the
            // character read from r must end exactly at q, or the bytes need the decoding path.
            const Byte* s = r;
            const char32_t c = DecodeUtf8(s, q);
            if (s != q)
                return TVerdict::Unsure;
            if (*it != kAnyOne && *it != Fold(t, c))
                return TVerdict::No;
            q = r;
        }
        if (Middle.empty())
            return TVerdict::Yes;

        if (RawMiddle) {
            bool watched = false;
            for (Byte w : Watch)
                watched = watched || std::memchr(p, w, std::size_t(q - p));
            if (!watched) {
                const Byte* at = p;
                for (const TSegment& segment : Middle) {
                    at = segment.Search->FindRaw(at, q, t);
                    if (!at)
                        return TVerdict::No;
                }
                return TVerdict::Yes;
            }
        }

        // The middle runs: fold the bytes between once, then search them. Only the folded copy is
        // searched, so a fold that changes a character's length needs no care beyond room: at worst
        // a bad byte becomes the three bytes of U+FFFD.
        TScratch<Byte> scratch(3 * std::size_t(q - p));
        Byte* const folded = scratch.Data();
        Byte* out = folded;
        while (p < q) {
            const Byte b = *p;
            if (b < 0x80) {
                *out++ = t.Ascii[b];
                ++p;
                continue;
            }
            if (b >= 0xC2 && b <= 0xDF && q - p >= 2 && IsContinuation(p[1])) {
                const std::uint16_t two = t.TwoByte[(unsigned(b & 0x1F) << 6) | (p[1] & 0x3F)];
                if (two) {
                    out[0] = Byte(two >> 8);
                    out[1] = Byte(two);
                    out += 2;
                    p += 2;
                    continue;
                }
            }
            out = EncodeUtf8(Fold(t, DecodeUtf8(p, q)), out);
        }
        const Byte* at = folded;
        for (const TSegment& segment : Middle) {
            at = segment.FindIn(at, out);
            if (!at)
                return TVerdict::No;
        }
        return TVerdict::Yes;
    }
};

TTextMatcher::TTextMatcher(const QString& literal, TCondition::Op op)
{
    auto impl = std::make_shared<Impl>();
    impl->Tables = &FoldTables();
    const TFoldTables& t = *impl->Tables;
    const bool like = op == TCondition::Like;

    // The literal text before the first wildcard, as typed.
    qsizetype prefixEnd = literal.size();
    if (like) {
        for (qsizetype i = 0; i < literal.size(); ++i) {
            if (literal[i] == u'%' || literal[i] == u'_') {
                prefixEnd = i;
                break;
            }
        }
    }
    fPrefix = literal.left(prefixEnd);
    if (!like) {
        fPurePrefix = true;
    } else {
        const QStringView rest = QStringView(literal).mid(prefixEnd);
        fPurePrefix = !rest.isEmpty() && std::all_of(rest.begin(), rest.end(), [](QChar c) { return c == u'%'; });
    }

    // Fold the text into one buffer and split it at "%" into the start, the middle runs and the
    // end; a row of "%" is one "%".
    std::u32string& chars = impl->Chars;
    chars.reserve(std::size_t(literal.size()));
    std::vector<std::size_t> ends; // where each piece ends in chars
    for (qsizetype i = 0; i < literal.size(); ++i) {
        const QChar c = literal[i];
        if (like && c == u'%') {
            if (i == 0 || literal[i - 1] != u'%')
                ends.push_back(chars.size());
            continue;
        }
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < literal.size() && literal[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, literal[i + 1]);
            ++i;
        } else if (c.isSurrogate()) {
            code = kReplacement;
        }
        chars.push_back(like && c == u'_' ? kAnyOne : Fold(t, code));
    }
    ends.push_back(chars.size());
    chars.shrink_to_fit();

    const auto piece = [&](std::size_t k) {
        TSegment segment;
        const std::size_t from = k == 0 ? 0 : ends[k - 1];
        segment.Chars = std::u32string_view(chars).substr(from, ends[k] - from);
        segment.HasAnyOne = std::find(segment.Chars.begin(), segment.Chars.end(), kAnyOne) != segment.Chars.end();
        return segment;
    };
    impl->Exact = ends.size() == 1;
    impl->Head = piece(0);
    if (!impl->Exact) {
        impl->Tail = piece(ends.size() - 1);
        // The middle runs, searched in folded UTF-8 when they hold no "_".
        std::string& bytes = impl->Bytes;
        std::vector<std::pair<std::size_t, std::size_t>> spans; // of each middle run in bytes
        Byte buffer[4];
        impl->Middle.reserve(ends.size() - 2);
        for (std::size_t k = 1; k + 1 < ends.size(); ++k) {
            impl->Middle.push_back(piece(k));
            const std::size_t from = bytes.size();
            if (!impl->Middle.back().HasAnyOne)
                for (char32_t c : impl->Middle.back().Chars)
                    bytes.append(reinterpret_cast<const char*>(buffer), std::size_t(EncodeUtf8(c, buffer) - buffer));
            spans.emplace_back(from, bytes.size() - from);
        }
        bytes.shrink_to_fit();
        const bool tabled = impl->Middle.size() <= kTabledRuns;
        impl->RawMiddle = !impl->Middle.empty() && tabled;
        for (std::size_t k = 0; k < impl->Middle.size(); ++k) {
            TSegment& segment = impl->Middle[k];
            segment.Bytes = std::string_view(bytes).substr(spans[k].first, spans[k].second);
            if (tabled && !segment.HasAnyOne)
                segment.Search = std::make_unique<const TRunSearch>(t, segment.Chars, segment.Bytes);
            impl->RawMiddle = impl->RawMiddle && segment.Raw();
            if (segment.Search)
                for (Byte w : segment.Search->Watch)
                    if (std::find(impl->Watch.begin(), impl->Watch.end(), w) == impl->Watch.end())
                        impl->Watch.push_back(w);
        }
    }
    fImpl = std::move(impl);
}

std::size_t TTextMatcher::CompiledBytes() const
{
    const Impl& impl = *fImpl;
    std::size_t total = sizeof(Impl) + impl.Chars.capacity() * sizeof(char32_t) + impl.Bytes.capacity()
                        + impl.Middle.capacity() * sizeof(TSegment) + impl.Watch.capacity();
    for (const TSegment& segment : impl.Middle)
        if (segment.Search)
            total += sizeof(TRunSearch) + segment.Search->Watch.capacity();
    return total;
}

bool TTextMatcher::Matches(QStringView text) const
{
    TScratch<char32_t> folded(std::size_t(text.size()));
    char32_t* out = folded.Data();
    const TFoldTables& t = *fImpl->Tables;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, text[i + 1]);
            ++i;
        } else if (c.isSurrogate()) {
            code = kReplacement;
        }
        *out++ = Fold(t, code);
    }
    return fImpl->MatchFolded(folded.Data(), out - folded.Data());
}

bool TTextMatcher::MatchesUtf8(const char* data, qsizetype size) const
{
    const Byte* p = reinterpret_cast<const Byte*>(data);
    const Byte* e = p + size;
    if (size == 0) {
        static const Byte empty = 0;
        p = e = &empty;
    }
    switch (fImpl->MatchUtf8Fast(p, e)) {
    case TVerdict::No:
        return false;
    case TVerdict::Yes:
        return true;
    case TVerdict::Unsure:
        break;
    }
    return fImpl->MatchUtf8Decoded(p, e);
}

namespace {

// The signature bit of two characters that follow each other, both folded.
inline std::uint32_t PairBit(char32_t first, char32_t second)
{
    return std::uint32_t(1) << ((std::uint32_t(first * 0x9E3779B1u) ^ std::uint32_t(second * 0x85EBCA77u)) >> 27);
}

} // namespace

// Stand for the start and the end of a text in its pairs, so that a pattern anchored there (no %
// before or after it) asks for its first or last character at that place. No code point has them.
constexpr char32_t kTextStart = 0xFFFFFFFEu;
constexpr char32_t kTextEnd = 0xFFFFFFFDu;

std::uint32_t TTextMatcher::Signature(const char* utf8, qsizetype size)
{
    const TFoldTables& t = FoldTables();
    const Byte* p = reinterpret_cast<const Byte*>(utf8);
    const Byte* e = p + size;
    std::uint32_t signature = 0;
    char32_t previous = kTextStart;
    while (p < e) {
        const char32_t c = *p < 0x80 ? char32_t(t.Ascii[*p++]) : Fold(t, DecodeUtf8(p, e));
        signature |= PairBit(previous, c);
        previous = c;
    }
    return signature | PairBit(previous, kTextEnd);
}

std::uint32_t TTextMatcher::RequiredSignature() const
{
    const Impl& impl = *fImpl;
    std::uint32_t signature = 0;
    const auto pair = [&](char32_t first, char32_t second) {
        if (first != kAnyOne && second != kAnyOne)
            signature |= PairBit(first, second);
    };
    const auto add = [&](const TSegment& segment) {
        for (std::size_t i = 1; i < segment.Chars.size(); ++i)
            pair(segment.Chars[i - 1], segment.Chars[i]);
    };
    add(impl.Head);
    if (impl.Exact) {
        // The whole text: its first and last characters stand at its ends.
        pair(kTextStart, impl.Head.Chars.empty() ? kTextEnd : impl.Head.Chars.front());
        if (!impl.Head.Chars.empty())
            pair(impl.Head.Chars.back(), kTextEnd);
        return signature;
    }
    if (!impl.Head.Chars.empty())
        pair(kTextStart, impl.Head.Chars.front());
    for (const TSegment& segment : impl.Middle)
        add(segment);
    add(impl.Tail);
    if (!impl.Tail.Chars.empty())
        pair(impl.Tail.Chars.back(), kTextEnd);
    return signature;
}
