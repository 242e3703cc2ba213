// Helpers of the GIF tests: GIF files assembled block by block, loading with the warnings
// collected, frames as RGBA next to what ImageMagick makes of them, and gifsicle's view of a
// file's structure.
#pragma once
#include "pictures/gif/GIFImage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace giftest {

using Bytes = std::vector<uint8_t>;

// Assembles a GIF file: header, colour tables, extensions, frames, trailer.
struct GifBuilder {
    Bytes bytes;
    GifBuilder& header(int width, int height, int globalBits = 0, const char* signature = "GIF89a");
    GifBuilder& colors(int count);  // `count` distinct triples (count * 3 bytes)
    GifBuilder& raw(const Bytes& b);
    GifBuilder& gce(int disposal, int delay, int transparent = -1);
    GifBuilder& comment(const std::string& text);
    GifBuilder& loop(int count);
    // Descriptor (packed 0 unless given), then the LZW data of `pixels` by our LZW encoder.
    GifBuilder& frame(int left, int top, int width, int height, const Bytes& pixels, int bits,
                      uint8_t packed = 0, int localBits = 0);
    GifBuilder& trailer();
};

// The LZW data (code size byte, sub-blocks, 0) of pixels.
Bytes lzw(const Bytes& pixels, int width, int height, int bits, bool interlaced = false, bool rle = false);
// Codes packed least significant bit first with their sizes, as sub-blocks, after the code size
// byte; `terminate` adds the 0 block.
Bytes packCodes(int minimumCodeSize, const std::vector<std::pair<int, int>>& codesAndSizes, bool terminate = true);

struct Loaded {
    std::unique_ptr<TGIFImage> image;
    std::vector<std::string> warnings;
    std::string error;  // the exception's message, empty when the load succeeded
};
Loaded load(const Bytes& file);
Loaded loadFile(const std::string& path);

// RGBA of a frame by its colour map (transparent pixels 0, 0, 0, 0).
Bytes frameRGBA(TGIFSubImage& frame);
// ImageMagick's frame `index` (uncoalesced, the frame's own size) as RGBA, transparent
// pixels zeroed; empty when convert fails.
Bytes magickRGBA(const std::string& path, int index);
// ImageMagick's coalesced frames (each the whole logical screen) as RGBA.
std::vector<Bytes> magickCoalesced(const std::string& path, int width, int height);
// `identify`'s frame count.
int magickFrames(const std::string& path);

bool haveTools();
void writeBytes(const std::string& path, const Bytes& bytes);
Bytes readBytes(const std::string& path);
Bytes saved(TGIFImage& image);

// Noise of `colors` values; flat; stripes.
Bytes noise(int count, int colors, unsigned seed);

// The facts gifsicle --xinfo prints about a file, one per line, and ours in the same words.
std::vector<std::string> gifsicleFacts(const std::string& path);
std::vector<std::string> ourFacts(TGIFImage& image);

}  // namespace giftest
