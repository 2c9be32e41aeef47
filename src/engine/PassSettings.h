// What a file pass needs to know of the inputs, read once per pass.
#pragma once

#include "CompareMode.h"
#include "RunMode.h"
#include "RunOptions.h"

#include <QString>

struct PassSettings
{
    QString find;
    QString replacement;
    CompareMode compare = CompareMode::Text;
    RunMode mode = RunMode::SearchOnly;
    bool wholeWords = false;
    bool alsoReadOnly = false;

    static PassSettings From(const RunOptions &o, RunMode mode)
    {
        PassSettings s;
        s.find = o.txtFindW;
        s.replacement = o.txtReplaceW;
        s.compare = o.chkCaseSensitive == 0 ? CompareMode::Text : CompareMode::Binary;
        s.mode = mode;
        s.wholeWords = o.chkNurGanzeWorte == 1;
        s.alsoReadOnly = o.chkAuchSchreibschutz == 1;
        return s;
    }
};
