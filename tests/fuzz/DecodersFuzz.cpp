// Feeds arbitrary data to every picture decoder. The first byte picks the decoder and its
// construction parameter, the next six the packed, unpacked and destination sizes (as the
// readers would pass them, sometimes larger than the buffers), the rest is the source. The
// destination is a buffer of exactly its size, so any write past it is caught.
#include "pictures/decoders/GraphicCompression.h"
#include "pictures/formats/FormatGraphic.h"
#include "platform/rtl/Streams.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

namespace {

uint16_t word(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

// The JPEG decoder's view of a TIFF file, from the fuzzer's bytes.
TImageProperties jpegProperties(uint8_t selector, uint16_t a, uint16_t b)
{
    TImageProperties p;
    p.Width = 1u + a % 64;
    p.Height = 1u + b % 64;
    p.SamplesPerPixel = selector & 0x20 ? 3 : 1;
    p.BitsPerSample = 8;
    p.PlanarConfig = selector & 0x40 ? 2 : 1;
    p.ColorScheme = selector & 0x80 ? psYCbCr : p.SamplesPerPixel == 3 ? psRGB : psGray;
    p.RowsPerStrip = {p.Height};
    p.YCbCrSubSampling = {uint8_t(1 + (a >> 8) % 2), uint8_t(1 + (b >> 8) % 2)};
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 7)
        return 0;
    const uint8_t selector = data[0];
    const size_t packed = word(data + 1), unpacked = word(data + 3), destSize = word(data + 5) % 8192;
    std::vector<uint8_t> source(data + 7, data + size);
    std::vector<uint8_t> dest(destSize);
    rtl::TMemoryStream stream(source);
    TImageProperties properties = jpegProperties(selector, word(data + 1), word(data + 3));
    std::unique_ptr<decoders::TDecoder> d;
    const int depths[] = {8, 15, 16, 24, 32};
    switch (selector % 13) {
    case 0: d = std::make_unique<decoders::TTargaRLEDecoder>(depths[(selector >> 4) % 5]); break;
    case 1: d = std::make_unique<decoders::TPackbitsRLEDecoder>(); break;
    case 2: d = std::make_unique<decoders::TPCXRLEDecoder>(); break;
    case 3: d = std::make_unique<decoders::TSGIRLEDecoder>(selector & 0x10 ? 16 : 8); break;
    case 4: d = std::make_unique<decoders::TCUTRLEDecoder>(); break;
    case 5: d = std::make_unique<decoders::TPSPRLEDecoder>(); break;
    case 6: d = std::make_unique<decoders::TRLADecoder>(); break;
    case 7: d = std::make_unique<decoders::TThunderDecoder>(1 + (selector >> 4)); break;
    case 8: d = std::make_unique<decoders::TCCITTFax3Decoder>(0, selector & 0x10, 1 + packed % 3000, false); break;
    case 9: d = std::make_unique<decoders::TCCITTMHDecoder>(0, selector & 0x10, 1 + packed % 3000, selector & 0x20); break;
    case 10: d = std::make_unique<decoders::TLZ77Decoder>(selector & 0x10 ? 4 : 1, selector & 0x20); break;
    case 11: d = std::make_unique<decoders::TTIFFJPEGDecoder>(properties); break;
    default: {
        auto pcd = std::make_unique<decoders::TPCDDecoder>(stream);
        std::vector<uint8_t> c1(destSize / 4), c2(destSize / 4);
        pcd->SetPlanes(dest, c1, c2);
        decoders::TSource none;
        decoders::TTarget nowhere;
        pcd->Decode(none, nowhere, selector & 0x10 ? 3072 : 1 + packed % 64, unpacked % 64);
        return 0;
    }
    }
    decoders::SetDecoderWarningSink([](const std::string&, const std::string&) {});
    try {
        d->DecodeInit();
        decoders::TSource s(source);
        decoders::TTarget t(dest);
        d->Decode(s, t, packed, unpacked);
        // A second call goes on from where the first left the extents.
        d->Decode(s, t, packed, unpacked);
        d->DecodeEnd();
    } catch (const std::exception&) {
    }
    if (selector % 13 == 0) {
        std::vector<uint8_t> encoded(dest.size() * 2 + 2);
        size_t stored = 0;
        try {
            d->Encode(dest, encoded, unpacked, stored);
        } catch (const std::exception&) {
        }
    }
    return 0;
}
