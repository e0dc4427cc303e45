// The matcher on any pattern and any bytes. Input: one byte choosing "like" or "=", the pattern
// (UTF-8) up to the first zero byte, then the text's bytes. Both entry points must decide alike,
// and as a plain reference matcher does on short inputs; the compiled pattern must stay in
// proportion to the pattern's length; and a text that matches must hold every signature bit the
// pattern asks for (the search index skips texts that do not).
#include "FuzzCheck.h"
#include "ReferenceMatcher.h"
#include "TTextMatcher.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const TCondition::Op op = data[0] & 1 ? TCondition::Equal : TCondition::Like;
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const std::size_t restSize = size - 1;
    const char* zero = static_cast<const char*>(std::memchr(rest, 0, restSize));
    const std::size_t patternSize = zero ? std::size_t(zero - rest) : restSize;
    const QString pattern = QString::fromUtf8(rest, qsizetype(patternSize));
    const char* text = zero ? zero + 1 : rest + restSize;
    const qsizetype textSize = qsizetype(rest + restSize - text);

    const TTextMatcher matcher(pattern, op);
    FUZZ_CHECK(matcher.CompiledBytes() <= std::size_t(pattern.size()) * 40 + 96 * 1024);
    FUZZ_CHECK(pattern.startsWith(matcher.LiteralPrefix()));

    const QString shown = QString::fromUtf8(text, textSize);
    const bool utf16 = matcher.Matches(shown);
    // The UTF-8 path reads the bytes where they lie: give it a copy of exactly their size, so that
    // a read past the end is caught.
    const std::vector<char> bytes(text, text + textSize);
    const bool utf8 = matcher.MatchesUtf8(bytes.data(), qsizetype(bytes.size()));
    FUZZ_CHECK(utf16 == utf8);
    if (utf8)
        FUZZ_CHECK((TTextMatcher::Signature(bytes.data(), qsizetype(bytes.size())) & matcher.RequiredSignature())
                   == matcher.RequiredSignature());
    if (pattern.size() <= 64 && textSize <= 256)
        FUZZ_CHECK(utf16 == ReferenceMatch(pattern, op, shown));
    return 0;
}
