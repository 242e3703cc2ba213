// The program's own message box: every question and notice of the program goes through
// `ShowMessageBox`, which shows `TfrmMessageBox` modally with Japanese button captions, the
// program's XP-style buttons, an icon drawn here, a beep, a chosen default button and a size
// that follows the text. The window is created per call and released after it; the last
// call's button set and default button stay in `ButtonMode` and `DefaultButton`.
// UI thread only.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/forms/Form.h"
#include "platform/forms/Image.h"
#include "util/xpButtonEx.h"

class QWidget;

// 1 "y", 2 "yn", 3 "yc", 4 "ync"; set by each message box's set-up.
extern int ButtonMode;
// The button (1..3) that takes the focus when the box appears.
extern int DefaultButton;

// The message label: sized to its text (longest line by number of lines), never wrapped;
// CR, LF and CR LF all break lines and "&" is shown as it is.
class TMessageLabel : public forms::TCustomControl {
public:
    explicit TMessageLabel(QWidget* parent = nullptr);

protected:
    void Paint() override;
    void TextChanged() override;
    void FontChanged() override { TextChanged(); }

private:
    std::string shownText() const;
};

class TfrmMessageBox : public forms::TForm {
public:
    explicit TfrmMessageBox(QWidget* parent = nullptr);
    ~TfrmMessageBox() override;

    // Sizes, places and fills the window before it is shown. Width and height are those of
    // the whole window, frame included, as the placement rules count them.
    void Setup(QWidget* Owner, const std::string& Caption, const std::string& Text,
               int DefaultButtonArg, const std::string& Buttons, const std::string& Icon);
    int WindowWidth() const { return windowWidth_; }
    int WindowHeight() const { return windowHeight_; }
    int WindowLeft() const { return windowLeft_; }
    int WindowTop() const { return windowTop_; }
    // The result a key gives in the current button set (0: the key is not the box's).
    int KeyResult(int key) const;

    forms::TImage* Image1;
    TMessageLabel* lblMsg;
    forms::TCustomControl* pnlButton;  // a plain panel
    TxpButtonEx* btnMode1;
    TxpButtonEx* btnMode2;
    TxpButtonEx* btnMode3;

    // The window frame the placement rules count in: the sides and bottom, and the title
    // bar with the top frame.
    static constexpr int FrameWidth = 3;
    static constexpr int TitleHeight = 23;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void placeButtons();
    void applyGeometry();
    void frmCloseQuery(bool& canClose);
    int windowWidth_ = 0;
    int windowHeight_ = 0;
    int windowLeft_ = 0;
    int windowTop_ = 0;
};

// The box while it is shown (otherwise null).
extern TfrmMessageBox* frmMessageBox;

// The 32 x 32 icon of an icon character ("!", "?", "i", "x"; anything else: the design icon),
// drawn on the button-face colour.
std::unique_ptr<gfx::TBitmap> MessageBoxIcon(char Icon);

// Shows the box modally and returns 6 (yes), 7 (no) or 2 (cancel; also when the box failed).
// DefaultButton is decimal text; text that is no number raises EConvertError before anything
// is shown. Buttons: "y", "yn", "yc" or "ync" in either letter case (anything else acts as
// "y"). Icon: "!"
// exclamation, "?" question, "i" information, "x" error (letter case ignored); anything else
// shows the plain design icon without a beep. Owner (may be null) is the window the box is
// centred on; otherwise the screen's work area.
int ShowMessageBox(QWidget* Owner, const std::string& Caption, const std::string& Text,
                   const std::string& DefaultButton, const std::string& Buttons,
                   const std::string& Icon);

// The message box as every window asks its questions: DefaultButton (1..3) as a number and
// the rest as ShowMessageBox takes them. 6 yes, 7 no, 2 cancel.
int MsgBoxEx(QWidget* Owner, const std::string& Caption, const std::string& Text,
             int DefaultButton, const std::string& Buttons, const std::string& Icon);

// How a window asks: MsgBoxEx by default; tests put their answers in its place.
using TMsgBoxFn = std::function<int(QWidget* Owner, const std::string& Caption, const std::string& Text,
                                    int DefaultButton, const std::string& Buttons, const std::string& Icon)>;
