#pragma once
// The files the program finds beside itself: base name + ".ini" (settings) and + ".mdb" (the
// directory). The base is the program's file name with a trailing ".exe" (any letter case) removed,
// and the whole name otherwise: a Linux program file has no extension to cut.
//
// An installed program (/usr/bin/phonebook) cannot keep files beside itself, so the program as
// started (Locate) looks further when nothing is there: in the user's places, then in the system's
// (the XDG base directories):
//   settings:  beside, $XDG_CONFIG_HOME/phonebook/phonebook.ini (~/.config), /etc/phonebook/phonebook.ini
//   directory: beside, $XDG_DATA_HOME/phonebook/phonebook.mdb (~/.local/share), then
//              <each folder of $XDG_DATA_DIRS>/phonebook/phonebook.mdb (/usr/local/share:/usr/share)
// The first file that exists is taken, unless the settings file names the directory ([main] key
// "database": a file, relative to the settings file's folder, or a PostgreSQL URI).

#include <QString>
#include <QStringList>

struct TProgramFiles
{
    QString Dir; // with its trailing separator
    QString Base;
    QString Database; // when set, the directory file to open in place of base + ".mdb"
    // Places looked in after the program's folder, in order; empty when the files live beside the
    // program only.
    QStringList OtherSettingsPlaces;
    QStringList OtherDatabasePlaces;

    // Beside the program only.
    static TProgramFiles FromExecutable(const QString& executablePath);
    // Beside the program, then in the places the environment names (read now).
    static TProgramFiles Locate(const QString& executablePath);

    QStringList SettingsPlaces() const;
    QStringList DatabasePlaces() const;
    // The first place that holds a file; the one beside the program when none does.
    QString SettingsPath() const;
    QString DatabasePath() const;
    // The directory the settings file names (a file path made absolute, or a URI as written);
    // empty when it names none.
    QString ConfiguredDatabase() const;
    // Raises EDatabaseError naming every place looked in when the directory is in none of them.
    // A directory given outright (Database, or the settings file), or looked for beside the program
    // only, is left to the engine, whose message names the one file or server.
    void CheckDatabaseFound() const;
};
