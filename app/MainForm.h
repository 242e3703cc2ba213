// `TfrmMain`, the program's main window: the top bar with the music folder, the tree column
// (music folders, categories, favourites), the music list, the playlist with its bar, the
// player block (visual panes, meter panel, transport, effects, frequency, CPU graph), the
// lyrics panel and the transient panels (updating, converting, burning, effect overlay).
//
// This unit owns the window's life: creation (settings read, tag objects), first showing
// (list columns, size), the deferred load once the window is visible, the close query
// (questions, bounds and options saved, engine and folder list released) and destruction;
// and the layout rules applied on every resize. The window is the playback engine's display
// (sound::TDxSoundDisplay) and the visualiser's pair of panes (TVisualPanes); it owns the
// engine from creation to the close query. Every control and menu item of the window exists
// here; most command handlers come with the units of their commands.
//
// A handler that lets events run (the deferred load, the close query) marks the window busy;
// a close asked for meanwhile is answered once that handler has finished, so nothing it uses
// is released under it.
//
// UI thread only.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QPointer>
#include <QFrame>
#include <QLabel>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTreeWidget>

#include "app/CpuUsage.h"
#include "app/SortListView.h"
#include "app/libMusic.h"
#include "visual/DXDraw.h"
#include "visual/DistractBar.h"
#include "controls/alpha/AlphaCtl.h"
#include "controls/clock/ClockLbl.h"
#include "controls/display/AnalogMeter.h"
#include "controls/display/CoolGauge.h"
#include "controls/display/LED.h"
#include "controls/display/Lcd99.h"
#include "controls/display/LightStr.h"
#include "controls/flat/TFlatCheckBoxUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/gradient/RbProgressBar.h"
#include "controls/hint/NewHint.h"
#include "controls/xi/XiButton.h"
#include "controls/xi/XiTrackBar.h"
#include "platform/forms/Application.h"
#include "platform/forms/Control.h"
#include "platform/forms/Form.h"
#include "platform/forms/Timer.h"
#include "sound/DxSound.h"
#include "sound/DxSoundDisplay.h"
#include "tags/forms/TagDialogHost.h"
#include "tags/libMP3Header.h"
#include "visual/forms/EffectForm.h"
#include "visual/EngineVisual.h"

class EIniFileError;

class QAction;
class QUrl;
class QMenu;
class TDirMon;
class TFileDrop;
class QDrag;
class TDropFileTarget;
class TDropFileSource;
class TfrmSplash;
class TDirDialog;
class TMainWindowHost;
namespace cd {
class TLameCoder;
}

class TfrmMain : public forms::TForm, public sound::TDxSoundDisplay, public TVisualPanes,
                 public visual::TEffectHost {
public:
    // The engine plays through Mixer (the application's one, when none is given); its
    // channel's refill thread keeps the time of Ticks (the system's, when none is given).
    explicit TfrmMain(sound::TcbDSMixer* Mixer = nullptr, QWidget* parent = nullptr,
                      snd::TickSource* Ticks = nullptr);
    ~TfrmMain() override;

    // --- Layout rules (public for the tests)
    void LayoutToolButtons();
    void LayoutTreeSections();
    void FitListColumns(TSortListView* ListView);
    void ShowFolderLabel(const std::string& Path);
    // The rows a list shows on one page without scrolling.
    static int PageRows(const TSortListView* ListView);
    // 1 for the list columns whose sort renumbers the "No." column (Title .. Track), else 0.
    static int ColumnTag(int Column);

    // The questions of the close query and of the later list commands: the program's
    // message box (owner, caption, text, default button, button set, icon), 6 yes, 7 no,
    // 2 cancel. Tests answer through here.
    TMsgBoxFn MsgBoxEx;
    // Opens a web page in the desktop's browser; false when none could be started. Tests
    // put a refusing one in its place.
    std::function<bool(const QUrl&)> OpenAddress;

    // Menu commands of the window's own.
    void do_MinimizeClick();
    void do_FormInit1Click();
    void do_CloseClick();
    // The web items of the main menu (N24 the manual, the others the home page).
    void OpenWebPage(const QAction* Item, const std::string& Address);
    void cpl01Click();
    void spdMainMenuClick();
    void PopupMenu4Popup();
    // The visual-mode menu: an item chooses the mode of its Tag (its data), the last one
    // switches the drawing surfaces on or off.
    void do_Effect00Click(QAction* Sender);
    void do_Effect999Click();
    void PopupMenu5Popup();
    // barLeft and barRight: the visual-mode menu at the mouse for any button but the left.
    void barLeftMouseDown(forms::TMouseButton Button, QPoint GlobalPos);

    // State of the window (unit-level values in the design).
    bool Maximized = false;
    int NormalTop = 0, NormalLeft = 0, NormalWidth = 0, NormalHeight = 0;
    QPoint DragStartPoint{-1, -1};
    bool FavoriteModified = false;   // the open favourite differs from the stored one
    bool Loaded() const { return loadDone_; }

    // The playback engine, from creation to the close query (null outside that time).
    std::unique_ptr<sound::TDxSound> DxSound;
    void SetDirectXMode(bool UseDirectX);

    // --- Playing from the lists (MainFormPlay.cpp)
    // The row a single click proposed while nothing played; the play button opens it once.
    std::string PendingFile;
    // Set once the proposal was opened or a list play started; the row-deleting commands
    // clear it to allow a new proposal.
    bool PendingFileOpened = false;
    void PlaySelected(TSortListView* List);
    void OpenAndPlay(const std::string& Path);
    void ShowTrackTitle(TSortListView* ListView, int Index);
    void FocusActiveList();
    void lstFileDblClick();
    void lstMP3DblClick();
    void lstFileChange();
    void lstMP3Change();
    void spdPlayListClick();
    void sbPlayClick();
    void sbStopClick();
    void sbPauseClick();
    void spdCdClick();   // also do_CdPlayerClick
    void spdVolumeClick();   // also do_VolumeClick
    void spdVoiceClick();  // also do_RecoderClick
    void Gauge1MouseDown(forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
    void Gauge1MouseMove(forms::TShiftState Shift, int X, int Y);
    void sbBackMouseDown(QObject* Sender);
    void sbBackMouseUp(QObject* Sender);
    void timRFTimer();
    void timFFTimer();
    void do_ShuffleClick();
    void do_AutoShuffle1Click();
    void trackFrequencyChange();
    void lblScaleDblClick();
    // Key preview: every key pressed anywhere in the window passes here first.
    void FormKeyDown(int& Key, forms::TShiftState Shift);
    void chkEchoClick();
    void chkReverbClick();
    void ckkChorusClick();
    void chkFlangerClick();
    void chkEchoKeyDown();
    void timPlayTimer();
    void timListTimer();

    // --- Music folders and the folder tree (MainFormFolders.cpp)
    // The registered folders ([MUSIC_FOLDER]) are kept apart from MusicFolders, the ones
    // that exist now and show in trrFile: a folder on a disk that is not mounted stays
    // registered. CurrentFolderIndex is the index in MusicFolders (the tree's children) of
    // the folder last made current by the tree, -1 for none.
    std::vector<std::string> RegisteredFolders;
    int CurrentFolderIndex = -1;
    // Set while a tree is rebuilt or changed by code: the selection handlers of the folder
    // and favourite trees do nothing meanwhile.
    bool TreeUpdating = false;
    void BuildMusicFolderTree(const std::string& NewFolder);
    void SelectMusicFolder();
    void trrFileChange();
    void do_AddMusicDirClick();
    void do_DeleteDirClick();
    void PopupMenu6Popup();
    void DirDialog1ShowDialog(QPoint& Pt);
    // Points the directory monitor at Path, or stops it when Path is empty or no folder.
    void WatchMusicFolder(const std::string& Path);
    // The monitor's events; names are relative to the watched folder.
    void DirMon1Created(const std::string& FileName);
    void DirMon1Deleted(const std::string& FileName);
    void DirMon1Renamed(const std::string& FromFileName, const std::string& ToFileName);
    void DirMon1Overflow();
    void DirMon1Error(const std::string& Message);
    // Turns the monitor on again after a command that wrote into the folder with it off; a
    // folder that can no longer be watched is logged.
    void ResumeWatching();

    // --- Files dropped on the window and imported (MainFormImport.cpp)
    // Set while playlist rows are dragged out as files: a drop back onto the window plays.
    bool DraggingOut = false;
    TFileDrop* FileDrop1;
    // Files dropped on the playlist: imported as anywhere on the window, always as copies.
    TDropFileTarget* DropFileTarget1;
    void FileDrop1FileDrop(const std::vector<std::string>& Files);
    // Copies Files (when CopyFirst) into the current music folder and lists those that match
    // the category chosen in trrGenre; a path the music list has already gets no second row.
    void ImportFiles(const std::vector<std::string>& Files, bool CopyFirst);
    // Rows of lstMP3 dragged inside the window: onto the playlist (copied there), onto a
    // favourite (stored in it) or anywhere else on the window (played). The drag carries
    // the source list's name under RowDragMime.
    // Playlist rows dragged out of the window as files (8 pixels with one button held).
    TDropFileSource* DropSource1;
    static constexpr const char* RowDragMime = "application/x-tambourelle-rows";
    bool DragArmed = false;
    // Runs a drag and returns its result; tests put a synthetic drop in its place.
    std::function<Qt::DropAction(QDrag* Drag)> RunDrag;
    void lstFileDragDrop(TSortListView* Source);
    void DragPlaylistOut();
    void trrGenreDragDrop(TSortListView* Source, QPoint At);
    // A music-list row for the file at Path from its tag, at Index (appended when negative).
    void InsertFileRow(const std::string& Path, int Index);

    // Routines of the list commands that come with their own units. Until those are part
    // of the window, each hook is empty and its call does nothing; each is wired with one
    // assignment in the constructor once its routine is there.
    // ImportFiles(Self, Files, CopyFirst): list the files that match the chosen category.
    std::function<void(const std::vector<std::string>& Files, bool CopyFirst)> ImportFilesHook;
    // RemovePathFromList(Self, ListView, Path): drop the row of Path and refit the columns.
    std::function<void(TSortListView* ListView, const std::string& Path)> RemovePathFromListHook;

    // --- Top bar
    QFrame* pnlMp3Menu;
    QLabel* lblMusicFolder;
    QLabel* lblFolder;
    controls::TXiButton* spdMainMenu;
    controls::TXiButton* spdDetails;
    controls::TXiButton* spdEffect;

    // --- Tree column and music list
    QFrame* pnlFile;
    QFrame* pnlMusic;
    QFrame* pnlMp3;
    QFrame* pnlTrr;
    QFrame* cpl00;
    QFrame* cpl01;   // caption of the folder section; Tag 1 open, 0 folded
    int cpl01Tag = 1;
    QLabel* lbl00;
    QTreeWidget* trrFile;
    QFrame* cpl10;
    QLabel* lbl10;
    QTreeWidget* trrGenre;
    QFrame* cpl20;
    QLabel* lbl20;
    QTreeWidget* trrFavorite;
    TSortListView* lstMP3;
    QFrame* pnlSplash;
    controls::TAlphaLabel* AlphaLabel2;
    controls::TAppHint* AppHint1;  // the balloon hints of every window
    QFrame* pnlCnvMp3;
    QLabel* lblMP3;
    controls::TCoolGauge* GaugeMP3;
    QFrame* pnlEffect;
    forms::TPaintBox* pbxEffect;

    // --- Playlist
    QFrame* pnlList;
    QFrame* pnlListMenu;
    QLabel* lblPlay;
    QLabel* lblFavorite0;
    QLabel* lblFavorite;
    controls::TXiButton* spdCopyList;
    controls::TXiButton* spdAllCopy;
    controls::TXiButton* spdPlayList;
    controls::TXiButton* spdFvUpdate;
    controls::TXiButton* spdFavorite;
    controls::TFlatCheckBox* chkRepeart;
    controls::TFlatCheckBox* chkShuffle;
    TSortListView* lstFile;
    QFrame* pnlLyrics;
    visual::TDXDraw* pbxLyrics;
    QFrame* pnlBurnCD;
    controls::TAlphaLabel* AlphaLabel1;

    // --- Player block
    QFrame* pnlPlayer;
    QFrame* pnlOsillo1;
    QFrame* pnlOsillo2;
    visual::TDXDraw* dxdLeft;    // drawing surfaces of the visual panes
    visual::TDXDraw* dxdRight;
    visual::TDXImageList* dxdImage;          // pictures drawn on the panes, bound to dxdRight
    visual::TDXSpriteEngine* DXSpriteEngine1;  // the star field's sprites
    forms::TPaintBox* pbxLeft;
    forms::TPaintBox* pbxRight;
    // Captions the visual painter draws over the panes (never shown as widgets).
    QLabel* lblLeft;
    QLabel* lblRight;
    QLabel* lblMusic;
    QLabel* lblDuration;
    controls::TClockLabel* lblClock;  // drawn by the visualiser, never shown itself
    controls::TRbProgressBar* barLeft;
    controls::TRbProgressBar* barRight;
    controls::TRbProgressBar* Gauge1;
    controls::TRbButton* sbBack;
    controls::TRbButton* sbPlay;
    controls::TRbButton* sbPause;
    controls::TRbButton* sbStop;
    controls::TRbButton* sbStep;
    controls::TRbButton* spdCd;
    controls::TRbButton* spdVoice;
    controls::TRbButton* spdVolume;
    controls::TFlatCheckBox* chkEcho;
    controls::TFlatCheckBox* chkReverb;
    controls::TFlatCheckBox* ckkChorus;
    controls::TFlatCheckBox* chkFlanger;
    QLabel* lblScale;
    controls::TXiTrackBar* trackFrequency;

    // Meter panel (over the right pane in the dashboard mode).
    QFrame* pnlMeter;
    controls::TLED* LED1;
    controls::TLED* LED2;
    controls::TLED* LED3;
    QLabel* LCD1;   // the round lamp
    controls::TAnalogMeter* mtrLeft;
    controls::TAnalogMeter* mtrRight;
    controls::TAnalogMeter* mtrBalanse;
    controls::TLCD99* lcdMeter;
    QLabel* lblMK0;
    visual::TDistractBar* dbrMeter;   // the segment-bar meter
    controls::TLightStr* msgOstrel;
    std::array<QLabel*, 8> lblM0{};   // lblM0P, lblM0R, lblM0N, lblM01 .. lblM05

    QLabel* lblLogo;   // the program's name on the player's free face

    // CPU panel.
    QFrame* pnlCPU;
    QLabel* lblCPU;
    controls::TRbProgressBar* Gauge2;
    forms::TPaintBox* pbxCPU;

    // --- Music library: the current folder's music database (Library.sgdMusic), the
    // category tree and the music list's filling, with the controls it borrows from here.
    TMusicLibrary Library;
    void trrGenreChange();
    void do_UpdateClick();

    // --- Timers
    forms::TTimer timDxTimer, timPlay, timList, timRF, timFF, timLyrics1, timLyrics2, timFrom,
        timCPU, timCD1, timCD2, timCD3;

    // --- CPU graph (MainFormVisual.cpp): the load history, one slot per tick in tenths, the
    // newest at the right end.
    std::unique_ptr<TCpuUsage> CpuUsage1;
    std::array<int, 44> CpuSlots{};
    void timCPUTimer();
    void pbxCPUPaint();
    // The colour of a load in percent on the label and the bar.
    static forms::TColor CpuLoadColor(int Percent);

    // --- Effect overlay (MainFormVisual.cpp): the overlay window, made by the program after
    // the window (none in most tests); spdEffect.Tag is 1 while it is shown.
    visual::TfrmEffect* frmEffect = nullptr;
    void spdEffectClick();   // also the main menu's do_Effect
    void pnlEffectResize();
    void timFromTimer();
    void pbxEffectMouseDown();
    // Closes the overlay when it is shown, before the engine it draws from goes.
    void CloseEffectOverlay();

    // --- Lyrics panel (MainFormVisual.cpp): what was drawn last, so that a tick redraws only
    // after a change.
    QSize EffectSizeSeen;   // pnlEffect's size at timFrom's previous tick
    bool LyricsRedraw = true;   // nothing drawn since the panel was last seen hidden
    std::string LastLyricsTitle;
    int LastLyricsWidth = 0;
    void timLyrics1Timer();
    void timLyrics2Timer();
    void pnlLyricsMouseDown();
    void DrawLyricsPanel();
    // The size the lyrics picture (PictureWidth x PictureHeight) is drawn at on a panel of
    // PanelWidth x PanelHeight; empty when there is nothing to draw.
    static QSize LyricsPictureSize(int PanelWidth, int PanelHeight, int PictureWidth,
                                   int PictureHeight);

    // --- Components
    TDirMon* DirMon1;
    TDirDialog* DirDialog1;

    // --- Menus
    QMenu* PopupMenu2;   // music list
    QMenu* PopupMenu3;   // playlist
    QMenu* PopupMenu4;   // main menu
    QMenu* PopupMenu5;   // visual modes
    QMenu* PopupMenu6;   // folder tree
    QMenu* PopupMenu7;   // favourite tree

    // Main menu.
    QAction *do_Folder, *do_AddFavorite1, *do_Update1, *do_CopyList2, *do_BurnCD2,
        *do_AutoShuffle1, *do_SameMusic, *do_Volume, *do_CdPlayer, *do_Recoder, *do_Effect,
        *do_Minimize, *do_FormInit, *N24, *do_HTTP, *N3, *N21, *N22, *do_Close;
    // Music list.
    QAction *do_Play1, *do_CopyAll, *do_AllSelect, *do_Details1, *do_EditTag1, *do_ModifyTag,
        *do_UpdateTag1, *do_CDDB_MP3_1, *do_CDDB_INF_1, *do_ConvMp3, *do_ConvWav, *do_Update,
        *do_DelTitle;
    // Playlist.
    QAction *do_Play2, *do_ListPlay, *do_Shuffle, *do_AutoShuffle2, *do_MoveUp, *do_MoveDown,
        *do_AllList, *do_Details2, *do_EditTag2, *do_UpdateTag2, *do_CDDB_MP3_2,
        *do_CDDB_INF_2, *do_NewPlayList, *do_Favorite2, *do_FavUpdate, *do_CopyList1,
        *do_BurnCD1, *do_Print, *do_DelList, *do_DelListAll;
    // Visual modes: do_Effect00 .. do_Effect30, then do_Effect99; and the DirectX switch.
    std::array<QAction*, 32> do_EffectMode{};
    QAction* do_Effect999;
    // Folder tree and favourite tree.
    QAction *do_AddMusicDir, *do_DeleteDir, *do_AddFavorite, *do_DelFavorite;

    // --- The splash (app/xSplash.h): it registers itself here when made; the window shows
    // it, keeps it over the music list and tells it when loading is done.
    QPointer<TfrmSplash> frmSplash;
    bool SplashShown = false;   // set when the splash first shows; never cleared
    // The engine's visual resources (the splash turns its logo with them); none without one.
    TVisualResources* VisualResources() const;

    // --- Playlist export and CD burning (MainFormExport.cpp)
    // Copies the playlist's files, with the photos their tags name (read-only), into a
    // folder the user picks; files that could not be copied are named in one message.
    void do_CopyList1Click();
    // Stages the playlist's files in the program's CD folder (after asking for a drive with
    // a disc) and starts the desktop's burner with them; pnlBurnCD shows while it runs.
    void do_BurnCD1Click();
    void do_PrintClick();
    void timCD1Timer();   // hides pnlBurnCD once the burner has ended
    bool StageFilesForCd(bool& Cancelled);
    // 1 ready; else the answer to the question asked (6 retry, 2 cancel).
    int CheckCdReady();
    void ClearCdBurningFolder();
    // The CD drive (a device or an image); tests put an image here.
    std::function<std::string()> CdDrive;
    std::int64_t cdBurner_ = 0;   // the burner started last; 0 none

    // --- Music list and playlist commands (MainFormLists.cpp)
    void lstMP3SelectItem();
    void lstFileSelectItem();
    void lstMP3Insert();     // rows added to or removed from lstMP3
    void lstFileInsert();
    void lstFileDeletion();
    void lstMP3ColumnClick(int Column);
    void lstFileColumnClick(int Column);
    void lstMP3KeyDown(int Key);
    // Keys in the playlist; true when the key was used. Ctrl+Up and Ctrl+Down are taken on
    // key down and move the selected row on key up.
    bool lstFileKeyDown(int Key, Qt::KeyboardModifiers Modifiers);
    bool lstFileKeyUp(int Key, Qt::KeyboardModifiers Modifiers);
    void spdCopyListClick();
    void do_CopyAllClick();
    void do_AllSelectClick();
    void do_AllListClick();
    void do_DelTitleClick();
    void do_DelListClick();
    void do_DelListAllClick();
    void do_MoveUpClick();
    void do_MoveDownClick();
    void PopupMenu2Popup();
    void PopupMenu3Popup();
    void CopySelectionToPlaylist(bool All);
    // Removes the rows of Path (compared exactly: file names are case-sensitive here).
    void RemovePathFromList(TSortListView* ListView, const std::string& Path);
    void MovePlaylistItem(int Direction);   // 1 up, 2 down
    void SwapPlaylistRows(int From, int To);
    bool StopIfCurrent(const std::string& Path);
    // Whether Path is the engine's file (compared without regard to case).
    bool IsCurrentFile(const std::string& Path) const;
    // The full path a list row stands for (its last sub-item).
    static std::string RowPath(const QTreeWidgetItem* Row);
    std::vector<std::string> PlaylistPaths() const;

    // --- Tag commands (MainFormTags.cpp)
    // The window as the tag dialogs see it.
    TTagDialogHost& TagHost();
    // The window as the windows below it see it (registered from creation to destruction).
    TMainWindowHost& WindowHost();
    void do_EditTag1Click();
    void do_EditTag2Click();
    // The bulk tag change on the music list's selected rows.
    void do_ModifyTagClick();
    // The details view of the selected row of the list spdDetails.Tag names (1 music list,
    // else the playlist).
    void spdDetailsClick();
    // Opens the tag editor on the list's selected row (ListNo 1 music list, 2 playlist).
    void EditTagOfSelected(TSortListView* ListView, int ListNo);
    // The CDDB look-ups for the list's selected row: the tag window (ListNo as above) and the
    // album window.
    void do_CDDB_MP3_1Click();
    void do_CDDB_MP3_2Click();
    void do_CDDB_INF_1Click();
    void do_CDDB_INF_2Click();
    void CddbTagOfSelected(TSortListView* ListView, int ListNo);
    void CddbAlbumOfSelected(TSortListView* ListView);
    // Reads the tags of the music list's / the playlist's files again into their rows.
    void do_UpdateTag1Click();
    void do_UpdateTag2Click();

    // --- Conversion between WAV and MP3 (MainFormConvert.cpp)
    // The encoder of the WAV-to-MP3 conversion (default extension ".mp3").
    std::unique_ptr<cd::TLameCoder> LameCoder1;
    // The selected WAV of the music list to a new MP3 beside it, listed right below it; a WAV
    // that holds MPEG audio is refused. Refused while another conversion runs.
    void do_ConvMp3Click();
    // The selected MP3 of the music list wrapped into a new WAV beside it; the directory
    // monitor lists it.
    void do_ConvWavClick();
    void LameCoder1Progress(std::uint16_t Percent);
    // Encodes WavPath into a new MP3 beside it (MakeUniqueOutputName) that carries the WAV's
    // tag texts; OutPath receives its path. The window is disabled and pnlCnvMp3 shows the
    // progress meanwhile; the directory monitor is off. An encoder failure leaves no file and
    // is raised after the window is given back; a tag that cannot be written leaves the MP3
    // and is told.
    void EncodeToMp3(const std::string& WavPath, std::string& OutPath);
    // Path when no such file exists, else the first of "name(2).ext", "name(3).ext", ...
    static std::string MakeUniqueOutputName(const std::string& Path);
    // The MP3-to-WAV wrapping's two questions: the standard message dialogs (information with
    // OK; Yes/No/Cancel). Tests answer through here.
    TMp3WrapDialogs WrapDialogs;

    // --- Favourite tree and favourite commands (MainFormFavorites.cpp)
    void BuildFavoriteTree(const std::string& NewName);
    void trrFavoriteChange();
    void LoadFavorite();
    void SetPlaylistModified(bool Modified);
    void spdFavoriteClick();
    void spdFvUpdateClick();
    void do_NewPlayListClick();
    void do_AddFavoriteClick();
    void do_AddFavorite1Click();
    void do_DelFavoriteClick();
    // The end of renaming a favourite node in place; NewText comes back as the node's text.
    void trrGenreEdited(QTreeWidgetItem* Node, std::string& NewText);
    void trrFavoriteEditing();
    void PopupMenu7Popup();

    // Asks for a favourite's name with Prompt, Name as the initial text; true for OK, with
    // the trimmed text in Name. The name dialog (TfrmInput); tests answer through here.
    std::function<bool(const std::string& Prompt, std::string& Name)> InputFavoriteName;

    // --- The engine's view of the window (sound::TDxSoundDisplay)
    std::string Mp3Path() const override;
    bool ChkRepeartChecked() const override;
    intptr_t SpdEffectTag() const override;
    bool DoEffect99Checked() const override;
    bool DoEffect999Checked() const override;
    bool PnlLyricsVisible() const override;
    std::string LblFavoriteCaption() const override;
    gfx::TPoint DxdLeftSize() const override;
    gfx::TPoint DxdRightSize() const override;
    void SetTimPlayEnabled(bool On) override;
    void SetTimListEnabled(bool On) override;
    void SetTimLyrics1Enabled(bool On) override;
    void SetTimLyrics2Enabled(bool On) override;
    void SetTimDxTimerInterval(int Ms) override;
    void SetLblPlayCaption(const std::string& Text) override;
    void SetLblPlayFontColor(gfx::TColor Color) override;
    void SetLblFavoriteFontColor(gfx::TColor Color) override;
    void SetLblFavorite0FontColor(gfx::TColor Color) override;
    void SetLblDurationCaption(const std::string& Text) override;
    void SetLblDurationTag(intptr_t Tag) override;
    void SetLblMusicCaption(const std::string& Text) override;
    void RepaintLblMusic() override;
    void RepaintLblClock() override;
    void SetGauge1Position(int32_t Position) override;
    void SetBarLeftPosition(int32_t Position) override;
    void SetBarRightPosition(int32_t Position) override;
    void SetTrackFrequencyTag(intptr_t Tag) override;
    void SetTrackFrequencyMax(int32_t Max) override;
    void SetTrackFrequencyPosition(int32_t Position) override;
    void SetTrackFrequencyEnabled(bool On) override;
    void LstFileDeselect(int32_t Row) override;
    void LstFileSelectOnly(int32_t Row) override;
    void ShowTrackTitle(int32_t Row) override;
    void SetPnlLyricsVisible(bool On) override;
    void SetPnlOsillo1Color(gfx::TColor Color) override;
    void SetPnlOsillo2Color(gfx::TColor Color) override;
    void RepaintPnlOsillo1() override;
    void RepaintPnlOsillo2() override;
    void InvalidateDxdLeft() override;
    void InvalidateDxdRight() override;
    void FillFormRectBlack(const gfx::TRect& R) override;
    void SetPnlMeterVisible(bool On) override;
    void SetPnlMeterLeft(int32_t Left) override;
    void SetLblLeftTop(int32_t Top) override;
    void RepaintLblLeft() override;
    void RepaintLblRight() override;
    void SetLEDStatus(int Number, bool On) override;
    void SetLCD1BrushColor(gfx::TColor Color) override;
    void SetMtrLeftValue(int32_t Value) override;
    void SetMtrRightValue(int32_t Value) override;
    void SetMtrBalanseValue(int32_t Value) override;
    void SetDbrMeterProcess(int Process) override;
    void SetLcdMeterValue(const std::string& Text) override;
    void SetLblM0FontColor(int Index, gfx::TColor Color) override;
    void SetLblM0PTag(intptr_t Tag) override;
    void SetMsgOstrelText(const std::string& Text) override;
    void StartMsgOstrel() override;
    void StopMsgOstrel() override;
    void PlayingSilently(const std::string& Reason) override;

    // --- The visualiser's view of the panes (TVisualPanes)
    gfx::TCanvas* PaintBoxCanvas(int Channel) override;
    void SetPaneTag(int Channel, intptr_t Level) override;
    void ReadOverlayLabels(TOverlayLabels& Labels) const override;
    bool TimDxTimerEnabled() const override;
    bool DxdLeftVisible() const override;
    TVisualSurface* PaneSurface(int Channel) override;
    gfx::TCanvas* SurfaceCanvas(int Channel) override;
    visual::TDXDraw* PaneDXDraw(int Channel) override;
    visual::TDXImageList* ImageList() override { return dxdImage; }
    visual::TDXSpriteEngine* SpriteEngine() override { return DXSpriteEngine1; }
    int Gauge1Position() const override;
    TMeterPanel* MeterPanel() override { return &meterPanel_; }

    // --- The effect overlay's view of the window (TEffectHost; Gauge1Position and Mp3Path
    // above serve it too)
    gfx::TCanvas* EffectCanvas() override;
    int EffectWidth() const override;
    int EffectHeight() const override;
    QPoint Mp3PanelOrigin() const override;
    int LevelBarPosition(int Channel) const override;
    intptr_t PaneLevel(int Channel) const override;
    sound::TDxSound* Engine() { return DxSound.get(); }

    // The display tick and the panes' paint handlers (MainFormPlay.cpp).
    void timDxTimerTimer();
    void pbxLeftPaint();
    void pbxRightPaint();

protected:
    void showEvent(QShowEvent* e) override;
    // The window takes its saved bounds when first shown and fits them itself.
    void PlaceOnScreen() override {}
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void CreateControls();
    void CreateTopBar();
    void CreateTreeColumn();
    void CreatePlaylist();
    void CreatePlayer();
    void CreateMeterPanel();
    void CreateMenus();
    void CreateMainMenu();
    void CreateListMenus();
    void CreateVisualMenu();
    void ArrangePanels();
    void ArrangeTreeSections();
    void ArrangeBarButtons();

    void FormCreate();
    void FormShow();
    void CMShowingChanged();
    void FormCloseQuery(bool& CanClose);
    void FormDestroy();
    void FormResize();
    void WMWindowPosChanged();

    void SelectVisualEffect(int Mode);
    void ApplyDirectXEffectSetting();
    void SaveBounds();
    void SaveOptions();
    void SaveSettings(const std::function<void()>& Write);
    void ReportSaveFailure(const EIniFileError& Failure);
    void RememberNormalBounds();
    bool CoversScreen(const QRect& Bounds) const;
    void PlaceFrame();
    void FitFrameOnScreen();
    void BuildListColumns(TSortListView* ListView);
    void HookToolButtonSchemes();
    void FinishBusyStep();
    void ConnectListCommands();
    void ConnectExportCommands();
    void ConnectFavoriteCommands();
    void ConnectVisualCommands();
    void ConnectTagCommands();
    void ConnectConvertCommands();
    void ConvertSelected(const std::function<void(int Index, const std::string& Path)>& Convert);
    void ConvertToMp3(int Index, const std::string& Path);
    void SetupListDrawing(TSortListView* ListView);
    void ClearPlaylist();
    void SelectRowAfterDelete(TSortListView* ListView, int Index);
    int RemovePlaylistRows(const std::vector<QTreeWidgetItem*>& Rows);
    void ForgetPendingFile();
    QTreeWidgetItem* FavoriteRoot() const;
    void SelectFavoriteNode(const std::string& Name);
    void SetupLibrary();
    void HookPlayHandlers();
    void StopPlaying();
    void StepTimer(bool Forward);

    // Music folders (MainFormFolders.cpp).
    void CreateFolderHandlers();
    void CreateRowDragHandlers();
    void RebuildMusicFolderTree();
    bool MusicFolderTreeChanged(const std::vector<std::string>& Stored,
                                const std::string& NewFolder) const;
    void SelectFolderNode(int Index);
    bool DeleteSelectedFolder();
    void SettleCreatedFiles();
    void RescanMusicFolder();
    void CallRemovePathFromList(TSortListView* ListView, const std::string& Path);
    // Files another program created in the watched folder, listed once they have stopped
    // changing (a new file is usually still empty when it is announced). Path -> the size
    // and write time last seen, and the order in which they came.
    struct TFileStamp {
        long long Size = -1;
        long long WriteTime = 0;
        bool operator==(const TFileStamp&) const = default;
    };
    static TFileStamp StampOf(const std::string& Path);
    std::map<std::string, TFileStamp> createdFiles_;
    std::vector<std::string> createdOrder_;
    forms::TTimer createdSettle_;

    std::unique_ptr<TTagDialogHost> tagHost_;
    sound::TcbDSMixer* mixer_;
    snd::TickSource* ticks_;
    TEngineVisual* visual_ = nullptr;   // owned by the engine
    // dxdLeft and dxdRight as the visual painter draws on them.
    struct TPaneSurface : TVisualSurface {
        visual::TDXDraw* Pane = nullptr;
        bool CanDraw() override { return Pane->CanDraw(); }
        void Clear() override { Pane->Surface->Fill(0); }
        void Release() override { Pane->Surface->Canvas().Release(); }
        void Flip() override { Pane->Flip(); }
    };
    TPaneSurface paneSurfaces_[2];
    // pnlMeter and the engine as the meter-panel mode drives them (MainFormDisplay.cpp).
    struct TMainMeterPanel : TMeterPanel {
        explicit TMainMeterPanel(TfrmMain& Form) : F(Form) {}
        bool LEDStatus(int Number) const override;
        void SetLEDStatus(int Number, bool On) override { F.SetLEDStatus(Number, On); }
        void SetLCD1BrushColor(gfx::TColor Color) override { F.SetLCD1BrushColor(Color); }
        void SetMeterValue(TMeter Meter, int Value) override;
        int MeterValue(TMeter Meter) const override;
        void SetLcdMeterValue(const std::string& Text) override { F.SetLcdMeterValue(Text); }
        gfx::TColor LblMK0FontColor() const override;
        void SetLblMK0FontColor(gfx::TColor Color) override;
        void SetDbrMeterWidth(int Width) override;
        void SetDbrMeterProcess(int Process) override { F.SetDbrMeterProcess(Process); }
        void SetMarqueeText(const std::string& Text) override { F.SetMsgOstrelText(Text); }
        void SetShiftLamp(int Index) override;
        int BarLeftPosition() const override { return F.barLeft->Position(); }
        int BarRightPosition() const override { return F.barRight->Position(); }
        std::uint32_t PlayPositionMs() override;
        TfrmMain& F;
    };
    TMainMeterPanel meterPanel_{*this};
    std::unique_ptr<visual::TDXImageList> imageList_;
    std::unique_ptr<visual::TDXSpriteEngine> spriteEngine_;
    void dxdLeftInitialize();
    void dxdLeftFinalize();
    bool busy_ = false;           // a handler that lets events run is under way
    bool closePending_ = false;   // a close arrived meanwhile
    bool closing_ = false;        // the close query is running
    bool loadDone_ = false;
    std::string startupSaveFailure_;   // the first settings write refused before the window showed
    bool shownOnce_ = false;
    int sorting_ = 0;             // a list is reordering its rows: no rows come or go
    QPoint framePosition_;        // where the frame is put once the window is framed
    bool placingFrame_ = false;
    QRect normalBounds_;          // last bounds while neither maximised nor minimised
    QRect previousNormalBounds_;  // the ones before them
};

// The main window instance that the engine and the visualiser reach.
extern TfrmMain* frmMain;

// The sound mixer of the whole program, opened on first use.
sound::TcbDSMixer& ApplicationMixer();

// Label text colours as the window's code reads and writes them (0x00BBGGRR).
void SetFontColor(QLabel* Label, gfx::TColor Color);
gfx::TColor FontColor(const QLabel* Label);
