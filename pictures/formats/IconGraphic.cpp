#include "pictures/formats/IconGraphic.h"

#include "pictures/formats/FormatGraphic.h"
#include "pictures/icons/Icon32.h"
#include "pictures/icons/icoread.h"

namespace {
std::unique_ptr<gfx::TGraphic> createIconGraphic() { return std::make_unique<TIconGraphic>(); }
}  // namespace

const gfx::TGraphicClassInfo TIconGraphic::ClassInfo{"TIconGraphic", createIconGraphic};

void TIconGraphic::LoadFromStream(rtl::TStream& Stream)
{
    // The rest of the stream is the icon: what it costs is what the file holds.
    std::vector<uint8_t> data(size_t(Stream.Remaining()));
    Stream.ReadBuffer(data.data(), int64_t(data.size()));

    gfx::TBitmap first;
    if (DecodeIcon32(data.data(), data.size(), first)) {
        Assign(first);
        return;
    }
    rtl::TMemoryStream icon(std::move(data));
    TInternalIcon reader;
    reader.LoadFromStream(icon);
    int colors = 0;
    const gfx::TBitmap* image = reader.GetImage(0, colors);
    if (!image || image->Empty())
        FormatErrorFmt(msgInvalidImage, {"ICO"});
    Assign(*image);
}
