#include "TColumnEh.h"

#include "TColumnsOwnerEh.h"

// ---------------------------------------------------------------------------------------------
// TColumnFooterEh

TColumnFooterEh::TColumnFooterEh(TColumnEh* column) : fColumn(column) {}

void TColumnFooterEh::Assign(const TColumnFooterEh& source)
{
    fAlignment = source.fAlignment;
    fAlignmentExplicit = source.fAlignmentExplicit;
    fColor = source.fColor;
    fColorExplicit = source.fColorExplicit;
    fFont = source.fFont;
    fFontExplicit = source.fFontExplicit;
    fFieldName = source.fFieldName;
    fValueType = source.fValueType;
    fValue = source.fValue;
}

void TColumnFooterEh::Changed()
{
    fColumn->Changed(true);
}

TAlignment TColumnFooterEh::Alignment() const
{
    if (fAlignmentExplicit)
        return fAlignment;
    const TField* f = fColumn->Field();
    return f ? f->Alignment() : taLeftJustify;
}

void TColumnFooterEh::SetAlignment(TAlignment value)
{
    fAlignment = value;
    fAlignmentExplicit = true;
    Changed();
}

TColor TColumnFooterEh::Color() const
{
    if (fColorExplicit)
        return fColor;
    const TColumnsOwnerEh* g = fColumn->Grid();
    return g ? g->FooterColor() : clWindow;
}

void TColumnFooterEh::SetColor(TColor value)
{
    fColor = value;
    fColorExplicit = true;
    Changed();
}

const TFontEh& TColumnFooterEh::Font() const
{
    if (!fFontExplicit) {
        const TColumnsOwnerEh* g = fColumn->Grid();
        const TFontEh def = g ? g->FooterFont() : fColumn->Font();
        if (!(fFont == def))
            fFont = def;
    }
    return fFont;
}

void TColumnFooterEh::SetFont(const TFontEh& value)
{
    fFont = value;
    fFontExplicit = true;
    Changed();
}

void TColumnFooterEh::SetFieldName(const QString& value)
{
    fFieldName = value;
    Changed();
}

void TColumnFooterEh::SetValueType(TFooterValueType value)
{
    fValueType = value;
    Changed();
}

void TColumnFooterEh::SetValue(const QString& value)
{
    fValue = value;
    Changed();
}

void TColumnFooterEh::RestoreDefaults()
{
    fAlignmentExplicit = fColorExplicit = fFontExplicit = false;
}

TColumnFooterEh* TColumnFootersEh::Add()
{
    fItems.push_back(std::make_unique<TColumnFooterEh>(fColumn));
    return fItems.back().get();
}
