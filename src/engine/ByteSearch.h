// Counts a search text straight in the bytes of UTF-8 or ANSI text, with the
// finds a search of the decoded text makes, so a count needs no decoding.
#pragma once

#include <QStringView>
#include <array>
#include <cstdint>
#include <vector>

class ByteSearch
{
public:
    enum class Bytes {
        Ansi, // one byte per code unit, the byte's value (U+0000..U+00FF)
        Utf8, // UTF-8
    };

    // needle: the search text as it is compared (lower-cased when fold);
    // fold: a code unit matches when its lower case is the needle's unit.
    ByteSearch(QStringView needle, bool fold, Bytes bytes);

    // False when the finds in bytes could differ from those in the text:
    // an empty or long search text, or a surrogate in it.
    bool Usable() const { return m_usable; }
    // Whether U+FFFD is among what the search text matches: in UTF-8 whose
    // ill-formed bytes are read as U+FFFD, the bytes then do not tell.
    bool MatchesReplacement() const { return m_matchesReplacement; }

    // The most bytes a find takes.
    qsizetype MaxBytes() const { return m_maxBytes; }

    // Counts the non-overlapping finds from left to right that start in
    // [from, last] (a find may run up to size). next receives the end of the
    // last find counted, or from when there is none.
    qsizetype CountIn(const char *data, qsizetype size, qsizetype from, qsizetype last, qsizetype &next) const;

    // Lets tests run the narrower vector kernel on a machine with wider ones.
    static void UseWideVectors(bool on);

    // The byte sets the vector scan tests at a find's first and second byte,
    // each padded to four by repetition (any byte at the second when `any`).
    struct Candidates
    {
        std::array<unsigned char, 4> first{}, second{};
        bool anySecond = false;
        bool usable = false;
        // When each set is one byte, or two that differ only in bit 0x20,
        // the test is (byte | firstOr) == firstValue (likewise second).
        bool byOr = false;
        unsigned char firstValue = 0, secondValue = 0, firstOr = 0, secondOr = 0;
    };

    // The length of the find at data[at], or 0 when there is none there.
    qsizetype MatchAt(const unsigned char *data, qsizetype size, qsizetype at) const;

private:
    // The byte forms a code unit of the search text may take in the bytes.
    struct Form
    {
        std::uint8_t length;
        std::array<unsigned char, 3> bytes;
    };
    struct Place
    {
        std::vector<Form> forms;
    };

    std::vector<Place> m_places;
    // When every form is one byte: for each place, which bytes match there.
    std::vector<std::array<bool, 256>> m_single;
    Candidates m_candidates;
    qsizetype m_maxBytes = 0;
    bool m_usable = false;
    bool m_never = false; // a unit of the search text has no byte form
    bool m_matchesReplacement = false;
};
