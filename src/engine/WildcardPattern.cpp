// One part of a file filter, matched case-insensitively against file names.
#include "WildcardPattern.h"

#include <algorithm>

WildcardPattern::WildcardPattern(const QString &part)
{
    const QString p = Upper(part);
    const char16_t *s = reinterpret_cast<const char16_t *>(p.constData());
    const qsizetype n = p.size();
    for (qsizetype i = 0; i < n; ++i) {
        Token t{Token::Literal, s[i], false, {}};
        switch (s[i]) {
        case u'*':
            t.kind = Token::Star;
            if (!m_tokens.empty() && m_tokens.back().kind == Token::Star)
                continue; // "**" is "*"
            break;
        case u'?':
            t.kind = Token::Any;
            break;
        case u'#':
            t.kind = Token::Digit;
            break;
        case u'[': {
            qsizetype j = i + 1;
            t.kind = Token::Set;
            if (j < n && s[j] == u'!') {
                t.negated = true;
                ++j;
            }
            const qsizetype first = j;
            while (j < n && s[j] != u']') {
                char16_t lo = s[j], hi = s[j];
                // "a-z" is a range; a hyphen first or last stands for itself.
                if (j + 2 < n && s[j + 1] == u'-' && s[j + 2] != u']') {
                    hi = s[j + 2];
                    j += 2;
                }
                if (lo > hi) { // a reversed range is malformed
                    m_valid = false;
                    return;
                }
                t.ranges.emplace_back(lo, hi);
                ++j;
            }
            if (j >= n) {
                m_valid = false;
                return;
            }
            i = j;
            if (j == first && !t.negated)
                continue; // "[]" stands for nothing
            break;
        }
        default:
            break;
        }
        m_tokens.push_back(std::move(t));
    }
    if (m_valid && m_tokens.size() > 1 && m_tokens.front().kind == Token::Star &&
        std::all_of(m_tokens.begin() + 1, m_tokens.end(),
                    [](const Token &t) { return t.kind == Token::Literal && t.ch > 0x20 && t.ch < 0x7F; }))
        for (auto t = m_tokens.begin() + 1; t != m_tokens.end(); ++t)
            m_asciiSuffix += static_cast<char>(t->ch);
}

bool WildcardPattern::tokenMatches(const Token &t, char16_t c) const
{
    switch (t.kind) {
    case Token::Literal:
        return c == t.ch;
    case Token::Any:
        return true;
    case Token::Digit:
        return c >= u'0' && c <= u'9';
    case Token::Set: {
        bool in = false;
        for (const auto &r : t.ranges)
            in = in || (c >= r.first && c <= r.second);
        return in != t.negated;
    }
    case Token::Star:
        break;
    }
    return false;
}

bool WildcardPattern::Matches(const QString &name) const
{
    return MatchesUpper(Upper(name));
}

QString WildcardPattern::Upper(QStringView text)
{
    // QString::toUpper uses the full mapping, which lengthens "ß" to "SS" and
    // so breaks "?" and "[…]"; the simple mapping keeps every unit in place.
    QString out(text.size(), Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
        d[i] = surrogate ? c : static_cast<char16_t>(QChar::toUpper(char32_t(c)));
    }
    return out;
}

bool WildcardPattern::MatchesUpper(QStringView upperName) const
{
    if (!m_valid)
        return false;
    // Every token but "*" takes exactly one character, so the classic scan
    // that remembers the last star and retries one character further is
    // complete: no exponential backtracking on names like "aaaa…b".
    const char16_t *s = reinterpret_cast<const char16_t *>(upperName.data());
    const std::size_t n = static_cast<std::size_t>(upperName.size());
    const std::size_t m = m_tokens.size();
    std::size_t si = 0, ti = 0;
    std::size_t starTi = m, starSi = 0;
    while (si < n) {
        if (ti < m && m_tokens[ti].kind == Token::Star) {
            starTi = ti++;
            starSi = si;
        } else if (ti < m && tokenMatches(m_tokens[ti], s[si])) {
            ++ti;
            ++si;
        } else if (starTi < m) {
            ti = starTi + 1;
            si = ++starSi;
        } else {
            return false;
        }
    }
    while (ti < m && m_tokens[ti].kind == Token::Star)
        ++ti;
    return ti == m;
}
