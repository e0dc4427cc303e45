#pragma once
// The grid's own clipboard format "VCLDBIF": typed field values, so that a paste into another grid
// gets numbers as numbers. Little-endian: signature, version 1, column count, one descriptor per
// column, then per record one tagged value per column, and a closing 0.

#include "TByteWriterEh.h"
#include "TDBGridEhExport.h"

enum TVclDbifTagEh : char
{
    vdtEnd = 0,
    vdtNoValue = 1, // no field, or a type that does not travel
    vdtNull = 2,
    vdtInteger = 3, // signed 32-bit
    vdtFloat = 4,   // IEEE 754 double
    vdtText = 5,    // 32-bit length, windows-1251 bytes
    vdtBytes = 6    // 32-bit length, raw bytes
};

// The tag a non-null value of a field type travels under.
TVclDbifTagEh VclDbifTagOf(TFieldType type);

// "VCLDBIF", version 1, the column count.
void WriteVclDbifHeader(TByteWriterEh& w, qint32 columnCount);
// A column descriptor: visibility, then an empty zero-terminated field name.
void WriteVclDbifColumn(TByteWriterEh& w, bool visible);
void WriteVclDbifTag(TByteWriterEh& w, TVclDbifTagEh tag);
void WriteVclDbifInteger(TByteWriterEh& w, qint32 value);
void WriteVclDbifFloat(TByteWriterEh& w, double value);
void WriteVclDbifText(TByteWriterEh& w, QStringView text);
void WriteVclDbifBytes(TByteWriterEh& w, QByteArrayView bytes);

class TDBGridEhExportAsVCLDBIF : public TDBGridEhExport
{
public:
    void BeginDocument() override;
    void EndDocument() override;
    void EmitDataCell(TColumnEh* column, TColCellParamsEh& params) override;
    // Values travel as the field holds them: the display text is not needed.
    void EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8) override;
    TCellParamsUse Utf8CellParamsUse() const override { return TCellParamsUse::None; }
};
