// The main window as the tag dialogs see it: the playback engine's file and state, the position
// gauge, the selected rows of the two list views, the title display, the current music folder,
// the message box, the directory monitor and the window to centre over. The tag dialogs live
// below the main window and the engine, so they reach both only through this.
//
// The main window implements it; a dialog holds it by reference for its own (modal) life and
// owns nothing of it. Every call comes on the user-interface thread.
#pragma once

#include <array>
#include <string>

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
