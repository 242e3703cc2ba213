#include "support/TestSupport.h"
#include "util/SafeFile.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

int filesIn(const std::string& folder)
{
    return static_cast<int>(QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden).size());
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
