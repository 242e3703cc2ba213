// The PNG files of the readers' tests: every colour type and depth, plain and interlaced,
// with transparency, written by ImageMagick and netpbm through the shell.
#pragma once

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pngtest {

struct Kind {
    std::string name;
    std::string command;  // a shell command writing $OUT
    int colorType, depth, interlace;
};

inline const std::string Shapes = "-size 37x23 gradient:red-blue -fill lime -draw 'rectangle 3,3 12,9' "
                           "-fill 'rgba(255,255,0,0.5)' -draw 'rectangle 20,2 33,20'";
// More than 256 colours, so that netpbm writes RGB rather than a palette.
inline const std::string Colourful = "-size 37x23 gradient:red-blue \\( -size 23x37 gradient:black-lime -rotate 90 \\) "
                              "-compose plus -composite -fill lime -draw 'rectangle 3,3 12,9'";
inline const std::string Grays = "-size 37x23 gradient:black-white -colorspace gray";
inline const std::string Alpha = "\\( -size 37x23 gradient:white-black -rotate 90 -resize '37x23!' \\) -alpha off "
                          "-compose copyopacity -composite";
inline const std::string ShapesAlpha = Shapes + " " + Alpha;
// Three colours with three alphas: netpbm makes a palette with translucent tRNS entries.
inline const std::string PaletteAlpha =
    "convert -size 37x23 xc:red -fill blue -draw 'rectangle 0,0 20,22' -fill lime -draw 'rectangle 3,3 12,9' "
    "-depth 8 ppm:$OUT.ppm && convert -size 37x23 xc:white -fill gray50 -draw 'rectangle 0,0 20,22' -fill gray20 "
    "-draw 'rectangle 3,3 12,9' -fill black -draw 'rectangle 25,5 30,10' -depth 8 pgm:$OUT.pgm && "
    "pnmtopng -alpha=$OUT.pgm $OUT.ppm > $OUT";

inline std::vector<Kind> kinds()
{
    std::vector<Kind> k{
        {"palette 8", "convert " + Shapes + " -alpha off PNG8:$OUT", 3, 8, 0},
        {"palette 8 with a key", "convert " + ShapesAlpha + " PNG8:$OUT", 3, 8, 0},
        {"rgb 8", "convert " + Shapes + " -alpha off PNG24:$OUT", 2, 8, 0},
        {"rgba 8", "convert " + ShapesAlpha + " PNG32:$OUT", 6, 8, 0},
        {"palette with translucent entries", PaletteAlpha, 3, 2, 0},
        {"rgb 16", "convert " + Shapes + " -alpha off PNG48:$OUT", 2, 16, 0},
        {"rgba 16", "convert " + ShapesAlpha + " PNG64:$OUT", 6, 16, 0},
        {"rgba 16 interlaced", "convert " + ShapesAlpha + " -interlace PNG PNG64:$OUT", 6, 16, 1},
        {"rgb 8 interlaced", "convert " + Shapes + " -alpha off -interlace PNG PNG24:$OUT", 2, 8, 1},
        {"palette 1", "convert -size 37x23 xc:black -fill white -draw 'rectangle 3,3 12,9' -define png:bit-depth=1 "
                      "-define png:color-type=3 $OUT", 3, 1, 0},
        {"palette 2", "convert -size 37x23 gradient:red-blue -colors 4 -define png:bit-depth=2 -define png:color-type=3 $OUT",
         3, 2, 0},
        {"palette 2 interlaced", "convert -size 37x23 gradient:red-blue -colors 4 -define png:bit-depth=2 "
                                 "-define png:color-type=3 -interlace PNG $OUT", 3, 2, 1},
        {"palette 4 interlaced", "convert -size 37x23 gradient:red-blue -colors 16 -define png:bit-depth=4 "
                                 "-define png:color-type=3 -interlace PNG $OUT", 3, 4, 1},
        {"gray-alpha 8", "convert " + Grays + " " + Alpha + " -define png:bit-depth=8 -define png:color-type=4 $OUT", 4, 8, 0},
        {"gray-alpha 16", "convert " + Grays + " " + Alpha + " -define png:bit-depth=16 -define png:color-type=4 $OUT", 4, 16, 0},
        {"rgb transparent key, netpbm interlaced", "convert " + Colourful + " -depth 8 ppm:- | pnmtopng -interlace "
                                                   "-transparent '#00ff00' > $OUT", 2, 8, 1},
    };
    for (int d : {1, 2, 4, 8, 16}) {
        const std::string depth = std::to_string(d);
        k.push_back({"gray " + depth,
                     "convert " + Grays + " -depth " + depth + " -define png:bit-depth=" + depth +
                         " -define png:color-type=0 $OUT", 0, d, 0});
        k.push_back({"gray " + depth + " interlaced",
                     "convert " + Grays + " -depth " + depth + " -define png:bit-depth=" + depth +
                         " -define png:color-type=0 -interlace PNG $OUT", 0, d, 1});
    }
    return k;
}

inline std::string make(const testsupport::TempDir& dir, const std::string& name, const std::string& command)
{
    const std::string path = dir.file(name);
    auto r = testsupport::runCommand("sh", {"-c", "OUT='" + path + "'; " + command});
    EXPECT_EQ(r.exitCode, 0) << command << "\n" << r.err;
    return path;
}

}  // namespace pngtest
