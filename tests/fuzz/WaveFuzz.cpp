// Feeds arbitrary bytes to the RIFF chunk reader and the WAVE stream and PCM reader on top of
// it: open, read every frame, seek about. Compressed formats stop after opening: their decoding
// is FFmpeg's. The input goes through a memory file reached through /proc.
#include "cd/waveio.h"
#include "tests/fuzz/MemoryFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        waveio::TFileWaveStream stream(fuzz::memoryFile(data, size));
        if (stream.Format().formatTag != snd::WaveFormat::kPcm)
            return 0;
        waveio::TPCMWaveReader reader(stream);
        std::vector<std::uint8_t> buf(size_t(reader.Format().blockAlign) * 256);
        while (reader.Read(buf.data(), 256) > 0) {
        }
        stream.Seek(stream.Length() / 2, rtl::soBeginning);
        stream.Read(buf.data(), 256);
        stream.Seek(0, rtl::soEnd);
    } catch (const waveio::EWaveError&) {
    }
    return 0;
}
