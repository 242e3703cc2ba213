#include "platform/lame/Mp3Encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <map>
#include <memory>
#include <unistd.h>
#include <vector>

namespace lame {

namespace {

struct StreamState {
    lame_global_flags* gf = nullptr;
    int channels = 2;
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t outputSize = 0;
    bool vbrHeader = false;
    bool flushed = false;
};

constexpr std::uint8_t kLayerMajor = 1, kLayerMinor = 0;
constexpr std::uint32_t kFrameSamples = 1152;
// libmp3lame's worst case for one call: 1.25 bytes a sample per channel plus 7,200 (which is
// also what the flush needs).
constexpr std::uint32_t kOutputSize = kFrameSamples * 5 / 4 + 7200;

constexpr std::uint32_t kMpeg1Rates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::uint32_t kMpeg2Rates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::uint32_t kSampleRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int kPresetQuality[] = {5, 7, 2, 5};

// Open streams by handle: a stale handle finds nothing instead of freed memory.
std::mutex liveMutex;
std::map<BeStream, std::unique_ptr<StreamState>> live;
BeStream lastHandle = 0;

StreamState* find(BeStream stream)
{
    std::lock_guard lock(liveMutex);
    auto it = live.find(stream);
    return it == live.end() ? nullptr : it->second.get();
}

// The stream that may still give output, with nothing written yet.
std::uint32_t openForOutput(BeStream stream, std::uint32_t& written, StreamState*& s)
{
    written = 0;
    s = find(stream);
    return !s ? BE_BAD_HANDLE : s->flushed ? BE_FINISHED : BE_OK;
}

bool validBitrate(std::uint32_t kbps, std::uint32_t outRate)
{
    const auto& table = outRate >= 32000 ? kMpeg1Rates : kMpeg2Rates;
    return std::find(std::begin(table), std::end(table), kbps) != std::end(table);
}

bool validConfig(const BeConfig& c)
{
    const std::uint32_t out = c.ReSampleRate ? c.ReSampleRate : c.SampleRate;
    const bool mpegRate = std::find(std::begin(kSampleRates), std::end(kSampleRates), out) != std::end(kSampleRates);
    return c.Config == BE_CONFIG_LAME && c.StructVersion == BE_CONFIG_VERSION && c.StructSize == sizeof(BeConfig) &&
           c.SampleRate >= 8000 && c.SampleRate <= 192000 && mpegRate && c.Mode >= 0 && c.Mode <= 3 &&
           c.Preset >= 0 && c.Preset <= 3 && c.MpegVersion <= 1 && c.PsyModel == 0 &&
           (c.Emphasis == 0 || c.Emphasis == 1 || c.Emphasis == 3) && validBitrate(c.Bitrate, out) &&
           (!c.EnableVBR || (validBitrate(c.MaxBitrate, out) && c.MaxBitrate >= c.Bitrate)) &&
           c.VBRQuality >= 0 && c.VBRQuality <= 9 && c.VbrAbrBps == 0 && c.VbrMethod == 0 && c.Quality == 0;
}

// libmp3lame's SSE code runs up to half as fast while the upper halves of the AVX registers
// are in use, as the C library's wide copy and fill routines may leave them in the code that
// runs between two chunks (the window's event handlers). VZEROUPPER clears that state.
void clearUpperVectorState()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx) {
        // The vector registers are named so that no code built for AVX keeps a value in one
        // across the instruction.
        __asm__ volatile("vzeroupper" ::: "memory", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7"
#if defined(__x86_64__)
                         , "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15"
#endif
        );
    }
#endif
}

void silent(const char*, va_list) {}

// Sets every field; any refusal by libmp3lame counts as a bad configuration.
bool apply(lame_global_flags* gf, const BeConfig& c)
{
    const int channels = c.Mode == BE_MODE_MONO ? 1 : 2;
    const int out = int(c.ReSampleRate ? c.ReSampleRate : c.SampleRate);
    int r = 0;
    r |= lame_set_errorf(gf, silent) | lame_set_debugf(gf, silent) | lame_set_msgf(gf, silent);
    r |= lame_set_in_samplerate(gf, int(c.SampleRate));
    r |= lame_set_out_samplerate(gf, out);
    r |= lame_set_num_channels(gf, channels);
    r |= lame_set_mode(gf, MPEG_mode(c.Mode));
    r |= lame_set_quality(gf, kPresetQuality[c.Preset]);
    r |= lame_set_lowpassfreq(gf, c.Preset == BE_PRESET_VOICE ? 12000 : 0);
    r |= lame_set_emphasis(gf, int(c.Emphasis));
    r |= lame_set_extension(gf, c.Private ? 1 : 0);
    r |= lame_set_error_protection(gf, c.CRC ? 1 : 0);
    r |= lame_set_copyright(gf, c.Copyright ? 1 : 0);
    r |= lame_set_original(gf, c.Original ? 1 : 0);
    r |= lame_set_bWriteVbrTag(gf, c.WriteVBRHeader ? 1 : 0);
    r |= lame_set_disable_reservoir(gf, c.NoRes ? 1 : 0);
    r |= lame_set_strict_ISO(gf, c.StrictIso ? 1 : 0);
    r |= lame_set_findReplayGain(gf, 0);
    lame_set_write_id3tag_automatic(gf, 0);
    if (c.EnableVBR) {
        r |= lame_set_VBR(gf, vbr_default);
        r |= lame_set_VBR_q(gf, c.VBRQuality);
        r |= lame_set_VBR_min_bitrate_kbps(gf, int(c.Bitrate));
        r |= lame_set_VBR_max_bitrate_kbps(gf, int(c.MaxBitrate));
    } else {
        r |= lame_set_VBR(gf, vbr_off);
        r |= lame_set_brate(gf, int(c.Bitrate));
    }
    return r == 0 && lame_init_params(gf) >= 0;
}

}  // namespace

void beVersion(BeVersion& version)
{
    lame_version_t v{};
    get_lame_version_numerical(&v);
    version.DLLMajorVersion = kLayerMajor;
    version.DLLMinorVersion = kLayerMinor;
    version.MajorVersion = std::uint8_t(v.major);
    version.MinorVersion = std::uint8_t(v.minor);
    version.AlphaLevel = std::uint8_t(v.alpha);
    version.BetaLevel = std::uint8_t(v.beta);
    version.HomePage = get_lame_url();
}

std::uint32_t beInitStream(const BeConfig& config, std::uint32_t& SamplesPerChunk,
                           std::uint32_t& OutputBufferSize, BeStream& stream)
{
    stream = 0;
    if (!validConfig(config))
        return BE_BAD_CONFIG;
    lame_global_flags* gf = lame_init();
    if (!gf)
        return BE_ENCODER_FAILED;
    if (!apply(gf, config)) {
        lame_close(gf);
        return BE_BAD_CONFIG;
    }
    auto s = std::make_unique<StreamState>();
    s->gf = gf;
    s->channels = config.Mode == BE_MODE_MONO ? 1 : 2;
    s->samplesPerChunk = kFrameSamples * std::uint32_t(s->channels);
    s->outputSize = kOutputSize;
    s->vbrHeader = config.WriteVBRHeader != 0;
    SamplesPerChunk = s->samplesPerChunk;
    OutputBufferSize = s->outputSize;
    std::lock_guard lock(liveMutex);
    stream = ++lastHandle;
    live.emplace(stream, std::move(s));
    return BE_OK;
}

std::uint32_t beEncodeChunk(BeStream stream, std::uint32_t samples, const std::int16_t* pcm,
                            std::uint8_t* output, std::uint32_t& written)
{
    StreamState* s = nullptr;
    if (const std::uint32_t r = openForOutput(stream, written, s))
        return r;
    if (samples > s->samplesPerChunk)
        return BE_TOO_MANY_SAMPLES;
    const int frames = int(samples) / s->channels;
    if (frames == 0)
        return BE_OK;
    // libmp3lame takes non-const buffers but only reads them.
    auto* in = const_cast<short*>(reinterpret_cast<const short*>(pcm));
    clearUpperVectorState();
    const int n = s->channels == 1 ? lame_encode_buffer(s->gf, in, in, frames, output, int(s->outputSize))
                                   : lame_encode_buffer_interleaved(s->gf, in, frames, output, int(s->outputSize));
    if (n < 0)
        return BE_ENCODER_FAILED;
    written = std::uint32_t(n);
    return BE_OK;
}

std::uint32_t beDeinitStream(BeStream stream, std::uint8_t* output, std::uint32_t& written)
{
    StreamState* s = nullptr;
    if (const std::uint32_t r = openForOutput(stream, written, s))
        return r;
    s->flushed = true;
    clearUpperVectorState();
    const int n = lame_encode_flush(s->gf, output, int(s->outputSize));
    if (n < 0)
        return BE_ENCODER_FAILED;
    written = std::uint32_t(n);
    return BE_OK;
}

std::uint32_t beCloseStream(BeStream stream)
{
    std::unique_ptr<StreamState> s;
    {
        std::lock_guard lock(liveMutex);
        auto it = live.find(stream);
        if (it == live.end())
            return BE_BAD_HANDLE;
        s = std::move(it->second);
        live.erase(it);
    }
    lame_close(s->gf);
    return BE_OK;
}

std::uint32_t MpegOutputRate(std::uint32_t inputRate)
{
    std::uint32_t out = 0;
    for (std::uint32_t rate : kSampleRates)
        if (rate <= inputRate)
            out = rate;
    return out;
}

std::uint32_t beWriteVBRHeader(BeStream stream, const std::string& mp3Path)
{
    StreamState* s = find(stream);
    if (!s)
        return BE_BAD_HANDLE;
    if (!s->vbrHeader)
        return BE_OK;
    if (!s->flushed)
        return BE_FILE_FAILED;
    std::vector<std::uint8_t> frame(2880);
    const std::size_t size = lame_get_lametag_frame(s->gf, frame.data(), frame.size());
    if (size == 0 || size > frame.size())
        return BE_FILE_FAILED;
    const int fd = ::open(mp3Path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return BE_FILE_FAILED;
    // The placeholder has the finished frame's header; anything else means the file is not
    // (or no longer) this stream's.
    std::uint8_t head[4];
    bool ok = ::pread(fd, head, sizeof head, 0) == ssize_t(sizeof head) && size >= sizeof head &&
              std::memcmp(head, frame.data(), 2) == 0;
    ok = ok && ::pwrite(fd, frame.data(), size, 0) == ssize_t(size);
    ok = (::close(fd) == 0) && ok;
    return ok ? BE_OK : BE_FILE_FAILED;
}

}  // namespace lame
