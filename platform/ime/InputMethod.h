// The input method of one window, as far as Qt lets a program steer it: enabled or not,
// and whether Latin input is preferred or required. Linux input methods (IBus, Fcitx)
// offer no portable way to force hiragana, katakana or full-width input, so those requests
// only clear the Latin hints and leave the choice to the user.
//
// Beside what Qt holds, each window carries the mode the program last asked for and the
// conversion state it implies, so the program can read back what it requested. Both live
// in the widget's properties and die with it.
//
// User-interface thread only.
#pragma once

#include <cstdint>

class QWidget;

namespace ime {

enum class LatinInput { Any, Preferred, Only };

void setInputMethodEnabled(QWidget* window, bool enabled);
void setLatinInput(QWidget* window, LatinInput latin);

// What the program last requested for the window; `mode` is -1 when it never did.
struct RequestedState {
    int mode = -1;
    bool open = false;
    std::uint32_t conversion = 0;
};

RequestedState requestedState(const QWidget* window);
void recordRequestedState(QWidget* window, const RequestedState& state);

}  // namespace ime
