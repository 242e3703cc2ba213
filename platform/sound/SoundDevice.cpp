#include "platform/sound/SoundDevice.h"

#include "platform/sound/AlsaSoundDevice.h"
#include "platform/sound/NullSoundDevice.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace snd {

namespace {

constexpr uint64_t kOne = uint64_t(1) << 32;  // one frame in the 32.32 read position

bool playableFormat(const WaveFormat& f)
{
    return f.formatTag == WaveFormat::kPcm && (f.channels == 1 || f.channels == 2) &&
           (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
           f.blockAlign == f.channels * f.bitsPerSample / 8 &&
           f.samplesPerSec >= SoundBuffer::kMinFrequency && f.samplesPerSec <= SoundBuffer::kMaxFrequency;
}

// Round to nearest, ties to even, like lrint, without the library call lrint costs per sample.
inline int roundToInt(float v)
{
#if defined(__SSE2__)
    return _mm_cvtss_si32(_mm_set_ss(v));
#else
    return int(std::lrint(v));
#endif
}

// Attenuation in 1/100 dB to a linear factor; the bottom of the range is silence.
float attenuation(int32_t hundredthsDb)
{
    if (hundredthsDb <= SoundBuffer::kVolumeMin)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, hundredthsDb / 2000.0));
}

}  // namespace

void copyToBuffer(void* dst, const void* src, size_t bytes)
{
    auto* d = static_cast<uint8_t*>(dst);
    auto* s = static_cast<const uint8_t*>(src);
#if defined(__SSE2__)
    const size_t head = std::min(bytes, size_t(-reinterpret_cast<uintptr_t>(d) & 15));
    std::memcpy(d, s, head);
    d += head;
    s += head;
    bytes -= head;
    for (; bytes >= 64; bytes -= 64, d += 64, s += 64)
        for (int i = 0; i < 64; i += 16)
            _mm_stream_si128(reinterpret_cast<__m128i*>(d + i),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
    _mm_sfence();  // the stores are seen before the buffer is unlocked
#endif
    std::memcpy(d, s, bytes);
}

// ---- SoundBuffer -----------------------------------------------------------------------

SoundBuffer::SoundBuffer(std::shared_ptr<SoundDevice> device, const BufferDesc& desc)
    : device_(std::move(device)), desc_(desc), data_(desc.bufferBytes,
                                                     desc.format.bitsPerSample == 8 ? 0x80 : 0),
      frequency_(desc.format.samplesPerSec)
{
}

SoundBuffer::~SoundBuffer() { device_->detach(this); }

int32_t SoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** p1, uint32_t* n1, void** p2,
                          uint32_t* n2)
{
    std::lock_guard lk(device_->lock_);
    if (lost_)
        return result::kBufferLost;
    if (!p1 || !n1 || offset >= size() || bytes == 0 || bytes > size())
        return result::kInvalidParam;
    uint32_t first = std::min(bytes, size() - offset);
    *p1 = data_.data() + offset;
    *n1 = first;
    if (p2 && n2) {
        *p2 = bytes > first ? data_.data() : nullptr;
        *n2 = bytes - first;
    } else if (bytes > first) {
        return result::kInvalidParam;
    }
    return result::kOk;
}

int32_t SoundBuffer::Unlock(void* p1, uint32_t n1, void*, uint32_t)
{
    std::lock_guard lk(device_->lock_);
    if (lost_)
        return result::kBufferLost;
    auto* p = static_cast<uint8_t*>(p1);
    if (!p || p < data_.data() || p + n1 > data_.data() + data_.size())
        return result::kInvalidParam;
    return result::kOk;
}

int32_t SoundBuffer::Play(uint32_t flags)
{
    std::lock_guard lk(device_->lock_);
    if (lost_)
        return result::kBufferLost;
    looping_ = flags & kPlayLooping;
    if (!playing_) {
        playing_ = true;
        consumed_ = 0;
        held_ = 0;
    }
    return result::kOk;
}

int32_t SoundBuffer::Stop()
{
    std::lock_guard lk(device_->lock_);
    if (playing_) {
        // Resume where the listener stopped hearing, not where the device had read to.
        pos_ = uint64_t(audibleFrame()) << 32;
        playing_ = false;
        resetStage();
    }
    return result::kOk;
}

uint32_t SoundBuffer::audibleFrame() const
{
    uint64_t back = std::min<uint64_t>(held_, consumed_);
    uint64_t n = frames();
    return static_cast<uint32_t>(((pos_ >> 32) + n - back % n) % n);
}

int32_t SoundBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write)
{
    std::lock_guard lk(device_->lock_);
    uint32_t block = desc_.format.blockAlign;
    if (play)
        *play = (playing_ ? audibleFrame() : uint32_t(pos_ >> 32)) * block;
    if (write)
        *write = uint32_t(((pos_ >> 32) + (playing_ ? 1 : 0)) % frames()) * block;
    return result::kOk;
}

int32_t SoundBuffer::SetCurrentPosition(uint32_t offset)
{
    std::lock_guard lk(device_->lock_);
    if (lost_)
        return result::kBufferLost;
    if (offset >= size())
        return result::kInvalidParam;
    pos_ = uint64_t(offset / desc_.format.blockAlign) << 32;
    consumed_ = 0;
    resetStage();
    return result::kOk;
}

int32_t SoundBuffer::GetStatus(uint32_t* s)
{
    std::lock_guard lk(device_->lock_);
    if (!s)
        return result::kInvalidParam;
    *s = (playing_ ? status::kPlaying : 0) | (playing_ && looping_ ? status::kLooping : 0) |
         (lost_ ? status::kBufferLost : 0);
    return result::kOk;
}

int32_t SoundBuffer::SetFrequency(uint32_t hz)
{
    std::lock_guard lk(device_->lock_);
    if (!(desc_.flags & caps::kCtrlFrequency))
        return result::kControlUnavailable;
    if (hz == 0)
        hz = desc_.format.samplesPerSec;
    if (hz < kMinFrequency || hz > kMaxFrequency)
        return result::kInvalidParam;
    frequency_ = hz;
    return result::kOk;
}

int32_t SoundBuffer::GetFrequency(uint32_t* hz)
{
    std::lock_guard lk(device_->lock_);
    if (!hz)
        return result::kInvalidParam;
    *hz = frequency_;
    return result::kOk;
}

int32_t SoundBuffer::SetVolume(int32_t v)
{
    std::lock_guard lk(device_->lock_);
    if (!(desc_.flags & caps::kCtrlVolume))
        return result::kControlUnavailable;
    if (v < kVolumeMin || v > 0)
        return result::kInvalidParam;
    volume_ = v;
    return result::kOk;
}

int32_t SoundBuffer::GetVolume(int32_t* v)
{
    std::lock_guard lk(device_->lock_);
    if (!v)
        return result::kInvalidParam;
    *v = volume_;
    return result::kOk;
}

int32_t SoundBuffer::SetPan(int32_t p)
{
    std::lock_guard lk(device_->lock_);
    if (!(desc_.flags & caps::kCtrlPan))
        return result::kControlUnavailable;
    if (p < kPanLeft || p > kPanRight)
        return result::kInvalidParam;
    pan_ = p;
    return result::kOk;
}

int32_t SoundBuffer::GetPan(int32_t* p)
{
    std::lock_guard lk(device_->lock_);
    if (!p)
        return result::kInvalidParam;
    *p = pan_;
    return result::kOk;
}

int32_t SoundBuffer::SetFX(std::vector<std::shared_ptr<SoundEffect>> chain)
{
    std::lock_guard lk(device_->lock_);
    if (lost_)
        return result::kBufferLost;
    if (!(desc_.flags & caps::kCtrlFx))
        return result::kControlUnavailable;
    if (playing_)
        return result::kInvalidCall;
    if (std::any_of(chain.begin(), chain.end(), [](auto& e) { return !e; }))
        return result::kInvalidParam;
    for (auto& e : chain)
        e->prepare(int(desc_.format.samplesPerSec), desc_.format.channels);
    chain_ = std::move(chain);
    resetStage();
    return result::kOk;
}

int32_t SoundBuffer::GetObjectInPath(uint32_t index, SoundEffect** effect)
{
    std::lock_guard lk(device_->lock_);
    if (!effect)
        return result::kInvalidParam;
    *effect = index < chain_.size() ? chain_[index].get() : nullptr;
    return *effect ? result::kOk : result::kObjectNotFound;
}

void SoundBuffer::resetStage()
{
    stageFrames_ = 0;
    stageBase_ = uint32_t(pos_ >> 32);
}

// Brings stage_ to hold `needed` frames from the cursor's frame, converting and running the
// effect chain only on frames not staged before.
void SoundBuffer::stage(size_t needed)
{
    const uint32_t n = frames();
    const uint32_t base = uint32_t(pos_ >> 32);
    const int ch = desc_.format.channels;
    size_t advanced = (size_t(base) + n - stageBase_) % n;
    if (advanced >= stageFrames_) {
        stageFrames_ = 0;
    } else if (advanced > 0) {
        std::memmove(stage_.data(), stage_.data() + advanced * ch, (stageFrames_ - advanced) * ch * sizeof(float));
        stageFrames_ -= advanced;
    }
    stageBase_ = base;
    if (stageFrames_ >= needed)
        return;
    if (stage_.size() < needed * ch)
        stage_.resize(needed * ch);
    const size_t from = stageFrames_;
    const bool eight = desc_.format.bitsPerSample == 8;
    for (size_t i = from; i < needed; ++i) {
        const uint8_t* src = data_.data() + size_t((base + i) % n) * desc_.format.blockAlign;
        float* dst = stage_.data() + i * ch;
        for (int c = 0; c < ch; ++c) {
            if (eight) {
                dst[c] = (int(src[c]) - 128) * (1.0f / 128.0f);
            } else {
                int16_t s;
                std::memcpy(&s, src + 2 * c, 2);
                dst[c] = s * (1.0f / 32768.0f);
            }
        }
    }
    for (auto& e : chain_)
        e->process(stage_.data() + from * ch, needed - from);
    stageFrames_ = needed;
}

float SoundBuffer::gainFor(int channel) const
{
    float g = attenuation(volume_);
    if (channel == 0 && pan_ > 0)
        g *= attenuation(-pan_);
    if (channel == 1 && pan_ < 0)
        g *= attenuation(pan_);
    return g;
}

void SoundBuffer::mixInto(float* out, size_t count, const WaveFormat& output, size_t heldOut)
{
    if (!playing_ || lost_)
        return;
    const uint64_t n = frames();
    const uint64_t step = (uint64_t(frequency_) << 32) / output.samplesPerSec;
    // Source frames this call reads: the whole span plus one for the interpolation.
    size_t needed = size_t((((pos_ & (kOne - 1)) + step * count) >> 32) + 2);
    stage(std::min<size_t>(needed, n + 1));
    const int inCh = desc_.format.channels, outCh = output.channels;
    const float gl = gainFor(0), gr = gainFor(1);
    uint64_t local = pos_ & (kOne - 1);  // position relative to stageBase_
    size_t i = 0;
    for (; i < count; ++i) {
        size_t k = size_t(local >> 32);
        if (k + 1 >= stageFrames_)
            break;  // only when the staging was capped at one turn of the ring
        float t = float(local & (kOne - 1)) * (1.0f / 4294967296.0f);
        const float* a = stage_.data() + k * inCh;
        const float* b = a + inCh;
        float l = a[0] + (b[0] - a[0]) * t;
        float r = inCh == 2 ? a[1] + (b[1] - a[1]) * t : l;
        float* o = out + i * outCh;
        if (outCh == 2) {
            o[0] += l * gl;
            o[1] += r * gr;
        } else {
            o[0] += (l * gl + r * gr) * 0.5f;
        }
        local += step;
        if (!looping_ && (stageBase_ + (local >> 32)) >= n) {
            playing_ = false;  // a one-shot buffer stops at its end
            ++i;
            break;
        }
    }
    uint64_t moved = local >> 32;
    consumed_ += moved;
    pos_ = ((uint64_t((stageBase_ + moved) % n)) << 32) | (local & (kOne - 1));
    if (!playing_)
        pos_ = 0;
    // After a whole turn of the ring (or the end of a one-shot play) the cursor's distance no
    // longer tells which staged frames were used: stage afresh, or frames written since would
    // be replaced by the ones staged a turn before.
    if (!playing_ || moved >= n)
        resetStage();
    held_ = size_t(uint64_t(heldOut) * frequency_ / output.samplesPerSec);
}

bool SoundBuffer::passesStraight(const WaveFormat& output) const
{
    return playing_ && !lost_ && chain_.empty() && volume_ == 0 && pan_ == 0 &&
           frequency_ == output.samplesPerSec && (pos_ & (kOne - 1)) == 0 &&
           desc_.format.bitsPerSample == 16 && output.bitsPerSample == 16 &&
           desc_.format.channels == output.channels;
}

void SoundBuffer::copyInto(uint8_t* out, size_t count, size_t heldOut)
{
    const uint32_t n = frames();
    const uint32_t base = uint32_t(pos_ >> 32);
    const size_t block = desc_.format.blockAlign;
    // As mixInto: at most one turn of the ring a call, and a one-shot buffer stops at its end.
    size_t take = std::min<size_t>(count, n);
    if (!looping_)
        take = std::min<size_t>(take, n - base);
    const size_t first = std::min<size_t>(take, n - base);
    std::memcpy(out, data_.data() + size_t(base) * block, first * block);
    std::memcpy(out + first * block, data_.data(), (take - first) * block);
    std::memset(out + take * block, 0, (count - take) * block);
    if (!looping_ && base + take >= n)
        playing_ = false;
    consumed_ += take;
    pos_ = playing_ ? uint64_t((base + take) % n) << 32 : 0;
    held_ = heldOut;
    resetStage();
}

// ---- SoundDevice -----------------------------------------------------------------------

std::vector<SoundDevice::Info> SoundDevice::enumerate()
{
    std::vector<Info> list{{"Primary Sound Driver", ""}};
    for (auto& d : AlsaSoundDevice::devices())
        if (d.id != "default")
            list.push_back(d);
    return list;
}

std::shared_ptr<SoundDevice> SoundDevice::open(const std::string& id)
{
    std::string error;
    if (auto alsa = AlsaSoundDevice::create(id.empty() ? "default" : id, WaveFormat::pcm(44100, 2, 16), &error))
        return alsa;
    return NullSoundDevice::create(WaveFormat::pcm(44100, 2, 16), error);
}

SoundDevice::SoundDevice(const WaveFormat& output) : output_(output) {}

SoundDevice::~SoundDevice() = default;

int32_t SoundDevice::setPrimaryFormat(const WaveFormat& wanted)
{
    if (!playableFormat(wanted))
        return result::kBadFormat;
    if (isLost())
        return result::kBufferLost;
    WaveFormat f = wanted;
    int32_t r = applyFormat(f);
    std::lock_guard lk(lock_);
    if (r == result::kOk)
        output_ = f;
    return r;
}

WaveFormat SoundDevice::primaryFormat() const
{
    std::lock_guard lk(lock_);
    return output_;
}

int32_t SoundDevice::createSoundBuffer(const BufferDesc& desc, std::shared_ptr<SoundBuffer>* out)
{
    if (!out)
        return result::kInvalidParam;
    out->reset();
    if (!playableFormat(desc.format))
        return result::kBadFormat;
    if (desc.bufferBytes < SoundBuffer::kMinBufferBytes || desc.bufferBytes > SoundBuffer::kMaxBufferBytes ||
        desc.bufferBytes % desc.format.blockAlign != 0)
        return result::kInvalidParam;
    std::lock_guard lk(lock_);
    if (lost_)
        return result::kBufferLost;
    out->reset(new SoundBuffer(shared_from_this(), desc));
    buffers_.push_back(out->get());
    return result::kOk;
}

bool SoundDevice::isLost() const
{
    std::lock_guard lk(lock_);
    return lost_;
}

void SoundDevice::markLost()
{
    std::lock_guard lk(lock_);
    lost_ = true;
    for (auto* b : buffers_) {
        b->lost_ = true;
        b->playing_ = false;
    }
}

void SoundDevice::detach(SoundBuffer* buffer)
{
    std::lock_guard lk(lock_);
    std::erase(buffers_, buffer);
}

void SoundDevice::render(uint8_t* out, size_t frames, size_t heldFrames)
{
    std::lock_guard lk(lock_);
    SoundBuffer* only = nullptr;
    int playing = 0;
    for (auto* b : buffers_)
        if (b->playing_ && !b->lost_) {
            only = b;
            ++playing;
        }
    if (playing == 1 && only->passesStraight(output_)) {
        only->copyInto(out, frames, heldFrames);
        return;
    }
    const int ch = output_.channels;
    mix_.assign(frames * ch, 0.0f);
    for (auto* b : buffers_)
        b->mixInto(mix_.data(), frames, output_, heldFrames);
    const size_t samples = frames * ch;
    if (output_.bitsPerSample == 16) {
        for (size_t i = 0; i < samples; ++i) {
            int16_t s = int16_t(std::clamp(roundToInt(mix_[i] * 32768.0f), -32768, 32767));
            std::memcpy(out + 2 * i, &s, 2);
        }
    } else {
        for (size_t i = 0; i < samples; ++i)
            out[i] = uint8_t(std::clamp(roundToInt(mix_[i] * 128.0f) + 128, 0, 255));
    }
}

}  // namespace snd
