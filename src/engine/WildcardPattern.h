// One part of a file filter: "*" any run of characters, "?" any character,
// "#" a digit, "[abc]" / "[a-z]" one of a list, "[!abc]" one not in it, every
// other character itself. Matching ignores case: both sides are upper-cased
// one code unit to one code unit, so "?" still takes the "ß" of "straße".
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <vector>

class WildcardPattern
{
public:
    explicit WildcardPattern(const QString &part);

    // Whether the whole name matches the whole pattern.
    bool Matches(const QString &name) const;
    // The same for a name that is already upper-cased with Upper.
    bool MatchesUpper(QStringView upperName) const;

    // The one-to-one upper case both sides are compared in (never "ß" to "SS").
    static QString Upper(QStringView text);

    // For "*" and then ASCII characters that are no wildcards ("*.txt"):
    // those characters upper-cased, so that a name whose last bytes are
    // ASCII is matched by comparing them, without decoding it. Empty for
    // every other pattern.
    const QByteArray &AsciiSuffix() const { return m_asciiSuffix; }

    // False for a pattern with an unclosed "[": it matches nothing.
    bool isValid() const { return m_valid; }

private:
    struct Token
    {
        enum Kind { Literal, Any, Digit, Set, Star } kind;
        char16_t ch = 0;
        bool negated = false;
        std::vector<std::pair<char16_t, char16_t>> ranges;
    };

    bool tokenMatches(const Token &t, char16_t c) const;

    std::vector<Token> m_tokens;
    QByteArray m_asciiSuffix;
    bool m_valid = true;
};
