#include "TForm1.h"

#include "Exception.h"
#include "TApplication.h"
#include "TButtonImages.h"
#include "TCommandLine.h"
#include "TDBGridEh.h"
#include "TDBGridEhClipboard.h"
#include "TDirectoryGrid.h"
#include "TDropDownListStyle.h"
#include "TFontMetricsEh.h"
#include "TIniFile.h"
#include "TScopeExit.h"
#include "TSearchCriteria.h"
#include "TWindowCaption.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

namespace {

// Design sizes at 96 dpi.
constexpr int kClientWidth = 692;
constexpr int kClientHeight = 365;

} // namespace

TForm1::TForm1(const TProgramFiles& files, QWidget* parent) : QWidget(parent), fFiles(files)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kApplicationTitle);
    KeepCaptionExact(this);
    BuildLayout();
    RunHandler(this, [this] { FormCreate(); });
}

TForm1::~TForm1()
{
    RunHandler(nullptr, [this] { FormDestroy(); });
    // The grid goes before the record set it is linked to.
    delete DBS;
    DBS = nullptr;
}

QRect TForm1::Scaled(int left, int top, int width, int height) const
{
    return QRect(ScaleForScreenEh(left), ScaleForScreenEh(top), ScaleForScreenEh(width), ScaleForScreenEh(height));
}

void TForm1::BuildLayout()
{
    EnsureTahomaEh();
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(ScaleForScreenEh(11));
    setFont(font);
    setAutoFillBackground(true);

    const QSize designClient(ScaleForScreenEh(kClientWidth), ScaleForScreenEh(kClientHeight));
    resize(designClient);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    const QRect groupRect = Scaled(8, 6, 676, 136);
    fAnchors.Add(GroupBox1, groupRect, akLeft | akTop | akRight, designClient);
    const QSize designGroup = groupRect.size();

    auto label = [&](const char* name, const char* text, QRect r, int anchors) {
        auto* l = new QLabel(QString::fromUtf8(text), GroupBox1);
        l->setObjectName(QString::fromLatin1(name));
        fAnchors.Add(l, r, anchors, designGroup);
        return l;
    };
    auto edit = [&](const char* name, QRect r, int anchors) {
        auto* e = new QLineEdit(GroupBox1);
        e->setObjectName(QString::fromLatin1(name));
        fAnchors.Add(e, r, anchors, designGroup);
        return e;
    };
    auto button = [&](const char* name, const char* text, TButtonImage image, QRect r) {
        auto* b = new QPushButton(ButtonIcon(image), QString::fromUtf8(text), GroupBox1);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        fAnchors.Add(b, r, akTop | akRight, designGroup);
        return b;
    };
    const int LT = akLeft | akTop, TR = akTop | akRight;

    Label1 = label("Label1", "Имя владельца:", Scaled(16, 8, 81, 13), LT);
    fio = edit("fio", Scaled(16, 24, 401, 21), LT);
    Label7 = label("Label7", "Позиция в строке:", Scaled(424, 8, 93, 13), TR);
    fio_style = new QComboBox(GroupBox1);
    fio_style->setObjectName(QStringLiteral("fio_style"));
    fio_style->setStyle(TDropDownListStyle::Instance());
    fio_style->addItems({QStringLiteral("Слева"), QStringLiteral("В любом месте"), QStringLiteral("Полное соотв.")});
    fio_style->setCurrentIndex(-1);
    fAnchors.Add(fio_style, Scaled(424, 24, 97, 21), TR, designGroup);
    Label2 = label("Label2", "Название улицы:", Scaled(16, 48, 87, 13), LT);
    street = edit("street", Scaled(16, 64, 401, 21), LT);
    Label3 = label("Label3", "Номер дома:", Scaled(424, 48, 63, 13), TR);
    dom = edit("dom", Scaled(424, 64, 97, 21), TR);
    Label4 = label("Label4", "Номер телефона:", Scaled(16, 88, 88, 13), LT);
    phone = edit("phone", Scaled(16, 104, 153, 21), LT);
    discrete = new QCheckBox(QStringLiteral("Полное совпадение номера"), GroupBox1);
    discrete->setObjectName(QStringLiteral("discrete"));
    fAnchors.Add(discrete, Scaled(192, 105, 161, 17), LT, designGroup);
    Label5 = label("Label5", "Номер квартиры:", Scaled(424, 88, 88, 13), TR);
    kvart = edit("kvart", Scaled(424, 104, 97, 21), TR);
    BitBtn1 = button("BitBtn1", "Поиск...", TButtonImage::Search, Scaled(552, 16, 97, 25));
    BitBtn1->setDefault(true);
    BitBtn2 = button("BitBtn2", "Сброс", TButtonImage::Reset, Scaled(552, 56, 97, 25));
    export_ = button("export", "Экспорт", TButtonImage::Export, Scaled(552, 96, 97, 25));

    DBS = new TDBGridEh(this);
    fAnchors.Add(DBS, Scaled(8, 148, kDirectoryGridWidth, kDirectoryGridHeight), akLeft | akTop | akRight | akBottom,
                 designClient);
    ConfigureDirectoryGrid(*DBS, &Directory.DataSource1);
    DBS->OnTitleClick = [this](TColumnEh* column) { RunHandler(this, [&] { DBSTitleClick(column); }); };

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = PopupMenu1->addAction(QStringLiteral("Копировать в буфер обмена"));
    N1->setObjectName(QStringLiteral("N1"));
    DBS->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBS, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(DBS->mapToGlobal(at)); });

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    StatusPanel = new QLabel(StatusBar1);
    StatusBar1->addWidget(StatusPanel, 1);
    fAnchors.Add(StatusBar1, Scaled(0, 346, 692, 19), akLeft | akRight | akBottom, designClient);

    // Tab order as designed: the criteria, the buttons, the match style, export, then the grid.
    const QList<QWidget*> order = {fio, street, dom, kvart, phone, discrete, BitBtn1, BitBtn2, fio_style, export_, DBS};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { RunHandler(this, [this] { searchClick(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { RunHandler(this, [this] { clearClick(); }); });
    connect(export_, &QPushButton::clicked, this, [this] { RunHandler(this, [this] { exportClick(); }); });
    connect(N1, &QAction::triggered, this, [this] { RunHandler(this, [this] { N1Click(); }); });
    SaveDialog1.Run = [this](TSaveDialog&) { return ExecuteSaveDialog(); };

    // Enter without modifiers belongs to the window's default button, as in a dialog: it is taken
    // as a shortcut before any control sees the key. Shift+Enter and the rest reach the control.
    for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        auto* enter = new QShortcut(QKeySequence(key), this);
        enter->setContext(Qt::WindowShortcut);
        connect(enter, &QShortcut::activated, this, [this] { PressDefaultButton(); });
    }

    // Centred on the desktop when first shown.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->availableGeometry();
        move(desk.center() - QPoint(width() / 2, height() / 2));
    }
}

void TForm1::PressDefaultButton()
{
    // A focused push button takes Enter itself; otherwise the default button does.
    if (auto* focused = qobject_cast<QPushButton*>(focusWidget()); focused && focused->isEnabled()) {
        focused->click();
        return;
    }
    if (BitBtn1->isEnabled())
        BitBtn1->click();
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fAnchors.Apply(this);
    fAnchors.Apply(GroupBox1);
}

void TForm1::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // The directory's index is read in the background once the window is on screen, so that
    // start-up does not wait for it.
    if (!fIndexingStarted) {
        fIndexingStarted = true;
        QTimer::singleShot(0, this, [this] { Directory.StartIndexing(); });
    }
}

void TForm1::FormCreate()
{
    setWindowTitle(
        ReadProfileString(fFiles.SettingsPath(), QStringLiteral("main"), QStringLiteral("title"), kApplicationTitle));
    ConnectDirectory(Directory, fFiles);
    AddDirectoryColumns(*DBS);
    fio_style->setCurrentIndex(0);
}

void TForm1::FormDestroy()
{
    Directory.Disconnect();
}

QString TForm1::StatusText() const
{
    return StatusPanel->text();
}

void TForm1::searchClick()
{
    TSearchCriteria criteria;
    criteria.Fio = fio->text();
    criteria.FioStyle = fio_style->currentIndex();
    criteria.Street = street->text();
    criteria.Dom = dom->text();
    criteria.Kvart = kvart->text();
    criteria.Phone = phone->text();
    criteria.Discrete = discrete->isChecked();
    WithSearchProgress([&] {
        if (Directory.Search(criteria))
            StatusPanel->setText(Directory.StatusText());
    });
}

void TForm1::clearClick()
{
    Directory.Clear();
    StatusPanel->clear();
    fio->clear();
    street->clear();
    dom->clear();
    kvart->clear();
    phone->clear();
}

bool TForm1::ExecuteSaveDialog()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    QStringList filters;
    for (const TExportType& type : kExportTypes)
        filters << QString::fromUtf8(type.Filter) + QStringLiteral(" (*.") + QLatin1String(type.Extension) + u')';
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(SaveDialog1.FilterIndex - 1, filters.front()));
    dialog.selectFile(SaveDialog1.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    SaveDialog1.FileName = dialog.selectedFiles().front();
    SaveDialog1.FilterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return true;
}

void TForm1::WithProgress(const QString& text, const std::function<void(const TExportProgressEh&)>& work)
{
    QProgressDialog progress(text, QStringLiteral("Отмена"), 0, 100, this);
    progress.setWindowTitle(kApplicationTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    work([&progress](qint64 done, qint64 total) {
        if (total > 0)
            progress.setValue(int(done * 100 / total));
        return !progress.wasCanceled();
    });
}

void TForm1::WithSearchProgress(const std::function<void()>& search)
{
    QProgressDialog progress(QStringLiteral("Поиск..."), QStringLiteral("Отмена"), 0, 0, this);
    progress.setWindowTitle(kApplicationTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    TCancelToken& token = ADOQuery1.CancelToken();
    bool stopped = false;
    // Runs on this thread inside the search, without touching the connection. Until the dialog
    // shows, the user's clicks and keys wait for the search to end; once it shows, it is modal.
    // One press stops the search once: bringing the previous result back runs without the dialog.
    token.Progress = [&] {
        QCoreApplication::processEvents(progress.isVisible() ? QEventLoop::AllEvents
                                                             : QEventLoop::ExcludeUserInputEvents);
        if (progress.wasCanceled() && !stopped) {
            stopped = true;
            ADOQuery1.Cancel();
        }
    };
    TScopeExit unhook([&token] { token.Progress = nullptr; });
    search();
}

void TForm1::ExportToFile(const QString& fileName, const QString& format)
{
    if (!DBS->DataSet() || !DBS->DataSet()->Active())
        return;
    const TExportType* type = FindExportType(format);
    if (!type)
        throw Exception(
            FormatMessage(QStringLiteral("Файл '%s' не выгружен: неизвестный формат '%s'"), {fileName, format}));
    Directory.CheckExportTarget(fileName);
    // A cancelled or failed export leaves the file as it was: the export itself writes a new file
    // and puts it in place only when complete.
    WithProgress(QStringLiteral("Экспорт..."), [&](const TExportProgressEh& progress) {
        ExportGridToFile(type->Class, DBS, fileName, true, progress);
    });
}

void TForm1::exportClick()
{
    SaveDialog1.FileName = QStringLiteral("export");
    if (!DBS->DataSet() || !DBS->DataSet()->Active())
        return;
    if (!SaveDialog1.Run(SaveDialog1))
        return;
    if (SaveDialog1.FilterIndex < 1 || SaveDialog1.FilterIndex > int(std::size(kExportTypes)))
        return;
    const TExportType& type = kExportTypes[SaveDialog1.FilterIndex - 1];
    ExportToFile(ExportFileName(SaveDialog1.FileName, QLatin1String(type.Extension)), QLatin1String(type.Extension));
}

void TForm1::N1Click()
{
    if (!DBS->DataSet() || !DBS->DataSet()->Active())
        return;
    WithProgress(QStringLiteral("Копирование..."),
                 [this](const TExportProgressEh& progress) { CopyGridData(DBS, true, progress); });
}

void TForm1::DBSTitleClick(TColumnEh* column)
{
    Directory.SortBy(column->FieldName());
}
