// Builds the list of files a pass works on: every regular file under a folder
// whose name matches the filter, optionally in all subfolders.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class FileCollector
{
public:
    // abortFlag is polled before every directory entry (the walk stops when
    // it is 1); yield runs once per folder so a window can react meanwhile.
    FileCollector(const int &abortFlag, std::function<void()> yield);

    // Adds the matches in Folder (and below, with Recurse) to Files at
    // NextIndex and returns how many entries it added. Without Recurse each
    // subfolder adds a marker entry ">>" + folder + name instead. Entries of
    // each folder come sorted by name, case-insensitively; symbolic links to
    // folders are never followed, and nothing but regular files (or links to
    // them) is collected.
    int CollectFiles(QString Folder, const QString &Filter, QStringList &Files, bool Recurse, int &NextIndex);

    static constexpr QLatin1String Marker{">>"};

private:
    const int &m_abortFlag;
    std::function<void()> m_yield;
};
