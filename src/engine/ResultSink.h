// Where a file pass sends what it did with each file, as a searcher hands its
// matches to a printer: the result list, the command line's output, the
// statistics, the progress bar and the tests are all sinks.
#pragma once

#include "FileResult.h"

class ResultSink
{
public:
    virtual ~ResultSink() = default;
    // Once per file the pass took up, in the order of its file list;
    // position is the file's place in that list.
    virtual void FileDone(const FileResult &result, int position) = 0;
};
