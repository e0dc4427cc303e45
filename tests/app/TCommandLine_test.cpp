#include "TCommandLine.h"

#include "Exception.h"

#include <gtest/gtest.h>

TEST(ExportFileName, AppendsTheExtensionUnlessTheLastThreeCharactersAreIt)
{
    const std::vector<std::tuple<QString, QString, QString>> cases = {
        {"report", "csv", "report.csv"},
        {"report.CSV", "csv", "report.CSV"},
        {"a.txt", "csv", "a.txt.csv"},
        {"mytxt", "txt", "mytxt"},
        {"page.html", "htm", "page.html.htm"},
        {"ab", "txt", "ab.txt"},
        {"", "xls", ".xls"},
    };
    for (const auto& [name, ext, expected] : cases)
        EXPECT_EQ(ExportFileName(name, ext), expected) << name.toStdString();
}

TEST(CommandLine, ReadsEveryOption)
{
    const TCommandLine cl = ParseCommandLine(
        {"--fio", "Иван", "--fio-style", "anywhere", "--street", "Мира", "--dom", "1", "--kvart", "2",
         "--phone", "3", "--exact-phone", "--sort", "vlad", "--export", "out.CSV"});
    EXPECT_TRUE(cl.Batch);
    EXPECT_EQ(cl.Criteria.Fio, "Иван");
    EXPECT_EQ(cl.Criteria.FioStyle, 1);
    EXPECT_EQ(cl.Criteria.Street, "Мира");
    EXPECT_EQ(cl.Criteria.Dom, "1");
    EXPECT_EQ(cl.Criteria.Kvart, "2");
    EXPECT_EQ(cl.Criteria.Phone, "3");
    EXPECT_TRUE(cl.Criteria.Discrete);
    EXPECT_EQ(cl.SortField, "vlad");
    EXPECT_EQ(cl.Format, "csv");  // from the extension
    EXPECT_FALSE(ParseCommandLine({}).Batch);
    EXPECT_EQ(ParseCommandLine({"--export", "x.dat", "--format", "XLS"}).Format, "xls");
    EXPECT_EQ(ParseCommandLine({"--export", "x.html"}).Format, "htm");
    EXPECT_TRUE(ParseCommandLine({"--help"}).Help);
}

TEST(CommandLine, BadArgumentsAreClearErrors)
{
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--frobnicate"}, "Unknown option '--frobnicate' (see --help)"},
        {{"--fio"}, "Option --fio needs a value"},
        {{"--fio-style", "middle"}, "Unknown --fio-style 'middle' (use left, anywhere or exact)"},
        {{"--export", "x.doc"}, "Cannot tell the format of 'x.doc' from its extension: give --format"},
        {{"--format", "pdf", "--export", "x"}, "Unknown --format 'pdf' (use txt, csv, htm, rtf or xls)"},
        {{"--format", "csv"}, "--format needs --export FILE"},
    };
    for (const auto& [args, message] : cases) {
        try {
            ParseCommandLine(args);
            ADD_FAILURE() << "no error for " << args.join(' ').toStdString();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }
}
