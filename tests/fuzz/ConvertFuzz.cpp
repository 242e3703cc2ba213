// Runs random schemes, depths, options, masks, pixel counts and row lengths through the
// colour manager's row conversion and palette builders. Every row is an allocation of its
// own exact length, so a converter that reads or writes past a row trips the sanitizer.
#include "pictures/colormanager/PictureColors.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

namespace {

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
    std::uint16_t word() { return std::uint16_t(byte() | byte() << 8); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in{data, size};
    TColorManager m;
    try {
        m.SetSourceColorScheme(TPixelScheme(in.byte() % 14));
        m.SetTargetColorScheme(TPixelScheme(in.byte() % 14));
        m.SetSourceBitsPerSample(std::uint8_t(in.byte() % 18));
        m.SetTargetBitsPerSample(std::uint8_t(in.byte() % 18));
        m.SetSourceSamplesPerPixel(std::uint8_t(in.byte() % 6));
        m.SetTargetSamplesPerPixel(std::uint8_t(in.byte() % 6));
    } catch (const EColorConversionError&) {
    }
    m.SourceOptions = in.byte();
    m.TargetOptions = in.byte();
    if (in.byte() & 1)
        m.SetGamma(float(in.byte()) / 64, float(in.byte()) / 64);

    const std::size_t planes = in.byte() % 6;
    std::vector<std::vector<std::uint8_t>> rows(planes);
    for (auto& row : rows) {
        row.resize(in.word() % 2048);
        for (auto& b : row)
            b = in.byte();
    }
    std::vector<TRowSpan> source(rows.begin(), rows.end());
    std::vector<std::uint8_t> target(in.word() % 4096);
    const std::uint32_t count = in.word() % 4096;
    const std::uint8_t mask = in.byte();
    try {
        m.ConvertRow(source, target, count, mask);
        m.ConvertRow(source, target, count, mask);
    } catch (const EColorConversionError&) {
    }
    const TPalette palette =
        m.BuildColorPalette(source, TPaletteDataFormat(in.byte() % 9), in.word(), in.byte() & 1);
    const TPalette gray = m.BuildGrayPalette(in.byte() & 1);
    if (palette.Count() > TPalette::MaxEntries || gray.Count() > TPalette::MaxEntries)
        __builtin_trap();
    return 0;
}
