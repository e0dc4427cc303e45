// The window and the grid over a Jet (.mdb) directory: the same code as over SQLite.

#include "TForm1.h"

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TApplication.h"
#include "TDBGridEh.h"
#include "TDBGridEhExport.h"
#include "TDBGridEhExportAsHTML.h"
#include "TDBGridEhExportAsRTF.h"
#include "TDBGridEhExportAsText.h"
#include "TDBGridEhExportAsVCLDBIF.h"
#include "TDBGridEhExportAsXLS.h"

#include <QBuffer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kNwind = QStringLiteral(PB_FIXTURES_DIR "/nwind.mdb");

} // namespace

TEST(JetDirectory, AFileWithoutTheDirectoryTableReportsItOnSearchAndGoesOn)
{
    QTemporaryDir dir;
    const TProgramFiles files = TProgramFiles::FromExecutable(dir.filePath("phonebook"));
    ASSERT_TRUE(QFile::copy(kNwind, files.DatabasePath()));
    QStringList errors;
    SetErrorSink([&](QWidget*, const QString& text) { errors << text; });
    {
        TForm1 form(files);
        EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
        EXPECT_TRUE(form.ADOConnection1.Connected());
        form.street->setText("Мира");
        // As the button runs it: the error box, and the window goes on.
        RunHandler(&form, [&] { form.searchClick(); });
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].contains("kray")) << errors[0].toStdString();
        EXPECT_FALSE(form.ADOQuery1.Active());
        form.clearClick();
    }
    SetErrorSink(nullptr);
}

TEST(JetDirectory, AGridOverAJetResultScrollsSortsAndExports)
{
    qputenv("MDB_JET3_CHARSET", "CP1252");
    TADOConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + kNwind +
                                   ";Persist Security Info=False");
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQL("SELECT * FROM Customers WHERE Country like \"g%\";");
    TDataSource source;
    source.SetDataSet(&query);
    TDBGridEh grid;
    grid.resize(600, 200);
    grid.SetDataSource(&source);
    for (const char* name : {"CustomerID", "CompanyName", "City"}) {
        TColumnEh* column = grid.Columns().Add();
        column->SetFieldName(name);
    }
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    query.Open();
    ASSERT_GT(query.RecordCount(), 5);  // Germany and its neighbours starting with G
    query.MoveRelative(3);
    EXPECT_EQ(query.RecordNumber(), 4);
    EXPECT_EQ(grid.DataLink()->ActiveRecord(), 3);

    query.SortBy("City");
    query.MoveFirst();
    QString previous;
    for (; !query.AtEnd(); query.MoveNext()) {
        const QString city = query.FieldNamed("City")->DisplayText();
        EXPECT_LE(previous.localeAwareCompare(city), 0) << previous.toStdString() << " > " << city.toStdString();
        previous = city;
    }

    const TDBGridEhExportClass classes[] = {
        &ExportClassEh<TDBGridEhExportAsText>, &ExportClassEh<TDBGridEhExportAsCSV>,
        &ExportClassEh<TDBGridEhExportAsHTML>, &ExportClassEh<TDBGridEhExportAsRTF>,
        &ExportClassEh<TDBGridEhExportAsXLS>,  &ExportClassEh<TDBGridEhExportAsVCLDBIF>,
    };
    query.MoveFirst();
    const QString firstId = query.FieldNamed("CustomerID")->DisplayText();
    for (TDBGridEhExportClass exportClass : classes) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ExportGridToStream(exportClass, &grid, &buffer, true);
        EXPECT_TRUE(buffer.data().contains(firstId.toLatin1()));
        EXPECT_TRUE(buffer.data().contains("Berlin") || buffer.data().contains("Aachen"));
    }
    EXPECT_EQ(query.FieldNamed("CustomerID")->DisplayText(), firstId);  // cursor restored
    qunsetenv("MDB_JET3_CHARSET");
}
