#pragma once
// A directory of tricky rows and hostile criteria, for tests that hold two ways of searching against
// each other: values in every letter case, ё, ß and the Kelvin sign, wildcards and quotes stored as
// text, invalid UTF-8 bytes, NULL, empty texts and blobs; criteria of random runs of such characters,
// lone surrogates among them, and the starts of stored values as the window would show them.

#include <QString>

#include <random>
#include <string>
#include <vector>

namespace tricky {

inline const char* const kColumns[] = {"numer", "vlad", "street", "numhome", "numdoor"};

// Pieces of values (SQL expressions); those in x'..' form are raw bytes, many of them not UTF-8.
inline const char* const kPieces[] = {
    "'Иванов'", "'иванова'", "'ИВАН'",      "'Ёлкин'", "'ёлка'",   "'елка'",    "'Е'",   "'ё'",   "' '",
    "'k'",      "'K'",       "'\u212A'",    "'i'",     "'\u0130'", "'ß'",       "'ss'",  "'12'",  "'%'",
    "'_'",      "'\"'",      "''''",        "'ООО'",   "'\uFFFD'", "x'FF'",     "x'C0'", "x'80'", "x'D0'",
    "x'C0AF'",  "x'EDA080'", "x'F4908080'", "x'E282'", "x'FE41'",  "x'D0D0B8'", "x'00'",
};

inline std::string RandomValue(std::mt19937& rng)
{
    switch (rng() % 20) {
    case 0:
        return "NULL";
    case 1:
        return "''";
    case 2:
        return "x'D0B8D0B2'"; // a blob
    default:
        break;
    }
    std::string value;
    const int count = 1 + int(rng() % 4);
    for (int i = 0; i < count; ++i)
        value += std::string(value.empty() ? "" : " || ") + kPieces[rng() % std::size(kPieces)];
    return "CAST(" + value + " AS TEXT)";
}

// Criteria: random runs of tricky characters, and the starts of stored values as a user would
// see them (invalid bytes shown as U+FFFD), with and without wildcards.
inline std::vector<QString> RandomCriteria(std::mt19937& rng, int count)
{
    static const QString alphabet[] = {"и",
                                       "И",
                                       "в",
                                       "В",
                                       "ё",
                                       "Ё",
                                       "е",
                                       "Е",
                                       "к",
                                       "k",
                                       "K",
                                       "\u212A",
                                       "ß",
                                       "s",
                                       "S",
                                       "\u0130",
                                       "i",
                                       "%",
                                       "_",
                                       "\"",
                                       "'",
                                       " ",
                                       "1",
                                       "2",
                                       "О",
                                       "\uFFFD",
                                       QString(QChar(0xD800)),
                                       QString(QChar(0xDC00)),
                                       "\uFFFDA",
                                       "А",
                                       "\u0000",
                                       "я"};
    std::vector<QString> out;
    for (int i = 0; i < count; ++i) {
        QString text;
        const int length = int(rng() % 5);
        for (int k = 0; k < length; ++k)
            text += alphabet[rng() % std::size(alphabet)];
        out.push_back(text);
    }
    static const char* const bytes[] = {"\xFF",
                                        "\xC0",
                                        "\x80",
                                        "\xD0",
                                        "\xED\xA0\x80",
                                        "\xE2\x82",
                                        "\xFE"
                                        "A",
                                        "\xD0\xD0\xB8",
                                        "\xF4\x90\x80\x80",
                                        "\xC0\xAF"};
    for (const char* b : bytes) {
        const QString shown = QString::fromUtf8(b); // as the window would show the stored bytes
        out.push_back(shown);
        out.push_back(shown + "%");
        out.push_back(shown + "и%");
        out.push_back(shown + "_%");
    }
    return out;
}

} // namespace tricky
