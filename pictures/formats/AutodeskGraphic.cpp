#include "pictures/formats/AutodeskGraphic.h"

#include "pictures/formats/ReaderStreams.h"
#include "platform/rtl/LittleEndian.h"

namespace {

std::unique_ptr<gfx::TGraphic> createAutodesk() { return std::make_unique<TAutodeskGraphic>(); }

constexpr const char* autodeskWord = "Autodesk";

}  // namespace

const gfx::TGraphicClassInfo TAutodeskGraphic::ClassInfo{"TAutodeskGraphic", createAutodesk};

bool TAutodeskGraphic::CanLoad(rtl::TStream& Stream) const
{
    if (Stream.Remaining() < 33)
        return false;
    const std::vector<uint8_t> b = PeekBytes(Stream, 12);
    return b.size() == 12 && rtl::le16(b.data()) == 0x9119 && b[10] == 8 && b[11] == 0;
}

bool TAutodeskGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    uint8_t b[6];
    if (Stream.Read(b, 6) != 6 || rtl::le16(b) != 0x9119)
        return false;
    TImageProperties& p = ImageProperties;
    p.ColorScheme = psIndexed;
    p.Width = rtl::le16(b + 2);
    p.Height = rtl::le16(b + 4);
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    p.BitsPerPixel = 8;
    p.Compression = ctNone;
    p.BytesPerLine = p.Width;
    return true;
}

void TAutodeskGraphic::LoadFromStream(rtl::TStream& Stream)
{
    BeginLoad(Stream, autodeskWord);
    ProgressStart(stageTransferring);
    const TImageProperties& p = ImageProperties;
    constexpr int64_t pixelsAt = 32 + 768;
    if (Stream.Remaining() < pixelsAt + int64_t(p.Width) * p.Height)
        FormatErrorFmt(msgStreamReadError, {autodeskWord});
    uint8_t head[pixelsAt];
    Stream.ReadBuffer(head, pixelsAt);
    std::vector<gfx::TColor> palette(256);
    for (size_t i = 0; i < 256; ++i) {
        const uint8_t* e = head + 32 + 3 * i;
        palette[i] = gfx::RGB(uint8_t(e[0] * 4), uint8_t(e[1] * 4), uint8_t(e[2] * 4));
    }
    SetPixelFormat(gfx::pf8bit);
    SetPalette(palette);
    SetSize(int32_t(p.Width), int32_t(p.Height));
    for (uint32_t y = 0; y < p.Height; ++y) {
        Stream.ReadBuffer(ScanLine(int32_t(y)), p.Width);
        ProgressRow(y);
    }
    ProgressEnd();
}
