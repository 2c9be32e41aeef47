// velmora-cli: a search or replace run without a window, through the same
// engine, messages and summary as the window.
#include "ConsoleHost.h"
#include "ConsolePrinter.h"
#include "FileAttributes.h"
#include "NativePath.h"
#include "RestoreRun.h"
#include "SearchRun.h"
#include "Utf8.h"
#include "cFileResder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

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
    "  -0, --null            jede Dateizeile mit einem NUL-Byte statt eines Zeilenendes abschließen,\n"
    "                        den Pfad unverändert ausgeben und die Zusammenfassung auf die\n"
    "                        Fehlerausgabe schreiben (für Skripte)\n"
    "  --restore ARCHIV      die Dateien eines Ersetzen-Laufs aus seinem Backup-Archiv wiederherstellen:\n"
    "                        ohne --yes nur anzeigen, was geschähe; --folder nennt den Startordner\n"
    "                        des Laufs (nötig bei Archiven ohne verzeichnete Pfade), --backup-folder\n"
    "                        wohin der jetzige Stand vorher gesichert wird (Standard: der Ordner\n"
    "                        des Archivs)\n"
    "  --force               mit --restore auch Dateien wiederherstellen, die seit dem Lauf\n"
    "                        geändert wurden (ihr jetziger Inhalt wird ebenfalls gesichert)\n"
    "  --help                diese Hilfe\n"
    "  --version             Programmname und Version ausgeben\n"
    "\n"
    "Ausgabe: je Datei mit Funden die Anzahl, die Kodierung und der Pfad (durch Tabulatoren\n"
    "getrennt), danach die Zusammenfassung. Im Pfad stehen Steuerzeichen und der umgekehrte\n"
    "Schrägstrich maskiert: \\n Zeilenumbruch, \\t Tabulator, \\r Wagenrücklauf, \\\\ umgekehrter\n"
    "Schrägstrich, \\xHH jedes andere Steuerzeichen (HH hexadezimal); alle übrigen Bytes bleiben,\n"
    "wie das Dateisystem sie liefert.\n"
    "\n"
    "SIGINT (Strg+C) oder SIGTERM hält einen Lauf an wie die Abbruch-Taste: die laufende Datei\n"
    "wird fertig bearbeitet, das Backup-Archiv abgeschlossen. Ein zweites Signal beendet das\n"
    "Programm sofort.\n"
    "\n"
    "Rückgabewert: 0 Erfolg, 1 Hinweis oder Abbruch, 2 falscher Aufruf, 128 + Signalnummer\n"
    "nach einem durch ein Signal angehaltenen Lauf (130 bei SIGINT, 143 bei SIGTERM).\n";

// The options that take a value, with the complaint when it is missing.
struct ValueOption
{
    const char *name;
    const char *missing;
};
const ValueOption ValueOptions[] = {
    {"folder", "--folder braucht einen Ordner."},
    {"filter", "--filter braucht Muster."},
    {"find", "--find braucht einen Text."},
    {"find-file", "--find-file braucht eine Datei."},
    {"replace", "--replace braucht einen Text."},
    {"replace-file", "--replace-file braucht eine Datei."},
    {"backup-folder", "--backup-folder braucht einen Ordner."},
    {"restore", "--restore braucht ein Backup-Archiv."},
};
const char *const Flags[] = {"subfolders", "case-sensitive", "whole-words", "read-only", "yes",
                             "log",        "help",           "version",     "force"};

int usageError(const QString &message)
{
    std::fprintf(stderr, "velmora-cli: %s\n\n%s", message.toLocal8Bit().constData(), Usage);
    return 2;
}

void print(std::FILE *to, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
}

// The arguments with the exact bytes of paths that are not UTF-8.
QStringList nativeArguments(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << NativePath::Decode(argv[i]);
    return args;
}

QString currentFolder()
{
    QByteArray buffer(4096, '\0');
    while (!::getcwd(buffer.data(), static_cast<size_t>(buffer.size()))) {
        if (errno != ERANGE)
            return QDir::currentPath();
        buffer.resize(buffer.size() * 2);
    }
    return NativePath::Decode(buffer.constData());
}

QString absolute(const QString &path)
{
    return QDir::cleanPath(path.startsWith(QLatin1Char('/')) ? path : currentFolder() + QLatin1Char('/') + path);
}

// A start folder keeps a closing separator: it names the folder itself as
// where backup entry names begin ("x.txt", not "quelle/x.txt").
QString absoluteStartFolder(const QString &path)
{
    const QString cleaned = absolute(path);
    return path.endsWith(QLatin1Char('/')) && !cleaned.endsWith(QLatin1Char('/')) ? cleaned + QLatin1Char('/')
                                                                                  : cleaned;
}

enum class TextFile { Read, Unreadable, NotUtf8 };

// A text is taken only as it was meant: bytes that are not UTF-8 would reach
// the files as U+FFFD.
TextFile readUtf8File(const QString &path, QString &out)
{
    QByteArray bytes;
    if (!cFileResder::ReadAllBytes(path, bytes))
        return TextFile::Unreadable;
    out.clear();
    if (!Utf8::DecodeStrict(bytes.constData(), static_cast<std::size_t>(bytes.size()), out))
        return TextFile::NotUtf8;
    return TextFile::Read;
}

struct Call
{
    RunOptions options;
    bool replace = false, yes = false, log = false, null = false, force = false;
    QString backupFolder;
    QString restore;      // the archive to restore from
    QString restoreStart; // the start folder given for it
};

// Reads the arguments into call; returns -1 to go on, else the exit status.
int parse(const QStringList &args, Call &call)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const ValueOption &o : ValueOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(o.name), QString(), QStringLiteral("wert")));
    for (const char *f : Flags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(f)));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("0"), QStringLiteral("null")}));
    if (!parser.parse(args)) {
        if (!parser.unknownOptionNames().isEmpty())
            return usageError(QStringLiteral("Unbekannte Option \"--%1\".").arg(parser.unknownOptionNames().first()));
        // The parser takes whatever follows an option as its value, so only
        // an option at the very end can lack one.
        for (const ValueOption &o : ValueOptions)
            if (args.last() == QLatin1String("--") + QLatin1String(o.name))
                return usageError(QString::fromUtf8(o.missing));
        return usageError(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("Unbekannte Option \"%1\".").arg(parser.positionalArguments().first()));
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::fputs("velmora-cli " VELMORA_VERSION "\n", stdout);
        return 0;
    }

    RunOptions &o = call.options;
    // An empty --folder stays empty for the run's check to refuse.
    const QString folder = parser.value(QStringLiteral("folder"));
    o.txtStartFolder = !parser.isSet(QStringLiteral("folder")) ? currentFolder()
                       : folder.isEmpty()                      ? QString()
                                                               : absoluteStartFolder(folder);
    o.txtPattern = parser.isSet(QStringLiteral("filter")) ? parser.value(QStringLiteral("filter"))
                                                          : QStringLiteral("*.txt;*.htm;*.html;*.php");
    auto text = [&](const char *option, const char *fileOption, QString &target, bool &given) {
        const QString file = QString::fromLatin1(fileOption);
        if (parser.isSet(file)) {
            given = true;
            const QString shown = NativePath::Display(parser.value(file));
            switch (readUtf8File(parser.value(file), target)) {
            case TextFile::Unreadable:
                return usageError(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden.").arg(shown));
            case TextFile::NotUtf8:
                print(stderr, QStringLiteral("Die Datei \"%1\" enthält kein gültiges UTF-8.\n").arg(shown));
                return 1;
            case TextFile::Read:
                break;
            }
        } else if (parser.isSet(QString::fromLatin1(option))) {
            given = true;
            target = parser.value(QString::fromLatin1(option));
        }
        return -1;
    };
    bool haveFind = false;
    if (const int status = text("find", "find-file", o.txtFindW, haveFind); status >= 0)
        return status;
    if (const int status = text("replace", "replace-file", o.txtReplaceW, call.replace); status >= 0)
        return status;
    o.chkUnterordner = parser.isSet(QStringLiteral("subfolders")) ? 1 : 0;
    o.chkCaseSensitive = parser.isSet(QStringLiteral("case-sensitive")) ? 1 : 0;
    o.chkNurGanzeWorte = parser.isSet(QStringLiteral("whole-words")) ? 1 : 0;
    o.chkAuchSchreibschutz = parser.isSet(QStringLiteral("read-only")) ? 1 : 0;
    call.yes = parser.isSet(QStringLiteral("yes"));
    call.log = parser.isSet(QStringLiteral("log"));
    call.null = parser.isSet(QStringLiteral("null"));
    if (parser.isSet(QStringLiteral("backup-folder"))) {
        const QString v = parser.value(QStringLiteral("backup-folder"));
        const int attributes = FileAttributes::Query(v).attributes;
        if (attributes < 0 || !(attributes & FileAttributes::Directory))
            return usageError(QStringLiteral("Der Backupordner \"%1\" existiert nicht.").arg(NativePath::Display(v)));
        call.backupFolder = absolute(v);
        o.chkBackup = 1;
    }
    call.force = parser.isSet(QStringLiteral("force"));
    if (parser.isSet(QStringLiteral("restore"))) {
        if (haveFind || call.replace)
            return usageError(QStringLiteral("--restore verträgt sich nicht mit einem Such- oder Ersatztext."));
        call.restore = absolute(parser.value(QStringLiteral("restore")));
        if (parser.isSet(QStringLiteral("folder")))
            call.restoreStart = o.txtStartFolder;
        if (call.backupFolder.isEmpty())
            call.backupFolder = QFileInfo(call.restore).absolutePath();
        return -1;
    }
    if (call.force)
        return usageError(QStringLiteral("--force gilt nur mit --restore."));
    if (!haveFind)
        return usageError(QStringLiteral("Es fehlt der Suchtext (--find oder --find-file)."));
    return -1;
}

// --restore: without --yes, what would happen, file by file.
int restore(const Call &call)
{
    ConsoleHost host(call.options, call.yes);
    RestoreRun run(host, host);
    // With --yes nobody reads the plan: each file is looked at once, when it is restored.
    if (const QString fault = run.Plan(call.restore, call.restoreStart, !call.yes); !fault.isEmpty()) {
        print(stderr, fault + QLatin1Char('\n'));
        return 1;
    }
    if (!call.yes) {
        bool allGo = true;
        for (const RestoreRun::Item &item : run.Items()) {
            using State = RestoreRun::State;
            const bool go = item.state == State::Restore || (call.force && item.state == State::Changed);
            allGo = allGo && (go || item.state == State::Original);
            const QString action = go ? QStringLiteral("wiederherstellen") : RestoreRun::Reason(item);
            const QByteArray row = action.toLocal8Bit() + '\t' + ConsolePrinter::Escaped(item.native) + '\n';
            std::fwrite(row.constData(), 1, static_cast<std::size_t>(row.size()), stdout);
        }
        QString text = run.ConfirmationText();
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        print(stdout, text + QStringLiteral("\n\nOhne --yes wird nichts geändert.\n"));
        return allGo ? 0 : 1;
    }
    QElapsedTimer timer;
    timer.start();
    run.Execute(call.backupFolder + QLatin1Char('/'), call.force);
    print(stdout, run.Summary(static_cast<double>(timer.elapsed()) / 1000.0) + QLatin1Char('\n'));
    if (!run.SavedArchive().isEmpty())
        print(stdout, QStringLiteral("Vorheriger Stand gesichert in: ") + NativePath::Display(run.SavedArchive()) +
                          QLatin1Char('\n'));
    QString missed = run.NotRestoredText(UnreadableFiles::All);
    missed.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (!missed.isEmpty())
        print(stderr, missed + QLatin1Char('\n'));
    if (run.StopSignal() != 0)
        return 128 + run.StopSignal();
    return missed.isEmpty() && !host.MessageShown() ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Call call;
    if (const int status = parse(nativeArguments(argc, argv), call); status >= 0)
        return status;
    if (!call.restore.isEmpty())
        return restore(call);

    ConsoleHost host(call.options, call.yes);
    SearchRun run(host, host);
    ConsolePrinter printer(stdout, call.null ? ConsolePrinter::Rows::NulTerminated : ConsolePrinter::Rows::Escaped);
    run.AddSink(printer);
    run.UnreadableShown = UnreadableFiles::All;
    if (!call.backupFolder.isEmpty())
        run.BackupFolder = call.backupFolder + QLatin1Char('/');
    if (run.cmdStart_Click(call.replace ? 1 : 0) != SearchRun::Outcome::Finished)
        return 1;
    // With --null, standard output holds nothing but the rows.
    std::FILE *const report = call.null ? stderr : stdout;
    print(report, run.Info() + QLatin1Char('\n'));
    if (call.log) {
        const QString path = run.cmdSave_Click();
        if (path.isEmpty() && run.FileTotal > 0) {
            std::fputs("Die Protokolldatei konnte nicht geschrieben werden.\n", stderr);
            return 1;
        }
        if (!path.isEmpty())
            print(report, QStringLiteral("Protokolldatei: ") + path + QLatin1Char('\n'));
    }
    if (run.StopSignal() != 0)
        return 128 + run.StopSignal();
    return host.MessageShown() ? 1 : 0;
}
