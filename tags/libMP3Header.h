// The audio-file information record: what the MPEG and WAV header readers find in a music file,
// as the display texts the tag editor, the details view, the effect overlay and the main window
// show, plus the frame count and sample rate the playback engine uses. Also the wrapping of an
// MP3 file's frames into a RIFF WAVE file (format tag 85) without decoding them.
//
// The wrapping writes the new file under a name that does not exist yet, through a temporary
// file beside it, so a failure leaves nothing half-written. It asks its two questions through
// `Mp3WrapDialogs`, which the main window points at its message box; without one the "not an
// MP3" notice is dropped and an existing RIFF header is taken as it is.
//
// User-interface thread only, like the tag facade it uses.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

struct TMp3Record;

// Slots of AudioFileInfo.Text.
enum TAudioInfoSlot {
    aiFileName = 1,
    aiSeconds = 2,      // whole seconds, grouped
    aiSecondsText = 3,  // slot 2 + " sec"
    aiTime = 4,         // "h:nn:ss"
    aiDuration = 5,     // slot 4 + " (" + slot 3 + ")"
    aiBitRate = 6,
    aiSampleRate = 7,
    aiChannelMode = 8,
    aiPadding = 9,
    aiEmphasis = 10,
    aiPrivate = 11,
    aiCrc = 12,
    aiVbr = 13,
    aiVersion = 14,  // e.g. "MPEG 1 Layer III"
    aiCopyright = 15,
    aiOriginal = 16,
    aiStartByte = 17,
    aiFileSize = 18,
    aiFrames = 19,
    aiSamples = 20,
    aiEncoder = 21,
    aiFormat = 22,  // "WavFormat     : " + name, or "EncoderID     : " + code
    aiTextSlots = 23,
};

struct TAudioFileInfo {
    bool Valid = false;                            // slot 0
    std::array<std::string, aiTextSlots> Text;     // slots 1..22; Text[0] is unused
    std::int64_t FrameCount = 0;                   // slot 23
    std::int32_t SampleRate = 0;                   // slot 24, Hz

    // Everything back to its start value; the texts keep their memory for the next file.
    void Clear()
    {
        Valid = false;
        for (std::string& text : Text)
            text.clear();
        FrameCount = 0;
        SampleRate = 0;
    }
};

extern TAudioFileInfo AudioFileInfo;

// A VBR stream without a VBR header states its length nowhere. With `CountFrames` (the details
// and the effect page: one file at a time) its frames are counted to the end of the audio, one
// pass over the file; without it (quick, for many files) the mean rate of the frames at its
// start stands in.
void GetAudioFileInfo(const std::string& FileName, bool CountFrames = false);
// Sets only AudioFileInfo.SampleRate.
void ReadSampleRate(const std::string& FileName);

// The whole extension is ".wav", ignoring case.
bool IsWavFile(const std::string& FileName);

// The 70-byte RIFF WAVE header (format tag 85, "fact" and "data" chunks) for the audio the
// scanner found; the RIFF size is that of the finished file less 8, a pad byte for odd audio
// included.
std::string BuildMp3RiffHeader(const TMp3Record& Record);

// FileName when no such file exists, else "name(2).ext", "name(3).ext", ... the first that
// does not exist.
std::string MakeUniqueFileName(const std::string& FileName);

enum class TRiffAnswer { Yes, No, Cancel };

struct TMp3WrapDialogs {
    // Information with an OK button.
    std::function<void(const std::string& Text)> Inform;
    // Yes / No / Cancel question; Yes takes the file's own RIFF header.
    std::function<TRiffAnswer(const std::string& Text)> AskTakeHeader;
};

extern TMp3WrapDialogs Mp3WrapDialogs;

// Writes the file's MP3 frames as a RIFF WAVE file next to it (".wav", made unique) and gives
// it the file's tag. The name of the new file, or an empty text when there is no MP3 audio or
// the user cancelled; a file that cannot be read or written raises rtl::EStreamError.
std::string ConvertMp3ToRiffWave(const std::string& FileName);
