// The number forms shown to the user, with German and English separators.
#include "NumberFormat.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct GroupedCase
{
    qint64 value;
    const char *german;
    const char *english;
};

TEST(NumberFormat, GroupsAllDigitsByThrees)
{
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const GroupedCase cases[] = {
        {0, "0", "0"},
        {999, "999", "999"},
        {1000, "1.000", "1,000"},
        {1234567, "1.234.567", "1,234,567"},
        {2147483647, "2.147.483.647", "2,147,483,647"},
        {-1234, "-1.234", "-1,234"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(NumberFormat::Grouped(c.value, de), QString::fromUtf8(c.german)) << c.value;
        EXPECT_EQ(NumberFormat::Grouped(c.value, en), QString::fromUtf8(c.english)) << c.value;
    }
}

TEST(NumberFormat, RightAlignsToSixCharacters)
{
    EXPECT_EQ(NumberFormat::RightAlign6(QStringLiteral("12")), QStringLiteral("    12"));
    EXPECT_EQ(NumberFormat::RightAlign6(QStringLiteral("1.234")), QStringLiteral(" 1.234"));
    EXPECT_EQ(NumberFormat::RightAlign6(QStringLiteral("123.456")), QStringLiteral("123.456"));
    EXPECT_EQ(NumberFormat::RightAlign6(QString()), QStringLiteral("      "));
}

TEST(NumberFormat, SecondsWithTwoDecimals)
{
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(NumberFormat::Seconds(0.25, de), QStringLiteral("0,25"));
    EXPECT_EQ(NumberFormat::Seconds(0.25, en), QStringLiteral("0.25"));
    EXPECT_EQ(NumberFormat::Seconds(1.5, de), QStringLiteral("1,50"));
    // No grouping in the seconds form.
    EXPECT_EQ(NumberFormat::Seconds(1234.5, de), QStringLiteral("1234,50"));
}

} // namespace
