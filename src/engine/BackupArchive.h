// The backup of one replace pass: the present bytes of every file the pass
// changes, collected in memory and written as one ZIP archive at the end.
#pragma once

#include "cMemoryStream.h"
#include "cZipArchive.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <memory>

class BackupArchive
{
public:
    // folder ends in "/"; startFolder is the start folder as typed, which
    // decides the entry names.
    BackupArchive(const QString &folder, const QString &startFolder, const QDateTime &now, const QLocale &locale);

    // folder + "backup-" + the date and time + ".zip".
    const QString &ArchivePath() const { return m_path; }
    // The name of a file in the archive: its path from the character after
    // the start folder's last separator on.
    QString EntryName(const QString &path) const;

    // Adds the bytes a file holds before it changes.
    bool AddFile(const QString &path, const QByteArray &bytes);
    int EntryCount() const { return m_added; }

    // Compresses the archive and writes it to ArchivePath(). An empty text on
    // success, else the reason.
    QString Write(QString &writtenTo, const QString &fallbackFolder);

    // Empty text when a new file can be made in folder (a probe file is
    // created and removed), else the reason.
    static QString CheckFolder(const QString &folder);

private:
    cZipArchive m_zip;
    std::shared_ptr<cMemoryStream> m_target = std::make_shared<cMemoryStream>();
    QString m_path;
    QString m_nameBase;
    int m_added = 0;
};
