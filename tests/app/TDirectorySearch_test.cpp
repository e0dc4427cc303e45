#include "TDirectorySearch.h"

#include "EndlessDirectory.h"
#include "Exception.h"
#include "TSearchCriteria.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

// One search object over a small directory file, as a batch of searches would use it.
class DirectorySearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fDir.isValid());
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Path().toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_exec(db,
                     "CREATE TABLE kray(numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);"
                     "INSERT INTO kray VALUES('2-34-56','Иванов Иван','ул. Мира','12','5');"
                     "INSERT INTO kray VALUES('3-22-22','Ёлкин Пётр','ул. Мира','12а','');"
                     "INSERT INTO kray VALUES('4-33-33','Абрамов Олег','пр. Ленина','7','40');"
                     "CREATE TABLE towns(name TEXT);"
                     "INSERT INTO towns VALUES('Тверь');",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        fSearch.Connect(Path());
    }
    QString Path() const { return fDir.filePath("city.db"); }
    static TSearchCriteria Street(const QString& text)
    {
        TSearchCriteria c;
        c.Street = text;
        return c;
    }
    QString FirstOwner()
    {
        fSearch.ADOQuery1.MoveFirst();
        return fSearch.ADOQuery1.FieldNamed("vlad")->DisplayText();
    }

    QTemporaryDir fDir;
    TDirectorySearch fSearch;
};

} // namespace

TEST_F(DirectorySearchTest, SearchesFollowOneAnotherOverOneConnection)
{
    EXPECT_TRUE(fSearch.ADOConnection1.Connected());
    EXPECT_FALSE(fSearch.Active());
    EXPECT_EQ(fSearch.StatusText(), "");

    ASSERT_TRUE(fSearch.Search(Street("Мира")));
    EXPECT_EQ(fSearch.StatusText(), "Найдено 2 записей.");
    EXPECT_EQ(fSearch.ADOQuery1.RecordNumber(), 1);
    fSearch.SortBy("vlad");
    EXPECT_EQ(FirstOwner(), "Ёлкин Пётр");

    // No criterion: nothing happens, the sorted result and its status stay.
    EXPECT_FALSE(fSearch.Search(TSearchCriteria()));
    EXPECT_TRUE(fSearch.Active());
    EXPECT_EQ(FirstOwner(), "Ёлкин Пётр");
    EXPECT_EQ(fSearch.StatusText(), "Найдено 2 записей.");

    // The next search replaces the result and opens it unsorted.
    ASSERT_TRUE(fSearch.Search(Street("%")));
    EXPECT_EQ(fSearch.StatusText(), "Найдено 3 записей.");
    EXPECT_EQ(FirstOwner(), "Иванов Иван");

    fSearch.ShowTable("towns");
    EXPECT_EQ(fSearch.StatusText(), "Найдено 1 записей.");
    EXPECT_EQ(fSearch.ADOQuery1.FieldNamed("name")->DisplayText(), "Тверь");

    fSearch.Clear();
    EXPECT_FALSE(fSearch.Active());
    EXPECT_EQ(fSearch.StatusText(), "");
    fSearch.SortBy("vlad"); // nothing open: nothing happens
    EXPECT_FALSE(fSearch.Active());
}

TEST_F(DirectorySearchTest, AFailedSearchClosesTheQueryKeepsTheStatusAndTheNextOneWorks)
{
    ASSERT_TRUE(fSearch.Search(Street("Ленина")));
    ASSERT_EQ(fSearch.StatusText(), "Найдено 1 записей.");
    EXPECT_THROW(fSearch.ShowTable("nope"), Exception);
    EXPECT_FALSE(fSearch.Active());
    EXPECT_EQ(fSearch.StatusText(), "Найдено 1 записей.");

    ASSERT_TRUE(fSearch.Search(Street("Мира")));
    EXPECT_EQ(fSearch.StatusText(), "Найдено 2 записей.");
}

TEST_F(DirectorySearchTest, AMissingFileFailsToConnectAndASearchConnectsOnDemand)
{
    TDirectorySearch other;
    const QString later = fDir.filePath("later.db");
    EXPECT_THROW(other.Connect(later), Exception);
    EXPECT_FALSE(other.ADOConnection1.Connected());
    ASSERT_TRUE(QFile::copy(Path(), later));
    ASSERT_TRUE(other.Search(Street("Мира")));
    EXPECT_EQ(other.StatusText(), "Найдено 2 записей.");
    other.Disconnect();
    EXPECT_FALSE(other.ADOConnection1.Connected());
}

TEST_F(DirectorySearchTest, AStoppedSearchBringsBackWhatWasShown)
{
    MakeDirectoryEndless(Path());
    const struct
    {
        const char* name;
        bool search;
        bool sorted;
        bool table;
        int record;
        int count;
        QString first;
    } cases[] = {
        {"nothing shown before", false, false, false, -1, 0, ""},
        {"a search", true, false, false, 2, 2, "Иванов Иван"},
        {"a sorted search", true, true, false, 2, 2, "Ёлкин Пётр"},
        {"a whole table", false, false, true, 1, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fSearch.Clear();
        if (c.table)
            fSearch.ShowTable("towns");
        if (c.search) {
            ASSERT_TRUE(fSearch.Search(Street("Мира")));
            if (c.sorted)
                fSearch.SortBy("vlad"); // Ёлкин, Иванов
            fSearch.ADOQuery1.SetRecordNumber(2);
        }
        const QString status = fSearch.StatusText();
        // The user stops the search the first time it reports progress.
        fSearch.ADOQuery1.CancelToken().Progress = [&] { fSearch.ADOQuery1.Cancel(); };
        EXPECT_THROW(fSearch.Search(Street(kEndlessStreet)), ECancelled);
        fSearch.ADOQuery1.CancelToken().Progress = nullptr;
        EXPECT_EQ(fSearch.StatusText(), status);
        EXPECT_EQ(fSearch.Active(), c.record > 0);
        if (c.record <= 0)
            continue;
        EXPECT_EQ(fSearch.ADOQuery1.RecordCount(), c.count);
        EXPECT_EQ(fSearch.ADOQuery1.RecordNumber(), c.record);
        if (!c.first.isEmpty()) {
            EXPECT_EQ(FirstOwner(), c.first);
        }
    }
}
