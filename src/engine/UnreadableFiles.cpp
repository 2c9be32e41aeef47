// The files and folders a run could not read.
#include "UnreadableFiles.h"

#include "NativePath.h"
#include "NumberFormat.h"

#include <algorithm>
#include <cstring>

namespace {

QString systemWords(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

void UnreadableFiles::FileDone(const FileResult &result, int)
{
    // A file too large for the memory there is was not searched either: a
    // search must not pass it over in silence.
    if (result.outcome == FileResult::Outcome::Unreadable || result.outcome == FileResult::Outcome::TooLarge)
        m_entries.push_back({result.displayPath, result.Reason()});
}

void UnreadableFiles::AddFolder(const QString &path, int error)
{
    m_entries.push_back({NativePath::Display(path),
                         QStringLiteral("Der Ordner konnte nicht gelesen werden: %1").arg(systemWords(error))});
}

void UnreadableFiles::AddEntry(const QString &path, int error)
{
    m_entries.push_back({NativePath::Display(path),
                         QStringLiteral("Der Eintrag konnte nicht gelesen werden: %1").arg(systemWords(error))});
}

QString UnreadableFiles::Message(const std::vector<Entry> &entries, const QLocale &locale, std::size_t shown)
{
    return Message(QStringLiteral("Folgende Dateien und Ordner konnten nicht gelesen werden:"), entries, locale, shown);
}

QString UnreadableFiles::Message(const QString &heading, const std::vector<Entry> &entries, const QLocale &locale,
                                 std::size_t shown)
{
    if (entries.empty())
        return QString();
    const QString crLf = QStringLiteral("\r\n");
    QString text = heading + crLf;
    shown = std::min(shown, entries.size());
    for (std::size_t i = 0; i < shown; ++i)
        text += crLf + entries[i].displayPath + QStringLiteral(" – ") + entries[i].reason;
    if (entries.size() > shown)
        text += crLf + QStringLiteral("… und %1 weitere.")
                           .arg(NumberFormat::Grouped(static_cast<qint64>(entries.size() - shown), locale));
    return text;
}
