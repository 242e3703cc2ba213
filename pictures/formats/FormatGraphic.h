// The base of the picture readers: `TFormatGraphic` is a bitmap that a reader decodes a file
// into through its own `TColorManager`, after `ReadImageProperties` has filled
// `TImageProperties` from the file's header. The load frame (`BeginLoad`, the progress
// stages) is the same for every reader, and so are the small routines here: errors, byte
// swapping, the horizontal predictor and the Photo-CD chroma upsampling, each bounded by the
// row it is given. One thread at a time, like any graphic.
#pragma once

#include "pictures/colormanager/PictureColors.h"
#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

// The Compression field of `TImageProperties` (TIFF's values map onto these).
enum TCompressionType : uint8_t {
    ctUnknown,
    ctNone,
    ctRLE,
    ctPackBits,
    ctLZW,
    ctCCITTGroup3,
    ctModifiedHuffman,
    ctCCITTGroup4,
    ctModifiedHuffmanWordAligned,
    ctDeflate,
    ctJPEG,
    ctOldJPEG,
    ctThunderScan,
    ctNeXT,
    ctIT8CTPadded,
    ctIT8LineWork,
    ctIT8MonochromePicture,
    ctIT8BinaryLineArt,
    ctPixarFilm,
    ctPixarLog,
    ctKodakDCS,
    ctJBIG,
    ctPhotoCDHuffman,
};

// Bits of `TImageProperties::Options`.
enum TImageOption : uint32_t {
    ioTiled = 1,
    ioBigEndian = 2,
    ioMinIsWhite = 4,
    ioLowBitFirst = 8,  // bits filled from the least significant one (FillOrder 2)
};

using TCardinalArray = std::vector<uint32_t>;
using TByteArray = std::vector<uint8_t>;
using TFloatArray = std::vector<float>;

struct TImageProperties {
    uint32_t Version = 0;
    uint32_t Options = 0;
    uint32_t Width = 0, Height = 0;
    TPixelScheme ColorScheme = psUnknown;
    uint8_t BitsPerSample = 0;
    uint8_t SamplesPerPixel = 0;
    uint8_t BitsPerPixel = 0;
    TCompressionType Compression = ctUnknown;
    float FileGamma = 0;
    float XResolution = 0, YResolution = 0;
    bool Interlaced = false, HasAlpha = false;
    // TIFF
    uint32_t FirstIFD = 0;
    uint32_t PlanarConfig = 0;
    uint32_t CurrentRow = 0;
    uint32_t TileWidth = 0, TileLength = 0;
    uint32_t BytesPerLine = 0;
    TCardinalArray RowsPerStrip;
    TByteArray YCbCrSubSampling;
    TByteArray JPEGTables;
    uint32_t JPEGColorMode = 0, JPEGTablesMode = 0;
    uint32_t CurrentStrip = 0, StripCount = 0;
    uint32_t Predictor = 0;
    // Photo-CD
    bool Overview = false;
    uint8_t Rotate = 0;
    uint16_t ImageCount = 0;
    bool LocalColorTable = false;
    // RLA
    bool BottomUp = false;
    // Photoshop
    uint8_t Channels = 0;
    // PNG
    uint8_t FilterMode = 0;
};

// Stage texts of the load progress ("Transfering..." is the text the program has always shown).
inline constexpr const char* stagePreparing = "Preparing...";
inline constexpr const char* stageLoadingData = "Loading data...";
inline constexpr const char* stageUpsampling = "Upsampling...";
inline constexpr const char* stageTransferring = "Transfering...";

// The readers' messages; %s is the reader's format word.
inline constexpr const char* msgInvalidImage = "Cannot load image. Invalid or unexpected %s image format.";
inline constexpr const char* msgInvalidColorFormat = "Invalid color format in %s file.";
inline constexpr const char* msgStreamReadError = "Stream read error in %s file.";
inline constexpr const char* msgUnsupportedFeature = "Cannot load image. %s not supported for %s files.";
inline constexpr const char* msgInvalidCRC = "Cannot load image. CRC error found in %s file.";
inline constexpr const char* msgCompression = "Cannot load image. Compression error found in %s file.";
inline constexpr const char* msgExtraCompressedData = "Cannot load image. Extra compressed data found in %s file.";
inline constexpr const char* msgInvalidPalette = "Cannot load image. Palette in %s file is invalid.";
inline constexpr const char* msgUnknownCriticalChunk = "Cannot load PNG image. Unexpected but critical chunk detected.";
inline constexpr const char* msgCompressionScheme = "The compression scheme is";

// Raise gfx::EInvalidGraphic; the formatted form puts the arguments into the %s in order.
[[noreturn]] void FormatError(const std::string& Message);
[[noreturn]] void FormatErrorFmt(const std::string& Message, std::initializer_list<std::string> Arguments);

// Byte order of Count values, as many as the data holds.
void SwapShorts(std::span<uint8_t> Data, size_t Count);
void SwapLongs(std::span<uint8_t> Data, size_t Count);
uint32_t SwapLong(uint32_t Value);

// Undo horizontal differencing of 8-bit samples, 1, 3 or 4 a pixel, for Count pixels after
// the first (callers pass Width - 1; a negative Count does nothing), within the row.
void ApplyPredictor1(std::span<uint8_t> Row, int64_t Count);
void ApplyPredictor3(std::span<uint8_t> Row, int64_t Count);
void ApplyPredictor4(std::span<uint8_t> Row, int64_t Count);

// Doubles a Width x Height byte plane in place, rows RowStride apart, to 2 Width x 2 Height.
// False, with the plane untouched, when a side is below 1, the stride below 2 Width or the
// plane shorter than the doubled picture.
bool Upsample(int32_t Width, int32_t Height, int32_t RowStride, std::span<uint8_t> Plane);

class TFormatGraphic : public gfx::TBitmap {
public:
    TFormatGraphic();
    ~TFormatGraphic() override;

    TColorManager& ColorManager() { return *colorManager_; }
    TImageProperties ImageProperties;
    // Stream position at which the current load started; the file's offsets count from it.
    uint32_t BasePosition = 0;
    // The stream of the current load, for readers that read in pieces.
    rtl::TStream* Stream = nullptr;
    // The band each progress step reports: one row, moving down as rows are decoded.
    gfx::TRect ProgressRect{};

    // Whether the file (or the bytes at the stream's position) is of this class; the stream
    // position is kept. The base knows no format.
    bool CanLoad(const std::string& FileName) const;
    virtual bool CanLoad(rtl::TStream& Stream) const;
    // Clears ImageProperties (FileGamma 1.0) and answers false; readers call it first, then
    // fill it from the header at the stream's position and answer whether it is valid.
    virtual bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex);

    // Copies the properties of another reader's picture, then the bitmap.
    void Assign(const gfx::TGraphic& Source) override;

protected:
    // The start of every load: releases the picture, takes BasePosition, reads the
    // properties and seeks back. An invalid header, or a width or height of 0, raises
    // msgInvalidImage with FormatWord, or answers false when FormatWord is empty (the readers
    // that end such loads silently).
    bool BeginLoad(rtl::TStream& Stream, const std::string& FormatWord);
    // A progress stage: its start with the stage text, a step after each decoded row (which
    // moves ProgressRect down), and its end.
    void ProgressStart(const std::string& Text);
    void ProgressRow(uint32_t Row, bool RedrawNow = true);
    void ProgressEnd();

private:
    std::unique_ptr<TColorManager> colorManager_;
};
