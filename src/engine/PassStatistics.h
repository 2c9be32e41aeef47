// The figures of a pass that the summary line reports, kept as a sink.
#pragma once

#include "ResultSink.h"

class PassStatistics : public ResultSink
{
public:
    void FileDone(const FileResult &result, int position) override;

    int FilesSearched = 0;
    int FilesWithFinds = 0;
    qint64 TotalFinds = 0;
    int FilesChanged = 0;
};
