// The tag facade: the one road by which the rest of the program reads or writes the tag of a
// music file. It owns the ID3v1 and ID3v2 objects, the genre-name list and the process-wide
// current-tag record `CurrentTag`. A caller runs `ReadTag` (file), copies the fields it needs,
// and to write puts its values into the record and runs `WriteTag` (file).
//
// Every file gets an ID3v1 tag on writing (WAV, WMA, AU and AIFF files included: their titles
// are read from it); MP3 files also get ID3v2 frames. Texts are UTF-8 in the record.
//
// A field whose frame exists but could not be decoded (encrypted, damaged compression, unknown
// encoding, bad characters) is marked in `Undecodable` and read as empty; as long as the field
// stays empty, `WriteTag` on the same file leaves that frame as it is instead of deleting it.
// `WriteTag` reloads both tags of the file it writes before changing them, so nothing read from
// another file is ever written into it.
//
// User-interface thread only; nothing here is locked.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "tags/id3.h"
#include "tags/id3v2.h"

using id3::GenreCodeToIndex;
using id3::GenreIndexToCode;

// The record's text fields, as bits of `TCurrentTag::Undecodable`.
enum TTagField : std::uint32_t {
    tfTitle = 1u << 0,
    tfArtist = 1u << 1,
    tfAlbum = 1u << 2,
    tfYear = 1u << 3,
    tfGenre = 1u << 4,
    tfTrack = 1u << 5,
    tfComment = 1u << 6,
    tfLyrics = 1u << 7,
    tfCddbPath = 1u << 8,
    tfTimeText = 1u << 9,
    tfPhotoName = 1u << 10,
    tfUserText = 1u << 11,
    tfUserDefText = 1u << 12,
    tfUserUrl = 1u << 13,
};

struct TCurrentTag {
    std::vector<std::string> GenreList;  // the empty name, then the 148 genres, in list order
    std::string TagFileName;             // file of the last ReadTag
    std::string TagKind;                 // "ID3v1" / "ID3v2" of the last successful read
    std::int32_t TagKindNo = 0;          // 0 no tag, 1 ID3v1, 2 ID3v2
    std::string Year;                    // TYER, else the year of TDRC's date
    std::string Track;
    std::string Album;
    std::string Artist;
    std::string Title;
    std::string Genre;
    std::string Comment;
    std::string Lyrics;
    std::string CddbPath;   // TCDB: CDDB query path of the disc the file was ripped from
    std::string TimeText;   // TIME
    std::string PhotoName;  // TPHO: bare name of the photo in the current music folder
    std::string UserText;   // USER
    std::string UserDefText;  // TXXX with an empty description
    std::string UserUrl;      // WXXX with an empty description
    Tid3tag Id3v1Tag;
    Tid3v2tag Id3v2Tag;
    // TTagField bits of fields whose frame in TagFileName could not be decoded.
    std::uint32_t Undecodable = 0;
};

extern TCurrentTag CurrentTag;

// True creates fresh tag objects and fills the genre list; false empties them.
void SetupTagObjects(bool Create);
void InitGenreList();

bool IsNotMp3File(const std::string& FileName);

// Whether a tag's photo name (TPHO) is a bare file name that can only name a file directly
// inside the music folder: not empty, no "/", not "." or "..". Every reader of the photo
// joins the folder and the name only when this holds.
bool IsPlainPhotoName(const std::string& Name);

// Fills CurrentTag from the file; true only when the tag came from ID3v2 (MP3 files only).
bool ReadTag(const std::string& FileName);
// Fills the fields that are still empty from the ID3v1 tag; true when the file has one.
bool ReadID3v1Tag(const std::string& FileName);

// Writes CurrentTag into the file: ID3v1 always, ID3v2 frames for MP3 files, both in one save.
// True when the file was saved; false on any failure (missing or read-only file, an ID3v2 tag
// that could not be read and must not be replaced, write error), which leaves the file as it
// was. The year goes to TYER or TDRC, whichever the tag holds (TDRC keeps the rest of its date).
[[nodiscard]] bool WriteTag(const std::string& FileName);
// The ID3v1 half of WriteTag; true when the tag was saved.
[[nodiscard]] bool WriteID3v1Tag(const std::string& FileName);

// Clears the record's texts and marks before a caller fills it for a new file.
void ClearTag();

// The texts a file made from another one (a conversion) takes over from its source's tag:
// TXXX, WXXX, USER, comment, lyrics, track, year, genre, title, album and artist. Taken from
// CurrentTag when made; Restore puts them back there for the new file's WriteTag.
class TCarriedTagTexts {
public:
    TCarriedTagTexts();
    void Restore() const;

private:
    static constexpr std::string TCurrentTag::*Fields[] = {
        &TCurrentTag::UserDefText, &TCurrentTag::UserUrl, &TCurrentTag::UserText,
        &TCurrentTag::Comment,     &TCurrentTag::Lyrics,  &TCurrentTag::Track,
        &TCurrentTag::Year,        &TCurrentTag::Genre,   &TCurrentTag::Title,
        &TCurrentTag::Album,       &TCurrentTag::Artist};
    std::array<std::string, std::size(Fields)> texts_;
};
