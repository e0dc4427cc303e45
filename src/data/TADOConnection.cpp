#include "TADOConnection.h"

#include "TADOQuery.h"
#include "TIndexedEngine.h"

namespace {

struct TPair
{
    QString Key;
    QString Value;
};

// Reads "key=value;key=value". A value may stand in single or double quotes; inside them ';' is
// plain text and the quote itself is written twice. Blanks around keys and bare values go.
std::vector<TPair> SplitPairs(const QString& text)
{
    std::vector<TPair> pairs;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        TPair pair;
        while (i < n && text[i] != u'=' && text[i] != u';')
            pair.Key += text[i++];
        if (i < n && text[i] == u'=') {
            ++i;
            qsizetype start = i;
            while (start < n && text[start].isSpace())
                ++start;
            if (start < n && (text[start] == u'"' || text[start] == u'\'')) {
                const QChar quote = text[start];
                QString value;
                qsizetype j = start + 1;
                bool closed = false;
                while (j < n) {
                    if (text[j] == quote) {
                        if (j + 1 < n && text[j + 1] == quote) {
                            value += quote;
                            j += 2;
                            continue;
                        }
                        closed = true;
                        ++j;
                        break;
                    }
                    value += text[j++];
                }
                if (closed) {
                    pair.Value = value;
                    while (j < n && text[j] != u';')
                        ++j; // anything after the closing quote up to the next pair is ignored
                    i = j;
                } else {
                    pair.Value = text.mid(start).trimmed(); // no closing quote: the text as it stands
                    i = n;
                }
            } else {
                qsizetype j = start;
                while (j < n && text[j] != u';')
                    ++j;
                pair.Value = text.mid(start, j - start).trimmed();
                i = j;
            }
        }
        if (i < n && text[i] == u';')
            ++i;
        if (!pair.Key.trimmed().isEmpty())
            pairs.push_back(std::move(pair));
    }
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
    for (const TPair& pair : SplitPairs(connectionString))
        if (NormalisedKey(pair.Key) == wanted)
            found = pair.Value; // the last one counts, as with repeated keys elsewhere
    return found;
}

QString TADOConnection::QuotedConnectionValue(const QString& value)
{
    const bool bare =
        !value.contains(u';') && value.trimmed() == value && !value.startsWith(u'"') && !value.startsWith(u'\'');
    if (bare)
        return value;
    if (!value.contains(u'"'))
        return u'"' + value + u'"';
    if (!value.contains(u'\''))
        return u'\'' + value + u'\'';
    QString doubled = value;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

QString TADOConnection::ConnectionStringFor(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + QuotedConnectionValue(path)
           + QStringLiteral(";Persist Security Info=False");
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
        throw EDatabaseError(
            FormatMessage(QStringLiteral("В строке подключения не указан файл базы данных (Data Source): '%s'."),
                          {fConnectionString}));
    // A directory on a server is searched there: its own indexes serve it, and it may be far too
    // large to be held in memory on every desk.
    if (IsServerDirectory(path)) {
        fEngine = OpenDirectoryEngine(path);
        return;
    }
    auto indexed = std::make_unique<TIndexedEngine>(OpenDirectoryEngine(path), path);
    fIndexed = indexed.get();
    fEngine = std::move(indexed);
    if (!fIndexTable.isEmpty())
        fIndexed->StartIndexing(fIndexTable, fRankedColumns);
}

void TADOConnection::StartIndexing(const QString& table, const QStringList& rankedColumns)
{
    fIndexTable = table;
    fRankedColumns = rankedColumns;
    if (fIndexed)
        fIndexed->StartIndexing(table, rankedColumns);
}

std::shared_ptr<const TDirectoryIndex> TADOConnection::Index() const
{
    return fIndexed ? fIndexed->Index() : nullptr;
}

bool TADOConnection::WaitForIndex()
{
    return fIndexed && fIndexed->WaitForIndex();
}

void TADOConnection::Close()
{
    for (TADOQuery* query : std::vector<TADOQuery*>(fQueries))
        query->Close();
    fIndexed = nullptr;
    fEngine.reset();
}

TDirectoryEngine& TADOConnection::Engine() const
{
    if (!fEngine)
        throw EDatabaseError(QStringLiteral("Подключение закрыто"));
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
