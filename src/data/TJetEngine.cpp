#include "TJetEngine.h"

#include "Exception.h"
#include "TTextMatcher.h"

#include <mdbtools.h>

#include <QDateTime>
#include <QFile>
#include <QUuid>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr quint32 kOffsetMask = 0x1fff; // row offsets on a page carry flags in their top bits
constexpr std::size_t kLongValueHeader = 12;
constexpr char kDefaultJet3Charset[] = "CP1251";

// Milliseconds since the Unix epoch of day 0 of Jet's date-time values (1899-12-30).
constexpr qint64 kJetEpochMs = -2209161600000;

quint16 Get16(const unsigned char* p)
{
    return quint16(p[0] | (p[1] << 8));
}

quint32 Get32(const unsigned char* p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

template <typename T>
T GetRaw(const unsigned char* p)
{
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

void PutUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

// Turns a stream of UTF-16 code units into UTF-8; a lone surrogate becomes U+FFFD.
class TUtf16ToUtf8
{
public:
    explicit TUtf16ToUtf8(std::string& out) : fOut(out) {}
    ~TUtf16ToUtf8() { Flush(); }

    void Put(char16_t unit)
    {
        if (fHigh) {
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                PutUtf8(0x10000 + ((char32_t(fHigh) - 0xD800) << 10) + (unit - 0xDC00), fOut);
                fHigh = 0;
                return;
            }
            Flush();
        }
        if (unit >= 0xD800 && unit <= 0xDBFF)
            fHigh = unit;
        else if (unit >= 0xDC00 && unit <= 0xDFFF)
            PutUtf8(0xFFFD, fOut);
        else
            PutUtf8(unit, fOut);
    }

private:
    void Flush()
    {
        if (fHigh) {
            PutUtf8(0xFFFD, fOut);
            fHigh = 0;
        }
    }

    std::string& fOut;
    char16_t fHigh = 0;
};

// Restores an environment variable on scope exit; mdbtools reads its character set settings from
// the environment when a file is opened, and we keep the program's environment as it was.
class TScopedEnv
{
public:
    TScopedEnv(const char* name, const QByteArray& value) : fName(name), fHad(qEnvironmentVariableIsSet(name))
    {
        if (fHad)
            fOld = qgetenv(name);
        qputenv(name, value);
    }
    ~TScopedEnv()
    {
        if (fHad)
            qputenv(fName, fOld);
        else
            qunsetenv(fName);
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    const char* fName;
    bool fHad;
    QByteArray fOld;
};

struct TMdbClose
{
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};

struct TTableFree
{
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

QString CString(const char* text, std::size_t capacity)
{
    return QString::fromUtf8(text, qsizetype(qstrnlen(text, capacity)));
}

// The text of Jet 3 files: single-byte code pages through a table made once per file, anything
// else (a double-byte code page) through iconv value by value.
class TJet3Charset
{
public:
    TJet3Charset() = default;
    ~TJet3Charset()
    {
        if (fIconv != iconv_t(-1))
            iconv_close(fIconv);
    }
    TJet3Charset(const TJet3Charset&) = delete;
    TJet3Charset& operator=(const TJet3Charset&) = delete;

    // False when iconv does not know the name.
    bool Open(const QByteArray& name)
    {
        fIconv = iconv_open("UTF-8", name.constData());
        if (fIconv == iconv_t(-1))
            return false;
        for (int b = 0; b < 256; ++b) {
            iconv(fIconv, nullptr, nullptr, nullptr, nullptr);
            char in = char(b);
            char* inPtr = &in;
            std::size_t inLeft = 1;
            char* outPtr = fTable[std::size_t(b)].Bytes;
            std::size_t outLeft = sizeof fTable[0].Bytes;
            if (iconv(fIconv, &inPtr, &inLeft, &outPtr, &outLeft) == std::size_t(-1)) {
                if (errno == EINVAL)
                    fSingleByte = false; // the lead byte of a longer sequence
                fTable[std::size_t(b)].Bytes[0] = '?';
                fTable[std::size_t(b)].Length = 1;
            } else {
                fTable[std::size_t(b)].Length = quint8(sizeof fTable[0].Bytes - outLeft);
            }
        }
        return true;
    }

    void Decode(const unsigned char* p, std::size_t n, std::string& out) const
    {
        if (fSingleByte) {
            for (std::size_t i = 0; i < n; ++i) {
                const TEntry& e = fTable[p[i]];
                out.append(e.Bytes, e.Length);
            }
            return;
        }
        iconv(fIconv, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = reinterpret_cast<char*>(const_cast<unsigned char*>(p));
        std::size_t inLeft = n;
        while (inLeft > 0) {
            const std::size_t base = out.size();
            out.resize(base + inLeft * 4 + 16);
            char* outPtr = out.data() + base;
            std::size_t outLeft = out.size() - base;
            const std::size_t rc = iconv(fIconv, &inPtr, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            out.resize(out.size() - outLeft);
            if (rc != std::size_t(-1) || error == E2BIG)
                continue;
            // An invalid or cut-off sequence: show one '?' for its first byte and go on.
            out.push_back('?');
            ++inPtr;
            --inLeft;
        }
    }

private:
    struct TEntry
    {
        char Bytes[8] = {};
        quint8 Length = 0;
    };
    iconv_t fIconv = iconv_t(-1);
    std::array<TEntry, 256> fTable{};
    bool fSingleByte = true;
};

enum class TCellKind
{
    Null,
    Text,
    Bytes,
    Integer,
    Double,
    Boolean,
    DateTime
};

// One value of the current row, decoded from its page.
struct TCell
{
    TCellKind Kind = TCellKind::Null;
    qint64 Integer = 0; // also date-times, as milliseconds since the Unix epoch
    double Double = 0;
    std::string Text; // text (UTF-8) and bytes
    quint64 Row = 0;  // the row this cell holds, so a value tested by a condition is not decoded twice

    QVariant ToVariant() const
    {
        switch (Kind) {
        case TCellKind::Null:
            return {};
        case TCellKind::Text:
            return QString::fromUtf8(Text.data(), qsizetype(Text.size()));
        case TCellKind::Bytes:
            return QByteArray(Text.data(), qsizetype(Text.size()));
        case TCellKind::Integer:
            return qlonglong(Integer);
        case TCellKind::Double:
            return Double;
        case TCellKind::Boolean:
            return Integer != 0;
        case TCellKind::DateTime:
            return QDateTime::fromMSecsSinceEpoch(Integer, Qt::UTC);
        }
        return {};
    }
};

struct TColumnReader
{
    MdbColumn* Column = nullptr;
    TFieldType Type = ftString;
    TCell Cell;
};

struct TConditionTest
{
    int Column = 0;
    TTextMatcher Matcher;
};

// A single as the double nearest to its shortest decimal form: 0.15 stays 0.15 rather than
// becoming 0.150000005960464.
double SingleToDouble(float value)
{
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double result = value;
    std::from_chars(text, written.ptr, result);
    return result;
}

// Jet keeps a date-time as days since 1899-12-30; the fraction is the time of day, counted
// forward from midnight also for days before the epoch (-1.25 is 1899-12-29 06:00). Shown to the
// second, as Jet shows it. False for values no date can be made of.
bool JetDateToMSecs(double value, qint64& msecs)
{
    if (!std::isfinite(value) || std::fabs(value) > 1e7)
        return false;
    const double days = std::trunc(value);
    const qint64 seconds = std::llround(std::fabs(value - days) * 86400.0);
    msecs = kJetEpochMs + (qint64(days) * 86400 + seconds) * 1000;
    return true;
}

TFieldType FieldTypeOf(const MdbColumn* column)
{
    switch (column->col_type) {
    case MDB_BOOL:
        return ftBoolean;
    case MDB_BYTE:
    case MDB_INT:
        return ftSmallint;
    case MDB_LONGINT:
        return column->is_long_auto ? ftAutoInc : ftInteger;
    case MDB_COMPLEX:
        return ftInteger;
    case MDB_MONEY:
        return ftCurrency;
    case MDB_NUMERIC:
        return ftBCD;
    case MDB_FLOAT:
    case MDB_DOUBLE:
        return ftFloat;
    case MDB_DATETIME:
        return ftDateTime;
    case MDB_TEXT:
        return ftString;
    case MDB_MEMO:
        return ftMemo;
    case MDB_REPID:
        return ftGuid;
    case MDB_OLE:
        return ftBlob;
    default:
        return ftBytes;
    }
}

// The file versions mdbtools reads, by the version byte of the header. Jet 3 has 2048-byte
// pages, every later version 4096-byte pages laid out as Jet 4's.
struct TJetVersion
{
    quint8 Code;
    const char* Name;
};

constexpr TJetVersion kJetVersions[] = {
    {MDB_VER_JET3, "Jet 3 (Access 97)"},          {MDB_VER_JET4, "Jet 4 (Access 2000-2003)"},
    {MDB_VER_ACCDB_2007, "ACE 12 (Access 2007)"}, {MDB_VER_ACCDB_2010, "ACE 14 (Access 2010)"},
    {MDB_VER_ACCDB_2013, "ACE 15 (Access 2013)"}, {MDB_VER_ACCDB_2016, "ACE 16 (Access 2016)"},
    {MDB_VER_ACCDB_2019, "ACE 17 (Access 2019)"},
};

const TJetVersion* FindJetVersion(quint8 code)
{
    for (const TJetVersion& version : kJetVersions)
        if (version.Code == code)
            return &version;
    return nullptr;
}

using TTablePtr = std::unique_ptr<MdbTableDef, TTableFree>;

// A table of the file's catalog: its name and the entry mdbtools reads its definition from.
struct TCatalogTable
{
    QString Name;
    bool User = false;
    std::unique_ptr<MdbCatalogEntry> Entry;
};

} // namespace

// ---------------------------------------------------------------------------------------------

struct TJetEngine::TImpl
{
    QString Path;
    std::unique_ptr<MdbHandle, TMdbClose> Mdb;
    const TJetVersion* Version = nullptr;
    bool Jet3 = false;
    quint32 PageSize = 0;
    quint32 PageCount = 0;
    TJet3Charset Jet3Text;
    std::vector<TCatalogTable> Catalog;
    // Bytes of long values one read may still take: every long value is stored once, so a table
    // cannot hold more than the file; damaged rows that all point at one big value stop here.
    mutable quint64 LongValueBudget = 0;

    [[noreturn]] void Damaged(const QString& detail) const
    {
        throw EDatabaseError(QStringLiteral("Файл базы данных '%1' повреждён: %2.").arg(Path, detail));
    }

    void Open();
    void ReadCatalog();
    const TCatalogTable* FindTable(const QString& name) const;
    // Reads a table's definition and columns and checks its page map.
    TTablePtr ReadTable(MdbCatalogEntry* entry, const QString& name) const;
    void CheckUsageMap(const MdbTableDef* table, const QString& name) const;
    // Decodes a column's value in the row mdb_fetch_row read last.
    void Decode(const MdbColumn* column, TCell& cell, const QString& table) const;
    void DecodeText(const unsigned char* p, std::size_t n, std::string& out) const;
    // Reads a memo or OLE value whose 12-byte header is at p; the bytes are appended to out.
    void ReadLongValue(const unsigned char* p, std::size_t n, std::string& out, const QString& table) const;
    std::pair<const unsigned char*, std::size_t> LongValueRow(quint32 pageRow, const QString& table) const;
};

bool TJetEngine::IsJetHeader(QByteArrayView firstBytes)
{
    if (firstBytes.size() < 20)
        return false;
    const QByteArrayView magic = firstBytes.sliced(4, 16);
    return magic == QByteArrayView("Standard Jet DB\0", 16) || magic == QByteArrayView("Standard ACE DB\0", 16);
}

TJetEngine::TJetEngine(const QString& path) : d(std::make_unique<TImpl>())
{
    d->Path = path;
    d->Open();
}

TJetEngine::~TJetEngine() = default;

void TJetEngine::TImpl::Open()
{
    // The header first: mdbtools trusts it, so the version, the page size and the file size are
    // checked here before the library reads anything.
    QFile file(Path);
    if (!file.exists())
        throw EDatabaseError(QStringLiteral("Не найден файл '%1'.").arg(Path));
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Не удаётся открыть файл '%1': %2.").arg(Path, file.errorString()));
    const QByteArray head = file.read(0x80);
    const qint64 fileSize = file.size();
    file.close();
    if (!TJetEngine::IsJetHeader(head))
        throw EDatabaseError(QStringLiteral("Неизвестный формат базы данных '%1'.").arg(Path));
    if (head.size() < 0x18)
        Damaged(QStringLiteral("файл слишком короткий (%1 байт)").arg(fileSize));
    // The version is the one byte at 0x14, as mdbtools reads it: the bytes after it are not part
    // of it (files of Access 2010 hold 1 in the next one).
    const quint8 code = quint8(head[0x14]);
    const TJetVersion* version = FindJetVersion(code);
    if (!version)
        throw EDatabaseError(
            QStringLiteral("Файл базы данных '%1' имеет неизвестную версию формата: заголовок «%2», код версии 0x%3.")
                .arg(Path, QString::fromLatin1(head.mid(4, 15)))
                .arg(code, 2, 16, QLatin1Char('0')));
    Version = version;
    Jet3 = version->Code == MDB_VER_JET3;
    PageSize = Jet3 ? 2048 : 4096;
    if (fileSize < qint64(PageSize) * 3)
        Damaged(QStringLiteral("файл слишком короткий (%1 байт)").arg(fileSize));
    if (fileSize % PageSize != 0)
        Damaged(
            QStringLiteral("его размер (%1 байт) не кратен размеру страницы в %2 байт").arg(fileSize).arg(PageSize));
    if (fileSize / PageSize > qint64(0x7fffffff))
        Damaged(QStringLiteral("файл слишком велик"));
    PageCount = quint32(fileSize / PageSize);

    // Jet 3 text carries no code page: the directories are windows-1251 unless the environment
    // names another. Column names are converted by mdbtools (it reads the variable at open),
    // table names and values by us.
    QByteArray charset = qgetenv("MDB_JET3_CHARSET");
    if (charset.isEmpty())
        charset = kDefaultJet3Charset;
    if (Jet3 && !Jet3Text.Open(charset))
        throw EDatabaseError(QStringLiteral("Неизвестная кодировка '%1' (MDB_JET3_CHARSET) для файла базы данных '%2'.")
                                 .arg(QString::fromLocal8Bit(charset), Path));
    {
        const TScopedEnv iconvTarget("MDBICONV", "UTF-8");
        const TScopedEnv jet3Charset("MDB_JET3_CHARSET", charset);
        const QByteArray nativePath = QFile::encodeName(Path);
        Mdb.reset(mdb_open(nativePath.constData(), MDB_NOFLAGS));
    }
    if (!Mdb)
        Damaged(QStringLiteral("не читается его заголовок"));
    if (quint32(Mdb->fmt->pg_size) != PageSize)
        Damaged(QStringLiteral("размер его страниц не соответствует его версии"));
    ReadCatalog();
}

// mdbtools' own catalog reader also parses every object's property blocks and reads past their
// end when one is damaged. The catalog is read here as the plain table it is (MSysObjects,
// defined on page 2), and only names, kinds, flags and definition pages are taken from it.
void TJetEngine::TImpl::ReadCatalog()
{
    MdbCatalogEntry objects{};
    objects.mdb = Mdb.get();
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::snprintf(objects.object_name, sizeof objects.object_name, "%s", "MSysObjects");
    const QString catalogName = QStringLiteral("MSysObjects");
    TTablePtr table = ReadTable(&objects, catalogName);

    const MdbColumn* id = nullptr;
    const MdbColumn* name = nullptr;
    const MdbColumn* type = nullptr;
    const MdbColumn* flags = nullptr;
    for (guint i = 0; i < table->columns->len; ++i) {
        const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
        const QString columnName = CString(column->name, sizeof column->name);
        for (auto [wanted, slot] : {std::pair{"Id", &id}, {"Name", &name}, {"Type", &type}, {"Flags", &flags}})
            if (columnName == QLatin1String(wanted))
                *slot = column;
    }
    if (!id || !name || !type || !flags)
        Damaged(QStringLiteral("в его списке таблиц недостаёт столбца"));

    TCell idCell, nameCell, typeCell, flagsCell;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
        Decode(type, typeCell, catalogName);
        if (typeCell.Kind != TCellKind::Integer || typeCell.Integer != MDB_TABLE)
            continue;
        Decode(id, idCell, catalogName);
        Decode(name, nameCell, catalogName);
        Decode(flags, flagsCell, catalogName);
        if (idCell.Kind != TCellKind::Integer || nameCell.Kind != TCellKind::Text || nameCell.Text.empty())
            continue;
        const quint32 page = quint32(idCell.Integer) & 0x00FFFFFF;
        if (page == 0 || page >= PageCount)
            Damaged(QStringLiteral("его список таблиц указывает на таблицу за концом файла"));
        TCatalogTable entry;
        entry.Name = QString::fromUtf8(nameCell.Text.data(), qsizetype(nameCell.Text.size()));
        const quint32 objectFlags = flagsCell.Kind == TCellKind::Integer ? quint32(flagsCell.Integer) : 0;
        entry.User = (objectFlags & 0x80000002) == 0; // system and hidden system objects have these
        entry.Entry = std::make_unique<MdbCatalogEntry>();
        entry.Entry->mdb = Mdb.get();
        entry.Entry->object_type = MDB_TABLE;
        entry.Entry->table_pg = page;
        entry.Entry->flags = int(objectFlags);
        const QByteArray utf8 = entry.Name.toUtf8();
        if (utf8.size() > MDB_MAX_OBJ_NAME)
            Damaged(QStringLiteral("в его списке таблиц слишком длинное имя таблицы"));
        std::memcpy(entry.Entry->object_name, utf8.constData(), std::size_t(utf8.size()));
        Catalog.push_back(std::move(entry));
    }
}

TTablePtr TJetEngine::TImpl::ReadTable(MdbCatalogEntry* entry, const QString& name) const
{
    TTablePtr table(mdb_read_table(entry));
    if (!table)
        Damaged(QStringLiteral("не читается описание таблицы '%1'").arg(name));
    GPtrArray* columns = mdb_read_columns(table.get());
    if (!columns || columns->len != table->num_cols || columns->len == 0)
        Damaged(QStringLiteral("не читаются столбцы таблицы '%1'").arg(name));
    CheckUsageMap(table.get(), name);
    return table;
}

QString TJetEngine::FormatName() const
{
    return QString::fromLatin1(d->Version->Name);
}

QStringList TJetEngine::TableNames() const
{
    QStringList names;
    for (const TCatalogTable& table : d->Catalog)
        if (table.User)
            names << table.Name;
    return names;
}

const TCatalogTable* TJetEngine::TImpl::FindTable(const QString& name) const
{
    for (const TCatalogTable& table : Catalog)
        if (table.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &table;
    return nullptr;
}

// mdbtools walks a table's data pages by its usage map without checking the page numbers against
// the file: a damaged map could make it stop early without a word (rows silently missing) or
// wrap around and read the same pages forever. Every page the map names must lie in the file.
void TJetEngine::TImpl::CheckUsageMap(const MdbTableDef* table, const QString& name) const
{
    const unsigned char* map = table->usage_map;
    const std::size_t size = table->map_sz;
    if (!map || size == 0)
        Damaged(QStringLiteral("у таблицы '%1' нет карты страниц").arg(name));
    auto checkBits = [&](const unsigned char* bits, std::size_t bytes, quint64 firstPage) {
        for (std::size_t i = bytes; i-- > 0;) {
            if (!bits[i])
                continue;
            const int top = 31 - __builtin_clz(unsigned(bits[i]));
            if (firstPage + i * 8 + quint64(top) >= PageCount)
                Damaged(QStringLiteral("карта страниц таблицы '%1' указывает на страницы за концом файла").arg(name));
            return;
        }
    };
    switch (map[0]) {
    case 0: // inline bitmap of pages from a start page on
        if (size >= 5)
            checkBits(map + 5, size - 5, Get32(map + 1));
        break;
    case 1: { // a list of map pages, each a bitmap of its own range
        const quint64 bitsPerPage = quint64(PageSize - 4) * 8;
        for (std::size_t i = 0; 1 + i * 4 + 4 <= size; ++i) {
            const quint32 mapPage = Get32(map + 1 + i * 4);
            if (!mapPage)
                continue;
            if (mapPage >= PageCount)
                Damaged(QStringLiteral("карта страниц таблицы '%1' лежит за концом файла").arg(name));
            if (mdb_read_alt_pg(Mdb.get(), mapPage) != ssize_t(PageSize))
                Damaged(QStringLiteral("не читается страница файла"));
            checkBits(Mdb->alt_pg_buf + 4, PageSize - 4, i * bitsPerPage);
        }
        break;
    }
    default:
        break; // mdbtools then reads the file page by page up to its end
    }
}

void TJetEngine::TImpl::DecodeText(const unsigned char* p, std::size_t n, std::string& out) const
{
    if (Jet3) {
        Jet3Text.Decode(p, n, out);
        return;
    }
    TUtf16ToUtf8 utf16(out);
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        // Compressed text: one byte per character (high byte zero) until a zero byte switches to
        // two bytes per character, and back at the next zero byte.
        bool compressed = true;
        std::size_t i = 2;
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                utf16.Put(char16_t(p[i++]));
            } else if (i + 1 < n) {
                utf16.Put(char16_t(Get16(p + i)));
                i += 2;
            } else {
                break;
            }
        }
        return;
    }
    for (std::size_t i = 0; i + 1 < n; i += 2)
        utf16.Put(char16_t(Get16(p + i)));
}

std::pair<const unsigned char*, std::size_t> TJetEngine::TImpl::LongValueRow(quint32 pageRow,
                                                                             const QString& table) const
{
    const quint32 page = pageRow >> 8;
    const quint32 row = pageRow & 0xff;
    if (page == 0 || page >= PageCount)
        Damaged(QStringLiteral("длинное значение таблицы '%1' указывает за конец файла").arg(table));
    if (mdb_read_alt_pg(Mdb.get(), page) != ssize_t(PageSize))
        Damaged(QStringLiteral("не читается страница файла"));
    const unsigned char* buf = Mdb->alt_pg_buf;
    const quint32 countAt = Mdb->fmt->row_count_offset;
    const quint32 rows = Get16(buf + countAt);
    if (buf[0] != MDB_PAGE_DATA || row >= rows || countAt + 2 + (row + 1) * 2 > PageSize)
        Damaged(QStringLiteral("длинное значение таблицы '%1' указывает на отсутствующую строку").arg(table));
    const quint32 start = Get16(buf + countAt + 2 + row * 2) & kOffsetMask;
    const quint32 end = row == 0 ? PageSize : (Get16(buf + countAt + row * 2) & kOffsetMask);
    if (start >= end || end > PageSize || start < countAt + 2 + rows * 2)
        Damaged(QStringLiteral("у строки длинного значения таблицы '%1' неверное положение").arg(table));
    return {buf + start, end - start};
}

void TJetEngine::TImpl::ReadLongValue(const unsigned char* p, std::size_t n, std::string& out,
                                      const QString& table) const
{
    if (n < kLongValueHeader)
        Damaged(QStringLiteral("у длинного значения таблицы '%1' нет заголовка").arg(table));
    const quint32 head = Get32(p);
    const std::size_t length = head & 0x3fffffff;
    if (length > LongValueBudget)
        Damaged(QStringLiteral("длинные значения таблицы '%1' в сумме больше файла").arg(table));
    LongValueBudget -= length;
    if (head & 0x80000000) { // stored in the row itself
        out.append(reinterpret_cast<const char*>(p) + kLongValueHeader, std::min(length, n - kLongValueHeader));
    } else if (head & 0x40000000) { // one row on a page of its own
        const auto [data, size] = LongValueRow(Get32(p + 4), table);
        out.append(reinterpret_cast<const char*>(data), std::min(length, size));
    } else if ((head & 0xff000000) == 0) { // a chain of rows, each starting with the next one's address
        out.reserve(out.size() + length);
        std::size_t read = 0;
        quint32 next = Get32(p + 4);
        // Each step must add bytes, and a chain cannot have more links than the file has rows:
        // a damaged chain that loops ends here.
        for (quint64 steps = 0; read < length; ++steps) {
            if (next == 0 || steps > quint64(PageCount) * 4)
                Damaged(QStringLiteral("длинное значение таблицы '%1' обрезано").arg(table));
            const auto [data, size] = LongValueRow(next, table);
            if (size <= 4)
                Damaged(QStringLiteral("у длинного значения таблицы '%1' пустая ссылка").arg(table));
            next = Get32(data);
            const std::size_t chunk = std::min(size - 4, length - read);
            out.append(reinterpret_cast<const char*>(data) + 4, chunk);
            read += chunk;
        }
    } else {
        Damaged(QStringLiteral("длинное значение таблицы '%1' неизвестного вида").arg(table));
    }
}

void TJetEngine::TImpl::Decode(const MdbColumn* column, TCell& cell, const QString& table) const
{
    cell.Text.clear();
    const int start = column->cur_value_start;
    const int length = column->cur_value_len;
    if (column->col_type == MDB_BOOL) {
        // Booleans live in the row's null mask: mdbtools reports a set "null" bit as false.
        cell.Kind = TCellKind::Boolean;
        cell.Integer = length == 0 ? 1 : 0;
        return;
    }
    if (length <= 0) {
        cell.Kind = TCellKind::Null;
        return;
    }
    if (start < 0 || std::size_t(start) + std::size_t(length) > PageSize)
        Damaged(QStringLiteral("значение таблицы '%1' лежит вне своей страницы").arg(table));
    const unsigned char* p = Mdb->pg_buf + start;
    const auto need = [&](int bytes) {
        if (length < bytes)
            Damaged(QStringLiteral("значение столбца '%1' в таблице '%2' обрезано")
                        .arg(CString(column->name, sizeof column->name), table));
    };
    switch (column->col_type) {
    case MDB_BYTE:
        need(1);
        cell.Kind = TCellKind::Integer;
        cell.Integer = p[0];
        break;
    case MDB_INT:
        need(2);
        cell.Kind = TCellKind::Integer;
        cell.Integer = qint16(Get16(p));
        break;
    case MDB_LONGINT:
    case MDB_COMPLEX:
        need(4);
        cell.Kind = TCellKind::Integer;
        cell.Integer = qint32(Get32(p));
        break;
    case MDB_MONEY:
        need(8);
        cell.Kind = TCellKind::Double;
        cell.Double = double(GetRaw<qint64>(p)) / 10000.0;
        break;
    case MDB_FLOAT:
        need(4);
        cell.Kind = TCellKind::Double;
        cell.Double = SingleToDouble(GetRaw<float>(p));
        break;
    case MDB_DOUBLE:
        need(8);
        cell.Kind = TCellKind::Double;
        cell.Double = GetRaw<double>(p);
        break;
    case MDB_DATETIME:
        need(8);
        cell.Kind = JetDateToMSecs(GetRaw<double>(p), cell.Integer) ? TCellKind::DateTime : TCellKind::Null;
        break;
    case MDB_NUMERIC: {
        need(17);
        if (column->col_prec < 1 || column->col_prec > 28 || column->col_scale < 0
            || column->col_scale > column->col_prec)
            Damaged(QStringLiteral("у столбца '%1' таблицы '%2' неверная точность")
                        .arg(CString(column->name, sizeof column->name), table));
        char* text = mdb_numeric_to_string(Mdb.get(), start, column->col_scale, column->col_prec);
        cell.Kind = TCellKind::Double;
        cell.Double = QByteArrayView(text, qstrlen(text)).toDouble();
        g_free(text);
        break;
    }
    case MDB_TEXT:
        cell.Kind = TCellKind::Text;
        DecodeText(p, std::size_t(length), cell.Text);
        break;
    case MDB_MEMO: {
        std::string raw;
        ReadLongValue(p, std::size_t(length), raw, table);
        cell.Kind = TCellKind::Text;
        DecodeText(reinterpret_cast<const unsigned char*>(raw.data()), raw.size(), cell.Text);
        break;
    }
    case MDB_OLE:
        cell.Kind = TCellKind::Bytes;
        ReadLongValue(p, std::size_t(length), cell.Text, table);
        break;
    case MDB_REPID: {
        need(16);
        cell.Kind = TCellKind::Text;
        const QUuid uuid(Get32(p), Get16(p + 4), Get16(p + 6), p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15]);
        cell.Text = uuid.toByteArray(QUuid::WithBraces).toUpper().toStdString();
        break;
    }
    default:
        cell.Kind = TCellKind::Bytes;
        cell.Text.assign(reinterpret_cast<const char*>(p), std::size_t(length));
        break;
    }
}

std::unique_ptr<TResultTable> TJetEngine::Select(const TSelectStatement& statement)
{
    const TCatalogTable* found = d->FindTable(statement.Table);
    if (!found)
        throw EDatabaseError(
            QStringLiteral("Таблица '%1' не найдена в базе данных '%2'.").arg(statement.Table, d->Path));
    const QString& tableName = found->Name;
    TTablePtr table = d->ReadTable(found->Entry.get(), tableName);
    GPtrArray* columns = table->columns;

    std::vector<TColumnReader> readers(columns->len);
    std::vector<TResultColumn> resultColumns;
    resultColumns.reserve(columns->len);
    for (guint i = 0; i < columns->len; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(columns, i));
        readers[i].Column = column;
        readers[i].Type = FieldTypeOf(column);
        int size = 0;
        if (column->col_type == MDB_TEXT)
            size = d->Jet3 ? column->col_size : column->col_size / 2;
        resultColumns.push_back({CString(column->name, sizeof column->name), readers[i].Type, size});
    }

    std::vector<TConditionTest> tests;
    tests.reserve(statement.Conditions.size());
    for (const TCondition& condition : statement.Conditions) {
        int column = -1;
        for (std::size_t i = 0; i < resultColumns.size() && column < 0; ++i)
            if (resultColumns[i].Name.compare(condition.Field, Qt::CaseInsensitive) == 0)
                column = int(i);
        if (column < 0)
            throw EDatabaseError(
                QStringLiteral("Поле '%1' не найдено в таблице '%2'.").arg(condition.Field, tableName));
        tests.push_back({column, TTextMatcher(condition.Literal, condition.Operator)});
    }

    auto result = std::make_unique<TResultTable>(std::move(resultColumns));
    quint64 rowNumber = 0;
    // Each value is decoded once per row, whether a condition or the result asks first.
    auto decode = [&](TColumnReader& reader) -> const TCell& {
        if (reader.Cell.Row != rowNumber) {
            d->Decode(reader.Column, reader.Cell, tableName);
            reader.Cell.Row = rowNumber;
        }
        return reader.Cell;
    };
    auto matches = [&](const TConditionTest& test) {
        TColumnReader& reader = readers[std::size_t(test.Column)];
        const TCell& cell = decode(reader);
        switch (cell.Kind) {
        case TCellKind::Null:
            return false;
        case TCellKind::Text:
            return test.Matcher.MatchesUtf8(cell.Text.data(), qsizetype(cell.Text.size()));
        default:
            // Other values are compared by the text the field shows.
            return test.Matcher.Matches(FieldValueText(reader.Type, cell.ToVariant()));
        }
    };

    d->LongValueBudget = quint64(d->PageCount) * d->PageSize;
    mdb_rewind_table(table.get());
    const TCancelToken* token = CancelToken();
    while (mdb_fetch_row(table.get())) {
        ++rowNumber;
        if (token && (rowNumber & 1023) == 0 && token->IsCancelled())
            throw ECancelled(d->Path);
        if (!std::all_of(tests.begin(), tests.end(), matches))
            continue;
        for (TColumnReader& reader : readers) {
            const TCell& cell = decode(reader);
            const QByteArrayView bytes(cell.Text.data(), qsizetype(cell.Text.size()));
            switch (cell.Kind) {
            case TCellKind::Null:
                result->AppendNull();
                break;
            case TCellKind::Text:
                result->AppendText(bytes);
                break;
            case TCellKind::Bytes:
                result->AppendBytes(bytes);
                break;
            case TCellKind::Integer:
                result->AppendInteger(cell.Integer);
                break;
            case TCellKind::Double:
                result->AppendDouble(cell.Double);
                break;
            case TCellKind::Boolean:
                result->AppendBoolean(cell.Integer != 0);
                break;
            case TCellKind::DateTime:
                result->AppendDateTime(QDateTime::fromMSecsSinceEpoch(cell.Integer, Qt::UTC));
                break;
            }
        }
        result->EndRow();
    }
    result->Squeeze();
    return result;
}
