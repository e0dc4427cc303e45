#include "TByteWriterEh.h"

#include "Exception.h"
#include "GoldenBytes.h"
#include "TDBGridEhExportAsHTML.h"
#include "TMemoryStreamEh.h"
#include "TestDevices.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <limits>

namespace {

struct AnsiCase
{
    const char* name;
    QString text;
    const char* hex;
};

class AnsiText : public ::testing::TestWithParam<AnsiCase>
{
};

TEST_P(AnsiText, IsWrittenInWindows1251)
{
    const AnsiCase& c = GetParam();
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { w.WriteAnsi(c.text); }), HexBytes(c.hex));
    EXPECT_BYTES(AnsiEncode(c.text), HexBytes(c.hex));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnsiText,
    ::testing::Values(AnsiCase{"Ascii", QStringLiteral("T1\t\"x\"\r\n"), "54 31 09 22 78 22 0D 0A"},
                      AnsiCase{"Cyrillic", QStringLiteral("Иван Ёж ё"), "C8 E2 E0 ED 20 A8 E6 20 B8"},
                      AnsiCase{"NumeroEuroAndDash", QStringLiteral("№€–"), "B9 88 96"},
                      AnsiCase{"NoByteBecomesQuestionMark", QStringLiteral("a中ѐb"), "61 3F 3F 62"},
                      AnsiCase{"PairOutsideThePlaneIsOneMark", QString::fromUtf8("x\xF0\x9F\x98\x80y"), "78 3F 79"},
                      AnsiCase{"LoneSurrogate", QString(QChar(0xD83D)) + u'z', "3F 7A"},
                      AnsiCase{"SubstituteCharacterItselfStays", QString(QChar(0x1A)), "1A"},
                      AnsiCase{"Empty", QString(), ""}),
    NamedCase());

// Stored UTF-8 written straight to windows-1251 must give the bytes its QString would give,
// malformed input included.
struct Utf8Case
{
    const char* name;
    QByteArray utf8;
};

class Utf8Text : public ::testing::TestWithParam<Utf8Case>
{
};

TEST_P(Utf8Text, GivesTheBytesOfItsDecodedText)
{
    const QByteArray& utf8 = GetParam().utf8;
    const QString text = QString::fromUtf8(utf8);
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { w.WriteAnsiUtf8(utf8); }), AnsiEncode(text));
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { w.WriteAnsiDoublingUtf8(utf8, '"'); }),
                 WrittenBytes([&](TByteWriterEh& w) { w.WriteAnsiDoubling(text, '"'); }));
    QByteArray appended("x");
    AnsiAppendUtf8(appended, utf8);
    EXPECT_BYTES(appended, "x" + AnsiEncode(text));
    // The one-pass form for HTML takes a text whole or leaves it.
    bool taken = false;
    const QByteArray plain =
        WrittenBytes([&](TByteWriterEh& w) { taken = w.WriteAnsiUtf8Plain(utf8, kHtmlSpecialBytes); });
    EXPECT_BYTES(plain, taken ? AnsiEncode(text) : QByteArray());
    if (utf8.contains('"')) {
        EXPECT_FALSE(taken);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Text,
    ::testing::Values(Utf8Case{"Empty", QByteArray()},
                      Utf8Case{"AsciiWithQuotesAcrossWords", "0123456\"89abcdef\"\"hijklmnopqrstuvwxyz\""},
                      Utf8Case{"Cyrillic", "Иванов Ёж ёлка ИВАН"}, Utf8Case{"HtmlSpecialsInAWord", "abcdefg<ij&lm>op"},
                      Utf8Case{"LatinSupplementWithoutAByte", "\xC2\xA0\xC3\xA9\xC2\xBB"},
                      Utf8Case{"ThreeBytesNumeroEuroDash", "№ 5 € – x"},
                      Utf8Case{"FourBytesOutsideThePlane", "a\xF0\x9F\x98\x80z"},
                      Utf8Case{"LoneContinuationByte", "ab\x80"
                                                       "cd"},
                      Utf8Case{"TruncatedAtTheEnd", "Иван\xD0"}, Utf8Case{"TruncatedBeforeAscii", "\xD0z\xD1"},
                      Utf8Case{"OverlongForms", "\xC0\xAF\xC1\xBF\xE0\x80\xAF"},
                      Utf8Case{"EncodedSurrogate", "x\xED\xA0\x80y"},
                      Utf8Case{"InvalidLeadBytes", "\xF8\x88\x80\x80\x80\xFF"},
                      Utf8Case{"ByteOrderMarkFirst", "\xEF\xBB\xBF"
                                                     "abc"},
                      Utf8Case{"LongerThanTheBuffer", QByteArray("Ж\"", 3).repeated(TByteWriterEh::kCapacity / 2)}),
    NamedCase());

TEST(ByteWriter, PlainFormStopsAtTheGivenBytesOnly)
{
    const TByteSetEh quote("\"");
    const struct
    {
        const char* name;
        QByteArray utf8;
        bool taken;
    } cases[] = {
        {"other formats' specials pass", "abcdefgh<ij>kl&mnop", true},
        {"quote in a long ASCII run", "abcdefgh\"ijklmnop", false},
        {"quote in the short tail", "abcdefghij\"", false},
        {"quote after Cyrillic", "Жук\"", false},
        {"Cyrillic only", "Жук ёж", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool taken = false;
        const QByteArray bytes = WrittenBytes([&](TByteWriterEh& w) { taken = w.WriteAnsiUtf8Plain(c.utf8, quote); });
        EXPECT_EQ(taken, c.taken);
        EXPECT_BYTES(bytes, c.taken ? AnsiEncode(QString::fromUtf8(c.utf8)) : QByteArray());
    }
}

TEST(ByteWriter, WritesLinesNumbersAndBinaryValues)
{
    const QByteArray bytes = WrittenBytes([](TByteWriterEh& w) {
        w.WriteLine(QStringLiteral("Ж"));
        w.WriteLine("<HTML>");
        w.WriteDecimal(0);
        w.WriteByte(' ');
        w.WriteDecimal(-1);
        w.WriteByte(' ');
        w.WriteDecimal(std::numeric_limits<qint64>::min());
        w.WriteUInt16(0x0809);
        w.WriteInt32(-2);
        w.WriteDouble(1.5);
    });
    EXPECT_BYTES(bytes, QByteArray("\xC6\r\n<HTML>\r\n0 -1 -9223372036854775808")
                            + HexBytes("09 08 FE FF FF FF 00 00 00 00 00 00 F8 3F"));
}

TEST(ByteWriter, LongTextsCrossTheBufferWhole)
{
    // A text longer than the buffer, with a surrogate pair right at the buffer's edge.
    QString text(TByteWriterEh::kCapacity - 1, QChar(u'Я'));
    text += QString::fromUtf8("\xF0\x9F\x98\x80") + QString(10, u'b');
    const QByteArray bytes = WrittenBytes([&](TByteWriterEh& w) {
        w.WriteByte('<');
        w.WriteAnsi(text);
        w.WriteBytes(QByteArray(3 * TByteWriterEh::kCapacity, 'c'));
    });
    const QByteArray expected = '<' + QByteArray(TByteWriterEh::kCapacity - 1, '\xDF') + '?' + QByteArray(10, 'b')
                                + QByteArray(3 * TByteWriterEh::kCapacity, 'c');
    EXPECT_BYTES(bytes, expected);
}

TEST(ByteWriter, NothingReachesTheDeviceBeforeFlush)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        TByteWriterEh w(&buffer);
        w.WriteAscii("abc");
        EXPECT_EQ(buffer.size(), 0);
        EXPECT_EQ(w.Written(), 3);
        w.Flush();
        EXPECT_EQ(buffer.data(), QByteArray("abc"));
        w.WriteAscii("dropped");
    }
    EXPECT_EQ(buffer.data(), QByteArray("abc"));
}

TEST(ByteWriter, AShortWriteFailsWithStreamWriteError)
{
    for (const qint64 limit : {0, 1, 4}) {
        TFailingDevice device(limit);
        TByteWriterEh w(&device);
        w.WriteAscii("hello");
        try {
            w.Flush();
            FAIL() << "no failure with limit " << limit;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Stream write error"));
        }
        EXPECT_EQ(device.Data(), QByteArray("hello").left(limit));
    }
}

TEST(ByteWriter, SwitchingDevicesFlushesToTheFirst)
{
    TMemoryStreamEh first, second;
    TByteWriterEh w(&first);
    w.WriteAscii("one");
    w.SetDevice(&second);
    w.WriteAscii("two");
    w.Flush();
    EXPECT_EQ(first.Bytes(), QByteArray("one"));
    EXPECT_EQ(second.Bytes(), QByteArray("two"));
}

} // namespace
