// Feeds arbitrary bytes to the device-independent bitmap reader, as a file and as clipboard
// DIB bytes, and draws and saves whatever it accepts.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "platform/rtl/Streams.h"
#include "visual/DIB.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (bool file : {true, false}) {
        visual::TDIB dib;
        rtl::TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
        try {
            if (file)
                dib.LoadFromStream(in);
            else
                dib.ReadData(in);
        } catch (const std::exception&) {
            continue;
        }
        // Qt's conversion costs time in proportion to the size, which a short RLE file may
        // claim large within the limit: only the reading of those is timed.
        if (!dib.Empty() && std::int64_t(dib.Width()) * dib.Height() <= (1 << 20))
            (void)dib.ToImage().convertToFormat(QImage::Format_RGB32);
        rtl::TMemoryStream out;
        dib.SaveToStream(out);
    }
    return 0;
}
