// Folders of short MP3s for the main window's tests: one tone encoded by lame, copied under
// each song's file name and tagged by our own tag writer.
#pragma once

#include "support/TestSupport.h"

#include <string>
#include <vector>

struct TaggedSong {
    std::string file, title, artist, album, year, genre, track;
};

// Writes Songs into Folder (which must exist); a song with no texts at all gets no tag.
// The tag objects must be set up.
void writeTaggedSongs(const std::string& Folder, const std::vector<TaggedSong>& Songs);
