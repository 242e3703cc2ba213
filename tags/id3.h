// The ID3v1 / ID3v1.1 tag: the 128 bytes at the end of a file ("TAG", title, artist, album,
// year, comment, track, genre code), read and written in place. Every music file type gets one
// through the tag facade. The texts are CP932 on disk and UTF-8 here; the fixed field widths
// count CP932 bytes and never split a character. Also home of the genre tables: the list of
// genre names the program shows and the byte tables between list index and ID3v1 genre code.
//
// Status words: 0..255 success (0x80: genre code 148..254), above 255 failure (0x100 cannot
// open, 0x200 read-only file, 0x300 read error, 0x400 write error, 0x1000 no tag).
// Used on the user-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace id3 {

constexpr std::uint16_t kGenreUnknownBit = 0x80;
constexpr std::uint16_t kNoTag = 0x1000;

constexpr int kGenreCount = 149;  // the empty name and the 148 standard genres
constexpr std::uint8_t kNoGenre = 255;

// Genre names in the order the program lists them: index 0 is the empty name.
extern const std::array<const char*, kGenreCount> GenreNames;

// List index -> ID3v1 genre code (index 0 and indexes past the list give 255).
std::uint8_t GenreIndexToCode(std::uint8_t index);
// ID3v1 genre code -> list index (codes 148 and above give 0).
std::uint8_t GenreCodeToIndex(std::uint8_t code);

}  // namespace id3

class Tid3tag {
public:
    bool IsV11 = false;
    bool ReadOnly = false;
    std::string FileName;
    std::uint8_t Genre = id3::kNoGenre;

    [[nodiscard]] std::uint16_t LoadFromFile(const std::string& fileName);
    // "=" names the object's own FileName.
    [[nodiscard]] std::uint16_t SaveToFile(const std::string& fileName);

    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    const std::string& Year() const { return year_; }
    const std::string& Comment() const { return comment_; }
    std::uint8_t Track() const { return track_; }

    // Each setter keeps as much of the text as fits in its field's CP932 width.
    void SetTitle(std::string_view text);
    void SetArtist(std::string_view text);
    void SetAlbum(std::string_view text);
    void SetYear(std::string_view text);
    void SetComment(std::string_view text);
    // A track other than 0 makes the tag ID3v1.1.
    void SetTrack(std::uint8_t track);

    // The 128 bytes SaveToFile writes (an ID3v1.1 comment is cut to its width here).
    std::string TagBytes();

private:
    std::uint16_t load(const std::string& fileName);

    std::string title_, artist_, album_, year_, comment_;
    std::uint8_t track_ = 0;
};
