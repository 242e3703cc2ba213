// The main window's controls and where they stand. No layout file exists: sizes and
// positions come from here, and ArrangePanels places the blocks after every resize before
// the window's own resize rules (FormResize) run, as aligned panels would.
#include "app/MainForm.h"

#include <QFont>
#include <QHeaderView>

#include "platform/gfx/DrawTools.h"

namespace {

constexpr int TopBarHeight = 26;
constexpr int PlayerHeight = 148;
constexpr int TreeColumnWidth = 200;
constexpr int ListMenuHeight = 48;
constexpr int SectionCaptionHeight = 17;
constexpr int Gap = 3;          // the seam between blocks
constexpr int PlayerBlockWidth = 514;
constexpr int CpuPanelWidth = 184;
constexpr gfx::TColor PlayerColor = 0x30211A;   // the player block's face
constexpr gfx::TColor PlayerTextColor = 0xF8EEE8;
constexpr gfx::TColor PlayerFocusColor = 0x6A5548;  // a box under the mouse on that face
constexpr gfx::TColor NoticeColor = 0x0C48B4;     // the text of the transient notices

template <class T>
T* make(QWidget* parent, const char* name)
{
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QFrame* panel(QWidget* parent, const char* name)
{
    return make<QFrame>(parent, name);
}

QLabel* label(QWidget* parent, const char* name, const char* caption)
{
    auto* l = make<QLabel>(parent, name);
    l->setText(QString::fromUtf8(caption));
    return l;
}

// The settings every display control of the window carries.
void SetupDisplayControl(visual::TDXDraw& dx)
{
    dx.AutoInitialize = true;
    dx.SetAutoSize(true);
    dx.SetColor(0);
    dx.Display().SetBitCount(16);
    dx.Display().FixedBitCount = true;
    dx.Display().FixedRatio = true;
    dx.Display().FixedSize = false;
    dx.SetOptions(visual::DefaultDXDrawOptions);
}

template <class T>
T* captioned(QWidget* parent, const char* name, const char* caption)
{
    auto* w = make<T>(parent, name);
    w->SetCaption(caption);
    return w;
}

QTreeWidget* tree(QWidget* parent, const char* name)
{
    auto* t = make<QTreeWidget>(parent, name);
    t->setHeaderHidden(true);
    t->setIndentation(14);
    t->setUniformRowHeights(true);
    t->setFrameShape(QFrame::NoFrame);
    return t;
}

TSortListView* listView(QWidget* parent, const char* name)
{
    auto* l = make<TSortListView>(parent, name);
    l->setRootIsDecorated(false);
    l->setUniformRowHeights(true);
    l->setAlternatingRowColors(false);
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setAllColumnsShowFocus(true);
    l->header()->setStretchLastSection(false);
    return l;
}

// One style sheet for the whole window: a light desk with dark player, coloured section
// captions and the green tree selection.
const char* const WindowStyle = R"(
TfrmMain { background: #e6eaf1; }
#pnlMp3Menu, #pnlListMenu {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfcfe, stop:1 #d3dae6);
    border-bottom: 1px solid #9aa7ba; }
#lblMusicFolder { color: #1d3f7a; font-weight: bold; }
#lblFolder { color: #202020; background: #ffffff; border: 1px solid #a9b5c6; padding-left: 4px; }
#lblPlay { color: #0000ff; font-weight: bold; }
#lblFavorite0 { color: #000000; font-weight: bold; }
#lblFavorite { color: #000000; background: #ffffff; border: 1px solid #a9b5c6; padding-left: 4px; }
#pnlTrr, #pnlFile, #pnlMusic, #pnlMp3, #pnlList { background: #c9d2df; }
#lblLogo { color: #3a4760; font-size: 26px; font-style: italic; font-weight: bold; }
#cpl00, #cpl10, #cpl20 { background: #fbfcfe; border: 1px solid #8d9bb0; }
#cpl01 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5f8fe0, stop:1 #2c58a8); }
#cpl01 QLabel, #lbl10, #lbl20 { color: #ffffff; font-weight: bold; padding-left: 4px; }
#lbl00 { padding-left: 0px; }
#lbl10 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #55b56c, stop:1 #267a3c); }
#lbl20 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #eb9a45, stop:1 #b35f12); }
QTreeView { background: #fbfcfe; }
QTreeView::item { height: 16px; }
QTreeView::item:selected { background: #25ba05; color: #ffffff; }
#lstMP3, #lstFile { background: #ffffff; border: 1px solid #8d9bb0; }
QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff,
    stop:1 #dfe5ee); color: #000000; font-weight: bold; border: 0px;
    border-right: 1px solid #b8c2d1; border-bottom: 1px solid #b8c2d1; padding: 2px 4px; }
#pnlPlayer { background: #1a2130; border-top: 1px solid #56657f; }
#lblScale { color: #e8eef8; }
#pnlOsillo1, #pnlOsillo2 { background: #000000; border: 1px solid #5b6b86; }
#pnlMeter { background: #06080c; }
#pnlMeter QLabel { color: #7cf29a; font-size: 8pt; }
#lcdMeter { background: #102010; color: #62ff62; font-family: monospace; border: 1px solid #2d5c2d; }
#msgOstrel { background: #140606; color: #ff5b3b; border: 1px solid #4a1a12; }
#LCD1 { background: #808080; border-radius: 6px; }
#pnlCPU { background: #0b0f16; border: 1px solid #3d4a60; }
#lblCPU { color: #ffffff; font-weight: bold; }
#pnlSplash, #pnlCnvMp3, #pnlBurnCD { background: #fffdf0; border: 2px solid #d08a2c; }
#lblMP3 { color: #b4480c; font-weight: bold; }
#pnlLyrics { background: #000000; border: 1px solid #5b6b86; }
#pnlEffect { background: #000000; }
)";

}  // namespace

void TfrmMain::CreateControls()
{
    setStyleSheet(QString::fromLatin1(WindowStyle));
    // Balloon hints, black on the info colour with a silver shadow, at once and for 15 s.
    AppHint1 = new controls::TAppHint(this);
    AppHint1->setObjectName(QStringLiteral("AppHint1"));
    AppHint1->Font().SetColor(gfx::clBlack);
    AppHint1->SetShadowColor(gfx::clSilver);
    AppHint1->SetHintPause(0);
    AppHint1->SetHintHidePause(15000);
    QFont f(QString::fromStdString(gfx::MapFontName(gfx::DefaultFontName)));
    f.setPixelSize(12);
    setFont(f);
    CreateTopBar();
    CreateTreeColumn();
    CreatePlaylist();
    CreatePlayer();
    CreateMenus();
}

void TfrmMain::CreateTopBar()
{
    pnlMp3Menu = panel(this, "pnlMp3Menu");
    spdMainMenu = captioned<controls::TXiButton>(pnlMp3Menu, "spdMainMenu", "Main Menu");
    spdMainMenu->setGeometry(2, 2, 80, 22);
    lblMusicFolder = label(pnlMp3Menu, "lblMusicFolder", "Music Folder :");
    lblMusicFolder->setGeometry(88, 2, 88, 22);
    lblFolder = label(pnlMp3Menu, "lblFolder", "");
    lblFolder->setGeometry(178, 3, 300, 20);
    spdDetails = captioned<controls::TXiButton>(pnlMp3Menu, "spdDetails", "Details Infomation");
    spdDetails->setGeometry(600, 2, 131, 22);
    spdDetails->setEnabled(false);
    spdEffect = captioned<controls::TXiButton>(pnlMp3Menu, "spdEffect", "Visual effects Mode");
    spdEffect->setGeometry(731, 2, 138, 22);
    for (auto* b : {spdMainMenu, spdDetails, spdEffect})
        b->SetColorScheme(controls::xibutton::csNeoSilver);
}

void TfrmMain::CreateTreeColumn()
{
    pnlEffect = panel(this, "pnlEffect");
    pbxEffect = make<forms::TPaintBox>(pnlEffect, "pbxEffect");
    pbxEffect->SetColor(0);
    pnlFile = panel(this, "pnlFile");
    pnlMusic = panel(pnlFile, "pnlMusic");
    pnlMp3 = panel(pnlMusic, "pnlMp3");
    pnlTrr = panel(pnlMp3, "pnlTrr");

    cpl00 = panel(pnlTrr, "cpl00");
    cpl01 = panel(cpl00, "cpl01");
    auto* cap01 = label(cpl01, "lbl01", "音楽フォルダ");
    cap01->setGeometry(0, 0, 160, SectionCaptionHeight);
    cap01->setAttribute(Qt::WA_TransparentForMouseEvents);
    lbl00 = label(cpl01, "lbl00", "△");
    lbl00->setAttribute(Qt::WA_TransparentForMouseEvents);
    trrFile = tree(cpl00, "trrFile");

    cpl10 = panel(pnlTrr, "cpl10");
    lbl10 = label(cpl10, "lbl10", "音楽項目分類");
    trrGenre = tree(cpl10, "trrGenre");
    cpl20 = panel(pnlTrr, "cpl20");
    lbl20 = label(cpl20, "lbl20", "お気に入り");
    trrFavorite = tree(cpl20, "trrFavorite");

    lstMP3 = listView(pnlMp3, "lstMP3");

    pnlSplash = panel(pnlFile, "pnlSplash");
    pnlSplash->resize(190, 50);
    AlphaLabel2 = captioned<controls::TAlphaLabel>(pnlSplash, "AlphaLabel2", "Updating Music List now...");
    AlphaLabel2->SetAutoSize(false);
    AlphaLabel2->setGeometry(4, 4, 182, 42);
    AlphaLabel2->SetAlignment(controls::taCenter);
    AlphaLabel2->SetLayout(controls::tlCenter);
    AlphaLabel2->SetParentFont(false);
    AlphaLabel2->Font().SetColor(NoticeColor);
    AlphaLabel2->Font().SetStyle(gfx::fsBold);
    pnlSplash->hide();

    pnlCnvMp3 = panel(pnlMp3, "pnlCnvMp3");
    pnlCnvMp3->resize(240, 64);
    lblMP3 = label(pnlCnvMp3, "lblMP3", "MP3 Converter");
    lblMP3->setGeometry(10, 6, 220, 20);
    GaugeMP3 = make<controls::TCoolGauge>(pnlCnvMp3, "GaugeMP3");
    GaugeMP3->SetBounds(32, 32, 175, 15);
    GaugeMP3->SetBorderStyle(controls::TCoolGauge::bsNone);
    GaugeMP3->SetText("%d%%");
    pnlCnvMp3->hide();
}

void TfrmMain::CreatePlaylist()
{
    pnlList = panel(this, "pnlList");
    pnlListMenu = panel(pnlList, "pnlListMenu");
    lblPlay = label(pnlListMenu, "lblPlay", "Play List :");
    lblPlay->setGeometry(6, 3, 110, 20);
    lblFavorite0 = label(pnlListMenu, "lblFavorite0", "Favorite :");
    lblFavorite0->setGeometry(6, 26, 66, 20);
    lblFavorite = label(pnlListMenu, "lblFavorite", "");
    lblFavorite->setGeometry(74, 26, 200, 20);

    auto bar = [this](const char* name, const char* caption, int top) {
        auto* b = captioned<controls::TXiButton>(pnlListMenu, name, caption);
        b->setGeometry(0, top, 100, 21);
        return b;
    };
    spdCopyList = bar("spdCopyList", "Copy Seleced Titles", 2);
    spdAllCopy = bar("spdAllCopy", "Copy All Titles", 2);
    spdPlayList = bar("spdPlayList", "Play Music List", 2);
    spdFvUpdate = bar("spdFvUpdate", "Update Favorite", 25);
    spdFavorite = bar("spdFavorite", "Add Favorite", 25);
    for (auto* b : {spdCopyList, spdAllCopy, spdPlayList, spdFvUpdate, spdFavorite})
        b->setEnabled(false);
    for (auto* b : {spdCopyList, spdAllCopy, spdPlayList})
        b->SetColorScheme(controls::xibutton::csNeoSilver);
    for (auto* b : {spdFvUpdate, spdFavorite})
        b->SetColorScheme(controls::xibutton::csNeoGrass);
    chkRepeart = captioned<controls::TFlatCheckBox>(pnlListMenu, "chkRepeart", "Repeat");
    chkRepeart->setGeometry(0, 3, 58, 20);
    chkShuffle = captioned<controls::TFlatCheckBox>(pnlListMenu, "chkShuffle", "Shuffle");
    chkShuffle->setGeometry(0, 26, 58, 20);
    chkRepeart->SetTransparent(true);
    chkShuffle->SetTransparent(true);

    lstFile = listView(pnlList, "lstFile");
    pnlLyrics = panel(pnlList, "pnlLyrics");
    pbxLyrics = make<visual::TDXDraw>(pnlLyrics, "pbxLyrics");
    SetupDisplayControl(*pbxLyrics);
    pnlLyrics->hide();

    pnlBurnCD = panel(pnlList, "pnlBurnCD");
    pnlBurnCD->resize(220, 50);
    AlphaLabel1 = captioned<controls::TAlphaLabel>(pnlBurnCD, "AlphaLabel1", "Burning Music to CD ...");
    AlphaLabel1->SetAutoSize(false);
    AlphaLabel1->setGeometry(4, 4, 212, 42);
    AlphaLabel1->SetAlignment(controls::taCenter);
    AlphaLabel1->SetLayout(controls::tlCenter);
    AlphaLabel1->SetParentFont(false);
    AlphaLabel1->Font().SetColor(NoticeColor);
    AlphaLabel1->Font().SetStyle(gfx::fsBold);
    pnlBurnCD->hide();
}

void TfrmMain::CreatePlayer()
{
    pnlPlayer = panel(this, "pnlPlayer");
    pnlOsillo1 = panel(pnlPlayer, "pnlOsillo1");
    pnlOsillo1->setGeometry(4, 4, 252, 82);
    pnlOsillo2 = panel(pnlPlayer, "pnlOsillo2");
    pnlOsillo2->setGeometry(258, 4, 252, 82);
    auto pane = [](QWidget* parent, const char* name) {
        auto* w = make<forms::TPaintBox>(parent, name);
        w->SetColor(0);
        w->setGeometry(1, 1, 250, 80);
        return w;
    };
    auto surfacePane = [](QWidget* parent, const char* name) {
        auto* w = make<visual::TDXDraw>(parent, name);
        SetupDisplayControl(*w);
        w->setGeometry(1, 1, 250, 80);
        return w;
    };
    dxdLeft = surfacePane(pnlOsillo1, "dxdLeft");
    pbxLeft = pane(pnlOsillo1, "pbxLeft");
    dxdRight = surfacePane(pnlOsillo2, "dxdRight");
    imageList_ = std::make_unique<visual::TDXImageList>();
    dxdImage = imageList_.get();
    dxdImage->SetDXDraw(dxdRight);
    spriteEngine_ = std::make_unique<visual::TDXSpriteEngine>();
    DXSpriteEngine1 = spriteEngine_.get();
    paneSurfaces_[0].Pane = dxdLeft;
    paneSurfaces_[1].Pane = dxdRight;
    Handlers.Set(dxdLeft->OnInitialize, [this](QObject*) { dxdLeftInitialize(); });
    Handlers.Set(dxdLeft->OnFinalize, [this](QObject*) { dxdLeftFinalize(); });
    pbxRight = pane(pnlOsillo2, "pbxRight");
    pbxLeft->hide();
    pbxRight->hide();
    // Where the painter draws the captions, in pane coordinates.
    lblLeft = label(pnlOsillo1, "lblLeft", "Left");
    lblLeft->move(6, 6);
    lblMusic = label(pnlOsillo1, "lblMusic", "");
    lblMusic->move(30, 62);
    lblRight = label(pnlOsillo2, "lblRight", "Right");
    lblRight->move(6, 6);
    lblDuration = label(pnlOsillo2, "lblDuration", "");
    lblDuration->move(160, 62);
    for (auto* l : {lblLeft, lblMusic, lblRight, lblDuration})
        l->hide();
    lblClock = make<controls::TClockLabel>(pnlOsillo2, "lblClock");
    lblClock->move(160, 62);
    lblClock->SetParentFont(false);
    lblClock->Font().SetHeight(-12);
    lblClock->Font().SetColor(gfx::clRed);
    lblClock->SetTransparent(true);
    lblClock->SetStyle(controls::ts12Hours);
    lblClock->SetInterval(500);
    lblClock->hide();
    CreateMeterPanel();

    barLeft = make<controls::TRbProgressBar>(pnlPlayer, "barLeft");
    barLeft->setGeometry(4, 88, 252, 7);
    barRight = make<controls::TRbProgressBar>(pnlPlayer, "barRight");
    barRight->setGeometry(258, 88, 252, 7);
    Gauge1 = make<controls::TRbProgressBar>(pnlPlayer, "Gauge1");
    Gauge1->setGeometry(4, 99, 251, 20);
    for (auto* bar : {barLeft, barRight}) {
        bar->SetShowText(false);
        bar->SetDefaultFrom(0x00FF80);
        bar->SetColor(PlayerColor);
    }
    Gauge1->SetDefaultFrom(0xFFB040);
    Gauge1->SetColor(PlayerColor);

    struct Btn { controls::TRbButton** slot; const char* name; const char* caption; int left, width; };
    const Btn buttons[] = {
        {&sbBack, "sbBack", "◀◀", 260, 30}, {&sbPlay, "sbPlay", "▶", 290, 30},
        {&sbPause, "sbPause", "❚❚", 320, 30}, {&sbStop, "sbStop", "■", 350, 30},
        {&sbStep, "sbStep", "▶▶", 380, 30}, {&spdCd, "spdCd", "ＣＤ", 414, 31},
        {&spdVoice, "spdVoice", "録音", 446, 31}, {&spdVolume, "spdVolume", "音量", 478, 32},
    };
    for (const auto& b : buttons) {
        *b.slot = captioned<controls::TRbButton>(pnlPlayer, b.name, b.caption);
        (*b.slot)->setGeometry(b.left, 98, b.width, 22);
    }
    sbBack->Tag = 1;
    sbStep->Tag = 2;

    struct Chk { controls::TFlatCheckBox** slot; const char* name; const char* caption; int left, width; };
    const Chk checks[] = {
        {&chkEcho, "chkEcho", "Echo", 6, 58}, {&chkReverb, "chkReverb", "Reverb", 66, 64},
        {&ckkChorus, "ckkChorus", "Chorus", 132, 64}, {&chkFlanger, "chkFlanger", "Flanger", 198, 64},
    };
    for (const auto& c : checks) {
        *c.slot = captioned<controls::TFlatCheckBox>(pnlPlayer, c.name, c.caption);
        (*c.slot)->setGeometry(c.left, 124, c.width, 20);
        (*c.slot)->SetColor(PlayerColor);
        // A black mark on the dark face could not be seen: the mark takes the text colour,
        // and the box lit by the mouse or the focus stays dark enough to show it.
        (*c.slot)->SetColors(0, PlayerFocusColor);
        (*c.slot)->SetColors(1, PlayerColor);
        (*c.slot)->SetColors(2, PlayerTextColor);
        (*c.slot)->SetParentFont(false);
        (*c.slot)->Font().SetColor(PlayerTextColor);
    }
    lblScale = label(pnlPlayer, "lblScale", "Freq.");
    lblScale->setGeometry(266, 124, 36, 20);
    trackFrequency = make<controls::TXiTrackBar>(pnlPlayer, "trackFrequency");
    trackFrequency->setGeometry(304, 123, 206, 22);
    trackFrequency->SetColorScheme(controls::xitrackbar::csSky);
    trackFrequency->SetColor(controls::xitrackbar::ciBackColor, PlayerColor);
    trackFrequency->SetMin(100);
    trackFrequency->SetMax(100000);
    trackFrequency->SetPosition(100);

    lblLogo = label(pnlPlayer, "lblLogo", "Tambourelle");
    lblLogo->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    pnlCPU = panel(pnlPlayer, "pnlCPU");
    pnlCPU->resize(CpuPanelWidth, 38);
    lblCPU = label(pnlCPU, "lblCPU", "CPU");
    lblCPU->setGeometry(4, 2, 30, 16);
    Gauge2 = make<controls::TRbProgressBar>(pnlCPU, "Gauge2");
    Gauge2->setGeometry(34, 4, 146, 12);
    Gauge2->SetShowText(false);
    Gauge2->SetColor(0x160F0B);
    pbxCPU = make<forms::TPaintBox>(pnlCPU, "pbxCPU");
    pbxCPU->SetColor(0);
    pbxCPU->setGeometry(4, 22, 176, 12);
}

// The dashboard of the meter mode: three needle meters, the odometer with its blinking dot,
// three lamps and the round lamp, the marquee, the segment-bar meter and the gear lamps.
void TfrmMain::CreateMeterPanel()
{
    pnlMeter = panel(pnlOsillo2, "pnlMeter");
    pnlMeter->setGeometry(0, 0, 252, 82);
    auto meter = [this](const char* name, const char* caption, int left, int top, int w, int h, int max) {
        auto* m = make<controls::TAnalogMeter>(pnlMeter, name);
        m->SetBounds(left, top, w, h);
        m->SetCaption(caption);
        m->SetMax(max);
        return m;
    };
    // The three dials are wider than the room beside the odometer column: their square
    // corners, which the round faces leave empty, overlap a little.
    mtrLeft = meter("mtrLeft", "LT", 0, 0, 70, 70, 150);
    mtrRight = meter("mtrRight", "RT", 65, 0, 70, 70, 150);
    mtrBalanse = meter("mtrBalanse", "BL", 130, 8, 52, 56, 100);
    mtrBalanse->SetValue(50);
    lcdMeter = make<controls::TLCD99>(pnlMeter, "lcdMeter");
    lcdMeter->SetBounds(178, 4, 66, 13);
    lcdMeter->SetDigitNum(5);
    lcdMeter->SetOnColor(gfx::clRed);
    lcdMeter->SetOffColor(gfx::RGB(48, 0, 0));
    lcdMeter->SetDigitSpacing(1);
    lcdMeter->SetGapX(0);
    lcdMeter->SetGapY(0);
    lcdMeter->SetSegmentSize(1);
    lcdMeter->SetValue("88888");
    lblMK0 = label(pnlMeter, "lblMK0", "●");
    lblMK0->setGeometry(245, 4, 7, 13);
    SetFontColor(lblMK0, 0x0000FFFF);
    controls::TLED** leds[] = {&LED1, &LED2, &LED3};
    const char* ledNames[] = {"LED1", "LED2", "LED3"};
    for (int i = 0; i < 3; ++i) {
        *leds[i] = make<controls::TLED>(pnlMeter, ledNames[i]);
        (*leds[i])->SetBounds(178 + 21 * i, 22, 19, 11);
    }
    LCD1 = label(pnlMeter, "LCD1", "");
    LCD1->setGeometry(242, 22, 10, 10);
    msgOstrel = make<controls::TLightStr>(pnlMeter, "msgOstrel");
    msgOstrel->move(178, 38);
    msgOstrel->SetShowFontH(5);
    msgOstrel->resize(63, 15);
    msgOstrel->SetShowStrings({"______x______"});
    dbrMeter = make<visual::TDistractBar>(pnlMeter, "dbrMeter");
    dbrMeter->setGeometry(2, 66, 96, 12);
    dbrMeter->SetBackGroundColor(0x0C0806);  // the panel's own
    dbrMeter->SetBarCount(16);
    dbrMeter->SetBarSpacing(1);
    dbrMeter->SetEnableMask(1u << 7 | 1u << 8);
    dbrMeter->SetProcess(visual::apDouble);
    dbrMeter->SetAnimated(true);  // runs once the window is first shown
    const char* gears[] = {"lblM0P", "lblM0R", "lblM0N", "lblM01", "lblM02", "lblM03", "lblM04", "lblM05"};
    const char* gearText[] = {"P", "R", "N", "1", "2", "3", "4", "5"};
    for (int i = 0; i < 8; ++i) {
        lblM0[size_t(i)] = label(pnlMeter, gears[i], gearText[i]);
        lblM0[size_t(i)]->setGeometry(104 + 18 * i, 64, 16, 16);
        lblM0[size_t(i)]->setAlignment(Qt::AlignCenter);
        SetFontColor(lblM0[size_t(i)], 0x808080);
    }
    pnlMeter->hide();
}

void TfrmMain::ArrangePanels()
{
    const int W = width();
    const int H = height();
    pnlMp3Menu->setGeometry(0, 0, W, TopBarHeight);
    pnlPlayer->setGeometry(0, H - PlayerHeight, W, PlayerHeight);
    const int middle = std::max(0, H - TopBarHeight - PlayerHeight);
    const int fileHeight = middle * 3 / 5;
    pnlFile->setGeometry(0, TopBarHeight, W, fileHeight);
    pnlEffect->setGeometry(pnlFile->geometry());
    pbxEffect->setGeometry(0, 0, W, fileHeight);
    pnlMusic->setGeometry(0, 0, W, fileHeight);
    pnlMp3->setGeometry(0, 0, W, fileHeight);
    pnlTrr->setGeometry(0, 0, TreeColumnWidth, fileHeight);
    lstMP3->setGeometry(TreeColumnWidth + Gap, 0, W - TreeColumnWidth - Gap, fileHeight);

    const int listTop = TopBarHeight + fileHeight + Gap;
    pnlList->setGeometry(0, listTop, W, std::max(0, H - PlayerHeight - Gap - listTop));
    pnlListMenu->setGeometry(0, 0, W, ListMenuHeight);
    lstFile->setGeometry(0, ListMenuHeight, W, std::max(0, pnlList->height() - ListMenuHeight));
    pnlLyrics->resize(pnlLyrics->width(), std::max(40, lstFile->height() - 2));
    pbxLyrics->setGeometry(1, 1, std::max(0, pnlLyrics->width() - 2), pnlLyrics->height() - 2);

    pnlCPU->move(std::max(PlayerBlockWidth, W - CpuPanelWidth - 4), 4);
    // The maker's plate in the free part of the player, where there is room for it.
    lblLogo->setGeometry(PlayerBlockWidth, 50, std::max(0, W - PlayerBlockWidth - 16), 90);
    lblLogo->setVisible(W >= PlayerBlockWidth + 240);
}

// The sections of the tree column stack from the top: folders, categories, favourites, each
// a caption bar over its tree.
void TfrmMain::ArrangeTreeSections()
{
    const int w = pnlTrr->width();
    cpl00->setGeometry(0, 0, w, cpl00->height());
    cpl10->setGeometry(0, cpl00->height() + 1, w, cpl10->height());
    cpl20->setGeometry(0, cpl00->height() + cpl10->height() + 2, w, cpl20->height());
    cpl01->setGeometry(0, 0, w, SectionCaptionHeight);
    lbl00->setGeometry(w - 20, 0, 18, SectionCaptionHeight);
    lbl10->setGeometry(0, 0, w, SectionCaptionHeight);
    lbl20->setGeometry(0, 0, w, SectionCaptionHeight);
    auto below = [w](QWidget* t, const QWidget* section) {
        const int h = section->height() - SectionCaptionHeight - 1;
        t->setGeometry(1, SectionCaptionHeight, w - 2, std::max(0, h));
        t->setVisible(h > 0);
    };
    below(trrFile, cpl00);
    below(trrGenre, cpl10);
    below(trrFavorite, cpl20);
}
