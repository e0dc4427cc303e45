#include "TDBGridEhClipboard.h"

#include "ExportGrid.h"
#include "GoldenBytes.h"
#include "TDBGridEhExportAsText.h"

#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The CSV of the copy, under its two names: the desktop's "Csv" keeps the export's windows-1251
// bytes and its terminating zero; text/csv, which Linux programs read as UTF-8 when no charset is
// named, carries the same text in UTF-8 without the zero.
TEST(ClipboardCopy, CsvUnderItsWindowsNameInWindows1251AndAsTextCsvInUtf8)
{
    auto g = TwoColumnGrid({{QStringLiteral("Иванов Пётр"), QStringLiteral("ул. Мира, 12")}, {"b1", ""}});
    std::unique_ptr<QMimeData> data(GridClipboardDataEh(g->Grid.get(), true));

    const QByteArray csvText = "\"T1\";\"T2\"\r\n\"Иванов Пётр\";\"ул. Мира, 12\"\r\n\"b1\";\"\"";
    EXPECT_BYTES(data->data(QStringLiteral("text/csv")), csvText);

    const QByteArray windowsCsv = HexBytes("22 54 31 22 3B 22 54 32 22 0D 0A "
                                           "22 C8 E2 E0 ED EE E2 20 CF B8 F2 F0 22 3B "
                                           "22 F3 EB 2E 20 CC E8 F0 E0 2C 20 31 32 22 0D 0A "
                                           "22 62 31 22 3B 22 22 00");
    EXPECT_BYTES(data->data(WindowsMimeTypeEh(CsvClipboardFormat)), windowsCsv);
    EXPECT_BYTES(data->data(WindowsMimeTypeEh(CsvClipboardFormat)).chopped(1),
                 g->Export(ExportClassEh<TDBGridEhExportAsCSV>));
}

} // namespace
