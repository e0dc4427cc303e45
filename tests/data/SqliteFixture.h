#pragma once
// Small SQLite database files made by the tests themselves, in a temporary folder.

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <stdexcept>
#include <string>

// Runs an SQL script against a new (or existing) database file; fails loudly on any error.
inline void RunSqlScript(const QString& path, const std::string& script)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot create fixture database");
    }
    char* error = nullptr;
    sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);  // fixtures need no fsync
    if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        sqlite3_close(db);
        throw std::runtime_error("fixture script failed: " + message);
    }
    sqlite3_close(db);
}

// The directory table as the program knows it, with entries that exercise matching: letter
// case, е beside ё, quotes, wildcard characters inside values, blank and empty values.
inline const char* DirectoryFixtureScript()
{
    return R"sql(
CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);
INSERT INTO kray VALUES ('211111', 'Иванов Иван Иванович', 'ул. Мира', '12а', '5');
INSERT INTO kray VALUES ('211112', 'ИВАНОВА Мария Петровна', 'пр. Ленина', '3', '17');
INSERT INTO kray VALUES ('211113', 'Ёлкин Пётр Семёнович', 'ул. Мира', '7', NULL);
INSERT INTO kray VALUES ('211114', 'елкин Сергей', 'ул. Садовая', '1', '');
INSERT INTO kray VALUES ('311115', 'ООО "Ромашка"', 'ул. Заводская', '25', NULL);
INSERT INTO kray VALUES ('311116', 'Сидоров_Петров', 'ул. 50% скидки', '9', '1');
INSERT INTO kray VALUES ('311117', 'Кузнецов Kelvin', 'Mira street', '100', '2');
INSERT INTO kray VALUES ('311118', NULL, 'ул. Мира', '5', '3');
INSERT INTO kray VALUES ('311119', 'Сидоров Петров', 'пр. Мира', '', '4');
INSERT INTO kray VALUES ('311120', '', 'ул. Садовая', '1', '8');
)sql";
}

inline QString MakeDirectoryFixture(const QTemporaryDir& dir, const QString& name = QStringLiteral("phonebook.mdb"),
                                    const std::string& extra = {})
{
    const QString path = QDir(dir.path()).filePath(name);
    RunSqlScript(path, std::string(DirectoryFixtureScript()) + extra);
    return path;
}

inline QString ConnectionStringFor(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path
           + QStringLiteral(";Persist Security Info=False");
}
