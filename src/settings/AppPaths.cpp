// Where the program keeps settings.ini and Protokolldatei.txt.
#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

QString AppPaths::FolderFor(const QString &programFolder, const QString &configHome, const QString &home)
{
    // A settings.ini beside the program asks for portable use; without one the
    // program folder (often /usr/bin or ~/.local/bin) is no place for files.
    if (!programFolder.isEmpty() && QFileInfo(withSeparator(programFolder) + QStringLiteral("settings.ini")).isFile())
        return withSeparator(programFolder);
    // A relative XDG_CONFIG_HOME is invalid and therefore ignored.
    const QString config = configHome.startsWith(QLatin1Char('/')) ? configHome : home + QStringLiteral("/.config");
    return withSeparator(config) + QStringLiteral("velmora/");
}

QString AppPaths::Folder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    const QString programFolder = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    const QString folder = FolderFor(programFolder, qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
    if (folder != withSeparator(programFolder))
        QDir().mkpath(folder);
    return folder;
}
