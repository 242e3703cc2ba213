// `TLED`: a small bevelled bar-shaped lamp, red when on and grey when off, lying on its
// parent like a sticker: every paint starts from the parent's picture under it, so only the
// lamp's bevelled outline covers what is behind. A bar wider than high (or square) lies
// horizontally, a taller one stands. The engine flips `Status` on display ticks; a write of
// the current status costs nothing. UI thread only.
#pragma once
#include "platform/forms/Control.h"

namespace controls {

class TLED : public forms::TCustomControl {
public:
    explicit TLED(QWidget* parent = nullptr);

    bool Status() const { return status_; }
    void SetStatus(bool on);

protected:
    void Paint() override;

private:
    void paintHorizontal(gfx::TCanvas& c, int w, int h);
    void paintVertical(gfx::TCanvas& c, int w, int h);
    bool status_ = false;
};

}  // namespace controls
