// The main window's side of the music library (app/libMusic.h): the library borrows the
// window's trees, lists and panels and calls back into the window for the shuffle state,
// the column fitting and the lyrics panel; the category tree's selection and the update
// commands hand their work to it.
#include "app/MainForm.h"

#include <QAction>

#include "app/Globals.h"

void TfrmMain::SetupLibrary()
{
    Library.trrGenre = trrGenre;
    Library.lstMP3 = lstMP3;
    Library.lstFile = lstFile;
    Library.pnlFile = pnlFile;
    Library.pnlSplash = pnlSplash;
    Library.spdAllCopy = spdAllCopy;
    Library.ShuffleChecked = [this] { return chkShuffle->Checked(); };
    Library.ShufflePlaylist = [this] { do_ShuffleClick(); };
    Library.FitListColumns = [this](TSortListView* ListView) { FitListColumns(ListView); };
    Library.UpdateLyricsAndMeter = [this] {
        if (DxSound)
            DxSound->UpdateLyricsAndMeter(true);
    };

    // The window has no node images of its own: the trees draw their texts only.
    for (QTreeWidget* tree : {trrFile, trrGenre, trrFavorite})
        SetupTreeDrawing(tree);
    Handlers.Connect(trrGenre, &QTreeWidget::currentItemChanged, this,
            [this] { forms::RunGuarded([this] { trrGenreChange(); }); });
    for (QAction* update : {do_Update, do_Update1})
        Handlers.Connect(update, &QAction::triggered, this,
                [this] { forms::RunGuarded([this] { do_UpdateClick(); }); });
}

void TfrmMain::trrGenreChange()
{
    ::trrGenreChange(Library);
}

// Scans the current folder afresh and reads the playlist's tags again.
void TfrmMain::do_UpdateClick()
{
    if (!do_Update->isEnabled())
        return;
    LoadMusicFolder(Library, ::Mp3Path);
    RefreshListTags(Library, lstFile);
}
