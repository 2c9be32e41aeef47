// Counts a search text, and replaces it when asked, in a text handed over a
// piece at a time: with exactly the finds and the new text that TextSearch
// gives for the whole text, while holding little more than one piece.
#pragma once

#include "SearchPattern.h"

#include <QString>
#include <QStringView>
#include <functional>

class StreamSearch
{
public:
    // The caller appends each piece of text to buffer and then calls Advance;
    // the buffer keeps a few units of one piece for the next (fewer than the
    // search text's length, and one more). replacement, when given, makes the
    // new text, which output receives in order.
    StreamSearch(const SearchPattern &pattern, bool wholeWords, QString &buffer, const QString *replacement = nullptr,
                 std::function<void(QStringView)> output = {});

    // Takes up what was appended; last marks the end of the text.
    void Advance(bool last);

    // Non-overlapping finds from left to right; with whole words only those
    // whose neighbours are word delimiters (TextSearch::IsWordDelimiter);
    // never one that takes half of a CR LF (LineBreak::SplitsPair).
    qint64 Count() const { return m_count; }
    // Whether the new text differs from the text.
    bool Changed() const { return m_changed; }

private:
    void copyOut(qsizetype from, qsizetype to);

    const SearchPattern &m_pattern;
    bool m_wholeWords;
    QString &m_buffer;
    const QString *m_replacement;
    std::function<void(QStringView)> m_output;
    qint64 m_count = 0;
    bool m_changed = false;
    bool m_atStart = true;  // the buffer still begins with the text's first unit
    qsizetype m_from = 0;   // where the next find may start, in the buffer
    qsizetype m_copied = 0; // the new text is out up to here, in the buffer
};
