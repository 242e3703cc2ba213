#include "platform/ime/InputMethod.h"

#include <QVariant>
#include <QWidget>

namespace ime {

namespace {

constexpr const char* kMode = "_tambourelle_ime_mode";
constexpr const char* kOpen = "_tambourelle_ime_open";
constexpr const char* kConversion = "_tambourelle_ime_conversion";

}  // namespace

void setInputMethodEnabled(QWidget* window, bool enabled)
{
    window->setAttribute(Qt::WA_InputMethodEnabled, enabled);
}

void setLatinInput(QWidget* window, LatinInput latin)
{
    Qt::InputMethodHints hints = window->inputMethodHints();
    hints &= ~(Qt::ImhPreferLatin | Qt::ImhLatinOnly);
    if (latin == LatinInput::Preferred)
        hints |= Qt::ImhPreferLatin;
    else if (latin == LatinInput::Only)
        hints |= Qt::ImhLatinOnly;
    window->setInputMethodHints(hints);
}

RequestedState requestedState(const QWidget* window)
{
    RequestedState state;
    const QVariant mode = window->property(kMode);
    if (!mode.isValid())
        return state;
    state.mode = mode.toInt();
    state.open = window->property(kOpen).toBool();
    state.conversion = window->property(kConversion).toUInt();
    return state;
}

void recordRequestedState(QWidget* window, const RequestedState& state)
{
    window->setProperty(kMode, state.mode);
    window->setProperty(kOpen, state.open);
    window->setProperty(kConversion, state.conversion);
}

}  // namespace ime
