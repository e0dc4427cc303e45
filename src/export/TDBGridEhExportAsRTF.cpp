#include "TDBGridEhExportAsRTF.h"

#include "TCustomDBGridEh.h"
#include "TMemoryStreamEh.h"

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

TDBGridEhExportAsRTF::TDBGridEhExportAsRTF() = default;

TDBGridEhExportAsRTF::~TDBGridEhExportAsRTF() = default;

int TDBGridEhExportAsRTF::PixelsPerInchX() const
{
    return SourceGrid()->logicalDpiX();
}

int TDBGridEhExportAsRTF::ColorNumber(TColor color)
{
    return fColorTable->Number(ExportColor(color));
}

int TDBGridEhExportAsRTF::FontNumber(const QString& name)
{
    return fFontTable->Number(name);
}

void TDBGridEhExportAsRTF::WriteToStream(QIODevice* stream, bool exportAll)
{
    fBodyStream = std::make_unique<TMemoryStreamEh>();
    fBodyStream->SetHalfGrowthStep(65536);
    fColorTable = std::make_unique<TRtfColorTableEh>();
    fFontTable = std::make_unique<TRtfFontTableEh>();
    struct Release
    {
        TDBGridEhExportAsRTF& self;
        ~Release()
        {
            self.fBodyStream.reset();
            self.fColorTable.reset();
            self.fFontTable.reset();
        }
    } release{*this};

    ColorNumber(clBlack);
    ColorNumber(clWhite);
    ColorNumber(clBtnFace);
    TDBGridEhExport::WriteToStream(fBodyStream.get(), exportAll);
    // With no selection the walk wrote nothing, and neither does the document.
    if (fBodyStream->size() == 0)
        return;

    // Nothing reaches the target before the body is complete.
    TByteWriterEh& w = Out();
    w.SetDevice(stream);
    WriteRtfDocumentStart(w);
    fColorTable->Write(w);
    fFontTable->Write(w);
    w.Flush();
    w.WriteBytes(fBodyStream->View());
    w.Flush();
}

void TDBGridEhExportAsRTF::BeginDocument() {}

void TDBGridEhExportAsRTF::EndDocument()
{
    Out().WriteByte('}');
}

TColor TDBGridEhExportAsRTF::RecordShading(const TColumnsEhList& columns, int index) const
{
    TCustomDBGridEh* grid = SourceGrid();
    TColumnEh* column = columns[index];
    TColor color = column->Color();
    if (grid->OnGetCellParams) {
        TFontEh scratch = column->Font();
        grid->OnGetCellParams(grid, column, scratch, color, TGridDrawState());
    }
    return color;
}

TColor TDBGridEhExportAsRTF::FooterShading(const TColumnsEhList& columns, int index,
                                           int footerRow) const
{
    TCustomDBGridEh* grid = SourceGrid();
    TColumnEh* column = columns[index];
    const TColumnFooterEh* footer = column->UsedFooter(footerRow);
    TColor color = footer->Color();
    if (grid->OnGetFooterParams) {
        QString text = FooterText(footerRow, index);
        TFontEh scratch = footer->Font();
        TAlignment alignment = footer->Alignment();
        grid->OnGetFooterParams(grid, column->Index(), footerRow, column, scratch, color, alignment,
                                TGridDrawState(), text);
    }
    return color;
}

void TDBGridEhExportAsRTF::WriteRowDefinition(const TColumnsEhList& columns, RowKind kind,
                                              int footerRow)
{
    TByteWriterEh& w = Out();
    WriteRtfRowDefinitionStart(w);
    const int ppi = PixelsPerInchX();
    qint64 right = 0;
    for (int i = 0; i < columns.Count(); ++i) {
        WriteRtfCellBorders(w, true, true, true, true);
        // Each width is truncated on its own: the edges are sums of truncated widths.
        right += RtfTwips(columns[i]->Width(), ppi);
        TColor shading = clNone;
        switch (kind) {
        case RowKind::Title: shading = columns[i]->Title()->Color(); break;
        case RowKind::Record: shading = RecordShading(columns, i); break;
        case RowKind::Footer: shading = FooterShading(columns, i, footerRow); break;
        }
        WriteRtfCellEdge(w, ColorNumber(shading), right);
    }
    WriteRtfRowContentStart(w);
}

void TDBGridEhExportAsRTF::WriteCell(TAlignment alignment, const TFontEh& font, TColor background,
                                     const QString& text)
{
    WriteRtfCellParagraph(Out(), *fFontTable, *fColorTable, alignment, SourceGrid()->Flat(),
                          ExportFont(font), ExportColor(background), text);
}

void TDBGridEhExportAsRTF::EmitTitleRow(const TColumnsEhList& columns)
{
    WriteRowDefinition(columns, RowKind::Title, 0);
    for (TColumnEh* column : columns) {
        const TColumnTitleEh* title = column->Title();
        WriteCell(title->Alignment(), title->Font(), title->Color(), title->Caption());
    }
    WriteRtfRowEnd(Out());
}

void TDBGridEhExportAsRTF::EmitDataRow(const TColumnsEhList& columns)
{
    WriteRowDefinition(columns, RowKind::Record, 0);
    TDBGridEhExport::EmitDataRow(columns);
    WriteRtfRowEnd(Out());
}

void TDBGridEhExportAsRTF::EmitDataCell(TColumnEh* /*column*/, TColCellParamsEh& params)
{
    WriteCell(params.Alignment, *params.Font, params.Background, params.Text);
}

void TDBGridEhExportAsRTF::EmitFooterRow(const TColumnsEhList& columns, int footerRow)
{
    WriteRowDefinition(columns, RowKind::Footer, footerRow);
    TDBGridEhExport::EmitFooterRow(columns, footerRow);
    WriteRtfRowEnd(Out());
}

void TDBGridEhExportAsRTF::EmitFooterCell(int /*dataCol*/, int /*row*/, TColumnEh* /*column*/,
                                          const TFontEh& font, TColor background,
                                          TAlignment alignment, const QString& text)
{
    WriteCell(alignment, font, background, text);
}
