// `TXiTrackBar`: a track bar whose slide and thumb are gradient-filled in one of six colour
// schemes, with tick marks on either side; the thumb is dragged with the mouse (no keyboard,
// no paging). The main window's playback-frequency slider is one: the window and the engine
// move it through SetPosition and set its range through SetMax.
//
// Position always lies in [Min, Max] and the thumb is placed from it; painting only reads it.
// An empty range (Max = Min) or a track with no length puts the thumb at the start. UI thread
// only.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "controls/common/ControlTypes.h"
#include "platform/forms/Control.h"

namespace controls {

namespace xitrackbar {
enum TColorScheme { csCustom, csDesert, csGrass, csSilver, csSky, csRose, csSun };
// Colour indexes of the track bar (gaps are unused).
enum TTrackColorIndex {
    ciBackColor = 0, ciTickColor = 1, ciDisabledTickColor = 2,
    ciSlideBorderColor = 10, ciSlideFaceColor, ciSlideGradColor,
    ciDisabledSlideBorderColor, ciDisabledSlideFaceColor, ciDisabledSlideGradColor,
    ciDisabledThumbBorderColor, ciDisabledThumbFaceColor, ciDisabledThumbGradColor,
    ciThumbBorderColor = 20, ciThumbFaceColor, ciThumbGradColor,
    ciOverThumbBorderColor = 30, ciOverThumbFaceColor, ciOverThumbGradColor,
    ciDownThumbBorderColor = 40, ciDownThumbFaceColor, ciDownThumbGradColor,
    ciTrackColorCount
};
// The colour a named scheme gives an index (-1 for unused indexes and csCustom).
gfx::TColor SchemeColor(TColorScheme scheme, int index);
}  // namespace xitrackbar

enum TTickStyle { tsNone, tsAuto, tsManual };
enum TTickMark { tmBottomRight, tmTopLeft, tmBoth };
enum TTrackBarOrientation { trHorizontal, trVertical };

class TXiTrackBar : public forms::TCustomControl {
public:
    using TColorScheme = xitrackbar::TColorScheme;
    enum TThumbState { tsOver = 1, tsDragging = 2, tsNormal = 3 };

    explicit TXiTrackBar(QWidget* parent = nullptr);

    // Clamped to [Min, Max]; repaints and fires OnChange on every write.
    int32_t Position() const { return position_; }
    void SetPosition(int32_t value);
    int32_t Min() const { return min_; }
    void SetMin(int32_t value);  // pulls Position up to it, without OnChange
    int32_t Max() const { return max_; }
    void SetMax(int32_t value);  // pulls Position down to it, without OnChange
    int32_t Frequency() const { return frequency_; }
    void SetFrequency(int32_t f);
    TTickStyle TickStyle() const { return tickStyle_; }
    void SetTickStyle(TTickStyle s);
    TTickMark TickMarks() const { return tickMarks_; }
    void SetTickMarks(TTickMark m);
    TTrackBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TTrackBarOrientation o);
    bool SmoothCorners() const { return smoothCorners_; }
    void SetSmoothCorners(bool on);

    using forms::TParentLook::Color;
    TColor Color(int index) const;
    // Stores the colour of an index and turns the scheme into csCustom.
    void SetColor(int index, TColor value);
    TColorScheme ColorScheme() const { return scheme_; }
    // A named scheme writes its 21 colours; csCustom writes none.
    void SetColorScheme(TColorScheme scheme);
    TColor BackColor() const { return Color(xitrackbar::ciBackColor); }
    void SetBackColor(TColor c) { SetColor(xitrackbar::ciBackColor, c); }
    TColor ThumbFaceColor() const { return Color(xitrackbar::ciThumbFaceColor); }
    void SetThumbFaceColor(TColor c) { SetColor(xitrackbar::ciThumbFaceColor, c); }

    TThumbState ThumbState() const { return thumbState_; }
    // Geometry of the current size and position (what Paint draws).
    struct Geometry {
        int thickness = 0;  // T: across the track
        int length = 0;     // t: along the track
        int track = 0;      // L: the room the thumb travels, never negative
        int offset = 0;     // thumb offset along the track
        TRect thumb, slide;
    };
    Geometry Layout() const;
    // The pixel offsets (along the track) of the tick marks, at most one per pixel.
    std::vector<int> TickOffsets(bool topLeft) const;

    forms::TNotifyEvent OnChange;

protected:
    void Paint() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseMove(forms::TShiftState s, int x, int y) override;

private:
    int64_t range() const;
    int offsetOf(int32_t position, int track) const;
    bool insideThumb(int x, int y) const;
    std::array<TColor, xitrackbar::ciTrackColorCount> colors_{};
    TColorScheme scheme_ = xitrackbar::csDesert;
    int32_t position_ = 0, min_ = 0, max_ = 10, frequency_ = 1;
    TTickStyle tickStyle_ = tsNone;
    TTickMark tickMarks_ = tmBottomRight;
    TTrackBarOrientation orientation_ = trHorizontal;
    bool smoothCorners_ = true;
    TThumbState thumbState_ = tsNormal;
};

}  // namespace controls
