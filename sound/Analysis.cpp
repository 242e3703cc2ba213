#include "sound/Analysis.h"

#include "sound/cbDSMixer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace sound {

TAnalysis::TAnalysis(TcbDSMixerChannel* Channel, int32_t Columns, int32_t Frames)
    : channel_(Channel)
{
    columns_ = std::max<int32_t>(Columns, 1);
    frames_ = std::max<int32_t>(Frames, 0);
    framesPerColumn_ = std::max<int32_t>(frames_ / columns_, 1);
    if (channel_) {
        channelCount_ = channel_->Channels() == 1 ? 1 : 2;
        blockAlign_ = channel_->BlockAlign();
        bytesPerSample_ = channel_->BitsPerSample() == 16 ? 2 : 1;
    }
    sampleOffset_ = bytesPerSample_ == 2 ? 128 : 0;
    // A block smaller than the samples it must hold means no usable format (no file open,
    // or the channel was busy): Analyse then reads nothing.
    if (blockAlign_ < bytesPerSample_ * uint32_t(channelCount_))
        blockAlign_ = 0;
    max_.assign(size_t(columns_) * size_t(channelCount_), 128);
    min_.assign(max_.size(), 128);
}

void TAnalysis::Analyse()
{
    if (!channel_ || blockAlign_ == 0)
        return;
    const uint8_t *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    uint64_t bytes = std::min<uint64_t>(uint64_t(frames_) * blockAlign_, UINT32_MAX);
    channel_->LockPlayed(0, uint32_t(bytes), p1, n1, p2, n2);
    if (n1 + n2 > 0) {
        for (int32_t c = 0; c < channelCount_; ++c) {
            Scan s;
            if (n1 > 0)
                ScanPiece(p1, n1, c, s);
            if (n2 > 0)
                ScanPiece(p2, n2, c, s);
            if (!s.anyColumn)
                continue;  // nothing measured: keep the level as it was
            int a = std::abs(int(s.overallMax) - 128);
            int b = std::abs(int(s.overallMin) - 128);
            level_[c] = std::sqrt(double(std::max(a, b)) / 128.0);
        }
    }
    channel_->UnlockPlayed();
}

// The column state carries over from the first piece into the second, so a column that
// straddles the end of the channel's ring is measured whole.
void TAnalysis::ScanPiece(const uint8_t* piece, uint32_t bytes, int32_t channel, Scan& s)
{
    uint32_t frames = bytes / blockAlign_;
    const uint8_t* p = piece + blockAlign_ - 1 - bytesPerSample_ * uint32_t(channel);
    while (s.column < columns_) {
        while (s.frameCounter <= framesPerColumn_ && frames > 0) {
            uint8_t v = uint8_t(*p + sampleOffset_);
            s.columnMax = std::max(s.columnMax, v);
            s.columnMin = std::min(s.columnMin, v);
            ++s.frameCounter;
            --frames;
            p += blockAlign_;
        }
        if (s.frameCounter <= framesPerColumn_)
            return;  // the piece ran out inside this column
        s.overallMax = std::max(s.overallMax, s.columnMax);
        s.overallMin = std::min(s.overallMin, s.columnMin);
        max_[Index(s.column, channel)] = s.columnMax;
        min_[Index(s.column, channel)] = s.columnMin;
        s.anyColumn = true;
        s.columnMax = 0;
        s.columnMin = 255;
        ++s.column;
        s.frameCounter = 1;
    }
}

void TAnalysis::Clear()
{
    std::fill(max_.begin(), max_.end(), uint8_t(128));
    std::fill(min_.begin(), min_.end(), uint8_t(128));
}

uint8_t TAnalysis::Maximum(int32_t column, int32_t channel) const
{
    if (column < 0 || column >= columns_ || channel < 0 || channel >= channelCount_)
        return 128;
    return max_[Index(column, channel)];
}

uint8_t TAnalysis::Minimum(int32_t column, int32_t channel) const
{
    if (column < 0 || column >= columns_ || channel < 0 || channel >= channelCount_)
        return 128;
    return min_[Index(column, channel)];
}

double TAnalysis::Level(int32_t channel) const
{
    return channel == 0 || channel == 1 ? level_[channel] : 0.0;
}

}  // namespace sound
