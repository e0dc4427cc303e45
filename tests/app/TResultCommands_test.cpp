#include "TForm1.h"

#include "QtPrinters.h"
#include "SqliteDirectory.h"
#include "TApplication.h"
#include "TDBGridEh.h"
#include "TDBGridEhClipboard.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A window over a small Cyrillic directory beside a program file in a temporary folder.
class ResultCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fDir.isValid());
        fFiles = TProgramFiles::FromExecutable(fDir.filePath("phonebook"));
        RunSqlScript(fFiles.DatabasePath(),
                     "CREATE TABLE kray(numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);"
                     "INSERT INTO kray VALUES('2-34-56','Иванов Иван','ул. Мира','12','5');"
                     "INSERT INTO kray VALUES('3-22-22','ООО \"Ромашка\"','ул. Мира','12а','');"
                     "INSERT INTO kray VALUES('4-33-33','Ёлкин Пётр','пр. Ленина','7','40');");
        SetErrorSink([this](QWidget*, const QString& text) { fErrors << text; });
    }
    void TearDown() override { SetErrorSink(nullptr); }

    QByteArray Read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir fDir;
    TProgramFiles fFiles;
    QStringList fErrors;
};

} // namespace

TEST_F(ResultCommandsTest, ExportAppliesTheExtensionRuleAndWritesTheChosenFormat)
{
    TForm1 form(fFiles);
    int dialogs = 0;
    QString answer;
    int filter = 1;
    form.SaveDialog1.Run = [&](TForm1::TSaveDialog& d) {
        ++dialogs;
        EXPECT_EQ(d.FileName, "export");
        d.FileName = answer;
        d.FilterIndex = filter;
        return true;
    };
    // No result open: nothing happens and no dialog shows.
    form.exportClick();
    EXPECT_EQ(dialogs, 0);

    form.street->setText("Мира");
    form.searchClick();
    const struct
    {
        const char* name;
        int filter;
        const char* file;
        const char* expected;
    } cases[] = {
        {"csv appended", 2, "report", "report.csv"},
        {"upper-case extension stays", 2, "report2.CSV", "report2.CSV"},
        {"other extension kept", 2, "a.txt", "a.txt.csv"},
        {"last three characters are enough", 1, "mytxt", "mytxt"},
        {"html gets htm", 3, "page.html", "page.html.htm"},
        {"short name", 1, "ab", "ab.txt"},
        {"workbook, the sixth type", 6, "book", "book.xlsx"},
        {"workbook extension stays", 6, "book2.XLSX", "book2.XLSX"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        answer = fDir.filePath(c.file);
        filter = c.filter;
        form.exportClick();
        EXPECT_TRUE(QFile::exists(fDir.filePath(c.expected)));
        EXPECT_EQ(form.SaveDialog1.FilterIndex, c.filter);
    }
    EXPECT_TRUE(fErrors.isEmpty()) << fErrors.join('\n').toStdString();
    // The text export: titles and two records in windows-1251, tab-separated.
    const QByteArray text = Read(fDir.filePath("ab.txt"));
    EXPECT_TRUE(text.startsWith(QByteArray("\xD2\xE5\xEB\xE5\xF4\xEE\xED\t"))); // "Телефон\t"
    EXPECT_EQ(text.count("\r\n"), 2); // lines are separated, the last one is not ended
    // Cancel writes nothing.
    form.SaveDialog1.Run = [](TForm1::TSaveDialog&) { return false; };
    form.exportClick();
}

TEST_F(ResultCommandsTest, ExportToAFolderThatDoesNotExistReportsIt)
{
    TForm1 form(fFiles);
    form.street->setText("Мира");
    form.searchClick();
    form.SaveDialog1.Run = [&](TForm1::TSaveDialog& d) {
        d.FileName = fDir.filePath("missing/out");
        d.FilterIndex = 2;
        return true;
    };
    RunHandler(&form, [&] { form.exportClick(); });
    ASSERT_EQ(fErrors.size(), 1);
    EXPECT_TRUE(fErrors[0].startsWith("Cannot create file \"" + fDir.filePath("missing/out.csv") + "\"."))
        << fErrors[0].toStdString();
}

TEST_F(ResultCommandsTest, CopyPlacesFourRepresentationsEvenForAnEmptyResult)
{
    TForm1 form(fFiles);
    QGuiApplication::clipboard()->clear();
    form.N1Click(); // nothing open: nothing placed
    const QMimeData* before = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(!before || !before->hasFormat(WindowsMimeTypeEh("VCLDBIF")));

    form.fio->setText("нет такого");
    form.searchClick();
    ASSERT_EQ(form.StatusText(), "Найдено 0 записей.");
    form.N1Click();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->text(), "Телефон\tВладелец\tУлица\tДом\tКвартира");
    EXPECT_TRUE(mime->data(WindowsMimeTypeEh("Csv")).endsWith('\0'));
    EXPECT_FALSE(mime->data("text/csv").endsWith('\0'));
    EXPECT_TRUE(mime->data(WindowsMimeTypeEh("Rich Text Format")).startsWith("{\\rtf0\\ansi"));
    EXPECT_EQ(mime->data("text/rtf"), mime->data(WindowsMimeTypeEh("Rich Text Format")).chopped(1));
    EXPECT_EQ(mime->data("text/richtext"), mime->data("text/rtf"));
    const QByteArray vcldbif = mime->data(WindowsMimeTypeEh("VCLDBIF"));
    EXPECT_EQ(vcldbif, QByteArray("VCLDBIF\x01\x05\0\0\0\x01\0\x01\0\x01\0\x01\0\x01\0\0", 23));
    EXPECT_TRUE(fErrors.isEmpty()) << fErrors.join('\n').toStdString();
}

TEST_F(ResultCommandsTest, CopyOfAResultCarriesItsText)
{
    TForm1 form(fFiles);
    form.street->setText("Ленина");
    form.searchClick();
    form.N1Click();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(mime->text(), "Телефон\tВладелец\tУлица\tДом\tКвартира\r\n"
                            "4-33-33\tЁлкин Пётр\tпр. Ленина\t7\t40");
    // The desktop's "Csv" block: windows-1251 with its terminating zero; text/csv: the same in UTF-8.
    EXPECT_EQ(
        mime->data("application/x-qt-windows-mime;value=\"Csv\""),
        QByteArray(
            "\"\xD2\xE5\xEB\xE5\xF4\xEE\xED\";\"\xC2\xEB\xE0\xE4\xE5\xEB\xE5\xF6\";\"\xD3\xEB\xE8\xF6\xE0\";"
            "\"\xC4\xEE\xEC\";\"\xCA\xE2\xE0\xF0\xF2\xE8\xF0\xE0\"\r\n"
            "\"4-33-33\";\"\xA8\xEB\xEA\xE8\xED \xCF\xB8\xF2\xF0\";\"\xEF\xF0. \xCB\xE5\xED\xE8\xED\xE0\";\"7\";\"40\"",
            92));
    EXPECT_EQ(mime->data("text/csv"), QByteArray("\"Телефон\";\"Владелец\";\"Улица\";\"Дом\";\"Квартира\"\r\n"
                                                 "\"4-33-33\";\"Ёлкин Пётр\";\"пр. Ленина\";\"7\";\"40\""));
}

TEST_F(ResultCommandsTest, TheCommandLineWritesWhatTheWindowsExportWrites)
{
    const QString program = QStringLiteral(PB_BINARY_DIR) + "/src/app/phonebook";
    ASSERT_TRUE(QFile::copy(program, fFiles.Dir + "phonebook"));
    TForm1 form(fFiles);
    form.street->setText("Мира");
    form.searchClick();
    form.DBSTitleClick(form.DBS->Columns().Items(1));
    for (const QString format : {"txt", "csv", "htm", "rtf", "xls"}) {
        SCOPED_TRACE(format.toStdString());
        const QString byWindow = fDir.filePath("window." + format);
        const QString byCommand = fDir.filePath("command." + format);
        form.ExportToFile(byWindow, format);
        QProcess p;
        p.start(fFiles.Dir + "phonebook", {"--street", "Мира", "--sort", "vlad", "--export", byCommand});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()), "Найдено 2 записей.\n");
        EXPECT_EQ(Read(byCommand), Read(byWindow));
        EXPECT_FALSE(Read(byWindow).isEmpty());
    }
    QProcess bad;
    bad.start(fFiles.Dir + "phonebook", {"--street"});
    ASSERT_TRUE(bad.waitForFinished(60000));
    EXPECT_NE(bad.exitCode(), 0);
    EXPECT_TRUE(bad.readAllStandardError().contains("Параметру --street нужно значение"));
    EXPECT_TRUE(fErrors.isEmpty()) << fErrors.join('\n').toStdString();
}

TEST_F(ResultCommandsTest, RightClickOnATitleSortsAndOpensTheMenu)
{
    TForm1 form(fFiles);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.street->setText("Мира");
    form.searchClick();
    ASSERT_EQ(form.DBS->DataSet()->FieldRequired("numer")->PlainText(), "2-34-56");
    // The flat's title: the record without a flat number comes first.
    const QPoint title = form.DBS->CellRect(form.DBS->DataToRawColumn(4), 0).center();
    QTest::mousePress(form.DBS->viewport(), Qt::RightButton, {}, title);
    // On X11 the desktop asks for the context menu with the press.
    QContextMenuEvent request(QContextMenuEvent::Mouse, title, form.DBS->viewport()->mapToGlobal(title));
    QCoreApplication::sendEvent(form.DBS->viewport(), &request);
    EXPECT_FALSE(form.PopupMenu1->isVisible()) << "the menu waits for the release";
    QTest::mouseRelease(form.DBS->viewport(), Qt::RightButton, {}, title);
    for (int i = 0; i < 50 && !form.PopupMenu1->isVisible(); ++i)
        QTest::qWait(10);
    EXPECT_TRUE(form.PopupMenu1->isVisible());
    form.PopupMenu1->close();
    form.DBS->DataSet()->MoveFirst();
    EXPECT_EQ(form.DBS->DataSet()->FieldRequired("numer")->PlainText(), "3-22-22");
    EXPECT_TRUE(fErrors.isEmpty()) << fErrors.join('\n').toStdString();
}

TEST_F(ResultCommandsTest, ExportOntoTheOpenDirectoryFileIsRefusedAndTheFileStays)
{
    QFile f(fFiles.DatabasePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    ASSERT_TRUE(QDir(fDir.path()).mkdir("x"));
    // The directory's own name always gets an extension appended in the window; other names of it
    // keep theirs.
    ASSERT_TRUE(QFile::link(fFiles.DatabasePath(), fDir.filePath("link.csv")));
    ASSERT_TRUE(QFile::link(fFiles.DatabasePath(), fDir.filePath("link.txt")));
    ASSERT_EQ(::link(QFile::encodeName(fFiles.DatabasePath()).constData(),
                     QFile::encodeName(fDir.filePath("hard.xls")).constData()),
              0);
    TForm1 form(fFiles);
    form.street->setText("Мира");
    form.searchClick();
    ASSERT_TRUE(form.ADOQuery1.Active());

    const struct
    {
        const char* name;
        QString file;
        int filter;
    } cases[] = {
        {"a symbolic link", fDir.filePath("link.csv"), 2},
        {"a link through a folder and back", fDir.filePath("x/../link.txt"), 1},
        {"a hard link", fDir.filePath("hard.xls"), 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fErrors.clear();
        form.SaveDialog1.Run = [&](TForm1::TSaveDialog& d) {
            d.FileName = c.file;
            d.FilterIndex = c.filter;
            return true;
        };
        RunHandler(&form, [&] { form.exportClick(); });
        ASSERT_EQ(fErrors.size(), 1);
        EXPECT_EQ(fErrors[0], "Экспорт в файл '" + c.file
                                  + "' не выполнен: это открытый файл справочника, он остался без изменений.");
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll() == before) << "the directory file changed";
        f.close();
        // The result is still there.
        EXPECT_TRUE(form.ADOQuery1.Active());
        EXPECT_EQ(form.ADOQuery1.RecordCount(), 2);
    }
}
