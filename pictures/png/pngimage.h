// `TPNGObject`: the picture class's PNG graphic. A PNG is kept as its list of chunk objects in
// file order (header first); the header chunk owns the decoded image as a bitmap of 1, 4, 8 or
// 24 bits per pixel plus, for the kinds with an alpha channel, a separate alpha plane of one
// byte per pixel. Reading turns the file into that form (16-bit samples keep their high byte,
// 2-bit ones become 4-bit); writing filters, deflates and cuts the image back into IDAT
// chunks. Chunks of names it does not know are kept and written back unchanged.
//
// Limits, so that a hostile file costs no more than its data pays for: both sides and the
// alpha plane within gfx::TBitmap's size limit; the inflated rows at most deflate's largest
// expansion (about 1,032 x) of the bytes left after the header; chunk lengths at most 2^31 - 1
// and within the stream; at most `MaxChunks` chunks. Every failure raises one of the EPng*
// classes below with its fixed text; the chunks read before it stay in the list.
//
// Drawing keys out one colour (a tRNS key, or a palette's one fully transparent entry) or, for
// alpha channels and palettes with several translucent entries, blends each pixel over the
// canvas. Objects are used by one thread at a time; drawing and the clipboard are UI work.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Graphic.h"
#include "platform/rtl/Streams.h"

namespace png {

class EPngError : public gfx::EInvalidGraphic {
public:
    using gfx::EInvalidGraphic::EInvalidGraphic;
};

#define TAMBOURELLE_PNG_ERROR(Name)  \
    class Name : public EPngError {  \
    public:                          \
        Name();                      \
    };
TAMBOURELLE_PNG_ERROR(EPNGInvalidFileHeader)
TAMBOURELLE_PNG_ERROR(EPNGIHDRNotFirst)
TAMBOURELLE_PNG_ERROR(EPngUnexpectedEnd)
TAMBOURELLE_PNG_ERROR(EPNGUnknownCriticalChunk)
TAMBOURELLE_PNG_ERROR(EPNGNoImageData)
TAMBOURELLE_PNG_ERROR(EPngInvalidCRC)
TAMBOURELLE_PNG_ERROR(EPngInvalidIHDR)
TAMBOURELLE_PNG_ERROR(EPNGSizeExceeds)
TAMBOURELLE_PNG_ERROR(EPNGUnknownCompression)
TAMBOURELLE_PNG_ERROR(EPNGUnknownInterlace)
TAMBOURELLE_PNG_ERROR(EPNGInvalidPalette)
TAMBOURELLE_PNG_ERROR(EPNGMissingMultipleIDAT)
TAMBOURELLE_PNG_ERROR(EPNGHeaderNotPresent)
TAMBOURELLE_PNG_ERROR(EPNGOutMemory)
#undef TAMBOURELLE_PNG_ERROR

// Carries zlib's own text for the failure after the fixed text.
class EPNGZLIBError : public EPngError {
public:
    explicit EPNGZLIBError(const std::string& description);
};

// The texts of the plain EPngError.
extern const char* const EPNGCannotAssignChunkText;
extern const char* const EPNGUnknownPalEntryText;
extern const char* const EPNGCannotChangeSizeText;

// PNG filter types and the writer's set of them (bit 1 << filter).
enum TFilter : uint8_t { pfNone = 0, pfSub = 1, pfUp = 2, pfAverage = 3, pfPaeth = 4 };
using TFilters = uint8_t;
constexpr TFilters FilterSet(TFilter f) { return TFilters(1u << f); }
constexpr TFilters AllFilters = 0x1F;

enum TInterlaceMethod : uint8_t { imNone = 0, imAdam7 = 1 };
enum TPNGTransparencyMode { ptmNone, ptmSingleColor, ptmPartial };

// PNG colour types.
enum : uint8_t { pngGray = 0, pngRGB = 2, pngIndexed = 3, pngGrayAlpha = 4,
                 pngRGBAlpha = 6 };

class TPNGObject;
class TChunk;

// A chunk class: its name (4 characters; empty for the plain TChunk) and its factory.
struct TChunkClassInfo {
    const char* name;
    std::unique_ptr<TChunk> (*create)(TPNGObject& owner);
};
using TChunkClass = const TChunkClassInfo*;

// The chunk classes by name: the typed chunks are there from the start; a later registration
// of a name wins. A name nobody registered gets the plain TChunk.
void RegisterChunk(TChunkClass chunkClass);
TChunkClass FindChunkClass(const std::string& name);

// CRC-32 of the PNG standard, continued from `crc` (start with 0).
uint32_t UpdateCrc(uint32_t crc, const uint8_t* data, size_t size);

// Any chunk; the plain class keeps its data as it was read.
class TChunk {
public:
    static const TChunkClassInfo ClassInfo;
    explicit TChunk(TPNGObject& owner);
    virtual ~TChunk();
    TChunk(const TChunk&) = delete;
    TChunk& operator=(const TChunk&) = delete;

    virtual TChunkClass ClassType() const { return &ClassInfo; }
    TPNGObject& Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    std::vector<uint8_t>& Data() { return data_; }
    const std::vector<uint8_t>& Data() const { return data_; }
    uint32_t DataSize() const { return uint32_t(data_.size()); }

    // Copies name and data; a typed chunk takes only its own class (EPngError otherwise).
    virtual void Assign(const TChunk& source);
    // Reads `size` data bytes and the CRC (EPngInvalidCRC on a mismatch); false ends reading.
    virtual bool LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size);
    // Length, name, data and CRC.
    virtual bool SaveToStream(rtl::TStream& stream);

protected:
    void RequireSameClass(const TChunk& source) const;

    std::vector<uint8_t> data_;

private:
    TPNGObject& owner_;
    std::string name_;
};

struct TRGBQuad {
    uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
};

// The header, and the image in its DIB form.
class TChunkIHDR : public TChunk {
public:
    static const TChunkClassInfo ClassInfo;
    explicit TChunkIHDR(TPNGObject& owner);
    TChunkClass ClassType() const override { return &ClassInfo; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size) override;
    bool SaveToStream(rtl::TStream& stream) override;

    uint32_t Width = 0, Height = 0;
    uint8_t BitDepth = 0, ColorType = 0, CompressionMethod = 0, FilterMethod = 0, InterlaceMethod = 0;

    // The image: rows top-down; 1, 4, 8 bits of indices or 24 bits blue, green, red.
    gfx::TBitmap ImageData;
    // Width x Height alpha bytes for colour types 4 and 6, else empty.
    std::vector<uint8_t> ImageAlpha;
    // The DIB's colour table (PLTE entries or the gray ramp); pushed into ImageData by
    // ApplyColorTable.
    std::array<TRGBQuad, 256> ColorTable{};

    // Bits per pixel of the DIB form; 0 for a pair of colour type and depth PNG lacks.
    static int DibBits(uint8_t colorType, uint8_t bitDepth);
    // EPNGSizeExceeds unless the DIB and the alpha plane fit gfx::TBitmap's size limit;
    // EPngInvalidIHDR for a pair of colour type and depth PNG lacks.
    void CheckImageSize() const;
    // Allocates the DIB (zeroed) and the alpha plane for the current fields.
    void PrepareImageData();
    void ApplyColorTable();
    bool HasAlpha() const { return ColorType == pngGrayAlpha || ColorType == pngRGBAlpha; }
    uint8_t* AlphaRow(int32_t y) { return ImageAlpha.data() + size_t(y) * Width; }
    const uint8_t* AlphaRow(int32_t y) const { return ImageAlpha.data() + size_t(y) * Width; }
};

class TChunkPLTE : public TChunk {
public:
    static const TChunkClassInfo ClassInfo;
    explicit TChunkPLTE(TPNGObject& owner);
    TChunkClass ClassType() const override { return &ClassInfo; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size) override;
    bool SaveToStream(rtl::TStream& stream) override;
    int Count() const { return count_; }
    void SetCount(int count) { count_ = count; }
    // Entry i of the header's colour table; EPngError "There is no such palette entry." past Count.
    TRGBQuad Item(int index) const;

private:
    int count_ = 0;
};

class TChunkgAMA : public TChunk {
public:
    static const TChunkClassInfo ClassInfo;
    explicit TChunkgAMA(TPNGObject& owner);
    TChunkClass ClassType() const override { return &ClassInfo; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size) override;
    bool SaveToStream(rtl::TStream& stream) override;
    // Gamma x 100000, as stored.
    uint32_t Gamma = 1;
};

class TChunktRNS : public TChunk {
public:
    static const TChunkClassInfo ClassInfo;
    explicit TChunktRNS(TPNGObject& owner);
    TChunkClass ClassType() const override { return &ClassInfo; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size) override;
    bool SaveToStream(rtl::TStream& stream) override;

    // Palette images: alpha per entry (255 past the stored ones). Gray and RGB: the key.
    std::array<uint8_t, 256> PaletteValues;
    bool BitTransparency = false;
    // The colour drawn transparent in single-colour mode (0x00BBGGRR).
    gfx::TColor TransparentColor() const;
    // Makes `color` the transparent one: the first palette entry of that colour (alpha 0,
    // those before it 255), or the key samples of a gray or RGB image.
    void SetTransparentColor(gfx::TColor color);
};

// The image data: reading decodes the whole IDAT sequence into the header's DIB; writing
// encodes the DIB again.
class TChunkIDAT : public TChunk {
public:
    static const TChunkClassInfo ClassInfo;
    explicit TChunkIDAT(TPNGObject& owner);
    TChunkClass ClassType() const override { return &ClassInfo; }
    bool LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size) override;
    bool SaveToStream(rtl::TStream& stream) override;
};

class TChunktIME : public TChunk {
public:
    static const TChunkClassInfo ClassInfo;
    explicit TChunktIME(TPNGObject& owner);
    TChunkClass ClassType() const override { return &ClassInfo; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size) override;
    bool SaveToStream(rtl::TStream& stream) override;
    uint16_t Year = 0;
    uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

class TChunktEXt : public TChunk {
public:
    static const TChunkClassInfo ClassInfo;
    explicit TChunktEXt(TPNGObject& owner);
    TChunkClass ClassType() const override { return &ClassInfo; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size) override;
    bool SaveToStream(rtl::TStream& stream) override;
    std::string Keyword, Text;
};

class TChunkIEND : public TChunk {
public:
    static const TChunkClassInfo ClassInfo;
    explicit TChunkIEND(TPNGObject& owner);
    TChunkClass ClassType() const override { return &ClassInfo; }
};

// A growable list of owned chunks; it grows geometrically, so a file of many small chunks
// loads in time proportional to their number.
class TPNGPointerList {
public:
    int Count() const { return int(items_.size()); }
    TChunk* Item(int i) const { return items_.at(size_t(i)).get(); }
    TChunk* Add(std::unique_ptr<TChunk> chunk);
    void Remove(const TChunk* chunk);
    void Clear() { items_.clear(); }

protected:
    std::vector<std::unique_ptr<TChunk>> items_;
};

class TPNGList : public TPNGPointerList {
public:
    // The first chunk of class T, or nullptr.
    template <class T>
    T* ItemFromClass() const
    {
        for (const auto& c : items_)
            if (c->ClassType() == &T::ClassInfo)
                return static_cast<T*>(c.get());
        return nullptr;
    }
};

class TPNGObject : public gfx::TGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    static constexpr int MaxChunks = 1 << 20;
    static constexpr uint32_t MaxChunkLength = 0x7FFFFFFF;

    TPNGObject();
    ~TPNGObject() override;

    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }
    bool Empty() const override;
    int32_t Width() const override;
    int32_t Height() const override;
    // A PNG's size comes only from its image: EPngError.
    void SetWidth(int32_t) override;
    void SetHeight(int32_t) override;
    bool Transparent() const override;

    TPNGList& Chunks() { return chunks_; }
    const TPNGList& Chunks() const { return chunks_; }
    // The header chunk; EPNGHeaderNotPresent when there is none.
    TChunkIHDR& Header() const;

    std::array<uint8_t, 256> GammaTable{}, InverseGamma{};
    void InitializeGamma();

    TFilters Filters = FilterSet(pfSub);
    int CompressionLevel = 7;
    uint8_t InterlaceMethod = imNone;
    uint32_t MaxIdatSize() const { return maxIdatSize_; }
    void SetMaxIdatSize(uint32_t size) { maxIdatSize_ = size < 65535 ? 65535 : size; }

    TPNGTransparencyMode TransparencyMode() const;
    gfx::TColor TransparentColor() const;

    void LoadFromStream(rtl::TStream& stream) override;
    void SaveToStream(rtl::TStream& stream) override;
    void Draw(gfx::TCanvas& canvas, const gfx::TRect& r) const override;
    // Draw at (0, 0) and full size onto a 24-bit bitmap, with the same pixels, straight into
    // its rows: no 32-bit copy of the picture or of the bitmap is made on the way.
    void DrawOnto24Bit(gfx::TBitmap& target) const;

    // From another PNG (a copy) or a bitmap (AssignHandle with its transparency).
    void Assign(const gfx::TGraphic& source) override;
    // The image as a bitmap of the DIB's format; single-colour transparency carried over.
    void AssignTo(gfx::TBitmap& dest) const override;
    // Rebuilds the object from a bitmap: palette formats as a palette PNG of their depth,
    // the others as 8-bit RGB; with `transparent`, `transparentColor` becomes the tRNS key.
    // A bitmap without pixels leaves no chunks.
    void AssignHandle(const gfx::TBitmap& bitmap, bool transparent, gfx::TColor transparentColor);

    // A plain image on the system clipboard, and back (without transparency).
    void SaveToClipboardFormat() const;
    void LoadFromClipboardFormat();

private:
    void readChunks(rtl::TStream& stream);
    void drawBlended(gfx::TCanvas& canvas, const gfx::TRect& r) const;

    TPNGList chunks_;
    uint32_t maxIdatSize_ = 65535;
};

}  // namespace png
