#pragma once
// Reading grid data back into a grid's record set: the import base walks the records and columns
// that receive values (the current record on, the selected records or cells, or new records), and
// its two readers turn tab-separated windows-1251 text or the typed "VCLDBIF" stream into one value
// per cell. Paste from the clipboard uses them.

#include "TColumnEh.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;
class TCustomDBGridEh;
class TField;
class Exception;

class TDBGridEhImport
{
public:
    TDBGridEhImport();
    virtual ~TDBGridEhImport();
    TDBGridEhImport(const TDBGridEhImport&) = delete;
    TDBGridEhImport& operator=(const TDBGridEhImport&) = delete;

    TCustomDBGridEh* TargetGrid = nullptr;
    QIODevice* SourceStream = nullptr;
    TColumnsEhList ImportColumns;
    bool EndOfSource = false;

    // Reads what precedes the records.
    virtual void ReadPrefix() {}
    // After the last record.
    virtual void FinishReading() {}
    // Reads one source record into the current record.
    virtual void LoadRow(const TColumnsEhList& columns);
    // Reads one source value into the column's field.
    virtual void LoadCell(TColumnEh* /*column*/) {}

    // Writes the source into the grid's record set; importAll starts at the first record and the
    // first visible column whatever the selection.
    virtual void ImportFromSource(QIODevice* stream, bool importAll);
    void ImportFile(const QString& fileName, bool importAll);

protected:
    // The field a column's value goes to: its own, or for a lookup field the key field it looks up
    // by. None when the column cannot be modified or has no such field.
    static TField* TargetField(TColumnEh* column);
    // Puts the field's record into edit state when its record set can be modified; whether the
    // record is now being edited or inserted.
    static bool PrepareEdit(TField* field);
    // A failed assignment: asks the user (unless all errors are ignored) whether to go on.
    // Returns normally to go on; raises EAbort when the user stops the import.
    static void HandleAssignError(const Exception& error, bool& ignoreAllErrors);

private:
    void InsertingPass(bool appendMode);
};

class TDBGridEhImportAsText : public TDBGridEhImport
{
public:
    char CurrentChar = 0;
    // 0 ordinary character, 1 tab, 2 line end (CR LF), 3 end of source.
    int CurrentClass = 3;
    QString PendingText;
    bool IgnoreAllErrors = false;

    void ReadPrefix() override;
    void LoadRow(const TColumnsEhList& columns) override;
    void LoadCell(TColumnEh* column) override;
    void ImportFromSource(QIODevice* stream, bool importAll) override;

protected:
    // One byte; never the stream's last byte, which is the text's terminating zero.
    bool ReadByte(char& byte);
    void CheckState();
    void ReadCellText();
};

class TDBGridEhImportAsVCLDBIF : public TDBGridEhImport
{
public:
    struct TSourceFieldEh
    {
        QString Name;
        quint8 Visible = 0;
    };

    QByteArray Header;
    bool IgnoreAllErrors = false;
    // nullopt: no value (the cell stays as it is); a null QVariant: the field is cleared; else a
    // qint32, a double, a QString (text) or a QByteArray (raw bytes).
    std::optional<QVariant> PendingValue;
    std::unique_ptr<std::vector<TSourceFieldEh>> SourceFieldNames;
    bool HasFieldNames = false;

    void ReadPrefix() override;
    void LoadRow(const TColumnsEhList& columns) override;
    void LoadCell(TColumnEh* column) override;
    void ImportFromSource(QIODevice* stream, bool importAll) override;

    int SourceColumnCount() const;

protected:
    void ReadValue();
    void ReadExactly(char* data, qint64 count);
};

// Assigns a typed value as a field of another type takes it (a null clears the field).
void AssignVariantEh(TField* field, const QVariant& value);

using TDBGridEhImportClass = std::unique_ptr<TDBGridEhImport> (*)();
template <class T>
std::unique_ptr<TDBGridEhImport> ImportClassEh()
{
    return std::make_unique<T>();
}

void ImportGridFromStream(TDBGridEhImportClass importClass, TCustomDBGridEh* grid, QIODevice* stream, bool importAll);

// The box that asks whether to go on after a value could not be assigned. Tests replace it.
enum TImportErrorAnswerEh
{
    iaeYes,
    iaeNo,
    iaeAll
};
using TImportErrorBoxEh = std::function<TImportErrorAnswerEh(const QString& message)>;
void SetImportErrorBoxEh(TImportErrorBoxEh box);
TImportErrorAnswerEh ImportErrorBoxEh(const QString& message);
