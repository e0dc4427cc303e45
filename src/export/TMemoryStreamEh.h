#pragma once
// A growable in-memory byte stream. Its capacity grows in steps of twice HalfGrowthStep, so that a
// large document is assembled with few reallocations; the RTF body and the clipboard copy use it.
// It is a QIODevice, so every exporter writes to it as to a file; Write and SetCapacity raise
// "Out of memory while expanding memory stream" when memory cannot be had.

#include <QIODevice>

class TMemoryStreamEh : public QIODevice
{
    Q_OBJECT

public:
    explicit TMemoryStreamEh(QObject* parent = nullptr);
    ~TMemoryStreamEh() override;

    int HalfGrowthStep() const { return fHalfGrowthStep; }
    void SetHalfGrowthStep(int step);

    // Bytes reserved; any request other than the current size is rounded up to a multiple of
    // twice HalfGrowthStep, a request of exactly the current size is taken as it stands, and 0
    // frees the memory.
    qint64 Capacity() const { return fCapacity; }
    void SetCapacity(qint64 capacity);
    void SetSize(qint64 size);
    // Empties the stream and frees its memory.
    void Clear();
    // Gives the memory of the bytes before offset back to the system where it can (whole huge
    // pages of a large stream), for a reader that has done with them; they read as zeros after.
    void DiscardBefore(qint64 offset);

    // The bytes from 0 to size(); valid until the next change of capacity.
    const char* Memory() const { return fMemory; }
    QByteArrayView View() const { return {fMemory, qsizetype(fSize)}; }
    QByteArray Bytes() const { return QByteArray(fMemory, qsizetype(fSize)); }

    // Writes at the current position, growing the stream; raises on failure.
    void Write(const char* data, qint64 count);

    qint64 size() const override { return fSize; }
    bool isSequential() const override { return false; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    void WriteAt(qint64 at, const char* data, qint64 count);
    // Makes room for capacity bytes keeping the content; false when memory cannot be had.
    bool Reallocate(qint64 capacity);
    void ReleaseMemory();

    char* fMemory = nullptr;
    qint64 fSize = 0;
    qint64 fCapacity = 0;
    qint64 fReserved = 0; // bytes held: the capacity, or more address space for a large stream
    bool fMapped = false; // held in a mapping of its own rather than on the heap
    int fHalfGrowthStep = 4096;
};
