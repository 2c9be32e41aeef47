// Where the program keeps settings.ini and Protokolldatei.txt: beside the
// program when that folder is writable (portable use), else in the user's
// configuration folder.
#pragma once

#include <QString>

class AppPaths
{
public:
    // The folder, ending in "/"; created when it is the configuration folder.
    static QString ProgramFolder();
    static QString SettingsPath() { return ProgramFolder() + QStringLiteral("settings.ini"); }
    static QString LogPath() { return ProgramFolder() + QStringLiteral("Protokolldatei.txt"); }

    // Tests and the command line may point both files elsewhere.
    static void SetProgramFolderForTesting(const QString &folder);
};
