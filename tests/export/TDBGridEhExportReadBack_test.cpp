// Every format, written from a small Cyrillic grid, is read back by LibreOffice (headless) and
// must give back the same texts. Skipped when LibreOffice is not installed.

#include "ExportGrid.h"
#include "TDBGridEhExportAsHTML.h"
#include "TDBGridEhExportAsRTF.h"
#include "TDBGridEhExportAsText.h"
#include "TDBGridEhExportAsXLS.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QString kCalcCsvUtf8 = QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76");

class ReadBack : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fSoffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (fSoffice.isEmpty())
            GTEST_SKIP() << "LibreOffice is not installed (no soffice on PATH): install "
                            "libreoffice-calc and libreoffice-writer to read the exports back";
        ASSERT_TRUE(fDir.isValid());
        fGrid = std::make_unique<TExportGrid>(
            std::vector<TFieldDef>{{QStringLiteral("numer"), ftString, 10},
                                   {QStringLiteral("vlad"), ftString, 40},
                                   {QStringLiteral("numhome"), ftInteger}},
            std::vector<std::vector<QVariant>>{{"12-34-56", QStringLiteral("Иванов Иван Иванович"), 5},
                                               {"65-43-21", QStringLiteral("ООО \"Ёлка\" & Co <{x}\\y>; №1"), -17},
                                               {QVariant(), QStringLiteral("Щукин"), QVariant()}});
        fGrid->AddColumn(QStringLiteral("numer"), QStringLiteral("Телефон"), 65);
        fGrid->AddColumn(QStringLiteral("vlad"), QStringLiteral("Владелец"), 275);
        fGrid->AddColumn(QStringLiteral("numhome"), QStringLiteral("Дом"), 60);
        fGrid->Open();
    }

    // Writes the grid in a format and returns the file's path.
    QString Write(TDBGridEhExportClass exportClass, const QString& name)
    {
        const QString path = fDir.filePath(name);
        ExportGridToFile(exportClass, fGrid->Grid.get(), path, true);
        return path;
    }

    // Converts a file with LibreOffice and returns the UTF-8 text of the result.
    std::string Convert(const QString& path, const QString& inFilter, const QString& outFilter,
                        const QString& outSuffix)
    {
        return ConvertText(path, inFilter, outFilter, outSuffix).toStdString();
    }
    QString ConvertText(const QString& path, const QString& inFilter, const QString& outFilter,
                        const QString& outSuffix)
    {
        const QString outDir = fDir.filePath(QStringLiteral("out"));
        QStringList args = {QStringLiteral("-env:UserInstallation=")
                                + QUrl::fromLocalFile(fDir.filePath(QStringLiteral("profile"))).toString(),
                            QStringLiteral("--headless"), QStringLiteral("--norestore")};
        if (!inFilter.isEmpty())
            args << QStringLiteral("--infilter=") + inFilter;
        args << QStringLiteral("--convert-to") << outFilter << QStringLiteral("--outdir") << outDir << path;
        QFile out(QDir(outDir).filePath(QFileInfo(path).completeBaseName() + u'.' + outSuffix));
        QProcess soffice;
        // LibreOffice now and then dies while it sets up a fresh profile when other instances start
        // beside it (the tests run in parallel); a crash is its own fault, not the file's, so it
        // gets another try. A conversion that ends normally without output is the file's fault.
        for (int attempt = 0; attempt < 3; ++attempt) {
            soffice.start(fSoffice, args);
            if (!soffice.waitForFinished(180000)) {
                soffice.kill();
                ADD_FAILURE() << "soffice did not finish for " << path.toStdString();
                return {};
            }
            if (out.exists() || (soffice.exitStatus() == QProcess::NormalExit && soffice.exitCode() == 0))
                break;
        }
        if (!out.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "soffice wrote no " << out.fileName().toStdString() << ": "
                          << soffice.readAllStandardError().toStdString();
            return {};
        }
        QString text = QString::fromUtf8(out.readAll());
        out.close();
        out.remove();
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }

    // The grid's texts as Calc's CSV output gives them back (comma-separated, quoted as needed).
    // An empty cell comes back as emptyCell (HTML writes a no-break space into it, which Calc
    // reads as a blank).
    static std::string ExpectedCsv(const QString& emptyCell = QString())
    {
        QString s = QStringLiteral("Телефон,Владелец,Дом\n"
                                   "12-34-56,Иванов Иван Иванович,5\n"
                                   "65-43-21,\"ООО \"\"Ёлка\"\" & Co <{x}\\y>; №1\",-17\n");
        s += emptyCell + QStringLiteral(",Щукин,") + emptyCell + u'\n';
        return s.toStdString();
    }

    QString fSoffice;
    QTemporaryDir fDir;
    std::unique_ptr<TExportGrid> fGrid;
};

TEST_F(ReadBack, Csv)
{
    const QString path = Write(ExportClassEh<TDBGridEhExportAsCSV>, QStringLiteral("grid.csv"));
    // Separator 59 (;), text delimiter 34 ("), character set 34 (windows-1251).
    EXPECT_EQ(
        Convert(path, QStringLiteral("Text - txt - csv (StarCalc):59,34,34"), kCalcCsvUtf8, QStringLiteral("csv")),
        ExpectedCsv());
}

TEST_F(ReadBack, Text)
{
    const QString path = Write(ExportClassEh<TDBGridEhExportAsText>, QStringLiteral("grid.txt"));
    // Separator 9 (TAB), text delimiter 34 ("), character set 34 (windows-1251).
    EXPECT_EQ(Convert(path, QStringLiteral("Text - txt - csv (StarCalc):9,34,34"), kCalcCsvUtf8, QStringLiteral("csv")),
              ExpectedCsv());
}

TEST_F(ReadBack, Xls)
{
    const QString path = Write(ExportClassEh<TDBGridEhExportAsXLS>, QStringLiteral("grid.xls"));
    EXPECT_EQ(Convert(path, QString(), kCalcCsvUtf8, QStringLiteral("csv")), ExpectedCsv());
}

TEST_F(ReadBack, Html)
{
    const QString path = Write(ExportClassEh<TDBGridEhExportAsHTML>, QStringLiteral("grid.htm"));
    EXPECT_EQ(Convert(path, QStringLiteral("HTML (StarCalc)"), kCalcCsvUtf8, QStringLiteral("csv")),
              ExpectedCsv(QStringLiteral(" ")));
}

TEST_F(ReadBack, Rtf)
{
    const QString path = Write(ExportClassEh<TDBGridEhExportAsRTF>, QStringLiteral("grid.rtf"));
    const QString text = ConvertText(path, QString(), QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("txt"));
    // Writer's plain text puts every table cell on a line of its own.
    const QStringList expected = {QStringLiteral("Телефон"),
                                  QStringLiteral("Владелец"),
                                  QStringLiteral("Дом"),
                                  QStringLiteral("12-34-56"),
                                  QStringLiteral("Иванов Иван Иванович"),
                                  QStringLiteral("5"),
                                  QStringLiteral("65-43-21"),
                                  QStringLiteral("ООО \"Ёлка\" & Co <{x}\\y>; №1"),
                                  QStringLiteral("-17"),
                                  QString(),
                                  QStringLiteral("Щукин"),
                                  QString()};
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r?\n")));
    while (!lines.isEmpty() && lines.last().isEmpty() && lines.size() > expected.size())
        lines.removeLast();
    EXPECT_EQ(lines, expected) << text.toStdString();
}

} // namespace
