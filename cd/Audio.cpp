#include "cd/Audio.h"
#include "platform/forms/Application.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <limits>

namespace cd {

namespace {

constexpr int kChannelFor[] = {1, 2};
constexpr int kBitsFor[] = {8, 16};

}  // namespace

void InterleaveChannels(const uint8_t* left, const uint8_t* right, size_t bytesPerChannel, int bytesPerSample,
                        uint8_t* out)
{
    for (size_t i = 0; i + size_t(bytesPerSample) <= bytesPerChannel; i += size_t(bytesPerSample)) {
        for (int b = 0; b < bytesPerSample; ++b)
            *out++ = left[i + size_t(b)];
        for (int b = 0; b < bytesPerSample; ++b)
            *out++ = right[i + size_t(b)];
    }
}

// ---- settings

TAudioSettings::~TAudioSettings() = default;

snd::WaveFormat TAudioSettings::Format() const
{
    return snd::WaveFormat::pcm(rate_, uint16_t(kChannelFor[int(channels_)]), uint16_t(kBitsFor[int(bits_)]));
}

void TAudioSettings::SetChannels(TChannels v)
{
    for (TAudioSettings* s : owner_.linked(this))
        if (s->channels_ != v) {
            s->channels_ = v;
            s->Rebuild();
        }
}

void TAudioSettings::SetBitsPerSample(TBPS v)
{
    for (TAudioSettings* s : owner_.linked(this))
        if (s->bits_ != v) {
            s->bits_ = v;
            s->Rebuild();
        }
}

void TAudioSettings::SetSampleRate(uint16_t v)
{
    for (TAudioSettings* s : owner_.linked(this))
        if (s->rate_ != v) {
            s->rate_ = v;
            s->Rebuild();
        }
}

// ---- recorder

TRecorder::TRecorder(TAudio& owner) : TAudioSettings(owner), in_(owner.waves_) { Rebuild(); }

TRecorder::~TRecorder() { Close(); }

void TRecorder::SetNoSamples(uint32_t v)
{
    if (v == noSamples_)
        return;
    noSamples_ = v;
    Rebuild();
}

void TRecorder::SetSplitChannels(bool v) { split_ = v && channels_ == TChannels::Stereo; }

void TRecorder::Rebuild()
{
    // Buffers queued in an open device cannot be swapped: the device goes first, and a file
    // of the old format ends.
    if (open_)
        Close();
    closeFile();
    if (channels_ == TChannels::Mono)
        split_ = false;
    const size_t bytes = size_t(noSamples_) * Format().blockAlign;
    try {
        if (bytes > std::numeric_limits<uint32_t>::max())
            throw std::length_error("buffer");
        for (Buffer& b : buffers_) {
            b.data.assign(bytes, 0);
            b.right.assign(bytes / 2, 0);
            b.header = {};
        }
        left_.assign(bytes / 2, 0);
    } catch (const std::exception&) {
        for (Buffer& b : buffers_) {
            b.data = {};
            b.right = {};
        }
        owner_.setError("Not enough memory to allocate WaveHeader");
    }
}

bool TRecorder::fail(int32_t code, const char* context)
{
    owner_.setError(wave::waveErrorText(code) + " " + context);
    return false;
}

bool TRecorder::Open()
{
    if (open_)
        return true;
    if (buffers_[0].data.empty())
        return fail(wave::result::kNoMem, "Error preparing header for recording: ");
    int32_t r = in_.open(owner_.deviceId_, Format(), [this](wave::WaveHeader* h) { onFilled(h); });
    if (r)
        return fail(r, "Could not open the input device for recording: ");
    open_ = true;
    ++generation_;
    for (int i = 0; i < kBuffers; ++i) {
        wave::WaveHeader& h = buffers_[size_t(i)].header;
        h = {};
        h.data = buffers_[size_t(i)].data.data();
        h.bufferLength = uint32_t(buffers_[size_t(i)].data.size());
        h.user = uintptr_t(i);
        if ((r = in_.prepareHeader(&h))) {
            Close();
            return fail(r, "Error preparing header for recording: ");
        }
        if ((r = in_.addBuffer(&h))) {
            Close();
            return fail(r, "Error adding input buffer");
        }
    }
    return true;
}

bool TRecorder::Start()
{
    if (!open_)
        return fail(wave::result::kInvalidHandle, "Error starting wave record: ");
    if (int32_t r = in_.start())
        return fail(r, "Error starting wave record: ");
    return true;
}

bool TRecorder::OpenFile(const std::string& path)
{
    closeFile();
    try {
        file_ = std::make_unique<waveio::TFileWaveStream>(path, Format());
        return true;
    } catch (const waveio::EWaveError& e) {
        owner_.setError(e.what());
        return false;
    }
}

void TRecorder::closeFile()
{
    if (!file_)
        return;
    try {
        file_->Finish();
    } catch (const waveio::EWaveError& e) {
        owner_.setError(e.what());
    }
    file_.reset();
}

bool TRecorder::Close()
{
    if (!open_) {
        closeFile();
        owner_.setError("Recorder already closed");
        return true;
    }
    closeFile();
    // Whatever the device still reports from here on belongs to a closed recorder.
    ++generation_;
    open_ = false;
    if (int32_t r = in_.reset())
        return fail(r, "Error in waveInReset");
    for (Buffer& b : buffers_)
        if (int32_t r = in_.unprepareHeader(&b.header))
            return fail(r, "Error in waveInUnprepareHeader");
    if (int32_t r = in_.close())
        return fail(r, "Error closing input device");
    return true;
}

void TRecorder::onFilled(wave::WaveHeader* h)
{
    std::vector<uint8_t> copy(h->data, h->data + h->bytesRecorded);
    const int index = int(h->user);
    const uint64_t gen = generation_;
    forms::PostToUiThread(&receiver_, [this, index, gen, copy = std::move(copy)] {
        if (gen == generation_ && open_)
            onData(index, copy);
    });
}

bool TRecorder::testTrigger(const std::vector<uint8_t>& bytes)
{
    if (bits_ == TBPS::_16) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            if (int16_t(uint16_t(bytes[i] | bytes[i + 1] << 8)) >= trigLevel_)
                return true;
        return false;
    }
    return std::any_of(bytes.begin(), bytes.end(), [this](uint8_t b) { return b >= trigLevel_; });
}

void TRecorder::onData(int index, const std::vector<uint8_t>& bytes)
{
    uint32_t count = uint32_t(bytes.size());
    if (!triggered_)
        triggered_ = testTrigger(bytes);
    if (triggered_ && file_) {
        try {
            file_->Write(bytes.data(), int64_t(count / Format().blockAlign));
        } catch (const waveio::EWaveError& e) {
            // A full disk ends the file, not the recording.
            owner_.setError(e.what());
            file_.reset();
        }
    }
    if (triggered_ && owner_.OnRecord) {
        if (split_) {
            // Each stereo frame: the first sample goes left, the second right.
            const size_t sample = bits_ == TBPS::_16 ? 2 : 1;
            count /= 2;
            Buffer& b = buffers_[size_t(index)];
            for (size_t f = 0, o = 0; o + sample <= count; f += 2 * sample, o += sample) {
                std::copy_n(bytes.begin() + ptrdiff_t(f), sample, left_.begin() + ptrdiff_t(o));
                std::copy_n(bytes.begin() + ptrdiff_t(f + sample), sample, b.right.begin() + ptrdiff_t(o));
            }
            owner_.OnRecord(&owner_, left_.data(), b.right.data(), count);
        } else {
            owner_.OnRecord(&owner_, bytes.data(), nullptr, count);
        }
    }
    // The handler may have closed the recorder.
    if (!bytes.empty() && open_) {
        if (int32_t r = in_.addBuffer(&buffers_[size_t(index)].header)) {
            fail(r, "Error adding next input buffer");
            Close();
        }
    }
}

// ---- player

TPlayer::TPlayer(TAudio& owner) : TAudioSettings(owner), out_(owner.waves_) { Rebuild(); }

TPlayer::~TPlayer()
{
    cancel_ = true;
    Close();
}

void TPlayer::Rebuild()
{
    if (open_)
        Close();
    try {
        // Room for stereo: two streams play interleaved whatever the channel setting.
        const size_t bytes = size_t(kBufferFrames) * 2 * (bits_ == TBPS::_16 ? 2 : 1);
        for (Buffer& b : buffers_) {
            b.data.assign(bytes, 0);
            b.header = {};
        }
    } catch (const std::exception&) {
        owner_.setError("Not enough memory to allocate WaveHeader");
    }
}

bool TPlayer::fail(int32_t code, const char* context)
{
    owner_.setError(wave::waveErrorText(code) + " " + context);
    return false;
}

// The work file lives in the system's temporary folder: the current folder may be read-only
// or the user's own.
bool TPlayer::writeWorkFile(rtl::TStream& left, rtl::TStream* right)
{
    work_ = std::make_unique<QTemporaryFile>(QDir::tempPath() + "/tambourelle-play-XXXXXX.tmp");
    if (!work_->open()) {
        owner_.setError("Error writing to file.");
        return false;
    }
    left.SetPosition(0);
    const bool both = right && right->Size() == left.Size();
    if (!both) {
        std::vector<uint8_t> chunk(64 * 1024);
        for (int64_t n; (n = left.Read(chunk.data(), int64_t(chunk.size()))) > 0;)
            if (work_->write(reinterpret_cast<const char*>(chunk.data()), n) != n) {
                owner_.setError("Error writing to file.");
                return false;
            }
        return work_->flush();
    }
    right->SetPosition(0);
    // 1000 interleaved bytes a step (250 16-bit or 500 8-bit frames), serving the event
    // loop after each so that a long recording does not freeze the window.
    const int sample = bits_ == TBPS::_16 ? 2 : 1;
    uint8_t l[500], r[500], out[1000];
    for (;;) {
        int64_t nl = left.Read(l, sizeof l);
        int64_t nr = right->Read(r, sizeof r);
        int64_t n = std::min(nl, nr);
        n -= n % sample;
        if (n <= 0)
            break;
        InterleaveChannels(l, r, size_t(n), sample, out);
        if (work_->write(reinterpret_cast<const char*>(out), 2 * n) != 2 * n) {
            owner_.setError("Error writing to file.");
            return false;
        }
        QCoreApplication::processEvents();
        if (cancel_)
            return false;
    }
    return work_->flush();
}

bool TPlayer::Play(rtl::TStream& left, rtl::TStream* right)
{
    if (preparing_)
        return false;
    if (open_)
        Close();
    preparing_ = true;
    cancel_ = false;
    bool written = writeWorkFile(left, right);
    preparing_ = false;
    if (!written) {
        work_.reset();
        return false;
    }
    snd::WaveFormat f = Format();
    if (right && right->Size() == left.Size())
        f = snd::WaveFormat::pcm(f.samplesPerSec, 2, f.bitsPerSample);
    work_->seek(0);
    int32_t r = out_.open(owner_.deviceId_, f, [this](wave::WaveHeader* h) {
        const int index = int(h->user);
        const uint64_t gen = generation_;
        forms::PostToUiThread(&receiver_, [this, index, gen] {
            if (gen == generation_ && open_)
                onPlayed(index);
        });
    });
    if (r) {
        work_.reset();
        return fail(r, "Could not open the output device for playing: ");
    }
    open_ = true;
    ++generation_;
    pending_ = 0;
    const uint32_t block = f.blockAlign;
    for (int i = 0; i < kBuffers; ++i) {
        Buffer& b = buffers_[size_t(i)];
        b.header = {};
        b.header.data = b.data.data();
        b.header.bufferLength = uint32_t(b.data.size() / block * block);
        b.header.user = uintptr_t(i);
        if ((r = out_.prepareHeader(&b.header))) {
            Close();
            return fail(r, "Could not open the output device for playing: ");
        }
    }
    for (int i = 0; i < kBuffers; ++i)
        if (!fill(i))
            break;
    if (pending_ == 0)
        finish();
    return true;
}

// Reads the next piece of the work file into buffer `index` and queues it; false at the end.
bool TPlayer::fill(int index)
{
    Buffer& b = buffers_[size_t(index)];
    // Every frame is 4 bytes or fewer, so a multiple of 4 is whole frames.
    const uint32_t capacity = uint32_t(b.data.size() / 4 * 4);
    qint64 n = work_->read(reinterpret_cast<char*>(b.data.data()), capacity);
    if (n <= 0)
        return false;
    b.header.bufferLength = uint32_t(n);
    if (int32_t r = out_.write(&b.header)) {
        fail(r, "Could not open the output device for playing: ");
        return false;
    }
    ++pending_;
    return true;
}

void TPlayer::onPlayed(int index)
{
    --pending_;
    if (owner_.OnBufferPlayed)
        owner_.OnBufferPlayed(&owner_);
    if (!open_)
        return;
    fill(index);
    if (pending_ == 0)
        finish();
}

void TPlayer::finish()
{
    Close();
    if (owner_.OnPlayed)
        owner_.OnPlayed(&owner_);
}

bool TPlayer::Close()
{
    cancel_ = true;
    if (!open_) {
        owner_.setError("Player already closed");
        return true;
    }
    ++generation_;
    open_ = false;
    work_.reset();
    if (int32_t r = out_.reset())
        return fail(r, "Error in waveOutReset");
    for (Buffer& b : buffers_)
        if (int32_t r = out_.unprepareHeader(&b.header))
            return fail(r, "Error unpreparing header for playing: ");
    if (int32_t r = out_.close())
        return fail(r, "Error closing output device: ");
    return true;
}

// ---- component

TAudio::TAudio(std::shared_ptr<wave::WaveSystem> waves, std::shared_ptr<mixer::MixerSystem> mixers)
    : waves_(std::move(waves)), mixers_(std::move(mixers))
{
    recorder_ = std::make_unique<TRecorder>(*this);
    player_ = std::make_unique<TPlayer>(*this);
    openMixer();
}

TAudio::~TAudio()
{
    player_.reset();
    recorder_.reset();
    mixer_.device_.reset();
}

std::vector<TAudioSettings*> TAudio::linked(TAudioSettings* s)
{
    if (separate_)
        return {s};
    return {recorder_.get(), player_.get()};
}

void TAudio::SetAudioDeviceID(int v)
{
    if (v < 0 || v >= wave::kMaxDevices)
        v = wave::kWaveMapper;
    if (v == deviceId_)
        return;
    deviceId_ = v;
    for (TAudioSettings* s : {static_cast<TAudioSettings*>(recorder_.get()), static_cast<TAudioSettings*>(player_.get())})
        s->Rebuild();
}

void TAudio::SetMixerDeviceID(int v)
{
    if (v == mixerId_)
        return;
    mixerId_ = v;
    openMixer();
}

void TAudio::openMixer()
{
    mixer_.device_.reset();
    if (int32_t r = mixers_->open(mixerId_, mixer_.device_)) {
        mixer_.device_.reset();
        setError(wave::waveErrorText(r));
    }
}

bool TAudio::SaveToFile(const std::string& fileName, rtl::TStream& left, rtl::TStream* right)
{
    const bool both = right && right->Size() == left.Size();
    snd::WaveFormat f = recorder_->Format();
    if (both)
        f = snd::WaveFormat::pcm(f.samplesPerSec, 2, f.bitsPerSample);
    else if (recorder_->SplitChannels())
        f = snd::WaveFormat::pcm(f.samplesPerSec, 1, f.bitsPerSample);
    const int64_t dataBytes = both ? 2 * left.Size() : left.Size();
    if (dataBytes > int64_t(std::numeric_limits<uint32_t>::max()) - 36) {
        setError("Error writing to file.");
        return false;
    }

    auto le = [](std::vector<uint8_t>& b, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    };
    auto tag = [](std::vector<uint8_t>& b, const char* t) { b.insert(b.end(), t, t + 4); };
    std::vector<uint8_t> h;
    tag(h, "RIFF");
    le(h, 0, 4);
    tag(h, "WAVE");
    tag(h, "fmt ");
    le(h, 16, 4);
    le(h, snd::WaveFormat::kPcm, 2);
    le(h, f.channels, 2);
    le(h, f.samplesPerSec, 4);
    le(h, f.avgBytesPerSec, 4);
    le(h, f.blockAlign, 2);
    le(h, f.bitsPerSample, 2);
    tag(h, "data");
    le(h, 0, 4);

    // Written beside the target and renamed over it when complete: a full disk leaves any
    // earlier file as it was.
    const QString name = QString::fromStdString(fileName);
    if (!QFileInfo(name).absoluteDir().exists()) {
        setError("Error writing to file.");
        return false;
    }
    QSaveFile out(name);
    bool ok = out.open(QIODevice::WriteOnly) && out.write(reinterpret_cast<const char*>(h.data()), 44) == 44;
    left.SetPosition(0);
    if (both)
        right->SetPosition(0);
    std::vector<uint8_t> l(32768), r(32768), mixed(65536);
    const int sample = f.bitsPerSample / 8;
    while (ok) {
        int64_t n = left.Read(l.data(), int64_t(l.size()));
        if (both) {
            n = std::min(n, right->Read(r.data(), n));
            n -= n % sample;
        }
        if (n <= 0)
            break;
        if (both) {
            InterleaveChannels(l.data(), r.data(), size_t(n), sample, mixed.data());
            ok = out.write(reinterpret_cast<const char*>(mixed.data()), 2 * n) == 2 * n;
        } else {
            ok = out.write(reinterpret_cast<const char*>(l.data()), n) == n;
        }
    }
    const qint64 size = out.size();
    std::vector<uint8_t> riffSize, dataSize;
    le(riffSize, uint32_t(size - 8), 4);
    le(dataSize, uint32_t(size - 44), 4);
    ok = ok && out.seek(4) && out.write(reinterpret_cast<const char*>(riffSize.data()), 4) == 4 && out.seek(40) &&
         out.write(reinterpret_cast<const char*>(dataSize.data()), 4) == 4;
    if (!ok) {
        if (out.isOpen()) {
            out.cancelWriting();
            out.commit();
        }
        setError("Error writing to file.");
        return false;
    }
    if (!out.commit()) {
        setError("Error writing to file.");
        return false;
    }
    return true;
}

}  // namespace cd
