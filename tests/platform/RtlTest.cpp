// Run-time library numerics, formatting, string lists, streams and the clocks' waits.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Formatting.h"
#include "platform/rtl/Numerics.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/StringList.h"
#include "support/TestSupport.h"

using namespace rtl;

TEST(Rtl, RandomFollowsTheLinearCongruentialFormula)
{
    RandSeed = 0;
    uint64_t seed = 0;
    for (int i = 0; i < 1000; ++i) {
        seed = (seed * 134775813u + 1u) & 0xFFFFFFFFu;
        const int32_t n = i % 3 == 0 ? 100 : i % 3 == 1 ? 256 : 7;
        ASSERT_EQ(Random(n), int32_t((uint64_t(n) * seed) >> 32)) << i;
    }
    EXPECT_EQ(RandSeed, uint32_t(seed));
    // The first draws from seed 0, spelled out: seeds 1, 134775814, ...
    RandSeed = 0;
    EXPECT_EQ(Random(100), 0);                                            // 100 * 1 >> 32
    EXPECT_EQ(Random(100), int32_t((100ull * 134775814ull) >> 32));       // 3
    // A negative range is read as unsigned and the result as signed.
    RandSeed = 0x80000000u;
    const uint32_t next = 0x80000000u * 134775813u + 1u;
    EXPECT_EQ(Random(-10), int32_t(uint32_t((uint64_t(uint32_t(-10)) * next) >> 32)));
    // The real form is the seed over 2^32.
    RandSeed = 5;
    const uint32_t s = 5u * 134775813u + 1u;
    EXPECT_DOUBLE_EQ(Random(), s / 4294967296.0);
}

TEST(Rtl, RoundTakesHalvesToEvenAndTruncCutsTowardZero)
{
    const std::pair<double, int64_t> rounds[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
        {2.4999999, 2}, {2.5000001, 3}, {-2.5000001, -3}, {4503599627370497.0, 4503599627370497},
        {1e15 + 0.5, 1000000000000000}};
    for (auto [x, r] : rounds)
        EXPECT_EQ(Round(x), r) << x;
    EXPECT_EQ(Trunc(-1.9), -1);
    EXPECT_EQ(Trunc(1.9), 1);
    EXPECT_EQ(Trunc(1099511627776.9), 1099511627776);
    // Kept as a 32-bit integer, only the low 32 bits remain.
    EXPECT_EQ(int32_t(Trunc(4294967301.0)), 5);
    EXPECT_EQ(int32_t(Trunc(2147483648.0)), INT32_MIN);
    EXPECT_THROW(Trunc(std::nan("")), EInvalidOp);
    EXPECT_THROW(Round(1e300), EInvalidOp);
    EXPECT_THROW(Trunc(-std::numeric_limits<double>::infinity()), EInvalidOp);
    EXPECT_DOUBLE_EQ(Frac(-2.25), -0.25);
}

TEST(Rtl, MulDivRoundsAndSignalsFailureWithMinusOne)
{
    EXPECT_EQ(MulDiv(10, 3, 4), 8);     // 7.5 away from zero
    EXPECT_EQ(MulDiv(-10, 3, 4), -8);
    EXPECT_EQ(MulDiv(10, 3, -4), -8);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);      // 2.33
    EXPECT_EQ(MulDiv(9, 96, 72), 12);   // 9 pt at 96 dpi
    EXPECT_EQ(MulDiv(5, 7, 0), -1);
    EXPECT_EQ(MulDiv(INT32_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT32_MIN, 1, 1), INT32_MIN);
    EXPECT_EQ(MulDiv(INT32_MAX, INT32_MAX, INT32_MAX), INT32_MAX);  // 62-bit product
    EXPECT_EQ(MulDiv(0, 5, 3), 0);
}

TEST(Rtl, FormatDateTimePatterns)
{
    // Play positions in milliseconds become day fractions.
    EXPECT_EQ(FormatDateTime("nn:ss", 83500 / MSecsPerDay), "01:23");
    EXPECT_EQ(FormatDateTime("nn:ss", 59999.6 / MSecsPerDay), "01:00");  // whole milliseconds first
    EXPECT_EQ(FormatDateTime("nn:ss", 3723000 / MSecsPerDay), "02:03");  // minutes of the hour
    EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", EncodeTime(13, 5, 9, 42)), "13:05:09.042");
    EXPECT_EQ(FormatDateTime("h:m", EncodeTime(7, 8, 0, 0)), "7:8");  // m after h is minutes
    const TDateTime day = EncodeDate(2026, 12, 6) + EncodeTime(23, 59, 59, 999);
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd", day), "2026/12/06");
    EXPECT_EQ(FormatDateTime("yy-m-d 'at' hh", day), "26-12-6 at 23");
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_DOUBLE_EQ(EncodeDate(2000, 3, 1), 36586);
}

TEST(Rtl, FormatFloatPatterns)
{
    EXPECT_EQ(FormatFloat("0.0", 2.25), "2.3");
    EXPECT_EQ(FormatFloat("0.0", 5.5), "5.5");
    EXPECT_EQ(FormatFloat("#,##0", 1234567.5), "1,234,568");
    EXPECT_EQ(FormatFloat("0.00", -1.005), "-1.01");  // decimal halves away from zero
    EXPECT_EQ(FormatFloat("0.##", 3.1), "3.1");
    EXPECT_EQ(FormatFloat("000", 7), "007");
    EXPECT_EQ(FormatFloat("0.00", -0.001), "0.00");
    EXPECT_EQ(FormatFloat("0 'mm';(0);zero", -4), "(4)");
    EXPECT_EQ(FormatFloat("0;(0);zero", 0), "zero");
    EXPECT_EQ(FormatFloat("0.0", 0.96), "1.0");
}

TEST(Rtl, StringListSortedDuplicatesCommaTextAndValues)
{
    TStringList l;
    l.SetSorted(true);
    for (const char* s : {"b", "A", "c", "a"})
        l.Add(s);
    EXPECT_EQ(l.Count(), 3);  // "a" counts as "A": ignored
    EXPECT_EQ(l[0], "A");
    EXPECT_EQ(l.Add("B"), 1);
    EXPECT_EQ(l.IndexOf("C"), 2);
    l.SetDuplicates(dupError);
    EXPECT_THROW(l.Add("c"), EStringListError);
    EXPECT_THROW(l.Insert(0, "x"), EStringListError);
    try {
        (void)l[7];
        FAIL();
    } catch (const EStringListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (7)");
    }

    TStringList c{"plain", "two words", "say \"hi\"", ""};
    EXPECT_EQ(c.CommaText(), "plain,\"two words\",\"say \"\"hi\"\"\",\"\"");
    TStringList back;
    back.SetCommaText(c.CommaText());
    EXPECT_EQ(back.Text(), c.Text());
    back.SetCommaText("a b, \"c d\",e,");
    EXPECT_EQ(back.Text(), "a\nb\nc d\ne\n\n");

    TStringList v;
    v.SetText("Key=1\r\nOther=two=2\nlast");
    EXPECT_EQ(v.Count(), 3);
    EXPECT_EQ(v.Values("key"), "1");
    EXPECT_EQ(v.Values("Other"), "two=2");
    EXPECT_EQ(v.Names(1), "Other");
    v.SetValues("New", "x");
    EXPECT_EQ(v[3], "New=x");
    v.SetValues("Key", "");
    EXPECT_EQ(v.IndexOfName("Key"), -1);
}

TEST(Rtl, StreamsReadWriteSeekAndFailClearly)
{
    TMemoryStream m;
    m.WriteBuffer("abcdef", 6);
    EXPECT_EQ(m.Size(), 6);
    m.SetPosition(2);
    char buf[8] = {};
    EXPECT_EQ(m.Read(buf, 8), 4);
    EXPECT_STREQ(buf, "cdef");
    m.Seek(-3, soEnd);
    m.ReadBuffer(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "def");
    try {
        m.ReadBuffer(buf, 1);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    testsupport::TempDir dir;
    m.SaveToFile(dir.file("m.bin"));
    TFileStream f(dir.file("m.bin"), fmOpenRead);
    EXPECT_EQ(f.Size(), 6);
    f.Seek(1, soBeginning);
    EXPECT_EQ(f.Remaining(), 5);
    EXPECT_EQ(f.Read(buf, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "bc");
    // A seek may pass the end; what is left to read is then nothing, never a negative size.
    m.SetPosition(10);
    f.SetPosition(10);
    EXPECT_EQ(m.Remaining(), 0);
    EXPECT_EQ(f.Remaining(), 0);
    EXPECT_THROW(TFileStream(dir.file("missing"), fmOpenRead), EFOpenError);
    TStringList l{"一行目", "second"};
    l.SaveToFile(dir.file("l.txt"));
    TStringList r;
    r.LoadFromFile(dir.file("l.txt"));
    EXPECT_EQ(r.Text(), l.Text());
}

namespace {

const testsupport::PeakMemoryMode loadFileMemory("memoryStreamLoadFile", [](const std::vector<std::string>& args) {
    TMemoryStream m;
    m.LoadFromFile(args.at(0));
});

}  // namespace

// A file is read once, into the stream's own buffer: loading costs the file's size, not twice
// that, and gives its bytes whole.
TEST(Rtl, MemoryStreamReadsAFileOnceIntoItsBuffer)
{
    testsupport::TempDir dir;
    std::string bytes(48 << 20, '\0');
    for (size_t i = 0; i < bytes.size(); i += 4093)
        bytes[i] = char(i >> 12);
    testsupport::writeFile(dir.file("big.bin"), bytes);
    TMemoryStream m;
    m.LoadFromFile(dir.file("big.bin"));
    ASSERT_EQ(m.Size(), int64_t(bytes.size()));
    EXPECT_EQ(std::memcmp(bytes.data(), m.Memory(), bytes.size()), 0);
#if !defined(__SANITIZE_ADDRESS__)
    const int64_t peak = testsupport::PeakMemoryOf("memoryStreamLoadFile", {dir.file("big.bin")});
    EXPECT_GT(peak, int64_t(bytes.size()) * 9 / 10);
    EXPECT_LT(peak, int64_t(bytes.size()) * 5 / 4);
#endif
}

namespace {

// Spins (briefly sleeping) until `done` holds; the waits below are between threads.
template <class F>
void waitUntil(F done)
{
    while (!done())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

// A waiter running idle steps is waiting as far as the manual clock is concerned: advance()
// neither waits for the steps to end nor lets them hold up the time-out, which ends them. A
// step that says there is nothing more to do is not called again, and the wait goes on.
TEST(Rtl, ManualClockMovesOnWhileAWaiterWorksAndItsTimeOutEndsTheWork)
{
    ManualClock clock;
    auto waiter = clock.createWaiter();
    std::atomic<int> steps{0}, finiteSteps{0}, phase{0};
    std::atomic<bool> firstResult{true}, secondResult{true};
    std::thread t([&] {
        firstResult = waiter->wait(400, [&] {  // never finishes on its own
            ++steps;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            return true;
        });
        phase = 1;
        secondResult = waiter->wait(400, [&] { return ++finiteSteps < 3; });
        phase = 2;
        waiter->wait(-1);
    });
    waitUntil([&] { return steps > 0; });
    clock.advance(399);
    EXPECT_EQ(phase, 0);  // still working, still waiting
    clock.advance(1);     // returns: the time-out ended the work
    EXPECT_EQ(phase, 1);
    EXPECT_FALSE(firstResult);
    waitUntil([&] { return finiteSteps == 3; });
    clock.advance(399);
    EXPECT_EQ(phase, 1);
    EXPECT_EQ(finiteSteps, 3);
    clock.advance(1);
    EXPECT_EQ(phase, 2);
    EXPECT_FALSE(secondResult);
    waiter->wake();
    t.join();
}

TEST(Rtl, WakingAWaiterEndsItsIdleWorkOnBothClocks)
{
    ManualClock manual;
    for (TickSource* ticks : {static_cast<TickSource*>(&manual), &systemTicks()}) {
        auto waiter = ticks->createWaiter();
        std::atomic<int> steps{0};
        std::atomic<bool> woken{false};
        std::thread t([&] {
            woken = waiter->wait(-1, [&] {
                ++steps;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                return true;
            });
        });
        waitUntil([&] { return steps > 0; });
        waiter->wake();
        t.join();
        EXPECT_TRUE(woken);
    }
}

TEST(Rtl, SystemWaiterWorksUntilItsTimeThenTimesOut)
{
    auto waiter = systemTicks().createWaiter();
    // While time is left the step is called again and again: here until it wakes the waiter
    // itself, long before a time-out no machine's load reaches.
    int steps = 0;
    EXPECT_TRUE(waiter->wait(600000, [&] {
        if (++steps == 3)
            waiter->wake();
        return true;
    }));
    EXPECT_EQ(steps, 3);
    // A step that never finishes is ended by the time-out, which the wait does not cut short.
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(waiter->wait(30, [&] {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        return true;
    }));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(30));
    // Nothing more to do: the wait still lasts its time, without calling the step again (a
    // loaded machine may use the time up before the second call, never add a third).
    steps = 0;
    const auto t1 = std::chrono::steady_clock::now();
    EXPECT_FALSE(waiter->wait(30, [&] { return ++steps < 2; }));
    EXPECT_GE(std::chrono::steady_clock::now() - t1, std::chrono::milliseconds(30));
    EXPECT_LE(steps, 2);
}
