#include "controls/hint/NewHint.h"

#include <array>

#include "platform/gfx/Regions.h"

namespace controls {

namespace {

TAppHint* current = nullptr;

constexpr unsigned HintTextFlags = gfx::DT_LEFT | gfx::DT_WORDBREAK | gfx::DT_NOPREFIX;

forms::TApplicationHints& app() { return forms::TApplicationHints::Instance(); }

// Where a shape puts its text; the shadow goes one pixel further right and down.
struct TextOffset {
    int dx, dy;
};
constexpr TextOffset BalloonText{11, 25}, RoundRectText{9, 7}, LineStringText{19, 11};

}  // namespace

// ---- TAppHint

TAppHint::TAppHint(QObject* owner) : QObject(owner)
{
    brush_.SetColor(gfx::clInfoBk);
    font_.SetColor(gfx::clBlack);
    font_.OnChange = [this] { recreateHintWindow(); };
    Loaded();
}

TAppHint::~TAppHint()
{
    if (current == this)
        current = nullptr;
}

TAppHint* TAppHint::Current() { return current; }

void TAppHint::Loaded()
{
    current = this;
    app().SetHintWindowClass([] { return std::make_unique<THintEx>(); });
    app().OnHint = [](QObject*) {
        if (TAppHint* h = Current(); h && h->OnHint)
            h->OnHint(h);
    };
    app().OnShowHint = [](std::string& text, bool& canShow, forms::THintInfo& info) {
        if (TAppHint* h = Current(); h && h->OnShowHint)
            h->OnShowHint(text, canShow, info);
    };
    recreateHintWindow();
}

// Switching the application's hints off and on drops the window; the next hint makes a new
// one that takes the settings as they are then.
void TAppHint::recreateHintWindow()
{
    app().SetShowHint(false);
    app().SetShowHint(true);
}

void TAppHint::SetHintStyle(THintStyle s)
{
    if (s == hintStyle_)
        return;
    hintStyle_ = s;
    recreateHintWindow();
}

int TAppHint::HintPause() const { return app().HintPause(); }
void TAppHint::SetHintPause(int ms) { app().SetHintPause(ms); }
int TAppHint::HintHidePause() const { return app().HintHidePause(); }
void TAppHint::SetHintHidePause(int ms) { app().SetHintHidePause(ms); }
int TAppHint::HintShortPause() const { return app().HintShortPause(); }
void TAppHint::SetHintShortPause(int ms) { app().SetHintShortPause(ms); }

// ---- THintEx

THintEx::THintEx()
{
    if (TAppHint* h = TAppHint::Current())
        Font().Assign(h->Font());
}

void THintEx::ActivateHint(gfx::TRect rect, const std::string& hint)
{
    TAppHint* h = TAppHint::Current();
    shaped_ = h != nullptr;
    region_ = QRegion();
    if (!shaped_) {
        clearMask();
        THintWindow::ActivateHint(rect, hint);
        return;
    }
    style_ = h->HintStyle();
    switch (style_) {
    case hsFukidashi: {
        rect.Right += 14;
        rect.Bottom += 30;
        const int W = rect.Right - rect.Left, H = rect.Bottom - rect.Top;
        const std::array<gfx::TPoint, 11> outline = {{{14, 8}, {14, 18}, {3, 18}, {1, 20},
            {1, H - 3}, {3, H}, {W - 3, H}, {W, H - 3}, {W, 20}, {W - 2, 18}, {32, 18}}};
        region_ = gfx::CreatePolygonRgn(outline, true);
        break;
    }
    case hsRoundRect: {
        rect.Top += 8;
        rect.Right += 12;
        rect.Bottom += 18;
        region_ = gfx::CreateRoundRectRgn(0, 0, rect.Right - rect.Left, rect.Bottom - rect.Top, 4, 4);
        break;
    }
    case hsLineString: {
        rect.Right += 21;
        rect.Bottom += 12;
        region_ = gfx::CreateRectRgn(1, 1, rect.Right - rect.Left - 1, rect.Bottom - rect.Top - 1);
        break;
    }
    case hsOwnerDraw:
        break;
    }
    if (region_.isEmpty())
        clearMask();
    else
        setMask(region_);
    THintWindow::ActivateHint(rect, hint);
}

void THintEx::EraseBackground(gfx::TCanvas& canvas)
{
    if (!shaped_ || !TAppHint::Current()) {
        THintWindow::EraseBackground(canvas);
        return;
    }
    if (!region_.isEmpty())
        canvas.SetClipRegion(region_);
    if (style_ != hsLineString)
        THintWindow::EraseBackground(canvas);
}

void THintEx::Paint(gfx::TCanvas& canvas)
{
    TAppHint* h = TAppHint::Current();
    if (!shaped_ || !h) {
        canvas.ClearClip();
        THintWindow::Paint(canvas);
        return;
    }
    const int W = width(), H = height();
    if (style_ == hsOwnerDraw) {
        if (h->OnPaint)
            h->OnPaint(Caption(), canvas, W, H);
        return;
    }
    canvas.Pen().Assign(h->Pen());
    if (style_ != hsLineString) {
        // A hatched brush lays its lines over BGColor; a solid one covers everything.
        if (h->Brush().Style() != gfx::bsSolid && h->Brush().Style() != gfx::bsClear) {
            canvas.Brush().SetStyle(gfx::bsSolid);
            canvas.Brush().SetColor(h->BGColor());
            canvas.FillRect({0, 0, W, H});
        }
        canvas.Brush().Assign(h->Brush());
        canvas.FillRect({0, 0, W, H});
    }
    switch (style_) {
    case hsFukidashi: {
        // The last corner lies outside the shape, so only the tail's edges show of the
        // closing lines.
        const std::array<gfx::TPoint, 12> outline = {{{14, 9}, {14, 18}, {3, 18}, {1, 20},
            {1, H - 3}, {3, H - 1}, {W - 3, H - 1}, {W - 1, H - 3}, {W - 1, 20}, {W - 3, 18},
            {31, 18}, {0, 0}}};
        canvas.Polygon(outline);
        paintText(canvas, *h, BalloonText.dx, BalloonText.dy);
        break;
    }
    case hsRoundRect:
        canvas.RoundRect(0, 0, W, H, 6, 6);
        paintText(canvas, *h, RoundRectText.dx, RoundRectText.dy);
        break;
    case hsLineString: {
        canvas.MoveTo(1, 1);
        canvas.LineTo(17, H - 2);
        canvas.LineTo(W, H - 2);
        canvas.Brush().SetStyle(gfx::bsClear);
        canvas.Font().Assign(Font());
        if (h->ShadowVisible()) {
            canvas.Font().SetColor(h->ShadowColor());
            const TextOffset halo[] = {{19, 10}, {19, 12}, {18, 11}, {20, 11}};
            for (const TextOffset& o : halo) {
                gfx::TRect r{o.dx, o.dy, W + o.dx, H + o.dy};
                canvas.DrawText(Caption(), r, HintTextFlags);
            }
        }
        canvas.Font().SetColor(Font().Color());
        gfx::TRect r{LineStringText.dx, LineStringText.dy, W + LineStringText.dx, H + LineStringText.dy};
        canvas.DrawText(Caption(), r, HintTextFlags);
        break;
    }
    case hsOwnerDraw:
        break;
    }
}

// The shadow first (one pixel right and down), then the text in the font's colour.
void THintEx::paintText(gfx::TCanvas& canvas, TAppHint& settings, int dx, int dy)
{
    const int W = width(), H = height();
    canvas.Brush().SetStyle(gfx::bsClear);
    canvas.Font().Assign(Font());
    if (settings.ShadowVisible()) {
        canvas.Font().SetColor(settings.ShadowColor());
        gfx::TRect r{dx + 1, dy + 1, W + dx + 1, H + dy + 1};
        canvas.DrawText(Caption(), r, HintTextFlags);
    }
    canvas.Font().SetColor(Font().Color());
    gfx::TRect r{dx, dy, W + dx, H + dy};
    canvas.DrawText(Caption(), r, HintTextFlags);
}

}  // namespace controls
