// The open file that the tag reader hands on to the audio information: the second reader gets
// the answer of the file as it is now, however it was changed after the first read (replaced
// under the same name by a file of the same size, rewritten in place, cut), and no descriptor
// outlives the next turn of the event loop or leaks when readers of several files overlap.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>

#include "AudioFixtures.h"
#include "support/TestSupport.h"
#include "tags/RecentFile.h"
#include "tags/libID3Tag.h"
#include "tags/libMP3Header.h"

using namespace testsupport;

namespace {

int openDescriptors()
{
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}

// Lets the event loop close what was kept.
void idle() { QCoreApplication::processEvents(); }

class RecentFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetupTagObjects(true);
        idle();
    }
    void TearDown() override { idle(); }

    // The tag, then the information, as the details of a file read them.
    static std::string details(const std::string& file)
    {
        ReadTag(file);
        GetAudioFileInfo(file);
        return AudioFileInfo.Text[aiSampleRate] + " " + AudioFileInfo.Text[aiChannelMode] + " " +
               AudioFileInfo.Text[aiDuration];
    }

    TempDir dir_;
};

}  // namespace

TEST_F(RecentFile, TheSecondReaderSeesTheFileAsItIsNow)
{
    // Of the same size.
    const std::string song = fixtures::makeTone(dir_.path(), "song.wav", 22050, 1, 2);
    const std::string other = fixtures::makeTone(dir_.path(), "other.wav", 44100, 1, 1);
    EXPECT_EQ(details(song), "22050 Hz Mono 0:00:02 (2 sec)");

    // Replaced under its name between the tag and the information (a tag save does that).
    ReadTag(song);
    ASSERT_EQ(std::rename(other.c_str(), song.c_str()), 0);
    GetAudioFileInfo(song);
    EXPECT_EQ(AudioFileInfo.Text[aiSampleRate], "44100 Hz");
    EXPECT_EQ(AudioFileInfo.Text[aiDuration], "0:00:01 (1 sec)");

    // Rewritten in place: the header's sample rate changes.
    ReadTag(song);
    {
        const int fd = ::open(song.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const unsigned char rate[4] = {0x80, 0xBB, 0, 0};  // 48000
        ASSERT_EQ(::pwrite(fd, rate, 4, 24), 4);
        ::close(fd);
    }
    GetAudioFileInfo(song);
    EXPECT_EQ(AudioFileInfo.Text[aiSampleRate], "48000 Hz");

    // Cut short in place.
    ReadTag(song);
    ASSERT_EQ(::truncate(song.c_str(), 44 + 44100), 0);
    GetAudioFileInfo(song);
    EXPECT_EQ(AudioFileInfo.Text[aiDuration], "0:00:00 (0 sec)");
}

TEST_F(RecentFile, TheEventLoopClosesTheKeptFile)
{
    const std::string song = fixtures::makeTone(dir_.path(), "song.wav", 22050, 1, 1);
    const int open = openDescriptors();
    ReadTag(song);
    EXPECT_EQ(openDescriptors(), open + 1);
    GetAudioFileInfo(song);  // takes the kept one over and keeps it again
    EXPECT_EQ(openDescriptors(), open + 1);
    idle();
    EXPECT_EQ(openDescriptors(), open);
}

TEST_F(RecentFile, OverlappingReadersOfSeveralFilesLeakNothing)
{
    const std::string a = fixtures::makeTone(dir_.path(), "a.wav", 22050, 1, 1);
    const std::string b = fixtures::makeTone(dir_.path(), "b.wav", 44100, 2, 2);
    const int open = openDescriptors();
    for (int round = 0; round < 3; ++round) {
        tags::RecentFd outer(a);
        {
            tags::RecentFd inner(b);
            tags::RecentFd sameAgain(a);  // the kept one is not handed out twice
            ASSERT_TRUE(outer.valid() && inner.valid() && sameAgain.valid());
            EXPECT_NE(outer.get(), sameAgain.get());
            EXPECT_EQ(openDescriptors(), open + 3);
        }
        EXPECT_EQ(details(b), "44100 Hz Stereo 0:00:02 (2 sec)");
        EXPECT_EQ(details(a), "22050 Hz Mono 0:00:01 (1 sec)");
    }
    EXPECT_LE(openDescriptors(), open + 1);
    idle();
    EXPECT_EQ(openDescriptors(), open);

    // Nothing that is no regular file is opened, kept or handed out.
    EXPECT_FALSE(tags::RecentFd(dir_.path()).valid());
    EXPECT_FALSE(tags::RecentFd(dir_.file("missing.wav")).valid());
    EXPECT_EQ(openDescriptors(), open);
}
