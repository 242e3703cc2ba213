// The level analysis on a real channel playing on the memory device: its tables and levels
// are checked against the file's own samples at the play cursor, as an independent decoder
// (sox) gives them.
#include "sound/Analysis.h"
#include "support/AudioFixtures.h"
#include "tests/sound/ChannelRig.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sound;
using namespace testsupport;

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = kRate * 50 / 1000;

// The offset-binary byte of one sample, from its value.
int sampleByte(const std::string& pcm, size_t sample, int bits)
{
    if (bits == 8)
        return uint8_t(pcm[sample]);
    int v = int16_t(uint16_t(uint8_t(pcm[2 * sample])) | uint16_t(uint8_t(pcm[2 * sample + 1])) << 8);
    return int(std::floor(v / 256.0)) + 128;
}

struct Expected {
    std::vector<int> max, min;  // [column][entry]
    int columns = 0;            // complete columns in the data
    double level[2] = {0, 0};
};

// Columns of `columns` equal shares of the frames from `first`; entry 0 is the last channel.
Expected expectedTables(const std::string& pcm, int bits, int channels, size_t first, int columns)
{
    Expected e;
    int perColumn = std::max(kFrames / columns, 1);
    e.columns = std::min(columns, kFrames / perColumn);
    e.max.assign(size_t(e.columns * channels), 0);
    e.min.assign(size_t(e.columns * channels), 255);
    for (int entry = 0; entry < channels; ++entry) {
        int peak = 0;
        for (int col = 0; col < e.columns; ++col) {
            auto at = size_t(col * channels + entry);
            for (int k = 0; k < perColumn; ++k) {
                size_t frame = first + size_t(col * perColumn + k);
                int v = sampleByte(pcm, frame * size_t(channels) + size_t(channels - 1 - entry), bits);
                e.max[at] = std::max(e.max[at], v);
                e.min[at] = std::min(e.min[at], v);
            }
            peak = std::max({peak, std::abs(e.max[at] - 128), std::abs(e.min[at] - 128)});
        }
        e.level[entry] = std::sqrt(peak / 128.0);
    }
    return e;
}

void expectTables(const TAnalysis& a, const Expected& e)
{
    for (int col = 0; col < e.columns; ++col)
        for (int entry = 0; entry < a.ChannelCount(); ++entry) {
            auto at = size_t(col * a.ChannelCount() + entry);
            ASSERT_EQ(a.Maximum(col, entry), e.max[at]) << "column " << col << " entry " << entry;
            ASSERT_EQ(a.Minimum(col, entry), e.min[at]) << "column " << col << " entry " << entry;
        }
    for (int entry = 0; entry < a.ChannelCount(); ++entry)
        EXPECT_DOUBLE_EQ(a.Level(entry), e.level[entry]);
}

std::string makeTone(const TempDir& dir, const std::string& name, int channels, int bits)
{
    // Different tones and loudness per side, so that a swapped channel shows.
    std::string path = dir.file(name);
    std::vector<std::string> args{"-n", "-r", std::to_string(kRate), "-c", std::to_string(channels),
                                  "-b", std::to_string(bits), "-e", bits == 8 ? "unsigned-integer" : "signed-integer",
                                  path, "synth", "6", "sine", "300", "sine", "1000"};
    if (channels == 2)
        args.insert(args.end(), {"remix", "1v0.25", "2v0.9"});
    else
        args.insert(args.end(), {"remix", "1v0.9"});
    auto r = runCommand("sox", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

}  // namespace

// At 1234 ms the window lies in one piece of the ring; at 3980 ms it crosses the ring's end
// 882 frames in, inside a column for both column counts. Ramps make every column's extremes
// depend on exactly which frames it holds.
TEST(TAnalysis, TablesFollowTheFramesAfterThePlayCursor)
{
    TempDir dir;
    struct F { std::string path; int channels, bits; };
    std::vector<F> files{
        {makeWavWithPython(dir, "s16.wav", kRate, 2, 16, 6, "(i * 37) % 65536 - 32768 if c == 0 else 32767 - (i * 53) % 65536"), 2, 16},
        {makeWavWithPython(dir, "u8.wav", kRate, 2, 8, 6, "(i // 3) % 256 if c == 0 else 255 - (i // 5) % 256"), 2, 8},
        {makeWavWithPython(dir, "m16.wav", kRate, 1, 16, 6, "(i * 37) % 65536 - 32768"), 1, 16},
        {makeTone(dir, "tone8.wav", 2, 8), 2, 8},
    };
    for (const F& f : files) {
        std::string pcm = referencePcm(f.path, f.bits, false);
        for (int64_t atMs : {1234, 3980}) {
            for (int columns : {7, 128}) {
                SCOPED_TRACE(f.path + " at " + std::to_string(atMs) + " ms, " + std::to_string(columns) + " columns");
                ChannelRig rig;
                rig.channel->Open(f.path);
                TAnalysis analysis(rig.channel.get(), columns, kFrames);
                EXPECT_EQ(analysis.ChannelCount(), f.channels);
                rig.channel->Play();
                rig.run(atMs);
                size_t first = rig.playCursor() / rig.channel->BlockAlign();
                EXPECT_EQ(first, size_t(atMs * kRate / 1000));
                if (atMs == 3980) {  // the window really wraps
                    const uint8_t *p1, *p2;
                    uint32_t n1, n2;
                    rig.channel->LockPlayed(0, kFrames * rig.channel->BlockAlign(), p1, n1, p2, n2);
                    rig.channel->UnlockPlayed();
                    ASSERT_GT(n2, 0u);
                }
                analysis.Analyse();
                expectTables(analysis, expectedTables(pcm, f.bits, f.channels, first, columns));
            }
        }
    }
}

// The levels measure what the file holds: 0.9 of full scale on the right (entry 0), 0.25 on
// the left.
TEST(TAnalysis, LevelsOfASineAreTheRootOfItsPeak)
{
    TempDir dir;
    for (int bits : {8, 16})
        for (int channels : {1, 2}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(channels) + " channels");
            ChannelRig rig;
            rig.channel->Open(makeTone(dir, "tone" + std::to_string(bits * 10 + channels) + ".wav", channels, bits));
            TAnalysis analysis(rig.channel.get(), 10, kFrames);
            rig.channel->Play();
            rig.run(700);
            analysis.Analyse();
            EXPECT_NEAR(analysis.Level(0), std::sqrt(0.9), 0.02);
            if (channels == 2)
                EXPECT_NEAR(analysis.Level(1), std::sqrt(0.25), 0.02);
            else
                EXPECT_EQ(analysis.Level(1), 0.0);
        }
}

TEST(TAnalysis, SilenceReadsAsTheMiddleAndAFullScaleSquareAsLevelOne)
{
    TempDir dir;
    struct F { std::string path; int bits; bool square; };
    // A square of 100-frame period: +32767 / -32768, or 255 / 0 for 8 bits.
    std::vector<F> files{
        {makeWavWithPython(dir, "silence16.wav", kRate, 2, 16, 2, "0"), 16, false},
        {makeWavWithPython(dir, "silence8.wav", kRate, 2, 8, 2, "128"), 8, false},
        {makeWavWithPython(dir, "square16.wav", kRate, 2, 16, 2, "32767 if (i // 50) % 2 == 0 else -32768"), 16, true},
        {makeWavWithPython(dir, "square8.wav", kRate, 2, 8, 2, "255 if (i // 50) % 2 == 0 else 0"), 8, true},
    };
    for (const F& f : files) {
        SCOPED_TRACE(f.path);
        ChannelRig rig;
        rig.channel->Open(f.path);
        TAnalysis analysis(rig.channel.get(), 20, kFrames);  // 110 frames a column: both halves
        rig.channel->Play();
        rig.run(500);
        analysis.Analyse();
        for (int col = 0; col < 20; ++col)
            for (int entry = 0; entry < 2; ++entry) {
                EXPECT_EQ(analysis.Maximum(col, entry), f.square ? 255 : 128);
                EXPECT_EQ(analysis.Minimum(col, entry), f.square ? 0 : 128);
            }
        EXPECT_EQ(analysis.Level(0), f.square ? 1.0 : 0.0);
        EXPECT_EQ(analysis.Level(1), f.square ? 1.0 : 0.0);
    }
}

// With nothing to read the display holds still, where it would otherwise jump to full scale.
TEST(TAnalysis, NothingToReadKeepsTheTablesAndLevels)
{
    TempDir dir;
    std::string path = makeTone(dir, "s16.wav", 2, 16);
    ChannelRig rig;
    rig.channel->Open(path);
    TAnalysis analysis(rig.channel.get(), 10, kFrames);
    analysis.Analyse();  // not primed yet
    EXPECT_EQ(analysis.Level(0), 0.0);
    EXPECT_EQ(analysis.Maximum(0, 0), 128);

    rig.channel->Play();
    rig.run(1300);
    analysis.Analyse();
    double before[2] = {analysis.Level(0), analysis.Level(1)};
    uint8_t maxBefore = analysis.Maximum(3, 0), minBefore = analysis.Minimum(3, 1);
    ASSERT_GT(before[0], 0.5);

    // Right after a refill the ring is full and the play cursor has not moved on since.
    rig.run(300);
    const uint8_t *p1, *p2;
    uint32_t n1, n2;
    rig.channel->LockPlayed(0, 4 * kFrames, p1, n1, p2, n2);
    rig.channel->UnlockPlayed();
    ASSERT_EQ(n1 + n2, 0u);
    analysis.Analyse();
    EXPECT_EQ(analysis.Level(0), before[0]);
    EXPECT_EQ(analysis.Level(1), before[1]);
    EXPECT_EQ(analysis.Maximum(3, 0), maxBefore);
    EXPECT_EQ(analysis.Minimum(3, 1), minBefore);

    rig.channel->Stop();  // no longer primed
    analysis.Analyse();
    EXPECT_EQ(analysis.Level(0), before[0]);
    EXPECT_EQ(analysis.Maximum(3, 0), maxBefore);

    analysis.Clear();  // the tables go to the middle, the levels stay
    EXPECT_EQ(analysis.Maximum(3, 0), 128);
    EXPECT_EQ(analysis.Minimum(3, 1), 128);
    EXPECT_EQ(analysis.Level(0), before[0]);
}

// More columns than frames: one frame a column, and the columns past the data stay as they
// were. A pane with no width yet counts as one column over all the frames.
TEST(TAnalysis, ColumnCountsAtTheEdges)
{
    TempDir dir;
    std::string path = makeTone(dir, "s16.wav", 2, 16);
    std::string pcm = referencePcm(path, 16, false);
    ChannelRig rig;
    rig.channel->Open(path);
    TAnalysis wide(rig.channel.get(), 3000, kFrames);
    TAnalysis none(rig.channel.get(), 0, kFrames);
    EXPECT_EQ(wide.FramesPerColumn(), 1);
    EXPECT_EQ(none.Columns(), 1);
    EXPECT_EQ(none.FramesPerColumn(), kFrames);
    rig.channel->Play();
    rig.run(900);
    size_t first = rig.playCursor() / 4;
    wide.Analyse();
    none.Analyse();
    expectTables(wide, expectedTables(pcm, 16, 2, first, kFrames));
    for (int col = kFrames; col < 3000; ++col)
        ASSERT_EQ(wide.Maximum(col, 0), 128) << col;
    expectTables(none, expectedTables(pcm, 16, 2, first, 1));
}
