#pragma once
// A field: one named column of a record set's result, read from the row the record set makes
// readable now; with the field types and the text forms of their values.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>

QT_FORWARD_DECLARE_CLASS(QDateTime)

class TDataSet;

// Field data types, in the record set's own enumeration order.
enum TFieldType
{
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid,
    ftTimeStamp,
    ftFMTBcd
};
QString FieldTypeName(TFieldType type);
// A value of the given type as text without display formatting (what TField::PlainText shows);
// engines compare conditions on non-text columns with it.
QString FieldValueText(TFieldType type, const QVariant& value);

// The text types: their values are kept as UTF-8 and read back as text (memos among them).
bool IsTextFieldType(TFieldType type);

enum TFieldKind
{
    fkData,
    fkCalculated,
    fkLookup,
    fkInternalCalc,
    fkAggregate
};
enum TAlignment
{
    taLeftJustify,
    taRightJustify,
    taCenter
};

// A date and time as days since 1899-12-30: what AsFloat gives for date and time fields, and the
// key date and time fields sort by.
double DateTimeToFloat(const QDateTime& value);

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
    QString KeyFields;                 // lookup fields only
    QString LookupResultField;         // lookup fields only
    TDataSet* LookupDataSet = nullptr; // lookup fields only: where the shown text is looked up
    QString LookupKeyFields;           // lookup fields only: the key field of LookupDataSet
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
    QString PlainText() const; // AsString: the value as text without display formatting
    // The display text as the engine stores it, UTF-8 (empty for null), when the engine keeps it
    // so and no pending change is read; false otherwise (then DisplayText is the way). Lets a
    // reader of many values skip making a QString of each.
    bool DisplayTextUtf8(QByteArrayView& utf8) const;
    qint64 AsInteger() const;
    double AsFloat() const; // date and time fields: days since 1899-12-30
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
    int fDisplayWidth = -1; // -1: follows the type and size
    TAlignment fAlignment;
    bool fReadOnly = false;
};
