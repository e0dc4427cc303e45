#include "TMemoryStreamEh.h"

#include "Exception.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <sys/mman.h>
#include <unistd.h>

namespace {

[[noreturn]] void OutOfMemory()
{
    throw Exception(QStringLiteral("Out of memory while expanding memory stream"));
}

// Large streams (an RTF body of a big result runs to hundreds of megabytes) live in a mapping of
// their own that reserves address space ahead of the capacity, grows without copying, and is
// backed by huge pages where the system allows: touching fresh memory page by page is what makes
// such a body slow to fill. Only the pages written are ever taken.
constexpr qint64 kMappedFrom = qint64(4) << 20;
constexpr qint64 kHugePage = qint64(2) << 20;

qint64 HugeRounded(qint64 bytes)
{
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

void AdviseHugePages(void* at, qint64 length)
{
#ifdef MADV_HUGEPAGE
    madvise(at, std::size_t(length), MADV_HUGEPAGE);
#else
    Q_UNUSED(at);
    Q_UNUSED(length);
#endif
}

// A fresh mapping of length bytes (a multiple of the huge page), placed on a huge-page boundary.
char* MapAligned(qint64 length)
{
    const std::size_t total = std::size_t(length + kHugePage);
    void* mapped = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto raw = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (raw + std::uintptr_t(kHugePage) - 1) & ~std::uintptr_t(kHugePage - 1);
    if (aligned > raw)
        munmap(mapped, aligned - raw);
    const std::uintptr_t end = raw + total;
    const std::uintptr_t wanted = aligned + std::uintptr_t(length);
    if (end > wanted)
        munmap(reinterpret_cast<void*>(wanted), end - wanted);
    AdviseHugePages(reinterpret_cast<void*>(aligned), length);
    return reinterpret_cast<char*>(aligned);
}

} // namespace

TMemoryStreamEh::TMemoryStreamEh(QObject* parent) : QIODevice(parent)
{
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

TMemoryStreamEh::~TMemoryStreamEh()
{
    ReleaseMemory();
}

void TMemoryStreamEh::ReleaseMemory()
{
    if (!fMemory)
        return;
    if (fMapped)
        munmap(fMemory, std::size_t(fReserved));
    else
        std::free(fMemory);
    fMemory = nullptr;
    fReserved = 0;
    fMapped = false;
}

void TMemoryStreamEh::DiscardBefore(qint64 offset)
{
    if (!fMapped)
        return;
    const qint64 whole = std::min(offset, fSize) / kHugePage * kHugePage;
    if (whole > 0)
        madvise(fMemory, std::size_t(whole), MADV_DONTNEED);
}

bool TMemoryStreamEh::Reallocate(qint64 capacity)
{
    const qint64 keep = std::min(fSize, capacity);
    if (capacity < kMappedFrom) {
        if (!fMapped) {
            void* grown = std::realloc(fMemory, std::size_t(capacity));
            if (!grown)
                return false;
            fMemory = static_cast<char*>(grown);
            fReserved = capacity;
            return true;
        }
        char* fresh = static_cast<char*>(std::malloc(std::size_t(capacity)));
        if (!fresh)
            return false;
        std::memcpy(fresh, fMemory, std::size_t(keep));
        ReleaseMemory();
        fMemory = fresh;
        fReserved = capacity;
        return true;
    }
    if (fMapped) {
        // Reserve ahead by doubling; give address space back when the need falls well below it.
        qint64 reserve = fReserved;
        if (capacity > fReserved)
            reserve = std::max(HugeRounded(capacity), 2 * fReserved);
        else if (capacity < fReserved / 2)
            reserve = HugeRounded(capacity);
        if (reserve == fReserved)
            return true;
        void* moved = mremap(fMemory, std::size_t(fReserved), std::size_t(reserve), MREMAP_MAYMOVE);
        if (moved == MAP_FAILED)
            return false;
        AdviseHugePages(moved, reserve);
        fMemory = static_cast<char*>(moved);
        fReserved = reserve;
        return true;
    }
    const qint64 reserve = HugeRounded(capacity);
    char* fresh = MapAligned(reserve);
    if (!fresh)
        return false;
    if (keep > 0)
        std::memcpy(fresh, fMemory, std::size_t(keep));
    ReleaseMemory();
    fMemory = fresh;
    fReserved = reserve;
    fMapped = true;
    return true;
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
        ReleaseMemory();
    } else {
        if (quint64(capacity) > std::numeric_limits<std::size_t>::max() / 4)
            OutOfMemory();
        // On failure the old block stays as it was.
        if (!Reallocate(capacity))
            OutOfMemory();
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
