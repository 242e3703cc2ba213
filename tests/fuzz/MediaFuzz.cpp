// Feeds arbitrary bytes to the sound engine's file reader as a music file: FFmpeg finds and
// decodes the stream, our side converts, buffers, cuts to the playback window and seeks. Reads
// are bounded so that a long stream costs no more than a few seconds of audio.
#include "sound/cbAudioFileReader.h"
#include "tests/fuzz/MemoryFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        sound::TcbAudioFileReader reader(fuzz::memoryFile(data, size));
        const auto& format = reader.Format();
        if (format.blockAlign == 0 || format.samplesPerSec == 0)
            __builtin_trap();
        std::vector<std::uint8_t> buffer(16384);
        reader.SetLength(2'000'000);  // 0.2 s
        for (int i = 0; i < 64 && reader.Read(buffer.data(), std::uint32_t(buffer.size())) > 0; ++i) {
        }
        reader.SetLength(0);
        reader.Seek(reader.Duration() / 2);
        (void)reader.Read(buffer.data(), std::uint32_t(buffer.size()));
        reader.Seek(0);
        for (int i = 0; i < 16; ++i) {
            const std::uint32_t got = reader.Read(buffer.data(), std::uint32_t(buffer.size()));
            if (got % format.blockAlign != 0 || got > buffer.size())
                __builtin_trap();
            if (got == 0)
                break;
        }
    } catch (const sound::EAudioReadError&) {
    }
    return 0;
}
