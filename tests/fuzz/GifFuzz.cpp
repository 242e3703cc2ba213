// Feeds arbitrary bytes to the GIF reader and its LZW decoder, then renders, optimises and
// writes whatever it accepts, and reads that back.
#include "pictures/gif/GIFImage.h"
#include "platform/rtl/Streams.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

// Rendering and rewriting cost time in proportion to the pixels, which a short file may not
// claim past its data's worth but may still claim large: only the reading of those is timed.
constexpr std::int64_t kMaxPixelsToRender = 1 << 20;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TGIFImage gif;
    try {
        rtl::TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
        gif.LoadFromStream(in);
    } catch (const std::exception&) {
    }
    std::int64_t pixels = std::int64_t(gif.Width()) * gif.Height();
    for (int i = 0; i < gif.Images().Count(); ++i)
        pixels += gif.Images()[i]->DataSize();
    if (pixels > kMaxPixelsToRender)
        return 0;
    try {
        (void)gif.Bitmap();
        for (int i = 0; i < gif.Images().Count(); ++i)
            (void)gif.Images()[i]->Mask();
        gif.Optimize(optAll, rmNone, dmNearest, 8);
        rtl::TMemoryStream out;
        gif.SaveToStream(out);
        out.SetPosition(0);
        TGIFImage back;
        back.LoadFromStream(out);
    } catch (const std::exception&) {
    }
    return 0;
}
