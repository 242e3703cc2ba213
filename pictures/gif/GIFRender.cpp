// Around the file model: other pictures converted into frames, frames rendered into bitmaps
// and drawn onto canvases, the clipboard, and the optimiser that makes an animation smaller
// without changing what it shows.
//
// The optimiser's rules are checked against coalescing (each frame composed over what the
// frames before it left on screen): a pixel only becomes transparent where the frame under it
// already shows the same colour, a disposal only changes where the next frame hides the whole
// rectangle, and frames that clear their rectangle (disposal 2) are neither cropped nor
// dropped, since the area they clear is part of what is shown.
#include "pictures/gif/GIFImage.h"

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>

#include <algorithm>
#include <cstring>

namespace {

gfx::TColor entryColor(TGIFColorMap& Map, int Index)
{
    if (Index < 0 || Index >= Map.Count())
        return gfx::clBlack;
    const TGIFColor& c = Map.Data()[Index];
    return gfx::RGB(c.Red, c.Green, c.Blue);
}

int disposalOf(const TGIFSubImage& Frame)
{
    const TGIFGraphicControlExtension* gce = Frame.GraphicControlExtension();
    return gce ? gce->Disposal() : 0;
}

int transparentIndexOf(const TGIFSubImage& Frame)
{
    const TGIFGraphicControlExtension* gce = Frame.GraphicControlExtension();
    return Frame.Transparent() && gce ? gce->TransparentIndex : -1;
}

bool usesIndex(const TGIFSubImage& Frame, int Index)
{
    const auto& d = Frame.DataBuffer();
    return std::find(d.begin(), d.end(), uint8_t(Index)) != d.end();
}

int64_t mulDiv(int64_t a, int64_t b, int64_t c) { return c == 0 ? 0 : a * b / c; }

TGIFGraphicControlExtension& ensureGCE(TGIFSubImage& Frame)
{
    if (!Frame.GraphicControlExtension())
        Frame.Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(&Frame));
    return *Frame.GraphicControlExtension();
}

}  // namespace

bool GIFDoDither(unsigned DrawOptions)
{
    if (!(DrawOptions & drawDither))
        return false;
    if (!(DrawOptions & drawAutoDither))
        return true;
    // Only a palette display (8 bits or less) needs it; Linux screens are deeper.
    static const bool paletteDisplay = [] {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return false;
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen && screen->depth() <= 8;
    }();
    return paletteDisplay;
}

// --- conversion ---------------------------------------------------------------------------

void TGIFSubImage::Assign(const TGIFSubImage& Source)
{
    if (&Source == this)
        return;
    Clear();
    Packed = Source.Packed;
    SetBoundsRect(Source.BoundsRect());
    data_ = Source.data_;
    colorMap_.Assign(Source.colorMap_);
    for (int i = 0; i < Source.extensions_.Count(); ++i)
        extensions_.Add(CloneGIFExtension(*Source.extensions_[i], this));
    FreeCaches();
}

void TGIFSubImage::Assign(const gfx::TGraphic& Source)
{
    if (const auto* bitmap = dynamic_cast<const gfx::TBitmap*>(&Source)) {
        assignBitmap(*bitmap);
        if (!bitmap->Transparent())
            return;
    }
    // Drawn once on white and once on black: what changed is background.
    const int w = Source.Width(), h = Source.Height();
    gfx::TBitmap white(w, h, gfx::pf24bit), black(w, h, gfx::pf24bit);
    white.Canvas().Brush().SetColor(gfx::clWhite);
    white.Canvas().FillRect(gfx::Rect(0, 0, w, h));
    black.Canvas().Brush().SetColor(gfx::clBlack);
    black.Canvas().FillRect(gfx::Rect(0, 0, w, h));
    Source.Draw(white.Canvas(), gfx::Rect(0, 0, w, h));
    Source.Draw(black.Canvas(), gfx::Rect(0, 0, w, h));
    if (!dynamic_cast<const gfx::TBitmap*>(&Source))
        assignBitmap(white);
    applyMask(white, black);
}

void TGIFSubImage::assignBitmap(const gfx::TBitmap& Source)
{
    Clear();
    SetBoundsRect(gfx::Bounds(left_, top_, Source.Width(), Source.Height()));
    if (Source.Empty())
        return;
    std::unique_ptr<gfx::TBitmap> reduced;
    const gfx::TBitmap* bitmap = &Source;
    const gfx::TPixelFormat format = Source.PixelFormat();
    if (format != gfx::pf1bit && format != gfx::pf4bit && format != gfx::pf8bit) {
        const TGIFImage* image = image_;
        reduced = ReduceColors(Source, image ? image->ColorReduction : GIFDefaults().ColorReduction,
                               image ? image->DitherMode : GIFDefaults().DitherMode,
                               image ? image->ReductionBits : GIFDefaults().ReductionBits, nullptr);
        if (!reduced || reduced->Empty())
            throw GIFException("Invalid reduction method");
        bitmap = reduced.get();
    }
    TDIBReader reader(*bitmap, bitmap->PixelFormat() == gfx::pfDevice ? gfx::pf24bit : bitmap->PixelFormat());
    const gfx::TPixelFormat pf = reader.PixelFormat();
    if (pf != gfx::pf24bit)
        colorMap_.ImportDIBColors(*bitmap);
    // The eight colours used last, newest first: runs and dithered areas repeat them.
    std::array<gfx::TColor, 8> ring;
    std::array<uint8_t, 8> ringIndex{};
    ring.fill(-1);
    int ringNext = 0;
    uint8_t* out = Data();
    for (int y = 0; y < height_; ++y) {
        const uint8_t* row = reader.Scanline(y);
        uint8_t* dst = out + size_t(y) * size_t(width_);
        switch (pf) {
        case gfx::pf1bit:
            for (int x = 0; x < width_; ++x)
                dst[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        case gfx::pf4bit:
            for (int x = 0; x < width_; ++x)
                dst[x] = (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
            break;
        case gfx::pf8bit:
            std::memcpy(dst, row, size_t(width_));
            break;
        default:
            for (int x = 0; x < width_; ++x) {
                const uint8_t* p = row + x * 3;
                const gfx::TColor c = gfx::RGB(p[2], p[1], p[0]);
                int hit = -1;
                for (int k = 0; k < 8 && hit < 0; ++k) {
                    const int slot = (ringNext + 7 - k) & 7;
                    if (ring[size_t(slot)] == c)
                        hit = slot;
                }
                if (hit < 0) {
                    hit = ringNext;
                    ring[size_t(hit)] = c;
                    ringIndex[size_t(hit)] = uint8_t(colorMap_.AddUnique(c));
                    ringNext = (ringNext + 1) & 7;
                }
                dst[x] = ringIndex[size_t(hit)];
            }
            break;
        }
        if (image_ && y % 32 == 0)
            image_->Progress(gfx::psRunning, int(int64_t(y) * 100 / height_), "Converting...");
    }
    FreeCaches();
}

void TGIFSubImage::applyMask(const gfx::TBitmap& White, const gfx::TBitmap& Black)
{
    if (Empty())
        return;
    colorMap_.Optimize();
    if (colorMap_.Count() == 0 || colorMap_.Count() >= TGIFColorMap::MaxColors)
        return;
    const int index = colorMap_.Add(gfx::clBlack);
    bool masked = false;
    for (int y = 0; y < height_; ++y) {
        const uint8_t* w = White.ScanLine(y);
        const uint8_t* b = Black.ScanLine(y);
        uint8_t* dst = Scanline(y);
        for (int x = 0; x < width_; ++x)
            if (std::memcmp(w + x * 3, b + x * 3, 3) != 0) {
                dst[x] = uint8_t(index);
                masked = true;
            }
    }
    if (!masked) {
        colorMap_.Delete(index);
        return;
    }
    TGIFGraphicControlExtension& gce = ensureGCE(*this);
    gce.SetTransparent(true);
    gce.SetTransparentColorIndex(index);
    FreeCaches();
}

void TGIFSubImage::AssignTo(gfx::TBitmap& Target) { Target.Assign(Bitmap()); }

// --- rendering ----------------------------------------------------------------------------

void TGIFSubImage::render()
{
    bitmap_ = std::make_unique<gfx::TBitmap>();
    mask_.reset();
    maskDithered_ = false;
    if (Empty())
        return;
    const bool dither = GIFDoDither(image_ ? image_->DrawOptions : GIFDefaults().DrawOptions);
    TGIFColorMap& map = ActiveColorMap();
    auto bitmap = std::make_unique<gfx::TBitmap>(width_, height_, gfx::pf8bit);
    const int transparentIndex = transparentIndexOf(*this);
    if (!dither) {
        std::vector<gfx::TColor> colors(size_t(map.Count()));
        for (int i = 0; i < map.Count(); ++i)
            colors[size_t(i)] = entryColor(map, i);
        bitmap->SetPalette(colors);
        for (int y = 0; y < height_; ++y) {
            std::memcpy(bitmap->ScanLine(y), data_.data() + size_t(y) * size_t(width_), size_t(width_));
            if (image_ && y % 32 == 0)
                image_->Progress(gfx::psRunning, int(int64_t(y) * 100 / height_), "Rendering...");
        }
    } else {
        // Through the web palette with Floyd-Steinberg; transparent pixels take the web entry
        // of their colour and are marked in the mask instead of being dithered.
        bitmap->SetPalette(NetscapePalette().ToColors());
        TNetscapeColorLookup lookup;
        TFloydSteinbergDitherer ditherer(width_, lookup);
        int transparentWeb = 0;
        if (transparentIndex >= 0) {
            const gfx::TColor c = entryColor(map, transparentIndex);
            uint8_t r, g, b;
            transparentWeb = lookup.Lookup(uint8_t(gfx::GetRValue(c)), uint8_t(gfx::GetGValue(c)),
                                           uint8_t(gfx::GetBValue(c)), r, g, b);
            mask_ = std::make_unique<gfx::TBitmap>(width_, height_, gfx::pf1bit);
            mask_->SetPalette({gfx::clBlack, gfx::clWhite});
            maskDithered_ = true;
        }
        std::vector<uint8_t> source(size_t(width_) * 3);
        for (int y = 0; y < height_; ++y) {
            const uint8_t* row = data_.data() + size_t(y) * size_t(width_);
            for (int x = 0; x < width_; ++x) {
                const gfx::TColor c = entryColor(map, row[x]);
                source[size_t(x) * 3] = uint8_t(gfx::GetBValue(c));
                source[size_t(x) * 3 + 1] = uint8_t(gfx::GetGValue(c));
                source[size_t(x) * 3 + 2] = uint8_t(gfx::GetRValue(c));
            }
            uint8_t* target = bitmap->ScanLine(y);
            DitherRow(source.data(), target, ditherer);
            if (mask_) {
                uint8_t* m = mask_->ScanLine(y);
                std::memset(m, 0, size_t(mask_->BytesPerLine()));
                for (int x = 0; x < width_; ++x)
                    if (row[x] == transparentIndex) {
                        target[x] = uint8_t(transparentWeb);
                        m[x >> 3] |= uint8_t(0x80 >> (x & 7));
                    }
            }
            if (image_ && y % 32 == 0)
                image_->Progress(gfx::psRunning, int(int64_t(y) * 100 / height_), "Rendering...");
        }
    }
    bitmap_ = std::move(bitmap);
}

void TGIFSubImage::buildMask()
{
    const int transparentIndex = transparentIndexOf(*this);
    if (Empty() || transparentIndex < 0)
        return;
    auto mask = std::make_unique<gfx::TBitmap>(width_, height_, gfx::pf1bit);
    mask->SetPalette({gfx::clBlack, gfx::clWhite});
    for (int y = 0; y < height_; ++y) {
        uint8_t* m = mask->ScanLine(y);
        std::memset(m, 0, size_t(mask->BytesPerLine()));
        const uint8_t* row = data_.data() + size_t(y) * size_t(width_);
        for (int x = 0; x < width_; ++x)
            if (row[x] == transparentIndex)
                m[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
    mask_ = std::move(mask);
}

const gfx::TBitmap& TGIFSubImage::Bitmap()
{
    if (!bitmap_)
        render();
    return *bitmap_;
}

const gfx::TBitmap* TGIFSubImage::Mask()
{
    Bitmap();
    if (!mask_ && transparent_)
        buildMask();
    return mask_.get();
}

TPalette TGIFSubImage::Palette()
{
    if (palette_)
        return *palette_;
    if (GIFDoDither(image_ ? image_->DrawOptions : GIFDefaults().DrawOptions))
        palette_ = NetscapePalette();
    else if (ActiveColorMap().Count() > 0)
        palette_ = ActiveColorMap().ExportPalette();
    else if (image_)
        return image_->Palette();
    else
        return {};
    return *palette_;
}

void TGIFSubImage::drawAt(gfx::TCanvas& Canvas, const gfx::TRect& Rect, bool DoTransparent)
{
    const int screenW = image_ && image_->Width() > 0 ? image_->Width() : width_;
    const int screenH = image_ && image_->Height() > 0 ? image_->Height() : height_;
    const gfx::TRect dest = {
        int32_t(Rect.Left + mulDiv(left_, Rect.Width(), screenW)),
        int32_t(Rect.Top + mulDiv(top_, Rect.Height(), screenH)),
        int32_t(Rect.Left + mulDiv(int64_t(left_) + width_, Rect.Width(), screenW)),
        int32_t(Rect.Top + mulDiv(int64_t(top_) + height_, Rect.Height(), screenH))};
    if (dest.IsEmpty())
        return;
    const QImage frame = Bitmap().ToImage();
    const gfx::TRect source = gfx::Rect(0, 0, width_, height_);
    const gfx::TCopyMode mode = Canvas.CopyMode();
    const gfx::TBitmap* mask = DoTransparent && transparent_ ? Mask() : nullptr;
    if (!mask) {
        Canvas.SetCopyMode(gfx::cmSrcCopy);
        Canvas.DrawImage(frame, source, dest);
        Canvas.SetCopyMode(mode);
        return;
    }
    // The mask keeps the target where the frame is transparent (AND with white) and clears it
    // under opaque pixels (AND with black), which the frame, black where transparent, then
    // fills in (OR).
    QImage keep(width_, height_, QImage::Format_RGB32);
    QImage paint = frame.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < height_; ++y) {
        const uint8_t* m = mask->ScanLine(y);
        QRgb* k = reinterpret_cast<QRgb*>(keep.scanLine(y));
        QRgb* p = reinterpret_cast<QRgb*>(paint.scanLine(y));
        for (int x = 0; x < width_; ++x) {
            const bool clear = (m[x >> 3] >> (7 - (x & 7))) & 1;
            k[x] = clear ? 0xFFFFFFFFu : 0xFF000000u;
            if (clear)
                p[x] = 0xFF000000u;
        }
    }
    Canvas.SetCopyMode(gfx::cmSrcAnd);
    Canvas.DrawImage(keep, source, dest);
    Canvas.SetCopyMode(gfx::cmSrcPaint);
    Canvas.DrawImage(paint, source, dest);
    Canvas.SetCopyMode(mode);
}

void TGIFSubImage::StretchDraw(gfx::TCanvas& Canvas, const gfx::TRect& Rect, bool DoTransparent, bool DoTile)
{
    if (Empty() || Rect.IsEmpty())
        return;
    if (!DoTile) {
        drawAt(Canvas, Rect, DoTransparent);
        return;
    }
    const int tileW = image_ && image_->Width() > 0 ? image_->Width() : width_;
    const int tileH = image_ && image_->Height() > 0 ? image_->Height() : height_;
    const bool clip = !Canvas.HasClip();
    if (clip)
        Canvas.SetClipRect(Rect);
    for (int64_t y = Rect.Top; y < Rect.Bottom; y += tileH)
        for (int64_t x = Rect.Left; x < Rect.Right; x += tileW)
            drawAt(Canvas, gfx::Bounds(int32_t(x), int32_t(y), tileW, tileH), DoTransparent);
    if (clip)
        Canvas.ClearClip();
}

// --- the image: assignment, drawing, palette ----------------------------------------------

void TGIFImage::assignImage(const TGIFImage& Source)
{
    Clear();
    OnProgress = Source.OnProgress;
    OnWarning = Source.OnWarning;
    Progress(gfx::psStarting, 0, "Copying...");
    try {
        header_.Assign(Source.header_);
        ThreadPriority = Source.ThreadPriority;
        DrawBackgroundColor = Source.DrawBackgroundColor;
        DrawOptions = Source.DrawOptions;
        ColorReduction = Source.ColorReduction;
        ReductionBits = Source.ReductionBits;
        DitherMode = Source.DitherMode;
        Compression = Source.Compression;
        AnimationSpeed = Source.AnimationSpeed;
        for (int i = 0; i < Source.images_.Count(); ++i) {
            auto frame = std::make_unique<TGIFSubImage>(this);
            TGIFSubImage* f = frame.get();
            images_.Add(std::move(frame));
            f->Assign(*Source.images_[i]);
            Progress(gfx::psRunning, (i + 1) * 100 / Source.images_.Count(), "Copying...");
        }
    } catch (...) {
        Progress(gfx::psEnding, 0, "Copying...");
        throw;
    }
    Progress(gfx::psEnding, 100, "Copying...");
}

void TGIFImage::Assign(const gfx::TGraphic& Source)
{
    if (&Source == this)
        return;
    if (const auto* gif = dynamic_cast<const TGIFImage*>(&Source)) {
        assignImage(*gif);
    } else {
        Clear();
        Add(Source);
    }
    Changed();
}

bool TGIFImage::ScreenPaidFor() const
{
    const int64_t pixels = int64_t(Width()) * Height();
    const int64_t paid = std::max(budget_.PixelBytes, budget_.LoadedBytes * GIFLimits::PixelsPerDataByte);
    return Width() <= gfx::TBitmap::MaxSide && Height() <= gfx::TBitmap::MaxSide &&
           pixels * 3 <= gfx::TBitmap::MaxPixelBytes && (budget_.LoadedBytes == 0 || pixels <= paid);
}

const gfx::TBitmap& TGIFImage::Bitmap()
{
    if (bitmap_)
        return *bitmap_;
    if (!ScreenPaidFor())
        throw GIFException("Logical screen too large (" + std::to_string(Width()) + " x " + std::to_string(Height()) + ")");
    auto bitmap = std::make_unique<gfx::TBitmap>(Width(), Height(), gfx::pf24bit);
    if (!bitmap->Empty()) {
        gfx::TColor background = gfx::clWhite;
        if (DrawBackgroundColor != gfx::clNone)
            background = DrawBackgroundColor;
        else if (header_.ColorMap().Count() > header_.BackgroundColorIndex)
            background = entryColor(header_.ColorMap(), header_.BackgroundColorIndex);
        bitmap->Canvas().Brush().SetColor(background);
        bitmap->Canvas().FillRect(gfx::Rect(0, 0, Width(), Height()));
        if (!Empty())
            images_[0]->StretchDraw(bitmap->Canvas(), gfx::Rect(0, 0, Width(), Height()),
                                    (DrawOptions & drawTransparent) != 0, false);
    }
    bitmap_ = std::move(bitmap);
    return *bitmap_;
}

void TGIFImage::AssignTo(gfx::TBitmap& Dest) const { Dest.Assign(const_cast<TGIFImage*>(this)->Bitmap()); }

TPalette TGIFImage::Palette()
{
    if (palette_)
        return *palette_;
    if (paletteRequest_)
        throw GIFException("No global or local color table defined");
    paletteRequest_ = true;
    try {
        if (GIFDoDither(DrawOptions))
            palette_ = NetscapePalette();
        else if (header_.ColorMap().Count() > 0)
            palette_ = header_.ColorMap().ExportPalette();
        else if (!Empty())
            palette_ = images_[0]->Palette();
    } catch (...) {
        paletteRequest_ = false;
        throw;
    }
    paletteRequest_ = false;
    return palette_ ? *palette_ : TPalette{};
}

void TGIFImage::SetPalette(const TPalette& Palette)
{
    if (palette_ && palette_->Entries == Palette.Entries)
        return;
    palette_ = Palette;
    if (bitmap_ && bitmap_->Palette() != Palette.ToColors())
        bitmap_.reset();
    Changed();
}

// --- clipboard ----------------------------------------------------------------------------

void TGIFImage::SaveToClipboardFormat(QMimeData& Data)
{
    if (Empty())
        return;
    Data.setImageData(Bitmap().ToImage());
    rtl::TMemoryStream stream;
    try {
        SaveToStream(stream);
    } catch (const std::exception&) {
        throw GIFException("Failed to store GIF on clipboard");
    }
    Data.setData(QString::fromLatin1(ClipboardMimeType),
                 QByteArray(reinterpret_cast<const char*>(stream.Memory()), qsizetype(stream.Size())));
}

void TGIFImage::LoadFromClipboardFormat(const QMimeData& Data)
{
    const QString gif = QString::fromLatin1(ClipboardMimeType);
    if (Data.hasFormat(gif)) {
        const QByteArray bytes = Data.data(gif);
        rtl::TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        LoadFromStream(stream);
        return;
    }
    if (Data.hasImage()) {
        gfx::TBitmap bitmap;
        bitmap.FromImage(qvariant_cast<QImage>(Data.imageData()));
        Assign(bitmap);
        return;
    }
    throw GIFException("未対応のクリップボード データです");
}

void TGIFImage::SaveToClipboard()
{
    if (Empty())
        return;
    auto data = std::make_unique<QMimeData>();
    SaveToClipboardFormat(*data);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        throw GIFException("Failed to store GIF on clipboard");
    clipboard->setMimeData(data.release());
}

void TGIFImage::LoadFromClipboard()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (!data)
        throw GIFException("未対応のクリップボード データです");
    LoadFromClipboardFormat(*data);
}

// --- optimiser ----------------------------------------------------------------------------

void TGIFImage::optimizeCleanupTransparency()
{
    for (int i = 0; i < images_.Count(); ++i) {
        TGIFSubImage& f = *images_[i];
        const int t = transparentIndexOf(f);
        if (t >= 0 && !usesIndex(f, t))
            f.GraphicControlExtension()->SetTransparent(false);
    }
    // A disposal matters only where the next frame leaves something of this one's rectangle
    // visible: an opaque next frame that covers the whole rectangle hides it either way.
    for (int i = 0; i + 1 < images_.Count(); ++i) {
        TGIFSubImage& f = *images_[i];
        TGIFSubImage& next = *images_[i + 1];
        const int disposal = disposalOf(f);
        if ((disposal != dmRestoreBackground && disposal != dmRestorePrevious) || next.Transparent() || next.Empty())
            continue;
        const gfx::TRect a = f.BoundsRect(), b = next.BoundsRect();
        if (a.Left >= b.Left && a.Top >= b.Top && a.Right <= b.Right && a.Bottom <= b.Bottom)
            f.GraphicControlExtension()->SetDisposal(dmNone);
    }
}

void TGIFImage::optimizeMerge()
{
    for (int i = images_.Count() - 1; i >= 1; --i) {
        TGIFSubImage& f = *images_[i];
        int j = i - 1;
        while (j >= 0 && disposalOf(*images_[j]) == dmRestorePrevious)
            --j;
        if (j < 0)
            continue;
        TGIFSubImage& under = *images_[j];
        if (disposalOf(under) == dmRestoreBackground || disposalOf(under) == dmRestorePrevious || f.Empty() || under.Empty())
            continue;
        const gfx::TRect overlap = gfx::IntersectRect(f.BoundsRect(), under.BoundsRect());
        if (overlap.IsEmpty())
            continue;
        TGIFColorMap& fmap = f.ActiveColorMap();
        TGIFColorMap& umap = under.ActiveColorMap();
        const bool sameMap = &fmap == &umap;
        int t = transparentIndexOf(f);
        if (t < 0 && (fmap.Count() == 0 || fmap.Count() >= TGIFColorMap::MaxColors))
            continue;
        const int ut = transparentIndexOf(under);
        bool changed = false;
        for (int y = overlap.Top; y < overlap.Bottom; ++y) {
            uint8_t* row = f.Scanline(y - f.Top());
            const uint8_t* urow = under.Scanline(y - under.Top());
            for (int x = overlap.Left; x < overlap.Right; ++x) {
                uint8_t& p = row[x - f.Left()];
                const uint8_t up = urow[x - under.Left()];
                if (p == t || up == ut)
                    continue;
                const bool same = sameMap ? p == up
                                          : p < fmap.Count() && up < umap.Count() &&
                                                entryColor(fmap, p) == entryColor(umap, up);
                if (!same)
                    continue;
                if (t < 0) {
                    // Another frame's transparent index on the same global map, when this frame
                    // does not draw with it; else a new entry.
                    if (&fmap == &header_.ColorMap())
                        for (int k = 0; k < images_.Count() && t < 0; ++k) {
                            TGIFSubImage& other = *images_[k];
                            const int ot = transparentIndexOf(other);
                            if (&other != &f && ot >= 0 && &other.ActiveColorMap() == &fmap && !usesIndex(f, ot))
                                t = ot;
                        }
                    if (t < 0)
                        t = fmap.Add(gfx::clBlack);
                }
                p = uint8_t(t);
                changed = true;
            }
        }
        if (changed) {
            TGIFGraphicControlExtension& gce = ensureGCE(f);
            gce.SetTransparent(true);
            gce.TransparentIndex = uint8_t(t);
            f.FreeCaches();
        }
    }
}

void TGIFImage::optimizeCrop()
{
    for (int i = 0; i < images_.Count(); ++i) {
        TGIFSubImage& f = *images_[i];
        const int t = transparentIndexOf(f);
        // Frames that clear their rectangle afterwards clear all of it, transparent or not.
        if (f.Empty() || t < 0 || disposalOf(f) == dmRestoreBackground)
            continue;
        const int w = f.Width(), h = f.Height();
        const uint8_t* d = f.DataBuffer().data();
        auto rowClear = [&](int y) { return std::all_of(d + size_t(y) * w, d + size_t(y + 1) * w, [&](uint8_t p) { return p == t; }); };
        auto colClear = [&](int x, int top, int bottom) {
            for (int y = top; y < bottom; ++y)
                if (d[size_t(y) * w + x] != t)
                    return false;
            return true;
        };
        int top = 0, bottom = h;
        while (top < bottom && rowClear(top))
            ++top;
        if (top == bottom) {
            // Nothing shows: the frame's time goes to the frame before it, when that one keeps
            // its picture on screen meanwhile.
            if (i == 0)
                continue;
            TGIFSubImage& previous = *images_[i - 1];
            TGIFGraphicControlExtension* pg = previous.GraphicControlExtension();
            const int delay = f.GraphicControlExtension() ? f.GraphicControlExtension()->Delay : 0;
            if (disposalOf(previous) >= dmRestoreBackground || (!pg && delay != 0))
                continue;
            if (pg)
                pg->Delay = uint16_t(std::min(0xFFFF, pg->Delay + delay));
            images_.Delete(i--);
            continue;
        }
        while (rowClear(bottom - 1))
            --bottom;
        int left = 0, right = w;
        while (colClear(left, top, bottom))
            ++left;
        while (colClear(right - 1, top, bottom))
            --right;
        if (top == 0 && bottom == h && left == 0 && right == w)
            continue;
        std::vector<uint8_t> cropped(size_t(right - left) * size_t(bottom - top));
        for (int y = top; y < bottom; ++y)
            std::memcpy(cropped.data() + size_t(y - top) * size_t(right - left), d + size_t(y) * w + left,
                        size_t(right - left));
        f.SetBoundsRect(gfx::Rect(f.Left() + left, f.Top() + top, f.Left() + right, f.Top() + bottom));
        std::memcpy(f.Data(), cropped.data(), cropped.size());
        f.FreeCaches();
    }
}

void TGIFImage::optimizeCleanupExtensions()
{
    const bool single = images_.Count() == 1;
    for (int i = images_.Count() - 1; i >= 0; --i) {
        TGIFSubImage& f = *images_[i];
        TGIFExtensionList& list = f.Extensions();
        for (int k = list.Count() - 1; k >= 0; --k) {
            TGIFExtension* e = list[k];
            bool drop = dynamic_cast<TGIFCommentExtension*>(e) || dynamic_cast<TGIFTextExtension*>(e) ||
                        dynamic_cast<TGIFUnknownAppExtension*>(e);
            if (dynamic_cast<TGIFAppExtNSLoop*>(e))
                drop = i > 0 || single;
            if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(e))
                drop = (gce->Delay == 0 || single) && !gce->Transparent() && !gce->UserInput() &&
                       (gce->Disposal() < dmRestoreBackground || single);
            if (drop)
                list.Delete(k);
        }
        if (f.Empty() && list.Count() == 0)
            images_.Delete(i);
    }
}

void TGIFImage::Optimize(unsigned Options, TColorReduction ColorReduction, TDitherMode, int)
{
    if (Empty())
        return;
    if ((Options & optReduceColors) && ColorReduction == rmCustomPalette && !(Options & optCleanup))
        throw GIFException("Invalid reduction method");
    Progress(gfx::psStarting, 0, "Optimizing...");
    try {
        if (Options & optColorMaps) {
            if (header_.ColorMap().Count() > 0)
                header_.ColorMap().Optimize();
            for (int i = 0; i < images_.Count(); ++i)
                if (images_[i]->ColorMap().Count() > 0)
                    images_[i]->ColorMap().Optimize();
        }
        Progress(gfx::psRunning, 100 / 6, "Optimizing...");
        if (Options & optCleanup)
            optimizeCleanupTransparency();
        Progress(gfx::psRunning, 200 / 6, "Optimizing...");
        if (Options & optMerge)
            optimizeMerge();
        Progress(gfx::psRunning, 300 / 6, "Optimizing...");
        if (Options & optCrop)
            optimizeCrop();
        Progress(gfx::psRunning, 400 / 6, "Optimizing...");
        if (Options & optCleanup)
            optimizeCleanupExtensions();
        Progress(gfx::psRunning, 500 / 6, "Optimizing...");
    } catch (...) {
        Progress(gfx::psEnding, 0, "Optimizing...");
        throw;
    }
    FreeCaches();
    Progress(gfx::psEnding, 100, "Optimizing...");
    Changed();
}
