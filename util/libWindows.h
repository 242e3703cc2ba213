// Plain routines over the operating system that the windows share: the program folder,
// system tests, special folders, file copy, delete and attributes, waiting while events
// flow, the CD drive, and the routines that steer other programs' windows and the file
// manager's context menu. None keeps state between calls.
//
// Platform mapping: special folders are the XDG user directories, the recycle bin is the
// freedesktop trash, a CD "drive" is a device path ("/dev/sr0") or a CD image (.cue), and
// the routines that drive other programs go through platform/shell's ForeignDesktop,
// which on Linux reports every such call as not available.
//
// User-interface thread only. Delay, FindFiles, ClickWindow, PostKeyStrokes, OpenCdDoor
// and CloseCdDoor handle pending events, so other handlers can run inside them; a handler
// that calls them guards itself against running twice (TReentryGuard).
#pragma once

#include "platform/shell/ForeignDesktop.h"

#include <cstdint>
#include <string>
#include <vector>

#include <QPoint>

class QWidget;

// Error codes of the drive routines, numbered as the program reports them.
constexpr int ERROR_FILE_NOT_FOUND = 2;
constexpr int ERROR_NOT_READY = 21;  // a drive without a readable disc

// --- Program and system

// The folder of the running program, without a trailing "/". When that folder is not
// writable (an installed program), the program's own folder under $XDG_DATA_HOME
// (~/.local/share/Tambourelle), created when missing, since the settings file and the work
// files live in the folder this names.
std::string GetAppDir();

// The folder GetAppDir gives for a program that lies in ProgramDir.
std::string AppDirFor(const std::string& ProgramDir);

// Linux counts as the NT family: what the program does only there (the CPU graph) works.
bool IsWinNT();
// Whether the system's product name (os-release) names Windows 7: never on Linux, so the
// features the program withholds on that system stay on.
bool IsWindows7();

// P := the right and bottom edge (exclusive) of the primary screen's work area; P is left
// as it is when there is no screen.
void GetWorkArea(QPoint& P);

// Height from the window's outer top to its client area + 3: measured from the window
// manager's frame when the window is shown with one, else the style's title-bar height
// and a frame of 3 (fixed-size window) or 4 (resizable) pixels.
int GetFormCaptionHeight(const QWidget* Form);

// Asks for automatic sentence conversion with the conversion mode kept. Linux input
// methods have no sentence mode to set, so the window's input method is left as it is.
void SetImeAlphaMode(QWidget* Control);

// Returns after Ms milliseconds, running the event loop meanwhile (timers, painting and
// input are handled; no processor time is burnt). Ms <= 0 handles what is pending once.
// Handlers that run meanwhile may close windows and delete objects: a caller that uses an
// object after the delay holds it through a QPointer and looks again.
void Delay(int Ms);

// Marks a handler that lets events run inside it as busy, so that a second run of it that
// those events start can be refused:
//     static bool busy; TReentryGuard guard(busy); if (!guard) return;
class TReentryGuard {
public:
    explicit TReentryGuard(bool& Busy) : busy_(Busy), owner_(!Busy) { busy_ = true; }
    ~TReentryGuard()
    {
        if (owner_)
            busy_ = false;
    }
    TReentryGuard(const TReentryGuard&) = delete;
    TReentryGuard& operator=(const TReentryGuard&) = delete;
    explicit operator bool() const { return owner_; }

private:
    bool& busy_;
    bool owner_;
};

// The program's own staging folder for writing to CD ($XDG_CACHE_HOME/Tambourelle/cd-burning);
// not created here.
std::string GetCdBurningFolder();

// Index: 1 desktop, 2 start menu and 3 programs (the user's menu entries), 4 recent
// documents (none on Linux: empty), 5 documents, 6 start-up (autostart), 7 favourites
// (the user's Music folder: the default music folder), 8 send-to (none: empty), 9 fonts,
// any other the recycle bin (the trash's files/ folder).
std::string GetSpecialFolder(int Index);

// --- Files

// What is at Path, asked of its own bytes: a name unzipped from an old archive need not be
// UTF-8, and a trip through text would ask about another (missing) file. False for "".
bool PathExists(const std::string& Path);
bool IsFolder(const std::string& Path);
bool IsRegularFile(const std::string& Path);

// Adds to List the names (not paths) of the files and folders in Mask's folder that match
// Mask's last part, which may hold "*" and "?" and is compared without regard to case
// ("*.JPG" finds "a.jpg"; a trailing ".*" also matches names without extension). The
// names are added sorted without regard to case. List is cleared first when ClearFirst;
// events are handled after each name. Returns List's size.
int FindFiles(std::vector<std::string>& List, const std::string& Mask, bool ClearFirst);

// Copies Source to Dest through a temporary file in Dest's folder, so Dest is either the
// old file or the whole copy. An existing Dest is replaced only when Overwrite is 1 (also
// when it is read-only). The copy keeps Source's modification time and is writable by its
// owner. Returns whether it copied.
[[nodiscard]] bool CopyFileSetArchive(const std::string& Source, const std::string& Dest,
                                      int Overwrite);

// CopyFileSetArchive when the two files' modification times (whole seconds; a missing
// file has none) differ. A Dest newer than Source is kept unless ReplaceNewer. Returns
// true only when it copied.
bool CopyFileIfChanged(const std::string& Source, const std::string& Dest, int Overwrite,
                       bool ReplaceNewer = false);

// Read-only (no write permission for anyone) when ReadOnly, else writable by the owner.
// Linux has no hidden attribute apart from a leading "." in the name, which would break
// every reference to the file, so the name is left alone. Returns success.
bool SetHiddenAttr(const std::string& FileName, bool ReadOnly);

// Moves the file or folder into the trash, without asking. Returns success.
bool RecycleFile(const std::string& Path);

// Deletes the folder with everything in it, for good and without asking, when it exists.
// Failures are ignored. An empty path, "/" and the home folder are never deleted.
void DeleteFolderTree(const std::string& Path);

// --- Windows of other programs (not available on Linux: false, 0 or empty)

using shell::WindowHandle;

bool IsForegroundThread(WindowHandle Wnd);
// Brings Wnd to the top (with its thread's input attached to the foreground window's
// thread while doing so) and makes it the foreground window. Returns whether bringing it
// to the top succeeded.
bool ForceForegroundWindow(WindowHandle Wnd);
// Posts Count presses of Key to Wnd, with Alt (SysKey), Ctrl or Shift held.
void PostKeyStrokes(WindowHandle Wnd, int Key, int Count, bool SysKey, bool Ctrl, bool Shift);
void ClickWindow(WindowHandle Wnd);
bool MoveWindowTo(WindowHandle Wnd, int X, int Y);
// Size := (right - left + 1, bottom - top + 1) of the window; unchanged when unknown.
void GetWindowSize(WindowHandle Wnd, QPoint& Size);

constexpr std::size_t kMaxChildWindows = 500;
// All descendants of Parent, at most kMaxChildWindows of them.
void EnumChildWindowList(WindowHandle Parent, std::vector<WindowHandle>& List);
std::string GetClassNameText(WindowHandle Wnd);  // at most 99 characters
std::string GetWindowTextStr(WindowHandle Wnd);
// The first descendant whose class name equals ClassName and whose text contains Text,
// both compared with ASCII letters upper-cased; 0 when none.
WindowHandle FindChildWindow(WindowHandle Parent, const std::string& ClassName,
                             const std::string& Text);
// Gives the first descendant of class ClassName the text Text with ASCII letters
// upper-cased; returns it, 0 when none.
WindowHandle SetChildWindowText(WindowHandle Parent, const std::string& ClassName,
                                const std::string& Text);

// --- CD drive (a device path or a CD image)

// "No Type Information", "Root Directory does not exist", "Removable", "Fixed", "Remote",
// "CDROM" or "RamDisk".
std::string GetDriveTypeText(const std::string& Drive);
// The first CD drive's device path; empty when there is none.
std::string FindCdDrive();
// Open or close the drive's tray; true when that FAILED (also for an image: no tray).
bool OpenCdDoor(const std::string& Drive);
bool CloseCdDoor(const std::string& Drive);
// A folder gets a trailing "/"; a device or image path stays as it is. Returns 0, or
// ERROR_FILE_NOT_FOUND when the path does not exist.
int GetDriveRootPath(std::string& Drive);
// Label := the name of the disc in the drive (empty for a plain audio CD and for drives
// that are not CD drives). Returns 0, ERROR_FILE_NOT_FOUND, or ERROR_NOT_READY when a CD
// drive holds no readable disc.
int GetVolumeLabel(const std::string& Drive, std::string& Label);

// Starts the desktop's burner for blank CDs with Files, staged in GetCdBurningFolder();
// its process id, 0 when none started (no burner, or it could not be run).
std::int64_t BurnFilesToCd(const std::vector<std::string>& Files);
// Whether the burner BurnFilesToCd started still runs.
bool CdBurnerRuns(std::int64_t Burner);
// Invokes the first entry of Path's context menu whose text contains VerbText.
bool InvokeShellVerb(const std::string& Path, const std::string& VerbText);
