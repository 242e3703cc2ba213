#include "app/xSplash.h"

#include "app/MainForm.h"
#include "app/SortListView.h"
#include "labels/libText.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/rtl/Numerics.h"
#include "visual/BitmapRoutines.h"
#include "visual/DXDraw.h"
#include "visual/EngineVisual.h"
#include "visual/VisualResources.h"

#include <QCloseEvent>
#include <QShowEvent>

#ifndef TAMBOURELLE_VERSION
#define TAMBOURELLE_VERSION "0.1"
#endif

namespace {

constexpr int kWidth = 452, kHeight = 146;
// The raw pixel the frame is cleared to: a very dark blue.
constexpr uint32_t kBackground = 30;

}  // namespace

TfrmSplash::TfrmSplash(TfrmMain* Main) : QFrame(Main), main_(Main)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowFlags(Qt::Widget | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("#frmSplash { background: black; }"));
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kWidth, kHeight);
    // Colour 16501965 (blue, green, red bytes): a pale blue bevel around the pane.
    Panel1->setStyleSheet(QStringLiteral("#Panel1 { background: #cdcdfb; border: 2px outset #cdcdfb; }"));
    dxdSplash = new visual::TDXDraw(Panel1);
    dxdSplash->setObjectName(QStringLiteral("dxdSplash"));
    dxdSplash->AutoInitialize = true;
    dxdSplash->SetAutoSize(true);
    dxdSplash->Display().SetBitCount(16);
    dxdSplash->setGeometry(2, 2, kWidth - 4, kHeight - 4);
    Timer1.SetEnabled(false);
    Timer1.SetInterval(65);
    Timer1.SetOnTimer([this] { Timer1Timer(); });
    Timer2.SetEnabled(false);
    Timer2.SetInterval(3000);
    Timer2.SetOnTimer([this] { Timer2Timer(); });
    hide();
    FormCreate();
    if (Main)
        Main->frmSplash = this;
}

TfrmSplash::~TfrmSplash() = default;

void TfrmSplash::FormCreate()
{
    scrollPos_ = 0;
    Ready = false;
    splashW_ = dxdSplash->width();
    splashH_ = dxdSplash->height();
    for (gfx::TPoint& s : stars_) {
        s.X = rtl::Random(splashW_) - 20;
        s.Y = rtl::Random(splashH_);
    }
    logo_ = std::make_unique<gfx::TBitmap>();
    work_ = std::make_unique<gfx::TBitmap>();
    try {
        LoadResImage(*logo_, "g03", "GIF");
    } catch (const std::exception&) {
        // Without its logo the splash still shows its stars and credits.
    }
    Lines = {std::string("Tambourelle  Version ") + TAMBOURELLE_VERSION,
             "(C) Tambourelle", " ",
             // Right-aligned beside the grown logo: a longer line would reach under it.
             "https://tambourelle.org/"};
}

void TfrmSplash::showEvent(QShowEvent* e)
{
    QFrame::showEvent(e);
    FormShow();
    CMShowingChanged();
}

void TfrmSplash::FormShow()
{
    PlaceSplash();
}

void TfrmSplash::CMShowingChanged()
{
    if (!isVisible())
        return;
    raise();
    repaint();
    if (main_)
        main_->SplashShown = true;
}

void TfrmSplash::closeEvent(QCloseEvent* e)
{
    Timer1.SetEnabled(false);
    QFrame::closeEvent(e);
}

void TfrmSplash::PlaceSplash()
{
    TfrmMain* m = main_;
    if (!m)
        return;
    QPoint at;
    if (m->lstMP3->width() < width()) {
        at = QPoint((m->width() - width()) / 2, (m->height() - height()) / 2);
    } else {
        const QPoint p = m->pnlMp3->mapTo(m, QPoint(m->pnlTrr->x(), m->lstMP3->y()));
        at.setX(p.x() + (m->width() - width()) / 2);
        at.setY(m->lstMP3->height() < height() ? p.y() + (m->height() - height()) / 2
                                               : p.y() + (m->lstMP3->height() - height()) / 2 + 30);
    }
    move(at);
    raise();
    // A closed splash stays still: only a shown one animates.
    if (isVisible())
        Timer1.SetEnabled(true);
}

void TfrmSplash::Timer1Timer()
{
    try {
        AnimateSplash();
    } catch (const std::exception&) {
        // A frame that fails is skipped; the next one starts afresh.
    }
}

void TfrmSplash::AnimateSplash()
{
    if (!dxdSplash->CanDraw())
        return;
    visual::TDirectDrawSurface& surface = *dxdSplash->Surface;
    surface.Fill(kBackground);
    visual::TDirectDrawSurfaceCanvas& canvas = surface.Canvas();
    canvas.Pen().SetWidth(1);
    canvas.Brush().SetStyle(gfx::bsClear);

    for (int i = 0; i < StarCount; ++i) {
        gfx::TPoint& s = stars_[size_t(i)];
        s.Y += 1;
        s.X += (i % 2 == 0) + (i % 3 == 0) + (i % 4 == 0) + (i % 5 == 0);
        if (s.Y > -4) {
            const int r = rtl::Random(2) * 255, g = rtl::Random(2) * 255, b = rtl::Random(2) * 255;
            canvas.SetPixel(s.X, s.Y, gfx::TColor(r | g << 8 | b << 16));
        }
        if (s.Y > splashH_) {
            s.X = rtl::Random(splashW_) - 20;
            s.Y = -rtl::Random(splashH_);
        }
    }

    lineRects_.clear();
    for (int i = 0; i < int(Lines.size()); ++i) {
        gfx::TFont& font = canvas.Font();
        font.SetName(i == 0 ? "Arial Black" : "Arial");
        font.SetSize(i == 0 ? 14 : 11);
        font.SetColor(i == 0 ? 0x00FF00 : i == 3 ? 0x00FFFF : 0xFFFF00);
        const std::string& text = Lines[size_t(i)];
        const int x = i == 1 ? 277 : i == 3 ? splashW_ - canvas.TextWidth(text) - 33 : 30;
        const int y = dxdSplash->height() - scrollPos_ + 28 * i;
        canvas.Brush().SetColor(gfx::clWhite);
        TextOutRotated(canvas, 0, x, y, text, gfx::clWhite);
        lineRects_.push_back(gfx::Bounds(x, y, canvas.TextWidth(text), canvas.TextHeight(text)));
    }

    const int r = dxdSplash->height() - 20;
    if (!logo_->Empty()) {
        work_->Assign(*logo_);
        if (main_ && main_->VisualResources())
            RotateBitmap(*main_->VisualResources(), *work_, scrollPos_ * 720.0 / r + 45);
        const double scale = double(scrollPos_) / r;
        const int w = int(work_->Width() * scale), h = int(work_->Height() * scale);
        const int y0 = int(60.0 / r * scrollPos_);
        const int x = scrollPos_ + 55 - w / 2, y = y0 + 50 - h / 2;
        const QImage image = work_->ToImage();
        canvas.DrawImage(image, {0, 0, image.width(), image.height()}, {x, y, x + w, y + h}, gfx::clBlack);
        logoRect_ = gfx::TRect{x, y, x + w, y + h};
    }

    if (scrollPos_ >= r) {
        if (Ready)
            Timer2.SetEnabled(true);
    } else {
        scrollPos_ += 2;
    }
    frameCount_ += 2;
    canvas.Release();
    dxdSplash->Flip();
}

void TfrmSplash::Timer2Timer()
{
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    close();
}
