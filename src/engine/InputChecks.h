// The checks a run makes of its inputs before it changes anything, each with
// its message: binary file types in the filter, empty texts, a replacement
// equal to the search text, a missing start folder, the confirmation of a
// replace, a filter that takes in every file.
#pragma once

#include "RunDialogs.h"
#include "RunMode.h"
#include "RunOptions.h"

#include <QString>

class InputChecks
{
public:
    explicit InputChecks(RunDialogs &dialogs) : m_dialogs(dialogs) {}

    enum class Verdict { Go, Refused, Declined };

    // Counts the binary file patterns found in the filter; shows the message
    // when there is one.
    int ausschluesse(const QString &filter);

    // The texts, the start folder and, for a replace, the questions: Refused
    // when a message was shown, Declined when a question was answered No.
    Verdict CheckTexts(RunMode mode, const RunOptions &o, const QString &backupFolder);

    // The filter as a pass uses it: outer spaces and one trailing ";" removed
    // (a tab or line break would be part of a pattern).
    static QString NormalizedFilter(const QString &filter);
    // False, with its message, for a filter with a part that matches every
    // file ("*", "*.*", "**" ...), which would take in binary files too.
    bool FilterAllowed(const QString &normalizedFilter);
    static bool MatchesEveryFile(const QString &part);

    // False, with its message, for an empty start folder or one that is not
    // an existing folder.
    bool StartFolderAllowed(const QString &folder);

    // The confirmation text of a replace run.
    static QString ConfirmationText(const RunOptions &o, const QString &backupFolder);
    static QString BooleanWord(int state);

    static const QString ExcludedPatterns;

private:
    RunDialogs &m_dialogs;
};
