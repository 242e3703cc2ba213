// Deflate through zlib's inflate. One inflate call per Decode; the caller's extents move past
// what it consumed and produced, so a reader can go on where the call stopped.
#include <algorithm>
#include <climits>

#include <zlib.h>

#include "pictures/decoders/GraphicCompression.h"

namespace decoders {

namespace {
const char* const lz77Error = "LZ77 decompression error.";
}

struct TLZ77Decoder::Stream {
    z_stream z{};
};

TLZ77Decoder::TLZ77Decoder(int FlushMode, bool AutoReset)
    : stream_(std::make_unique<Stream>()), flushMode_(FlushMode), autoReset_(AutoReset)
{
}

TLZ77Decoder::~TLZ77Decoder()
{
    if (initialised_)
        inflateEnd(&stream_->z);
}

void TLZ77Decoder::DecodeInit()
{
    if (initialised_)
        inflateEnd(&stream_->z);
    stream_->z = z_stream{};
    status_ = inflateInit(&stream_->z);
    initialised_ = status_ == Z_OK;
    if (status_ < 0)
        throw EGraphicCompression(lz77Error);
}

void TLZ77Decoder::Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize)
{
    if (!initialised_) {
        status_ = Z_STREAM_ERROR;
        return;
    }
    z_stream& z = stream_->z;
    if (autoReset_) {
        status_ = inflateReset(&z);
        if (status_ != Z_OK)
            return;
    }
    const size_t in = std::min({PackedSize, Source.size(), size_t(UINT_MAX)});
    const size_t out = std::min({UnpackedSize, Dest.size(), size_t(UINT_MAX)});
    z.next_in = const_cast<Bytef*>(Source.data());
    z.avail_in = uInt(in);
    z.next_out = Dest.data();
    z.avail_out = uInt(out);
    status_ = inflate(&z, flushMode_);
    Source = Source.subspan(in - z.avail_in);
    Dest = Dest.subspan(out - z.avail_out);
}

void TLZ77Decoder::DecodeEnd()
{
    if (!initialised_)
        return;
    initialised_ = false;
    status_ = inflateEnd(&stream_->z);
    if (status_ < 0)
        throw EGraphicCompression(lz77Error);
}

size_t TLZ77Decoder::AvailableInput() const
{
    return stream_->z.avail_in;
}

size_t TLZ77Decoder::AvailableOutput() const
{
    return stream_->z.avail_out;
}

bool TLZ77Decoder::Failed() const
{
    // Z_BUF_ERROR only says that no progress was possible with the room given.
    return status_ < 0 && status_ != Z_BUF_ERROR;
}

}  // namespace decoders
