#include "platform/gfx/Metafile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

#include "platform/gfx/DibHeader.h"
#include "platform/rtl/FileNames.h"
#include "platform/rtl/LittleEndian.h"

namespace gfx {

namespace {

using rtl::le16;
using rtl::le32;
constexpr auto put16 = rtl::append_le16;
constexpr auto put32 = rtl::append_le32;

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr int kDpi = 96;
constexpr double kEmfFrameUnitsPerInch = 2540.0;  // 0.01 mm
// libwmf is stopped at its next record past this.
constexpr auto kBudget = std::chrono::seconds(2);

[[noreturn]] void refuse(const std::string& why)
{
    throw EInvalidGraphic("Invalid metafile: " + why);
}

int16_t s16(const uint8_t* p) { return int16_t(le16(p)); }
int32_t s32(const uint8_t* p) { return int32_t(le32(p)); }

// The rendering's pixels must be paid for by the file: a few megabytes for any metafile, more
// only for a file that carries more bytes. Within the bitmap's own limits either way.
void checkPictureSize(int64_t w, int64_t h, std::size_t fileSize)
{
    if (w < 1 || h < 1)
        refuse("its frame has no area");
    const int64_t allowed = std::min<int64_t>(TBitmap::MaxPixelBytes, (int64_t(32) << 20) + 1024 * int64_t(fileSize));
    if (w > TBitmap::MaxSide || h > TBitmap::MaxSide || w * h * 4 > allowed)
        refuse("its frame is larger than its data");
}

int32_t toPixels(double units, double unitsPerInch)
{
    return int32_t(std::lround(std::fabs(units) * kDpi / unitsPerInch));
}

// A device-independent bitmap inside a record: the header and colour table in [bmi, bmi +
// bmiSize), the pixels in [bits, bits + bitsSize), both already known to lie in the record.
// Rows must be backed by their bytes; run-length data may claim at most 256 pixels a byte.
void checkDib(const uint8_t* bmi, std::size_t bmiSize, std::size_t bitsSize)
{
    rtl::TMemoryStream s(std::vector<uint8_t>(bmi, bmi + bmiSize));
    TDibHeader d;
    try {
        d = ReadDibHeader(s);
        ReadDibColorTable(s, d, d.BitCount <= 8 ? std::min<uint32_t>(d.ColorCount(), 256) : 0);
    } catch (const EBmpHeader& e) {
        refuse(std::string("bitmap: ") + e.what());
    }
    if (d.BitCount <= 8 && d.ColorCount() > (1u << d.BitCount))
        refuse("bitmap colour table too long");
    if (d.Rle()) {
        if (int64_t(d.Width) * d.Height > 256 * int64_t(bitsSize))
            refuse("bitmap larger than its data");
    } else if (d.RowBytes() * d.Height > int64_t(bitsSize)) {
        refuse("bitmap larger than its data");
    }
}

// ---- WMF ----

struct WmfRecordCheck {
    const uint8_t* p;  // the parameters
    std::size_t n;     // their bytes
    void need(std::size_t bytes) const
    {
        if (bytes > n)
            refuse("record shorter than its contents");
    }
    void dibAt(std::size_t off) const
    {
        need(off + 40);
        checkDib(p + off, n - off, n - off - std::min<std::size_t>(n - off, le32(p + off)));
    }
};

void checkWmfRecord(uint16_t function, const WmfRecordCheck& r)
{
    switch (function) {
    case 0x0324:  // polygon
    case 0x0325:  // polyline
        r.need(2);
        r.need(2 + 4 * std::size_t(le16(r.p)));
        break;
    case 0x0538: {  // poly-polygon
        r.need(2);
        const std::size_t polys = le16(r.p);
        r.need(2 + 2 * polys);
        std::size_t points = 0;
        for (std::size_t i = 0; i < polys; ++i)
            points += le16(r.p + 2 + 2 * i);
        r.need(2 + 2 * polys + 4 * points);
        break;
    }
    case 0x0521:  // text out
        r.need(2);
        r.need(2 + ((std::size_t(le16(r.p)) + 1) & ~std::size_t(1)) + 4);
        break;
    case 0x0A32: {  // extended text out
        r.need(8);
        const std::size_t count = le16(r.p + 4);
        const uint16_t options = le16(r.p + 6);
        r.need(8 + ((options & 0x0006) ? 8 : 0) + count);
        break;
    }
    case 0x0F43:  // stretch DIB
        r.dibAt(22);
        break;
    case 0x0B41:  // DIB stretch blit: without a bitmap when only the fixed fields are there
        if (r.n > 22)
            r.dibAt(20);
        break;
    case 0x0940:  // DIB blit
        if (r.n > 18)
            r.dibAt(16);
        break;
    case 0x0D33:  // set DIB to device
        r.dibAt(18);
        break;
    case 0x0142:  // DIB pattern brush
        r.dibAt(4);
        break;
    case 0x00F7:  // create palette
    case 0x0037:  // set palette entries
        r.need(4);
        r.need(4 + 4 * std::size_t(le16(r.p + 2)));
        break;
    case 0x0626:  // escape
        r.need(4);
        r.need(4 + std::size_t(le16(r.p + 2)));
        break;
    case 0x06FF:  // region objects: not drawn through
    case 0x0922:  // blit and stretch blit with device-dependent bitmaps of the 16-bit era
    case 0x0B23:
        refuse("unsupported record");
    default:
        break;
    }
}

// Where the picture's frame lies in libwmf's device space: libwmf lays the records out in its own
// device units and its SVG output stretches a device rectangle over the picture. The frame is
// the placeable header's rectangle, or the window; the mapping is the one the records set up
// first (map mode, window and viewport), as libwmf applies them: the isotropic and anisotropic
// modes put the window on a viewport of 1024 x 1024 unless the records size it, the text mode
// counts a placeable file in points. Other modes leave the placing to libwmf.
struct WmfLayout {
    TSize size;
    bool mapped = false;
    double left = 0, top = 0, right = 0, bottom = 0;  // the frame in device units
};

WmfLayout walkWmf(const uint8_t* data, std::size_t size)
{
    WmfLayout out;
    std::size_t at = 0;
    bool placeable = false;
    int32_t frame[4] = {};
    uint16_t inch = 0;
    if (size >= 22 && le32(data) == kPlaceableKey) {
        placeable = true;
        for (int i = 0; i < 4; ++i)
            frame[i] = s16(data + 6 + 2 * i);
        inch = le16(data + 14);
        if (inch == 0)
            refuse("placeable header without units");
        out.size = {toPixels(frame[2] - frame[0], inch), toPixels(frame[3] - frame[1], inch)};
        at = 22;
    }
    int mapMode = 1;
    bool mapModeSet = false, windowOrgSet = false, viewportOrgSet = false, viewportExtSet = false;
    double windowOrg[2] = {0, 0}, viewportOrg[2] = {0, 0}, viewportExt[2] = {1024, 1024};
    if (size < at + 18)
        refuse("header cut short");
    const uint8_t* h = data + at;
    const uint16_t type = le16(h), headerWords = le16(h + 2), version = le16(h + 4);
    const uint32_t maxRecordWords = le32(h + 12);
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300))
        refuse("not a Windows metafile");
    if (uint64_t(maxRecordWords) * 2 > size)
        refuse("largest record larger than the file");
    at += 18;
    bool ended = false, windowExtSet = false;
    double windowExtent[2] = {1, 1};
    while (!ended) {
        if (size - at < 6)
            refuse("records cut short");
        const uint32_t words = le32(data + at);
        const uint16_t function = le16(data + at + 4);
        if (words < 3 || uint64_t(words) * 2 > size - at)
            refuse("record size out of the file");
        if (words > maxRecordWords)
            refuse("record larger than the header's largest");
        const WmfRecordCheck r{data + at + 6, std::size_t(words) * 2 - 6};
        if (function == 0x0000) {
            ended = true;
        } else if (function == 0x020C) {  // window extent: y, then x
            r.need(4);
            if (!windowExtSet) {
                windowExtSet = true;
                windowExtent[0] = s16(r.p + 2);
                windowExtent[1] = s16(r.p);
                if (!placeable)
                    out.size = {std::abs(int32_t(s16(r.p + 2))), std::abs(int32_t(s16(r.p)))};
            }
        } else if (function == 0x020B || function == 0x020D || function == 0x020E) {
            r.need(4);
            bool& seen = function == 0x020B ? windowOrgSet : function == 0x020D ? viewportOrgSet : viewportExtSet;
            double* v = function == 0x020B ? windowOrg : function == 0x020D ? viewportOrg : viewportExt;
            if (!seen) {
                seen = true;
                v[0] = s16(r.p + 2);
                v[1] = s16(r.p);
            }
        } else if (function == 0x0103) {
            r.need(2);
            if (!mapModeSet) {
                mapModeSet = true;
                mapMode = le16(r.p);
            }
        } else {
            checkWmfRecord(function, r);
        }
        at += std::size_t(words) * 2;
    }
    if (!placeable && !windowExtSet)
        refuse("no size: neither a placeable header nor a window extent");
    checkPictureSize(out.size.cx, out.size.cy, size);
    if (!placeable) {
        frame[0] = int32_t(windowOrg[0]);
        frame[1] = int32_t(windowOrg[1]);
        frame[2] = int32_t(windowOrg[0] + windowExtent[0]);
        frame[3] = int32_t(windowOrg[1] + windowExtent[1]);
    }
    auto map = [&](int axis, double v) -> double {
        if (mapMode == 7 || mapMode == 8)
            return (v - windowOrg[axis]) * viewportExt[axis] / windowExtent[axis] + viewportOrg[axis];
        return placeable ? v * 72.0 / inch : v;
    };
    if ((mapMode == 1 || ((mapMode == 7 || mapMode == 8) && windowExtSet && windowExtent[0] != 0 && windowExtent[1] != 0))) {
        const double x0 = map(0, frame[0]), x1 = map(0, frame[2]), y0 = map(1, frame[1]), y1 = map(1, frame[3]);
        out.left = std::min(x0, x1);
        out.right = std::max(x0, x1);
        out.top = std::min(y0, y1);
        out.bottom = std::max(y0, y1);
        out.mapped = out.right > out.left && out.bottom > out.top;
    }
    return out;
}

// ---- EMF ----

struct EmfRecordCheck {
    const uint8_t* p;  // the whole record
    std::size_t n;     // its size
    void need(uint64_t bytes) const
    {
        if (bytes > n)
            refuse("record shorter than its contents");
    }
    uint32_t u32(std::size_t off) const
    {
        need(off + 4);
        return le32(p + off);
    }
    // A bitmap given by (offset, size) pairs of header and bits at these field offsets; none
    // when the header's size is 0.
    void dib(std::size_t fields) const
    {
        const uint32_t offBmi = u32(fields), cbBmi = u32(fields + 4);
        const uint32_t offBits = u32(fields + 8), cbBits = u32(fields + 12);
        if (cbBmi == 0)
            return;
        need(uint64_t(offBmi) + cbBmi);
        need(uint64_t(offBits) + cbBits);
        checkDib(p + offBmi, cbBmi, cbBits);
    }
    void region(std::size_t sizeAt, std::size_t dataAt) const
    {
        const uint32_t bytes = u32(sizeAt);
        need(uint64_t(dataAt) + bytes);
        if (bytes < 32)
            refuse("region data cut short");
        need(dataAt + 32 + 16 * uint64_t(le32(p + dataAt + 8)));
    }
};

// The fixed part of each record type, 0 for types that are refused.
std::size_t emfMinimumSize(uint32_t type)
{
    static const uint16_t sizes[123] = {
        0,   88,  28,  28,  28,  28,  28,  32,  32,  16,   // 0-9
        16,  16,  16,  16,  20,  20,  12,  12,  12,  12,   // 10-19
        12,  12,  12,  32,  12,  12,  16,  16,  8,   24,   // 20-29
        24,  24,  24,  8,   12,  32,  36,  12,  28,  24,   // 30-39
        12,  28,  24,  24,  32,  40,  40,  40,  12,  16,   // 40-49
        20,  16,  8,   24,  16,  40,  28,  12,  12,  8,    // 50-59
        8,   8,   24,  24,  24,  8,   8,   12,  8,   0,    // 60-69
        12,  32,  40,  28,  28,  16,  100, 108, 128, 140,  // 70-79
        76,  80,  104, 76,  76,  28,  28,  28,  28,  28,   // 80-89
        32,  32,  28,  32,  32,  52,  0,   0,   12,  340,  // 90-99
        12,  12,  12,  28,  48,  16,  16,  0,   36,  16,   // 100-109
        20,  24,  20,  20,  108, 12,  108, 0,   36,  12,   // 110-119
        16,  24,  340};                                    // 120-122
    return type < 123 ? sizes[type] : 0;
}

// Text given as glyph indices: libemf2svg looks the glyphs up through fontconfig and then
// finalizes fontconfig, which the rest of the process (Qt's fonts) is still using.
constexpr uint32_t kGlyphIndex = 0x0010;

// True for a record that is sound but must not reach libemf2svg (glyph-index text).
bool checkEmfRecord(uint32_t type, const EmfRecordCheck& r)
{
    const std::size_t minimum = emfMinimumSize(type);
    if (minimum == 0)
        refuse("unknown record " + std::to_string(type));
    r.need(minimum);
    switch (type) {
    case 2: case 3: case 4: case 5: case 6:  // poly lines and shapes, 32-bit points
        r.need(28 + 8 * uint64_t(r.u32(24)));
        break;
    case 85: case 86: case 87: case 88: case 89:  // the same, 16-bit points
        r.need(28 + 4 * uint64_t(r.u32(24)));
        break;
    case 56:  // poly draw
        r.need(28 + 9 * uint64_t(r.u32(24)));
        break;
    case 92:
        r.need(28 + 5 * uint64_t(r.u32(24)));
        break;
    case 7: case 8: case 90: case 91: {  // poly-polylines and poly-polygons
        const uint64_t polys = r.u32(24), count = r.u32(28);
        const uint64_t point = type < 90 ? 8 : 4;
        r.need(32 + 4 * polys + point * count);
        uint64_t sum = 0;
        for (uint64_t i = 0; i < polys; ++i)
            sum += le32(r.p + 32 + 4 * i);
        if (sum != count)
            refuse("polygon counts do not add up");
        break;
    }
    case 83: case 84: {  // extended text out, ANSI and wide
        const uint64_t chars = r.u32(44), offString = r.u32(48), offDx = r.u32(72);
        const uint32_t options = r.u32(52);
        r.need(offString + chars * (type == 84 ? 2 : 1));
        if (offDx != 0)
            r.need(offDx + chars * ((options & 0x2000) ? 8 : 4));
        return (options & kGlyphIndex) != 0;
    }
    case 108: {  // small text out
        const uint64_t chars = r.u32(16);
        const uint32_t options = r.u32(20);
        r.need(36 + ((options & 0x100) ? 0 : 16) + chars * ((options & 0x200) ? 1 : 2));
        return (options & kGlyphIndex) != 0;
    }
    case 14:  // end of file, with its palette
        if (r.u32(8) != 0)
            r.need(uint64_t(r.u32(12)) + 4 * uint64_t(r.u32(8)));
        break;
    case 49:
        r.need(16 + 4 * uint64_t(le16(r.p + 14)));
        break;
    case 50:
        r.need(20 + 4 * uint64_t(r.u32(16)));
        break;
    case 70:  // comment
        r.need(12 + uint64_t(r.u32(8)));
        break;
    case 71: case 73: case 74:
        r.region(24, type == 71 ? 32 : 28);
        break;
    case 72:
        r.region(24, 40);
        break;
    case 75:
        if (r.u32(8) != 0)
            r.region(8, 16);
        break;
    case 76: case 77: case 114: case 116:
        r.dib(84);
        break;
    case 78:
        r.dib(84);
        r.dib(112);
        break;
    case 79:
        r.dib(96);
        r.dib(124);
        break;
    case 80: case 81:
        r.dib(48);
        break;
    case 93: case 94:
        r.dib(16);
        break;
    case 95:
        r.dib(12);
        r.need(52 + 4 * uint64_t(r.u32(48)));
        break;
    case 118: {  // gradient fill: vertices, then triangles or rectangles
        const uint64_t vertices = r.u32(24), shapes = r.u32(28);
        r.need(36 + 16 * vertices + shapes * (r.u32(32) == 2 ? 12 : 8));
        break;
    }
    default:
        break;
    }
    return false;
}

// The records to keep from libemf2svg go to `hidden` (their offsets).
TSize walkEmf(const uint8_t* data, std::size_t size, std::vector<std::size_t>& hidden)
{
    if (size < 88 || le32(data) != 1)
        refuse("not an enhanced metafile");
    const uint32_t headerSize = le32(data + 4);
    if (headerSize < 88 || headerSize % 4 != 0 || headerSize > size || le32(data + 40) != kEmfSignature)
        refuse("not an enhanced metafile");
    const uint32_t records = le32(data + 52);
    if (records < 2 || records > size / 8)
        refuse("record count out of the file");
    const uint32_t descChars = le32(data + 60), descAt = le32(data + 64);
    if (descChars != 0 && uint64_t(descAt) + 2 * uint64_t(descChars) > headerSize)
        refuse("description out of the header");
    const int64_t frameW = int64_t(s32(data + 32)) - s32(data + 24);
    const int64_t frameH = int64_t(s32(data + 36)) - s32(data + 28);
    const TSize px{toPixels(double(frameW), kEmfFrameUnitsPerInch), toPixels(double(frameH), kEmfFrameUnitsPerInch)};
    checkPictureSize(px.cx, px.cy, size);
    std::size_t at = headerSize;
    uint32_t walked = 1;
    for (;;) {
        if (size - at < 8)
            refuse("records cut short");
        const uint32_t type = le32(data + at), bytes = le32(data + at + 4);
        if (bytes < 8 || bytes % 4 != 0 || bytes > size - at)
            refuse("record size out of the file");
        if (type == 1)
            refuse("a second header");
        if (checkEmfRecord(type, {data + at, bytes}))
            hidden.push_back(at);
        at += bytes;
        ++walked;
        if (type == 14)
            break;
    }
    if (walked > records)
        refuse("more records than the header counts");
    return px;
}

// ---- writing ----

// A 24-bit bottom-up DIB (the 40-byte header, then the rows): the bitmap's BMP file without
// its 14-byte file header.
std::vector<uint8_t> dib24(const TBitmap& source)
{
    TBitmap b;
    b.Assign(source);
    b.SetPixelFormat(pf24bit);
    rtl::TMemoryStream bmp;
    b.SaveToStream(bmp);
    constexpr std::size_t kFileHeaderBytes = 14;
    return std::vector<uint8_t>(bmp.Bytes().begin() + kFileHeaderBytes, bmp.Bytes().end());
}

constexpr uint32_t kSrcCopy = 0x00CC0020;

std::vector<uint8_t> placeableWmf(const TBitmap& bitmap)
{
    const int32_t w = bitmap.Width(), h = bitmap.Height();
    if (w > 32767 || h > 32767)
        throw EInvalidGraphicOperation("Picture too large for a Windows metafile");
    const std::vector<uint8_t> dib = dib24(bitmap);
    std::vector<uint8_t> o;
    // Placeable header: the frame in pixels, 96 units an inch.
    put32(o, kPlaceableKey);
    put16(o, 0);
    put16(o, 0);
    put16(o, 0);
    put16(o, uint32_t(w));
    put16(o, uint32_t(h));
    put16(o, kDpi);
    put32(o, 0);
    uint16_t sum = 0;
    for (int i = 0; i < 20; i += 2)
        sum ^= le16(o.data() + i);
    put16(o, sum);
    const std::size_t header = o.size();
    put16(o, 1);  // in memory
    put16(o, 9);
    put16(o, 0x0300);
    put32(o, 0);  // size, filled in below
    put16(o, 0);  // objects
    put32(o, 0);  // largest record, below
    put16(o, 0);
    auto record = [&o](uint16_t function, std::initializer_list<int32_t> params) {
        put32(o, uint32_t(3 + params.size()));
        put16(o, function);
        for (int32_t p : params)
            put16(o, uint32_t(p) & 0xFFFF);
    };
    record(0x0103, {8});        // map mode: anisotropic
    record(0x020B, {0, 0});     // window origin
    record(0x020C, {h, w});     // window extent
    const std::size_t stretchAt = o.size();
    const uint32_t stretchWords = uint32_t((22 + 6 + dib.size() + 1) / 2);
    put32(o, stretchWords);
    put16(o, 0x0F43);
    put32(o, kSrcCopy);
    put16(o, 0);  // RGB colours
    for (int32_t v : {h, w, 0, 0, h, w, 0, 0})
        put16(o, uint32_t(v) & 0xFFFF);
    o.insert(o.end(), dib.begin(), dib.end());
    o.resize(stretchAt + std::size_t(stretchWords) * 2, 0);
    record(0x0000, {});
    rtl::put_le32(o.data() + header + 6, uint32_t((o.size() - header) / 2));
    rtl::put_le32(o.data() + header + 12, stretchWords);
    return o;
}

std::vector<uint8_t> enhancedMetafile(const TBitmap& bitmap)
{
    const int32_t w = bitmap.Width(), h = bitmap.Height();
    const std::vector<uint8_t> dib = dib24(bitmap);
    std::vector<uint8_t> o;
    auto rect = [&o](int32_t l, int32_t t, int32_t r, int32_t b) {
        for (int32_t v : {l, t, r, b})
            put32(o, uint32_t(v));
    };
    // Header: bounds in pixels, frame in 0.01 mm, a reference device of 96 dpi.
    put32(o, 1);
    put32(o, 88);
    rect(0, 0, w - 1, h - 1);
    rect(0, 0, int32_t(std::lround(w * kEmfFrameUnitsPerInch / kDpi)),
         int32_t(std::lround(h * kEmfFrameUnitsPerInch / kDpi)));
    put32(o, kEmfSignature);
    put32(o, 0x10000);
    put32(o, 0);  // bytes, below
    put32(o, 3);  // records
    put16(o, 1);  // handles (the zeroth is reserved)
    put16(o, 0);
    put32(o, 0);
    put32(o, 0);
    put32(o, 0);
    put32(o, 1920);
    put32(o, 1080);
    put32(o, 508);
    put32(o, 286);
    // Stretch DIB bits at (0, 0), the bitmap's own size.
    const uint32_t bits = uint32_t(dib.size() - 40);
    put32(o, 81);
    put32(o, uint32_t(80 + dib.size()));
    rect(0, 0, w - 1, h - 1);
    for (int32_t v : {0, 0, 0, 0, w, h})
        put32(o, uint32_t(v));
    put32(o, 80);
    put32(o, 40);
    put32(o, 120);
    put32(o, bits);
    put32(o, 0);
    put32(o, kSrcCopy);
    put32(o, uint32_t(w));
    put32(o, uint32_t(h));
    o.insert(o.end(), dib.begin(), dib.end());
    // End of file without palette.
    put32(o, 14);
    put32(o, 20);
    put32(o, 0);
    put32(o, 16);
    put32(o, 20);
    rtl::put_le32(o.data() + 48, uint32_t(o.size()));
    return o;
}

// ---- the libraries ----

// libwmf's allocations, counted against the budget. The blocks are plain malloc blocks (libwmf
// frees some of them with free() itself), measured by the allocator.
struct WmfBudget {
    std::size_t used = 0;
    std::size_t limit = 0;
    std::chrono::steady_clock::time_point deadline;
};

void* wmfAlloc(void* context, std::size_t size)
{
    auto* b = static_cast<WmfBudget*>(context);
    if (size > b->limit - std::min(b->limit, b->used))
        return nullptr;
    void* block = std::malloc(size);
    if (block)
        b->used += malloc_usable_size(block);
    return block;
}

void wmfFree(void* context, void* mem)
{
    if (!mem)
        return;
    auto* b = static_cast<WmfBudget*>(context);
    b->used -= std::min(malloc_usable_size(mem), b->used);
    std::free(mem);
}

void* wmfRealloc(void* context, void* mem, std::size_t size)
{
    if (!mem)
        return wmfAlloc(context, size);
    auto* b = static_cast<WmfBudget*>(context);
    const std::size_t old = malloc_usable_size(mem);
    if (size > old && size - old > b->limit - std::min(b->limit, b->used))
        return nullptr;
    void* fresh = std::realloc(mem, size);
    if (fresh || size == 0) {
        b->used -= std::min(old, b->used);
        b->used += fresh ? malloc_usable_size(fresh) : 0;
    }
    return fresh;
}

int wmfStatus(void* context, float)
{
    return std::chrono::steady_clock::now() > static_cast<WmfBudget*>(context)->deadline ? 1 : 0;
}

QByteArray wmfToSvg(std::vector<uint8_t> bytes, const WmfLayout& layout)
{
    const TSize size = layout.size;
    WmfBudget budget;
    budget.limit = (std::size_t(64) << 20) + 64 * bytes.size() + std::size_t(size.cx) * size.cy * 8;
    budget.deadline = std::chrono::steady_clock::now() + kBudget;
    wmfAPI_Options options{};
    options.context = &budget;
    options.malloc = wmfAlloc;
    options.realloc = wmfRealloc;
    options.free = wmfFree;
    options.function = wmf_svg_function;
    wmfAPI* api = nullptr;
    const unsigned long flags = WMF_OPT_ALLOC | WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR |
                                WMF_OPT_NO_DEBUG;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
        if (api)
            wmf_api_destroy(api);
        refuse("libwmf could not start");
    }
    QByteArray svg;
    wmf_status_function(api, &budget, wmfStatus);
    wmf_error_t err = wmf_mem_open(api, bytes.data(), long(bytes.size()));
    wmfD_Rect bbox{};
    if (err == wmf_E_None)
        err = wmf_scan(api, 0, &bbox);
    if (err == wmf_E_None) {
        wmf_svg_t* device = WMF_SVG_GetData(api);
        device->out = wmf_stream_create(api, nullptr);
        device->Description = const_cast<char*>("Tambourelle");
        if (layout.mapped)
            bbox = {{float(layout.left), float(layout.top)}, {float(layout.right), float(layout.bottom)}};
        device->bbox = bbox;
        device->width = unsigned(size.cx);
        device->height = unsigned(size.cy);
        device->flags |= WMF_SVG_INLINE_IMAGES;
        if (device->out)
            err = wmf_play(api, 0, &bbox);
        else
            err = wmf_E_InsMem;
        char* text = nullptr;
        unsigned long length = 0;
        if (device->out)
            wmf_stream_destroy(api, device->out, &text, &length);
        if (err == wmf_E_None && text) {
            svg = QByteArray(text, qsizetype(length));
            // libwmf's SVG marks every fill half transparent; a metafile's fills are opaque.
            svg.replace("fill-opacity:0.5;", "fill-opacity:1;");
        }
        if (text) {
            wmf_detach(api, text);  // ours now, whether or not the library still held it
            wmfFree(&budget, text);
        }
    }
    wmf_mem_close(api);
    wmf_api_destroy(api);
    if (err != wmf_E_None || svg.isEmpty())
        refuse("libwmf could not read it");
    return svg;
}

QByteArray emfToSvg(std::vector<uint8_t> bytes, TSize size, const std::vector<std::size_t>& hidden)
{
    // Hidden records become empty comments of the same size.
    for (const std::size_t at : hidden) {
        const uint32_t recordSize = le32(bytes.data() + at + 4);
        rtl::put_le32(bytes.data() + at, 70);
        rtl::put_le32(bytes.data() + at + 8, recordSize - 12);
        std::fill(bytes.begin() + long(at + 12), bytes.begin() + long(at + recordSize), uint8_t(0));
    }
    generatorOptions options{};
    options.nameSpace = const_cast<char*>("");
    options.svgDelimiter = true;
    options.imgWidth = size.cx;
    options.imgHeight = size.cy;
    char* out = nullptr;
    std::size_t length = 0;
    const int ok = emf2svg(reinterpret_cast<char*>(bytes.data()), bytes.size(), &out, &length, &options);
    QByteArray svg;
    if (ok && out)
        svg = QByteArray(out, qsizetype(length));
    std::free(out);
    if (svg.isEmpty())
        refuse("libemf2svg could not read it");
    return svg;
}

// Renders the SVG onto `image` in `target`.
void renderSvg(const QByteArray& svg, QPainter& painter, const QRectF& target)
{
    QSvgRenderer renderer(svg);
    renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
    renderer.render(&painter, target);
}

bool drawsAnything(const QByteArray& svg, TSize size)
{
    // A thumbnail is enough to see whether anything is drawn at all.
    const double scale = std::min(1.0, 512.0 / std::max(size.cx, size.cy));
    QImage probe(std::max(1, int(size.cx * scale)), std::max(1, int(size.cy * scale)), QImage::Format_ARGB32_Premultiplied);
    probe.fill(Qt::transparent);
    {
        QPainter p(&probe);
        renderSvg(svg, p, QRectF(0, 0, probe.width(), probe.height()));
    }
    for (int y = 0; y < probe.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(probe.constScanLine(y));
        for (int x = 0; x < probe.width(); ++x)
            if (qAlpha(line[x]) != 0)
                return true;
    }
    return false;
}

}  // namespace

const TGraphicClassInfo TMetafile::ClassInfo = {"TMetafile", [] { return std::unique_ptr<TGraphic>(new TMetafile); }};

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;


void TMetafile::clear()
{
    width_ = height_ = 0;
    data_.clear();
    svg_.clear();
    bitmap_.reset();
    picture_ = QPicture();
}

void TMetafile::SetBitmap(const TBitmap& bitmap)
{
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(bitmap);
    copy->SetPixelFormat(pf24bit);
    clear();
    width_ = copy->Width();
    height_ = copy->Height();
    bitmap_ = std::move(copy);
    Changed();
}

void TMetafile::SetPicture(const QPicture& picture, int32_t width, int32_t height)
{
    clear();
    if (width > 0 && height > 0) {
        picture_ = picture;
        width_ = width;
        height_ = height;
    }
    Changed();
}

void TMetafile::LoadFromStream(rtl::TStream& stream)
{
    const int64_t left = stream.Remaining();
    if (left <= 0)
        refuse("empty file");
    std::vector<uint8_t> bytes(static_cast<std::size_t>(left));
    stream.ReadBuffer(bytes.data(), left);
    const bool enhanced = bytes.size() >= 44 && le32(bytes.data()) == 1 && le32(bytes.data() + 40) == kEmfSignature;
    TSize size;
    QByteArray svg;
    if (enhanced) {
        std::vector<std::size_t> hidden;
        size = walkEmf(bytes.data(), bytes.size(), hidden);
        svg = emfToSvg(bytes, size, hidden);
    } else {
        const WmfLayout layout = walkWmf(bytes.data(), bytes.size());
        size = layout.size;
        svg = wmfToSvg(bytes, layout);
    }
    if (!QSvgRenderer(svg).isValid())
        refuse("its drawing could not be read");
    if (!drawsAnything(svg, size))
        refuse("its records draw nothing");
    clear();
    data_ = std::move(bytes);
    dataEnhanced_ = enhanced;
    enhanced_ = enhanced;
    svg_ = std::move(svg);
    width_ = size.cx;
    height_ = size.cy;
    Changed();
}

std::vector<uint8_t> TMetafile::encode(bool enhanced) const
{
    if (Empty())
        throw EInvalidGraphicOperation("Cannot save an empty metafile");
    if (!data_.empty() && dataEnhanced_ == enhanced)
        return data_;
    TBitmap picture;
    if (bitmap_)
        picture.Assign(*bitmap_);
    else
        AssignTo(picture);
    return enhanced ? enhancedMetafile(picture) : placeableWmf(picture);
}

void TMetafile::SaveToStream(rtl::TStream& stream)
{
    const std::vector<uint8_t> bytes = encode(enhanced_);
    stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
}

void TMetafile::SaveToFile(const std::string& path)
{
    const std::string ext = rtl::LowerExtension(path);
    if (ext == ".emf")
        enhanced_ = true;
    else if (ext == ".wmf")
        enhanced_ = false;
    TGraphic::SaveToFile(path);
}

void TMetafile::Assign(const TGraphic& source)
{
    if (&source == this)
        return;
    if (const auto* m = dynamic_cast<const TMetafile*>(&source)) {
        clear();
        enhanced_ = m->enhanced_;
        width_ = m->width_;
        height_ = m->height_;
        data_ = m->data_;
        dataEnhanced_ = m->dataEnhanced_;
        svg_ = m->svg_;
        picture_ = m->picture_;
        if (m->bitmap_) {
            bitmap_ = std::make_unique<TBitmap>();
            bitmap_->Assign(*m->bitmap_);
        }
        Changed();
        return;
    }
    if (const auto* b = dynamic_cast<const TBitmap*>(&source)) {
        SetBitmap(*b);
        return;
    }
    TGraphic::Assign(source);
}

void TMetafile::AssignTo(TBitmap& dest) const
{
    dest.SetPixelFormat(pf24bit);
    dest.SetSize(0, 0);
    dest.SetSize(width_, height_);  // white
    if (!dest.Empty())
        Draw(dest.Canvas(), Rect(0, 0, width_, height_));
}

void TMetafile::Draw(TCanvas& canvas, const TRect& r) const
{
    if (Empty() || r.IsEmpty())
        return;
    if (bitmap_) {
        canvas.StretchDraw(r, *bitmap_);
        return;
    }
    if (!picture_.isNull()) {
        canvas.DrawPicture(picture_, Rect(0, 0, width_, height_), r);
        return;
    }
    QImage* surface = canvas.Surface();
    if (!surface)
        return;
    QPainter painter(surface);
    renderSvg(svg_, painter, QRectF(r.Left, r.Top, r.Width(), r.Height()));
}

}  // namespace gfx

namespace gfx {

TMetafileCanvas::TMetafileCanvas(TMetafile& target, int32_t width, int32_t height)
    : target_(target), width_(width), height_(height), painter_(std::make_unique<QPainter>())
{
    if (painter_->begin(&picture_))
        Attach(painter_.get());
}

TMetafileCanvas::~TMetafileCanvas() { Close(); }

void TMetafileCanvas::Close()
{
    if (!Painter())
        return;
    Attach(nullptr);
    painter_->end();
    target_.SetPicture(picture_, width_, height_);
}

}  // namespace gfx
