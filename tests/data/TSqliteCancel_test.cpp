// Searches that would never end: a directory whose kray is an endless view. A cancel from another
// thread or from the progress callback ends the open and leaves the query closed; a result that
// would outgrow the memory limit ends with a message instead of the machine swapping.
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TResultTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Rows without end, every one on "ул. Мира" and none with an owner starting with "Я".
const char* const kEndlessScript = R"sql(
CREATE VIEW kray AS
  WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r)
  SELECT CAST(200000 + n AS TEXT) AS numer, 'Житель ' || n AS vlad, 'ул. Мира' AS street,
         CAST(n AS TEXT) AS numhome, NULL AS numdoor
  FROM r;
CREATE TABLE finite (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);
INSERT INTO finite VALUES ('1', 'Иванов', 'ул. Мира', '1', '1');
)sql";

const QString kNothingFound = QStringLiteral("SELECT * FROM kray WHERE vlad like \"Я%\";");
const QString kEverythingFound = QStringLiteral("SELECT * FROM kray WHERE street like \"%мира%\";");

class TEndlessDirectory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fPath = QDir(fDir.path()).filePath(QStringLiteral("бесконечный.mdb"));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(fPath.toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, kEndlessScript, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        fConnection.SetConnectionString(TADOConnection::ConnectionStringFor(fPath));
        fQuery.SetConnection(&fConnection);
    }

    // Opens the query and expects it to end cancelled, closed.
    void ExpectCancelled()
    {
        try {
            fQuery.Open();
            FAIL() << "the endless search ended by itself";
        } catch (const ECancelled& e) {
            EXPECT_EQ(e.Reason().toStdString(),
                      FormatMessage("Поиск в справочнике '%s' прерван.", {fPath}).toStdString());
        }
        EXPECT_FALSE(fQuery.Active());
    }

    // The same query still searches normally afterwards.
    void ExpectUsableAfterwards()
    {
        fQuery.SetSQL("SELECT * FROM finite WHERE vlad like \"и%\";");
        fQuery.Open();
        EXPECT_EQ(fQuery.RecordCount(), 1);
        fQuery.Close();
    }

    QTemporaryDir fDir;
    QString fPath;
    TADOConnection fConnection;
    TADOQuery fQuery;
};

TEST_F(TEndlessDirectory, ACancelFromAnotherThreadEndsASearchThatFindsNothing)
{
    fQuery.SetSQL(kNothingFound);
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        fQuery.Cancel();
    });
    ExpectCancelled();
    canceller.join();
    ExpectUsableAfterwards();
}

TEST_F(TEndlessDirectory, ACancelFromAnotherThreadEndsASearchThatFindsEverything)
{
    TResultTable::SetMemoryLimit(std::size_t(1) << 40); // far beyond what the test could fill
    fQuery.SetSQL(kEverythingFound);
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        fQuery.Cancel();
    });
    ExpectCancelled();
    canceller.join();
    TResultTable::SetMemoryLimit(0);
    ExpectUsableAfterwards();
}

TEST_F(TEndlessDirectory, TheProgressCallbackRunsOnTheOpeningThreadAndMayCancel)
{
    fQuery.SetSQL(kNothingFound);
    int calls = 0;
    const auto openingThread = std::this_thread::get_id();
    bool sameThread = true;
    fQuery.CancelToken().ProgressIntervalMs = 20;
    fQuery.CancelToken().Progress = [&] {
        sameThread &= std::this_thread::get_id() == openingThread;
        if (++calls == 5)
            fQuery.Cancel(); // as a progress dialog's button would
    };
    ExpectCancelled();
    EXPECT_EQ(calls, 5);
    EXPECT_TRUE(sameThread);
    fQuery.CancelToken().Progress = nullptr;
    ExpectUsableAfterwards();
}

TEST_F(TEndlessDirectory, ACancelWhileNothingRunsIsForgotten)
{
    fQuery.Cancel();
    ExpectUsableAfterwards();
}

TEST_F(TEndlessDirectory, AnOuterTokenStaysCancelledUntilItsOwnerResetsIt)
{
    TCancelToken interrupt; // as a Ctrl+C handler keeps it
    fQuery.SetCancelToken(&interrupt);
    interrupt.Cancel(); // before the search starts
    fQuery.SetSQL(kNothingFound);
    ExpectCancelled();
    ExpectCancelled();
    interrupt.Reset();
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        interrupt.Cancel();
    });
    ExpectCancelled();
    canceller.join();
    fQuery.SetCancelToken(nullptr);
    ExpectUsableAfterwards();
}

TEST_F(TEndlessDirectory, AResultBeyondTheMemoryLimitEndsWithAMessage)
{
    TResultTable::SetMemoryLimit(std::size_t(4) << 20);
    fQuery.SetSQL(kEverythingFound);
    try {
        fQuery.Open();
        FAIL() << "the endless result was taken whole";
    } catch (const EResultTooLarge& e) {
        const std::string message = e.Message().toStdString();
        const std::string start = FormatMessage("Справочник '%s': Результат поиска не помещается в память: найдено "
                                                "больше ",
                                                {fPath})
                                      .toStdString();
        EXPECT_EQ(message.substr(0, start.size()), start);
        EXPECT_NE(message.find(" записей, и они заняли бы больше 4 МБ. Уточните условия поиска."), std::string::npos)
            << message;
    }
    TResultTable::SetMemoryLimit(0);
    EXPECT_FALSE(fQuery.Active());
    ExpectUsableAfterwards();
}

TEST(TResultTable, TheMemoryLimitStopsTheRowThatGoesBeyondIt)
{
    EXPECT_GT(TResultTable::MemoryLimit(), std::size_t(16) << 20) << "the default comes from the machine";
    TResultTable::SetMemoryLimit(1000);
    TResultTable table({{"a", ftString}, {"b", ftString}});
    int rows = 0;
    try {
        for (;; ++rows) {
            table.AppendText("0123456789"); // 10 bytes + 4 for its end, twice: 28 bytes a row
            table.AppendText("0123456789");
            table.EndRow();
        }
    } catch (const EResultTooLarge& e) {
        EXPECT_EQ(e.Message().toStdString(),
                  "Результат поиска не помещается в память: найдено больше 35 записей, и они заняли бы больше 1 "
                  "МБ. Уточните условия поиска.");
    }
    TResultTable::SetMemoryLimit(0);
    EXPECT_EQ(rows, 35); // 35 * 28 = 980 bytes fit, the 36th row would need 1008
    EXPECT_EQ(table.RowCount(), 35);
    EXPECT_EQ(QString::fromUtf8(table.Raw(34, 1)).toStdString(), "0123456789");
}

} // namespace
