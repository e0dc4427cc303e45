#pragma once
// An independent matcher for checking TTextMatcher: classic dynamic programming over code points
// folded one by one; slow, and plainly right.

#include "TSelectStatement.h"

#include <QList>
#include <QString>

#include <string>
#include <vector>

inline bool ReferenceMatch(const QString& pattern, TCondition::Op op, const QString& text)
{
    const auto fold = [](const QString& s) {
        std::u32string out;
        for (char32_t c : s.toUcs4())
            out.push_back(QChar::toCaseFolded(c));
        return out;
    };
    const std::u32string p = fold(pattern);
    const std::u32string t = fold(text);
    if (op == TCondition::Equal)
        return p == t;
    // match[j]: the pattern so far matches the first j text characters.
    std::vector<char> match(t.size() + 1, 0);
    match[0] = 1;
    for (char32_t pc : p) {
        std::vector<char> next(t.size() + 1, 0);
        if (pc == U'%') {
            char any = 0;
            for (std::size_t j = 0; j <= t.size(); ++j)
                next[j] = any = char(any | match[j]);
        } else {
            for (std::size_t j = 1; j <= t.size(); ++j)
                next[j] = char(match[j - 1] && (pc == U'_' || pc == t[j - 1]));
        }
        match.swap(next);
    }
    return match[t.size()];
}
