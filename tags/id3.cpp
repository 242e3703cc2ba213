#include "tags/id3.h"

#include "tags/RecentFile.h"
#include "tags/id3File.h"
#include "util/Cp932.h"
#include "util/SafeFile.h"

#include <unistd.h>

namespace id3 {

const std::array<const char*, kGenreCount> GenreNames = {
    "",
    "ACappella",
    "Acid",
    "Acid Jazz",
    "Acid Punk",
    "Acoustic",
    "Alt. Rock",
    "Alternative",
    "Ambient",
    "Anime",
    "Avantgarde",
    "Ballad",
    "Bass",
    "Beat",
    "Bebob",
    "Big Band",
    "Black Metal",
    "Bluegrass",
    "Blues",
    "Booty Bass",
    "BritPop",
    "Cabaret",
    "Celtic",
    "Chamber Music",
    "Chanson",
    "Chorus",
    "Christian Gangsta",
    "Christian Rap",
    "Christian Rock",
    "Classic Rock",
    "Classical",
    "Club",
    "Club-House",
    "Comedy",
    "Contemporary Christian",
    "Country",
    "Crossover",
    "Cult",
    "Dance",
    "Dance Hall",
    "Darkwave",
    "Death Metal",
    "Disco",
    "Dream",
    "Drum & Base",
    "Drum Solo",
    "Duet",
    "Easy Listening",
    "Electronic",
    "Ethnic",
    "Eurodance",
    "Euro-House",
    "Euro-Techno",
    "Fast-Fusion",
    "Folk",
    "Folk/Rock",
    "Folklore",
    "Freestyle",
    "Funk",
    "Fusion",
    "Game",
    "Gangsta Rap",
    "Goa",
    "Gospel",
    "Gothic",
    "Gothic Rock",
    "Grunge",
    "Hard Rock",
    "Hardcore",
    "Heavy Metal",
    "Hip-Hop",
    "House",
    "Humour",
    "Indie",
    "Industrial",
    "Instrumental",
    "Instrumental Pop",
    "Instrumental Rock",
    "Jazz",
    "Jazz+Funk",
    "JPop",
    "Jungle",
    "Latin",
    "Lo-Fi",
    "Meditative",
    "Merengue",
    "Metal",
    "Musical",
    "National Folk",
    "Native American",
    "Negerpunk",
    "New Age",
    "New Wave",
    "Noise",
    "Oldies",
    "Opera",
    "Other",
    "Polka",
    "Polsk Punk",
    "Pop",
    "Pop/Funk",
    "Pop-Folk",
    "Porn Groove",
    "Power Ballad",
    "Pranks",
    "Primus",
    "Progressive Rock",
    "Psychedelic",
    "Psychedelic Rock",
    "Punk",
    "Punk Rock",
    "R&B",
    "Rap",
    "Rave",
    "Reggae",
    "Retro",
    "Revival",
    "Rhythmic Soul",
    "Rock",
    "Rock & Roll",
    "Salsa",
    "Samba",
    "Satire",
    "Showtunes",
    "Ska",
    "Slow Jam",
    "Slow Rock",
    "Sonata",
    "Soul",
    "Sound Clip",
    "Soundtrack",
    "Southern Rock",
    "Space",
    "Speech",
    "Swing",
    "Symphonic Rock",
    "Symphony",
    "Synthpop",
    "Tango",
    "Techno",
    "Techno-Industrial",
    "Terror",
    "Thrash Metal",
    "Top 40",
    "Trailer",
    "Trance",
    "Tribal",
    "Trip-Hop",
    "Vocal",
};

namespace {

// ID3v1 code of each list entry from index 1 on.
constexpr std::array<std::uint8_t, kGenreCount - 1> kCodeOfIndex = {
    123, 34, 74, 73, 99, 40, 20, 26, 145, 90, 116, 41, 135, 85, 96, 138, 89, 0, 107, 132, 65,
    88, 104, 102, 97, 136, 61, 141, 1, 32, 112, 128, 57, 140, 2, 139, 58, 3, 125, 50, 22, 4,
    55, 127, 122, 120, 98, 52, 48, 54, 124, 25, 84, 80, 81, 115, 119, 5, 30, 36, 59, 126, 38,
    49, 91, 6, 79, 129, 137, 7, 35, 100, 131, 19, 33, 46, 47, 8, 29, 146, 63, 86, 71, 45, 142,
    9, 77, 82, 64, 133, 10, 66, 39, 11, 103, 12, 75, 134, 13, 62, 53, 109, 117, 23, 108, 92,
    67, 93, 43, 121, 14, 15, 68, 16, 76, 87, 118, 17, 78, 143, 114, 110, 69, 21, 111, 95, 105,
    42, 37, 24, 56, 44, 101, 83, 94, 106, 147, 113, 18, 51, 130, 144, 60, 70, 31, 72, 27, 28};

}  // namespace

std::uint8_t GenreIndexToCode(std::uint8_t index)
{
    if (index == 0 || index >= kGenreCount)
        return kNoGenre;
    return kCodeOfIndex[index - 1];
}

std::uint8_t GenreCodeToIndex(std::uint8_t code)
{
    for (std::size_t i = 0; i < kCodeOfIndex.size(); ++i)
        if (kCodeOfIndex[i] == code)
            return static_cast<std::uint8_t>(i + 1);
    return 0;
}

}  // namespace id3

namespace {

constexpr std::size_t kTagSize = 128;
constexpr std::size_t kTextWidth = 30;
constexpr std::size_t kYearWidth = 4;
constexpr std::size_t kV11CommentWidth = 28;

// The layout of the 128 bytes: offsets of the fields.
constexpr std::size_t kTitleAt = 3, kArtistAt = 33, kAlbumAt = 63, kYearAt = 93, kCommentAt = 97;
constexpr std::size_t kV11ZeroAt = 125, kTrackAt = 126, kGenreAt = 127;

// A stored field: drops trailing blanks, NULs and 0xFF bytes, keeps inner ones, decodes CP932.
std::string readField(const std::string& tag, std::size_t at, std::size_t width)
{
    std::string_view raw(tag.data() + at, width);
    std::size_t end = raw.find_last_not_of(std::string_view(" \0\xFF", 3));
    return cp932::toUtf8(end == std::string_view::npos ? std::string_view() : raw.substr(0, end + 1));
}

// A field for the disk: CP932 ("?" for what CP932 cannot hold), NUL-padded to its width.
std::string fieldBytes(std::string_view utf8, std::size_t width)
{
    std::string bytes = cp932::encodeLossy(cp932::cutToBytes(utf8, width));
    bytes.resize(width, '\0');
    return bytes;
}

}  // namespace

void Tid3tag::SetTitle(std::string_view text) { title_ = cp932::cutToBytes(text, kTextWidth); }
void Tid3tag::SetArtist(std::string_view text) { artist_ = cp932::cutToBytes(text, kTextWidth); }
void Tid3tag::SetAlbum(std::string_view text) { album_ = cp932::cutToBytes(text, kTextWidth); }
void Tid3tag::SetYear(std::string_view text) { year_ = cp932::cutToBytes(text, kYearWidth); }
void Tid3tag::SetComment(std::string_view text) { comment_ = cp932::cutToBytes(text, kTextWidth); }

void Tid3tag::SetTrack(std::uint8_t track)
{
    track_ = track;
    IsV11 = track != 0;
}

std::uint16_t Tid3tag::LoadFromFile(const std::string& fileName)
{
    // Nothing of a previous file may survive a load, whatever its outcome.
    title_.clear();
    artist_.clear();
    album_.clear();
    year_.clear();
    comment_.clear();
    track_ = 0;
    IsV11 = false;
    Genre = id3::kNoGenre;
    return load(fileName);
}

std::uint16_t Tid3tag::load(const std::string& fileName)
{
    // The audio information of the same file is usually read next: it takes this open over.
    tags::RecentFd fd(fileName);
    if (!fd.valid())
        return id3file::kOpenFailed;
    const struct stat& st = fd.status();
    ReadOnly = id3file::isReadOnly(st);
    FileName = fileName;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size < kTagSize)
        return id3::kNoTag;
    std::string tag;
    if (!safefile::readAt(fd.get(), size - kTagSize, kTagSize, tag))
        return id3file::kReadFailed;
    if (tag.compare(0, 3, "TAG") != 0)
        return id3::kNoTag;

    title_ = readField(tag, kTitleAt, kTextWidth);
    artist_ = readField(tag, kArtistAt, kTextWidth);
    album_ = readField(tag, kAlbumAt, kTextWidth);
    year_ = readField(tag, kYearAt, kYearWidth);
    IsV11 = tag[kV11ZeroAt] == 0 && tag[kTrackAt] != 0;
    track_ = IsV11 ? static_cast<std::uint8_t>(tag[kTrackAt]) : 0;
    comment_ = readField(tag, kCommentAt, IsV11 ? kV11CommentWidth : kTextWidth);
    Genre = static_cast<std::uint8_t>(tag[kGenreAt]);
    return Genre >= id3::kGenreCount - 1 && Genre != id3::kNoGenre ? id3::kGenreUnknownBit : 0;
}

std::string Tid3tag::TagBytes()
{
    std::string tag = "TAG";
    tag += fieldBytes(title_, kTextWidth);
    tag += fieldBytes(artist_, kTextWidth);
    tag += fieldBytes(album_, kTextWidth);
    tag += fieldBytes(year_, kYearWidth);
    if (!IsV11 || track_ == 0) {
        tag += fieldBytes(comment_, kTextWidth);
    } else {
        // The comment loses its last two bytes to the track; the object keeps the cut text.
        comment_ = cp932::cutToBytes(comment_, kV11CommentWidth);
        tag += fieldBytes(comment_, kV11CommentWidth);
        tag += '\0';
        tag += static_cast<char>(track_);
    }
    tag += static_cast<char>(Genre);
    return tag;
}

std::uint16_t Tid3tag::SaveToFile(const std::string& fileName)
{
    const std::string name = fileName == "=" ? FileName : fileName;
    if (!id3file::isRegularFile(name))
        return id3file::kOpenFailed;
    if (id3file::isReadOnly(name))
        return id3file::kReadOnlyFile;
    id3file::Fd fd = id3file::openForWriting(name);
    if (!fd.valid())
        return id3file::kOpenFailed;
    auto size = id3file::fileSize(fd.get());
    if (!size)
        return id3file::kReadFailed;

    std::uint64_t place = *size;
    if (*size >= kTagSize) {
        std::string old;
        if (!safefile::readAt(fd.get(), *size - kTagSize, kTagSize, old))
            return id3file::kReadFailed;
        if (old.compare(0, 3, "TAG") == 0)
            place = *size - kTagSize;
    }
    const std::string tag = TagBytes();
    bool ok = safefile::writeAt(fd.get(), place, tag) && safefile::flushInPlace(fd.get());
    if (!ok) {
        // An append that failed half-way must not leave a torn tag behind the audio.
        if (place == *size && ::ftruncate(fd.get(), static_cast<off_t>(*size)) != 0) {
            // Nothing more can be done; the failure is reported either way.
        }
        return id3file::kWriteFailed;
    }
    FileName = name;
    return 0;
}
