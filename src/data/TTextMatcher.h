#pragma once
// Matching as directory users know it from Jet: "like" and "=" compare text case-insensitively for
// all of Unicode (Cyrillic and ё included); with "like", % matches any run of characters and _ one
// character, and nothing else is a wildcard.

#include "TSelectStatement.h"

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <memory>

class TTextMatcher
{
public:
    TTextMatcher(const QString& literal, TCondition::Op op);

    bool Matches(QStringView text) const;
    // Same test on UTF-8 bytes (the engines' native text); must agree with Matches.
    bool MatchesUtf8(const char* data, qsizetype size) const;

    // Literal text every match must start with (case as typed), empty when the pattern starts
    // with a wildcard; lets an engine narrow a scan with an index.
    const QString& LiteralPrefix() const { return fPrefix; }
    // True when the pattern is that prefix followed by a single trailing % (or an exact "=").
    bool IsPurePrefix() const { return fPurePrefix; }

    // Bytes the compiled pattern holds; proportional to the pattern's length whatever its
    // wildcards, a row of "%" costing no more than one.
    std::size_t CompiledBytes() const;

    // A 32-bit summary of the characters of a text, read and folded as the matcher reads them: one
    // bit for each pair of characters that follow each other, the text's start and end counting as
    // characters. A text can match only when its signature holds every bit of RequiredSignature()
    // (that of the pairs that follow each other in the pattern with no wildcard between, its start
    // and end among them unless a % stands there), so an index may skip any other text unread.
    static std::uint32_t Signature(const char* utf8, qsizetype size);
    std::uint32_t RequiredSignature() const;

private:
    struct Impl;
    QString fPrefix;
    bool fPurePrefix = false;
    // The folded pattern, compiled once; shared by copies since it never changes.
    std::shared_ptr<const Impl> fImpl;
};
