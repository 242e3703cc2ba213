// The colour maps of a GIF: the global one of the header and the local one of a frame, read
// and written as the file stores them (RGB triples padded to a power of two), and their
// optimisation (unused entries dropped, the most used first).
#include "pictures/gif/GIFImage.h"

#include "pictures/gif/GIFBlocks.h"

#include <algorithm>
#include <numeric>

using namespace gifblocks;

// --- colour maps --------------------------------------------------------------------------

void TGIFColorMap::grow(int Needed)
{
    if (Needed <= Capacity())
        return;
    const int capacity = Capacity() == 0 ? std::max(16, Needed) : std::min(MaxColors, (Needed + 31) / 32 * 32);
    data_.resize(size_t(std::min(MaxColors, std::max(capacity, Needed))));
}

void TGIFColorMap::Clear()
{
    data_.clear();
    data_.shrink_to_fit();
    count_ = 0;
    optimized_ = false;
    Changed();
}

void TGIFColorMap::Assign(const TGIFColorMap& Source)
{
    data_ = Source.data_;
    count_ = Source.count_;
    optimized_ = Source.optimized_;
    Changed();
}

void TGIFColorMap::ImportPalette(const TPalette& Palette)
{
    const int n = std::min(Palette.Count(), MaxColors);
    data_.clear();
    count_ = 0;
    grow(n);
    for (int i = 0; i < n; ++i) {
        const TPaletteEntry& e = Palette.Entries[size_t(i)];
        data_[size_t(i)] = {e.peRed, e.peGreen, e.peBlue};
    }
    count_ = n;
    optimized_ = false;
    Changed();
}

void TGIFColorMap::ImportRGB(const std::vector<gfx::TColor>& Colors, int Count)
{
    const int n = std::clamp(Count, 0, std::min(MaxColors, int(Colors.size())));
    data_.clear();
    count_ = 0;
    grow(n);
    for (int i = 0; i < n; ++i)
        data_[size_t(i)] = gifColor(Colors[size_t(i)]);
    count_ = n;
    optimized_ = false;
    Changed();
}

void TGIFColorMap::ImportDIBColors(const gfx::TBitmap& Bitmap)
{
    ImportRGB(Bitmap.Palette(), int(Bitmap.Palette().size()));
}

TPalette TGIFColorMap::ExportPalette() const
{
    TPalette palette;
    for (int i = 0; i < count_; ++i)
        palette.Entries.push_back({data_[size_t(i)].Red, data_[size_t(i)].Green, data_[size_t(i)].Blue, PC_NOCOLLAPSE});
    return palette;
}

int TGIFColorMap::Add(gfx::TColor Color)
{
    if (count_ >= MaxColors)
        throw GIFException("Color table overflow");
    grow(count_ + 1);
    data_[size_t(count_)] = gifColor(Color);
    optimized_ = false;
    Changed();
    return count_++;
}

int TGIFColorMap::AddUnique(gfx::TColor Color)
{
    const int i = IndexOf(Color);
    return i >= 0 ? i : Add(Color);
}

int TGIFColorMap::IndexOf(gfx::TColor Color) const
{
    const TGIFColor c = gifColor(Color);
    if (optimized_) {
        for (int i = 0; i < count_; ++i)
            if (data_[size_t(i)] == c)
                return i;
    } else {
        for (int i = count_ - 1; i >= 0; --i)
            if (data_[size_t(i)] == c)
                return i;
    }
    return -1;
}

void TGIFColorMap::Delete(int Index)
{
    if (Index < 0 || Index >= count_)
        throw GIFException("Invalid color index");
    data_.erase(data_.begin() + Index);
    data_.push_back({});
    --count_;
    optimized_ = false;
    Changed();
}

gfx::TColor TGIFColorMap::Colors(int Index)
{
    if (count_ == 0)
        throw GIFException("Color table is empty");
    if (Index < 0 || Index >= count_) {
        Warning("Invalid color index");
        Index = 0;
    }
    return colorOf(data_[size_t(Index)]);
}

void TGIFColorMap::SetColors(int Index, gfx::TColor Color)
{
    if (Index < 0 || Index >= count_)
        throw GIFException("Invalid color index");
    data_[size_t(Index)] = gifColor(Color);
    Changed();
}

int TGIFColorMap::BitsPerPixel() const { return BitsForColorCount(count_); }

void TGIFColorMap::Warning(const std::string&) {}

void TGIFColorMap::LoadFromStream(rtl::TStream& Stream, int Count)
{
    data_.clear();
    count_ = 0;
    grow(Count);
    readExact(Stream, data_.data(), int64_t(Count) * 3);
    count_ = Count;
    Changed();
}

void TGIFColorMap::SaveToStream(rtl::TStream& Stream, int Bits) const
{
    Stream.WriteBuffer(data_.data(), int64_t(count_) * 3);
    const int total = 1 << std::max(Bits, BitsPerPixel());
    const std::vector<uint8_t> zeros(size_t(std::max(0, total - count_)) * 3, 0);
    Stream.WriteBuffer(zeros.data(), int64_t(zeros.size()));
}

bool TGIFColorMap::optimizeFor(const std::vector<TGIFSubImage*>& Frames)
{
    if (count_ <= 1)
        return false;
    std::vector<int64_t> uses(MaxColors, 0);
    for (TGIFSubImage* frame : Frames)
        for (uint8_t p : frame->data_)
            ++uses[p];
    std::vector<int> order(static_cast<size_t>(count_));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return uses[size_t(a)] > uses[size_t(b)]; });
    bool same = true;
    for (int i = 0; i < count_; ++i)
        same = same && order[size_t(i)] == i;
    if (same)
        return false;

    std::array<uint8_t, 256> remap{};
    std::iota(remap.begin(), remap.end(), 0);  // indices past the map keep their value
    std::vector<TGIFColor> entries(data_.begin(), data_.begin() + count_);
    int used = 0;
    for (int i = 0; i < count_; ++i) {
        remap[size_t(order[size_t(i)])] = uint8_t(i);
        data_[size_t(i)] = entries[size_t(order[size_t(i)])];
        if (uses[size_t(order[size_t(i)])] > 0)
            used = i + 1;
    }
    for (TGIFSubImage* frame : Frames) {
        for (uint8_t& p : frame->data_)
            p = remap[p];
        if (TGIFGraphicControlExtension* gce = frame->GraphicControlExtension())
            gce->TransparentIndex = remap[gce->TransparentIndex];
        frame->FreeCaches();
    }
    count_ = used;
    optimized_ = true;
    Changed();
    return true;
}

bool TGIFGlobalColorMap::Optimize()
{
    std::vector<TGIFSubImage*> frames;
    if (TGIFImage* image = header_->Image())
        for (int i = 0; i < image->Images().Count(); ++i)
            if (image->Images()[i]->ColorMap().Count() == 0)
                frames.push_back(image->Images()[i]);
    return optimizeFor(frames);
}

void TGIFGlobalColorMap::Changed()
{
    if (TGIFImage* image = header_->Image())
        image->FreeCaches();
}

void TGIFGlobalColorMap::Warning(const std::string& Message) { header_->Warning(GIFSeverityWarning, Message); }

bool TGIFLocalColorMap::Optimize() { return optimizeFor({subImage_}); }
void TGIFLocalColorMap::Changed() { subImage_->FreeCaches(); }
void TGIFLocalColorMap::Warning(const std::string& Message) { subImage_->Warning(GIFSeverityWarning, Message); }
