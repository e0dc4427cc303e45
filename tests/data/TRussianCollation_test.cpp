// The directory's text order: the compact keys must order texts exactly as the collator does,
// and sorting rows must equal a stable sort by the collator whatever mix of texts it gets.
#include "TRussianCollation.h"

#include <QCollator>
#include <QLocale>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

const TRussianCollation& Collation()
{
    return TRussianCollation::Instance();
}

// Texts built from pieces that stress the key table: е/ё and letter case, shared prefixes,
// spaces and punctuation, digits, Latin beside Cyrillic.
QString RandomTableText(std::mt19937& rng)
{
    static const QStringList pieces = {"е",   "Е",      "ё",      "Ё",      "ж",    "Ж",    "а",    "я",
                                       "й",   "и",      "ь",      "ъ",      "ы",    " ",    "  ",   "-",
                                       "\"",  ".",      ",",      "'",      "(",    ")",    "/",    "0",
                                       "1",   "9",      "a",      "Z",      "z",    "«",    "»",    "–",
                                       "—",   "\u00A0", "Иванов", "ИВАНОВ", "ёлка", "Ёлка", "елка", "ООО \"Ромашка\"",
                                       "ул.", "пр.",    "12а",    "_",      "%",    "~",    "@",    "#"};
    QString s;
    const int count = int(rng() % 5);
    for (int i = 0; i < count; ++i)
        s += pieces[int(rng() % pieces.size())];
    return s;
}

int KeyCompare(const std::string& a, const std::string& b)
{
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int Sign(int v)
{
    return (v > 0) - (v < 0);
}

TEST(TRussianCollation, CompactKeysOrderTextsAsTheCollator)
{
    std::mt19937 rng(7);
    std::vector<std::pair<std::string, QString>> items;
    for (int i = 0; i < 20000; ++i) {
        const QString text = RandomTableText(rng);
        std::string key;
        ASSERT_TRUE(Collation().AppendKey(QStringView(text), key)) << text.toStdString();
        std::string key8;
        ASSERT_TRUE(Collation().AppendKey(QByteArrayView(text.toUtf8()), key8));
        ASSERT_EQ(key, key8) << "UTF-8 and UTF-16 keys differ for " << text.toStdString();
        items.emplace_back(std::move(key), text);
    }
    std::sort(items.begin(), items.end(),
              [](const auto& a, const auto& b) { return KeyCompare(a.first, b.first) < 0; });
    // Sorted by key, every neighbour pair must compare the same way under the collator: then the
    // two orders agree on every pair (same order, same ties).
    for (std::size_t i = 1; i < items.size(); ++i) {
        const int byKey = KeyCompare(items[i - 1].first, items[i].first);
        const int byCollator = Sign(Collation().Compare(items[i - 1].second, items[i].second));
        ASSERT_EQ(byKey, byCollator) << "'" << items[i - 1].second.toStdString() << "' vs '"
                                     << items[i].second.toStdString() << "'";
    }
}

TEST(TRussianCollation, TextsOutsideTheTableHaveNoCompactKey)
{
    for (const QString& text : {QStringLiteral("№ 5"), QStringLiteral("Café"), QStringLiteral("е\u0301"),
                                QStringLiteral("漢字"), QStringLiteral("😀"), QStringLiteral("a\tb")}) {
        std::string key = "x";
        EXPECT_FALSE(Collation().AppendKey(QStringView(text), key)) << text.toStdString();
        EXPECT_FALSE(Collation().AppendKey(QByteArrayView(text.toUtf8()), key)) << text.toStdString();
        EXPECT_EQ(key, "x") << "a refused text leaves the key buffer as it was";
    }
    std::string key;
    EXPECT_FALSE(Collation().AppendKey(QByteArrayView("\xD0", 1), key)) << "cut UTF-8";
    EXPECT_FALSE(Collation().AppendKey(QByteArrayView("\xC0\x80", 2), key)) << "overlong UTF-8";
}

struct TSortCase
{
    std::string Name;
    QStringList Texts;
    QStringList Expected; // empty: compare with a stable sort by the collator
};

std::ostream& operator<<(std::ostream& os, const TSortCase& c)
{
    return os << c.Name;
}

class TCollationSort : public ::testing::TestWithParam<TSortCase>
{
};

// Texts tagged "text#n" sort by the part before '#'; n shows the original position.
QStringList SortedTexts(const QStringList& texts, bool utf8)
{
    std::vector<QByteArray> raw;
    for (const QString& t : texts)
        raw.push_back(t.section('#', 0, 0).toUtf8());
    std::vector<std::uint32_t> rows(texts.size());
    for (std::uint32_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    std::function<QByteArrayView(std::uint32_t)> utf8Of;
    if (utf8)
        utf8Of = [&](std::uint32_t row) { return QByteArrayView(raw[row]); };
    SortRowsByCollation(rows, utf8Of, [&](std::uint32_t row) { return texts[int(row)].section('#', 0, 0); });
    QStringList out;
    for (std::uint32_t row : rows)
        out << texts[int(row)];
    return out;
}

TEST_P(TCollationSort, OrderMatchesStableCollatorSort)
{
    const TSortCase& c = GetParam();
    QStringList expected = c.Expected;
    if (expected.isEmpty()) {
        expected = c.Texts;
        std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
            return Collation().Compare(a.section('#', 0, 0), b.section('#', 0, 0)) < 0;
        });
    }
    EXPECT_EQ(SortedTexts(c.Texts, true), expected) << "from UTF-8";
    EXPECT_EQ(SortedTexts(c.Texts, false), expected) << "from QString";
}

QStringList ManyMixedTexts(int count, int complexEvery)
{
    std::mt19937 rng(11);
    static const QStringList odd = {"№", "é", "漢", "\u0301", "ß", "\t"};
    QStringList texts;
    for (int i = 0; i < count; ++i) {
        QString t = RandomTableText(rng);
        if (complexEvery > 0 && i % complexEvery == 0)
            t.insert(int(rng() % (t.size() + 1)), odd[int(rng() % odd.size())]);
        texts << t + "#" + QString::number(i);
    }
    return texts;
}

const std::vector<TSortCase> kSortCases = {
    {"RussianAlphabetWithYoBesideYe",
     {"я", "ж", "ё", "е", "а", "б", "з", "Ё", "й", "и", "ь", "ы", "ъ", "э", "ю"},
     {"а", "б", "е", "ё", "Ё", "ж", "з", "и", "й", "ъ", "ы", "ь", "э", "ю", "я"}},
    {"YoComparesAsYeUntilAllElseIsEqual", {"ель", "ёж", "еж", "Ёлка", "елка"}, {"еж", "ёж", "елка", "Ёлка", "ель"}},
    {"BlanksFirstInTheirOrder", {"б#0", "#1", "а#2", "#3", " #4"}, {"#1", "#3", " #4", "а#2", "б#0"}},
    {"LetterCaseIgnoredAndTiesKeepOrder",
     {"ИВАНОВ#0", "иванов#1", "Иванов#2", "Ванин#3", "иВАНОВ#4"},
     {"Ванин#3", "ИВАНОВ#0", "иванов#1", "Иванов#2", "иВАНОВ#4"}},
    {"CyrillicBeforeLatinDigitsBeforeLetters",
     {"Zeta", "Яков", "alpha", "12а", "Абрамов", "1"},
     {"1", "12а", "Абрамов", "Яков", "alpha", "Zeta"}},
    {"QuotesAndPunctuationAsTheCollatorPutsThem",
     {"ООО \"Ромашка\"", "ООО Ромашка", "\"Ромашка\"", "ООО «Ромашка»", "ул. Мира", "ул.Мира", "пр. Мира"},
     {}},
    {"TextsOutsideTheTableMergeIntoPlace",
     {"Иванов#0", "№ 5#1", "Café#2", "Иванов#3", "ёж#4", "Ёж#5", "Cafe#6", "Иванов\tИ#7", "#8", "ß#9"},
     {}},
    {"FewOddTextsAmongMany", ManyMixedTexts(3000, 97), {}},
    {"ManyOddTextsFallBackToTheCollator", ManyMixedTexts(2000, 3), {}},
    {"OneText", {"а"}, {"а"}},
    {"NoTexts", {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, TCollationSort, ::testing::ValuesIn(kSortCases),
                         [](const auto& param) { return param.param.Name; });

} // namespace
