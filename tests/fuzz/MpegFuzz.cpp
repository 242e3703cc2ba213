// Feeds arbitrary bytes to the header readers of the audio-file information: the MPEG header
// analysis (with its small ID3v1 and ID3v2 readers and the VBR headers), the frame reader, the
// MP3 scanner and the WAVE header reader, and asks each for everything it derives.
#include "tags/MPEGaudio.h"
#include "tags/MP3Utils.h"
#include "tags/ReadOnlyFile.h"
#include "tags/WAVfile.h"
#include "tags/mpegfile.h"
#include "tests/fuzz/MemoryFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tags::ReadOnlyFile file(fuzz::memoryFile(data, size));
    TMPEGaudio mpeg;
    if (mpeg.ReadFromFile(file)) {
        (void)mpeg.OtherRateFollows(file);
        (void)(mpeg.Version() + mpeg.Layer() + mpeg.ChannelMode() + mpeg.Emphasis() + mpeg.Encoder());
        (void)(mpeg.BitRate() + mpeg.SampleRate() + mpeg.Frames() + mpeg.Duration() + mpeg.Valid());
    }
    TMPEGData frames;
    (void)ReadMPEGData(file, frames);
    TMp3Record record;
    const std::int64_t ms = ScanMP3File(file, record);
    if (record.FirstFrame >= 0 && (ms < 0 || record.FirstFrame + record.AudioLength > std::int64_t(size)))
        __builtin_trap();
    TWAVfile wav;
    if (wav.ReadFromFile(file) && wav.Valid) {
        (void)(wav.Format() + wav.Channel());
        (void)wav.Duration();
        if (wav.HeaderSize < 0 || wav.DataSize < 0 || wav.HeaderSize + wav.DataSize > std::int64_t(size))
            __builtin_trap();
    }
    return 0;
}
