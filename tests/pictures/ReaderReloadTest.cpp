// A reader object loaded again decodes the way a new one does: nothing the colour manager
// chose for the last file (the alpha flag, the converter, gamma) carries over.
#include "pictures/formats/PngGraphic.h"
#include "pictures/formats/RLAGraphic.h"
#include "pictures/formats/SGIGraphic.h"
#include "pictures/formats/TiffGraphic.h"
#include "PictureTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace testsupport;
using namespace pngtest;

namespace {

std::string pixelBytes(TFormatGraphic& g, const std::string& file)
{
    const std::string error = loadError(g, readFile(file));
    EXPECT_EQ(error, "") << file;
    std::string bytes;
    for (int32_t y = 0; y < g.Height(); ++y)
        bytes.append(reinterpret_cast<const char*>(g.ScanLine(y)), size_t(g.BytesPerLine()));
    return bytes;
}

}  // namespace

TEST(ReaderReload, ASecondLoadDecodesAsAFreshReader)
{
    TempDir dir;
    // Colours and a see-through gradient, as ImageMagick writes them in each format.
    auto convert = [&](std::vector<std::string> args, const std::string& name) {
        args.push_back(dir.file(name));
        const auto r = runCommand("convert", args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    };
    for (const char* name : {"alpha.tif", "alpha.sgi", "alpha.png"})
        convert({"-size", "24x10", "gradient:orange-navy", "(", "-size", "24x10", "gradient:white-gray20", ")", "-alpha",
                 "off", "-compose", "CopyOpacity", "-composite"},
                name);
    convert({"-size", "24x10", "gradient:orange-navy", "-set", "gamma", "0.6"}, "gamma.png");
    convert({"-size", "24x10", "gradient:orange-navy", "-define", "png:exclude-chunk=gAMA,sRGB,cHRM"}, "plain.png");
    ASSERT_EQ(runCommand(python3(), {sourceDir() + "/tests/pictures/pcx_sgi_rla.py", dir.path()}).exitCode, 0);

    struct Case {
        std::function<std::unique_ptr<TFormatGraphic>()> make;
        std::string first, second;
    };
    const std::vector<Case> cases = {
        {[] { return std::make_unique<TTIFFGraphic>(); }, "alpha.tif", "alpha.tif"},
        {[] { return std::make_unique<TSGIGraphic>(); }, "alpha.sgi", "alpha.sgi"},
        {[] { return std::make_unique<TRLAGraphic>(); }, "matte.rla", "matte.rla"},
        {[] { return std::make_unique<TPNGGraphic>(); }, "alpha.png", "alpha.png"},
        {[] { return std::make_unique<TPNGGraphic>(); }, "gamma.png", "plain.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first + " then " + c.second);
        const std::string fresh = pixelBytes(*c.make(), dir.file(c.second));
        ASSERT_FALSE(fresh.empty());
        const auto reused = c.make();
        pixelBytes(*reused, dir.file(c.first));
        EXPECT_TRUE(pixelBytes(*reused, dir.file(c.second)) == fresh);
    }
}
