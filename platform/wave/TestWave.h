// The test wave devices. GeneratedWaveSystem's inputs produce a scripted signal in step with a
// ManualClock: each channel is a list of segments (silence, a tone at a level, noise), after
// which it is silent; the frames due at the clock's time are delivered, so a test that advances
// the clock sees the same buffers on every run. Its outputs play at once and record every byte
// they play. render() gives the signal itself, to compare what a recorder delivered.
//
// Threads: the input's frames are made on the device thread inside ManualClock::advance();
// played() and the device counters are read by the test thread between steps.
#pragma once

#include "platform/sound/Clock.h"
#include "platform/wave/WaveDevice.h"

namespace wave {

struct Segment {
    enum Kind { Silence, Tone, Noise };
    Kind kind = Silence;
    double seconds = 0;
    double frequency = 0;  // Tone
    double level = 0;      // peak, as a fraction of full scale
};

struct InputScript {
    std::vector<Segment> left;
    std::vector<Segment> right;  // unused by mono formats
};

class GeneratedWaveSystem : public WaveSystem {
public:
    GeneratedWaveSystem(snd::ManualClock& clock, InputScript script, int inputs = 1, int outputs = 1);

    std::vector<std::string> inputDevices() override;
    std::vector<std::string> outputDevices() override;
    std::unique_ptr<CaptureSource> createInput(int device) override;
    std::unique_ptr<PlaybackSink> createOutput(int device) override;

    // Frames [first, first + frames) of the script's signal in `format`.
    static std::vector<uint8_t> render(const InputScript& script, const snd::WaveFormat& format, int64_t first,
                                       int64_t frames);

    // Every byte the outputs have played.
    std::vector<uint8_t> played() const;
    // The device id of the last input and output created (kWaveMapper for the mapper).
    int lastInputDevice() const { return lastInput_; }
    int lastOutputDevice() const { return lastOutput_; }

private:
    class Input;
    class Output;

    snd::ManualClock& clock_;
    InputScript script_;
    int inputs_, outputs_;
    std::atomic<int> lastInput_{-2}, lastOutput_{-2};
    mutable std::mutex m_;
    std::vector<uint8_t> played_;
};

}  // namespace wave
