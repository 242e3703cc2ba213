// Level analysis of the sound about to be heard: the next 50 ms after the channel's play
// cursor, read from the channel's copy of its PCM. It gives the two level bars their values
// (0..1 per channel) and the oscilloscope-like visual modes, for every column of a pane, the
// highest and lowest sample of each channel in that column's share of the frames.
//
// Every sample is reduced to one byte in offset-binary form (128 = silence): an 8-bit sample
// as stored, a 16-bit one as its high byte plus 128. Channel entry 0 is the last sample of a
// frame and entry 1 the one before it, so for stereo entry 0 is the right channel.
//
// When the channel gives nothing to read (it is not primed, its lock wait timed out, or the
// play cursor has not moved since the last refill), the tables and the levels stay as they
// were: the bars hold still instead of jumping to full scale. The same holds for a channel
// entry when the data ran out before a single column was complete.
//
// The analysis does not own the channel. It runs on the user-interface thread and does not
// allocate after construction.
#pragma once

#include <cstdint>
#include <vector>

namespace sound {

class TcbDSMixerChannel;

class TAnalysis {
public:
    // Columns below 1 (a pane that has no width yet) count as one column. Frames is the
    // number of frames to scan on each Analyse; the channel's format is read here, so create
    // the analysis after the channel has opened its file.
    TAnalysis(TcbDSMixerChannel* Channel, int32_t Columns, int32_t Frames);

    void Analyse();
    // Every table byte to 128 (silence); the levels stay.
    void Clear();

    int32_t ChannelCount() const { return channelCount_; }
    int32_t Columns() const { return columns_; }
    int32_t FramesPerColumn() const { return framesPerColumn_; }
    // Entry `channel` of column `column`; out-of-range indices read 128.
    uint8_t Maximum(int32_t column, int32_t channel) const;
    uint8_t Minimum(int32_t column, int32_t channel) const;
    // Level of channel entry 0 or 1, 0..1; entry 1 of a mono file stays 0.
    double Level(int32_t channel) const;
    // The whole tables, Columns() x ChannelCount() bytes, entry [column * ChannelCount() +
    // channel], for readers that look at every column on each display tick.
    const uint8_t* MaximumTable() const { return max_.data(); }
    const uint8_t* MinimumTable() const { return min_.data(); }

private:
    // What one channel entry has seen so far in the current Analyse.
    struct Scan {
        int32_t column = 0;
        int32_t frameCounter = 1;
        uint8_t columnMax = 0, columnMin = 255;
        uint8_t overallMax = 0, overallMin = 255;
        bool anyColumn = false;
    };
    void ScanPiece(const uint8_t* piece, uint32_t bytes, int32_t channel, Scan& s);
    size_t Index(int32_t column, int32_t channel) const { return size_t(column) * size_t(channelCount_) + size_t(channel); }

    TcbDSMixerChannel* channel_;
    int32_t channelCount_ = 1;
    int32_t framesPerColumn_ = 1;
    int32_t frames_ = 0;
    int32_t columns_ = 1;
    uint8_t sampleOffset_ = 0;
    uint32_t blockAlign_ = 0;
    uint32_t bytesPerSample_ = 1;
    std::vector<uint8_t> max_, min_;
    double level_[2] = {0.0, 0.0};
};

}  // namespace sound
