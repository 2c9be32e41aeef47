// Shows each file with finds as a row of the result list: the count, the
// name, the folder and the encoding. The row's tag leads back to the typed
// result, so nothing ever reads a file's path or count out of a cell.
#pragma once

#include "ResultSink.h"

#include <QLocale>
#include <vector>

class ListModel;

class ResultListSink : public ResultSink
{
public:
    // rows receives every result shown; a row's tag is its index there + 1
    // (0 marks the empty filler rows).
    ResultListSink(ListModel &list, std::vector<FileResult> &rows, const QLocale &locale);

    void FileDone(const FileResult &result, int position) override;

    // The seven columns: count, name, folder and encoding with one-pixel
    // separators between them.
    static void AddColumns(ListModel &list);
    static constexpr int CountColumn = 0, NameColumn = 2, FolderColumn = 4, EncodingColumn = 6;

private:
    ListModel &m_list;
    std::vector<FileResult> &m_rows;
    QLocale m_locale;
};
