#pragma once
// The export framework: which rows and columns of a grid are written, in which order, and how
// each cell's text, font, colours and alignment are gathered; the formats derive from it.

#include <QString>

// A font as a format writer needs it: face, whole points, colour already resolved to RGB (red in
// the lowest byte), and the four styles.
struct TExportFontEh
{
    QString Name;
    int Size = 8;
    quint32 Rgb = 0;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

// The colour value that means "no colour" (not resolved, written as black).
constexpr quint32 kExportColorNone = 0x1FFFFFFFu;
