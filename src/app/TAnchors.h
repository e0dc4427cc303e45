#pragma once
// Keeps child controls where the window's design put them as their parent is resized: a control
// anchored to an edge keeps its distance to that edge; anchored to both opposite edges it stretches.

#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

enum TAnchor
{
    akLeft = 1,
    akTop = 2,
    akRight = 4,
    akBottom = 8
};

// The rectangle a control anchored with `anchors` gets when its parent's client size goes from
// `designParent` to `parent`, having had `design` at design size.
QRect AnchoredRect(const QRect& design, int anchors, const QSize& designParent, const QSize& parent);

class TAnchors
{
public:
    void Add(QWidget* control, const QRect& design, int anchors, const QSize& designParent);
    // Repositions every control of `parent` (its children registered here) for its current size.
    void Apply(const QWidget* parent);

private:
    struct Item
    {
        QWidget* Control;
        QRect Design;
        int Anchors;
        QSize DesignParent;
    };
    std::vector<Item> fItems;
};
