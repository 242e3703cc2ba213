#include "app/DropTarget.h"

#include "app/FileDrop.h"
#include "platform/forms/Application.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMimeData>
#include <QScrollBar>
#include <QWidget>

#include <cstdlib>

namespace {

// Takes the drag with the effect's action, or refuses it for no effect.
void answer(QDropEvent* Event, std::uint32_t Effect)
{
    if (Effect & 7) {
        Event->setDropAction(Qt::DropAction(Effect & 7));
        Event->accept();
    } else {
        Event->ignore();
    }
}

}  // namespace

TDropTarget::TDropTarget(QObject* Owner) : QObject(Owner)
{
    FScrollTimer.setInterval(100);
    connect(&FScrollTimer, &QTimer::timeout, this, [this] { forms::RunGuarded([this] { ScrollTick(); }); });
}

TDropTarget::~TDropTarget()
{
    DetachTarget();
}

QWidget* TDropTarget::eventWidget() const
{
    auto* area = qobject_cast<QAbstractScrollArea*>(FTarget.data());
    return area ? area->viewport() : FTarget.data();
}

void TDropTarget::AttachTarget(QWidget* Control)
{
    if (Control && Control == FTarget)
        return;
    DetachTarget();
    if (!Control)
        throw EDropTargetError("Failed to Register ");
    FTarget = Control;
    Control->setAcceptDrops(true);
    QWidget* w = eventWidget();
    w->setAcceptDrops(true);
    w->installEventFilter(this);
}

void TDropTarget::DetachTarget()
{
    if (FTarget) {
        QWidget* w = eventWidget();
        w->removeEventFilter(this);
        w->setAcceptDrops(false);
        FTarget->setAcceptDrops(false);
    }
    endDrag();
    FTarget = nullptr;
}

void TDropTarget::endDrag()
{
    FScrollTimer.stop();
    if (FData)
        ClearData();
    FData = nullptr;
}

std::uint32_t TDropTarget::GetValidDropEffect(Qt::KeyboardModifiers Shift, QPoint Point, int SourceEffects)
{
    const int allowed = SourceEffects & Dragtypes;
    std::uint32_t effect = EffectNone;
    const bool shift = Shift & Qt::ShiftModifier, ctrl = Shift & Qt::ControlModifier;
    if (OnGetDropEffect) {
        effect = std::uint32_t(allowed);
        OnGetDropEffect(this, Shift, Point, effect);
    } else if (shift && ctrl && (allowed & EffectLink)) {
        effect = EffectLink;
    } else if (shift && !ctrl && (allowed & EffectMove)) {
        effect = EffectMove;
    } else {
        for (int e : {EffectCopy, EffectMove, EffectLink})
            if (allowed & e) {
                effect = std::uint32_t(e);
                break;
            }
    }
    const QWidget* w = eventWidget();
    if (w && FScrollDirections) {
        const bool horizontal = (FScrollDirections & 1) &&
            (Point.x() < FScrollMargin || Point.x() >= w->width() - FScrollMargin);
        const bool vertical = (FScrollDirections & 2) &&
            (Point.y() < FScrollMargin || Point.y() >= w->height() - FScrollMargin);
        if (horizontal || vertical)
            effect |= EffectScroll;
    }
    return effect;
}

void TDropTarget::ScrollTick()
{
    auto* area = qobject_cast<QAbstractScrollArea*>(FTarget.data());
    if (!area)
        return;
    const QWidget* w = area->viewport();
    if (FScrollDirections & 2) {
        if (FLastPoint.y() < FScrollMargin)
            area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        else if (FLastPoint.y() >= w->height() - FScrollMargin)
            area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    if (FScrollDirections & 1) {
        if (FLastPoint.x() < FScrollMargin)
            area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        else if (FLastPoint.x() >= w->width() - FScrollMargin)
            area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
}

bool TDropTarget::eventFilter(QObject* Watched, QEvent* Event)
{
    if (!FTarget || Watched != eventWidget())
        return false;
    switch (Event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(Event);
        const bool entering = Event->type() == QEvent::DragEnter;
        FLastPoint = e->position().toPoint();
        std::uint32_t effect = EffectNone;
        forms::RunGuarded([&] {
            if (entering) {
                endDrag();
                if (!HasValidFormats(e->mimeData()))
                    return;
                FData = e->mimeData();
                FScrollDirections = 0;
                if (auto* area = qobject_cast<QAbstractScrollArea*>(FTarget.data())) {
                    const QScrollBar* h = area->horizontalScrollBar();
                    const QScrollBar* v = area->verticalScrollBar();
                    FScrollDirections = (h->maximum() > h->minimum() ? 1 : 0) |
                                        (v->maximum() > v->minimum() ? 2 : 0);
                }
                FScrollMargin = std::abs(QFontMetrics(FTarget->font()).height());
                if (GetDataOnEnter && !GetData(FData)) {
                    endDrag();
                    return;
                }
            }
            if (!FData)
                return;
            effect = GetValidDropEffect(e->modifiers(), FLastPoint, int(e->possibleActions()));
            const TDropEvent& handler = entering ? OnEnter : OnDragOver;
            if (handler)
                handler(this, e->modifiers(), FLastPoint, effect);
            if (effect & EffectScroll) {
                if (!FScrollTimer.isActive())
                    FScrollTimer.start();
            } else {
                FScrollTimer.stop();
            }
        });
        answer(e, effect);
        return true;
    }
    case QEvent::DragLeave:
        endDrag();
        if (OnLeave)
            forms::RunGuarded([this] { OnLeave(this); });
        return true;
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(Event);
        std::uint32_t effect = EffectNone;
        forms::RunGuarded([&] {
            if (!FData)
                return;
            FScrollTimer.stop();
            FLastPoint = e->position().toPoint();
            effect = GetValidDropEffect(e->modifiers(), FLastPoint, int(e->possibleActions()));
            if (!GetDataOnEnter && !GetData(e->mimeData())) {
                effect = EffectNone;
                return;
            }
            if (OnDrop)
                OnDrop(this, e->modifiers(), FLastPoint, effect);
        });
        endDrag();
        answer(e, effect);
        return true;
    }
    default:
        return false;
    }
}

bool TDropFileTarget::HasValidFormats(const QMimeData* Data) const
{
    return !TFileDrop::LocalFiles(Data).empty();
}

bool TDropFileTarget::GetData(const QMimeData* Data)
{
    Files = TFileDrop::LocalFiles(Data);
    return !Files.empty();
}

int TDropFileTarget::TakeFilesFromClipboard()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    std::vector<std::string> files = TFileDrop::LocalFiles(data);
    if (files.empty())
        return EffectNone;
    Files = std::move(files);
    const QByteArray gnome = data->data(QStringLiteral("x-special/gnome-copied-files"));
    return gnome.startsWith("cut\n") || gnome == "cut" ? EffectMove : EffectCopy;
}
