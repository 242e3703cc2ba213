// Real-to-integer rounding as the visualiser's routines use it where they round rather than
// truncate: to the nearest integer, halves to even (so 2.5 gives 2 and 3.5 gives 4).
#pragma once

#include <cmath>

inline int RoundHalfEven(double Value)
{
    return static_cast<int>(std::nearbyint(Value));
}

inline long long RoundHalfEven64(double Value)
{
    return std::llrint(Value);
}
