// Counting and replacing a literal search text in a text, whole words or not.
#pragma once

#include "SearchPattern.h"

#include <QString>

class TextSearch
{
public:
    // Occurrences of Find in Text from the 1-based position Start on, without
    // overlapping ('aaa' holds 'aa' once). Compare 0 is exact, 1 ignores case.
    static int CountOccurrences(const QString &Text, const QString &Find, int Start, int Compare);
    static int CountOccurrences(QStringView Text, const SearchPattern &Find, int Start);

    // Whole-word occurrences of sWord in sText: neither neighbour of the match
    // may be a word character (the text's start and end count as borders).
    // With ersetzen 1 every such occurrence is replaced by eWord; ReplacedText
    // receives the result (sText itself when ersetzen is 0).
    static int ReplaceNurGanzeWorte(const QString &sText, const QString &sWord, const QString &eWord,
                                    int cSensitive, int ersetzen, QString &ReplacedText);

    // Every occurrence, left to right and without overlapping, replaced by
    // Replacement as typed. Finds exactly what CountOccurrences counts.
    static QString ReplaceAll(const QString &Text, const QString &Find, const QString &Replacement,
                              int Compare);

    // The 34 characters that end a word.
    static bool IsWordDelimiter(char16_t c);
};
