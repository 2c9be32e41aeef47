// A search text prepared for repeated scans in binary (exact) or text
// (case-insensitive) comparison.
#pragma once

#include "ByteSearch.h"
#include "CompareMode.h"
#include "TextEncoding.h"
#include "TwoWaySearch.h"

#include <QString>
#include <QStringView>
#include <array>
#include <optional>

class SearchPattern
{
public:
    // Binary: exact code units; Text: per-unit lower case.
    SearchPattern(QStringView find, CompareMode compare);

    // 0-based index of the first occurrence at or after from, or -1.
    qsizetype IndexIn(QStringView text, qsizetype from) const;

    // The number of non-overlapping occurrences at or after from. next, when
    // given, receives where a further occurrence may start: just past the
    // last one counted (from when there is none).
    qsizetype CountIn(QStringView text, qsizetype from, qsizetype *next = nullptr) const;

    // The count of the search text straight in bytes of this encoding, or
    // nullptr where only the decoded text can be searched.
    const ByteSearch *InBytes(TextEncoding encoding) const;

    // From this length on a search text is found by two-way matching.
    static constexpr qsizetype LongFrom = 16;

    // Lets tests run the narrower vector kernel on a machine with wider ones.
    static void UseWideVectors(bool on);

    qsizetype size() const { return m_needle.size(); }
    bool isEmpty() const { return m_needle.isEmpty(); }
    // Whether the search text holds a CR or an LF.
    bool HoldsLineBreak() const { return m_lineBreak; }

    // Whether the search text matches at this place (size() units readable).
    bool MatchesAt(const char16_t *at) const
    {
        const char16_t *n = reinterpret_cast<const char16_t *>(m_needle.constData());
        const qsizetype len = m_needle.size();
        if (m_lower) {
            for (qsizetype j = 0; j < len; ++j)
                if (m_lower[at[j]] != n[j])
                    return false;
        } else {
            for (qsizetype j = 0; j < len; ++j)
                if (at[j] != n[j])
                    return false;
        }
        return true;
    }

    // The code units that can stand at the first and second place of a match,
    // padded to four by repetition; not usable when there are more than four.
    // When each place takes just a unit and the unit that differs from it
    // only in bit 0x20 (ASCII and Latin-1 letters), `orBits` holds 0x20 for
    // it and the test is (unit | firstOr) == firstValue (likewise second).
    struct Candidates
    {
        std::array<char16_t, 4> first{}, second{};
        char16_t firstValue = 0, secondValue = 0, firstOr = 0, secondOr = 0;
        bool usable = false;
        bool byOr = false;
    };

private:
    qsizetype scalarIndexIn(const char16_t *t, qsizetype from, qsizetype last) const;

    QString m_needle;                  // lower-cased in text comparison
    const char16_t *m_lower = nullptr; // the lower-case table in text comparison
    Candidates m_candidates;
    std::optional<TwoWaySearch> m_twoWay; // for a long search text
    bool m_lineBreak = false;
    ByteSearch m_ansi, m_utf8;
};
