#include "tags/xID3v1.h"

#include <algorithm>
#include <cstring>

#include "tags/ReadOnlyFile.h"
#include "util/Cp932.h"

const std::array<const char*, kMusicGenreCount> MusicGenre = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul",
    "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic",
    "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream",
    "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes",
    "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical",
    "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion",
    "Bebob", "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock",
    "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band", "Chorus",
    "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber Music",
    "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club",
    "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet",
    "Punk Rock", "Drum Solo", "A capella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass",
    "Club-House", "Hardcore", "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat",
    "Christian Gangsta Rap", "Heavy Metal", "Black Metal", "Crossover", "Contemporary Christian",
    "Christian Rock", "Merengue", "Salsa", "Trash Metal", "Anime", "JPop", "Synthpop"};

namespace {

// A fixed-width field: up to the first NUL, trailing blanks removed, Shift-JIS to UTF-8.
std::string field(const std::uint8_t* bytes, std::size_t width)
{
    const auto* begin = reinterpret_cast<const char*>(bytes);
    std::string text(begin, std::find(begin, begin + width, '\0'));
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return cp932::toUtf8(text);
}

}  // namespace

namespace tags {

std::int64_t id3v1TagSize(ReadOnlyFile& file)
{
    std::uint8_t mark[3];
    return file.readExact(file.size() - kID3v1TagSize, sizeof mark, mark) &&
                   std::memcmp(mark, "TAG", 3) == 0
               ? kID3v1TagSize
               : 0;
}

std::int64_t trailingTagsSize(ReadOnlyFile& file, std::int64_t audioStart)
{
    constexpr std::int64_t kApeFooterSize = 32;  // also the size of its optional header
    constexpr std::uint32_t kHasHeader = 0x80000000u;
    constexpr std::uint32_t kIsHeader = 0x20000000u;
    const std::int64_t id3v1 = id3v1TagSize(file);
    const std::int64_t tagEnd = file.size() - id3v1;
    std::uint8_t footer[kApeFooterSize];
    if (tagEnd - audioStart < kApeFooterSize ||
        !file.readExact(tagEnd - kApeFooterSize, sizeof footer, footer) ||
        std::memcmp(footer, "APETAGEX", 8) != 0)
        return id3v1;
    const std::uint32_t version = littleEndian32(footer + 8);
    const std::uint32_t flags = littleEndian32(footer + 20);
    // The stated size takes in the items and the footer, not the header.
    const std::int64_t size = littleEndian32(footer + 12);
    const std::int64_t whole = size + ((flags & kHasHeader) ? kApeFooterSize : 0);
    if ((version != 1000 && version != 2000) || (flags & kIsHeader) || size < kApeFooterSize ||
        whole > tagEnd - audioStart)
        return id3v1;
    std::uint8_t header[8];
    if ((flags & kHasHeader) &&
        !(file.readExact(tagEnd - whole, sizeof header, header) && std::memcmp(header, "APETAGEX", 8) == 0))
        return id3v1;
    return id3v1 + whole;
}

}  // namespace tags

void TxID3v1::ResetData()
{
    Exists = false;
    VersionID = 0;
    Title.clear();
    Artist.clear();
    Album.clear();
    Year.clear();
    Comment.clear();
    Track = 0;
    GenreID = 255;
}

bool TxID3v1::ReadFromFile(const std::string& FileName)
{
    tags::ReadOnlyFile file(FileName);
    return ReadFromFile(file);
}

namespace {

// The tag at the end of `file` into `tag`, or false when there is none.
bool readTag(tags::ReadOnlyFile& file, std::uint8_t (&tag)[tags::kID3v1TagSize])
{
    return file.readExact(file.size() - tags::kID3v1TagSize, sizeof tag, tag) && std::memcmp(tag, "TAG", 3) == 0;
}

// ID3v1.1 keeps the track in the last byte of the comment, behind a 0 (or, as some taggers
// write it, a blank).
bool isV11(const std::uint8_t (&tag)[tags::kID3v1TagSize])
{
    return (tag[125] == 0 && tag[126] != 0) || (tag[125] == ' ' && tag[126] != ' ' && tag[126] != 0);
}

}  // namespace

bool TxID3v1::Locate(tags::ReadOnlyFile& file)
{
    ResetData();
    if (!file.isOpen())
        return false;
    std::uint8_t tag[tags::kID3v1TagSize];
    Exists = readTag(file, tag);
    VersionID = !Exists ? 0 : isV11(tag) ? 2 : 1;
    return true;
}

bool TxID3v1::ReadFromFile(tags::ReadOnlyFile& file)
{
    std::uint8_t tag[tags::kID3v1TagSize];
    if (!Locate(file) || !Exists || !readTag(file, tag))
        return file.isOpen();
    const bool v11 = VersionID == 2;
    Title = field(tag + 3, 30);
    Artist = field(tag + 33, 30);
    Album = field(tag + 63, 30);
    Year = field(tag + 93, 4);
    Comment = field(tag + 97, v11 ? 28 : 30);
    Track = v11 ? tag[126] : 0;
    GenreID = tag[127];
    return true;
}

std::string TxID3v1::Genre() const
{
    return GenreID < kMusicGenreCount ? MusicGenre[GenreID] : std::string();
}
