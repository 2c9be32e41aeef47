// The lower-case mapping of text comparison: one code unit to one code unit,
// so a case-insensitive match has the length of the text it matches and the
// count of a run always equals the replacements it makes.
#pragma once

#include <cstdint>
#include <span>

class CaseFold
{
public:
    static char16_t Lower(char16_t c) { return Table()[c]; }

    // The whole mapping, indexed by code unit (65,536 entries).
    static const char16_t *Table();

    // Every code unit whose lower case is folded (folded itself included).
    static std::span<const char16_t> UnitsFoldingTo(char16_t folded);
};
