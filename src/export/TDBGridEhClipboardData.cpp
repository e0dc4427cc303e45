#include "TDBGridEhClipboardData.h"

#include "Exception.h"
#include "TDBGridEhClipboard.h"
#include "TDBGridEhExportAsRTF.h"
#include "TDBGridEhExportAsText.h"
#include "TDBGridEhExportAsVCLDBIF.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QStringDecoder>

namespace {

// The UTF-8 of each windows-1251 byte, as the decoder gives it (a single-byte code: each byte
// decodes alone to what it decodes to in any text).
struct TUtf8OfAnsiEh
{
    std::array<std::array<char, 4>, 256> Bytes{};
    std::array<unsigned char, 256> Length{};

    TUtf8OfAnsiEh()
    {
        QStringDecoder decoder("windows-1251");
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            const QByteArray utf8 = QString(decoder.decode(QByteArrayView(&byte, 1))).toUtf8();
            Length[std::size_t(b)] = static_cast<unsigned char>(std::min<qsizetype>(utf8.size(), 4));
            std::copy_n(utf8.constData(), Length[std::size_t(b)], Bytes[std::size_t(b)].begin());
        }
    }
};

const TUtf8OfAnsiEh& Utf8OfAnsi()
{
    static const TUtf8OfAnsiEh table;
    return table;
}

void AppendUtf8OfAnsi(QByteArray& out, const char* data, qsizetype size)
{
    const TUtf8OfAnsiEh& table = Utf8OfAnsi();
    // At most three UTF-8 bytes per windows-1251 byte; usually far fewer, as most are ASCII.
    qsizetype at = out.size();
    out.resize(at + size * 3);
    char* p = out.data() + at;
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (b < 0x80) {
            *p++ = char(b);
            continue;
        }
        const unsigned char n = table.Length[b];
        std::copy_n(table.Bytes[b].begin(), n, p);
        p += n;
    }
    out.resize(p - out.constData());
}

// A write-only device that turns the windows-1251 bytes written to it into UTF-8 in a byte array:
// an export written through it needs no copy of its own.
class TUtf8FromAnsiDeviceEh : public QIODevice
{
public:
    explicit TUtf8FromAnsiDeviceEh(QByteArray& target) : fTarget(target) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        AppendUtf8OfAnsi(fTarget, data, qsizetype(size));
        return size;
    }

private:
    QByteArray& fTarget;
};

// The first size bytes of the array, sharing its memory (no copy). The bytes after them must
// start with a zero, as every byte array's text does.
QByteArray SharedPrefix(QByteArray bytes, qsizetype size)
{
    Q_ASSERT(size <= bytes.size() && bytes.constData()[size] == '\0');
    // The copy shares the memory; only its length changes (data_ptr does not detach).
    bytes.data_ptr().size = size;
    return bytes;
}

QByteArray ExportBytes(const TGridSnapshotEh& snapshot, TDBGridEhExportClass exportClass, bool terminate)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    snapshot.Export(exportClass, &buffer);
    buffer.close();
    if (terminate)
        bytes.append('\0');
    return bytes;
}

} // namespace

QByteArray Utf8FromWindows1251(QByteArrayView ansi)
{
    QByteArray out;
    AppendUtf8OfAnsi(out, ansi.data(), ansi.size());
    return out;
}

TDBGridEhClipboardData::TDBGridEhClipboardData(std::unique_ptr<TGridSnapshotEh> snapshot)
    : fSnapshot(std::move(snapshot))
{
    // The kept rows do not outlive the program's widgets: what the desktop may still ask for
    // once the program ends is written before.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
            QClipboard* clipboard = QGuiApplication::clipboard();
            if (clipboard->ownsClipboard() && clipboard->mimeData() == this)
                MakeAll();
            fSnapshot.reset();
        });
}

TDBGridEhClipboardData::~TDBGridEhClipboardData() = default;

QStringList TDBGridEhClipboardData::formats() const
{
    // The names in the order the copy has always placed them.
    QStringList names;
    if (RunsOnNTFamily())
        names << QStringLiteral("text/plain");
    names << WindowsMimeTypeEh(CsvClipboardFormat) << QStringLiteral("text/csv")
          << WindowsMimeTypeEh(RtfClipboardFormat) << QStringLiteral("text/rtf") << QStringLiteral("text/richtext")
          << WindowsMimeTypeEh(InternalClipboardFormat);
    return names;
}

bool TDBGridEhClipboardData::hasFormat(const QString& mimeType) const
{
    return formats().contains(mimeType);
}

QVariant TDBGridEhClipboardData::retrieveData(const QString& mimeType, QMetaType /*type*/) const
{
    TPart part;
    bool withoutZero = false;
    if (mimeType == QLatin1String("text/plain") && RunsOnNTFamily())
        part = cpText;
    else if (mimeType == WindowsMimeTypeEh(CsvClipboardFormat))
        part = cpCsv;
    else if (mimeType == QLatin1String("text/csv"))
        part = cpCsvUtf8;
    else if (mimeType == WindowsMimeTypeEh(RtfClipboardFormat))
        part = cpRtf;
    else if (mimeType == QLatin1String("text/rtf") || mimeType == QLatin1String("text/richtext")) {
        part = cpRtf;
        withoutZero = true;
    } else if (mimeType == WindowsMimeTypeEh(InternalClipboardFormat))
        part = cpVclDbif;
    else
        return {};
    QByteArray bytes;
    try {
        bytes = Part(part);
    } catch (...) {
        // Asked for by the desktop's event handling: a representation that cannot be written is
        // not served, and may be asked for again.
        return {};
    }
    // Text is asked for as a string too; QMimeData reads these bytes as UTF-8 for it.
    if (withoutZero && !bytes.isEmpty())
        return SharedPrefix(bytes, bytes.size() - 1);
    return bytes;
}

QByteArray TDBGridEhClipboardData::Part(TPart part) const
{
    if (fWrites[part] == 0 || fParts[part].isNull()) {
        ++fWrites[part];
        fParts[part] = Write(part);
    }
    return fParts[part];
}

QByteArray TDBGridEhClipboardData::Write(TPart part) const
{
    if (!fSnapshot)
        throw Exception(QStringLiteral("Копия таблицы больше недоступна"));
    switch (part) {
    case cpText: {
        QByteArray bytes;
        TUtf8FromAnsiDeviceEh device(bytes);
        fSnapshot->Export(&ExportClassEh<TDBGridEhExportAsText>, &device);
        if (bytes.isNull())
            bytes = QByteArray("");
        return bytes;
    }
    case cpCsv:
        return ExportBytes(*fSnapshot, &ExportClassEh<TDBGridEhExportAsCSV>, true);
    case cpCsvUtf8: {
        QByteArray bytes;
        if (fWrites[cpCsv] > 0 && !fParts[cpCsv].isNull()) {
            bytes = Utf8FromWindows1251(QByteArrayView(fParts[cpCsv]).chopped(1));
        } else {
            TUtf8FromAnsiDeviceEh device(bytes);
            fSnapshot->Export(&ExportClassEh<TDBGridEhExportAsCSV>, &device);
        }
        if (bytes.isNull())
            bytes = QByteArray("");
        return bytes;
    }
    case cpRtf:
        return ExportBytes(*fSnapshot, &ExportClassEh<TDBGridEhExportAsRTF>, true);
    case cpVclDbif: {
        QByteArray bytes = ExportBytes(*fSnapshot, &ExportClassEh<TDBGridEhExportAsVCLDBIF>, false);
        if (bytes.isNull())
            bytes = QByteArray("");
        return bytes;
    }
    case cpPartCount:
        break;
    }
    return {};
}

void TDBGridEhClipboardData::MakeAll()
{
    if (!fSnapshot)
        return;
    for (int part = 0; part < cpPartCount; ++part) {
        try {
            Part(TPart(part));
        } catch (...) {
            // Not served then; the others still are.
        }
    }
    fSnapshot.reset();
}
