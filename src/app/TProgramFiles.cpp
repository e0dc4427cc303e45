#include "TProgramFiles.h"

#include "Exception.h"
#include "TDirectoryEngine.h"
#include "TIniFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The folder name and file base the program uses in the user's and the system's places, whatever
// its own file is called.
const QString kName = QStringLiteral("phonebook");

// An XDG variable names an absolute folder; an unset, empty or relative value means the default.
QString XdgFolder(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? value : fallback;
}

QStringList XdgDataFolders()
{
    QStringList folders;
    for (const QString& folder : qEnvironmentVariable("XDG_DATA_DIRS").split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder))
            folders << folder;
    }
    if (folders.isEmpty())
        folders = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    return folders;
}

QString PlaceIn(const QString& folder, const QString& fileName)
{
    return QDir::toNativeSeparators(QDir::cleanPath(folder + u'/' + kName + u'/' + fileName));
}

QString FirstExisting(const QStringList& places)
{
    for (const QString& place : places) {
        if (QFileInfo(place).isFile())
            return place;
    }
    return places.first();
}

} // namespace

TProgramFiles TProgramFiles::FromExecutable(const QString& executablePath)
{
    const QFileInfo info(executablePath);
    TProgramFiles files;
    files.Dir = QDir::toNativeSeparators(info.absolutePath());
    if (!files.Dir.endsWith(QDir::separator()))
        files.Dir += QDir::separator();
    files.Base = info.fileName();
    if (files.Base.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        files.Base.chop(4);
    return files;
}

TProgramFiles TProgramFiles::Locate(const QString& executablePath)
{
    TProgramFiles files = FromExecutable(executablePath);
    const QString ini = kName + QStringLiteral(".ini");
    const QString mdb = kName + QStringLiteral(".mdb");
    files.OtherSettingsPlaces = {
        PlaceIn(XdgFolder("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config")), ini),
        PlaceIn(QStringLiteral("/etc"), ini),
    };
    files.OtherDatabasePlaces = {
        PlaceIn(XdgFolder("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share")), mdb)};
    for (const QString& folder : XdgDataFolders())
        files.OtherDatabasePlaces << PlaceIn(folder, mdb);
    files.OtherSettingsPlaces.removeDuplicates();
    files.OtherDatabasePlaces.removeDuplicates();
    return files;
}

QStringList TProgramFiles::SettingsPlaces() const
{
    QStringList places{Dir + Base + QStringLiteral(".ini")};
    places << OtherSettingsPlaces;
    return places;
}

QStringList TProgramFiles::DatabasePlaces() const
{
    QStringList places{Dir + Base + QStringLiteral(".mdb")};
    places << OtherDatabasePlaces;
    return places;
}

QString TProgramFiles::SettingsPath() const
{
    return FirstExisting(SettingsPlaces());
}

QString TProgramFiles::DatabasePath() const
{
    if (!Database.isEmpty())
        return Database;
    const QString configured = ConfiguredDatabase();
    return configured.isEmpty() ? FirstExisting(DatabasePlaces()) : configured;
}

QString TProgramFiles::ConfiguredDatabase() const
{
    const QString settings = SettingsPath();
    const QString value = ReadProfileString(settings, QStringLiteral("main"), QStringLiteral("database"), QString());
    if (value.isEmpty() || IsServerDirectory(value) || QDir::isAbsolutePath(value))
        return value;
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(settings).absolutePath() + u'/' + value));
}

void TProgramFiles::CheckDatabaseFound() const
{
    if (!Database.isEmpty() || OtherDatabasePlaces.isEmpty() || !ConfiguredDatabase().isEmpty())
        return;
    const QStringList places = DatabasePlaces();
    if (QFileInfo(FirstExisting(places)).isFile())
        return;
    QString message = QStringLiteral("Не найден файл справочника %1. Программа искала его здесь:\n")
                          .arg(QFileInfo(places.first()).fileName());
    for (const QString& place : places)
        message += QStringLiteral("  ") + place + u'\n';
    message += QStringLiteral("Положите справочник в одно из этих мест");
    throw EDatabaseError(message);
}
