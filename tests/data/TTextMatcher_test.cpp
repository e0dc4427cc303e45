// Matching as the directory users know it: case-insensitive for every alphabet, "%" and "_" the
// only wildcards. Every case runs through both entry points, which must agree.
#include "ReferenceMatcher.h"
#include "TTextMatcher.h"

#include <gtest/gtest.h>

#include <QList>

#include <random>

namespace {

struct TMatchCase
{
    const char* Name;
    const char* Pattern;
    TCondition::Op Op;
    const char* Text;
    bool Expected;
};

void PrintTo(const TMatchCase& c, std::ostream* os)
{
    *os << c.Name;
}

class MatchCase : public testing::TestWithParam<TMatchCase>
{
};

TEST_P(MatchCase, BothEntryPointsDecide)
{
    const TMatchCase& c = GetParam();
    const TTextMatcher matcher(QString::fromUtf8(c.Pattern), c.Op);
    const QByteArray utf8(c.Text);
    EXPECT_EQ(matcher.Matches(QString::fromUtf8(utf8)), c.Expected) << "UTF-16 path";
    EXPECT_EQ(matcher.MatchesUtf8(utf8.constData(), utf8.size()), c.Expected) << "UTF-8 path";
}

constexpr auto L = TCondition::Like;
constexpr auto E = TCondition::Equal;

INSTANTIATE_TEST_SUITE_P(
    Matching, MatchCase,
    testing::Values(
        // Letter case across alphabets.
        TMatchCase{"CyrillicLowerFindsCapital", "%мира%", L, "ул. Мира", true},
        TMatchCase{"CyrillicCapitalsFindLower", "%МИРА%", L, "ул. мира", true},
        TMatchCase{"CyrillicAllCapitalsText", "иванов%", L, "ИВАНОВ ИВАН ИВАНОВИЧ", true},
        TMatchCase{"CyrillicWholeAlphabet", "абвгдеёжзийклмнопрстуфхцчшщъыьэюя", E, "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ",
                   true},
        TMatchCase{"YoFindsCapitalYo", "%сёмин%", L, "Сёмин Сергей", true},
        TMatchCase{"CapitalYoFindsYo", "%СЁМИН%", L, "сёмин сергей", true},
        TMatchCase{"YoIsNotYe", "%семин%", L, "Сёмин Сергей", false},
        TMatchCase{"YeIsNotYo", "%сёмин%", L, "Семин Сергей", false},
        TMatchCase{"UkrainianLetters", "%їжак%", L, "ЇЖАК", true}, TMatchCase{"Latin", "%ABC%", L, "xxabcxx", true},
        TMatchCase{"LatinAccented", "%écu%", L, "ÉCU", true}, TMatchCase{"Greek", "σοφία", E, "ΣΟΦΊΑ", true},
        TMatchCase{"KelvinSignFoldsToK", "%k%", L, "\u212A", true},
        TMatchCase{"KelvinSignInPattern", "\u212A_", L, "kx", true},
        TMatchCase{"LongSFoldsToS", "%sss%", L, "a\u017Fss", true},
        TMatchCase{"CapitalSharpS", "%ß%", L, "STRA\u1E9EE", true},
        TMatchCase{"DeseretOutsideTheBmp", "%\U00010428%", L, "x\U00010400y", true},
        // "%": any run, including none.
        TMatchCase{"PercentAlone", "%", L, "что угодно", true}, TMatchCase{"PercentMatchesEmpty", "%", L, "", true},
        TMatchCase{"DoublePercent", "%%", L, "", true}, TMatchCase{"PrefixMatches", "Иван%", L, "Иванов", true},
        TMatchCase{"PrefixWholeText", "Иван%", L, "Иван", true},
        TMatchCase{"PrefixNotInside", "Иван%", L, "Петров Иван", false},
        TMatchCase{"SuffixMatches", "%вич", L, "Иван Петрович", true},
        TMatchCase{"SuffixNotAtEnd", "%вич", L, "Петрович Иван", false},
        TMatchCase{"InsideMatches", "%етро%", L, "Петров", true},
        TMatchCase{"InsideAbsent", "%етра%", L, "Петров", false},
        TMatchCase{"InsideLongerThanText", "%Петрова%", L, "Петров", false},
        TMatchCase{"SeveralRunsInOrder", "%ив%ан%ич", L, "Иванов Иван Иванович", true},
        TMatchCase{"SeveralRunsOutOfOrder", "%ич%ив%", L, "Иван Петрович", false},
        TMatchCase{"RunsMayNotOverlap", "%аба%аба%", L, "абаба", false},
        TMatchCase{"RunsBackToBack", "%аба%аба%", L, "абааба", true},
        TMatchCase{"StartAndEndMayNotOverlap", "ab%ba", L, "aba", false},
        TMatchCase{"StartAndEndMeet", "ab%ba", L, "abba", true},
        TMatchCase{"MiddleMustFitBeforeEnd", "a%bc%c", L, "abc", false},
        TMatchCase{"MiddleLeftmostThenEnd", "a%b%b", L, "abxb", true},
        // A row of "%" is one "%": it still matches no character at all, and never stands for "_".
        TMatchCase{"PercentRowMatchesEmpty", "%%%%%", L, "", true},
        TMatchCase{"PercentRowBeforeSuffix", "%%%вич", L, "Иван Петрович", true},
        TMatchCase{"PercentRowBeforeSuffixNotAtEnd", "%%%вич", L, "Петрович Иван", false},
        TMatchCase{"PercentRowAfterPrefix", "Иван%%%%", L, "Иван", true},
        TMatchCase{"PercentRowBetweenMatchesNothing", "аб%%%вг", L, "абвг", true},
        TMatchCase{"PercentRowBetweenKeepsOrder", "вг%%%аб", L, "абвг", false},
        TMatchCase{"PercentRowsAroundRuns", "%%ив%%%ан%%ич%%", L, "Иванов Иван Иванович", true},
        TMatchCase{"PercentRowsRunsMayNotOverlap", "%%аба%%%аба%%", L, "абаба", false},
        TMatchCase{"PercentRowIsNoUnderscore", "а%%%%б", L, "аб", true},
        // "%" and "_" mixed: every "_" needs its own character, wherever the "%" signs stand.
        TMatchCase{"PercentUnderscoreTwoNeedsTwo", "%_%_%", L, "a", false},
        TMatchCase{"PercentUnderscoreTwoTakesTwo", "%_%_%", L, "ab", true},
        TMatchCase{"PercentUnderscoreTwoTakesMore", "%_%_%", L, "abcdef", true},
        TMatchCase{"PercentUnderscoreTwoCyrillic", "%_%_%", L, "ёж", true},
        TMatchCase{"PercentUnderscoreTwoOneLetter", "%_%_%", L, "ё", false},
        TMatchCase{"PercentUnderscoreOutsideTheBmp", "%_%%_%", L, "\U0001F600\U0001F600", true},
        TMatchCase{"PercentUnderscoreOneEmoji", "%_%%_%", L, "\U0001F600", false},
        TMatchCase{"PercentUnderscoreBadBytes", "%_%_%", L, "\xFF\xFE", true},
        TMatchCase{"PercentUnderscoreEmpty", "%%_%%", L, "", false},
        TMatchCase{"UnderscoresAroundPercents", "_%_%_", L, "abc", true},
        TMatchCase{"UnderscoresAroundPercentsTooShort", "_%_%_", L, "ab", false},
        TMatchCase{"UnderscoreBetweenRuns", "%а%_%б%", L, "аб", false},
        TMatchCase{"UnderscoreBetweenRunsFilled", "%а%_%б%", L, "ахб", true},
        TMatchCase{"UnderscoreRowsAndPercentRows", "%%__%%__%%", L, "абв", false},
        TMatchCase{"UnderscoreRowsAndPercentRowsFilled", "%%__%%__%%", L, "абвг", true},
        // "_": exactly one character, also a two-byte letter or one outside the BMP.
        TMatchCase{"UnderscoreCyrillic", "%ова_", L, "Петрова А", false},
        TMatchCase{"UnderscoreOneCyrillicLetter", "%ова_", L, "Ивановаю", true},
        TMatchCase{"UnderscoreNeedsACharacter", "%ова_", L, "Иванова", false},
        TMatchCase{"UnderscoreOnlyOne", "%ова_", L, "Ивановаюю", false},
        TMatchCase{"UnderscoresCountCharacters", "___", L, "ёжи", true},
        TMatchCase{"UnderscoresTooFew", "___", L, "ёж", false},
        TMatchCase{"UnderscoreEmoji", "a_b", L, "a\U0001F600b", true},
        TMatchCase{"UnderscoreThreeByteCharacter", "№_", L, "№\u2116", true},
        TMatchCase{"UnderscoreInsideRun", "%и_ан%", L, "Петров Иван", true},
        TMatchCase{"UnderscoreInsideRunAbsent", "%и_ан%", L, "Петров Илья", false},
        TMatchCase{"UnderscoreAtStart", "_етров%", L, "Петрова", true},
        // The empty pattern.
        TMatchCase{"EmptyLikeMatchesEmpty", "", L, "", true}, TMatchCase{"EmptyLikeRefusesText", "", L, "а", false},
        TMatchCase{"EmptyLikeRefusesBlank", "", L, " ", false}, TMatchCase{"EmptyEqualMatchesEmpty", "", E, "", true},
        TMatchCase{"EmptyEqualRefusesText", "", E, "а", false},
        // Quotes and characters other engines treat as wildcards are plain characters here.
        TMatchCase{"QuotesInName", "ООО \"ромашка\"%", L, "ООО \"Ромашка\" (склад)", true},
        TMatchCase{"QuoteMustBeThere", "%\"ромашка\"%", L, "ООО Ромашка", false},
        TMatchCase{"BracketIsLiteral", "%[а]%", L, "дом [А]", true},
        TMatchCase{"BracketIsNotAClass", "[ab]%", L, "a", false}, TMatchCase{"StarIsLiteral", "a*", L, "abc", false},
        TMatchCase{"StarMatchesStar", "a*", L, "A*", true}, TMatchCase{"QuestionMarkIsLiteral", "a?c", L, "abc", false},
        TMatchCase{"HashIsLiteral", "#", L, "1", false}, TMatchCase{"BackslashIsNotAnEscape", "\\%", L, "\\abc", true},
        TMatchCase{"BackslashDoesNotProtect", "\\%", L, "%", false},
        TMatchCase{"BlankCounts", " %", L, "Иванов", false}, TMatchCase{"BlankAtStart", " %", L, " Иванов", true},
        TMatchCase{"DigitsAndDashes", "%34-5%", L, "234-56-78", true},
        // "=": whole text, case-insensitive, no wildcards.
        TMatchCase{"EqualIgnoresCase", "иванов иван", E, "ИВАНОВ Иван", true},
        TMatchCase{"EqualWholeTextOnly", "иванов", E, "Иванов Иван", false},
        TMatchCase{"EqualTrailingBlankCounts", "иванов", E, "Иванов ", false},
        TMatchCase{"EqualPercentIsLiteral", "100%", E, "1000", false},
        TMatchCase{"EqualPercentMatchesPercent", "100%", E, "100%", true},
        TMatchCase{"EqualUnderscoreIsLiteral", "a_b", E, "axb", false},
        TMatchCase{"EqualUnderscoreMatchesUnderscore", "a_b", E, "A_B", true},
        TMatchCase{"EqualYo", "королёв", E, "КОРОЛЁВ", true},
        TMatchCase{"EqualYoIsNotYe", "королёв", E, "Королев", false},
        TMatchCase{"LikeWithoutWildcardsIsExact", "иванов", L, "ИВАНОВ", true},
        TMatchCase{"LikeWithoutWildcardsWholeText", "иванов", L, "ИВАНОВА", false},
        // Text that is not well-formed UTF-8: a bad byte counts as one character.
        TMatchCase{"BadByteIsOneCharacter", "_abc", L,
                   "\xFF"
                   "abc",
                   true},
        TMatchCase{"BadByteDoesNotHideText", "%abc%", L,
                   "\xC3"
                   "abc",
                   true},
        TMatchCase{"TruncatedSequenceAtEnd", "%мир_", L, "мир\xD0", true},
        TMatchCase{"StrayContinuationBytesAtEnd", "__", L, "\x80\x80", true},
        TMatchCase{"TruncatedSequenceBeforeEnd", "%\uFFFD\uFFFDa", L,
                   "x\xE2\x82"
                   "a",
                   true},
        TMatchCase{"ReplacementCharacterIsNotABadByte", "_", L, "\xEF\xBF\xBD", true}),
    [](const testing::TestParamInfo<TMatchCase>& row) { return std::string(row.param.Name); });

TEST(TextMatcher, LiteralPrefixForAnIndex)
{
    struct
    {
        const char* Pattern;
        TCondition::Op Op;
        const char* Prefix;
        bool Pure;
    } cases[] = {
        {"Иван%", L, "Иван", true},    {"Иван%%", L, "Иван", true}, {"Иван", L, "Иван", false},
        {"Ив_н%", L, "Ив", false},     {"Ив%н", L, "Ив", false},    {"%Иван%", L, "", false},
        {"_", L, "", false},           {"%", L, "", true},          {"", L, "", false},
        {"Иван_%", E, "Иван_%", true}, {"", E, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Pattern);
        const TTextMatcher matcher(QString::fromUtf8(c.Pattern), c.Op);
        EXPECT_EQ(matcher.LiteralPrefix(), QString::fromUtf8(c.Prefix));
        EXPECT_EQ(matcher.IsPurePrefix(), c.Pure);
    }
}

TEST(TextMatcher, CopiesMatchAlike)
{
    const TTextMatcher original(QStringLiteral("%мира%"), L);
    const TTextMatcher copy = original;
    const QByteArray text = QStringLiteral("ул. Мира").toUtf8();
    EXPECT_TRUE(copy.MatchesUtf8(text.constData(), text.size()));
    EXPECT_EQ(copy.LiteralPrefix(), original.LiteralPrefix());
}

TEST(TextMatcher, LongTextsBeyondTheStackBuffer)
{
    const QString filler = QString(3000, QChar(u'Ж'));
    const QString text = filler + QStringLiteral("ул. Мира") + filler;
    const QByteArray utf8 = text.toUtf8();
    for (const char* pattern : {"%мира%", "%ж%мира%ж", "жж%", "%ж"}) {
        const TTextMatcher matcher(QString::fromUtf8(pattern), L);
        EXPECT_TRUE(matcher.Matches(text)) << pattern;
        EXPECT_TRUE(matcher.MatchesUtf8(utf8.constData(), utf8.size())) << pattern;
    }
    const TTextMatcher absent(QStringLiteral("%ленина%"), L);
    EXPECT_FALSE(absent.MatchesUtf8(utf8.constData(), utf8.size()));
}

// A row of "%" compiles to what one "%" does, however long: an edit holds 32 767 of them, the
// command line a million.
TEST(TextMatcher, PercentRowsCompileToOnePercent)
{
    const TTextMatcher one(QStringLiteral("%"), L);
    const TTextMatcher million(QString(1000000, u'%'), L);
    EXPECT_EQ(million.CompiledBytes(), one.CompiledBytes());
    EXPECT_LT(million.CompiledBytes(), 1024u);
    EXPECT_TRUE(million.IsPurePrefix());
    const QByteArray text("что угодно");
    EXPECT_TRUE(million.MatchesUtf8(text.constData(), text.size()));
    EXPECT_TRUE(million.Matches(QString()));

    const TTextMatcher around(QStringLiteral("%мира%"), L);
    const TTextMatcher rows(QString(32767, u'%') + QStringLiteral("мира") + QString(32767, u'%'), L);
    EXPECT_EQ(rows.CompiledBytes(), around.CompiledBytes());
    const QByteArray street = QStringLiteral("ул. Мира").toUtf8();
    EXPECT_TRUE(rows.MatchesUtf8(street.constData(), street.size()));
}

// Whatever the pattern, its compiled form grows with its length and by little: a run between "%"
// signs costs a few dozen bytes, not a search table of kilobytes each.
TEST(TextMatcher, CompiledSizeStaysProportionalToThePattern)
{
    const auto repeated = [](const char* piece, int times) { return QString::fromUtf8(piece).repeated(times); };
    struct
    {
        const char* Name;
        QString Pattern;
    } cases[] = {
        {"letters between percents", repeated("%а", 500000) + u'%'},
        {"underscores between percents", repeated("%_", 500000) + u'%'},
        {"pairs between percent rows", repeated("%%%ab", 200000)},
        {"one long run", u'%' + QString(999998, u'ж') + u'%'},
        {"exact text", QString(1000000, u'ж')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTextMatcher matcher(c.Pattern, L);
        EXPECT_LE(matcher.CompiledBytes(), std::size_t(c.Pattern.size()) * 40 + 1024) << matcher.CompiledBytes();
    }
    // And such a pattern still decides rightly.
    const TTextMatcher many(repeated("%а", 1000) + u'%', L);
    const QString enough = QString(1000, u'А'), tooFew = QString(999, u'а') + u'б';
    EXPECT_TRUE(many.Matches(enough));
    EXPECT_FALSE(many.Matches(tooFew));
    EXPECT_TRUE(many.MatchesUtf8(enough.toUtf8().constData(), enough.toUtf8().size()));
    EXPECT_FALSE(many.MatchesUtf8(tooFew.toUtf8().constData(), tooFew.toUtf8().size()));
}

// Random texts over an alphabet rich in the cases that differ between the two paths: two-byte
// letters in both cases, characters whose folded form has another UTF-8 length, surrogate pairs.
TEST(TextMatcher, RandomTextsAgreeWithEachOtherAndTheReference)
{
    const QString alphabet = QString::fromUtf8("aAbBмМиИрРаАёЁеЕ \"-1\u212A\u017F\u1E9E\u00DF\u2126\u03C9")
                             + QString::fromUcs4(U"\U00010400\U00010428", 2);
    const std::vector<char32_t> letters = [&] {
        std::vector<char32_t> v;
        for (char32_t c : alphabet.toUcs4())
            v.push_back(c);
        return v;
    }();
    std::mt19937 random(20240611);
    const auto randomText = [&](int maxLength, bool wildcards) {
        std::u32string s;
        const int length = int(random() % (maxLength + 1));
        for (int i = 0; i < length; ++i) {
            const unsigned roll = random() % 10;
            if (wildcards && roll == 0)
                s.push_back(U'%');
            else if (wildcards && roll == 1)
                s.push_back(U'_');
            else
                s.push_back(letters[random() % letters.size()]);
        }
        return QString::fromUcs4(s.data(), qsizetype(s.size()));
    };
    int matched = 0;
    for (int round = 0; round < 3000; ++round) {
        const TCondition::Op op = round % 5 == 0 ? E : L;
        const QString pattern = randomText(6, op == L);
        const TTextMatcher matcher(pattern, op);
        for (int k = 0; k < 10; ++k) {
            // Half of the texts are built around the pattern so that matches are common; lengths
            // run from empty to beyond the sixteen window starts the search probes at once.
            const int spread = k < 5 ? 3 : 30;
            QString text = randomText(4 * spread, false);
            if (k % 2 == 0) {
                QString filled = pattern;
                filled.replace(u'_', u'а').replace(u'%', randomText(spread, false));
                text = randomText(spread, false) + filled + randomText(spread, false);
            }
            const QByteArray utf8 = text.toUtf8();
            const bool expected = ReferenceMatch(pattern, op, text);
            ASSERT_EQ(matcher.Matches(text), expected)
                << "pattern '" << pattern.toStdString() << "' text '" << text.toStdString() << "'";
            ASSERT_EQ(matcher.MatchesUtf8(utf8.constData(), utf8.size()), expected)
                << "pattern '" << pattern.toStdString() << "' text '" << text.toStdString() << "'";
            matched += expected;
        }
    }
    EXPECT_GT(matched, 1000); // the generator really exercises matches, not only refusals
}

// Patterns of many runs between "%" signs, rows of "%" among them, are searched without the
// tables a pattern of few runs gets; both ways must decide alike.
TEST(TextMatcher, ManyRunsAgreeWithTheReference)
{
    const char* pieces[] = {"а", "Б", "ё", "x", "k", "\u212A", "\u017F", "s", "_", "%", "%%", "%%%"};
    std::mt19937 random(31337);
    int matched = 0;
    for (int round = 0; round < 400; ++round) {
        QString pattern = QStringLiteral("%");
        for (int i = 20 + int(random() % 40); i > 0; --i)
            pattern += QString::fromUtf8(pieces[random() % std::size(pieces)]);
        const TTextMatcher matcher(pattern, L);
        for (int k = 0; k < 10; ++k) {
            QString text;
            if (k % 2 == 0) {
                // Built around the pattern: "%" filled with a little text, "_" with a letter.
                for (QChar c : pattern) {
                    if (c == u'%') {
                        for (int n = int(random() % 3); n > 0; --n)
                            text += QString::fromUtf8(pieces[random() % 8]);
                    } else {
                        text += c == u'_' ? QChar(u'я') : c;
                    }
                }
            } else {
                for (int n = int(random() % 60); n > 0; --n)
                    text += QString::fromUtf8(pieces[random() % 8]);
            }
            const QByteArray utf8 = text.toUtf8();
            const bool expected = ReferenceMatch(pattern, L, text);
            ASSERT_EQ(matcher.Matches(text), expected)
                << "pattern '" << pattern.toStdString() << "' text '" << text.toStdString() << "'";
            ASSERT_EQ(matcher.MatchesUtf8(utf8.constData(), utf8.size()), expected)
                << "pattern '" << pattern.toStdString() << "' text '" << text.toStdString() << "'";
            matched += expected;
        }
    }
    EXPECT_GT(matched, 1000);
}

// Arbitrary bytes: the UTF-8 path must decide as the UTF-16 path does on the text the user sees.
TEST(TextMatcher, RandomBytesAgreeWithTheDisplayedText)
{
    const QByteArray pieces[] = {"a",
                                 "A",
                                 "\xD0\x9C",
                                 "\xD0\xBC",
                                 "\xD1\x80",
                                 "\xD0\xA0",
                                 "\xE2\x84\xAA",
                                 "\xC5\xBF",
                                 "\xEF\xBF\xBD",
                                 "\x80",
                                 "\xBF",
                                 "\xC3",
                                 "\xD0",
                                 "\xE2\x82",
                                 "\xF0\x9F\x98",
                                 "\xFF",
                                 "\xED\xA0\x80"};
    const char* patternPieces[] = {"a", "м", "р", "k", "s", "\uFFFD", "%", "_"};
    std::mt19937 random(77);
    for (int round = 0; round < 2000; ++round) {
        QString pattern;
        for (int i = int(random() % 5); i > 0; --i)
            pattern += QString::fromUtf8(patternPieces[random() % std::size(patternPieces)]);
        const TTextMatcher matcher(pattern, L);
        for (int k = 0; k < 10; ++k) {
            QByteArray bytes;
            for (int i = int(random() % 7); i > 0; --i)
                bytes += pieces[random() % std::size(pieces)];
            const QString shown = QString::fromUtf8(bytes);
            const bool expected = ReferenceMatch(pattern, L, shown);
            ASSERT_EQ(matcher.Matches(shown), expected)
                << "pattern '" << pattern.toStdString() << "' bytes " << bytes.toHex(' ').toStdString();
            ASSERT_EQ(matcher.MatchesUtf8(bytes.constData(), bytes.size()), expected)
                << "pattern '" << pattern.toStdString() << "' bytes " << bytes.toHex(' ').toStdString();
        }
    }
}

} // namespace
