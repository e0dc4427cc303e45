#pragma once
// Reads one value of a settings (INI) file the way the desktop's profile reader does: section and
// key names compared without regard to letter case, blanks around the value trimmed, one pair of
// matching surrounding quotes removed, the value cut to 2047 characters. The file is only read.

#include <QString>

QString ReadProfileString(const QString& path, const QString& section, const QString& key, const QString& defaultValue);
