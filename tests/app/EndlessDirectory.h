#pragma once
// Turns a directory file's table kray into one whose rows go on without end on the street
// "Бесконечная", none of them ever found: a search on that street never ends, while a search on any
// other street finds the file's own rows at once (its endless part is seen to be empty beforehand).

#include "SqliteDirectory.h"

inline const char* const kEndlessStreet = "Бесконечная";

inline void MakeDirectoryEndless(const QString& path)
{
    RunSqlScript(path, R"sql(
ALTER TABLE kray RENAME TO known;
CREATE VIEW kray AS
  SELECT numer, vlad, street, numhome, numdoor FROM known
  UNION ALL
  SELECT * FROM (WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r)
                 SELECT '0' AS numer, 'Никто' AS vlad, 'Бесконечная' AS street, '0' AS numhome,
                        '0' AS numdoor
                 FROM r WHERE n < 0);
)sql");
}
