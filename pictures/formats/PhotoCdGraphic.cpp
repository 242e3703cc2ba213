#include "pictures/formats/PhotoCdGraphic.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

const char* const pcdWord = "PCD";
constexpr int64_t sectorSize = 2048, headerBytes = 6144;
constexpr uint32_t baseIndex = 2;  // 768 x 512, the largest resolution stored uncompressed

std::unique_ptr<gfx::TGraphic> createPhotoCd() { return std::make_unique<TPCDGraphic>(); }

bool hasSignature(const uint8_t* Header)
{
    return std::memcmp(Header, "PCD_OPA", 7) == 0 || std::memcmp(Header + 2048, "PCD", 3) == 0;
}

}  // namespace

const gfx::TGraphicClassInfo TPCDGraphic::ClassInfo{"TPCDGraphic", createPhotoCd};

bool TPCDGraphic::CanLoad(rtl::TStream& Stream) const
{
    const int64_t start = Stream.Position();
    if (Stream.Size() - start <= headerBytes)
        return false;
    std::vector<uint8_t> header(headerBytes);
    Stream.ReadBuffer(header.data(), headerBytes);
    Stream.SetPosition(start);
    return hasSignature(header.data());
}

bool TPCDGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    if (Stream.Size() - Stream.Position() < headerBytes || ImageIndex > 4)
        return false;
    std::vector<uint8_t> header(headerBytes);
    Stream.ReadBuffer(header.data(), headerBytes);
    TImageProperties& P = ImageProperties;
    P.Overview = std::memcmp(header.data(), "PCD_OPA", 7) == 0;
    if (!hasSignature(header.data()))
        return false;
    P.Rotate = header[0x0E02] & 3;
    P.Width = 192u << ImageIndex;
    P.Height = 128u << ImageIndex;
    if (P.Rotate == 1 || P.Rotate == 3)
        std::swap(P.Width, P.Height);
    P.ColorScheme = psPhotoYCC;
    P.BitsPerSample = 8;
    P.SamplesPerPixel = 3;
    P.BitsPerPixel = 24;
    P.Compression = ImageIndex < 3 ? ctNone : ctPhotoCDHuffman;
    P.ImageCount = uint16_t(header[10] << 8 | header[11]);
    return true;
}

void TPCDGraphic::LoadFromStream(rtl::TStream& Stream)
{
    if (!BeginLoad(Stream, std::string()))
        return;
    ReadImageProperties(Stream, baseIndex);
    const TImageProperties& P = ImageProperties;
    // The landscape picture as stored.
    const uint32_t W = 192u << baseIndex, H = 128u << baseIndex;
    const int64_t sector = P.Overview ? 5 : 96;
    const int64_t dataStart = int64_t(BasePosition) + sector * sectorSize;
    // A pair of rows: two luma rows and a row of each chroma at half width.
    const int64_t dataBytes = int64_t(W) * 3 / 2 * H;
    if (Stream.Size() < dataStart + dataBytes)
        FormatErrorFmt(msgStreamReadError, {pcdWord});
    ProgressStart(stagePreparing);

    TColorManager& CM = ColorManager();
    CM.SetSourceColorScheme(psPhotoYCC);
    CM.SetSourceBitsPerSample(8);
    CM.SetSourceSamplesPerPixel(3);
    CM.SetTargetColorScheme(psBGR);
    CM.SetTargetBitsPerSample(8);
    CM.SetTargetSamplesPerPixel(3);
    CM.SetYCbCrParameters({0.2125f, 0.7154f, 0.0721f}, 2, 2);
    SetPixelFormat(gfx::pf24bit);

    std::vector<uint8_t> luma(size_t(W) * H), chroma1(size_t(W) * H), chroma2(size_t(W) * H);
    std::vector<uint8_t> pair(size_t(W) * 3);
    Stream.SetPosition(dataStart);
    ProgressStart(stageLoadingData);
    for (uint32_t r = 0; r < H / 2; ++r) {
        Stream.ReadBuffer(pair.data(), int64_t(pair.size()));
        std::memcpy(luma.data() + size_t(2 * r) * W, pair.data(), size_t(W) * 2);
        std::memcpy(chroma1.data() + size_t(r) * W, pair.data() + size_t(W) * 2, W / 2);
        std::memcpy(chroma2.data() + size_t(r) * W, pair.data() + size_t(W) * 5 / 2, W / 2);
        ProgressRow(2 * r, false);
    }
    ProgressEnd();
    ProgressStart(stageUpsampling);
    Upsample(int32_t(W / 2), int32_t(H / 2), int32_t(W), chroma1);
    Upsample(int32_t(W / 2), int32_t(H / 2), int32_t(W), chroma2);
    ProgressEnd();

    ProgressStart(stageTransferring);
    const bool turned = P.Rotate == 1 || P.Rotate == 3;
    SetSize(int32_t(turned ? H : W), int32_t(turned ? W : H));
    std::vector<uint8_t> row(size_t(W) * 3);
    for (uint32_t r = 0; r < H; ++r) {
        const size_t at = size_t(r) * W;
        const TRowSpan planes[3] = {TRowSpan(luma).subspan(at, W), TRowSpan(chroma1).subspan(at, W),
                                    TRowSpan(chroma2).subspan(at, W)};
        if (!turned) {
            CM.ConvertRow(planes, std::span<uint8_t>(ScanLine(int32_t(r)), size_t(BytesPerLine())), W, 0xFF);
        } else {
            CM.ConvertRow(planes, row, W, 0xFF);
            for (uint32_t x = 0; x < W; ++x) {
                // Rotation 1: the first row becomes the left column, read upwards; 3: the
                // right column, read downwards.
                const int32_t y = int32_t(P.Rotate == 1 ? W - 1 - x : x);
                const uint32_t column = P.Rotate == 1 ? r : H - 1 - r;
                std::memcpy(ScanLine(y) + size_t(column) * 3, row.data() + size_t(x) * 3, 3);
            }
        }
        ProgressRow(r);
    }
    ProgressEnd();
}
