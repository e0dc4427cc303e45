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
            return; // every character above 127 then becomes "?"
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
            ++p; // one character outside the code page, one "?"
            *o++ = '?';
        } else {
            *o++ = table.Byte(u);
        }
    }
    return o - out;
}

bool HasNonAscii(quint64 word)
{
    return (word & 0x8080808080808080ull) != 0;
}

// Whether any byte of word equals byte (a zero byte of word ^ byte repeated).
bool HasByte(quint64 word, char byte)
{
    const quint64 x = word ^ (0x0101010101010101ull * static_cast<unsigned char>(byte));
    return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

// windows-1251 bytes of a UTF-8 text into out (room for utf8.size() bytes, twice that when
// doubling); -1 when the text holds more than ASCII and two-byte sequences, or (Stopping) one of
// the special bytes.
template <bool Doubling, bool Stopping = false>
qsizetype EncodeUtf8Into(char* out, QByteArrayView utf8, char doubled, const TByteSetEh* specials = nullptr)
{
    const AnsiTable& table = Table();
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    char* o = out;
    while (p != end) {
        const unsigned b = *p;
        char c;
        if (b < 0x80) {
            // Runs of plain ASCII (digits, Latin words) go eight bytes at a time.
            if (end - p >= 8) {
                quint64 word;
                std::memcpy(&word, p, 8);
                if (!HasNonAscii(word) && !(Doubling && HasByte(word, doubled))
                    && !(Stopping && specials->AnyIn(word))) {
                    std::memcpy(o, p, 8);
                    o += 8;
                    p += 8;
                    continue;
                }
            }
            if (Stopping && specials->Contains(static_cast<unsigned char>(b)))
                return -1;
            c = char(b);
            ++p;
        } else if (b - 0xC2u <= 0xDFu - 0xC2u && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            c = table.Byte(char16_t(((b & 0x1F) << 6) | (p[1] & 0x3F)));
            p += 2;
        } else {
            return -1;
        }
        if (Doubling && c == doubled)
            *o++ = c;
        *o++ = c;
    }
    return o - out;
}

} // namespace

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

void AnsiAppendUtf8(QByteArray& out, QByteArrayView utf8)
{
    const qsizetype at = out.size();
    out.resize(at + utf8.size());
    const qsizetype n = EncodeUtf8Into<false>(out.data() + at, utf8, 0);
    if (n >= 0) {
        out.resize(at + n);
    } else {
        out.resize(at);
        AnsiAppend(out, QString::fromUtf8(utf8));
    }
}

TByteWriterEh::TByteWriterEh(QIODevice* device)
    : fDevice(device), fMemory(qobject_cast<TMemoryStreamEh*>(device)), fBuffer(new char[kCapacity])
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
    // Whatever happens to them, these bytes are handed over once.
    const qsizetype count = fUsed;
    fUsed = 0;
    HandOver(fBuffer.get(), count);
}

void TByteWriterEh::HandOver(const char* data, qint64 count)
{
    if (fMemory) {
        fMemory->Write(data, count);
    } else {
        if (!fDevice || fDevice->write(data, count) != count)
            throw Exception(QStringLiteral("Stream write error"));
    }
    fFlushed += count;
}

void TByteWriterEh::WriteDirect(QByteArrayView bytes)
{
    Flush();
    if (!bytes.isEmpty())
        HandOver(bytes.data(), bytes.size());
}

void TByteWriterEh::FlushQuietly() noexcept
{
    try {
        Flush();
    } catch (...) {
    }
}

void TByteWriterEh::WriteBytesInPieces(const char* data, qsizetype count)
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

void TByteWriterEh::WriteAnsiDoubling(QStringView text, char doubled)
{
    const AnsiTable& table = Table();
    while (!text.isEmpty()) {
        // Each code unit gives at most two bytes.
        qsizetype n = std::min(text.size(), kCapacity / 2);
        if (n < text.size() && QChar::isHighSurrogate(text.at(n - 1).unicode()))
            --n;
        char* out = Reserve(2 * n);
        char* o = out;
        const char16_t* p = text.utf16();
        const char16_t* end = p + n;
        while (p != end) {
            const char16_t u = *p++;
            char b;
            if (u < 0x80) {
                b = char(u);
            } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
                ++p;
                b = '?';
            } else {
                b = table.Byte(u);
            }
            if (b == doubled)
                *o++ = b;
            *o++ = b;
        }
        Commit(o - out);
        text = text.sliced(n);
    }
}

void TByteWriterEh::WriteAnsiUtf8(QByteArrayView utf8)
{
    if (utf8.size() <= kCapacity) {
        const qsizetype n = EncodeUtf8Into<false>(Reserve(utf8.size()), utf8, 0);
        if (n >= 0) {
            Commit(n);
            return;
        }
    }
    WriteAnsi(QString::fromUtf8(utf8));
}

bool TByteWriterEh::WriteAnsiUtf8Plain(QByteArrayView utf8, const TByteSetEh& specials)
{
    if (utf8.size() > kCapacity)
        return false;
    const qsizetype n = EncodeUtf8Into<false, true>(Reserve(utf8.size()), utf8, 0, &specials);
    if (n < 0)
        return false;
    Commit(n);
    return true;
}

void TByteWriterEh::WriteAnsiDoublingUtf8(QByteArrayView utf8, char doubled)
{
    if (utf8.size() <= kCapacity / 2) {
        const qsizetype n = EncodeUtf8Into<true>(Reserve(2 * utf8.size()), utf8, doubled);
        if (n >= 0) {
            Commit(n);
            return;
        }
    }
    WriteAnsiDoubling(QString::fromUtf8(utf8), doubled);
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
    const char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
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
