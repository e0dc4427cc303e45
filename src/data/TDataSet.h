#pragma once
// The record set: a cursor over the rows of one result, its fields, and the links through which
// controls (the grid, exporters) follow it. Engines derive from TDataSet and supply the rows; the
// cursor, the row windows of attached links, bookmarks, ordering and editing live here.

#include "Exception.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

class TDataSet;
class TDataSource;
class TDataLink;

// Field data types, in the record set's own enumeration order.
enum TFieldType {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
    ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
    ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
    ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant,
    ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd
};
QString FieldTypeName(TFieldType type);
// A value of the given type as text without display formatting (what TField::PlainText shows);
// engines compare conditions on non-text columns with it.
QString FieldValueText(TFieldType type, const QVariant& value);

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsOther };

// One column of the result. Values are read from the record set's current row (or the row a link
// made active for a moment) and become QString only when asked for.
class TField
{
public:
    TField(TDataSet* dataSet, QString fieldName, TFieldType dataType, int size = 0);

    TDataSet* DataSet() const { return fDataSet; }
    const QString& FieldName() const { return fFieldName; }
    TFieldType DataType() const { return fDataType; }
    int Size() const { return fSize; }
    int Index() const { return fIndex; }
    bool IsNumeric() const;
    bool IsDateTime() const;

    TFieldKind FieldKind = fkData;
    QString KeyFields;          // lookup fields only
    QString LookupResultField;  // lookup fields only
    TDataSet* LookupDataSet = nullptr;  // lookup fields only: where the shown text is looked up
    QString LookupKeyFields;            // lookup fields only: the key field of LookupDataSet
    bool Visible = true;

    const QString& DisplayLabel() const { return fDisplayLabel; }
    void SetDisplayLabel(const QString& label);
    QString DisplayName() const { return fDisplayLabel.isEmpty() ? fFieldName : fDisplayLabel; }
    int DisplayWidth() const;
    void SetDisplayWidth(int width);
    TAlignment Alignment() const { return fAlignment; }
    void SetAlignment(TAlignment alignment);
    bool ReadOnly() const { return fReadOnly; }
    void SetReadOnly(bool readOnly);

    // Values of the current record.
    QVariant Value() const;
    bool IsBlank() const;
    QString DisplayText() const;
    QString PlainText() const;  // AsString: the value as text without display formatting
    // The display text as the engine stores it, UTF-8 (empty for null), when the engine keeps it
    // so and no pending change is read; false otherwise (then DisplayText is the way). Lets a
    // reader of many values skip making a QString of each.
    bool DisplayTextUtf8(QByteArrayView& utf8) const;
    qint64 AsInteger() const;
    double AsFloat() const;     // date and time fields: days since 1899-12-30
    bool AsBoolean() const;
    QByteArray AsBytes() const;

    // Changes (edit or insert state only).
    void SetValue(const QVariant& value);
    void SetAsString(const QString& text);
    void Clear();

private:
    friend class TDataSet;
    [[noreturn]] void AccessError(const char* typeName) const;
    void Changed();

    TDataSet* fDataSet;
    QString fFieldName;
    TFieldType fDataType;
    int fSize;
    int fIndex = -1;
    QString fDisplayLabel;
    int fDisplayWidth = -1;  // -1: follows the type and size
    TAlignment fAlignment;
    bool fReadOnly = false;
};

// Controls attach to a record set through a data source; a data link is one control's end of it.
class TDataSource
{
public:
    explicit TDataSource(QString name = {});
    ~TDataSource();
    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;

    const QString& Name() const { return fName; }
    TDataSet* DataSet() const { return fDataSet; }
    void SetDataSet(TDataSet* dataSet);
    TDataSetState State() const;

private:
    friend class TDataLink;
    friend class TDataSet;
    QString fName;
    TDataSet* fDataSet = nullptr;
    std::vector<TDataLink*> fLinks;
};

// One control's view of the record set: notifications, and a window of up to BufferCount
// consecutive records around the cursor that slides when the cursor leaves it.
class TDataLink
{
public:
    TDataLink();
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return fDataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    bool Active() const { return fActive; }
    bool ReadOnly = false;

    int BufferCount() const { return fBufferCount; }
    void SetBufferCount(int count);
    // Records the window holds now, and the active one's index in it.
    int RecordCount() const;
    int ActiveRecord() const;
    // Makes window record i the one fields read, until set back (reading another visible row).
    void SetActiveRecord(int index);
    // Absolute 0-based position of the window's first record in the result's order.
    int FirstRecord() const { return fFirst; }

protected:
    virtual void ActiveChanged() {}
    virtual void DataSetChanged() {}
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* /*field*/) {}
    virtual void EditingChanged() {}
    virtual void FocusControl(TField* /*field*/, bool& /*handled*/) {}
    virtual void UpdateData() {}
    virtual void CheckBrowseMode() {}
    // Notifications were suspended (true) or resumed (false).
    virtual void DisabledStateChanged(bool /*disabled*/) {}

private:
    friend class TDataSet;
    friend class TDataSource;
    void SetActive(bool active);

    TDataSource* fDataSource = nullptr;
    bool fActive = false;
    int fBufferCount = 1;
    int fFirst = 0;
    bool fActivatedQuietly = false;
};

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
    int RecordNumber() const;  // 1-based; -1 when closed or on a new record, 0 when empty
    void SetRecordNumber(int number);
    bool HasExactNumbering() const { return true; }

    // Bookmarks name a record whatever its position; assigning one centres it in the windows.
    // Bookmark and RecordNumber are those of the record a link reads for a moment, if any.
    QByteArray Bookmark() const;
    void SetBookmark(const QByteArray& bookmark);
    bool BookmarkValid(const QByteArray& bookmark) const;
    int BookmarkOrder(const QByteArray& a, const QByteArray& b) const;  // <0, 0, >0

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
    void CheckBrowseMode();  // posts a pending change
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

    enum class WindowMove { Scroll, Top, Bottom, Center, Keep };

    int RowCount() const;  // positions in the current order, including a pending new record
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
    mutable std::vector<int> fPositionOfRow;  // inverse of fOrder, made on demand for bookmarks
    mutable bool fPositionsValid = false;

    int fPos = -1;  // 0-based position of the current record
    bool fBof = true;
    bool fEof = true;
    int fReadPos = -1;  // position a link made readable for a moment, -1 for the cursor's

    // Pending record of edit or insert state.
    std::vector<QVariant> fEditBuffer;
    int fInsertPos = -1;  // position of a pending new record, -1 when none
    bool fModified = false;

    int fSuspendCount = 0;
    bool fChangedWhileSuspended = false;
};
