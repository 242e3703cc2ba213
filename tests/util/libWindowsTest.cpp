#include "support/TestSupport.h"
#include "util/libWindows.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <optional>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one test and puts the old value back.
}  // namespace

TEST(libWindows, AppDirIsTheProgramFolderWhenWritable)
{
    const std::string dir = GetAppDir();
    const std::string programDir = QCoreApplication::applicationDirPath().toStdString();
    if (::access(programDir.c_str(), W_OK) == 0)
        EXPECT_EQ(dir, programDir);
    else
        EXPECT_TRUE(dir.ends_with("/Tambourelle")) << dir;
    TempDir tmp;
    EXPECT_EQ(AppDirFor(tmp.path() + "/"), tmp.path());
}

TEST(libWindows, AppDirFallsBackToTheUsersDataFolder)
{
    TempDir tmp;
    writeFile(tmp.file("file"), "x");
    const std::string unwritable = tmp.file("file") + "/bin";  // cannot exist, even for root
    {
        ScopedEnv xdg("XDG_DATA_HOME", tmp.file("data").c_str());
        EXPECT_EQ(AppDirFor(unwritable), tmp.file("data") + "/Tambourelle");
        EXPECT_TRUE(std::filesystem::is_directory(tmp.file("data/Tambourelle")));
    }
    ScopedEnv home("HOME", tmp.path().c_str());
    ScopedEnv relative("XDG_DATA_HOME", "relative/path");  // not absolute: ignored
    EXPECT_EQ(AppDirFor(unwritable), tmp.path() + "/.local/share/Tambourelle");
    EXPECT_TRUE(std::filesystem::is_directory(tmp.file(".local/share/Tambourelle")));
}

namespace {

// A home folder of its own for one test: HOME and the XDG variables point into it.
class TempHome {
public:
    TempHome()
        : home_("HOME", dir_.path().c_str()),
          config_("XDG_CONFIG_HOME", dir_.file(".config").c_str()),
          data_("XDG_DATA_HOME", dir_.file("data").c_str())
    {
        fs::create_directories(dir_.file(".config"));
    }
    std::string file(const std::string& name) const { return dir_.file(name); }
    const std::string& path() const { return dir_.path(); }

private:
    TempDir dir_;
    ScopedEnv home_, config_, data_;
};

void touch(const std::string& path, const std::string& bytes, fs::file_time_type when)
{
    writeFile(path, bytes);
    fs::last_write_time(path, when);
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(libWindows, SpecialFoldersFollowTheXdgUserDirectories)
{
    TempHome home;
    writeFile(home.file(".config/user-dirs.dirs"),
              "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\nXDG_MUSIC_DIR=\"$HOME/音楽\"\n"
              "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    EXPECT_EQ(GetSpecialFolder(1), home.file("Schreibtisch"));
    EXPECT_EQ(GetSpecialFolder(2), home.file("data/applications"));
    EXPECT_EQ(GetSpecialFolder(3), home.file("data/applications"));
    EXPECT_EQ(GetSpecialFolder(4), "");  // recent files are a list, not a folder
    EXPECT_EQ(GetSpecialFolder(5), home.file("Docs"));
    EXPECT_EQ(GetSpecialFolder(6), home.file(".config/autostart"));
    EXPECT_EQ(GetSpecialFolder(7), home.file("音楽"));
    EXPECT_EQ(GetSpecialFolder(8), "");
    EXPECT_EQ(GetSpecialFolder(9), home.file("data/fonts"));
    EXPECT_EQ(GetSpecialFolder(0), home.file("data/Trash/files"));
    EXPECT_EQ(GetSpecialFolder(12), home.file("data/Trash/files"));

    fs::remove(home.file(".config/user-dirs.dirs"));  // no entry: the XDG default name
    EXPECT_EQ(GetSpecialFolder(7), home.file("Music"));
}

TEST(libWindows, RecycleFileMovesIntoTheFreedesktopTrash)
{
    TempHome home;
    fs::create_directories(home.file("music/a"));
    fs::create_directories(home.file("music/b"));
    writeFile(home.file("music/a/song.mp3"), "first");
    writeFile(home.file("music/b/song.mp3"), "second");

    EXPECT_TRUE(RecycleFile(home.file("music/a/song.mp3")));
    EXPECT_TRUE(RecycleFile(home.file("music/b/song.mp3")));
    EXPECT_FALSE(fs::exists(home.file("music/a/song.mp3")));
    EXPECT_FALSE(RecycleFile(home.file("music/a/song.mp3")));  // gone already

    // Both are kept under distinct names, each with an info record naming its origin.
    const std::string trash = GetSpecialFolder(0);
    const std::vector<std::string> files = namesIn(trash);
    ASSERT_EQ(files.size(), 2u);
    std::map<std::string, std::string> originOf;
    for (const std::string& name : files) {
        const std::string info = readFile(home.file("data/Trash/info/" + name + ".trashinfo"));
        EXPECT_TRUE(info.starts_with("[Trash Info]\n")) << info;
        EXPECT_NE(info.find("DeletionDate="), std::string::npos) << info;
        const auto path = info.find("Path=");
        ASSERT_NE(path, std::string::npos);
        originOf[readFile(trash + "/" + name)] = info.substr(path + 5, info.find('\n', path) - path - 5);
    }
    EXPECT_TRUE(originOf["first"].ends_with("/music/a/song.mp3")) << originOf["first"];
    EXPECT_TRUE(originOf["second"].ends_with("/music/b/song.mp3")) << originOf["second"];
}

TEST(libWindows, RecycleFileRefusesATrashPathTakenByAFile)
{
    TempHome home;
    fs::create_directories(home.file("data"));
    writeFile(home.file("data/Trash"), "not a folder");
    writeFile(home.file("song.mp3"), "kept");
    EXPECT_FALSE(RecycleFile(home.file("song.mp3")));
    EXPECT_EQ(readFile(home.file("song.mp3")), "kept");
    EXPECT_FALSE(fs::exists("files"));  // nothing made in the current folder
    EXPECT_FALSE(fs::exists("info"));
}

TEST(libWindows, FindFilesMatchesMasksWithoutRegardToCase)
{
    TempDir dir;
    for (const char* name : {"B.JPG", "a.jpg", "c.Jpeg", "d.png", "noext", "曲.MP3"})
        writeFile(dir.file(name), "x");
    fs::create_directories(dir.file("sub.jpg"));

    std::vector<std::string> list{"kept"};
    EXPECT_EQ(FindFiles(list, dir.path() + "/*.jpg", true), 3);
    EXPECT_EQ(list, (std::vector<std::string>{"a.jpg", "B.JPG", "sub.jpg"}));

    EXPECT_EQ(FindFiles(list, dir.path() + "/?.jp*g", false), 6);  // appended
    EXPECT_EQ(FindFiles(list, dir.path() + "/*.mp3", true), 1);
    EXPECT_EQ(list.front(), "曲.MP3");
    EXPECT_EQ(FindFiles(list, dir.path() + "/*.*", true), 7);  // also "noext"
    EXPECT_EQ(FindFiles(list, dir.path() + "/NOEXT", true), 1);
    EXPECT_EQ(FindFiles(list, dir.file("missing") + "/*", true), 0);
}

TEST(libWindows, CopyFileSetArchiveReplacesOnlyWhenAskedAndNeverHalfway)
{
    TempDir dir;
    const auto then = fs::file_time_type::clock::now() - std::chrono::hours(24);
    touch(dir.file("src.mp3"), "new data", then);
    fs::permissions(dir.file("src.mp3"), fs::perms::owner_read);

    ASSERT_TRUE(CopyFileSetArchive(dir.file("src.mp3"), dir.file("copy.mp3"), 0));
    EXPECT_EQ(readFile(dir.file("copy.mp3")), "new data");
    EXPECT_EQ(fs::last_write_time(dir.file("copy.mp3")), then);
    EXPECT_NE(fs::status(dir.file("copy.mp3")).permissions() & fs::perms::owner_write, fs::perms::none);

    writeFile(dir.file("old.mp3"), "old");
    ASSERT_TRUE(SetHiddenAttr(dir.file("old.mp3"), true));
    EXPECT_FALSE(CopyFileSetArchive(dir.file("src.mp3"), dir.file("old.mp3"), 0));
    EXPECT_EQ(readFile(dir.file("old.mp3")), "old");
    EXPECT_TRUE(CopyFileSetArchive(dir.file("src.mp3"), dir.file("old.mp3"), 1));
    EXPECT_EQ(readFile(dir.file("old.mp3")), "new data");

    EXPECT_FALSE(CopyFileSetArchive(dir.file("none.mp3"), dir.file("x.mp3"), 1));
    EXPECT_FALSE(CopyFileSetArchive(dir.file("src.mp3"), dir.path(), 1));
    EXPECT_FALSE(CopyFileSetArchive(dir.file("src.mp3"), dir.file("src.mp3"), 1));
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"copy.mp3", "old.mp3", "src.mp3"}));
}

TEST(libWindows, CopyFileIfChangedNeverPutsAnOlderFileOverANewerOne)
{
    TempDir dir;
    const auto now = fs::file_time_type::clock::now();
    touch(dir.file("src"), "source", now - std::chrono::hours(2));

    EXPECT_TRUE(CopyFileIfChanged(dir.file("src"), dir.file("dst"), 1));  // missing dest
    EXPECT_FALSE(CopyFileIfChanged(dir.file("src"), dir.file("dst"), 1));  // same age
    EXPECT_FALSE(CopyFileIfChanged(dir.file("none"), dir.file("dst"), 1));

    touch(dir.file("dst"), "edited later", now);
    EXPECT_FALSE(CopyFileIfChanged(dir.file("src"), dir.file("dst"), 1));
    EXPECT_EQ(readFile(dir.file("dst")), "edited later");
    EXPECT_TRUE(CopyFileIfChanged(dir.file("src"), dir.file("dst"), 1, true));
    EXPECT_EQ(readFile(dir.file("dst")), "source");

    touch(dir.file("src"), "newer source", now + std::chrono::hours(1));
    EXPECT_FALSE(CopyFileIfChanged(dir.file("src"), dir.file("dst"), 0));  // may not replace
    EXPECT_TRUE(CopyFileIfChanged(dir.file("src"), dir.file("dst"), 1));
    EXPECT_EQ(readFile(dir.file("dst")), "newer source");
}

TEST(libWindows, DeleteFolderTreeRemovesAllButNeverRootOrHome)
{
    TempHome home;
    fs::create_directories(home.file("stage/a/b"));
    writeFile(home.file("stage/a/b/f"), "x");
    writeFile(home.file("keep"), "x");
    DeleteFolderTree(home.file("stage"));
    EXPECT_FALSE(fs::exists(home.file("stage")));
    DeleteFolderTree(home.file("stage"));  // missing: nothing happens
    DeleteFolderTree(home.path() + "/.");
    DeleteFolderTree("");
    EXPECT_TRUE(fs::exists(home.file("keep")));
}

TEST(libWindows, DelayRunsTheEventLoopUntilItsTimeIsUp)
{
    bool timerFired = false, queuedRan = false;
    QTimer::singleShot(5, [&] { timerFired = true; });
    QElapsedTimer clock;
    clock.start();
    Delay(40);
    EXPECT_GE(clock.elapsed(), 39);
    EXPECT_TRUE(timerFired);

    QMetaObject::invokeMethod(qApp, [&] { queuedRan = true; }, Qt::QueuedConnection);
    Delay(0);
    EXPECT_TRUE(queuedRan);
}

TEST(libWindows, AHandlerThatDelaysRefusesToRunTwice)
{
    bool busy = false;
    int runs = 0, refused = 0;
    std::function<void()> handler = [&] {
        TReentryGuard guard(busy);
        if (!guard) {
            ++refused;
            return;
        }
        ++runs;
        QTimer::singleShot(0, handler);  // arrives while this run is waiting
        Delay(20);
    };
    handler();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(refused, 1);
    EXPECT_FALSE(busy);
}

TEST(libWindows, SystemTests)
{
    EXPECT_TRUE(IsWinNT());
    EXPECT_FALSE(IsWindows7());
    QPoint edge(-1, -1);
    GetWorkArea(edge);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(edge, QPoint(area.x() + area.width(), area.y() + area.height()));

    QWidget fixed, sizeable;
    fixed.setFixedSize(200, 100);
    EXPECT_EQ(GetFormCaptionHeight(&sizeable) - GetFormCaptionHeight(&fixed), 1);
}

TEST(libWindows, DriveRoutinesOnPathsAndCueSheets)
{
    TempDir dir;
    std::string label = "stale";
    EXPECT_EQ(GetDriveTypeText(dir.file("missing")), "Root Directory does not exist");
    EXPECT_EQ(GetVolumeLabel(dir.file("missing"), label), ERROR_FILE_NOT_FOUND);

    writeFile(dir.file("lost.cue"), "FILE \"lost.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    EXPECT_EQ(GetDriveTypeText(dir.file("lost.cue")), "CDROM");
    EXPECT_EQ(GetVolumeLabel(dir.file("lost.cue"), label), ERROR_NOT_READY);
    EXPECT_TRUE(OpenCdDoor(dir.file("lost.cue")));   // true reports failure: no tray
    EXPECT_TRUE(CloseCdDoor(dir.file("lost.cue")));

    std::string root = dir.path();
    EXPECT_EQ(GetDriveRootPath(root), 0);
    EXPECT_EQ(root, dir.path() + "/");
    if (const std::string drive = FindCdDrive(); !drive.empty()) {
        EXPECT_EQ(GetDriveTypeText(drive), "CDROM");
    }
}

namespace {

// A scripted desktop: a parent window 1 with numbered children, a log of what was done.
class FakeDesktop final : public shell::ForeignDesktop {
public:
    std::vector<std::pair<WindowHandle, std::pair<std::string, std::string>>> children;
    std::vector<std::string> log;
    shell::KeyboardState keys{};
    std::vector<std::string> menu;

    bool available() const override { return true; }
    WindowHandle foregroundWindow() override { return 99; }
    shell::ThreadHandle windowThread(WindowHandle w) override { return w == 99 ? 7 : 5; }
    bool attachInput(shell::ThreadHandle a, shell::ThreadHandle b, bool on) override
    {
        log.push_back((on ? "attach " : "detach ") + std::to_string(a) + ">" + std::to_string(b));
        return true;
    }
    bool bringToTop(WindowHandle w) override { return say("top", w); }
    bool setForeground(WindowHandle w) override { return say("foreground", w); }
    bool postKey(WindowHandle, shell::KeyMessage m, int key, std::uint32_t data) override
    {
        static const char* names[] = {"down", "up", "sysdown"};
        std::ostringstream s;
        s << names[static_cast<int>(m)] << ' ' << key << ' ' << std::hex << data;
        log.push_back(s.str());
        return true;
    }
    shell::KeyboardState keyboardState() override { return keys; }
    void setKeyboardState(const shell::KeyboardState& k) override { keys = k; }
    bool sendLeftButton(WindowHandle, bool) override { return true; }
    bool windowRect(WindowHandle, shell::WindowRect& r) override
    {
        r = {10, 20, 110, 70};
        return true;
    }
    bool moveWindow(WindowHandle, int l, int t, int w, int h) override
    {
        log.push_back("move " + std::to_string(l) + "," + std::to_string(t) + " " +
                      std::to_string(w) + "x" + std::to_string(h));
        return true;
    }
    void forEachDescendant(WindowHandle, const std::function<bool(WindowHandle)>& visit) override
    {
        for (const auto& child : children)
            if (!visit(child.first))
                return;
    }
    std::string className(WindowHandle w) override { return find(w).first; }
    std::string windowText(WindowHandle w) override { return find(w).second; }
    bool setWindowText(WindowHandle w, const std::string& text) override
    {
        log.push_back("text " + std::to_string(w) + " " + text);
        return true;
    }
    std::optional<std::vector<std::string>> contextMenuEntries(const std::string&) override
    {
        return menu;
    }
    bool invokeContextMenuEntry(const std::string& path, int index) override
    {
        log.push_back("invoke " + path + " " + std::to_string(index));
        return true;
    }

private:
    bool say(const char* what, WindowHandle w)
    {
        log.push_back(std::string(what) + " " + std::to_string(w));
        return true;
    }
    std::pair<std::string, std::string> find(WindowHandle w)
    {
        for (const auto& child : children)
            if (child.first == w)
                return child.second;
        return {};
    }
};

class InstalledDesktop {
public:
    explicit InstalledDesktop(shell::ForeignDesktop& d) { shell::setForeignDesktop(&d); }
    ~InstalledDesktop() { shell::setForeignDesktop(nullptr); }
};

}  // namespace

TEST(libWindows, OtherProgramsWindowsAreNotAvailableOnLinux)
{
    std::vector<WindowHandle> list{1, 2};
    EnumChildWindowList(1, list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(FindChildWindow(1, "Button", ""), 0u);
    EXPECT_FALSE(ForceForegroundWindow(1));
    EXPECT_FALSE(IsForegroundThread(1));
    EXPECT_FALSE(MoveWindowTo(1, 0, 0));
    EXPECT_FALSE(InvokeShellVerb("/dev/sr0", "CD"));
    QPoint size(3, 4);
    GetWindowSize(1, size);
    EXPECT_EQ(size, QPoint(3, 4));
}

TEST(libWindows, WindowRoutinesOverADesktopThatHasThem)
{
    FakeDesktop desktop;
    InstalledDesktop installed(desktop);
    for (WindowHandle w = 100; w < 700; ++w)
        desktop.children.push_back({w, {"Static", "label"}});
    desktop.children.insert(desktop.children.begin() + 3, {50, {"button", "&Next >"}});
    desktop.children.insert(desktop.children.begin() + 4, {51, {"Edit", "title"}});

    std::vector<WindowHandle> list;
    EnumChildWindowList(1, list);
    EXPECT_EQ(list.size(), kMaxChildWindows);
    EXPECT_EQ(FindChildWindow(1, "BUTTON", "next"), 50u);
    EXPECT_EQ(FindChildWindow(1, "Button", "Back"), 0u);
    EXPECT_EQ(SetChildWindowText(1, "EDIT", "my disc 1"), 51u);
    EXPECT_EQ(desktop.log.back(), "text 51 MY DISC 1");

    QPoint size;
    GetWindowSize(1, size);
    EXPECT_EQ(size, QPoint(101, 51));
    desktop.log.clear();
    EXPECT_TRUE(MoveWindowTo(1, 5, 6));
    EXPECT_TRUE(ForceForegroundWindow(1));
    EXPECT_EQ(desktop.log, (std::vector<std::string>{"move 5,6 100x50", "attach 5>7", "top 1",
                                                     "detach 5>7", "foreground 1"}));

    desktop.log.clear();
    PostKeyStrokes(1, 'N', 1, false, true, true);
    PostKeyStrokes(1, 'F', 2, true, false, false);
    PostKeyStrokes(1, 'X', 0, false, false, false);
    EXPECT_EQ(desktop.log, (std::vector<std::string>{
                               "down 16 1", "down 17 1", "down 78 1", "up 78 c0000001",
                               "up 17 c0000001", "up 16 c0000001", "sysdown 70 20000001",
                               "sysdown 70 20000001"}));
    EXPECT_EQ(desktop.keys[0x10], 0);
    EXPECT_EQ(desktop.keys[0x11], 0);

    desktop.menu = {"開く", "これらのファイルを CD に書き込む(&W)", "プロパティ"};
    desktop.log.clear();
    EXPECT_TRUE(InvokeShellVerb("/dev/sr0", "これらのファイルを CD に書き込む"));
    EXPECT_EQ(desktop.log, (std::vector<std::string>{"invoke /dev/sr0 1"}));
    desktop.menu = {"Open", "Write these files to CD"};
    EXPECT_FALSE(InvokeShellVerb("/dev/sr0", "これらのファイルを CD に書き込む"));  // another language
}
