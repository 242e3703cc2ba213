// `TGIFImage`: GIF87a and GIF89a pictures, one object per block of the file: the header with
// its global colour map, frames (`TGIFSubImage`) with their local maps and the extensions read
// in front of them, and the trailer. Reading keeps going past faults it can live with and
// reports them as warnings (severity 1) to `OnWarning`; faults it cannot live with raise
// `GIFException`, and the image keeps the frames read until then.
//
// Memory is paid for by data: a frame's pixel buffer is allocated only after the LZW bytes
// behind it could expand to that many pixels, each frame fits `TBitmap`'s size limit and all
// frames of one image together a fixed multiple of it, and frames and extensions have count
// bounds (`GIFLimits`).
//
// The LZW codec is GIFCodec.h. Conversion of other pictures into frames, rendering, drawing,
// the clipboard and the optimiser are in GIFRender.cpp. One thread at a time; drawing and the
// clipboard are UI-thread work.
#pragma once

#include "pictures/reduce/ColorLookup.h"
#include "pictures/reduce/ColorReduction.h"
#include "pictures/reduce/GIFException.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Graphic.h"
#include "platform/rtl/Streams.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QMimeData;

class TGIFImage;
class TGIFSubImage;
class TGIFPainter;
using TGIFPainterEvent = std::function<void(TGIFPainter& Sender)>;

namespace GIFLimits {
// All frames of one image together, in pixel bytes: a fixed multiple of one bitmap's limit.
constexpr int64_t MaxImagePixelBytes = 4 * gfx::TBitmap::MaxPixelBytes;
// The most pixels one byte of LZW data can become: a 12-bit code for a 4096-pixel string.
constexpr int64_t PixelsPerDataByte = 2731;
constexpr int MaxFrames = 65536;
constexpr int MaxExtensions = 65536;  // per image
constexpr int MaxDataBlocks = MaxStringBlocks;  // kept sub-blocks of one unknown application extension
}  // namespace GIFLimits

enum TGIFVersion { gvUnknown, gv87a, gv89a };
constexpr int GIFSeverityWarning = 1;
using TGIFWarning = std::function<void(TGIFImage& Sender, int Severity, const std::string& Message)>;

// Draw options (the bit numbers are the set's).
enum TGIFDrawOption : unsigned {
    drawAsync = 1u << 0, drawTransparent = 1u << 1, drawAnimate = 1u << 2, drawLoop = 1u << 3,
    drawLoopForever = 1u << 4, drawValidateCanvas = 1u << 5, drawDirect = 1u << 6,
    drawClearOnLoop = 1u << 7, drawTile = 1u << 8, drawDither = 1u << 9, drawAutoDither = 1u << 10
};

// Optimisation options.
enum TGIFOptimizeOption : unsigned {
    optCrop = 1u << 0, optMerge = 1u << 1, optCleanup = 1u << 2, optColorMaps = 1u << 3,
    optReduceColors = 1u << 4
};
constexpr unsigned optAll = optCrop | optMerge | optCleanup | optColorMaps | optReduceColors;

enum TGIFCompression { gcLZW, gcRLE };
enum TGIFThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The unit-level settings new images take.
struct TGIFDefaults {
    unsigned DrawOptions = drawAsync | drawTransparent | drawAnimate | drawLoop | drawDither | drawAutoDither;
    TColorReduction ColorReduction = rmNetscape;
    int ReductionBits = 8;
    TDitherMode DitherMode = dmNearest;
    TGIFCompression Compression = gcLZW;
    TGIFThreadPriority ThreadPriority = tpNormal;
    int AnimationSpeed = 100;
    gfx::TColor DrawBackgroundColor = gfx::clNone;
    bool RenderOnLoad = false;       // build each frame's bitmap as it is read
    bool OptimizeOnStream = false;   // optimise before the embedded-data writer runs
};
TGIFDefaults& GIFDefaults();

// Whether frames are dithered to the web palette when rendered with these options; with
// drawAutoDither only on a display of 8 bits or less (tested once).
bool GIFDoDither(unsigned DrawOptions);

class TGIFItem {
public:
    explicit TGIFItem(TGIFImage* Image) : image_(Image) {}
    virtual ~TGIFItem() = default;
    TGIFItem(const TGIFItem&) = delete;
    TGIFItem& operator=(const TGIFItem&) = delete;

    virtual TGIFVersion Version() const { return gv87a; }
    virtual void Warning(int Severity, const std::string& Message);
    virtual void SaveToStream(rtl::TStream& Stream) = 0;
    virtual void LoadFromStream(rtl::TStream& Stream) = 0;
    void SaveToFile(const std::string& FileName);
    void LoadFromFile(const std::string& FileName);
    TGIFImage* Image() const { return image_; }

protected:
    TGIFImage* image_;
};

// An ordered list of owned items.
template <class T>
class TGIFList {
public:
    explicit TGIFList(TGIFImage* Image) : image_(Image) {}
    virtual ~TGIFList() = default;
    int Add(std::unique_ptr<T> Item);
    int Count() const { return int(items_.size()); }
    T* Items(int Index) const { return items_.at(size_t(Index)).get(); }
    T* operator[](int Index) const { return Items(Index); }
    void Delete(int Index);
    void Clear();
    int Remove(T* Item);  // the index it had, -1 when absent
    int IndexOf(const T* Item) const;
    void Insert(int Index, std::unique_ptr<T> Item);
    std::unique_ptr<T> Extract(int Index);
    void SaveToStream(rtl::TStream& Stream);
    void Warning(int Severity, const std::string& Message);
    TGIFImage* Image() const { return image_; }

protected:
    TGIFImage* image_;
    std::vector<std::unique_ptr<T>> items_;
};

struct TGIFColor {
    uint8_t Red = 0, Green = 0, Blue = 0;
    friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

class TGIFColorMap {
public:
    static constexpr int MaxColors = 256;
    TGIFColorMap() = default;
    virtual ~TGIFColorMap() = default;
    TGIFColorMap(const TGIFColorMap&) = delete;
    TGIFColorMap& operator=(const TGIFColorMap&) = delete;

    void Clear();
    void Assign(const TGIFColorMap& Source);
    void ImportPalette(const TPalette& Palette);
    void ImportRGB(const std::vector<gfx::TColor>& Colors, int Count);
    // The colour table of an indexed bitmap (up to 256 entries).
    void ImportDIBColors(const gfx::TBitmap& Bitmap);
    // Entries with flags PC_NOCOLLAPSE; no entries when the map is empty.
    TPalette ExportPalette() const;
    // Colours are 0x00BBGGRR. "Color table overflow" past 256 entries.
    int Add(gfx::TColor Color);
    int AddUnique(gfx::TColor Color);
    int IndexOf(gfx::TColor Color) const;
    void Delete(int Index);
    // Outside the map: warns "Invalid color index" and reads entry 0; an empty map raises.
    gfx::TColor Colors(int Index);
    void SetColors(int Index, gfx::TColor Color);
    const TGIFColor* Data() const { return data_.data(); }
    int Count() const { return count_; }
    int Capacity() const { return int(data_.size()); }
    int BitsPerPixel() const;
    bool Optimized() const { return optimized_; }
    void SetOptimized(bool Value) { optimized_ = Value; }
    // Orders the entries by decreasing use and drops those no pixel uses; true when changed.
    virtual bool Optimize() { return false; }
    virtual void Changed() {}

    // Count triples; "Premature end of data" when fewer arrive.
    void LoadFromStream(rtl::TStream& Stream, int Count);
    // The entries, then zero triples up to 2^Bits entries (Bits at least this map's own).
    void SaveToStream(rtl::TStream& Stream, int Bits) const;

protected:
    virtual void Warning(const std::string& Message);
    // Sorts by use over pixels given through Frames (each with the frame using this map) and
    // rewrites them.
    bool optimizeFor(const std::vector<TGIFSubImage*>& Frames);

private:
    void grow(int Needed);
    std::vector<TGIFColor> data_;
    int count_ = 0;
    bool optimized_ = false;
};

class TGIFHeader;

class TGIFGlobalColorMap : public TGIFColorMap {
public:
    explicit TGIFGlobalColorMap(TGIFHeader* Header) : header_(Header) {}
    bool Optimize() override;
    void Changed() override;

protected:
    void Warning(const std::string& Message) override;

private:
    TGIFHeader* header_;
};

class TGIFLocalColorMap : public TGIFColorMap {
public:
    explicit TGIFLocalColorMap(TGIFSubImage* SubImage) : subImage_(SubImage) {}
    bool Optimize() override;
    void Changed() override;

protected:
    void Warning(const std::string& Message) override;

private:
    TGIFSubImage* subImage_;
};

class TGIFHeader : public TGIFItem {
public:
    explicit TGIFHeader(TGIFImage* Image);
    TGIFVersion Version() const override;
    void SaveToStream(rtl::TStream& Stream) override;
    void LoadFromStream(rtl::TStream& Stream) override;
    void Clear();
    void Assign(const TGIFHeader& Source);

    uint16_t Width = 0, Height = 0;
    uint8_t Packed = 0, BackgroundColorIndex = 0, AspectRatio = 0;
    TGIFGlobalColorMap& ColorMap() { return colorMap_; }
    const TGIFGlobalColorMap& ColorMap() const { return colorMap_; }

private:
    TGIFGlobalColorMap colorMap_;
};

class TGIFExtension;
class TGIFGraphicControlExtension;

class TGIFExtensionList : public TGIFList<TGIFExtension> {
public:
    using TGIFList::TGIFList;
    // Reads extensions up to the next ',' or ';'.
    void LoadFromStream(rtl::TStream& Stream, TGIFSubImage* Parent);
};

class TGIFSubImage : public TGIFItem {
public:
    explicit TGIFSubImage(TGIFImage* Image);
    ~TGIFSubImage() override;
    TGIFVersion Version() const override;
    void SaveToStream(rtl::TStream& Stream) override;
    void LoadFromStream(rtl::TStream& Stream) override;

    void Clear();
    bool Empty() const { return data_.empty() || width_ == 0 || height_ == 0; }
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    gfx::TRect BoundsRect() const { return gfx::Bounds(left_, top_, width_, height_); }
    // Stores the bounds, reallocates zeroed data when the size changed, and grows the
    // logical screen (with its warnings) to hold the frame.
    void SetBoundsRect(const gfx::TRect& Bounds);
    void SetLeft(int Value) { SetBoundsRect(gfx::Bounds(Value, top_, width_, height_)); }
    void SetTop(int Value) { SetBoundsRect(gfx::Bounds(left_, Value, width_, height_)); }
    void SetWidth(int Value) { SetBoundsRect(gfx::Bounds(left_, top_, Value, height_)); }
    void SetHeight(int Value) { SetBoundsRect(gfx::Bounds(left_, top_, width_, Value)); }

    bool Interlaced() const { return (Packed & 0x40) != 0; }
    void SetInterlaced(bool Value) { Packed = uint8_t(Value ? Packed | 0x40 : Packed & ~0x40); }
    bool Transparent() const { return transparent_; }
    void SetTransparentFlag(bool Value);

    uint8_t Pixels(int X, int Y);
    void SetPixels(int X, int Y, uint8_t Value);
    uint8_t* Scanline(int Y);
    // Width x Height indices, rows top first.
    uint8_t* Data();
    const std::vector<uint8_t>& DataBuffer() const { return data_; }
    int64_t DataSize() const { return int64_t(data_.size()); }

    TGIFLocalColorMap& ColorMap() { return colorMap_; }
    TGIFColorMap& ActiveColorMap();
    TGIFExtensionList& Extensions() { return extensions_; }
    TGIFGraphicControlExtension* GraphicControlExtension() const { return gce_; }
    void SetGraphicControlExtension(TGIFGraphicControlExtension* Value) { gce_ = Value; }
    // Frees the rendered bitmap, mask and palette (after any change of pixels or colours).
    void FreeCaches();

    // Conversion (GIFRender.cpp): a frame copies another frame; a bitmap or any other graphic
    // is converted into this frame.
    void Assign(const gfx::TGraphic& Source);
    void Assign(const TGIFSubImage& Source);
    void AssignTo(gfx::TBitmap& Target);
    // The rendered frame: 8 bits with the active map's colours, or dithered to the web palette.
    const gfx::TBitmap& Bitmap();
    // 1 bit, 1 (white) where the pixel is transparent; null for an opaque frame.
    const gfx::TBitmap* Mask();
    TPalette Palette();
    // Draws the frame into its place of Rect (the logical screen scaled onto Rect).
    // Opaque frames are copied; transparent ones (with DoTransparent) through their mask.
    // DoTile repeats the logical screen across Rect at the image's size.
    void StretchDraw(gfx::TCanvas& Canvas, const gfx::TRect& Rect, bool DoTransparent, bool DoTile);

    uint8_t Packed = 0;

private:
    friend class TGIFColorMap;
    friend class TGIFImage;
    void allocateData();
    void assignBitmap(const gfx::TBitmap& Source);
    void applyMask(const gfx::TBitmap& White, const gfx::TBitmap& Black);
    void render();
    void buildMask();
    void drawAt(gfx::TCanvas& Canvas, const gfx::TRect& Rect, bool DoTransparent);

    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool transparent_ = false;
    std::vector<uint8_t> data_;
    TGIFLocalColorMap colorMap_;
    TGIFExtensionList extensions_;
    TGIFGraphicControlExtension* gce_ = nullptr;
    std::unique_ptr<gfx::TBitmap> bitmap_, mask_;
    std::optional<TPalette> palette_;
    bool maskDithered_ = false;
};

class TGIFImageList : public TGIFList<TGIFSubImage> {
public:
    using TGIFList::TGIFList;
    void LoadFromStream(rtl::TStream& Stream, TGIFImage* Parent);
};

class TGIFExtension : public TGIFItem {
public:
    TGIFExtension(TGIFSubImage* SubImage);
    virtual uint8_t ExtensionType() const = 0;
    TGIFVersion Version() const override { return gv89a; }
    // '!' and the label, then the body.
    void SaveToStream(rtl::TStream& Stream) override;
    void LoadFromStream(rtl::TStream& Stream) override;
    TGIFSubImage* SubImage() const { return subImage_; }

protected:
    virtual void SaveBody(rtl::TStream& Stream) = 0;
    virtual void LoadBody(rtl::TStream& Stream) = 0;
    TGIFSubImage* subImage_;
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
    static constexpr uint8_t Label = 0xF9;
    explicit TGIFGraphicControlExtension(TGIFSubImage* SubImage);
    ~TGIFGraphicControlExtension() override;
    uint8_t ExtensionType() const override { return Label; }

    bool Transparent() const { return (Packed & 1) != 0; }
    void SetTransparent(bool Value);
    uint8_t TransparentColorIndex() const { return TransparentIndex; }
    void SetTransparentColorIndex(int Value);
    uint16_t Delay = 0;
    int Disposal() const { return (Packed >> 2) & 7; }
    void SetDisposal(int Value) { Packed = uint8_t((Packed & ~0x1C) | ((Value & 7) << 2)); }
    bool UserInput() const { return (Packed & 2) != 0; }
    void SetUserInput(bool Value) { Packed = uint8_t(Value ? Packed | 2 : Packed & ~2); }
    void Assign(const TGIFGraphicControlExtension& Source);

    uint8_t BlockSize = 4, Packed = 0, TransparentIndex = 0, Terminator = 0;

protected:
    void SaveBody(rtl::TStream& Stream) override;
    void LoadBody(rtl::TStream& Stream) override;
};

enum TGIFDisposal { dmNone, dmDoNotDispose, dmRestoreBackground, dmRestorePrevious };

class TGIFTextExtension : public TGIFExtension {
public:
    static constexpr uint8_t Label = 0x01;
    using TGIFExtension::TGIFExtension;
    uint8_t ExtensionType() const override { return Label; }
    uint8_t BlockSize = 12;
    uint16_t GridLeft = 0, GridTop = 0, GridWidth = 0, GridHeight = 0;
    uint8_t CharWidth = 0, CharHeight = 0, ForegroundColorIndex = 0, BackgroundColorIndex = 0;
    std::vector<std::string> Text;

protected:
    void SaveBody(rtl::TStream& Stream) override;
    void LoadBody(rtl::TStream& Stream) override;
};

class TGIFCommentExtension : public TGIFExtension {
public:
    static constexpr uint8_t Label = 0xFE;
    using TGIFExtension::TGIFExtension;
    uint8_t ExtensionType() const override { return Label; }
    std::vector<std::string> Text;

protected:
    void SaveBody(rtl::TStream& Stream) override;
    void LoadBody(rtl::TStream& Stream) override;
};

// Identifier (8 bytes) and authentication code (3 bytes), as in the file.
using TGIFIdentifierCode = std::array<char, 11>;
TGIFIdentifierCode GIFIdentifier(const char* Text);

class TGIFApplicationExtension : public TGIFExtension {
public:
    static constexpr uint8_t Label = 0xFF;
    using TGIFExtension::TGIFExtension;
    uint8_t ExtensionType() const override { return Label; }
    TGIFIdentifierCode Identifier{};

protected:
    void SaveBody(rtl::TStream& Stream) override;
    void LoadBody(rtl::TStream& Stream) override;
    // The kind's data sub-blocks, with their terminating 0.
    virtual void SaveData(rtl::TStream& Stream);
    virtual void LoadData(rtl::TStream& Stream);
};

class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
    explicit TGIFAppExtNSLoop(TGIFSubImage* SubImage);
    uint16_t Loops = 0;  // 0: for ever
    uint32_t BufferSize = 0;

protected:
    void SaveData(rtl::TStream& Stream) override;
    void LoadData(rtl::TStream& Stream) override;
};

struct TGIFBlock {
    std::vector<uint8_t> Data;
    uint8_t Size() const { return uint8_t(Data.size()); }
};

class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
    using TGIFApplicationExtension::TGIFApplicationExtension;
    std::vector<TGIFBlock> Blocks;

protected:
    void SaveData(rtl::TStream& Stream) override;
    void LoadData(rtl::TStream& Stream) override;
};

using TGIFAppExtensionFactory = std::unique_ptr<TGIFApplicationExtension> (*)(TGIFSubImage*);
// The kind for an identifier: NETSCAPE2.0 and ANIMEXTS1.0 loop extensions, else unknown.
TGIFAppExtensionFactory FindGIFAppExtension(const TGIFIdentifierCode& Identifier);
void RegisterGIFAppExtension(const TGIFIdentifierCode& Identifier, TGIFAppExtensionFactory Factory);
// A copy of an extension (of its own kind) for another frame.
std::unique_ptr<TGIFExtension> CloneGIFExtension(TGIFExtension& Source, TGIFSubImage* Frame);

class TGIFTrailer : public TGIFItem {
public:
    using TGIFItem::TGIFItem;
    void SaveToStream(rtl::TStream& Stream) override;
    void LoadFromStream(rtl::TStream& Stream) override;
};

class TGIFImage : public gfx::TGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    static constexpr const char* ClipboardMimeType = "image/gif";  // the "GIF Image" format

    TGIFImage();
    ~TGIFImage() override;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }

    bool Empty() const override { return images_.Count() == 0; }
    int32_t Width() const override { return header_.Width; }
    int32_t Height() const override { return header_.Height; }
    // Below a frame's right edge (or bottom) raises and keeps the size.
    void SetWidth(int32_t Value) override;
    void SetHeight(int32_t Value) override;

    void LoadFromStream(rtl::TStream& Stream) override;
    void SaveToStream(rtl::TStream& Stream) override;
    // The embedded-data writer: optimised first when GIFDefaults().OptimizeOnStream.
    void WriteData(rtl::TStream& Stream);
    void Clear();

    void Assign(const gfx::TGraphic& Source) override;
    void AssignTo(gfx::TBitmap& Dest) const override;
    // Paints frame 0, or with drawAnimate and more than one frame starts a painter for this
    // canvas and rectangle (GIFPainter.h), which shows its first frame before Draw returns.
    // Without drawDirect the painter plays into an internal bitmap at the image size, which
    // later Draws show, and each frame it paints is announced through OnChange. UI thread.
    void Draw(gfx::TCanvas& Canvas, const gfx::TRect& Rect) const override;
    // Stops every painter and waits until the asynchronous ones have ended (UI thread).
    void PaintStop();
    // The painter started last, while it runs (UI thread).
    TGIFPainter* Painter() const;
    int PainterCount() const;

    // A frame as it is, or any other graphic converted into a new frame; its index.
    int Add(const gfx::TGraphic& Source);
    int Add(std::unique_ptr<TGIFSubImage> SubImage);

    // Frame 0 drawn at the image size, cached. A loaded image's logical screen is paid for by
    // its data like its frames; a larger one raises instead of allocating.
    const gfx::TBitmap& Bitmap();
    // Whether a bitmap of the logical screen is within that bound (what Bitmap() checks).
    bool ScreenPaidFor() const;
    TPalette Palette();
    void SetPalette(const TPalette& Palette);

    // The clipboard: "GIF Image" beside a plain image.
    void SaveToClipboardFormat(QMimeData& Data);
    void LoadFromClipboardFormat(const QMimeData& Data);
    void SaveToClipboard();
    void LoadFromClipboard();

    void Optimize(unsigned Options, TColorReduction ColorReduction, TDitherMode DitherMode, int ReductionBits);

    void Warning(int Severity, const std::string& Message);
    // Progress of a long step with one of the texts "Loading...", "Saving...", ...
    void Progress(gfx::TProgressStage Stage, int PercentDone, const std::string& Message);

    TGIFHeader& Header() { return header_; }
    const TGIFHeader& Header() const { return header_; }
    TGIFImageList& Images() { return images_; }
    const TGIFImageList& Images() const { return images_; }
    TGIFColorMap& GlobalColorMap() { return header_.ColorMap(); }
    TGIFVersion Version() const;
    // Drops the cached bitmap and palette (after a change of any frame).
    void FreeCaches();

    unsigned DrawOptions;
    TColorReduction ColorReduction;
    int ReductionBits;
    TDitherMode DitherMode;
    TGIFCompression Compression;
    TGIFThreadPriority ThreadPriority;
    int AnimationSpeed;
    gfx::TColor DrawBackgroundColor;
    TGIFWarning OnWarning;
    // Handed to each painter when it is created.
    TGIFPainterEvent OnStartPaint, OnPaint, OnAfterPaint, OnLoop, OnEndPaint;

    // Bookkeeping of one load: pixel bytes and extensions so far against the image's limits.
    struct LoadBudget {
        int64_t PixelBytes = 0;
        int Extensions = 0;
        int64_t LoadedBytes = 0;  // the file's size, once loaded
    };
    LoadBudget& Budget() { return budget_; }

private:
    friend class TGIFPainter;
    void paint(gfx::TCanvas& Canvas, const gfx::TRect& Rect);
    void showInternal(gfx::TCanvas& Canvas, const gfx::TRect& Rect);
    void painterEnded(TGIFPainter* Painter);
    void frameShown() { Changed(); }
    void assignImage(const TGIFImage& Source);
    void setScreenSide(bool Width, int32_t Value);
    void optimizeMerge();
    void optimizeCrop();
    void optimizeCleanupTransparency();
    void optimizeCleanupExtensions();

    TGIFHeader header_;
    TGIFImageList images_;
    std::unique_ptr<gfx::TBitmap> bitmap_;
    std::optional<TPalette> palette_;
    LoadBudget budget_;
    bool paletteRequest_ = false;

    // The painters, shared with their threads, which leave the list when they end.
    mutable std::mutex paintLock_;
    std::condition_variable paintersLeft_;
    std::vector<std::shared_ptr<TGIFPainter>> painters_;
    TGIFPainter* painter_ = nullptr;
    std::unique_ptr<gfx::TBitmap> drawBitmap_;  // the painters' target without drawDirect
    bool drawing_ = false;
};

