#include "TIniFile.h"

#include <QFile>
#include <QStringDecoder>

namespace {

constexpr qsizetype kMaxValueLength = 2047;

// Settings files written on the users' desktops are windows-1251; files edited here are UTF-8.
QString DecodeSettings(const QByteArray& bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    QStringDecoder ansi("windows-1251");
    return ansi.decode(data);
}

QString Unquote(QString value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

} // namespace

QString ReadProfileString(const QString& path, const QString& section, const QString& key, const QString& defaultValue)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return defaultValue;
    const QString text = DecodeSettings(file.readAll());
    bool inSection = false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            const qsizetype close = line.indexOf(u']');
            const QStringView name = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
            if (inSection)
                break; // only the first section of that name is read
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString value = Unquote(line.mid(eq + 1).trimmed().toString());
        value.truncate(kMaxValueLength);
        return value;
    }
    return defaultValue;
}
