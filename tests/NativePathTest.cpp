// File names: every byte string comes back from its text, and what is shown holds no escaped byte.
#include "NativePath.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <random>
#include <tuple>

// The tables of byte strings are laid out by hand, one case a line.
// clang-format off
namespace {

TEST(NativePath, AnyBytesComeBackFromTheirText)
{
    std::mt19937 rng(3);
    for (int round = 0; round < 5000; ++round) {
        QByteArray bytes;
        for (int i = static_cast<int>(rng() % 40); i > 0; --i)
            bytes += rng() % 8 == 0 ? QByteArray("\xEF\xBB\xBF") : QByteArray(1, static_cast<char>(rng() % 256));
        ASSERT_EQ(NativePath::Encode(NativePath::Decode(bytes)), bytes) << bytes.toHex().constData();
    }
}

TEST(NativePath, TextShownAndEscapesFound)
{
    const std::tuple<QByteArray, const char16_t *, const char16_t *> cases[] = { // bytes, text, shown
        {"\xEF\xBB\xBF" "a", u"\xFEFF" "a", u"\xFEFF" "a"},             // a leading mark is part of the name
        {"Gr\xFC\xDF" "e", u"Gr\xDCFC\xDCDF" "e", u"Gr\xFFFD\xFFFD" "e"}, // Latin-1
        {"a\xE2\x82", u"a\xDCE2\xDC82", u"a\xFFFD\xFFFD"},                // each byte of a broken sequence
        {"\xF0\x90\x82\x80", u"\xD800\xDC80", u"\xD800\xDC80"},            // a pair, not an escape
    };
    for (const auto &[bytes, text, shown] : cases) {
        const QString decoded = NativePath::Decode(bytes);
        EXPECT_EQ(decoded, QStringView(text).toString());
        EXPECT_EQ(NativePath::Display(decoded), QStringView(shown).toString());
        EXPECT_EQ(NativePath::HasEscapes(decoded), decoded != NativePath::Display(decoded));
    }
    // Text that did not come from Decode: an unpaired surrogate outside the escape range.
    EXPECT_EQ(NativePath::Encode(QString(QChar(0xD800))), QByteArray("\xEF\xBF\xBD"));
    // Handed to another program, the name keeps its bytes.
    EXPECT_EQ(NativePath::Url(NativePath::Decode("/tmp/caf\xE9 1.txt")).toEncoded(), QByteArray("file:///tmp/caf%E9%201.txt"));
}

} // namespace
// clang-format on
