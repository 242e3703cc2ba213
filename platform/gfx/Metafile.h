// `TMetafile`: Windows metafiles, the 16-bit kind (WMF, with or without the placeable header)
// and the enhanced kind (EMF). A loaded metafile keeps its bytes, so saving it in its own kind
// writes them back untouched; it is drawn from an SVG rendering of its records (libwmf for WMF,
// libemf2svg for EMF, drawn by QtSvg) at its own size: a placeable WMF's frame in its header's
// units per inch, an EMF's frame in 0.01 mm, both turned to pixels at 96 dpi; a WMF without a
// placeable header counts its window extent as pixels.
//
// Both libraries run in this process on untrusted bytes, and neither can be stopped from
// outside, so nothing reaches them before our own walk of the records has passed: every record
// inside the file and ending where the next begins, counts and offsets inside their record,
// bitmaps backed by their bytes, and a size inside the picture bounds (the pixels of the
// rendering paid for by the file's bytes). libwmf further runs under a 2-second budget and a
// memory budget. What the walk refuses, what a library refuses, and a metafile whose records
// draw nothing raise EInvalidGraphic, and the metafile keeps its previous content.
//
// A metafile made by the program holds one bitmap drawn at (0, 0) (`SetBitmap`, what the class
// library's metafile canvas recorded for the picture writers). Saving writes it as a placeable
// WMF, or as an EMF when `Enhanced`, holding one DIB stretch record; `SaveToFile` picks the
// kind by the file's extension (".emf" enhanced, ".wmf" not). A metafile drawn by the
// program on a `TMetafileCanvas` holds its drawing as vector commands (a QPicture): played on
// a printer's canvas, lines stay lines and text stays text; what was drawn past its frame is
// drawn there too (the frame places and scales, it does not cut), and saved as the bitmap of that drawing. UI thread.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QByteArray>
#include <QPicture>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Graphic.h"
#include "platform/gfx/PainterCanvas.h"

namespace gfx {

class TMetafile : public TGraphic {
public:
    static const TGraphicClassInfo ClassInfo;
    TMetafile();
    ~TMetafile() override;

    TGraphicClass ClassType() const override { return &ClassInfo; }
    bool Empty() const override { return svg_.isEmpty() && !bitmap_ && picture_.isNull(); }
    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    bool Enhanced() const { return enhanced_; }
    void SetEnhanced(bool on) { enhanced_ = on; }

    // The metafile becomes the bitmap drawn at (0, 0), sized as the bitmap.
    void SetBitmap(const TBitmap& bitmap);
    // The metafile becomes the recorded drawing, its frame (0, 0, width, height).
    void SetPicture(const QPicture& picture, int32_t width, int32_t height);

    // Either kind, told apart by its first bytes.
    void LoadFromStream(rtl::TStream& stream) override;
    void SaveToStream(rtl::TStream& stream) override;
    void SaveToFile(const std::string& path) override;
    void Assign(const TGraphic& source) override;
    // A 24-bit bitmap of the metafile's size, white where its records draw nothing.
    void AssignTo(TBitmap& dest) const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;

private:
    void clear();
    std::vector<uint8_t> encode(bool enhanced) const;

    bool enhanced_ = false;
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<uint8_t> data_;      // the loaded file's bytes (empty when made from a bitmap)
    bool dataEnhanced_ = false;      // which kind data_ is
    QByteArray svg_;                 // the loaded records as SVG
    std::unique_ptr<TBitmap> bitmap_;  // the bitmap a program-made metafile draws
    QPicture picture_;                 // or the drawing it recorded
};

// Records what is drawn on it, in the metafile's units from (0, 0), as vector commands; the
// metafile takes the drawing, sized width x height, when the canvas closes (Close or its
// destruction). Until then the metafile keeps what it held.
class TMetafileCanvas : public TPainterCanvas {
public:
    TMetafileCanvas(TMetafile& target, int32_t width, int32_t height);
    ~TMetafileCanvas() override;
    TMetafileCanvas(const TMetafileCanvas&) = delete;
    TMetafileCanvas& operator=(const TMetafileCanvas&) = delete;
    void Close();

private:
    TMetafile& target_;
    int32_t width_, height_;
    QPicture picture_;
    std::unique_ptr<QPainter> painter_;
};

}  // namespace gfx
