// velmora-cli: a search or replace run without a window, through the same
// engine, messages and summary as the window.
#include "ConsoleHost.h"
#include "SearchRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

const char *const Usage =
    "Aufruf: velmora-cli [Optionen]\n"
    "\n"
    "Sucht einen Text in allen passenden Textdateien eines Ordners und ersetzt ihn auf Wunsch.\n"
    "\n"
    "  --folder ORDNER       Startordner (Standard: der aktuelle Ordner)\n"
    "  --filter MUSTER       Dateifilter, Muster durch \";\" getrennt\n"
    "                        (Standard: \"*.txt;*.htm;*.html;*.php\")\n"
    "  --find TEXT           der Suchtext\n"
    "  --find-file DATEI     den Suchtext aus einer UTF-8-Datei lesen (auch mehrzeilig)\n"
    "  --replace TEXT        der Ersatztext: macht den Lauf zu einem Ersetzen\n"
    "  --replace-file DATEI  den Ersatztext aus einer UTF-8-Datei lesen\n"
    "  --subfolders          auch in Unterordnern suchen\n"
    "  --case-sensitive      Groß-/Kleinschreibung beachten\n"
    "  --whole-words         nur ganze Wörter\n"
    "  --read-only           auch schreibgeschützte Dateien bearbeiten\n"
    "  --yes                 Rückfragen mit Ja beantworten (ohne: ein Ersetzen ändert nichts)\n"
    "  --backup-folder ORDNER  vor dem Ersetzen die Originale als ZIP-Archiv in ORDNER sichern\n"
    "  --log                 den Bericht des Laufs an die Protokolldatei anhängen und ihren Pfad ausgeben\n"
    "  --help                diese Hilfe\n"
    "\n"
    "Ausgabe: je Datei mit Funden die Anzahl, die Kodierung und der Pfad (durch Tabulatoren\n"
    "getrennt), danach die Zusammenfassung. Rückgabewert: 0 Erfolg, 1 Hinweis oder Abbruch,\n"
    "2 falscher Aufruf.\n";

int usageError(const QString &message)
{
    std::fprintf(stderr, "velmora-cli: %s\n\n%s", message.toLocal8Bit().constData(), Usage);
    return 2;
}

bool readUtf8File(const QString &path, QString &out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    out = QString::fromUtf8(f.readAll());
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();

    RunOptions o;
    o.txtStartFolder = QDir::currentPath();
    o.txtPattern = QStringLiteral("*.txt;*.htm;*.html;*.php");
    bool haveFind = false, replace = false, yes = false, log = false;
    QString backupFolder;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        auto value = [&](QString &target) {
            if (i + 1 >= args.size())
                return false;
            target = args.at(++i);
            return true;
        };
        QString v;
        if (a == QLatin1String("--help")) {
            std::fputs(Usage, stdout);
            return 0;
        } else if (a == QLatin1String("--folder")) {
            if (!value(v))
                return usageError(QStringLiteral("--folder braucht einen Ordner."));
            o.txtStartFolder = QDir(v).absolutePath();
        } else if (a == QLatin1String("--filter")) {
            if (!value(o.txtPattern))
                return usageError(QStringLiteral("--filter braucht Muster."));
        } else if (a == QLatin1String("--find")) {
            if (!value(o.txtFindW))
                return usageError(QStringLiteral("--find braucht einen Text."));
            haveFind = true;
        } else if (a == QLatin1String("--find-file")) {
            if (!value(v))
                return usageError(QStringLiteral("--find-file braucht eine Datei."));
            if (!readUtf8File(v, o.txtFindW))
                return usageError(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden.").arg(v));
            haveFind = true;
        } else if (a == QLatin1String("--replace")) {
            if (!value(o.txtReplaceW))
                return usageError(QStringLiteral("--replace braucht einen Text."));
            replace = true;
        } else if (a == QLatin1String("--replace-file")) {
            if (!value(v))
                return usageError(QStringLiteral("--replace-file braucht eine Datei."));
            if (!readUtf8File(v, o.txtReplaceW))
                return usageError(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden.").arg(v));
            replace = true;
        } else if (a == QLatin1String("--subfolders")) {
            o.chkUnterordner = 1;
        } else if (a == QLatin1String("--case-sensitive")) {
            o.chkCaseSensitive = 1;
        } else if (a == QLatin1String("--whole-words")) {
            o.chkNurGanzeWorte = 1;
        } else if (a == QLatin1String("--read-only")) {
            o.chkAuchSchreibschutz = 1;
        } else if (a == QLatin1String("--yes")) {
            yes = true;
        } else if (a == QLatin1String("--backup-folder")) {
            if (!value(v))
                return usageError(QStringLiteral("--backup-folder braucht einen Ordner."));
            if (!QFileInfo(v).isDir())
                return usageError(QStringLiteral("Der Backupordner \"%1\" existiert nicht.").arg(v));
            backupFolder = QDir(v).absolutePath();
            o.chkBackup = 1;
        } else if (a == QLatin1String("--log")) {
            log = true;
        } else {
            return usageError(QStringLiteral("Unbekannte Option \"%1\".").arg(a));
        }
    }
    if (!haveFind)
        return usageError(QStringLiteral("Es fehlt der Suchtext (--find oder --find-file)."));

    ConsoleHost host(o, yes);
    SearchRun run(host);
    if (!backupFolder.isEmpty())
        run.BackupFolder = backupFolder + QLatin1Char('/');
    const SearchRun::Outcome outcome = run.cmdStart_Click(replace ? SearchRun::SearchAndReplace : SearchRun::SearchOnly);
    if (outcome != SearchRun::Outcome::Finished)
        return 1;

    const ListModel &list = host.ResultList();
    for (int row = 0; row < list.ItemCount(); ++row) {
        const QString name = list.ItemText(row, 2);
        if (name.isEmpty())
            continue; // the empty filler rows
        QString count; // the grouped and padded count as a plain integer
        for (QChar c : list.ItemText(row, 0))
            if (c.isDigit())
                count += c;
        const QString line = count + QLatin1Char('\t') + list.ItemText(row, 6) + QLatin1Char('\t') +
                             list.ItemText(row, 4) + name + QLatin1Char('\n');
        std::fputs(line.toLocal8Bit().constData(), stdout);
    }
    std::fputs((host.Info() + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    if (log) {
        const QString path = run.cmdSave_Click();
        if (path.isEmpty() && run.FileTotal > 0) {
            std::fputs("Die Protokolldatei konnte nicht geschrieben werden.\n", stderr);
            return 1;
        }
        if (!path.isEmpty())
            std::fputs((QStringLiteral("Protokolldatei: ") + path + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    }
    return host.MessageShown() ? 1 : 0;
}
