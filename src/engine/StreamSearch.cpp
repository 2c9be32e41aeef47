// Counts a search text, and replaces it when asked, in a text handed over a
// piece at a time.
//
// Invariant between pieces: every find that starts before m_from is decided
// (counted and replaced, or passed over), and the buffer holds the text from
// one unit before m_from on (the neighbour a whole-word test needs), so a
// find that runs across the end of a piece is found whole in the next.
#include "StreamSearch.h"

#include "LineBreak.h"
#include "TextSearch.h"

#include <algorithm>
#include <cstring>

StreamSearch::StreamSearch(const SearchPattern &pattern, bool wholeWords, QString &buffer, const QString *replacement,
                           std::function<void(QStringView)> output)
    : m_pattern(pattern), m_wholeWords(wholeWords), m_buffer(buffer), m_replacement(replacement),
      m_output(std::move(output))
{
    m_buffer.resize(0);
}

void StreamSearch::copyOut(qsizetype from, qsizetype to)
{
    if (m_output && to > from)
        m_output(QStringView(m_buffer).sliced(from, to - from));
}

void StreamSearch::Advance(bool last)
{
    const char16_t *t = reinterpret_cast<const char16_t *>(m_buffer.constData());
    const qsizetype size = m_buffer.size(), n = m_pattern.size();
    // The last start decided now: a find must lie in the buffer, and for
    // whole words the unit after it too, unless the text ends there.
    // An empty search text finds nothing, so every unit is decided.
    // A search text with a line break needs the unit after a find as well:
    // a find never takes one half of a CR LF.
    const bool pairs = m_pattern.HoldsLineBreak();
    const qsizetype lastStart = n == 0 ? size - 1 : size - n - (last || !(m_wholeWords || pairs) ? 0 : 1);
    qsizetype next = m_from; // just past the last find
    if (lastStart >= m_from) {
        const QStringView view(t, lastStart + n);
        if (!m_replacement && !m_wholeWords && !pairs) {
            m_count += m_pattern.CountIn(view, m_from, &next);
        } else {
            for (qsizetype pos = m_from; (pos = m_pattern.IndexIn(view, pos)) >= 0; pos = next) {
                if (pairs && LineBreak::SplitsPair(t, size, pos, n)) {
                    next = pos + 1; // no find: the next may start inside it
                    continue;
                }
                next = pos + n;
                const bool whole = !m_wholeWords || ((pos > 0 ? TextSearch::IsWordDelimiter(t[pos - 1]) : m_atStart) &&
                                                     (next >= size || TextSearch::IsWordDelimiter(t[next])));
                if (!whole)
                    continue;
                ++m_count;
                if (m_replacement) {
                    m_changed = m_changed || QStringView(t + pos, n) != QStringView(*m_replacement);
                    copyOut(m_copied, pos);
                    if (m_output && !m_replacement->isEmpty())
                        m_output(*m_replacement);
                    m_copied = next;
                }
            }
        }
    }
    if (last) {
        copyOut(m_copied, size);
        m_buffer.resize(0);
        m_from = m_copied = 0;
        return;
    }
    const qsizetype resume = std::max(next, lastStart + 1);
    copyOut(m_copied, resume);
    m_copied = std::max(m_copied, resume);
    // Keeps the unit before resume as the neighbour of a find starting there.
    const qsizetype keep = resume > 0 ? resume - 1 : 0;
    if (keep > 0) {
        char16_t *d = reinterpret_cast<char16_t *>(m_buffer.data());
        std::memmove(d, d + keep, static_cast<std::size_t>(size - keep) * sizeof(char16_t));
        m_buffer.resize(size - keep);
        m_atStart = false;
    }
    m_from = resume - keep;
    m_copied -= keep;
}
