// A 1-unit pen's figure runs through the centres of the device pixels its outline covers
// (x + 0.5), so a Rectangle(l, t, r, b) covers l..r-1 as on the screen canvas; wider pens are
// centred on the same line.
#include "platform/gfx/PainterCanvas.h"
#include "platform/gfx/Raster.h"

#include <QPainter>
#include <QPainterPath>

#include <array>

namespace gfx {

namespace {

QColor color(TColor c)
{
    return QColor(raster::toQRgb(c));
}

constexpr std::array<Qt::PenStyle, 7> kPenStyles = {
    Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine, Qt::DashDotDotLine, Qt::NoPen,
    Qt::SolidLine};
constexpr std::array<Qt::BrushStyle, 8> kBrushStyles = {
    Qt::SolidPattern, Qt::NoBrush, Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
    Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};

// The box a pen of width w outlines inside [l, r) x [t, b).
QRectF outlineBox(int32_t l, int32_t t, int32_t r, int32_t b, int w)
{
    const double h = w / 2.0;
    return QRectF(QPointF(l + h, t + h), QPointF(r - h, b - h));
}

QPolygonF centred(std::span<const TPoint> points)
{
    QPolygonF poly;
    for (const TPoint& p : points)
        poly << QPointF(p.X + 0.5, p.Y + 0.5);
    return poly;
}

}  // namespace

bool TPainterCanvas::prepare(int paint)
{
    if (!painter_)
        return false;
    const bool outline = (paint & Outline) && Pen().Style() != psClear && Pen().Mode() != pmNop;
    const bool fill = (paint & Fill) && Brush().Style() != bsClear;
    if (outline) {
        QPen pen(color(Pen().Color()), Pen().Width(), kPenStyles[Pen().Style()], Qt::FlatCap, Qt::MiterJoin);
        painter_->setPen(pen);
    } else {
        painter_->setPen(Qt::NoPen);
    }
    painter_->setBrush(fill ? QBrush(color(Brush().Color()), kBrushStyles[Brush().Style()]) : QBrush());
    return outline || fill;
}

void TPainterCanvas::LineTo(int32_t x, int32_t y)
{
    if (prepare(Outline))
        painter_->drawLine(QPointF(PenPos().X + 0.5, PenPos().Y + 0.5), QPointF(x + 0.5, y + 0.5));
    SetPenPos({x, y});
}

void TPainterCanvas::Polyline(std::span<const TPoint> points)
{
    if (points.size() > 1 && prepare(Outline))
        painter_->drawPolyline(centred(points));
}

void TPainterCanvas::Polygon(std::span<const TPoint> points, bool winding)
{
    if (points.size() > 1 && prepare(Outline | Fill))
        painter_->drawPolygon(centred(points), winding ? Qt::WindingFill : Qt::OddEvenFill);
}

void TPainterCanvas::Rectangle(int32_t l, int32_t t, int32_t r, int32_t b)
{
    if (r <= l || b <= t)
        return;
    if (prepare(Fill))
        painter_->fillRect(QRect(l, t, r - l, b - t), painter_->brush());
    if (prepare(Outline)) {
        painter_->setBrush(Qt::NoBrush);
        painter_->drawRect(outlineBox(l, t, r, b, Pen().Width()));
    }
}

void TPainterCanvas::RoundRect(int32_t l, int32_t t, int32_t r, int32_t b, int32_t w, int32_t h)
{
    if (r > l && b > t && prepare(Outline | Fill))
        painter_->drawRoundedRect(outlineBox(l, t, r, b, painter_->pen().style() == Qt::NoPen ? 0 : Pen().Width()),
                                  w / 2.0, h / 2.0);
}

void TPainterCanvas::Ellipse(int32_t l, int32_t t, int32_t r, int32_t b)
{
    if (r > l && b > t && prepare(Outline | Fill))
        painter_->drawEllipse(outlineBox(l, t, r, b, painter_->pen().style() == Qt::NoPen ? 0 : Pen().Width()));
}

void TPainterCanvas::FillRect(const TRect& r)
{
    if (!r.IsEmpty() && prepare(Fill))
        painter_->fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), painter_->brush());
}

void TPainterCanvas::FrameRect(const TRect& r)
{
    if (r.IsEmpty() || !prepare(Fill))
        return;
    painter_->setPen(QPen(color(Brush().Color()), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter_->setBrush(Qt::NoBrush);
    painter_->drawRect(outlineBox(r.Left, r.Top, r.Right, r.Bottom, 1));
}

void TPainterCanvas::text(int32_t x, int32_t y, const std::string& s, const TRect* clip)
{
    if (!painter_)
        return;
    const QString qs = QString::fromStdString(s);
    const QFont font = Font().toQFont();
    const QFontMetrics fm(font);
    painter_->save();
    if (clip)
        painter_->setClipRect(QRect(clip->Left, clip->Top, clip->Width(), clip->Height()), Qt::IntersectClip);
    painter_->translate(x, y);
    if (Font().Orientation() != 0)
        painter_->rotate(-Font().Orientation() / 10.0);
    if (Font().TextScale() != 1.0)
        painter_->scale(Font().TextScale(), Font().TextScale());
    if (Brush().Style() != bsClear)
        painter_->fillRect(QRect(0, 0, fm.horizontalAdvance(qs), fm.height()), color(Brush().Color()));
    painter_->setFont(font);
    painter_->setPen(color(Font().Color()));
    painter_->drawText(QPointF(0, fm.ascent()), qs);
    painter_->restore();
}

void TPainterCanvas::TextOut(int32_t x, int32_t y, const std::string& s)
{
    text(x, y, s, nullptr);
    SetPenPos({x + TextWidth(s), y});
}

void TPainterCanvas::TextRect(const TRect& r, int32_t x, int32_t y, const std::string& s)
{
    if (r.IsEmpty())
        return;
    FillRect(r);
    const TBrushStyle saved = Brush().Style();
    Brush().SetStyle(bsClear);
    text(x, y, s, &r);
    Brush().SetStyle(saved);
}

void TPainterCanvas::DrawImage(const QImage& src, const TRect& srcRect, const TRect& dest,
                            TColor transparentKey)
{
    if (!painter_ || src.isNull() || dest.IsEmpty() || srcRect.IsEmpty())
        return;
    const bool whole = srcRect.Left == 0 && srcRect.Top == 0 && srcRect.Width() == src.width() &&
                       srcRect.Height() == src.height();
    QImage image = whole ? src : src.copy(srcRect.Left, srcRect.Top, srcRect.Width(), srcRect.Height());
    if (transparentKey != clNone) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = raster::toQRgb(transparentKey) & RGB_MASK;
        for (int y = 0; y < image.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((line[x] & RGB_MASK) == key)
                    line[x] = 0;
        }
    }
    painter_->drawImage(QRect(dest.Left, dest.Top, dest.Width(), dest.Height()), image);
}

void TPainterCanvas::DrawPicture(const QPicture& picture, const TRect& frame, const TRect& dest)
{
    if (!painter_ || frame.IsEmpty() || dest.IsEmpty())
        return;
    // Like a played metafile, the drawing is not cut at its frame: a jacket photo made larger
    // than the square prints past the cutting line, as the user laid it out.
    PlayPicture(*painter_, picture, frame, dest);
}

}  // namespace gfx
