#include "TMemoryStreamEh.h"

#include "Exception.h"
#include "GoldenBytes.h"

#include <gtest/gtest.h>

#include <limits>

#if defined(__SANITIZE_ADDRESS__)
// The out-of-memory cases ask for more than any machine has; the allocator must say no rather
// than stop the program.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
#endif

namespace {

struct GrowthCase
{
    const char* name;
    int halfStep; // 0: the default
    qint64 firstWrite;
    qint64 secondWrite; // 0: none
    qint64 capacity;
};

class MemoryStreamGrowth : public ::testing::TestWithParam<GrowthCase>
{
};

TEST_P(MemoryStreamGrowth, RoundsCapacityToTwiceTheHalfStep)
{
    const GrowthCase& c = GetParam();
    TMemoryStreamEh s;
    if (c.halfStep)
        s.SetHalfGrowthStep(c.halfStep);
    s.Write(QByteArray(c.firstWrite, 'x').constData(), c.firstWrite);
    if (c.secondWrite)
        s.Write(QByteArray(c.secondWrite, 'y').constData(), c.secondWrite);
    EXPECT_EQ(s.size(), c.firstWrite + c.secondWrite);
    EXPECT_EQ(s.Capacity(), c.capacity);
}

INSTANTIATE_TEST_SUITE_P(Cases, MemoryStreamGrowth,
                         ::testing::Values(GrowthCase{"OneByteDefaultStep", 0, 1, 0, 8192},
                                           GrowthCase{"ExactlyOneStep", 0, 8192, 0, 8192},
                                           GrowthCase{"OneOverAStep", 0, 8192, 1, 16384},
                                           GrowthCase{"WithinCapacityNoGrowth", 0, 100, 200, 8192},
                                           GrowthCase{"RtfAndClipboardStep", 65536, 10, 0, 131072},
                                           GrowthCase{"LargeStepTwoWrites", 65536, 131072, 5, 262144},
                                           GrowthCase{"StepNotAPowerOfTwo", 3000, 6001, 0, 12000}),
                         NamedCase());

TEST(MemoryStream, CapacityOfExactlyTheSizeIsNotRounded)
{
    TMemoryStreamEh s;
    s.Write("0123456789", 10);
    ASSERT_EQ(s.Capacity(), 8192);
    s.SetCapacity(10);
    EXPECT_EQ(s.Capacity(), 10);
    EXPECT_EQ(s.Bytes(), QByteArray("0123456789"));
    s.SetCapacity(11);
    EXPECT_EQ(s.Capacity(), 8192);
    // Setting the size to what it is shrinks the memory to fit.
    s.SetSize(10);
    EXPECT_EQ(s.Capacity(), 10);
    s.SetSize(12);
    EXPECT_EQ(s.Capacity(), 8192);
    EXPECT_EQ(s.Bytes(), QByteArray("0123456789\0\0", 12));
}

TEST(MemoryStream, ZeroCapacityAndClearFreeTheMemory)
{
    TMemoryStreamEh s;
    s.Write("abc", 3);
    s.Clear();
    EXPECT_EQ(s.size(), 0);
    EXPECT_EQ(s.pos(), 0);
    EXPECT_EQ(s.Capacity(), 0);
    EXPECT_EQ(s.Memory(), nullptr);
    s.Write("de", 2);
    s.SetSize(0);
    EXPECT_EQ(s.Capacity(), 0);
    EXPECT_EQ(s.Memory(), nullptr);
    EXPECT_EQ(s.pos(), 0);
}

TEST(MemoryStream, ReadsWritesAndSeeksAsADevice)
{
    TMemoryStreamEh s;
    ASSERT_EQ(s.write("hello", 5), 5);
    EXPECT_EQ(s.pos(), 5);
    ASSERT_TRUE(s.seek(1));
    EXPECT_EQ(s.read(3), QByteArray("ell"));
    // Overwrite in the middle, then write past the end: the gap reads as zeros.
    s.seek(0);
    s.write("J", 1);
    s.seek(7);
    s.write("!", 1);
    EXPECT_EQ(s.size(), 8);
    EXPECT_EQ(s.Bytes(), QByteArray("Jello\0\0!", 8));
    // Shrinking below the position moves the position to the new end.
    s.SetSize(3);
    EXPECT_EQ(s.pos(), 3);
    EXPECT_TRUE(s.atEnd());
    s.seek(0);
    EXPECT_EQ(s.readAll(), QByteArray("Jel"));
}

TEST(MemoryStream, LargeStreamsKeepTheirContentAcrossGrowthAndShrinking)
{
    // Past a few megabytes the stream moves to memory of its own; nothing may be lost on the way
    // there or back, and the capacity keeps its rounding.
    TMemoryStreamEh s;
    s.SetHalfGrowthStep(65536);
    QByteArray pattern;
    for (int i = 0; i < 100000; ++i)
        pattern += QByteArray::number(i) + ',';
    const qsizetype total = 20 * pattern.size(); // about 11 MB
    for (int i = 0; i < 20; ++i)
        s.Write(pattern.constData(), pattern.size());
    EXPECT_EQ(s.size(), total);
    EXPECT_EQ(s.Capacity(), (total + 131071) / 131072 * 131072);
    EXPECT_EQ(s.Bytes(), pattern.repeated(20));
    s.SetSize(total);
    EXPECT_EQ(s.Capacity(), total);
    EXPECT_EQ(s.Bytes(), pattern.repeated(20));
    s.SetSize(5);
    EXPECT_EQ(s.Capacity(), 131072);
    EXPECT_EQ(s.Bytes(), pattern.left(5));
    s.seek(5);
    s.Write(pattern.constData(), pattern.size());
    EXPECT_EQ(s.Bytes(), pattern.left(5) + pattern);
    s.SetCapacity(0);
    EXPECT_EQ(s.Memory(), nullptr);
}

TEST(MemoryStream, OutOfMemoryLeavesTheStreamAsItWas)
{
    const QString message = QStringLiteral("Out of memory while expanding memory stream");
    for (const qint64 request : {qint64(1) << 50, std::numeric_limits<qint64>::max() - 1}) {
        TMemoryStreamEh s;
        s.Write("abc", 3);
        try {
            s.SetCapacity(request);
            FAIL() << "no failure for " << request;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), message);
        }
        EXPECT_EQ(s.Capacity(), 8192);
        EXPECT_EQ(s.Bytes(), QByteArray("abc"));
        // Through the device interface the failure is a failed write with the same text.
        s.seek(request);
        EXPECT_EQ(s.write("x", 1), -1);
        EXPECT_EQ(s.errorString(), message);
        EXPECT_EQ(s.size(), 3);
    }
}

} // namespace
