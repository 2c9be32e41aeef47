// Where settings.ini and Protokolldatei.txt go: the configuration folder unless a settings.ini beside the program asks
// for portable use.
#include "AppPaths.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(AppPaths, ConfigurationFolderUnlessPortable)
{
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("bin")), xdg = root.filePath(QStringLiteral("xdg")),
                  home = root.filePath(QStringLiteral("home"));
    QDir().mkpath(program);
    const QString ini = program + QStringLiteral("/settings.ini");
    struct Case
    {
        QString configHome;
        bool iniBeside;
        QString folder;
    } cases[] = {
        {QString(), false, home + QStringLiteral("/.config/velmora/")},
        {xdg, false, xdg + QStringLiteral("/velmora/")},
        {xdg + QLatin1Char('/'), false, xdg + QStringLiteral("/velmora/")},
        {QStringLiteral("relative/xdg"), false, home + QStringLiteral("/.config/velmora/")}, // invalid, ignored
        {QString(), true, program + QLatin1Char('/')},
        {xdg, true, program + QLatin1Char('/')},
    };
    for (const Case &c : cases) {
        QFile::remove(ini);
        if (c.iniBeside)
            PutFile(ini.toStdString(), "");
        EXPECT_EQ(AppPaths::FolderFor(program, c.configHome, home), c.folder)
            << c.configHome.toStdString() << " beside=" << c.iniBeside;
    }
    // A folder named settings.ini is no settings file; an unknown program folder is never portable.
    QFile::remove(ini);
    QDir().mkpath(ini);
    EXPECT_EQ(AppPaths::FolderFor(program, xdg, home), xdg + QStringLiteral("/velmora/"));
    EXPECT_EQ(AppPaths::FolderFor(QString(), xdg, home), xdg + QStringLiteral("/velmora/"));
}

TEST(AppPaths, BothFilesLandInTheCreatedConfigurationFolder)
{
    QTemporaryDir xdg;
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray before = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", xdg.path().toLocal8Bit());
    const QString folder = xdg.path() + QStringLiteral("/velmora/");
    EXPECT_EQ(AppPaths::SettingsPath(), folder + QStringLiteral("settings.ini"));
    EXPECT_EQ(AppPaths::LogPath(), folder + QStringLiteral("Protokolldatei.txt"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    if (wasSet)
        qputenv("XDG_CONFIG_HOME", before);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
