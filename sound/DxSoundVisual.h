// The visualiser as the playback engine calls it. The engine holds one of these for its
// whole life (TDxSound::SetVisual): it calls CreateVisualResources and then
// ResetFirstPaintFlags when attaching it, FreeVisualResources when detaching it or being
// destroyed; it paints both panes once when play stops, sets every mode's first-paint flag
// when the display is reset, and hands over the fresh-start flag (1 when play starts from
// rest, 0 when it resumes from pause or stops). The painter reads the rest (the analysis,
// the visual mode, the photo and lyrics) from the engine itself.
//
// This base does nothing, so an engine without a visualiser runs as one with blank panes.
// User-interface thread only.
#pragma once

#include <cstdint>

namespace sound {

class TDxSoundVisual {
public:
    virtual ~TDxSoundVisual() = default;
    virtual void CreateVisualResources() {}
    virtual void FreeVisualResources() {}
    // The current visual mode on the left (channel 0) or right (channel 1) pane.
    virtual void PaintLeft() {}
    virtual void PaintRight() {}
    // Every mode runs its set-up again on its next frame.
    virtual void ResetFirstPaintFlags() {}
    virtual void SetFreshStart(uint8_t /*Flag*/) {}
};

}  // namespace sound
