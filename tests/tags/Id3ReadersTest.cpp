// The small read-only ID3 readers of the MPEG analysis, against tags written by TagLib and
// by python3's Shift-JIS codec.
#include <gtest/gtest.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/urllinkframe.h>

#include "AudioFixtures.h"
#include "support/TestSupport.h"
#include "tags/xID3v1.h"
#include "tags/xID3v2.h"

using namespace testsupport;

namespace {

const std::string kJapaneseTitle = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x9B\xB2";  // 日本語の曲
const std::string kJapaneseArtist = "\xE3\x82\xBD\xE3\x83\x8D\xE3\x83\x83\xE3\x83\x88";  // ソネット

std::string cp932(const std::string& utf8)
{
    auto r = runCommand(python3(), {"-c",
        "import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().decode('utf-8').encode('cp932'))"},
        utf8);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

TagLib::String utf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

// Writes a tag with TagLib in the given version and text encoding onto a copy of an MP3.
void tagWithTagLib(const std::string& file, int version, TagLib::String::Type encoding)
{
    TagLib::MPEG::File mp3(file.c_str());
    ASSERT_TRUE(mp3.isValid());
    TagLib::ID3v2::Tag* tag = mp3.ID3v2Tag(true);
    auto text = [&](const char* id, const std::string& value) {
        auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, encoding);
        frame->setText(utf8(value));
        tag->addFrame(frame);
    };
    text("TIT2", kJapaneseTitle);
    text("TPE1", kJapaneseArtist);
    text("TALB", "Album " + kJapaneseTitle);
    text("TRCK", "3/12");
    text(version == 3 ? "TYER" : "TDRC", "1999");
    text("TCON", "(17)Rock");
    text("TCOM", kJapaneseArtist);
    // The comment is the first COMM with an empty description, as the tag facade reads it: not
    // a tagger's described one behind it, nor a later one in another language.
    auto comment = [&](const char* language, const std::string& description, const std::string& value) {
        auto* frame = new TagLib::ID3v2::CommentsFrame(encoding);
        frame->setLanguage(language);
        frame->setDescription(utf8(description));
        frame->setText(utf8(value));
        tag->addFrame(frame);
    };
    comment("jpn", "", kJapaneseTitle + " comment");
    comment("eng", "iTunNORM", " 00000A2B 00000B3C");
    comment("eng", "", "a later comment");
    auto* link = new TagLib::ID3v2::UserUrlLinkFrame(encoding);
    link->setDescription(utf8(kJapaneseArtist));
    link->setUrl("http://example.org/a");
    tag->addFrame(link);
    auto* picture = new TagLib::ID3v2::AttachedPictureFrame();
    picture->setPicture(TagLib::ByteVector(200000, '\xFF'));
    tag->addFrame(picture);
    ASSERT_TRUE(mp3.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                         version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4));
}

std::int64_t tagSizeByTagLib(const std::string& file)
{
    TagLib::MPEG::File mp3(file.c_str());
    return mp3.ID3v2Tag() ? std::int64_t(mp3.ID3v2Tag()->header()->completeTagSize()) : -1;
}

TEST(Id3v2Reader, TagLibTagsInEveryEncoding)
{
    TempDir dir;
    const std::string wav = fixtures::makeTone(dir.path(), "s.wav", 44100, 2, 1);
    const std::string mp3 = fixtures::lame(wav, dir.path(), "a.mp3", {"-b", "128"});
    const std::string audio = readFile(mp3);
    for (auto [version, encoding] : {std::pair{3, TagLib::String::UTF16},
                                     std::pair{3, TagLib::String::UTF16BE},
                                     std::pair{4, TagLib::String::UTF8},
                                     std::pair{4, TagLib::String::UTF16}}) {
        SCOPED_TRACE(std::to_string(version) + "/" + std::to_string(int(encoding)));
        writeFile(mp3, audio);
        tagWithTagLib(mp3, version, encoding);
        TxID3v2 tag;
        ASSERT_TRUE(tag.ReadFromFile(mp3));
        EXPECT_TRUE(tag.Exists);
        EXPECT_EQ(tag.VersionID, version);
        EXPECT_EQ(tag.Size, tagSizeByTagLib(mp3));
        EXPECT_EQ(tag.Title, kJapaneseTitle);
        EXPECT_EQ(tag.Artist, kJapaneseArtist);
        EXPECT_EQ(tag.Album, "Album " + kJapaneseTitle);
        EXPECT_EQ(tag.Track, 3);
        EXPECT_EQ(tag.Year, "1999");
        EXPECT_EQ(tag.Genre, "Rock");
        EXPECT_EQ(tag.Composer, kJapaneseArtist);
        EXPECT_EQ(tag.Comment, kJapaneseTitle + " comment");
        EXPECT_EQ(tag.Link, "http://example.org/a");
    }
}

// Encoding 0 is Shift-JIS; a tag unsynchronised as a whole and an extended header are undone.
TEST(Id3v2Reader, ShiftJisUnsyncAndExtendedHeader)
{
    TempDir dir;
    const std::string sjis = cp932(kJapaneseTitle);
    const std::string plain = fixtures::id3v23Tag(
        {{"TIT2", '\0' + sjis}, {"TRCK", std::string("\0 7 ", 4)}, {"TPE1", std::string("\0x", 2)}}, 20);
    writeFile(dir.file("sjis.mp3"), plain);
    TxID3v2 tag;
    ASSERT_TRUE(tag.ReadFromFile(dir.file("sjis.mp3")));
    EXPECT_EQ(tag.Title, kJapaneseTitle);
    EXPECT_EQ(tag.Track, 7);
    EXPECT_EQ(tag.Size, std::int64_t(plain.size()));

    // Title U+00FF U+00FF "A" in UTF-16LE with BOM: bytes FF FE FF 00 FF 00 41 00.
    fixtures::python(R"(
import struct, sys
def frame(fid, data): return fid + struct.pack('>I', len(data)) + b'\0\0' + data
body = struct.pack('>I', 6) + b'\0\0' + struct.pack('>I', 0)
body += frame(b'TIT2', b'\1\xff\xfe\xff\0\xff\0A\0') + frame(b'TRCK', b'\0' + b'1.5')
body = body.replace(b'\xff\0', b'\xff\0\0').replace(b'\xff\xfe', b'\xff\0\xfe')
size = bytes([(len(body) >> s) & 0x7F for s in (21, 14, 7, 0)])
open(sys.argv[1], 'wb').write(b'ID3\3\0' + bytes([0xC0]) + size + body)
)", {dir.file("unsync.mp3")});
    ASSERT_TRUE(tag.ReadFromFile(dir.file("unsync.mp3")));
    EXPECT_EQ(tag.Title, "\xC3\xBF\xC3\xBF" "A");
    EXPECT_EQ(tag.Track, 0);  // "1.5" is not a track number
}

TEST(Id3v2Reader, DamagedTags)
{
    TempDir dir;
    TxID3v2 tag;
    // Claims 1 MB but the file ends after the first frame: no size, the frame is still read.
    std::string truncated = fixtures::id3v23Tag({{"TIT2", std::string("\0abc", 4)}}, 0);
    truncated[6] = 0x00, truncated[7] = 0x40;  // sync-safe 1 MB
    writeFile(dir.file("t.mp3"), truncated);
    ASSERT_TRUE(tag.ReadFromFile(dir.file("t.mp3")));
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.Size, 0);
    EXPECT_EQ(tag.Title, "abc");

    // Frame sizes past the tag, COMM and WXXX without their terminators, empty frames.
    const std::string tag2 = fixtures::id3v23Tag(
        {{"TIT2", ""}, {"COMM", std::string("\1en", 3)}, {"WXXX", std::string("\1\xff\xfe" "a", 4)},
         {"TALB", std::string("\2\0", 2)}});
    std::string broken = tag2 + "TPE1" + std::string("\x7f\xff\xff\xff\0\0", 6);
    writeFile(dir.file("b.mp3"), broken);
    ASSERT_TRUE(tag.ReadFromFile(dir.file("b.mp3")));
    EXPECT_EQ(tag.Title, "");
    EXPECT_EQ(tag.Comment, "");
    EXPECT_EQ(tag.Artist, "");
    EXPECT_FALSE(tag.ReadFromFile(dir.file("missing.mp3")));
}

struct Field {
    std::string text;
    std::size_t width;
    char fill;
};

// "TAG" and the fields, each padded to its width with its fill byte.
std::string id3v1(const std::vector<Field>& fields)
{
    std::string tag = "TAG";
    for (const Field& field : fields) {
        std::string value = field.text;
        value.resize(field.width, field.fill);
        tag += value;
    }
    return tag;
}

TEST(Id3v1Reader, VersionsTextsAndGenres)
{
    TempDir dir;
    const std::string sjis = cp932(kJapaneseTitle);
    // ID3v1.1: comment of 28 bytes, 0, track 9; genre 144.
    writeFile(dir.file("v11.mp3"),
              "audio" + id3v1({{sjis, 30, '\0'}, {"Artist  ", 30, ' '}, {"Album", 30, '\0'},
                               {"2001", 4, ' '}, {"note", 28, '\0'},
                               {std::string("\0\x09\x90", 3), 3, '\0'}}));
    TxID3v1 tag;
    ASSERT_TRUE(tag.ReadFromFile(dir.file("v11.mp3")));
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.VersionID, 2);
    EXPECT_EQ(tag.Title, kJapaneseTitle);
    EXPECT_EQ(tag.Artist, "Artist");
    EXPECT_EQ(tag.Year, "2001");
    EXPECT_EQ(tag.Comment, "note");
    EXPECT_EQ(tag.Track, 9);
    EXPECT_EQ(tag.Genre(), "Trash Metal");

    // ID3v1.0 with a comment of 30 blanks-padded bytes; genre 255 is none.
    writeFile(dir.file("v10.mp3"), id3v1({{"T", 30, ' '}, {"", 30, ' '}, {"", 30, ' '}, {"", 4, ' '},
                                          {"a long comment", 30, ' '}, {"\xFF", 1, ' '}}));
    ASSERT_TRUE(tag.ReadFromFile(dir.file("v10.mp3")));
    EXPECT_EQ(tag.VersionID, 1);
    EXPECT_EQ(tag.Comment, "a long comment");
    EXPECT_EQ(tag.Track, 0);
    EXPECT_EQ(tag.Genre(), "");
    EXPECT_EQ(std::string(MusicGenre[0]), "Blues");
    EXPECT_EQ(std::string(MusicGenre[147]), "Synthpop");

    writeFile(dir.file("none.mp3"), std::string(127, 'x'));
    ASSERT_TRUE(tag.ReadFromFile(dir.file("none.mp3")));
    EXPECT_FALSE(tag.Exists);
}

}  // namespace
