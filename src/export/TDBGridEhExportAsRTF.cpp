#include "TDBGridEhExportAsRTF.h"

void WriteRtfEscaped(TByteWriterEh& w, QStringView text)
{
    static const char hex[] = "0123456789abcdef";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            if (u == u'\\' || u == u'{' || u == u'}')
                w.WriteByte('\\');
            w.WriteByte(char(u));
            continue;
        }
        w.WriteAscii("\\u");
        w.WriteDecimal(qint16(u));
        const unsigned char b = static_cast<unsigned char>(AnsiByteOf(u));
        const char fallback[4] = {'\\', '\'', hex[b >> 4], hex[b & 0xF]};
        w.WriteBytes(fallback, 4);
    }
}

qint64 RtfTwips(int pixels, int pixelsPerInch)
{
    if (pixelsPerInch <= 0)
        pixelsPerInch = 96;
    return qint64(static_cast<long double>(pixels) / pixelsPerInch * 1440.0L);
}

const char* RtfAlignmentWord(TAlignment alignment)
{
    switch (alignment) {
    case taRightJustify:
        return "\\qr";
    case taCenter:
        return "\\qc";
    case taLeftJustify:
        break;
    }
    return "\\ql";
}

int TRtfColorTableEh::Number(quint32 rgb)
{
    rgb &= 0xFFFFFF;
    for (std::size_t i = 0; i < fColors.size(); ++i)
        if (fColors[i] == rgb)
            return int(i);
    fColors.push_back(rgb);
    return int(fColors.size() - 1);
}

void TRtfColorTableEh::Write(TByteWriterEh& w) const
{
    w.WriteAscii("{\\colortbl");
    for (const quint32 rgb : fColors) {
        w.WriteAscii("\\red");
        w.WriteDecimal(rgb & 0xFF);
        w.WriteAscii("\\green");
        w.WriteDecimal((rgb >> 8) & 0xFF);
        w.WriteAscii("\\blue");
        w.WriteDecimal((rgb >> 16) & 0xFF);
        w.WriteByte(';');
    }
    w.WriteLine("}");
}

int TRtfFontTableEh::Number(const QString& name)
{
    for (std::size_t i = 0; i < fNames.size(); ++i)
        if (fNames[i].compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    fNames.push_back(name);
    return int(fNames.size() - 1);
}

void TRtfFontTableEh::Write(TByteWriterEh& w) const
{
    w.WriteAscii("{\\fonttbl");
    for (std::size_t i = 0; i < fNames.size(); ++i) {
        w.WriteAscii("\\f");
        w.WriteDecimal(qint64(i));
        w.WriteAscii("\\fnil ");
        WriteRtfEscaped(w, fNames[i]);
        w.WriteByte(';');
    }
    w.WriteLine("}");
}

void WriteRtfDocumentStart(TByteWriterEh& w)
{
    w.WriteLine("{\\rtf0\\ansi");
}

void WriteRtfRowDefinitionStart(TByteWriterEh& w)
{
    w.WriteAscii("\\trowd");
    w.WriteLine("\\trgaph40");
}

void WriteRtfCellBorders(TByteWriterEh& w, bool left, bool top, bool bottom, bool right)
{
    const struct
    {
        bool on;
        const char* word;
    } sides[] = {{left, "\\clbrdrl"}, {top, "\\clbrdrt"}, {bottom, "\\clbrdrb"}, {right, "\\clbrdrr"}};
    for (const auto& side : sides) {
        if (!side.on)
            continue;
        w.WriteAscii(side.word);
        w.WriteAscii("\\brdrs");
        w.WriteLine("\\brdrcf0");
    }
}

void WriteRtfCellEdge(TByteWriterEh& w, int shading, qint64 rightEdge)
{
    // The background pattern colour: readers draw the shading words of older writers as solid
    // black cells.
    w.WriteAscii("\\clcbpat");
    w.WriteDecimal(shading);
    w.WriteAscii("\\cellx");
    w.WriteDecimal(rightEdge);
    w.WriteCrLf();
}

void WriteRtfRowContentStart(TByteWriterEh& w)
{
    w.WriteLine("{\\trrh0");
}

void WriteRtfRowEnd(TByteWriterEh& w)
{
    w.WriteLine("\\pard\\intbl\\row}");
}

void WriteRtfCellParagraph(TByteWriterEh& w, TRtfFontTableEh& fonts, TRtfColorTableEh& colors,
                           TAlignment alignment, bool flat, const TExportFontEh& font,
                           quint32 backgroundRgb, QStringView text)
{
    const char* spacing = flat ? "12" : "24";
    w.WriteAscii("\\pard\\intbl{");
    w.WriteAscii(RtfAlignmentWord(alignment));
    w.WriteAscii("\\sb");
    w.WriteAscii(spacing);
    w.WriteAscii("\\sa");
    w.WriteAscii(spacing);
    w.WriteAscii("\\fs");
    w.WriteDecimal(qint64(font.Size) * 2);
    if (font.Bold) w.WriteAscii("\\b");
    if (font.Italic) w.WriteAscii("\\i");
    if (font.StrikeOut) w.WriteAscii("\\strike");
    if (font.Underline) w.WriteAscii("\\ul");
    const int fontNumber = fonts.Number(font.Name);
    const int foreground = colors.Number(font.Rgb);
    const int background = colors.Number(backgroundRgb);
    w.WriteAscii("\\f");
    w.WriteDecimal(fontNumber);
    w.WriteAscii("\\cf");
    w.WriteDecimal(foreground);
    w.WriteAscii("\\cb");
    w.WriteDecimal(background);
    w.WriteByte(' ');
    WriteRtfEscaped(w, text);
    w.WriteLine("\\cell}");
}
