#include "sound/cbAudioFileReader.h"

#include "tags/MPEGaudio.h"

#include <array>
#include <cmath>
#include <utility>

namespace sound {

using media::MediaStream;

std::string AudioReadErrorText(int32_t code)
{
    static const std::array<std::pair<uint32_t, const char*>, 20> texts{{
        {0x8000001, "Invalid buffer size."},
        {0x80040154, "A specified class is not registered in the registration database."},
        {0x80040110, "This class cannot be created as part of an aggregate."},
        {0x80004004, "The update aborted."},
        {0x80070057, "One of the parameters is invalid."},
        {0x80004003, "This method tried to access an invalid pointer."},
        {0x80004002, "No interface."},
        {0x40001, "The asynchronous update is pending."},
        {0x40002, "Sample was not updated after forced completion."},
        {0x40003, "Reached the end of the stream; the sample wasn't updated."},
        {0x80040401, "An IMediaStream object could not be removed from an IMultiMediaStream object because it still contains at least one allocated sample."},
        {0x80040402, "The specified purpose ID can't be used for the call."},
        {0x80040403, "No stream can be found with the specified attributes."},
        {0x80040404, "One or more media streams don't support seeking."},
        {0x80040405, "The stream formats are not compatible."},
        {0x80040406, "This sample already has a pending update."},
        {0x80040407, "The object can't accept the call because its initialize function or equivalent has not been called."},
        {0x80040408, "Source already defined."},
        {0x80040409, "The stream type is not valid for this operation."},
        {0x8004040A, "The IMultiMediaStream object is not in running state."},
    }};
    for (const auto& [c, text] : texts)
        if (static_cast<int32_t>(c) == code)
            return text;
    std::string platform = MediaStream::errorText(code);
    return platform.empty() ? "Unrecognized error value." : platform;
}

void TcbAudioFileReader::Check(int32_t result)
{
    if (result != 0)
        throw EAudioReadError(AudioReadErrorText(result), result);
}

TcbAudioFileReader::TcbAudioFileReader(const std::string& FileName)
{
    Check(stream_.open(FileName));
    duration_ = stream_.duration();
    // FFmpeg takes the length of an MPEG stream without a VBR header from the rate of its
    // first frames, short or long by seconds for a VBR one: its frames are counted instead,
    // as the tag details count them. Other files keep the length they state.
    if (stream_.durationGuessedFromBitRate())
        if (const double counted = CountedVbrDuration(FileName); counted > 0)
            duration_ = std::llround(counted * 1e7);
    fileName_ = FileName;
}

uint32_t TcbAudioFileReader::Read(uint8_t* Buffer, uint32_t Size)
{
    if (Size == 0)
        Check(kInvalidBufferSize);
    if (length_ != 0 && startTime_ + length_ <= currentTime_)
        return 0;
    std::lock_guard lk(streamLock_);
    uint32_t actual = 0;
    int32_t r = stream_.read(Buffer, Size, actual);
    if (r == MediaStream::kEndOfStream || r == MediaStream::kNoStream)
        return 0;
    Check(r);
    sampleStart_ = std::min(stream_.sampleStart(), stream_.sampleEnd());
    sampleEnd_ = stream_.sampleEnd();
    const int64_t limit = startTime_ + length_;
    if (length_ != 0 && sampleEnd_ > limit && sampleEnd_ > sampleStart_) {
        // Cut the block at the limit, to whole frames.
        long double part = static_cast<long double>(limit - sampleStart_) / (sampleEnd_ - sampleStart_);
        uint32_t cut = static_cast<uint32_t>(std::trunc(actual * std::max<long double>(part, 0)));
        actual = cut - cut % Format().blockAlign;
        sampleEnd_ = limit;
    }
    currentTime_ = sampleEnd_;
    return actual;
}

bool TcbAudioFileReader::Prefetch(uint32_t Ms)
{
    std::unique_lock lk(streamLock_, std::try_to_lock);
    return lk && stream_.prefetch(uint32_t(uint64_t(Format().avgBytesPerSec) * Ms / 1000));
}

void TcbAudioFileReader::Seek(int64_t Time)
{
    if (Time == currentTime_)
        return;
    if (Time < startTime_)
        Time = startTime_;
    else if (Time > duration_)
        Time = duration_;
    else if (length_ != 0 && Time > startTime_ + length_)
        Time = startTime_ + length_;
    std::lock_guard lk(streamLock_);
    Check(stream_.seek(Time));
    currentTime_ = Time;
}

void TcbAudioFileReader::SetStartTime(int64_t Time)
{
    if (Time == startTime_)
        return;
    if (Time < 0)
        Time = 0;
    if (currentTime_ < Time)
        Seek(Time);
    startTime_ = Time;
}

void TcbAudioFileReader::SetLength(int64_t Length)
{
    if (Length == length_)
        return;
    if (Length != 0 && Length < kMinLength)
        Length = kMinLength;
    else if (Length > kMaxLength)
        Length = kMaxLength;
    if (startTime_ + Length < currentTime_)
        Seek(startTime_);
    length_ = Length;
}

}  // namespace sound
