#include "TCustomDBGridEh.h"

#include "TDBGridEhDataService.h"
#include "TDBGridEhKeyMap.h"
#include "TScopeExit.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>

// ---------------------------------------------------------------------------------------------
// Column selection and text search

void TCustomDBGridEh::SelectColumn(int target, int skip)
{
    LinkUpdateData();
    const int last = ColCount() - 1;
    target = std::clamp(target, fIndicatorOffset, std::max(fIndicatorOffset, last));
    if (skip != 0) {
        while (target >= fIndicatorOffset && target <= last && ColWidths(target) < 1)
            target += skip;
        if (target < fIndicatorOffset || target > last)
            return;
    }
    if (target == Col())
        return;
    if (OnColExit && !fInColExit) {
        const int before = Col();
        fInColExit = true;
        TScopeExit done([this] { fInColExit = false; });
        OnColExit(this);
        if (Col() != before)
            return; // the handler chose a column itself
    }
    FocusCell(target, Row(), !fOptions.Contains(dgRowSelect));
    if (OnColEnter)
        OnColEnter(this);
}

void TCustomDBGridEh::OpenFindDialog(const QString& text, const QString& fieldName, bool modal)
{
    TDataServiceEh::Instance().ExecuteFindDialog(this, text, fieldName, modal);
}

bool TCustomDBGridEh::SearchGridText(const QString& fieldName, TTextSearchTreeRangeEh treeRange,
                                     TTextSearchMatchEh matching, TTextSearchDirectionEh direction,
                                     TTextSearchOptionsEh options, const QString& text)
{
    return TDataServiceEh::Instance().LocateText(this, fieldName, text, options, direction, matching, treeRange);
}

// ---------------------------------------------------------------------------------------------
// Keyboard navigation

bool TCustomDBGridEh::CursorOpen() const
{
    const TDataSet* ds = DataSet();
    return ds && ds->Active() && fDataLink->Active();
}

void TCustomDBGridEh::PaintNow()
{
    if (fUpdateLock > 0 || !isVisible())
        return;
    // What the move invalidated is painted before the next input is read.
    QCoreApplication::sendPostedEvents(window(), QEvent::UpdateRequest);
}

void TCustomDBGridEh::ClearSelectionIfAllowed()
{
    if (fOptionsEh.Contains(dghClearSelection) && fSelection->SelectionType() != gstNon)
        fSelection->Clear();
}

void TCustomDBGridEh::MoveRows(bool /*extend*/, int distance, bool /*rowMode*/, bool toEnd)
{
    // Extending a selection on the way needs dgMultiSelect, which this grid's users leave off.
    if (!CursorOpen())
        return;
    TDataSet* ds = DataSet();
    if (toEnd) {
        if (distance < 0)
            ds->MoveFirst();
        else
            ds->MoveLast();
    } else if (distance != 0) {
        ds->MoveRelative(distance);
    }
    PaintNow();
}

bool TCustomDBGridEh::NewRecordAtEnd() const
{
    // The pending new record is the window's last and nothing follows the window.
    const TDataSet* ds = DataSet();
    const int inWindow = fDataLink->RecordCount();
    return fDataLink->ActiveRecord() == inWindow - 1 && fDataLink->FirstRecord() + inWindow == ds->RecordCount() + 1;
}

void TCustomDBGridEh::StepDown(bool extend)
{
    if (!CursorOpen())
        return;
    TDataSet* ds = DataSet();
    if (ds->CursorState() == dsInsert && !ds->Modified()) {
        if (!NewRecordAtEnd())
            ds->Cancel();
        return;
    }
    MoveRows(extend, 1, false, false);
    if (ds->AtEnd() && ds->CanModify() && !fReadOnly && fOptions.Contains(dgEditing)
        && fAllowedOperations.Contains(alopAppendEh))
        ds->Append();
}

void TCustomDBGridEh::StepUp(bool extend)
{
    if (!CursorOpen())
        return;
    TDataSet* ds = DataSet();
    if (ds->CursorState() == dsInsert && !ds->Modified() && NewRecordAtEnd()) {
        ds->Cancel();
        return;
    }
    MoveRows(extend, -1, false, false);
}

void TCustomDBGridEh::TabToColumn(bool forward)
{
    ClearSelectionIfAllowed();
    const int start = Col();
    const int last = ColCount() - 1;
    int c = start;
    for (;;) {
        if (forward) {
            if (++c > last) {
                StepDown();
                c = fIndicatorOffset;
            }
        } else if (--c < fIndicatorOffset) {
            StepUp();
            c = last;
        }
        if (c == start)
            return; // round once: no other column takes the tab
        if (TabStops(c)) {
            SelectColumn(c, 0);
            return;
        }
    }
}

bool TCustomDBGridEh::ConfirmDeletion()
{
    const int marked = fSelection->Rows().Count();
    if (!fOptions.Contains(dgConfirmDelete))
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                    marked < 2 ? QStringLiteral("Delete record?") : QStringLiteral("Delete all selected records?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() != QMessageBox::Cancel;
}

namespace {
TCustomDBGridEh::TEditActionHandlerEh& EditActionHandler()
{
    static TCustomDBGridEh::TEditActionHandlerEh handler;
    return handler;
}
} // namespace

void TCustomDBGridEh::SetEditActionHandler(TEditActionHandlerEh handler)
{
    EditActionHandler() = std::move(handler);
}

bool TCustomDBGridEh::SelectionCanBeDeleted() const
{
    const TDataSet* ds = DataSet();
    if (!fDataLink->Active() || !ds || ds->HasNoRows() || !ds->CanModify() || fReadOnly)
        return false;
    switch (fSelection->SelectionType()) {
    case gstRecordBookmarks:
    case gstAll:
        return fAllowedOperations.Contains(alopDeleteEh);
    case gstRectangle:
    case gstColumns:
        return fAllowedOperations.Contains(alopUpdateEh);
    case gstNon:
        break;
    }
    return false;
}

bool TCustomDBGridEh::EditActionKey(int key, Qt::KeyboardModifiers shift)
{
    const bool ctrl = shift.testFlag(Qt::ControlModifier);
    const bool withShift = shift.testFlag(Qt::ShiftModifier);
    const bool ctrlOnly = ctrl && !withShift;
    const bool shiftOnly = withShift && !ctrl;
    std::optional<TDBGridEhEditAction> action;
    if (ctrlOnly && (key == Qt::Key_C || key == Qt::Key_Insert))
        action = geaCopyEh;
    else if ((ctrlOnly && key == Qt::Key_X) || (shiftOnly && key == Qt::Key_Delete))
        action = geaCutEh;
    else if ((ctrlOnly && key == Qt::Key_V) || (shiftOnly && key == Qt::Key_Insert))
        action = geaPasteEh;
    else if (ctrlOnly && key == Qt::Key_A)
        action = geaSelectAllEh;
    if (!action || !fEditActions.Contains(*action))
        return false;
    switch (*action) {
    case geaSelectAllEh:
        fSelection->SelectAll();
        return true;
    case geaCopyEh:
    case geaCutEh:
        // Without a selection there is nothing to copy.
        if (fSelection->SelectionType() == gstNon)
            return true;
        break;
    default:
        break;
    }
    if (EditActionHandler())
        EditActionHandler()(this, *action);
    return true;
}

void TCustomDBGridEh::DeleteWithConfirmation()
{
    TDataSet* ds = DataSet();
    if (fEditActions.Contains(geaDeleteEh) && fSelection->SelectionType() != gstNon && SelectionCanBeDeleted()
        && EditActionHandler()) {
        EditActionHandler()(this, geaDeleteEh);
        return;
    }
    if (fReadOnly || ds->HasNoRows() || !ds->CanModify() || !fAllowedOperations.Contains(alopDeleteEh))
        return;
    if (!ConfirmDeletion())
        return;
    const TBookmarkListEh& rows = fSelection->Rows();
    if (rows.Count() == 0) {
        ds->Delete();
        return;
    }
    // Every listed record, from the last to the first, with one resynchronisation at the end.
    ds->SuspendNotify();
    TScopeExit resume([ds] { ds->ResumeNotify(); });
    std::vector<QByteArray> listed;
    for (int i = 0; i < rows.Count(); ++i)
        listed.push_back(rows.Items(i));
    for (auto it = listed.rbegin(); it != listed.rend(); ++it)
        if (ds->BookmarkValid(*it)) {
            ds->SetBookmark(*it);
            ds->Delete();
        }
    fSelection->Clear();
}

void TCustomDBGridEh::CopyFromRecordAbove()
{
    const int active = fDataLink->ActiveRecord();
    TColumnEh* column = ColumnAt(Col());
    TField* field = column ? column->Field() : nullptr;
    TDataSet* ds = DataSet();
    if (active < 1 || !field || fReadOnly || column->ReadOnly() || field->ReadOnly() || !ds->CanModify()
        || !fAllowedOperations.Contains(alopUpdateEh))
        return;
    ds->Edit();
    QVariant above;
    {
        BeginReadRow(active - 1);
        TScopeExit end([this] { EndReadRow(); });
        above = field->Value();
    }
    field->SetValue(above);
    ClearSelectionIfAllowed();
}

bool TCustomDBGridEh::KeyCommandEnabled(TGridKeyCommandEh command, Qt::KeyboardModifiers shift) const
{
    switch (command) {
    case gkcTab:
        return fOptions.Contains(dgTabs) && !shift.testFlag(Qt::AltModifier);
    case gkcFindDialog:
        return fOptionsEh.Contains(dghDialogFind);
    default:
        return true;
    }
}

bool TCustomDBGridEh::ClaimsKey(int key, Qt::KeyboardModifiers shift) const
{
    const TGridKeyBindingEh* b = FindGridKeyBindingEh(key, shift.testFlag(Qt::ControlModifier));
    return b && b->Claimed && KeyCommandEnabled(b->Command, shift);
}

bool TCustomDBGridEh::KeyDownAction(int key, Qt::KeyboardModifiers shift)
{
    const bool ctrl = shift.testFlag(Qt::ControlModifier);
    const bool withShift = shift.testFlag(Qt::ShiftModifier);
    if (isRightToLeft()) {
        if (key == Qt::Key_Left)
            key = Qt::Key_Right;
        else if (key == Qt::Key_Right)
            key = Qt::Key_Left;
    }
    const int firstDataCol = fIndicatorOffset;
    const int lastCol = ColCount() - 1;
    if (EditActionKey(key, shift))
        return true;
    const TGridKeyBindingEh* binding = FindGridKeyBindingEh(key, ctrl);
    if (!binding || !KeyCommandEnabled(binding->Command, shift))
        return false;
    switch (binding->Command) {
    case gkcWindowTop:
        if (!withShift)
            ClearSelectionIfAllowed();
        MoveRows(withShift, -fDataLink->ActiveRecord(), false, false);
        return true;
    case gkcWindowBottom:
        if (!withShift)
            ClearSelectionIfAllowed();
        MoveRows(withShift, fDataLink->BufferCount() - fDataLink->ActiveRecord() - 1, false, false);
        return true;
    case gkcFirstRecord:
    case gkcLastRecord:
        if (!withShift)
            ClearSelectionIfAllowed();
        MoveRows(withShift, binding->Command == gkcFirstRecord ? -1 : 1, false, true);
        return true;
    case gkcFirstColumn:
        SelectColumn(firstDataCol, +1);
        return true;
    case gkcLastColumn:
        SelectColumn(lastCol, -1);
        return true;
    case gkcDeleteRecords:
        DeleteWithConfirmation();
        return true;
    case gkcFindDialog:
        OpenFindDialog(QString(), QString(), true);
        return true;
    case gkcCopyFromAbove:
        CopyFromRecordAbove();
        return true;
    case gkcStepUp:
    case gkcStepDown:
        if (!withShift)
            ClearSelectionIfAllowed();
        if (binding->Command == gkcStepUp)
            StepUp(withShift);
        else
            StepDown(withShift);
        return true;
    case gkcPageUp:
    case gkcPageDown:
        if (!withShift)
            ClearSelectionIfAllowed();
        MoveRows(withShift, binding->Command == gkcPageUp ? -VisibleDataRowCount() : VisibleDataRowCount(), false,
                 false);
        return true;
    case gkcColumnLeft:
    case gkcColumnRight:
        if (!withShift)
            ClearSelectionIfAllowed();
        if (binding->Command == gkcColumnLeft)
            SelectColumn(Col() - 1, -1);
        else
            SelectColumn(Col() + 1, +1);
        return true;
    case gkcHome:
    case gkcEnd:
        if (lastCol - firstDataCol + 1 == 1 || fOptions.Contains(dgRowSelect)) {
            if (!withShift)
                ClearSelectionIfAllowed();
            MoveRows(withShift, binding->Command == gkcHome ? -1 : 1, false, true);
        } else if (binding->Command == gkcHome) {
            SelectColumn(firstDataCol, +1);
        } else {
            SelectColumn(lastCol, -1);
        }
        return true;
    case gkcTab:
        TabToColumn(key == Qt::Key_Tab && !withShift);
        return true;
    case gkcEnter:
        if (fOptionsEh.Contains(dghEnterAsTab)) {
            TabToColumn(!withShift);
            return true;
        }
        LinkUpdateData();
        return false; // for the window's default button, where the window has one
    case gkcEscape:
        LinkReset();
        ClearSelectionIfAllowed();
        StopTracking();
        if (GridState() != gsNormal)
            CancelMode();
        return true;
    case gkcInsert:
        if (ctrl || withShift || !fOptions.Contains(dgEditing) || fReadOnly || !DataSet()->CanModify())
            return false;
        ClearSelectionIfAllowed();
        if (fAllowedOperations.Contains(alopInsertEh))
            DataSet()->Insert();
        else if (fAllowedOperations.Contains(alopAppendEh))
            DataSet()->Append();
        return true;
    }
    return false;
}

void TCustomDBGridEh::keyPressEvent(QKeyEvent* event)
{
    int key = event->key();
    const Qt::KeyboardModifiers shift = event->modifiers() & ~Qt::KeypadModifier;
    if (OnKeyDown) {
        OnKeyDown(this, key, shift);
        if (key == 0) {
            event->accept();
            return;
        }
    }
    if (!CursorOpen()) {
        event->setAccepted(ClaimsKey(key, shift));
        return;
    }
    event->setAccepted(KeyDownAction(key, shift));
    if (OnKeyPress && !event->text().isEmpty()) {
        QChar ch = event->text().at(0);
        OnKeyPress(this, ch);
    }
}

void TCustomDBGridEh::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (!CursorOpen()) {
        fWheelDelta = 0;
        return;
    }
    // A notch is 120 units; what is short of one waits for the next turn.
    fWheelDelta += event->angleDelta().y();
    const int notches = fWheelDelta / 120;
    fWheelDelta -= notches * 120;
    if (notches != 0)
        DataSet()->MoveRelative(-notches);
}
