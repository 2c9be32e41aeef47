// Finds a long search text in time linear in the text's length, by two-way
// string matching on code units.
//
// The needle is split at a critical factorization: the right part is compared
// left to right, and a mismatch there moves the window just past the units
// that matched, which no earlier place can use again; only when the right part
// matches is the left part compared, right to left, and then the window moves
// by a period of the needle. For a periodic needle the units known to match
// after such a move are remembered, so no unit is compared twice in vain. The
// work is at most about twice the text's length. Before the comparisons, the
// unit under the window's last place may send the window on at once (a skip by
// the last occurrence of its low byte), and so may a caller's faster scan for
// places where a match can start; both are taken only while nothing is
// remembered, and only move the window forward, so they never cost the bound.
#include "TwoWaySearch.h"

#include <algorithm>
#include <cstring>

namespace {

// The start (minus one) of the needle's lexicographically greatest suffix, by
// the order of the units or its reverse, and that suffix's period.
qsizetype maximalSuffix(const char16_t *x, qsizetype m, bool reversed, qsizetype &period)
{
    qsizetype ms = -1, j = 0, k = 1;
    period = 1;
    while (j + k < m) {
        const char16_t a = x[j + k], b = x[ms + k];
        if (reversed ? a > b : a < b) {
            j += k;
            k = 1;
            period = j - ms;
        } else if (a == b) {
            if (k != period) {
                ++k;
            } else {
                j += period;
                k = 1;
            }
        } else {
            ms = j;
            j = ms + 1;
            k = period = 1;
        }
    }
    return ms;
}

} // namespace

TwoWaySearch::TwoWaySearch(const QString &needle, const char16_t *lower) : m_needle(needle), m_lower(lower)
{
    const char16_t *x = reinterpret_cast<const char16_t *>(m_needle.constData());
    const qsizetype size = m_needle.size();
    qsizetype p = 1, q = 1;
    const qsizetype i = maximalSuffix(x, size, false, p);
    const qsizetype j = maximalSuffix(x, size, true, q);
    const qsizetype last = i > j ? i : j; // the left part's last index
    m_period = i > j ? p : q;
    m_split = last + 1;
    m_periodic = last + 1 + m_period <= size &&
                 std::memcmp(x, x + m_period, static_cast<std::size_t>(last + 1) * sizeof(char16_t)) == 0;
    if (!m_periodic)
        m_period = std::max(last + 1, size - last - 1) + 1;
    m_skip.fill(size);
    for (qsizetype k = 0; k < size; ++k)
        m_skip[x[k] & 0xFF] = size - 1 - k;
}

qsizetype TwoWaySearch::IndexIn(const char16_t *text, qsizetype size, qsizetype from, Jump jump,
                                const void *context) const
{
    if (m_needle.isEmpty() || from < 0 || from > size - m_needle.size())
        return -1;
    return m_lower ? indexIn<true>(text, size, from, jump, context) : indexIn<false>(text, size, from, jump, context);
}

template <bool Fold>
qsizetype TwoWaySearch::indexIn(const char16_t *text, qsizetype size, qsizetype from, Jump jump,
                                const void *context) const
{
    const char16_t *x = reinterpret_cast<const char16_t *>(m_needle.constData());
    const char16_t *lower = m_lower;
    const qsizetype m = m_needle.size(), ell = m_split - 1, lastStart = size - m;
    auto unit = [text, lower](qsizetype k) { return Fold ? lower[text[k]] : text[k]; };
    qsizetype j = from;
    if (m_periodic) {
        // memory: the needle's units up to this index are known to match at j.
        qsizetype memory = -1;
        while (j <= lastStart) {
            if (memory < 0) {
                if (jump && (j = jump(context, text, size, j, lastStart)) > lastStart)
                    break;
                if (const qsizetype skip = m_skip[unit(j + m - 1) & 0xFF]; skip > 0) {
                    j += skip;
                    continue;
                }
            }
            qsizetype i = std::max(ell, memory) + 1;
            while (i < m && x[i] == unit(i + j))
                ++i;
            if (i < m) {
                j += i - ell;
                memory = -1;
                continue;
            }
            i = ell;
            while (i > memory && x[i] == unit(i + j))
                --i;
            if (i <= memory)
                return j;
            j += m_period;
            memory = m - m_period - 1;
        }
        return -1;
    }
    while (j <= lastStart) {
        if (jump && (j = jump(context, text, size, j, lastStart)) > lastStart)
            break;
        if (const qsizetype skip = m_skip[unit(j + m - 1) & 0xFF]; skip > 0) {
            j += skip;
            continue;
        }
        qsizetype i = ell + 1;
        while (i < m && x[i] == unit(i + j))
            ++i;
        if (i < m) {
            j += i - ell;
            continue;
        }
        i = ell;
        while (i >= 0 && x[i] == unit(i + j))
            --i;
        if (i < 0)
            return j;
        j += m_period;
    }
    return -1;
}
