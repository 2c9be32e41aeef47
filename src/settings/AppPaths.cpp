// Where the program keeps settings.ini and Protokolldatei.txt.
#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace {

QString withSeparator(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString &overrideFolder()
{
    static QString folder;
    return folder;
}

} // namespace

void AppPaths::SetProgramFolderForTesting(const QString &folder)
{
    overrideFolder() = folder.isEmpty() ? QString() : withSeparator(folder);
}

QString AppPaths::ProgramFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    const QString programFolder = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (!programFolder.isEmpty() && ::access(QFile::encodeName(programFolder).constData(), W_OK) == 0)
        return withSeparator(programFolder);
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = config + QStringLiteral("/velmora");
    QDir().mkpath(folder);
    return withSeparator(folder);
}
