#include "support/TestSupport.h"
#include "util/SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

int filesIn(const std::string& folder)
{
    // Counted by the folder's own listing: names that are not UTF-8 count too.
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += entry.is_regular_file();
    return count;
}

}  // namespace

TEST(SafeFile, ReplaceWritesAllOrNothing)
{
    TempDir dir;
    std::string path = dir.file("f.bin");
    writeFile(path, "old contents");
    ::chmod(path.c_str(), 0600);

    EXPECT_FALSE(safefile::replaceFile(path, [](int fd) { return safefile::writeAll(fd, "half") && false; }));
    EXPECT_EQ(readFile(path), "old contents");

    safefile::setWriteBudget(3);
    EXPECT_FALSE(safefile::replaceFile(path, [](int fd) { return safefile::writeAll(fd, "new contents"); }));
    safefile::setWriteBudget(-1);
    EXPECT_EQ(readFile(path), "old contents");
    EXPECT_EQ(filesIn(dir.path()), 1);

    EXPECT_TRUE(safefile::replaceFile(path, [](int fd) { return safefile::writeAll(fd, "new contents"); }));
    EXPECT_EQ(readFile(path), "new contents");
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(filesIn(dir.path()), 1);

    EXPECT_FALSE(safefile::replaceFile(dir.file("missing"), [](int) { return true; }));
    EXPECT_FALSE(safefile::replaceFile(dir.path(), [](int) { return true; }));  // not a regular file
}

// Any name a folder can hold can be replaced: bytes that are not UTF-8, signs, a line break,
// and the longest names, beside which a temporary name must still fit.
TEST(SafeFile, ReplacesFilesWhateverTheirNames)
{
    TempDir dir;
    std::string longest(254, 'l');
    longest.replace(250, 4, ".mp3");
    const std::string names[] = {"caf\xe9 \x83\x65\x83\x58.mp3", "-a #%&'\"\nb.mp3", longest,
                                 std::string(255, '\xe9')};
    int count = 0;
    for (const std::string& name : names) {
        const std::string path = dir.file(name);
        writeFile(path, "old");
        ++count;
        EXPECT_TRUE(safefile::replaceFile(path, [](int fd) { return safefile::writeAll(fd, "new"); })) << count;
        EXPECT_EQ(readFile(path), "new") << count;
        EXPECT_EQ(filesIn(dir.path()), count);
    }
}

// What reaches the kernel: the temporary file, then its folder, are flushed before the rename,
// and the folder again after it. Watched with strace on a run of the test above.
TEST(SafeFile, FlushesFileAndFolderAroundTheRename)
{
    if (!testsupport::haveProgram("strace"))
        GTEST_SKIP() << "strace is not installed";
    TempDir dir;
    std::string log = dir.file("trace");
    auto r = testsupport::runCommand(
        "strace", {"-f", "-y", "-e", "trace=fsync,rename,renameat,renameat2", "-o", log,
                   QCoreApplication::applicationFilePath().toStdString(),
                   "--gtest_filter=SafeFile.ReplaceWritesAllOrNothing"});
    if (r.exitCode != 0 && r.err.find("ptrace") != std::string::npos)
        GTEST_SKIP() << "tracing is not allowed here";
    ASSERT_EQ(r.exitCode, 0) << r.err;

    std::vector<std::string> calls;
    std::istringstream in(readFile(log));
    for (std::string line; std::getline(in, line);)
        if (line.find("fsync(") != std::string::npos || line.find("rename") != std::string::npos)
            calls.push_back(line);
    auto renameAt = std::find_if(calls.begin(), calls.end(), [](const std::string& l) {
        return l.find("rename") != std::string::npos && l.find("/.f.bin.") != std::string::npos;
    });
    ASSERT_NE(renameAt, calls.end());
    ASSERT_GE(renameAt - calls.begin(), 2);
    ASSERT_NE(renameAt + 1, calls.end());
    const std::regex tempFile(R"(fsync\(\d+</.*/\.f\.bin\.\w+>\))");
    // The child run's scratch folder (see TempDir), which holds the file.
    const std::regex folder("fsync\\(\\d+<" + QDir::tempPath().toStdString() + R"(/tambourelle-test-\w+>\))");
    EXPECT_TRUE(std::regex_search(*(renameAt - 2), tempFile)) << *(renameAt - 2);
    EXPECT_TRUE(std::regex_search(*(renameAt - 1), folder)) << *(renameAt - 1);
    EXPECT_TRUE(std::regex_search(*(renameAt + 1), folder)) << *(renameAt + 1);
}

// Five files written in place inside one deferred flush, then one outside it.
TEST(SafeFile, InPlaceWritesOfABatch)
{
    TempDir dir;
    {
        safefile::DeferredSync batch;
        for (int i = 0; i < 5; ++i) {
            const std::string path = dir.file("batch" + std::to_string(i) + ".bin");
            writeFile(path, "old contents");
            const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            ASSERT_GE(fd, 0);
            EXPECT_TRUE(safefile::writeAt(fd, 0, "new") && safefile::flushInPlace(fd));
            ::close(fd);
            EXPECT_EQ(readFile(path), "new contents");
        }
        EXPECT_FALSE(safefile::flushInPlace(-1));
        EXPECT_TRUE(batch.flush());
    }
    const int fd = ::open(dir.file("batch0.bin").c_str(), O_RDWR | O_CLOEXEC);
    EXPECT_TRUE(safefile::flushInPlace(fd));
    ::close(fd);
}

TEST(SafeFile, ABatchFlushesOnceAndASingleWriteAtOnce)
{
    if (!testsupport::haveProgram("strace"))
        GTEST_SKIP() << "strace is not installed";
    TempDir dir;
    const std::string log = dir.file("trace");
    auto r = testsupport::runCommand("strace", {"-f", "-y", "-e", "trace=fsync,syncfs", "-o", log,
                                                QCoreApplication::applicationFilePath().toStdString(),
                                                "--gtest_filter=SafeFile.InPlaceWritesOfABatch"});
    if (r.exitCode != 0 && r.err.find("ptrace") != std::string::npos)
        GTEST_SKIP() << "tracing is not allowed here";
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int fsyncs = 0, syncfs = 0;
    std::istringstream in(readFile(log));
    for (std::string line; std::getline(in, line);) {
        fsyncs += line.find("fsync(") != std::string::npos && line.find("/batch") != std::string::npos;
        syncfs += line.find("syncfs(") != std::string::npos;
    }
    EXPECT_EQ(syncfs, 1);
    EXPECT_EQ(fsyncs, 1);  // the write after the batch
}
