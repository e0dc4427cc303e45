#include "TDBGridEhExportAsText.h"

void WriteCsvQuoted(TByteWriterEh& w, QStringView value)
{
    QByteArray& bytes = w.Scratch();
    bytes.clear();
    AnsiAppend(bytes, value);
    // Every byte may double, plus the two quotes: in pieces when that exceeds the buffer.
    w.WriteByte('"');
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    while (p != end) {
        const qsizetype chunk = std::min<qsizetype>(end - p, TByteWriterEh::kCapacity / 2);
        char* out = w.Reserve(2 * chunk);
        char* o = out;
        for (const char* stop = p + chunk; p != stop; ++p) {
            if (*p == '"')
                *o++ = '"';
            *o++ = *p;
        }
        w.Commit(o - out);
    }
    w.WriteByte('"');
}
