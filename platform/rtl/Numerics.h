// The run-time library's numeric routines whose exact results the drawing and timing code
// depends on: the linear-congruential random generator (seed := seed x 134775813 + 1 mod
// 2^32; Random(n) is the high 32 bits of n x seed), Trunc and Round (halves to the even
// neighbour) into 64-bit integers, and MulDiv (rounded, -1 on a zero divisor or overflow).
//
// The generator's seed is one process-wide value (`RandSeed`) that tests set to replay a
// sequence; it is meant for the UI thread only, as all drawing is.
#pragma once
#include <cstdint>
#include <stdexcept>

namespace rtl {

// Raised for a real value that has no 64-bit integer (NaN, infinity, out of range).
class EInvalidOp : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The generator's state; any value may be stored to restart a sequence.
extern uint32_t RandSeed;

// Steps the seed and returns an integer in 0..n-1. A negative n is read as unsigned
// (so the result, read back as signed, may be negative), as the original generator did.
int32_t Random(int32_t n);
// Steps the seed and returns a real in [0, 1).
double Random();
// Seeds the generator from the clock.
void Randomize();

// Toward zero; raises EInvalidOp when the value does not fit 64 bits. Callers that keep an
// Integer take the low 32 bits (int32_t(Trunc(x))), as the original did on overflow.
int64_t Trunc(double x);
// To the nearest integer, halves to the even neighbour; EInvalidOp as Trunc.
int64_t Round(double x);
// The fractional part, with the sign of x.
double Frac(double x);

// a x b / c with a 64-bit product, rounded half away from zero; -1 when c is 0 or the
// result does not fit 32 bits.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

}  // namespace rtl
