// Filter parts against file names: "*", "?", "#", "[list]", "[a-z]" and
// "[!list]", without case.
#include "WildcardPattern.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct WildcardCase
{
    const char *pattern;
    const char *name;
    bool matches;
};

TEST(WildcardPattern, Table)
{
    const WildcardCase cases[] = {
        {"*.txt", "a.txt", true},
        {"*.txt", "A.TXT", true},
        {"*.txt", "a.txt.bak", false},
        {"*.txt", ".txt", true},
        {"*", "", true},
        {"*.*", "noext", false},
        {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false},
        {"datei##.txt", "datei07.txt", true},
        {"datei##.txt", "datei7a.txt", false},
        {"[abc]*", "b.txt", true},
        {"[!abc]*", "a.txt", false},
        {"[a-c]x", "Bx", true},
        {"[a-c]x", "dx", false},
        {"[-a]x", "-x", true},
        {"[a-]x", "-x", true},
        {"a[]b", "ab", true},
        {"[abc", "a", false},       // unclosed bracket matches nothing
        {" *.php", "a.php", false}, // a part after "; " starts with a space
        {" *.php", " a.php", true},
        {"*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {"*ä*", "ÄPFEL.txt", true},
        // One character stays one character: "ß" is never "SS".
        {"stra?e.txt", "straße.txt", true},
        {"STRASSE.TXT", "straße.txt", false},
        {"straße.txt", "STRASSE.TXT", false},
        {"STRAßE.TXT", "straße.txt", true},
        {"*[ß]*", "Maß.txt", true},
        {"ma?.txt", "MASS.txt", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WildcardPattern(u(c.pattern)).Matches(u(c.name)), c.matches) << c.pattern << " ~ " << c.name;
}

} // namespace
