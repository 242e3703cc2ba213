// `TAppHint` replaces the application's hint window with `THintEx`, a hint in one of four
// shapes: a speech balloon with its tail at the top left (`hsFukidashi`), a rounded
// rectangle, a line string (haloed text over a leader line, nothing erased behind it) or one
// the owner draws. It also carries the application's hint timings and hint events.
//
// The unit keeps one current instance, which every `THintEx` reads its settings from. There
// is no design time here: a second instance made at run time simply becomes the current one,
// and destroying an instance clears the current one only when it is that one; a hint window
// left without a current instance paints as the standard hint.
//
// A shape is the window's mask (which shapes it on X11) and a translucent background painted
// only inside the shape's region (which shapes it where masks are not honoured, as under
// Wayland). UI thread only.
#pragma once
#include <functional>
#include <string>

#include <QObject>
#include <QRegion>

#include "platform/forms/Control.h"
#include "platform/forms/Hints.h"
#include "platform/gfx/DrawTools.h"

namespace controls {

enum THintStyle { hsFukidashi, hsRoundRect, hsLineString, hsOwnerDraw };

using THintPaintEvent = std::function<void(const std::string& HintStr, gfx::TCanvas& Canvas,
                                           int Width, int Height)>;

class TAppHint : public QObject {
public:
    explicit TAppHint(QObject* owner = nullptr);
    ~TAppHint() override;

    // The instance hint windows read their settings from (none after the current one died).
    static TAppHint* Current();

    THintStyle HintStyle() const { return hintStyle_; }
    void SetHintStyle(THintStyle s);
    gfx::TBrush& Brush() { return brush_; }
    gfx::TColor BGColor() const { return bgColor_; }
    void SetBGColor(gfx::TColor c) { bgColor_ = c; }
    gfx::TPen& Pen() { return pen_; }
    // A change of the font makes a new hint window.
    gfx::TFont& Font() { return font_; }
    gfx::TColor ShadowColor() const { return shadowColor_; }
    void SetShadowColor(gfx::TColor c) { shadowColor_ = c; }
    bool ShadowVisible() const { return shadowVisible_; }
    void SetShadowVisible(bool on) { shadowVisible_ = on; }

    // The application's own timings (ms).
    int HintPause() const;
    void SetHintPause(int ms);
    int HintHidePause() const;
    void SetHintHidePause(int ms);
    int HintShortPause() const;
    void SetHintShortPause(int ms);

    forms::TNotifyEvent OnHint;
    THintPaintEvent OnPaint;
    forms::TShowHintEvent OnShowHint;

    // Installs the hint window class again and routes the application's hint events here.
    void Loaded();

private:
    void recreateHintWindow();

    THintStyle hintStyle_ = hsFukidashi;
    gfx::TBrush brush_;
    gfx::TColor bgColor_ = gfx::clBlack;
    gfx::TPen pen_;
    gfx::TFont font_;
    gfx::TColor shadowColor_ = gfx::clSilver;
    bool shadowVisible_ = true;
};

class THintEx : public forms::THintWindow {
public:
    // Takes the font of the current TAppHint.
    THintEx();

    void ActivateHint(gfx::TRect rect, const std::string& hint) override;
    // The shape of the last hint shown (window coordinates); empty for the standard hint.
    const QRegion& HintRegion() const { return region_; }
    // The style the last hint was shaped in.
    THintStyle ShownStyle() const { return style_; }

protected:
    void EraseBackground(gfx::TCanvas& canvas) override;
    void Paint(gfx::TCanvas& canvas) override;

private:
    void paintText(gfx::TCanvas& canvas, TAppHint& settings, int dx, int dy);
    QRegion region_;
    THintStyle style_ = hsFukidashi;
    bool shaped_ = false;  // shown while a TAppHint was current
};

}  // namespace controls
