#include "platform/forms/Hints.h"

#include <algorithm>

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "platform/forms/Application.h"

namespace forms {

namespace {

// How far below the mouse's hot spot a hint starts: the arrow cursor's height.
constexpr int CursorHeightMargin = 20;
constexpr unsigned HintTextFlags = gfx::DT_LEFT | gfx::DT_WORDBREAK | gfx::DT_NOPREFIX;

// The nearest widget from w upward (within its window) that has a hint.
QWidget* hintControlOf(QWidget* w)
{
    for (; w; w = w->isWindow() ? nullptr : w->parentWidget())
        if (!w->toolTip().isEmpty())
            return w;
    return nullptr;
}

}  // namespace

// ---- THintWindow

THintWindow::THintWindow() : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint |
                                                  Qt::WindowDoesNotAcceptFocus |
                                                  Qt::WindowTransparentForInput)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    font_.SetColor(gfx::clInfoText);
    font_.OnChange = [this] { update(); };
}

THintWindow::~THintWindow() = default;

gfx::TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint)
{
    QImage scratch(1, 1, QImage::Format_RGB32);
    gfx::TCanvas c(&scratch);
    c.Font().Assign(font_);
    // As wide as the widest line (wrapped at maxWidth), as high as the wrapped text.
    int width = 0;
    for (size_t start = 0; start <= hint.size();) {
        size_t end = hint.find('\n', start);
        if (end == std::string::npos)
            end = hint.size();
        std::string line = hint.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        width = std::max(width, c.TextWidth(line));
        start = end + 1;
    }
    width = std::min(width, std::max(1, maxWidth));
    gfx::TRect r{0, 0, width, 0};
    c.DrawText(hint, r, HintTextFlags | gfx::DT_CALCRECT);
    return {0, 0, width + 6, r.Bottom + 2};
}

void THintWindow::ActivateHint(gfx::TRect rect, const std::string& hint)
{
    caption_ = hint;
    setGeometry(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top);
    show();
    raise();
    update();
}

void THintWindow::EraseBackground(gfx::TCanvas& canvas)
{
    canvas.Brush().SetStyle(gfx::bsSolid);
    canvas.Brush().SetColor(color_);
    canvas.FillRect({0, 0, width(), height()});
}

void THintWindow::Paint(gfx::TCanvas& canvas)
{
    canvas.Brush().SetColor(gfx::clBlack);
    canvas.FrameRect({0, 0, width(), height()});
    canvas.Brush().SetStyle(gfx::bsClear);
    canvas.Font().Assign(font_);
    gfx::TRect r{2, 2, width(), height()};
    canvas.DrawText(caption_, r, HintTextFlags);
}

void THintWindow::paintEvent(QPaintEvent*)
{
    picture_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    picture_.fill(Qt::transparent);
    gfx::TCanvas canvas(&picture_);
    RunGuarded([&] {
        EraseBackground(canvas);
        Paint(canvas);
    });
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, picture_);
}

// ---- TApplicationHints

namespace {
QPointer<TApplicationHints> hintsInstance;
// Runs first as the application object ends, while windows may still be deleted.
void deleteHints() { delete hintsInstance.data(); }
}  // namespace

TApplicationHints& TApplicationHints::Instance()
{
    // Owned by the application object, so that its timers end with the event loop.
    if (!hintsInstance) {
        hintsInstance = new TApplicationHints;
        hintsInstance->setParent(qApp);
        qAddPostRoutine(deleteHints);
    }
    return *hintsInstance;
}

TApplicationHints::TApplicationHints()
{
    showTimer_.setSingleShot(true);
    hideTimer_.setSingleShot(true);
    connect(&showTimer_, &QTimer::timeout, this, [this] { RunGuarded([this] { FireShowTimer(); }); });
    connect(&hideTimer_, &QTimer::timeout, this, [this] { RunGuarded([this] { FireHideTimer(); }); });
}

void TApplicationHints::SetShowHint(bool on)
{
    if (on == showHint_)
        return;
    showHint_ = on;
    if (!on) {
        CancelHint();
        window_.reset();
    }
    updateFilter();
}

void TApplicationHints::SetHintWindowClass(THintWindowClass cls)
{
    CancelHint();
    window_.reset();
    class_ = std::move(cls);
    updateFilter();
}

void TApplicationHints::updateFilter()
{
    const bool want = showHint_ && class_ && qApp;
    if (want == filtering_)
        return;
    filtering_ = want;
    if (want)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool TApplicationHints::eventFilter(QObject* watched, QEvent* event)
{
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w == window_.get())
        return false;
    switch (event->type()) {
    case QEvent::ToolTip:
        // A widget's own hint is ours; tips Qt finds elsewhere (a menu's actions, the items
        // of a view) stay Qt's.
        return hintControlOf(w) != nullptr;
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->buttons() == Qt::NoButton)
            MouseOver(w, me->position().toPoint());
        break;
    }
    case QEvent::Leave:
        if (w == control_)
            CancelHint();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        hideHint();
        showTimer_.stop();
        suppressed_ = control_ != nullptr;
        break;
    default:
        break;
    }
    return false;
}

void TApplicationHints::MouseOver(QWidget* widget, QPoint pos)
{
    QWidget* control = hintControlOf(widget);
    if (control && widget != control)
        pos = widget->mapTo(control, pos);
    cursorPos_ = pos;
    if (control == control_)
        return;
    const bool wasShowing = window_ && window_->isVisible();
    hideHint();
    showTimer_.stop();
    suppressed_ = false;
    setControl(control);
    if (!control)
        return;
    const int pause = wasShowing ? hintShortPause_ : hintPause_;
    if (pause <= 0) {
        showHint();
    } else {
        showTimer_.setInterval(pause);
        showTimer_.start();
    }
}

void TApplicationHints::setControl(QWidget* control)
{
    control_ = control;
    const std::string hint = control ? control->toolTip().toStdString() : std::string();
    if (hint == hint_)
        return;
    hint_ = hint;
    if (OnHint)
        OnHint(this);
}

void TApplicationHints::CancelHint()
{
    showTimer_.stop();
    hideHint();
    suppressed_ = false;
    setControl(nullptr);
}

void TApplicationHints::FireShowTimer()
{
    showTimer_.stop();
    showHint();
}

void TApplicationHints::FireHideTimer()
{
    hideTimer_.stop();
    hideHint();
}

void TApplicationHints::hideHint()
{
    hideTimer_.stop();
    if (window_)
        window_->ReleaseHandle();
}

void TApplicationHints::showHint()
{
    if (!control_ || suppressed_ || !showHint_ || !class_ || !control_->isVisible())
        return;
    THintInfo info;
    info.HintControl = control_;
    info.CursorPos = cursorPos_;
    info.HintPos = control_->mapToGlobal(cursorPos_) + QPoint(0, CursorHeightMargin);
    const QScreen* screen = control_->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    info.HintMaxWidth = area.width();
    info.HideTimeout = hintHidePause_;
    info.HintStr = control_->toolTip().toStdString();
    std::string text = info.HintStr;
    bool canShow = true;
    if (OnShowHint)
        OnShowHint(text, canShow, info);
    if (!canShow || text.empty())
        return;
    if (!window_)
        window_ = class_();
    if (!window_)
        return;
    gfx::TRect r = window_->CalcHintRect(info.HintMaxWidth, text);
    int x = info.HintPos.x(), y = info.HintPos.y();
    const int w = r.Right - r.Left, h = r.Bottom - r.Top;
    // Kept on the screen: to the left of the right edge, above the mouse near the bottom.
    if (x + w > area.right() + 1)
        x = std::max(area.left(), area.right() + 1 - w);
    if (y + h > area.bottom() + 1)
        y = std::max(area.top(), info.HintPos.y() - CursorHeightMargin - h);
    // A tool-tip window is placed relative to the window it belongs to where the system
    // places popups itself (Wayland).
    window_->winId();
    if (QWindow* own = window_->windowHandle())
        own->setTransientParent(control_->window()->windowHandle());
    window_->ActivateHint({x, y, x + w, y + h}, text);
    if (info.HideTimeout > 0) {
        hideTimer_.setInterval(info.HideTimeout);
        hideTimer_.start();
    }
}

}  // namespace forms
