#include "TForm1.h"

#include "EndlessDirectory.h"
#include "QtPrinters.h"
#include "SqliteDirectory.h"
#include "TApplication.h"
#include "TDBGridEh.h"
#include "TDemoDirectory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A directory of a few known entries beside a program file "phonebook" in a temporary folder.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fDir.isValid());
        fFiles = TProgramFiles::FromExecutable(fDir.filePath("phonebook"));
        SetErrorSink([this](QWidget*, const QString& text) { fErrors << text; });
    }
    void TearDown() override { SetErrorSink(nullptr); }

    void WriteDirectory(const std::vector<TDirectoryRow>& rows) { WriteDirectoryTable(fFiles.DatabasePath(), rows); }

    void WriteStandardDirectory()
    {
        WriteDirectory({
            {"2-34-56", "Иванов Иван Иванович", "ул. Мира", "12", "5"},
            {"2-11-11", "ИВАНОВА Мария Петровна", "пр. Ленина", "3", ""},
            {"3-22-22", "ООО \"Ромашка\"", "ул. Мира", "12а", "1"},
            {"4-33-33", "Семёнов Пётр", "пер. Садовый", "7", "40"},
        });
    }

    QTemporaryDir fDir;
    TProgramFiles fFiles;
    QStringList fErrors;
};

void Type(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->clear();
    // One key event per character, carrying its text (Cyrillic has no key code of its own here).
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

} // namespace

TEST_F(WindowTest, StartsWithTheDesignedControlsAndColumns)
{
    WriteStandardDirectory();
    TForm1 form(fFiles);
    EXPECT_EQ(form.windowTitle(), kApplicationTitle);
    EXPECT_TRUE(fErrors.isEmpty());
    EXPECT_EQ(form.fio_style->currentIndex(), 0);
    EXPECT_EQ(form.fio_style->currentText(), "Слева");
    EXPECT_FALSE(form.discrete->isChecked());
    ASSERT_EQ(form.DBS->Columns().Count(), 5);
    EXPECT_EQ(form.DBS->Columns().Items(1)->FieldName(), "vlad");
    EXPECT_EQ(form.DBS->Columns().Items(1)->Title()->Caption(), "Владелец");
    EXPECT_FALSE(form.ADOQuery1.Active());
    EXPECT_TRUE(form.ADOConnection1.Connected());
    EXPECT_EQ(form.StatusText(), "");
}

TEST_F(WindowTest, ControlsSitWhereDesignedAndFollowTheirAnchors)
{
    WriteStandardDirectory();
    TForm1 form(fFiles);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.size(), QSize(692, 365));
    EXPECT_EQ(form.GroupBox1->geometry(), QRect(8, 6, 676, 136));
    EXPECT_EQ(form.fio->geometry(), QRect(16, 24, 401, 21));
    EXPECT_EQ(form.fio_style->geometry(), QRect(424, 24, 97, 21));
    EXPECT_EQ(form.BitBtn1->geometry(), QRect(552, 16, 97, 25));
    EXPECT_EQ(form.DBS->geometry(), QRect(8, 148, 673, 193));
    EXPECT_EQ(form.StatusBar1->geometry(), QRect(0, 346, 692, 19));

    form.resize(792, 465); // 100 wider, 100 taller
    EXPECT_EQ(form.GroupBox1->geometry(), QRect(8, 6, 776, 136));
    EXPECT_EQ(form.fio->geometry(), QRect(16, 24, 401, 21));
    EXPECT_EQ(form.street->geometry().width(), 401);
    EXPECT_EQ(form.fio_style->geometry(), QRect(524, 24, 97, 21));
    EXPECT_EQ(form.kvart->geometry(), QRect(524, 104, 97, 21));
    EXPECT_EQ(form.export_->geometry(), QRect(652, 96, 97, 25));
    EXPECT_EQ(form.DBS->geometry(), QRect(8, 148, 773, 293));
    EXPECT_EQ(form.StatusBar1->geometry(), QRect(0, 446, 792, 19));
}

TEST_F(WindowTest, SettingsFileSetsTheCaption)
{
    WriteStandardDirectory();
    QFile ini(fFiles.SettingsPath());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[main]\ntitle=\"Справочник МГТС\"\n");
    ini.close();
    TForm1 form(fFiles);
    EXPECT_EQ(form.windowTitle(), "Справочник МГТС");
}

TEST_F(WindowTest, EnterInAnEditSearchesAndTheStatusShowsTheCount)
{
    WriteStandardDirectory();
    TForm1 form(fFiles);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    Type(form.fio, "иванов");
    QTest::keyClick(form.fio, Qt::Key_Return);
    EXPECT_TRUE(fErrors.isEmpty()) << fErrors.join('\n').toStdString();
    EXPECT_TRUE(form.ADOQuery1.Active());
    EXPECT_EQ(form.ADOQuery1.RecordCount(), 2);
    EXPECT_EQ(form.StatusText(), "Найдено 2 записей.");
    EXPECT_EQ(form.ADOQuery1.RecordNumber(), 1);

    // Quotes typed into a criterion are found, not a broken statement.
    form.fio_style->setCurrentIndex(1);
    Type(form.fio, "\"ромашка\"");
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    EXPECT_TRUE(fErrors.isEmpty()) << fErrors.join('\n').toStdString();
    EXPECT_EQ(form.StatusText(), "Найдено 1 записей.");

    // Nothing found: zero and an empty grid.
    Type(form.fio, "Нет такого");
    QTest::keyClick(form.fio, Qt::Key_Enter);
    EXPECT_EQ(form.StatusText(), "Найдено 0 записей.");
    EXPECT_TRUE(form.ADOQuery1.Active());
    EXPECT_TRUE(form.ADOQuery1.HasNoRows());
}

TEST_F(WindowTest, NoCriterionKeepsThePreviousResult)
{
    WriteStandardDirectory();
    TForm1 form(fFiles);
    Type(form.street, "Мира");
    form.searchClick();
    ASSERT_EQ(form.StatusText(), "Найдено 2 записей.");
    form.street->clear();
    form.discrete->setChecked(true);
    form.searchClick();
    EXPECT_TRUE(form.ADOQuery1.Active());
    EXPECT_EQ(form.ADOQuery1.RecordCount(), 2);
    EXPECT_EQ(form.StatusText(), "Найдено 2 записей.");
}

TEST_F(WindowTest, ResetClearsTheCriteriaAndTheResultButNotTheStyles)
{
    WriteStandardDirectory();
    TForm1 form(fFiles);
    Type(form.fio, "Иванов");
    Type(form.street, "Мира");
    Type(form.dom, "12");
    Type(form.kvart, "5");
    Type(form.phone, "34");
    form.fio_style->setCurrentIndex(2);
    form.discrete->setChecked(true);
    form.fio_style->setCurrentIndex(0);
    form.searchClick();
    ASSERT_TRUE(form.ADOQuery1.Active());
    QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
    EXPECT_FALSE(form.ADOQuery1.Active());
    EXPECT_EQ(form.StatusText(), "");
    for (QLineEdit* e : {form.fio, form.street, form.dom, form.kvart, form.phone})
        EXPECT_TRUE(e->text().isEmpty()) << e->objectName().toStdString();
    EXPECT_EQ(form.fio_style->currentIndex(), 0);
    EXPECT_TRUE(form.discrete->isChecked());
    // Reset with nothing open only clears the texts.
    QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
    EXPECT_TRUE(fErrors.isEmpty());
}

TEST_F(WindowTest, AnEngineErrorLeavesTheQueryClosedAndTheOldStatus)
{
    WriteStandardDirectory();
    TForm1 form(fFiles);
    Type(form.street, "Мира");
    form.searchClick();
    ASSERT_EQ(form.StatusText(), "Найдено 2 записей.");
    QFile::remove(fFiles.DatabasePath());
    form.ADOConnection1.Close();
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    ASSERT_EQ(fErrors.size(), 1);
    EXPECT_TRUE(fErrors[0].startsWith("Не найден файл")) << fErrors[0].toStdString();
    EXPECT_FALSE(form.ADOQuery1.Active());
    EXPECT_EQ(form.StatusText(), "Найдено 2 записей.");
}

TEST_F(WindowTest, AMissingDirectoryShowsTheErrorAndALaterSearchConnects)
{
    TForm1 form(fFiles);
    ASSERT_EQ(fErrors.size(), 1);
    EXPECT_EQ(fErrors[0], "Не найден файл '" + fFiles.DatabasePath() + "'.");
    // None of the five columns: only the grid's own placeholder column.
    ASSERT_EQ(form.DBS->Columns().Count(), 1);
    EXPECT_TRUE(form.DBS->Columns().Items(0)->IsDefaultColumn());
    EXPECT_EQ(form.fio_style->currentIndex(), -1);
    form.fio_style->setCurrentIndex(0);

    WriteStandardDirectory();
    Type(form.street, "Мира");
    form.searchClick();
    EXPECT_EQ(fErrors.size(), 1);
    EXPECT_EQ(form.StatusText(), "Найдено 2 записей.");
    // No columns of its own: one default column per field.
    ASSERT_EQ(form.DBS->Columns().Count(), 5);
    EXPECT_TRUE(form.DBS->Columns().Items(1)->IsDefaultColumn());
    EXPECT_EQ(form.DBS->Columns().Items(1)->FieldName(), "vlad");
}

TEST_F(WindowTest, OncePaintedTheDirectoryIsIndexedAndSearchesAnswerAsBefore)
{
    WriteStandardDirectory();
    TForm1 form(fFiles);
    EXPECT_EQ(form.ADOConnection1.Index(), nullptr) << "nothing is read before the window is on screen";
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(50);
    ASSERT_TRUE(form.Directory.ADOConnection1.WaitForIndex());
    ASSERT_NE(form.ADOConnection1.Index(), nullptr);
    form.fio_style->setCurrentIndex(1);
    Type(form.fio, "иванов");
    form.searchClick();
    EXPECT_EQ(form.StatusText(), "Найдено 2 записей.");
    // The owner ranks order the result as comparing the names did.
    Type(form.fio, "");
    Type(form.street, "%");
    form.searchClick();
    form.DBSTitleClick(form.DBS->Columns().Items(1));
    QStringList owners;
    for (form.ADOQuery1.MoveFirst(); !form.ADOQuery1.AtEnd(); form.ADOQuery1.MoveNext())
        owners << form.ADOQuery1.FieldNamed("vlad")->DisplayText();
    EXPECT_EQ(owners,
              QStringList({"Иванов Иван Иванович", "ИВАНОВА Мария Петровна", "ООО \"Ромашка\"", "Семёнов Пётр"}));
    EXPECT_TRUE(fErrors.isEmpty()) << fErrors.join('\n').toStdString();
}

TEST_F(WindowTest, ATitleClickOrdersTheResultByThatColumn)
{
    WriteStandardDirectory();
    TForm1 form(fFiles);
    Type(form.street, "%");
    form.searchClick();
    form.DBSTitleClick(form.DBS->Columns().Items(1));
    form.ADOQuery1.MoveFirst();
    EXPECT_EQ(form.ADOQuery1.FieldNamed("vlad")->DisplayText(), "Иванов Иван Иванович");
    form.ADOQuery1.MoveLast();
    EXPECT_EQ(form.ADOQuery1.FieldNamed("vlad")->DisplayText(), "Семёнов Пётр");
    // Nothing happens while no result is open.
    form.clearClick();
    form.DBSTitleClick(form.DBS->Columns().Items(1));
    EXPECT_TRUE(fErrors.isEmpty());
}

TEST_F(WindowTest, RendersEveryControlAtItsDesignedPlace)
{
    WriteStandardDirectory();
    TForm1 form(fFiles);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QImage shot = form.grab().toImage();
    if (const QByteArray path = qgetenv("PB_SCREENSHOT"); !path.isEmpty())
        shot.save(QString::fromLocal8Bit(path));
    ASSERT_EQ(shot.size(), QSize(692, 365));
    const QRgb windowFace = shot.pixel(2, 2);   // the window, outside every control
    const QRgb groupFace = shot.pixel(545, 60); // inside the group box, between its controls
    // Edits are white inside, buttons and the combo box are drawn panels, the grid paints its
    // titles and its data area: each shows something other than its parent's background inside
    // its rectangle, and the bare background just left of it.
    const struct
    {
        const char* name;
        QRect rect;
        bool inGroup;
    } controls[] = {
        {"fio", {8 + 16, 6 + 24, 401, 21}, true},     {"fio_style", {8 + 424, 6 + 24, 97, 21}, true},
        {"street", {8 + 16, 6 + 64, 401, 21}, true},  {"dom", {8 + 424, 6 + 64, 97, 21}, true},
        {"phone", {8 + 16, 6 + 104, 153, 21}, true},  {"kvart", {8 + 424, 6 + 104, 97, 21}, true},
        {"BitBtn1", {8 + 552, 6 + 16, 97, 25}, true}, {"BitBtn2", {8 + 552, 6 + 56, 97, 25}, true},
        {"export", {8 + 552, 6 + 96, 97, 25}, true},  {"DBS", {8, 148, 673, 193}, false},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        const QRgb face = c.inGroup ? groupFace : windowFace;
        EXPECT_NE(shot.pixel(c.rect.center()), face);
        EXPECT_EQ(shot.pixel(c.rect.left() - 3, c.rect.center().y()), face);
    }
    EXPECT_EQ(shot.pixel(8 + 16 + 200, 6 + 24 + 10), qRgb(255, 255, 255)); // inside fio
    EXPECT_EQ(form.StatusBar1->geometry().topLeft(), QPoint(0, 346));
}

TEST_F(WindowTest, ASearchStoppedWithCancelBringsThePreviousResultBack)
{
    WriteStandardDirectory();
    MakeDirectoryEndless(fFiles.DatabasePath());
    TForm1 form(fFiles);
    Type(form.street, "Мира");
    form.searchClick();
    ASSERT_EQ(form.StatusText(), "Найдено 2 записей.");
    // The previous result ordered by flat (the other way round than found), on its second record.
    TColumnEh* flat = nullptr;
    for (int i = 0; i < form.DBS->Columns().Count(); ++i)
        if (form.DBS->Columns().Items(i)->FieldName() == "numdoor")
            flat = form.DBS->Columns().Items(i);
    ASSERT_NE(flat, nullptr);
    form.DBSTitleClick(flat);
    form.ADOQuery1.SetRecordNumber(2);
    ASSERT_EQ(form.ADOQuery1.FieldNamed("vlad")->PlainText(), "Иванов Иван Иванович");

    // Presses the dialog's cancel button as soon as the dialog shows; stops the search itself if
    // none shows within ten seconds.
    QElapsedTimer clock;
    qint64 shownAfterMs = -1;
    QString buttonText;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = form.findChild<QProgressDialog*>();
        if (dialog && dialog->isVisible()) {
            watch.stop();
            shownAfterMs = clock.elapsed();
            auto* cancel = dialog->findChild<QPushButton*>();
            ASSERT_NE(cancel, nullptr);
            buttonText = cancel->text();
            QTest::mouseClick(cancel, Qt::LeftButton);
        } else if (clock.elapsed() > 10000) {
            watch.stop();
            form.ADOQuery1.Cancel();
        }
    });
    Type(form.street, kEndlessStreet);
    clock.start();
    watch.start();
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    watch.stop();

    EXPECT_GE(shownAfterMs, 400) << "the dialog showed at once";
    EXPECT_LT(shownAfterMs, 5000) << "no dialog showed";
    EXPECT_EQ(buttonText, "Отмена");
    EXPECT_TRUE(fErrors.isEmpty()) << fErrors.join('\n').toStdString(); // a stop is no error
    EXPECT_EQ(form.StatusText(), "Найдено 2 записей.");
    ASSERT_TRUE(form.ADOQuery1.Active());
    EXPECT_EQ(form.ADOQuery1.RecordCount(), 2);
    EXPECT_EQ(form.ADOQuery1.RecordNumber(), 2);
    EXPECT_EQ(form.ADOQuery1.FieldNamed("vlad")->PlainText(), "Иванов Иван Иванович");
    form.ADOQuery1.MoveFirst();
    EXPECT_EQ(form.ADOQuery1.FieldNamed("vlad")->PlainText(), "ООО \"Ромашка\"");

    // The window searches as before afterwards, and a search that ends shows no dialog.
    Type(form.street, "Ленина");
    form.searchClick();
    EXPECT_EQ(form.StatusText(), "Найдено 1 записей.");
    EXPECT_FALSE(form.findChild<QProgressDialog*>());
}
