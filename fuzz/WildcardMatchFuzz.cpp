// Fuzz target: a filter part and a file name, split at the first NUL byte, must match exactly when a plain
// recursive matcher written here says so. Bytes below 0x80 are themselves; the others pick characters whose
// upper case is special (longer, outside Latin-1, or a lone surrogate).
#include "WildcardPattern.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// At most 40 characters: longer names find nothing new and only grow the reference's table.
QString FromFuzzBytes(const std::uint8_t *data, std::size_t size)
{
    static const char16_t special[] = {u'ß', u'ä', u'Ä', u'ı', u'İ', u'ſ', u'µ', u'ÿ', u'ŉ', u'ﬃ', 0xD800, 0xFFFF};
    QString s;
    for (std::size_t i = 0; i < size && i < 40; ++i)
        s += QChar(data[i] < 0x80 ? char16_t(data[i]) : special[(data[i] - 0x80) % std::size(special)]);
    return s;
}

struct Bracket
{
    bool negated = false;
    std::vector<std::pair<char16_t, char16_t>> ranges;
    std::size_t close = 0; // index of the closing "]"
};

// The list that starts at p[open] == '[': "[!" negates it, "x-y" is a range unless the "-" comes first or last.
// Nothing when it is never closed or holds a reversed range: such a pattern matches no name.
std::optional<Bracket> ParseBracket(const std::u16string &p, std::size_t open)
{
    Bracket b;
    std::size_t i = open + 1;
    if (i < p.size() && p[i] == u'!') {
        b.negated = true;
        ++i;
    }
    b.close = p.find(u']', i);
    if (b.close == std::u16string::npos)
        return std::nullopt;
    for (; i < b.close; ++i) {
        if (i + 2 < b.close && p[i + 1] == u'-') {
            if (p[i] > p[i + 2])
                return std::nullopt;
            b.ranges.emplace_back(p[i], p[i + 2]);
            i += 2;
        } else {
            b.ranges.emplace_back(p[i], p[i]);
        }
    }
    return b;
}

// Whether s[si..] matches p[pi..], trying every length for each "*". memo caches the answers: 0 unknown, 1 no, 2 yes.
bool Reference(const std::u16string &p, std::size_t pi, const std::u16string &s, std::size_t si,
               std::vector<char> &memo)
{
    char &known = memo[pi * (s.size() + 1) + si];
    if (known != 0)
        return known == 2;
    bool match = false;
    if (pi == p.size()) {
        match = si == s.size();
    } else if (p[pi] == u'*') {
        match = Reference(p, pi + 1, s, si, memo) || (si < s.size() && Reference(p, pi, s, si + 1, memo));
    } else if (p[pi] == u'[') {
        if (const auto b = ParseBracket(p, pi)) {
            if (b->ranges.empty() && !b->negated) {
                match = Reference(p, b->close + 1, s, si, memo); // "[]" stands for nothing
            } else if (si < s.size()) {
                bool in = false;
                for (const auto &[lo, hi] : b->ranges)
                    in = in || (lo <= s[si] && s[si] <= hi);
                match = in != b->negated && Reference(p, b->close + 1, s, si + 1, memo);
            }
        }
    } else if (si < s.size()) {
        const char16_t c = p[pi];
        const bool one = c == u'?' || (c == u'#' ? s[si] >= u'0' && s[si] <= u'9' : s[si] == c);
        match = one && Reference(p, pi + 1, s, si + 1, memo);
    }
    known = match ? 2 : 1;
    return match;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::size_t split = 0;
    while (split < size && data[split] != 0)
        ++split;
    const QString part = FromFuzzBytes(data, split);
    const QString name = split < size ? FromFuzzBytes(data + split + 1, size - split - 1) : QString();

    // Upper case one unit to one unit: "ß" stays one character.
    const auto upper = [](const QString &text) {
        std::u16string out;
        for (const QChar c : text)
            out += c.isSurrogate() ? c.unicode() : static_cast<char16_t>(QChar::toUpper(c.unicode()));
        return out;
    };
    const std::u16string p = upper(part);
    const std::u16string s = upper(name);
    std::vector<char> memo((p.size() + 1) * (s.size() + 1));
    const bool expected = Reference(p, 0, s, 0, memo);

    const WildcardPattern pattern(part);
    if (pattern.Matches(name) != expected || pattern.MatchesUpper(WildcardPattern::Upper(name)) != expected) {
        std::fprintf(stderr, "WildcardMatchFuzz: \"%s\" ~ \"%s\" should give %d\n", part.toUtf8().constData(),
                     name.toUtf8().constData(), int(expected));
        std::abort();
    }
    return 0;
}

#ifdef VELMORA_FUZZ_RUNNER
#include "FuzzRunner.h"

#include <random>
#include <sstream>

// Without libFuzzer: hand-picked pairs, then random ones over the characters that mean something in a pattern.
int main(int argc, char **argv)
{
    // Pairs of pattern and name, split at the "/" that no file name holds; 0x80 stands for "ß", 0x81 "ä", 0x82 "Ä".
    std::istringstream pairs("*.txt/a.TXT ?.t#t/x.t7t [a-c]*[!x]/b.y [-a]x/-x [a-]x/-X a[]b/ab [!]/q [abc/a [z-a]/m "
                             "[]]/] *a*a*b/aaaaaaaaaaaa gro\x80/GROSS [\x80-\x81]/\x82");
    std::vector<std::vector<std::uint8_t>> seeds;
    for (std::string input; pairs >> input;) {
        input[input.find('/')] = '\0';
        seeds.emplace_back(input.begin(), input.end());
    }
    // Each name is drawn along its pattern (a character kept, dropped or replaced, a "*" as up to three), so that
    // many of the pairs match.
    const char pool[] = "**?#[]!-aAbz09.\x80\x81\x82\x83";
    const std::string names = pool + 5;
    std::mt19937 rng(20240612);
    for (int i = 0; i < 3000; ++i) {
        std::string part, name;
        for (unsigned n = rng() % 10; n > 0; --n)
            part += pool[rng() % (sizeof pool - 1)];
        for (char c : part) {
            const unsigned r = rng() % 4;
            for (unsigned k = c == '*' ? r : r != 0; k > 0; --k)
                name += r == 1 || c == '*' || c == '?' || c == '#' || c == '[' ? names[rng() % names.size()] : c;
        }
        const std::string input = part + '\0' + name;
        seeds.emplace_back(input.begin(), input.end());
    }
    return FuzzRunnerMain(argc, argv, seeds);
}
#endif
