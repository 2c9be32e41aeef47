// Counts a search text straight in the bytes of UTF-8 or ANSI text.
//
// Each code unit of the search text becomes the set of byte forms that decode
// to a unit it matches: its case variants as single bytes in ANSI, or encoded
// in UTF-8. UTF-8 forms are prefix-free and start on a character's first
// byte, and a well-formed character decodes to itself wherever it stands (an
// ill-formed byte before it never takes in a first byte), so the finds in the
// bytes are those in the text, one to one and in the same order.
#include "ByteSearch.h"

#include "CaseFold.h"
#include "SearchPattern.h"
#include "Utf8Kernel.h"
#include "VectorWidth.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace {

using u8 = unsigned char;

// The set of up to four bytes, padded by repetition; false when larger.
bool padded(std::vector<u8> set, std::array<u8, 4> &out)
{
    std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
    if (set.empty() || set.size() > out.size())
        return false;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = set[i < set.size() ? i : 0];
    return true;
}

#if VELMORA_VECTORS
// The places among Count where the first byte, and unless any the second,
// can start a find: one mask bit per place. Reads at .. at + Count.
template <class V> struct ByteTest
{
    using Bytes = typename V::Bytes;
    static constexpr int Count = V::ByteCount;

    __attribute__((always_inline)) explicit ByteTest(const ByteSearch::Candidates &c) : any(c.anySecond)
    {
        V::SplatByte(a0, c.first[0]);
        V::SplatByte(a1, c.first[1]);
        V::SplatByte(a2, c.first[2]);
        V::SplatByte(a3, c.first[3]);
        V::SplatByte(b0, c.second[0]);
        V::SplatByte(b1, c.second[1]);
        V::SplatByte(b2, c.second[2]);
        V::SplatByte(b3, c.second[3]);
    }
    __attribute__((always_inline)) unsigned Candidates(const u8 *at) const
    {
        Bytes x, y;
        std::memcpy(&x, at, sizeof x);
        const Bytes mx = (x == a0) | (x == a1) | (x == a2) | (x == a3);
        if (any)
            return V::ByteMask(mx);
        std::memcpy(&y, at + 1, sizeof y);
        const Bytes my = (y == b0) | (y == b1) | (y == b2) | (y == b3);
        return V::ByteMask(mx & my);
    }
    Bytes a0, a1, a2, a3, b0, b1, b2, b3;
    bool any;
};

template <class V> struct ByteOrTest
{
    using Bytes = typename V::Bytes;
    static constexpr int Count = V::ByteCount;

    __attribute__((always_inline)) explicit ByteOrTest(const ByteSearch::Candidates &c) : any(c.anySecond)
    {
        V::SplatByte(a, c.firstValue);
        V::SplatByte(ao, c.firstOr);
        V::SplatByte(b, c.secondValue);
        V::SplatByte(bo, c.secondOr);
    }
    __attribute__((always_inline)) unsigned Candidates(const u8 *at) const
    {
        Bytes x, y;
        std::memcpy(&x, at, sizeof x);
        if (any)
            return V::ByteMask((x | ao) == a);
        std::memcpy(&y, at + 1, sizeof y);
        return V::ByteMask(((x | ao) == a) & ((y | bo) == b));
    }
    Bytes a, ao, b, bo;
    bool any;
};

// Counts from `from` while the loads stay inside the bytes; `from` is left
// where the vector scan stopped, `next` just past the last find counted.
template <class Test>
__attribute__((always_inline)) inline qsizetype countWith(const ByteSearch &s, const ByteSearch::Candidates &c,
                                                          const u8 *d, qsizetype size, qsizetype &from, qsizetype last,
                                                          qsizetype &next)
{
    const Test test(c);
    qsizetype i = from, count = 0;
    for (; i + Test::Count < size && i <= last; i += Test::Count) {
        for (unsigned bits = test.Candidates(d + i); bits; bits &= bits - 1) {
            const qsizetype at = i + __builtin_ctz(bits);
            if (at > last) {
                from = last + 1;
                return count;
            }
            if (at < next)
                continue;
            if (const qsizetype n = s.MatchAt(d, size, at)) {
                ++count;
                next = at + n;
            }
        }
    }
    from = std::max(i, next);
    return count;
}

qsizetype countNarrow(const ByteSearch &s, const ByteSearch::Candidates &c, const u8 *d, qsizetype size,
                      qsizetype &from, qsizetype last, qsizetype &next)
{
    using V = VectorWidth<128>;
    return c.byOr ? countWith<ByteOrTest<V>>(s, c, d, size, from, last, next)
                  : countWith<ByteTest<V>>(s, c, d, size, from, last, next);
}

__attribute__((target("avx2"))) qsizetype countWide(const ByteSearch &s, const ByteSearch::Candidates &c, const u8 *d,
                                                    qsizetype size, qsizetype &from, qsizetype last, qsizetype &next)
{
    using V = VectorWidth<256>;
    return c.byOr ? countWith<ByteOrTest<V>>(s, c, d, size, from, last, next)
                  : countWith<ByteTest<V>>(s, c, d, size, from, last, next);
}

bool g_wide = VectorWidth<256>::Available();
#endif

} // namespace

ByteSearch::ByteSearch(QStringView needle, bool fold, Bytes bytes)
{
    // Long search texts keep two-way matching's linear time in the text.
    if (needle.isEmpty() || needle.size() >= SearchPattern::LongFrom)
        return;
    const bool utf8 = bytes != Bytes::Ansi;
    for (const QChar q : needle) {
        const char16_t unit = q.unicode();
        if (unit >= 0xD800 && unit <= 0xDFFF)
            return;
        Place place;
        const auto units = fold ? CaseFold::UnitsFoldingTo(unit) : std::span<const char16_t>(&unit, 1);
        std::uint8_t longest = 0;
        for (const char16_t c : units) {
            m_matchesReplacement = m_matchesReplacement || c == 0xFFFD;
            Form f{1, {}};
            if (!utf8) {
                if (c > 0xFF)
                    continue; // no byte decodes to it
                f.bytes[0] = static_cast<u8>(c);
            } else {
                char *out = reinterpret_cast<char *>(f.bytes.data());
                f.length = static_cast<std::uint8_t>(Utf8Kernel::Put(c, out) - out); // not a surrogate: 1 to 3
            }
            longest = std::max(longest, f.length);
            place.forms.push_back(f);
        }
        if (place.forms.empty())
            m_never = true;
        m_maxBytes += longest;
        m_places.push_back(std::move(place));
    }
    m_usable = true;
    if (m_never)
        return;

    // The vector scan's sets: the first bytes of the first unit's forms, and
    // what may follow them (the next unit's first bytes, or a form's second).
    std::vector<u8> first, second;
    for (const Form &f : m_places[0].forms) {
        first.push_back(f.bytes[0]);
        if (f.length > 1)
            second.push_back(f.bytes[1]);
        else if (m_places.size() > 1)
            for (const Form &g : m_places[1].forms)
                second.push_back(g.bytes[0]);
        else
            m_candidates.anySecond = true;
    }
    Candidates &c = m_candidates;
    c.usable = padded(first, c.first);
    if (!c.anySecond && !padded(second, c.second))
        c.anySecond = true;
    c.byOr = c.usable && CaseBitForm(c.first, c.firstValue, c.firstOr) &&
             (c.anySecond || CaseBitForm(c.second, c.secondValue, c.secondOr));

    bool single = true;
    for (const Place &place : m_places)
        for (const Form &f : place.forms)
            single = single && f.length == 1;
    if (single) {
        m_single.resize(m_places.size());
        for (std::size_t j = 0; j < m_places.size(); ++j)
            for (const Form &f : m_places[j].forms)
                m_single[j][f.bytes[0]] = true;
    }
}

qsizetype ByteSearch::MatchAt(const u8 *data, qsizetype size, qsizetype at) const
{
    if (!m_single.empty()) {
        const auto n = static_cast<qsizetype>(m_single.size());
        if (at + n > size)
            return 0;
        for (qsizetype j = 0; j < n; ++j)
            if (!m_single[static_cast<std::size_t>(j)][data[at + j]])
                return 0;
        return n;
    }
    qsizetype pos = at;
    for (const Place &place : m_places) {
        const Form *match = nullptr;
        for (const Form &f : place.forms) {
            if (pos + f.length <= size && data[pos] == f.bytes[0] && (f.length < 2 || data[pos + 1] == f.bytes[1]) &&
                (f.length < 3 || data[pos + 2] == f.bytes[2])) {
                match = &f;
                break; // the forms are prefix-free: no other can match here
            }
        }
        if (!match)
            return 0;
        pos += match->length;
    }
    return pos - at;
}

qsizetype ByteSearch::CountIn(const char *data, qsizetype size, qsizetype from, qsizetype last, qsizetype &next) const
{
    const u8 *d = reinterpret_cast<const u8 *>(data);
    qsizetype count = 0;
    next = from = std::max<qsizetype>(from, 0);
    last = std::min(last, size - 1);
    if (!m_usable || m_never || from > last)
        return 0;
#if VELMORA_VECTORS
    if (m_candidates.usable)
        count = g_wide ? countWide(*this, m_candidates, d, size, from, last, next)
                       : countNarrow(*this, m_candidates, d, size, from, last, next);
#endif
    for (qsizetype at = from; at <= last; ++at) {
        if (const qsizetype n = MatchAt(d, size, at)) {
            ++count;
            next = at + n;
            at = next - 1;
        }
    }
    return count;
}

void ByteSearch::UseWideVectors(bool on)
{
#if VELMORA_VECTORS
    g_wide = on && VectorWidth<256>::Available();
#else
    (void)on;
#endif
}
