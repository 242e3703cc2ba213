// JPEG-compressed TIFF strips and tiles through libjpeg. One decompression object lives from
// DecodeInit to DecodeEnd; the file's JPEG tables are read into it once, and each strip is a
// small JPEG stream of its own (header without tables, scan, end of image).
//
// libjpeg's fatal errors come back through the shared error manager's jump and raise
// EGraphicCompression; the routines that call setjmp (`guarded...`) hold only plain data, and
// every exception is thrown after they have returned. Warnings (libjpeg's, and a strip that
// ends early) are collected and shown once, after the load, as one "Warning" box: a box from
// inside libjpeg's callback would run an event loop in the middle of the decode, and a
// damaged file of many strips would ask for a click per strip.
//
// Colour: YCbCr strips are converted by libjpeg; others are declared RGB (3 components) or
// grey (1 component), which libjpeg-turbo passes through. Three-component output is asked
// for in blue-green-red order, as the TIFF reader declares its rows to the colour manager.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include <jerror.h>

#include "pictures/decoders/GraphicCompression.h"
#include "pictures/formats/FormatGraphic.h"
#include "platform/gfx/JpegErrors.h"

namespace decoders {

namespace {

const char* const unexpectedEnd = "JPEG decompression error. Unexpected end of input.";
const JOCTET endOfImage[2] = {0xFF, JPEG_EOI};

enum Check {
    checkOk,
    checkLibrary,  // libjpeg raised; its text is in the context
    checkTables,
    checkSize,
    checkComponents,
    checkPrecision,
    checkSampling,
    checkOutput,
    checkFractional,
};

const char* checkMessage(int check)
{
    switch (check) {
    case checkTables: return "Bogus JPEG tables field.";
    case checkSize: return "Improper JPEG strip/tile size.";
    case checkComponents:
    case checkOutput: return "Improper JPEG component count.";
    case checkPrecision: return "Improper JPEG data precision.";
    case checkSampling: return "Improper JPEG sampling factors.";
    case checkFractional: return "Fractional JPEG scanline unsupported.";
    default: return "JPEG decompression error.";
    }
}

}  // namespace

// Everything libjpeg's routines and the guarded calls touch: plain data only.
struct TTIFFJPEGDecoder::Context {
    jpeg_decompress_struct cinfo;
    gfx::TJpegErrorManager err;
    jpeg_source_mgr source;
    TTIFFJPEGDecoder* owner;
    bool created;
    char message[JMSG_LENGTH_MAX];
};

namespace {

TTIFFJPEGDecoder::Context* contextOf(j_decompress_ptr cinfo)
{
    return reinterpret_cast<TTIFFJPEGDecoder::Context*>(reinterpret_cast<char*>(cinfo) -
                                                        offsetof(TTIFFJPEGDecoder::Context, cinfo));
}

extern "C" void initSource(j_decompress_ptr) {}
extern "C" void termSource(j_decompress_ptr) {}

// The data ran out: say so once and end the image, so that libjpeg finishes what it has.
extern "C" boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    contextOf(cinfo)->owner->Warn(unexpectedEnd);
    cinfo->src->next_input_byte = endOfImage;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

extern "C" void skipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    if (size_t(count) <= cinfo->src->bytes_in_buffer) {
        cinfo->src->next_input_byte += count;
        cinfo->src->bytes_in_buffer -= size_t(count);
    } else {
        fillInputBuffer(cinfo);
    }
}

extern "C" void onWarning(void* context, const char* text)
{
    static_cast<TTIFFJPEGDecoder*>(context)->Warn(text);
}

void pointAt(TTIFFJPEGDecoder::Context& c, const uint8_t* data, size_t size)
{
    c.source.next_input_byte = data;
    c.source.bytes_in_buffer = size;
}

int libraryFailed(TTIFFJPEGDecoder::Context& c)
{
    (*c.err.pub.format_message)(reinterpret_cast<j_common_ptr>(&c.cinfo), c.message);
    return checkLibrary;
}

// Creates the object and reads the tables (none: tables empty).
int guardedInit(TTIFFJPEGDecoder::Context& c, const uint8_t* tables, size_t tablesSize)
{
    if (setjmp(c.err.jump))
        return libraryFailed(c);
    jpeg_create_decompress(&c.cinfo);
    c.created = true;
    c.cinfo.src = &c.source;
    if (tablesSize > 0) {
        pointAt(c, tables, tablesSize);
        if (jpeg_read_header(&c.cinfo, FALSE) != JPEG_HEADER_TABLES_ONLY)
            return checkTables;
    }
    return checkOk;
}

struct StripJob {
    const uint8_t* data;
    size_t size;
    uint8_t* dest;
    size_t destSize;
    size_t unpacked;
    // What the strip must be.
    uint32_t width, height;
    int components;
    int precision;
    int hSampling, vSampling;
    bool separate;
    bool ycbcr;
    size_t bytesPerScanline;
};

int checkHeader(const jpeg_decompress_struct& cinfo, const StripJob& job)
{
    if (cinfo.image_width != job.width || cinfo.image_height != job.height)
        return checkSize;
    if (cinfo.num_components != job.components)
        return checkComponents;
    if (cinfo.data_precision != job.precision)
        return checkPrecision;
    for (int i = 0; i < cinfo.num_components; ++i) {
        const jpeg_component_info& comp = cinfo.comp_info[i];
        const bool first = i == 0 && !job.separate;
        const int h = first ? job.hSampling : 1, v = first ? job.vSampling : 1;
        if (comp.h_samp_factor != h || comp.v_samp_factor != v)
            return checkSampling;
    }
    return checkOk;
}

int guardedStrip(TTIFFJPEGDecoder::Context& c, StripJob& job)
{
    jpeg_decompress_struct& cinfo = c.cinfo;
    if (setjmp(c.err.jump))
        return libraryFailed(c);
    jpeg_abort_decompress(&cinfo);
    pointAt(c, job.data, job.size);
    jpeg_read_header(&cinfo, TRUE);
    if (const int check = checkHeader(cinfo, job))
        return check;
    if (job.ycbcr) {
        cinfo.jpeg_color_space = JCS_YCbCr;
    } else {
        cinfo.jpeg_color_space = cinfo.num_components == 3 ? JCS_RGB
                                 : cinfo.num_components == 1 ? JCS_GRAYSCALE
                                                             : JCS_UNKNOWN;
    }
    cinfo.out_color_space = cinfo.num_components == 3 ? JCS_EXT_BGR
                            : cinfo.num_components == 1 ? JCS_GRAYSCALE
                                                        : JCS_UNKNOWN;
    jpeg_start_decompress(&cinfo);
    if (size_t(cinfo.output_width) * size_t(cinfo.output_components) > job.bytesPerScanline)
        return checkOutput;
    if (job.bytesPerScanline == 0 || job.unpacked % job.bytesPerScanline != 0)
        return checkFractional;
    size_t lines = std::min({job.unpacked, job.destSize}) / job.bytesPerScanline;
    lines = std::min<size_t>(lines, cinfo.output_height);
    uint8_t* row = job.dest;
    for (size_t i = 0; i < lines; ++i, row += job.bytesPerScanline) {
        JSAMPROW target = row;
        if (jpeg_read_scanlines(&cinfo, &target, 1) != 1)
            break;
    }
    jpeg_abort_decompress(&cinfo);
    return checkOk;
}

uint32_t roundUpDivide(uint32_t a, uint32_t b)
{
    return b == 0 ? a : (a + b - 1) / b;
}

}  // namespace

TTIFFJPEGDecoder::TTIFFJPEGDecoder(const TImageProperties& Properties)
    : properties_(Properties), context_(std::make_unique<Context>())
{
}

TTIFFJPEGDecoder::~TTIFFJPEGDecoder()
{
    if (context_->created)
        jpeg_destroy_decompress(&context_->cinfo);
}

void TTIFFJPEGDecoder::Warn(const std::string& Text)
{
    if (std::find(warnings_.begin(), warnings_.end(), Text) == warnings_.end() && warnings_.size() < 20)
        warnings_.push_back(Text);
}

void TTIFFJPEGDecoder::DecodeInit()
{
    Context& c = *context_;
    if (c.created)
        jpeg_destroy_decompress(&c.cinfo);
    c = Context{};
    c.owner = this;
    c.cinfo.err = gfx::SetupJpegErrors(c.err);
    c.err.DamageIsError = false;
    c.err.OnWarning = onWarning;
    c.err.WarningContext = this;
    c.source.init_source = initSource;
    c.source.fill_input_buffer = fillInputBuffer;
    c.source.skip_input_data = skipInputData;
    c.source.resync_to_restart = jpeg_resync_to_restart;
    c.source.term_source = termSource;
    warnings_.clear();
    const auto& s = properties_.YCbCrSubSampling;
    hSampling_ = s.size() >= 2 && s[0] ? s[0] : 1;
    vSampling_ = s.size() >= 2 && s[1] ? s[1] : 1;
    const TByteArray& tables = properties_.JPEGTables;
    const int result = guardedInit(c, tables.data(), tables.size());
    if (result == checkLibrary)
        throw EGraphicCompression(std::string("JPEG decompression error. ") + c.message);
    if (result != checkOk)
        throw EGraphicCompression(checkMessage(result));
}

void TTIFFJPEGDecoder::Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize)
{
    Context& c = *context_;
    if (!c.created)
        throw EGraphicCompression(checkMessage(checkLibrary));
    const TImageProperties& p = properties_;
    StripJob job{};
    job.data = Source.data();
    job.size = std::min(PackedSize, Source.size());
    job.dest = Dest.data();
    job.destSize = Dest.size();
    job.unpacked = UnpackedSize;
    if (p.Options & ioTiled) {
        job.width = p.TileWidth;
        job.height = p.TileLength;
    } else {
        const uint32_t rowsPerStrip = p.RowsPerStrip.empty() ? p.Height : p.RowsPerStrip[0];
        job.width = p.Width;
        job.height = std::min(p.Height - std::min(p.CurrentRow, p.Height), rowsPerStrip);
    }
    job.separate = p.PlanarConfig == 2;
    job.ycbcr = p.ColorScheme == psYCbCr;
    if (job.separate && job.ycbcr) {
        job.width = roundUpDivide(job.width, uint32_t(hSampling_));
        job.height = roundUpDivide(job.height, uint32_t(vSampling_));
    }
    job.components = job.separate ? 1 : p.SamplesPerPixel;
    job.precision = p.BitsPerSample;
    job.hSampling = hSampling_;
    job.vSampling = vSampling_;
    job.bytesPerScanline = size_t(job.width) * size_t(job.components) * size_t((p.BitsPerSample + 7) / 8);
    const int result = guardedStrip(c, job);
    if (result == checkLibrary)
        throw EGraphicCompression(std::string("JPEG decompression error. ") + c.message);
    if (result != checkOk)
        throw EGraphicCompression(checkMessage(result));
}

void TTIFFJPEGDecoder::DecodeEnd()
{
    Context& c = *context_;
    if (c.created) {
        jpeg_destroy_decompress(&c.cinfo);
        c.created = false;
    }
    if (warnings_.empty())
        return;
    std::string text;
    for (const std::string& w : warnings_)
        text += (text.empty() ? "" : "\n") + w;
    warnings_.clear();
    ShowDecoderWarning("Warning", text);
}

}  // namespace decoders
