// Damaged and hostile files: truncated tags and bit flips over tags made by TagLib and by us.
// Whatever the input: no crash, no hang, a load never changes the file, a tag that did not load
// is never overwritten, and a save that succeeds keeps every byte after the old tag.
#include "TagTestSupport.h"
#include "support/TestSupport.h"
#include "tags/id3v2.h"
#include "tags/id3v2Detail.h"

#include <gtest/gtest.h>
#include <random>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/unsynchronizedlyricsframe.h>

using namespace id3v2;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

std::string taggedByTagLib(const TempDir& dir, TagLib::ID3v2::Version version, TagLib::String::Type encoding)
{
    std::string path = tagtest::makeFile(dir.file("seed.mp3"), tagtest::mp3Audio());
    {
        TagLib::MPEG::File f(path.c_str());
        auto* tag = f.ID3v2Tag(true);
        tagtest::setText(*tag, "TIT2", TagLib::String("題名 ÿà", TagLib::String::UTF8), encoding);
        tagtest::setText(*tag, "TPE1", TagLib::String("歌手", TagLib::String::UTF8), encoding);
        tagtest::setText(*tag, "COMM", TagLib::String("コメント", TagLib::String::UTF8), encoding);
        auto* lyrics = new TagLib::ID3v2::UnsynchronizedLyricsFrame(encoding);
        lyrics->setText(TagLib::String("歌詞\n二行目", TagLib::String::UTF8));
        tag->addFrame(lyrics);
        f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, version);
    }
    return readFile(path);
}

std::string taggedByUs(const TempDir& dir, int version, std::uint8_t flags)
{
    std::string path = tagtest::makeFile(dir.file("seed.mp3"), tagtest::mp3Audio());
    Tid3v2tag tag;
    tag.SetTextFrame("TIT2", "題名");
    tag.SetTextFrame("TPE1", "ÿà한국");
    TCommentRecord c;
    c.Text = "コメント\r\n二行目";
    tag.SetComment(c, "", "None");
    TUserTextRecord u;
    u.Value = "http://example.jp/";
    tag.SetUserUrl(u, "");
    for (int i = 1; i <= tag.Frames.Count(); ++i)
        tag.Frames[i].FormatFlags |= flags;
    tag.ExtFlags = kExtCrc;
    tag.PaddingUnit = 256;
    EXPECT_EQ(tag.SaveToFile(path, static_cast<std::uint8_t>(version), 0), 0);
    return readFile(path);
}

// Reads every frame through the accessors, as the tag facade would.
void readEverything(const Tid3v2tag& tag)
{
    std::string text;
    for (int i = 1; i <= tag.Frames.Count(); ++i)
        tag.GetTextFrame(tag.Frames[i].FrameID, text);
    TCommentRecord rec;
    tag.GetComment(rec, "", "None");
    tag.GetLyrics(rec, "", "None");
    TUserRecord user;
    tag.GetUser(user, "None");
    TUserTextRecord ut;
    tag.GetUserText(ut, "");
    tag.GetUserUrl(ut, "");
}

// The bytes a save must keep: everything after the tag it replaces.
std::string keptPart(const std::string& file)
{
    if (file.size() >= 10 && id3v2detail::validHeader(file.substr(0, 10))) {
        std::uint64_t room = id3v2detail::tagRoom(file.substr(0, 10));
        return room <= file.size() ? file.substr(room) : std::string();
    }
    return file;
}

// True when the save went through.
bool checkFile(const std::string& path, const std::string& bytes, const char* what, std::size_t n)
{
    SCOPED_TRACE(testing::Message() << what << " " << n);
    tagtest::makeFile(path, bytes);
    Tid3v2tag tag;
    std::uint16_t loaded = tag.LoadFromFile(path);
    readEverything(tag);
    EXPECT_EQ(readFile(path), bytes) << "a load changed the file";

    tag.SetTextFrame("TIT2", "上書き");
    std::uint16_t saved = tag.SaveToFile(path);
    std::string after = readFile(path);
    if (saved > 0xFF) {
        EXPECT_EQ(after, bytes) << "a failed save changed the file";
        return false;
    }
    EXPECT_TRUE(loaded <= 0xFF || loaded == kNoTag || loaded == kOffsetPastEnd)
        << "a tag that did not load was overwritten: " << loaded;
    std::string kept = keptPart(bytes);
    EXPECT_TRUE(after.size() >= kept.size() && after.substr(after.size() - kept.size()) == kept)
        << "bytes after the old tag were lost";
    Tid3v2tag back;
    EXPECT_LE(back.LoadFromFile(path), 0xFF);
    return true;
}

class Id3v2Hostile : public testing::TestWithParam<int> {
protected:
    std::string seed()
    {
        switch (GetParam()) {
        case 0: return taggedByTagLib(seedDir, TagLib::ID3v2::v3, TagLib::String::UTF16);
        case 1: return taggedByTagLib(seedDir, TagLib::ID3v2::v4, TagLib::String::UTF8);
        case 2: return taggedByUs(seedDir, 3, kUnsync);
        default: return taggedByUs(seedDir, 4, kUnsync | kCompression);
        }
    }
    TempDir seedDir, dir;
};

}  // namespace

TEST_P(Id3v2Hostile, TruncatedTags)
{
    const std::string s = seed();
    const std::size_t room = s.size() - tagtest::mp3Audio().size();
    for (std::size_t n = 0; n <= room + 16; n += (n < 200 ? 1 : 13))
        checkFile(dir.file("t.mp3"), s.substr(0, n), "length", n);
}

TEST_P(Id3v2Hostile, BitFlips)
{
    const std::string s = seed();
    const std::size_t room = s.size() - tagtest::mp3Audio().size();
    int saved = 0;
    std::mt19937 random(1234u + static_cast<unsigned>(GetParam()));
    for (std::size_t n = 0; n < 150; ++n) {
        std::string m = s;
        int flips = 1 + static_cast<int>(random() % 3);
        for (int f = 0; f < flips; ++f) {
            // Mostly the header and the frame headers near the start, sometimes anywhere in the tag.
            std::size_t at = random() % 2 ? random() % std::min<std::size_t>(room, 64) : random() % room;
            m[at] = static_cast<char>(m[at] ^ (1 << (random() % 8)));
        }
        saved += checkFile(dir.file("m.mp3"), m, "mutant", n);
    }
    EXPECT_GT(saved, 10) << "too few mutants loaded to test saving them";
}

INSTANTIATE_TEST_SUITE_P(Seeds, Id3v2Hostile, testing::Range(0, 4));
