#pragma once
// The grid's columns: which field a column shows and how. Most properties have no value of their
// own until assigned; until then they follow a default from the bound field, the grid or the
// grid's column defaults, evaluated at the moment of reading. Also here: the column's title and
// footers, the column collection, the non-owning column list that painting and exporters walk, and
// the per-cell parameter record.

#include "TColor.h"
#include "TFontEh.h"
#include "TGridTypesEh.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QMenu;
class TField;
class TColumnEh;
class TDBGridColumnEh;
class TDBGridColumnsEh;
class TColumnsOwnerEh;
class TImageListEh;

// One flag per property that can follow a default, in this order.
enum TColumnEhValue
{
    cvColor,
    cvWidth,
    cvFont,
    cvAlignment,
    cvReadOnly,
    cvTitleColor,
    cvTitleCaption,
    cvTitleAlignment,
    cvTitleFont,
    cvTitleButton,
    cvTitleEndEllipsis,
    cvTitleToolTips,
    cvTitleOrientation,
    cvImeMode,
    cvImeName,
    cvWordWrap,
    cvLookupDisplayFields,
    cvCheckboxes,
    cvAlwaysShowEditButton,
    cvEndEllipsis,
    cvAutoDropDown,
    cvDblClickNextVal,
    cvToolTips,
    cvDropDownSizing,
    cvDropDownShowTitles,
    cvLayout,
    cvHighlightRequired
};
using TColumnEhValues = TEnumSetEh<TColumnEhValue, 27>;

// Parameters of one cell for drawing or export.
struct TColCellParamsEh
{
    TAlignment Alignment = taLeftJustify;
    TColor Background = clWindow;
    TCheckBoxState BoxState = cbUnchecked;
    int Col = -1;
    TFontEh* Font = nullptr; // not owned
    int ImageIndex = -1;
    bool ReadOnly = false;
    int Row = -1;
    TGridDrawState State;
    QString Text;
};

// A list of column references that owns nothing.
class TColumnsEhList
{
public:
    int Count() const { return int(fItems.size()); }
    TColumnEh* Items(int index) const { return fItems.at(std::size_t(index)); }
    TColumnEh* operator[](int index) const { return Items(index); }
    void SetItem(int index, TColumnEh* column) { fItems.at(std::size_t(index)) = column; }
    int Add(TColumnEh* column)
    {
        fItems.push_back(column);
        return Count() - 1;
    }
    void Insert(int index, TColumnEh* column) { fItems.insert(fItems.begin() + index, column); }
    int IndexOf(const TColumnEh* column) const;
    int Remove(const TColumnEh* column);
    void Delete(int index) { fItems.erase(fItems.begin() + index); }
    void Clear() { fItems.clear(); }
    auto begin() const { return fItems.begin(); }
    auto end() const { return fItems.end(); }

private:
    std::vector<TColumnEh*> fItems;
};

// The title cell of a column.
class TColumnTitleEh
{
public:
    explicit TColumnTitleEh(TColumnEh* column);
    virtual ~TColumnTitleEh() = default;
    TColumnTitleEh(const TColumnTitleEh&) = delete;
    TColumnTitleEh& operator=(const TColumnTitleEh&) = delete;

    TColumnEh* Column() const { return fColumn; }
    void Assign(const TColumnTitleEh& source);

    TAlignment Alignment() const;
    void SetAlignment(TAlignment value);
    QString Caption() const;
    virtual void SetCaption(const QString& value);
    TColor Color() const;
    void SetColor(TColor value);
    bool EndEllipsis() const;
    void SetEndEllipsis(bool value);
    const TFontEh& Font() const;
    void SetFont(const TFontEh& value);
    const QString& Hint() const { return fHint; }
    void SetHint(const QString& value) { fHint = value; }
    int ImageIndex() const { return fImageIndex; }
    void SetImageIndex(int value);
    TTextOrientationEh Orientation() const;
    void SetOrientation(TTextOrientationEh value);
    int SortIndex() const { return fSortIndex; }
    void SetSortIndex(int value);
    TSortMarkerEh SortMarker() const { return fSortMarker; }
    void SetSortMarker(TSortMarkerEh value);
    bool TitleButton() const;
    void SetTitleButton(bool value);
    bool ToolTips() const;
    void SetToolTips(bool value);

    QString DefaultCaption() const;
    TAlignment DefaultAlignment() const;
    TColor DefaultColor() const;
    TFontEh DefaultFont() const;
    bool DefaultEndEllipsis() const;
    TTextOrientationEh DefaultOrientation() const;
    bool DefaultTitleButton() const;
    bool DefaultToolTips() const;

    virtual void RestoreDefaults();

private:
    friend class TColumnEh;
    bool IsExplicit(TColumnEhValue v) const;
    void MarkExplicit(TColumnEhValue v);

    TColumnEh* fColumn;
    TAlignment fAlignment = taLeftJustify;
    QString fCaption;
    TColor fColor = clBtnFace;
    bool fEndEllipsis = false;
    mutable TFontEh fFont;
    QString fHint;
    int fImageIndex = -1;
    TTextOrientationEh fOrientation = tohHorizontal;
    int fSortIndex = 0;
    TSortMarkerEh fSortMarker = smNoneEh;
    bool fTitleButton = false;
    bool fToolTips = false;
};

// A footer cell of a column (the grid of this program shows no footer rows).
class TColumnFooterEh
{
public:
    explicit TColumnFooterEh(TColumnEh* column);
    TColumnEh* Column() const { return fColumn; }
    void Assign(const TColumnFooterEh& source);

    TAlignment Alignment() const;
    void SetAlignment(TAlignment value);
    TColor Color() const;
    void SetColor(TColor value);
    const TFontEh& Font() const;
    void SetFont(const TFontEh& value);
    const QString& FieldName() const { return fFieldName; }
    void SetFieldName(const QString& value);
    TFooterValueType ValueType() const { return fValueType; }
    void SetValueType(TFooterValueType value);
    // Text of a static-text footer.
    const QString& Value() const { return fValue; }
    void SetValue(const QString& value);
    void RestoreDefaults();

private:
    void Changed();
    TColumnEh* fColumn;
    TAlignment fAlignment = taLeftJustify;
    bool fAlignmentExplicit = false;
    TColor fColor = clWindow;
    bool fColorExplicit = false;
    mutable TFontEh fFont;
    bool fFontExplicit = false;
    QString fFieldName;
    TFooterValueType fValueType = fvtNon;
    QString fValue;
};

// The footers of a column, one per footer row where given.
class TColumnFootersEh
{
public:
    explicit TColumnFootersEh(TColumnEh* column) : fColumn(column) {}
    int Count() const { return int(fItems.size()); }
    TColumnFooterEh* Items(int index) const { return fItems.at(std::size_t(index)).get(); }
    TColumnFooterEh* Add();
    void Clear() { fItems.clear(); }

private:
    TColumnEh* fColumn;
    std::vector<std::unique_ptr<TColumnFooterEh>> fItems;
};

// Handler types of columns.
using TGetColCellParamsEventEh = std::function<void(TColumnEh* sender, bool editMode, TColCellParamsEh& params)>;
using TColCheckDrawRequiredStateEventEh = std::function<void(TColumnEh* sender, const QString& text, bool& drawState)>;
using TColumnNotifyEventEh = std::function<void(TColumnEh* sender)>;

// One column of a grid.
class TColumnEh
{
public:
    explicit TColumnEh(TDBGridColumnsEh* collection);
    virtual ~TColumnEh();
    TColumnEh(const TColumnEh&) = delete;
    TColumnEh& operator=(const TColumnEh&) = delete;

    // Collection item.
    TDBGridColumnsEh* Collection() const { return fCollection; }
    int Index() const;
    virtual void SetIndex(int value);
    virtual QString DisplayName() const;
    virtual void Assign(const TColumnEh& source);

    TColumnsOwnerEh* Grid() const;
    // The bound field, resolved by name on demand; none while the record set has no such field.
    TField* Field() const;
    virtual void BindField(TField* field);
    // Forgets the bound field (and cached values) so that the next use resolves it by name again.
    void DropField();
    virtual bool IsDefaultColumn() const { return !fPersistent; }
    bool IsPersistent() const { return fPersistent; }

    // Properties.
    TAlignment Alignment() const;
    virtual void SetAlignment(TAlignment value);
    bool AlwaysShowEditButton() const;
    void SetAlwaysShowEditButton(bool value);
    bool AutoDropDown() const;
    void SetAutoDropDown(bool value);
    bool AutoFitColWidth() const { return fAutoFitColWidth; }
    virtual void SetAutoFitColWidth(bool value);
    TBiDiModeEh BiDiMode() const { return fBiDiMode; }
    void SetBiDiMode(TBiDiModeEh value); // published, unused yet
    TColumnButtonStyleEh ButtonStyle() const { return fButtonStyle; }
    void SetButtonStyle(TColumnButtonStyleEh value); // published, unused yet
    bool Checkboxes() const;
    void SetCheckboxes(bool value);
    TColor Color() const;
    void SetColor(TColor value);
    bool DblClickNextVal() const;
    void SetDblClickNextVal(bool value);
    const QString& DisplayFormat() const { return fDisplayFormat; }
    void SetDisplayFormat(const QString& value);
    int DropDownRows() const { return fDropDownRows; }
    void SetDropDownRows(int value) { fDropDownRows = value; } // published, unused yet
    bool DropDownShowTitles() const;
    void SetDropDownShowTitles(bool value);
    bool DropDownSizing() const;
    void SetDropDownSizing(bool value);
    int DropDownWidth() const { return fDropDownWidth; }
    void SetDropDownWidth(int value) { fDropDownWidth = value; } // published, unused yet
    const QString& EditMask() const { return fEditMask; }
    void SetEditMask(const QString& value) { fEditMask = value; } // published, unused yet
    bool EndEllipsis() const;
    void SetEndEllipsis(bool value);
    const QString& FieldName() const { return fFieldName; }
    void SetFieldName(const QString& value);
    const TFontEh& Font() const;
    void SetFont(const TFontEh& value);
    TColumnFooterEh* Footer() const { return fFooter.get(); }
    TColumnFootersEh* Footers() const { return fFooters.get(); }
    // The footer of footer row i: Footers item i when it exists, else Footer.
    TColumnFooterEh* UsedFooter(int index) const;
    bool HideDuplicates() const { return fHideDuplicates; }
    virtual void SetHideDuplicates(bool value);
    bool HighlightRequired() const;
    virtual void SetHighlightRequired(bool value);
    TImageListEh* ImageList() const { return fImageList; }
    void SetImageList(TImageListEh* value); // published, unused yet
    TImeModeEh ImeMode() const;
    virtual void SetImeMode(TImeModeEh value);
    QString ImeName() const;
    virtual void SetImeName(const QString& value);
    double Increment() const { return fIncrement; }
    void SetIncrement(double value) { fIncrement = value; } // published, unused yet
    const QStringList& KeyList() const { return fKeyList; }
    void SetKeyList(const QStringList& value);
    TTextLayout Layout() const;
    void SetLayout(TTextLayout value);
    QString LookupDisplayFields() const;
    virtual void SetLookupDisplayFields(const QString& value);
    int MaxWidth() const { return fMaxWidth; }
    void SetMaxWidth(int value);
    int MinWidth() const { return fMinWidth; }
    void SetMinWidth(int value);
    int NotInKeyListIndex() const { return fNotInKeyListIndex; }
    void SetNotInKeyListIndex(int value);
    const QStringList& PickList() const { return fPickList; }
    void SetPickList(const QStringList& value);
    QMenu* PopupMenu() const { return fPopupMenu; }
    void SetPopupMenu(QMenu* value) { fPopupMenu = value; } // published, unused yet
    bool ReadOnly() const;
    virtual void SetReadOnly(bool value);
    bool ShowImageAndText() const { return fShowImageAndText; }
    void SetShowImageAndText(bool value);
    int Tag() const { return fTag; }
    void SetTag(int value) { fTag = value; } // published, unused yet
    TColumnTitleEh* Title() const { return fTitle.get(); }
    bool ToolTips() const;
    void SetToolTips(bool value);
    bool Visible() const { return fVisible; }
    void SetVisible(bool value);
    int Width() const;
    virtual void SetWidth(int value);
    bool WordWrap() const;
    virtual void SetWordWrap(bool value);

    // Width the auto-fit scales from, and its per-fit out-of-range mark.
    int BasisWidth() const { return fBasisWidth; }
    void SetBasisWidth(int value) { fBasisWidth = value; }
    bool OutOfWidthRange() const { return fOutOfWidthRange; }
    void SetOutOfWidthRange(bool value) { fOutOfWidthRange = value; }

    // Which properties were assigned (and no longer follow their defaults).
    TColumnEhValues ExplicitValues() const { return fExplicit; }

    // Defaults the properties follow while not assigned.
    int FallbackWidth() const;
    TAlignment DefaultAlignment() const;
    TColor DefaultColor() const;
    TFontEh DefaultFont() const;
    bool DefaultReadOnly() const;
    bool DefaultCheckboxes() const;
    bool DefaultWordWrap() const;
    QString DefaultLookupDisplayFields() const;
    TImeModeEh DefaultImeMode() const;
    QString DefaultImeName() const;

    // Cell values of the current record.
    TColumnEhType CellKind() const;
    QString CellDisplayText() const;
    // Whether CellDisplayText is the field's own DisplayText, unchanged (no key list, display
    // format, image-only kind or memo text): readers may then take the text from the field.
    bool CellTextIsFieldText() const;
    int GetCellImageIndex() const;
    TCheckBoxState GetCellCheckState() const;
    void FillCellParams(TColCellParamsEh& params) const;
    virtual void FireColumnCellParams(bool editMode, TColCellParamsEh& params);
    // Asks the grid to fit this column to its contents.
    virtual void OptimizeWidth();
    virtual void RestoreDefaults();
    virtual bool UseRightToLeftAlignment() const;

    // Events.
    TGetColCellParamsEventEh OnGetCellParams;
    TColCheckDrawRequiredStateEventEh OnCheckDrawRequiredState;
    TColumnNotifyEventEh OnUpdateData;
    std::function<void(TColumnEh* sender, const QString& text, bool& accept)> OnNotInList;

protected:
    // Reports a change of this column (allItems false) or of all columns to the collection.
    void Changed(bool allItems);
    bool IsExplicit(TColumnEhValue v) const { return fExplicit.Contains(v); }
    void MarkExplicit(TColumnEhValue v) { fExplicit.Include(v); }
    // Assigns a property that follows a default until assigned: stores the value and marks it
    // assigned; false when it already was assigned this value (nothing to report).
    template <class T>
    bool AssignExplicit(TColumnEhValue v, T& field, const T& value)
    {
        if (IsExplicit(v) && value == field)
            return false;
        field = value;
        MarkExplicit(v);
        return true;
    }
    // Whether the grid is loading a stored layout (nothing is reported meanwhile).
    bool GridLoading() const;

private:
    friend class TColumnTitleEh;
    friend class TColumnFooterEh;
    friend class TDBGridColumnsEh;
    void SetPersistent(bool value) { fPersistent = value; }
    void ResolveField() const;
    TDataSet* GridDataSet() const;
    bool IsDefaultColumnWriteThrough() const;

    TDBGridColumnsEh* fCollection;
    bool fPersistent = true;
    TColumnEhValues fExplicit;
    mutable TField* fField = nullptr;
    QString fFieldName;

    TAlignment fAlignment = taLeftJustify;
    bool fAlwaysShowEditButton = false;
    bool fAutoDropDown = false;
    bool fAutoFitColWidth = true;
    TBiDiModeEh fBiDiMode = bdLeftToRight;
    TColumnButtonStyleEh fButtonStyle = cbsAuto;
    bool fCheckboxes = false;
    TColor fColor = clWindow;
    bool fDblClickNextVal = false;
    QString fDisplayFormat;
    int fDropDownRows = 7;
    bool fDropDownShowTitles = false;
    bool fDropDownSizing = false;
    int fDropDownWidth = 0;
    QString fEditMask;
    bool fEndEllipsis = false;
    mutable TFontEh fFont;
    std::unique_ptr<TColumnFooterEh> fFooter;
    std::unique_ptr<TColumnFootersEh> fFooters;
    bool fHideDuplicates = false;
    bool fHighlightRequired = false;
    TImageListEh* fImageList = nullptr;
    TImeModeEh fImeMode = imDontCare;
    QString fImeName;
    double fIncrement = 1.0;
    QStringList fKeyList;
    TTextLayout fLayout = tlTop;
    QString fLookupDisplayFields;
    int fMaxWidth = 0;
    int fMinWidth = 0;
    int fNotInKeyListIndex = -1;
    QStringList fPickList;
    QMenu* fPopupMenu = nullptr;
    bool fReadOnly = false;
    bool fShowImageAndText = false;
    int fTag = 0;
    std::unique_ptr<TColumnTitleEh> fTitle;
    bool fToolTips = false;
    bool fVisible = true;
    int fWidth = 64;
    bool fWordWrap = false;

    int fBasisWidth = 0;
    bool fOutOfWidthRange = false;
};

// The grid's column class; publishes the column's properties and adds no state.
class TDBGridColumnEh : public TColumnEh
{
public:
    using TColumnEh::TColumnEh;
};

enum TDBGridColumnsState
{
    csDefault,
    csCustomized
};

// The grid's ordered column collection. Order in the collection is the order on screen.
class TDBGridColumnsEh
{
public:
    explicit TDBGridColumnsEh(TColumnsOwnerEh* grid);
    ~TDBGridColumnsEh();
    TDBGridColumnsEh(const TDBGridColumnsEh&) = delete;
    TDBGridColumnsEh& operator=(const TDBGridColumnsEh&) = delete;

    TColumnsOwnerEh* Grid() const { return fGrid; }
    // A new persistent column at the end, all values at their defaults. Default columns the grid
    // generated from fields make way for it.
    TDBGridColumnEh* Add();
    int Count() const { return int(fItems.size()); }
    TDBGridColumnEh* Items(int index) const;
    TDBGridColumnEh* operator[](int index) const { return Items(index); }
    int IndexOf(const TColumnEh* column) const;
    void Delete(int index);
    void Clear();
    // Moves a column to another place; the same as setting its Index.
    void Move(int fromIndex, int toIndex);

    // Customized when the first column is persistent, default otherwise. Setting the default state
    // drops every column; setting the customized state makes the present columns persistent.
    TDBGridColumnsState State() const;
    void SetState(TDBGridColumnsState state);
    void RestoreDefaults();

    // Changes are reported to the grid unless an update is in progress; ending the outermost
    // update reports one change of all columns.
    void BeginUpdate() { ++fUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return fUpdateCount; }

    // Reports a change of one column (or of all, for none) to the grid.
    void Update(TColumnEh* item);

    // Grid side: a column generated from a field (not persistent), inserted at index.
    TDBGridColumnEh* InsertDefault(int index);

private:
    friend class TColumnEh;
    void MoveItem(int fromIndex, int toIndex);

    TColumnsOwnerEh* fGrid;
    std::vector<std::unique_ptr<TDBGridColumnEh>> fItems;
    int fUpdateCount = 0;
};

// Asked for every cell painted or exported: inline.
inline TColumnsOwnerEh* TColumnEh::Grid() const
{
    return fCollection ? fCollection->Grid() : nullptr;
}

inline TField* TColumnEh::Field() const
{
    if (!fField)
        ResolveField();
    return fField;
}
