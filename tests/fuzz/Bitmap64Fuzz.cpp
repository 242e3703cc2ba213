// Feeds arbitrary bytes to the memory bitmap's TGA, BMP and raw readers at two depths and
// saves whatever they accept.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "bitmap64/Bitmap64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    for (int bpp : {15, 32}) {
        for (int reader = 0; reader < 3; ++reader) {
            bitmap64::TBitmap64 b(1, 1, bpp);
            rtl::TMemoryStream in(bytes);
            try {
                if (reader == 0)
                    b.LoadFromTGA(in);
                else if (reader == 1)
                    b.LoadFromBMP(in);
                else
                    b.LoadRaw(in);
            } catch (const std::exception&) {
                continue;
            }
            rtl::TMemoryStream out;
            b.SaveToTGA(out);
        }
    }
    return 0;
}
