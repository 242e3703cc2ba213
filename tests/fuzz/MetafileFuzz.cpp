// Feeds arbitrary bytes to the metafile: our record walk first, and whatever passes it to libwmf
// or libemf2svg and QtSvg, then draws it. A fault found inside a library is kept out by the walk.
// Run with QT_QPA_PLATFORM=offscreen.
#include "platform/gfx/Metafile.h"
#include "platform/rtl/Streams.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_metafile";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);  // QtSvg's text needs the font database
    try {
        gfx::TMetafile m;
        rtl::TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
        m.LoadFromStream(in);
        if (std::int64_t(m.Width()) * m.Height() <= (1 << 20)) {
            gfx::TBitmap b;
            m.AssignTo(b);
        }
    } catch (const std::exception&) {
    }
    return 0;
}
