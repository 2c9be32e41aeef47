// A search text prepared for repeated scans in binary (exact) or text
// (case-insensitive) comparison.
//
// The scan looks for places where both the first and the second code unit can
// start a match, 8 or 16 places at a time, and checks the whole search text
// only there; with two units tested at once, few places need a check.
#include "SearchPattern.h"

#include "CaseFold.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELMORA_X86 1
#endif

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

// A set of one unit, or of two units that differ only in bit 0x20, is tested
// by setting that bit and comparing once.
bool orForm(const std::array<char16_t, 4> &set, char16_t &value, char16_t &orBits)
{
    char16_t a = set[0], b = set[0];
    for (char16_t c : set) {
        if (c != a && c != b) {
            if (b != a)
                return false;
            b = c;
        }
    }
    if (a == b) {
        value = a;
        orBits = 0;
        return true;
    }
    if ((a ^ b) != 0x20)
        return false;
    value = a | 0x20;
    orBits = 0x20;
    return true;
}

#if VELMORA_X86
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

// The kernels scan starts i in [from, last] while the loads (units i .. i+W)
// stay inside the text, and report the first start where the whole search
// text matches; `from` is left where the vector scan stopped.

qsizetype scanSse2(const SearchPattern &p, const SearchPattern::Candidates &c, const char16_t *t,
                   qsizetype size, qsizetype &from, qsizetype last)
{
    const __m128i a0 = _mm_set1_epi16(static_cast<short>(c.first[0]));
    const __m128i a1 = _mm_set1_epi16(static_cast<short>(c.first[1]));
    const __m128i a2 = _mm_set1_epi16(static_cast<short>(c.first[2]));
    const __m128i a3 = _mm_set1_epi16(static_cast<short>(c.first[3]));
    const __m128i b0 = _mm_set1_epi16(static_cast<short>(c.second[0]));
    const __m128i b1 = _mm_set1_epi16(static_cast<short>(c.second[1]));
    const __m128i b2 = _mm_set1_epi16(static_cast<short>(c.second[2]));
    const __m128i b3 = _mm_set1_epi16(static_cast<short>(c.second[3]));
    qsizetype i = from, found = -1;
    for (; i + 8 < size && i <= last; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(t + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(t + i + 1));
        const __m128i mx = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, a0), _mm_cmpeq_epi16(x, a1)),
                                        _mm_or_si128(_mm_cmpeq_epi16(x, a2), _mm_cmpeq_epi16(x, a3)));
        const __m128i my = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(y, b0), _mm_cmpeq_epi16(y, b1)),
                                        _mm_or_si128(_mm_cmpeq_epi16(y, b2), _mm_cmpeq_epi16(y, b3)));
        const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(mx, my))) & 0x5555u;
        if (bits && firstMatch(p, t, i, bits, last, found))
            return found;
    }
    from = i;
    return -1;
}

__attribute__((target("avx2"))) qsizetype scanAvx2(const SearchPattern &p, const SearchPattern::Candidates &c,
                                                   const char16_t *t, qsizetype size, qsizetype &from,
                                                   qsizetype last)
{
    const __m256i a0 = _mm256_set1_epi16(static_cast<short>(c.first[0]));
    const __m256i a1 = _mm256_set1_epi16(static_cast<short>(c.first[1]));
    const __m256i a2 = _mm256_set1_epi16(static_cast<short>(c.first[2]));
    const __m256i a3 = _mm256_set1_epi16(static_cast<short>(c.first[3]));
    const __m256i b0 = _mm256_set1_epi16(static_cast<short>(c.second[0]));
    const __m256i b1 = _mm256_set1_epi16(static_cast<short>(c.second[1]));
    const __m256i b2 = _mm256_set1_epi16(static_cast<short>(c.second[2]));
    const __m256i b3 = _mm256_set1_epi16(static_cast<short>(c.second[3]));
    qsizetype i = from, found = -1;
    for (; i + 16 < size && i <= last; i += 16) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(t + i));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(t + i + 1));
        const __m256i mx = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi16(x, a0), _mm256_cmpeq_epi16(x, a1)),
                                           _mm256_or_si256(_mm256_cmpeq_epi16(x, a2), _mm256_cmpeq_epi16(x, a3)));
        const __m256i my = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi16(y, b0), _mm256_cmpeq_epi16(y, b1)),
                                           _mm256_or_si256(_mm256_cmpeq_epi16(y, b2), _mm256_cmpeq_epi16(y, b3)));
        const unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(mx, my))) & 0x55555555u;
        if (bits && firstMatch(p, t, i, bits, last, found))
            return found;
    }
    from = i;
    return -1;
}

// The test of the or-form for 16 places at once: two mask bits per place
// where both the first and the second unit can start a match.
struct OrTest
{
    __attribute__((target("avx2"))) explicit OrTest(const SearchPattern::Candidates &c)
        : a(_mm256_set1_epi16(static_cast<short>(c.firstValue))),
          b(_mm256_set1_epi16(static_cast<short>(c.secondValue))),
          ao(_mm256_set1_epi16(static_cast<short>(c.firstOr))), bo(_mm256_set1_epi16(static_cast<short>(c.secondOr)))
    {
    }
    __attribute__((target("avx2"))) unsigned Candidates(const char16_t *at) const
    {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + 1));
        const __m256i m = _mm256_and_si256(_mm256_cmpeq_epi16(_mm256_or_si256(x, ao), a),
                                           _mm256_cmpeq_epi16(_mm256_or_si256(y, bo), b));
        return static_cast<unsigned>(_mm256_movemask_epi8(m)) & 0x55555555u;
    }
    __m256i a, b, ao, bo;
};

__attribute__((target("avx2"))) qsizetype scanAvx2Or(const SearchPattern &p, const SearchPattern::Candidates &c,
                                                     const char16_t *t, qsizetype size, qsizetype &from,
                                                     qsizetype last)
{
    const OrTest test(c);
    qsizetype i = from, found = -1;
    for (; i + 16 < size && i <= last; i += 16) {
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
__attribute__((target("avx2"))) qsizetype countAvx2Or(const SearchPattern &p, const SearchPattern::Candidates &c,
                                                      const char16_t *t, qsizetype size, qsizetype &from,
                                                      qsizetype last)
{
    const OrTest test(c);
    const qsizetype n = p.size();
    qsizetype i = from, next = from, count = 0;
    for (; i + 16 < size && i <= last; i += 16) {
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

bool g_useAvx2 = __builtin_cpu_supports("avx2");
#endif

} // namespace

SearchPattern::SearchPattern(QStringView find, CompareMode compare) : m_needle(find.toString())
{
    const bool fold = compare == CompareMode::Text;
    if (fold) {
        m_lower = &CaseFold::Table()[0];
        char16_t *d = reinterpret_cast<char16_t *>(m_needle.data());
        for (qsizetype i = 0; i < m_needle.size(); ++i)
            d[i] = m_lower[d[i]];
    }
    const char16_t *n = reinterpret_cast<const char16_t *>(m_needle.constData());
    // A one-unit search text tests its only unit at both places; the second
    // load then looks at the next unit, so a single unit is handled by the
    // plain scan instead.
    if (m_needle.size() > 1)
        m_candidates.usable = candidatesFor(n[0], fold, m_candidates.first) &&
                              candidatesFor(n[1], fold, m_candidates.second);
    if (m_candidates.usable) {
        Candidates &c = m_candidates;
        c.byOr = orForm(c.first, c.firstValue, c.firstOr) && orForm(c.second, c.secondValue, c.secondOr);
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

qsizetype SearchPattern::CountIn(QStringView text, qsizetype from) const
{
    const qsizetype n = m_needle.size();
    if (n == 0)
        return 0;
    if (from < 0)
        from = 0;
    qsizetype count = 0;
#if VELMORA_X86
    const qsizetype last = text.size() - n;
    if (g_useAvx2 && m_candidates.usable && m_candidates.byOr && from <= last)
        count = countAvx2Or(*this, m_candidates, reinterpret_cast<const char16_t *>(text.data()), text.size(), from,
                            last);
#endif
    for (qsizetype pos; (pos = IndexIn(text, from)) >= 0; from = pos + n)
        ++count;
    return count;
}

void SearchPattern::UseWideVectors(bool on)
{
#if VELMORA_X86
    g_useAvx2 = on && __builtin_cpu_supports("avx2");
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
#if VELMORA_X86
    if (m_candidates.usable) {
        qsizetype found;
        if (!g_useAvx2) // the SSE2 kernel takes the set form, which always holds
            found = scanSse2(*this, m_candidates, t, text.size(), from, last);
        else if (m_candidates.byOr)
            found = scanAvx2Or(*this, m_candidates, t, text.size(), from, last);
        else
            found = scanAvx2(*this, m_candidates, t, text.size(), from, last);
        if (found >= 0 || from > last)
            return found;
    }
#endif
    return scalarIndexIn(t, from, last);
}
