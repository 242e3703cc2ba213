#include "cd/waveio.h"

#include "platform/rtl/LittleEndian.h"

#include <unistd.h>

#include <algorithm>
#include <limits>

namespace waveio {

using wave::ChunkInfo;
using wave::RiffFile;
using wave::fourcc;

namespace {

using rtl::le16;
using rtl::le32;

void put16(std::vector<uint8_t>& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& b, uint32_t v)
{
    put16(b, uint16_t(v));
    put16(b, uint16_t(v >> 16));
}

[[noreturn]] void fail(const char* text) { throw EWaveError(text); }

}  // namespace

TWaveStream::~TWaveStream()
{
    try {
        Finish();
    } catch (const EWaveError&) {
        // A destructor cannot report; Finish() is there for callers who need to know.
    }
}

void TWaveStream::openForReading(const std::string& path)
{
    fileName_ = path;
    if (!file_.open(path, RiffFile::Read))
        fail("Can't open file stream.");
    if (!file_.descend(riff_, nullptr, 0))
        fail("Invalid multimedia file!");
    if (riff_.id != fourcc("RIFF") || riff_.formType != fourcc("WAVE"))
        fail("Not a wave file!");
    // The chunks are looked for up to the end of the file, as players do: a RIFF size too
    // small for them must not hide the sound.
    riff_.size = uint32_t(std::clamp<int64_t>(file_.size() - riff_.dataOffset, riff_.size, 0xFFFFFFFF));
    ChunkInfo fmt;
    fmt.id = fourcc("fmt ");
    if (!file_.descend(fmt, &riff_, RiffFile::FindChunk))
        fail("Couldn't find 'fmt' chunk!");
    if (fmt.size < 16)
        fail("Abnormal 'fmt' size!");
    readFormat(fmt);
    if (format_.formatTag == kMpegLayer3)
        fail("MPEG Layer-3 compression is not supported.");
    if (!file_.ascend(fmt))
        fail("Error ascending from 'fmt' chunk!");
    data_.id = fourcc("data");
    if (!file_.descend(data_, &riff_, RiffFile::FindChunk))
        fail("Error seeking data!");
    if (file_.seek(data_.dataOffset, SEEK_SET) != data_.dataOffset)
        fail("Error getting info!");
    length_ = data_.size / format_.blockAlign;
}

void TWaveStream::readFormat(const ChunkInfo& fmt)
{
    uint8_t b[18];
    if (file_.read(b, 16) != 16)
        fail("Error reading 'fmt' chunk!");
    format_.formatTag = le16(b);
    format_.channels = le16(b + 2);
    format_.samplesPerSec = le32(b + 4);
    format_.avgBytesPerSec = le32(b + 8);
    format_.blockAlign = le16(b + 12);
    format_.bitsPerSample = le16(b + 14);
    format_.extraSize = 0;
    // Frames are counted in block-align units: a zero would divide by zero later on.
    if (format_.channels == 0 || format_.blockAlign == 0)
        fail("Error reading 'fmt' chunk!");
    if (format_.formatTag == snd::WaveFormat::kPcm)
        return;
    if (fmt.size < 18 || file_.read(b + 16, 2) != 2)
        fail("Error reading 'waveformatex' length!");
    format_.extraSize = le16(b + 16);
    if (format_.extraSize > fmt.size - 18)
        fail("Error reading 'waveformatex'!");
    extra_.resize(format_.extraSize);
    if (file_.read(extra_.data(), format_.extraSize) != format_.extraSize)
        fail("Error reading 'waveformatex'!");
}

void TWaveStream::createForWriting(const std::string& path, const snd::WaveFormat& format,
                                   const std::vector<uint8_t>& extra)
{
    fileName_ = path;
    format_ = format;
    format_.extraSize = uint16_t(extra.size());
    extra_ = extra;
    if (format_.blockAlign == 0 || extra.size() > 0xFFFF)
        fail("Error writing wave format.");
    if (!file_.open(path, RiffFile::Create))
        fail("Can't open file stream.");
    writing_ = true;
    riff_.formType = fourcc("WAVE");
    if (!file_.createChunk(riff_, RiffFile::CreateRiff))
        fail("Error creating chunk.");
    ChunkInfo fmt;
    fmt.id = fourcc("fmt ");
    if (!file_.createChunk(fmt, 0))
        fail("Error creating chunk.");
    std::vector<uint8_t> rec;
    put16(rec, format_.formatTag);
    put16(rec, format_.channels);
    put32(rec, format_.samplesPerSec);
    put32(rec, format_.avgBytesPerSec);
    put16(rec, format_.blockAlign);
    put16(rec, format_.bitsPerSample);
    put16(rec, format_.extraSize);
    rec.insert(rec.end(), extra.begin(), extra.end());
    if (!file_.write(rec.data(), int64_t(rec.size())))
        fail("Error writing wave format.");
    if (!file_.ascend(fmt))
        fail("Cannot ascend chunk.");
    data_.id = fourcc("data");
    if (!file_.createChunk(data_, 0))
        fail("Error creating chunk.");
}

void TWaveStream::Finish()
{
    if (!writing_)
        return;
    writing_ = false;
    if (file_.seek(data_.dataOffset + length_ * format_.blockAlign, SEEK_SET) < 0 || !file_.ascend(data_) ||
        !file_.ascend(riff_))
        fail("Cannot ascend chunk.");
    if (!file_.flush())
        fail("Cannot flush.");
}

int64_t TWaveStream::Read(void* buffer, int64_t frames)
{
    frames = std::clamp<int64_t>(frames, 0, length_ - position_);
    if (frames == 0)
        return 0;
    int64_t at = data_.dataOffset + position_ * format_.blockAlign;
    if (file_.seek(at, SEEK_SET) != at)
        fail("Error reading from file.");
    int64_t got = file_.read(buffer, frames * format_.blockAlign);
    if (got < 0)
        fail("Error reading from file.");
    // The data chunk is clamped to the file, so a short read means the file shrank meanwhile.
    int64_t whole = got / format_.blockAlign;
    position_ += whole;
    return whole;
}

int64_t TWaveStream::Seek(int64_t frame, rtl::TSeekOrigin origin)
{
    int64_t base = origin == rtl::soBeginning ? 0 : origin == rtl::soCurrent ? position_ : length_;
    if (frame > std::numeric_limits<int64_t>::max() - base)
        fail("Seeking to an invalid location in the file.");
    int64_t to = base + frame;
    if (to < 0 || to > length_)
        fail("Seeking to an invalid location in the file.");
    position_ = to;
    return position_;
}

int64_t TWaveStream::Write(const void* buffer, int64_t frames)
{
    if (!writing_ || frames < 0)
        fail("Error writing to file.");
    int64_t at = data_.dataOffset + position_ * format_.blockAlign;
    if (file_.seek(at, SEEK_SET) != at || !file_.write(buffer, frames * format_.blockAlign))
        fail("Error writing to file.");
    position_ += frames;
    length_ = std::max(length_, position_);
    return frames;
}

TFileWaveStream::TFileWaveStream(const std::string& path) { openForReading(path); }

TFileWaveStream::TFileWaveStream(const std::string& path, const snd::WaveFormat& format,
                                 const std::vector<uint8_t>& extra)
{
    createForWriting(path, format, extra);
}

TPCMWaveReader::TPCMWaveReader(TWaveStream& source) : source_(source)
{
    const snd::WaveFormat& src = source.Format();
    if (src.formatTag == snd::WaveFormat::kPcm) {
        pcm_ = src;
        length_ = source.Length();
        return;
    }
    if (source.FileName().empty())
        throw EWaveError("Can't suggest pcm format.");
    decoder_ = std::make_unique<media::MediaStream>();
    if (decoder_->open(source.FileName()) != media::MediaStream::kOk)
        throw EWaveError("Can't open acm stream.");
    pcm_ = decoder_->format();
    pcm_.formatTag = snd::WaveFormat::kPcm;
    pcm_.extraSize = 0;
    if (pcm_.blockAlign == 0)
        throw EWaveError("Can't suggest pcm format.");
    if (src.avgBytesPerSec != 0) {
        // Source bytes -> seconds -> PCM bytes; done in floating point as the product can pass 2^63.
        double bytes = double(source.Length()) * src.blockAlign * pcm_.avgBytesPerSec / src.avgBytesPerSec;
        length_ = int64_t(bytes / pcm_.blockAlign);
    }
}

TPCMWaveReader::~TPCMWaveReader() = default;

int64_t TPCMWaveReader::Read(void* buffer, int64_t frames)
{
    if (!decoder_)
        return source_.Read(buffer, frames);
    if (frames <= 0)
        return 0;
    int64_t maxFrames = std::numeric_limits<uint32_t>::max() / pcm_.blockAlign;
    frames = std::min(frames, maxFrames);
    uint32_t actual = 0;
    int32_t r = decoder_->read(static_cast<uint8_t*>(buffer), uint32_t(frames * pcm_.blockAlign), actual);
    if (r == media::MediaStream::kEndOfStream)
        return 0;
    if (r != media::MediaStream::kOk)
        throw EWaveError("Unable to convert sample.");
    return actual / pcm_.blockAlign;
}

}  // namespace waveio
