#include "TTextMatcher.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// Both entry points decide on code points folded one to one (Unicode simple case folding, as
// QChar::toCaseFolded gives it), so "_" is always exactly one character and the UTF-16 and UTF-8
// paths agree by construction. Bytes that are not well-formed UTF-8 read as one U+FFFD each, as
// QString::fromUtf8 reads them, so a value matches exactly when its displayed text does.
// The UTF-8 path works on the bytes themselves, folding ASCII and two-byte letters (Cyrillic among
// them) through tables; it decodes the whole text into code points only when stepping back from
// the end of a text meets bytes that are not well-formed.

namespace {

using Byte = std::uint8_t;

// Stands for "_" in a compiled pattern; no code point has this value.
constexpr char32_t kAnyOne = 0xFFFFFFFFu;
constexpr char32_t kReplacement = 0xFFFD;
// Texts up to this many bytes are folded on the stack.
constexpr std::size_t kStackBytes = 512;

struct TFoldTables
{
    // ASCII folded to ASCII.
    std::array<Byte, 128> Ascii{};
    // Folded code point of every code point below U+0800 (all fold into the BMP).
    std::array<char16_t, 0x800> Low{};
    // For every two-byte code point (U+0080..U+07FF): its folded form as two UTF-8 bytes (lead byte
    // high), or 0 when the folded form has another length (the long s, a few Latin letters).
    std::array<std::uint16_t, 0x800> TwoByte{};

    TFoldTables()
    {
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
            const char32_t c = (char32_t(b & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12)
                               | (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
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

// One run of the pattern between "%" signs.
struct TSegment
{
    std::u32string Chars;  // folded; kAnyOne for "_"
    bool HasAnyOne = false;
    std::string Bytes;                 // folded UTF-8, when there is no "_"
    std::array<Byte, 256> Shift{};     // Horspool skip table over Bytes

    qsizetype Length() const { return qsizetype(Chars.size()); }

    void Compile()
    {
        HasAnyOne = std::find(Chars.begin(), Chars.end(), kAnyOne) != Chars.end();
        if (HasAnyOne)
            return;
        Byte buffer[4];
        for (char32_t c : Chars)
            Bytes.append(reinterpret_cast<const char*>(buffer),
                         std::size_t(EncodeUtf8(c, buffer) - buffer));
        const std::size_t m = Bytes.size();
        Shift.fill(Byte(std::min<std::size_t>(m, 255)));
        for (std::size_t i = 0; i + 1 < m; ++i)
            Shift[Byte(Bytes[i])] = Byte(std::min<std::size_t>(m - 1 - i, 255));
    }

    // Code point comparison at a position of a folded text.
    bool EqualsAt(const char32_t* text, qsizetype at) const
    {
        for (qsizetype j = 0; j < Length(); ++j)
            if (Chars[j] != kAnyOne && Chars[j] != text[at + j])
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
                        return nullptr;  // later starts have even less room
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
        for (const Byte* p = from; p + m <= end;) {
            const Byte c = p[m - 1];
            if (c == last && std::memcmp(p, needle, m - 1) == 0)
                return p + m;
            p += Shift[c];
        }
        return nullptr;
    }
};

enum class TVerdict { No, Yes, Unsure };

}  // namespace

struct TTextMatcher::Impl
{
    const TFoldTables* Tables = nullptr;
    bool Exact = false;            // no "%": the whole text must match Head
    TSegment Head;                 // before the first "%", anchored at the start
    TSegment Tail;                 // after the last "%", anchored at the end
    std::vector<TSegment> Middle;  // between, found leftmost in order

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

    // Split at "%" into the start, the middle runs and the end.
    std::vector<TSegment> pieces(1);
    for (qsizetype i = 0; i < literal.size(); ++i) {
        const QChar c = literal[i];
        if (like && c == u'%') {
            pieces.emplace_back();
            continue;
        }
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < literal.size() && literal[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, literal[i + 1]);
            ++i;
        } else if (c.isSurrogate()) {
            code = kReplacement;
        }
        pieces.back().Chars.push_back(like && c == u'_' ? kAnyOne : Fold(*impl->Tables, code));
    }
    impl->Exact = pieces.size() == 1;
    impl->Head = std::move(pieces.front());
    impl->Head.Compile();
    if (!impl->Exact) {
        impl->Tail = std::move(pieces.back());
        impl->Tail.Compile();
        for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
            if (pieces[i].Chars.empty())
                continue;  // "%%" is one "%"
            pieces[i].Compile();
            impl->Middle.push_back(std::move(pieces[i]));
        }
    }
    fImpl = std::move(impl);
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
