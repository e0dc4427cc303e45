#include "TAnchors.h"

#include <QWidget>

QRect AnchoredRect(const QRect& design, int anchors, const QSize& designParent, const QSize& parent)
{
    const int dw = parent.width() - designParent.width();
    const int dh = parent.height() - designParent.height();
    int left = design.left(), width = design.width();
    if (anchors & akRight) {
        if (anchors & akLeft)
            width += dw;
        else
            left += dw;
    }
    int top = design.top(), height = design.height();
    if (anchors & akBottom) {
        if (anchors & akTop)
            height += dh;
        else
            top += dh;
    }
    return QRect(left, top, std::max(0, width), std::max(0, height));
}

void TAnchors::Add(QWidget* control, const QRect& design, int anchors, const QSize& designParent)
{
    fItems.push_back({control, design, anchors, designParent});
    control->setGeometry(design);
}

void TAnchors::Apply(const QWidget* parent)
{
    for (const Item& item : fItems)
        if (item.Control->parentWidget() == parent)
            item.Control->setGeometry(AnchoredRect(item.Design, item.Anchors, item.DesignParent, parent->size()));
}
