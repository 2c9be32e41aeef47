// The UTF-8 kernel: every rule for ill-formed bytes on one table, at every vector-block offset and width.
#include "Utf8Kernel.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <tuple>
#include <utility>

// The tables of byte strings are laid out by hand, one case a line.
// clang-format off
namespace {

using Rule = Utf8Kernel::IllFormed;

std::u16string decode(const std::string &bytes, Rule rule)
{
    std::u16string out(bytes.size(), u'\0');
    const std::size_t n = Utf8Kernel::Decode(bytes.data(), bytes.size(), out.data(), rule);
    return n == Utf8Kernel::Failed ? u"<failed>" : out.substr(0, n);
}

std::string encode(const std::u16string &text, bool escapes)
{
    std::string out(Utf8Kernel::MaxEncodedSize(text.size()), '\0');
    out.resize(Utf8Kernel::Encode(text.data(), text.size(), out.data(), escapes));
    return out;
}

class Utf8KernelWidths : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override { Utf8Kernel::UseWideVectors(GetParam()); }
    void TearDown() override { Utf8Kernel::UseWideVectors(true); }
};

INSTANTIATE_TEST_SUITE_P(WideAndNarrow, Utf8KernelWidths, ::testing::Bool());

// Escaped bytes are U+DC80..U+DCFF; no row has a pair whose second half is in that range.
TEST_P(Utf8KernelWidths, EachRuleOnEachKindOfIllFormedBytes)
{
    const std::tuple<std::string, std::u16string, std::u16string> cases[] = { // bytes, replaced, escaped
        {"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
         u"\x7F\x80\x7FF\x800\xD7FF\xE000\xFFFF\U00010000\U0010FFFF",
         u"\x7F\x80\x7FF\x800\xD7FF\xE000\xFFFF\U00010000\U0010FFFF"}, // the edges of each length
        {"\xEF\xBB\xBF" "a", u"\xFEFF" "a", u"\xFEFF" "a"},          // a mark is text here
        {"\xF0\x9F\x98" "A", u"\xFFFD" "A", u"\xDCF0\xDC9F\xDC98" "A"}, // truncated, then more
        {"\xE2\x82", u"\xFFFD", u"\xDCE2\xDC82"},                      // truncated at the end
        {"\xC3\xC3\xA4", u"\xFFFD\xE4", u"\xDCC3\xE4"},                // a lead where a continuation belongs
        {"\xC0\xAF", u"\xFFFD\xFFFD", u"\xDCC0\xDCAF"},                // overlong, two bytes
        {"\xE0\x80\xAF", u"\xFFFD\xFFFD\xFFFD", u"\xDCE0\xDC80\xDCAF"}, // overlong, three bytes
        {"\xF0\x8F\xBF\xBF", u"\xFFFD\xFFFD\xFFFD\xFFFD", u"\xDCF0\xDC8F\xDCBF\xDCBF"},
        {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD", u"\xDCED\xDCA0\xDC80"}, // surrogate half
        {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD", u"\xDCF4\xDC90\xDC80\xDC80"}, // above U+10FFFF
        {"\xF5\x80\xFE\xFF", u"\xFFFD\xFFFD\xFFFD\xFFFD", u"\xDCF5\xDC80\xDCFE\xDCFF"},
        {"a\x80\xBF" "b", u"a\xFFFD\xFFFD" "b", u"a\xDC80\xDCBF" "b"},   // stray continuation bytes
        {"a\xF1\x80\x80\xE1\x80\xC2" "b", u"a\xFFFD\xFFFD\xFFFD" "b", u"a\xDCF1\xDC80\xDC80\xDCE1\xDC80\xDCC2" "b"},
    };
    for (const auto &[middle, replacedMiddle, escapedMiddle] : cases) {
        // Before the bytes: nothing, or 7-bit text up to and across one and two vector blocks.
        for (std::size_t pad : {0, 1, 14, 15, 16, 17, 31, 32, 33}) {
            const std::string bytes = std::string(pad, 'x') + middle + "yz";
            const std::u16string head(pad, u'x'), replaced = head + replacedMiddle + u"yz",
                                                  escaped = head + escapedMiddle + u"yz";
            SCOPED_TRACE(::testing::PrintToString(bytes));
            std::u16string eachByte = escaped;
            for (char16_t &u : eachByte)
                u = u >= 0xDC80 && u <= 0xDCFF ? u'\xFFFD' : u;
            const bool wellFormed = escaped == replaced;
            EXPECT_EQ(Utf8Kernel::IsWellFormed(bytes.data(), bytes.size()), wellFormed);
            EXPECT_EQ(decode(bytes, Rule::Fail), wellFormed ? replaced : u"<failed>");
            EXPECT_EQ(decode(bytes, Rule::Replace), replaced);
            EXPECT_EQ(decode(bytes, Rule::ReplaceEachByte), eachByte);
            EXPECT_EQ(decode(bytes, Rule::Escape), escaped);
            EXPECT_EQ(encode(escaped, true), bytes);
        }
    }
}

// Random bytes, most of them near UTF-8: both widths agree on every rule,
// escaping keeps every byte, and well-formed text encodes back unchanged.
TEST(Utf8Kernel, RandomBytesAgreeAcrossWidthsAndRoundTrip)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        for (int i = static_cast<int>(rng() % 80); i > 0; --i) {
            const unsigned r = rng() % 8, any = rng() % 256; // any byte, continuation, lead, letter:
            bytes += static_cast<char>(r == 0 ? any : r < 3 ? 0x80 | (any & 63) : r < 4 ? 0xC2 + any % 51 : 'a' + r);
        }
        for (Rule rule : {Rule::Fail, Rule::Replace, Rule::ReplaceEachByte, Rule::Escape}) {
            Utf8Kernel::UseWideVectors(false);
            const std::u16string narrow = decode(bytes, rule);
            Utf8Kernel::UseWideVectors(true);
            ASSERT_EQ(decode(bytes, rule), narrow) << ::testing::PrintToString(bytes);
        }
        const bool wellFormed = Utf8Kernel::IsWellFormed(bytes.data(), bytes.size());
        ASSERT_EQ(decode(bytes, Rule::Fail) != u"<failed>", wellFormed);
        ASSERT_EQ(encode(decode(bytes, Rule::Escape), true), bytes);
        if (wellFormed) {
            ASSERT_EQ(encode(decode(bytes, Rule::Replace), false), bytes);
        }
    }
}

// IsWellFormed with the vector validator and with the byte loop.
std::pair<bool, bool> wellFormedWideAndBytewise(const std::string &bytes)
{
    const bool wide = Utf8Kernel::IsWellFormed(bytes.data(), bytes.size());
    Utf8Kernel::UseWideVectors(false);
    const bool bytewise = Utf8Kernel::IsWellFormed(bytes.data(), bytes.size());
    Utf8Kernel::UseWideVectors(true);
    return {wide, bytewise};
}

// The longest start of text of whole characters within n bytes, then 'x' up to n.
std::string head(const std::string &text, std::size_t n)
{
    std::size_t end = 0;
    char32_t cp;
    while (end < text.size()) {
        const std::size_t len = static_cast<std::size_t>(Utf8Kernel::Sequence(text.data() + end, text.size() - end, cp));
        if (end + len > n)
            break;
        end += len;
    }
    return text.substr(0, end) + std::string(n - end, 'x');
}

// Each sequence starts at every place of two and a half vector blocks, after
// and before 7-bit or German text, and as the very end of the bytes.
TEST(Utf8Kernel, ValidatorJudgesEachSequenceAtEachOffset)
{
    const std::pair<std::string, bool> cases[] = {
        {"\xC2\x80", true}, {"\xDF\xBF", true}, {"\xE0\xA0\x80", true}, {"\xED\x9F\xBF", true},
        {"\xEE\x80\x80", true}, {"\xEF\xBF\xBF", true}, {"\xF0\x90\x80\x80", true}, {"\xF4\x8F\xBF\xBF", true},
        {"\xE2\x82\xAC\xF0\x9D\x84\x9E\xC3\xA4", true},
        {"\xC0\x80", false}, {"\xC1\xBF", false}, {"\xE0\x9F\xBF", false}, {"\xE0\x80\x80", false},   // overlong
        {"\xF0\x8F\xBF\xBF", false}, {"\xED\xA0\x80", false}, {"\xED\xBF\xBF", false},               // surrogates
        {"\xF4\x90\x80\x80", false}, {"\xF5\x80\x80\x80", false}, {"\xF7\xBF\xBF\xBF", false},       // too large
        {"\xF8\x88\x80\x80\x80", false}, {"\xFF", false}, {"\xFE\x80", false},
        {"\x80", false}, {"\xBF\xBF", false}, {"\xC3\xA4\xA4", false}, {"\xE2\x82\xAC\xAC", false},  // stray
        {"\xF0\x9D\x84\x9E\x80", false},
        {"\xC2", false}, {"\xE0\xA0", false}, {"\xF0\x90\x80", false}, {"\xF4\x8F", false},          // truncated
        {"\xE2\x41\xAC", false}, {"\xF0\x9D\x41\x9E", false}, {"\xF0\x9D\x84\x41", false},
        {"\xC3\xC3\xA4", false}, {"\xE2\x82\xE2\x82\xAC", false}, {"\xF0\x9D\x84\xC3\xA4", false},
    };
    const std::string german = "Bäckerei grüßt Übersicht Sträußchen daß Größe Ärger ökonomisch Fuß Öl übrig ";
    for (const std::string &text : {std::string(80, 'x'), german}) {
        for (const auto &[middle, wellFormed] : cases) {
            for (std::size_t at = 0; at <= 70; ++at) {
                for (const std::string &after : {std::string(), head(text, 40)}) {
                    const std::string bytes = head(text, at) + middle + after;
                    ASSERT_EQ(wellFormedWideAndBytewise(bytes), std::make_pair(wellFormed, wellFormed))
                        << ::testing::PrintToString(bytes);
                }
            }
        }
    }
}

// Well-formed text, mostly near the range ends of each length and around the
// block sizes, and the same with one byte changed, dropped or doubled.
TEST(Utf8Kernel, ValidatorAgreesWithByteLoopOnRandomText)
{
    const char32_t edges[] = {0x7F, 0x80, 0x7FF, 0x800, 0xFFF, 0x1000, 0xD7FF, 0xE000, 0xFFFF, 0x10000, 0x3FFFF,
                              0x40000, 0xFFFFF, 0x100000, 0x10FFFF};
    std::mt19937 rng(11);
    int illFormed = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::size_t sizes[] = {rng() % 8 + 28, rng() % 8 + 60, rng() % 8 + 92, rng() % 200};
        const std::size_t size = sizes[round % 4];
        std::string bytes;
        while (bytes.size() < size) {
            const unsigned r = rng() % 8;
            char32_t cp = r < 4 ? 'a' + rng() % 26 : r < 6 ? edges[rng() % std::size(edges)] : rng() % 0x110000;
            char buffer[4];
            if (cp < 0xD800 || cp > 0xDFFF)
                bytes.append(buffer, Utf8Kernel::Put(cp, buffer));
        }
        if (round % 4 != 0 && !bytes.empty()) {
            const std::size_t at = rng() % bytes.size();
            const unsigned how = rng() % 5;
            if (how == 0)
                bytes[at] = static_cast<char>(rng() % 256);
            else if (how < 3)
                bytes[at] = static_cast<char>(bytes[at] + (how == 1 ? 1 : -1));
            else
                bytes.replace(at, 1, how == 3 ? 0 : 2, bytes[at]);
        }
        const auto [wide, bytewise] = wellFormedWideAndBytewise(bytes);
        ASSERT_EQ(wide, bytewise) << ::testing::PrintToString(bytes);
        illFormed += !wide;
    }
    EXPECT_GT(illFormed, 1000); // both kinds are common
    EXPECT_LT(illFormed, 3000);
}

// U+FFFD stands for an unpaired surrogate; with escapes, U+DC80..U+DCFF
// alone stands for its byte (a 7-bit byte is never escaped).
TEST(Utf8Kernel, UnpairedSurrogatesEncodeAsReplacementUnlessEscaped)
{
    const std::string R = "\xEF\xBF\xBD", pair = "\xF0\x90\x82\x80";
    const std::tuple<std::u16string, std::string, std::string> cases[] = {
        {u"a\xD800", "a" + R, "a" + R},    {u"\xDC80\xDCFF", R + R, "\x80\xFF"}, {u"\xDC7F", R, R},
        {u"\xD800\xD800\xDC80", R + pair, R + pair}, {u"\xDC00\xD800", R + R, R + R}, {u"\xD800\xDC80", pair, pair},
    };
    for (const auto &[text, plain, escaped] : cases) {
        EXPECT_EQ(encode(text, false), plain);
        EXPECT_EQ(encode(text, true), escaped);
        EXPECT_EQ(Utf8Kernel::EncodesLosslessly(text.data(), text.size()), plain.find(R) == std::string::npos);
    }
}

} // namespace
// clang-format on
