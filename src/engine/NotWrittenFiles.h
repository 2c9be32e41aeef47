// The files with finds that a replace pass did not write, and the message
// that lists them after the pass.
#pragma once

#include "ResultSink.h"

#include <QLocale>
#include <QString>
#include <vector>

class NotWrittenFiles : public ResultSink
{
public:
    // withMissing: a file gone since it was listed counts too (the user
    // ticked it in the list, so its absence is news).
    explicit NotWrittenFiles(bool withMissing = false) : m_withMissing(withMissing) {}

    void FileDone(const FileResult &result, int position) override;

    const std::vector<FileResult> &Files() const { return m_files; }
    // The files an in-place write left damaged (counted apart: they did change).
    const std::vector<FileResult> &Damaged() const { return m_damaged; }
    // The message text: the first 20 files with their reasons, then how many
    // more there are. Empty when every file was written.
    static QString Message(const std::vector<FileResult> &files, const QLocale &locale);
    // The message for damaged files: which they are and the backup archive
    // that holds their originals (archive empty: there is none).
    static QString DamagedMessage(const std::vector<FileResult> &files, const QString &archive);

private:
    bool m_withMissing;
    std::vector<FileResult> m_files;
    std::vector<FileResult> m_damaged;
};
