#include "tags/libID3Tag.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "util/libText.h"

TCurrentTag CurrentTag;

namespace {

struct TextFrameField {
    const char* id;
    std::string TCurrentTag::*field;
    TTagField bit;
};

// The plain text frames of the record, in the order they are written.
constexpr TextFrameField kTextFrames[] = {
    {"TIT2", &TCurrentTag::Title, tfTitle},       {"TPE1", &TCurrentTag::Artist, tfArtist},
    {"TALB", &TCurrentTag::Album, tfAlbum},       {"TYER", &TCurrentTag::Year, tfYear},
    {"TCON", &TCurrentTag::Genre, tfGenre},       {"TRCK", &TCurrentTag::Track, tfTrack},
    {"TCDB", &TCurrentTag::CddbPath, tfCddbPath}, {"TIME", &TCurrentTag::TimeText, tfTimeText},
    {"TPHO", &TCurrentTag::PhotoName, tfPhotoName},
};

// Characters up to and including the space are what trimming removes.
bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string trimRight(std::string_view s)
{
    while (!s.empty() && isBlankOrControl(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

std::string trim(std::string_view s)
{
    while (!s.empty() && isBlankOrControl(s.front()))
        s.remove_prefix(1);
    return trimRight(s);
}

void clearTexts(TCurrentTag& t)
{
    for (std::string* f : {&t.Year, &t.Track, &t.Genre, &t.Title, &t.Album, &t.Artist, &t.Comment,
                           &t.Lyrics, &t.CddbPath, &t.TimeText, &t.PhotoName, &t.UserText,
                           &t.UserDefText, &t.UserUrl})
        f->clear();
}

// An accessor result that says the frame is there but its contents cannot be read.
bool undecodable(std::uint8_t result)
{
    return result != id3v2::kDone && result != id3v2::kNoFrame;
}

void note(std::uint8_t result, TTagField bit)
{
    if (undecodable(result))
        CurrentTag.Undecodable |= bit;
}

void readId3v2Fields(const Tid3v2tag& tag)
{
    TCurrentTag& t = CurrentTag;
    for (const auto& f : kTextFrames) {
        const std::uint8_t r = tag.GetTextFrame(f.id, t.*f.field);
        if (r != id3v2::kDone)
            (t.*f.field).clear();
        note(r, f.bit);
    }
    TCommentRecord comment;
    std::uint8_t r = tag.GetComment(comment, "", "");
    t.Comment = r == id3v2::kDone ? trim(comment.Text) : std::string();
    note(r, tfComment);
    r = tag.GetLyrics(comment, "", "");
    t.Lyrics = r == id3v2::kDone ? trimRight(comment.Text) : std::string();
    note(r, tfLyrics);
    TUserRecord user;
    r = tag.GetUser(user, "");
    t.UserText = r == id3v2::kDone ? trim(user.Text) : std::string();
    note(r, tfUserText);
    TUserTextRecord userText;
    r = tag.GetUserText(userText, "");
    t.UserDefText = r == id3v2::kDone ? trim(userText.Value) : std::string();
    note(r, tfUserDefText);
    r = tag.GetUserUrl(userText, "");
    t.UserUrl = r == id3v2::kDone ? trim(userText.Value) : std::string();
    note(r, tfUserUrl);
}

// A field the caller left empty whose frame could not be read stays as it is in the file.
bool keepFrame(std::uint32_t keep, const std::string& value, TTagField bit)
{
    return value.empty() && (keep & bit) != 0;
}

// Each frame is set only when the record differs from what it holds, so frames the caller did
// not change keep their bytes (encoding, language, flags) exactly.
void setId3v2Fields(Tid3v2tag& tag, std::uint32_t keep)
{
    const TCurrentTag& t = CurrentTag;
    for (const auto& f : kTextFrames) {
        const std::string& value = t.*f.field;
        std::string current;
        if (keepFrame(keep, value, f.bit) || (f.bit == tfTrack && value.empty()) ||
            (tag.GetTextFrame(f.id, current) == id3v2::kDone && current == value))
            continue;
        tag.SetTextFrame(f.id, value);
    }
    TCommentRecord comment;
    const std::string commentText = trim(t.Comment);
    // "None" is no three-letter language: the first frame with an empty description is
    // replaced whatever its language.
    if (!keepFrame(keep, t.Comment, tfComment) &&
        !(tag.GetComment(comment, "", "") == id3v2::kDone && trim(comment.Text) == commentText))
        tag.SetComment({0, "JPN", "", commentText}, "", "None");
    const std::string lyrics = trimRight(t.Lyrics);
    if (!keepFrame(keep, t.Lyrics, tfLyrics) &&
        !(tag.GetLyrics(comment, "", "") == id3v2::kDone && trimRight(comment.Text) == lyrics))
        tag.SetLyrics({0, "JPN", "", lyrics}, "", "None");
    TUserRecord user;
    const std::string userText = trim(t.UserText);
    if (!keepFrame(keep, t.UserText, tfUserText) &&
        !(tag.GetUser(user, "") == id3v2::kDone && trim(user.Text) == userText))
        tag.SetUser({0, "JPN", userText}, "None");
    TUserTextRecord record;
    const std::string userDef = trim(t.UserDefText);
    if (!keepFrame(keep, t.UserDefText, tfUserDefText) &&
        !(tag.GetUserText(record, "") == id3v2::kDone && trim(record.Value) == userDef))
        tag.SetUserText({0, "", userDef}, "");
    const std::string url = trim(t.UserUrl);
    if (!keepFrame(keep, t.UserUrl, tfUserUrl) &&
        !(tag.GetUserUrl(record, "") == id3v2::kDone && trim(record.Value) == url))
        tag.SetUserUrl({0, "", url}, "");
}

// The track byte for ID3v1.1: an integer text (its low 8 bits), or nothing for "1.5", "3/12"
// and other texts that are not whole numbers.
bool trackByte(const std::string& text, std::uint8_t& out)
{
    if (text.empty() || !IsNumericText(text))
        return false;
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    out = static_cast<std::uint8_t>(value & 0xFF);
    return true;
}

int genreIndex(const std::string& name)
{
    const auto& list = CurrentTag.GenreList;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string& g = list[i];
        if (g.size() == name.size() &&
            std::equal(g.begin(), g.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return static_cast<int>(i);
    }
    return -1;
}

bool saved(std::uint16_t status) { return status <= 0xFF; }

}  // namespace

void InitGenreList()
{
    CurrentTag.GenreList.assign(id3::GenreNames.begin(), id3::GenreNames.end());
}

void SetupTagObjects(bool Create)
{
    CurrentTag.Id3v1Tag = Tid3tag{};
    CurrentTag.Id3v2Tag = Tid3v2tag{};
    CurrentTag.GenreList.clear();
    if (Create)
        InitGenreList();
}

bool HasExtension(std::string_view path, std::string_view ext)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return false;
    const std::string_view own = path.substr(dot);
    return own.size() == ext.size() &&
           std::equal(own.begin(), own.end(), ext.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

bool IsNotMp3File(const std::string& FileName) { return !HasExtension(FileName, ".mp3"); }

void ClearTag()
{
    clearTexts(CurrentTag);
    CurrentTag.TagKindNo = 0;
    CurrentTag.TagFileName.clear();
    CurrentTag.Undecodable = 0;
}

bool ReadTag(const std::string& FileName)
{
    TCurrentTag& t = CurrentTag;
    t.TagKindNo = 0;
    t.Undecodable = 0;
    clearTexts(t);
    t.TagFileName = FileName;
    // Only an MP3 file's ID3v2 tag counts; other files are read from their ID3v1 tag alone.
    std::uint16_t status = id3v2::kNoTag;
    if (!IsNotMp3File(FileName)) {
        try {
            status = t.Id3v2Tag.LoadFromFile(FileName, 0);
        } catch (...) {  // out of memory for a huge tag: the file reads as having no tag
            return false;
        }
    }
    if (!saved(status)) {
        if (!FileName.empty())
            ReadID3v1Tag(FileName);
        return false;
    }
    readId3v2Fields(t.Id3v2Tag);
    t.TagKindNo = 2;
    t.TagKind = "ID3v2";
    return true;
}

bool ReadID3v1Tag(const std::string& FileName)
{
    TCurrentTag& t = CurrentTag;
    Tid3tag& v1 = t.Id3v1Tag;
    if (!saved(v1.LoadFromFile(FileName))) {
        if (t.TagKindNo == 0)
            clearTexts(t);
        return false;
    }
    const std::pair<std::string*, const std::string*> texts[] = {
        {&t.Title, &v1.Title()},   {&t.Artist, &v1.Artist()},   {&t.Album, &v1.Album()},
        {&t.Year, &v1.Year()},     {&t.Comment, &v1.Comment()},
    };
    for (const auto& [field, value] : texts)
        if (field->empty())
            *field = *value;
    if (t.Track.empty() && v1.Track() != 0)
        t.Track = std::to_string(v1.Track());
    if (t.Genre.empty()) {
        const std::size_t index = GenreCodeToIndex(v1.Genre);
        t.Genre = index < t.GenreList.size() ? t.GenreList[index] : std::string();
    }
    if (t.TagKindNo == 0) {
        for (std::string* f : {&t.Lyrics, &t.CddbPath, &t.TimeText, &t.PhotoName, &t.UserText,
                               &t.UserDefText, &t.UserUrl})
            f->clear();
        t.TagKindNo = 1;
        t.TagKind = "ID3v1";
    }
    return true;
}

bool WriteID3v1Tag(const std::string& FileName)
{
    TCurrentTag& t = CurrentTag;
    Tid3tag& v1 = t.Id3v1Tag;
    // Start from the file's own tag (or none), so that a genre or track the record does not
    // name stays the file's own and never comes from the last file read.
    if (!saved(v1.LoadFromFile(FileName)))
        v1 = Tid3tag{};
    v1.SetTitle(t.Title);
    v1.SetArtist(t.Artist);
    v1.SetAlbum(t.Album);
    v1.SetYear(t.Year);
    v1.SetComment(t.Comment);
    if (const int index = genreIndex(t.Genre); index >= 0)
        v1.Genre = GenreIndexToCode(static_cast<std::uint8_t>(index));
    if (std::uint8_t track = 0; trackByte(t.Track, track))
        v1.SetTrack(track);
    return saved(v1.SaveToFile(FileName));
}

bool WriteTag(const std::string& FileName)
{
    const bool v1Saved = WriteID3v1Tag(FileName);
    if (IsNotMp3File(FileName))
        return v1Saved;
    TCurrentTag& t = CurrentTag;
    // Marks of undecodable frames belong to the file they were read from.
    const std::uint32_t keep = FileName == t.TagFileName ? t.Undecodable : 0;
    // A tag that fails to load here is refused by the save below, so it is never replaced.
    (void)t.Id3v2Tag.LoadFromFile(FileName, 0);
    setId3v2Fields(t.Id3v2Tag, keep);
    const bool v2Saved = saved(t.Id3v2Tag.SaveToFile(FileName, 255, 255, -1));
    return v1Saved && v2Saved;
}
