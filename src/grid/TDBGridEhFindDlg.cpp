#include "TDBGridEhFindDlg.h"

#include "TCustomDBGridEh.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

TDBGridEhFindDlg* gInstance = nullptr;

// Client height with and without the tree row (the tree row's top cuts it off).
constexpr int kClientWidth = 505;
constexpr int kClientHeight = 150;
constexpr int kClientHeightNoTree = 124;

// The dialog's font, from the Wine fonts where the system has none of that name.
QFont DialogFont()
{
    static bool loaded = false;
    const QString family = QStringLiteral("MS Sans Serif");
    if (!loaded) {
        loaded = true;
        if (!QFontDatabase::families().contains(family, Qt::CaseInsensitive)) {
            const QString file = QStringLiteral("/usr/share/wine/fonts/ms_sans_serif.ttf");
            if (QFile::exists(file))
                QFontDatabase::addApplicationFont(file);
        }
    }
    QFont font(family);
    font.setPixelSize(10);
    return font;
}

void DestroyInstance()
{
    delete gInstance;
    gInstance = nullptr;
}

} // namespace

TDBGridEhFindDlg* TDBGridEhFindDlg::Instance()
{
    if (!gInstance) {
        gInstance = new TDBGridEhFindDlg();
        qAddPostRoutine(DestroyInstance);
    }
    return gInstance;
}

TDBGridEhFindDlg* TDBGridEhFindDlg::ExistingInstance()
{
    return gInstance;
}

TDBGridEhFindDlg::TDBGridEhFindDlg()
{
    setObjectName(QStringLiteral("TDBGridEhFindDlg"));
    setWindowTitle(QStringLiteral("Find text"));
    setFont(DialogFont());
    setSizeGripEnabled(false);

    auto label = [this](const char* name, const char* caption, QRect geometry) {
        auto* l = new QLabel(QString::fromLatin1(caption), this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(geometry);
        return l;
    };
    auto choice = [this](const char* name, QRect geometry, const QStringList& items) {
        auto* c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(geometry);
        c->addItems(items);
        return c;
    };

    Label1 = label("Label1", "Fi&nd What:", QRect(10, 12, 52, 13));
    cbText = new QComboBox(this);
    cbText->setObjectName(QStringLiteral("cbText"));
    cbText->setGeometry(88, 9, 316, 21);
    cbText->setEditable(true);
    cbText->setInsertPolicy(QComboBox::NoInsert); // the list grows on "Find next" only
    cbText->setMaxVisibleItems(17);
    cbText->setCompleter(nullptr);
    Label1->setBuddy(cbText);

    Label2 = label("Label2", "Find &in:", QRect(10, 35, 34, 13));
    cbFindIn = choice("cbFindIn", QRect(88, 32, 192, 21), {});
    Label2->setBuddy(cbFindIn);

    cbMatchType = label("cbMatchType", "Matc&h:", QRect(10, 58, 33, 13));
    cbMatchinType = choice("cbMatchinType", QRect(88, 55, 144, 21),
                           {QStringLiteral("From any part of field"), QStringLiteral("Whole field"),
                            QStringLiteral("From beging of field")});
    cbMatchType->setBuddy(cbMatchinType);

    Label3 = label("Label3", "Sea&rch:", QRect(10, 82, 37, 13));
    cbFindDirection = choice("cbFindDirection", QRect(88, 79, 144, 21),
                             {QStringLiteral("Up"), QStringLiteral("Down"), QStringLiteral("All")});
    cbFindDirection->setCurrentIndex(2);
    Label3->setBuddy(cbFindDirection);

    cbCharCase = new QCheckBox(QStringLiteral("Match &Case"), this);
    cbCharCase->setObjectName(QStringLiteral("cbCharCase"));
    cbCharCase->setGeometry(88, 105, 144, 14);
    cbUseFormat = new QCheckBox(QStringLiteral("Match F&ormat"), this);
    cbUseFormat->setObjectName(QStringLiteral("cbUseFormat"));
    cbUseFormat->setGeometry(260, 105, 144, 14);
    cbUseFormat->setChecked(true);

    bFind = new QPushButton(QStringLiteral("&Find next"), this);
    bFind->setObjectName(QStringLiteral("bFind"));
    bFind->setGeometry(413, 9, 82, 23);
    bFind->setDefault(true);
    bCancel = new QPushButton(QStringLiteral("Close"), this);
    bCancel->setObjectName(QStringLiteral("bCancel"));
    bCancel->setGeometry(413, 37, 82, 22);

    Label4 = label("Label4", "Find in Tree:", QRect(10, 128, 59, 13));
    dbcTreeFindRange = choice("dbcTreeFindRange", QRect(88, 124, 145, 21),
                              {QStringLiteral("In all nodes"), QStringLiteral("In expanded nodes"),
                               QStringLiteral("In current level"), QStringLiteral("In current node")});
    Label4->setBuddy(dbcTreeFindRange);

    QWidget* order[] = {cbText,      cbFindIn, cbMatchinType, cbFindDirection, cbCharCase,
                        cbUseFormat, bFind,    bCancel,       dbcTreeFindRange};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    // The dialog sees Enter before its controls: everywhere but on a button it means "Find next".
    for (QWidget* w : {static_cast<QWidget*>(cbText), static_cast<QWidget*>(cbText->lineEdit()),
                       static_cast<QWidget*>(cbFindIn), static_cast<QWidget*>(cbMatchinType),
                       static_cast<QWidget*>(cbFindDirection), static_cast<QWidget*>(cbCharCase),
                       static_cast<QWidget*>(cbUseFormat), static_cast<QWidget*>(dbcTreeFindRange)})
        w->installEventFilter(this);

    connect(bFind, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbText, &QComboBox::editTextChanged, this, [this] { SeriesChanged(); });
    connect(cbFindDirection, &QComboBox::currentIndexChanged, this, [this] { SeriesChanged(); });
    connect(dbcTreeFindRange, &QComboBox::currentIndexChanged, this, [this] { SeriesChanged(); });
    connect(cbFindIn, &QComboBox::currentIndexChanged, this, [this] { SeriesChanged(); });

    SetTreeRowShown(true);
}

void TDBGridEhFindDlg::SetTreeRowShown(bool shown)
{
    fTreeRowShown = shown;
    Label4->setVisible(shown);
    dbcTreeFindRange->setVisible(shown);
    setFixedSize(kClientWidth, shown ? kClientHeight : kClientHeightNoTree);
}

void TDBGridEhFindDlg::SeriesChanged()
{
    if (!fFilling)
        fFindFirstTry = true;
}

void TDBGridEhFindDlg::CentreOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void TDBGridEhFindDlg::Prepare(TCustomDBGridEh* grid, const QString& text, const TFindColumnListEh* columns)
{
    fGrid = grid;
    // No record set of this program has a tree structure.
    SetTreeRowShown(false);

    fFilling = true;
    cbText->setEditText(text);
    cbFindIn->clear();
    fFindInColumns.clear();
    if (columns) {
        for (const auto& [caption, column] : *columns) {
            cbFindIn->addItem(caption);
            fFindInColumns.push_back(column);
        }
    } else if (grid) {
        const TColumnsEhList& visible = grid->VisibleColumnList();
        for (int i = 0; i < visible.Count(); ++i) {
            cbFindIn->addItem(visible[i]->Title()->Caption());
            fFindInColumns.push_back(visible[i]);
        }
    }
    cbFindIn->addItem(QStringLiteral("<All>"));
    fFindInColumns.push_back(nullptr);

    int chosen = cbFindIn->count() - 1;
    if (grid) {
        if (const TColumnEh* current = grid->ColumnAt(grid->Col())) {
            const QString caption = current->Title()->Caption();
            for (int i = 0; i < cbFindIn->count(); ++i)
                if (cbFindIn->itemText(i).compare(caption, Qt::CaseInsensitive) == 0) {
                    chosen = i;
                    break;
                }
        }
    }
    cbFindIn->setCurrentIndex(chosen);
    fFilling = false;

    fFindFirstTry = true;
    cbText->setFocus(Qt::OtherFocusReason);
}

void TDBGridEhFindDlg::FindNext()
{
    const bool reverse = QGuiApplication::keyboardModifiers().testFlag(Qt::ControlModifier);
    const QString text = cbText->currentText();
    bool listed = text.isEmpty();
    for (int i = 0; i < cbText->count() && !listed; ++i)
        listed = cbText->itemText(i) == text;
    if (!listed) {
        fFilling = true;
        cbText->addItem(text);
        cbText->setEditText(text);
        fFilling = false;
    }

    TCustomDBGridEh* grid = fGrid;
    if (!grid || !grid->DataSet() || !grid->DataSet()->Active())
        return;

    TTextSearchDirectionEh direction = TTextSearchDirectionEh(std::clamp(cbFindDirection->currentIndex(), 0, 2));
    if (reverse)
        direction = direction == tsdUpEh ? tsdDownEh : tsdUpEh;
    else if (direction == tsdAllEh && !fFindFirstTry)
        direction = tsdDownEh; // only the first search of a series starts at the first record

    const int entry = cbFindIn->currentIndex();
    TColumnEh* column = entry >= 0 && entry < int(fFindInColumns.size()) ? fFindInColumns[std::size_t(entry)] : nullptr;
    // A column still in the grid, or none.
    if (column && grid->Columns().IndexOf(column) < 0)
        column = nullptr;
    const bool allColumns = entry == cbFindIn->count() - 1 || !column;
    TTextSearchOptionsEh options;
    options.Set(tsoIgnoreCaseEh, !cbCharCase->isChecked());
    options.Set(tsoAllColumnsEh, allColumns);
    options.Set(tsoDisplayTextEh, cbUseFormat->isChecked());
    // The search runs in the grid's current column: a column chosen here becomes current first.
    if (!allColumns && grid->ColumnAt(grid->Col()) != column)
        grid->SelectColumn(grid->DataToRawColumn(column->Index()), 0);

    const TTextSearchMatchEh matching = TTextSearchMatchEh(std::clamp(cbMatchinType->currentIndex(), 0, 2));
    const TTextSearchTreeRangeEh treeRange = TTextSearchTreeRangeEh(std::clamp(dbcTreeFindRange->currentIndex(), 0, 3));
    if (grid->SearchGridText(allColumns ? QString() : column->FieldName(), treeRange, matching, direction, options,
                             text))
        fFindFirstTry = false;
}

bool TDBGridEhFindDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            FindNext();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TDBGridEhFindDlg::Run(bool modal)
{
    if (modal) {
        if (isVisible())
            hide();
        setWindowFlag(Qt::WindowStaysOnTopHint, false);
        setWindowModality(Qt::ApplicationModal);
        CentreOnScreen();
        exec();
    } else {
        setWindowModality(Qt::NonModal);
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        show();
        raise();
        activateWindow();
    }
}

void ExecuteDBGridEhFindDialog(TCustomDBGridEh* grid, const QString& text, const QString& /*fieldName*/,
                               const TFindColumnListEh* columns, bool modal)
{
    TDBGridEhFindDlg* dlg = TDBGridEhFindDlg::Instance();
    dlg->Prepare(grid, text, columns);
    dlg->Run(modal);
}
