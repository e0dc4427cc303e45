#include "TDBGridEhExportAsXLS.h"

namespace {

// Record type, length of the data that follows, then row, column and XF index of a cell record.
void WriteCellHeader(TByteWriterEh& w, quint16 type, quint16 length, quint16 row, quint16 col,
                     quint16 xf)
{
    char* out = w.Reserve(10);
    const quint16 words[5] = {type, length, row, col, xf};
    for (int i = 0; i < 5; ++i) {
        out[2 * i] = char(words[i] & 0xFF);
        out[2 * i + 1] = char(words[i] >> 8);
    }
    w.Commit(10);
}

}  // namespace

void WriteXlsBof(TByteWriterEh& w)
{
    w.WriteUInt16(0x0809);
    w.WriteUInt16(0x0008);
    w.WriteUInt16(0x0000);  // BIFF version
    w.WriteUInt16(0x0010);  // worksheet
    w.WriteUInt16(0x0000);  // build
    w.WriteUInt16(0x0000);  // year
}

void WriteXlsCodepage(TByteWriterEh& w)
{
    w.WriteUInt16(0x0042);
    w.WriteUInt16(0x0002);
    w.WriteUInt16(1251);
}

void WriteXlsLabel(TByteWriterEh& w, quint16 row, quint16 col, QStringView text)
{
    QByteArray& bytes = w.Scratch();
    bytes.clear();
    AnsiAppend(bytes, text);
    const quint16 n = quint16(std::min(bytes.size(), kXlsMaxLabelBytes));
    WriteCellHeader(w, 0x0204, quint16(n + 8), row, col, 0);
    w.WriteUInt16(n);
    w.WriteBytes(bytes.constData(), n);
}

void WriteXlsNumber(TByteWriterEh& w, quint16 row, quint16 col, double value)
{
    WriteCellHeader(w, 0x0203, 0x000E, row, col, 0);
    w.WriteDouble(value);
}

void WriteXlsRk(TByteWriterEh& w, quint16 row, quint16 col, qint32 value)
{
    WriteCellHeader(w, 0x027E, 0x000A, row, col, 0);
    // Bit 1 marks an integer, bit 0 clear: not divided by 100.
    w.WriteInt32(qint32(quint32(value) << 2 | 2u));
}

void WriteXlsBlank(TByteWriterEh& w, quint16 row, quint16 col)
{
    WriteCellHeader(w, 0x0201, 0x0006, row, col, 0x0017);
}

void WriteXlsEof(TByteWriterEh& w)
{
    w.WriteUInt16(0x000A);
    w.WriteUInt16(0x0000);
}
