#pragma once
// Reads Microsoft Jet database files (.mdb, .accdb) of every version mdbtools knows, read-only
// through its library: Jet 3 and Jet 4 (Access 97 to 2003), ACE 12, 14, 15, 16 and 17 (Access 2007
// to 2019). Rows are read straight from the table's data pages and filtered with our own matcher
// while they are read, so the statement dialect and the matching rules are those of every other
// engine. Jet 3 files carry no code page: their text is read as windows-1251 unless the
// environment variable MDB_JET3_CHARSET names another (an iconv name such as "CP1252").

#include "TDirectoryEngine.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>

class TJetEngine : public TDirectoryEngine
{
public:
    // Opens the file; throws EDatabaseError when it is missing, not a Jet file, of a version
    // that cannot be read, or damaged.
    explicit TJetEngine(const QString& path);
    ~TJetEngine() override;
    TJetEngine(const TJetEngine&) = delete;
    TJetEngine& operator=(const TJetEngine&) = delete;

    std::unique_ptr<TResultTable> Select(const TSelectStatement& statement) override;

    // The file's version as its header gives it, e.g. "ACE 14 (Access 2010)".
    QString FormatName() const;

    // The user tables, in the file's catalog order.
    QStringList TableNames() const;

    // Whether the first bytes of a file ("Standard Jet DB" or "Standard ACE DB" at offset 4)
    // name it as a database this engine reads.
    static bool IsJetHeader(QByteArrayView firstBytes);

private:
    struct TImpl;
    std::unique_ptr<TImpl> d;
};
