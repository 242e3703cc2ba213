#include "tags/libID3Tag.h"
#include "platform/rtl/FileNames.h"
#include "tags/WAVfile.h"

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

// The frames that hold a record (language and description around the text). Read and written
// for the empty description, whatever the language: "None" is no three-letter language, so the
// setters' language filter is off.
struct RecordFrameField {
    std::string TCurrentTag::*field;
    TTagField bit;
    bool keepLeadingBlanks;  // lyrics are trimmed at the right only
    std::uint8_t (*get)(const Tid3v2tag&, std::string&);
    void (*set)(Tid3v2tag&, const std::string&);
};

const RecordFrameField kRecordFrames[] = {
    {&TCurrentTag::Comment, tfComment, false,
     [](const Tid3v2tag& tag, std::string& out) {
         TCommentRecord r;
         const std::uint8_t result = tag.GetComment(r, "", "");
         out = std::move(r.Text);
         return result;
     },
     [](Tid3v2tag& tag, const std::string& text) { tag.SetComment({0, "JPN", "", text}, "", "None"); }},
    {&TCurrentTag::Lyrics, tfLyrics, true,
     [](const Tid3v2tag& tag, std::string& out) {
         TCommentRecord r;
         const std::uint8_t result = tag.GetLyrics(r, "", "");
         out = std::move(r.Text);
         return result;
     },
     [](Tid3v2tag& tag, const std::string& text) { tag.SetLyrics({0, "JPN", "", text}, "", "None"); }},
    {&TCurrentTag::UserText, tfUserText, false,
     [](const Tid3v2tag& tag, std::string& out) {
         TUserRecord r;
         const std::uint8_t result = tag.GetUser(r, "");
         out = std::move(r.Text);
         return result;
     },
     [](Tid3v2tag& tag, const std::string& text) { tag.SetUser({0, "JPN", text}, "None"); }},
    {&TCurrentTag::UserDefText, tfUserDefText, false,
     [](const Tid3v2tag& tag, std::string& out) {
         TUserTextRecord r;
         const std::uint8_t result = tag.GetUserText(r, "");
         out = std::move(r.Value);
         return result;
     },
     [](Tid3v2tag& tag, const std::string& text) { tag.SetUserText({0, "", text}, ""); }},
    {&TCurrentTag::UserUrl, tfUserUrl, false,
     [](const Tid3v2tag& tag, std::string& out) {
         TUserTextRecord r;
         const std::uint8_t result = tag.GetUserUrl(r, "");
         out = std::move(r.Value);
         return result;
     },
     [](Tid3v2tag& tag, const std::string& text) { tag.SetUserUrl({0, "", text}, ""); }},
};

std::string trimmed(const RecordFrameField& f, std::string_view text)
{
    return f.keepLeadingBlanks ? trimRight(text) : trim(text);
}

bool fourDigits(std::string_view s)
{
    return s.size() >= 4 && std::all_of(s.begin(), s.begin() + 4, [](char c) { return c >= '0' && c <= '9'; });
}

// The year lives in TYER (ID3v2.3) or in the recording time TDRC (ID3v2.4, and 2.3 tags of
// some writers), whose first four characters are the year of a full date.
std::uint8_t getYear(const Tid3v2tag& tag, std::string& year)
{
    const std::uint8_t r = tag.GetTextFrame("TYER", year);
    if (r == id3v2::kDone)
        return r;
    std::string date;
    const std::uint8_t d = tag.GetTextFrame("TDRC", date);
    year = d == id3v2::kDone && fourDigits(date) ? date.substr(0, 4) : date;
    return d == id3v2::kDone || r == id3v2::kNoFrame ? d : r;
}

// The year goes back to the frames the tag holds, TDRC keeping the rest of its date; a tag with
// neither gets the frame of its version.
void setYear(Tid3v2tag& tag, const std::string& year)
{
    const bool tyer = tag.Frames.Find("TYER") != 0, tdrc = tag.Frames.Find("TDRC") != 0;
    std::string current;
    if (tyer || !tdrc) {
        const char* id = tyer || tag.MajorVersion < 4 ? "TYER" : "TDRC";
        if (tag.GetTextFrame(id, current) != id3v2::kDone || current != year)
            tag.SetTextFrame(id, year);
    }
    if (!tdrc)
        return;
    const bool ok = tag.GetTextFrame("TDRC", current) == id3v2::kDone;
    const std::string date =
        ok && fourDigits(year) && year.size() == 4 && fourDigits(current) ? year + current.substr(4) : year;
    if (!ok || date != current)
        tag.SetTextFrame("TDRC", date);
}

// A genre code as other writers store it in TCON: one to three digits.
std::string genreOfCode(std::string_view digits)
{
    unsigned code = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
    if (digits.empty() || digits.size() > 3 || ec != std::errc() || end != digits.data() + digits.size() ||
        code > 255)
        return {};
    const std::uint8_t index = GenreCodeToIndex(static_cast<std::uint8_t>(code));
    return index == 0 ? std::string() : id3::GenreNames[index];
}

std::string genreOfToken(std::string_view token)
{
    if (token == "RX")
        return "Remix";
    if (token == "CR")
        return "Cover";
    return genreOfCode(token);
}

// The genre a TCON text names. ID3v2.3 writers refer to the ID3v1 genres as "(17)", optionally
// followed by a refinement ("(17)Rock & Roll"), with "((" for a text that starts with "(";
// ID3v2.4 writers store "17"; both know "RX" (remix) and "CR" (cover). The refinement wins over
// the code; a code that names no genre leaves the text as stored.
std::string genreOf(const std::string& stored)
{
    if (std::string name = genreOfToken(stored); !name.empty())
        return name;
    std::string_view rest(stored);
    std::string first;
    while (rest.size() >= 2 && rest[0] == '(' && rest[1] != '(') {
        const std::size_t close = rest.find(')');
        if (close == std::string_view::npos)
            break;
        // A parenthesis that names no genre is part of the text ("(Live) Recording").
        std::string name = genreOfToken(rest.substr(1, close - 1));
        if (name.empty())
            break;
        if (first.empty())
            first = std::move(name);
        rest.remove_prefix(close + 1);
    }
    if (rest.substr(0, 2) == "((")
        rest.remove_prefix(1);
    if (!rest.empty() && rest.size() != stored.size())
        return std::string(rest);
    return first.empty() ? stored : first;
}

// The record's text of a text frame: TCON as the genre it names, others as stored.
std::uint8_t getText(const Tid3v2tag& tag, const TextFrameField& f, std::string& text)
{
    if (f.bit == tfYear)
        return getYear(tag, text);
    const std::uint8_t r = tag.GetTextFrame(f.id, text);
    if (r == id3v2::kDone && f.bit == tfGenre)
        text = genreOf(text);
    return r;
}

void readId3v2Fields(const Tid3v2tag& tag)
{
    TCurrentTag& t = CurrentTag;
    for (const auto& f : kTextFrames) {
        const std::uint8_t r = getText(tag, f, t.*f.field);
        if (r != id3v2::kDone)
            (t.*f.field).clear();
        note(r, f.bit);
    }
    for (const auto& f : kRecordFrames) {
        std::string text;
        const std::uint8_t r = f.get(tag, text);
        t.*f.field = r == id3v2::kDone ? trimmed(f, text) : std::string();
        note(r, f.bit);
    }
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
        if (keepFrame(keep, value, f.bit) || (f.bit == tfTrack && value.empty()))
            continue;
        if (f.bit == tfYear)
            setYear(tag, value);
        else if (getText(tag, f, current) != id3v2::kDone || current != value)
            tag.SetTextFrame(f.id, value);
    }
    for (const auto& f : kRecordFrames) {
        const std::string value = trimmed(f, t.*f.field);
        std::string current;
        if (keepFrame(keep, t.*f.field, f.bit) ||
            (f.get(tag, current) == id3v2::kDone && trimmed(f, current) == value))
            continue;
        f.set(tag, value);
    }
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
    for (std::size_t i = 0; i < list.size(); ++i)
        if (rtl::SameAsciiText(list[i], name))
            return static_cast<int>(i);
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

bool IsNotMp3File(const std::string& FileName) { return !rtl::HasExtension(FileName, ".mp3"); }

bool IsPlainPhotoName(const std::string& Name)
{
    return !Name.empty() && Name.find('/') == std::string::npos && Name != "." && Name != "..";
}

void ClearTag()
{
    clearTexts(CurrentTag);
    CurrentTag.TagKindNo = 0;
    CurrentTag.TagFileName.clear();
    CurrentTag.Undecodable = 0;
}

TCarriedTagTexts::TCarriedTagTexts()
{
    for (std::size_t i = 0; i < texts_.size(); ++i)
        texts_[i] = CurrentTag.*Fields[i];
}

void TCarriedTagTexts::Restore() const
{
    for (std::size_t i = 0; i < texts_.size(); ++i)
        CurrentTag.*Fields[i] = texts_[i];
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
            status = t.Id3v2Tag.LoadFromFile(FileName, 0, true);
        } catch (...) {  // out of memory for a huge tag: the file reads as having no tag
            return false;
        }
    }
    if (!saved(status)) {
        // A frame with a damaged identifier ends the load; the frames before it are shown (and
        // the tag is never saved over), the ID3v1 tag fills in what they lack.
        if (status == id3v2::kBadFrameId) {
            readId3v2Fields(t.Id3v2Tag);
            t.TagKindNo = 2;
            t.TagKind = "ID3v2";
        }
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

namespace {

// The record's ID3v1 fields over the file's own ID3v1 tag.
Tid3tag& prepareId3v1(const std::string& FileName)
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
    return v1;
}

}  // namespace

bool WriteID3v1Tag(const std::string& FileName)
{
    // The tag goes behind the sound of a WAV: one whose data chunk runs to the end of the file
    // (written to a pipe, cut short) gets its true sizes first, or players would play the tag.
    if (rtl::HasExtension(FileName, ".wav") && !SealWaveData(FileName))
        return false;
    return saved(prepareId3v1(FileName).SaveToFile(FileName));
}

bool WriteTag(const std::string& FileName)
{
    if (IsNotMp3File(FileName))
        return WriteID3v1Tag(FileName);
    TCurrentTag& t = CurrentTag;
    // Marks of undecodable frames belong to the file they were read from.
    const std::uint32_t keep = FileName == t.TagFileName ? t.Undecodable : 0;
    // A tag that fails to load here is refused by the save below, so it is never replaced.
    const std::uint16_t loaded = t.Id3v2Tag.LoadFromFile(FileName, 0);
    setId3v2Fields(t.Id3v2Tag, keep);
    // Both tags in one save: a failure leaves the file as it was, ID3v1 tag included.
    Tid3tag& v1 = prepareId3v1(FileName);
    const std::uint16_t status = t.Id3v2Tag.SaveToFile(FileName, 255, 255, -1, v1.TagBytes());
    // Empty texts on a file without an ID3v2 tag (a new MP3 from an untagged WAV) need no
    // ID3v2 tag at all: that is no failure, and the ID3v1 tag still goes in.
    if (status == id3v2::kNoFrames && loaded == id3v2::kNoTag)
        return saved(v1.SaveToFile(FileName));
    if (!saved(status))
        return false;
    v1.FileName = FileName;
    return true;
}
