#include "GridFixture.h"

#include <gtest/gtest.h>

TEST(WindowGrid, StartUpBasesAndClosedFit)
{
    TWindowGrid w;
    EXPECT_EQ(w.Bases(), (std::vector<int>{65, 275, 175, 60, 60}));
    EXPECT_EQ(w.Grid->ClientWidth(), 669);
    EXPECT_EQ(w.Grid->ClientHeight(), 189);
    EXPECT_EQ(w.Widths(), (std::vector<int>{67, 282, 180, 62, 61}));
}
