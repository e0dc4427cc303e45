#include "GridFixture.h"
#include "TDisplayFormatEh.h"

#include <gtest/gtest.h>

namespace {

// A grid (without a window) over a small result of typed fields.
struct TTypedGrid
{
    TMemDataSet Data{QStringLiteral("Data")};
    TDataSource Source;
    TDBGridEh Grid;

    TTypedGrid()
    {
        Data.SetFieldDefs({{QStringLiteral("name"), ftString, 20},
                           {QStringLiteral("flag"), ftBoolean},
                           {QStringLiteral("code"), ftInteger},
                           {QStringLiteral("yn"), ftString, 5}});
        Data.AddRow({QStringLiteral("Ivanov"), true, 0, QStringLiteral("YES")});
        Data.AddRow({QStringLiteral("Petrov"), QVariant(), 7, QStringLiteral("no")});
        Source.SetDataSet(&Data);
        Grid.SetDataSource(&Source);
    }
    ~TTypedGrid() { Data.Close(); }
    TColumnEh* Add(const char* field)
    {
        TColumnEh* c = Grid.Columns().Add();
        c->SetFieldName(QString::fromLatin1(field));
        return c;
    }
};

} // namespace

TEST(TColumnEh, DefaultsFollowFieldGridAndColumnDefaultsUntilAssigned)
{
    TTypedGrid t;
    TColumnEh* name = t.Add("name");
    TColumnEh* code = t.Add("code");
    t.Data.Open();

    EXPECT_EQ(name->Color(), clWindow);
    t.Grid.SetColor(clYellow);
    EXPECT_EQ(name->Color(), clYellow) << "follows the grid's later change";
    name->SetColor(clRed);
    t.Grid.SetColor(clAqua);
    EXPECT_EQ(name->Color(), clRed);
    EXPECT_TRUE(name->ExplicitValues().Contains(cvColor));

    EXPECT_EQ(code->Alignment(), taRightJustify) << "a numeric field aligns right";
    EXPECT_EQ(name->Alignment(), taLeftJustify);

    EXPECT_EQ(name->Title()->Caption(), QStringLiteral("name"));
    t.Data.FieldNamed(QStringLiteral("name"))->SetDisplayLabel(QStringLiteral("Имя"));
    EXPECT_EQ(name->Title()->Caption(), QStringLiteral("Имя"));
    EXPECT_EQ(name->Title()->Color(), clBtnFace);
    t.Grid.ColumnDefValues().Title().SetColor(clGray);
    EXPECT_EQ(name->Title()->Color(), clGray);
    EXPECT_EQ(name->Title()->Alignment(), taLeftJustify);
    t.Grid.SetUseMultiTitle(true);
    EXPECT_EQ(name->Title()->Alignment(), taCenter);

    TFontEh big = t.Grid.Font();
    big.Height = -20;
    t.Grid.SetFont(big);
    EXPECT_EQ(name->Font().Height, -20);
    EXPECT_EQ(name->Title()->Font().Height, -11) << "titles follow the title font";

    EXPECT_FALSE(name->EndEllipsis());
    t.Grid.ColumnDefValues().SetEndEllipsis(true);
    EXPECT_TRUE(name->EndEllipsis());
    EXPECT_EQ(name->Layout(), tlTop);

    EXPECT_FALSE(name->ReadOnly());
    t.Grid.SetReadOnly(true);
    EXPECT_TRUE(name->ReadOnly());

    name->RestoreDefaults();
    EXPECT_EQ(name->Color(), clAqua);
    EXPECT_TRUE(name->ExplicitValues().IsEmpty());
}

TEST(TColumnEh, FieldNameBindsCaseInsensitivelyAndTakesTheFieldsSpelling)
{
    TTypedGrid t;
    t.Data.Open();
    TColumnEh* c = t.Add("NAME");
    ASSERT_NE(c->Field(), nullptr);
    EXPECT_EQ(c->FieldName(), QStringLiteral("name"));

    TColumnEh* missing = t.Add("nosuch");
    EXPECT_EQ(missing->Field(), nullptr);
    EXPECT_EQ(missing->Title()->Caption(), QStringLiteral("nosuch"));
    EXPECT_EQ(missing->Width(), 64) << "an unbound column has the grid's default width";
    EXPECT_EQ(missing->CellDisplayText(), QString());
}

TEST(TColumnEh, WidthRulesFallbackAndLimits)
{
    TTypedGrid t;
    TColumnEh* c = t.Add("name");
    t.Data.Open();
    const TTextMetricEh m = t.Grid.CanvasTextMetrics(c->Font());
    const int fallback = m.ZeroWidth * 20 + 4;
    EXPECT_EQ(c->FallbackWidth(), fallback);
    c->SetWidth(fallback);
    EXPECT_FALSE(c->ExplicitValues().Contains(cvWidth)) << "assigning the fallback keeps following it";
    t.Data.FieldNamed(QStringLiteral("name"))->SetDisplayWidth(10);
    EXPECT_EQ(c->Width(), m.ZeroWidth * 10 + 4);

    c->SetWidth(-1);
    EXPECT_FALSE(c->ExplicitValues().Contains(cvWidth)) << "-1 stores nothing";

    struct Case
    {
        const char* name;
        int minWidth, maxWidth, assigned, expected;
    };
    const Case cases[] = {
        {"no limits", 0, 0, 90, 90},
        {"above the maximum", 0, 50, 60, 50},
        {"below the minimum", 80, 0, 60, 80},
        {"minimum wins over a smaller maximum", 80, 50, 60, 80},
    };
    for (const Case& k : cases) {
        TColumnEh* col = t.Add("code");
        col->SetMinWidth(k.minWidth);
        col->SetMaxWidth(k.maxWidth);
        col->SetWidth(k.assigned);
        EXPECT_EQ(col->Width(), k.expected) << k.name;
    }
}

TEST(TColumnEh, CellValuesFromPickListsKeyListsAndCheckStates)
{
    TTypedGrid t;
    TColumnEh* code = t.Add("code");
    TColumnEh* flag = t.Add("flag");
    TColumnEh* yn = t.Add("yn");
    t.Data.Open();

    code->SetKeyList({QStringLiteral("1"), QStringLiteral("0")});
    code->SetPickList({QStringLiteral("Yes"), QStringLiteral("No")});
    EXPECT_EQ(code->CellKind(), ctKeyPickList);
    EXPECT_EQ(code->CellDisplayText(), QStringLiteral("No")); // value 0
    EXPECT_EQ(code->GetCellImageIndex(), 1);
    t.Data.MoveNext(); // value 7: not in the key list
    EXPECT_EQ(code->CellDisplayText(), QString());
    EXPECT_EQ(code->GetCellImageIndex(), -1);
    code->SetNotInKeyListIndex(0);
    EXPECT_EQ(code->CellDisplayText(), QStringLiteral("Yes"));
    t.Data.MoveFirst();

    EXPECT_EQ(flag->CellKind(), ctCheckboxes) << "a Boolean field shows a check box";
    EXPECT_EQ(flag->GetCellCheckState(), cbChecked);
    yn->SetKeyList({QStringLiteral(" Y ; yes ;1"), QStringLiteral("N;no")});
    EXPECT_EQ(yn->GetCellCheckState(), cbChecked) << "YES matches yes, trimmed, any case";
    t.Data.MoveNext();
    EXPECT_EQ(flag->GetCellCheckState(), cbGrayed) << "a blank Boolean is grayed";
    EXPECT_EQ(yn->GetCellCheckState(), cbUnchecked);
    yn->SetKeyList({QStringLiteral("Y")});
    EXPECT_EQ(yn->GetCellCheckState(), cbGrayed) << "no second entry: not unchecked but grayed";

    TColCellParamsEh p;
    code->SetNotInKeyListIndex(-1);
    code->SetKeyList({});
    code->SetPickList({});
    code->SetDisplayFormat(QStringLiteral("000"));
    code->FillCellParams(p);
    EXPECT_EQ(p.Text, QStringLiteral("007"));
    EXPECT_EQ(p.Alignment, taRightJustify);
    EXPECT_EQ(p.Row, -1);
    EXPECT_EQ(p.Col, -1);
    EXPECT_EQ(p.ImageIndex, 7) << "an integer value is its own image index";
    EXPECT_EQ(p.Font, &code->Font());
    EXPECT_EQ(p.Background, clWindow);
}

TEST(TColumnsEhList, HoldsReferencesOnly)
{
    TTypedGrid t;
    TColumnEh* a = t.Add("name");
    TColumnEh* b = t.Add("code");
    TColumnsEhList list;
    list.Add(a);
    list.Add(b);
    list.Add(a);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.IndexOf(b), 1);
    list.SetItem(1, a);
    EXPECT_EQ(list.Remove(a), 0);
    EXPECT_EQ(list.Count(), 2);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(t.Grid.Columns().Count(), 2);
}

TEST(TDBGridColumnsEh, DefaultColumnsFollowFieldsPersistentColumnsKeepTheirOrder)
{
    TTypedGrid t;
    t.Data.Open();
    ASSERT_EQ(t.Grid.Columns().State(), csDefault);
    ASSERT_EQ(t.Grid.Columns().Count(), 4);
    EXPECT_EQ(t.Grid.Columns()[2]->FieldName(), QStringLiteral("code"));
    EXPECT_TRUE(t.Grid.Columns()[2]->IsDefaultColumn());
    t.Data.Close();
    EXPECT_EQ(t.Grid.Columns().Count(), 1) << "no fields: one unbound column";

    TColumnEh* c1 = t.Add("yn");
    TColumnEh* c2 = t.Add("name");
    EXPECT_EQ(t.Grid.Columns().State(), csCustomized);
    t.Data.Open();
    ASSERT_EQ(t.Grid.Columns().Count(), 2);
    EXPECT_EQ(t.Grid.Columns()[0], c1);
    EXPECT_EQ(t.Grid.Columns()[1], c2);
    EXPECT_EQ(t.Grid.DataLink()->MapCount(), 2);
    EXPECT_EQ(t.Grid.DataLink()->GetMappedIndex(0), 3);
    EXPECT_EQ(t.Grid.DataLink()->GetMappedIndex(1), 0);

    c1->SetVisible(false);
    EXPECT_EQ(t.Grid.VisibleColumnList().Count(), 1);
    EXPECT_EQ(t.Grid.VisibleColumnList()[0], c2);
    EXPECT_EQ(c1->Index(), 0) << "hiding keeps the collection order";
}

TEST(TColumnEh, GeneratedColumnsWriteThroughToTheirField)
{
    TTypedGrid t;
    t.Data.Open();
    TColumnEh* name = t.Grid.Columns()[0];
    ASSERT_TRUE(name->IsDefaultColumn());
    TField* f = t.Data.FieldNamed(QStringLiteral("name"));
    name->Title()->SetCaption(QStringLiteral("ФИО"));
    EXPECT_EQ(f->DisplayLabel(), QStringLiteral("ФИО"));
    EXPECT_FALSE(name->ExplicitValues().Contains(cvTitleCaption)) << "the column keeps following its field";
    name->SetAlignment(taCenter);
    EXPECT_EQ(f->Alignment(), taCenter);
    name->SetReadOnly(true);
    EXPECT_TRUE(f->ReadOnly());
    EXPECT_TRUE(name->ReadOnly());

    // A persistent column keeps its own values.
    TColumnEh* own = t.Add("code");
    own->Title()->SetCaption(QStringLiteral("Код"));
    EXPECT_EQ(t.Data.FieldNamed(QStringLiteral("code"))->DisplayLabel(), QString());
}

TEST(TColumnEh, ClosingTheRecordSetUnbindsEveryColumn)
{
    TTypedGrid t;
    TColumnEh* name = t.Add("name");
    t.Data.Open();
    ASSERT_NE(name->Field(), nullptr);
    t.Data.Close();
    EXPECT_EQ(name->Field(), nullptr);
    EXPECT_EQ(name->Title()->Caption(), QStringLiteral("name"));
    EXPECT_EQ(name->CellDisplayText(), QString());
    t.Data.Open();
    EXPECT_NE(name->Field(), nullptr) << "binds again on its next use";
}

TEST(TColumnEh, DisplayFormats)
{
    struct Case
    {
        const char* name;
        const char* format;
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {"fixed decimals", "0.00", 3.14159, "3.14"},
        {"leading zeros", "000", 7, "007"},
        {"optional digits", "#.##", 2.5, "2.5"},
        {"thousands", "#,##0", 1234567, "1,234,567"},
        {"negative", "0.0", -1.25, "-1.3"},
        {"negative section", "0;(0)", -5, "(5)"},
        {"zero section", "0;-0;zero", 0, "zero"},
        {"quoted text", "0 'руб.'", 12, "12 руб."},
        {"scientific", "0.00E+00", 12345, "1.23E+04"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatFloatEh(QString::fromUtf8(c.format), c.value), QString::fromUtf8(c.expected)) << c.name;
    const QDateTime dt(QDate(2004, 3, 9), QTime(14, 5, 7));
    EXPECT_EQ(FormatDateTimeEh(QStringLiteral("dd.mm.yyyy hh:nn:ss"), dt), QStringLiteral("09.03.2004 14:05:07"));
    EXPECT_EQ(FormatDateTimeEh(QStringLiteral("d.m.yy h:mm"), dt), QStringLiteral("9.3.04 14:05"));
}
