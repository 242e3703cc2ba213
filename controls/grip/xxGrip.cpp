#include "controls/grip/xxGrip.h"

#include <algorithm>
#include <cstdlib>

namespace controls {

namespace {

// The sizing cursor of each handle, clockwise from the top-left corner.
constexpr std::array<Qt::CursorShape, 8> spotCursors = {
    Qt::SizeFDiagCursor, Qt::SizeVerCursor, Qt::SizeBDiagCursor, Qt::SizeHorCursor,
    Qt::SizeFDiagCursor, Qt::SizeVerCursor, Qt::SizeBDiagCursor, Qt::SizeHorCursor};

bool isCorner(int index) { return index % 2 == 0; }

}  // namespace

TxxHSpot::TxxHSpot(TxxGrip& grip, int index, QWidget* parent)
    : TCustomControl(parent), grip_(grip), index_(index)
{
    resize(7, 7);
    hide();
    setCursor(spotCursors[size_t(index)]);
    SetClickEvents(false);
}

void TxxHSpot::MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y)
{
    TCustomControl::MouseDown(button, shift, x, y);
    if (!grip_.move_ || button != forms::mbLeft)
        return;
    down_ = {x, y};
    grip_.fire(grip_.OnMouseDown);
}

void TxxHSpot::MouseMove(forms::TShiftState shift, int x, int y)
{
    TCustomControl::MouseMove(shift, x, y);
    if (!grip_.move_ || (shift & (forms::ssLeft | forms::ssRight | forms::ssMiddle)) != forms::ssLeft)
        return;
    // Edge handles look only along their own axis.
    const bool movedX = x != down_.x(), movedY = y != down_.y();
    const bool moved = index_ == 1 || index_ == 5 ? movedY
                       : index_ == 3 || index_ == 7 ? movedX
                                                    : movedX || movedY;
    if (!moved)
        return;
    grip_.dragged(*this, Left() + x - down_.x(), Top() + y - down_.y());
}

void TxxHSpot::MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y)
{
    TCustomControl::MouseUp(button, shift, x, y);
    if (!grip_.move_ || button != forms::mbLeft)
        return;
    grip_.released();
}

TxxGrip::TxxGrip(QObject* owner) : QObject(owner)
{
    ensureHandles(qobject_cast<QWidget*>(owner));
}

TxxGrip::~TxxGrip()
{
    QObject::disconnect(watch_);
    for (auto& h : handles_)
        delete h.data();
}

void TxxGrip::ensureHandles(QWidget* parent)
{
    for (size_t i = 0; i < handles_.size(); ++i) {
        if (!handles_[i])
            handles_[i] = new TxxHSpot(*this, int(i), parent);
        else if (handles_[i]->parentWidget() != parent)
            handles_[i]->setParent(parent);  // leaves it hidden
        handles_[i]->hide();
    }
}

void TxxGrip::SetAttach(QWidget* control)
{
    for (auto& h : handles_)
        if (h)
            h->hide();
    QObject::disconnect(watch_);
    attach_ = control;
    if (!control)
        return;
    watch_ = connect(control, &QObject::destroyed, this, [this] { detached(); });
    ensureHandles(control->parentWidget());
    for (auto& h : handles_)
        h->SetColor(color_);
    place(false);
}

void TxxGrip::detached()
{
    attach_ = nullptr;
    for (auto& h : handles_)
        if (h)
            h->hide();
}

void TxxGrip::SetGripSize(int value)
{
    size_ = value;
    half_ = value / 2;
}

bool TxxGrip::GripView() const
{
    return attach_ && handles_[0] && !handles_[0]->isHidden();
}

void TxxGrip::SetGripView(bool value)
{
    for (auto& h : handles_) {
        // A handle without a window to live in would become a window of its own.
        if (!h || !h->parentWidget())
            continue;
        h->setVisible(value);
        if (value)
            h->raise();
    }
}

void TxxGrip::SetGripDraw(bool)
{
    place(false);
}

void TxxGrip::place(bool edgesOnly)
{
    if (!attach_)
        return;
    const QRect g = attach_->geometry();
    const int l = g.x(), t = g.y(), w = g.width(), h = g.height(), s = size_, d = half_;
    const std::array<int, 3> xs = {l - d, l + w / 2 - d, l + w - d};
    const std::array<int, 3> ys = {t - d, t + h / 2 - d, t + h - d};
    // Column and row of each handle, clockwise from the top-left corner.
    constexpr std::array<std::pair<int, int>, 8> cells = {
        std::pair{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}};
    for (size_t i = 0; i < handles_.size(); ++i) {
        if (!handles_[i] || (edgesOnly && isCorner(int(i))))
            continue;
        handles_[i]->setGeometry(xs[size_t(cells[i].first)], ys[size_t(cells[i].second)], s, s);
    }
}

void TxxGrip::fire(const TMsMoveEvent& event)
{
    if (event && attach_ && handles_[0] && handles_[4])
        event(this, handles_[0]->Left(), handles_[4]->Left(), handles_[0]->Top(), handles_[4]->Top());
}

void TxxGrip::dragged(TxxHSpot& spot, int newLeft, int newTop)
{
    if (!attach_ || std::any_of(handles_.begin(), handles_.end(), [](const auto& h) { return !h; }))
        return;
    auto setLeft = [&](int i) { handles_[size_t(i)]->move(newLeft, handles_[size_t(i)]->Top()); };
    auto setTop = [&](int i) { handles_[size_t(i)]->move(handles_[size_t(i)]->Left(), newTop); };
    switch (spot.Index()) {
    case 0: spot.move(newLeft, newTop); setTop(2); setLeft(6); break;
    case 2: spot.move(newLeft, newTop); setTop(0); setLeft(4); break;
    case 4: spot.move(newLeft, newTop); setTop(6); setLeft(2); break;
    case 6: spot.move(newLeft, newTop); setTop(4); setLeft(0); break;
    case 1: setTop(0); setTop(2); break;
    case 3: setLeft(2); setLeft(4); break;
    case 5: setTop(4); setTop(6); break;
    case 7: setLeft(0); setLeft(6); break;
    }
    spot.Repaint();
    const TxxHSpot& a = *handles_[0];
    const TxxHSpot& b = *handles_[4];
    attach_->setGeometry(std::min(a.Left(), b.Left()) + half_, std::min(a.Top(), b.Top()) + half_,
                         std::abs(b.Left() - a.Left()), std::abs(b.Top() - a.Top()));
    attach_->update();
    place(true);
    fire(OnMouseMove);
}

void TxxGrip::released()
{
    place(false);
    fire(OnMouseUp);
}

}  // namespace controls
