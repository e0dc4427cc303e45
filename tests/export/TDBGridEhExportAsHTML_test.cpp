#include "TDBGridEhExportAsHTML.h"

#include "GoldenBytes.h"

#include <gtest/gtest.h>

namespace {

TExportFontEh Tahoma8(quint32 rgb = 0)
{
    TExportFontEh f;
    f.Name = QStringLiteral("Tahoma");
    f.Size = 8;
    f.Rgb = rgb;
    return f;
}

struct EscapeCase
{
    const char* name;
    QString text;
    QByteArray bytes;
};

class HtmlEscaping : public ::testing::TestWithParam<EscapeCase>
{
};

TEST_P(HtmlEscaping, ReplacesInOrderWithoutSemicolons)
{
    const EscapeCase& c = GetParam();
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteHtmlEscaped(w, c.text); }), c.bytes);
    // A text the engine keeps as UTF-8 is escaped alike.
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteHtmlEscapedUtf8(w, c.text.toUtf8()); }), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlEscaping,
    ::testing::Values(
        EscapeCase{"AmpersandFirst", QStringLiteral("a<b&c\"d"), "a&ltb&ampc&quotd"},
        EscapeCase{"EntityTextIsEscapedAgain", QStringLiteral("&lt;"), "&amplt;"},
        EscapeCase{"SemicolonAfterAnEntityIsKept", QStringLiteral("a>;b&;"), "a&gt;;b&amp;;"},
        EscapeCase{"LongerReferenceIsNotFormed", QStringLiteral("<cc; >rarr; <b"), "&lt;cc; &gt;rarr; &ltb"},
        EscapeCase{"PrefixOfALongerReferenceNeedsNoSemicolon", QStringLiteral("<cc >rar"), "&ltcc &gtrar"},
        EscapeCase{"Greater", QStringLiteral("x>y"), "x&gty"}, EscapeCase{"EmptyIsNbsp", QString(), "&nbsp"},
        EscapeCase{"SpaceIsNotEmpty", QStringLiteral(" "), " "},
        EscapeCase{"OthersUnchanged", QStringLiteral("Ж\t\r\n'"), "\xC6\t\r\n'"},
        EscapeCase{"SpecialsAmongLongAsciiRuns", QStringLiteral("abcdefgh<ijklmnop\"qrstuvwx&"),
                   "abcdefgh&ltijklmnop&quotqrstuvwx&amp"}),
    NamedCase());

struct ColorCase
{
    const char* name;
    quint32 rgb;
    const char* digits;
};

class HtmlColor : public ::testing::TestWithParam<ColorCase>
{
};

TEST_P(HtmlColor, IsRedGreenBlue)
{
    const ColorCase& c = GetParam();
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteHtmlColorHex(w, c.rgb); }), QByteArray(c.digits));
}

INSTANTIATE_TEST_SUITE_P(Cases, HtmlColor,
                         ::testing::Values(ColorCase{"Red", 0x0000FF, "FF0000"},
                                           ColorCase{"ButtonFace", 0xD4D0C8, "C8D0D4"},
                                           ColorCase{"White", 0xFFFFFF, "FFFFFF"},
                                           ColorCase{"Black", 0x000000, "000000"},
                                           ColorCase{"NoneIsBlack", kExportColorNone, "000000"}),
                         NamedCase());

TEST(HtmlElements, FontElementWithStyleTagsInOpeningOrder)
{
    TExportFontEh f = Tahoma8(0x0000FF);
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteHtmlFontElement(w, f, u"T1"); }),
                 "<FONT STYLE=\"font-family: Tahoma; font-size: 8pt; color: #FF0000\">T1</FONT>");
    f.Bold = f.Italic = true;
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteHtmlFontElement(w, f, u"x"); }),
                 "<FONT STYLE=\"font-family: Tahoma; font-size: 8pt; color: #FF0000\">"
                 "<B><I>x</B></I></FONT>");
    f.Underline = f.StrikeOut = true;
    f.Name = QStringLiteral("Arial Cyr");
    f.Size = 10;
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteHtmlFontElement(w, f, u""); }),
                 "<FONT STYLE=\"font-family: Arial Cyr; font-size: 10pt; color: #FF0000\">"
                 "<B><I><U><STRIKE>&nbsp</B></I></U></STRIKE></FONT>");
}

TEST(HtmlElements, HeadDeclaresTheCharacterSet)
{
    EXPECT_BYTES(WrittenBytes([](TByteWriterEh& w) { WriteHtmlHead(w, u"DBS"); }),
                 "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\r\n"
                 "<HTML>\r\n"
                 "<HEAD>\r\n"
                 "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">\r\n"
                 "<TITLE>\r\n"
                 "DBS\r\n"
                 "</TITLE>\r\n"
                 "</HEAD>\r\n"
                 "<BODY>\r\n");
}

struct TableCase
{
    const char* name;
    bool lines, ctl3D, flat;
    const char* start;
};

class HtmlTableStart : public ::testing::TestWithParam<TableCase>
{
};

TEST_P(HtmlTableStart, BorderPartFollowsTheGrid)
{
    const TableCase& c = GetParam();
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteHtmlTableStart(w, c.lines, c.ctl3D, c.flat, 0xD4D0C8); }),
                 QByteArray(c.start) + " BGCOLOR=#C8D0D4>\r\n\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlTableStart,
    ::testing::Values(TableCase{"NoLines", false, true, false, "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=2"},
                      TableCase{"Lines3D", true, true, false, "<TABLE BORDER=1 CELLSPACING=0 CELLPADDING=2"},
                      TableCase{"LinesFlatLook", true, false, false, "<TABLE BORDER=0 CELLSPACING=1 CELLPADDING=2"},
                      TableCase{"FlatGrid", true, true, true, "<TABLE BORDER=1 CELLSPACING=0 CELLPADDING=1"}),
    NamedCase());

TEST(HtmlElements, CellLines)
{
    const TExportFontEh f = Tahoma8();
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) {
                     WriteHtmlCell(w, 65, taLeftJustify, true, 0xFFFFFF, f, u"12-34-56");
                     WriteHtmlCell(w, 275, taRightJustify, false, 0, f, u"T2");
                     WriteHtmlCell(w, 7, taCenter, true, kExportColorNone, f, u"");
                 }),
                 "  <TD WIDTH=65 ALIGN=\"LEFT\" BGCOLOR=#FFFFFF><FONT STYLE=\"font-family: Tahoma; "
                 "font-size: 8pt; color: #000000\">12-34-56</FONT></TD>\r\n"
                 "  <TD WIDTH=275 ALIGN=\"RIGHT\"><FONT STYLE=\"font-family: Tahoma; "
                 "font-size: 8pt; color: #000000\">T2</FONT></TD>\r\n"
                 "  <TD WIDTH=7 ALIGN=\"CENTER\" BGCOLOR=#000000><FONT STYLE=\"font-family: Tahoma; "
                 "font-size: 8pt; color: #000000\">&nbsp</FONT></TD>\r\n");
}

TEST(HtmlElements, DocumentEnd)
{
    EXPECT_BYTES(WrittenBytes([](TByteWriterEh& w) { WriteHtmlDocumentEnd(w); }), "</TABLE>\r\n</BODY>\r\n</HTML>\r\n");
}

} // namespace

#include "ExportGrid.h"

namespace {

QByteArray ExportHtml(TExportGrid& g)
{
    return g.Export(ExportClassEh<TDBGridEhExportAsHTML>);
}

const QByteArray kFont = "<FONT STYLE=\"font-family: Tahoma; font-size: 8pt; color: #000000\">";
const QByteArray kHead = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\r\n<HTML>\r\n<HEAD>\r\n"
                         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">\r\n"
                         "<TITLE>\r\nDBS\r\n</TITLE>\r\n</HEAD>\r\n<BODY>\r\n"
                         "<TABLE BORDER=1 CELLSPACING=0 CELLPADDING=2 BGCOLOR=#F0F0F0>\r\n\r\n";
const QByteArray kEnd = "</TABLE>\r\n</BODY>\r\n</HTML>\r\n";

TEST(HtmlExport, WorkedExample)
{
    auto g = TwoColumnGrid({{"12-34-56", "Smith"}, {QVariant(), "Jones"}});
    EXPECT_BYTES(ExportHtml(*g), Golden("example.htm"));
}

TEST(HtmlExport, EmptyResultHasTheTitleRowOnly)
{
    auto g = TwoColumnGrid({});
    EXPECT_BYTES(ExportHtml(*g), kHead + "<TR>\r\n" + "  <TD WIDTH=65 ALIGN=\"LEFT\">" + kFont + "T1</FONT></TD>\r\n"
                                     + "  <TD WIDTH=275 ALIGN=\"LEFT\">" + kFont + "T2</FONT></TD>\r\n" + "</TR>\r\n"
                                     + kEnd);
}

TEST(HtmlExport, ZeroColumnsStillWriteARowPerRecord)
{
    auto g = TwoColumnGrid({{"a", "b"}, {"c", "d"}});
    for (int i = 0; i < g->Grid->Columns().Count(); ++i)
        g->Grid->Columns()[i]->SetVisible(false);
    g->Grid->RequestLayout();
    EXPECT_BYTES(ExportHtml(*g), kHead + "<TR>\r\n</TR>\r\n<TR>\r\n</TR>\r\n" + kEnd);
}

TEST(HtmlExport, CellFontStylesColoursAndEscaping)
{
    auto g = TwoColumnGrid({{"a<b&c\"d", "x"}});
    TColumnEh* first = g->Grid->Columns()[0];
    TFontEh font = first->Font();
    font.Style = {fsBold, fsItalic};
    font.Color = clRed;
    first->SetFont(font);
    first->SetColor(clNone);
    first->SetAlignment(taRightJustify);
    g->Grid->SetOptions(g->Grid->Options() - dgTitles);
    EXPECT_BYTES(ExportHtml(*g), kHead + "<TR>\r\n"
                                     + "  <TD WIDTH=65 ALIGN=\"RIGHT\" BGCOLOR=#000000><FONT STYLE=\"font-family: "
                                       "Tahoma; font-size: 8pt; color: #FF0000\"><B><I>a&ltb&ampc&quotd</B></I>"
                                       "</FONT></TD>\r\n"
                                     + "  <TD WIDTH=275 ALIGN=\"LEFT\" BGCOLOR=#FFFFFF>" + kFont + "x</FONT></TD>\r\n"
                                     + "</TR>\r\n" + kEnd);
}

} // namespace
