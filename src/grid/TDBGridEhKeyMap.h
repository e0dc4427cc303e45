#pragma once
// The grid's keys in one table: which command a key (with or without Ctrl) runs, and whether the
// grid claims the key as its own even when no record set is open (so no window shortcut takes it).

#include <Qt>

enum TGridKeyCommandEh : int
{
    gkcStepUp,
    gkcStepDown,
    gkcPageUp,
    gkcPageDown,
    gkcColumnLeft,
    gkcColumnRight,
    gkcHome,
    gkcEnd,
    gkcTab,
    gkcEnter,
    gkcEscape,
    gkcInsert,
    // With Ctrl.
    gkcWindowTop,
    gkcWindowBottom,
    gkcFirstRecord,
    gkcLastRecord,
    gkcFirstColumn,
    gkcLastColumn,
    gkcDeleteRecords,
    gkcFindDialog,
    gkcCopyFromAbove
};

struct TGridKeyBindingEh
{
    int Key;
    bool Ctrl; // the binding needs Ctrl
    TGridKeyCommandEh Command;
    bool Claimed; // the grid's own key even without an open record set
};

// The quote key's letter on the Russian layout (Qt names letter keys by their capital).
constexpr int kKeyCyrillicEEh = 0x042D;

// The binding of a key: with ctrl the Ctrl bindings first, then the plain ones; null for none.
const TGridKeyBindingEh* FindGridKeyBindingEh(int key, bool ctrl);
