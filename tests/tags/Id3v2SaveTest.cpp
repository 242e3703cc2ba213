// Saving never loses audio: grow, shrink, same size, padding modes, failures at every byte.
#include "TagTestSupport.h"
#include "support/TestSupport.h"
#include "tags/id3v2.h"
#include "util/SafeFile.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <unistd.h>

using namespace id3v2;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

ino_t inodeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_ino;
}

std::string titleByTagLib(const std::string& path)
{
    TagLib::MPEG::File f(path.c_str());
    return f.ID3v2Tag() ? f.ID3v2Tag()->title().to8Bit(false) : std::string();
}

// The audio stays at the end of the file, byte for byte.
void expectAudioKept(const std::string& path)
{
    const std::string& audio = tagtest::mp3Audio();
    std::string bytes = readFile(path);
    ASSERT_GE(bytes.size(), audio.size());
    EXPECT_EQ(bytes.substr(bytes.size() - audio.size()), audio);
}

int filesIn(const std::string& folder)
{
    return static_cast<int>(QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden).size());
}

class Id3v2Save : public testing::Test {
protected:
    void SetUp() override { path = tagtest::makeFile(dir.file("song.mp3"), tagtest::mp3Audio()); }
    void TearDown() override { safefile::setWriteBudget(-1); }
    TempDir dir;
    std::string path;
};

}  // namespace

TEST_F(Id3v2Save, GrowShrinkAndSameSizeKeepTheAudio)
{
    Tid3v2tag tag;
    tag.SetTextFrame("TIT2", "first");
    ASSERT_EQ(tag.SaveToFile(path), 0);
    expectAudioKept(path);
    const auto firstSize = readFile(path).size();
    EXPECT_EQ(firstSize % 4096, 0u);

    // Grow past the padding.
    TCommentRecord lyrics;
    lyrics.Text = std::string(9000, 'L');
    tag.SetLyrics(lyrics, "", "None");
    ASSERT_EQ(tag.SaveToFile(path), 0);
    expectAudioKept(path);
    EXPECT_GT(readFile(path).size(), firstSize);
    EXPECT_EQ(titleByTagLib(path), "first");

    // Shrink again.
    lyrics.Text.clear();
    tag.SetLyrics(lyrics, "", "None");
    ASSERT_EQ(tag.SaveToFile(path), 0);
    expectAudioKept(path);
    EXPECT_EQ(readFile(path).size(), firstSize);

    // A change that fits the room is written in place.
    ino_t inode = inodeOf(path);
    tag.SetTextFrame("TIT2", "other");
    ASSERT_EQ(tag.SaveToFile(path), 0);
    EXPECT_EQ(inodeOf(path), inode);
    EXPECT_EQ(readFile(path).size(), firstSize);
    EXPECT_EQ(titleByTagLib(path), "other");
    expectAudioKept(path);
    EXPECT_TRUE(tagtest::decodesCleanly(path));
}

TEST_F(Id3v2Save, PaddingModes)
{
    Tid3v2tag tag;
    tag.SetTextFrame("TIT2", "padding");
    tag.PaddingMode = 0;
    tag.PaddingSize = 100;
    ASSERT_EQ(tag.SaveToFile(path), 0);
    const std::size_t frameBytes = 10 + 1 + 7;
    EXPECT_EQ(readFile(path).size(), 10 + frameBytes + 100 + tagtest::mp3Audio().size());
    expectAudioKept(path);

    // Mode 1 with a limit below the unit reuses the old room for a smaller tag.
    Tid3v2tag reuse;
    ASSERT_EQ(reuse.LoadFromFile(path), 0);
    reuse.PaddingMode = 1;
    reuse.PaddingLimit = 0;
    reuse.SetTextFrame("TIT2", "pad");
    ino_t inode = inodeOf(path);
    ASSERT_EQ(reuse.SaveToFile(path), 0);
    EXPECT_EQ(inodeOf(path), inode);
    EXPECT_EQ(reuse.PaddingSize, 104u);
    expectAudioKept(path);

    // Mode 2 always aligns the file to the unit.
    reuse.PaddingMode = 2;
    reuse.PaddingUnit = 512;
    ASSERT_EQ(reuse.SaveToFile(path), 0);
    EXPECT_EQ(readFile(path).size() % 512, 0u);
    EXPECT_GT(reuse.PaddingSize, 0u);
    EXPECT_LE(reuse.PaddingSize, 512u);
    expectAudioKept(path);
    EXPECT_EQ(titleByTagLib(path), "pad");
}

TEST_F(Id3v2Save, SavingTwiceGivesTheSameFile)
{
    Tid3v2tag tag;
    tag.SetTextFrame("TIT2", "二度");
    tag.Frames[1].FormatFlags |= kCompression;
    tag.ExtFlags = kExtCrc;
    ASSERT_EQ(tag.SaveToFile(path, 4, 0), 0);
    const std::string once = readFile(path);
    ASSERT_EQ(tag.SaveToFile(path), 0);
    EXPECT_EQ(readFile(path), once);

    Tid3v2tag reloaded;
    ASSERT_EQ(reloaded.LoadFromFile(path), 0);
    EXPECT_EQ(reloaded.Crc32, tag.Crc32);
    ASSERT_EQ(reloaded.SaveToFile(path), 0);
    EXPECT_EQ(readFile(path), once);
}

TEST_F(Id3v2Save, RefusedSavesTouchNothing)
{
    const std::string original = readFile(path);
    Tid3v2tag tag;
    tag.Frames.AddFrame("TIT2");  // empty: dropped, which leaves nothing to write
    EXPECT_EQ(tag.SaveToFile(path), kNoFrames);
    tag.SetTextFrame("TIT2", "x");
    EXPECT_EQ(tag.SaveToFile(path, 2, 0), kBadVersion);
    EXPECT_EQ(tag.SaveToFile(path, 3, 1), kBadRevision);
    EXPECT_EQ(tag.SaveToFile(dir.file("missing.mp3")), 0x100);
    tag.Frames[1].FormatFlags |= kEncryption;
    EXPECT_EQ(tag.SaveToFile(path), kEncryptionChange);
    EXPECT_EQ(readFile(path), original);
    tag.DropUnsupportedFlags = true;
    EXPECT_EQ(tag.SaveToFile(path) & kFlagDropped, kFlagDropped);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    std::string before = readFile(path);
    EXPECT_EQ(tag.SaveToFile(path), 0x200);
    EXPECT_EQ(readFile(path), before);
}

TEST_F(Id3v2Save, RewriteKeepsPermissionsAndLinks)
{
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    std::string link = dir.file("link.mp3");
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    Tid3v2tag tag;
    tag.SetTextFrame("TIT2", "linked");
    ASSERT_EQ(tag.SaveToFile(link), 0);
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(titleByTagLib(path), "linked");
    EXPECT_EQ(filesIn(dir.path()), 2);  // no temporary file left over
}

// A disk that fills up after any number of bytes: the file is always the old or the new one.
void sweepWriteFailures(const std::string& path, const std::string& folder, const Tid3v2tag& before,
                        const Tid3v2tag& after)
{
    Tid3v2tag first = before;
    ASSERT_EQ(first.SaveToFile(path), 0);
    const std::string oldBytes = readFile(path);
    std::string newBytes;
    {
        TempDir other;
        std::string copy = tagtest::makeFile(other.file("c.mp3"), oldBytes);
        Tid3v2tag probe = after;
        ASSERT_EQ(probe.SaveToFile(copy), 0);
        newBytes = readFile(copy);
    }
    ASSERT_NE(newBytes.size(), oldBytes.size());

    bool saved = false;
    for (long long budget = 0; !saved; ++budget) {
        Tid3v2tag attempt = after;
        safefile::setWriteBudget(budget);
        std::uint16_t status = attempt.SaveToFile(path);
        safefile::setWriteBudget(-1);
        saved = status <= 0xFF;
        ASSERT_EQ(readFile(path), saved ? newBytes : oldBytes) << "budget " << budget << " status " << status;
        ASSERT_TRUE(saved || status == 0x400) << status;
        ASSERT_EQ(filesIn(folder), 1) << "budget " << budget;
        ASSERT_LE(budget, static_cast<long long>(newBytes.size()));
    }
}

TEST_F(Id3v2Save, FailureAtEveryByteLeavesOldOrNewFile)
{
    Tid3v2tag small;
    small.SetTextFrame("TIT2", "small");
    Tid3v2tag big = small;
    TCommentRecord lyrics;
    lyrics.Text = std::string(5000, 'x');
    big.SetLyrics(lyrics, "", "None");
    {
        SCOPED_TRACE("grow");
        sweepWriteFailures(path, dir.path(), small, big);
    }
    {
        SCOPED_TRACE("shrink");
        sweepWriteFailures(path, dir.path(), big, small);
    }
}

// In place, a failure may damage the tag region but never a byte of audio, and is reported.
TEST_F(Id3v2Save, InPlaceFailureNeverTouchesAudio)
{
    Tid3v2tag tag;
    tag.SetTextFrame("TIT2", "aaaa");
    ASSERT_EQ(tag.SaveToFile(path), 0);
    const std::string oldBytes = readFile(path);
    const std::size_t room = oldBytes.size() - tagtest::mp3Audio().size();

    for (long long budget = 0; budget < static_cast<long long>(room); budget += 7) {
        tagtest::makeFile(path, oldBytes);
        Tid3v2tag attempt;
        ASSERT_EQ(attempt.LoadFromFile(path), 0);
        attempt.SetTextFrame("TIT2", "bbbb");
        safefile::setWriteBudget(budget);
        EXPECT_EQ(attempt.SaveToFile(path), 0x400) << budget;
        safefile::setWriteBudget(-1);
        std::string now = readFile(path);
        ASSERT_EQ(now.size(), oldBytes.size());
        ASSERT_EQ(now.substr(room), oldBytes.substr(room)) << budget;
    }
}
