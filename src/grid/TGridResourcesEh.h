#pragma once
// The grid family's shared pictures, made once for the program from its bitmap and cursor
// resources: the indicator glyphs, the sort-marker images and the three selection cursors. The
// program loads them at start (InitGridResourcesEh); a grid that is used without that start (tests,
// tools) loads them on first use.

#include "TImageListEh.h"

#include <QCursor>
#include <QImage>
#include <QString>

// Loads every bitmap and cursor and creates the shared grid style. Throws Exception with
// "Cannot load cursor resource" when a cursor is missing (the program does not start then) and
// "Resource <name> not found" when a bitmap is. Safe to call more than once.
void InitGridResourcesEh();

// A bitmap resource by name ("DBGARROWEH"); throws when there is none.
QImage LoadGridBitmapEh(const QString& name);
// A cursor resource by name ("DOWNCUREH"); throws "Cannot load cursor resource" when there is none.
QCursor LoadGridCursorEh(const QString& name);

// Indicator glyphs, 6 x 11: 0 arrow, 1 edit, 2 insert, 3 dot, 4 arrow with dot, 5 white arrow,
// 6 white arrow recoloured in the incremental-search colour.
const TImageListEh& IndicatorImagesEh();
// Sort markers, 10 x 9: 0 down (smDownEh), 1 up (smUpEh).
const TImageListEh& SortMarkerImagesEh();

enum TGridCursorEh
{
    gcDownEh,
    gcRightEh,
    gcLeftEh
};
// The column-selection (down), record-selection (right) and right-to-left record-selection (left)
// cursors.
const QCursor& GridCursorEh(TGridCursorEh which);
