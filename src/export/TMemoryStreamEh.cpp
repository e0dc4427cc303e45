#include "TMemoryStreamEh.h"

#include "Exception.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

[[noreturn]] void OutOfMemory()
{
    throw Exception(QStringLiteral("Out of memory while expanding memory stream"));
}

}  // namespace

TMemoryStreamEh::TMemoryStreamEh(QObject* parent) : QIODevice(parent)
{
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

TMemoryStreamEh::~TMemoryStreamEh()
{
    std::free(fMemory);
}

void TMemoryStreamEh::SetHalfGrowthStep(int step)
{
    fHalfGrowthStep = step > 0 ? step : 4096;
}

void TMemoryStreamEh::SetCapacity(qint64 capacity)
{
    if (capacity < 0)
        capacity = 0;
    if (capacity > 0 && capacity != fSize) {
        const qint64 step = 2 * qint64(fHalfGrowthStep);
        if (capacity > std::numeric_limits<qint64>::max() - step)
            OutOfMemory();
        capacity = (capacity + step - 1) / step * step;
    }
    if (capacity == fCapacity)
        return;
    if (capacity == 0) {
        std::free(fMemory);
        fMemory = nullptr;
    } else {
        if (quint64(capacity) > std::numeric_limits<std::size_t>::max() / 2)
            OutOfMemory();
        // On failure the old block stays as it was.
        void* grown = std::realloc(fMemory, std::size_t(capacity));
        if (!grown)
            OutOfMemory();
        fMemory = static_cast<char*>(grown);
    }
    fCapacity = capacity;
}

void TMemoryStreamEh::SetSize(qint64 size)
{
    if (size < 0)
        size = 0;
    const qint64 oldPos = pos();
    SetCapacity(size);
    if (size > fSize)
        std::memset(fMemory + fSize, 0, std::size_t(size - fSize));
    fSize = size;
    if (oldPos > size)
        QIODevice::seek(size);
}

void TMemoryStreamEh::Clear()
{
    SetCapacity(0);
    fSize = 0;
    QIODevice::seek(0);
}

void TMemoryStreamEh::Write(const char* data, qint64 count)
{
    if (count <= 0)
        return;
    const qint64 at = pos();
    WriteAt(at, data, count);
    QIODevice::seek(at + count);
}

void TMemoryStreamEh::WriteAt(qint64 at, const char* data, qint64 count)
{
    if (at > std::numeric_limits<qint64>::max() - count)
        OutOfMemory();
    const qint64 end = at + count;
    if (end > fSize) {
        if (end > fCapacity)
            SetCapacity(end);
        // A write past the end leaves no garbage in the gap.
        if (at > fSize)
            std::memset(fMemory + fSize, 0, std::size_t(at - fSize));
        fSize = end;
    }
    std::memcpy(fMemory + at, data, std::size_t(count));
}

qint64 TMemoryStreamEh::readData(char* data, qint64 maxSize)
{
    const qint64 at = pos();
    const qint64 n = qBound<qint64>(0, fSize - at, maxSize);
    if (n > 0)
        std::memcpy(data, fMemory + at, std::size_t(n));
    return n;
}

qint64 TMemoryStreamEh::writeData(const char* data, qint64 maxSize)
{
    // QIODevice moves the position itself after writeData.
    if (maxSize <= 0)
        return 0;
    try {
        WriteAt(pos(), data, maxSize);
    } catch (const Exception& e) {
        setErrorString(e.Message());
        return -1;
    }
    return maxSize;
}
