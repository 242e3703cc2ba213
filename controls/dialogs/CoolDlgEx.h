// `TCoolOpenPictureDialog`: the resizable open dialog with a preview area at the right of its
// controls. A picture the user selects shows there fitted, with its size in pixels; a MIDI
// file plays (through platform/midi, silently when there is no sound device or sound font);
// the preview button opens the picture at full size in a window of its own ("PreviewForm").
// The filter lists every format the picture registry holds when the dialog is made, so a
// format registered later shows up without a change here (`GraphicFilter`).
//
// A picture that cannot be read clears the preview: no message box per click. The selection
// change loads at once and lets no other event run meanwhile, so a second selection never
// starts amid the first. UI thread only; the MIDI player's own worker thread renders the sound.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "controls/dialogs/CoolDlg.h"
#include "platform/forms/Control.h"
#include "platform/forms/Form.h"

namespace forms {
class TImage;
}
namespace gfx {
class TPicture;
}
namespace midi {
class TMidiOutput;
class TMidiPlayer;
}  // namespace midi

namespace controls {

class TCustomLabel;
class TSpeedButton;

// "All (*.a;*.b)|*.a;*.b|description (*.a)|*.a|..." over every registered picture format,
// oldest first; an extension registered twice is listed once, with its latest description.
std::string GraphicFilter();

// ".mid" and ".midi", any case.
bool IsMidiFileName(const std::string& FileName);

// The framed panel the preview picture sits in: a lowered outer and a raised inner bevel.
class TPreviewPanel : public forms::TCustomControl {
public:
    using forms::TCustomControl::TCustomControl;

protected:
    void Paint() override;
};

class TCOPDCustomArea : public forms::TCustomControl {
public:
    explicit TCOPDCustomArea(QWidget* Parent);
    ~TCOPDCustomArea() override;

    TPreviewPanel* PicturePanel;
    forms::TImage* Image;
    TCustomLabel* lblHeading;
    TCustomLabel* lblSize;
    TSpeedButton* PreviewButton;
    TCustomLabel* lblCredit;

    // Shows FileName: a picture fitted, a MIDI file played, anything else clears.
    void UpdatePreview(const std::string& FileName);
    // Empty size text, no picture, the button off.
    void ClearPreview();
    // The preview button: the picture in the "PreviewForm", modal. Nothing for an empty picture.
    void PreviewButtonClick();
    // The picture shown, at its own size (Image holds it fitted to the panel).
    const gfx::TPicture& Picture() const { return *full_; }
    // The MIDI file that plays ("" when none).
    std::string PlayingMidi() const;
    // Ends any MIDI playback and closes the sound device.
    void CloseMidi();

    // Makes the sound output of each MIDI player (the ALSA default device unless replaced).
    static std::function<std::unique_ptr<midi::TMidiOutput>()> MidiOutputFactory;

protected:
    void Resized() override;

private:
    bool loadPicture(const std::string& FileName);
    void fitPicture();
    void playMidi(const std::string& FileName);
    std::unique_ptr<gfx::TPicture> full_;
    bool drawnAsItIs_ = false;
    std::unique_ptr<midi::TMidiPlayer> midi_;
};

// The full preview: the picture stretched in a window-coloured panel; dragging it moves the
// window; Escape closes it.
class TPreviewForm : public forms::TForm {
public:
    TPreviewForm(QWidget* Owner, const gfx::TPicture& Picture);

    forms::TCustomControl* Panel;
    forms::TImage* Image;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void PlaceOnScreen() override;

private:
    QSize clientFor(const QRect& WorkArea) const;
    QSize picture_;
};

class TCoolOpenPictureDialog : public TCoolOpenDialog {
public:
    explicit TCoolOpenPictureDialog(QWidget* Owner);

    // The area while the dialog is shown, else none.
    TCOPDCustomArea* Area() const { return area_; }

    // Room the area takes at the right of the dialog's controls.
    static constexpr int AreaWidth = 200;

protected:
    int Run(QFileDialog& Dialog) override;
    void Resized(QDialog& Dialog) override;

private:
    void placeArea(QDialog& Dialog);
    TCOPDCustomArea* area_ = nullptr;
};

}  // namespace controls
