#include "TDisplayFormatEh.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

namespace {

// Splits a number pattern into its sections at ";" outside quotes.
QStringList Sections(const QString& pattern)
{
    QStringList out;
    QString cur;
    QChar quote;
    for (QChar c : pattern) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            cur += c;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            cur += c;
        } else if (c == u';') {
            out << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur;
    return out;
}

struct NumberSection
{
    QString Prefix;
    QString Suffix;
    int MinInt = 0;
    int MinDec = 0;
    int MaxDec = 0;
    bool Thousands = false;
    bool HasDigits = false;
    bool Scientific = false;
    bool ExpSignAlways = false;
    int ExpDigits = 0;
};

NumberSection ParseSection(const QString& s)
{
    NumberSection n;
    QChar quote;
    bool afterPoint = false;
    bool seenDigit = false;
    bool inExponent = false;
    QString literal; // literal text pending since the last placeholder
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                literal += c;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
            continue;
        }
        if (inExponent) {
            if (c == u'0' || c == u'#') {
                ++n.ExpDigits;
                continue;
            }
            inExponent = false;
        }
        if (c == u'0' || c == u'#') {
            if (!seenDigit) {
                n.Prefix = literal;
                seenDigit = true;
            }
            literal.clear();
            if (afterPoint) {
                ++n.MaxDec;
                if (c == u'0')
                    n.MinDec = n.MaxDec;
            } else if (c == u'0' || n.MinInt > 0) {
                ++n.MinInt;
            }
        } else if (c == u'.' && !afterPoint) {
            if (!seenDigit) {
                n.Prefix = literal;
                seenDigit = true;
            }
            literal.clear();
            afterPoint = true;
        } else if (c == u',') {
            if (!afterPoint)
                n.Thousands = true;
        } else if ((c == u'E' || c == u'e') && seenDigit && i + 1 < s.size()
                   && (s[i + 1] == u'+' || s[i + 1] == u'-')) {
            n.Scientific = true;
            n.ExpSignAlways = s[i + 1] == u'+';
            inExponent = true;
            literal.clear();
            ++i;
        } else {
            literal += c;
        }
    }
    n.HasDigits = seenDigit;
    if (seenDigit)
        n.Suffix = literal;
    else
        n.Prefix = literal;
    return n;
}

QString GroupThousands(const QString& digits, QChar separator)
{
    QString out;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

QString FormatSection(const NumberSection& n, double value)
{
    if (!n.HasDigits)
        return n.Prefix;
    const QLocale loc;
    const QString decimalPoint = loc.decimalPoint();
    const QString group = loc.groupSeparator();
    QString exponentText;
    if (n.Scientific && value != 0.0) {
        int exp = int(std::floor(std::log10(value)));
        const int intDigits = std::max(1, n.MinInt);
        exp -= intDigits - 1;
        value /= std::pow(10.0, exp);
        QString e = QString::number(std::abs(exp)).rightJustified(std::max(1, n.ExpDigits), u'0');
        exponentText = QStringLiteral("E")
                       + (exp < 0 ? QStringLiteral("-") : (n.ExpSignAlways ? QStringLiteral("+") : QString())) + e;
    } else if (n.Scientific) {
        exponentText = QStringLiteral("E") + (n.ExpSignAlways ? QStringLiteral("+") : QString())
                       + QString(std::max(1, n.ExpDigits), u'0');
    }
    QString fixed = QString::number(value, 'f', n.MaxDec);
    QString intPart = fixed;
    QString decPart;
    const qsizetype dot = fixed.indexOf(u'.');
    if (dot >= 0) {
        intPart = fixed.left(dot);
        decPart = fixed.mid(dot + 1);
    }
    while (decPart.size() > n.MinDec && decPart.endsWith(u'0'))
        decPart.chop(1);
    if (intPart == QLatin1String("0") && n.MinInt == 0)
        intPart.clear();
    if (intPart.size() < n.MinInt)
        intPart = intPart.rightJustified(n.MinInt, u'0');
    if (n.Thousands && !group.isEmpty())
        intPart = GroupThousands(intPart, group[0]);
    QString out = n.Prefix + intPart;
    if (!decPart.isEmpty())
        out += decimalPoint + decPart;
    return out + exponentText + n.Suffix;
}

} // namespace

QString FormatFloatEh(const QString& pattern, double value)
{
    if (pattern.isEmpty())
        return QString::number(value, 'g', 15);
    const QStringList sections = Sections(pattern);
    const NumberSection positive = ParseSection(sections[0]);
    // Rounded as the first section shows it, to tell zero from non-zero.
    const double rounded = std::abs(value) < 1e300 ? QString::number(value, 'f', positive.MaxDec).toDouble() : value;
    if (rounded == 0.0 && sections.size() >= 3 && !sections[2].isEmpty())
        return FormatSection(ParseSection(sections[2]), 0.0);
    if (value < 0 && sections.size() >= 2 && !sections[1].isEmpty())
        return FormatSection(ParseSection(sections[1]), -value);
    if (value < 0 && rounded != 0.0)
        return QStringLiteral("-") + FormatSection(positive, -value);
    return FormatSection(positive, std::abs(value));
}

QString FormatDateTimeEh(const QString& pattern, const QDateTime& value)
{
    if (pattern.isEmpty())
        return value.toString(QStringLiteral("dd.MM.yyyy H:mm:ss"));
    const QLocale loc;
    const QDate date = value.date();
    const QTime time = value.time();
    QString out;
    bool afterHour = false;
    const int n = int(pattern.size());
    auto run = [&](int i) {
        int k = i;
        while (k < n && pattern[k].toLower() == pattern[i].toLower())
            ++k;
        return k - i;
    };
    for (int i = 0; i < n;) {
        const QChar c = pattern[i];
        const QChar lc = c.toLower();
        if (c == u'"' || c == u'\'') {
            int k = i + 1;
            while (k < n && pattern[k] != c)
                out += pattern[k++];
            i = k + 1;
            continue;
        }
        if (pattern.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            out += time.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm");
            i += 5;
            continue;
        }
        if (pattern.mid(i, 3).compare(QLatin1String("a/p"), Qt::CaseInsensitive) == 0) {
            out += time.hour() < 12 ? QStringLiteral("a") : QStringLiteral("p");
            i += 3;
            continue;
        }
        const int len = run(i);
        if (lc == u'd') {
            if (len == 1)
                out += QString::number(date.day());
            else if (len == 2)
                out += QString::number(date.day()).rightJustified(2, u'0');
            else if (len == 3)
                out += loc.dayName(date.dayOfWeek(), QLocale::ShortFormat);
            else
                out += loc.dayName(date.dayOfWeek(), QLocale::LongFormat);
        } else if (lc == u'm') {
            if (afterHour && len <= 2) {
                out +=
                    len == 1 ? QString::number(time.minute()) : QString::number(time.minute()).rightJustified(2, u'0');
            } else if (len == 1) {
                out += QString::number(date.month());
            } else if (len == 2) {
                out += QString::number(date.month()).rightJustified(2, u'0');
            } else if (len == 3) {
                out += loc.monthName(date.month(), QLocale::ShortFormat);
            } else {
                out += loc.monthName(date.month(), QLocale::LongFormat);
            }
        } else if (lc == u'y') {
            out += len <= 2 ? QString::number(date.year() % 100).rightJustified(2, u'0')
                            : QString::number(date.year()).rightJustified(4, u'0');
        } else if (lc == u'h') {
            out += len == 1 ? QString::number(time.hour()) : QString::number(time.hour()).rightJustified(2, u'0');
        } else if (lc == u'n') {
            out += len == 1 ? QString::number(time.minute()) : QString::number(time.minute()).rightJustified(2, u'0');
        } else if (lc == u's') {
            out += len == 1 ? QString::number(time.second()) : QString::number(time.second()).rightJustified(2, u'0');
        } else if (lc == u'z') {
            out += len >= 3 ? QString::number(time.msec()).rightJustified(3, u'0') : QString::number(time.msec());
        } else if (c == u'/') {
            out += loc.dateFormat(QLocale::ShortFormat).contains(u'.') ? QStringLiteral(".") : QStringLiteral("/");
        } else {
            out += QString(len, c);
        }
        if (lc == u'h')
            afterHour = true;
        else if (lc != u'm' && lc != u':' && !lc.isSpace())
            afterHour = false;
        i += len;
    }
    return out;
}
