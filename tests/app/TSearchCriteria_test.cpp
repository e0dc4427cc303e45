#include "TSearchCriteria.h"

#include <gtest/gtest.h>

namespace {

struct Case
{
    const char* name;
    TSearchCriteria criteria;
    QString expected;
};

const QString S = QStringLiteral("SELECT * FROM kray WHERE ");

std::vector<Case> Cases()
{
    auto c = [](auto f) {
        TSearchCriteria x;
        f(x);
        return x;
    };
    return {
        {"fio at the start", c([](auto& x) { x.Fio = "Иван"; }), S + "vlad like \"Иван%\";"},
        {"fio anywhere", c([](auto& x) {
             x.Fio = "Иван";
             x.FioStyle = 1;
         }),
         S + "vlad like \"%Иван%\";"},
        {"fio exact", c([](auto& x) {
             x.Fio = "Иван";
             x.FioStyle = 2;
         }),
         S + "vlad=\"Иван\";"},
        {"fio with no style selected", c([](auto& x) {
             x.Fio = "Иван";
             x.FioStyle = -1;
         }),
         S + ";"},
        {"street", c([](auto& x) { x.Street = "Мира"; }), S + "street like \"%Мира%\";"},
        {"house", c([](auto& x) { x.Dom = "12"; }), S + "numhome like \"12%\";"},
        {"flat", c([](auto& x) { x.Kvart = "5"; }), S + "numdoor like \"5%\";"},
        {"phone anywhere", c([](auto& x) { x.Phone = "34"; }), S + "numer like \"%34%\";"},
        {"phone exact", c([](auto& x) {
             x.Phone = "2-34-56";
             x.Discrete = true;
         }),
         S + "numer=\"2-34-56\";"},
        {"all together in order", c([](auto& x) {
             x.Fio = "А";
             x.Street = "Б";
             x.Dom = "1";
             x.Kvart = "2";
             x.Phone = "3";
         }),
         S
             + "vlad like \"А%\"and street like \"%Б%\"and numhome like \"1%\"and numdoor like \"2%\"and numer like "
               "\"%3%\";"},
        {"worked example: owner at the start and street", c([](auto& x) {
             x.Fio = "T1";
             x.Street = "T2";
         }),
         S + "vlad like \"T1%\"and street like \"%T2%\";"},
        {"one blank in fio is used", c([](auto& x) { x.Fio = " "; }), S + "vlad like \" %\";"},
        {"WHERE and inside a criterion stays", c([](auto& x) { x.Street = "WHERE and"; }),
         S + "street like \"%WHERE and%\";"},
        {"WHERE and in a later criterion stays", c([](auto& x) {
             x.Fio = "x";
             x.Street = "WHERE and";
         }),
         S + "vlad like \"x%\"and street like \"%WHERE and%\";"},
        {"lower-case where and is never replaced", c([](auto& x) { x.Dom = "where and"; }),
         S + "numhome like \"where and%\";"},
        {"no criterion", c([](auto&) {}), S + ";"},
        {"no criterion, other styles", c([](auto& x) {
             x.FioStyle = 2;
             x.Discrete = true;
         }),
         S + ";"},
        {"quotes are doubled", c([](auto& x) {
             x.Fio = "ООО \"Ромашка\"";
             x.FioStyle = 1;
         }),
         S + "vlad like \"%ООО \"\"Ромашка\"\"%\";"},
        {"wildcards keep their meaning", c([](auto& x) { x.Fio = "%ов_"; }), S + "vlad like \"%ов_%\";"},
    };
}

} // namespace

TEST(SearchStatement, ComposesEachCaseAsTyped)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const QString sql = ComposeSearchStatement(c.criteria);
        EXPECT_EQ(sql.toStdString(), c.expected.toStdString());
        EXPECT_EQ(IsEmptySearchStatement(sql), c.expected == S + ";");
    }
}
