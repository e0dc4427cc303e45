#include "TGridLayoutEh.h"

#include <gtest/gtest.h>

TEST(MulDiv, RoundsHalvesAwayFromZeroWithA64BitProduct)
{
    struct Case
    {
        const char* name;
        int a, b, c, expected;
    };
    const Case cases[] = {
        {"exact", 6, 4, 3, 8},
        {"rounds down below half", 275, 302, 282, 295},  // 294.503
        {"half rounds up", 5, 1, 2, 3},
        {"negative half rounds away from zero", -5, 1, 2, -3},
        {"negative divisor", 5, 1, -2, -3},
        {"both negative", -5, -1, 2, 3},
        {"product beyond 32 bits", 100000, 100000, 1000, 10000000},
        {"zero divisor", 7, 3, 0, -1},
        {"result beyond 32 bits", 2000000000, 4, 1, -1},
        {"share of the window's numer column", 65, 652, 635, 67},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.name;
}
