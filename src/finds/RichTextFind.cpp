// The viewer's find routine over a text box's text and selection.
#include "RichTextFind.h"

#include "LineBreak.h"
#include "RaisedError.h"
#include "TextSearch.h"

#include <algorithm>

RichTextFind::RichTextFind(const QString &find, int flags)
    : m_pattern(find, (flags & MatchCase) ? CompareMode::Binary : CompareMode::Text), m_flags(flags | Down)
{}

qsizetype RichTextFind::Find(Box &box, qsizetype start, qsizetype end) const
{
    if (end != -1 && start > end)
        throw RaisedError(5, QStringLiteral("Start must be before End"), QStringLiteral("RTBFindUnicode"));
    if (start == -1) {
        const qsizetype selFirst = std::min(box.selStart, box.selEnd);
        const qsizetype selLast = std::max(box.selStart, box.selEnd);
        start = selFirst;
        if (end == -1)
            end = selLast > selFirst ? selLast : -1;
    }
    const QStringView text = box.text;
    const qsizetype n = m_pattern.size();
    // An empty search text matches nowhere: a match of length 0 would leave a
    // caller that moves on by the match length in the same place forever.
    if (n == 0)
        return -1;
    start = std::clamp<qsizetype>(start, 0, text.size());
    end = (end < 0 || end > text.size()) ? text.size() : end;
    // Only text up to `end` is searched; the neighbours of a match are still
    // looked up in the whole text, as a word ends where the text's word ends.
    const QStringView window = text.first(end);
    const char16_t *t = reinterpret_cast<const char16_t *>(text.data());
    for (qsizetype pos = m_pattern.IndexIn(window, start); pos >= 0; pos = m_pattern.IndexIn(window, pos + 1)) {
        if (m_pattern.HoldsLineBreak() && LineBreak::SplitsPair(t, text.size(), pos, n))
            continue;
        if (m_flags & WholeWord) {
            const bool beforeOk = pos == 0 || TextSearch::IsWordDelimiter(t[pos - 1]);
            const bool afterOk = pos + n >= text.size() || TextSearch::IsWordDelimiter(t[pos + n]);
            if (!beforeOk || !afterOk)
                continue;
        }
        if (!(m_flags & NoSelect)) {
            box.selStart = pos;
            box.selEnd = pos + n;
        }
        return pos;
    }
    return -1;
}

qsizetype RichTextFind::RTBFindUnicode(Box &box, const QString &find, qsizetype start, qsizetype end, int flags)
{
    return RichTextFind(find, flags).Find(box, start, end);
}
