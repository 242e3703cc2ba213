// The main window's side of the visual modes: the lyrics panel that slides up over the
// playlist, and the CPU graph of the player block.
#include "app/MainForm.h"

#include <QEvent>
#include <QString>

#include "pictures/libImg.h"
#include "platform/forms/Application.h"
#include "platform/forms/Image.h"

namespace {

constexpr int CpuGraphStep = 4;     // pixels between two slots
constexpr int CpuGraphBase = 11;    // the zero line of the graph
constexpr int CpuGraphRight = 176;  // the box's width

constexpr int LyricsTop = 10, LyricsLeft = 10;
constexpr int LyricsLineGap = 4;
constexpr int LyricsSlideStop = 48;   // the panel stops once its top passes this line
constexpr gfx::TColor LyricsTextColor = 0xD2FBFA;

// Without the blanks and control characters at both ends; an empty line keeps its place as
// one blank.
std::string LyricLine(const std::string& S)
{
    size_t b = 0, e = S.size();
    while (b < e && static_cast<unsigned char>(S[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(S[e - 1]) <= ' ')
        --e;
    return b < e ? std::string(S, b, e - b) : std::string(" ");
}

}  // namespace

forms::TColor TfrmMain::CpuLoadColor(int Percent)
{
    if (Percent >= 80)
        return 0x0000FF;
    if (Percent >= 70)
        return 0x00FFFF;
    if (Percent >= 50 && Percent <= 68)
        return 0x00FF00;
    return 0xFFFFFF;   // under 50, and 69
}

void TfrmMain::timCPUTimer()
{
    if (pnlCPU->isHidden())
        return;
    if (!CpuUsage1)
        CpuUsage1 = std::make_unique<TCpuUsage>();
    const int load = CpuUsage1->ReadCpuLoad();
    Gauge2->SetPosition(load);
    // The history scrolls left by one slot; the newest reading takes the right end.
    std::copy(CpuSlots.begin() + 1, CpuSlots.end(), CpuSlots.begin());
    CpuSlots.back() = load / 10;
    const forms::TColor colour = CpuLoadColor(load);
    lblCPU->setStyleSheet(QStringLiteral("color: #%1%2%3;")
                              .arg(gfx::GetRValue(colour), 2, 16, QLatin1Char('0'))
                              .arg(gfx::GetGValue(colour), 2, 16, QLatin1Char('0'))
                              .arg(gfx::GetBValue(colour), 2, 16, QLatin1Char('0')));
    Gauge2->SetDefaultFrom(colour);
    pbxCPU->Invalidate();
}

void TfrmMain::pbxCPUPaint()
{
    gfx::TCanvas& c = pbxCPU->Canvas();
    c.Brush().SetColor(0);
    c.FillRect({0, 0, pbxCPU->width(), pbxCPU->height()});
    std::vector<gfx::TPoint> points;
    points.reserve(CpuSlots.size() + 3);
    for (size_t i = 0; i < CpuSlots.size(); ++i)
        points.push_back({int32_t(CpuGraphStep * int(i)), CpuGraphBase - CpuSlots[i]});
    points.push_back({CpuGraphRight, CpuGraphBase - CpuSlots.back()});
    points.push_back({CpuGraphRight, CpuGraphBase});
    points.push_back({-CpuGraphStep, CpuGraphBase});
    c.Pen().SetColor(0xFF0000);
    c.Pen().SetWidth(1);
    c.Brush().SetColor(0x0000FF);
    c.Polygon(points);
}

// ---------------------------------------------------------------- effect overlay

void TfrmMain::spdEffectClick()
{
    const bool closing = spdEffect->Tag == 1;
    if (closing) {
        SetDirectXMode(do_Effect999->isChecked());
        spdEffect->SetColorScheme(controls::xibutton::csNeoSilver);
        pnlFile->raise();
        if (frmEffect)
            frmEffect->Close();
        spdEffect->Tag = 0;
    } else {
        SetDirectXMode(false);
        spdEffect->SetColorScheme(controls::xibutton::csNeoSky);
        pnlEffect->raise();
        if (frmEffect)
            frmEffect->Show();
        lstFile->setFocus();
        spdEffect->Tag = 1;
    }
    // The popup menus of the playlist and the panes ask for Tag 0 themselves.
    raise();
    activateWindow();
    if (DxSound)
        DxSound->UpdateLyricsAndMeter(true);
    // While the overlay is shown the list buttons rest; afterwards each takes the state its
    // own rule gives, not simply "on" (an empty playlist must not offer to be stored).
    const bool hidden = closing;
    if (!hidden) {
        for (controls::TXiButton* b : {spdAllCopy, spdCopyList, spdFvUpdate, spdFavorite, spdMainMenu, spdDetails})
            b->setEnabled(false);
        return;
    }
    spdMainMenu->setEnabled(true);
    spdAllCopy->setEnabled(lstMP3->topLevelItemCount() > 0);
    spdCopyList->setEnabled(!lstMP3->selectedItems().isEmpty());
    SetPlaylistModified(FavoriteModified);   // spdFavorite and spdFvUpdate
    spdDetails->setEnabled(lstMP3->selectedItems().size() == 1 || lstFile->selectedItems().size() == 1);
}

void TfrmMain::pnlEffectResize()
{
    timFrom.SetEnabled(true);
}

// The overlay is rebuilt once the panel has kept its size for a whole tick.
void TfrmMain::timFromTimer()
{
    const QSize size = pnlEffect->size();
    if (size != EffectSizeSeen) {
        EffectSizeSeen = size;
        return;
    }
    timFrom.SetEnabled(false);
    if (frmEffect)
        frmEffect->Restart(spdEffect->Tag == 1);
}

void TfrmMain::pbxEffectMouseDown()
{
    lstFile->setFocus();
}

void TfrmMain::CloseEffectOverlay()
{
    if (frmEffect && frmEffect->Visible())
        frmEffect->Close();
    spdEffect->Tag = 0;
}

// ---------------------------------------------------------------- lyrics panel

void TfrmMain::timLyrics1Timer()
{
    pnlLyrics->move(pnlLyrics->x(), lstFile->y() + lstFile->height() + 10);
    pnlLyrics->show();
    pnlLyrics->raise();
    LyricsRedraw = true;
    timLyrics2.SetEnabled(true);
    timLyrics1.SetEnabled(false);
}

// One pixel a tick; the timer returns to the event loop, which keeps the window live.
void TfrmMain::timLyrics2Timer()
{
    pnlLyrics->move(pnlLyrics->x(), pnlLyrics->y() - 1);
    if (pnlLyrics->y() < LyricsSlideStop)
        timLyrics2.SetEnabled(false);
}

void TfrmMain::pnlLyricsMouseDown()
{
    pnlLyrics->hide();
    timLyrics2.SetEnabled(false);
    timLyrics1.SetEnabled(false);   // another full wait
    timLyrics1.SetEnabled(true);
}

QSize TfrmMain::LyricsPictureSize(int PanelWidth, int PanelHeight, int PictureWidth,
                                  int PictureHeight)
{
    const int h = PanelHeight - 22;
    if (h <= 0 || PictureWidth <= 0 || PictureHeight <= 0)
        return {};
    double w = double(h) / PictureHeight * PictureWidth, hh = h;
    if (PanelWidth < 450) {
        w *= double(PanelWidth) / 450;
        hh *= double(PanelWidth) / 450;
    }
    const QSize size{int(w), int(hh)};
    return size.width() > 0 && size.height() > 0 ? size : QSize();
}

// A tick draws the shown panel when its title or the window's width is not what was last drawn
// there, or when nothing has been drawn since it was shown; a hidden panel is never drawn. The
// rule of remembering only "a tick saw the same title" lost a second title change that came
// within one tick of a draw, leaving the earlier lyrics on screen.
void TfrmMain::DrawLyricsPanel()
{
    if (pnlLyrics->isHidden()) {
        LyricsRedraw = true;
        return;
    }
    const std::string title = lblMusic->text().toStdString();
    if (!LyricsRedraw && title == LastLyricsTitle && width() == LastLyricsWidth)
        return;
    if (!DxSound || !pbxLyrics->Surface)
        return;
    visual::TDirectDrawSurface& surface = *pbxLyrics->Surface;
    surface.Fill(0);
    auto& canvas = surface.Canvas();
    canvas.Font().SetName("ＭＳ Ｐゴシック");
    canvas.Font().SetSize(9);
    canvas.Brush().SetStyle(gfx::bsClear);

    const gfx::TPicture& source = DxSound->LyricsImg().Picture();
    const QSize size = LyricsPictureSize(pnlLyrics->width(), pnlLyrics->height(), source.Width(),
                                         source.Height());
    if (!size.isEmpty()) {
        forms::TImage picture;
        picture.Picture().Assign(source);
        FitImageResample(picture, size.width(), size.height(), true);
        if (picture.Picture().Graphic())
            canvas.Draw(surface.Width() - size.width() - 8, 11, *picture.Picture().Graphic());
    }

    canvas.Font().SetColor(LyricsTextColor);
    const rtl::TStringList& lines = DxSound->LyricsTxt();
    int x = LyricsLeft, y = LyricsTop, widest = 0;
    bool secondColumn = false;
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string line = LyricLine(lines[i]);
        canvas.TextOut(x, y, line);
        widest = std::max(widest, canvas.TextWidth(line));
        y += canvas.TextHeight(line) + LyricsLineGap;
        if (y > surface.Height() - 16 && surface.Width() > widest + 50) {
            if (secondColumn)
                break;
            secondColumn = true;
            x = widest + 30;
            y = LyricsTop;
        }
    }
    canvas.Release();
    pbxLyrics->Flip();
    LyricsRedraw = false;
    LastLyricsWidth = width();
    LastLyricsTitle = title;
}

// ---------------------------------------------------------------- connections

void TfrmMain::ConnectVisualCommands()
{
    timLyrics1.SetOnTimer([this] { forms::RunGuarded([this] { timLyrics1Timer(); }); });
    timLyrics2.SetOnTimer([this] { forms::RunGuarded([this] { timLyrics2Timer(); }); });
    Handlers.Set(spdEffect->OnClick, [this](QObject*) { spdEffectClick(); });
    Handlers.Connect(do_Effect, &QAction::triggered, this, [this] { forms::RunGuarded([this] { spdEffectClick(); }); });
    timFrom.SetOnTimer([this] { forms::RunGuarded([this] { timFromTimer(); }); });
    pnlEffect->installEventFilter(this);
    pbxEffect->installEventFilter(this);
    pnlLyrics->installEventFilter(this);
    pbxLyrics->installEventFilter(this);
    timCPU.SetOnTimer([this] { forms::RunGuarded([this] { timCPUTimer(); }); });
    Handlers.Set(pbxCPU->OnPaint, [this](QObject*) { pbxCPUPaint(); });
}
