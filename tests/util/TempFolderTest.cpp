// The tests' scratch folders (TempDir and each test program's own home) go when they are done,
// with names that are not UTF-8 and folders a test left read-only: leftovers pile up in the
// temporary folder run after run.
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

// CP932 and Latin-1 bytes, as the tag and file tests name their files.
const std::string kCp932 = "\x83\x65\x83\x58";
const std::string kLatin1 = "caf\xe9.mp3";

void fillWithAwkwardNames(const std::string& folder)
{
    fs::create_directories(folder + "/" + kCp932 + "/ro");
    testsupport::writeFile(folder + "/" + kLatin1, "x");
    testsupport::writeFile(folder + "/" + kCp932 + "/" + kLatin1, "x");
    testsupport::writeFile(folder + "/" + kCp932 + "/ro/" + kCp932, "x");
    ::chmod((folder + "/" + kCp932 + "/ro").c_str(), 0555);
}

bool isEmptyFolder(const std::string& folder)
{
    return fs::is_directory(folder) && fs::is_empty(folder);
}

}  // namespace

TEST(TempFolder, GoesWithNamesThatAreNotUtf8AndReadOnlyFolders)
{
    std::string path;
    {
        TempDir dir;
        path = dir.path();
        fillWithAwkwardNames(path);
        ASSERT_TRUE(fs::exists(path + "/" + kCp932 + "/ro/" + kCp932));
    }
    EXPECT_FALSE(fs::exists(path));

    // A link inside goes, not what it points at.
    TempDir keep;
    testsupport::writeFile(keep.file("kept"), "x");
    {
        TempDir dir;
        fs::create_directory_symlink(keep.path(), dir.file("link"));
        path = dir.path();
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(keep.file("kept")));
}

// Run in a child program by the test below: leaves awkward names in the program's home.
TEST(TempFolder, FillsItsHome)
{
    fillWithAwkwardNames(qEnvironmentVariable("HOME").toStdString());
}

TEST(TempFolder, TestProgramsTakeTheirHomeAlong)
{
    TempDir tmp;
    {
        testsupport::ScopedEnv env("TMPDIR", tmp.path());
        auto r = testsupport::runCommand(QCoreApplication::applicationFilePath().toStdString(),
                                         {"--gtest_filter=TempFolder.FillsItsHome"});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    }
    EXPECT_TRUE(isEmptyFolder(tmp.path()));
}
