// The lower-case mapping of text comparison, built once from Qt's simple
// (one-to-one) Unicode lower-case mapping. Surrogate halves map to themselves.
#include "CaseFold.h"

#include <QChar>
#include <array>
#include <vector>

namespace {

struct Tables
{
    std::array<char16_t, 65536> lower{};
    // Code units grouped by their lower case: units[start[f] .. start[f+1]).
    std::array<std::uint32_t, 65537> start{};
    std::vector<char16_t> units;

    Tables()
    {
        for (std::uint32_t c = 0; c < 65536; ++c) {
            const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
            lower[c] = surrogate ? static_cast<char16_t>(c) : static_cast<char16_t>(QChar::toLower(c));
        }
        std::array<std::uint32_t, 65536> count{};
        for (std::uint32_t c = 0; c < 65536; ++c)
            ++count[lower[c]];
        for (std::uint32_t f = 0; f < 65536; ++f)
            start[f + 1] = start[f] + count[f];
        units.resize(65536);
        std::array<std::uint32_t, 65536> fill{};
        for (std::uint32_t c = 0; c < 65536; ++c) {
            const char16_t f = lower[c];
            units[start[f] + fill[f]++] = static_cast<char16_t>(c);
        }
    }
};

const Tables &tables()
{
    static const Tables t;
    return t;
}

} // namespace

const char16_t *CaseFold::Table()
{
    static const char16_t *const t = tables().lower.data();
    return t;
}

std::span<const char16_t> CaseFold::UnitsFoldingTo(char16_t folded)
{
    const Tables &t = tables();
    return {t.units.data() + t.start[folded], t.start[folded + 1] - t.start[folded]};
}
