// `TGraphic`: the base of every picture format (bitmap, JPEG, and the formats the picture
// readers add): size, emptiness, transparency, load and save through streams or files, and
// drawing itself stretched into a rectangle of a canvas. A graphic class is known by its
// `TGraphicClass` (name and factory), which the picture registry stores per file extension.
//
// Failures of pictures raise `EInvalidGraphic` (bad data) or `EInvalidGraphicOperation`
// (a request the graphic cannot do). A graphic belongs to one thread at a time; drawing is
// UI-thread work.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/gfx/Geometry.h"
#include "platform/rtl/Streams.h"

namespace gfx {

class TCanvas;
class TGraphic;
class TBitmap;

class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class EInvalidGraphicOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TGraphicClassInfo {
    const char* name;
    std::unique_ptr<TGraphic> (*create)();
};
using TGraphicClass = const TGraphicClassInfo*;

enum TProgressStage { psStarting, psRunning, psEnding };
using TProgressEvent = std::function<void(TGraphic& sender, TProgressStage stage, int percentDone,
                                          bool redrawNow, const TRect& r, const std::string& msg)>;

class TGraphic {
public:
    TGraphic() = default;
    virtual ~TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    virtual TGraphicClass ClassType() const = 0;
    virtual bool Empty() const = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    virtual void SetWidth(int32_t) { throw EInvalidGraphicOperation("Cannot change the size of this graphic"); }
    virtual void SetHeight(int32_t) { throw EInvalidGraphicOperation("Cannot change the size of this graphic"); }
    virtual bool Transparent() const { return transparent_; }
    virtual void SetTransparent(bool t);

    virtual void LoadFromStream(rtl::TStream& stream) = 0;
    virtual void SaveToStream(rtl::TStream& stream) = 0;
    // Reads the whole file (or ":/" resource); EFOpenError for one that cannot be opened.
    virtual void LoadFromFile(const std::string& path);
    // Writes a temporary file beside `path` and renames it over `path` when complete.
    virtual void SaveToFile(const std::string& path);

    // Copies another graphic. The base accepts only the same class (through AssignTo) and
    // raises EInvalidGraphicOperation otherwise.
    virtual void Assign(const TGraphic& source);
    // Makes `dest` a copy of this picture as a 24-bit bitmap (default: drawn at (0, 0)).
    virtual void AssignTo(TBitmap& dest) const;

    // Draws the whole picture stretched into r of the canvas.
    virtual void Draw(TCanvas& canvas, const TRect& r) const = 0;

    std::function<void()> OnChange;
    TProgressEvent OnProgress;

protected:
    void Changed();
    void Progress(TProgressStage stage, int percent, bool redrawNow, const TRect& r,
                  const std::string& msg);

private:
    bool transparent_ = false;
};

}  // namespace gfx
