// What the designer offers to choose from, gathered from the playlist's files and the music
// folder: album and artist names (for the titles), photo names and the photos' thumbnails.
//
// Building reads every playlist file's tag through the process-wide tag record and lets
// events run while it lists the folder; the caller guards against running it twice at once.
// UI thread only.
#pragma once

#include "util/MainWindowHost.h"

#include <string>
#include <vector>

namespace forms {
class TImageList;
}

namespace cdlabel {

constexpr int ThumbSide = 64;  // the photo list's pictures

struct TDesignLists {
    std::vector<std::string> Albums, Artists;  // trimmed, each once, none empty
    // The tags' photo names (each once), then the folder's .jpg names: a .jpg that a tag
    // also names is offered twice.
    std::vector<std::string> PhotoNames;
    // Full paths of the photos the list shows, one per thumbnail, in the list's order: the
    // names whose files exist in the music folder and can be read as pictures.
    std::vector<std::string> PhotoFiles;
};

// Fills Lists from the rows' tags and MusicFolder's "*.jpg" files; Thumbs gets a
// ThumbSide-square thumbnail per entry of PhotoFiles. A tag's photo name that is not a bare
// file name is ignored, as every other reader of it does.
void BuildDesignLists(const std::vector<TPlaylistRow>& Rows, const std::string& MusicFolder,
                      TDesignLists& Lists, forms::TImageList& Thumbs);

// Adds Name to List when it is neither empty nor there yet.
void AddUnique(std::vector<std::string>& List, const std::string& Name);

}  // namespace cdlabel
