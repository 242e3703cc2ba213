// The main window as the windows below it (CD player, CDDB, ripper, recorder, mixer, label
// designer) see it: the window they centre over, the selected rows of its two lists, the
// playlist's rows, and the playback engine held off a file while a window rewrites its tag.
// Those windows live in libraries that may not reach the main window's own, so they go
// through this.
//
// The main window implements it and registers itself for its life; tests register a
// recording one. Without a registered host the windows centre nowhere and find no rows.
// User-interface thread only.
#pragma once

#include <array>
#include <string>
#include <vector>

class QWidget;

struct TPlaylistRow {
    std::string Title;  // sub-item 1
    std::string Path;   // sub-item 7, the full file path
};

class TMainWindowHost {
public:
    virtual ~TMainWindowHost() = default;

    // The window to centre over; null for none.
    virtual QWidget* MainWindow() const = 0;

    // Sub-items 1..6 (title, artist, album, year, genre, track) of the selected row of the
    // music list (List 1) or the playlist (List 2); the list shows them at once. Nothing
    // without a selected row or for another List.
    virtual void SetListSelectedTexts(int List, const std::array<std::string, 6>& Texts) = 0;

    // The playlist's rows in their order.
    virtual std::vector<TPlaylistRow> PlaylistRows() const = 0;

    // Before a tag write to FileName: when the engine has that file open, it lets go of it
    // and true comes back; ResumeAfterTagWrite then opens it again where and as it was
    // (playing, paused or stopped). Any other file: false, and nothing happens.
    virtual bool HoldForTagWrite(const std::string& FileName) = 0;
    virtual void ResumeAfterTagWrite() = 0;
};

// The registered host (null when none).
TMainWindowHost* MainWindowHost();
// Registers Host (null unregisters); the previous one is forgotten.
void RegisterMainWindowHost(TMainWindowHost* Host);
// Centres Window over the registered host's main window (nothing without one).
void CentreOverMainWindow(QWidget* Window);
// Centres Window over Owner, frames included (nothing without an owner).
void CentreOver(QWidget* Window, const QWidget* Owner);
