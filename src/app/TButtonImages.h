#pragma once
// The 16 × 16 images of the window's three buttons, drawn here rather than loaded: a magnifying
// glass (search), a green mark on a pale blue sheet (reset) and a lined note pad (export). As on the
// desktop they were made for, the colour of the bottom-left pixel is drawn transparent.

#include <QIcon>
#include <QImage>

enum class TButtonImage
{
    Search,
    Reset,
    Export
};

// The bitmap as designed, bottom-left pixel holding the transparent colour.
QImage ButtonBitmap(TButtonImage which);
// The bitmap with its transparent colour made transparent, ready for a button.
QIcon ButtonIcon(TButtonImage which);
