#pragma once
// The statement dialect the search composes, parsed by our own small parser:
//   SELECT * FROM <table> [WHERE <cond> (and <cond>)*] [;]
// with <cond> = <field> like "<literal>" | <field> = "<literal>"; a name is a word, or any text
// without ']' in square brackets; keywords in any letter case; a doubled double quote inside a
// literal stands for one quote; a closing quote may be followed directly by "and". Anything else
// is a syntax error quoting the offending text.

#include <QString>
#include <vector>

struct TCondition
{
    enum Op
    {
        Like,
        Equal
    };
    QString Field;
    Op Operator = Like;
    QString Literal; // quotes already undoubled
    bool operator==(const TCondition&) const = default;
};

struct TSelectStatement
{
    QString Table;
    std::vector<TCondition> Conditions; // all must hold
    bool operator==(const TSelectStatement&) const = default;
};

// Throws EDatabaseError with a message that quotes the offending text.
TSelectStatement ParseSelectStatement(const QString& sql);
