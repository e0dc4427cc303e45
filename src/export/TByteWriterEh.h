#pragma once
// The one output layer of every exporter: a buffered writer of bytes over a QIODevice. Text goes
// out in windows-1251 (a character with no windows-1251 byte becomes "?"), numbers in decimal or
// as little-endian binary. Nothing reaches the device before Flush or a full buffer; every short
// write of the device raises "Stream write error", so a truncated document is never reported as
// written.

#include <QBuffer>
#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QStringView>

#include <cstring>
#include <memory>
#include <string_view>

class TMemoryStreamEh;

// The windows-1251 byte of one UTF-16 code unit; "?" when it has none (surrogates included).
char AnsiByteOf(char16_t unit);
// The windows-1251 bytes of a text; a surrogate pair becomes one "?".
QByteArray AnsiEncode(QStringView text);
// Appends the windows-1251 bytes of a text to out.
void AnsiAppend(QByteArray& out, QStringView text);
// Appends the windows-1251 bytes of a UTF-8 text to out, as AnsiAppend(QString::fromUtf8(utf8))
// would (malformed sequences included), without the QString in the common case.
void AnsiAppendUtf8(QByteArray& out, QByteArrayView utf8);
// Decodes a UTF-8 text made only of ASCII and two-byte sequences (Latin and Cyrillic letters):
// calls ascii(byte) or other(code unit) per character; returns false, possibly after some calls,
// at anything else, which the caller then takes through QString::fromUtf8.
template <class Ascii, class Other>
bool DecodeShortUtf8(QByteArrayView utf8, Ascii&& ascii, Other&& other)
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p != end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            ascii(char(b));
            ++p;
        } else if (b >= 0xC2 && b <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            other(char16_t(((b & 0x1F) << 6) | (p[1] & 0x3F)));
            p += 2;
        } else {
            return false;
        }
    }
    return true;
}

// One to four ASCII bytes that a format escapes. The writer's one-pass forms stop at them; which
// bytes they are, and how they are escaped, is the format's own matter.
class TByteSetEh
{
public:
    // Unused places repeat the first byte, so that every test looks at four bytes, unrolled.
    constexpr explicit TByteSetEh(std::string_view bytes)
        : fBytes{bytes[0], bytes.size() > 1 ? bytes[1] : bytes[0], bytes.size() > 2 ? bytes[2] : bytes[0],
                 bytes.size() > 3 ? bytes[3] : bytes[0]}
    {
    }
    bool Contains(unsigned char b) const { return b == Byte(0) || b == Byte(1) || b == Byte(2) || b == Byte(3); }
    // Whether any of the eight bytes of word is one of them.
    bool AnyIn(quint64 word) const
    {
        return HasByte(word, Byte(0)) || HasByte(word, Byte(1)) || HasByte(word, Byte(2)) || HasByte(word, Byte(3));
    }

private:
    unsigned char Byte(int i) const { return static_cast<unsigned char>(fBytes[i]); }
    // Whether any byte of word equals b (a zero byte of word ^ b repeated).
    static bool HasByte(quint64 word, unsigned char b)
    {
        const quint64 x = word ^ (0x0101010101010101ull * b);
        return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
    }

    char fBytes[4];
};

class TByteWriterEh
{
public:
    explicit TByteWriterEh(QIODevice* device = nullptr);
    // Unflushed bytes are dropped: a writer is flushed explicitly by the code that finishes it.
    ~TByteWriterEh();
    TByteWriterEh(const TByteWriterEh&) = delete;
    TByteWriterEh& operator=(const TByteWriterEh&) = delete;

    QIODevice* Device() const { return fDevice; }
    // Flushes what is pending to the old device, then writes to the new one.
    void SetDevice(QIODevice* device);

    void WriteBytes(const char* data, qsizetype count)
    {
        // Most pieces are short and fit: no call for them.
        if (count <= kCapacity - fUsed) {
            if (count > 0) // an empty text may come without any bytes behind it
                std::memcpy(fBuffer.get() + fUsed, data, std::size_t(count));
            fUsed += count;
            return;
        }
        WriteBytesInPieces(data, count);
    }
    void WriteBytes(QByteArrayView bytes) { WriteBytes(bytes.data(), bytes.size()); }
    void WriteAscii(std::string_view text) { WriteBytes(text.data(), qsizetype(text.size())); }
    void WriteByte(char byte)
    {
        if (fUsed == kCapacity)
            Flush();
        fBuffer[fUsed++] = byte;
    }
    // The windows-1251 bytes of a text, nothing added.
    void WriteAnsi(QStringView text);
    // WriteAnsi under the name the HTML and RTF writing routines carry; nothing calls it for now.
    void WriteChunk(QStringView text) { WriteAnsi(text); }
    // The windows-1251 bytes of a text with every byte `doubled` written twice.
    void WriteAnsiDoubling(QStringView text, char doubled);
    // The same for a UTF-8 text, as if it were read with QString::fromUtf8 first.
    void WriteAnsiUtf8(QByteArrayView utf8);
    void WriteAnsiDoublingUtf8(QByteArrayView utf8, char doubled);
    // WriteAnsiUtf8 for a short text of ASCII and two-byte sequences without any of the special
    // bytes; false, with nothing written, for any other.
    bool WriteAnsiUtf8Plain(QByteArrayView utf8, const TByteSetEh& specials);
    // The text, then CR LF.
    void WriteLine(QStringView text);
    void WriteLine(std::string_view ascii);
    void WriteCrLf() { WriteAscii("\r\n"); }
    void WriteDecimal(qint64 value);

    // Little-endian binary values.
    void WriteUInt16(quint16 value);
    void WriteInt32(qint32 value);
    void WriteDouble(double value);

    // Hands the pending bytes to the device; raises "Stream write error" on a short write.
    void Flush();
    // Flushes, then hands a large piece to the device in one write, without buffering it.
    void WriteDirect(QByteArrayView bytes);
    // Forgets the device and any unflushed bytes (the device is about to go).
    void Detach() noexcept
    {
        fUsed = 0;
        fDevice = nullptr;
        fMemory = nullptr;
    }
    // Flush on a path that is already failing: errors are dropped.
    void FlushQuietly() noexcept;
    // Bytes handed to this writer since it was made (flushed or not).
    qint64 Written() const { return fFlushed + fUsed; }

    // Room for count bytes at the end of the buffer (count <= kCapacity); Commit makes them count.
    char* Reserve(qsizetype count)
    {
        if (kCapacity - fUsed < count)
            Flush();
        return fBuffer.get() + fUsed;
    }
    void Commit(qsizetype count) { fUsed += count; }
    // A byte array the format writers may use for one piece at a time (kept to save allocations).
    QByteArray& Scratch() { return fScratch; }

    static constexpr qsizetype kCapacity = 64 * 1024;

private:
    void WriteBytesInPieces(const char* data, qsizetype count);
    // One write of count bytes to the device; a short write raises.
    void HandOver(const char* data, qint64 count);

    QIODevice* fDevice;
    TMemoryStreamEh* fMemory; // the device when it is a memory stream: written directly
    std::unique_ptr<char[]> fBuffer;
    qsizetype fUsed = 0;
    qint64 fFlushed = 0;
    QByteArray fScratch;
};

// The bytes that writer functions write, kept to be copied many times: format writers make the
// repeated pieces of a document (a row definition, the start of a cell) once through it.
class TByteCaptureEh
{
public:
    TByteCaptureEh() { fDevice.open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

    template <class Write>
    QByteArray Capture(Write&& write)
    {
        fDevice.buffer().clear();
        fDevice.seek(0);
        write(fWriter);
        fWriter.Flush();
        return fDevice.buffer();
    }

private:
    QBuffer fDevice;
    TByteWriterEh fWriter{&fDevice};
};
