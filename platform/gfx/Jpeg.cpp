// libjpeg reports fatal errors by calling error_exit, which by default ends the process; ours
// jumps back (longjmp) to the routine that started the work, which cleans up and raises EJPEG.
// The routines between setjmp and the jump hold only plain locals, so the jump skips no
// destructor. Damaged data, which libjpeg only warns about, counts as an error too, and a
// frame larger than its data could back is refused before its pixels exist.
#include "platform/gfx/Jpeg.h"
#include "platform/gfx/JpegErrors.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

namespace gfx {

namespace {

std::unique_ptr<TGraphic> createJpeg() { return std::make_unique<TJPEGImage>(); }

// Every 8 x 8 block of every component takes at least one bit of entropy-coded data, so a
// frame may claim at most eight blocks for each byte left after the headers.
bool backedByData(const jpeg_decompress_struct& cinfo)
{
    int64_t blocks = 0;
    for (int i = 0; i < cinfo.num_components; ++i)
        blocks += int64_t(cinfo.comp_info[i].width_in_blocks) * cinfo.comp_info[i].height_in_blocks;
    return blocks / 8 <= int64_t(cinfo.src->bytes_in_buffer);
}

[[noreturn]] void raise(int code)
{
    throw EJPEG("JPEG error #" + std::to_string(code));
}

// Decoded rows land in `out` (24-bit, blue-green-red), which the caller owns.
struct DecodeJob {
    const uint8_t* data;
    size_t size;
    int scaleDenom;
    bool fast;
    bool grayscale;
    TBitmap* out;
    int errorCode;
};

bool decodeInto(DecodeJob& job)
{
    jpeg_decompress_struct cinfo;
    TJpegErrorManager err;
    cinfo.err = SetupJpegErrors(err);
    if (setjmp(err.jump)) {
        job.errorCode = err.pub.msg_code;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, const_cast<unsigned char*>(job.data), static_cast<unsigned long>(job.size));
    jpeg_read_header(&cinfo, TRUE);
    if (!backedByData(cinfo)) {
        job.errorCode = JERR_INPUT_EOF;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const bool isCmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = isCmyk ? JCS_CMYK : job.grayscale ? JCS_GRAYSCALE : JCS_EXT_BGR;
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(job.scaleDenom);
    cinfo.dct_method = job.fast ? JDCT_IFAST : JDCT_ISLOW;
    cinfo.do_fancy_upsampling = job.fast ? FALSE : TRUE;
    jpeg_calc_output_dimensions(&cinfo);
    const int64_t w = cinfo.output_width, h = cinfo.output_height;
    if (w < 1 || h < 1 || w > TBitmap::MaxSide || h > TBitmap::MaxSide ||
        ((w * 24 + 31) / 32) * 4 * h > TBitmap::MaxPixelBytes) {
        job.errorCode = JERR_IMAGE_TOO_BIG;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    job.out->SetPixelFormat(pf24bit);
    job.out->SetSize(int32_t(w), int32_t(h));
    jpeg_start_decompress(&cinfo);
    const int comps = cinfo.output_components;
    // From libjpeg's own pool, which jpeg_destroy_decompress frees on every way out: a local
    // set after setjmp would not be reliably seen again after the jump.
    JSAMPLE* cmyk = static_cast<JSAMPLE*>((*cinfo.mem->alloc_large)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                                    JPOOL_IMAGE, size_t(w) * size_t(comps)));
    while (cinfo.output_scanline < cinfo.output_height) {
        uint8_t* row = job.out->ScanLine(int32_t(cinfo.output_scanline));
        JSAMPROW target = comps == 3 ? row : cmyk;
        jpeg_read_scanlines(&cinfo, &target, 1);
        if (comps == 3)
            continue;
        for (int64_t x = 0; x < w; ++x) {
            if (comps == 1) {
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = cmyk[x];
            } else {  // Adobe CMYK is stored inverted
                const int k = cmyk[4 * x + 3];
                row[3 * x + 2] = uint8_t(cmyk[4 * x] * k / 255);
                row[3 * x + 1] = uint8_t(cmyk[4 * x + 1] * k / 255);
                row[3 * x] = uint8_t(cmyk[4 * x + 2] * k / 255);
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

struct EncodeJob {
    const TBitmap* in;  // 24-bit
    int quality;
    bool progressive;
    bool grayscale;
    unsigned char* buffer;
    unsigned long size;
    int errorCode;
};

bool encodeFrom(EncodeJob& job)
{
    jpeg_compress_struct cinfo;
    TJpegErrorManager err;
    cinfo.err = SetupJpegErrors(err);
    job.buffer = nullptr;
    job.size = 0;
    if (setjmp(err.jump)) {
        job.errorCode = err.pub.msg_code;
        jpeg_destroy_compress(&cinfo);
        std::free(job.buffer);
        job.buffer = nullptr;
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &job.buffer, &job.size);
    cinfo.image_width = JDIMENSION(job.in->Width());
    cinfo.image_height = JDIMENSION(job.in->Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    if (job.grayscale)
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    jpeg_set_quality(&cinfo, job.quality, TRUE);
    if (job.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(job.in->ScanLine(int32_t(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

const TGraphicClassInfo TJPEGImage::ClassInfo{"TJPEGImage", createJpeg};

TJPEGImage::TJPEGImage() : bitmap_(std::make_unique<TBitmap>()) {}
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::SetCompressionQuality(int q)
{
    q = std::clamp(q, 1, 100);
    if (q != quality_) {
        quality_ = q;
    }
}

void TJPEGImage::SetScale(TJPEGScale s)
{
    if (s == scale_)
        return;
    scale_ = s;
    if (!data_.empty())
        decode();
}

void TJPEGImage::SetPerformance(TJPEGPerformance p)
{
    if (p == performance_)
        return;
    performance_ = p;
    if (!data_.empty())
        decode();
}

void TJPEGImage::SetGrayscale(bool on)
{
    if (on == grayscale_)
        return;
    grayscale_ = on;
    if (!data_.empty())
        decode();
}

void TJPEGImage::decode()
{
    static const int denoms[] = {1, 2, 4, 8};
    // Straight into a fresh bitmap that replaces the old one only when complete: one copy of
    // the pixels, and a failure keeps the picture as it was.
    auto result = std::make_unique<TBitmap>();
    DecodeJob job{data_.data(), data_.size(), denoms[scale_], performance_ == jpBestSpeed,
                  grayscale_, result.get(), 0};
    if (data_.empty() || !decodeInto(job))
        raise(data_.empty() ? JERR_INPUT_EMPTY : job.errorCode);
    bitmap_ = std::move(result);
    Changed();
}

void TJPEGImage::LoadFromStream(rtl::TStream& stream)
{
    std::vector<uint8_t> bytes(size_t(stream.Remaining()));
    bytes.resize(size_t(stream.Read(bytes.data(), int64_t(bytes.size()))));
    std::swap(bytes, data_);
    try {
        decode();
    } catch (...) {
        std::swap(bytes, data_);  // keep the previous picture
        throw;
    }
}

void TJPEGImage::Compress()
{
    if (bitmap_->Empty())
        throw EInvalidGraphicOperation("Cannot compress an empty JPEG image");
    TBitmap rgb;
    rgb.Assign(*bitmap_);
    rgb.SetPixelFormat(pf24bit);
    EncodeJob job{&rgb, quality_, progressive_, grayscale_, nullptr, 0, 0};
    if (!encodeFrom(job))
        raise(job.errorCode);
    data_.assign(job.buffer, job.buffer + job.size);
    std::free(job.buffer);
}

void TJPEGImage::SaveToStream(rtl::TStream& stream)
{
    if (data_.empty())
        Compress();
    stream.WriteBuffer(data_.data(), int64_t(data_.size()));
}

void TJPEGImage::Assign(const TGraphic& source)
{
    if (&source == this)
        return;
    if (const auto* j = dynamic_cast<const TJPEGImage*>(&source)) {
        data_ = j->data_;
        bitmap_->Assign(*j->bitmap_);
        quality_ = j->quality_;
        scale_ = j->scale_;
        performance_ = j->performance_;
        pixelFormat_ = j->pixelFormat_;
        grayscale_ = j->grayscale_;
        progressive_ = j->progressive_;
    } else if (const auto* b = dynamic_cast<const TBitmap*>(&source)) {
        bitmap_->Assign(*b);
        bitmap_->SetTransparent(false);
        bitmap_->SetPixelFormat(pf24bit);
        data_.clear();
    } else {
        TBitmap copy;
        source.AssignTo(copy);
        Assign(copy);
        return;
    }
    Changed();
}

void TJPEGImage::AssignTo(TBitmap& dest) const
{
    dest.Assign(*bitmap_);
    dest.SetPixelFormat(pf24bit);
}

void TJPEGImage::Draw(TCanvas& canvas, const TRect& r) const
{
    bitmap_->Draw(canvas, r);
}

}  // namespace gfx
