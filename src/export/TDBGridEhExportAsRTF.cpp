#include "TDBGridEhExportAsRTF.h"

#include "TCustomDBGridEh.h"
#include "TMemoryStreamEh.h"
#include "TScopeExit.h"

#include <algorithm>
#include <cstring>

namespace {

const char kHexDigits[] = "0123456789abcdef";

// \uN\'xx for a code unit above 127 (N signed 16-bit), at most 12 bytes; returns the end.
char* PutRtfUnicode(char* o, char16_t u)
{
    *o++ = '\\';
    *o++ = 'u';
    int n = qint16(u);
    if (n < 0) {
        *o++ = '-';
        n = -n;
    }
    char digits[6];
    int count = 0;
    do {
        digits[count++] = char('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (count > 0)
        *o++ = digits[--count];
    const auto b = static_cast<unsigned char>(AnsiByteOf(u));
    *o++ = '\\';
    *o++ = '\'';
    *o++ = kHexDigits[b >> 4];
    *o++ = kHexDigits[b & 0xF];
    return o;
}

// The escapes of the code units a two-byte UTF-8 sequence holds (80 to 7FF hex), made once:
// Cyrillic text is mostly these.
class TRtfShortEscapes
{
public:
    TRtfShortEscapes()
    {
        for (char16_t u = 0x80; u < 0x800; ++u) {
            Entry& e = fEntries[u - 0x80];
            e.Length = char(PutRtfUnicode(e.Bytes, u) - e.Bytes);
        }
    }
    // Puts the escape of u (80 to 7FF hex); writes up to 16 bytes, returns the escape's end.
    char* Put(char* o, char16_t u) const
    {
        const Entry& e = fEntries[u - 0x80];
        std::memcpy(o, e.Bytes, sizeof e.Bytes);
        return o + e.Length;
    }

private:
    struct Entry
    {
        char Bytes[15];
        char Length;
    };
    Entry fEntries[0x800 - 0x80];
};

const TRtfShortEscapes& ShortEscapes()
{
    static const TRtfShortEscapes escapes;
    return escapes;
}

} // namespace

void WriteRtfEscaped(TByteWriterEh& w, QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            if (u == u'\\' || u == u'{' || u == u'}')
                w.WriteByte('\\');
            w.WriteByte(char(u));
            continue;
        }
        char* out = w.Reserve(12);
        w.Commit(PutRtfUnicode(out, u) - out);
    }
}

void WriteRtfEscapedUtf8(TByteWriterEh& w, QByteArrayView utf8)
{
    // An ASCII byte takes at most 2 bytes, a two-byte sequence at most 12 (16 are written).
    const qsizetype room = utf8.size() * 6 + 16;
    if (room <= TByteWriterEh::kCapacity) {
        const TRtfShortEscapes& escapes = ShortEscapes();
        char* const out = w.Reserve(room);
        char* o = out;
        const bool done = DecodeShortUtf8(
            utf8,
            [&](char c) {
                if (c == '\\' || c == '{' || c == '}')
                    *o++ = '\\';
                *o++ = c;
            },
            [&](char16_t u) { o = escapes.Put(o, u); });
        if (done) {
            w.Commit(o - out);
            return;
        }
    }
    WriteRtfEscaped(w, QString::fromUtf8(utf8));
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
    // Each side: single line, colour 0 (black).
    if (left)
        w.WriteAscii("\\clbrdrl\\brdrs\\brdrcf0\r\n");
    if (top)
        w.WriteAscii("\\clbrdrt\\brdrs\\brdrcf0\r\n");
    if (bottom)
        w.WriteAscii("\\clbrdrb\\brdrs\\brdrcf0\r\n");
    if (right)
        w.WriteAscii("\\clbrdrr\\brdrs\\brdrcf0\r\n");
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

void WriteRtfCellStart(TByteWriterEh& w, TRtfFontTableEh& fonts, TRtfColorTableEh& colors, TAlignment alignment,
                       bool flat, const TExportFontEh& font, quint32 backgroundRgb)
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
    if (font.Bold)
        w.WriteAscii("\\b");
    if (font.Italic)
        w.WriteAscii("\\i");
    if (font.StrikeOut)
        w.WriteAscii("\\strike");
    if (font.Underline)
        w.WriteAscii("\\ul");
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
}

void WriteRtfCellEnd(TByteWriterEh& w)
{
    w.WriteLine("\\cell}");
}

void WriteRtfCellParagraph(TByteWriterEh& w, TRtfFontTableEh& fonts, TRtfColorTableEh& colors, TAlignment alignment,
                           bool flat, const TExportFontEh& font, quint32 backgroundRgb, QStringView text)
{
    WriteRtfCellStart(w, fonts, colors, alignment, flat, font, backgroundRgb);
    WriteRtfEscaped(w, text);
    WriteRtfCellEnd(w);
}

TDBGridEhExportAsRTF::TDBGridEhExportAsRTF() = default;

TDBGridEhExportAsRTF::~TDBGridEhExportAsRTF() = default;

int TDBGridEhExportAsRTF::PixelsPerInchX() const
{
    return SourceGrid()->logicalDpiX();
}

int TDBGridEhExportAsRTF::ColorNumber(TColor color)
{
    return fColorTable->Number(ResolveColor(color));
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
    fCapture = std::make_unique<TByteCaptureEh>();
    TScopeExit release([this] {
        // The writer never outlives the body it may still point at.
        if (Out().Device() == fBodyStream.get())
            Out().Detach();
        fBodyStream.reset();
        fColorTable.reset();
        fFontTable.reset();
        fCapture.reset();
        fRecordRows.clear();
        fRecordCells.clear();
        fPieces.clear();
    });

    ForgetResolvedColors();
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
    WriteExpandedBody(w);
    w.Flush();
}

quint32 TDBGridEhExportAsRTF::AddPiece(QByteArray bytes)
{
    fPieces.push_back(std::move(bytes));
    return quint32(fPieces.size() - 1);
}

void TDBGridEhExportAsRTF::WritePieceReference(quint32 piece)
{
    // A mark byte, then the piece's number in four bytes.
    char* out = Out().Reserve(5);
    out[0] = char(kPieceMark);
    std::memcpy(out + 1, &piece, 4);
    Out().Commit(5);
}

void TDBGridEhExportAsRTF::WriteTextReference(QByteArrayView utf8)
{
    // A mark byte, the length in four bytes, then the UTF-8 bytes.
    const quint32 length = quint32(utf8.size());
    char* out = Out().Reserve(5);
    out[0] = char(kTextMark);
    std::memcpy(out + 1, &length, 4);
    Out().Commit(5);
    Out().WriteBytes(utf8);
}

void TDBGridEhExportAsRTF::WriteExpandedBody(TByteWriterEh& w) const
{
    const QByteArrayView body = fBodyStream->View();
    const char* p = body.data();
    const char* const end = p + body.size();
    // The body read so far goes back to the system as the document grows: the two are not
    // held whole at once.
    constexpr qint64 kDiscardStep = qint64(4) << 20;
    qint64 discarded = 0;
    while (p != end) {
        if (p - body.data() - discarded >= kDiscardStep) {
            discarded = p - body.data();
            fBodyStream->DiscardBefore(discarded);
        }
        const char* run = p;
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ull)
                break;
            p += 8;
        }
        while (p != end && !(static_cast<unsigned char>(*p) & 0x80))
            ++p;
        w.WriteBytes(run, p - run);
        if (p == end)
            break;
        quint32 value;
        std::memcpy(&value, p + 1, 4);
        if (static_cast<unsigned char>(*p) == kTextMark) {
            WriteRtfEscapedUtf8(w, QByteArrayView(p + 5, value));
            p += 5 + value;
        } else {
            w.WriteBytes(fPieces[value]);
            p += 5;
        }
    }
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

TColor TDBGridEhExportAsRTF::FooterShading(const TColumnsEhList& columns, int index, int footerRow) const
{
    TCustomDBGridEh* grid = SourceGrid();
    TColumnEh* column = columns[index];
    const TColumnFooterEh* footer = column->UsedFooter(footerRow);
    TColor color = footer->Color();
    if (grid->OnGetFooterParams) {
        QString text = FooterText(footerRow, index);
        TFontEh scratch = footer->Font();
        TAlignment alignment = footer->Alignment();
        grid->OnGetFooterParams(grid, column->Index(), footerRow, column, scratch, color, alignment, TGridDrawState(),
                                text);
    }
    return color;
}

template <class Shading>
TDBGridEhExportAsRTF::RowShape TDBGridEhExportAsRTF::MakeRowShape(const TColumnsEhList& columns,
                                                                  Shading&& shading) const
{
    RowShape shape;
    shape.Ppi = PixelsPerInchX();
    shape.Cells.reserve(std::size_t(columns.Count()));
    for (int i = 0; i < columns.Count(); ++i)
        shape.Cells.emplace_back(columns[i]->Width(), shading(i));
    return shape;
}

void TDBGridEhExportAsRTF::WriteRowDefinition(TByteWriterEh& w, const RowShape& shape)
{
    WriteRtfRowDefinitionStart(w);
    qint64 right = 0;
    for (const auto& [width, shading] : shape.Cells) {
        WriteRtfCellBorders(w, true, true, true, true);
        // Each width is truncated on its own: the edges are sums of truncated widths.
        right += RtfTwips(width, shape.Ppi);
        WriteRtfCellEdge(w, ColorNumber(shading), right);
    }
    WriteRtfRowContentStart(w);
}

void TDBGridEhExportAsRTF::WriteRecordRowDefinition(const TColumnsEhList& columns)
{
    RowShape shape = MakeRowShape(columns, [&](int i) { return RecordShading(columns, i); });
    auto cached =
        std::find_if(fRecordRows.begin(), fRecordRows.end(), [&](const CachedRow& row) { return row.Shape == shape; });
    if (cached == fRecordRows.end()) {
        // A handful of shapes covers rows shaded by turns; beyond that the oldest goes.
        constexpr std::size_t kShapesKept = 4;
        if (fRecordRows.size() == kShapesKept)
            fRecordRows.erase(fRecordRows.begin());
        const quint32 piece = AddPiece(fCapture->Capture([&](TByteWriterEh& w) { WriteRowDefinition(w, shape); }));
        fRecordRows.push_back({std::move(shape), piece});
        cached = fRecordRows.end() - 1;
    }
    WritePieceReference(cached->Piece);
}

void TDBGridEhExportAsRTF::WriteCellStart(TByteWriterEh& w, const CellShape& shape)
{
    WriteRtfCellStart(w, *fFontTable, *fColorTable, shape.Alignment, shape.Flat, ResolveFont(shape.Font),
                      ResolveColor(shape.Background));
}

void TDBGridEhExportAsRTF::WriteRecordCellStart(TAlignment alignment, const TFontEh& font, TColor background)
{
    const std::size_t index = std::size_t(fCellIndex++);
    if (index >= fRecordCells.size())
        fRecordCells.resize(index + 1);
    CachedCell& cached = fRecordCells[index];
    const bool flat = SourceGrid()->Flat();
    if (!cached.Valid || cached.Shape.Alignment != alignment || cached.Shape.Flat != flat
        || cached.Shape.Background != background || !SameExportFont(cached.Shape.Font, font)) {
        cached.Shape = CellShape{alignment, flat, font, background};
        cached.Piece = AddPiece(fCapture->Capture([&](TByteWriterEh& w) { WriteCellStart(w, cached.Shape); }));
        cached.Valid = true;
    }
    WritePieceReference(cached.Piece);
}

void TDBGridEhExportAsRTF::WriteCell(TAlignment alignment, const TFontEh& font, TColor background, const QString& text)
{
    WriteRtfCellParagraph(Out(), *fFontTable, *fColorTable, alignment, SourceGrid()->Flat(), ResolveFont(font),
                          ResolveColor(background), text);
}

void TDBGridEhExportAsRTF::EmitTitleRow(const TColumnsEhList& columns)
{
    WriteRowDefinition(Out(), MakeRowShape(columns, [&](int i) { return columns[i]->Title()->Color(); }));
    for (TColumnEh* column : columns) {
        const TColumnTitleEh* title = column->Title();
        WriteCell(title->Alignment(), title->Font(), title->Color(), title->Caption());
    }
    WriteRtfRowEnd(Out());
}

void TDBGridEhExportAsRTF::EmitDataRow(const TColumnsEhList& columns)
{
    WriteRecordRowDefinition(columns);
    fCellIndex = 0;
    TDBGridEhExport::EmitDataRow(columns);
    WriteRtfRowEnd(Out());
}

void TDBGridEhExportAsRTF::EmitDataCell(TColumnEh* /*column*/, TColCellParamsEh& params)
{
    WriteRecordCellStart(params.Alignment, *params.Font, params.Background);
    WriteRtfEscaped(Out(), params.Text);
    WriteRtfCellEnd(Out());
}

void TDBGridEhExportAsRTF::EmitDataCellUtf8(TColumnEh* /*column*/, TColCellParamsEh& params, QByteArrayView utf8)
{
    WriteRecordCellStart(params.Alignment, *params.Font, params.Background);
    // Kept as it is stored and escaped on the way to the target: escapes of Cyrillic letters
    // are five times the size of the letters.
    WriteTextReference(utf8);
    WriteRtfCellEnd(Out());
}

void TDBGridEhExportAsRTF::EmitFooterRow(const TColumnsEhList& columns, int footerRow)
{
    WriteRowDefinition(Out(), MakeRowShape(columns, [&](int i) { return FooterShading(columns, i, footerRow); }));
    TDBGridEhExport::EmitFooterRow(columns, footerRow);
    WriteRtfRowEnd(Out());
}

void TDBGridEhExportAsRTF::EmitFooterCell(int /*dataCol*/, int /*row*/, TColumnEh* /*column*/, const TFontEh& font,
                                          TColor background, TAlignment alignment, const QString& text)
{
    WriteCell(alignment, font, background, text);
}
