#include "TDBGridEhKeyMap.h"

namespace {

constexpr TGridKeyBindingEh kBindings[] = {
    {Qt::Key_Up, true, gkcWindowTop, true},
    {Qt::Key_PageUp, true, gkcWindowTop, true},
    {Qt::Key_Down, true, gkcWindowBottom, true},
    {Qt::Key_PageDown, true, gkcWindowBottom, true},
    {Qt::Key_Home, true, gkcFirstRecord, true},
    {Qt::Key_End, true, gkcLastRecord, true},
    {Qt::Key_Left, true, gkcFirstColumn, true},
    {Qt::Key_Right, true, gkcLastColumn, true},
    {Qt::Key_Delete, true, gkcDeleteRecords, true},
    {Qt::Key_F, true, gkcFindDialog, true},
    {Qt::Key_Apostrophe, true, gkcCopyFromAbove, true}, // the quote key, on either layout
    {kKeyCyrillicEEh, true, gkcCopyFromAbove, true},

    {Qt::Key_Up, false, gkcStepUp, true},
    {Qt::Key_Down, false, gkcStepDown, true},
    {Qt::Key_PageUp, false, gkcPageUp, true},
    {Qt::Key_PageDown, false, gkcPageDown, true},
    {Qt::Key_Left, false, gkcColumnLeft, true},
    {Qt::Key_Right, false, gkcColumnRight, true},
    {Qt::Key_Home, false, gkcHome, true},
    {Qt::Key_End, false, gkcEnd, true},
    {Qt::Key_Tab, false, gkcTab, true},
    {Qt::Key_Backtab, false, gkcTab, true},
    {Qt::Key_Return, false, gkcEnter, false},
    {Qt::Key_Enter, false, gkcEnter, false},
    {Qt::Key_Escape, false, gkcEscape, false},
    {Qt::Key_Insert, false, gkcInsert, false},
};

const TGridKeyBindingEh* Find(int key, bool ctrl)
{
    for (const TGridKeyBindingEh& b : kBindings)
        if (b.Key == key && b.Ctrl == ctrl)
            return &b;
    return nullptr;
}

} // namespace

const TGridKeyBindingEh* FindGridKeyBindingEh(int key, bool ctrl)
{
    if (ctrl)
        if (const TGridKeyBindingEh* b = Find(key, true))
            return b;
    return Find(key, false);
}
