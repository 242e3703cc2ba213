// Feeds arbitrary bytes to the PNG object's reader, then writes, copies and draws whatever it
// accepts, so that the writer and the drawing see every picture the reader lets through.
#include "pictures/png/pngimage.h"
#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Streams.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

// Writing and drawing cost time in proportion to the picture, which a short file may claim
// large within the reader's limits: only the reading of those is timed.
constexpr std::int64_t kMaxPixelsToWrite = 1 << 20;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    png::TPNGObject p;
    try {
        rtl::TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
        p.LoadFromStream(in);
    } catch (const std::exception&) {
        return 0;
    }
    if (std::int64_t(p.Width()) * p.Height() > kMaxPixelsToWrite)
        return 0;
    try {
        rtl::TMemoryStream out;
        p.SaveToStream(out);
        png::TPNGObject again;
        out.SetPosition(0);
        again.LoadFromStream(out);
        gfx::TBitmap canvas(40, 30);
        p.Draw(canvas.Canvas(), gfx::Rect(0, 0, 40, 30));
        gfx::TBitmap copy;
        p.AssignTo(copy);
    } catch (const std::exception&) {
        __builtin_trap();  // what the reader took, the writer must write and read back
    }
    return 0;
}
