#include "TRussianCollation.h"

#include <QLocale>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Characters the compact key covers: printable ASCII, the no-break space, guillemets, the Russian
// alphabet and the two dashes. Together they make up nearly every directory entry.
std::vector<char32_t> KeyTableCharacters()
{
    std::vector<char32_t> chars;
    for (char32_t c = 0x20; c <= 0x7E; ++c)
        chars.push_back(c);
    for (char32_t c : {0xA0u, 0xABu, 0xBBu, 0x401u, 0x451u, 0x2013u, 0x2014u})
        chars.push_back(c);
    for (char32_t c = 0x410; c <= 0x44F; ++c)
        chars.push_back(c);
    return chars;
}

QString FromCodePoint(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

// Reads code points from UTF-8; Next returns 1 for a character, 0 at the end, -1 for bytes that
// are not well-formed UTF-8 (those texts take the collator's path, which replaces them).
struct TUtf8Reader
{
    const unsigned char* p;
    const unsigned char* end;

    int Next(char32_t& c)
    {
        if (p == end)
            return 0;
        const unsigned char b = *p;
        if (b < 0x80) {
            c = b;
            ++p;
            return 1;
        }
        if (b >= 0xC2 && b <= 0xDF) {
            if (end - p < 2 || (p[1] & 0xC0) != 0x80)
                return -1;
            c = char32_t(b & 0x1F) << 6 | (p[1] & 0x3F);
            p += 2;
            return 1;
        }
        if (b >= 0xE0 && b <= 0xEF) {
            if (end - p < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80)
                return -1;
            c = char32_t(b & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
            if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))
                return -1;
            p += 3;
            return 1;
        }
        return -1; // four-byte characters are outside the table anyway
    }
};

struct TUtf16Reader
{
    const QChar* p;
    const QChar* end;

    int Next(char32_t& c)
    {
        if (p == end)
            return 0;
        const char16_t u = p->unicode();
        if (u >= 0xD800 && u <= 0xDFFF)
            return -1; // outside the table
        c = u;
        ++p;
        return 1;
    }
};

} // namespace

const TRussianCollation& TRussianCollation::Instance()
{
    static const TRussianCollation instance;
    return instance;
}

TRussianCollation::TRussianCollation() : fCollator(QLocale(QLocale::Russian, QLocale::Russia))
{
    fCollator.setCaseSensitivity(Qt::CaseInsensitive);

    // Rank the table's characters by the collator itself. Neighbours that compare equal (letter
    // case) share a weight; neighbours that differ only at the secondary level (е and ё) share
    // the primary rank and get successive secondary ranks. Two characters differ only at the
    // secondary level when the primary order of what follows them still decides a comparison.
    std::vector<char32_t> chars = KeyTableCharacters();
    std::stable_sort(chars.begin(), chars.end(), [this](char32_t a, char32_t b) {
        return fCollator.compare(FromCodePoint(a), FromCodePoint(b)) < 0;
    });
    const QString low = QStringLiteral("а");
    const QString high = QStringLiteral("я");
    int primary = 1;
    int secondary = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (i > 0) {
            const QString prev = FromCodePoint(chars[i - 1]);
            const QString cur = FromCodePoint(chars[i]);
            if (fCollator.compare(prev, cur) != 0) {
                if (fCollator.compare(prev + high, cur + low) > 0) {
                    ++secondary;
                } else {
                    ++primary;
                    secondary = 0;
                }
            }
        }
        if (primary > 255 || secondary > 255)
            break; // the rest stays outside the table
        const auto weight = std::uint16_t(primary | secondary << 8);
        const char32_t c = chars[i];
        if (c < fLow.size())
            fLow[c] = weight;
        else if (c == 0x2013)
            fEnDash = weight;
        else if (c == 0x2014)
            fEmDash = weight;
    }
}

int TRussianCollation::Compare(QStringView a, QStringView b) const
{
    return fCollator.compare(a, b);
}

QCollatorSortKey TRussianCollation::SortKey(const QString& text) const
{
    return fCollator.sortKey(text);
}

// Key layout: one primary-rank byte per character; then, only when some character has a
// secondary rank, a 0 byte and one secondary-rank byte per character with trailing zeros dropped.
// Primary ranks are never 0, so a key that ends where another goes on sorts first, as the
// collator puts a text before its extensions; secondary bytes only decide between texts whose
// primary bytes are all equal, at the first character where they differ, as the collator does.
template <class Decoder>
qsizetype TRussianCollation::WriteKeyWith(Decoder decode, char* out) const
{
    char* p = out;
    Decoder again = decode;
    bool anySecondary = false;
    char32_t c = 0;
    int r = 0;
    while ((r = decode.Next(c)) > 0) {
        const std::uint16_t w = Weight(c);
        if (w == 0)
            return -1;
        *p++ = char(w & 0xFF);
        anySecondary |= (w >> 8) != 0;
    }
    if (r < 0)
        return -1;
    if (anySecondary) {
        *p++ = '\0';
        char* lastNonZero = p;
        while (again.Next(c) > 0) {
            *p = char(Weight(c) >> 8);
            if (*p++ != '\0')
                lastNonZero = p;
        }
        p = lastNonZero;
    }
    return p - out;
}

qsizetype TRussianCollation::WriteKey(QByteArrayView utf8, char* out) const
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    return WriteKeyWith(TUtf8Reader{p, p + utf8.size()}, out);
}

qsizetype TRussianCollation::WriteKey(QStringView text, char* out) const
{
    return WriteKeyWith(TUtf16Reader{text.data(), text.data() + text.size()}, out);
}

bool TRussianCollation::AppendKey(QByteArrayView utf8, std::string& out) const
{
    const std::size_t start = out.size();
    out.resize(start + 2 * std::size_t(utf8.size()) + 1);
    const qsizetype n = WriteKey(utf8, out.data() + start);
    out.resize(start + std::size_t(std::max<qsizetype>(n, 0)));
    return n >= 0;
}

bool TRussianCollation::AppendKey(QStringView text, std::string& out) const
{
    const std::size_t start = out.size();
    out.resize(start + 2 * std::size_t(text.size()) + 1);
    const qsizetype n = WriteKey(text, out.data() + start);
    out.resize(start + std::size_t(std::max<qsizetype>(n, 0)));
    return n >= 0;
}

// ---------------------------------------------------------------------------------------------

namespace {

struct TKeyEntry
{
    // The key's first 16 bytes, big-endian, zero-padded: most comparisons end here.
    std::uint64_t Head0;
    std::uint64_t Head1;
    std::uint32_t Tail;   // offset of the key's bytes after the first 16 in the tail store
    std::uint32_t Length; // of the whole key
    std::uint32_t Pos;    // index in the order being sorted: the tie-break that keeps it stable
};

std::uint64_t BigEndian(const char* key, std::size_t length)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i)
        v = v << 8 | (i < length ? std::uint8_t(key[i]) : 0);
    return v;
}

// Stable order by the collator alone, for results where few texts have compact keys.
void SortByCollatorKeys(std::vector<std::uint32_t>& rows, const std::function<QString(std::uint32_t)>& textOf)
{
    const TRussianCollation& collation = TRussianCollation::Instance();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows.size());
    for (std::uint32_t row : rows)
        keys.push_back(collation.SortKey(textOf(row)));
    std::vector<std::uint32_t> index(rows.size());
    for (std::uint32_t i = 0; i < index.size(); ++i)
        index[i] = i;
    std::stable_sort(index.begin(), index.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<std::uint32_t> sorted(rows.size());
    for (std::size_t i = 0; i < index.size(); ++i)
        sorted[i] = rows[index[i]];
    rows.swap(sorted);
}

} // namespace

void SortRowsByCollation(std::vector<std::uint32_t>& rows,
                         const std::function<QByteArrayView(std::uint32_t row)>& utf8Of,
                         const std::function<QString(std::uint32_t row)>& textOf)
{
    const std::size_t n = rows.size();
    if (n < 2)
        return;
    const TRussianCollation& collation = TRussianCollation::Instance();
    const auto text = [&](std::uint32_t row) { return utf8Of ? QString::fromUtf8(utf8Of(row)) : textOf(row); };

    // Keys are made walking the rows in stored order (the order their texts lie in memory);
    // each remembers its position in the order being sorted.
    const std::uint32_t rowLimit = *std::max_element(rows.begin(), rows.end()) + 1;
    std::vector<std::uint32_t> posOf(rowLimit, std::numeric_limits<std::uint32_t>::max());
    for (std::uint32_t pos = 0; pos < n; ++pos)
        posOf[rows[pos]] = pos;

    std::string tails;
    std::string key;
    std::vector<TKeyEntry> simple;
    simple.reserve(n);
    std::vector<std::uint32_t> complex; // positions of texts without a compact key
    const std::size_t complexLimit = n / 8 + 16;
    for (std::uint32_t row = 0; row < rowLimit && complex.size() <= complexLimit; ++row) {
        const std::uint32_t pos = posOf[row];
        if (pos == std::numeric_limits<std::uint32_t>::max())
            continue;
        qsizetype length;
        if (utf8Of) {
            const QByteArrayView utf8 = utf8Of(row);
            key.resize(2 * std::size_t(utf8.size()) + 1);
            length = collation.WriteKey(utf8, key.data());
        } else {
            const QString t = textOf(row);
            key.resize(2 * std::size_t(t.size()) + 1);
            length = collation.WriteKey(QStringView(t), key.data());
        }
        if (length < 0) {
            complex.push_back(pos);
            continue;
        }
        const auto len = std::size_t(length);
        TKeyEntry e{BigEndian(key.data(), len), len > 8 ? BigEndian(key.data() + 8, len - 8) : 0,
                    std::uint32_t(tails.size()), std::uint32_t(len), pos};
        if (len > 16)
            tails.append(key.data() + 16, len - 16);
        simple.push_back(e);
    }
    if (complex.size() > complexLimit || tails.size() > std::numeric_limits<std::uint32_t>::max()) {
        SortByCollatorKeys(rows, text);
        return;
    }

    const char* const tail = tails.data();
    std::sort(simple.begin(), simple.end(), [tail](const TKeyEntry& a, const TKeyEntry& b) {
        if (a.Head0 != b.Head0)
            return a.Head0 < b.Head0;
        if (a.Head1 != b.Head1)
            return a.Head1 < b.Head1;
        if (a.Length > 16 && b.Length > 16) {
            const int c = std::memcmp(tail + a.Tail, tail + b.Tail, std::min(a.Length, b.Length) - 16);
            if (c != 0)
                return c < 0;
        }
        if (a.Length != b.Length)
            return a.Length < b.Length;
        return a.Pos < b.Pos;
    });

    std::vector<std::uint32_t> sorted;
    sorted.reserve(n);
    if (complex.empty()) {
        for (const TKeyEntry& e : simple)
            sorted.push_back(rows[e.Pos]);
        rows.swap(sorted);
        return;
    }

    // The few texts outside the table: order them by the collator, then place each among the
    // others by binary search, ties going by position as everywhere else.
    struct TComplex
    {
        QString Text;
        QCollatorSortKey Key;
        std::uint32_t Pos;
    };
    std::vector<TComplex> others;
    others.reserve(complex.size());
    for (std::uint32_t pos : complex) {
        QString t = text(rows[pos]);
        QCollatorSortKey sortKey = collation.SortKey(t);
        others.push_back({std::move(t), std::move(sortKey), pos});
    }
    std::sort(others.begin(), others.end(), [](const TComplex& a, const TComplex& b) {
        const int c = a.Key.compare(b.Key);
        return c != 0 ? c < 0 : a.Pos < b.Pos;
    });
    auto next = simple.begin();
    for (const TComplex& other : others) {
        const auto place = std::partition_point(next, simple.end(), [&](const TKeyEntry& e) {
            const int c = collation.Compare(text(rows[e.Pos]), other.Text);
            return c != 0 ? c < 0 : e.Pos < other.Pos;
        });
        for (; next != place; ++next)
            sorted.push_back(rows[next->Pos]);
        sorted.push_back(rows[other.Pos]);
    }
    for (; next != simple.end(); ++next)
        sorted.push_back(rows[next->Pos]);
    rows.swap(sorted);
}
