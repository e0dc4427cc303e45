// The compact result storage: every kind of value comes back as it went in, rows can be dropped,
// and large results (mapped, remapped, kept and reused pages) keep their contents.
#include "TResultTable.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

TEST(TResultTable, ValuesComeBackAsTheyWentIn)
{
    TResultTable table(
        {{"s", ftString}, {"i", ftInteger}, {"f", ftFloat}, {"b", ftBoolean}, {"d", ftDateTime}, {"x", ftBlob}});
    const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 10), QTimeZone::utc());
    table.AppendText("ёж \"Ромашка\"");
    table.AppendInteger(-9000000000);
    table.AppendDouble(2.5);
    table.AppendBoolean(true);
    table.AppendDateTime(when);
    table.AppendBytes(QByteArrayView("\0\1\2", 3));
    table.EndRow();
    for (int c = 0; c < 6; ++c)
        table.AppendNull();
    table.EndRow();
    table.AppendText("");
    table.AppendInteger(0);
    table.AppendDouble(0);
    table.AppendBoolean(false);
    table.AppendNull();
    table.AppendBytes({});
    table.EndRow();
    table.AppendText("dropped");
    table.DiscardRow();

    ASSERT_EQ(table.RowCount(), 3);
    EXPECT_EQ(table.Text(0, 0), QStringLiteral("ёж \"Ромашка\""));
    EXPECT_EQ(table.Raw(0, 0), QByteArrayView("ёж \"Ромашка\""));
    EXPECT_EQ(table.Value(0, 1), QVariant(qlonglong(-9000000000)));
    EXPECT_EQ(table.Value(0, 2), QVariant(2.5));
    EXPECT_EQ(table.Value(0, 3), QVariant(true));
    EXPECT_EQ(table.Value(0, 4).toDateTime(), when);
    EXPECT_EQ(table.Value(0, 5), QVariant(QByteArray("\0\1\2", 3)));
    for (int c = 0; c < 6; ++c) {
        EXPECT_TRUE(table.IsNull(1, c));
        EXPECT_TRUE(table.Value(1, c).isNull());
    }
    EXPECT_FALSE(table.IsNull(2, 0)) << "an empty text is a value";
    EXPECT_EQ(table.Text(2, 0), QString());
    EXPECT_EQ(table.Value(2, 3), QVariant(false));
    EXPECT_TRUE(table.IsNull(2, 4));
    EXPECT_FALSE(table.IsNull(2, 5));
}

// Rows of varying length, numbered so that any misplaced byte shows.
QByteArray RowText(int row, int column)
{
    return QByteArray::number(row) + ':' + QByteArray(row % 37, char('a' + column)) + "ё";
}

void Fill(TResultTable& table, int rows)
{
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 3; ++c) {
            if ((r + c) % 11 == 0)
                table.AppendNull();
            else
                table.AppendText(RowText(r, c));
        }
        if (r % 97 == 96) {
            table.DiscardRow();
            continue;
        }
        table.EndRow();
    }
    table.Squeeze();
}

void Check(const TResultTable& table, int rows)
{
    int stored = 0;
    for (int r = 0; r < rows; ++r) {
        if (r % 97 == 96)
            continue;
        for (int c = 0; c < 3; ++c) {
            if ((r + c) % 11 == 0) {
                ASSERT_TRUE(table.IsNull(stored, c)) << r;
            } else {
                ASSERT_FALSE(table.IsNull(stored, c)) << r;
                ASSERT_EQ(table.Raw(stored, c), RowText(r, c)) << r;
            }
        }
        ++stored;
    }
    ASSERT_EQ(table.RowCount(), stored);
}

TEST(TResultTable, LargeResultsKeepTheirContentsThroughGrowthAndReuse)
{
    const int rows = 100000; // megabytes: mapped pages, grown and shrunk by remapping
    {
        TResultTable first({{"a", ftString}, {"b", ftString}, {"c", ftString}});
        Fill(first, rows);
        Check(first, rows);
        EXPECT_LE(first.MemoryUsed(), std::size_t(rows) * 3 * 4 + std::size_t(rows) * 3 * 30);
    }
    // The pages given back are reused by the next results: a bigger one and a small one.
    TResultTable bigger({{"a", ftString}, {"b", ftString}, {"c", ftString}});
    Fill(bigger, rows * 2);
    Check(bigger, rows * 2);
    TResultTable small({{"a", ftString}, {"b", ftString}, {"c", ftString}});
    Fill(small, 1000);
    Check(small, 1000);
    Check(bigger, rows * 2);
}

} // namespace
