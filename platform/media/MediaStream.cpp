#include "platform/media/MediaStream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace media {

namespace {

constexpr int64_t kTimeUnitsPerSecond = 10'000'000;
// Far above any music file; keeps the format record's byte rates within 32 bits.
constexpr int kMaxSampleRate = 1'000'000;
// A stream whose decoder keeps failing is treated as ending there, not as looping forever.
constexpr int kMaxBadPacketsInARow = 64;

bool isPcmCodec(AVCodecID id)
{
    return id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT;
}

// True depth for uncompressed sources; everything decoded from a lossy codec is 16-bit.
int outputBits(const AVCodecParameters* par)
{
    if (!isPcmCodec(par->codec_id))
        return 16;
    switch (par->codec_id) {
    case AV_CODEC_ID_PCM_U8:
    case AV_CODEC_ID_PCM_S8:
        return 8;
    case AV_CODEC_ID_PCM_S24LE:
    case AV_CODEC_ID_PCM_S24BE:
    case AV_CODEC_ID_PCM_U24LE:
    case AV_CODEC_ID_PCM_U24BE:
        return 24;
    case AV_CODEC_ID_PCM_S32LE:
    case AV_CODEC_ID_PCM_S32BE:
    case AV_CODEC_ID_PCM_U32LE:
    case AV_CODEC_ID_PCM_U32BE:
    case AV_CODEC_ID_PCM_F32LE:
    case AV_CODEC_ID_PCM_F32BE:
        return 32;
    default:
        return 16;
    }
}

AVSampleFormat sampleFormatFor(int bits)
{
    switch (bits) {
    case 8: return AV_SAMPLE_FMT_U8;
    case 16: return AV_SAMPLE_FMT_S16;
    default: return AV_SAMPLE_FMT_S32;  // 24-bit frames are packed down from 32
    }
}

}  // namespace

struct MediaStream::Impl {
    std::string path;
    AVFormatContext* fmt = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* swr = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int streamIndex = -1;
    bool exactTimestamps = false;
    snd::WaveFormat wave;
    int64_t duration = 0;
    bool durationGuessed = false;

    // swr's current input, so a mid-stream format change re-initialises it
    int swrRate = 0;
    int swrFormat = -1;
    AVChannelLayout swrLayout{};

    std::vector<uint8_t> pending;  // converted PCM not yet delivered
    size_t pendingOffset = 0;
    int64_t position = 0;          // frame index of pending[pendingOffset]
    bool flushing = false;         // the demuxer is exhausted, the decoder is being drained
    bool ended = false;
    bool syncToTimestamp = false;  // after a direct seek the next frame's pts gives `position`
    bool restartDue = false;       // reopen and decode from the top to `position` before reading on

    // Frames decoded ahead of the reads, still in the decoder's own format: the reads convert
    // them straight into their destination, so decoding ahead costs no copy of the PCM.
    std::deque<AVFrame*> ahead;
    std::vector<AVFrame*> spareFrames;
    int64_t aheadFrames = 0;       // sample frames in `ahead`
    int32_t aheadEnd = kOk;        // how decoding ahead stopped: the end, or a failure to report
    int64_t sampleStart = 0;
    int64_t sampleEnd = 0;

    ~Impl() { release(); }

    void release()
    {
        dropAhead();
        for (AVFrame*& f : spareFrames)
            av_frame_free(&f);
        spareFrames.clear();
        swr_free(&swr);
        avcodec_free_context(&codec);
        avformat_close_input(&fmt);
        av_packet_free(&packet);
        av_frame_free(&frame);
        av_channel_layout_uninit(&swrLayout);
        swrRate = 0;
        swrFormat = -1;
        resetDecodeState();
        position = 0;
        restartDue = false;
    }

    void dropAhead()
    {
        for (AVFrame* f : ahead) {
            av_frame_unref(f);
            spareFrames.push_back(f);
        }
        ahead.clear();
        aheadFrames = 0;
        aheadEnd = kOk;
    }

    void resetDecodeState()
    {
        dropAhead();
        pending.clear();
        pendingOffset = 0;
        flushing = false;
        ended = false;
        syncToTimestamp = false;
    }

    int32_t open()
    {
        static std::once_flag quiet;
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
        int r = avformat_open_input(&fmt, path.c_str(), nullptr, nullptr);
        if (r == AVERROR(ENOENT))
            return kFileNotFound;
        if (r < 0)
            return kInvalidFileFormat;
        if (avformat_find_stream_info(fmt, nullptr) < 0)
            return kInvalidFileFormat;
        const AVCodec* dec = nullptr;
        streamIndex = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &dec, 0);
        if (streamIndex == AVERROR_STREAM_NOT_FOUND)
            return kNoStream;
        if (streamIndex < 0 || !dec)
            return kUnsupportedStream;
        AVStream* st = fmt->streams[streamIndex];
        codec = avcodec_alloc_context3(dec);
        if (!codec || avcodec_parameters_to_context(codec, st->codecpar) < 0)
            return kUnsupportedStream;
        codec->pkt_timebase = st->time_base;
        if (avcodec_open2(codec, dec, nullptr) < 0)
            return kUnsupportedStream;
        int channels = codec->ch_layout.nb_channels;
        int bits = outputBits(st->codecpar);
        if (codec->sample_rate <= 0 || codec->sample_rate > kMaxSampleRate || channels <= 0 || channels > 255)
            return kUnsupportedStream;
        wave = snd::WaveFormat::pcm(static_cast<uint32_t>(codec->sample_rate),
                                    static_cast<uint16_t>(channels), static_cast<uint16_t>(bits));
        exactTimestamps = isPcmCodec(st->codecpar->codec_id);
        duration = streamDuration(st);
        const AVCodecID id = st->codecpar->codec_id;
        durationGuessed = fmt->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE &&
                          (id == AV_CODEC_ID_MP1 || id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP3);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        return (packet && frame) ? kOk : kUnsupportedStream;
    }

    int64_t streamDuration(const AVStream* st) const
    {
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            return av_rescale(st->duration, int64_t(st->time_base.num) * kTimeUnitsPerSecond,
                              st->time_base.den);
        if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0)
            return av_rescale(fmt->duration, kTimeUnitsPerSecond, AV_TIME_BASE);
        return 0;
    }

    // The next frame into `frame`: the oldest decoded ahead, else a new one. Returns kOk,
    // kEndOfStream or a failure.
    int32_t nextFrame()
    {
        if (ahead.empty())
            return aheadEnd != kOk ? std::exchange(aheadEnd, kOk) : decodeFrame();
        AVFrame* f = ahead.front();
        ahead.pop_front();
        aheadFrames -= f->nb_samples;
        av_frame_unref(frame);
        av_frame_move_ref(frame, f);
        spareFrames.push_back(f);
        return kOk;
    }

    // Decodes one frame ahead of the reads; false when it stopped (at the end or a failure,
    // which the read that reaches it returns).
    bool decodeAhead()
    {
        if (aheadEnd != kOk)
            return false;
        AVFrame* f = nullptr;
        if (spareFrames.empty()) {
            if (!(f = av_frame_alloc()))
                return false;
        } else {
            f = spareFrames.back();
            spareFrames.pop_back();
        }
        const int32_t r = decodeFrame();
        if (r != kOk) {
            spareFrames.push_back(f);
            aheadEnd = r;
            return false;
        }
        av_frame_move_ref(f, frame);
        ahead.push_back(f);
        aheadFrames += f->nb_samples;
        return true;
    }

    // Decodes the next frame of the file into `frame`. Returns kOk, kEndOfStream or a failure.
    int32_t decodeFrame()
    {
        int bad = 0;
        for (;;) {
            int r = avcodec_receive_frame(codec, frame);
            if (r == 0)
                return kOk;
            if (r == AVERROR_EOF)
                return kEndOfStream;
            if (r != AVERROR(EAGAIN) && ++bad > kMaxBadPacketsInARow)
                return kEndOfStream;
            if (flushing)
                return kEndOfStream;
            r = av_read_frame(fmt, packet);
            if (r == AVERROR_EOF || (r < 0 && avio_feof(fmt->pb))) {
                flushing = true;
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            if (r < 0)
                return kReadFault;
            if (packet->stream_index == streamIndex && avcodec_send_packet(codec, packet) < 0)
                ++bad;
            av_packet_unref(packet);
            if (bad > kMaxBadPacketsInARow)
                return kEndOfStream;
        }
    }

    bool prepareConverter()
    {
        if (swr && swrRate == frame->sample_rate && swrFormat == frame->format &&
            av_channel_layout_compare(&swrLayout, &frame->ch_layout) == 0)
            return true;
        swr_free(&swr);
        av_channel_layout_uninit(&swrLayout);
        AVChannelLayout in{}, out{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0)
            av_channel_layout_default(&in, frame->ch_layout.nb_channels ? frame->ch_layout.nb_channels
                                                                        : wave.channels);
        else
            av_channel_layout_copy(&in, &frame->ch_layout);
        av_channel_layout_default(&out, wave.channels);
        int r = swr_alloc_set_opts2(&swr, &out, sampleFormatFor(wave.bitsPerSample),
                                    static_cast<int>(wave.samplesPerSec), &in,
                                    static_cast<AVSampleFormat>(frame->format), frame->sample_rate,
                                    0, nullptr);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        if (r < 0 || swr_init(swr) < 0) {
            swr_free(&swr);
            return false;
        }
        swrRate = frame->sample_rate;
        swrFormat = frame->format;
        av_channel_layout_copy(&swrLayout, &frame->ch_layout);
        return true;
    }

    // Converts `frame` straight into `dst` when all of it fits in `room` bytes and needs no
    // repacking, setting `wrote`; otherwise appends it to the pending bytes (`wrote` 0).
    int32_t convertFrameInto(uint8_t* dst, size_t room, size_t& wrote)
    {
        wrote = 0;
        if (!prepareConverter())
            return kUnsupportedStream;
        const int outFrames = swr_get_out_samples(swr, frame->nb_samples);
        const size_t frameBytes = size_t(av_get_bytes_per_sample(sampleFormatFor(wave.bitsPerSample))) * wave.channels;
        if (wave.bitsPerSample == 24 || outFrames < 0 || size_t(outFrames) * frameBytes > room)
            return convertFrame();
        const int got = swr_convert(swr, &dst, outFrames, const_cast<const uint8_t**>(frame->extended_data),
                                    frame->nb_samples);
        if (got < 0)
            return kUnsupportedStream;
        wrote = size_t(got) * frameBytes;
        return kOk;
    }

    // Converts `frame` and appends it to the pending bytes.
    int32_t convertFrame()
    {
        if (!prepareConverter())
            return kUnsupportedStream;
        int outFrames = swr_get_out_samples(swr, frame->nb_samples);
        int sampleBytes = av_get_bytes_per_sample(sampleFormatFor(wave.bitsPerSample));
        size_t frameBytes = size_t(sampleBytes) * wave.channels;
        compactPending();
        size_t old = pending.size();
        pending.resize(old + size_t(std::max(outFrames, 0)) * frameBytes);
        uint8_t* out = pending.data() + old;
        int got = swr_convert(swr, &out, outFrames, const_cast<const uint8_t**>(frame->extended_data),
                              frame->nb_samples);
        if (got < 0) {
            pending.resize(old);
            return kUnsupportedStream;
        }
        pending.resize(old + size_t(got) * frameBytes);
        if (wave.bitsPerSample == 24)
            packTo24Bits(old);
        return kOk;
    }

    // swr has no packed 24-bit format: keep the top three bytes of each 32-bit sample.
    void packTo24Bits(size_t from)
    {
        size_t samples = (pending.size() - from) / 4;
        uint8_t* p = pending.data() + from;
        for (size_t i = 0; i < samples; ++i)
            std::memmove(p + i * 3, p + i * 4 + 1, 3);
        pending.resize(from + samples * 3);
    }

    void compactPending()
    {
        if (pendingOffset == 0)
            return;
        pending.erase(pending.begin(), pending.begin() + static_cast<ptrdiff_t>(pendingOffset));
        pendingOffset = 0;
    }

    size_t pendingFrames() const { return (pending.size() - pendingOffset) / wave.blockAlign; }

    void syncPosition()
    {
        if (!syncToTimestamp)
            return;
        syncToTimestamp = false;
        AVStream* st = fmt->streams[streamIndex];
        int64_t pts = frame->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE)
            return;
        if (st->start_time != AV_NOPTS_VALUE)
            pts -= st->start_time;
        position = av_rescale_q(pts, st->time_base, AVRational{1, int(wave.samplesPerSec)});
    }

    // Makes sure there is data: decodes frames until one lands in pending or straight in
    // `dst` (up to `room` bytes, `wrote` set), which spares a copy of every sample while the
    // caller's request is larger than a frame. kEndOfStream when there is none left.
    int32_t fill(uint8_t* dst, size_t room, size_t& wrote)
    {
        wrote = 0;
        while (pendingFrames() == 0 && wrote == 0) {
            if (ended)
                return kEndOfStream;
            int32_t r = nextFrame();
            if (r != kOk) {
                ended = r == kEndOfStream;
                return r;
            }
            syncPosition();
            if ((r = convertFrameInto(dst, room, wrote)) != kOk)
                return r;
        }
        return kOk;
    }

    // Drops decoded frames up to `target`, skipping conversion of whole frames before it.
    int32_t skipTo(int64_t target)
    {
        while (syncToTimestamp || position < target) {
            if (pendingFrames() == 0 && !ended) {
                int32_t r = nextFrame();
                if (r != kOk) {
                    ended = r == kEndOfStream;
                    return r == kEndOfStream ? kOk : r;
                }
                syncPosition();
                if (position + frame->nb_samples <= target && frame->sample_rate == int(wave.samplesPerSec)) {
                    position += frame->nb_samples;
                    continue;
                }
                if ((r = convertFrame()) != kOk)
                    return r;
            }
            size_t avail = pendingFrames();
            if (avail == 0 || position >= target)
                return kOk;  // past the end (stays there), or landed exactly
            size_t drop = size_t(std::min<int64_t>(int64_t(avail), target - position));
            pendingOffset += drop * wave.blockAlign;
            position += int64_t(drop);
        }
        return kOk;
    }

    int32_t rewind()
    {
        if (exactTimestamps) {
            if (av_seek_frame(fmt, streamIndex, fmt->streams[streamIndex]->start_time == AV_NOPTS_VALUE
                                                    ? 0 : fmt->streams[streamIndex]->start_time,
                              AVSEEK_FLAG_BACKWARD) >= 0) {
                avcodec_flush_buffers(codec);
                resetDecodeState();
                position = 0;
                return kOk;
            }
        }
        // Compressed streams restart from the top, where every decoder state is known.
        release();
        return open();
    }

    // A compressed stream sent back restarts only when it is next read: a stream played to
    // its end and sent back to the start for a next play that never comes (another file is
    // opened) is not reopened for nothing, and seeks that follow cost no restart each.
    void restartLater(int64_t target)
    {
        resetDecodeState();
        restartDue = true;
        position = target;
    }

    // The restart restartLater left, if any; its failure is the failure of the read that
    // makes it.
    int32_t settle()
    {
        if (!restartDue)
            return kOk;
        const int64_t target = position;
        int32_t r = rewind();  // clears restartDue
        return r == kOk ? skipTo(target) : r;
    }

    int32_t seekDirect(int64_t target)
    {
        AVStream* st = fmt->streams[streamIndex];
        int64_t ts = av_rescale_q(target, AVRational{1, int(wave.samplesPerSec)}, st->time_base);
        if (st->start_time != AV_NOPTS_VALUE)
            ts += st->start_time;
        if (av_seek_frame(fmt, streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0)
            return rewind();
        avcodec_flush_buffers(codec);
        resetDecodeState();
        syncToTimestamp = true;
        position = target;  // replaced by the first frame's timestamp
        return kOk;
    }
};

MediaStream::MediaStream() : d(std::make_unique<Impl>()) {}
MediaStream::~MediaStream() = default;

int32_t MediaStream::open(const std::string& path)
{
    close();
    d->path = path;
    int32_t r = d->open();
    if (r != kOk)
        close();
    return r;
}

void MediaStream::close()
{
    d->release();
    d->wave = {};
    d->duration = 0;
    d->durationGuessed = false;
    d->sampleStart = d->sampleEnd = 0;
}

bool MediaStream::isOpen() const { return d->codec != nullptr; }
const snd::WaveFormat& MediaStream::format() const { return d->wave; }
int64_t MediaStream::duration() const { return d->duration; }
bool MediaStream::durationGuessedFromBitRate() const { return d->durationGuessed; }
int64_t MediaStream::position() const { return d->position; }
int64_t MediaStream::sampleStart() const { return d->sampleStart; }
int64_t MediaStream::sampleEnd() const { return d->sampleEnd; }

int64_t MediaStream::framesToTime(int64_t frames) const
{
    // Times round down and frames round up, so that every frame survives the round trip.
    return d->wave.samplesPerSec
        ? av_rescale_rnd(frames, kTimeUnitsPerSecond, d->wave.samplesPerSec, AV_ROUND_DOWN) : 0;
}

int64_t MediaStream::timeToFrames(int64_t time) const
{
    return av_rescale_rnd(time, d->wave.samplesPerSec, kTimeUnitsPerSecond, AV_ROUND_UP);
}

int32_t MediaStream::read(uint8_t* dst, uint32_t size, uint32_t& actual)
{
    actual = 0;
    if (!isOpen())
        return kNotOpen;
    int32_t r = d->settle();
    if (r != kOk)
        return r;
    size -= size % d->wave.blockAlign;
    while (actual < size) {
        size_t wrote = 0;
        if ((r = d->fill(dst + actual, size - actual, wrote)) != kOk)
            break;
        actual += static_cast<uint32_t>(wrote);
        size_t n = std::min<size_t>(size - actual, d->pending.size() - d->pendingOffset);
        if (n > 0)  // an empty pending buffer has no data pointer at all
            std::memcpy(dst + actual, d->pending.data() + d->pendingOffset, n);
        d->pendingOffset += n;
        actual += static_cast<uint32_t>(n);
    }
    if (actual == 0 && r != kOk)
        return r;
    d->sampleStart = framesToTime(d->position);
    d->position += actual / d->wave.blockAlign;
    d->sampleEnd = framesToTime(d->position);
    return kOk;
}

bool MediaStream::prefetch(uint32_t maxBytes)
{
    if (!isOpen() || d->restartDue || d->ended || d->aheadFrames * d->wave.blockAlign >= maxBytes)
        return false;
    return d->decodeAhead();
}

int32_t MediaStream::seek(int64_t time)
{
    if (!isOpen())
        return kNotOpen;
    int64_t target = std::max<int64_t>(0, timeToFrames(time));
    int32_t r = kOk;
    if (d->restartDue || (!d->exactTimestamps && target < d->position))
        d->restartLater(target);
    else if (target != d->position) {
        if (d->exactTimestamps)
            r = d->seekDirect(target);
        if (r == kOk)
            r = d->skipTo(target);
    }
    d->sampleStart = d->sampleEnd = time;
    return r;
}

std::string MediaStream::errorText(int32_t result)
{
    switch (result) {
    case kFileNotFound: return "The system cannot find the file specified.";
    case kInvalidFileFormat: return "The file format is invalid.";
    case kUnsupportedStream: return "Cannot play back the file.  The format is not supported.";
    case kReadFault: return "The system cannot read from the specified device.";
    default: return "";
    }
}

}  // namespace media
