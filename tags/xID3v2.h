// A small read-only ID3v2 reader for the MPEG header analysis: it finds the size of the tag at
// the start of a file, so the search for the first audio frame starts behind it (a large cover
// picture must not hide the audio), and reads the common text frames of ID3v2.3 and ID3v2.4
// tags. Text in encoding 0 is Shift-JIS; UTF-16 (with or without byte order mark) and UTF-8
// are read in full; everything is UTF-8 here. Compressed and encrypted frames are skipped.
// Any thread; one object per use.
#pragma once

#include <cstdint>
#include <string>

namespace tags {
class ReadOnlyFile;

// Bytes of the ID3v2 tag at the start of the file, header (and footer) included; 0 when the
// file has no tag or the tag would reach past the end of the file.
std::int64_t id3v2TagSize(ReadOnlyFile& file);
}  // namespace tags

class TxID3v2 {
public:
    TxID3v2() { ResetData(); }

    // Reads the tag of the file. False when the file cannot be read; a file without a tag is
    // read successfully with `Exists` false.
    bool ReadFromFile(const std::string& FileName);
    // The same on a file already open.
    bool ReadFromFile(tags::ReadOnlyFile& file);
    // Exists, VersionID and Size alone: where the tag stands, its frames unread (the texts
    // stay empty).
    bool Locate(tags::ReadOnlyFile& file);
    void ResetData();

    bool Exists = false;
    std::uint8_t VersionID = 0;  // major version: 2, 3 or 4
    std::int64_t Size = 0;       // whole tag; 0 when it would reach past the end of the file
    std::string Title;
    std::string Artist;
    std::string Album;
    int Track = 0;
    std::string Year;
    std::string Genre;
    std::string Comment;
    std::string Composer;
    std::string Encoder;
    std::string Copyright;
    std::string Language;
    std::string Link;
};
