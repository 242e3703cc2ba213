#include "platform/shell/ForeignDesktop.h"

namespace shell {

namespace {

class UnavailableDesktop final : public ForeignDesktop {
public:
    bool available() const override { return false; }
    WindowHandle foregroundWindow() override { return 0; }
    ThreadHandle windowThread(WindowHandle) override { return 0; }
    bool attachInput(ThreadHandle, ThreadHandle, bool) override { return false; }
    bool bringToTop(WindowHandle) override { return false; }
    bool setForeground(WindowHandle) override { return false; }
    bool postKey(WindowHandle, KeyMessage, int, std::uint32_t) override { return false; }
    KeyboardState keyboardState() override { return {}; }
    void setKeyboardState(const KeyboardState&) override {}
    bool sendLeftButton(WindowHandle, bool) override { return false; }
    bool windowRect(WindowHandle, WindowRect&) override { return false; }
    bool moveWindow(WindowHandle, int, int, int, int) override { return false; }
    void forEachDescendant(WindowHandle, const std::function<bool(WindowHandle)>&) override {}
    std::string className(WindowHandle) override { return {}; }
    std::string windowText(WindowHandle) override { return {}; }
    bool setWindowText(WindowHandle, const std::string&) override { return false; }
    std::optional<std::vector<std::string>> contextMenuEntries(const std::string&) override
    {
        return std::nullopt;
    }
    bool invokeContextMenuEntry(const std::string&, int) override { return false; }
};

UnavailableDesktop unavailable;
ForeignDesktop* current = &unavailable;

}  // namespace

ForeignDesktop& foreignDesktop()
{
    return *current;
}

void setForeignDesktop(ForeignDesktop* desktop)
{
    current = desktop ? desktop : &unavailable;
}

}  // namespace shell
