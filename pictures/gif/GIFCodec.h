// The LZW codec of GIF frames: the decoder the frame reader calls, and the two encoders the
// frame writer chooses between: `TLZWEncoder`, a true LZW compressor over an 8009-slot hash
// table, and `TRLEEncoder`, which emits only single pixels and references to runs the decoder's
// table is known to hold, so that its output is a valid LZW stream for every decoder.
//
// Codes are packed least-significant bit first into data sub-blocks of at most 255 bytes
// (`TGIFWriter`). The decoder keeps its whole state in one working area per frame and writes
// strings straight into the frame's pixels. One thread at a time.
#pragma once

#include "pictures/reduce/GIFException.h"
#include "platform/rtl/Streams.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Fills Pixels (Width x Height, already holding the fill value) from the stream positioned at
// the minimum code size byte, and leaves the stream after the frame's terminating sub-block.
// Warn receives "Decoder bit buffer under-run" and "Premature end of data"; "Circular decoder
// table entry" and a minimum code size above 11 raise GIFException.
void DecodeGIFFrame(rtl::TStream& Stream, uint8_t* Pixels, int Width, int Height, bool Interlaced,
                    const std::function<void(const std::string&)>& Warn);

// The bytes of the data sub-blocks that follow the minimum code size byte at the stream's
// position, counted until Enough is reached or the blocks end; the position is kept.
int64_t CountGIFDataBytes(rtl::TStream& Stream, int64_t Enough);

// An output-only stream that cuts what is written into data sub-blocks (a count byte, then up
// to 255 bytes). Flush writes what is collected; the destructor flushes too.
class TGIFWriter : public rtl::TStream {
public:
    explicit TGIFWriter(rtl::TStream& Stream) : stream_(Stream) {}
    ~TGIFWriter() override;
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, rtl::TSeekOrigin Origin) override;
    int64_t Size() override;
    void SetSize(int64_t Size) override;
    void WriteByte(uint8_t Value)
    {
        buffer_[size_t(++buffer_[0])] = Value;
        if (buffer_[0] == 255)
            Flush();
    }
    void Flush();

private:
    rtl::TStream& stream_;
    std::array<uint8_t, 256> buffer_{};
};

class TGIFEncoder {
public:
    virtual ~TGIFEncoder() = default;
    // Writes the minimum code size byte, the data sub-blocks and the terminating 0. A pixel
    // at or above Colors raises "Color not in color table".
    void Compress(rtl::TStream& Stream, int BitsPerPixel, int Width, int Height, bool Interlaced,
                  const uint8_t* Data, int Colors);

protected:
    virtual void Output(int Code);
    virtual void Clear();
    virtual void DoCompress() = 0;
    // The next pixel in writing order; -1 after the last.
    int nextPixel();
    void flushBits();

    TGIFWriter* writer_ = nullptr;
    int initialBits_ = 0, initialCodeBits_ = 0, codeBits_ = 0;
    uint32_t accumulator_ = 0;
    int pending_ = 0;
    int clearCode_ = 0, endCode_ = 0, firstFree_ = 0;
    bool cleared_ = false;
    // The pixel walker.
    int width_ = 0, height_ = 0, colors_ = 0;
    bool interlaced_ = false;
    const uint8_t* data_ = nullptr;
    const uint8_t* pixel_ = nullptr;
    int64_t left_ = 0;
    int row_ = 0, pass_ = 0;
};

// 8009 slots of key << 12 | code; all-ones upper bits mark an empty slot.
class THashTable {
public:
    static constexpr int Size = 8009;
    THashTable() { Clear(); }
    void Clear() { slots_.fill(0xFFFFFFFFu); }
    void Insert(uint32_t Key, int Code);
    int Lookup(uint32_t Key) const;  // -1 when absent

private:
    static int hash(uint32_t Key) { return int(((Key >> 4) ^ Key) % Size); }
    static int probe(int h) { const int d = h == 0 ? 1 : Size - h; h -= d; return h < 0 ? h + Size : h; }
    std::array<uint32_t, Size> slots_;
};

class TLZWEncoder : public TGIFEncoder {
protected:
    void Output(int Code) override;
    void Clear() override;
    void DoCompress() override;

private:
    std::unique_ptr<THashTable> table_;
    int nextFree_ = 0, limit_ = 0;
};

class TRLEEncoder : public TGIFEncoder {
protected:
    void Clear() override;
    void DoCompress() override;

private:
    void plainOutput(int Code);
    void flushRun(int Count);
    void flushFromClear(int Count);
    void flushClearOrRepeat(int Count);
    void flushWithTable(int Count);
    int triangleCount(int Count, int Codes) const;

    int bumpStep_ = 0, clearThreshold_ = 0, maxOutputs_ = 0;
    int outputCount_ = 0, bumpPoint_ = 0, clearPoint_ = 0;
    int tableLength_ = 0, tablePixel_ = -1, runPixel_ = -1;
};
