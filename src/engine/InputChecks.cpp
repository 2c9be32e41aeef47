// The checks a run makes of its inputs before it changes anything.
#include "InputChecks.h"

#include "FileAttributes.h"
#include "NativePath.h"
#include "TextSearch.h"

#include <QStringList>
#include <algorithm>

namespace {

const QString CrLf = QStringLiteral("\r\n");

} // namespace

const QString InputChecks::ExcludedPatterns =
    QStringLiteral("*.exe;*.dll;*.jpg;*.jpeg;*.png;*.gif;*.pdf;*.bmp;*.avi;*.mov;*.mp4;*.mp3;*.zip;*.rar");

int InputChecks::ausschluesse(const QString &filter)
{
    int hits = 0;
    for (const QString &pattern : ExcludedPatterns.split(QLatin1Char(';')))
        // "*.EXE" picks the same binary files as "*.exe": the filter matches names ignoring case.
        if (TextSearch::CountOccurrences(filter, pattern, 1, CompareMode::Text) > 0)
            ++hits;
    if (hits > 0)
        m_dialogs.MessageBox(QStringLiteral("Der Dateifilter enthält nicht erlaubte Dateiendungen!") + CrLf + CrLf +
                                 QStringLiteral("Text kann mit diesem Programm nur in ASCII-Textdateien gesucht oder "
                                                "ersetzt werden.") +
                                 CrLf +
                                 QStringLiteral("Für Binärdateien (z.B. exe, dll, pdf, jpg, jpeg, png, gif, bmp, avi, "
                                                "mov, mp4, mp3, zip, rar oder andere) muss die entsprechende "
                                                "Anwendung oder ein HEX-Editor verwendet werden.") +
                                 CrLf + CrLf +
                                 QStringLiteral("Entfernen sie die nicht erlaubten Dateiendungen aus dem Dateifilter."),
                             RunDialogs::Buttons::Ok, RunDialogs::Icon::Information, m_dialogs.ApplicationTitle());
    return hits;
}

InputChecks::Verdict InputChecks::CheckTexts(RunMode mode, const RunOptions &o, const QString &backupFolder)
{
    const QString title = m_dialogs.ApplicationTitle();
    if (o.txtFindW.isEmpty()) {
        m_dialogs.MessageBox(QStringLiteral("Bitte den zu suchenden Text in das linke Textfeld eingeben."),
                             RunDialogs::Buttons::Ok, RunDialogs::Icon::Information, title);
        return Verdict::Refused;
    }
    if (o.txtPattern.isEmpty()) {
        m_dialogs.MessageBox(QStringLiteral("Bitte einen Dateifilter wählen.."), RunDialogs::Buttons::Ok,
                             RunDialogs::Icon::Information, title);
        return Verdict::Refused;
    }
    if (!StartFolderAllowed(o.txtStartFolder))
        return Verdict::Refused;
    if (mode != RunMode::SearchAndReplace)
        return Verdict::Go;
    if (o.txtReplaceW.isEmpty() &&
        m_dialogs.MessageBox(QStringLiteral("Das Eingabefeld \"Ersetzen mit\" ist leer.") + CrLf +
                                 QStringLiteral("Soll der Suchtext wirklich durch eine leere Zeichenkette (also "
                                                "durch nichts) ersetzt werden?"),
                             RunDialogs::Buttons::YesNo, RunDialogs::Icon::Question,
                             title + QStringLiteral(": Kontrollabfrage...")) != RunDialogs::Answer::Yes)
        return Verdict::Declined;
    if (o.txtFindW == o.txtReplaceW) {
        m_dialogs.MessageBox(
            QStringLiteral("Die Eingabefelder \"Suchtext\" und \"Ersetzen mit\" enthalten den gleichen Text.") + CrLf +
                QStringLiteral("Überprüfen Sie Ihre Eingaben in diesen Textfeldern."),
            RunDialogs::Buttons::Ok, RunDialogs::Icon::Information, title + QStringLiteral(": Hinweis..."));
        return Verdict::Refused;
    }
    if (m_dialogs.MessageBox(ConfirmationText(o, backupFolder), RunDialogs::Buttons::YesNo, RunDialogs::Icon::Question,
                             title + QStringLiteral(": Kontrollabfrage...")) != RunDialogs::Answer::Yes)
        return Verdict::Declined;
    return Verdict::Go;
}

QString InputChecks::NormalizedFilter(const QString &filter)
{
    QString f = filter;
    while (f.startsWith(QLatin1Char(' ')))
        f.remove(0, 1);
    while (f.endsWith(QLatin1Char(' ')))
        f.chop(1);
    if (f.endsWith(QLatin1Char(';')))
        f.chop(1);
    return f;
}

bool InputChecks::StartFolderAllowed(const QString &folder)
{
    // An empty folder must not quietly become the current one.
    QString text = QStringLiteral("Bitte einen Startordner angeben.");
    if (!folder.isEmpty()) {
        const int attributes = FileAttributes::Query(folder).attributes;
        if (attributes >= 0 && (attributes & FileAttributes::Directory))
            return true;
        text = (attributes < 0 ? QStringLiteral("Der Startordner \"%1\" existiert nicht.")
                               : QStringLiteral("Der Startordner \"%1\" ist kein Ordner."))
                   .arg(NativePath::Display(folder));
    }
    m_dialogs.MessageBox(text, RunDialogs::Buttons::Ok, RunDialogs::Icon::Information, m_dialogs.ApplicationTitle());
    return false;
}

bool InputChecks::MatchesEveryFile(const QString &part)
{
    // Stars match any run of characters, so what is left besides them
    // decides: nothing ("*", "**"), one "?" ("*?": every name has a first
    // character), or the "." of "*.*", which is read as "all files" by
    // everyone who types it.
    QString rest = part;
    const qsizetype stars = rest.count(QLatin1Char('*'));
    rest.remove(QLatin1Char('*'));
    if (stars == 0)
        return false;
    if (rest.isEmpty() || rest == QLatin1String("?"))
        return true;
    return rest == QLatin1String(".") && part.startsWith(QLatin1Char('*')) && part.endsWith(QLatin1Char('*'));
}

bool InputChecks::FilterAllowed(const QString &normalizedFilter)
{
    const QStringList parts = normalizedFilter.split(QLatin1Char(';'));
    if (std::none_of(parts.begin(), parts.end(), MatchesEveryFile))
        return true;
    m_dialogs.MessageBox(
        QStringLiteral("Mit dem Dateifilter *.* kann hier nicht gesucht werden, da so auch Binärdateien (exe, "
                       "dll, jpg, png...) gefunden würden. Das Programm kann aber nur Texte in "
                       "ASCII-Textdateien (*.txt;*.html;*.php...) ersetzen. Verwenden Sie für die Bearbeitung "
                       "von Binärdateien eine dafür zuständige  Anwendung oder einen HEX-Editor."),
        RunDialogs::Buttons::Ok, RunDialogs::Icon::Exclamation, m_dialogs.ApplicationTitle());
    return false;
}

QString InputChecks::BooleanWord(int state)
{
    return state != 0 ? QStringLiteral("Wahr") : QStringLiteral("Falsch");
}

QString InputChecks::ConfirmationText(const RunOptions &o, const QString &backupFolder)
{
    QStringList lines;
    lines << QStringLiteral("Kleine Pause um nochmal nachzudenken :-)")
          << QStringLiteral("Möchten Sie den Suchtext jetzt ersetzen? Überprüfen Sie zur Sicherheit nochmal: ")
          << QStringLiteral(" - Den ausgewählten Startordner,")
          << QStringLiteral(" - Unterordner (ja/nein): ") + BooleanWord(o.chkUnterordner);
    if (o.chkNS != 0)
        lines << QStringLiteral(" - Ersetzen nur in selektierten Dateien (ja/nein): ") + BooleanWord(o.chkNS);
    lines << QStringLiteral(" - Ein Backup erstellen (ja/nein): ") + BooleanWord(o.chkBackup)
          << QStringLiteral(" - Die ausgewählten Dateiendungen (Dateifilter):") << QStringLiteral("   ") + o.txtPattern
          << QString() << QStringLiteral("Ausgewählt als Startordner ist: ") << o.txtStartFolder << QString()
          << QStringLiteral("Ausgewählt als BackUP-Ordner ist : ") << backupFolder << QString()
          << QStringLiteral("Sind Sie sich wirklich sicher?");
    return lines.join(CrLf);
}
