#include "TDBGridEhExportAsHTML.h"

#include "TCustomDBGridEh.h"

#include <algorithm>
#include <string_view>

const char* HtmlAlignmentWord(TAlignment alignment)
{
    switch (alignment) {
    case taRightJustify:
        return "RIGHT";
    case taCenter:
        return "CENTER";
    case taLeftJustify:
        break;
    }
    return "LEFT";
}

void WriteHtmlColorHex(TByteWriterEh& w, quint32 rgb)
{
    if (rgb == kExportColorNone)
        rgb = 0;
    static const char digits[] = "0123456789ABCDEF";
    const unsigned parts[3] = {rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF};
    char* out = w.Reserve(6);
    for (int i = 0; i < 3; ++i) {
        out[2 * i] = digits[parts[i] >> 4];
        out[2 * i + 1] = digits[parts[i] & 0xF];
    }
    w.Commit(6);
}

namespace {

// Whether the text after an entity written without its semicolon would be read as part of it:
// a semicolon, or the rest of a longer character reference ("&lt" followed by "cc;" is "&ltcc;").
bool EntityNeedsSemicolon(const char* entity, const char* next, const char* end)
{
    if (next == end)
        return false;
    if (*next == ';')
        return true;
    static const char* const ltNames[] = {"cc;", "cir;", "dot;", "hree;", "imes;", "larr;",
                                          "quest;", "rPar;", "ri;", "rie;", "rif;"};
    static const char* const gtNames[] = {"cc;", "cir;", "dot;", "lPar;", "quest;", "rapprox;",
                                          "rarr;", "rdot;", "reqless;", "reqqless;", "rless;",
                                          "rsim;"};
    const std::string_view rest(next, std::size_t(end - next));
    const std::string_view name(entity);
    if (name == "&lt")
        return std::any_of(std::begin(ltNames), std::end(ltNames),
                           [&](const char* n) { return rest.starts_with(n); });
    if (name == "&gt")
        return std::any_of(std::begin(gtNames), std::end(gtNames),
                           [&](const char* n) { return rest.starts_with(n); });
    return false;
}

}  // namespace

void WriteHtmlEscaped(TByteWriterEh& w, QStringView text)
{
    if (text.isEmpty()) {
        w.WriteAscii("&nbsp");
        return;
    }
    // The replaced characters are ASCII, so the windows-1251 bytes can be escaped in one pass
    // with the same result as replacing & first, then <, >, and the double quote. Entities go
    // without their semicolon unless the text after them would otherwise join them.
    QByteArray& bytes = w.Scratch();
    bytes.clear();
    AnsiAppend(bytes, text);
    const char* run = bytes.constData();
    const char* end = run + bytes.size();
    for (const char* p = run; p != end; ++p) {
        const char* entity;
        switch (*p) {
        case '&': entity = "&amp"; break;
        case '<': entity = "&lt"; break;
        case '>': entity = "&gt"; break;
        case '"': entity = "&quot"; break;
        default: continue;
        }
        w.WriteBytes(run, p - run);
        w.WriteAscii(entity);
        if (EntityNeedsSemicolon(entity, p + 1, end))
            w.WriteByte(';');
        run = p + 1;
    }
    w.WriteBytes(run, end - run);
}

void WriteHtmlFontElement(TByteWriterEh& w, const TExportFontEh& font, QStringView text)
{
    w.WriteAscii("<FONT STYLE=\"font-family: ");
    w.WriteAnsi(font.Name);
    w.WriteAscii("; font-size: ");
    w.WriteDecimal(font.Size);
    w.WriteAscii("pt; color: #");
    WriteHtmlColorHex(w, font.Rgb);
    w.WriteAscii("\">");
    // Closing tags follow the opening order, not its reverse; readers accept both.
    if (font.Bold) w.WriteAscii("<B>");
    if (font.Italic) w.WriteAscii("<I>");
    if (font.Underline) w.WriteAscii("<U>");
    if (font.StrikeOut) w.WriteAscii("<STRIKE>");
    WriteHtmlEscaped(w, text);
    if (font.Bold) w.WriteAscii("</B>");
    if (font.Italic) w.WriteAscii("</I>");
    if (font.Underline) w.WriteAscii("</U>");
    if (font.StrikeOut) w.WriteAscii("</STRIKE>");
    w.WriteAscii("</FONT>");
}

void WriteHtmlHead(TByteWriterEh& w, QStringView title)
{
    w.WriteLine("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">");
    w.WriteLine("<HTML>");
    w.WriteLine("<HEAD>");
    // Without it a reader falls back to its own code page and misreads every Cyrillic letter.
    w.WriteLine("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">");
    w.WriteLine("<TITLE>");
    w.WriteLine(title);
    w.WriteLine("</TITLE>");
    w.WriteLine("</HEAD>");
    w.WriteLine("<BODY>");
}

void WriteHtmlTableStart(TByteWriterEh& w, bool lines, bool ctl3D, bool flat, quint32 fixedRgb)
{
    w.WriteAscii("<TABLE ");
    if (!lines)
        w.WriteAscii("BORDER=0 CELLSPACING=0 CELLPADDING=");
    else if (ctl3D)
        w.WriteAscii("BORDER=1 CELLSPACING=0 CELLPADDING=");
    else
        w.WriteAscii("BORDER=0 CELLSPACING=1 CELLPADDING=");
    w.WriteAscii(flat ? "1" : "2");
    w.WriteAscii(" BGCOLOR=#");
    WriteHtmlColorHex(w, fixedRgb);
    // The table start ends in a line end of its own and then gets another: one empty line.
    w.WriteAscii(">\r\n");
    w.WriteCrLf();
}

void WriteHtmlCellStart(TByteWriterEh& w, int width, TAlignment alignment, bool hasBackground,
                        quint32 backgroundRgb)
{
    w.WriteAscii("  <TD WIDTH=");
    w.WriteDecimal(width);
    w.WriteAscii(" ALIGN=\"");
    w.WriteAscii(HtmlAlignmentWord(alignment));
    w.WriteByte('"');
    if (hasBackground) {
        w.WriteAscii(" BGCOLOR=#");
        WriteHtmlColorHex(w, backgroundRgb);
    }
    w.WriteByte('>');
}

void WriteHtmlCell(TByteWriterEh& w, int width, TAlignment alignment, bool hasBackground,
                   quint32 backgroundRgb, const TExportFontEh& font, QStringView text)
{
    WriteHtmlCellStart(w, width, alignment, hasBackground, backgroundRgb);
    WriteHtmlFontElement(w, font, text);
    w.WriteLine("</TD>");
}

void WriteHtmlDocumentEnd(TByteWriterEh& w)
{
    w.WriteLine("</TABLE>");
    w.WriteLine("</BODY>");
    w.WriteLine("</HTML>");
}

void TDBGridEhExportAsHTML::BeginDocument()
{
    const TCustomDBGridEh* grid = SourceGrid();
    WriteHtmlHead(Out(), grid->objectName());
    const TDBGridOptions options = grid->Options();
    WriteHtmlTableStart(Out(), options.Contains(dgColLines) || options.Contains(dgRowLines),
                        grid->Ctl3D(), grid->Flat(), ExportColor(grid->FixedColor()));
}

void TDBGridEhExportAsHTML::EndDocument()
{
    WriteHtmlDocumentEnd(Out());
}

void TDBGridEhExportAsHTML::EmitTitleRow(const TColumnsEhList& columns)
{
    if (columns.Count() == 0)
        return;
    Out().WriteLine("<TR>");
    for (TColumnEh* column : columns) {
        const TColumnTitleEh* title = column->Title();
        // Title cells show the table's background.
        WriteHtmlCell(Out(), column->Width(), title->Alignment(), false, 0,
                      ExportFont(title->Font()), title->Caption());
    }
    Out().WriteLine("</TR>");
}

void TDBGridEhExportAsHTML::EmitDataRow(const TColumnsEhList& columns)
{
    Out().WriteLine("<TR>");
    TDBGridEhExport::EmitDataRow(columns);
    Out().WriteLine("</TR>");
}

void TDBGridEhExportAsHTML::EmitDataCell(TColumnEh* column, TColCellParamsEh& params)
{
    WriteHtmlCell(Out(), column->Width(), params.Alignment, true, ExportColor(params.Background),
                  ExportFont(*params.Font), params.Text);
}

void TDBGridEhExportAsHTML::EmitFooterRow(const TColumnsEhList& columns, int footerRow)
{
    Out().WriteLine("<TR>");
    TDBGridEhExport::EmitFooterRow(columns, footerRow);
    Out().WriteLine("</TR>");
}

void TDBGridEhExportAsHTML::EmitFooterCell(int /*dataCol*/, int row, TColumnEh* column,
                                           const TFontEh& font, TColor background,
                                           TAlignment /*alignment*/, const QString& text)
{
    // The alignment is the footer's own; a handler's change of it is not shown.
    WriteHtmlCell(Out(), column->Width(), column->UsedFooter(row)->Alignment(), true,
                  ExportColor(background), ExportFont(font), text);
}
