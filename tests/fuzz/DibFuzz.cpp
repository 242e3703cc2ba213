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
        if (!dib.Empty())
            (void)dib.ToImage().convertToFormat(QImage::Format_RGB32);
        rtl::TMemoryStream out;
        dib.SaveToStream(out);
    }
    return 0;
}
