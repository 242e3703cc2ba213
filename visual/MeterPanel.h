// What the meter-panel mode reads and writes of the main window's dashboard (pnlMeter) and of
// the engine, besides its pane: the main window implements it (through TVisualPanes), tests
// record it. UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gfx/Colors.h"

class TMeterPanel {
public:
    enum TMeter { mtrLeft, mtrRight, mtrBalanse };

    virtual ~TMeterPanel() = default;
    // LED1 .. LED3 (Number 1 .. 3).
    virtual bool LEDStatus(int Number) const = 0;
    virtual void SetLEDStatus(int Number, bool On) = 0;
    // The round lamp LCD1's brush colour.
    virtual void SetLCD1BrushColor(gfx::TColor Color) = 0;
    // A needle meter's value, and the value it holds after its own clamping.
    virtual void SetMeterValue(TMeter Meter, int Value) = 0;
    virtual int MeterValue(TMeter Meter) const = 0;
    // The odometer lcdMeter's text.
    virtual void SetLcdMeterValue(const std::string& Text) = 0;
    // The blinking dot lblMK0's font colour.
    virtual gfx::TColor LblMK0FontColor() const = 0;
    virtual void SetLblMK0FontColor(gfx::TColor Color) = 0;
    // The segment-bar meter dbrMeter.
    virtual void SetDbrMeterWidth(int Width) = 0;
    virtual void SetDbrMeterProcess(int Process) = 0;
    // The marquee msgOstrel: its one line of text.
    virtual void SetMarqueeText(const std::string& Text) = 0;
    // The engine's gear lamps: lamp Index lit, the others grey.
    virtual void SetShiftLamp(int Index) = 0;
    // The level bars barLeft and barRight (0 .. 100).
    virtual int BarLeftPosition() const = 0;
    virtual int BarRightPosition() const = 0;
    // The channel's play position in milliseconds.
    virtual std::uint32_t PlayPositionMs() = 0;
};
