// The pictures and scratch bitmaps the visual modes draw with: the eleven picture slots
// (slot 0 stays empty; slots 1-10 hold the built-in pictures "g01", "b01", "b02", "b03",
// "b04", "j02", "g02", "d02", "d03", "b05"), work bitmaps A and B, the three 24-bit work fast
// bitmaps and the spectrum state of SetupFFT. The playback engine owns one set, made when it is
// created and freed when it is destroyed.
//
// The built-in pictures come from the Qt resource system (resources/BuiltinResources.h) and
// are decoded in memory: no work files in the program folder. GIF and JPEG pictures become
// 24-bit bitmaps, as every other reader's output does before the modes touch it.
//
// The DirectDraw side of the visualiser (the picture list's six "d01".."d06" items and the 500
// star sprites that use item 0) lives in the main window's list and sprite engine; the engine's
// visualiser (TEngineVisual) adds and frees it around this set.
//
// UI thread only: the work bitmaps are shared scratch space.
#pragma once

#include <array>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/gfx/Bitmap.h"
#include "visual/FastBMP.h"

// A built-in picture that the program does not carry.
class EResNotFound : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Loads the built-in picture ResName of type ResType ("BMP", "GIF" or "JPG"; both matched
// without regard to case) into Target: a BMP as stored, the others as a 24-bit bitmap.
// EResNotFound when there is no such picture; an undecodable one raises as its reader does.
void LoadResImage(gfx::TBitmap& Target, const std::string& ResName, const std::string& ResType);

class TVisualResources {
public:
    static constexpr int PictureCount = 11;

    TVisualResources() = default;
    TVisualResources(const TVisualResources&) = delete;
    TVisualResources& operator=(const TVisualResources&) = delete;
    ~TVisualResources() { FreeVisualResources(); }

    // Makes the pictures, work bitmaps and fast bitmaps and sets up the FFT. A missing
    // picture raises EResNotFound (and leaves everything freed).
    void CreateVisualResources();
    // Frees all of it; safe to call twice.
    void FreeVisualResources();
    bool Created() const { return FCreated; }

    // Slot 0 .. 10; slot 0 is an empty bitmap.
    gfx::TBitmap& Picture(int Index) { return *FPictures.at(Index); }
    gfx::TBitmap& WorkA() { return *FWorkA; }
    gfx::TBitmap& WorkB() { return *FWorkB; }
    // Buffers 1, 2 and 3.
    TFastBMP& Buffer(int Index) { return *FBuffers.at(Index - 1); }

private:
    std::array<std::unique_ptr<gfx::TBitmap>, PictureCount> FPictures;
    std::array<std::unique_ptr<TFastBMP>, 3> FBuffers;
    std::unique_ptr<gfx::TBitmap> FWorkA;
    std::unique_ptr<gfx::TBitmap> FWorkB;
    bool FCreated = false;
};
