// The folder chooser: a modal folder browser with a prompt above it, a root the user cannot
// leave, a preselected folder, optional vetting of the selection and a placement the caller
// decides. It is Qt's own (non-native) file dialog in folder mode, embedded under the prompt,
// so it looks and behaves the same on every desktop and can be placed and driven in tests.
// Its box for typing a folder's path is always there: without the tree of a desktop's own
// browser, it is the one way to reach a folder by name.
//
// The chooser belongs to its owner window and is freed with it. Execute builds the dialog,
// runs it and frees it again; between calls the chooser holds only its settings and the last
// result. User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <QObject>
#include <QPoint>

class QWidget;

enum TDirDialogOption : unsigned {
    ddoNewStyle = 0x1,   // resizable, with a button to make a new folder
    ddoEditBox = 0x2,    // a typed name that is no folder goes to OnInvalidDirectory
};
using TDirDialogOptions = unsigned;

enum TInitialDirectory { idDesktop, idDrives, idPersonal };

class TDirDialog : public QObject {
public:
    // Raises std::invalid_argument when Owner is not a window.
    explicit TDirDialog(QWidget* Owner);

    std::string Promt = "Select directory";
    std::string Caption;     // window title; empty leaves the toolkit's
    std::string Directory;   // the folder last chosen, without a trailing "/"
    std::string About;       // has no effect
    TInitialDirectory InitialDirectory = idDesktop;

    // The folder to preselect; a folder that exists gets a trailing "/".
    const std::string& Selection() const { return FSelection; }
    void SetSelection(const std::string& Value);

    TDirDialogOptions Options() const { return FOptions; }
    void SetOptions(TDirDialogOptions Value);
    // The classic browse flags the options stand for (0x40 new style, 0x30 edit box).
    std::uint32_t BrowseFlags() const { return FBrowseFlags; }

    // Shows the dialog; true with Directory set when a folder was chosen, false (and
    // Directory unchanged) otherwise.
    bool Execute();

    // The folder the browser cannot leave ("/" when the whole file system is open) and the
    // one it opens at when nothing is preselected.
    std::string RootFolder() const;
    std::string StartFolder() const;

    std::function<void(std::string& NewPromt)> BeforeExecute;
    std::function<void(const std::string& Name, bool& OkEnabled)> OnSelectDirectory;
    std::function<void(const std::string& Name, bool& CanClose)> OnInvalidDirectory;
    // Receives the proposed top-left corner (centred across, a third down the screen).
    std::function<void(QPoint& Pt)> OnShowDialog;

private:
    QWidget* FOwner;
    std::string FSelection;
    TDirDialogOptions FOptions = 0;
    std::uint32_t FBrowseFlags = 0;
};

// Selection as the browser should open it: without a trailing "/" except for "/" itself.
std::string NormalizeDirSelection(const std::string& Selection);
