#pragma once
// The one output layer of every exporter: a buffered writer of bytes over a QIODevice. Text goes
// out in windows-1251 (a character with no windows-1251 byte becomes "?"), numbers in decimal or
// as little-endian binary. Nothing reaches the device before Flush or a full buffer; every short
// write of the device raises "Stream write error", so a truncated document is never reported as
// written.

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QStringView>

#include <memory>
#include <string_view>

class TMemoryStreamEh;

// The windows-1251 byte of one UTF-16 code unit; "?" when it has none (surrogates included).
char AnsiByteOf(char16_t unit);
// The windows-1251 bytes of a text; a surrogate pair becomes one "?".
QByteArray AnsiEncode(QStringView text);
// Appends the windows-1251 bytes of a text to out.
void AnsiAppend(QByteArray& out, QStringView text);

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

    void WriteBytes(const char* data, qsizetype count);
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
    void WriteChunk(QStringView text) { WriteAnsi(text); }
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
    QIODevice* fDevice;
    TMemoryStreamEh* fMemory;  // the device when it is a memory stream: written directly
    std::unique_ptr<char[]> fBuffer;
    qsizetype fUsed = 0;
    qint64 fFlushed = 0;
    QByteArray fScratch;
};
