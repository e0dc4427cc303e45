#pragma once
// Turns the criteria typed into the window into the one statement a search sends to the directory.

#include <QString>

struct TSearchCriteria
{
    QString Fio;
    int FioStyle = 0; // 0 "Слева", 1 "В любом месте", 2 "Полное соотв.", -1 none selected
    QString Street;
    QString Dom;
    QString Kvart;
    QString Phone;
    bool Discrete = false; // exact telephone number
};

// The statement for the criteria; the empty-search statement "SELECT * FROM kray WHERE ;" when no
// criterion is used (IsEmptySearchStatement tells).
QString ComposeSearchStatement(const TSearchCriteria& criteria);
bool IsEmptySearchStatement(const QString& statement);
