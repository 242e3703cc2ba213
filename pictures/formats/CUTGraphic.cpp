#include "pictures/formats/CUTGraphic.h"

#include "pictures/decoders/GraphicCompression.h"
#include "pictures/formats/ReaderStreams.h"
#include "platform/rtl/AsciiCase.h"
#include "platform/rtl/FileNames.h"
#include "platform/rtl/LittleEndian.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

std::unique_ptr<gfx::TGraphic> createCUT() { return std::make_unique<TCUTGraphic>(); }

}  // namespace

const gfx::TGraphicClassInfo TCUTGraphic::ClassInfo{"TCUTGraphic", createCUT};

bool TCUTGraphic::CanLoad(rtl::TStream&) const
{
    return false;
}

bool TCUTGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    uint8_t b[6];
    if (Stream.Read(b, 6) != 6)
        return false;
    TImageProperties& p = ImageProperties;
    p.Width = rtl::le16(b);
    p.Height = rtl::le16(b + 2);
    p.ColorScheme = psIndexed;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    p.BitsPerPixel = 8;
    p.Compression = ctRLE;
    p.BytesPerLine = p.Width;
    return true;
}

std::string TCUTGraphic::PaletteFileFor(const std::string& FileName)
{
    const std::string wanted = rtl::ChangeFileExt(FileName, ".pal");
    std::error_code ec;
    if (std::filesystem::exists(wanted, ec))
        return wanted;
    // Names are case-sensitive here: "X.PAL" beside "X.CUT" is the same palette.
    const std::filesystem::path path(wanted);
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    const std::string name = rtl::LowerAscii(path.filename().string());
    std::string found;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (rtl::LowerAscii(candidate) == name && (found.empty() || candidate < found))
            found = candidate;
    }
    return found.empty() ? wanted : (path.has_parent_path() ? (folder / found).string() : found);
}

void TCUTGraphic::LoadFromFile(const std::string& FileName)
{
    PaletteFile = PaletteFileFor(FileName);
    TFormatGraphic::LoadFromFile(FileName);
}

namespace {

// A Dr. Halo palette: a 40-byte header in the first 512-byte block whose word at 12 is the
// highest colour index, then entries of three 16-bit words (the low byte is the colour); an
// entry that would start past byte 506 of a block starts the next block.
std::vector<gfx::TColor> readHaloPalette(const std::string& FileName)
{
    rtl::TMemoryStream file;
    file.LoadFromFile(FileName);
    const std::vector<uint8_t>& bytes = file.Bytes();
    std::vector<gfx::TColor> colors;
    if (bytes.size() < 40)
        return colors;
    const uint32_t count = std::min<uint32_t>(uint32_t(rtl::le16(bytes.data() + 12)) + 1, 256);
    size_t block = 0, offset = 40;
    for (uint32_t i = 0; i < count; ++i) {
        if (offset > 506) {
            block += 512;
            offset = 0;
        }
        const size_t at = block + offset;
        if (at + 6 > bytes.size())
            break;
        colors.push_back(gfx::RGB(bytes[at], bytes[at + 2], bytes[at + 4]));
        offset += 6;
    }
    return colors;
}

}  // namespace

void TCUTGraphic::LoadFromStream(rtl::TStream& Stream)
{
    if (!BeginLoad(Stream, ""))
        return;
    const TImageProperties& p = ImageProperties;
    Stream.SetPosition(int64_t(BasePosition) + 6);
    const int64_t left = Stream.Remaining();
    // Every row costs its 2-byte length and a run pair gives at most 127 pixels: a picture
    // the data cannot pay for loads nothing.
    if (uint64_t(p.Width) * p.Height > uint64_t(left) * 127 || uint64_t(p.Height) * 2 > uint64_t(left))
        return;
    // Nor does one no bitmap can hold.
    if (p.Width > uint32_t(gfx::TBitmap::MaxSide) || p.Height > uint32_t(gfx::TBitmap::MaxSide) ||
        int64_t((p.Width + 3) & ~3u) * p.Height > gfx::TBitmap::MaxPixelBytes)
        return;
    ProgressStart(stageTransferring);
    SetPixelFormat(gfx::pf8bit);
    std::vector<gfx::TColor> palette;
    if (!PaletteFile.empty() && std::filesystem::exists(PaletteFile))
        palette = readHaloPalette(PaletteFile);
    else
        for (int i = 0; i < 256; ++i)
            palette.push_back(gfx::RGB(uint8_t(i), uint8_t(i), uint8_t(i)));
    SetPalette(palette);
    const std::vector<uint8_t> data = ReadBytes(Stream, left);
    SetSize(int32_t(p.Width), int32_t(p.Height));
    decoders::TSource source(data);
    decoders::TCUTRLEDecoder decoder;
    for (uint32_t y = 0; y < p.Height; ++y) {
        decoders::TTarget row(ScanLine(int32_t(y)), p.Width);
        decoder.Decode(source, row, source.size(), p.Width);
        ProgressRow(y);
    }
    ProgressEnd();
}
