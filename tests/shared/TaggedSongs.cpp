#include "TaggedSongs.h"

#include "support/AudioFixtures.h"
#include "tags/libID3Tag.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;

namespace {

// The encoded tone, made once per test program.
const std::string& toneMp3()
{
    static TempDir dir;
    static const std::string path = makeMp3(dir, "tone.mp3", 8000, 1, 0.2, {"-b", "32"});
    return path;
}

}  // namespace

void writeTaggedSongs(const std::string& Folder, const std::vector<TaggedSong>& Songs)
{
    for (const TaggedSong& s : Songs) {
        const std::string path = Folder + "/" + s.file;
        std::filesystem::copy_file(toneMp3(), path, std::filesystem::copy_options::overwrite_existing);
        if (s.title.empty() && s.artist.empty() && s.album.empty() && s.year.empty() &&
            s.genre.empty() && s.track.empty())
            continue;   // a song without any tag
        ClearTag();
        CurrentTag.Title = s.title;
        CurrentTag.Artist = s.artist;
        CurrentTag.Album = s.album;
        CurrentTag.Year = s.year;
        CurrentTag.Genre = s.genre;
        CurrentTag.Track = s.track;
        EXPECT_TRUE(WriteTag(path)) << path;
    }
}
