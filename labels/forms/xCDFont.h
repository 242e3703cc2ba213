// `TfrmCD_Font`, the designer's font dialog: one text element's font (name, size, styles and
// colour) with a preview of a sample text, or, in colour mode (`Tag` 1), the colour of the
// jacket rule alone, previewed as a line.
//
// The opener copies the element's font into `Font()`, puts the sample into `lblSample`, sets
// `Tag`, shows the dialog modally and copies `Font()` back: only "ok" changes it. The recently
// used fonts live under [CD_FONT] (saved on closing in font mode), the colour dialog's sixteen
// custom colours under [CD_COLOR] (loaded at creation, saved at destruction).
// UI thread only.
#pragma once

#include "platform/forms/Form.h"
#include "platform/gfx/DrawTools.h"

class QColorDialog;
class QLabel;

namespace forms {
class TPaintBox;
}

namespace controls {
class TFlatSpeedButton;
class TFlatSpinEditFloat;
class TPvlColorCombo;
class TRbButton;
class TscFontComboBox;
class TxxSpeedButton;
}  // namespace controls

class TfrmCD_Font : public forms::TForm {
public:
    explicit TfrmCD_Font(QWidget* parent = nullptr);
    ~TfrmCD_Font() override;

    int Tag = 0;  // 0 font mode, 1 colour mode

    controls::TscFontComboBox* cmbFontName;
    controls::TPvlColorCombo* cmbFontColor;
    controls::TFlatSpeedButton* spdColor;
    controls::TxxSpeedButton *spdBold, *spdItalic, *spdUnderline, *spdStrikeOut;
    controls::TFlatSpinEditFloat* spnSize;
    forms::TPaintBox* pbxPreview;
    QLabel *lblName, *lblSize, *lblStyle, *lblColor, *lblSample;
    controls::TRbButton *spdOK, *spdCan;
    QColorDialog* ColorDialog1;

    // What the preview shows (the dialog's Font takes it on "ok").
    const gfx::TFont& PreviewFont() const { return preview_; }
    // Takes a colour as the combo or the colour dialog gives it.
    void SetPreviewColor(gfx::TColor Color);
    void spdColorClick();

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void FormCreate();
    void FormShow();
    void styleClick();
    void paintPreview();

    gfx::TFont preview_;
    bool filling_ = false;  // the showing sets the controls: their changes are not the user's
};

// QColor and the program's 0x00BBGGRR colour values.
gfx::TColor ColorFromQColor(const QColor& c);
QColor QColorFromColor(gfx::TColor c);
