// The audio-CD device: one drive (a device path such as "/dev/sr0", or a .cue image) opened
// for status, transport and door commands in the manner of the old multimedia CD device.
// The disc is not played by the drive's analogue output: a feeder thread reads the sectors
// through libcdio and streams them into a SoundBuffer of the sound device it is given, so
// the position reported is the frame being heard.
//
// Addresses are disc frames (75 a second) counted from address 0, so track 1 normally
// starts at 150 (00:02:00). Values go in and out in the current time format:
//   kMilliseconds (0)  milliseconds from address 0
//   kMsf (2)           byte 0 minutes, byte 1 seconds, byte 2 frames, from address 0
//   kTmsf (10)         byte 0 track, byte 1 minutes, byte 2 seconds, byte 3 frames, from
//                      the start of that track
// Lengths come in milliseconds in kMilliseconds and as MSF otherwise. A track's length runs
// to the next start; the last one's stops one frame short of the lead-out, so that start +
// length + 1 frame is the lead-out. The disc's length is the lead-out address.
//
// An image has no tray of its own; it gets a simulated one (shared by every device and the
// disc watcher): ejecting takes the disc away until the tray is closed again.
//
// A NOTE ON THREADS: open, the calls and destruction belong to the user-interface thread
// (the calls are locked against the feeder). Notifications are posted to that thread and
// dropped once the device is destroyed, so a handler may close the device it hears from;
// destruction joins the feeder.
#pragma once

#include "platform/cdio/CueSheet.h"
#include "platform/sound/Clock.h"
#include "platform/sound/SoundDevice.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace cdaudio {

namespace error {
constexpr int kOk = 0;
constexpr int kNoDrive = 1;          // no drive given, or the path names no drive or image
constexpr int kNotReady = 2;         // no readable disc in the drive, or its tray is open
constexpr int kOutOfRange = 3;       // a track or address outside the disc
constexpr int kBadTimeFormat = 4;
constexpr int kNoSoundDevice = 5;
constexpr int kReadFailed = 6;
constexpr int kTrayFailed = 7;
constexpr int kNotPlayable = 8;      // the sound device refused the CD format
}  // namespace error

// The description of an error code, in Japanese as the windows that show it.
std::string errorText(int code);

constexpr uint32_t kMilliseconds = 0;
constexpr uint32_t kMsf = 2;
constexpr uint32_t kTmsf = 10;

enum class Mode { NotReady = 0, Stopped = 1, Playing = 2, Recording = 3, Seeking = 4, Paused = 5, Open = 6 };

// How a command that asked for notification ended.
enum class Notify { Successful = 1, Superseded = 2, Aborted = 4, Failure = 8 };
// An empty function asks for no notification.
using NotifyFn = std::function<void(Notify)>;

enum class Status { Mode, Position, Length, NumberOfTracks, TimeFormat, MediaPresent };
enum class InfoItem { Product, Mcn, MediaIdentity };

struct Caps {
    bool canPlay = false;
    bool canEject = false;
    bool canRecord = false;
    bool hasVideo = false;
};

// Disc frames per second and audio frames (44.1 kHz stereo samples) per disc frame.
constexpr uint32_t kFramesPerSecond = 75;
constexpr uint32_t kSamplesPerFrame = 588;

// Packing of addresses, for callers that work in one format.
uint32_t packMsf(uint32_t frames);
uint32_t msfFrames(uint32_t msf);

class CdAudioDevice {
public:
    // Opens `drive`. A drive without a disc opens (its mode is "not ready"); a path that
    // names no drive or image fails with kNoDrive. `sound` may be null: playing then fails.
    static std::unique_ptr<CdAudioDevice> open(const std::string& drive,
                                               std::shared_ptr<snd::SoundDevice> sound,
                                               snd::TickSource& ticks, int& error);
    ~CdAudioDevice();
    CdAudioDevice(const CdAudioDevice&) = delete;
    CdAudioDevice& operator=(const CdAudioDevice&) = delete;

    const std::string& drive() const;

    // `track` > 0 asks for that track: Position gives its start, Length its length.
    [[nodiscard]] int status(Status item, uint32_t& value, uint32_t track = 0);
    [[nodiscard]] int setTimeFormat(uint32_t format, const NotifyFn& notify = {});

    // From `from` (default: the position) to `to` (default: the lead-out).
    [[nodiscard]] int play(std::optional<uint32_t> from, std::optional<uint32_t> to, const NotifyFn& notify);
    [[nodiscard]] int pause(const NotifyFn& notify);
    [[nodiscard]] int stop(const NotifyFn& notify);
    [[nodiscard]] int seek(uint32_t to, const NotifyFn& notify);
    [[nodiscard]] int seekToStart(const NotifyFn& notify);
    [[nodiscard]] int seekToEnd(const NotifyFn& notify);
    [[nodiscard]] int setDoor(bool open, const NotifyFn& notify);

    [[nodiscard]] int info(InfoItem item, std::string& text);
    Caps caps() const;

    // Why a cue sheet gave no disc when it was last read (its fault None otherwise, and for
    // drives and other images).
    cdio_disc::CueError imageError() const;

private:
    struct State;
    explicit CdAudioDevice(std::unique_ptr<State> state);
    std::unique_ptr<State> s_;
};

// The name a file manager shows for the disc: "Audio CD" when every track is audio, else
// the ISO 9660 volume name (or CD-TEXT title) of the disc; empty when there is no disc.
std::string volumeLabel(const std::string& drive);

// Whether an image's simulated tray is open (false for anything else).
bool imageTrayOpen(const std::string& image);
// Whether `drive` is a disc image (a tray is simulated) rather than a device.
bool isImage(const std::string& drive);

}  // namespace cdaudio
