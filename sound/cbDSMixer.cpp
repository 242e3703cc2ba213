#include "sound/cbDSMixer.h"

#include <QMetaObject>
#include <QObject>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace sound {

namespace {

constexpr uint32_t kBufferFlags = snd::caps::kCtrlFrequency | snd::caps::kCtrlPan | snd::caps::kCtrlVolume |
                                  snd::caps::kCtrlFx | snd::caps::kGlobalFocus | snd::caps::kGetCurrentPosition2;

// A broken invariant of this unit.
[[noreturn]] void InternalError(const std::string& text)
{
    throw std::logic_error(text + " (cbDSmixer)");
}

std::atomic<int> nextMutexNumber{0};

}  // namespace

void DXCheck(int32_t result)
{
    if (result != 0)
        throw EDirectXError(snd::soundResultText(result), result);
}

// ---- TcbDSMixer ------------------------------------------------------------------------

TcbDSMixer::TcbDSMixer(DeviceFactory factory) : factory_(std::move(factory))
{
    if (!factory_)
        factory_ = [](const std::string& id) { return snd::SoundDevice::open(id); };
}

TcbDSMixer::~TcbDSMixer()
{
    std::vector<Owned> left;
    {
        std::lock_guard lk(channelsLock_);
        left.swap(channels_);
    }
    for (Owned& o : left) {
        *o.slot = nullptr;
        o.channel.reset();  // closes its buffer on the device still open
    }
    device_.reset();
}

TChannelHandle TcbDSMixer::NewChannel(snd::TickSource& ticks)
{
    Owned o;
    o.channel.reset(new TcbDSMixerChannel(this, ticks));
    o.slot = std::make_shared<TcbDSMixerChannel*>(o.channel.get());
    TChannelHandle handle(o.slot);
    std::lock_guard lk(channelsLock_);
    channels_.push_back(std::move(o));
    return handle;
}

void TcbDSMixer::FreeChannel(const TChannelHandle& channel)
{
    TcbDSMixerChannel* c = channel.get();
    if (!c)
        return;
    std::unique_ptr<TcbDSMixerChannel> doomed;
    {
        std::lock_guard lk(channelsLock_);
        auto it = std::find_if(channels_.begin(), channels_.end(), [c](const Owned& o) { return o.channel.get() == c; });
        if (it == channels_.end())
            return;  // another mixer's channel
        *it->slot = nullptr;
        doomed = std::move(it->channel);
        channels_.erase(it);
    }
    // Deleted outside the list's lock: the channel waits for its refill thread.
}

void TcbDSMixer::SetFrequency(int32_t Value) { frequency_ = std::clamp(Value, 100, 100000); }

namespace {

// The output devices as found at first use: descriptions and ids, row by row.
struct DeviceLists {
    std::vector<std::string> descriptions, ids;
    DeviceLists()
    {
        for (auto& d : snd::SoundDevice::enumerate()) {
            descriptions.push_back(d.description);
            ids.push_back(d.id);
        }
    }
};

const DeviceLists& deviceLists()
{
    static const DeviceLists lists;
    return lists;
}

}  // namespace

const std::vector<std::string>& TcbDSMixer::DeviceDescriptions() { return deviceLists().descriptions; }
const std::vector<std::string>& TcbDSMixer::DeviceIds() { return deviceLists().ids; }

void TcbDSMixer::Open()
{
    if (!Active || device_)
        return;
    const auto& ids = DeviceIds();
    std::string id = DeviceIndex >= 0 && size_t(DeviceIndex) < ids.size() ? ids[size_t(DeviceIndex)] : "";
    auto device = factory_(id);
    if (!device)
        DXCheck(snd::result::kNoDriver);
    device_ = device;
    DeviceCreated();
    if (Level != TacahLevel::lNormal) {
        uint16_t bits = BitsPerSample == TacahBitsPerSample::bs8Bit ? 8 : 16;
        DXCheck(device_->setPrimaryFormat(
            snd::WaveFormat::pcm(uint32_t(frequency_), Stereo ? 2 : 1, bits)));
        snd::WaveFormat got = device_->primaryFormat();
        Stereo = got.channels == 2;
        BitsPerSample = got.bitsPerSample == 8 ? TacahBitsPerSample::bs8Bit : TacahBitsPerSample::bs16Bit;
        frequency_ = int32_t(got.samplesPerSec);
    }
}

void TcbDSMixer::Close()
{
    closeBuffers();
    device_.reset();
    DeviceCreated();
}

void TcbDSMixer::closeBuffers()
{
    std::lock_guard lk(channelsLock_);
    for (Owned& o : channels_) {
        std::lock_guard g(o.channel->mutex_);
        o.channel->CloseBuffer();
    }
}

std::shared_ptr<snd::SoundDevice> TcbDSMixer::GetDirectSound()
{
    if (device_ && device_->isLost())
        device_.reset();  // the card went away: the next open finds what is there now
    Open();
    return device_;
}

// ---- TPositionTimes --------------------------------------------------------------------

void TPositionTimes::Add(int32_t PosStart, int32_t PosEnd, int64_t TimeStart, int64_t TimeEnd)
{
    if (PosEnd == PosStart)
        return;
    if (TimeStart > TimeEnd)
        InternalError("Internal Error: Time Start higher then Time End");
    if (PosEnd < PosStart)
        InternalError("Internal Error: Position Start not inferior to Position End");
    entries_[size_t(next_)] = {PosStart, PosEnd, TimeStart, TimeEnd};
    next_ = (next_ + 1) % kEntries;
    count_ = std::min(count_ + 1, kEntries);
}

uint32_t TPositionTimes::GetPosTime(int32_t Pos) const
{
    int i = next_;
    for (int n = 0; n < count_; ++n) {
        i = (i + kEntries - 1) % kEntries;
        const Entry& e = entries_[size_t(i)];
        if (e.PosStart <= Pos && Pos < e.PosEnd) {
            long double part = static_cast<long double>(Pos - e.PosStart) / (e.PosEnd - e.PosStart);
            int64_t t = e.TimeStart + std::llround(part * (e.TimeEnd - e.TimeStart));
            return uint32_t(t / 10000);
        }
    }
    InternalError("Internal Error: unable to GetPosTime");
}

void TPositionTimes::Clear()
{
    next_ = 0;
    count_ = 0;
}

// ---- TcbUpdateChannelThread ------------------------------------------------------------

TcbUpdateChannelThread::TcbUpdateChannelThread(TcbDSMixerChannel* Channel, snd::TickSource& ticks,
                                               uint32_t IntervalMs)
    : Interval(IntervalMs), channel_(Channel), event_(ticks.createWaiter())
{
    thread_ = std::thread([this] { Execute(); });
}

TcbUpdateChannelThread::~TcbUpdateChannelThread()
{
    terminated_ = true;
    event_->wake();
    thread_.join();
}

void TcbUpdateChannelThread::SetActive(bool Value)
{
    if (active_.exchange(Value) != Value && Value)
        event_->wake();
}

void TcbUpdateChannelThread::Execute()
{
    while (!terminated_) {
        if (!active_) {
            event_->wait(-1);
            continue;
        }
        // Between ticks the thread decodes what the next ones will take, so that a tick mostly
        // copies, and decoding goes on while whoever drives the clock is slow to come back.
        if (event_->wait(int(Interval), [this] { return active_ && channel_->Prefetch(); }))
            continue;  // woken: activation or termination, not a tick
        auto& m = channel_->mutex_;
        if (!m.try_lock_for(std::chrono::milliseconds(TcbDSMixerChannel::MutexWaitMs)))
            continue;
        try {
            if (active_)
                channel_->Refill();
        } catch (const std::exception&) {
            channel_->RefillFailed();
        }
        m.unlock();
    }
}

// ---- TcbDSMixerChannel -----------------------------------------------------------------

// Takes the channel mutex with the public 250 ms wait; `ok` is false on a time-out.
class TcbDSMixerChannel::Guard {
public:
    explicit Guard(TcbDSMixerChannel* c)
        : m_(c->mutex_), ok(m_.try_lock_for(std::chrono::milliseconds(MutexWaitMs)))
    {
    }
    ~Guard()
    {
        if (ok)
            m_.unlock();
    }
    std::recursive_timed_mutex& m_;
    const bool ok;
};

TcbDSMixerChannel::TcbDSMixerChannel(TcbDSMixer* Mixer, snd::TickSource& ticks)
    : mixer_(Mixer), ticks_(ticks), mutexNumber_(nextMutexNumber++)
{
    window_ = new QObject;
    thread_ = std::make_unique<TcbUpdateChannelThread>(this, ticks_, BufferLengthMs / 10);
}

TcbDSMixerChannel::~TcbDSMixerChannel()
{
    thread_->SetActive(false);
    {
        std::lock_guard g(mutex_);
        CloseBuffer();
        CloseFile();
    }
    thread_.reset();
    delete window_;  // drops events still queued for this channel
}

void TcbDSMixerChannel::PostMessage(int Message)
{
    const uint32_t openCount = openCount_;
    QMetaObject::invokeMethod(window_, [this, Message, openCount] { HandleMessage(Message, openCount); },
                              Qt::QueuedConnection);
}

void TcbDSMixerChannel::HandleMessage(int Message, uint32_t OpenCount)
{
    if (OpenCount != openCount_)
        return;
    switch (Message) {
    case WM_CHANNELEND:
        if (OnPlayEnd)
            OnPlayEnd(this);
        break;
    case WM_CHANNELFADEEND:
        if (OnFadeEnd)
            OnFadeEnd(this);
        break;
    case WM_CHANNELLOST:
        // A listener that does not handle the loss still learns that play has ended.
        if (OnBufferLost)
            OnBufferLost(this);
        else if (OnPlayEnd)
            OnPlayEnd(this);
        break;
    default:
        break;
    }
}

void TcbDSMixerChannel::ResetPlayback()
{
    copy_.clear();
    copy_.shrink_to_fit();
    lowWater_ = 0;
    chunk_ = 0;
    state_ = csStopped;
    writeCursor_ = 0;
    lastPlayCursor_ = 0;
    primed_ = false;
    endOfDataPos_ = -1;
    endOfData_ = false;
    analysisLock_ = false;
    fadeActive_ = false;
}

void TcbDSMixerChannel::CloseBuffer()
{
    if (buffer_) {
        thread_->SetActive(false);
        (void)buffer_->Stop();
        buffer_.reset();
    }
    ResetPlayback();
}

void TcbDSMixerChannel::CloseFile()
{
    CloseBuffer();
    {
        std::lock_guard lk(readerLife_);
        reader_.reset();
    }
    volume_ = 0;
    frequency_ = 44100;
    pan_ = 0;
    startTime_ = 0;
    endTime_ = 0;
    fileName_.clear();
}

void TcbDSMixerChannel::Open(const std::string& FileName)
{
    Guard g(this);
    if (!g.ok)
        return;
    ++openCount_;
    CloseBuffer();
    CloseFile();
    if (FileName.empty())
        return;
    auto reader = std::make_unique<TcbAudioFileReader>(FileName);
    {
        std::lock_guard lk(readerLife_);
        reader_ = std::move(reader);
    }
    lengthMs_ = uint32_t(reader_->Duration() / 10000);
    const snd::WaveFormat& f = reader_->Format();
    if (lengthMs_ == 0)
        throw std::runtime_error("Audio file is empty.");
    if (f.channels != 1 && f.channels != 2)
        throw std::runtime_error("Invalid number of channels.");
    if (f.bitsPerSample != 8 && f.bitsPerSample != 16)
        throw std::runtime_error("Invalid number of bits per sample.");
    sampleRate_ = f.samplesPerSec;
    channels_ = f.channels;
    bitsPerSample_ = f.bitsPerSample;
    blockAlign_ = f.blockAlign;
    SetStartTime(startTime_);
    SetEndTime(endTime_);
    fileName_ = FileName;
}

void TcbDSMixerChannel::CreateBuffer()
{
    if (!reader_)
        throw std::runtime_error("No file opened");
    const snd::WaveFormat& f = reader_->Format();
    bufferSize_ = uint32_t(uint64_t(f.avgBytesPerSec) * BufferLengthMs / 1000);
    lowWater_ = uint32_t(uint64_t(bufferSize_) * 40 / 100);
    chunk_ = uint32_t(uint64_t(thread_->Interval) * 500 * f.avgBytesPerSec / 100000);
    copy_.assign(bufferSize_, SilenceByte());
    auto device = mixer_->GetDirectSound();
    std::shared_ptr<snd::SoundBuffer> b;
    DXCheck(device->createSoundBuffer({kBufferFlags, bufferSize_, f}, &b));
    buffer_ = b;
    SetVolume(volume_);
    SetPan(pan_);
}

uint32_t TcbDSMixerChannel::PlayCursor()
{
    uint32_t play = 0;
    DXCheck(buffer_->GetCurrentPosition(&play, nullptr));
    return play;
}

// Locks Count bytes of the device buffer from Offset, in two pieces when they wrap at its end.
// False when the buffer was lost (it is closed then).
bool TcbDSMixerChannel::LockBuffer(uint32_t Offset, uint32_t Count, uint8_t*& P1, uint32_t& N1, uint8_t*& P2,
                                   uint32_t& N2)
{
    void *p1 = nullptr, *p2 = nullptr;
    int32_t r = buffer_->Lock(Offset, Count, &p1, &N1, &p2, &N2);
    if (r == snd::result::kBufferLost) {
        BufferLost();
        return false;
    }
    DXCheck(r);
    if (N1 != std::min(Count, bufferSize_ - Offset) || N1 + N2 != Count)
        InternalError("Locked different size from requested");
    P1 = static_cast<uint8_t*>(p1);
    P2 = static_cast<uint8_t*>(p2);
    return true;
}

void TcbDSMixerChannel::BufferLost()
{
    CloseBuffer();
    PostMessage(WM_CHANNELLOST);
}

// Decodes Count bytes into the PCM copy from Offset (within the copy), silence after the end
// of the data, and maps them in the position table.
void TcbDSMixerChannel::ReadIntoCopy(uint32_t Offset, uint32_t Count)
{
    uint32_t offset = Offset, remaining = Count;
    while (remaining > 0) {
        if (endOfDataPos_ == -1) {
            uint32_t n = reader_->Read(copy_.data() + offset, remaining);
            positions_.Add(int32_t(offset), int32_t(offset + n), reader_->SampleStartTime(),
                           reader_->SampleEndTime());
            offset += n;
            remaining -= n;
            if (remaining > 0) {
                // The file is exhausted here; rewind it for the next start from rest.
                endOfDataPos_ = offset;
                reader_->Seek(reader_->StartTime());
            }
        } else {
            std::memset(copy_.data() + offset, SilenceByte(), remaining);
            positions_.Add(int32_t(offset), int32_t(offset + remaining), reader_->SampleEndTime(),
                           reader_->SampleEndTime());
            remaining = 0;
        }
    }
}

// Fills Count bytes of the ring from Offset, wrapping at its end: the decoding goes into the
// PCM copy piece by piece, and the device buffer gets all of it in one lock, so a refill
// hands over to the device's thread once.
void TcbDSMixerChannel::FillFromReader(uint32_t Offset, uint32_t Count)
{
    if (Count == 0)
        return;
    const uint32_t first = std::min(Count, bufferSize_ - Offset);
    ReadIntoCopy(Offset, first);
    ReadIntoCopy(0, Count - first);
    uint8_t *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    if (!LockBuffer(Offset, Count, p1, n1, p2, n2))
        return;
    snd::copyToBuffer(p1, copy_.data() + Offset, n1);
    if (n2 > 0)
        snd::copyToBuffer(p2, copy_.data(), n2);
    DXCheck(buffer_->Unlock(p1, n1, p2, n2));
}

void TcbDSMixerChannel::WriteSilenceChunk(uint32_t Offset, uint32_t Count)
{
    if (Count == 0)
        return;
    uint8_t *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    if (!LockBuffer(Offset, Count, p1, n1, p2, n2))
        return;
    std::memset(p1, SilenceByte(), n1);
    DXCheck(buffer_->Unlock(p1, n1, p2, n2));
    positions_.Add(int32_t(Offset), int32_t(Offset + Count), reader_->SampleEndTime(), reader_->SampleEndTime());
}

void TcbDSMixerChannel::UpdateBuffer()
{
    if (!buffer_)
        CreateBuffer();
    if (!primed_) {
        FillFromReader(0, bufferSize_);
        primed_ = buffer_ != nullptr;
        return;
    }
    uint32_t play = PlayCursor();
    if (analysisLock_) {
        // The analysis reads the copy: keep the device fed with silence, leave the copy alone.
        int64_t queued = int64_t(writeCursor_) - play;
        if (queued <= 0)
            queued += bufferSize_;
        if (queued < chunk_) {
            uint32_t first = std::min(chunk_, bufferSize_ - writeCursor_);
            WriteSilenceChunk(writeCursor_, first);
            if (buffer_)
                WriteSilenceChunk(0, chunk_ - first);
            writeCursor_ = (writeCursor_ + chunk_) % bufferSize_;
        }
        return;
    }
    FillFromReader(writeCursor_, (play + bufferSize_ - writeCursor_) % bufferSize_);
    writeCursor_ = play;
}

// One tick of the refill thread, mutex held.
void TcbDSMixerChannel::Refill()
{
    if (!buffer_)
        return;
    uint32_t status = 0;
    DXCheck(buffer_->GetStatus(&status));
    if (status & snd::status::kBufferLost) {
        // The cursor of a lost buffer stands still; without this the channel would wait forever.
        BufferLost();
        return;
    }
    uint32_t play = PlayCursor();
    int64_t remaining = endOfDataPos_ - int64_t(play);
    if (remaining <= 0)
        remaining += bufferSize_;
    // The cursor crossed the end of the data since the last tick (a file shorter than a tick,
    // or one that ended far from the low-water mark), or passed it after the end was near.
    bool crossed = false;
    if (endOfDataPos_ >= 0) {
        uint32_t toEnd = uint32_t((endOfDataPos_ - lastPlayCursor_ + bufferSize_) % bufferSize_);
        uint32_t moved = (play - lastPlayCursor_ + bufferSize_) % bufferSize_;
        crossed = toEnd <= moved;
    }
    lastPlayCursor_ = play;
    if (crossed || (endOfData_ && uint32_t(remaining) > lowWater_)) {
        StopPlayback();
        PostMessage(WM_CHANNELEND);
        return;
    }
    uint32_t tick = ticks_.tickCount();
    if (tick - lastRefill_ >= thread_->Interval) {
        lastRefill_ = tick;
        if (endOfDataPos_ != -1 && uint32_t(remaining) <= lowWater_)
            endOfData_ = true;
        UpdateBuffer();
    }
    if (fadeActive_ && state_ == csPlaying && buffer_) {
        if (int32_t(tick - fadeEndTick_) >= 0) {
            fadeActive_ = false;
            SetVolume(fadeEndVolume_);
            PostMessage(WM_CHANNELFADEEND);
        } else {
            int64_t span = int64_t(fadeEndTick_) - fadeStartTick_;
            int64_t done = int64_t(tick) - fadeStartTick_;
            SetVolume(int32_t(fadeStartVolume_ + (int64_t(fadeEndVolume_) - fadeStartVolume_) * done / span));
        }
    }
}

// One piece of the refill thread's work between ticks: decoding ahead what the next ticks will
// read. It holds only the reader, never the channel's mutex, so the public operations (the
// display's position and level reads above all) never wait for a decode; it gives way to a
// reader being replaced or sought.
bool TcbDSMixerChannel::Prefetch()
{
    std::unique_lock lk(readerLife_, std::try_to_lock);
    return lk && reader_ && reader_->Prefetch(DecodeAheadMs);
}

// The refill tick failed (the file became unreadable, the device refused): stop and say
// that play has ended rather than leave the channel stalled.
void TcbDSMixerChannel::RefillFailed()
{
    try {
        StopPlayback();
    } catch (const std::exception&) {
        CloseBuffer();
    }
    PostMessage(WM_CHANNELEND);
}

void TcbDSMixerChannel::Play()
{
    Guard g(this);
    if (!g.ok || state_ == csPlaying)
        return;
    if (!buffer_)
        CreateBuffer();
    if (!primed_)
        UpdateBuffer();
    if (!buffer_)
        return;  // lost while priming
    int32_t r = buffer_->Play(snd::kPlayLooping);
    if (r == snd::result::kBufferLost) {
        BufferLost();
        return;
    }
    DXCheck(r);
    state_ = csPlaying;
    thread_->SetActive(true);
}

void TcbDSMixerChannel::Pause()
{
    Guard g(this);
    if (!g.ok)
        return;
    if (!buffer_)
        CreateBuffer();
    if (state_ == csPlaying) {
        thread_->SetActive(false);
        DXCheck(buffer_->Stop());
        state_ = csPaused;
        fadeActive_ = false;
    }
}

void TcbDSMixerChannel::StopPlayback()
{
    if (!buffer_)
        return;
    thread_->SetActive(false);
    DXCheck(buffer_->Stop());
    state_ = csStopped;
    fadeActive_ = false;
    DXCheck(buffer_->SetCurrentPosition(0));
    writeCursor_ = 0;
    lastPlayCursor_ = 0;
    reader_->Seek(reader_->StartTime());
    primed_ = false;
    endOfDataPos_ = -1;
    endOfData_ = false;
}

void TcbDSMixerChannel::Stop()
{
    Guard g(this);
    if (g.ok)
        StopPlayback();
}

uint32_t TcbDSMixerChannel::GetPosition()
{
    Guard g(this);
    if (!g.ok)
        return 0;
    if (primed_) {
        if (!buffer_)
            InternalError("Assertion failure");
        return positions_.GetPosTime(int32_t(PlayCursor()));
    }
    return reader_ ? uint32_t(reader_->CurrentTime() / 10000) : 0;
}

void TcbDSMixerChannel::SetPosition(uint32_t Ms)
{
    Guard g(this);
    if (!g.ok || !reader_)
        return;
    StopPlayback();
    reader_->Seek(int64_t(Ms) * 10000);
}

void TcbDSMixerChannel::SetFrequency(uint32_t Hz)
{
    Guard g(this);
    if (!g.ok)
        return;
    frequency_ = Hz;
    if (buffer_)
        DXCheck(buffer_->SetFrequency(Hz));
}

void TcbDSMixerChannel::SetVolume(int32_t Value)
{
    Guard g(this);
    if (!g.ok)
        return;
    volume_ = Value;
    if (buffer_)
        DXCheck(buffer_->SetVolume(Value));
}

void TcbDSMixerChannel::SetPan(int32_t Value)
{
    Guard g(this);
    if (!g.ok)
        return;
    pan_ = Value;
    if (buffer_)
        DXCheck(buffer_->SetPan(Value));
}

void TcbDSMixerChannel::SetStartTime(uint32_t Ms)
{
    Guard g(this);
    if (!g.ok)
        return;
    if (!reader_) {
        startTime_ = Ms;
        return;
    }
    int64_t t = int64_t(Ms) * 10000;
    if (t != reader_->StartTime()) {
        reader_->SetStartTime(t);
        startTime_ = Ms;
        SetEndTime(endTime_);
    }
}

void TcbDSMixerChannel::SetEndTime(uint32_t Ms)
{
    Guard g(this);
    if (!g.ok)
        return;
    if (!reader_) {
        endTime_ = Ms;
        return;
    }
    int64_t length = int64_t(Ms) * 10000 - reader_->StartTime();
    if (length != reader_->Length()) {
        reader_->SetLength(length);
        endTime_ = uint32_t(reader_->Length() / 10000 + startTime_);
    }
}

void TcbDSMixerChannel::Fade(int32_t EndVolume, uint32_t DurationMs)
{
    Guard g(this);
    if (!g.ok)
        return;
    fadeStartTick_ = ticks_.tickCount();
    fadeEndTick_ = fadeStartTick_ + DurationMs;
    fadeStartVolume_ = volume_;
    fadeEndVolume_ = EndVolume;
    fadeActive_ = true;
}

void TcbDSMixerChannel::LockPlayed(uint32_t Offset, uint32_t Size, const uint8_t*& P1, uint32_t& N1,
                                   const uint8_t*& P2, uint32_t& N2)
{
    P1 = P2 = nullptr;
    N1 = N2 = 0;
    Guard g(this);
    if (!g.ok)
        return;
    analysisLock_ = false;
    if (!primed_ || !buffer_)
        return;
    uint32_t play = PlayCursor();
    int64_t avail = int64_t(writeCursor_) - play;
    if (writeCursor_ < play)
        avail += bufferSize_;
    avail -= Offset;
    if (avail <= 0)
        return;
    Size = uint32_t(std::min<int64_t>(Size, avail));
    uint32_t start = play + Offset;
    if (start >= bufferSize_)
        start -= bufferSize_;
    P1 = copy_.data() + start;
    N1 = bufferSize_ - start;
    if (Size <= N1) {
        N1 = Size;
    } else {
        P2 = copy_.data();
        N2 = Size - N1;
    }
    analysisLock_ = true;
}

void TcbDSMixerChannel::UnlockPlayed()
{
    Guard g(this);
    if (g.ok)
        analysisLock_ = false;
}

std::shared_ptr<snd::SoundBuffer> TcbDSMixerChannel::Buffer()
{
    Guard g(this);
    return g.ok ? buffer_ : nullptr;
}

#define CHANNEL_READ(type, name, field) \
    type TcbDSMixerChannel::name()      \
    {                                   \
        Guard g(this);                  \
        return g.ok ? field : std::remove_cvref_t<decltype(field)>{}; \
    }
CHANNEL_READ(uint32_t, SampleRate, sampleRate_)
CHANNEL_READ(uint32_t, Channels, channels_)
CHANNEL_READ(uint32_t, BitsPerSample, bitsPerSample_)
CHANNEL_READ(uint32_t, BlockAlign, blockAlign_)
CHANNEL_READ(uint32_t, FileLengthMs, lengthMs_)
CHANNEL_READ(uint8_t, State, state_)
CHANNEL_READ(std::string, FileName, fileName_)
CHANNEL_READ(TcbAudioFileReader*, Reader, reader_.get())
#undef CHANNEL_READ

}  // namespace sound
