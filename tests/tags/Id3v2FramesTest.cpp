#include "tags/id3v2.h"
#include "util/Cp932.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace id3v2;

namespace {

// A tag holding one frame with the given raw data.
Tid3v2tag tagWith(const std::string& id, const std::string& data)
{
    Tid3v2tag tag;
    tag.Frames[tag.Frames.AddFrame(id)].Data = data;
    return tag;
}

}  // namespace

TEST(Id3v2Frames, IdentifiersAreUpperCasedAndChecked)
{
    TFrameIndex frames;
    EXPECT_EQ(frames.AddFrame("tit2"), 1);
    EXPECT_EQ(frames[1].FrameID, "TIT2");
    EXPECT_EQ(frames.AddFrame("TIT"), 0);
    EXPECT_EQ(frames.AddFrame("TI-2"), 0);
    EXPECT_EQ(frames.AddFrame("TÏT2"), 0);
    try {
        frames[2];
        FAIL() << "no range error";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "Array range out of bounds.");
    }
    frames.DeleteFrame(1);
    EXPECT_EQ(frames.Count(), 0);
}

TEST(Id3v2Frames, TextFramesChooseCp932OrUtf16)
{
    Tid3v2tag tag;
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TXXX", text), kIdNotAllowed);
    EXPECT_EQ(tag.GetTextFrame("COMM", text), kIdNotAllowed);
    EXPECT_EQ(tag.GetTextFrame("TALB", text), kNoFrame);
    EXPECT_EQ(text, "");

    ASSERT_EQ(tag.SetTextFrame("TIT2", "桜の歌"), kDone);
    EXPECT_EQ(tag.Frames[1].Data, std::string(1, '\0') + *cp932::encode("桜の歌"));
    ASSERT_EQ(tag.SetTextFrame("TPE1", "한국어 가수"), kDone);  // CP932 has no Hangul
    EXPECT_EQ(tag.Frames[2].Data.substr(0, 3), "\x01\xFF\xFE");
    EXPECT_EQ(tag.GetTextFrame("TPE1", text), kDone);
    EXPECT_EQ(text, "한국어 가수");
    EXPECT_EQ(tag.GetTextFrame("tit2", text), kDone);
    EXPECT_EQ(text, "桜の歌");

    EXPECT_EQ(tag.SetTextFrame("TIT2", ""), kDeleted);
    EXPECT_EQ(tag.SetTextFrame("TIT2", ""), kDone);
    EXPECT_EQ(tag.Frames.Count(), 1);
}

TEST(Id3v2Frames, ReadsEveryEncodingAndControlCharacterRule)
{
    std::string text;
    // UTF-16BE (2) and UTF-8 (3), both with characters far above 255.
    EXPECT_EQ(tagWith("TIT2", std::string("\x02\x30\x42\x30\x44", 5)).GetTextFrame("TIT2", text), kDone);
    EXPECT_EQ(text, "あい");
    EXPECT_EQ(tagWith("TIT2", std::string("\x03" "日本\0second", 14)).GetTextFrame("TIT2", text), kDone);
    EXPECT_EQ(text, "日本");
    // UTF-16 with a big-endian byte-order mark and a surrogate pair.
    EXPECT_EQ(tagWith("TIT2", std::string("\x01\xFE\xFF\xD8\x3D\xDE\x00", 7)).GetTextFrame("TIT2", text), kDone);
    EXPECT_EQ(text, "😀");
    EXPECT_EQ(tagWith("TIT2", std::string("\0ab\x01" "c", 5)).GetTextFrame("TIT2", text), kBadCharacter);
    EXPECT_EQ(tagWith("TIT2", "\x07" "abc").GetTextFrame("TIT2", text), kBadEncoding);
    EXPECT_EQ(tagWith("TIT2", "").GetTextFrame("TIT2", text), kNoData);

    TCommentRecord rec;
    auto lyrics = tagWith("USLT", std::string("\0JPN\0line1\r\nline2\x01tail", 22));
    EXPECT_EQ(lyrics.GetLyrics(rec, "", "None"), kDone);
    EXPECT_EQ(rec.Text, "line1\r\nline2");
    EXPECT_EQ(tagWith("COMM", std::string("\0JP", 3)).GetComment(rec, "", "None"), kNoData);
}

TEST(Id3v2Frames, RecordFramesFindByDescriptionAndLanguage)
{
    Tid3v2tag tag;
    TCommentRecord rec;
    rec.Text = "コメント";
    ASSERT_EQ(tag.SetComment(rec, "", "None"), kDone);
    EXPECT_EQ(tag.Frames[1].Data, std::string("\0JPN\0", 5) + *cp932::encode("コメント"));

    rec.Description = "説明";
    rec.Language = "eng";
    rec.Text = "with description";
    ASSERT_EQ(tag.SetComment(rec, "説明", "eng"), kDone);
    EXPECT_EQ(tag.Frames.Count(), 2);

    TCommentRecord got;
    EXPECT_EQ(tag.GetComment(got, "説明", "JPN"), kNoFrame);
    EXPECT_EQ(tag.GetComment(got, "説明", "eng"), kDone);
    EXPECT_EQ(got.Text, "with description");
    EXPECT_EQ(tag.GetComment(got, "", "xx"), kDone);  // not three characters: any language
    EXPECT_EQ(got.Text, "コメント");

    rec.Language = std::string("J\x01N", 3);
    EXPECT_EQ(tag.SetComment(rec, "", "None"), kBadLanguage);
    rec.Encoding = 4;
    EXPECT_EQ(tag.SetComment(rec, "", "None"), kBadEncoding);

    TUserTextRecord user;
    user.Value = "値 🎵";  // no CP932 form: the whole frame becomes UTF-16
    ASSERT_EQ(tag.SetUserText(user, ""), kDone);
    user.Value = "http://example.com/曲";
    ASSERT_EQ(tag.SetUserUrl(user, ""), kDone);
    TUserTextRecord back;
    EXPECT_EQ(tag.GetUserText(back, ""), kDone);
    EXPECT_EQ(back.Value, "値 🎵");
    EXPECT_EQ(back.Encoding, 1);
    EXPECT_EQ(tag.GetUserUrl(back, ""), kDone);
    EXPECT_EQ(back.Value, "http://example.com/曲");

    TUserRecord terms;
    terms.Text = "利用条件";
    ASSERT_EQ(tag.SetUser(terms, "None"), kDone);
    TUserRecord termsBack;
    EXPECT_EQ(tag.GetUser(termsBack, "JPN"), kDone);
    EXPECT_EQ(termsBack.Text, "利用条件");

    rec = {};
    EXPECT_EQ(tag.SetComment(rec, "", "None"), kDeleted);
    EXPECT_EQ(tag.GetComment(got, "", "None"), kNoFrame);
}

TEST(Id3v2Frames, UnsyncAndCompressionRoundTrip)
{
    EXPECT_EQ(unsync("\xFF\xE0"), std::string("\xFF\x00\xE0", 3));
    EXPECT_EQ(undoUnsync(std::string("\xFF\x00\xE0", 3)), "\xFF\xE0");
    EXPECT_EQ(unsync("\xFF\x41"), "\xFF\x41");
    EXPECT_EQ(unsync(std::string("\xFF\x00", 2)), std::string("\xFF\x00\x00", 3));
    EXPECT_EQ(undoUnsync(std::string("\xFF\x00\x00", 3)), std::string("\xFF\x00", 2));
    EXPECT_EQ(undoUnsync(std::string("\x41\xFF\x00", 3)), "\x41\xFF");  // escaped final 0xFF

    TFrameIndex frames;
    int i = frames.AddFrame("TIT2");
    const std::string plain = std::string("\0", 1) + std::string(300, 'x') + "\xFF\xE0";
    frames[i].Data = plain;
    EXPECT_EQ(frames.CompressFrame(i, 6), 0);
    EXPECT_EQ(frames.CompressFrame(i, 6), -1);
    EXPECT_LT(frames[i].Data.size(), plain.size());
    EXPECT_EQ(frames[i].DataLength, plain.size());
    EXPECT_EQ(frames.UnsyncFrame(i), 0);
    EXPECT_EQ(frames.DecompressFrame(i), 2);
    EXPECT_EQ(frames.UndoUnsyncFrame(i), 0);
    EXPECT_EQ(frames.DecompressFrame(i), 0);
    EXPECT_EQ(frames[i].Data, plain);

    frames.CompressFrame(i, 6);
    frames[i].DataLength = 5;
    EXPECT_EQ(frames.DecompressFrame(i), -2);
    EXPECT_EQ(frames[i].Data, plain);

    frames[i].Data = "not zlib at all";
    frames[i].DataFlags |= kCompression;
    EXPECT_EQ(frames.DecompressFrame(i), -3);
    EXPECT_EQ(frames[i].Data, "not zlib at all");
}

TEST(Id3v2Frames, InflateStopsAtItsCap)
{
    std::string bomb = compress(std::string(10 << 20, '\0'), 9);
    std::string out;
    EXPECT_FALSE(inflate(bomb, 1 << 20, out));
    EXPECT_LE(out.size(), (1u << 20) + 1);
    EXPECT_TRUE(inflate(bomb, 10 << 20, out));
    EXPECT_FALSE(inflate(bomb.substr(0, bomb.size() / 2), 10 << 20, out));
}
