#include "TProgramFiles.h"

#include <QDir>
#include <QFileInfo>

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
