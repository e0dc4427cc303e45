#include "TDBGridEhExportAsHTML.h"

#include "TCustomDBGridEh.h"
#include "TScopeExit.h"

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
    static const char* const ltNames[] = {"cc;",    "cir;",  "dot;", "hree;", "imes;", "larr;",
                                          "quest;", "rPar;", "ri;",  "rie;",  "rif;"};
    static const char* const gtNames[] = {"cc;",   "cir;",  "dot;",     "lPar;",     "quest;", "rapprox;",
                                          "rarr;", "rdot;", "reqless;", "reqqless;", "rless;", "rsim;"};
    const std::string_view rest(next, std::size_t(end - next));
    const std::string_view name(entity);
    if (name == "&lt")
        return std::any_of(std::begin(ltNames), std::end(ltNames), [&](const char* n) { return rest.starts_with(n); });
    if (name == "&gt")
        return std::any_of(std::begin(gtNames), std::end(gtNames), [&](const char* n) { return rest.starts_with(n); });
    return false;
}

} // namespace

const TByteSetEh kHtmlSpecialBytes("&<>\"");

namespace {

// Escapes windows-1251 bytes (the writer's scratch array, filled by the caller).
void WriteEscapedBytes(TByteWriterEh& w, const QByteArray& bytes)
{
    if (bytes.isEmpty()) {
        w.WriteAscii("&nbsp");
        return;
    }
    // The replaced characters are ASCII, so the windows-1251 bytes can be escaped in one pass
    // with the same result as replacing & first, then <, >, and the double quote. Entities go
    // without their semicolon unless the text after them would otherwise join them.
    const char* run = bytes.constData();
    const char* end = run + bytes.size();
    for (const char* p = run; p != end; ++p) {
        const char* entity;
        switch (*p) {
        case '&':
            entity = "&amp";
            break;
        case '<':
            entity = "&lt";
            break;
        case '>':
            entity = "&gt";
            break;
        case '"':
            entity = "&quot";
            break;
        default:
            continue;
        }
        w.WriteBytes(run, p - run);
        w.WriteAscii(entity);
        if (EntityNeedsSemicolon(entity, p + 1, end))
            w.WriteByte(';');
        run = p + 1;
    }
    w.WriteBytes(run, end - run);
}

// <FONT STYLE="..."> and the opening style tags.
void WriteFontStart(TByteWriterEh& w, const TExportFontEh& font)
{
    w.WriteAscii("<FONT STYLE=\"font-family: ");
    w.WriteAnsi(font.Name);
    w.WriteAscii("; font-size: ");
    w.WriteDecimal(font.Size);
    w.WriteAscii("pt; color: #");
    WriteHtmlColorHex(w, font.Rgb);
    w.WriteAscii("\">");
    if (font.Bold)
        w.WriteAscii("<B>");
    if (font.Italic)
        w.WriteAscii("<I>");
    if (font.Underline)
        w.WriteAscii("<U>");
    if (font.StrikeOut)
        w.WriteAscii("<STRIKE>");
}

// The closing style tags and </FONT>. Closing tags follow the opening order, not its reverse;
// readers accept both.
void WriteFontEnd(TByteWriterEh& w, const TExportFontEh& font)
{
    if (font.Bold)
        w.WriteAscii("</B>");
    if (font.Italic)
        w.WriteAscii("</I>");
    if (font.Underline)
        w.WriteAscii("</U>");
    if (font.StrikeOut)
        w.WriteAscii("</STRIKE>");
    w.WriteAscii("</FONT>");
}

} // namespace

void WriteHtmlEscaped(TByteWriterEh& w, QStringView text)
{
    QByteArray& bytes = w.Scratch();
    bytes.resize(0); // keeps the capacity for the next piece
    AnsiAppend(bytes, text);
    WriteEscapedBytes(w, bytes);
}

void WriteHtmlEscapedUtf8(TByteWriterEh& w, QByteArrayView utf8)
{
    // Most texts hold nothing to escape: they go in one pass.
    if (!utf8.isEmpty() && w.WriteAnsiUtf8Plain(utf8, kHtmlSpecialBytes))
        return;
    QByteArray& bytes = w.Scratch();
    bytes.resize(0);
    AnsiAppendUtf8(bytes, utf8);
    WriteEscapedBytes(w, bytes);
}

void WriteHtmlFontElement(TByteWriterEh& w, const TExportFontEh& font, QStringView text)
{
    WriteFontStart(w, font);
    WriteHtmlEscaped(w, text);
    WriteFontEnd(w, font);
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

void WriteHtmlCellStart(TByteWriterEh& w, int width, TAlignment alignment, bool hasBackground, quint32 backgroundRgb)
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

void WriteHtmlCell(TByteWriterEh& w, int width, TAlignment alignment, bool hasBackground, quint32 backgroundRgb,
                   const TExportFontEh& font, QStringView text)
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
    WriteHtmlTableStart(Out(), options.Contains(dgColLines) || options.Contains(dgRowLines), grid->Ctl3D(),
                        grid->Flat(), ResolveColor(grid->FixedColor()));
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
        WriteHtmlCell(Out(), column->Width(), title->Alignment(), false, 0, ResolveFont(title->Font()),
                      title->Caption());
    }
    Out().WriteLine("</TR>");
}

void TDBGridEhExportAsHTML::WriteToStream(QIODevice* stream, bool exportAll)
{
    fCapture = std::make_unique<TByteCaptureEh>();
    TScopeExit release([this] {
        fCapture.reset();
        fRecordCells.clear();
    });
    TDBGridEhExport::WriteToStream(stream, exportAll);
}

void TDBGridEhExportAsHTML::EmitDataRow(const TColumnsEhList& columns)
{
    Out().WriteLine("<TR>");
    fCellIndex = 0;
    TDBGridEhExport::EmitDataRow(columns);
    Out().WriteLine("</TR>");
}

const TDBGridEhExportAsHTML::CachedCell& TDBGridEhExportAsHTML::RecordCell(int width, TAlignment alignment,
                                                                           TColor background, const TFontEh& font)
{
    const std::size_t index = std::size_t(fCellIndex++);
    if (index >= fRecordCells.size())
        fRecordCells.resize(index + 1);
    CachedCell& cell = fRecordCells[index];
    if (!cell.Valid || cell.Width != width || cell.Alignment != alignment || cell.Background != background
        || !SameExportFont(cell.Font, font)) {
        const TExportFontEh resolved = ResolveFont(font);
        const quint32 backgroundRgb = ResolveColor(background);
        cell.Start = fCapture->Capture([&](TByteWriterEh& w) {
            WriteHtmlCellStart(w, width, alignment, true, backgroundRgb);
            WriteFontStart(w, resolved);
        });
        cell.End = fCapture->Capture([&](TByteWriterEh& w) {
            WriteFontEnd(w, resolved);
            w.WriteLine("</TD>");
        });
        cell.Width = width;
        cell.Alignment = alignment;
        cell.Background = background;
        cell.Font = font;
        cell.Valid = true;
    }
    return cell;
}

void TDBGridEhExportAsHTML::EmitDataCell(TColumnEh* column, TColCellParamsEh& params)
{
    const CachedCell& cell = RecordCell(column->Width(), params.Alignment, params.Background, *params.Font);
    TByteWriterEh& w = Out();
    w.WriteBytes(cell.Start);
    WriteHtmlEscaped(w, params.Text);
    w.WriteBytes(cell.End);
}

void TDBGridEhExportAsHTML::EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8)
{
    const CachedCell& cell = RecordCell(column->Width(), params.Alignment, params.Background, *params.Font);
    TByteWriterEh& w = Out();
    w.WriteBytes(cell.Start);
    WriteHtmlEscapedUtf8(w, utf8);
    w.WriteBytes(cell.End);
}

void TDBGridEhExportAsHTML::EmitFooterRow(const TColumnsEhList& columns, int footerRow)
{
    Out().WriteLine("<TR>");
    TDBGridEhExport::EmitFooterRow(columns, footerRow);
    Out().WriteLine("</TR>");
}

void TDBGridEhExportAsHTML::EmitFooterCell(int /*dataCol*/, int row, TColumnEh* column, const TFontEh& font,
                                           TColor background, TAlignment /*alignment*/, const QString& text)
{
    // The alignment is the footer's own; a handler's change of it is not shown.
    WriteHtmlCell(Out(), column->Width(), column->UsedFooter(row)->Alignment(), true, ResolveColor(background),
                  ResolveFont(font), text);
}
