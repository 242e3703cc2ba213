// The cached blocks of the header readers' file: whatever the order of the reads and wherever
// the blocks start (near the end of a file they reach back from its end), every read gives
// the file's own bytes, and none reaches past its end.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/TestSupport.h"
#include "tags/ReadOnlyFile.h"

using namespace testsupport;

TEST(ReadOnlyFile, ReadsInAnyOrderGiveTheFilesBytes)
{
    TempDir dir;
    std::mt19937 rng(11);
    // Below one block, just over it, and several blocks with an unaligned end.
    for (const std::size_t size : {std::size_t(700), std::size_t(12 * 1024 + 5), std::size_t(53 * 1024 + 123)}) {
        SCOPED_TRACE(size);
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(rng());
        const std::string path = dir.file("f" + std::to_string(size));
        writeFile(path, bytes);
        // Large blocks, a header's small ones and a size that divides nothing evenly, each
        // changed half-way to another.
        for (const std::size_t blockBytes :
             {tags::ReadOnlyFile::kBlockBytes, tags::ReadOnlyFile::kHeaderBlockBytes, std::size_t(333)}) {
            SCOPED_TRACE(blockBytes);
            tags::ReadOnlyFile file(path, blockBytes);
            ASSERT_TRUE(file.isOpen());
            ASSERT_EQ(file.size(), std::int64_t(size));
            for (int i = 0; i < 400; ++i) {
                if (i == 200)
                    file.setBlockBytes(blockBytes == 333 ? tags::ReadOnlyFile::kBlockBytes : 333);
                // The end of the file, its start and places between, in no order.
                const std::size_t offset = i % 3 == 0 ? size - std::min<std::size_t>(size, rng() % 200)
                                                      : i % 3 == 1 ? rng() % 300 : rng() % size;
                const std::size_t count = rng() % (i % 7 == 0 ? 20000 : 4000);
                std::uint8_t out[20000];
                const bool fits = offset + count <= size;
                ASSERT_EQ(file.readExact(std::int64_t(offset), count, out), fits) << offset << " " << count;
                if (fits) {
                    ASSERT_EQ(std::string(reinterpret_cast<char*>(out), count), bytes.substr(offset, count))
                        << offset << " " << count;
                }
                const auto some = file.readAt(std::int64_t(offset), count);
                ASSERT_EQ(std::string(some.begin(), some.end()), bytes.substr(std::min(offset, size), count));
            }
        }
    }
}
