// TCDRIP: the CD ripping component over platform/cdrip. It reads the drive's parameters and
// table of contents when created, keeps the track list, and rips a track (or any sector range)
// to a WAV or raw PCM file, or through a TLameCoder to an MP3 file, reporting progress and
// noting jitter errors in a side file.
//
// The output is written into a temporary file beside the target that replaces it when the rip
// ends or is cancelled, so a failure leaves no half file and an earlier file of that name as it
// was. A cancelled rip is finished properly: the encoder is flushed and the WAV header gives
// the bytes written.
//
// The library behind it is one per process: one component at a time (a newer one takes over
// the drive list). User-interface thread only. A rip serves the event loop after every chunk; a handler run
// meanwhile may call Cancel(), but must not start another rip on this component nor destroy
// it or its Coder.
#pragma once

#include "cd/LameCoder.h"
#include "platform/cdrip/CdRipper.h"
#include "platform/rtl/StringList.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cd {

class ECDRIPError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TDriveType {
    GENERIC, TOSHIBA, TOSHIBANEW, IBM, NEC, DEC, IMS, KODAK, RICOH, HP, PHILIPS, PLASMON,
    GRUNDIGCDR100IPW, MITSUMICDR, PLEXTOR, SONY, YAMAHA, NRC, IMSCDD5, CUSTOMDRIVE
};
enum TReadMethod { READMMC, READ10, READNEC, READSONY, READMMC2, READMMC3, READC1, READC2, READC3 };
enum TSetSpeed { SPEEDNONE, SPEEDMMC, SPEEDSONY, SPEEDYAMAHA, SPEEDTOSHIBA, SPEEDPHILIPS, SPEEDNEC };
enum TEndian { BIGENDIAN, LITTLEENDIAN };
enum TEnableMode { ENABLENONE, ENABLESTD };
enum TOutputFormat { STEREO44100, MONO44100, STEREO22050, MONO22050, STEREO11025, MONO11025 };

// The drive description read from the library; changing it changes only this object.
class TDriveTableClass {
public:
    TDriveType DriveType = GENERIC;
    TReadMethod ReadMethod = READMMC;
    TSetSpeed SetSpeed = SPEEDNONE;
    TEndian Endian = LITTLEENDIAN;
    TEnableMode EnableMode = ENABLENONE;
    int Density = 0;
    bool Atapi = false;
};

struct TTrack {
    std::uint16_t TrackNumber = 0;   // 1-based
    std::int32_t StartSector = 0;
    std::int32_t EndSector = 0;      // the next entry's start sector - 1
    std::int32_t Value = 0;
    std::string Name;                // "Track" + two digits
    std::string Kind;                // "Audio", or "Data" when the control bits say data
};

class TCDRIP;
using TProcessTrackEvent = std::function<void(TCDRIP* Sender, std::uint16_t TrackNum)>;
using TRipProgressEvent = std::function<void(TCDRIP* Sender, std::uint16_t PercentComplete)>;

// The channels, rate and coder mode of an output format.
struct TFormatInfo {
    int Channels;
    std::uint32_t Rate;
    TLameMode Mode;
};
TFormatInfo FormatInfo(TOutputFormat Format);

// The jitter side file of a rip: the file name with its extension replaced by "jitt".
std::string JitterFileName(const std::string& FileName);

class TCDRIP {
public:
    // Takes the drive list (the CD player's, TCDPlayer::DriveList()), reads the first drive's
    // parameters and its table of contents.
    // ECDRIPError "Initialization failure" when the library fails on the way.
    explicit TCDRIP(const std::vector<std::string>& Drives);
    ~TCDRIP();
    TCDRIP(const TCDRIP&) = delete;
    TCDRIP& operator=(const TCDRIP&) = delete;

    TLameCoder* Coder() const { return coder_; }
    // Applies OutputFormat to the coder.
    void SetCoder(TLameCoder* Value);
    int CDRomNum() const { return cdRomNum_; }
    // Selects another drive and rebuilds the track list; the same number does nothing.
    void SetCDRomNum(int N);
    TDriveTableClass& DriveTable() { return driveTable_; }
    TOutputFormat OutputFormat() const { return outputFormat_; }
    void SetOutputFormat(TOutputFormat Value);
    bool JitterCorrect() const { return jitterCorrect_; }
    void SetJitterCorrect(bool Value);
    const std::string& Version() const { return version_; }
    int Speed() const { return speed_; }
    bool Encode = false;
    bool WriteWAV = false;

    TProcessTrackEvent OnBeginTrack;
    TProcessTrackEvent OnEndTrack;
    TRipProgressEvent OnProgress;

    const std::vector<TTrack>& Tracks() const { return tracks_; }
    int TrackCount() const { return int(tracks_.size()); }
    // Jitter errors of the last rip, and its side file's lines.
    int JitterErrors() const { return jitterErrors_; }
    // Whole sectors of audio the last rip took from the drive: 0 when its range could not be
    // opened, fewer than the range holds when chunks could not be read (they are left out).
    std::int32_t SectorsRead() const;
    const rtl::TStringList& JitterList() const { return jitterList_; }

    // Gives the parameter block back to the library; true when it took it.
    bool ApplyParameters();
    void RipTrack(int TrackNum, const std::string& FileName);
    void RipSectors(std::int32_t StartSector, std::int32_t EndSector, std::string FileName);
    // Ends a running rip after its current chunk.
    void Cancel() { cancel_ = true; }
    bool Busy() const { return ripping_; }

private:
    void ReadParameters();
    void ReadTracks();

    TLameCoder* coder_ = nullptr;
    int cdRomNum_ = -1;
    TDriveTableClass driveTable_;
    TOutputFormat outputFormat_ = STEREO44100;
    bool jitterCorrect_ = true;
    std::string version_;
    int speed_ = 0;
    bool haveParams_ = false;
    cdrip::CdromParams params_;
    std::vector<TTrack> tracks_;
    rtl::TStringList jitterList_;
    int jitterErrors_ = 0;
    std::int64_t bytesRead_ = 0;  // of the last rip, in the output format
    bool cancel_ = false;
    bool ripping_ = false;
};

}  // namespace cd
