// Counting and replacing a literal search text in a text, whole words or not.
#pragma once

#include "SearchPattern.h"

#include <QString>

class TextSearch
{
public:
    // Occurrences of Find in Text from the 1-based position Start on, without
    // overlapping ('aaa' holds 'aa' once).
    static qint64 CountOccurrences(const QString &Text, const QString &Find, int Start, CompareMode Compare);
    static qint64 CountOccurrences(QStringView Text, const SearchPattern &Find, int Start);

    // Whole-word occurrences of sWord in sText: neither neighbour of the match
    // may be a word character (the text's start and end count as borders).
    // With ersetzen every such occurrence is replaced by eWord in the text
    // returned; without it the text returned is sText itself.
    struct WholeWords
    {
        qint64 count = 0;
        QString text;
    };
    static WholeWords ReplaceNurGanzeWorte(const QString &sText, const QString &sWord, const QString &eWord,
                                           CompareMode cSensitive, bool ersetzen);

    // Every occurrence, left to right and without overlapping, replaced by
    // Replacement as typed. Finds exactly what CountOccurrences counts.
    static QString ReplaceAll(const QString &Text, const QString &Find, const QString &Replacement,
                              CompareMode Compare);

    // The 34 characters that end a word.
    static bool IsWordDelimiter(char16_t c);
};
