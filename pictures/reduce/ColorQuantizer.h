// The octree colour quantizer: picks at most MaxColors colours that stand for every pixel it
// is shown. Each pixel walks down from the root, one level per bit of its channels (most
// significant first), to a leaf at depth ColorBits that counts the pixels and sums their
// colours. Whenever there are more leaves than colours, the deepest node that still has
// children (the one made last at that level) takes them in; a leaf's colour is its average.
//
// Limits are clamped rather than trusted: MaxColors to 1..256, ColorBits to 1..8, so the tree
// always ends and a table never exceeds a palette. One thread at a time.
#pragma once

#include "pictures/reduce/ColorLookup.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TDIBReader;

struct TOctreeNode {
    bool IsLeaf = false;
    uint64_t PixelCount = 0;
    uint64_t RedSum = 0, GreenSum = 0, BlueSum = 0;
    TOctreeNode* Next = nullptr;  // the next reducible node of the same level
    std::array<std::unique_ptr<TOctreeNode>, 8> Child;
};

class TColorQuantizer {
public:
    static constexpr int MaxLevels = 8;

    TColorQuantizer(int MaxColors, int ColorBits);
    ~TColorQuantizer();
    TColorQuantizer(const TColorQuantizer&) = delete;
    TColorQuantizer& operator=(const TColorQuantizer&) = delete;

    // Every pixel of the reader's rows (24 bits, blue first).
    void ProcessImage(TDIBReader& Reader);
    void AddColor(uint8_t Red, uint8_t Green, uint8_t Blue);
    // The leaves' colours, depth first over the children 0..7.
    void GetColorTable(std::vector<TPaletteEntry>& Table) const;

    int LeafCount() const { return leafCount_; }
    int MaxColors() const { return maxColors_; }
    int ColorBits() const { return colorBits_; }

private:
    std::unique_ptr<TOctreeNode> createNode(int level);
    // False when no node is left to fold into its parent.
    bool reduceTree();

    std::unique_ptr<TOctreeNode> root_;
    int leafCount_ = 0;
    int maxColors_;
    int colorBits_;
    std::array<TOctreeNode*, MaxLevels> reducible_{};
};
