// The plain-text report of the last run and the rules for adding it to the log file.
#include "LogFile.h"

#include "FileAttributes.h"
#include "LocaleDateTime.h"
#include "NativePath.h"
#include "NumberFormat.h"
#include "PosixFile.h"
#include "cFileResder.h"

#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Below this length the file holds at most the two-blank placeholder of a new
// file, which the report overwrites instead of following.
constexpr qint64 AppendFromLength = 3;

QString yesNo(int state)
{
    return state != 0 ? QStringLiteral("ja") : QStringLiteral("nein");
}

// Every value starts in column 47, so the option block reads as a table.
QString option(const QString &label, const QString &value)
{
    return label.leftJustified(44) + QStringLiteral(": ") + value;
}

// Writes over the placeholder of a short file and after the end of any other;
// the file is opened without truncating so earlier reports survive.
bool writeReport(const QString &path, const QByteArray &bytes)
{
    struct stat st;
    const int fd = PosixFile::OpenRegular(NativePath::Encode(path).constData(), O_WRONLY | O_CREAT, &st);
    if (fd < 0)
        return false;
    bool ok = ::lseek(fd, 0, st.st_size < AppendFromLength ? SEEK_SET : SEEK_END) >= 0;
    if (ok)
        ok = PosixFile::WriteAll(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())) == 0;
    if (::close(fd) != 0)
        ok = false;
    return ok;
}

} // namespace

QString LogFile::BuildReport(const LogInput &in, bool adviceBlock)
{
    const QString stars = QStringLiteral(" ") + QString(96, QLatin1Char('*'));
    const QString titleEnd = QStringLiteral("  ") + QString(28, QLatin1Char('*'));
    const QString when = LocaleDateTime::Format(in.now, in.locale);

    QStringList lines;
    if (adviceBlock)
        lines << QStringLiteral("Falls die Tabellen nicht richtig dargestellt werden, wählen sie für die Ansicht ")
              << QStringLiteral("eine nichtproportionale Schriftart (z.B. Courier New oder Courier)") << QString();
    lines << stars;
    if (in.mode == RunMode::SearchOnly)
        lines << QStringLiteral(" ***********************   Protokoll (Suche)    ") + when + titleEnd;
    if (in.mode == RunMode::SearchAndReplace)
        lines << QStringLiteral(" ***********************   Protokoll (Ersetzen) ") + when + titleEnd;
    lines << stars << QString();
    lines << option(QStringLiteral("Startordner"), in.txtStartFolder)
          << option(QStringLiteral("Unterordner einbeziehen?"), yesNo(in.chkUnterordner))
          << option(QStringLiteral("Dateifilter"), in.txtPattern)
          << option(QStringLiteral("Gross/Kleinschreibung beachten?"), yesNo(in.chkCaseSensitive))
          << option(QStringLiteral("Auch schreibgeschützte Dateien bearbeiten?"), yesNo(in.chkAuchSchreibschutz))
          << option(QStringLiteral("Ersetzen nur in selektierten Dateien?"), yesNo(in.chkNS));
    lines << QString() << in.lblInfo << QString();
    // The texts go in unchanged: their own line breaks already are CR LF.
    lines << QStringLiteral("Suchtext:") << in.txtFindW << QString();
    if (in.mode == RunMode::SearchAndReplace)
        lines << QString() << QStringLiteral("Ersetzen mit:") << in.txtReplaceW;
    lines << QString();
    // The header keeps its backslash whatever the platform's separator.
    lines << QStringLiteral(" Funde   Pfad\\Datei");
    for (const LogInput::Row &row : in.rows) {
        if (in.chkNS != 0 && !row.checked)
            continue;
        // The count as the list shows it.
        lines << NumberFormat::RightAlign6(NumberFormat::Grouped(row.count, in.locale)) + QStringLiteral("   ") +
                     row.path;
    }
    lines << QString() << QString() << QString() << QString();
    return lines.join(CrLf) + CrLf;
}

LogFile::Result LogFile::Save(const QString &path, const LogInput &in)
{
    if (in.filesCollected == 0)
        return Result::Nothing;
    try {
        // A fresh log gets two blanks so that it never counts as the empty
        // file that asks for the advice block.
        if (!QFileInfo::exists(path) && !cFileResder().FileWrite(path, QStringLiteral("  "), TextEncoding::Utf8))
            return Result::Failed;
        // Whether this succeeds only matters to the open below.
        FileAttributes::SetAttributesLong(path, 0);
        const qint64 length = FileAttributes::Length(path);
        if (length < 0)
            return Result::Failed;
        const QString report = BuildReport(in, length == 0);
        return writeReport(path, cFileResder::EncodeText(report, TextEncoding::Utf8)) ? Result::Saved : Result::Failed;
    } catch (...) {
        return Result::Failed;
    }
}
