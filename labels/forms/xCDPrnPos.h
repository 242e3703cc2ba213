// `TfrmCD_Pos`, the print position dialog of the jacket and label designer: the printer, its
// bin, paper and orientation, and where the design's 120 x 120 mm square sits on the paper.
// The paper is shown as an A4 sheet at 1.5 pixels to the millimetre with the printer's
// printable area and the square, which the mouse drags and the arrow keys nudge.
//
// The opener sets `Tag` to the design (0 jacket, 1 label) and `WideArea` to the label kind,
// shows the dialog modally and frees it; on return `Tag` is 1 when the user confirmed, 0 when
// not. Printer edits reach the printer at once; the origin, the presets and the printer choice
// are written on confirmation only ([CD_JACKET] / [CD_LABEL], [CD_JACKET_POS] / [CD_LABEL_POS]).
// UI thread only.
#pragma once

#include "controls/pickers/ComboBox97.h"
#include "platform/forms/Form.h"
#include "util/xMessageBox.h"

#include <string>
#include <vector>

class QLabel;

namespace rtl {
class TStringList;
}
class QListWidget;

namespace forms {
class TPaintBox;
}

namespace controls {
class TFlatCheckBox;
class TFlatComboBox;
class TFlatSpinEditFloat;
class TRbButton;
}  // namespace controls

// The preset list: each line drawn as its position, then the printer's name in a column.
class TCD_PosCombo : public controls::TComboBox97 {
public:
    explicit TCD_PosCombo(QWidget* parent = nullptr);
    void DrawItem(int Index, const gfx::TRect& Rect, controls::TOwnerDrawState State) override;
};

// One preset line, "X x Y,printer"; false when the line does not read so.
struct TPrintPreset {
    double X = 0, Y = 0;
    std::string Position, Printer;  // the text before the comma, the text after it
};
bool ParsePrintPreset(const std::string& Line, TPrintPreset& Preset);

// The label presets every list offers.
const std::vector<std::string>& BuiltInLabelPresets();

// A range of the square's origin; a maximum below the minimum has collapsed onto it.
struct TPosRange {
    double Min = 0, Max = 0;
    double Clamp(double V) const { return V < Min ? Min : (V > Max ? Max : V); }
};

// The step of an arrow key: to the whole millimetre in its direction, or by half a
// millimetre from a whole one.
double ArrowStep(double Value, bool Up);

class TfrmCD_Pos : public forms::TForm {
public:
    explicit TfrmCD_Pos(QWidget* parent = nullptr);
    ~TfrmCD_Pos() override;

    int Tag = 0;             // in: 0 jacket, 1 label; out: 1 confirmed, 0 cancelled
    bool WideArea = false;   // the designer's label kind, for the label's circles

    controls::TFlatComboBox *cmbPrinter, *cmbPaper, *cmbBins, *cmbWay;
    controls::TRbButton *btnPrinter, *spdOK, *spdCan;
    controls::TFlatSpinEditFloat *spnX, *spnY;
    TCD_PosCombo* cmbPos;
    QLabel *lblSpanX, *lblSpanY, *lblPaper;
    controls::TFlatCheckBox *chkJacket, *chkLabel;
    forms::TPaintBox *pnlA4, *pbxArea, *pbxCD;
    QListWidget* lstFocus;

    // The ranges of the square's origin in millimetres, and of its place on the sheet in pixels.
    const TPosRange& RangeX() const { return rangeX_; }
    const TPosRange& RangeY() const { return rangeY_; }
    QRect PixelRange() const { return pixelRange_; }
    // The preset lines of the design shown.
    std::vector<std::string> Presets() const;

    void cmbPrinterChange();
    void btnPrinterClick();
    void cmbBinsChange();
    void cmbPaperChange();
    void cmbWayChange();
    void cmbPosChange();
    void cmbPosDelete();
    void chkDesignClick(controls::TFlatCheckBox* Sender);
    void spdOKClick();
    void spdCanClick();
    // An arrow key while the preview holds the focus.
    void MoveByKey(int Key);

    TMsgBoxFn MsgBox;  // how the dialog asks (tests put their answers in)

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool PreviewEvent(QObject* Watched, QEvent* Event) override;

private:
    void FormCreate();
    void FormShow();
    bool label() const;
    void fillList(controls::TFlatComboBox* Combo, void (*Names)(rtl::TStringList&), int (*Index)());
    void fillPrinters();
    void fillBins();
    void fillPapers();
    void fillWay();
    void refillFromPrinter();
    void loadDesign();
    // The printable area and the ranges after a change of printer, paper, bin or way, then
    // the position clamped to them, the preset that matches it, and the small-paper notice.
    void computeArea();
    void updateArea();
    void afterArea();
    void selectMatchingPreset();
    void placeSquare();
    void spinChange();
    void setOrigin(double X, double Y);
    void paintArea();
    void paintSquare();
    void squareMouseDown(forms::TMouseButton Button, int X, int Y);
    void squareMouseMove(int X, int Y);
    void squareMouseUp();

    TPosRange rangeX_, rangeY_;
    QRect pixelRange_;
    int areaWidth_ = 0, areaHeight_ = 0;  // printable size, tenths of a millimetre
    int lastPreset_ = -1;    // the selection a refused preset goes back to
    bool filling_ = false;   // code is setting the controls: their changes are not the user's
    bool dragging_ = false;
    QPoint grab_;            // where the square was taken, in its own pixels
};
