// Feeds arbitrary files to the PCX, Dr. Halo, SGI, Autodesk and RLA readers. The first byte
// picks the reader, the rest is the file. A reader may refuse it with its message, a stream's
// read error or the bitmap's size limit; anything else escaping, and any read or write outside
// a buffer, is a fault. Seeds: the fixtures of tests/pictures/pcx_sgi_rla.py, each with its selector byte.
#include "pictures/formats/CUTGraphic.h"
#include "pictures/formats/PCXGraphic.h"
#include "pictures/formats/AutodeskGraphic.h"
#include "pictures/formats/RLAGraphic.h"
#include "pictures/formats/SGIGraphic.h"
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
    case 0:
        reader = std::make_unique<TPCXGraphic>();
        break;
    case 1:
        reader = std::make_unique<TCUTGraphic>();
        break;
    case 2:
        reader = std::make_unique<TSGIGraphic>();
        break;
    case 3:
        reader = std::make_unique<TAutodeskGraphic>();
        break;
    default:
        reader = std::make_unique<TRLAGraphic>();
        break;
    }
    rtl::TMemoryStream stream(std::vector<uint8_t>(data + 1, data + size));
    (void)reader->CanLoad(stream);
    try {
        reader->LoadFromStream(stream);
    } catch (const gfx::EInvalidGraphic&) {
    } catch (const gfx::EInvalidGraphicOperation&) {
        // "Bitmap too large": a size the data pays for but no bitmap holds.
    } catch (const rtl::EReadError&) {
    }
    return 0;
}
