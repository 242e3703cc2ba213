#include "support/TestSupport.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QWidget>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

struct IniFixture {
    TempDir dir;
    std::string base = dir.file("Tambourelle");
    std::string path = base + ".ini";
};

std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

}  // namespace

TEST(libIni, ReadsValuesAsThePrivateProfileReaderDid)
{
    IniFixture f;
    writeFile(f.path,
              "; written by hand\r\n"
              "[Setting]\r\n"
              "Hex=0x1F\r\n"
              "Short=0x\r\n"
              "Blank=  12 \t\r\n"
              "Quoted= \"  spaced  \" \r\n"
              "Half=\"abc\r\n"
              "Empty=\r\n"
              "Big=2147483648\r\n"
              "Low=-2147483648\r\n"
              "AllBits=0xFFFFFFFF\r\n"
              "B0=0\r\nB1=1\r\nB7=7\r\nBNeg=-1\r\nBText=abc\r\n"
              "Cr=abc\r\r\n"
              "[Other]\r\n"
              "Hex=5\r\n");
    EXPECT_EQ(IniReadInteger(f.base, "Setting", "Hex", 0), 31);
    EXPECT_EQ(IniReadInteger(f.base, "Setting", "Short", -5), -5);
    EXPECT_EQ(IniReadInteger(f.base, "Setting", "Blank", 0), 12);
    EXPECT_EQ(IniReadInteger(f.base, "Setting", "Big", 9), 9);
    EXPECT_EQ(IniReadInteger(f.base, "Setting", "Low", 0), INT_MIN);
    EXPECT_EQ(IniReadInteger(f.base, "Setting", "AllBits", 0), -1);
    EXPECT_EQ(IniReadInteger(f.base, "Setting", "Empty", 3), 3);
    EXPECT_EQ(IniReadInteger(f.base, "Other", "HEX", 0), 5);  // each section its own keys

    EXPECT_EQ(IniReadString(f.base, "Setting", "Quoted", "-"), "  spaced  ");
    EXPECT_EQ(IniReadString(f.base, "Setting", "Half", "-"), "\"abc");
    EXPECT_EQ(IniReadString(f.base, "Setting", "Empty", "-"), "");
    EXPECT_EQ(IniReadString(f.base, "sETTING", "hex", "-"), "0x1F");  // names ignore case
    EXPECT_EQ(IniReadString(f.base, "Setting", "Missing", "dflt"), "dflt");
    EXPECT_EQ(IniReadString(f.base, "NoSection", "Hex", "dflt"), "dflt");
    // Stray carriage returns end the line with the line feed, so a rewrite keeps the value.
    EXPECT_EQ(IniReadString(f.base, "Setting", "Cr", "-"), "abc");
    IniWriteString(f.base, "Other", "New", "1");
    EXPECT_EQ(IniReadString(f.base, "Setting", "Cr", "-"), "abc");

    EXPECT_FALSE(IniReadBool(f.base, "Setting", "B0", true));
    EXPECT_TRUE(IniReadBool(f.base, "Setting", "B1", false));
    EXPECT_TRUE(IniReadBool(f.base, "Setting", "B7", false));
    EXPECT_TRUE(IniReadBool(f.base, "Setting", "BNeg", false));
    EXPECT_TRUE(IniReadBool(f.base, "Setting", "BText", true));
    EXPECT_FALSE(IniReadBool(f.base, "Setting", "BText", false));
    EXPECT_TRUE(IniReadBool(f.base, "Setting", "Missing", true));
}

TEST(libIni, MissingFileReadsAsEmptyAndIsNotCreated)
{
    IniFixture f;
    EXPECT_EQ(IniReadString(f.base, "Form", "MainTop", "x"), "x");
    EXPECT_EQ(IniReadInteger(f.base, "Form", "MainTop", 7), 7);
    std::vector<std::string> list = {"stale"};
    IniReadSectionList(f.base, "Favorite", list, false);
    EXPECT_TRUE(list.empty());
    IniEraseSection(f.base, "Favorite");
    EXPECT_FALSE(std::filesystem::exists(f.path));
}

TEST(libIni, SectionListGivesValuesInKeyOrder)
{
    IniFixture f;
    writeFile(f.path,
              "[TAG_GENRE]\n"
              "1=a=b\n"
              "2=c\n"
              "3=\n"
              "1=overridden\n"   // a repeated key counts once, with its first value
              "4=\"Rock\"\n"
              "[Next]\n"
              "1=z\n");
    std::vector<std::string> list = {"stale"};
    IniReadSectionList(f.base, "tag_genre", list, false);
    EXPECT_EQ(list, (std::vector<std::string>{"a=b", "c", "Rock"}));
    IniReadSectionList(f.base, "TAG_GENRE", list, true);
    EXPECT_EQ(list, (std::vector<std::string>{"\"a=b\"", "\"c\"", "\"Rock\""}));
    IniReadSectionList(f.base, "Missing", list, true);
    EXPECT_TRUE(list.empty());

    // A value is cut to 2047 characters, not bytes, and never inside a character.
    IniWriteString(f.base, "Long", "1", repeat("日", 3000));
    IniReadSectionList(f.base, "Long", list, false);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], repeat("日", 2047));
}

TEST(libIni, WritesChangeOnlyTheirLineAndKeepKeyOrder)
{
    IniFixture f;
    writeFile(f.path,
              "; keep me\n"
              "[Form]\n"
              "MainTop=1\n"
              "\n"
              "[SETTING]\n"
              "Volume=5\n");
    IniWriteInteger(f.base, "form", "MAINTOP", -20);      // existing key, other case
    IniWriteInteger(f.base, "Form", "MainLeft", 30);      // new key before the blank line
    IniWriteBool(f.base, "Setting", "Repeat", true);
    IniWriteString(f.base, "Favorite_日本", "1", "/music/日本");  // new section
    IniWriteString(f.base, "Favorite_日本", "2", "line\nbreak");   // kept on one line
    EXPECT_EQ(readFile(f.path),
              "; keep me\n"
              "[Form]\n"
              "MainTop=-20\n"
              "MainLeft=30\n"
              "\n"
              "[SETTING]\n"
              "Volume=5\n"
              "Repeat=1\n"
              "[Favorite_日本]\n"
              "1=/music/日本\n"
              "2=line break\n");

    IniWriteString(f.base, "Order", "c", "3");
    IniWriteString(f.base, "Order", "a", "1");
    IniWriteString(f.base, "Order", "b", "2");
    IniWriteString(f.base, "Order", "A", "one");
    std::vector<std::string> list;
    IniReadSectionList(f.base, "Order", list, false);
    EXPECT_EQ(list, (std::vector<std::string>{"3", "one", "2"}));

    IniEraseSection(f.base, "FORM");
    EXPECT_EQ(IniReadInteger(f.base, "Form", "MainLeft", 0), 0);
    EXPECT_EQ(IniReadInteger(f.base, "SETTING", "Volume", 0), 5);
    EXPECT_EQ(readFile(f.path).substr(0, 20), "; keep me\n[SETTING]\n");

    // A byte order mark survives a rewrite; a second one is text of the first line, before and after.
    writeFile(f.path, "\xEF\xBB\xBF\xEF\xBB\xBF[Hidden]\n1=x\n[Seen]\n1=y\n");
    IniWriteString(f.base, "Seen", "2", "z");
    EXPECT_EQ(readFile(f.path), "\xEF\xBB\xBF\xEF\xBB\xBF[Hidden]\n1=x\n[Seen]\n1=y\n2=z\n");
    EXPECT_EQ(IniReadString(f.base, "Hidden", "1", "-"), "-");

    // Only the settings file is left: no temporary file stays behind.
    EXPECT_EQ(QDir(QString::fromStdString(f.dir.path())).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(libIni, Cp932FileIsReadAndRewrittenAsUtf8)
{
    IniFixture f;
    writeFile(f.path, "[TAG_GENRE]\r\n1=\x83\x8D\x83\x62\x83\x4E\r\n");  // ロック in CP932
    EXPECT_EQ(IniReadString(f.base, "TAG_GENRE", "1", ""), "ロック");
    IniWriteString(f.base, "TAG_GENRE", "2", "ジャズ");
    EXPECT_EQ(readFile(f.path), "[TAG_GENRE]\n1=ロック\n2=ジャズ\n");
}

TEST(libIni, WriteKeepsModeAndSymbolicLink)
{
    IniFixture f;
    const std::string real = f.dir.file("real.ini");
    writeFile(real, "[A]\nx=1\n");
    ::chmod(real.c_str(), 0600);
    std::filesystem::create_symlink(real, f.path);
    IniWriteInteger(f.base, "A", "x", 2);
    EXPECT_TRUE(std::filesystem::is_symlink(f.path));
    EXPECT_EQ(readFile(real), "[A]\nx=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(libIni, RefusedWriteRaisesAnErrorNamingTheFile)
{
    IniFixture f;
    // A folder that cannot exist: its parent is a regular file.
    writeFile(f.dir.file("plain"), "x");
    const std::string base = f.dir.file("plain") + "/Tambourelle";
    try {
        IniWriteString(base, "Form", "MainTop", "1");
        FAIL() << "the write was not refused";
    } catch (const EIniFileError& e) {
        EXPECT_NE(std::string(e.what()).find(base + ".ini"), std::string::npos) << e.what();
    }
}

namespace {

// Root's file access ignores permissions. As root, Body runs in a child process that has
// become the unprivileged owner of the given paths (the refusals are then the ones any user
// meets), so they are tested on every machine, CI's included; otherwise it runs here.
void asFileOwner(const std::vector<std::string>& paths, const std::function<void()>& Body)
{
    if (::geteuid() != 0) {
        Body();
        return;
    }
    constexpr uid_t kNobody = 65534;
    for (const std::string& p : paths) {
        ASSERT_EQ(::chown(p.c_str(), kNobody, kNobody), 0) << p;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool dropped = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && ::geteuid() == kNobody;
        if (dropped)
            Body();
        std::fflush(nullptr);
        ::_exit(!dropped ? 2 : testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the unprivileged part failed (status " << status << "); its messages are above";
}

}  // namespace

TEST(libIni, PermissionsRefuseWritesAndKeepTheFile)
{
    IniFixture f;
    writeFile(f.path, "[Form]\nMainTop=1\n");
    asFileOwner({f.dir.path(), f.path}, [&] {
        ::chmod(f.dir.path().c_str(), 0555);
        EXPECT_THROW(IniWriteInteger(f.base, "Form", "MainTop", 2), EIniFileError);
        ::chmod(f.dir.path().c_str(), 0755);
        ::chmod(f.path.c_str(), 0444);  // a read-only file is refused although the folder allows a rename
        EXPECT_THROW(IniWriteInteger(f.base, "Form", "MainTop", 3), EIniFileError);
        ::chmod(f.path.c_str(), 0000);  // a file we cannot read is not replaced by our one change
        EXPECT_THROW(IniWriteInteger(f.base, "Form", "MainTop", 4), EIniFileError);
        ::chmod(f.path.c_str(), 0644);
        EXPECT_EQ(readFile(f.path), "[Form]\nMainTop=1\n");
    });
}

// The folder of a settings file is made by its first write; when that cannot be done, the
// reason given is the folder's, not that of a file missing from it.
TEST(libIni, AMissingFolderIsMadeAndARefusalToMakeItIsTheReasonGiven)
{
    IniFixture f;
    const std::string fresh = f.dir.file("new/sub/Tambourelle");
    IniWriteInteger(fresh, "Form", "MainTop", 5);
    EXPECT_EQ(readFile(fresh + ".ini"), "[Form]\nMainTop=5\n");

    asFileOwner({f.dir.path()}, [&] {
        ::chmod(f.dir.path().c_str(), 0555);
        const std::string base = f.dir.file("missing/Tambourelle");
        try {
            IniWriteInteger(base, "Form", "MainTop", 1);
            ADD_FAILURE() << "the write was not refused";
        } catch (const EIniFileError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(base + ".ini"), std::string::npos) << text;
            EXPECT_NE(text.find(f.dir.file("missing") + " を作れません: " + std::strerror(EACCES)), std::string::npos)
                << text;
        }
        ::chmod(f.dir.path().c_str(), 0755);
    });
}

namespace {

// A session of the program: refused files live on in memory; what it is told is collected.
struct InMemorySession {
    InMemorySession()
    {
        IniKeepUnsavedInMemory([this](const std::string& m) { told.push_back(m); });
    }
    ~InMemorySession() { IniKeepUnsavedInMemory(nullptr); }
    std::vector<std::string> told;
};

}  // namespace

// A folder that cannot exist (its parent is a plain file, which stops root too): every kind of
// write is read back for the rest of the session, the user hears of it once with the system's
// reason, and nothing reaches the disk. When the session ends, writes raise again.
TEST(libIni, InASessionARefusedFileLivesOnInMemoryAndIsToldOnce)
{
    IniFixture f;
    writeFile(f.dir.file("plain"), "x");
    const std::string base = f.dir.file("plain") + "/Tambourelle";
    {
        InMemorySession session;
        IniWriteInteger(base, "Form", "MainTop", 12);
        ASSERT_EQ(session.told.size(), 1u);
        EXPECT_EQ(session.told[0].rfind("設定を保存できません！！", 0), 0u) << session.told[0];
        EXPECT_NE(session.told[0].find(base + ".ini"), std::string::npos) << session.told[0];
        EXPECT_NE(session.told[0].find(std::strerror(ENOTDIR)), std::string::npos) << session.told[0];

        IniWriteBool(base, "SETTING", "REPEAT", true);
        IniWriteString(base, "SETTING", "MP3_PATH", "/音楽");
        IniWriteSectionList(base, "MUSIC_FOLDER", {"/a", "/b"});
        IniWriteSectionList(base, "Favorite_x", {"/a.mp3"});
        IniEraseSection(base, "Favorite_x");
        EXPECT_EQ(session.told.size(), 1u);
        EXPECT_EQ(IniReadInteger(base, "Form", "MainTop", 0), 12);
        EXPECT_TRUE(IniReadBool(base, "SETTING", "REPEAT", false));
        EXPECT_EQ(IniReadString(base, "SETTING", "MP3_PATH", ""), "/音楽");
        std::vector<std::string> folders;
        IniReadSectionList(base, "MUSIC_FOLDER", folders, false);
        EXPECT_EQ(folders, (std::vector<std::string>{"/a", "/b"}));
        EXPECT_FALSE(IniReadSection(base, "Favorite_x").has_value());
        // Another file of the same session is a matter of its own.
        IniWriteInteger(f.base, "Form", "MainTop", 3);
        EXPECT_EQ(readFile(f.path), "[Form]\nMainTop=3\n");
        EXPECT_EQ(session.told.size(), 1u);
    }
    EXPECT_EQ(readFile(f.dir.file("plain")), "x");
    EXPECT_EQ(IniReadInteger(base, "Form", "MainTop", 0), 0);
    EXPECT_THROW(IniWriteInteger(base, "Form", "MainTop", 1), EIniFileError);
}

// A settings file the session may not read: it is neither replaced on disk nor read as
// anything but what the session writes; the reason told is the one its reading met.
TEST(libIni, InASessionAnUnreadableFileIsLeftAloneAndToldOnce)
{
    IniFixture f;
    writeFile(f.path, "[Form]\nMainTop=1\n");
    asFileOwner({f.dir.path(), f.path}, [&] {
        ::chmod(f.path.c_str(), 0000);
        {
            InMemorySession session;
            IniWriteInteger(f.base, "Form", "MainLeft", 7);
            IniWriteInteger(f.base, "Form", "MainTop", 8);
            ASSERT_EQ(session.told.size(), 1u);
            EXPECT_NE(session.told[0].find(std::strerror(EACCES)), std::string::npos) << session.told[0];
            EXPECT_EQ(IniReadInteger(f.base, "Form", "MainLeft", 0), 7);
            EXPECT_EQ(IniReadInteger(f.base, "Form", "MainTop", 0), 8);
        }
        ::chmod(f.path.c_str(), 0644);
        EXPECT_EQ(readFile(f.path), "[Form]\nMainTop=1\n");
    });
}

TEST(libIni, FileWeWriteIsReadByPythonConfigparser)
{
    IniFixture f;
    IniWriteString(f.base, "SETTING", "MusicFolder", "/home/ユーザー/音楽");
    IniWriteInteger(f.base, "SETTING", "Volume", -1500);
    IniWriteBool(f.base, "SETTING", "Repeat", false);
    IniWriteString(f.base, "MUSIC_FOLDER", "1", "/a");
    IniWriteString(f.base, "MUSIC_FOLDER", "2", "/b=c");
    const std::string script =
        "import configparser, sys\n"
        "c = configparser.ConfigParser(interpolation=None, strict=True)\n"
        "c.optionxform = str\n"
        "c.read(sys.argv[1], encoding='utf-8')\n"
        "for s in c.sections():\n"
        "    for k, v in c.items(s):\n"
        "        print(f'{s}|{k}|{v}')\n";
    auto r = runCommand(python3(), {"-c", script, f.path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "SETTING|MusicFolder|/home/ユーザー/音楽\n"
              "SETTING|Volume|-1500\n"
              "SETTING|Repeat|0\n"
              "MUSIC_FOLDER|1|/a\n"
              "MUSIC_FOLDER|2|/b=c\n");
}

TEST(libIni, FormPositionAndSizeRoundTrip)
{
    IniFixture f;
    QWidget w;
    w.move(10, 20);
    w.resize(300, 200);
    IniLoadFormPos(f.base, "Form", "Main", &w);  // no keys: stays where it is
    EXPECT_EQ(w.pos(), QPoint(10, 20));
    IniLoadFormSize(f.base, "Form", "Main", QPoint(1023, 736), &w);
    EXPECT_EQ(w.size(), QSize(1023, 736));

    w.move(40, 50);
    w.resize(640, 480);
    IniSaveFormPos(f.base, "Form", "Main", &w);
    IniSaveFormSize(f.base, "Form", "Main", &w);
    EXPECT_EQ(readFile(f.path), "[Form]\nMainTop=50\nMainLeft=40\nMainWidth=640\nMainHeight=480\n");

    QWidget other;
    IniLoadFormPos(f.base, "Form", "Main", &other);
    IniLoadFormSize(f.base, "Form", "Main", QPoint(1, 1), &other);
    EXPECT_EQ(other.pos(), QPoint(40, 50));
    EXPECT_EQ(other.size(), QSize(640, 480));
}

TEST(libIni, SectionListIsWrittenWholeAndReadBackInOrder)
{
    testsupport::TempDir dir;
    const std::string base = dir.file("Tambourelle");
    IniWriteString(base, "Other", "k", "v");
    IniWriteString(base, "List", "1", "old one");
    IniWriteString(base, "List", "7", "old seven");
    IniWriteSectionList(base, "list", {"a=b", "\xE6\x97\xA5\xE6\x9C\xAC", "c"});
    std::vector<std::string> got;
    IniReadSectionList(base, "List", got, false);
    EXPECT_EQ(got, (std::vector<std::string>{"a=b", "\xE6\x97\xA5\xE6\x9C\xAC", "c"}));
    EXPECT_EQ(IniReadString(base, "List", "7", "gone"), "gone");
    EXPECT_EQ(IniReadString(base, "Other", "k", ""), "v");
    IniWriteSectionList(base, "List", {});
    IniReadSectionList(base, "List", got, false);
    EXPECT_TRUE(got.empty());
}
