// Whole-picture effects on fast bitmaps (FastBMP.h) for the visualiser's picture scenes:
// cross-fade, four-point blur, wrap-around shifts, rotation and twist.
//
// Every routine walks the rows through the row table in memory order, so "row 0" is the
// bottom line of the picture: a rotation's angle and a vertical shift's direction are seen
// through that bottom-up order. Where a routine takes two or three pictures it works on the
// area they have in common, so mismatched sizes never read or write past a picture.
//
// Runs on the user-interface thread; no state between calls.
#pragma once

class TFastBMP;

// Dst := Src2 + (Src1 - Src2) * Amount / 256 (rounded down), byte by byte. Amount 0 gives
// Src2, 256 gives Src1.
void Blend(TFastBMP& Dst, const TFastBMP& Src1, const TFastBMP& Src2, int Amount);

// Four-point blur in place: each byte becomes the mean of the pixels Amount columns and rows
// away on either side (clamped to the picture), reading rows already blurred in this pass.
void SplitBlur(TFastBMP& Bmp, int Amount);

// SplitBlur with 1, 2, .. Amount in turn; nothing for Amount <= 0.
void BlurPasses(TFastBMP& Bmp, int Amount);

// Rotates every row right by Amount pixels (left when negative), wrapping around.
void HorizontalShift(TFastBMP& Bmp, int Amount);

// Rotates the memory rows by Amount (memory row r goes to (r + Amount) mod Height), so the
// picture moves up by Amount lines, wrapping around.
void VerticalShift(TFastBMP& Bmp, int Amount);

// Size of the bounds of a Width x Height picture rotated by Angle degrees.
void RotateSize(int& Width, int& Height, double Angle);

// Rotates Src by Angle degrees about (CenterX, CenterY) into Dst, Src centred on Dst; Dst
// pixels whose source lies outside Src keep their value.
void Rotate(const TFastBMP& Src, TFastBMP& Dst, int CenterX, int CenterY, double Angle);

// Twists Src into Dst: each pixel is turned by an angle that grows with its distance from the
// centre (by r / Amount radians) on top of a quarter turn, sampled bilinearly with
// wrap-around. Amount 0 means no growth (the plain quarter turn) rather than a division by 0.
void Twist(const TFastBMP& Src, TFastBMP& Dst, int Amount);

// Angle of (X, Y) in radians, in -pi/2 .. 3 pi/2.
float ArcTan2(float Y, float X);

// Max when Value > Max, else Min when Value < Min, else Value.
int ClampInt(int Value, int Min, int Max);
