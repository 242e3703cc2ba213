// Switching the input method of a window between off, Latin input and Japanese input, as
// the fields ask for it: numbers and file names want it off or half-width alphanumeric,
// titles want hiragana.
//
// The mode numbers and the conversion arithmetic are the program's own (ImeModeRequest,
// a pure function); SetImeMode carries them out through platform/ime, where Linux can only
// enable or disable the input method and hint at Latin input. The conversion state a mode
// implies is recorded per window and can be read back.
//
// User-interface thread only.
#pragma once

#include <cstdint>

class QWidget;

// Conversion-mode bits of a Japanese input method.
constexpr std::uint32_t IME_CMODE_NATIVE = 0x01;     // kana rather than alphanumeric
constexpr std::uint32_t IME_CMODE_KATAKANA = 0x02;
constexpr std::uint32_t IME_CMODE_FULLSHAPE = 0x08;
constexpr std::uint32_t IME_CMODE_ROMAN = 0x10;

// Modes: 0 disabled, 1 enabled and closed, 2 enabled and open, 3 left as it is, 4 open
// half-width alphanumeric, 5 full-width alphanumeric, 6 hiragana, 7 half-width katakana,
// 8 full-width katakana; 9 and above as 4.
enum class TImeAction { None, Disable, Close, Open };

struct TImeRequest {
    TImeAction Action = TImeAction::None;
    std::uint32_t Conversion = 0;  // the conversion mode after the request
};

// What Mode does to an input method whose conversion mode is Conversion: modes 4 and above
// clear the native, katakana and full-shape bits and set the mode's own, keeping the rest
// (roman input, for one); the other modes keep Conversion.
TImeRequest ImeModeRequest(std::uint8_t Mode, std::uint32_t Conversion);

void SetImeMode(QWidget* Wnd, std::uint8_t Mode);

// The mode last set on the window through SetImeMode (mode 3 sets nothing); -1 when none.
int GetImeMode(const QWidget* Wnd);
// The conversion mode the requests so far imply for the window (0 at first).
std::uint32_t GetImeConversion(const QWidget* Wnd);
