// The files and folders a run could not read, and the message that lists
// them after the run.
#pragma once

#include "ResultSink.h"

#include <QLocale>
#include <QString>
#include <limits>
#include <vector>

class UnreadableFiles : public ResultSink
{
public:
    struct Entry
    {
        QString displayPath;
        QString reason;
    };

    // Takes the files the pass could not open or read.
    void FileDone(const FileResult &result, int position) override;
    // What the walk could not take in; error is the system's errno.
    void AddFolder(const QString &path, int error);
    void AddEntry(const QString &path, int error);
    void Clear() { m_entries.clear(); }

    const std::vector<Entry> &Entries() const { return m_entries; }
    // The message text: the first `shown` entries with their reasons, then
    // how many more there are. Empty when everything could be read.
    static QString Message(const std::vector<Entry> &entries, const QLocale &locale, std::size_t shown = 20);
    // The same list under another heading.
    static QString Message(const QString &heading, const std::vector<Entry> &entries, const QLocale &locale,
                           std::size_t shown);

    static constexpr std::size_t All = std::numeric_limits<std::size_t>::max();

private:
    std::vector<Entry> m_entries;
};
