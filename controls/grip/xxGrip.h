// `TxxGrip`: eight small square handles (`TxxHSpot`) around one control of a window, the
// attached control, that resize it when dragged; the label designer resizes its picture and
// text blocks with one.
//
// Handles are numbered clockwise from the top-left corner (0 top-left, 1 top edge, 2 top-right,
// 3 right edge, 4 bottom-right, 5 bottom edge, 6 bottom-left, 7 left edge) and live beside the
// control, as children of its parent. Dragging a corner moves it and the two corners beside
// it; dragging an edge handle moves the two corners of its side; the control is then laid over
// the rectangle that corners 0 and 4 span (turned over, never negative, when a side is dragged
// past the opposite one) and the four edge handles re-placed; the corners stay under the
// mouse until the release re-places all eight.
//
// Each grip keeps its own handles and settings, so two grips in one window leave each other
// alone; a control that is destroyed detaches itself. `Color` applies at the next attach.
// UI thread only.
#pragma once
#include <array>
#include <functional>

#include <QObject>
#include <QPointer>

#include "platform/forms/Control.h"

namespace controls {

class TxxGrip;

// The handle frame after a mouse action: left and top of handle 0 (x0, y0) and of handle 4
// (x1, y1).
using TMsMoveEvent = std::function<void(QObject* Sender, int x0, int x1, int y0, int y1)>;

class TxxHSpot : public forms::TCustomControl {
public:
    TxxHSpot(TxxGrip& grip, int index, QWidget* parent);
    int Index() const { return index_; }

protected:
    void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
    void MouseMove(forms::TShiftState shift, int x, int y) override;
    void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;

private:
    TxxGrip& grip_;
    int index_;
    QPoint down_;
};

class TxxGrip : public QObject {
public:
    explicit TxxGrip(QObject* owner = nullptr);
    ~TxxGrip() override;

    QWidget* Attach() const { return attach_; }
    void SetAttach(QWidget* control);
    int GripSize() const { return size_; }
    void SetGripSize(int value);
    // Whether the handles show (an attach hides them).
    bool GripView() const;
    void SetGripView(bool value);
    // Re-places all eight handles around the control (after code moved it).
    void SetGripDraw(bool value);
    bool GripMove() const { return move_; }
    void SetGripMove(bool value) { move_ = value; }
    gfx::TColor Color() const { return color_; }
    void SetColor(gfx::TColor value) { color_ = value; }

    // Handle `index` (0..7).
    TxxHSpot* Handles(int index) const { return handles_.at(size_t(index)); }

    TMsMoveEvent OnMouseDown, OnMouseMove, OnMouseUp;

private:
    friend class TxxHSpot;
    void ensureHandles(QWidget* parent);
    // All eight, or only the four edge handles.
    void place(bool edgesOnly);
    void detached();
    void fire(const TMsMoveEvent& event);
    void dragged(TxxHSpot& spot, int newLeft, int newTop);
    void released();

    QPointer<QWidget> attach_;
    QMetaObject::Connection watch_;
    std::array<QPointer<TxxHSpot>, 8> handles_;
    int size_ = 7;
    int half_ = 3;
    bool move_ = true;
    gfx::TColor color_ = gfx::clBlack;
};

}  // namespace controls
