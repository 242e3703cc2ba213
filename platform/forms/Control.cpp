#include "platform/forms/Control.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/forms/Application.h"
#include "platform/forms/Form.h"
#include "platform/gfx/Raster.h"

namespace forms {

int VirtualKey(int k)
{
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 'A' + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return '0' + (k - Qt::Key_0);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return VK_F1 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: return 0;
    }
}

TShiftState ShiftState(Qt::KeyboardModifiers m, Qt::MouseButtons b)
{
    TShiftState s = 0;
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::AltModifier) s |= ssAlt;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    if (b & Qt::LeftButton) s |= ssLeft;
    if (b & Qt::RightButton) s |= ssRight;
    if (b & Qt::MiddleButton) s |= ssMiddle;
    return s;
}

namespace {
bool toButton(Qt::MouseButton b, TMouseButton& out)
{
    switch (b) {
    case Qt::LeftButton: out = mbLeft; return true;
    case Qt::RightButton: out = mbRight; return true;
    case Qt::MiddleButton: out = mbMiddle; return true;
    default: return false;
    }
}

}  // namespace

TParentLook* NearestParentLook(const QWidget* w)
{
    for (QWidget* p = w ? w->parentWidget() : nullptr; p; p = p->parentWidget())
        if (auto* look = dynamic_cast<TParentLook*>(p))
            return look;
    return nullptr;
}

void TParentLook::propagateLook(QWidget* self, bool color, bool font)
{
    for (QObject* o : self->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow())
            continue;
        if (auto* c = dynamic_cast<TCustomControl*>(w))
            c->takeParentLook(color, font);
        else
            propagateLook(w, color, font);
    }
}

// The control's canvas: its surface is the backing image; drawing outside a paint asks for
// a repaint so it reaches the screen.
class TCustomControl::ControlCanvas : public gfx::TCanvas {
public:
    explicit ControlCanvas(TCustomControl& c) : control_(c) {}
    QImage* Surface() override
    {
        control_.ensureBacking();
        return &control_.backing_;
    }

protected:
    void Changed() override
    {
        if (!control_.inPaint_)
            control_.update();
    }

private:
    TCustomControl& control_;
};

TCustomControl::TCustomControl(QWidget* parent) : TControlProperties(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    font_.OnChange = [this] {
        parentFont_ = false;
        RunGuarded([this] { FontChanged(); });
        propagateLook(this, false, true);
    };
    takeParentLook(true, true);
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::ensureBacking()
{
    const QSize s = size().expandedTo(QSize(1, 1));
    if (backing_.size() == s)
        return;
    QImage img(s, QImage::Format_RGB32);
    img.fill(QColor(gfx::raster::toQRgb(color_)));
    if (!backing_.isNull()) {
        QPainter p(&img);
        p.drawImage(0, 0, backing_);
    }
    backing_ = img;
}

gfx::TCanvas& TCustomControl::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<ControlCanvas>(*this);
    return *canvas_;
}

void TCustomControl::takeParentLook(bool color, bool font)
{
    TParentLook* look = NearestParentLook(this);
    if (!look)
        return;
    if (color && parentColor_ && look->Color() != color_) {
        color_ = look->Color();
        RunGuarded([this] { ParentColorChanged(); ColorChanged(); });
        propagateLook(this, true, false);
    }
    if (font && parentFont_ && !(look->Font() == font_)) {
        auto keep = std::move(font_.OnChange);
        font_.Assign(look->Font());
        font_.OnChange = std::move(keep);
        RunGuarded([this] { FontChanged(); });
        propagateLook(this, false, true);
    }
}

void TCustomControl::SetColor(TColor c)
{
    parentColor_ = false;
    if (c == color_)
        return;
    color_ = c;
    RunGuarded([this] { ColorChanged(); });
    propagateLook(this, true, false);
}

void TCustomControl::SetParentColor(bool on)
{
    parentColor_ = on;
    if (on)
        takeParentLook(true, false);
}

void TCustomControl::SetParentFont(bool on)
{
    parentFont_ = on;
    if (on)
        takeParentLook(false, true);
}

void TCustomControl::SetCaption(const std::string& text)
{
    if (text == caption_)
        return;
    caption_ = text;
    RunGuarded([this] { TextChanged(); });
}

TForm* TCustomControl::ParentForm() const
{
    for (QWidget* p = parentWidget(); p; p = p->parentWidget())
        if (auto* f = dynamic_cast<TForm*>(p))
            return f;
    return nullptr;
}

bool TCustomControl::Loading() const
{
    const TForm* f = ParentForm();
    return f && f->Loading();
}

void TCustomControl::Paint()
{
    gfx::TCanvas& c = Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(color_);
    c.FillRect(gfx::Rect(0, 0, width(), height()));
}

void TCustomControl::MouseDown(TMouseButton b, TShiftState s, int x, int y)
{
    if (OnMouseDown) OnMouseDown(this, b, s, x, y);
}
void TCustomControl::MouseUp(TMouseButton b, TShiftState s, int x, int y)
{
    if (OnMouseUp) OnMouseUp(this, b, s, x, y);
}
void TCustomControl::MouseMove(TShiftState s, int x, int y)
{
    if (OnMouseMove) OnMouseMove(this, s, x, y);
}
void TCustomControl::Click()
{
    if (OnClick) OnClick(this);
}
void TCustomControl::DblClick()
{
    if (OnDblClick) OnDblClick(this);
}
void TCustomControl::MouseEnter()
{
    if (OnMouseEnter) OnMouseEnter(this);
}
void TCustomControl::MouseLeave()
{
    if (OnMouseLeave) OnMouseLeave(this);
}
void TCustomControl::KeyDown(int& key, TShiftState s)
{
    if (OnKeyDown) OnKeyDown(this, key, s);
}
void TCustomControl::KeyUp(int& key, TShiftState s)
{
    if (OnKeyUp) OnKeyUp(this, key, s);
}
void TCustomControl::KeyPress(char32_t& key)
{
    if (OnKeyPress) OnKeyPress(this, key);
}
void TCustomControl::DoEnter()
{
    if (OnEnter) OnEnter(this);
}
void TCustomControl::DoExit()
{
    if (OnExit) OnExit(this);
}
void TCustomControl::Resized()
{
    if (OnResize) OnResize(this);
}
bool TCustomControl::DialogKey(int, TShiftState)
{
    return false;
}
bool TCustomControl::DialogChar(char32_t)
{
    return false;
}
void TCustomControl::FocusChanged(QWidget*) {}

void TCustomControl::paintEvent(QPaintEvent*)
{
    ensureBacking();
    if (transparentBackground_ && parentWidget()) {
        backing_.fill(QColor(gfx::raster::toQRgb(color_)));
        parentWidget()->render(&backing_, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
    }
    gfx::TCanvas& c = Canvas();
    c.Font().Assign(font_);
    inPaint_ = true;
    {
        PaintEventScope painting;
        RunGuarded([this] { Paint(); });
    }
    inPaint_ = false;
    QPainter p(this);
    p.drawImage(0, 0, backing_);
}

void TCustomControl::setInside(bool inside)
{
    if (inside == mouseInside_)
        return;
    mouseInside_ = inside;
    RunGuarded([this, inside] { inside ? MouseEnter() : MouseLeave(); });
}

void TCustomControl::mousePressEvent(QMouseEvent* e)
{
    TMouseButton b;
    if (!toButton(e->button(), b))
        return;
    const QPoint p = e->position().toPoint();
    if (b == mbLeft)
        leftDown_ = true;
    RunGuarded([&] { MouseDown(b, ShiftState(e->modifiers(), e->buttons()), p.x(), p.y()); });
}

void TCustomControl::mouseReleaseEvent(QMouseEvent* e)
{
    TMouseButton b;
    if (!toButton(e->button(), b))
        return;
    const QPoint p = e->position().toPoint();
    const bool inside = rect().contains(p);
    const bool wasDown = b == mbLeft && leftDown_;
    if (b == mbLeft)
        leftDown_ = false;
    if (!captureMouse_ && !inside)
        return;  // without capture the release happened over another window
    RunGuarded([&] { MouseUp(b, ShiftState(e->modifiers(), e->buttons()), p.x(), p.y()); });
    if (wasDown && inside && clickEvents_)
        RunGuarded([this] { Click(); });
    if (!inside)
        setInside(false);
}

void TCustomControl::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    const bool inside = rect().contains(p);
    setInside(inside);
    if (!captureMouse_ && !inside)
        return;
    RunGuarded([&] { MouseMove(ShiftState(e->modifiers(), e->buttons()), p.x(), p.y()); });
}

void TCustomControl::mouseDoubleClickEvent(QMouseEvent* e)
{
    TMouseButton b;
    if (!toButton(e->button(), b))
        return;
    const QPoint p = e->position().toPoint();
    if (b == mbLeft)
        leftDown_ = true;
    RunGuarded([&] {
        MouseDown(b, ShiftState(e->modifiers(), e->buttons()) | ssDouble, p.x(), p.y());
        if (b == mbLeft)
            DblClick();
    });
}

void TCustomControl::enterEvent(QEnterEvent*)
{
    setInside(true);
}

void TCustomControl::leaveEvent(QEvent*)
{
    setInside(false);
}

void TCustomControl::keyPressEvent(QKeyEvent* e)
{
    int key = VirtualKey(e->key());
    const TShiftState shift = ShiftState(e->modifiers());
    if ((key == VK_RETURN || key == VK_ESCAPE) && !WantsKey(key)) {
        if (TForm* f = ParentForm(); f && f->DispatchDialogKey(key, shift))
            return;
    }
    bool handled = false;
    RunGuarded([&] {
        if (key != 0) {
            const int before = key;
            KeyDown(key, shift);
            handled = key == 0 && before != 0;
        }
        const QString text = e->text();
        if (!handled && !text.isEmpty() && text[0].isPrint()) {
            char32_t ch = text.toUcs4().value(0);
            KeyPress(ch);
            handled = ch == 0;
            if (!handled && !WantsChars() && !(shift & (ssCtrl | ssAlt)))
                if (TForm* f = ParentForm())
                    handled = f->DispatchDialogChar(QString(text[0]).toUpper().toUcs4().value(0));
        }
        // Alt+letter is the window's accelerator whatever has the focus; accepted here, the
        // key would never reach the window.
        if (!handled && !(shift & ssCtrl))
            if (TForm* f = ParentForm())
                handled = f->DispatchAccelerator(key, shift, text);
    });
    // A dialog key the control did not want and left alone goes on to the window; one the
    // control wants is its own, never offered to the Default or Cancel buttons afterwards.
    if (!handled && (key == VK_RETURN || key == VK_ESCAPE) && !WantsKey(key))
        e->ignore();
}

void TCustomControl::keyReleaseEvent(QKeyEvent* e)
{
    int key = VirtualKey(e->key());
    if (key != 0)
        RunGuarded([&] { KeyUp(key, ShiftState(e->modifiers())); });
}

void TCustomControl::focusInEvent(QFocusEvent* e)
{
    QWidget::focusInEvent(e);
    RunGuarded([this] { DoEnter(); });
    Invalidate();
}

void TCustomControl::focusOutEvent(QFocusEvent* e)
{
    QWidget::focusOutEvent(e);
    RunGuarded([this] { DoExit(); });
    Invalidate();
}

void TCustomControl::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange)
        RunGuarded([this] { EnabledChanged(); });
    else if (e->type() == QEvent::ParentChange)
        takeParentLook(true, true);
}

void TCustomControl::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    RunGuarded([this] { Resized(); });
}

void TPaintBox::Paint()
{
    if (OnPaint) OnPaint(this);
}

}  // namespace forms
