// Feeds arbitrary bytes to the picture readers behind the picture registry: the BMP reader of
// the bitmap and the JPEG picture (libjpeg with our error handling and size limit), and
// converts and saves whatever they accept.
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Jpeg.h"
#include "platform/rtl/Streams.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

// Converting a picture costs time in proportion to its size, which a short RLE file may claim
// large within the size limit: only the reading of those is timed.
constexpr std::int64_t kMaxPixelsToConvert = 1 << 20;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    try {
        gfx::TBitmap bmp;
        rtl::TMemoryStream in(bytes);
        bmp.LoadFromStream(in);
        if (std::int64_t(bmp.Width()) * bmp.Height() > kMaxPixelsToConvert)
            return 0;
        rtl::TMemoryStream out;
        bmp.SaveToStream(out);
        (void)bmp.ToImage();
    } catch (const std::exception&) {
    }
    try {
        gfx::TJPEGImage jpeg;
        rtl::TMemoryStream in(bytes);
        jpeg.LoadFromStream(in);
        jpeg.SetScale(gfx::jsQuarter);
        gfx::TBitmap copy;
        jpeg.AssignTo(copy);
    } catch (const std::exception&) {
    }
    return 0;
}
