#include "TagTestSupport.h"
#include "support/TestSupport.h"
#include "tags/id3.h"
#include "util/Cp932.h"
#include "util/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/id3v1tag.h>
#include <taglib/mpegfile.h>

using testsupport::readFile;
using testsupport::TempDir;

namespace {

// TagLib hands ID3v1 text back as Latin-1; its bytes are our CP932.
std::string cp932Text(const TagLib::String& s)
{
    return cp932::toUtf8(s.to8Bit(false));
}

std::uint8_t genreCode(const std::string& name)
{
    for (int i = 0; i < id3::kGenreCount; ++i)
        if (name == id3::GenreNames[i])
            return id3::GenreIndexToCode(static_cast<std::uint8_t>(i));
    return id3::kNoGenre;
}

std::string tagBlock(const std::string& title, const std::string& comment30, char genre)
{
    std::string t = "TAG" + title;
    t.resize(3 + 90, '\0');
    t += "1999";
    std::string c = comment30;
    c.resize(30, '\0');
    return t + c + genre;
}

}  // namespace

TEST(Id3v1, SavedTagReadsBackInTagLibAndUs)
{
    TempDir dir;
    std::string path = tagtest::makeFile(dir.file("a.mp3"), tagtest::mp3Audio());
    Tid3tag tag;
    tag.SetTitle("夜明けのうた");
    tag.SetArtist("Ünïcode ártist");  // Latin letters CP932 cannot hold become "?"
    tag.SetAlbum("アルバム");
    tag.SetYear("2024");
    tag.SetComment("コメント");
    tag.SetTrack(7);
    tag.Genre = genreCode("Polka");
    ASSERT_EQ(tag.SaveToFile(path), 0);

    std::string bytes = readFile(path);
    ASSERT_EQ(bytes.size(), tagtest::mp3Audio().size() + 128);
    EXPECT_EQ(bytes.substr(0, tagtest::mp3Audio().size()), tagtest::mp3Audio());
    {
        TagLib::MPEG::File f(path.c_str());
        auto* v1 = f.ID3v1Tag();
        ASSERT_NE(v1, nullptr);
        EXPECT_EQ(cp932Text(v1->title()), "夜明けのうた");
        EXPECT_EQ(cp932Text(v1->artist()), "?n?code ?rtist");
        EXPECT_EQ(cp932Text(v1->album()), "アルバム");
        EXPECT_EQ(cp932Text(v1->comment()), "コメント");
        EXPECT_EQ(v1->year(), 2024u);
        EXPECT_EQ(v1->track(), 7u);
        EXPECT_EQ(v1->genre(), TagLib::String("Polka"));
    }

    Tid3tag back;
    ASSERT_EQ(back.LoadFromFile(path), 0);
    EXPECT_EQ(back.Title(), "夜明けのうた");
    EXPECT_EQ(back.Album(), "アルバム");
    EXPECT_EQ(back.Track(), 7);
    EXPECT_TRUE(back.IsV11);
    EXPECT_EQ(back.Genre, 75);

    // A second save overwrites the tag instead of appending another.
    back.SetTitle("次の曲");
    ASSERT_EQ(back.SaveToFile("="), 0);
    EXPECT_EQ(readFile(path).size(), bytes.size());
    EXPECT_TRUE(tagtest::decodesCleanly(path));
}

TEST(Id3v1, FieldWidthsCountCp932BytesAndNeverSplitACharacter)
{
    Tid3tag tag;
    tag.SetTitle("漢字漢字漢字漢字漢字漢字漢字漢字");  // 16 characters, 32 bytes
    EXPECT_EQ(tag.Title(), "漢字漢字漢字漢字漢字漢字漢字漢");
    tag.SetTitle("A漢字漢字漢字漢字漢字漢字漢字漢字");  // 31 bytes wanted: the last character goes
    EXPECT_EQ(cp932::byteLength(tag.Title()), 29u);
    tag.SetYear("二〇二四");
    EXPECT_EQ(tag.Year(), "二〇");

    TempDir dir;
    std::string path = tagtest::makeFile(dir.file("b.mp3"), "x");
    tag.SetComment("あいうえおかきくけこさしすせそ");  // 30 bytes: ID3v1.1 keeps 28
    tag.SetTrack(3);
    ASSERT_EQ(tag.SaveToFile(path), 0);
    EXPECT_EQ(tag.Comment(), "あいうえおかきくけこさしすせ");
    Tid3tag back;
    ASSERT_EQ(back.LoadFromFile(path), 0);
    EXPECT_EQ(back.Comment(), "あいうえおかきくけこさしすせ");
    EXPECT_EQ(back.Track(), 3);
}

TEST(Id3v1, LoadTrimsTrailingFillAndDetectsVersionAndGenre)
{
    TempDir dir;
    const std::string title = std::string("A B ", 4) + std::string("\0\xFF  ", 4);
    std::string path = tagtest::makeFile(dir.file("c"), tagBlock(title, std::string(28, 'c') + '\0' + '\5', 28));
    Tid3tag tag;
    ASSERT_EQ(tag.LoadFromFile(path), 0);  // exactly 128 bytes is enough
    EXPECT_EQ(tag.Title(), "A B");
    EXPECT_EQ(tag.Track(), 5);
    EXPECT_EQ(tag.Comment(), std::string(28, 'c'));
    EXPECT_STREQ(id3::GenreNames[id3::GenreCodeToIndex(tag.Genre)], "Vocal");

    tagtest::makeFile(path, tagBlock("x", std::string(28, 'c') + '\0' + '\0', static_cast<char>(200)));
    EXPECT_EQ(tag.LoadFromFile(path), id3::kGenreUnknownBit);
    EXPECT_FALSE(tag.IsV11);
    EXPECT_EQ(tag.Comment(), std::string(28, 'c'));

    // A load that finds no tag leaves nothing of the previous file behind.
    tagtest::makeFile(path, std::string(127, 'T'));
    EXPECT_EQ(tag.LoadFromFile(path), id3::kNoTag);
    EXPECT_EQ(tag.Title(), "");
    EXPECT_EQ(tag.Genre, id3::kNoGenre);
    EXPECT_EQ(tag.Track(), 0);
    EXPECT_EQ(tag.LoadFromFile(dir.file("missing")), 0x100);
}

TEST(Id3v1, GenreTablesAreInverse)
{
    for (int code = 0; code < 148; ++code)
        EXPECT_EQ(id3::GenreIndexToCode(id3::GenreCodeToIndex(static_cast<std::uint8_t>(code))), code);
    EXPECT_EQ(id3::GenreCodeToIndex(148), 0);
    EXPECT_EQ(id3::GenreIndexToCode(0), 255);
    EXPECT_EQ(id3::GenreIndexToCode(149), 255);
    EXPECT_STREQ(id3::GenreNames[id3::GenreCodeToIndex(12)], "Other");
}

TEST(Id3v1, FailedSavesLeaveTheFileAsItWas)
{
    TempDir dir;
    const std::string original = tagtest::mp3Audio();
    std::string path = tagtest::makeFile(dir.file("d.mp3"), original);
    Tid3tag tag;
    tag.SetTitle("t");

    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(tag.SaveToFile(path), 0x200);
    EXPECT_EQ(readFile(path), original);
    ::chmod(path.c_str(), 0644);

    // A disk that fills up anywhere in the appended tag.
    for (long long budget = 0; budget < 128; ++budget) {
        safefile::setWriteBudget(budget);
        EXPECT_EQ(tag.SaveToFile(path), 0x400) << budget;
        safefile::setWriteBudget(-1);
        EXPECT_EQ(readFile(path), original) << budget;
    }
    EXPECT_EQ(tag.SaveToFile(dir.file("missing")), 0x100);
}
