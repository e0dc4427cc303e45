#include "GoldenBytes.h"

#include "TByteWriterEh.h"
#include "TMemoryStreamEh.h"

#include <QFile>

#include <algorithm>
#include <cctype>
#include <cstdio>

QByteArray HexBytes(const char* spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', "").replace('\n', ""));
}

std::string HexDump(const QByteArray& bytes, qsizetype from, qsizetype count)
{
    from = std::clamp<qsizetype>(from, 0, bytes.size());
    const qsizetype to = std::min(bytes.size(), from + count);
    std::string hex, text;
    for (qsizetype i = from; i < to; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", unsigned(static_cast<unsigned char>(bytes[i])));
        hex += pair;
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        text += c >= 0x20 && c < 0x7F ? char(c) : '.';
    }
    return hex + " |" + text + "|";
}

::testing::AssertionResult SameBytes(const QByteArray& actual, const QByteArray& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    qsizetype at = 0;
    const qsizetype common = std::min(actual.size(), expected.size());
    while (at < common && actual[at] == expected[at])
        ++at;
    const qsizetype from = std::max<qsizetype>(0, at - 16);
    char offset[64];
    std::snprintf(offset, sizeof offset, "%lld (0x%llX)", (long long)at, (long long)at);
    return ::testing::AssertionFailure() << "bytes differ at offset " << offset << "; actual " << actual.size()
                                         << " bytes, expected " << expected.size() << " bytes\n  actual   from " << from
                                         << ": " << HexDump(actual, from, 40) << "\n  expected from " << from << ": "
                                         << HexDump(expected, from, 40);
}

QByteArray WrittenBytes(const std::function<void(TByteWriterEh&)>& write)
{
    TMemoryStreamEh stream;
    TByteWriterEh w(&stream);
    write(w);
    w.Flush();
    return stream.Bytes();
}

QByteArray Golden(const char* name)
{
    QFile f(QStringLiteral(PB_SOURCE_DIR "/tests/export/golden/") + QString::fromLatin1(name));
    if (!f.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "golden file missing: " << f.fileName().toStdString();
    return f.readAll();
}
