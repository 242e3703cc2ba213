#include "controls/dx/dxButtons.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QIcon>

#include "controls/dx/dxCoreUtils.h"
#include "controls/gradient/RbDrawCore.h"
#include "platform/forms/Form.h"

namespace controls {

TdxCustomButton::TdxCustomButton(QWidget* parent) : TdxCustomStyleControl(parent)
{
    resize(73, 21);
    SetTabStop(true);
}

void TdxCustomButton::SetAction(QAction* action)
{
    if (action == action_)
        return;
    QObject::disconnect(actionLink_);
    action_ = action;
    if (action_) {
        actionLink_ = QObject::connect(action_, &QAction::changed, this, [this] { takeFromAction(); });
        takeFromAction();
    }
    invalidateUnlessUpdating();
}

void TdxCustomButton::takeFromAction()
{
    if (!action_)
        return;
    SetCaption(action_->text().toStdString());
    setEnabled(action_->isEnabled());
    invalidateUnlessUpdating();  // the icon may have changed
}

void TdxCustomButton::SetDefault(bool on)
{
    if (on == default_)
        return;
    default_ = on;
    NotifyFocusChanged(*this);
    invalidateUnlessUpdating();
}

void TdxCustomButton::SetGlyph(const gfx::TBitmap& glyph)
{
    glyph_.Assign(glyph);
    invalidateUnlessUpdating();
}

bool TdxCustomButton::canTakeFocus() const
{
    return TabStop() && isEnabled() && isVisible();
}

bool TdxCustomButton::activeControlIsDx() const
{
    return dynamic_cast<const TdxCustomControl*>(window()->focusWidget()) != nullptr;
}

bool TdxCustomButton::IsActive() const
{
    return LButtonDown() ? !MouseIn() : MouseIn() || hasFocus();
}

bool TdxCustomButton::LooksActive() const
{
    return IsActive() || (default_ && canTakeFocus() && !activeControlIsDx());
}

void TdxCustomButton::Click()
{
    if (forms::TForm* f = ParentForm())
        f->SetModalResult(modalResult_);
    if (!OnClick && action_)
        action_->trigger();
    else
        TdxCustomStyleControl::Click();
}

bool TdxCustomButton::DialogKey(int key, forms::TShiftState shift)
{
    const bool wanted =
        (key == forms::VK_RETURN && (hasFocus() || (default_ && !activeControlIsDx())))
        || (key == forms::VK_ESCAPE && cancel_ && !(shift & (forms::ssShift | forms::ssCtrl | forms::ssAlt)));
    if (!wanted || !canTakeFocus())
        return false;
    Click();
    return true;
}

bool TdxCustomButton::DialogChar(char32_t ch)
{
    const bool alt = QApplication::keyboardModifiers() & Qt::AltModifier;
    if (!IsAccel(ch, Caption()) || !canTakeFocus() || !(hasFocus() || alt))
        return false;
    Click();
    return true;
}

// A disabled or released button must lose its pressed or enabled look at once, whatever the
// repaint options say: the default options leave both hooks without a repaint.
void TdxCustomButton::DoEnabledChanged()
{
    if (!isEnabled())
        setStateBit(dxsLButtonDown, false);  // no release reaches a disabled control
    TdxCustomStyleControl::DoEnabledChanged();
    invalidateUnlessUpdating();
}

void TdxCustomButton::DoLMouseUp(forms::TShiftState shift, int x, int y)
{
    TdxCustomStyleControl::DoLMouseUp(shift, x, y);
    invalidateUnlessUpdating();
}

void TdxCustomButton::DoSizeChanged()
{
    buildFaces();
    TdxCustomStyleControl::DoSizeChanged();
}

void TdxCustomButton::KeyDown(int& key, forms::TShiftState shift)
{
    TdxCustomStyleControl::KeyDown(key, shift);
    if (key == forms::VK_SPACE && !(shift & (forms::ssShift | forms::ssCtrl | forms::ssAlt))) {
        setStateBit(dxsMouseIn, true);
        DoLMouseDown(shift, 0, 0);
    }
}

void TdxCustomButton::KeyUp(int& key, forms::TShiftState shift)
{
    TdxCustomStyleControl::KeyUp(key, shift);
    if (key == forms::VK_SPACE && LButtonDown()) {
        if (!MouseInControl())
            setStateBit(dxsMouseIn, false);
        setStateBit(dxsLButtonDown, false);
        invalidateUnlessUpdating();
        Click();
    }
}

void TdxCustomButton::buildFaces()
{
    const int w = Width(), h = Height();
    const int k = 4 * (IsActive() ? 1 : 0) + 2;
    FillBandedGradient(faceNormal_, w - k, h - k, NormalFrom, NormalTo);
    FillBandedGradient(facePressed_, w - 2, h - 2, PressedFrom, PressedTo);
    FillBandedGradient(faceDefault_, w - 2, h - 2, DefaultFrom, DefaultTo);
    FillBandedGradient(faceHot_, w - 2, h - 2, HotFrom, HotTo);
}

bool TdxCustomButton::glyphImage(QImage& out, TColor& key) const
{
    if (action_ && !action_->icon().isNull()) {
        const QIcon icon = action_->icon();
        const QSize size = icon.availableSizes().value(0, QSize(16, 16));
        out = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        // Our canvas copies pixels without blending: see-through pixels take a key colour.
        key = gfx::clFuchsia;
        const QRgb keyRgb = qRgb(255, 0, 255);
        for (int y = 0; y < out.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < out.width(); ++x)
                if (qAlpha(row[x]) < 128)
                    row[x] = keyRgb;
        }
    } else if (!glyph_.Empty()) {
        out = glyph_.ToImage();
        key = glyph_.TransparentColor();
    } else {
        return false;
    }
    if (autoGray_ && !isEnabled())
        GreyGlyph(out, key);
    return true;
}

void TdxCustomButton::Paint()
{
    gfx::TCanvas& c = Canvas();
    const int w = Width(), h = Height();
    if (faceNormal_.Empty() || facePressed_.Width() != w - 2 || facePressed_.Height() != h - 2)
        buildFaces();
    const bool active = LooksActive();
    const int a = active ? 1 : 0;

    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(gfx::Rect(0, 0, w, h));
    if (active)
        c.Draw(1, 1, MouseIn() ? faceHot_ : faceDefault_);
    if (MouseIn() && LButtonDown())
        c.Draw(1, 1, facePressed_);
    else
        c.StretchDraw(gfx::Bounds(2 * a + 1, 2 * a + 1, w - 2 - 4 * a, h - 2 - 4 * a), faceNormal_);

    const bool enabled = isEnabled();
    c.Brush().SetStyle(gfx::bsClear);
    c.Pen().SetStyle(gfx::psSolid);
    c.Pen().SetWidth(1);
    c.Pen().SetColor(enabled ? BorderColor : DisabledBorderColor);
    c.RoundRect(0, 0, w, h, 5, 5);
    if (smoothEdges_) {
        c.Pen().SetColor(enabled ? SmoothColor : DisabledBorderColor);
        c.MoveTo(0, 1); c.LineTo(2, -1);              // top left
        c.MoveTo(w - 2, 0); c.LineTo(w, 2);           // top right
        c.MoveTo(0, h - 2); c.LineTo(2, h);           // bottom left
        c.MoveTo(w - 1, h - 2); c.LineTo(w - 3, h);   // bottom right
    }

    unsigned flags = gfx::DT_END_ELLIPSIS;
    if (wordWrap_)
        flags |= gfx::DT_WORDBREAK;
    if (!showAccelChar_)
        flags |= gfx::DT_NOPREFIX;
    QImage glyph;
    TColor key = gfx::clNone;
    const bool hasGlyph = glyphImage(glyph, key);
    const int gw = hasGlyph ? glyph.width() : 0, gh = hasGlyph ? glyph.height() : 0;
    const int gap = hasGlyph ? spacing_ : 0;
    const bool across = layout_ == blGlyphLeft || layout_ == blGlyphRight;

    // The caption is measured first, within the room the glyph leaves.
    const bool blank = Caption().empty() || (showAccelChar_ && Caption() == "&");
    const std::string text = blank ? std::string(1, ' ') : Caption();
    c.Font().Assign(Font());
    // A wrapped measure keeps the whole room as its width; a caption that fits on one line
    // takes its own width instead, so that glyph and caption sit together in the middle.
    const int room = std::max(1, w - 8 - (across ? gw + gap : 0));
    TRect tr = gfx::Rect(0, 0, room, 0);
    c.DrawText(text, tr, (flags & ~gfx::DT_WORDBREAK) | gfx::DT_CALCRECT);
    if (wordWrap_ && tr.Width() > room) {
        tr = gfx::Rect(0, 0, room, 0);
        c.DrawText(text, tr, flags | gfx::DT_CALCRECT);
    }
    const int tw = tr.Width(), th = tr.Height();

    int gx = 0, gy = 0, tx = 0, ty = 0;
    if (across) {
        const int x0 = (w - (gw + gap + tw)) / 2;
        gy = (h - gh) / 2;
        ty = (h - th) / 2;
        gx = layout_ == blGlyphLeft ? x0 : x0 + tw + gap;
        tx = layout_ == blGlyphLeft ? x0 + gw + gap : x0;
    } else {
        const int y0 = (h - (gh + gap + th)) / 2;
        gx = (w - gw) / 2;
        tx = (w - tw) / 2;
        gy = layout_ == blGlyphTop ? y0 : y0 + th + gap;
        ty = layout_ == blGlyphTop ? y0 + gh + gap : y0;
    }
    if (hasGlyph)
        c.DrawImage(glyph, gfx::Rect(0, 0, gw, gh), gfx::Bounds(gx, gy, gw, gh), key);

    c.Brush().SetStyle(gfx::bsClear);
    DrawCaptionText(c, text, Font(), 0, false, flags | gfx::DT_CENTER, gfx::Bounds(tx, ty, tw, th),
                    enabled);

    if (hasFocus() && showFocusRect_) {
        c.Brush().SetStyle(gfx::bsSolid);
        c.Brush().SetColor(gfx::clWhite);
        c.DrawFocusRect(gfx::Rect(3, 3, w - 3, h - 3));
    }
}

}  // namespace controls
