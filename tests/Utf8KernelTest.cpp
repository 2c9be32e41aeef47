// The UTF-8 kernel: every rule for ill-formed bytes on one table, at every vector-block offset and width.
#include "Utf8Kernel.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <tuple>

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
