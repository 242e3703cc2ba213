// The Japanese parts of FormatDateTime: 12-hour clocks with AM/PM and 午前/午後, era names
// and years, weekdays and quoted literals, checked against the clock label's patterns and
// against glibc's own ja_JP calendar.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/rtl/Formatting.h"
#include "support/TestSupport.h"

using namespace rtl;

namespace {

TDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, 0);
}

}  // namespace

// The clock's own patterns are checked through the clock label; here what they do not reach.
TEST(DateFormat, HalvesOfTheDayWeekdaysAndEraEdges)
{
    EXPECT_EQ(FormatDateTime("am/pm hh:nn", at(2024, 6, 1, 16, 15)), "pm 04:15");  // the pattern's case
    EXPECT_EQ(FormatDateTime("'ampm' hh", at(2024, 6, 1, 16)), "ampm 16");  // quoted: a 24-hour clock
    EXPECT_EQ(FormatDateTime("AM/PM h:nn", at(2024, 1, 1, 0, 5)), "AM 12:05");
    EXPECT_EQ(FormatDateTime("hh AM/PM", at(2024, 1, 1, 12)), "12 PM");  // marker after the hour
    EXPECT_EQ(FormatDateTime("aaaa", at(2024, 6, 1)), "土曜日");
    EXPECT_EQ(FormatDateTime("ggg e", at(1868, 1, 25)), "明治 1");
    EXPECT_EQ(FormatDateTime("ggg e", at(1868, 1, 24)), " 1868");  // before the first era
    EXPECT_EQ(FormatDateTime("g ee", at(1989, 1, 8)), "平 01");
}

// glibc's ja_JP calendar, built into a scratch folder: era name, era year, weekday and the
// half of the day for dates on both sides of every era change since 1912.
TEST(DateFormat, ErasWeekdaysAndHalvesMatchGlibc)
{
    if (!testsupport::haveProgram("localedef") || !testsupport::haveProgram("date"))
        GTEST_SKIP() << "localedef or date missing";
    testsupport::TempDir dir;
    const auto made = testsupport::runCommand(
        "localedef", {"-i", "ja_JP", "-f", "UTF-8", dir.file("ja_JP.UTF-8")});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    testsupport::ScopedEnv locpath("LOCPATH", dir.path());
    testsupport::ScopedEnv lcAll("LC_ALL", "ja_JP.UTF-8");
    testsupport::ScopedEnv tz("TZ", "UTC");

    struct Day { int y, mo, d; };
    const std::vector<Day> boundaries = {{1912, 7, 30}, {1913, 1, 1}, {1926, 12, 25},
                                         {1927, 1, 1}, {1989, 1, 8}, {1990, 1, 1},
                                         {2019, 5, 1}, {2020, 1, 1}};
    int checked = 0;
    for (const Day& b : boundaries) {
        for (int offset : {-1, 0, 1}) {
            for (int hour : {9, 21}) {
                const TDateTime t = at(b.y, b.mo, b.d, hour) + offset;
                const std::string when = FormatDateTime("yyyy-mm-dd hh:nn", t);
                const auto ref = testsupport::runCommand("date", {"-d", when, "+%EC|%Ey|%a|%p"});
                ASSERT_EQ(ref.exitCode, 0) << when << ": " << ref.err;
                std::string expected = ref.out.substr(0, ref.out.find('\n'));
                const std::string ours = FormatDateTime("ggg|e|aaa|ampm", t);
                // glibc writes era years with two digits ("01"): compare them as numbers.
                auto parts = [](const std::string& s) {
                    std::vector<std::string> p(1);
                    for (char c : s) {
                        if (c == '|') p.emplace_back();
                        else p.back() += c;
                    }
                    return p;
                };
                const auto e = parts(expected), o = parts(ours);
                ASSERT_EQ(e.size(), 4u) << expected;
                ASSERT_EQ(o.size(), 4u) << ours;
                EXPECT_EQ(o[0], e[0]) << when;
                EXPECT_EQ(std::atoi(o[1].c_str()), std::atoi(e[1].c_str())) << when;
                EXPECT_EQ(o[2], e[2]) << when;
                EXPECT_EQ(o[3], e[3]) << when;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 48);
}
