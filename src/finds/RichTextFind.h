// The viewer's find routine over a text box's text and selection: range rules,
// whole-word and case flags, and the match selected when found.
#pragma once

#include "SearchPattern.h"

#include <QString>
#include <QStringView>

class RichTextFind
{
public:
    enum Flag : int {
        Down = 1,      // always searched forward
        WholeWord = 2, // neighbours must be word delimiters (or the text's ends)
        MatchCase = 4, // exact code units; otherwise text comparison
        NoSelect = 8,  // leave the selection as it is
    };

    // A text box as the routine sees it: its text and its selection
    // [selStart, selEnd), 0-based.
    struct Box
    {
        QStringView text;
        qsizetype selStart = 0;
        qsizetype selEnd = 0;
    };

    RichTextFind(const QString &find, int flags);

    // The 0-based position of the first match within [start, end), or -1.
    // start -1 takes the selection's start; with end -1 as well the search
    // stays inside a non-empty selection, or runs to the text's end when the
    // selection is empty. An explicit end before start raises error 5.
    qsizetype Find(Box &box, qsizetype start, qsizetype end) const;

    static qsizetype RTBFindUnicode(Box &box, const QString &find, qsizetype start, qsizetype end, int flags);

private:
    SearchPattern m_pattern;
    int m_flags;
};
