// The sound layer's names for the shared tick source and its test clock.
#pragma once

#include "platform/rtl/Clock.h"

namespace snd {
using rtl::ManualClock;
using rtl::systemTicks;
using rtl::TickSource;
using rtl::Waiter;
}  // namespace snd
