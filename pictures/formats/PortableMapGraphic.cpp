#include "pictures/formats/PortableMapGraphic.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

const char* const mapWord = "PBM, PGM or PPM";
const char* const readWord = "PPM";

std::unique_ptr<gfx::TGraphic> createPortableMap() { return std::make_unique<TPPMGraphic>(); }

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

}  // namespace

const gfx::TGraphicClassInfo TPPMGraphic::ClassInfo{"TPPMGraphic", createPortableMap};

bool TPPMGraphic::CanLoad(rtl::TStream& Stream) const
{
    const int64_t start = Stream.Position();
    if (Stream.Size() - start < 11)
        return false;
    uint8_t magic[2];
    Stream.ReadBuffer(magic, 2);
    Stream.SetPosition(start);
    return magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '6';
}

uint8_t TPPMGraphic::GetChar()
{
    if (bufferIndex_ >= bufferEnd_) {
        const int64_t n = source_ ? source_->Read(buffer_.data(), int64_t(buffer_.size())) : 0;
        if (n <= 0)
            FormatErrorFmt(msgStreamReadError, {readWord});
        bufferIndex_ = 0;
        bufferEnd_ = size_t(n);
    }
    return buffer_[bufferIndex_++];
}

uint8_t TPPMGraphic::PeekChar() const
{
    return bufferIndex_ < bufferEnd_ ? buffer_[bufferIndex_] : 0;
}

std::string TPPMGraphic::ReadLine()
{
    std::string line;
    for (;;) {
        const uint8_t c = GetChar();
        if (c == '\n')
            break;
        if (c == '\r') {
            if (PeekChar() == '\n')
                GetChar();
            break;
        }
        line += char(c);
    }
    if (const size_t hash = line.find('#'); hash != std::string::npos)
        line.erase(hash);
    return line;
}

uint8_t TPPMGraphic::firstDigit()
{
    uint8_t c = GetChar();
    while (!isDigit(c)) {
        if (c == '#')
            while (c != '\n' && c != '\r')
                c = GetChar();
        c = GetChar();
    }
    return c;
}

uint32_t TPPMGraphic::GetNumber()
{
    uint8_t c = firstDigit();
    uint64_t value = 0;
    while (isDigit(c)) {
        value = value * 10 + (c - '0');
        if (value > UINT32_MAX)
            FormatErrorFmt(msgInvalidImage, {mapWord});
        c = GetChar();
    }
    return uint32_t(value);
}

void TPPMGraphic::readBytes(uint8_t* Data, size_t Count)
{
    const size_t buffered = std::min(Count, bufferEnd_ - std::min(bufferIndex_, bufferEnd_));
    if (buffered > 0) {
        std::memcpy(Data, buffer_.data() + bufferIndex_, buffered);
        bufferIndex_ += buffered;
    }
    if (Count > buffered && source_->Read(Data + buffered, int64_t(Count - buffered)) != int64_t(Count - buffered))
        FormatErrorFmt(msgStreamReadError, {readWord});
}

uint64_t TPPMGraphic::bytesLeft() const
{
    return uint64_t(source_->Remaining()) + (bufferEnd_ - std::min(bufferIndex_, bufferEnd_));
}

void TPPMGraphic::readHeader(rtl::TStream& Stream)
{
    source_ = &Stream;
    bufferIndex_ = bufferEnd_ = buffer_.size();
    kind_ = 0;
    maxValue_ = 0;
    if (Stream.Size() - Stream.Position() < 3 || GetChar() != 'P')
        return;
    const uint8_t digit = GetChar();
    if (digit < '1' || digit > '6')
        return;
    // Header numbers may follow the magic on its own line or on the next ones.
    TImageProperties& P = ImageProperties;
    P.Width = GetNumber();
    P.Height = GetNumber();
    maxValue_ = digit == '1' || digit == '4' ? 1 : GetNumber();
    kind_ = char(digit);
}

bool TPPMGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    readHeader(Stream);
    TImageProperties& P = ImageProperties;
    P.Compression = ctNone;
    switch (kind_) {
    case '1':
    case '4': P.ColorScheme = psIndexed, P.BitsPerSample = 1, P.SamplesPerPixel = 1; break;
    case '2':
    case '5': P.ColorScheme = psIndexed, P.BitsPerSample = 8, P.SamplesPerPixel = 1; break;
    case '3':
    case '6': P.ColorScheme = psRGB, P.BitsPerSample = 8, P.SamplesPerPixel = 3; break;
    default: return false;
    }
    P.BitsPerPixel = uint8_t(P.BitsPerSample * P.SamplesPerPixel);
    // The scaling divides by the maximum.
    return P.Width > 0 && P.Height > 0 && maxValue_ > 0 && maxValue_ <= 65535;
}

void TPPMGraphic::LoadFromStream(rtl::TStream& Stream)
{
    BeginLoad(Stream, mapWord);
    readHeader(Stream);
    const TImageProperties& P = ImageProperties;
    const bool bitmap = kind_ == '1' || kind_ == '4';
    const bool plain = kind_ <= '3';
    const size_t samples = kind_ == '3' || kind_ == '6' ? 3 : 1;
    const size_t sampleBytes = maxValue_ > 255 ? 2 : 1;
    const uint64_t rowBytes = bitmap ? (uint64_t(P.Width) + 7) / 8 : uint64_t(P.Width) * samples * sampleBytes;
    // Plain samples take at least a byte each, raw rows their full size.
    const uint64_t least = plain ? uint64_t(P.Width) * P.Height * samples : rowBytes * P.Height;
    if (least > bytesLeft())
        FormatErrorFmt(msgStreamReadError, {readWord});

    ProgressStart(stageTransferring);
    SetPixelFormat(bitmap ? gfx::pf1bit : samples == 1 ? gfx::pf8bit : gfx::pf24bit);
    SetSize(int32_t(P.Width), int32_t(P.Height));
    if (samples == 1) {
        ColorManager().SetTargetBitsPerSample(bitmap ? 1 : 8);
        ColorManager().SetTargetSamplesPerPixel(1);
        SetPalette(ColorManager().BuildGrayPalette(bitmap).ToColors());
    }

    // Sample values to 8 bits by way of the 16-bit scale, as other readers round them.
    std::vector<uint8_t> scale(size_t(maxValue_) + 1);
    for (uint32_t v = 0; v <= maxValue_; ++v)
        scale[v] = uint8_t(((uint64_t(v) * 65535 + maxValue_ / 2) / maxValue_) >> 8);
    auto scaled = [&](uint32_t v) { return scale[std::min(v, maxValue_)]; };

    std::vector<uint8_t> raw(plain ? 0 : size_t(rowBytes));
    for (uint32_t y = 0; y < P.Height; ++y) {
        uint8_t* line = ScanLine(int32_t(y));
        if (kind_ == '1') {
            std::memset(line, 0, size_t(rowBytes));
            for (uint32_t x = 0; x < P.Width; ++x) {
                // Single digits, with or without separators.
                if (firstDigit() != '0')
                    line[x / 8] |= uint8_t(0x80 >> (x % 8));
            }
        } else if (plain) {
            for (uint32_t x = 0; x < P.Width; ++x) {
                uint8_t* out = line + x * samples;
                for (size_t s = 0; s < samples; ++s)
                    out[samples - 1 - s] = scaled(GetNumber());
            }
        } else {
            readBytes(raw.data(), raw.size());
            if (bitmap) {
                std::memcpy(line, raw.data(), raw.size());
            } else {
                for (uint32_t x = 0; x < P.Width; ++x)
                    for (size_t s = 0; s < samples; ++s) {
                        const size_t i = (size_t(x) * samples + s) * sampleBytes;
                        const uint32_t v = sampleBytes == 2 ? uint32_t(raw[i]) << 8 | raw[i + 1] : raw[i];
                        line[size_t(x) * samples + samples - 1 - s] = scaled(v);
                    }
            }
        }
        ProgressRow(y);
    }
    ProgressEnd();
    source_ = nullptr;
}
