#include "app/MainForm.h"
#include "app/xSplash.h"
#include "cd/LameCoder.h"
#include "util/Cp932.h"
#include "util/MainWindowHost.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <QGuiApplication>

#include "util/DirDialog.h"
#include "app/DirMon.h"
#include "app/Globals.h"
#include "app/libMusic.h"
#include "platform/forms/ScreenFit.h"
#include "platform/rtl/Numerics.h"
#include "tags/libID3Tag.h"
#include "util/libControl.h"
#include "util/libIni.h"
#include "resources/BuiltinResources.h"
#include "util/libWindows.h"

TfrmMain* frmMain = nullptr;

sound::TcbDSMixer& ApplicationMixer()
{
    static sound::TcbDSMixer mixer;
    return mixer;
}

namespace {

constexpr int DefaultWidth = 1023;
constexpr int DefaultHeight = 736;
constexpr int MinimumWidth = 514;
constexpr int MinimumHeight = 488;
constexpr int TreeRowHeight = 16;
const char* const HomePage = "https://tambourelle.org/";
const char* const ManualPage = "https://tambourelle.org/manual/";
// Colour schemes of the tool buttons.
constexpr auto SchemePressed = controls::xibutton::csNeoSky;
constexpr auto SchemeGrass = controls::xibutton::csNeoGrass;
constexpr auto SchemeSilver = controls::xibutton::csNeoSilver;

const std::string CR = "\r";
// How often a close asked for during library work looks whether the work has ended.
constexpr int LibraryWaitMs = 50;

// The program's own cursors: screen cursor 1 is the hand, 2 the drag cursor.
constexpr TCursor HandCursor = 1, DragCursor = 2;
void LoadProgramCursors()
{
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    RegisterCursor(HandCursor, QCursor(Qt::PointingHandCursor));
    RegisterCursor(DragCursor, QCursor(Qt::DragMoveCursor));
}

// A list row: empty caption, then No., Title, Artist, Album, Year, Genre, Track and the full
// path. Column Tag 1 marks the columns whose sort renumbers the "No." column.
struct TColumnLayout {
    const char* caption;
    int width;
    Qt::Alignment alignment;
    int tag;
};
constexpr TColumnLayout ListColumns[9] = {
    {"", 0, Qt::AlignRight, 0},       {"No.", 33, Qt::AlignRight, 0},
    {"Title", 200, Qt::AlignLeft, 1},  {"Artist", 154, Qt::AlignLeft, 1},
    {"Album", 192, Qt::AlignLeft, 1},  {"Year", 54, Qt::AlignRight, 1},
    {"Genre", 61, Qt::AlignLeft, 1},   {"Track", 57, Qt::AlignRight, 1},
    {"", 0, Qt::AlignRight, 0},
};

// Captions and widths of the bar buttons in the four width bands of the window.
struct TBandedCaption {
    const char* caption[4];
    int width[4];
};
int WidthBand(int W)
{
    if (W < 576)
        return 0;
    if (W <= 650)
        return 1;
    if (W <= 786)
        return 2;
    return 3;
}

template <class C>
void applyBand(C* control, const TBandedCaption& captions, int band)
{
    control->SetCaption(captions.caption[band]);
    control->resize(captions.width[band], control->height());
}

// The path shortened to Width pixels: drive-less root and the last component stay, middle
// components give way to "...".
QString ellipsisPath(const QString& path, const QFontMetrics& fm, int width)
{
    if (fm.horizontalAdvance(path) <= width)
        return path;
    const QString sep = QStringLiteral("/");
    QStringList parts = path.split(sep);
    const QString last = parts.takeLast();
    const QString head = parts.isEmpty() ? QString() : parts.takeFirst();
    while (!parts.isEmpty()) {
        parts.removeFirst();
        QStringList shown{head, QStringLiteral("...")};
        shown += parts;
        shown += last;
        const QString candidate = shown.join(sep);
        if (fm.horizontalAdvance(candidate) <= width)
            return candidate;
    }
    const QString tail = QStringLiteral(".../") + last;
    return fm.horizontalAdvance(tail) <= width ? tail : fm.elidedText(tail, Qt::ElideLeft, width);
}

}  // namespace

TfrmMain::TfrmMain(sound::TcbDSMixer* Mixer, QWidget* parent, snd::TickSource* Ticks)
    : TForm(parent), mixer_(Mixer ? Mixer : &ApplicationMixer()), ticks_(Ticks ? Ticks : &snd::systemTicks())
{
    LoadProgramCursors();
    setObjectName(QStringLiteral("frmMain"));
    setWindowFlags(Qt::Window);
    setWindowTitle(QStringLiteral("Tambourelle"));
    CreateControls();
    DirMon1 = new TDirMon(this);
    DirDialog1 = new TDirDialog(this);
    CreateFolderHandlers();
    timDxTimer.SetInterval(500);
    timPlay.SetInterval(35);
    timList.SetInterval(35);
    timRF.SetInterval(200);
    timFF.SetInterval(200);
    timLyrics1.SetInterval(10000);
    timLyrics2.SetInterval(150);
    timFrom.SetInterval(500);
    timCPU.SetInterval(1000);
    timCD1.SetInterval(500);
    timCD2.SetInterval(50);
    timCD3.SetInterval(50);
    for (auto* t : {&timDxTimer, &timPlay, &timList, &timRF, &timFF, &timLyrics1, &timLyrics2,
                    &timFrom, &timCPU, &timCD1, &timCD2, &timCD3})
        t->SetEnabled(false);
    setMinimumSize(MinimumWidth, MinimumHeight);   // the minimum tracking size

    Handlers.Set(spdMainMenu->OnClick, [this](QObject*) { spdMainMenuClick(); });
    HookPlayHandlers();
    HookToolButtonSchemes();
    Handlers.Connect(N24, &QAction::triggered, this, [this] { forms::RunGuarded([this] { OpenWebPage(N24, ManualPage); }); });
    OpenAddress = [](const QUrl& Url) { return QDesktopServices::openUrl(Url); };
    for (QAction* a : {do_HTTP, N3, N21, N22})
        Handlers.Connect(a, &QAction::triggered, this, [this, a] { forms::RunGuarded([this, a] { OpenWebPage(a, HomePage); }); });
    cpl01->installEventFilter(this);
    MsgBoxEx = ::MsgBoxEx;

    frmMain = this;
    RegisterMainWindowHost(&WindowHost());
    FormCreate();
    // After the library's set-up, whose tree drawing the favourite tree's renaming extends.
    ConnectListCommands();
    ConnectExportCommands();
    ConnectTagCommands();
    ConnectConvertCommands();
    ConnectFavoriteCommands();
    ConnectVisualCommands();
}

TfrmMain::~TfrmMain()
{
    Handlers.Stop();  // the controls' going reaches no handler of this window
    // The engine's stars and pictures live in the list and sprite engine that go with the
    // window: an engine that outlives it lets go of them first.
    if (visual_)
        visual_->FreeDirectDrawResources();
    forms::RunGuarded([this] { FormDestroy(); });
    // The engine's visual holds pictures in the window's image list, which goes with the
    // window's members: the engine goes first, also when the window was never closed.
    visual_ = nullptr;
    DxSound.reset();
    if (frmMain == this) {
        frmMain = nullptr;
        IniKeepUnsavedInMemory(nullptr);   // the session ends with its window
    }
    if (MainWindowHost() == &WindowHost())
        RegisterMainWindowHost(nullptr);
}

// ---------------------------------------------------------------- life cycle

void TfrmMain::FormCreate()
{
    resize(DefaultWidth, DefaultHeight);
    SetControlCursor(cpl01, HandCursor);
    SetControlCursor(lbl00, HandCursor);
    AssignImeNames(this);
    SetChildShowHint(this, true);
    ReplaceCursor(this, crHandPoint, HandCursor);
    move(0, 0);
    if (IniBase.empty())   // the program sets it before; tests point it at scratch folders
        IniBase = GetAppDir() + "/Tambourelle";
    // Settings that cannot be stored still hold for this session, for every window.
    IniKeepUnsavedInMemory([this](const std::string& message) { ReportSaveFailure(EIniFileError(message)); });
    IniLoadFormPos(IniBase, "Form", "Main", this);
    chkRepeart->SetChecked(IniReadBool(IniBase, "SETTING", "REPEAT", false));
    chkShuffle->SetChecked(IniReadBool(IniBase, "SETTING", "Shuffle", false));
    do_SameMusic->setChecked(IniReadBool(IniBase, "SETTING", "SameMusic", false));
    ::Mp3Path = IniReadString(IniBase, "SETTING", "MP3_PATH", GetSpecialFolder(7));
    MusicFolders.clear();
    DxSound = std::make_unique<sound::TDxSound>(*this, *mixer_, *ticks_);
    initBuiltinResources();
    auto visual = std::make_unique<TEngineVisual>(*DxSound, *this);
    visual_ = visual.get();
    DxSound->SetVisual(std::move(visual));
    SelectVisualEffect(IniReadInteger(IniBase, "SETTING", "EFFECT", 0));
    do_Effect999->setChecked(IniReadBool(IniBase, "SETTING", "EFFECT_DX", true));
    ApplyDirectXEffectSetting();
    lblDuration->clear();
    // dxdLeft and dxdRight fill their panes (see the layout).
    pnlCPU->setVisible(IsWinNT());
    CpuUsage1 = std::make_unique<TCpuUsage>();
    timCPU.SetEnabled(IsWinNT());
    // The drop targets of the playlist and the window are registered with the drag-and-drop
    // handlers.
    DragStartPoint = QPoint(-1, -1);
    SetupTagObjects(true);
    rtl::Randomize();
    SetupLibrary();
}

void TfrmMain::FormShow()
{
    BuildListColumns(lstMP3);
    BuildListColumns(lstFile);
    if (DxSound)
        DxSound->ResetDisplay();
    trrGenre->clear();
    lblMusic->clear();
    lblFavorite->clear();
    IniLoadFormSize(IniBase, "Form", "Main", QPoint(DefaultWidth, DefaultHeight), this);
    FitFrameOnScreen();
    if (const QPoint onScreen = forms::TitleBarOnScreen(frameGeometry(), forms::AvailableScreenAreas()); onScreen != pos())
        move(onScreen);
    framePosition_ = pos();
    placingFrame_ = true;
    if (frmSplash)
        frmSplash->show();
    pnlFile->hide();
    spdVoice->setEnabled(!IsWindows7());
}

// The deferred load, once the window is on the screen. Trees, folder scan and the
// favourites come with their own units and are called from here; the directory monitor
// starts after the first scan.
void TfrmMain::CMShowingChanged()
{
    TReentryGuard guard(busy_);
    if (!guard)
        return;
    repaint();
    BuildMusicFolderTree(std::string());
    BuildFavoriteTree("");
    ShowFolderLabel(::Mp3Path);
    LoadMusicFolder(Library, ::Mp3Path);
    Delay(100);
    WatchMusicFolder(::Mp3Path);
    Delay(100);
    if (frmSplash)
        frmSplash->Ready = true;
    loadDone_ = true;
    pnlFile->show();
    trrFavorite->setFocus();
    if (!startupSaveFailure_.empty()) {
        // Told once, now that the window is there to tell it on.
        ReportSaveFailure(EIniFileError(startupSaveFailure_));
        startupSaveFailure_.clear();
    }
    FinishBusyStep();
}

// A settings file that cannot be written costs the settings on disk, never the program or
// what it holds: the settings routines keep it in memory for the session and tell of it once
// (a failure during start-up is told when the window is shown).
void TfrmMain::SaveSettings(const std::function<void()>& Write)
{
    try {
        Write();
    } catch (const EIniFileError& e) {
        ReportSaveFailure(e);
    }
}

void TfrmMain::ReportSaveFailure(const EIniFileError& Failure)
{
    if (!loadDone_) {
        if (startupSaveFailure_.empty())
            startupSaveFailure_ = Failure.what();
        return;
    }
    forms::HandleException(Failure);
}

// A close asked for while a handler let events run is carried out once it has ended.
void TfrmMain::FinishBusyStep()
{
    if (closePending_) {
        closePending_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void TfrmMain::FormCloseQuery(bool& CanClose)
{
    if (busy_ || closing_ || Library.Busy()) {
        // Never release what a running handler still uses: the close waits for it.
        closePending_ = busy_;
        // Library work may run from any handler; the close comes back until it has ended.
        if (!busy_ && !closing_ && Library.Busy())
            QTimer::singleShot(LibraryWaitMs, this, [this] {
                if (isVisible())   // one close, however often it was asked for
                    close();
            });
        CanClose = false;
        return;
    }
    TReentryGuard guard(closing_);
    const std::string name = lblFavorite->text().toStdString();
    if (!name.empty() && FavoriteModified) {
        if (MsgBoxEx(this, "お気に入り",
                     "お気に入り　『　" + name + "　』　が変更されています！！" + CR + CR +
                         "　　終了してもよろしいですか？",
                     2, "YN", "?") == 7) {
            CanClose = false;
            return;
        }
    } else if (name.empty() && lstFile->topLevelItemCount() > 0) {
        if (MsgBoxEx(this, "プレイリスト",
                     "プレイリストが作成されています！！" + CR + CR + "　　終了してもよろしいですか？",
                     2, "YN", "?") == 7) {
            CanClose = false;
            return;
        }
    }
    timDxTimer.SetInterval(5000);
    timDxTimer.SetEnabled(false);
    sbStopClick();
    Delay(50);
    SaveSettings([this] {
        SaveBounds();
        SaveOptions();
    });
    CloseEffectOverlay();   // it draws from the engine
    visual_ = nullptr;
    DxSound.reset();
    // The monitor reports into the folder list: it stops (with the new files it was
    // waiting on) before the list goes.
    WatchMusicFolder(std::string());
    MusicFolders.clear();
}

void TfrmMain::SaveBounds()
{
    if (Maximized) {
        IniWriteInteger(IniBase, "Form", "MainTop", NormalTop);
        IniWriteInteger(IniBase, "Form", "MainLeft", NormalLeft);
        IniWriteInteger(IniBase, "Form", "MainWidth", NormalWidth);
        IniWriteInteger(IniBase, "Form", "MainHeight", NormalHeight);
    } else {
        IniSaveFormPos(IniBase, "Form", "Main", this);
        IniSaveFormSize(IniBase, "Form", "Main", this);
    }
}

void TfrmMain::SaveOptions()
{
    IniWriteString(IniBase, "SETTING", "MP3_PATH", ::Mp3Path);
    IniWriteBool(IniBase, "SETTING", "REPEAT", chkRepeart->Checked());
    IniWriteBool(IniBase, "SETTING", "Shuffle", chkShuffle->Checked());
    IniWriteBool(IniBase, "SETTING", "SameMusic", do_SameMusic->isChecked());
}

void TfrmMain::FormDestroy()
{
    // The category tree's signals no longer reach the library, which goes before the tree.
    trrGenre->disconnect(this);
    // The staged files stay while a burner still reads them.
    if (!CdBurnerRuns(cdBurner_))
        ClearCdBurningFolder();
    DirMon1->SetActive(false);
    SetupTagObjects(false);
}

void TfrmMain::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    if (e->spontaneous() || shownOnce_)
        return;
    shownOnce_ = true;
    if (QWindow* window = windowHandle())
        window->installEventFilter(this);
    forms::RunGuarded([this] { FormShow(); });
    // Runs once the window has become visible, after the first paint is queued.
    QTimer::singleShot(0, this, [this] { forms::RunGuarded([this] { CMShowingChanged(); }); });
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* e)
{
    if (Handlers.Stopped())   // the window's teardown has begun
        return TForm::eventFilter(watched, e);
    if (watched == windowHandle() && e->type() == QEvent::Expose)
        PlaceFrame();
    if (watched == cpl01 && e->type() == QEvent::MouseButtonRelease)
        forms::RunGuarded([this] { cpl01Click(); });
    if ((watched == barLeft || watched == barRight) && e->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(e);
        const forms::TMouseButton button = me->button() == Qt::LeftButton    ? forms::mbLeft
                                           : me->button() == Qt::RightButton ? forms::mbRight
                                                                             : forms::mbMiddle;
        forms::RunGuarded([this, button, me] { barLeftMouseDown(button, me->globalPosition().toPoint()); });
    }
    if (watched == pnlEffect && e->type() == QEvent::Resize)
        forms::RunGuarded([this] { pnlEffectResize(); });
    if (watched == pbxEffect && e->type() == QEvent::MouseButtonPress)
        forms::RunGuarded([this] { pbxEffectMouseDown(); });
    if ((watched == pnlLyrics || watched == pbxLyrics) && e->type() == QEvent::MouseButtonPress)
        forms::RunGuarded([this] { pnlLyricsMouseDown(); });
    return TForm::eventFilter(watched, e);
}

void TfrmMain::closeEvent(QCloseEvent* e)
{
    bool canClose = true;
    forms::RunGuarded([&] { FormCloseQuery(canClose); });
    if (!canClose) {
        e->ignore();
        return;
    }
    QWidget::closeEvent(e);
}

// ---------------------------------------------------------------- window bounds

// The position is the frame's, saved and restored alike. A window whose native side was made
// before it was placed puts its client area there instead, the frame a title bar higher; so
// once the window manager has framed the window (its first exposure) the frame is put where
// it belongs. Without a frame both are the same and nothing moves.
void TfrmMain::PlaceFrame()
{
    if (!placingFrame_ || !windowHandle()->isExposed())
        return;
    placingFrame_ = false;
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    FitFrameOnScreen();   // the frame's own size is known only now
    if (pos() != framePosition_)
        move(framePosition_);
}

// A window larger than the screen it opens on (the default size on a small screen, or a size
// saved on a larger one) would hide its player and the bars' right-hand buttons beyond the
// edges: it shrinks to that screen's work area, as far as its minimum allows.
void TfrmMain::FitFrameOnScreen()
{
    const QSize before = size();
    const QRect fitted = forms::FitWindowOnScreen(*this, forms::TScreenFit::KeepPlace);
    if (size() != before)
        framePosition_ = fitted.topLeft();
}

// Whether Bounds fill the screen's work area but for a window frame: the maximised bounds.
bool TfrmMain::CoversScreen(const QRect& Bounds) const
{
    const QScreen* s = screen();
    if (!s)
        return false;
    const QRect work = s->availableGeometry();
    constexpr int frameAllowance = 16, titleAllowance = 64;
    return Bounds.width() >= work.width() - frameAllowance &&
           Bounds.height() >= work.height() - titleAllowance;
}

// Window managers may report the maximised bounds before the state that explains them, so
// the bounds before the latest change are kept too.
void TfrmMain::RememberNormalBounds()
{
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    const QRect now(pos(), size());
    if (now != normalBounds_) {
        previousNormalBounds_ = normalBounds_;
        normalBounds_ = now;
    }
}

void TfrmMain::moveEvent(QMoveEvent* e)
{
    TForm::moveEvent(e);
    RememberNormalBounds();
    WMWindowPosChanged();
}

void TfrmMain::resizeEvent(QResizeEvent* e)
{
    TForm::resizeEvent(e);
    RememberNormalBounds();
    forms::RunGuarded([this] { FormResize(); });
    WMWindowPosChanged();
}

// Maximising remembers the bounds the window had before; restoring forgets the flag.
void TfrmMain::changeEvent(QEvent* e)
{
    TForm::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange)
        return;
    const bool maximized = windowState() & Qt::WindowMaximized;
    if (maximized && !Maximized) {
        const QRect normal = CoversScreen(normalBounds_) && previousNormalBounds_.isValid()
            ? previousNormalBounds_
            : normalBounds_;
        NormalTop = normal.top();
        NormalLeft = normal.left();
        NormalWidth = normal.width();
        NormalHeight = normal.height();
        Maximized = true;
    } else if (!maximized && !(windowState() & Qt::WindowMinimized)) {
        Maximized = false;
    }
}

// Keeps the splash window over the music list.
void TfrmMain::WMWindowPosChanged()
{
    if (SplashShown && frmSplash)
        frmSplash->PlaceSplash();
}

TVisualResources* TfrmMain::VisualResources() const
{
    return visual_ ? &visual_->Resources() : nullptr;
}

// ---------------------------------------------------------------- resize rules

void TfrmMain::FormResize()
{
    ArrangePanels();
    LayoutToolButtons();
    LayoutTreeSections();
    FitListColumns(lstMP3);
    FitListColumns(lstFile);
    ArrangeBarButtons();
    pnlSplash->move(pnlMusic->x() + pnlTrr->x() + (pnlTrr->width() - pnlSplash->width()) / 2,
                    pnlMusic->y() + pnlTrr->y() + (pnlTrr->height() - pnlSplash->height()) / 2);
    pnlCnvMp3->move(lstMP3->x() + (lstMP3->width() - pnlCnvMp3->width()) / 2,
                    lstMP3->y() + (lstMP3->height() - pnlCnvMp3->height()) / 2);
    pnlLyrics->setGeometry(lstFile->x() + 1, pnlLyrics->y(), lstFile->width() - 2, pnlLyrics->height());
    pbxLyrics->setGeometry(1, 1, std::max(0, pnlLyrics->width() - 2), std::max(0, pnlLyrics->height() - 2));
    pbxLyrics->Initialize();
    // The lyrics pane is drawn afresh by its painter on the next tick.
    if (DxSound)
        DxSound->UpdateLyricsAndMeter(true);
    lstMP3->viewport()->update();
}

// The bars' buttons stand against the right edge; the labels take what is left. The
// folder label is measured after its neighbour has moved, so it never runs under it.
void TfrmMain::ArrangeBarButtons()
{
    spdEffect->move(pnlMp3Menu->width() - spdEffect->width(), spdEffect->y());
    spdDetails->move(spdEffect->x() - spdDetails->width(), spdDetails->y());
    lblFolder->resize(std::max(0, spdDetails->x() - lblFolder->x() - 6), lblFolder->height());
    chkRepeart->move(pnlListMenu->width() - chkRepeart->width() - 4, chkRepeart->y());
    spdPlayList->move(chkRepeart->x() - spdPlayList->width() - 4, spdPlayList->y());
    spdAllCopy->move(spdPlayList->x() - spdAllCopy->width(), spdAllCopy->y());
    spdCopyList->move(spdAllCopy->x() - spdCopyList->width(), spdCopyList->y());
    chkShuffle->move(chkRepeart->x(), chkShuffle->y());
    spdFavorite->move(chkShuffle->x() - spdFavorite->width() - 4, spdFavorite->y());
    spdFvUpdate->move(spdFavorite->x() - spdFvUpdate->width(), spdFvUpdate->y());
    lblFavorite->resize(std::max(0, spdFvUpdate->x() - lblFavorite->x() - 6), lblFavorite->height());
    ShowFolderLabel(::Mp3Path);
}

void TfrmMain::LayoutToolButtons()
{
    static const TBandedCaption details{{"", "Details", "Details", "Details Infomation"}, {40, 70, 70, 131}};
    static const TBandedCaption effect{{"", "Effect", "Effect", "Visual effects Mode"}, {40, 69, 69, 138}};
    static const TBandedCaption repeat{{"R", "Repeat", "Repeat", "Repeat"}, {26, 52, 58, 58}};
    static const TBandedCaption copy{{"", "Copy", "Copy", "Copy Seleced Titles"}, {35, 58, 68, 137}};
    static const TBandedCaption all{{"", "All", "Copy All", "Copy All Titles"}, {35, 58, 88, 116}};
    static const TBandedCaption play{{"", "Play", "Play List", "Play Music List"}, {35, 62, 88, 121}};
    static const TBandedCaption shuffle{{"S", "Shuffle", "Shuffle", "Shuffle"}, {26, 58, 58, 58}};
    static const TBandedCaption add{{"", "Add", "Add", "Add Favorite"}, {35, 52, 88, 112}};
    static const TBandedCaption update{{"", "Update", "Update", "Update Favorite"}, {35, 69, 89, 125}};
    const int band = WidthBand(width());
    applyBand(spdDetails, details, band);
    applyBand(spdEffect, effect, band);
    applyBand(chkRepeart, repeat, band);
    applyBand(spdCopyList, copy, band);
    applyBand(spdAllCopy, all, band);
    applyBand(spdPlayList, play, band);
    applyBand(chkShuffle, shuffle, band);
    applyBand(spdFavorite, add, band);
    applyBand(spdFvUpdate, update, band);
}

void TfrmMain::LayoutTreeSections()
{
    const int H = height();
    int folderRows = 8;
    if (H < 681)
        folderRows = std::max(3, 7 - ((680 - H) >> 4));
    const int shownFolders = std::min<int>(folderRows, int(MusicFolders.size()) + 1);
    cpl00->resize(cpl00->width(), cpl01Tag * (shownFolders * TreeRowHeight + 2) + 17);

    int favourites = 0;
    for (QTreeWidgetItemIterator it(trrFavorite); *it; ++it)
        ++favourites;
    int favouriteRows = std::min(favourites, 8);
    if (H < 601)
        favouriteRows = std::min(favourites, 8) - 1 - ((600 - H) >> 4);
    cpl20->resize(cpl20->width(), std::max(favouriteRows, 3) * TreeRowHeight + 18);
    cpl10->resize(cpl10->width(), std::max(0, pnlTrr->height() - cpl00->height() - cpl20->height() - 2));
    ArrangeTreeSections();
}

int TfrmMain::PageRows(const TSortListView* ListView)
{
    int rowHeight = ListView->RowHeight();
    if (rowHeight <= 0 && ListView->topLevelItemCount() > 0)
        rowHeight = ListView->visualItemRect(ListView->topLevelItem(0)).height();
    return ListView->viewport()->height() / std::max(1, rowHeight);
}

int TfrmMain::ColumnTag(int Column)
{
    return Column >= 0 && Column < 9 ? ListColumns[Column].tag : 0;
}

void TfrmMain::FitListColumns(TSortListView* ListView)
{
    if (ListView->columnCount() < 9)
        return;
    const int rows = ListView->topLevelItemCount();
    const int d = rows > PageRows(ListView) ? 1 : 0;
    // "No." is wide enough for three digits; a longer list widens it by what its numbers
    // need (the cell's text is inset by 4 on each side) and takes that from the title.
    gfx::TCanvas measure;
    measure.Font().Assign(ListView->Font());
    const int digits = int(std::to_string(std::max(rows, 1)).size());
    const int number = std::max(ListColumns[1].width, measure.TextWidth(std::string(size_t(digits), '0')) + 9);
    ListView->setColumnWidth(1, number);
    ListView->setColumnWidth(3, 154 - 3 * d);
    ListView->setColumnWidth(4, 192 - 6 * d);
    // A sorted column widened to hold its caption beside the arrow takes its room from the
    // title too, so the row still fits the list.
    int widened = 0;
    for (int c = 5; c < 8; ++c)
        widened += std::max(0, ListView->columnWidth(c) - ListColumns[c].width);
    ListView->setColumnWidth(2, 200 - (ListView == lstMP3 ? 7 : 8) * d - (number - ListColumns[1].width) - widened);
}

void TfrmMain::ShowFolderLabel(const std::string& Path)
{
    const QFontMetrics fm(lblFolder->font());
    const int room = std::max(0, lblFolder->width() - 8);   // inside the label's padding
    const QString shown = QString::fromStdString(cp932::nameForDisplay(Path));
    lblFolder->setText(ellipsisPath(shown, fm, room));
    lblFolder->setToolTip(shown);
}

void TfrmMain::BuildListColumns(TSortListView* ListView)
{
    ListView->setColumnCount(9);
    QStringList captions;
    for (const auto& c : ListColumns)
        captions << QString::fromLatin1(c.caption);
    ListView->setHeaderLabels(captions);
    for (int i = 0; i < 9; ++i) {
        ListView->setColumnWidth(i, ListColumns[i].width);
        ListView->headerItem()->setTextAlignment(i, ListColumns[i].alignment | Qt::AlignVCenter);
        ListView->setColumnHidden(i, ListColumns[i].width == 0);
    }
}

// ---------------------------------------------------------------- commands

void TfrmMain::cpl01Click()
{
    cpl01Tag = cpl01Tag == 1 ? 0 : 1;
    lbl00->setText(QString::fromUtf8(cpl01Tag == 1 ? "△" : "▽"));
    LayoutTreeSections();
}

void TfrmMain::do_MinimizeClick()
{
    showNormal();
    resize(MinimumWidth, MinimumHeight);
    ShowFolderLabel(::Mp3Path);
}

void TfrmMain::do_FormInit1Click()
{
    showNormal();
    resize(DefaultWidth, DefaultHeight - 1);
    ShowFolderLabel(::Mp3Path);
}

// Without a browser the desktop opens nothing and says so only on stderr; the user is told
// where to go instead.
void TfrmMain::OpenWebPage(const QAction* Item, const std::string& Address)
{
    if (OpenAddress(QUrl(QString::fromStdString(Address))))
        return;
    MsgBoxEx(this, Item->text().toStdString(),
             "Web ブラウザが見つからないため、ページを開けませんでした。" + CR + CR +
                 "ブラウザで次のアドレスを開いてください。" + CR + Address,
             1, "y", "i");
}

void TfrmMain::do_CloseClick()
{
    close();
}

void TfrmMain::spdMainMenuClick()
{
    PopupMenu4->popup(mapToGlobal(QPoint(pnlMp3Menu->x(), pnlMp3Menu->y() + pnlMp3Menu->height() + 1)));
}

void TfrmMain::PopupMenu4Popup()
{
    do_Effect->setChecked(spdEffect->Tag == 1);
    do_BurnCD2->setEnabled(spdPlayList->isEnabled());
    do_CopyList2->setEnabled(spdPlayList->isEnabled());
    do_AutoShuffle1->setChecked(chkShuffle->Checked());
}

// Pressed looks of the tool buttons: sky while the button is held, then their own scheme.
void TfrmMain::HookToolButtonSchemes()
{
    auto hook = [](controls::TXiButton* b, controls::TXiButton::TColorScheme released) {
        // The button's own look only: nothing of the window is touched.
        b->OnMouseDown = [b](QObject*, forms::TMouseButton, forms::TShiftState, int, int) {
            b->SetColorScheme(SchemePressed);
        };
        b->OnMouseUp = [b, released](QObject*, forms::TMouseButton, forms::TShiftState, int, int) {
            b->SetColorScheme(released);
        };
    };
    for (auto* b : {spdMainMenu, spdCopyList, spdAllCopy, spdPlayList})
        hook(b, SchemeSilver);
    for (auto* b : {spdFvUpdate, spdFavorite})
        hook(b, SchemeGrass);
}

// ---------------------------------------------------------------- visual mode settings

void TfrmMain::SelectVisualEffect(int Mode)
{
    for (QAction* a : do_EffectMode)
        a->setChecked(a->data().toInt() == Mode);
    if (DxSound) {
        if (Mode == 99)
            DxSound->PickRandomVisual();
        else
            DxSound->SetEffect(Mode);
        DxSound->UpdateLyricsAndMeter(true);
    }
    SaveSettings([Mode] { IniWriteInteger(IniBase, "SETTING", "EFFECT", Mode); });
}

void TfrmMain::do_Effect00Click(QAction* Sender)
{
    SelectVisualEffect(Sender->data().toInt());
}

// Qt has already toggled the check mark when the item fires.
void TfrmMain::do_Effect999Click()
{
    ApplyDirectXEffectSetting();
}

void TfrmMain::PopupMenu5Popup()
{
    const bool useDirectX = do_Effect999->isChecked();
    for (int mode : sound::TDxSound::kSurfaceModes)
        do_EffectMode[size_t(mode)]->setVisible(useDirectX);
}

void TfrmMain::ApplyDirectXEffectSetting()
{
    const bool useDirectX = do_Effect999->isChecked();
    if (!useDirectX && DxSound) {
        const int mode = DxSound->Effect();
        for (int surfaceMode : sound::TDxSound::kSurfaceModes)
            if (mode == surfaceMode) {
                SelectVisualEffect(0);
                break;
            }
    }
    SetDirectXMode(useDirectX);
    SaveSettings([useDirectX] { IniWriteBool(IniBase, "SETTING", "EFFECT_DX", useDirectX); });
}

// Surface panes or paint boxes; the meter panel only on surfaces in the meter mode.
void TfrmMain::SetDirectXMode(bool UseDirectX)
{
    dxdLeft->setVisible(UseDirectX);
    dxdRight->setVisible(UseDirectX);
    pbxLeft->setVisible(!UseDirectX);
    pbxRight->setVisible(!UseDirectX);
    pnlMeter->setVisible(UseDirectX && DxSound && DxSound->Effect() == 30);
}
