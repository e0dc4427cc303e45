#pragma once
// The order the directory sorts text in: Russian collation (ICU through QCollator), letter case
// ignored, blanks first. Sorting a whole result by it must stay fast for a million rows, so most
// texts get a compact key of one byte per character whose plain byte order is the collation's
// order; texts with characters outside the key's table fall back to the collator itself.

#include <QByteArrayView>
#include <QCollator>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TRussianCollation
{
public:
    // The shared instance (its tables are built once, on first use).
    static const TRussianCollation& Instance();

    // Compares as the collator does: <0, 0, >0.
    int Compare(QStringView a, QStringView b) const;
    QCollatorSortKey SortKey(const QString& text) const;

    // Appends the compact key of a text to out and returns true when every character is in the
    // key's table; otherwise leaves out as it was and returns false. Compared with memcmp (a
    // shorter key that is a prefix of a longer one first), keys order texts exactly as Compare.
    bool AppendKey(QByteArrayView utf8, std::string& out) const;
    bool AppendKey(QStringView text, std::string& out) const;
    // The same key written to out, which must have room for 2 * size + 1 bytes; returns its length,
    // or -1 when a character is outside the table.
    qsizetype WriteKey(QByteArrayView utf8, char* out) const;
    qsizetype WriteKey(QStringView text, char* out) const;

private:
    TRussianCollation();
    // Primary rank (1..255) in the low byte, secondary rank above it; 0 when not in the table.
    std::uint16_t Weight(char32_t c) const
    {
        if (c < fLow.size())
            return fLow[c];
        if (c == 0x2013)
            return fEnDash;
        if (c == 0x2014)
            return fEmDash;
        return 0;
    }
    template <class Decoder>
    qsizetype WriteKeyWith(Decoder decode, char* out) const;

    QCollator fCollator;
    std::array<std::uint16_t, 0x500> fLow{}; // U+0000..U+04FF
    std::uint16_t fEnDash = 0;
    std::uint16_t fEmDash = 0;
};

// Reorders rows (stored row numbers, in the current order) ascending by their text in the
// directory's collation; rows whose texts compare equal keep their current relative order.
// Exactly one of the text sources is used: raw UTF-8 when given, else QString.
void SortRowsByCollation(std::vector<std::uint32_t>& rows,
                         const std::function<QByteArrayView(std::uint32_t row)>& utf8Of,
                         const std::function<QString(std::uint32_t row)>& textOf);
