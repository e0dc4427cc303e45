#include "TByteWriterEh.h"

#include "Exception.h"
#include "TMemoryStreamEh.h"

#include <QStringEncoder>

#include <array>
#include <cstring>

namespace {

// windows-1251 byte of every UTF-16 code unit, made once from the platform's encoder. The
// encoder marks a character it cannot map with SUB (1A); the program writes "?" instead.
class AnsiTable
{
public:
    AnsiTable()
    {
        fBytes.fill('?');
        for (int u = 0; u < 0x80; ++u)
            fBytes[std::size_t(u)] = char(u);
        QStringEncoder encoder("windows-1251", QStringConverter::Flag::Stateless);
        if (!encoder.isValid())
            return;  // every character above 127 then becomes "?"
        QString all;
        all.reserve(0x10000);
        for (int u = 0x80; u < 0x10000; ++u)
            if (u < 0xD800 || u > 0xDFFF)
                all.append(QChar(char16_t(u)));
        const QByteArray bytes = encoder.encode(all);
        const bool oneToOne = bytes.size() == all.size();
        for (qsizetype i = 0; i < all.size(); ++i) {
            const char16_t u = all.at(i).unicode();
            char b;
            if (oneToOne) {
                b = bytes.at(i);
            } else {
                const QByteArray one = encoder.encode(QStringView(&u, 1));
                b = one.size() == 1 ? one.at(0) : '\x1A';
            }
            fBytes[u] = b == '\x1A' ? '?' : b;
        }
    }
    char Byte(char16_t u) const { return fBytes[u]; }

private:
    std::array<char, 0x10000> fBytes;
};

const AnsiTable& Table()
{
    static const AnsiTable table;
    return table;
}

// Encodes text into out, which has room for text.size() bytes; returns the bytes written.
qsizetype EncodeInto(char* out, QStringView text)
{
    const AnsiTable& table = Table();
    const char16_t* p = text.utf16();
    const char16_t* end = p + text.size();
    char* o = out;
    while (p != end) {
        const char16_t u = *p++;
        if (u < 0x80) {
            *o++ = char(u);
        } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
            ++p;  // one character outside the code page, one "?"
            *o++ = '?';
        } else {
            *o++ = table.Byte(u);
        }
    }
    return o - out;
}

}  // namespace

char AnsiByteOf(char16_t unit)
{
    return Table().Byte(unit);
}

QByteArray AnsiEncode(QStringView text)
{
    QByteArray out;
    AnsiAppend(out, text);
    return out;
}

void AnsiAppend(QByteArray& out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    out.resize(at + EncodeInto(out.data() + at, text));
}

TByteWriterEh::TByteWriterEh(QIODevice* device)
    : fDevice(device),
      fMemory(qobject_cast<TMemoryStreamEh*>(device)),
      fBuffer(new char[kCapacity])
{
}

TByteWriterEh::~TByteWriterEh() = default;

void TByteWriterEh::SetDevice(QIODevice* device)
{
    Flush();
    fDevice = device;
    fMemory = qobject_cast<TMemoryStreamEh*>(device);
}

void TByteWriterEh::Flush()
{
    if (fUsed == 0)
        return;
    const qsizetype count = fUsed;
    fUsed = 0;
    if (fMemory) {
        fMemory->Write(fBuffer.get(), count);
    } else {
        if (!fDevice || fDevice->write(fBuffer.get(), count) != count)
            throw Exception(QStringLiteral("Stream write error"));
    }
    fFlushed += count;
}

void TByteWriterEh::FlushQuietly() noexcept
{
    try {
        Flush();
    } catch (...) {
    }
}

void TByteWriterEh::WriteBytes(const char* data, qsizetype count)
{
    while (count > 0) {
        if (fUsed == kCapacity)
            Flush();
        const qsizetype n = std::min(count, kCapacity - fUsed);
        std::memcpy(fBuffer.get() + fUsed, data, std::size_t(n));
        fUsed += n;
        data += n;
        count -= n;
    }
}

void TByteWriterEh::WriteAnsi(QStringView text)
{
    // Each code unit gives at most one byte; long texts go in buffer-sized pieces that do not
    // split a surrogate pair.
    while (!text.isEmpty()) {
        qsizetype n = std::min(text.size(), kCapacity);
        if (n < text.size() && QChar::isHighSurrogate(text.at(n - 1).unicode()))
            --n;
        char* out = Reserve(n);
        Commit(EncodeInto(out, text.first(n)));
        text = text.sliced(n);
    }
}

void TByteWriterEh::WriteLine(QStringView text)
{
    WriteAnsi(text);
    WriteCrLf();
}

void TByteWriterEh::WriteLine(std::string_view ascii)
{
    WriteAscii(ascii);
    WriteCrLf();
}

void TByteWriterEh::WriteDecimal(qint64 value)
{
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    // Work on the magnitude as unsigned so that the most negative value has one too.
    quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--p = '-';
    WriteBytes(p, end - p);
}

void TByteWriterEh::WriteUInt16(quint16 value)
{
    const char bytes[2] = {char(value & 0xFF), char(value >> 8)};
    WriteBytes(bytes, 2);
}

void TByteWriterEh::WriteInt32(qint32 value)
{
    const quint32 v = quint32(value);
    const char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                           char(v >> 24)};
    WriteBytes(bytes, 4);
}

void TByteWriterEh::WriteDouble(double value)
{
    quint64 bits;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, sizeof bits);
    char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = char((bits >> (8 * i)) & 0xFF);
    WriteBytes(bytes, 8);
}
