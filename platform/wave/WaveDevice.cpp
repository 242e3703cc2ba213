#include "platform/wave/WaveDevice.h"

#include <algorithm>
#include <cstring>

namespace wave {

std::string waveErrorText(int32_t code)
{
    switch (code) {
    case result::kOk: return "The command was carried out.";
    case result::kError: return "An unspecified error has occurred.";
    case result::kBadDeviceId: return "The specified device ID is out of range.";
    case result::kAllocated: return "The specified resource is already in use.";
    case result::kInvalidHandle: return "The specified device handle is invalid.";
    case result::kNoDriver: return "There is no driver installed on your system.";
    case result::kNoMem: return "There is not enough memory available for this task.";
    case result::kInvalidParam: return "An invalid parameter was passed to a system function.";
    case result::kBadFormat: return "The specified format is not supported or cannot be translated.";
    case result::kStillPlaying: return "Cannot perform this operation while media data is still playing.";
    case result::kUnprepared: return "The wave header was not prepared.";
    default: return "Unknown error.";
    }
}

namespace {

bool playableFormat(const snd::WaveFormat& f)
{
    return f.formatTag == snd::WaveFormat::kPcm && (f.channels == 1 || f.channels == 2) &&
           (f.bitsPerSample == 8 || f.bitsPerSample == 16) && f.samplesPerSec >= 1000 &&
           f.samplesPerSec <= 192000 && f.blockAlign == f.channels * f.bitsPerSample / 8;
}

// A device id as the platform reads it: an index below the device count, or the mapper.
int32_t checkDevice(int device, size_t count)
{
    if (device == kWaveMapper)
        return count == 0 ? result::kNoDriver : result::kOk;
    if (device < 0 || size_t(device) >= count)
        return result::kBadDeviceId;
    return result::kOk;
}

int32_t checkHeader(WaveHeader* h)
{
    return !h || !h->data || h->bufferLength == 0 ? result::kInvalidParam : result::kOk;
}

int32_t prepare(WaveHeader* h)
{
    if (int32_t r = checkHeader(h))
        return r;
    h->flags |= WaveHeader::Prepared;
    return result::kOk;
}

int32_t unprepare(WaveHeader* h)
{
    if (int32_t r = checkHeader(h))
        return r;
    if (h->flags & WaveHeader::InQueue)
        return result::kStillPlaying;
    h->flags &= ~WaveHeader::Prepared;
    return result::kOk;
}

}  // namespace

// ---- input

WaveIn::WaveIn(std::shared_ptr<WaveSystem> system) : system_(std::move(system)) {}

WaveIn::~WaveIn()
{
    if (source_) {
        stopThread();
        source_->stop();
    }
}

int32_t WaveIn::open(int device, const snd::WaveFormat& format, Callback callback)
{
    if (source_)
        return result::kAllocated;
    if (int32_t r = checkDevice(device, system_->inputDevices().size()))
        return r;
    if (!playableFormat(format))
        return result::kBadFormat;
    auto source = system_->createInput(device);
    if (!source)
        return result::kNoDriver;
    if (int32_t r = source->open(format))
        return r;
    source_ = std::move(source);
    format_ = format;
    callback_ = std::move(callback);
    dropped_ = 0;
    return result::kOk;
}

int32_t WaveIn::prepareHeader(WaveHeader* h) { return source_ ? prepare(h) : result::kInvalidHandle; }
int32_t WaveIn::unprepareHeader(WaveHeader* h) { return source_ ? unprepare(h) : result::kInvalidHandle; }

int32_t WaveIn::addBuffer(WaveHeader* h)
{
    if (!source_)
        return result::kInvalidHandle;
    if (int32_t r = checkHeader(h))
        return r;
    if (!(h->flags & WaveHeader::Prepared))
        return result::kUnprepared;
    if (h->flags & WaveHeader::InQueue)
        return result::kStillPlaying;
    std::lock_guard lk(m_);
    h->bytesRecorded = 0;
    h->flags = (h->flags & ~WaveHeader::Done) | WaveHeader::InQueue;
    queue_.push_back(h);
    return result::kOk;
}

int32_t WaveIn::start()
{
    if (!source_)
        return result::kInvalidHandle;
    if (running_)
        return result::kOk;
    if (int32_t r = source_->start())
        return r;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return result::kOk;
}

void WaveIn::run()
{
    const uint32_t block = format_.blockAlign;
    const uint32_t maxFrames = std::max<uint32_t>(1, format_.samplesPerSec / 50);
    std::vector<uint8_t> chunk(size_t(maxFrames) * block);
    std::vector<WaveHeader*> filled;
    while (running_) {
        int64_t n = source_->read(chunk.data(), maxFrames);
        if (n < 0)
            break;
        if (n == 0)
            continue;
        const uint8_t* p = chunk.data();
        size_t left = size_t(n) * block;
        {
            std::lock_guard lk(m_);
            while (left > 0 && !queue_.empty()) {
                WaveHeader* h = queue_.front();
                uint32_t usable = h->bufferLength - h->bufferLength % block;
                size_t take = std::min<size_t>(left, usable - h->bytesRecorded);
                std::memcpy(h->data + h->bytesRecorded, p, take);
                h->bytesRecorded += uint32_t(take);
                p += take;
                left -= take;
                if (h->bytesRecorded >= usable) {
                    h->flags = (h->flags & ~WaveHeader::InQueue) | WaveHeader::Done;
                    queue_.pop_front();
                    filled.push_back(h);
                }
            }
        }
        dropped_ += left / block;
        for (WaveHeader* h : filled)
            callback_(h);
        filled.clear();
    }
}

void WaveIn::stopThread()
{
    running_ = false;
    if (source_)
        source_->interrupt();
    if (thread_.joinable())
        thread_.join();
}

int32_t WaveIn::reset()
{
    if (!source_)
        return result::kInvalidHandle;
    stopThread();
    source_->stop();
    std::deque<WaveHeader*> returned;
    {
        std::lock_guard lk(m_);
        returned.swap(queue_);
    }
    for (WaveHeader* h : returned) {
        h->flags = (h->flags & ~WaveHeader::InQueue) | WaveHeader::Done;
        callback_(h);
    }
    return result::kOk;
}

int32_t WaveIn::close()
{
    if (!source_)
        return result::kInvalidHandle;
    {
        std::lock_guard lk(m_);
        if (!queue_.empty())
            return result::kStillPlaying;
    }
    stopThread();
    source_->stop();
    source_.reset();
    callback_ = nullptr;
    return result::kOk;
}

// ---- output

WaveOut::WaveOut(std::shared_ptr<WaveSystem> system) : system_(std::move(system)) {}

WaveOut::~WaveOut()
{
    if (sink_) {
        stopThread();
        sink_->stop();
    }
}

int32_t WaveOut::open(int device, const snd::WaveFormat& format, Callback callback)
{
    if (sink_)
        return result::kAllocated;
    if (int32_t r = checkDevice(device, system_->outputDevices().size()))
        return r;
    if (!playableFormat(format))
        return result::kBadFormat;
    auto sink = system_->createOutput(device);
    if (!sink)
        return result::kNoDriver;
    if (int32_t r = sink->open(format))
        return r;
    sink_ = std::move(sink);
    format_ = format;
    callback_ = std::move(callback);
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return result::kOk;
}

int32_t WaveOut::prepareHeader(WaveHeader* h) { return sink_ ? prepare(h) : result::kInvalidHandle; }
int32_t WaveOut::unprepareHeader(WaveHeader* h) { return sink_ ? unprepare(h) : result::kInvalidHandle; }

int32_t WaveOut::write(WaveHeader* h)
{
    if (!sink_)
        return result::kInvalidHandle;
    if (int32_t r = checkHeader(h))
        return r;
    if (!(h->flags & WaveHeader::Prepared))
        return result::kUnprepared;
    if (h->flags & WaveHeader::InQueue)
        return result::kStillPlaying;
    std::lock_guard lk(m_);
    h->flags = (h->flags & ~WaveHeader::Done) | WaveHeader::InQueue;
    queue_.push_back(h);
    cv_.notify_all();
    return result::kOk;
}

void WaveOut::run()
{
    const uint32_t block = format_.blockAlign;
    for (;;) {
        WaveHeader* h = nullptr;
        {
            std::unique_lock lk(m_);
            cv_.wait(lk, [this] { return !running_ || !queue_.empty(); });
            if (!running_)
                return;
            h = queue_.front();
        }
        const uint32_t frames = h->bufferLength / block;
        uint32_t done = 0;
        while (done < frames && running_) {
            int64_t n = sink_->write(h->data + size_t(done) * block, frames - done);
            if (n < 0)
                break;  // a failed device finishes the buffer unplayed rather than hang
            done += uint32_t(n);
        }
        if (!running_)
            return;  // reset() hands the buffer back
        {
            std::lock_guard lk(m_);
            queue_.pop_front();
            h->flags = (h->flags & ~WaveHeader::InQueue) | WaveHeader::Done;
        }
        callback_(h);
    }
}

void WaveOut::stopThread()
{
    {
        std::lock_guard lk(m_);
        running_ = false;
        cv_.notify_all();
    }
    if (sink_)
        sink_->interrupt();
    if (thread_.joinable())
        thread_.join();
}

int32_t WaveOut::reset()
{
    if (!sink_)
        return result::kInvalidHandle;
    stopThread();
    sink_->stop();
    std::deque<WaveHeader*> returned;
    {
        std::lock_guard lk(m_);
        returned.swap(queue_);
    }
    for (WaveHeader* h : returned) {
        h->flags = (h->flags & ~WaveHeader::InQueue) | WaveHeader::Done;
        callback_(h);
    }
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return result::kOk;
}

int32_t WaveOut::close()
{
    if (!sink_)
        return result::kInvalidHandle;
    {
        std::lock_guard lk(m_);
        if (!queue_.empty())
            return result::kStillPlaying;
    }
    stopThread();
    sink_->stop();
    sink_.reset();
    callback_ = nullptr;
    return result::kOk;
}

}  // namespace wave
