#include "TDBGridEhExportAsRTF.h"

#include "Exception.h"
#include "GoldenBytes.h"

#include <gtest/gtest.h>

namespace {

struct EscapeCase
{
    const char* name;
    QString text;
    QByteArray bytes;
};

class RtfEscaping : public ::testing::TestWithParam<EscapeCase>
{
};

TEST_P(RtfEscaping, EscapesSpecialAndNonAsciiCharacters)
{
    const EscapeCase& c = GetParam();
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteRtfEscaped(w, c.text); }), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Cases, RtfEscaping,
                         ::testing::Values(EscapeCase{"Plain", QStringLiteral("Smith 12-34"), "Smith 12-34"},
                                           EscapeCase{"BackslashAndBraces", QStringLiteral("a\\b{c}"), "a\\\\b\\{c\\}"},
                                           EscapeCase{"CyrillicCapital", QStringLiteral("И"), "\\u1048\\'c8"},
                                           EscapeCase{"CyrillicYo", QStringLiteral("ёж"), "\\u1105\\'b8\\u1078\\'e6"},
                                           EscapeCase{"Euro", QStringLiteral("€"), "\\u8364\\'88"},
                                           EscapeCase{"NoWindows1251Byte", QStringLiteral("中"), "\\u20013\\'3f"},
                                           EscapeCase{"NegativeAboveSignedRange", QString(QChar(0xFF01)),
                                                      "\\u-255\\'3f"},
                                           EscapeCase{"ControlCharactersAsTheyStand", QStringLiteral("a\tb"), "a\tb"},
                                           EscapeCase{"Empty", QString(), ""}),
                         NamedCase());

struct TwipsCase
{
    const char* name;
    int pixels, ppi;
    qint64 twips;
};

class RtfTwipsConversion : public ::testing::TestWithParam<TwipsCase>
{
};

TEST_P(RtfTwipsConversion, TruncatesEachWidth)
{
    const TwipsCase& c = GetParam();
    EXPECT_EQ(RtfTwips(c.pixels, c.ppi), c.twips);
}

INSTANTIATE_TEST_SUITE_P(Cases, RtfTwipsConversion,
                         ::testing::Values(TwipsCase{"At96Narrow", 65, 96, 975}, TwipsCase{"At96Wide", 275, 96, 4125},
                                           TwipsCase{"At96OnePixel", 1, 96, 15}, TwipsCase{"At96Zero", 0, 96, 0},
                                           TwipsCase{"At120", 65, 120, 780}, TwipsCase{"At144", 275, 144, 2750},
                                           TwipsCase{"At150Truncated", 1, 150, 9},
                                           TwipsCase{"At150Exact", 65, 150, 624}, TwipsCase{"At72", 65, 72, 1300}),
                         NamedCase());

TEST(RtfTwipsConversion, EveryPixelIsFifteenTwipsAt96)
{
    for (int px = 0; px < 20000; ++px)
        ASSERT_EQ(RtfTwips(px, 96), 15 * px) << px;
}

TEST(RtfColorTable, SeedsNumbersAndSharesEqualColours)
{
    // A button face equal to white shares number 1; the next new colour is number 2.
    TRtfColorTableEh t;
    EXPECT_EQ(t.Number(0x000000), 0);
    EXPECT_EQ(t.Number(0xFFFFFF), 1);
    EXPECT_EQ(t.Number(0xFFFFFF), 1);
    EXPECT_EQ(t.Number(0x0000FF), 2);
    EXPECT_EQ(t.Number(0xFF0000FF), 2); // the top byte is not part of the colour
    EXPECT_EQ(t.Number(0xC8D0D4), 3);
    EXPECT_EQ(t.Count(), 4);
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { t.Write(w); }),
                 "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;"
                 "\\red255\\green0\\blue0;\\red212\\green208\\blue200;}\r\n");
}

TEST(RtfFontTable, NamesDifferingInCaseShareTheFirstSpelling)
{
    TRtfFontTableEh t;
    EXPECT_EQ(t.Number(QStringLiteral("Tahoma")), 0);
    EXPECT_EQ(t.Number(QStringLiteral("Arial")), 1);
    EXPECT_EQ(t.Number(QStringLiteral("TAHOMA")), 0);
    EXPECT_EQ(t.Number(QStringLiteral("arial")), 1);
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { t.Write(w); }),
                 "{\\fonttbl\\f0\\fnil Tahoma;\\f1\\fnil Arial;}\r\n");
}

TEST(RtfElements, RowDefinitionAndEnd)
{
    EXPECT_BYTES(WrittenBytes([](TByteWriterEh& w) {
                     WriteRtfRowDefinitionStart(w);
                     WriteRtfCellBorders(w, true, true, true, true);
                     WriteRtfCellEdge(w, 2, 975);
                     WriteRtfCellBorders(w, false, true, false, true);
                     WriteRtfCellEdge(w, 1, 5100);
                     WriteRtfRowContentStart(w);
                     WriteRtfRowEnd(w);
                 }),
                 "\\trowd\\trgaph40\r\n"
                 "\\clbrdrl\\brdrs\\brdrcf0\r\n"
                 "\\clbrdrt\\brdrs\\brdrcf0\r\n"
                 "\\clbrdrb\\brdrs\\brdrcf0\r\n"
                 "\\clbrdrr\\brdrs\\brdrcf0\r\n"
                 "\\clcbpat2\\cellx975\r\n"
                 "\\clbrdrt\\brdrs\\brdrcf0\r\n"
                 "\\clbrdrr\\brdrs\\brdrcf0\r\n"
                 "\\clcbpat1\\cellx5100\r\n"
                 "{\\trrh0\r\n"
                 "\\pard\\intbl\\row}\r\n");
}

struct ParagraphCase
{
    const char* name;
    TAlignment alignment;
    bool flat;
    int size;
    bool bold, italic, underline, strikeOut;
    QString text;
    QByteArray bytes;
};

class RtfCellParagraph : public ::testing::TestWithParam<ParagraphCase>
{
};

TEST_P(RtfCellParagraph, FormatsTheCell)
{
    const ParagraphCase& c = GetParam();
    TExportFontEh f;
    f.Name = QStringLiteral("Tahoma");
    f.Size = c.size;
    f.Bold = c.bold;
    f.Italic = c.italic;
    f.Underline = c.underline;
    f.StrikeOut = c.strikeOut;
    TRtfFontTableEh fonts;
    TRtfColorTableEh colors;
    colors.Number(0);
    colors.Number(0xFFFFFF);
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) {
                     WriteRtfCellParagraph(w, fonts, colors, c.alignment, c.flat, f, 0xFFFFFF, c.text);
                 }),
                 c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfCellParagraph,
    ::testing::Values(
        ParagraphCase{"WorkedExampleCell", taLeftJustify, false, 8, false, false, false, false, QStringLiteral("Smith"),
                      "\\pard\\intbl{\\ql\\sb24\\sa24\\fs16\\f0\\cf0\\cb1 Smith\\cell}\r\n"},
        ParagraphCase{"RightAligned", taRightJustify, false, 8, false, false, false, false, QStringLiteral("5"),
                      "\\pard\\intbl{\\qr\\sb24\\sa24\\fs16\\f0\\cf0\\cb1 5\\cell}\r\n"},
        ParagraphCase{"FlatCentered", taCenter, true, 8, false, false, false, false, QStringLiteral("x"),
                      "\\pard\\intbl{\\qc\\sb12\\sa12\\fs16\\f0\\cf0\\cb1 x\\cell}\r\n"},
        ParagraphCase{"AllStylesInFixedOrder", taLeftJustify, false, 10, true, true, true, true, QStringLiteral("x"),
                      "\\pard\\intbl{\\ql\\sb24\\sa24\\fs20\\b\\i\\strike\\ul\\f0\\cf0\\cb1 x\\cell}\r\n"},
        ParagraphCase{"EmptyText", taLeftJustify, false, 8, false, false, false, false, QString(),
                      "\\pard\\intbl{\\ql\\sb24\\sa24\\fs16\\f0\\cf0\\cb1 \\cell}\r\n"},
        ParagraphCase{"EscapedText", taLeftJustify, false, 8, false, false, false, false, QStringLiteral("{Иа}"),
                      "\\pard\\intbl{\\ql\\sb24\\sa24\\fs16\\f0\\cf0\\cb1 \\{\\u1048\\'c8\\u1072\\'e0\\}"
                      "\\cell}\r\n"}),
    NamedCase());

TEST(RtfCellParagraph, NewColoursNumberedFontColourBeforeBackground)
{
    TRtfFontTableEh fonts;
    TRtfColorTableEh colors;
    colors.Number(0);
    colors.Number(0xFFFFFF);
    colors.Number(0xC8D0D4);
    TExportFontEh f;
    f.Name = QStringLiteral("Arial");
    f.Rgb = 0x0000FF;
    const QByteArray bytes = WrittenBytes(
        [&](TByteWriterEh& w) { WriteRtfCellParagraph(w, fonts, colors, taLeftJustify, false, f, 0x00FF00, u"a"); });
    EXPECT_BYTES(bytes, "\\pard\\intbl{\\ql\\sb24\\sa24\\fs16\\f0\\cf3\\cb4 a\\cell}\r\n");
}

} // namespace

#include "ExportGrid.h"
#include "TMemoryStreamEh.h"

namespace {

QByteArray ExportRtf(TExportGrid& g)
{
    return g.Export(ExportClassEh<TDBGridEhExportAsRTF>);
}

TEST(RtfExport, WorkedExample)
{
    TDesktopColors colors(QColor(212, 208, 200));
    auto g = TwoColumnGrid({{"12-34-56", "Smith"}, {"65-43-21", "Jones"}});
    g->Grid->Columns()[0]->Title()->SetCaption(QStringLiteral("Phone"));
    g->Grid->Columns()[1]->Title()->SetCaption(QStringLiteral("Owner"));
    EXPECT_BYTES(ExportRtf(*g), Golden("example.rtf"));
}

TEST(RtfExport, EmptyResultHasHeaderTitleRowAndClosingBrace)
{
    TDesktopColors colors(QColor(212, 208, 200));
    auto g = TwoColumnGrid({});
    const QByteArray golden = Golden("example.rtf");
    // The worked example up to the end of its title row, then the closing brace.
    const qsizetype titleEnd = golden.indexOf("\\pard\\intbl\\row}\r\n") + 18;
    QByteArray expected = golden.left(titleEnd) + "}";
    expected.replace("Phone", "T1").replace("Owner", "T2");
    EXPECT_BYTES(ExportRtf(*g), expected);
}

TEST(RtfExport, ButtonFaceEqualToWhiteSharesItsNumber)
{
    TDesktopColors colors(Qt::white);
    auto g = TwoColumnGrid({{"a", "b"}});
    g->Grid->Columns()[1]->SetColor(clRed);
    const QByteArray rtf = ExportRtf(*g);
    EXPECT_TRUE(rtf.contains("{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;"
                             "\\red255\\green0\\blue0;}\r\n"))
        << rtf.toStdString();
    // Titles shade with 1 (white), the red column with 2.
    EXPECT_TRUE(rtf.contains("\\clcbpat1\\cellx975\r\n")) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains("\\clcbpat2\\cellx5100\r\n")) << rtf.toStdString();
}

TEST(RtfExport, FontColourIsNumberedBeforeBackground)
{
    auto g = TwoColumnGrid({{"a", "b"}});
    g->Grid->SetOptions(g->Grid->Options() - dgTitles);
    TColumnEh* first = g->Grid->Columns()[0];
    TFontEh font = first->Font();
    font.Color = clBlue;
    first->SetFont(font);
    first->SetColor(clLime);
    const QByteArray rtf = ExportRtf(*g);
    // Shading of the row definition comes first: lime 3; then the cell's font blue 4.
    EXPECT_TRUE(rtf.contains("\\red0\\green255\\blue0;\\red0\\green0\\blue255;}")) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains("\\f0\\cf4\\cb3 a\\cell}")) << rtf.toStdString();
}

TEST(RtfExport, RowsShadedAndStyledByAHandlerKeepTheirNumbers)
{
    // Six shadings by turns, more than the writer keeps made up at once, and bold on odd records.
    TDesktopColors colors(QColor(212, 208, 200));
    std::vector<std::vector<QVariant>> rows;
    for (int i = 0; i < 8; ++i)
        rows.push_back({QStringLiteral("r%1").arg(i), QStringLiteral("s%1").arg(i)});
    auto g = TwoColumnGrid(rows);
    g->Grid->SetOptions(g->Grid->Options() - dgTitles);
    g->Grid->OnGetCellParams = [&](TCustomDBGridEh*, TColumnEh*, TFontEh& font, TColor& background, TGridDrawState) {
        const int record = g->DataSet.RecordNumber() - 1;
        background = TColor(0x10 * (record % 6 + 1)); // reds 10, 20, ... 60
        if (record % 2 == 1)
            font.Style.Include(fsBold);
    };
    const QByteArray rtf = ExportRtf(*g);
    EXPECT_TRUE(rtf.contains("{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;"
                             "\\red212\\green208\\blue200;\\red16\\green0\\blue0;\\red32\\green0\\blue0;"
                             "\\red48\\green0\\blue0;\\red64\\green0\\blue0;\\red80\\green0\\blue0;"
                             "\\red96\\green0\\blue0;}\r\n"))
        << rtf.toStdString();
    for (int i = 0; i < 8; ++i) {
        const QByteArray n = QByteArray::number(3 + i % 6);
        const QByteArray definition = "\\clcbpat" + n + "\\cellx975\r\n";
        const QByteArray style = i % 2 == 1 ? "\\fs16\\b\\f0" : "\\fs16\\f0";
        const QByteArray cells = "{\\trrh0\r\n\\pard\\intbl{\\ql\\sb24\\sa24" + style + "\\cf0\\cb" + n + " r"
                                 + QByteArray::number(i) + "\\cell}\r\n\\pard\\intbl{\\ql\\sb24\\sa24" + style
                                 + "\\cf0\\cb" + n + " s" + QByteArray::number(i) + "\\cell}\r\n";
        const qsizetype row = rtf.indexOf(cells);
        ASSERT_GE(row, 0) << "record " << i << "\n" << rtf.toStdString();
        // The row's own definition gives its first cell that shading.
        EXPECT_EQ(rtf.lastIndexOf(definition, row) + definition.size(), rtf.lastIndexOf("\\cellx975\r\n", row) + 11)
            << "record " << i;
    }
}

TEST(RtfExport, FontNamesDifferingInCaseShareAnEntry)
{
    auto g = TwoColumnGrid({{"a", "b"}});
    TFontEh upper = g->Grid->Columns()[1]->Font();
    upper.Name = QStringLiteral("TAHOMA");
    g->Grid->Columns()[1]->SetFont(upper);
    const QByteArray rtf = ExportRtf(*g);
    EXPECT_TRUE(rtf.contains("{\\fonttbl\\f0\\fnil Tahoma;}\r\n")) << rtf.toStdString();
}

TEST(RtfExport, SystemColoursAreResolvedAtExportTime)
{
    // One exporter used twice, under two colour schemes.
    auto g = TwoColumnGrid({});
    TDBGridEhExportAsRTF exporter;
    exporter.SetSourceGrid(g->Grid.get());
    TMemoryStreamEh first, second;
    {
        TDesktopColors colors(QColor(1, 2, 3));
        exporter.WriteToStream(&first, true);
    }
    {
        TDesktopColors colors(QColor(4, 5, 6));
        exporter.WriteToStream(&second, true);
    }
    EXPECT_TRUE(first.Bytes().contains("\\red1\\green2\\blue3;")) << first.Bytes().toStdString();
    EXPECT_TRUE(second.Bytes().contains("\\red4\\green5\\blue6;")) << second.Bytes().toStdString();
}

// An RTF writer on a surface of another resolution.
class TRtfAt150 : public TDBGridEhExportAsRTF
{
protected:
    int PixelsPerInchX() const override { return 150; }
};

TEST(RtfExport, EachWidthIsTruncatedOnItsOwnAtOtherResolutions)
{
    auto g = TwoColumnGrid({});
    g->Grid->Columns()[0]->SetWidth(1);
    g->Grid->Columns()[1]->SetWidth(1);
    const QByteArray rtf = g->Export(ExportClassEh<TRtfAt150>);
    // 1 px = 9.6 twips: each column 9, so the second edge is 18, not 19.
    EXPECT_TRUE(rtf.contains("\\cellx9\r\n")) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains("\\cellx18\r\n")) << rtf.toStdString();
}

TEST(RtfExport, FlatGridHasSmallerSpacing)
{
    auto g = TwoColumnGrid({});
    g->Grid->SetFlat(true);
    const QByteArray rtf = ExportRtf(*g);
    EXPECT_TRUE(rtf.contains("\\pard\\intbl{\\ql\\sb12\\sa12\\fs16")) << rtf.toStdString();
    EXPECT_FALSE(rtf.contains("\\sb24"));
}

TEST(RtfExport, NoSelectionWritesNoDocument)
{
    auto g = TwoColumnGrid({{"a", "b"}});
    EXPECT_EQ(g->Export(ExportClassEh<TDBGridEhExportAsRTF>, false).size(), 0);
}

TEST(RtfExport, AFailedExportLeavesTheTargetUntouched)
{
    auto g = TwoColumnGrid({{"a", "b"}, {"c", "d"}});
    int calls = 0;
    g->Grid->Columns()[1]->OnGetCellParams = [&](TColumnEh*, bool, TColCellParamsEh&) {
        if (++calls == 2)
            throw Exception(QStringLiteral("handler failed"));
    };
    TMemoryStreamEh target;
    target.write("kept", 4);
    try {
        ExportGridToStream(ExportClassEh<TDBGridEhExportAsRTF>, g->Grid.get(), &target, true);
        FAIL() << "no failure";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("handler failed"));
    }
    EXPECT_BYTES(target.Bytes(), "kept");
    EXPECT_FALSE(g->DataSet.NotifySuspended());
}

// A document far larger than the steps in which the body already written out is given back to the
// system: every record row comes out whole and in place.
TEST(RtfExport, LargeDocumentHasEveryRowIntact)
{
    const QVariant wide(QString(600, u'x') + QString(300, QChar(0x0416)));
    auto rows = [&](int count) {
        return std::vector<std::vector<QVariant>>(std::size_t(count), std::vector<QVariant>{wide, QStringLiteral("№")});
    };
    auto one = TwoColumnGrid(rows(1));
    auto two = TwoColumnGrid(rows(2));
    const QByteArray e1 = ExportRtf(*one);
    const QByteArray e2 = ExportRtf(*two);
    const qsizetype rowSize = e2.size() - e1.size();
    ASSERT_GT(rowSize, 3000);
    const QByteArray head = e1.left(e1.size() - 1 - rowSize);
    const QByteArray row = e1.mid(head.size(), rowSize);
    constexpr int kRows = 12000; // a body of over 40 MiB
    auto many = TwoColumnGrid(rows(kRows));
    EXPECT_BYTES(ExportRtf(*many), head + row.repeated(kRows) + "}");
}

} // namespace
