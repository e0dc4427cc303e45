#include "TADOConnection.h"

#include "TADOQuery.h"

namespace {

// Splits "key=value;key=value" at the semicolons outside quoted values.
QStringList SplitPairs(const QString& text)
{
    QStringList pairs;
    QString current;
    QChar quote;
    bool inValue = false;
    bool valueStarted = false;
    for (QChar c : text) {
        if (!quote.isNull()) {
            current += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u';') {
            pairs << current;
            current.clear();
            inValue = valueStarted = false;
            continue;
        }
        if (c == u'=' && !inValue) {
            inValue = true;
        } else if (inValue && !valueStarted && !c.isSpace()) {
            valueStarted = true;
            if (c == u'"' || c == u'\'')
                quote = c;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty())
        pairs << current;
    return pairs;
}

QString NormalisedKey(const QString& key)
{
    QString out;
    for (QChar c : key)
        if (!c.isSpace())
            out += c.toLower();
    return out;
}

} // namespace

TADOConnection::TADOConnection(QString name) : fName(std::move(name)) {}

TADOConnection::~TADOConnection()
{
    Close();
    for (TADOQuery* query : std::vector<TADOQuery*>(fQueries))
        query->SetConnection(nullptr);
}

void TADOConnection::SetConnectionString(const QString& text)
{
    if (text == fConnectionString)
        return;
    Close();
    fConnectionString = text;
}

QString TADOConnection::ConnectionStringValue(const QString& connectionString, const QString& key)
{
    const QString wanted = NormalisedKey(key);
    QString found;
    for (const QString& pair : SplitPairs(connectionString)) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq < 0 || NormalisedKey(pair.left(eq)) != wanted)
            continue;
        QString value = pair.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        found = value;  // the last one counts, as with repeated keys elsewhere
    }
    return found;
}

QString TADOConnection::DataSource() const
{
    return ConnectionStringValue(fConnectionString, QStringLiteral("Data Source"));
}

void TADOConnection::SetConnected(bool connected)
{
    if (connected)
        Open();
    else
        Close();
}

void TADOConnection::Open()
{
    if (fEngine)
        return;
    const QString path = DataSource();
    if (path.isEmpty())
        throw EDatabaseError(FormatMessage(QStringLiteral("The connection string names no database file (Data Source): '%s'."),
                                           {fConnectionString}));
    fEngine = OpenDirectoryEngine(path);
}

void TADOConnection::Close()
{
    for (TADOQuery* query : std::vector<TADOQuery*>(fQueries))
        query->Close();
    fEngine.reset();
}

TDirectoryEngine& TADOConnection::Engine() const
{
    if (!fEngine)
        throw EDatabaseError(QStringLiteral("Connection is closed"));
    return *fEngine;
}

void TADOConnection::Attach(TADOQuery* query)
{
    fQueries.push_back(query);
}

void TADOConnection::Detach(TADOQuery* query)
{
    std::erase(fQueries, query);
}
