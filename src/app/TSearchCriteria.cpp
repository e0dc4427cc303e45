#include "TSearchCriteria.h"

namespace {

const QString kStart = QStringLiteral("SELECT * FROM kray WHERE ");
const QString kEmpty = QStringLiteral("SELECT * FROM kray WHERE ;");

// A criterion goes into a double-quoted literal. A double quote typed into it would end the literal
// early and let the rest change the statement, so it is doubled (the directory's own escape);
// wildcards keep their meaning.
QString Literal(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QString ComposeSearchStatement(const TSearchCriteria& c)
{
    QString sql = kStart;
    if (!c.Fio.isEmpty()) {
        switch (c.FioStyle) {
        case 0:
            sql += QStringLiteral("and vlad like ") + Literal(c.Fio + u'%');
            break;
        case 1:
            sql += QStringLiteral("and vlad like ") + Literal(u'%' + c.Fio + u'%');
            break;
        case 2:
            sql += QStringLiteral("and vlad=") + Literal(c.Fio);
            break;
        default:
            break;
        }
    }
    if (!c.Street.isEmpty())
        sql += QStringLiteral("and street like ") + Literal(u'%' + c.Street + u'%');
    if (!c.Dom.isEmpty())
        sql += QStringLiteral("and numhome like ") + Literal(c.Dom + u'%');
    if (!c.Kvart.isEmpty())
        sql += QStringLiteral("and numdoor like ") + Literal(c.Kvart + u'%');
    if (!c.Phone.isEmpty()) {
        if (c.Discrete)
            sql += QStringLiteral("and numer=") + Literal(c.Phone);
        else
            sql += QStringLiteral("and numer like ") + Literal(u'%' + c.Phone + u'%');
    }
    // Only the first occurrence, with exact letter case: the one the first clause made.
    const qsizetype at = sql.indexOf(QLatin1String("WHERE and"));
    if (at >= 0)
        sql.replace(at, 9, QStringLiteral("WHERE"));
    sql += u';';
    return sql;
}

bool IsEmptySearchStatement(const QString& statement)
{
    return statement == kEmpty;
}
