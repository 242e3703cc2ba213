// `TMidiPlayer`: plays a standard MIDI file with a General MIDI sound font (libfluidsynth) into
// an output of its own: the ALSA "default" device (so PipeWire or PulseAudio on a desktop), or
// a memory output that records what would have played, for tests.
//
// A NOTE ON THREADS. Open, Play, Stop and the destructor belong to one thread (the UI thread
// in the program). Play starts a worker thread that sequences the file, renders 16-bit stereo
// PCM at 44,100 Hz and writes it to the output; a blocking device paces it. Stop (and Open of
// another file, and the destructor) ends the worker, waits for it and closes the output. The
// output is touched only by the worker while it runs and by the owning thread otherwise.
//
// Failures never raise: no sound font, a file the sequencer refuses or an output that cannot
// be opened leave the player silent, with LastError saying why.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace midi {

constexpr int SampleRate = 44100;
constexpr int Channels = 2;

// Where the rendered sound goes. Open and Close come from the owning thread, Note and Write
// from the worker between them.
class TMidiOutput {
public:
    virtual ~TMidiOutput() = default;
    // False (with Error set) when the device cannot be had.
    virtual bool Open(std::string& Error) = 0;
    virtual void Close() = 0;
    // A note-on (Velocity > 0) or note-off the sequencer sent, before it is rendered.
    virtual void Note(int /*Channel*/, int /*Key*/, int /*Velocity*/) {}
    // Interleaved stereo frames; false ends the playback (a device that failed).
    virtual bool Write(const int16_t* Frames, int Count) = 0;
};

// An ALSA playback device: "default" (PipeWire or PulseAudio on a desktop) unless named.
std::unique_ptr<TMidiOutput> CreateAlsaMidiOutput(const std::string& Device = "default");

// Records the notes and keeps the first MaxFrames frames of the sound.
class TMemoryMidiOutput : public TMidiOutput {
public:
    struct TNote {
        int Channel, Key, Velocity;
    };
    explicit TMemoryMidiOutput(std::size_t MaxFrames = std::size_t(SampleRate) * 10) : max_(MaxFrames) {}

    bool Open(std::string&) override;
    void Close() override;
    void Note(int Channel, int Key, int Velocity) override;
    bool Write(const int16_t* Frames, int Count) override;

    bool IsOpen() const { return open_; }
    int OpenCount() const { return opens_; }
    std::vector<TNote> Notes() const;
    std::vector<int16_t> Samples() const;

private:
    mutable std::mutex lock_;
    std::size_t max_;
    std::atomic<bool> open_{false};
    int opens_ = 0;
    std::vector<TNote> notes_;
    std::vector<int16_t> samples_;
};

// The sound font to use: Configured when that file exists, else the system's default General
// MIDI font when present; "" when there is none.
std::string FindSoundFont(const std::string& Configured);

class TMidiPlayer {
public:
    TMidiPlayer(std::unique_ptr<TMidiOutput> Output, std::string SoundFont);
    ~TMidiPlayer();
    TMidiPlayer(const TMidiPlayer&) = delete;
    TMidiPlayer& operator=(const TMidiPlayer&) = delete;

    // Stops what plays and prepares FileName; false when it cannot be played.
    bool Open(const std::string& FileName);
    // Starts the opened file on the worker; false when nothing is open or the output failed.
    bool Play();
    // Ends the playback and closes the output and the file; nothing when nothing is open.
    void Stop();

    // The file opened last ("" after Stop).
    const std::string& FileName() const { return fileName_; }
    // True from Play until the file has ended or Stop.
    bool Playing() const { return playing_; }
    const std::string& LastError() const { return error_; }
    TMidiOutput& Output() { return *output_; }

private:
    struct TSynth;
    void run();
    std::unique_ptr<TMidiOutput> output_;
    std::string soundFont_;
    std::string fileName_;
    std::string error_;
    std::unique_ptr<TSynth> synth_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> playing_{false};
    bool outputOpen_ = false;
};

}  // namespace midi
