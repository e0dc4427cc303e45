#pragma once
// Byte-exact comparison for the exporters' output: a failure names the first differing offset and
// shows the bytes around it on both sides.

#include <QByteArray>
#include <QString>
#include <gtest/gtest.h>

#include <functional>

class TByteWriterEh;

// Bytes from hexadecimal pairs separated by blanks: "09 08 0A 00".
QByteArray HexBytes(const char* spaced);
// The bytes as hexadecimal pairs with their printable form, for messages.
std::string HexDump(const QByteArray& bytes, qsizetype from, qsizetype count);

// The bytes of a golden file in tests/export/golden.
QByteArray Golden(const char* name);

// What a writer function writes, through a writer on a memory stream.
QByteArray WrittenBytes(const std::function<void(TByteWriterEh&)>& write);

::testing::AssertionResult SameBytes(const QByteArray& actual, const QByteArray& expected);

#define EXPECT_BYTES(actual, expected) EXPECT_TRUE(SameBytes((actual), (expected)))
#define ASSERT_BYTES(actual, expected) ASSERT_TRUE(SameBytes((actual), (expected)))

// Names the cases of a TEST_P table by their name member.
struct NamedCase
{
    template <class P>
    std::string operator()(const ::testing::TestParamInfo<P>& p) const
    {
        return p.param.name;
    }
};
