// Driving other programs: their windows (found by class name and text, moved, brought to
// the front, sent key strokes and clicks) and the file manager's context-menu entries and
// CD-writing staging folder. The program's Windows origin used these only to steer the
// system's CD-writing wizard; Linux desktops have no such wizard and no portable way to
// reach into another program's windows, so the backend in use on Linux answers every call
// with "not available" (false, 0, empty) and the callers take their failure paths.
//
// The interface keeps the primitives the callers' routines are built from, so those
// routines can be exercised against a scripted backend in tests.
//
// User-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace shell {

using WindowHandle = std::uintptr_t;  // 0: no window
using ThreadHandle = std::uint64_t;   // 0: unknown

struct WindowRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

enum class KeyMessage { KeyDown, KeyUp, SysKeyDown };

using KeyboardState = std::array<std::uint8_t, 256>;

class ForeignDesktop {
public:
    virtual ~ForeignDesktop() = default;

    // False when this desktop offers none of the calls below.
    virtual bool available() const = 0;

    virtual WindowHandle foregroundWindow() = 0;
    virtual ThreadHandle windowThread(WindowHandle window) = 0;
    virtual bool attachInput(ThreadHandle from, ThreadHandle to, bool attach) = 0;
    virtual bool bringToTop(WindowHandle window) = 0;
    virtual bool setForeground(WindowHandle window) = 0;

    virtual bool postKey(WindowHandle window, KeyMessage message, int key,
                         std::uint32_t keyData) = 0;
    virtual KeyboardState keyboardState() = 0;
    virtual void setKeyboardState(const KeyboardState& state) = 0;
    virtual bool sendLeftButton(WindowHandle window, bool down) = 0;

    virtual bool windowRect(WindowHandle window, WindowRect& rect) = 0;
    virtual bool moveWindow(WindowHandle window, int left, int top, int width, int height) = 0;
    // Calls visit for every descendant of parent, depth first, until visit returns false.
    virtual void forEachDescendant(WindowHandle parent,
                                   const std::function<bool(WindowHandle)>& visit) = 0;
    virtual std::string className(WindowHandle window) = 0;
    virtual std::string windowText(WindowHandle window) = 0;
    virtual bool setWindowText(WindowHandle window, const std::string& text) = 0;

    // The texts of the file manager's context-menu entries for a file or folder, in menu
    // order; nothing when there is no such menu.
    virtual std::optional<std::vector<std::string>> contextMenuEntries(const std::string& path) = 0;
    virtual bool invokeContextMenuEntry(const std::string& path, int index) = 0;
};

// The desktop in use: the "not available" one unless a test installed another.
ForeignDesktop& foreignDesktop();
// Installs a backend (not owned; nullptr puts the default back). For tests.
void setForeignDesktop(ForeignDesktop* desktop);

}  // namespace shell
