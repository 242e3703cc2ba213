// Feeds arbitrary files to the Photoshop, Paint Shop Pro, Photo-CD, portable map and family PNG
// readers. The first byte picks the reader, the rest is the file. A reader may refuse the file
// with its own error; anything else (a crash, a read or write out of bounds, another
// exception) is a finding.
#include "pictures/formats/PaintShopProGraphic.h"
#include "pictures/formats/PhotoCdGraphic.h"
#include "pictures/formats/PhotoshopGraphic.h"
#include "pictures/formats/PngGraphic.h"
#include "pictures/formats/PortableMapGraphic.h"
#include "platform/rtl/Streams.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    std::unique_ptr<TFormatGraphic> reader;
    switch (data[0] % 5) {
    case 0: reader = std::make_unique<TPSDGraphic>(); break;
    case 1: reader = std::make_unique<TPSPGraphic>(); break;
    case 2: reader = std::make_unique<TPCDGraphic>(); break;
    case 3: reader = std::make_unique<TPPMGraphic>(); break;
    default: reader = std::make_unique<TPNGGraphic>(); break;
    }
    rtl::TMemoryStream stream(std::vector<uint8_t>(data + 1, data + size));
    try {
        reader->CanLoad(stream);
        reader->LoadFromStream(stream);
    } catch (const gfx::EInvalidGraphic&) {
    } catch (const gfx::EInvalidGraphicOperation&) {
    } catch (const rtl::EStreamError&) {
    }
    return 0;
}
