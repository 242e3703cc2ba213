#include "util/libIme.h"

#include "platform/ime/InputMethod.h"

#include <array>

namespace {

// Conversion bits set by modes 4..8 after the kana and shape bits are cleared.
constexpr std::array<std::uint32_t, 5> kModeBits = {
    0,                                                          // 4 half-width alphanumeric
    IME_CMODE_FULLSHAPE,                                        // 5 full-width alphanumeric
    IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE,                     // 6 hiragana
    IME_CMODE_NATIVE | IME_CMODE_KATAKANA,                      // 7 half-width katakana
    IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE,  // 8 full-width katakana
};
constexpr std::uint32_t kClearedBits = IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE;

ime::LatinInput latinInputFor(std::uint8_t mode)
{
    if (mode == 5)
        return ime::LatinInput::Preferred;
    if (mode == 4 || mode > 8)
        return ime::LatinInput::Only;
    return ime::LatinInput::Any;
}

}  // namespace

TImeRequest ImeModeRequest(std::uint8_t Mode, std::uint32_t Conversion)
{
    switch (Mode) {
    case 0: return {TImeAction::Disable, Conversion};
    case 1: return {TImeAction::Close, Conversion};
    case 2: return {TImeAction::Open, Conversion};
    case 3: return {TImeAction::None, Conversion};
    default: break;
    }
    const std::uint32_t bits = Mode <= 8 ? kModeBits[Mode - 4] : 0;
    return {TImeAction::Open, (Conversion & ~kClearedBits) | bits};
}

void SetImeMode(QWidget* Wnd, std::uint8_t Mode)
{
    if (!Wnd)
        return;
    ime::RequestedState state = ime::requestedState(Wnd);
    const TImeRequest request = ImeModeRequest(Mode, state.conversion);
    if (request.Action == TImeAction::None)
        return;
    ime::setInputMethodEnabled(Wnd, request.Action != TImeAction::Disable);
    if (Mode >= 4)
        ime::setLatinInput(Wnd, latinInputFor(Mode));
    state.mode = Mode;
    if (request.Action != TImeAction::Disable)
        state.open = request.Action == TImeAction::Open;
    state.conversion = request.Conversion;
    ime::recordRequestedState(Wnd, state);
}

int GetImeMode(const QWidget* Wnd)
{
    return Wnd ? ime::requestedState(Wnd).mode : -1;
}

std::uint32_t GetImeConversion(const QWidget* Wnd)
{
    return Wnd ? ime::requestedState(Wnd).conversion : 0;
}
