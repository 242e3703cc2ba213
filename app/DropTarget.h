// A control that takes drags: TDropTarget follows a drag over its target (the effect from
// the modifier keys and what the source allows, a scroll of one line every 100 ms while
// the pointer rests near an edge of a scrollable control) and raises its events; what a
// drop carries is read by the derived target. TDropFileTarget takes lists of local files.
// Effects are the platform's drop actions: copy 1, move 2, link 4; EffectScroll marks a
// pointer in the scroll margin. The platform draws the source's picture everywhere, so a
// target shows no image of its own. User-interface thread only.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class QMimeData;
class QWidget;

class EDropTargetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum : int { dtCopy = 1, dtMove = 2, dtLink = 4 };
constexpr int EffectNone = 0, EffectCopy = 1, EffectMove = 2, EffectLink = 4;
constexpr std::uint32_t EffectScroll = 0x80000000u;

class TDropTarget : public QObject {
public:
    using TDropEvent = std::function<void(TDropTarget* Sender, Qt::KeyboardModifiers Shift,
                                          QPoint Point, std::uint32_t& Effect)>;

    explicit TDropTarget(QObject* Owner = nullptr);
    ~TDropTarget() override;

    // Takes the drags over Control from now on (over its viewport for a scrolled view);
    // throws EDropTargetError "Failed to Register " + name for no control.
    void AttachTarget(QWidget* Control);
    void DetachTarget();
    QWidget* Target() const { return FTarget; }

    int Dragtypes = dtCopy | dtMove | dtLink;
    bool GetDataOnEnter = false;
    TDropEvent OnEnter, OnDragOver, OnDrop, OnGetDropEffect;
    std::function<void(TDropTarget* Sender)> OnLeave;

    // The effect of a drag offered with SourceEffects, with the keys Shift held, at Point.
    std::uint32_t GetValidDropEffect(Qt::KeyboardModifiers Shift, QPoint Point, int SourceEffects);
    // One step of the scroll timer (the timer calls it every 100 ms while scrolling).
    void ScrollTick();
    bool Scrolling() const { return FScrollTimer.isActive(); }

protected:
    virtual bool HasValidFormats(const QMimeData* Data) const = 0;
    virtual bool GetData(const QMimeData* Data) = 0;
    virtual void ClearData() = 0;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QWidget* eventWidget() const;
    void endDrag();

    QPointer<QWidget> FTarget;
    const QMimeData* FData = nullptr;   // the drag in progress, from enter to leave or drop
    QPoint FLastPoint;
    int FScrollMargin = 0;
    int FScrollDirections = 0;   // 1 horizontal, 2 vertical
    QTimer FScrollTimer;
};

class TDropFileTarget : public TDropTarget {
public:
    using TDropTarget::TDropTarget;
    std::vector<std::string> Files;
    // Fills Files from the local files on the clipboard; returns the effect the program
    // that put them there proposed (move for a cut), none when it holds no files.
    int TakeFilesFromClipboard();

protected:
    bool HasValidFormats(const QMimeData* Data) const override;
    bool GetData(const QMimeData* Data) override;
    void ClearData() override { Files.clear(); }
};
