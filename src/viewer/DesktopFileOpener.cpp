// Opens a file or folder through the desktop; a program that cannot be
// started is reported to the caller, which tells the user.
#include "DesktopFileOpener.h"

#include "NativePath.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

namespace {

// Graphical plain-text editors, the common desktops' own first.
const char *const kEditors[] = {"gnome-text-editor", "gedit",   "kate",    "kwrite", "mousepad", "pluma", "xed",
                                "featherpad",        "leafpad", "l3afpad", "geany"};

QString defaultTextApplication()
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    if (!query.waitForFinished(3000) || query.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

QString execLineOf(const QString &desktopId)
{
    const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    QFile file(entry);
    if (entry.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream in(&file);
    bool inEntry = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return QString();
}

} // namespace

QStringList DesktopFileOpener::ExecCommand(const QString &execLine, const QString &path)
{
    QStringList command;
    bool placed = false;
    for (const QString &arg : QProcess::splitCommand(execLine)) {
        if (arg == QLatin1String("%f") || arg == QLatin1String("%F")) {
            command << path;
            placed = true;
        } else if (arg == QLatin1String("%u") || arg == QLatin1String("%U")) {
            command << NativePath::Url(path).toString();
            placed = true;
        } else if (arg.size() == 2 && arg.startsWith(QLatin1Char('%'))) {
            continue; // %i, %c, %k and the like say nothing about the file
        } else {
            command << arg;
        }
    }
    if (!command.isEmpty() && !placed)
        command << path;
    return command;
}

QStringList DesktopFileOpener::EditorCommand(const QString &path)
{
    for (const char *name : kEditors) {
        const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!exe.isEmpty())
            return {exe, path};
    }
    const QString desktopId = defaultTextApplication();
    if (desktopId.isEmpty())
        return {};
    return ExecCommand(execLineOf(desktopId), path);
}

bool DesktopFileOpener::OpenWithEditor(const QString &path)
{
    const QStringList command = EditorCommand(path);
    if (!command.isEmpty() && QProcess::startDetached(command.front(), command.mid(1)))
        return true;
    return QDesktopServices::openUrl(NativePath::Url(path));
}

bool DesktopFileOpener::OpenFolder(const QString &folder)
{
    return QDesktopServices::openUrl(NativePath::Url(folder));
}

bool DesktopFileOpener::OpenWithDefaultApplication(const QString &path)
{
    return QDesktopServices::openUrl(NativePath::Url(path));
}
