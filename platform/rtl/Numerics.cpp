#include "platform/rtl/Numerics.h"

#include <chrono>
#include <cmath>

namespace rtl {

uint32_t RandSeed = 0;

namespace {
uint32_t nextSeed()
{
    RandSeed = RandSeed * 134775813u + 1u;
    return RandSeed;
}

void checkRange(double x)
{
    // 2^63 itself does not fit; -2^63 does.
    if (!(x > -9223372036854775808.0 - 1.0 && x < 9223372036854775808.0))
        throw EInvalidOp("Invalid floating point operation");
}
}  // namespace

int32_t Random(int32_t n)
{
    uint64_t product = uint64_t(uint32_t(n)) * nextSeed();
    return int32_t(uint32_t(product >> 32));
}

double Random()
{
    return double(nextSeed()) / 4294967296.0;
}

void Randomize()
{
    auto now = std::chrono::system_clock::now().time_since_epoch();
    RandSeed = uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

int64_t Trunc(double x)
{
    checkRange(std::trunc(x));
    return int64_t(std::trunc(x));
}

int64_t Round(double x)
{
    double lower = std::floor(x);
    double diff = x - lower;
    double r = lower;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(lower, 2.0) != 0.0))
        r = lower + 1.0;
    checkRange(r);
    return int64_t(r);
}

double Frac(double x)
{
    return x - std::trunc(x);
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    int64_t p = int64_t(a) * int64_t(b);
    bool negative = (p < 0) != (c < 0);
    // |p| < 2^62 and |c| <= 2^31, so these cannot overflow.
    uint64_t up = uint64_t(p < 0 ? -p : p);
    uint64_t uc = uint64_t(c < 0 ? -int64_t(c) : int64_t(c));
    uint64_t q = (up + uc / 2) / uc;
    if (q > (negative ? 2147483648ull : 2147483647ull))
        return -1;
    return negative ? int32_t(-int64_t(q)) : int32_t(q);
}

}  // namespace rtl
