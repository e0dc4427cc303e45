#include "TDropDownListStyle.h"

#include "TFontMetricsEh.h"

#include <QApplication>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOptionComboBox>

TDropDownListStyle::TDropDownListStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

QRect TDropDownListStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                         SubControl subControl, const QWidget* widget) const
{
    const auto* box = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (control != CC_ComboBox || !box || box->editable || !box->frame
        || (subControl != SC_ComboBoxArrow && subControl != SC_ComboBoxEditField))
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    const int frame = ScaleForScreenEh(2);
    const int arrow = ScaleForScreenEh(15);
    const QRect r = box->rect;
    const QRect arrowRect(r.right() - frame - arrow + 1, r.top() + frame, arrow, r.height() - 2 * frame);
    const QRect fieldRect(r.left() + frame, r.top() + frame, arrowRect.left() - r.left() - frame,
                          r.height() - 2 * frame);
    return visualRect(box->direction, r, subControl == SC_ComboBoxArrow ? arrowRect : fieldRect);
}

TDropDownListStyle* TDropDownListStyle::Instance()
{
    static QPointer<TDropDownListStyle> instance;
    if (!instance) {
        instance = new TDropDownListStyle();
        instance->setParent(qApp);
    }
    return instance;
}
