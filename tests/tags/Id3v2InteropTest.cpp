// Our tags against TagLib, in both directions.
#include "TagTestSupport.h"
#include "support/TestSupport.h"
#include "tags/id3v2.h"
#include "util/Cp932.h"

#include <gtest/gtest.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

using testsupport::readFile;
using testsupport::TempDir;
using TagLib::String;
using tagtest::readWithTagLib;
using tagtest::text;
using tagtest::TagLibView;
using namespace id3v2;

namespace {

String utf8(const std::string& s) { return String(s, String::UTF8); }

void fillTag(Tid3v2tag& tag)
{
    tag.SetTextFrame("TIT2", "夜明けのうた");
    tag.SetTextFrame("TPE1", "한국어 가수");  // no CP932 form
    tag.SetTextFrame("TALB", "アルバム①");
    tag.SetTextFrame("TYER", "2024");
    TCommentRecord comment;
    comment.Text = "日本語のコメント";
    tag.SetComment(comment, "", "None");
    TCommentRecord lyrics;
    lyrics.Text = "一行目\r\n二行目 ÿà";  // "ÿà" only in UTF-16, with bytes FF 00 E0
    tag.SetLyrics(lyrics, "", "None");
    TUserTextRecord user;
    user.Value = "ユーザー定義";
    tag.SetUserText(user, "");
    user.Value = "http://example.jp/a";
    tag.SetUserUrl(user, "");
}

void expectFilledTexts(const TagLibView& v)
{
    EXPECT_EQ(v.at("TIT2"), "夜明けのうた");
    EXPECT_EQ(v.encodings.count("TIT2") ? v.encodings.at("TIT2") : String::UTF8, String::Latin1);
    EXPECT_EQ(v.at("TPE1"), "한국어 가수");
    EXPECT_EQ(v.encodings.count("TPE1") ? v.encodings.at("TPE1") : String::Latin1, String::UTF16);
    EXPECT_EQ(v.at("TALB"), "アルバム①");
    EXPECT_TRUE(v.year == 2024u || v.at("TYER") == "2024");  // TagLib maps TYER of 2.3 only
    EXPECT_EQ(v.at("COMM"), "日本語のコメント");
    EXPECT_EQ(v.at("USLT"), "一行目\r\n二行目 ÿà");
    EXPECT_EQ(v.at("TXXX"), "ユーザー定義");
    EXPECT_EQ(v.at("WXXX"), "http://example.jp/a");
}

struct TagLibCase {
    TagLib::ID3v2::Version version;
    String::Type encoding;
};

}  // namespace

TEST(Id3v2Interop, TagLibReadsWhatWeWriteInBothVersionsAndEveryFrameForm)
{
    const std::string& audio = tagtest::mp3Audio();
    struct Case {
        int version;
        std::uint8_t formatFlags;
    };
    for (Case c : {Case{3, 0}, Case{4, 0}, Case{3, kCompression}, Case{4, kCompression},
                   Case{3, kUnsync}, Case{4, kUnsync}, Case{4, kUnsync | kCompression}}) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << " flags " << int(c.formatFlags));
        TempDir dir;
        std::string path = tagtest::makeFile(dir.file("w.mp3"), audio);
        Tid3v2tag tag;
        fillTag(tag);
        for (int i = 1; i <= tag.Frames.Count(); ++i)
            tag.Frames[i].FormatFlags |= c.formatFlags;
        ASSERT_EQ(tag.SaveToFile(path, static_cast<std::uint8_t>(c.version), 0), 0);

        std::string bytes = readFile(path);
        EXPECT_EQ(bytes.size() % 4096, 0u);
        EXPECT_EQ(bytes.substr(bytes.size() - audio.size()), audio);
        EXPECT_EQ(bytes[3], c.version);
        expectFilledTexts(readWithTagLib(path));
        EXPECT_TRUE(tagtest::decodesCleanly(path));

        // And we read back what we wrote.
        Tid3v2tag back;
        ASSERT_LE(back.LoadFromFile(path), 0xFF);
        std::string title;
        EXPECT_EQ(back.GetTextFrame("TIT2", title), kDone);
        EXPECT_EQ(title, "夜明けのうた");
        TCommentRecord lyrics;
        EXPECT_EQ(back.GetLyrics(lyrics, "", "None"), kDone);
        EXPECT_EQ(lyrics.Text, "一行目\r\n二行目 ÿà");
    }
}

TEST(Id3v2Interop, WeReadWhatTagLibWrites)
{
    for (TagLibCase c : {TagLibCase{TagLib::ID3v2::v3, String::UTF16}, TagLibCase{TagLib::ID3v2::v4, String::UTF16},
                         TagLibCase{TagLib::ID3v2::v4, String::UTF8}, TagLibCase{TagLib::ID3v2::v4, String::UTF16BE}}) {
        SCOPED_TRACE(testing::Message() << "version " << int(c.version) << " encoding " << int(c.encoding));
        TempDir dir;
        std::string path = tagtest::makeFile(dir.file("t.mp3"), tagtest::mp3Audio());
        {
            TagLib::MPEG::File f(path.c_str());
            auto* tag = f.ID3v2Tag(true);
            tagtest::setText(*tag, "TIT2", utf8("桜 🌸 さくら"), c.encoding);
            tagtest::setText(*tag, "TPE1", utf8("歌手"), c.encoding);
            tagtest::setText(*tag, "TALB", utf8("アルバム"), c.encoding);
            tagtest::setText(*tag, "COMM", utf8("コメント"), c.encoding);
            auto* lyrics = new TagLib::ID3v2::UnsynchronizedLyricsFrame(c.encoding);
            lyrics->setLanguage("jpn");
            lyrics->setText(utf8("一行目\n二行目"));
            tag->addFrame(lyrics);
            auto* user = new TagLib::ID3v2::UserTextIdentificationFrame(c.encoding);
            user->setDescription("");
            user->setText(utf8("自由記述"));
            tag->addFrame(user);
            auto* url = new TagLib::ID3v2::UserUrlLinkFrame(c.encoding);
            url->setDescription(utf8("リンク"));
            url->setUrl("http://example.jp/");
            tag->addFrame(url);
            ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, c.version));
        }
        const std::string before = readFile(path);
        Tid3v2tag tag;
        ASSERT_LE(tag.LoadFromFile(path), 0xFF);
        EXPECT_EQ(tag.MajorVersion, c.version == TagLib::ID3v2::v3 ? 3 : 4);
        std::string s;
        EXPECT_EQ(tag.GetTextFrame("TIT2", s), kDone);
        EXPECT_EQ(s, "桜 🌸 さくら");
        EXPECT_EQ(tag.GetTextFrame("TPE1", s), kDone);
        EXPECT_EQ(s, "歌手");
        EXPECT_EQ(tag.GetTextFrame("TALB", s), kDone);
        EXPECT_EQ(s, "アルバム");
        TCommentRecord rec;
        EXPECT_EQ(tag.GetComment(rec, "", "None"), kDone);
        EXPECT_EQ(rec.Text, "コメント");
        EXPECT_EQ(tag.GetLyrics(rec, "", "jpn"), kDone);
        EXPECT_EQ(rec.Text, "一行目\n二行目");
        TUserTextRecord user;
        EXPECT_EQ(tag.GetUserText(user, ""), kDone);
        EXPECT_EQ(user.Value, "自由記述");
        EXPECT_EQ(tag.GetUserUrl(user, "リンク"), kDone);
        EXPECT_EQ(user.Value, "http://example.jp/");
        EXPECT_EQ(readFile(path), before);  // reading changes nothing

        // A save of what TagLib wrote keeps every text for TagLib too: a Unicode title edited
        // stays in its own encoding (not CP932, which TagLib reads as Latin-1), and a new frame
        // takes the tag's Unicode form.
        tag.SetTextFrame("TIT2", "新しい題名");
        tag.SetTextFrame("TCOM", "作曲者");
        ASSERT_EQ(tag.SaveToFile(path), 0);
        TagLib::MPEG::File f(path.c_str());
        EXPECT_EQ(f.ID3v2Tag()->title().to8Bit(true), "新しい題名");
        const TagLibView v = readWithTagLib(path);
        EXPECT_EQ(v.encodings.at("TIT2"), c.encoding);
        EXPECT_EQ(v.at("TCOM"), "作曲者");
        EXPECT_EQ(v.encodings.at("TCOM"), c.version == TagLib::ID3v2::v3 ? String::UTF16 : String::UTF8);
        EXPECT_EQ(f.ID3v2Tag()->artist().to8Bit(true), "歌手");
        EXPECT_EQ(f.ID3v2Tag()->comment().to8Bit(true), "コメント");
    }
}

// The folder scan reads tags without their pictures: the other frames come out as from a whole
// read, and a save after such a read writes the picture's bytes unchanged.
TEST(Id3v2Interop, ReadingWithoutPicturesKeepsTheFramesAndASaveKeepsThePicture)
{
    std::string picture(40000, '\0');  // more than one step of the reader
    unsigned seed = 1;
    for (char& c : picture)
        c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 23);
    for (auto version : {TagLib::ID3v2::v3, TagLib::ID3v2::v4}) {
        SCOPED_TRACE(testing::Message() << "version " << int(version));
        TempDir dir;
        std::string path = tagtest::makeFile(dir.file("p.mp3"), tagtest::mp3Audio());
        {
            TagLib::MPEG::File f(path.c_str());
            auto* tag = f.ID3v2Tag(true);
            auto* art = new TagLib::ID3v2::AttachedPictureFrame;
            art->setMimeType("image/jpeg");
            art->setPicture(TagLib::ByteVector(picture.data(), static_cast<unsigned>(picture.size())));
            tag->addFrame(art);  // before the texts, which must be found behind it
            tag->setTitle(utf8("題名"));
            tag->setArtist(utf8("歌手"));
            ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, version));
        }
        Tid3v2tag whole, skipping;
        ASSERT_LE(whole.LoadFromFile(path), 0xFF);
        ASSERT_LE(skipping.LoadFromFile(path, 0, true), 0xFF);
        ASSERT_EQ(skipping.Frames.Count(), whole.Frames.Count());
        EXPECT_EQ(skipping.PaddingSize, whole.PaddingSize);
        for (int i = 1; i <= whole.Frames.Count(); ++i) {
            EXPECT_EQ(skipping.Frames[i].FrameID, whole.Frames[i].FrameID);
            if (whole.Frames[i].FrameID != "APIC") {
                EXPECT_EQ(skipping.Frames[i].Data, whole.Frames[i].Data);
            }
        }
        std::string title;
        EXPECT_EQ(skipping.GetTextFrame("TIT2", title), kDone);
        EXPECT_EQ(title, "題名");

        ASSERT_EQ(skipping.SetTextFrame("TIT2", "新しい題名"), kDone);
        ASSERT_LE(skipping.SaveToFile(path), 0xFF);
        TagLib::MPEG::File f(path.c_str());
        auto* tag = f.ID3v2Tag(false);
        ASSERT_NE(tag, nullptr);
        EXPECT_EQ(readWithTagLib(path).at("TIT2"), "新しい題名");
        const auto arts = tag->frameListMap()["APIC"];
        ASSERT_EQ(arts.size(), 1u);
        const auto data = static_cast<TagLib::ID3v2::AttachedPictureFrame*>(arts.front())->picture();
        EXPECT_EQ(std::string(data.data(), data.size()), picture);
    }
}
