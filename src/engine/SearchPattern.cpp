// A search text prepared for repeated scans in binary (exact) or text
// (case-insensitive) comparison.
//
// The scan looks for places where both the first and the second code unit can
// start a match, 8 or 16 places at a time, and checks the whole search text
// only there; with two units tested at once, few places need a check. Each
// check costs up to the search text's length, so a long search text is found
// by two-way matching instead, whose work stays linear in the text's length.
#include "SearchPattern.h"

#include "CaseFold.h"
#include "LineBreak.h"
#include "VectorWidth.h"

#include <algorithm>
#include <cstring>

namespace {

bool candidatesFor(char16_t unit, bool fold, std::array<char16_t, 4> &out)
{
    if (!fold) {
        out.fill(unit);
        return true;
    }
    const auto units = CaseFold::UnitsFoldingTo(unit);
    if (units.empty() || units.size() > out.size())
        return false;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = units[i < units.size() ? i : 0];
    return true;
}

#if VELMORA_VECTORS
// Checks the candidate places of one block (two mask bits per code unit) in
// order. True when the search ends: at a match (found is its place) or at a
// place beyond the last possible start (found is -1).
inline bool firstMatch(const SearchPattern &p, const char16_t *t, qsizetype block, unsigned bits, qsizetype last,
                       qsizetype &found)
{
    for (; bits; bits &= bits - 1) {
        const qsizetype at = block + (__builtin_ctz(bits) >> 1);
        if (at > last) {
            found = -1;
            return true;
        }
        if (p.MatchesAt(t + at)) {
            found = at;
            return true;
        }
    }
    return false;
}

// The candidate tests for V::Count places at once: two mask bits per place
// where both the first and the second unit can start a match. They read
// units at .. at + Count. SetTest compares with every unit of both sets;
// OrTest, for the or-form, sets the or-bits and compares once.
template <class V> struct SetTest
{
    using Units = typename V::Units;
    static constexpr int Count = V::Count;

    // One member per unit, not arrays: so the compiler keeps all eight in
    // registers instead of building them on the stack for every call.
    __attribute__((always_inline)) explicit SetTest(const SearchPattern::Candidates &c)
    {
        V::Splat(a0, c.first[0]);
        V::Splat(a1, c.first[1]);
        V::Splat(a2, c.first[2]);
        V::Splat(a3, c.first[3]);
        V::Splat(b0, c.second[0]);
        V::Splat(b1, c.second[1]);
        V::Splat(b2, c.second[2]);
        V::Splat(b3, c.second[3]);
    }
    __attribute__((always_inline)) unsigned Candidates(const char16_t *at) const
    {
        Units x, y;
        std::memcpy(&x, at, sizeof x);
        std::memcpy(&y, at + 1, sizeof y);
        const Units mx = (x == a0) | (x == a1) | (x == a2) | (x == a3);
        const Units my = (y == b0) | (y == b1) | (y == b2) | (y == b3);
        return V::Mask(mx & my) & 0x55555555u;
    }
    Units a0, a1, a2, a3, b0, b1, b2, b3;
};

template <class V> struct OrTest
{
    using Units = typename V::Units;
    static constexpr int Count = V::Count;

    __attribute__((always_inline)) explicit OrTest(const SearchPattern::Candidates &c)
    {
        V::Splat(a, c.firstValue);
        V::Splat(b, c.secondValue);
        V::Splat(ao, c.firstOr);
        V::Splat(bo, c.secondOr);
    }
    __attribute__((always_inline)) unsigned Candidates(const char16_t *at) const
    {
        Units x, y;
        std::memcpy(&x, at, sizeof x);
        std::memcpy(&y, at + 1, sizeof y);
        return V::Mask(((x | ao) == a) & ((y | bo) == b)) & 0x55555555u;
    }
    Units a, b, ao, bo;
};

// Scans starts i in [from, last] while the loads stay inside the text, and
// reports the first start where the whole search text matches; `from` is
// left where the vector scan stopped.
template <class Test>
__attribute__((always_inline)) inline qsizetype scanWith(const SearchPattern &p, const Test &test, const char16_t *t,
                                                         qsizetype size, qsizetype &from, qsizetype last)
{
    qsizetype i = from, found = -1;
    for (; i + Test::Count < size && i <= last; i += Test::Count) {
        const unsigned bits = test.Candidates(t + i);
        if (bits && firstMatch(p, t, i, bits, last, found))
            return found;
    }
    from = i;
    return -1;
}

// Counts the non-overlapping matches from `from` on in one pass, without
// returning to the caller after each one. `from` is left where the vector
// scan stopped (past the last possible start when it reached the end).
// `next` (at least from on entry) is left just past the last match counted.
template <class Test>
__attribute__((always_inline)) inline qsizetype countWith(const SearchPattern &p, const Test &test, const char16_t *t,
                                                          qsizetype size, qsizetype &from, qsizetype last,
                                                          qsizetype &next)
{
    const qsizetype n = p.size();
    qsizetype i = from, count = 0;
    for (; i + Test::Count < size && i <= last; i += Test::Count) {
        for (unsigned bits = test.Candidates(t + i); bits; bits &= bits - 1) {
            const qsizetype at = i + (__builtin_ctz(bits) >> 1);
            if (at > last) {
                from = last + 1;
                return count;
            }
            if (at >= next && p.MatchesAt(t + at)) {
                ++count;
                next = at + n;
            }
        }
    }
    from = std::max(i, next);
    return count;
}

// The first place in [from, last] where both units can start a match, or
// where the vector scan had to stop (the end of the text is near), or beyond
// last: every place before the one returned is ruled out.
template <class Test>
__attribute__((always_inline)) inline qsizetype candidateWith(const Test &test, const char16_t *t, qsizetype size,
                                                              qsizetype from, qsizetype last)
{
    qsizetype i = from;
    for (; i + Test::Count < size && i <= last; i += Test::Count)
        if (const unsigned bits = test.Candidates(t + i))
            return i + (__builtin_ctz(bits) >> 1);
    return i;
}

// The kernels for each width: the wide ones are compiled for AVX2 and called
// only when the processor has it.
using Narrow = VectorWidth<128>;
using Wide = VectorWidth<256>;

template <template <class> class Test>
qsizetype scanNarrow(const SearchPattern &p, const SearchPattern::Candidates &c, const char16_t *t, qsizetype size,
                     qsizetype &from, qsizetype last)
{
    return scanWith(p, Test<Narrow>(c), t, size, from, last);
}

template <template <class> class Test>
__attribute__((target("avx2"))) qsizetype scanWide(const SearchPattern &p, const SearchPattern::Candidates &c,
                                                   const char16_t *t, qsizetype size, qsizetype &from, qsizetype last)
{
    return scanWith(p, Test<Wide>(c), t, size, from, last);
}

qsizetype countNarrow(const SearchPattern &p, const SearchPattern::Candidates &c, const char16_t *t, qsizetype size,
                      qsizetype &from, qsizetype last, qsizetype &next)
{
    return countWith(p, OrTest<Narrow>(c), t, size, from, last, next);
}

__attribute__((target("avx2"))) qsizetype countWide(const SearchPattern &p, const SearchPattern::Candidates &c,
                                                    const char16_t *t, qsizetype size, qsizetype &from, qsizetype last,
                                                    qsizetype &next)
{
    return countWith(p, OrTest<Wide>(c), t, size, from, last, next);
}

template <template <class> class Test>
qsizetype candidateNarrow(const void *c, const char16_t *t, qsizetype size, qsizetype from, qsizetype last)
{
    return candidateWith(Test<Narrow>(*static_cast<const SearchPattern::Candidates *>(c)), t, size, from, last);
}

template <template <class> class Test>
__attribute__((target("avx2"))) qsizetype candidateWide(const void *c, const char16_t *t, qsizetype size,
                                                        qsizetype from, qsizetype last)
{
    return candidateWith(Test<Wide>(*static_cast<const SearchPattern::Candidates *>(c)), t, size, from, last);
}

bool g_wide = Wide::Available();
#endif

// The search text as it is compared: lower-cased in text comparison.
QString comparedForm(QStringView find, CompareMode compare)
{
    QString needle = find.toString();
    if (compare == CompareMode::Text) {
        char16_t *d = reinterpret_cast<char16_t *>(needle.data());
        for (qsizetype i = 0; i < needle.size(); ++i)
            d[i] = CaseFold::Lower(d[i]);
    }
    return needle;
}

} // namespace

SearchPattern::SearchPattern(QStringView find, CompareMode compare)
    : m_needle(comparedForm(find, compare)), m_lineBreak(LineBreak::In(find)),
      m_ansi(m_needle, compare == CompareMode::Text, ByteSearch::Bytes::Ansi),
      m_utf8(m_needle, compare == CompareMode::Text, ByteSearch::Bytes::Utf8)
{
    const bool fold = compare == CompareMode::Text;
    if (fold)
        m_lower = &CaseFold::Table()[0];
    if (m_needle.size() >= LongFrom)
        m_twoWay.emplace(m_needle, m_lower);
    const char16_t *n = reinterpret_cast<const char16_t *>(m_needle.constData());
    // A one-unit search text tests its only unit at both places; the second
    // load then looks at the next unit, so a single unit is handled by the
    // plain scan instead.
    if (m_needle.size() > 1)
        m_candidates.usable =
            candidatesFor(n[0], fold, m_candidates.first) && candidatesFor(n[1], fold, m_candidates.second);
    if (m_candidates.usable) {
        Candidates &c = m_candidates;
        c.byOr = CaseBitForm(c.first, c.firstValue, c.firstOr) && CaseBitForm(c.second, c.secondValue, c.secondOr);
    }
}

qsizetype SearchPattern::scalarIndexIn(const char16_t *t, qsizetype from, qsizetype last) const
{
    const char16_t first = static_cast<char16_t>(m_needle.at(0).unicode());
    for (qsizetype i = from; i <= last; ++i) {
        const char16_t c = m_lower ? m_lower[t[i]] : t[i];
        if (c == first && MatchesAt(t + i))
            return i;
    }
    return -1;
}

qsizetype SearchPattern::CountIn(QStringView text, qsizetype from, qsizetype *next) const
{
    const qsizetype n = m_needle.size();
    if (from < 0)
        from = 0;
    qsizetype count = 0, end = from;
    if (n > 0) {
#if VELMORA_VECTORS
        const qsizetype last = text.size() - n;
        const char16_t *t = reinterpret_cast<const char16_t *>(text.data());
        if (m_candidates.usable && m_candidates.byOr && !m_twoWay && from <= last)
            count = g_wide ? countWide(*this, m_candidates, t, text.size(), from, last, end)
                           : countNarrow(*this, m_candidates, t, text.size(), from, last, end);
#endif
        for (qsizetype pos; (pos = IndexIn(text, from)) >= 0; from = end = pos + n)
            ++count;
    }
    if (next)
        *next = end;
    return count;
}

const ByteSearch *SearchPattern::InBytes(TextEncoding encoding) const
{
    const ByteSearch *s = nullptr;
    switch (encoding) {
    case TextEncoding::Ansi:
        s = &m_ansi;
        break;
    case TextEncoding::Utf8:
        s = &m_utf8;
        break;
    case TextEncoding::Utf8Bom: // ill-formed bytes read as U+FFFD there
        s = m_utf8.MatchesReplacement() ? nullptr : &m_utf8;
        break;
    default:
        break;
    }
    return s && s->Usable() ? s : nullptr;
}

void SearchPattern::UseWideVectors(bool on)
{
    ByteSearch::UseWideVectors(on);
#if VELMORA_VECTORS
    g_wide = on && Wide::Available();
#else
    (void)on;
#endif
}

qsizetype SearchPattern::IndexIn(QStringView text, qsizetype from) const
{
    const qsizetype n = m_needle.size();
    if (n == 0)
        return -1;
    if (from < 0)
        from = 0;
    const qsizetype last = text.size() - n; // last possible start
    if (from > last)
        return -1;
    const char16_t *t = reinterpret_cast<const char16_t *>(text.data());
    if (m_twoWay) {
        // The vector scan of the first two units leads two-way matching to
        // the few places worth comparing.
        TwoWaySearch::Jump jump = nullptr;
#if VELMORA_VECTORS
        if (m_candidates.usable)
            jump = g_wide ? (m_candidates.byOr ? candidateWide<OrTest> : candidateWide<SetTest>)
                          : (m_candidates.byOr ? candidateNarrow<OrTest> : candidateNarrow<SetTest>);
#endif
        return m_twoWay->IndexIn(t, text.size(), from, jump, &m_candidates);
    }
#if VELMORA_VECTORS
    if (m_candidates.usable) {
        const Candidates &c = m_candidates;
        const qsizetype size = text.size();
        qsizetype found;
        if (g_wide)
            found = c.byOr ? scanWide<OrTest>(*this, c, t, size, from, last)
                           : scanWide<SetTest>(*this, c, t, size, from, last);
        else
            found = c.byOr ? scanNarrow<OrTest>(*this, c, t, size, from, last)
                           : scanNarrow<SetTest>(*this, c, t, size, from, last);
        if (found >= 0 || from > last)
            return found;
    }
#endif
    return scalarIndexIn(t, from, last);
}
