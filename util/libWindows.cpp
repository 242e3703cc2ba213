#include "util/libWindows.h"

#include "platform/rtl/AsciiCase.h"
#include "platform/shell/CdBurner.h"
#include "platform/shell/CdDrives.h"
#include "platform/shell/OsRelease.h"
#include "platform/shell/UserFolders.h"

#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string executableDir()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string homeDir()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

// $XDG_DATA_HOME when it is an absolute path (the only kind the XDG rules accept).
fs::path dataHome()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return xdg;
    return fs::path(homeDir()) / ".local" / "share";
}

void processPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

}  // namespace

// --- Program and system

std::string GetAppDir()
{
    return AppDirFor(executableDir());
}

std::string AppDirFor(const std::string& ProgramDir)
{
    std::string dir = ProgramDir;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (!dir.empty() && ::access(dir.c_str(), W_OK) == 0)
        return dir;
    fs::path own = dataHome() / "Tambourelle";
    std::error_code ec;
    fs::create_directories(own, ec);  // a failure shows when the first file is written there
    return own.string();
}

bool IsWinNT()
{
    return true;
}

bool IsWindows7()
{
    return shell::osProductName().find("Windows 7") != std::string::npos;
}

void GetWorkArea(QPoint& P)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    P = QPoint(area.x() + area.width(), area.y() + area.height());
}

int GetFormCaptionHeight(const QWidget* Form)
{
    if (!Form)
        return 0;
    const int decoration = Form->geometry().y() - Form->frameGeometry().y();
    if (Form->isVisible() && decoration > 0)
        return decoration + 3;
    const bool fixedSize = Form->minimumSize() == Form->maximumSize();
    return Form->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, Form)
           + (fixedSize ? 3 : 4) + 3;
}

void SetImeAlphaMode(QWidget* /*Control*/)
{
    // Sentence conversion is the input method's own affair on Linux; nothing to set.
}

void Delay(int Ms)
{
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(Ms, 0)));
        return;
    }
    if (Ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(Ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string GetCdBurningFolder()
{
    return shell::cdBurningFolderPath();
}

std::string GetSpecialFolder(int Index)
{
    using shell::UserFolder;
    static constexpr UserFolder byIndex[] = {
        UserFolder::Desktop,  UserFolder::Applications, UserFolder::Applications,
        UserFolder::Recent,   UserFolder::Documents,    UserFolder::Autostart,
        UserFolder::Music,    UserFolder::SendTo,       UserFolder::Fonts,
    };
    if (Index < 1 || Index > 9)
        return shell::userFolderPath(UserFolder::Trash);
    return shell::userFolderPath(byIndex[Index - 1]);
}

// --- Files

namespace {

// "*" any run of characters, "?" one character; the name and pattern arrive case-folded.
bool wildcardMatch(const QString& name, const QString& pattern)
{
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool maskMatches(const QString& name, const QString& pattern)
{
    if (wildcardMatch(name, pattern))
        return true;
    return pattern.endsWith(QLatin1String(".*")) && wildcardMatch(name, pattern.chopped(2));
}

// Modification time in whole seconds; nothing for a missing file or a folder.
std::optional<std::int64_t> fileAge(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtime);
}

// Moves the finished temporary copy to its place; without Replace an existing file wins
// even when it appeared while we copied.
bool putInPlace(const fs::path& temp, const fs::path& dest, bool replace)
{
    if (replace) {
        std::error_code ec;
        fs::rename(temp, dest, ec);
        return !ec;
    }
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, dest.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: a hard link refuses an existing name too.
    if (::link(temp.c_str(), dest.c_str()) != 0)
        return false;
    std::error_code ec;
    fs::remove(temp, ec);
    return true;
}

bool copyThroughTemporary(const fs::path& source, const fs::path& dest, bool replace)
{
    std::string pattern = (dest.parent_path() / ("." + dest.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return false;
    ::close(fd);
    const fs::path temp = pattern;
    std::error_code ec;
    const fs::perms perms = fs::status(source, ec).permissions() | fs::perms::owner_write;
    const fs::file_time_type modified = fs::last_write_time(source, ec);
    if (!ec)
        fs::copy_file(source, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::permissions(temp, perms, ec);
    if (!ec)
        fs::last_write_time(temp, modified, ec);
    if (!ec && putInPlace(temp, dest, replace))
        return true;
    fs::remove(temp, ec);
    return false;
}

// Folders that no slip of a caller (an empty staging folder joined with a name) may wipe.
bool isProtectedFolder(const fs::path& path)
{
    std::error_code ec, homeEc;
    const fs::path real = fs::weakly_canonical(path, ec);
    const fs::path home = fs::weakly_canonical(homeDir(), homeEc);
    return ec || real == real.root_path() || (!homeEc && real == home);
}

}  // namespace

bool PathExists(const std::string& Path)
{
    struct stat st {};
    return !Path.empty() && ::stat(Path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& Path)
{
    struct stat st {};
    return !Path.empty() && ::stat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& Path)
{
    struct stat st {};
    return !Path.empty() && ::stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int FindFiles(std::vector<std::string>& List, const std::string& Mask, bool ClearFirst)
{
    if (ClearFirst)
        List.clear();
    const auto slash = Mask.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : Mask.substr(0, slash + 1);
    const QString pattern = QString::fromStdString(Mask.substr(slash + 1)).toCaseFolded();
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (maskMatches(QString::fromStdString(name).toCaseFolded(), pattern))
            found.push_back(std::move(name));
    }
    std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
        return QString::compare(QString::fromStdString(a), QString::fromStdString(b),
                                Qt::CaseInsensitive) < 0;
    });
    for (std::string& name : found) {
        List.push_back(std::move(name));
        processPendingEvents();
    }
    return static_cast<int>(List.size());
}

bool CopyFileSetArchive(const std::string& Source, const std::string& Dest, int Overwrite)
{
    std::error_code ec;
    if (!fs::is_regular_file(Source, ec) || Dest.empty() || fs::is_directory(Dest, ec))
        return false;
    const bool exists = fs::exists(fs::symlink_status(Dest, ec));
    if (exists && (Overwrite != 1 || fs::equivalent(Source, Dest, ec)))
        return false;
    return copyThroughTemporary(Source, fs::absolute(Dest, ec), Overwrite == 1);
}

bool CopyFileIfChanged(const std::string& Source, const std::string& Dest, int Overwrite,
                       bool ReplaceNewer)
{
    const std::optional<std::int64_t> source = fileAge(Source);
    const std::optional<std::int64_t> dest = fileAge(Dest);
    if (!source || source == dest || (dest && *dest > *source && !ReplaceNewer))
        return false;
    return CopyFileSetArchive(Source, Dest, Overwrite);
}

bool SetHiddenAttr(const std::string& FileName, bool ReadOnly)
{
    constexpr fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    std::error_code ec;
    if (ReadOnly)
        fs::permissions(FileName, write, fs::perm_options::remove, ec);
    else
        fs::permissions(FileName, fs::perms::owner_write, fs::perm_options::add, ec);
    return !ec;
}

bool RecycleFile(const std::string& Path)
{
    return shell::moveToTrash(Path);
}

void DeleteFolderTree(const std::string& Path)
{
    std::error_code ec;
    if (Path.empty() || !fs::is_directory(Path, ec) || isProtectedFolder(Path))
        return;
    fs::remove_all(Path, ec);
}

// --- Windows of other programs

namespace {

constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr std::uint8_t kKeyDown = 0x81;

void holdModifiers(shell::WindowHandle wnd, bool ctrl, bool shift)
{
    shell::ForeignDesktop& desktop = shell::foreignDesktop();
    shell::KeyboardState state = desktop.keyboardState();
    if (shift) {
        desktop.postKey(wnd, shell::KeyMessage::KeyDown, VK_SHIFT, 1);
        state[VK_SHIFT] = kKeyDown;
    }
    if (ctrl) {
        desktop.postKey(wnd, shell::KeyMessage::KeyDown, VK_CONTROL, 1);
        state[VK_CONTROL] = kKeyDown;
    }
    desktop.setKeyboardState(state);
}

void releaseModifiers(shell::WindowHandle wnd, bool ctrl, bool shift)
{
    shell::ForeignDesktop& desktop = shell::foreignDesktop();
    shell::KeyboardState state = desktop.keyboardState();
    if (ctrl) {
        desktop.postKey(wnd, shell::KeyMessage::KeyUp, VK_CONTROL, 0xC0000001);
        state[VK_CONTROL] = 0;
    }
    if (shift) {
        desktop.postKey(wnd, shell::KeyMessage::KeyUp, VK_SHIFT, 0xC0000001);
        state[VK_SHIFT] = 0;
    }
    desktop.setKeyboardState(state);
}

}  // namespace

bool IsForegroundThread(WindowHandle Wnd)
{
    shell::ForeignDesktop& desktop = shell::foreignDesktop();
    const shell::ThreadHandle thread = desktop.windowThread(Wnd);
    return thread != 0 && thread == desktop.windowThread(desktop.foregroundWindow());
}

bool ForceForegroundWindow(WindowHandle Wnd)
{
    shell::ForeignDesktop& desktop = shell::foreignDesktop();
    const shell::ThreadHandle own = desktop.windowThread(Wnd);
    const shell::ThreadHandle front = desktop.windowThread(desktop.foregroundWindow());
    bool onTop;
    if (own != front) {
        desktop.attachInput(own, front, true);
        onTop = desktop.bringToTop(Wnd);
        desktop.attachInput(own, front, false);
    } else {
        onTop = desktop.bringToTop(Wnd);
    }
    desktop.setForeground(Wnd);
    return onTop;
}

void PostKeyStrokes(WindowHandle Wnd, int Key, int Count, bool SysKey, bool Ctrl, bool Shift)
{
    shell::ForeignDesktop& desktop = shell::foreignDesktop();
    for (int i = 0; i < Count; ++i) {
        if (SysKey) {
            desktop.postKey(Wnd, shell::KeyMessage::SysKeyDown, Key, 0x20000001);
            continue;
        }
        if (Shift || Ctrl)
            holdModifiers(Wnd, Ctrl, Shift);
        desktop.postKey(Wnd, shell::KeyMessage::KeyDown, Key, 1);
        processPendingEvents();
        desktop.postKey(Wnd, shell::KeyMessage::KeyUp, Key, 0xC0000001);
        if (Shift || Ctrl)
            releaseModifiers(Wnd, Ctrl, Shift);
    }
}

void ClickWindow(WindowHandle Wnd)
{
    shell::ForeignDesktop& desktop = shell::foreignDesktop();
    if (!desktop.available())
        return;
    for (bool down : {true, false}) {
        desktop.sendLeftButton(Wnd, down);
        processPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool MoveWindowTo(WindowHandle Wnd, int X, int Y)
{
    shell::WindowRect rect;
    shell::ForeignDesktop& desktop = shell::foreignDesktop();
    return desktop.windowRect(Wnd, rect)
           && desktop.moveWindow(Wnd, X, Y, rect.right - rect.left, rect.bottom - rect.top);
}

void GetWindowSize(WindowHandle Wnd, QPoint& Size)
{
    shell::WindowRect rect;
    if (shell::foreignDesktop().windowRect(Wnd, rect))
        Size = QPoint(rect.right - rect.left + 1, rect.bottom - rect.top + 1);
}

void EnumChildWindowList(WindowHandle Parent, std::vector<WindowHandle>& List)
{
    List.clear();
    shell::foreignDesktop().forEachDescendant(Parent, [&List](WindowHandle child) {
        List.push_back(child);
        return List.size() < kMaxChildWindows;
    });
}

std::string GetClassNameText(WindowHandle Wnd)
{
    return QString::fromStdString(shell::foreignDesktop().className(Wnd)).left(99).toStdString();
}

std::string GetWindowTextStr(WindowHandle Wnd)
{
    return shell::foreignDesktop().windowText(Wnd);
}

WindowHandle FindChildWindow(WindowHandle Parent, const std::string& ClassName,
                             const std::string& Text)
{
    const std::string className = rtl::UpperAscii(ClassName);
    const std::string text = rtl::UpperAscii(Text);
    std::vector<WindowHandle> children;
    EnumChildWindowList(Parent, children);
    for (WindowHandle child : children)
        if (rtl::UpperAscii(GetClassNameText(child)) == className
            && rtl::UpperAscii(GetWindowTextStr(child)).find(text) != std::string::npos)
            return child;
    return 0;
}

WindowHandle SetChildWindowText(WindowHandle Parent, const std::string& ClassName,
                                const std::string& Text)
{
    const std::string className = rtl::UpperAscii(ClassName);
    std::vector<WindowHandle> children;
    EnumChildWindowList(Parent, children);
    for (WindowHandle child : children)
        if (rtl::UpperAscii(GetClassNameText(child)) == className) {
            shell::foreignDesktop().setWindowText(child, rtl::UpperAscii(Text));
            return child;
        }
    return 0;
}

// --- CD drive

std::string GetDriveTypeText(const std::string& Drive)
{
    static constexpr const char* texts[] = {
        "No Type Information", "Root Directory does not exist", "Removable", "Fixed",
        "Remote", "CDROM", "RamDisk",
    };
    return texts[static_cast<int>(shell::driveKind(Drive))];
}

std::string FindCdDrive()
{
    const std::vector<std::string> drives = shell::cdDriveDevices();
    return drives.empty() ? std::string() : drives.front();
}

bool OpenCdDoor(const std::string& Drive)
{
    const bool failed = !shell::ejectTray(Drive);
    processPendingEvents();
    return failed;
}

bool CloseCdDoor(const std::string& Drive)
{
    const bool failed = !shell::closeTray(Drive);
    processPendingEvents();
    return failed;
}

int GetDriveRootPath(std::string& Drive)
{
    std::error_code ec;
    if (Drive.empty() || !fs::exists(Drive, ec))
        return ERROR_FILE_NOT_FOUND;
    if (fs::is_directory(Drive, ec) && Drive.back() != '/')
        Drive += '/';
    return 0;
}

int GetVolumeLabel(const std::string& Drive, std::string& Label)
{
    std::string root = Drive;
    if (const int error = GetDriveRootPath(root))
        return error;
    Label.clear();
    if (shell::driveKind(root) != shell::DriveKind::CdRom)
        return 0;
    switch (shell::discLabel(root, Label)) {
    case shell::DiscStatus::Ok: return 0;
    case shell::DiscStatus::Missing: return ERROR_FILE_NOT_FOUND;
    case shell::DiscStatus::NotReady: break;
    }
    return ERROR_NOT_READY;
}

std::int64_t BurnFilesToCd(const std::vector<std::string>& Files)
{
    return shell::startCdBurner(Files, GetCdBurningFolder());
}

bool CdBurnerRuns(std::int64_t Burner)
{
    return shell::processRuns(Burner);
}

bool InvokeShellVerb(const std::string& Path, const std::string& VerbText)
{
    shell::ForeignDesktop& desktop = shell::foreignDesktop();
    const auto entries = desktop.contextMenuEntries(Path);
    if (!entries)
        return false;
    const auto entry = std::find_if(entries->begin(), entries->end(), [&](const std::string& text) {
        return text.find(VerbText) != std::string::npos;
    });
    if (entry == entries->end())
        return false;
    Delay(100);
    return desktop.invokeContextMenuEntry(Path, static_cast<int>(entry - entries->begin()));
}
