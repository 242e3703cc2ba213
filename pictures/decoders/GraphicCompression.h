// The decoders that the format readers hand their compressed scan data to: run-length kinds
// (Targa, PackBits, PCX, SGI, Dr. Halo CUT, Paint Shop Pro, RLA), ThunderScan's 4-bit coding,
// the CCITT fax codings (T.4 one-dimensional and modified Huffman), deflate over zlib,
// JPEG-in-TIFF over libjpeg and the Huffman-coded detail of Photo-CD.
//
// A reader calls `DecodeInit` once, `Decode` per strip, row or plane and `DecodeEnd` at the
// end. `Decode` takes both buffers as extents (start and length) and never reads or writes
// outside them, whatever the data's own headers claim: a run or literal that reaches past
// either end is cut there, and decoding stops at the end of either buffer. The sizes beside
// the extents carry what the reader asks for in the decoder's own unit (Targa: pixels;
// ThunderScan, fax, deflate, JPEG: bytes of output); the smaller of the two limits wins.
// Targa and CUT move the source extent past what they consumed, deflate moves both; the
// others leave the caller's extents as they were (the readers keep their own positions).
//
// Failures raise `EGraphicCompression` with the program's English message. Decoders are used
// by one thread at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/gfx/Graphic.h"

namespace rtl {
class TStream;
}
struct TImageProperties;

namespace decoders {

class EGraphicCompression : public gfx::EInvalidGraphic {
public:
    using gfx::EInvalidGraphic::EInvalidGraphic;
};

using TSource = std::span<const uint8_t>;
using TTarget = std::span<uint8_t>;

class TDecoder {
public:
    virtual ~TDecoder() = default;
    virtual void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) = 0;
    virtual void DecodeInit() {}
    virtual void DecodeEnd() {}
    // Encodes Count units of Source into Dest; BytesStored answers the bytes written.
    virtual void Encode(TSource Source, TTarget Dest, size_t Count, size_t& BytesStored);
    virtual void EncodeInit() {}
    virtual void EncodeEnd() {}
};

// Depth 8, 15, 16, 24 or 32 bits; other depths decode nothing. Unpacked size in pixels.
// A packet that reaches past the pixels asked for is cut there; a literal's unused pixels are
// still passed over, so that the next call starts at the next packet.
class TTargaRLEDecoder : public TDecoder {
public:
    explicit TTargaRLEDecoder(int ColorDepth);
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;
    // Count pixels; raises when Dest cannot hold the packets (twice a row always can).
    void Encode(TSource Source, TTarget Dest, size_t Count, size_t& BytesStored) override;

private:
    int colorDepth_;
    size_t bytesPerPixel_;
};

class TPackbitsRLEDecoder : public TDecoder {
public:
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;
};

class TPCXRLEDecoder : public TDecoder {
public:
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;
};

// One row per call: it ends at a count of 0 or when the destination extent is full.
class TSGIRLEDecoder : public TDecoder {
public:
    explicit TSGIRLEDecoder(int SampleSize);
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;

private:
    int sampleSize_;
};

// One row per call (its 2-byte length first); ends at a count of 0 or when the destination
// extent is full, and moves the source past the row.
class TCUTRLEDecoder : public TDecoder {
public:
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;
};

class TPSPRLEDecoder : public TDecoder {
public:
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;
};

class TRLADecoder : public TDecoder {
public:
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;
};

// ThunderScan 4-bit pixels, high nibble first; rows of Width bytes.
class TThunderDecoder : public TDecoder {
public:
    explicit TThunderDecoder(size_t Width);
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;

private:
    size_t width_;
};

// The byte with its bits in the other order (bit 0 becomes bit 7): TIFF's FillOrder 2.
uint8_t ReversedBits(uint8_t Byte);

// One-dimensional modified Huffman coding of ITU-T T.4: one bit per pixel out, 1 black,
// rows starting on byte boundaries. With SwapBits the source's bytes are read with their bit
// order reversed (TIFF FillOrder 2); the source itself is not changed.
class TCCITTDecoder : public TDecoder {
public:
    TCCITTDecoder(uint32_t Options, bool SwapBits, uint32_t Width, bool WordAligned);

    struct TNode {
        int32_t Child[2] = {0, 0};
        int32_t Value = 0;
    };

protected:
    // Reads one run of the current colour: its length, -1 after an end-of-line code, -2 after
    // an invalid code; what was summed so far when the source ends.
    int32_t readRun();
    bool nextBit(int& bit);  // the bit under the reader, not consumed; false at the source's end
    void consumeBit() { mask_ >>= 1; }
    // Writes n pixels of the current colour, cut at the row's and the destination's end.
    void writeRun(uint32_t n);
    void endRow();
    void start(TSource source, TTarget dest);
    bool sourceLeft() const { return mask_ != 0 || sourcePos_ < source_.size(); }
    bool destFull() const { return destPos_ >= dest_.size(); }

    uint32_t options_;
    bool swapBits_;
    uint32_t width_;
    bool wordAligned_;
    std::vector<TNode> whiteTree_, blackTree_;
    bool isWhite_ = true;
    TSource source_;
    size_t sourcePos_ = 0;  // next byte to fetch
    uint8_t byte_ = 0;
    uint8_t mask_ = 0;      // bit of byte_ under the reader; 0 when it is used up
    TTarget dest_;
    size_t destPos_ = 0;
    int freeBits_ = 8;
    uint32_t rowPixelsLeft_ = 0;
};

// Rows introduced by end-of-line codes.
class TCCITTFax3Decoder : public TCCITTDecoder {
public:
    using TCCITTDecoder::TCCITTDecoder;
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;
};

// Rows without end-of-line codes, each starting on a byte of the source; word aligned
// (TIFF compression 32771): each row's codes start on an even byte counted from the strip's
// first byte.
class TCCITTMHDecoder : public TCCITTDecoder {
public:
    using TCCITTDecoder::TCCITTDecoder;
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;
};

// Deflate over zlib's inflate. FlushMode is zlib's (1 partial flush for TIFF strips, 4 finish
// for Paint Shop Pro blocks); with AutoReset every Decode starts a new zlib stream. Decode
// never raises: the last inflate status is kept in `Status` for the reader to raise its own
// compression error on, and `Failed` tells a data, memory or stream error from a normal end.
class TLZ77Decoder : public TDecoder {
public:
    TLZ77Decoder(int FlushMode, bool AutoReset);
    ~TLZ77Decoder() override;
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;
    void DecodeInit() override;
    void DecodeEnd() override;
    size_t AvailableInput() const;
    size_t AvailableOutput() const;
    int Status() const { return status_; }
    bool Failed() const;

private:
    struct Stream;
    std::unique_ptr<Stream> stream_;
    int flushMode_;
    bool autoReset_;
    bool initialised_ = false;
    int status_ = 0;
};

// JPEG-compressed TIFF strips and tiles through libjpeg, for the reader whose properties it is
// given (read again at each strip: the current row moves). Unpacked size: whole scanlines of
// the strip's bytes per scanline. libjpeg's warnings are collected and shown as one "Warning"
// at DecodeEnd.
class TTIFFJPEGDecoder : public TDecoder {
public:
    explicit TTIFFJPEGDecoder(const TImageProperties& Properties);
    ~TTIFFJPEGDecoder() override;
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;
    void DecodeInit() override;
    void DecodeEnd() override;
    // Notes a warning for the box at the end of the load (each text once).
    void Warn(const std::string& Text);

    struct Context;

private:
    const TImageProperties& properties_;
    std::unique_ptr<Context> context_;
    int hSampling_ = 1, vSampling_ = 1;
    std::vector<std::string> warnings_;
};

// Photo-CD detail: Huffman-coded deltas applied to the luma and chroma planes. The planes are
// set before Decode; PackedSize carries the row width in bytes and UnpackedSize the number of
// luma rows; the stream stands at the start of the Huffman tables.
class TPCDDecoder : public TDecoder {
public:
    explicit TPCDDecoder(rtl::TStream& Stream);
    void SetPlanes(TTarget Luma, TTarget Chroma1, TTarget Chroma2);
    void Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize) override;

private:
    rtl::TStream& stream_;
    TTarget planes_[3];
};

// Where the decoders' warnings go (caption, text). The program installs its message box
// (icon "!"); without one they go to the log. A null sink restores the log.
using TDecoderWarningSink = std::function<void(const std::string& Caption, const std::string& Text)>;
void SetDecoderWarningSink(TDecoderWarningSink Sink);
void ShowDecoderWarning(const std::string& Caption, const std::string& Text);

// While one lives, decoder warnings are dropped: a preview shows nothing rather than a box.
class TSilentDecoderWarnings {
public:
    TSilentDecoderWarnings();
    ~TSilentDecoderWarnings();
    TSilentDecoderWarnings(const TSilentDecoderWarnings&) = delete;
    TSilentDecoderWarnings& operator=(const TSilentDecoderWarnings&) = delete;
};

}  // namespace decoders
