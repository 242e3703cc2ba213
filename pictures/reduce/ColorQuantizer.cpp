#include "pictures/reduce/ColorQuantizer.h"

#include "pictures/reduce/ColorReduction.h"

#include <algorithm>

TColorQuantizer::TColorQuantizer(int MaxColors, int ColorBits)
    : maxColors_(std::clamp(MaxColors, 1, TPalette::MaxEntries)), colorBits_(std::clamp(ColorBits, 1, MaxLevels))
{
    root_ = createNode(0);
}

// The tree is at most nine levels deep, so the nodes' own destructors free it without
// running deep.
TColorQuantizer::~TColorQuantizer() = default;

std::unique_ptr<TOctreeNode> TColorQuantizer::createNode(int level)
{
    auto node = std::make_unique<TOctreeNode>();
    if (level == colorBits_) {
        node->IsLeaf = true;
        ++leafCount_;
    } else {
        node->Next = reducible_[size_t(level)];
        reducible_[size_t(level)] = node.get();
    }
    return node;
}

void TColorQuantizer::AddColor(uint8_t Red, uint8_t Green, uint8_t Blue)
{
    TOctreeNode* node = root_.get();
    for (int level = 0; !node->IsLeaf; ++level) {
        const int shift = 7 - level;
        const int index = (((Red >> shift) & 1) << 2) | (((Green >> shift) & 1) << 1) | ((Blue >> shift) & 1);
        std::unique_ptr<TOctreeNode>& child = node->Child[size_t(index)];
        if (!child)
            child = createNode(level + 1);
        node = child.get();
    }
    ++node->PixelCount;
    node->RedSum += Red;
    node->GreenSum += Green;
    node->BlueSum += Blue;
    while (leafCount_ > maxColors_ && reduceTree()) {
    }
}

bool TColorQuantizer::reduceTree()
{
    int level = colorBits_ - 1;
    while (level >= 0 && !reducible_[size_t(level)])
        --level;
    if (level < 0)
        return false;
    TOctreeNode* node = reducible_[size_t(level)];
    reducible_[size_t(level)] = node->Next;
    node->Next = nullptr;
    int children = 0;
    for (std::unique_ptr<TOctreeNode>& child : node->Child) {
        if (!child)
            continue;
        node->PixelCount += child->PixelCount;
        node->RedSum += child->RedSum;
        node->GreenSum += child->GreenSum;
        node->BlueSum += child->BlueSum;
        child.reset();
        ++children;
    }
    node->IsLeaf = true;
    leafCount_ -= children - 1;
    return true;
}

void TColorQuantizer::ProcessImage(TDIBReader& Reader)
{
    for (int y = 0; y < Reader.Height(); ++y) {
        const uint8_t* p = Reader.Scanline(y);
        for (int x = 0; x < Reader.Width(); ++x, p += 3)
            AddColor(p[2], p[1], p[0]);
    }
}

namespace {

void collect(const TOctreeNode& node, std::vector<TPaletteEntry>& table)
{
    if (node.IsLeaf) {
        if (node.PixelCount == 0) {
            table.push_back({});
            return;
        }
        table.push_back({uint8_t(node.RedSum / node.PixelCount), uint8_t(node.GreenSum / node.PixelCount),
                         uint8_t(node.BlueSum / node.PixelCount), 0});
        return;
    }
    for (const auto& child : node.Child)
        if (child)
            collect(*child, table);
}

}  // namespace

void TColorQuantizer::GetColorTable(std::vector<TPaletteEntry>& Table) const
{
    Table.clear();
    collect(*root_, Table);
}
