// Feeds arbitrary bytes to the MP3 encoder's input description (the WAVE chunk walk), then
// reads every sample frame it promises, as the encoder would: each read must stay within the
// file and succeed.
#include "cd/LameInput.h"
#include "tags/ReadOnlyFile.h"
#include "tests/fuzz/MemoryFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tags::ReadOnlyFile file(fuzz::memoryFile(data, size));
    cd::TLameInput input;
    if (!cd::DescribeLameInput(file, 44100, 2, input))
        return 0;
    if (input.BlockAlign == 0 || input.DataSize % input.BlockAlign != 0 || input.DataStart < 0 ||
        input.DataStart + input.DataSize > std::int64_t(size) || (input.Channels != 1 && input.Channels != 2))
        __builtin_trap();
    std::uint8_t chunk[4608];
    for (std::int64_t done = 0; done < input.DataSize; done += sizeof chunk) {
        const std::size_t n = std::size_t(std::min<std::int64_t>(sizeof chunk, input.DataSize - done));
        if (!file.readExact(input.DataStart + done, n, chunk))
            __builtin_trap();
    }
    return 0;
}
