// TCDPlayer: the audio-CD player component. It drives one CD audio device of
// platform/cdaudio (opened on the first drive of its drive list), reads the disc's table of
// contents, plays, pauses, stops, seeks and steps between tracks, moves the tray, reports
// times in four display modes, follows discs arriving and leaving through a disc watcher,
// and reads and writes the desktop's AutoPlay handler for audio CDs. It carries the disc's
// texts and track titles for the windows that name the disc.
//
// Drives are device paths or .cue images; the drive list is [CDPlayer] "CD_DRIVE" of the
// settings file when set, then the machine's CD drives. The disc plays through the sound
// device the owner hands over (the engine's), on a feeder thread of the device.
//
// It also gives the disc its CDDB identity and request URLs, parses a CDDB read answer, and
// keeps the disc's texts in the system CD database, $XDG_CONFIG_HOME/Tambourelle/cdplayer.ini:
// one section per disc named by its media identity (the CDDB disc id) in upper-case
// hexadecimal of at least 6 digits, with "artist", "title", "genre", "category", "date" (read
// falls back to "year"), "numtracks" and the track titles "0", "1", ...
//
// User-interface thread only. Device notices and command notifications arrive as queued
// calls on that thread; Close and the destructor join the device's and the watcher's threads
// and drop reports still queued.
#pragma once

#include "platform/cdaudio/CdAudioDevice.h"
#include "platform/cdaudio/DiscWatcher.h"
#include "platform/sound/Clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace snd {
class SoundDevice;
}

class EMCIDeviceError : public std::runtime_error {
public:
    EMCIDeviceError(int code, const std::string& text) : std::runtime_error(text), Code(code) {}
    int Code;
};

class ECDPlayerError : public std::runtime_error {
public:
    ECDPlayerError() : std::runtime_error("Table of content is not initialized.") {}
    using std::runtime_error::runtime_error;
};

enum TDisplayTimeFormats { tfTotalElapsed, tfTotalRemain, tfTrackElapsed, tfTrackRemain };
enum TNotifyValues { nvSuccessful, nvSuperseded, nvAborted, nvFailure };

struct TTOCEntry {
    int32_t StartMinute = 0;
    int32_t StartSecond = 0;
    int32_t LengthMinute = 0;
    int32_t LengthSecond = 0;
    int32_t StartFrame = 0;  // address in frames from 0; track 1 normally starts at 150
    std::string Title;
    std::string Note;
};
using TTOC = std::vector<TTOCEntry>;

// The CDDB categories, in the order the windows offer them.
extern const std::vector<std::string> CddbCategories;
// The client identification appended to every CDDB request.
extern const char* const CddbHello;

class TCDPlayer;
using TDeviceChangeEvent = std::function<void(TCDPlayer* Sender, const std::string& Drive)>;
using TMMNotifyEvent = std::function<void(TCDPlayer* Sender, TNotifyValues NotifyValue)>;

// Mode numbers of GetMode.
enum { cdmNotReady = 0, cdmStopped = 1, cdmPlaying = 2, cdmRecording = 3, cdmSeeking = 4, cdmPaused = 5, cdmOpen = 6 };

class TCDPlayer {
public:
    // `ticks` clocks the feeder and the disc watcher (a manual clock in tests).
    explicit TCDPlayer(snd::TickSource& ticks = snd::systemTicks());
    ~TCDPlayer();
    TCDPlayer(const TCDPlayer&) = delete;
    TCDPlayer& operator=(const TCDPlayer&) = delete;

    // --- published
    TDeviceChangeEvent AfterInsert;
    TDeviceChangeEvent AfterRemove;
    TMMNotifyEvent OnNotify;
    std::string CurrentDrive;  // a drive path; empty = none
    bool AutoRewind = true;
    TDisplayTimeFormats DisplayTimeMode = tfTotalElapsed;
    const std::string& About() const { return about_; }
    void SetAbout(const std::string&) {}
    bool AutoRun() const;
    void SetAutoRun(bool Value);
    std::string DefaultPlayer() const;
    void SetDefaultPlayer(const std::string& Value);

    // The device the disc plays through; without one, Play raises.
    void SetSoundDevice(std::shared_ptr<snd::SoundDevice> Device);

    // --- device
    uint32_t Open();
    void Close();
    void Reopen();
    void LoadDiscInfo();
    void ReadToc();
    void ClearDiscInfo();
    uint32_t DeviceId() const { return deviceId_; }

    // --- transport
    void Play();
    void Pause();
    void Stop();
    void Next();
    void Previous();
    void Rewind();
    void Seek(uint32_t Position);
    void SetStartPosition(uint32_t Position);
    void SetTrack(int Track);
    void SetPositionInTrack(int Ms);
    void Eject();
    void CloseDoor();

    // --- status
    void SetTimeFormat(uint32_t Format);
    uint32_t GetTimeFormat();
    int GetMode();
    uint32_t GetLength();
    uint32_t GetPosition();
    int GetTrackCount();
    uint32_t GetTrackPosition(int Track);
    uint32_t GetTrackLength(int Track);
    int GetCurrentTrack();
    int GetLengthMs();
    int GetPositionMs();
    int GetTrackElapsedMs();
    int GetCurrentTrackLengthMs();
    void GetTimeByMode(TDisplayTimeFormats Mode, int& Min, int& Sec);
    void GetDisplayTime(int& Min, int& Sec);
    void GetTrackInfo(int Index, TTOCEntry& Entry) const;
    const TTOC& TOC() const { return toc_; }

    // --- information
    std::string GetInfo(cdaudio::InfoItem Item);
    uint32_t GetMediaIdentity();
    void GetDeviceCaps();
    uint8_t Capabilities() const { return caps_; }  // bit 0 step, 1 eject, 2 play, 3 record, 4 window
    std::string GetVolumeLabel(const std::string& Drive);
    bool IsAudioDisc(const std::string& Drive);
    bool HasAudioDisc() { return IsAudioDisc(CurrentDrive); }
    // Why the drive's cue sheet gave no disc when it was last opened (fault None when it did,
    // for a drive, and with no device open).
    cdio_disc::CueError ImageError() const { return device_ ? device_->imageError() : cdio_disc::CueError{}; }
    bool KnownDisc() const { return knownDisc_; }
    uint32_t DiscId() const { return discId_; }
    const std::string& GetTitle() const { return title_; }
    const std::string& GetArtist() const { return artist_; }
    const std::string& GetGenre() const { return genre_; }
    const std::string& GetCategory() const { return category_; }
    const std::string& GetDate() const { return date_; }

    // --- disc identity, CDDB requests, the system CD database
    // Raises ECDPlayerError when the TOC is empty or is not the disc's.
    uint32_t ComputeDiscId();
    std::string CddbQueryPath();
    // Host may carry ":port"; a Host that is a whole "http(s)://" address is taken as it is.
    static std::string MakeHttpUrl(const std::string& Host, const std::string& Path);
    // An empty Hello means CddbHello.
    std::string CddbQueryUrl(const std::string& Host, const std::string& Hello);
    static std::string CddbReadUrl(const std::string& Host, const std::string& Category, const std::string& DiscId,
                                   const std::string& Hello);
    static void ParseXmcd(const std::string& Text, std::string& Year, std::vector<std::string>& Tracks,
                          std::string& Title, std::string& Artist);
    // True when the database has a section for the disc; at most 99 tracks are read.
    static bool ReadCdPlayerIni(uint32_t MediaId, std::string& Artist, std::vector<std::string>& Tracks,
                                std::string& Category, std::string& Genre, std::string& Date, std::string& Title);
    // Writes the disc's section (the folder is made when missing) and takes the values into the
    // player; raises EIniFileError when the file cannot be written.
    void WriteCdPlayerIni(uint32_t MediaId, const std::string& Artist, const std::string& Title,
                          const std::string& Date, const std::string& Genre, const std::string& Category,
                          const std::vector<std::string>& Tracks);
    // The database's base name for the settings routines (the path without ".ini").
    static std::string CdPlayerIniBase();
    static int DigitSum(int64_t N);
    static int MsfToSeconds(uint32_t Msf);

    // --- drives and notices
    void FillDriveList();
    const std::vector<std::string>& DriveList() const { return drives_; }
    cdaudio::DiscWatcher& Watcher() { return *watcher_; }
    void DeviceArrival(const std::string& Drive);
    void DeviceRemoval(const std::string& Drive);
    void NotifyHandler(cdaudio::Notify Value);

private:
    void check(int error) const;
    uint32_t status(cdaudio::Status Item, uint32_t Track = 0);
    void seekTo(uint32_t Target);
    cdaudio::NotifyFn notifier();
    std::string queryCommand();
    void takeTitles(const std::vector<std::string>& Tracks);

    // Restores the device's time format when it goes out of scope.
    class FormatScope;

    snd::TickSource& ticks_;
    std::shared_ptr<snd::SoundDevice> sound_;
    std::unique_ptr<cdaudio::CdAudioDevice> device_;
    std::unique_ptr<cdaudio::DiscWatcher> watcher_;
    std::vector<std::string> drives_;
    uint32_t deviceId_ = 0;
    uint32_t nextDeviceId_ = 1;
    std::string about_ = "Ostrel CD Player 1.0";
    uint32_t endPosition_ = 0;
    uint32_t startPosition_ = 0;
    bool startSet_ = false;
    bool endSet_ = false;
    std::string genre_, category_, artist_, title_, date_;
    TTOC toc_;
    uint32_t discId_ = 0;
    int min_ = 0, sec_ = 0;
    uint8_t caps_ = 0;
    bool knownDisc_ = false;
};
