// Feeds arbitrary bytes to the TIFF reader (and, behind a DOS EPS header, to the EPS reader):
// any input either loads or raises, within the reader's memory and time bounds.
#include "pictures/decoders/GraphicCompression.h"
#include "pictures/formats/TiffGraphic.h"
#include "platform/rtl/Streams.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    decoders::TSilentDecoderWarnings quiet;
    const bool eps = size >= 4 && data[0] == 0xC5 && data[1] == 0xD0 && data[2] == 0xD3 && data[3] == 0xC6;
    try {
        rtl::TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
        if (eps) {
            TEPSGraphic g;
            g.LoadFromStream(in);
        } else {
            TTIFFGraphic g;
            (void)g.CanLoad(in);
            g.LoadFromStream(in);
        }
    } catch (const std::exception&) {
    }
    return 0;
}
