// The tag facade: what ReadTag fills from files tagged by TagLib, what WriteTag leaves behind
// (checked with TagLib, ffprobe and sox), and that frames we cannot read survive a write.
#include "AudioFixtures.h"
#include "TagTestSupport.h"
#include "support/TestSupport.h"
#include "tags/libID3Tag.h"
#include "util/Cp932.h"

#include <sys/stat.h>

#include <gtest/gtest.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unknownframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

using testsupport::readFile;
using testsupport::TempDir;
using TagLib::String;

namespace {

String utf8(const std::string& s) { return String(s, String::UTF8); }

// TagLib's text in UTF-8. Its Latin-1 is our CP932; which it is comes from the frame's own
// encoding byte (TagLib's frame factory may relabel frames it parses).
std::string fromTagLib(const String& s, const TagLib::ID3v2::Frame* frame)
{
    const auto bytes = frame->render();
    const bool singleByte = bytes.size() > 10 && bytes[10] == 0;
    return singleByte ? cp932::toUtf8(s.to8Bit(false)) : s.to8Bit(true);
}

// Frame id -> TagLib's reading of its text, for the frames the record maps.
std::map<std::string, std::string> tagLibTexts(const std::string& path)
{
    std::map<std::string, std::string> v;
    TagLib::MPEG::File f(path.c_str(), false);
    auto* tag = f.ID3v2Tag(false);
    if (!tag)
        return v;
    for (auto* frame : tag->frameList()) {
        const std::string id(frame->frameID().data(), frame->frameID().size());
        if (auto* t = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame)) {
            // The value is the last non-empty field (TagLib drops an empty description).
            for (const auto& field : t->fieldList())
                if (!field.isEmpty())
                    v[id] = fromTagLib(field, t);
        } else if (auto* t = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frame))
            v[id] = fromTagLib(t->toString(), t);
        else if (auto* c = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(frame))
            v[id] = fromTagLib(c->text(), c);
        else if (auto* l = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame))
            v[id] = fromTagLib(l->text(), l);
        else if (auto* u = dynamic_cast<TagLib::ID3v2::UserUrlLinkFrame*>(frame))
            v[id] = u->url().to8Bit(false);
        else if (id == "USER") {  // encoding, language, text: TagLib has no class for it
            const auto data = frame->render().mid(10);
            v[id] = cp932::toUtf8(std::string(data.data() + 4, data.size() - 4));
        }
    }
    return v;
}

// Every frame TagLib sees, as its rendered bytes, by identifier and position.
std::map<std::string, std::string> renderedFrames(const std::string& path)
{
    std::map<std::string, std::string> out;
    TagLib::MPEG::File f(path.c_str(), false);
    auto* tag = f.ID3v2Tag(false);
    int n = 0;
    for (auto* frame : tag ? tag->frameList() : TagLib::ID3v2::FrameList()) {
        const auto bytes = frame->render();
        out[std::string(frame->frameID().data(), 4) + "#" + std::to_string(n++)] =
            std::string(bytes.data(), bytes.size());
    }
    return out;
}

void fillRecord()
{
    ClearTag();
    CurrentTag.Title = "夜明けのうた";
    CurrentTag.Artist = "한국어 가수";  // no CP932 form: stored as UTF-16
    CurrentTag.Album = "アルバム①";
    CurrentTag.Year = "2024";
    CurrentTag.Genre = "JPop";
    CurrentTag.Track = "7";
    CurrentTag.Comment = "日本語のコメント";
    CurrentTag.Lyrics = "一行目\r\n二行目";
    CurrentTag.CddbPath = "rock/8a0b2c0d";
    CurrentTag.TimeText = "1230";
    CurrentTag.PhotoName = "jacket.jpg";
    CurrentTag.UserText = "使用条件";
    CurrentTag.UserDefText = "ユーザー定義";
    CurrentTag.UserUrl = "http://example.jp/a";
}

struct Fields {
    std::string title, artist, album, year, genre, track, comment, lyrics, cddb, time, photo,
        user, userDef, url;
    bool operator==(const Fields&) const = default;
};

Fields recordFields()
{
    const TCurrentTag& t = CurrentTag;
    return {t.Title,   t.Artist, t.Album,     t.Year,     t.Genre,    t.Track,       t.Comment,
            t.Lyrics,  t.CddbPath, t.TimeText, t.PhotoName, t.UserText, t.UserDefText, t.UserUrl};
}

std::ostream& operator<<(std::ostream& os, const Fields& f)
{
    return os << f.title << "|" << f.artist << "|" << f.album << "|" << f.year << "|" << f.genre
              << "|" << f.track << "|" << f.comment << "|" << f.lyrics << "|" << f.cddb << "|"
              << f.time << "|" << f.photo << "|" << f.user << "|" << f.userDef << "|" << f.url;
}

class TagFacade : public testing::Test {
protected:
    void SetUp() override { SetupTagObjects(true); }
    void TearDown() override { SetupTagObjects(false); }

    std::string mp3(const std::string& name) { return tagtest::makeFile(dir.file(name), tagtest::mp3Audio()); }

    TempDir dir;
};

}  // namespace

TEST_F(TagFacade, GenreListAndExtensionTests)
{
    ASSERT_EQ(CurrentTag.GenreList.size(), 149u);
    EXPECT_EQ(CurrentTag.GenreList[0], "");
    EXPECT_EQ(CurrentTag.GenreList[1], "ACappella");
    EXPECT_EQ(CurrentTag.GenreList[148], "Vocal");
    for (int code = 0; code < 148; ++code)
        EXPECT_EQ(GenreIndexToCode(GenreCodeToIndex(static_cast<std::uint8_t>(code))), code);

    EXPECT_FALSE(IsNotMp3File("/m/Song.MP3"));
    EXPECT_FALSE(IsNotMp3File("/m/a.b/song.mp3"));
    EXPECT_TRUE(IsNotMp3File("/m/song.mp"));     // a part of ".mp3" is not ".mp3"
    EXPECT_TRUE(IsNotMp3File("/m/song.mp3x"));
    EXPECT_TRUE(IsNotMp3File("/m.mp3/song"));    // the folder's dot is no extension
    EXPECT_TRUE(IsNotMp3File("/m/song.mpa"));
}

TEST_F(TagFacade, ReadsWhatTagLibWrote)
{
    const std::string path = mp3("t.mp3");
    {
        TagLib::MPEG::File f(path.c_str(), false);
        auto* tag = f.ID3v2Tag(true);
        tagtest::setText(*tag, "TIT2", utf8("  桜 さくら "), String::UTF16);
        tagtest::setText(*tag, "TPE1", utf8("歌手"), String::UTF16);
        tagtest::setText(*tag, "TALB", utf8("アルバム"), String::UTF16);
        tag->setYear(1998);
        tag->setGenre("Anime");
        tag->setTrack(4);
        tagtest::setText(*tag, "COMM", utf8(" コメント "), String::UTF16);
        auto* lyrics = new TagLib::ID3v2::UnsynchronizedLyricsFrame(String::UTF16);
        lyrics->setText(utf8("一行目\n二行目 \n"));
        tag->addFrame(lyrics);
        auto* txxx = new TagLib::ID3v2::UserTextIdentificationFrame(String::UTF16);
        txxx->setText(utf8("自由記述"));
        tag->addFrame(txxx);
        auto* wxxx = new TagLib::ID3v2::UserUrlLinkFrame();
        wxxx->setUrl("http://example.jp/");
        tag->addFrame(wxxx);
        ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3));
    }
    CurrentTag.TagKind = "stale";
    ASSERT_TRUE(ReadTag(path));
    EXPECT_EQ(CurrentTag.TagKindNo, 2);
    EXPECT_EQ(CurrentTag.TagKind, "ID3v2");
    EXPECT_EQ(CurrentTag.TagFileName, path);
    EXPECT_EQ(CurrentTag.Title, "  桜 さくら ");  // text frames as stored
    EXPECT_EQ(CurrentTag.Artist, "歌手");
    EXPECT_EQ(CurrentTag.Album, "アルバム");
    EXPECT_EQ(CurrentTag.Year, "1998");
    EXPECT_NE(CurrentTag.Genre.find("Anime"), std::string::npos) << CurrentTag.Genre;
    EXPECT_EQ(CurrentTag.Track, "4");
    EXPECT_EQ(CurrentTag.Comment, "コメント");  // trimmed
    EXPECT_EQ(CurrentTag.Lyrics, "一行目\n二行目");  // trimmed at the right only
    EXPECT_EQ(CurrentTag.UserDefText, "自由記述");
    EXPECT_EQ(CurrentTag.UserUrl, "http://example.jp/");
    EXPECT_EQ(CurrentTag.Undecodable, 0u);
}

TEST_F(TagFacade, ReadsWhatLameAndFfmpegWrote)
{
    const std::string wav = fixtures::makeTone(dir.path(), "t.wav", 44100, 2, 0.5);
    const std::string byLame = fixtures::lame(
        wav, dir.path(), "lame.mp3",
        {"-b", "128", "--add-id3v2", "--tt", "Lame Title", "--ta", "Lame Artist", "--tl", "Album L",
         "--ty", "2003", "--tc", "lame comment", "--tn", "5", "--tg", "Jazz"});
    ASSERT_TRUE(ReadTag(byLame));
    EXPECT_EQ(CurrentTag.Title, "Lame Title");
    EXPECT_EQ(CurrentTag.Artist, "Lame Artist");
    EXPECT_EQ(CurrentTag.Album, "Album L");
    EXPECT_EQ(CurrentTag.Year, "2003");
    EXPECT_EQ(CurrentTag.Track, "5");
    EXPECT_EQ(CurrentTag.Comment, "lame comment");
    EXPECT_NE(CurrentTag.Genre.find("Jazz"), std::string::npos) << CurrentTag.Genre;

    const std::string byFfmpeg = fixtures::ffmpeg(
        wav, dir.path(), "ffmpeg.mp3",
        {"-c:a", "libmp3lame", "-id3v2_version", "3", "-metadata", "title=題名", "-metadata",
         "artist=アーティスト", "-metadata", "album=盤", "-metadata", "date=1999", "-metadata",
         "track=2/9"});
    ASSERT_TRUE(ReadTag(byFfmpeg));
    EXPECT_EQ(CurrentTag.Title, "題名");
    EXPECT_EQ(CurrentTag.Artist, "アーティスト");
    EXPECT_EQ(CurrentTag.Album, "盤");
    EXPECT_EQ(CurrentTag.Year, "1999");
    EXPECT_EQ(CurrentTag.Track, "2/9");
}

TEST_F(TagFacade, Id3v1OnlyFilesAndFilesWithoutTags)
{
    const std::string path = mp3("v1.mp3");
    {
        TagLib::MPEG::File f(path.c_str(), false);
        auto* tag = f.ID3v1Tag(true);
        tag->setTitle("Old Title");
        tag->setArtist("Old Artist");
        tag->setTrack(9);
        ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v1));
    }
    // TagLib knows genre names, not codes: set the genre byte itself.
    for (auto [code, name] : {std::pair{28, "Vocal"}, {12, "Other"}, {148, ""}, {200, ""}}) {
        std::string bytes = readFile(path);
        bytes.back() = static_cast<char>(code);
        testsupport::writeFile(path, bytes);
        EXPECT_FALSE(ReadTag(path));
        EXPECT_EQ(CurrentTag.TagKindNo, 1);
        EXPECT_EQ(CurrentTag.TagKind, "ID3v1");
        EXPECT_EQ(CurrentTag.Title, "Old Title");
        EXPECT_EQ(CurrentTag.Track, "9");
        EXPECT_EQ(CurrentTag.Genre, name) << code;
    }
    const std::string bare = mp3("bare.mp3");
    CurrentTag.Lyrics = "left over";
    EXPECT_FALSE(ReadTag(bare));
    EXPECT_EQ(CurrentTag.TagKindNo, 0);
    EXPECT_EQ(CurrentTag.TagKind, "ID3v1");  // the last successful read's kind
    EXPECT_EQ(recordFields(), Fields{});
}

TEST_F(TagFacade, WriteThenReadRoundTripsEveryFieldAndTagLibAgrees)
{
    const std::string path = mp3("w.mp3");
    fillRecord();
    ASSERT_TRUE(WriteTag(path));
    const Fields written = recordFields();
    ClearTag();
    ASSERT_TRUE(ReadTag(path));
    EXPECT_EQ(recordFields(), written);

    const auto seen = tagLibTexts(path);
    const std::pair<const char*, std::string> expected[] = {
        {"TIT2", written.title},   {"TPE1", written.artist}, {"TALB", written.album},
        {"TDRC", written.year},  // TagLib reads TYER as TDRC
           {"TCON", written.genre},  {"TRCK", written.track},
        {"COMM", written.comment}, {"USLT", written.lyrics}, {"TCDB", written.cddb},
        {"TPHO", written.photo},  {"USER", written.user},
        {"TXXX", written.userDef}, {"WXXX", written.url}};
    // TIME is left out: TagLib folds it into its date frame.
    for (const auto& [id, text] : expected) {
        ASSERT_TRUE(seen.count(id)) << id;
        EXPECT_EQ(seen.at(id), text) << id;
    }
    TagLib::MPEG::File f(path.c_str(), false);
    ASSERT_TRUE(f.ID3v1Tag(false));
    EXPECT_EQ(f.ID3v1Tag()->track(), 7u);
    EXPECT_EQ(f.ID3v1Tag()->genreNumber(), 146u);  // JPop
    EXPECT_EQ(f.ID3v1Tag()->year(), 2024u);
    EXPECT_TRUE(tagtest::decodesCleanly(path));

    // Emptied fields take their frames away; an empty track leaves the track frame alone.
    ClearTag();
    CurrentTag.Title = "only the title";
    ASSERT_TRUE(WriteTag(path));
    const auto after = tagLibTexts(path);
    EXPECT_EQ(after.count("COMM"), 0u);
    EXPECT_EQ(after.count("TXXX"), 0u);
    EXPECT_EQ(after.count("TPE1"), 0u);
    EXPECT_EQ(after.at("TRCK"), "7");
    EXPECT_EQ(after.at("TIT2"), "only the title");
}

TEST_F(TagFacade, TagLibJapaneseFramesSurviveAYearOnlyChange)
{
    const std::string path = mp3("j.mp3");
    {
        TagLib::MPEG::File f(path.c_str(), false);
        auto* tag = f.ID3v2Tag(true);
        tagtest::setText(*tag, "TIT2", utf8("夜空ノムコウ"), String::UTF16);
        tagtest::setText(*tag, "TPE1", utf8("歌手 🎤"), String::UTF16);  // outside CP932
        tagtest::setText(*tag, "TALB", utf8("アルバム"), String::UTF16);
        tag->setYear(1998);
        tagtest::setText(*tag, "COMM", utf8("コメント"), String::UTF16);
        auto* composer = new TagLib::ID3v2::TextIdentificationFrame("TCOM", String::UTF16);
        composer->setText(utf8("作曲者"));
        tag->addFrame(composer);
        auto* mood = new TagLib::ID3v2::UserTextIdentificationFrame(String::UTF16);
        mood->setDescription("MOOD");
        mood->setText(utf8("静か"));
        tag->addFrame(mood);
        auto* picture = new TagLib::ID3v2::AttachedPictureFrame();
        picture->setMimeType("image/jpeg");
        picture->setPicture(TagLib::ByteVector(3000, 'p'));
        tag->addFrame(picture);
        ASSERT_TRUE(f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3));
    }
    auto before = renderedFrames(path);
    ASSERT_TRUE(ReadTag(path));
    CurrentTag.Year = "2001";
    ASSERT_TRUE(WriteTag(path));
    auto after = renderedFrames(path);
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [key, bytes] : before) {
        ASSERT_TRUE(after.count(key)) << key;
        if (key.rfind("TDRC", 0) != 0) {  // TagLib's name for TYER
            EXPECT_EQ(after.at(key), bytes) << key;
        }
    }
    TagLib::MPEG::File f(path.c_str(), false);
    EXPECT_EQ(f.ID3v2Tag()->year(), 2001u);
    EXPECT_EQ(f.ID3v2Tag()->title().to8Bit(true), "夜空ノムコウ");
}

TEST_F(TagFacade, UndecodableFramesAreMarkedAndKeptOnWrite)
{
    using tagtest::frame;
    // TIT2 with an unknown text encoding, an encrypted COMM, a good TALB.
    const std::string frames = frame(3, "TIT2", std::string("\x07", 1) + "??") +
                               frame(3, "COMM", std::string("\x01\x02", 2) + "secret", 0, 0x40) +
                               frame(3, "TALB", std::string("\0", 1) + "Album", 0);
    const std::string path =
        tagtest::makeFile(dir.file("u.mp3"), tagtest::id3Header(3, 0, 0, unsigned(frames.size() + 64)) +
                                                 frames + std::string(64, '\0') + tagtest::mp3Audio());
    ASSERT_TRUE(ReadTag(path));
    EXPECT_EQ(CurrentTag.Title, "");
    EXPECT_EQ(CurrentTag.Comment, "");
    EXPECT_EQ(CurrentTag.Album, "Album");
    EXPECT_EQ(CurrentTag.Undecodable, std::uint32_t(tfTitle | tfComment));

    CurrentTag.Year = "2020";
    ASSERT_TRUE(WriteTag(path));
    Tid3v2tag back;
    ASSERT_LE(back.LoadFromFile(path), 0xFF);
    const int title = back.Frames.Find("TIT2"), comment = back.Frames.Find("COMM");
    ASSERT_NE(title, 0);
    ASSERT_NE(comment, 0);
    EXPECT_EQ(back.Frames[title].Data, std::string("\x07", 1) + "??");
    std::string year;
    EXPECT_EQ(back.GetTextFrame("TYER", year), id3v2::kDone);
    EXPECT_EQ(year, "2020");

    // A value the caller sets does replace the unreadable frame.
    ASSERT_TRUE(ReadTag(path));
    CurrentTag.Title = "New";
    ASSERT_TRUE(WriteTag(path));
    ASSERT_TRUE(ReadTag(path));
    EXPECT_EQ(CurrentTag.Title, "New");
    EXPECT_EQ(CurrentTag.Undecodable, std::uint32_t(tfComment));
}

TEST_F(TagFacade, Id3v1TrackAndGenreRules)
{
    const std::string path = mp3("g.mp3");
    auto v1 = [&] {
        Tid3tag t;
        EXPECT_LE(t.LoadFromFile(path), 0xFF);
        return t;
    };
    ClearTag();
    CurrentTag.Genre = "polka";  // the list search ignores case
    CurrentTag.Track = "3";
    CurrentTag.Comment = std::string(40, 'c');
    ASSERT_TRUE(WriteTag(path));
    EXPECT_EQ(v1().Genre, 75);
    EXPECT_EQ(v1().Track(), 3);
    EXPECT_TRUE(v1().IsV11);
    EXPECT_EQ(v1().Comment(), std::string(28, 'c'));

    // An unknown genre and a track that is no whole number leave the file's own bytes.
    CurrentTag.Genre = "Not a genre";
    for (const char* track : {"1.5", "3/12", ""}) {
        CurrentTag.Track = track;
        ASSERT_TRUE(WriteTag(path));
        EXPECT_EQ(v1().Genre, 75);
        EXPECT_EQ(v1().Track(), 3) << track;
    }
    CurrentTag.Track = "0";
    ASSERT_TRUE(WriteTag(path));
    EXPECT_FALSE(v1().IsV11);

    // Nothing of another file's tag reaches a fresh file.
    const std::string fresh = mp3("fresh.mp3");
    CurrentTag.Genre = "Not a genre";
    CurrentTag.Track = "";
    ASSERT_TRUE(WriteTag(fresh));
    Tid3tag t;
    ASSERT_LE(t.LoadFromFile(fresh), 0xFF);
    EXPECT_EQ(t.Genre, id3::kNoGenre);
    EXPECT_EQ(t.Track(), 0);
}

TEST_F(TagFacade, FailuresAreReported)
{
    fillRecord();
    EXPECT_FALSE(WriteTag(dir.file("missing.mp3")));
    EXPECT_FALSE(WriteTag(dir.file("missing.wav")));

    // A damaged ID3v2 tag is not replaced, and no ID3v1 tag is added either.
    const std::string bad = tagtest::makeFile(
        dir.file("bad.mp3"), tagtest::id3Header(3, 0, 0, 5000) + "TIT2" + tagtest::mp3Audio());
    const std::string badBefore = readFile(bad);
    EXPECT_FALSE(WriteTag(bad));
    EXPECT_EQ(readFile(bad), badBefore);
}

// The other music files get an ID3v1 tag appended and nothing else; they still decode.
TEST_F(TagFacade, OtherFilesGetAnId3v1TagAndStillDecode)
{
    const std::string wav = fixtures::makeTone(dir.path(), "tone.wav", 44100, 2, 0.5);
    const std::vector<std::string> files = {
        wav, fixtures::ffmpeg(wav, dir.path(), "tone.au", {}),
        fixtures::ffmpeg(wav, dir.path(), "tone.aif", {}),
        fixtures::ffmpeg(wav, dir.path(), "tone.wma", {"-c:a", "wmav2", "-b:a", "64k"})};
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const std::string before = readFile(file);
        fillRecord();
        ASSERT_TRUE(WriteTag(file));
        const std::string after = readFile(file);
        ASSERT_EQ(after.size(), before.size() + 128);
        EXPECT_EQ(after.substr(0, before.size()), before);
        EXPECT_EQ(after.substr(before.size(), 3), "TAG");

        ClearTag();
        EXPECT_FALSE(ReadTag(file));
        EXPECT_EQ(CurrentTag.TagKindNo, 1);
        EXPECT_EQ(CurrentTag.Title, "夜明けのうた");
        EXPECT_EQ(CurrentTag.Genre, "JPop");

        EXPECT_TRUE(tagtest::decodesCleanly(file));
        EXPECT_EQ(fixtures::ffprobe(file).count("sample_rate"), 1u);
        if (file.find(".wma") == std::string::npos) {
            auto sox = testsupport::runCommand("sox", {file, "-n", "stat"});
            EXPECT_EQ(sox.exitCode, 0) << sox.err;
            EXPECT_NE(sox.err.find("Length (seconds):"), std::string::npos) << sox.err;
        }
    }
}

// A WAV whose data chunk runs to the end of the file (ffmpeg writing to a pipe leaves 0xFFFFFFFF,
// a streaming writer that never came back 0, a copy cut short its full size) gets its true
// sizes before the tag, or every player would play the tag's 128 bytes as a click.
TEST_F(TagFacade, AWavWhoseSoundRunsToTheEndKeepsItsSoundWhenTagged)
{
    const std::string tone = fixtures::makeTone(dir.path(), "tone.wav", 44100, 2, 0.5);
    const std::string piped = dir.file("piped.wav"), unfilled = dir.file("unfilled.wav"), cut = dir.file("cut.wav");
    ASSERT_EQ(testsupport::runCommand("sh", {"-c", "ffmpeg -v error -i \"$0\" -f wav - > \"$1\"", tone, piped}).exitCode, 0);
    std::string bytes = readFile(tone);
    bytes.replace(4, 4, std::string(4, '\0'));
    bytes.replace(40, 4, std::string(4, '\0'));
    testsupport::writeFile(unfilled, bytes);
    testsupport::writeFile(cut, readFile(tone).substr(0, 30001));
    const auto decode = [](const std::string& file) {
        return testsupport::runCommand("ffmpeg", {"-v", "error", "-i", file, "-f", "s16le", "-"}).out;
    };
    const std::string listed = fixtures::ffmpeg(tone, dir.path(), "listed.wav", {"-metadata", "title=x"});
    for (const std::string& file : {piped, unfilled, cut, listed}) {
        SCOPED_TRACE(file);
        const std::string sound = decode(file);
        ASSERT_GT(sound.size(), 10000u);
        fillRecord();
        ASSERT_TRUE(WriteTag(file));
        EXPECT_EQ(decode(file), sound);
        const auto sox = testsupport::runCommand("sox", {"--i", "-s", file});
        EXPECT_EQ(sox.out, std::to_string(sound.size() / 4) + "\n") << sox.err;
        const auto py = testsupport::runCommand(testsupport::python3(),
                                   {"-c", "import wave, sys; print(wave.open(sys.argv[1]).getnframes())", file});
        EXPECT_EQ(py.out, std::to_string(sound.size() / 4) + "\n") << py.err;
        ClearTag();
        ReadTag(file);
        EXPECT_EQ(CurrentTag.Title, "夜明けのうた");
    }
}
