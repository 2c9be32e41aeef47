// Finds a long search text in time linear in the text's length, whatever the
// search text and the text hold, by two-way string matching on code units.
#pragma once

#include <QString>
#include <array>

class TwoWaySearch
{
public:
    // needle: the search text as compared (already lower-cased in text
    // comparison); lower: the lower-case table the text's units go through
    // before each comparison (it lives as long as the program), or none for
    // exact comparison.
    TwoWaySearch(const QString &needle, const char16_t *lower);

    // A faster way to the next place where a match may start: the first
    // place in [from, last] that it cannot rule out, or where it stopped
    // looking (any place up to last + 1); context is handed through.
    using Jump = qsizetype (*)(const void *context, const char16_t *text, qsizetype size, qsizetype from,
                               qsizetype last);

    // 0-based index of the first occurrence at or after from, or -1. jump,
    // when given, moves the window on wherever nothing is remembered.
    qsizetype IndexIn(const char16_t *text, qsizetype size, qsizetype from, Jump jump = nullptr,
                      const void *context = nullptr) const;

private:
    template <bool Fold>
    qsizetype indexIn(const char16_t *text, qsizetype size, qsizetype from, Jump jump, const void *context) const;

    QString m_needle;
    const char16_t *m_lower;
    // The critical factorization: the needle splits into [0, m_split) and
    // [m_split, size); a mismatch in the right part moves the window past
    // the units matched so far, a mismatch in the left part by m_period.
    qsizetype m_split = 0;
    qsizetype m_period = 1;
    bool m_periodic = false; // the left part recurs m_period units later
    // How far the window may move when the unit under its last place (its
    // low byte, in compared form) is seen: past the needle's last unit with
    // that low byte. Units sharing a low byte share the smallest distance.
    std::array<qsizetype, 256> m_skip{};
};
