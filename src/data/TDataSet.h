#pragma once
// The record set: a cursor over the rows of one result, its fields (TField.h), and the links
// through which controls (the grid, exporters) follow it (TDataSource.h). Engines derive from
// TDataSet and supply the rows; the cursor, the row windows of attached links, bookmarks, ordering
// and editing live here.

#include "Exception.h"
#include "TDataSource.h"
#include "TField.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

// The record set proper.
class TDataSet
{
public:
    explicit TDataSet(QString name = {});
    virtual ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    const QString& Name() const { return fName; }
    void SetName(const QString& name) { fName = name; }

    // Open state.
    bool Active() const { return fState != dsInactive; }
    void Open();
    void Close();
    TDataSetState CursorState() const { return fState; }

    // Fields.
    int FieldCount() const { return int(fFields.size()); }
    TField* Field(int index) const { return fFields.at(std::size_t(index)).get(); }
    TField* FieldNamed(const QString& name) const;
    TField* FieldRequired(const QString& name) const;
    // Whether the fields are the engine's defaults (made on open) rather than defined by the program.
    bool DefaultFields() const { return true; }

    // Cursor movement.
    void MoveFirst();
    void MoveLast();
    void MoveNext() { MoveRelative(1); }
    void MovePrior() { MoveRelative(-1); }
    int MoveRelative(int distance);
    bool AtEnd() const { return fEof; }
    bool AtStart() const { return fBof; }
    bool HasNoRows() const { return RowCount() == 0; }
    int RecordCount() const;
    int RecordNumber() const; // 1-based; -1 when closed or on a new record, 0 when empty
    void SetRecordNumber(int number);
    bool HasExactNumbering() const { return true; }

    // Bookmarks name a record whatever its position; assigning one centres it in the windows.
    // Bookmark and RecordNumber are those of the record a link reads for a moment, if any.
    QByteArray Bookmark() const;
    void SetBookmark(const QByteArray& bookmark);
    bool BookmarkValid(const QByteArray& bookmark) const;
    int BookmarkOrder(const QByteArray& a, const QByteArray& b) const; // <0, 0, >0

    // Notifications to attached controls.
    void SuspendNotify();
    void ResumeNotify();
    bool NotifySuspended() const { return fSuspendCount > 0; }

    // Orders the open result ascending by one field (Russian collation, blanks first, stable).
    virtual void SortBy(const QString& fieldName);

    // Modification.
    virtual bool CanModify() const { return false; }
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode(); // posts a pending change
    bool Modified() const { return fModified; }

    // Tells links that an attached control should take the focus for a field.
    bool FocusField(TField* field);

protected:
    // Engine side. DoOpen adds the fields (AddField) and makes the rows available; DoClose drops them.
    virtual void DoOpen() = 0;
    virtual void DoClose() = 0;
    virtual int StoredRowCount() const = 0;
    virtual QVariant StoredValue(int row, int field) const = 0;
    virtual bool StoredIsNull(int row, int field) const { return StoredValue(row, field).isNull(); }
    virtual QString StoredText(int row, int field) const;
    // Engines that keep text as UTF-8 hand it out raw (blank for null), so sorting skips QString.
    virtual bool HasUtf8Text(int /*field*/) const { return false; }
    virtual QByteArrayView StoredUtf8(int /*row*/, int /*field*/) const { return {}; }
    // When the stored rows carry one for a text field: a rank per row in the field's sort order,
    // equal values sharing one, so that sorting by it spares comparing the texts.
    virtual bool HasStoredSortRanks(int /*field*/) const { return false; }
    virtual std::uint32_t StoredSortRank(int /*row*/, int /*field*/) const { return 0; }
    // Write side of modifiable sets: a new stored row (returns its number), an update, a removal.
    virtual int StoreAppend(const std::vector<QVariant>& values);
    virtual void StoreUpdate(int row, const std::vector<QVariant>& values);
    virtual void StoreRemove(int /*row*/) {}

    TField* AddField(std::unique_ptr<TField> field);
    void ClearFields();
    [[noreturn]] void ReadOnlyError() const;
    void CheckActive() const;
    // Tells links the whole result changed (re-read, re-ordered).
    void DataChanged();
    // The stored row shown at ordinal position pos of the current order.
    int StoredRowAt(int pos) const { return fHasOrder ? int(fOrder[std::size_t(pos)]) : pos; }
    // Records in the current order (stored rows less removed ones).
    int StoredPositions() const { return fHasOrder ? int(fOrder.size()) : StoredRowCount(); }

private:
    friend class TField;
    friend class TDataSource;
    friend class TDataLink;

    enum class WindowMove
    {
        Scroll,
        Top,
        Bottom,
        Center,
        Keep
    };

    int RowCount() const; // positions in the current order, including a pending new record
    void MaterialiseOrder();
    void PositionTo(int pos, WindowMove how, bool notifyScroll);
    void PlaceWindow(TDataLink* link, WindowMove how) const;
    void NormaliseWindow(TDataLink* link) const;
    void SetState(TDataSetState state);
    void CheckCanModify() const;
    // Value access for the row fields read now.
    int ReadPosition() const;
    bool ReadingEditBuffer() const;
    QVariant ReadValue(int field) const;
    bool ReadIsNull(int field) const;
    QString ReadText(int field) const;
    bool ReadUtf8(int field, QByteArrayView& utf8) const;
    void WriteValue(int field, const QVariant& value);
    std::vector<int> PositionOfRowTable() const;

    template <class F>
    void ForEachLink(F&& f) const;
    void NotifyActive();
    void NotifyChanged();
    void NotifyEditing();
    void NotifyRecord(TField* field);

    QString fName;
    TDataSetState fState = dsInactive;
    std::vector<std::unique_ptr<TField>> fFields;
    std::vector<TDataSource*> fSources;

    // Order of the stored rows once sorted, inserted into or deleted from; before that the
    // stored order holds and no vector is kept.
    std::vector<std::uint32_t> fOrder;
    bool fHasOrder = false;
    mutable std::vector<int> fPositionOfRow; // inverse of fOrder, made on demand for bookmarks
    mutable bool fPositionsValid = false;

    int fPos = -1; // 0-based position of the current record
    bool fBof = true;
    bool fEof = true;
    int fReadPos = -1; // position a link made readable for a moment, -1 for the cursor's

    // Pending record of edit or insert state.
    std::vector<QVariant> fEditBuffer;
    int fInsertPos = -1; // position of a pending new record, -1 when none
    bool fModified = false;

    int fSuspendCount = 0;
    bool fChangedWhileSuspended = false;
};
