#pragma once
// The clipboard data of a grid copy, made when a program asks for it: the copy keeps the exported
// rows (TGridSnapshotEh), and each representation is written the first time any of its names is
// asked for, kept, and handed out as the same bytes under every name it goes by.

#include "TGridSnapshotEh.h"

#include <QByteArray>
#include <QMimeData>
#include <QStringList>

#include <array>
#include <memory>

class TDBGridEhClipboardData : public QMimeData
{
public:
    // The representations, each written once.
    enum TPart
    {
        cpText,    // the text export as UTF-8: text/plain
        cpCsv,     // the CSV export in windows-1251 with a terminating zero: "Csv"
        cpCsvUtf8, // the CSV export as UTF-8: text/csv
        cpRtf,     // the RTF export with a terminating zero: "Rich Text Format"; text/rtf and
                   // text/richtext without the zero
        cpVclDbif, // the "VCLDBIF" stream
        cpPartCount
    };

    explicit TDBGridEhClipboardData(std::unique_ptr<TGridSnapshotEh> snapshot);
    ~TDBGridEhClipboardData() override;

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

    // The bytes of a representation, written now if not yet; throws when writing fails.
    QByteArray Part(TPart part) const;
    bool PartMade(TPart part) const { return !fParts[part].isNull(); }
    // How often a representation was written (once at most, unless writing failed).
    int PartWrites(TPart part) const { return fWrites[part]; }
    // Writes every representation not yet written; the kept rows are then let go.
    void MakeAll();
    const TGridSnapshotEh* Snapshot() const { return fSnapshot.get(); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    QByteArray Write(TPart part) const;

    std::unique_ptr<TGridSnapshotEh> fSnapshot;
    mutable std::array<QByteArray, cpPartCount> fParts;
    mutable std::array<int, cpPartCount> fWrites{};
};

// Bytes in windows-1251 as UTF-8, the characters as the windows-1251 decoder gives them.
QByteArray Utf8FromWindows1251(QByteArrayView ansi);
