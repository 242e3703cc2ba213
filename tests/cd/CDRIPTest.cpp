// TCDRIP on cue/bin images: the track list from the cue, WAV rips checked byte for byte
// against the .bin (headers read by sox), MP3 rips decoded by the ffmpeg tool, converted
// formats against sox's own conversion, cancel, and jitter side files through the library's
// test hook.
#include <gtest/gtest.h>

#include "cd/CDRIP.h"
#include "cd/CdTestSupport.h"
#include "support/CdImages.h"

#include <QFile>

#include <cmath>

using namespace testsupport;
using cd::TCDRIP;

namespace {

std::string soxInfo(const std::string& wav, const char* what)
{
    auto r = runCommand("sox", {"--i", what, wav});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out.substr(0, r.out.find('\n'));
}

// The WAV's samples as sox reads them, after checking its header's format.
std::string wavData(const std::string& wav, int rate, int channels)
{
    EXPECT_EQ(soxInfo(wav, "-r"), std::to_string(rate));
    EXPECT_EQ(soxInfo(wav, "-c"), std::to_string(channels));
    EXPECT_EQ(soxInfo(wav, "-b"), "16");
    auto r = runCommand("sox", {wav, "-t", "raw", "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

std::uint32_t le32(const std::string& bytes, std::size_t at)
{
    return std::uint32_t(std::uint8_t(bytes[at])) | std::uint32_t(std::uint8_t(bytes[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(bytes[at + 2])) << 16 | std::uint32_t(std::uint8_t(bytes[at + 3])) << 24;
}

// A disc image, its tracks' first sectors and the lead-out's.
struct Image {
    std::string cue;
    std::vector<std::int32_t> starts;
    std::string trackBytes(int index) const
    {
        const std::size_t i = std::size_t(index);
        return binSlice(cue, std::uint32_t(150 + starts[i]), std::uint32_t(starts[i + 1] - starts[i]));
    }
};

Image writeImage(const TempDir& dir, const std::string& name, const std::vector<ImageTrack>& tracks)
{
    Image image{writeCdImage(dir, name, tracks), {0}};
    for (const ImageTrack& t : tracks)
        image.starts.push_back(image.starts.back() + std::int32_t(t.sectors));
    return image;
}

class CDRIPTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        image = new Image(writeImage(*dir, "disc",
                                     {{true, 180, 0, {"sine", "440", "sine", "660"}, ""},
                                      {true, 150, 0, {"sine", "550", "sine", "330"}, "DCP"},
                                      {true, 150, 0, {"sine", "220", "sine", "880"}, "PRE"},
                                      {false, 150, 0, {}, ""},
                                      {true, 160, 0, {"sine", "300-900", "sine", "500"}, "DCP PRE"}}));
    }
    static void TearDownTestSuite()
    {
        delete image;
        delete dir;
    }
    void TearDown() override { cdrip::CR_SetTestJitterSectors({}); }

    static TempDir* dir;
    static Image* image;
};
TempDir* CDRIPTest::dir = nullptr;
Image* CDRIPTest::image = nullptr;

TEST_F(CDRIPTest, TrackListFromTheTableOfContents)
{
    TCDRIP rip({image->cue});
    EXPECT_EQ(rip.Version(), "100");
    EXPECT_EQ(rip.CDRomNum(), 0);
    EXPECT_FALSE(rip.DriveTable().Atapi);
    EXPECT_EQ(rip.OutputFormat(), cd::STEREO44100);
    EXPECT_TRUE(rip.JitterCorrect());
    ASSERT_EQ(rip.TrackCount(), 5);
    const char* kinds[] = {"Audio", "Audio", "Audio", "Data", "Audio"};
    const std::uint8_t flags[] = {0x10, 0x12, 0x11, 0x14, 0x13};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const cd::TTrack& t = rip.Tracks()[std::size_t(i)];
        EXPECT_EQ(t.TrackNumber, i + 1);
        EXPECT_EQ(t.StartSector, image->starts[std::size_t(i)]);
        EXPECT_EQ(t.EndSector, image->starts[std::size_t(i) + 1] - 1);
        EXPECT_EQ(t.Name, "Track0" + std::to_string(i + 1));
        EXPECT_EQ(t.Kind, kinds[i]);
        EXPECT_EQ(cdrip::CR_GetTocEntry(i).Flags, flags[i]);
    }
    EXPECT_EQ(cdrip::CR_GetTocEntry(5).StartSector, image->starts.back());
    // cd-info reads the same starts from the cue (in frames from address 0).
    const auto addresses = cdInfoAddresses(image->cue);
    ASSERT_EQ(addresses.size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(std::int32_t(addresses[std::size_t(i)]) - 150, cdrip::CR_GetTocEntry(i).StartSector) << i;

    // A range off the disc opens no ripper and writes nothing.
    rip.WriteWAV = true;
    rip.RipSectors(image->starts.back(), image->starts.back() + 10, dir->file("off.wav"));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir->file("off.wav"))));

    // The library is one per process: the components below replace the drive list.
    // The same drive number again reads nothing: a changed image stays unseen until another
    // drive is chosen.
    const Image other = writeImage(*dir, "other", {{true, 150, 440, {}, ""}});
    TCDRIP two({other.cue, image->cue});
    ASSERT_EQ(two.TrackCount(), 1);
    writeImage(*dir, "other", {{true, 150}, {true, 150}, {true, 150}});
    two.SetCDRomNum(0);
    EXPECT_EQ(two.TrackCount(), 1);
    two.SetCDRomNum(1);
    EXPECT_EQ(two.CDRomNum(), 1);
    EXPECT_EQ(two.TrackCount(), 5);
    two.SetCDRomNum(0);
    EXPECT_EQ(two.TrackCount(), 3);

    TCDRIP none({});
    EXPECT_EQ(none.TrackCount(), 0);
    EXPECT_THROW(none.RipSectors(0, 10, dir->file("none.wav")), cd::ECDRIPError);
    EXPECT_THROW(none.RipTrack(1, dir->file("none.wav")), cd::ECDRIPError);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir->file("none.wav"))));
}

TEST_F(CDRIPTest, EachTrackRipsToWavEqualToItsSlice)
{
    TCDRIP rip({image->cue});
    rip.WriteWAV = true;
    std::vector<int> percents;
    rip.OnProgress = [&](TCDRIP*, std::uint16_t p) { percents.push_back(p); };
    for (int n = 1; n <= rip.TrackCount(); ++n) {
        SCOPED_TRACE(n);
        percents.clear();
        const std::string wav = cdtest::outDir() + "/rip-track0" + std::to_string(n) + ".wav";
        rip.RipTrack(n, wav);
        const std::string data = wavData(wav, 44100, 2);
        EXPECT_TRUE(data == image->trackBytes(n - 1)) << data.size() << " bytes";
        const std::string file = readFile(wav);
        EXPECT_EQ(le32(file, 4), file.size() - 8);
        EXPECT_EQ(le32(file, 40), file.size() - 44);
        EXPECT_EQ(percents.back(), 100);
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
        EXPECT_EQ(rip.JitterErrors(), 0);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(cd::JitterFileName(wav))));
    }
    // Without jitter correction, and as raw PCM without a header.
    rip.SetJitterCorrect(false);
    rip.WriteWAV = false;
    rip.RipTrack(1, dir->file("raw.pcm"));
    EXPECT_TRUE(readFile(dir->file("raw.pcm")) == image->trackBytes(0));
}

TEST_F(CDRIPTest, EachTrackRipsToMp3ThatDecodesToTheWholeTrack)
{
    TCDRIP rip({image->cue});
    cd::TLameCoder coder;
    rip.SetCoder(&coder);
    rip.Encode = true;
    for (int n = 1; n <= rip.TrackCount(); ++n) {
        SCOPED_TRACE(n);
        // The window's VBR choice: with its header frame the decode is trimmed to the exact
        // length, so the last short chunk must have been encoded too.
        coder.SetEnableVBR(true);
        const std::string mp3 = cdtest::outDir() + "/rip-track0" + std::to_string(n) + ".mp3";
        rip.RipTrack(n, cdtest::outDir() + "/rip-track0" + std::to_string(n) + ".wav");   // becomes .mp3
        const auto p = cdtest::probe(mp3);
        EXPECT_EQ(p.codec, "mp3");
        EXPECT_EQ(p.rate, 44100);
        EXPECT_EQ(p.channels, 2);
        const auto got = cdtest::decode(mp3);
        const auto want = asSamples16(image->trackBytes(n - 1));
        ASSERT_EQ(got.size(), want.size());
        if (n == 4)
            continue;   // the data track is noise to the encoder
        for (int ch = 0; ch < 2; ++ch) {
            const auto match = cdtest::align(cdtest::channel(want, 2, ch), cdtest::channel(got, 2, ch), 10);
            EXPECT_EQ(match.lag, 0);
            EXPECT_GT(match.correlation, 0.99) << "channel " << ch;
        }
    }
}

TEST_F(CDRIPTest, ConvertedFormatsMatchSox)
{
    // The mean of n frames stands (n - 1) / 2 frames later than sox's sample: at the track's
    // 660 Hz that alone differs by 5 % (n = 2) and 14 % (n = 4) of the signal. The MP3s rip
    // the last track, whose sweep aligns the decode.
    struct Case {
        cd::TOutputFormat format;
        int rate, channels;
        bool encode;
        double tolerance;
    };
    const Case cases[] = {
        {cd::MONO44100, 44100, 1, false, 0.01},   {cd::STEREO22050, 22050, 2, false, 0.07},
        {cd::MONO22050, 22050, 1, false, 0.07},   {cd::STEREO11025, 11025, 2, false, 0.17},
        {cd::MONO11025, 11025, 1, false, 0.17},   {cd::MONO44100, 44100, 1, true, 0},
        {cd::MONO22050, 22050, 1, true, 0},
    };
    const std::string slice = dir->file("slice.raw");
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.format << (c.encode ? " mp3" : " wav"));
        TCDRIP rip({image->cue});
        cd::TLameCoder coder;
        coder.SetBitrate(64);
        rip.SetCoder(&coder);
        rip.SetOutputFormat(c.format);
        EXPECT_EQ(coder.SampleRate(), std::uint32_t(c.rate));
        EXPECT_EQ(coder.Mode(), c.channels == 1 ? cd::MONO : cd::STEREO);
        rip.Encode = c.encode;
        rip.WriteWAV = !c.encode;
        const std::string out = dir->file(c.encode ? "conv.mp3" : "conv.wav");
        const int track = c.encode ? 5 : 1;
        rip.RipTrack(track, out);
        writeFile(slice, image->trackBytes(track - 1));
        auto s = runCommand("sox", {"-D", "-t", "raw", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", slice,
                                    "-t", "raw", "-r", std::to_string(c.rate), "-c", std::to_string(c.channels), "-"});
        ASSERT_EQ(s.exitCode, 0) << s.err;
        const auto want = asSamples16(s.out);
        if (c.encode) {
            const auto p = cdtest::probe(out);
            EXPECT_EQ(p.rate, c.rate);
            EXPECT_EQ(p.channels, c.channels);
            const auto got = cdtest::decode(out);
            EXPECT_GT(cdtest::align(cdtest::channel(want, 1, 0), cdtest::channel(got, 1, 0), 3000).correlation, 0.99);
            continue;
        }
        const auto got = asSamples16(wavData(out, c.rate, c.channels));
        ASSERT_EQ(got.size(), want.size());
        // Away from the ends, where sox's filter starts and stops.
        std::vector<double> diff, ref;
        for (std::size_t i = 200; i + 200 < got.size(); ++i) {
            diff.push_back(double(got[i]) - want[i]);
            ref.push_back(want[i]);
        }
        EXPECT_LT(cdtest::rms(diff), c.tolerance * cdtest::rms(ref));
    }
}

TEST_F(CDRIPTest, CancelAtHalfFinishesBothFilesProperly)
{
    TCDRIP rip({image->cue});
    cd::TLameCoder coder;
    rip.SetCoder(&coder);
    std::string busy;
    rip.OnProgress = [&](TCDRIP* sender, std::uint16_t p) {
        if (p >= 50)
            sender->Cancel();
        try {
            sender->RipTrack(2, dir->file("again.wav"));
        } catch (const cd::ECDRIPError& e) {
            busy = e.what();
        }
    };
    rip.WriteWAV = true;
    rip.RipTrack(1, dir->file("half.wav"));
    EXPECT_FALSE(busy.empty());
    const std::string file = readFile(dir->file("half.wav"));
    EXPECT_EQ(le32(file, 4), file.size() - 8);
    EXPECT_EQ(le32(file, 40), file.size() - 44);
    const std::string data = wavData(dir->file("half.wav"), 44100, 2);
    const std::string whole = image->trackBytes(0);
    EXPECT_GT(data.size(), whole.size() / 2);
    EXPECT_LT(data.size(), whole.size() * 3 / 4);
    EXPECT_TRUE(whole.compare(0, data.size(), data) == 0);

    rip.Encode = true;
    rip.RipTrack(1, dir->file("half.mp3"));
    rip.OnProgress = nullptr;
    rip.RipTrack(1, dir->file("full.mp3"));
    const auto half = cdtest::decode(dir->file("half.mp3"));
    const auto full = cdtest::decode(dir->file("full.mp3"));
    ASSERT_GT(half.size(), full.size() / 3);
    ASSERT_LT(half.size(), full.size() * 3 / 4);
    // The same frames up to the last few, which the flush pads.
    const std::size_t same = half.size() - 4 * 1152 * 2;
    EXPECT_TRUE(std::equal(half.begin(), half.begin() + std::ptrdiff_t(same), full.begin()));
}

TEST_F(CDRIPTest, JitterSideFileListsOnlyItsOwnRip)
{
    TCDRIP rip({image->cue});
    rip.WriteWAV = true;
    const std::int32_t s1 = image->starts[0], s2 = image->starts[1];
    cdrip::CR_SetTestJitterSectors({s1 + 3, s1 + 60, s2 + 5});
    const std::string first = dir->file("j1.wav"), second = dir->file("j2.wav");
    rip.RipTrack(1, first);
    EXPECT_EQ(rip.JitterErrors(), 2);
    const auto lines = [](const std::string& file) {
        rtl::TStringList list;
        list.LoadFromFile(cd::JitterFileName(file));
        return list.CommaText();
    };
    const auto pair = [](std::int32_t a) { return "\"" + std::to_string(a) + " " + std::to_string(a) + "\""; };
    EXPECT_EQ(lines(first), pair(s1 + 3) + "," + pair(s1 + 60));
    rip.RipTrack(2, second);
    EXPECT_EQ(rip.JitterErrors(), 1);
    EXPECT_EQ(lines(second), pair(s2 + 5));
    // The jitter changes no byte of the image's samples.
    EXPECT_TRUE(wavData(first, 44100, 2) == image->trackBytes(0));
}

// An enhanced CD ends on its data track: ripped by number like any other, sector for sector.
// What each rip read is counted in whole sectors of its output format.
TEST_F(CDRIPTest, ADataTrackLastRipsByNumberAndTheSectorsReadAreCounted)
{
    const Image enhanced = writeImage(*dir, "enhanced", {{true, 75, 440, {}, ""}, {false, 60, 0, {}, ""}});
    TCDRIP rip({enhanced.cue});
    ASSERT_EQ(rip.TrackCount(), 2);
    EXPECT_EQ(rip.Tracks()[1].Kind, "Data");
    rip.WriteWAV = true;
    rip.RipTrack(2, dir->file("data.wav"));
    EXPECT_EQ(rip.SectorsRead(), 60);
    EXPECT_TRUE(wavData(dir->file("data.wav"), 44100, 2) == enhanced.trackBytes(1));
    rip.SetOutputFormat(cd::MONO11025);
    rip.RipTrack(1, dir->file("mono.wav"));
    EXPECT_EQ(rip.SectorsRead(), 75);
    // Past the lead-out nothing opens, nothing is read.
    rip.RipSectors(enhanced.starts[1], enhanced.starts[2], dir->file("past.wav"));
    EXPECT_EQ(rip.SectorsRead(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir->file("past.wav"))));
}

}  // namespace
