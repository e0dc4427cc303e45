#pragma once
// The files the program finds beside itself: base name + ".ini" (settings) and + ".mdb" (the
// directory). The base is the program's file name with a trailing ".exe" (any letter case) removed,
// and the whole name otherwise: a Linux program file has no extension to cut.

#include <QString>

struct TProgramFiles
{
    QString Dir;   // with its trailing separator
    QString Base;
    QString Database;  // when set, the directory file to open in place of base + ".mdb"

    static TProgramFiles FromExecutable(const QString& executablePath);
    QString SettingsPath() const { return Dir + Base + QStringLiteral(".ini"); }
    QString DatabasePath() const { return Database.isEmpty() ? Dir + Base + QStringLiteral(".mdb") : Database; }
};
