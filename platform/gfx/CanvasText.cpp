// TCanvas's text, pictures and clipping.
#include "platform/gfx/Canvas.h"
#include "platform/gfx/CanvasRaster.h"

#include <cmath>

namespace gfx {

// ---- text ----

namespace {
struct PrefixText {
    QString text;
    int underline = -1;  // index in text of the letter after the first single "&"
};

PrefixText stripPrefix(const QString& s, bool keep)
{
    if (keep)
        return {s, -1};
    PrefixText r;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == u'&' && i + 1 < s.size()) {
            ++i;
            if (s[i] != u'&' && r.underline < 0)
                r.underline = int(r.text.size());
        } else if (s[i] == u'&') {
            continue;  // a lone "&" at the end shows nothing
        }
        r.text += s[i];
    }
    return r;
}

// Greedy word wrap: breaks at the last blank that fits, else between characters (Japanese
// text has no blanks).
QStringList wrapLine(const QString& line, const QFontMetrics& fm, int width)
{
    QStringList out;
    QString rest = line;
    while (!rest.isEmpty() && fm.horizontalAdvance(rest) > width) {
        int fit = 0;
        while (fit < rest.size() && fm.horizontalAdvance(rest.left(fit + 1)) <= width) ++fit;
        if (fit == 0) fit = 1;
        int cut = fit;
        const int blank = rest.left(fit + 1).lastIndexOf(u' ');
        if (blank > 0)
            cut = blank;
        out << rest.left(cut);
        rest = rest.mid(cut);
        while (rest.startsWith(u' ')) rest.remove(0, 1);
    }
    if (!rest.isEmpty() || out.isEmpty())
        out << rest;
    return out;
}
}  // namespace

TSize TCanvas::TextExtent(const std::string& text)
{
    const QFont qf = font_.toQFont();
    const double scale = font_.TextScale();
    if (scale == 1.0) {
        const QFontMetrics fm(qf);
        return {fm.horizontalAdvance(QString::fromStdString(text)), fm.height()};
    }
    const QFontMetricsF fm(qf);
    return {int32_t(std::lround(fm.horizontalAdvance(QString::fromStdString(text)) * scale)),
            int32_t(std::lround(fm.height() * scale))};
}

static void paintText(TCanvas& canvas, CanvasRaster& r, int32_t x, int32_t y, const QString& s,
                      const QRect* clip, int underline)
{
    const QFont qf = canvas.Font().toQFont();
    const QFontMetrics fm(qf);
    const int w = fm.horizontalAdvance(s), h = fm.height();
    const double scale = canvas.Font().TextScale();
    // Qt's raster engine misplaces unantialiased glyphs on 16-bit images (half of them land
    // half a row to the right), so text for any image that is not 32-bit is drawn on a 32-bit
    // copy of its area and copied back pixel by pixel.
    QImage scratch;
    QPoint origin;
    if (!CanvasRaster::isRgb32(r.img->format())) {
        const QRect area = canvas.Font().Orientation() != 0 ? r.visible
                                                            : QRect(x, y, int(std::ceil(w * scale)) + 1,
                                                                    int(std::ceil(h * scale)) + 1)
                                                                  .intersected(r.visible);
        if (area.isEmpty())
            return;
        scratch = r.img->copy(area).convertToFormat(QImage::Format_RGB32);
        origin = area.topLeft();
    }
    QPainter p(scratch.isNull() ? r.img : &scratch);
    p.translate(-origin);
    QRegion region = r.complex ? r.region : QRegion(r.visible);
    if (clip)
        region = region.intersected(*clip);
    p.setClipRegion(region);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    if (canvas.Font().Orientation() != 0 || scale != 1.0) {
        p.translate(x, y);
        p.rotate(-canvas.Font().Orientation() / 10.0);
        p.scale(scale, scale);
        x = 0; y = 0;
    }
    if (canvas.Brush().Style() != bsClear)
        p.fillRect(QRect(x, y, w, h), QColor(raster::toQRgb(canvas.Brush().Color())));
    p.setFont(qf);
    const QColor color(raster::toQRgb(canvas.Font().Color()));
    p.setPen(color);
    p.drawText(QPoint(x, y + fm.ascent()), s);
    if (underline >= 0 && underline < s.size()) {
        const int ux = x + fm.horizontalAdvance(s.left(underline));
        const int uw = fm.horizontalAdvance(s.mid(underline, 1));
        p.fillRect(QRect(ux, y + fm.ascent() + 1, uw, 1), color);
    }
    p.end();
    for (int sy = 0; sy < scratch.height(); ++sy) {
        const QRgb* line = reinterpret_cast<const QRgb*>(scratch.constScanLine(sy));
        for (int sx = 0; sx < scratch.width(); ++sx)
            raster::setPixel(*r.img, origin.x() + sx, origin.y() + sy, raster::fromQRgb(line[sx]));
    }
}

void TCanvas::TextOut(int32_t x, int32_t y, const std::string& text)
{
    CanvasRaster r(*this);
    const QString s = QString::fromStdString(text);
    if (r.ok())
        paintText(*this, r, x, y, s, nullptr, -1);
    penPos_ = {x + TextWidth(text), y};
    Changed();
}

void TCanvas::TextRect(const TRect& rc, int32_t x, int32_t y, const std::string& text)
{
    CanvasRaster r(*this);
    if (!r.ok() || rc.IsEmpty())
        return;
    const QRect clip(rc.Left, rc.Top, rc.Width(), rc.Height());
    if (brush_.Style() != bsClear)
        FillRect(rc);
    const TBrushStyle saved = brush_.Style();
    brush_.SetStyle(bsClear);
    paintText(*this, r, x, y, QString::fromStdString(text), &clip, -1);
    brush_.SetStyle(saved);
    Changed();
}

int32_t TCanvas::DrawText(const std::string& text, TRect& rc, unsigned flags)
{
    const QFontMetrics fm(font_.toQFont());
    const PrefixText pt = stripPrefix(QString::fromStdString(text), flags & DT_NOPREFIX);
    const int width = rc.Width();
    QStringList lines;
    if (flags & DT_SINGLELINE) {
        QString one = pt.text;
        one.replace(u'\r', u' ').replace(u'\n', u' ');
        lines << one;
    } else {
        // As on the original desktop, CR, LF and CR LF each end a line.
        QString all = pt.text;
        all.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        for (const QString& l : all.split(u'\n'))
            lines << ((flags & DT_WORDBREAK) ? wrapLine(l, fm, width) : QStringList{l});
    }
    if (flags & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS))
        for (QString& l : lines)
            if (fm.horizontalAdvance(l) > width)
                l = fm.elidedText(l, (flags & DT_PATH_ELLIPSIS) ? Qt::ElideMiddle : Qt::ElideRight, width);
    const int lineHeight = fm.height();
    const int height = lineHeight * int(lines.size());
    if (flags & DT_CALCRECT) {
        int widest = 0;
        for (const QString& l : lines) widest = std::max(widest, int(fm.horizontalAdvance(l)));
        if (!(flags & DT_WORDBREAK) || widest > width)
            rc.Right = rc.Left + widest;
        rc.Bottom = rc.Top + height;
        return height;
    }
    CanvasRaster r(*this);
    if (!r.ok())
        return height;
    int y = rc.Top;
    if (flags & DT_SINGLELINE) {
        if (flags & DT_VCENTER) y = rc.Top + (rc.Height() - lineHeight) / 2;
        else if (flags & DT_BOTTOM) y = rc.Bottom - lineHeight;
    }
    const QRect clip(rc.Left, rc.Top, rc.Width(), rc.Height());
    for (int i = 0; i < lines.size(); ++i, y += lineHeight) {
        const int w = fm.horizontalAdvance(lines[i]);
        int x = rc.Left;
        if (flags & DT_CENTER) x = rc.Left + (width - w) / 2;
        else if (flags & DT_RIGHT) x = rc.Right - w;
        const bool underlined = i == 0 && lines.size() == 1 && lines[0].size() == pt.text.size();
        paintText(*this, r, x, y, lines[i], (flags & DT_NOCLIP) ? nullptr : &clip,
                  underlined ? pt.underline : -1);
    }
    Changed();
    return height;
}

// ---- pictures ----

void TCanvas::Draw(int32_t x, int32_t y, const TGraphic& graphic)
{
    if (graphic.Empty())
        return;
    graphic.Draw(*this, Rect(x, y, x + graphic.Width(), y + graphic.Height()));
}

void TCanvas::StretchDraw(const TRect& dest, const TGraphic& graphic)
{
    if (graphic.Empty())
        return;
    graphic.Draw(*this, dest);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& srcRect)
{
    QImage* s = source.Surface();
    if (!s || s->isNull())
        return;
    if (s == Surface()) {
        const QImage copy = s->copy();  // overlapping copies read the original pixels
        DrawImage(copy, srcRect, dest);
    } else {
        DrawImage(*s, srcRect, dest);
    }
}

void TCanvas::DrawImage(const QImage& src, const TRect& srcRect, const TRect& dest,
                        TColor transparentKey)
{
    CanvasRaster r(*this);
    if (!r.ok() || src.isNull() || dest.IsEmpty() || srcRect.IsEmpty())
        return;
    // Source rows as 32-bit pixels: a 32-bit image's own, any other's converted one row at a
    // time when first needed, as a whole converted copy would cost 4 bytes a pixel of the
    // source; whole only when the source is the surface itself, which the drawing overwrites.
    const bool plainSource = src.format() == QImage::Format_RGB32 || src.format() == QImage::Format_ARGB32;
    const bool whole = plainSource || src.constBits() == r.img->constBits();
    const QImage rgb = whole ? (plainSource ? src : src.convertToFormat(QImage::Format_RGB32)) : src;
    QImage converted;
    int64_t convertedRow = -1;
    auto sourceRow = [&](int64_t y) -> const QRgb* {
        if (whole)
            return reinterpret_cast<const QRgb*>(rgb.constScanLine(int(y)));
        if (y != convertedRow) {
            converted = src.copy(0, int(y), src.width(), 1).convertToFormat(QImage::Format_RGB32);
            convertedRow = y;
        }
        return reinterpret_cast<const QRgb*>(converted.constScanLine(0));
    };
    const QRect box = visiblePart(r.visible, dest.Left, dest.Top, dest.Right, dest.Bottom, 0);
    if (box.isEmpty())
        return;
    const int64_t dw = dest.Width(), dh = dest.Height(), sw = srcRect.Width(), sh = srcRect.Height();
    const bool keyed = transparentKey != clNone;
    const TColor key = keyed ? ColorToRGB(transparentKey) : 0;
    const uint32_t pat = uint32_t(ColorToRGB(brush_.Color()));
    const bool plain32 = r.img->format() == QImage::Format_RGB32 || r.img->format() == QImage::Format_ARGB32;
    if (copyMode_ == cmSrcCopy && !keyed && !r.complex && plain32) {
        // Straight copies (most picture draws), row by row. A scaled row takes its source
        // columns from a table made once, and a row that repeats the one above (an
        // enlargement) is copied from it whole.
        std::vector<int32_t> cols;
        bool allCols = true;
        if (sw != dw) {
            cols.resize(size_t(box.width()));
            for (int x = box.left(); x <= box.right(); ++x) {
                const int64_t sx = srcRect.Left + ((2 * (x - dest.Left) + 1) * sw) / (2 * dw);
                const bool inside = sx >= 0 && sx < rgb.width();
                cols[size_t(x - box.left())] = inside ? int32_t(sx) : -1;
                allCols = allCols && inside;
            }
        }
        int64_t lastSy = -1;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            const int64_t sy = srcRect.Top + ((2 * (y - dest.Top) + 1) * sh) / (2 * dh);
            if (sy < 0 || sy >= rgb.height())
                continue;
            const QRgb* line = sourceRow(sy);
            QRgb* out = reinterpret_cast<QRgb*>(r.img->scanLine(y));
            if (sw == dw) {
                // One to one across: no scaling arithmetic per pixel.
                const int64_t shift = srcRect.Left - dest.Left;
                const int from = int(std::max<int64_t>(box.left(), -shift));
                const int to = int(std::min<int64_t>(box.right(), rgb.width() - 1 - shift));
                for (int x = from; x <= to; ++x)
                    out[x] = line[x + shift] | 0xFF000000u;
                continue;
            }
            if (allCols && sy == lastSy && y > box.top()) {
                const QRgb* above = reinterpret_cast<const QRgb*>(r.img->constScanLine(y - 1));
                std::memcpy(out + box.left(), above + box.left(), size_t(box.width()) * sizeof(QRgb));
                continue;
            }
            lastSy = sy;
            const int32_t* col = cols.data() - box.left();
            for (int x = box.left(); x <= box.right(); ++x)
                if (col[x] >= 0)
                    out[x] = line[col[x]] | 0xFF000000u;
        }
        Changed();
        return;
    }
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const int64_t sy = srcRect.Top + ((2 * (y - dest.Top) + 1) * sh) / (2 * dh);
        if (sy < 0 || sy >= rgb.height())
            continue;
        const QRgb* line = sourceRow(sy);
        for (int x = box.left(); x <= box.right(); ++x) {
            const int64_t sx = srcRect.Left + ((2 * (x - dest.Left) + 1) * sw) / (2 * dw);
            if (sx < 0 || sx >= rgb.width() || !r.isVisible(x, y))
                continue;
            const TColor s = raster::fromQRgb(line[sx]);
            if (keyed && s == key)
                continue;
            const TColor d = copyMode_ == cmSrcCopy ? 0 : raster::getPixel(*r.img, x, y);
            raster::setPixel(*r.img, x, y, TColor(rop3(copyMode_, pat, uint32_t(s), uint32_t(d))));
        }
    }
    Changed();
}

void TCanvas::DrawPicture(const QPicture& picture, const TRect& frame, const TRect& dest)
{
    QImage* s = Surface();
    if (!s || s->isNull() || frame.IsEmpty() || dest.IsEmpty())
        return;
    QPainter painter(s);
    if (hasClip_)
        painter.setClipRegion(clip_);
    PlayPicture(painter, picture, frame, dest);
    painter.end();
    Changed();
}

void PlayPicture(QPainter& painter, const QPicture& picture, const TRect& frame, const TRect& dest)
{
    painter.save();
    painter.translate(dest.Left, dest.Top);
    // Qt plays a picture scaled from its resolution to the device's; its units are ours.
    const QPaintDevice* device = painter.device();
    const double fx = device && device->logicalDpiX() > 0 ? double(picture.logicalDpiX()) / device->logicalDpiX() : 1;
    const double fy = device && device->logicalDpiY() > 0 ? double(picture.logicalDpiY()) / device->logicalDpiY() : 1;
    painter.scale(fx * dest.Width() / frame.Width(), fy * dest.Height() / frame.Height());
    painter.translate(-frame.Left, -frame.Top);
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

// ---- clipping ----

void TCanvas::SetClipRect(const TRect& r)
{
    SetClipRegion(QRegion(QRect(r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height()))));
}

void TCanvas::SetClipRegion(const QRegion& region)
{
    clip_ = region;
    hasClip_ = true;
}

void TCanvas::ClearClip()
{
    clip_ = QRegion();
    hasClip_ = false;
}

TRect TCanvas::ClipRect()
{
    CanvasRaster r(*this);
    if (!r.ok())
        return {};
    const QRect b = r.visible;
    return {b.left(), b.top(), b.right() + 1, b.bottom() + 1};
}

}  // namespace gfx
