// The figures of a pass that the summary line reports.
#include "PassStatistics.h"

void PassStatistics::FileDone(const FileResult &result, int)
{
    if (!result.Searched())
        return;
    ++FilesSearched;
    if (result.count > 0) {
        ++FilesWithFinds;
        TotalFinds += result.CountMade();
    }
    if (result.outcome == FileResult::Outcome::Written)
        ++FilesChanged;
}
