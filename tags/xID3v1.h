// A small read-only ID3v1 / ID3v1.1 reader for the MPEG header analysis: it tells whether the
// last 128 bytes of a file are a tag (so the analysis leaves them, and an APE tag before them,
// out of the audio) and what the tag says. Texts are Shift-JIS in the file and UTF-8 here. Any thread; one object per use.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tags {
class ReadOnlyFile;

constexpr std::int64_t kID3v1TagSize = 128;

// kID3v1TagSize when the file ends with an ID3v1 tag ("TAG" in its last 128 bytes), else 0.
std::int64_t id3v1TagSize(ReadOnlyFile& file);

// The bytes at the end of the file that are tags, not audio: an ID3v1 tag and, in front of it
// (or at the very end), an APE tag as taggers and gain tools append them. The APE tag counts
// only when its footer is sound and the whole tag lies inside the file behind audioStart;
// anything else is left to the audio.
std::int64_t trailingTagsSize(ReadOnlyFile& file, std::int64_t audioStart);
}  // namespace tags

constexpr int kMusicGenreCount = 148;

// The standard ID3v1 genre names in code order (0 "Blues" .. 147 "Synthpop").
extern const std::array<const char*, kMusicGenreCount> MusicGenre;

class TxID3v1 {
public:
    TxID3v1() { ResetData(); }

    // Reads the tag of the file. False when the file cannot be read; a file without a tag is
    // read successfully with `Exists` false.
    bool ReadFromFile(const std::string& FileName);
    // The same on a file already open.
    bool ReadFromFile(tags::ReadOnlyFile& file);
    // Exists and VersionID alone: whether the tag is there, its texts unread.
    bool Locate(tags::ReadOnlyFile& file);
    void ResetData();

    // The genre name, empty for codes outside the table (255 = none).
    std::string Genre() const;

    bool Exists = false;
    std::uint8_t VersionID = 0;  // 1 = ID3v1.0, 2 = ID3v1.1
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Comment;
    std::uint8_t Track = 0;
    std::uint8_t GenreID = 255;
};
