// Feeds arbitrary bytes to the Targa reader, then saves what it took in both forms and reads
// that back: what the reader accepts, the writer must write and the reader take again.
#include "pictures/formats/TargaGraphic.h"
#include "platform/rtl/Streams.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

// Writing costs time in proportion to the picture: only the reading of larger ones is timed.
constexpr std::int64_t kMaxPixelsToWrite = 1 << 20;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TTargaGraphic g;
    try {
        rtl::TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
        (void)g.CanLoad(in);
        g.LoadFromStream(in);
    } catch (const std::exception&) {
        return 0;
    }
    if (g.Empty() || std::int64_t(g.Width()) * g.Height() > kMaxPixelsToWrite)
        return 0;
    for (bool compressed : {true, false}) {
        try {
            rtl::TMemoryStream out;
            g.SaveToStream(out, compressed);
            out.SetPosition(0);
            TTargaGraphic again;
            again.LoadFromStream(out);
            if (again.Width() != g.Width() || again.Height() != g.Height())
                __builtin_trap();
        } catch (const std::exception&) {
            __builtin_trap();
        }
    }
    return 0;
}
