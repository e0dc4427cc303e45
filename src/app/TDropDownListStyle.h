#pragma once
// Drop-down lists drawn with a frame and an arrow button as narrow as the window's design assumed
// (2 and 15 pixels at 96 dpi): the desktop style's wider ones would cut the last letters of the
// items off in a box of the designed width.

#include <QProxyStyle>

class TDropDownListStyle : public QProxyStyle
{
public:
    // Over a fresh copy of the application's style.
    TDropDownListStyle();
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget = nullptr) const override;
    // One style object shared by the window's drop-down lists.
    static TDropDownListStyle* Instance();
};
