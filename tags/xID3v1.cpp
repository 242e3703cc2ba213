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

bool TxID3v1::ReadFromFile(tags::ReadOnlyFile& file)
{
    ResetData();
    if (!file.isOpen())
        return false;
    std::uint8_t tag[tags::kID3v1TagSize];
    if (!file.readExact(file.size() - tags::kID3v1TagSize, sizeof tag, tag))
        return true;  // shorter than a tag: no tag
    if (std::memcmp(tag, "TAG", 3) != 0)
        return true;
    Exists = true;
    // ID3v1.1 keeps the track in the last byte of the comment, behind a 0 (or, as some
    // taggers write it, a blank).
    const bool v11 = (tag[125] == 0 && tag[126] != 0) ||
                     (tag[125] == ' ' && tag[126] != ' ' && tag[126] != 0);
    VersionID = v11 ? 2 : 1;
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
