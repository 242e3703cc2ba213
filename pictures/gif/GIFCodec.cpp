#include "pictures/gif/GIFCodec.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxMinimumCodeSize = 11;  // a clear code of 1 << 12 would lie past the table

// Where decoded pixels go: row after row, or the four passes of an interlaced frame.
class PixelSink {
public:
    PixelSink(uint8_t* Pixels, int Width, int Height, bool Interlaced)
        : pixels_(Pixels), width_(Width), height_(Height), interlaced_(Interlaced)
    {
        if (!interlaced_) {
            out_ = pixels_;
            left_ = int64_t(Width) * Height;
        } else {
            row_ = 0;
            startRow();
        }
    }
    bool Full() const { return left_ == 0; }
    // Takes the string held reversed in Stack[0..Count); false once the frame is full.
    bool Put(const uint8_t* Stack, int Count)
    {
        while (Count > 0 && left_ > 0) {
            const int n = int(std::min<int64_t>(Count, left_));
            for (int i = 0; i < n; ++i)
                out_[i] = Stack[Count - 1 - i];
            out_ += n;
            left_ -= n;
            Count -= n;
            if (left_ == 0 && interlaced_)
                nextRow();
        }
        return left_ > 0;
    }

private:
    void startRow()
    {
        if (row_ < height_) {
            out_ = pixels_ + int64_t(row_) * width_;
            left_ = width_;
        } else {
            left_ = 0;
        }
    }
    void nextRow()
    {
        static constexpr int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        row_ += step[pass_];
        while (row_ >= height_ && pass_ < 3)
            row_ = start[++pass_];
        startRow();
    }

    uint8_t* pixels_;
    int width_, height_;
    bool interlaced_;
    uint8_t* out_ = nullptr;
    int64_t left_ = 0;
    int row_ = 0, pass_ = 0;
};

class Decoder {
public:
    Decoder(rtl::TStream& Stream, const std::function<void(const std::string&)>& Warn)
        : stream_(Stream), warn_(Warn)
    {
    }

    void Run(int MinimumCodeSize, PixelSink& Sink)
    {
        if (MinimumCodeSize > MaxMinimumCodeSize)
            throw GIFException("Invalid LZW minimum code size " + std::to_string(MinimumCodeSize));
        minimum_ = MinimumCodeSize;
        clear_ = 1 << minimum_;
        end_ = clear_ + 1;
        // The stream starts as if a clear code had been read.
        int code = readCode(resetTable());
        if (code < 0)
            return;
        if (!startString(code, Sink))
            return;
        for (;;) {
            code = readCode(codeSize_);
            if (code < 0)
                return;
            if (code == clear_) {
                code = readCode(resetTable());
                if (code < 0 || !startString(code, Sink))
                    return;
                continue;
            }
            if (code == end_)
                return;
            const int incoming = code;
            int sp = 0;
            if (code >= next_) {
                stack_[sp++] = uint8_t(first_);
                code = old_;
            }
            while (code >= clear_) {
                // A longer walk than the table has entries can only be a cycle.
                if (sp >= MaxCodes || prefix_[code] == code)
                    throw GIFException("Circular decoder table entry");
                stack_[sp++] = suffix_[code];
                code = prefix_[code];
            }
            first_ = suffix_[code];
            stack_[sp++] = uint8_t(first_);
            if (next_ < MaxCodes) {
                prefix_[next_] = uint16_t(old_);
                suffix_[next_] = uint8_t(first_);
                ++next_;
                if (next_ >= limit_ && limit_ < MaxCodes) {
                    limit_ *= 2;
                    ++codeSize_;
                }
            }
            old_ = incoming;
            if (!Sink.Put(stack_.data(), sp))
                return;
        }
    }

    // Skips what is left of the frame's sub-blocks, up to its 0 block.
    void SkipRest()
    {
        while (!zeroBlock_) {
            uint8_t size = 0;
            if (stream_.Read(&size, 1) != 1 || size == 0)
                return;
            const int64_t skip = std::min<int64_t>(size, stream_.Remaining());
            stream_.Seek(skip, rtl::soCurrent);
        }
    }

private:
    // Resets the table after a clear code; answers the code size to read the next code with.
    int resetTable()
    {
        for (int i = 0; i < clear_; ++i) {
            prefix_[i] = 0;
            suffix_[i] = uint8_t(i);
        }
        std::fill(prefix_.begin() + clear_, prefix_.end(), 0);
        std::fill(suffix_.begin() + clear_, suffix_.end(), 0);
        codeSize_ = minimum_ + 1;
        limit_ = 2 * clear_;
        next_ = clear_ + 2;
        return codeSize_;
    }

    // The first code after a clear: a root code, output as it is.
    bool startString(int Code, PixelSink& Sink)
    {
        while (Code == clear_) {
            Code = readCode(codeSize_);
            if (Code < 0)
                return false;
        }
        if (Code == end_)
            return false;
        first_ = old_ = Code;
        const uint8_t pixel = uint8_t(Code);
        return Sink.Put(&pixel, 1);
    }

    // Refills until the code is whole: a short sub-block can leave a 12-bit code split over
    // more than two of them.
    int readCode(int Bits)
    {
        while (curBit_ + Bits > lastBit_) {
            if (endOfData_) {
                if (curBit_ >= lastBit_)
                    warn_("Decoder bit buffer under-run");
                return -1;
            }
            buffer_[0] = buffer_[size_t(lastByte_ - 2)];
            buffer_[1] = buffer_[size_t(lastByte_ - 1)];
            uint8_t size = 0;
            if (stream_.Read(&size, 1) != 1)
                return -1;
            int got = size;
            if (size > 0) {
                const int64_t remaining = stream_.Remaining();
                if (remaining < size) {
                    warn_("Premature end of data");
                    got = int(remaining);
                    // Nothing follows: the bits read are the last.
                    endOfData_ = true;
                }
                if (got > 0)
                    stream_.ReadBuffer(buffer_.data() + 2, got);
            } else {
                zeroBlock_ = endOfData_ = true;
            }
            lastByte_ = got + 2;
            curBit_ = curBit_ - lastBit_ + 16;
            lastBit_ = lastByte_ * 8;
        }
        const int at = curBit_ >> 3;
        const uint32_t bits = uint32_t(buffer_[size_t(at)]) | uint32_t(buffer_[size_t(at + 1)]) << 8 |
                              uint32_t(buffer_[size_t(at + 2)]) << 16;
        const int code = int((bits >> (curBit_ & 7)) & ((1u << Bits) - 1));
        curBit_ += Bits;
        return code;
    }

    rtl::TStream& stream_;
    const std::function<void(const std::string&)>& warn_;
    int minimum_ = 0, clear_ = 0, end_ = 0, codeSize_ = 0, limit_ = 0, next_ = 0;
    int first_ = 0, old_ = 0;
    std::array<uint16_t, MaxCodes> prefix_{};
    std::array<uint8_t, MaxCodes> suffix_{};
    std::array<uint8_t, MaxCodes + 1> stack_{};
    // 255 data bytes behind the two kept ones, and room for reading three bytes at the end.
    std::array<uint8_t, 2 + 255 + 3> buffer_{};
    int curBit_ = 0, lastBit_ = 0, lastByte_ = 2;
    bool zeroBlock_ = false, endOfData_ = false;
};

}  // namespace

void DecodeGIFFrame(rtl::TStream& Stream, uint8_t* Pixels, int Width, int Height, bool Interlaced,
                    const std::function<void(const std::string&)>& Warn)
{
    uint8_t minimum = 0;
    if (Stream.Read(&minimum, 1) != 1)
        return;
    auto decoder = std::make_unique<Decoder>(Stream, Warn);
    PixelSink sink(Pixels, Width, Height, Interlaced);
    try {
        if (!sink.Full())
            decoder->Run(minimum, sink);
    } catch (...) {
        decoder->SkipRest();
        throw;
    }
    decoder->SkipRest();
}

int64_t CountGIFDataBytes(rtl::TStream& Stream, int64_t Enough)
{
    const int64_t start = Stream.Position();
    int64_t total = 0;
    Stream.Seek(1, rtl::soCurrent);
    while (total < Enough) {
        uint8_t size = 0;
        if (Stream.Read(&size, 1) != 1 || size == 0)
            break;
        const int64_t have = std::min<int64_t>(size, Stream.Remaining());
        total += have;
        Stream.Seek(have, rtl::soCurrent);
    }
    Stream.SetPosition(start);
    return total;
}

// --- TGIFWriter ---------------------------------------------------------------------------

TGIFWriter::~TGIFWriter()
{
    try {
        Flush();
    } catch (...) {
        // A failing stream reports itself on the next write the caller makes.
    }
}

void TGIFWriter::Flush()
{
    if (buffer_[0] > 0) {
        stream_.WriteBuffer(buffer_.data(), buffer_[0] + 1);
        buffer_[0] = 0;
    }
}

int64_t TGIFWriter::Write(const void* Buffer, int64_t Count)
{
    const auto* p = static_cast<const uint8_t*>(Buffer);
    for (int64_t i = 0; i < Count; ++i)
        WriteByte(p[i]);
    return Count;
}

int64_t TGIFWriter::Read(void*, int64_t) { throw std::runtime_error("Invalid stream operation"); }
int64_t TGIFWriter::Seek(int64_t, rtl::TSeekOrigin) { throw std::runtime_error("Invalid stream operation"); }
int64_t TGIFWriter::Size() { throw std::runtime_error("Invalid stream operation"); }
void TGIFWriter::SetSize(int64_t) { throw std::runtime_error("Invalid stream operation"); }

// --- TGIFEncoder --------------------------------------------------------------------------

void TGIFEncoder::Compress(rtl::TStream& Stream, int BitsPerPixel, int Width, int Height, bool Interlaced,
                           const uint8_t* Data, int Colors)
{
    initialBits_ = std::max(2, BitsPerPixel);
    const uint8_t minimum = uint8_t(initialBits_);
    Stream.WriteBuffer(&minimum, 1);
    initialCodeBits_ = codeBits_ = initialBits_ + 1;
    clearCode_ = 1 << initialBits_;
    endCode_ = clearCode_ + 1;
    firstFree_ = clearCode_ + 2;
    accumulator_ = 0;
    pending_ = 0;
    cleared_ = false;
    width_ = Width;
    height_ = Height;
    colors_ = Colors;
    interlaced_ = Interlaced;
    data_ = pixel_ = Data;
    row_ = pass_ = 0;
    left_ = Interlaced ? Width : int64_t(Width) * Height;

    TGIFWriter writer(Stream);
    writer_ = &writer;
    if (Data && Width >= 1 && Height >= 1)
        DoCompress();
    Output(endCode_);
    flushBits();
    writer.Flush();
    writer_ = nullptr;
    const uint8_t terminator = 0;
    Stream.WriteBuffer(&terminator, 1);
}

int TGIFEncoder::nextPixel()
{
    if (left_ == 0) {
        if (!interlaced_)
            return -1;
        static constexpr int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        row_ += step[pass_];
        while (row_ >= height_ && pass_ < 3)
            row_ = start[++pass_];
        if (row_ >= height_)
            return -1;
        pixel_ = data_ + int64_t(row_) * width_;
        left_ = width_;
    }
    --left_;
    const int value = *pixel_++;
    if (value >= colors_)
        throw GIFException("Color not in color table");
    return value;
}

void TGIFEncoder::Output(int Code)
{
    if (pending_ > 0)
        accumulator_ = (uint32_t(Code) << pending_) | (accumulator_ & ((1u << pending_) - 1));
    else
        accumulator_ = uint32_t(Code);
    pending_ += codeBits_;
    while (pending_ >= 8) {
        writer_->WriteByte(uint8_t(accumulator_));
        accumulator_ >>= 8;
        pending_ -= 8;
    }
}

void TGIFEncoder::flushBits()
{
    while (pending_ > 0) {
        writer_->WriteByte(uint8_t(accumulator_));
        accumulator_ >>= 8;
        pending_ = std::max(0, pending_ - 8);
    }
}

void TGIFEncoder::Clear()
{
    cleared_ = true;
    Output(clearCode_);
}

// --- LZW ----------------------------------------------------------------------------------

void THashTable::Insert(uint32_t Key, int Code)
{
    int h = hash(Key);
    while ((slots_[size_t(h)] >> 12) != 0xFFFFF)
        h = probe(h);
    slots_[size_t(h)] = (Key << 12) | uint32_t(Code & 0xFFF);
}

int THashTable::Lookup(uint32_t Key) const
{
    int h = hash(Key);
    for (;;) {
        const uint32_t slot = slots_[size_t(h)];
        if ((slot >> 12) == 0xFFFFF)
            return -1;
        if ((slot >> 12) == Key)
            return int(slot & 0xFFF);
        h = probe(h);
    }
}

void TLZWEncoder::Clear()
{
    if (table_)
        table_->Clear();
    nextFree_ = firstFree_;
    TGIFEncoder::Clear();
}

void TLZWEncoder::Output(int Code)
{
    TGIFEncoder::Output(Code);
    if (cleared_) {
        codeBits_ = initialCodeBits_;
        limit_ = (1 << codeBits_) - 1;
        cleared_ = false;
    } else if (nextFree_ > limit_) {
        ++codeBits_;
        limit_ = codeBits_ >= 12 ? MaxCodes : (1 << codeBits_) - 1;
    }
}

void TLZWEncoder::DoCompress()
{
    table_ = std::make_unique<THashTable>();
    Clear();
    int prefix = nextPixel();
    for (int c = nextPixel(); c >= 0; c = nextPixel()) {
        const uint32_t key = (uint32_t(prefix) << 8) | uint32_t(c);
        const int code = table_->Lookup(key);
        if (code >= 0) {
            prefix = code;
            continue;
        }
        Output(prefix);
        prefix = c;
        if (nextFree_ >= 4095)
            Clear();
        else
            table_->Insert(key, nextFree_++);
    }
    Output(prefix);
    table_.reset();
}

// --- Run-length ---------------------------------------------------------------------------

void TRLEEncoder::Clear()
{
    TGIFEncoder::Clear();
    outputCount_ = 0;
    bumpPoint_ = bumpStep_;
    clearPoint_ = clearThreshold_;
    tableLength_ = 0;
    codeBits_ = initialCodeBits_;
}

void TRLEEncoder::plainOutput(int Code)
{
    cleared_ = false;
    Output(Code);
    if (++outputCount_ >= bumpPoint_) {
        ++codeBits_;
        bumpPoint_ += 1 << (codeBits_ - 1);
    }
    if (outputCount_ >= clearPoint_)
        Clear();
}

int TRLEEncoder::triangleCount(int Count, int Codes) const
{
    int cost = 0;
    const int per = Codes * (Codes + 1) / 2;
    cost += (Count / per) * Codes;
    Count %= per;
    if (Count > 0) {
        // Integer square root by Newton's iteration, from a power of two near it.
        unsigned n = unsigned(Count);
        if (Count >= 2) {
            unsigned r = 1;
            for (unsigned v = unsigned(Count); v; v >>= 2)
                r <<= 1;
            for (;;) {
                const unsigned v = (unsigned(Count) / r + r) / 2;
                if (v == r || v == r + 1)
                    break;
                r = v;
            }
            n = r;
        }
        while (n * (n + 1) >= 2u * unsigned(Count))
            --n;
        while (n * (n + 1) < 2u * unsigned(Count))
            ++n;
        cost += int(n);
    }
    return cost;
}

void TRLEEncoder::flushFromClear(int Count)
{
    clearPoint_ = maxOutputs_;
    tablePixel_ = runPixel_;
    int n = 1;
    while (Count > 0) {
        if (n == 1) {
            tableLength_ = 1;
            plainOutput(runPixel_);
            --Count;
        } else if (Count >= n) {
            tableLength_ = n;
            plainOutput(firstFree_ + n - 2);
            Count -= n;
        } else {
            ++tableLength_;
            plainOutput(Count == 1 ? runPixel_ : firstFree_ + Count - 2);
            Count = 0;
        }
        n = outputCount_ == 0 ? 1 : n + 1;
    }
    clearPoint_ = clearThreshold_;
    if (outputCount_ >= clearPoint_)
        Clear();
}

void TRLEEncoder::flushClearOrRepeat(int Count)
{
    if (1 + triangleCount(Count, maxOutputs_) < Count) {
        Clear();
        flushFromClear(Count);
    } else {
        for (; Count > 0; --Count)
            plainOutput(runPixel_);
    }
}

void TRLEEncoder::flushWithTable(int Count)
{
    int repeats = Count / tableLength_;
    int leftover = Count % tableLength_;
    int extra = leftover ? 1 : 0;
    if (outputCount_ + repeats + extra > maxOutputs_) {
        repeats = maxOutputs_ - outputCount_;
        leftover = Count - repeats * tableLength_;
        extra = 1 + triangleCount(leftover, maxOutputs_);
    }
    if (1 + triangleCount(Count, maxOutputs_) < repeats + extra) {
        Clear();
        flushFromClear(Count);
        return;
    }
    clearPoint_ = maxOutputs_;
    for (; repeats > 0; --repeats)
        plainOutput(firstFree_ + tableLength_ - 2);
    if (leftover) {
        if (cleared_)
            flushFromClear(leftover);
        else
            plainOutput(leftover == 1 ? runPixel_ : firstFree_ + leftover - 2);
    }
    clearPoint_ = clearThreshold_;
    if (outputCount_ >= clearPoint_)
        Clear();
}

void TRLEEncoder::flushRun(int Count)
{
    if (Count == 1)
        plainOutput(runPixel_);
    else if (cleared_)
        flushFromClear(Count);
    else if (tableLength_ < 2 || tablePixel_ != runPixel_)
        flushClearOrRepeat(Count);
    else
        flushWithTable(Count);
}

void TRLEEncoder::DoCompress()
{
    bumpStep_ = clearCode_ - 1;
    clearThreshold_ = initialBits_ <= 3 ? 9 : bumpStep_ - 1;
    maxOutputs_ = 4095 - firstFree_;
    Clear();
    runPixel_ = -1;
    tablePixel_ = -1;
    int count = 0;
    for (int c = nextPixel(); c >= 0; c = nextPixel()) {
        if (count > 0 && c != runPixel_) {
            flushRun(count);
            count = 0;
        }
        if (c == runPixel_) {
            ++count;
        } else {
            runPixel_ = c;
            count = 1;
        }
    }
    if (count > 0)
        flushRun(count);
}
