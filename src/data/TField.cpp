#include "TField.h"

#include "TDataSet.h"

#include <QDateTime>
#include <QLocale>

namespace {

// Day 0 of the floating-point date-time value.
const QDateTime& DateTimeEpoch()
{
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return epoch;
}

} // namespace

double DateTimeToFloat(const QDateTime& value)
{
    QDateTime utc(value.date(), value.time(), Qt::UTC);
    return double(DateTimeEpoch().msecsTo(utc)) / 86400000.0;
}

QString FieldTypeName(TFieldType type)
{
    static const char* const names[] = {
        "Unknown",    "String",    "SmallInt",  "Integer",    "Word",      "Boolean",     "Float",   "Currency",
        "BCD",        "Date",      "Time",      "DateTime",   "Bytes",     "VarBytes",    "AutoInc", "Blob",
        "Memo",       "Graphic",   "FmtMemo",   "ParadoxOle", "DBaseOle",  "TypedBinary", "Cursor",  "FixedChar",
        "WideString", "LargeInt",  "ADT",       "Array",      "Reference", "DataSet",     "OraBlob", "OraClob",
        "Variant",    "Interface", "IDispatch", "Guid",       "TimeStamp", "FMTBcd"};
    const auto i = std::size_t(type);
    return i < std::size(names) ? QString::fromLatin1(names[i]) : QStringLiteral("Unknown");
}

TField::TField(TDataSet* dataSet, QString fieldName, TFieldType dataType, int size)
    : fDataSet(dataSet), fFieldName(std::move(fieldName)), fDataType(dataType), fSize(size), fAlignment(taLeftJustify)
{
    if (IsNumeric())
        fAlignment = taRightJustify;
}

bool TField::IsNumeric() const
{
    switch (fDataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return true;
    default:
        return false;
    }
}

bool TField::IsDateTime() const
{
    return fDataType == ftDate || fDataType == ftTime || fDataType == ftDateTime || fDataType == ftTimeStamp;
}

void TField::SetDisplayLabel(const QString& label)
{
    if (label == fDisplayLabel)
        return;
    fDisplayLabel = label;
    fDataSet->NotifyChanged();
}

int TField::DisplayWidth() const
{
    if (fDisplayWidth >= 0)
        return fDisplayWidth;
    switch (fDataType) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return fSize > 0 ? fSize : 20;
    case ftSmallint:
        return 6;
    case ftWord:
        return 5;
    case ftInteger:
    case ftAutoInc:
        return 11;
    case ftLargeint:
        return 15;
    case ftBoolean:
        return 5;
    case ftDate:
    case ftTime:
        return 10;
    case ftDateTime:
    case ftTimeStamp:
        return 18;
    default:
        return 10;
    }
}

void TField::SetDisplayWidth(int width)
{
    if (width == fDisplayWidth)
        return;
    fDisplayWidth = width;
    fDataSet->NotifyChanged();
}

void TField::SetAlignment(TAlignment alignment)
{
    if (alignment == fAlignment)
        return;
    fAlignment = alignment;
    fDataSet->NotifyChanged();
}

void TField::SetReadOnly(bool readOnly)
{
    fReadOnly = readOnly;
}

QVariant TField::Value() const
{
    return fDataSet->ReadValue(fIndex);
}

bool TField::IsBlank() const
{
    return fDataSet->ReadIsNull(fIndex);
}

bool IsTextFieldType(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
    case ftFmtMemo:
        return true;
    default:
        return false;
    }
}

QString TField::PlainText() const
{
    return IsTextFieldType(fDataType) ? fDataSet->ReadText(fIndex) : FieldValueText(fDataType, Value());
}

bool TField::DisplayTextUtf8(QByteArrayView& utf8) const
{
    switch (fDataType) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return fDataSet->ReadUtf8(fIndex, utf8);
    default:
        return false;
    }
}

QString FieldValueText(TFieldType type, const QVariant& v)
{
    if (v.isNull())
        return {};
    switch (type) {
    case ftBoolean:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return QString::number(v.toDouble(), 'g', 15);
    case ftDate:
        return v.toDateTime().date().toString(QStringLiteral("dd.MM.yyyy"));
    case ftTime:
        return v.toDateTime().time().toString(QStringLiteral("H:mm:ss"));
    case ftDateTime:
    case ftTimeStamp: {
        const QDateTime dt = v.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(QStringLiteral("dd.MM.yyyy"));
        return dt.toString(QStringLiteral("dd.MM.yyyy H:mm:ss"));
    }
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftTypedBinary:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftOraBlob:
        return QString::fromLatin1(v.toByteArray());
    default:
        return v.toString();
    }
}

QString TField::DisplayText() const
{
    switch (fDataType) {
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob:
        return fDataSet->ReadIsNull(fIndex) ? QString() : QStringLiteral("(MEMO)");
    case ftBlob:
    case ftGraphic:
    case ftTypedBinary:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftOraBlob:
        return fDataSet->ReadIsNull(fIndex) ? QString() : QStringLiteral("(BLOB)");
    default:
        return PlainText();
    }
}

void TField::AccessError(const char* typeName) const
{
    throw EDatabaseError(FormatMessage(QStringLiteral("Cannot access field '%s' as type %s"),
                                       {fFieldName, QString::fromLatin1(typeName)}));
}

qint64 TField::AsInteger() const
{
    const QVariant v = Value();
    switch (fDataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        return v.toLongLong();
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return qRound64(v.toDouble());
    case ftBoolean:
        return v.toBool() ? 1 : 0;
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo: {
        if (v.isNull())
            return 0;
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (!ok)
            AccessError("Integer");
        return n;
    }
    default:
        if (v.isNull())
            return 0;
        AccessError("Integer");
    }
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0.0;
    if (IsDateTime())
        return DateTimeToFloat(v.toDateTime());
    switch (fDataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        return double(v.toLongLong());
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return v.toDouble();
    case ftBoolean:
        return v.toBool() ? 1.0 : 0.0;
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo: {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (!ok)
            AccessError("Float");
        return d;
    }
    default:
        AccessError("Float");
    }
}

bool TField::AsBoolean() const
{
    const QVariant v = Value();
    if (v.isNull())
        return false;
    switch (fDataType) {
    case ftBoolean:
        return v.toBool();
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        return v.toLongLong() != 0;
    case ftString:
    case ftFixedChar:
    case ftWideString: {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        AccessError("Boolean");
    }
    default:
        AccessError("Boolean");
    }
}

QByteArray TField::AsBytes() const
{
    const QVariant v = Value();
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return PlainText().toUtf8();
}

void TField::SetValue(const QVariant& value)
{
    fDataSet->WriteValue(fIndex, value);
}

void TField::SetAsString(const QString& text)
{
    if (text.isEmpty() && fDataType != ftString && fDataType != ftWideString && fDataType != ftFixedChar) {
        Clear();
        return;
    }
    switch (fDataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint: {
        bool ok = false;
        const qint64 n = text.trimmed().toLongLong(&ok);
        if (!ok)
            throw EDatabaseError(FormatMessage(QStringLiteral("'%s' is not a valid integer value"), {text}));
        SetValue(n);
        return;
    }
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd: {
        bool ok = false;
        QString t = text.trimmed();
        double d = t.toDouble(&ok);
        if (!ok)
            d = QLocale().toDouble(t, &ok);
        if (!ok)
            throw EDatabaseError(FormatMessage(QStringLiteral("'%s' is not a valid floating point value"), {text}));
        SetValue(d);
        return;
    }
    case ftBoolean: {
        const QString t = text.trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || t == QLatin1String("1"))
            SetValue(true);
        else if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || t == QLatin1String("0"))
            SetValue(false);
        else
            throw EDatabaseError(FormatMessage(QStringLiteral("'%s' is not a valid boolean value"), {text}));
        return;
    }
    case ftDate:
    case ftDateTime:
    case ftTimeStamp:
    case ftTime: {
        QDateTime dt = QDateTime::fromString(text.trimmed(), QStringLiteral("dd.MM.yyyy H:mm:ss"));
        if (!dt.isValid())
            dt = QDateTime(QDate::fromString(text.trimmed(), QStringLiteral("dd.MM.yyyy")), QTime(0, 0));
        if (!dt.isValid())
            dt = QDateTime::fromString(text.trimmed(), Qt::ISODate);
        if (!dt.isValid())
            throw EDatabaseError(FormatMessage(QStringLiteral("'%s' is not a valid date and time"), {text}));
        SetValue(dt);
        return;
    }
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
        SetValue(text.toUtf8());
        return;
    default:
        SetValue(text);
    }
}

void TField::Clear()
{
    SetValue(QVariant());
}
