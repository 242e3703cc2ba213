// Feeds arbitrary bytes to both icon readers (the 32-bit decoder and the general reader with
// its masks) and to the executable's icon-group reader. A reader may refuse or raise a stream
// error; it must not crash, hang or keep more than its limits.
#include "pictures/icons/Icon32.h"
#include "pictures/icons/PeResources.h"
#include "pictures/icons/icoread.h"
#include "platform/rtl/Streams.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    gfx::TBitmap bitmap;
    if (DecodeIcon32(bytes.data(), bytes.size(), bitmap) && (bitmap.Width() > 256 || bitmap.Height() > 256))
        __builtin_trap();
    TInternalIcon icon;
    try {
        rtl::TMemoryStream in(bytes);
        icon.LoadFromStream(in);
    } catch (const rtl::EStreamError&) {
    }
    for (int i = 0; i < icon.DecodedCount(); ++i) {
        int colors = 0;
        const gfx::TBitmap* image = icon.GetImage(i, colors);
        if (!image || image->Width() > 255 || image->Height() > 255)
            __builtin_trap();
    }
    rtl::TMemoryStream in(bytes);
    (void)ReadIconGroups(in);
    return 0;
}
