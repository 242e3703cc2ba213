// The main window as the tag dialogs see it: the playback engine's file and state, the position
// gauge, the selected rows of the two list views, the rows of the music list and the
// category tree's classification (for the bulk change), the title display, the current music folder,
// the message box, the directory monitor and the window to centre over. The tag dialogs live
// below the main window and the engine, so they reach both only through this.
//
// The main window implements it; a dialog holds it by reference for its own (modal) life and
// owns nothing of it. Every call comes on the user-interface thread.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

class QWidget;

class TTagDialogHost {
public:
    virtual ~TTagDialogHost() = default;

    // ---- the playback engine ----
    // The open file's path ("" when none) and "play", "pause" or "stop".
    virtual std::string EngineFileName() const = 0;
    virtual std::string EnginePlayStatus() const = 0;
    // The position gauge, 0..100.
    virtual int Gauge1Percent() const = 0;
    virtual void EngineCloseFile() = 0;
    // Opens Path again and gives the engine back Status ("play", "pause", "stop") at Percent.
    virtual void EngineReopen(const std::string& Path, int Percent, const std::string& Status) = 0;

    // ---- the list views: 1 the music list, 2 the playlist (other numbers: no list) ----
    // Whether the list has a selected row, and its sub-item 1..6 (title, artist, album, year,
    // genre, track); "" without one.
    virtual bool ListHasSelection(int List) const = 0;
    virtual std::string ListSelectedText(int List, int SubItem) const = 0;
    // Sub-items 1..6 of the selected row; the list shows them at once. Nothing without a row.
    virtual void SetListSelectedTexts(int List, const std::array<std::string, 6>& Texts) = 0;

    // ---- the music list's rows by index, for the bulk change ----
    // The text of the category tree's selected node's top-level ancestor ("Year", "Genre",
    // "Artist", "Album", ...; "" without a selected node).
    virtual std::string CategoryRootText() const = 0;
    // The music list's selected rows in list order: each row's index and full path.
    virtual std::vector<std::pair<int, std::string>> MusicListSelection() const = 0;
    // The full path of the music list's row Index; "" when there is no such row.
    virtual std::string MusicListRowPath(int Index) const = 0;
    // Sets sub-item SubItem (2 artist, 3 album, 4 year, 5 genre) of the music list's row Index.
    virtual void SetMusicListRowText(int Index, int SubItem, const std::string& Text) = 0;
    // Shows the music list's rows again after they changed.
    virtual void RefreshMusicList() = 0;

    // ---- the title display ----
    virtual std::string LblMusicCaption() const = 0;
    virtual void SetLblMusicCaption(const std::string& Text) = 0;

    // The current music folder (no trailing separator); photos of tags live there.
    virtual std::string Mp3Path() const = 0;

    // The program's message box: 6 yes, 7 no, 2 cancel.
    virtual int MsgBoxEx(QWidget* Owner, const std::string& Caption, const std::string& Text,
                         int DefaultButton, const std::string& Buttons, const std::string& Icon) = 0;

    // The directory monitor off (a tag writer's rename would look like a new file) and on.
    virtual void SetDirMonActive(bool On) = 0;

    // The window the dialogs centre over; null for none.
    virtual QWidget* MainWindow() const = 0;
};
