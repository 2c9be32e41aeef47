// Where the program keeps settings.ini and Protokolldatei.txt: in the user's
// configuration folder ($XDG_CONFIG_HOME/velmora, else ~/.config/velmora), or
// beside the program when a settings.ini is already there (portable use).
#pragma once

#include <QString>

class AppPaths
{
public:
    // The folder, ending in "/"; created when it is the configuration folder.
    static QString Folder();
    static QString SettingsPath() { return Folder() + QStringLiteral("settings.ini"); }
    static QString LogPath() { return Folder() + QStringLiteral("Protokolldatei.txt"); }

    // The decision itself, without creating anything: programFolder holds the
    // executable (empty when unknown), configHome is $XDG_CONFIG_HOME as set.
    static QString FolderFor(const QString &programFolder, const QString &configHome, const QString &home);

    // Tests and the command line may point both files elsewhere.
    static void SetProgramFolderForTesting(const QString &folder);
};
