// `TfrmCD_Label`, the CD jacket and label designer: two 600 x 600 preview pages (5 pixels to
// the millimetre) laid out from the main window's playlist: title, artist, a numbered track
// list, a photo and, on the jacket, a rule. The mouse selects, drags and (with the grip)
// resizes the elements, the arrow keys nudge them, popup menus fit photos, hide elements and
// restore layouts, and the title and artist are edited in place.
//
// Each page draws the whole design itself, in the order a print would; its elements are
// see-through boxes over it that give the parts their place, size and font and take the
// mouse. Sizes follow a change of text, font, list or page, never a paint.
//
// Created on demand, shown modally and freed by its caller. Showing builds the album, artist
// and photo lists (which lets events run: a second build is refused and a close waits for
// it). Settings live under [CD_LABEL].
//
// The print button prints the page shown, on the printer chosen for the designs, after a
// question that shows the printer's settings and the print dialog: the jacket as vector
// commands (a metafile; its text stays text), the label as one bitmap at the printer's
// resolution, whitened outside the disc. Each lands as a 120 mm square at its origin in
// millimetres ([CD_JACKET], [CD_LABEL]), set in the print-position dialog.
// UI thread only.
#pragma once

#include "labels/forms/CDLayout.h"
#include "labels/forms/CDLists.h"
#include "platform/forms/Form.h"
#include "platform/print/PrintDialog.h"
#include "util/xMessageBox.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QScrollArea;
class QTabWidget;
class QWidget;
class TfrmCD_Font;
class TfrmCD_Pos;

namespace gfx {
class TBitmap;
class TCanvas;
class TGraphic;
}  // namespace gfx

namespace forms {
class TImage;
class TImageList;
class TPaintBox;
}  // namespace forms

namespace controls {
class TFlatComboBox;
class TImageListBox;
class TRbButton;
class TXiButton;
class TxxGrip;
}  // namespace controls

class TfrmCD_Label : public forms::TForm {
public:
    explicit TfrmCD_Label(QWidget* parent = nullptr);
    ~TfrmCD_Label() override;

    // Element kinds, the paint boxes' Tag.
    enum TElementKind { ekTitle = 1, ekArtist = 2, ekTracks = 3, ekPhoto = 4, ekRule = 5 };

    // Everything below sits on pnlClient, which scrolls when the screen is smaller.
    QScrollArea* scrClient;
    QWidget* pnlClient;
    QTabWidget* pgeCD;
    forms::TPaintBox *pnlCD_Title, *pnlCD_Print;  // the pages, white
    forms::TPaintBox *pbxTitle1, *pbxArtist1, *pbxCD_Title, *pbxTitle_DSP, *pbxLine;
    forms::TPaintBox *pbxTitle2, *pbxArtist2, *pbxCD_Print, *pbxLabel_DSP, *pbxIndex;
    // The disc's outer, hub and hole circles: the label page draws them where they stand.
    forms::TPaintBox *Shape3, *Shape4, *Shape5;
    QLabel *lblCDLabel, *lblCdWidth;
    forms::TImage *imgTitle_PIC, *imgLabel_PIC;
    controls::TFlatComboBox *cmbTitle1, *cmbArtist1, *cmbTitle2, *cmbArtist2;
    QWidget *pnlEdit1, *pnlEdit2;
    controls::TRbButton *btnEditOK1, *btnEditCan1, *btnEditOK2, *btnEditCan2;
    QWidget* pnlPicList;
    controls::TImageListBox* imgList;
    forms::TImageList* ImageList1;
    controls::TxxGrip* xxGrip1;
    controls::TRbButton *spdPos, *spdOK, *spdCan;
    controls::TXiButton *btnPic_Dir, *btnPic_Lst;

    QMenu *PopupMenu0, *PopupMenu1, *PopupMenu2, *PopupMenu3;
    QAction *do_SizeFit, *do_OrgSize1, *do_IniSize, *do_Kill1, *do_Color1, *do_Kill0, *do_IniPos11;
    QAction *do_Title1, *do_Artist1, *do_Font1, *do_RowSize1, *do_Erase1, *do_IniPos12;
    QAction *do_IniImgPos, *do_OrgSize2, *do_CDSizeFit, *do_KIll2, *do_IniPos21, *do_WideArea1;
    QAction *do_Title2, *do_Artist2, *do_Font2, *do_Propriety, *do_Center, *do_RowSize2, *do_Erase2,
        *do_IniPos22, *do_WideArea2;

    // The four texts.
    std::string JacketTitle, JacketArtist, LabelTitle, LabelArtist;
    const cdlabel::TDesignLists& Lists() const { return lists_; }
    // The selected element's box, or the page panel; null before anything was pressed.
    QWidget* Selected() const { return selected_; }
    // The page shown: 1 jacket, 2 label.
    int ShownPage() const;
    bool WideArea() const;
    bool Editing() const { return editing_ != nullptr; }

    // The jacket track list's last layout and the label's (rows and columns, as drawn).
    const cdlabel::TTrackListResult& JacketTracks() const { return jacketTracks_; }
    const cdlabel::TTrackListResult& LabelTracks() const { return labelTracks_; }
    // The track list's settings for a page (1 jacket, 2 label), as the page draws it.
    cdlabel::TTrackListSpec TrackListSpec(int Page) const;

    // Loads File as the photo of page 1 or 2; false when it does not exist or cannot be read
    // (the photo stays as it was).
    bool LoadPhoto(int Page, const std::string& File);
    // Readies the popup menu's items for the selection (what the popup shows).
    void PopupMenuPopup(QMenu* Menu);
    // Rebuilds the lists from the playlist (the showing does it; refused while one runs).
    void BuildLists();
    // How many times the lists were built (the first build follows the showing).
    int BuildCount() const { return buildCount_; }

    // The handlers the buttons and menu items run.
    void do_SizeFitClick();
    void do_OrgSize1Click();
    void do_IniSizeClick();
    void do_IniPos11Click();
    void do_IniImgPosClick();
    void do_OrgSize2Click();
    void do_CDSizeFitClick();
    void do_IniPos21Click();
    void do_WideArea1Click(bool Checked);
    void do_ProprietyClick();
    void do_CenterClick();
    void do_RowSizeClick(int Page, bool Checked);
    void do_HideClick();
    void StartEdit(controls::TFlatComboBox* Editor);
    void EndEdit(bool Store);
    void btnPic_DirClick();
    void btnPic_LstClick();
    void TakeListPhoto();
    void pgeCDChange();

    // The font dialog for a text element, or in colour mode for the rule: opened with the
    // element's font, which takes the dialog's font when it closes.
    void OpenFontDialog(forms::TPaintBox* Box);

    // Printing. The print button applies the stored printer choice and prints the page shown.
    void spdOKClick();
    void PrintJacket();
    void PrintLabel();
    // True when a printer is installed; otherwise says so under Caption and gives false.
    bool CheckPrinterInstalled(const std::string& Caption);
    // Asks Text with the printer's settings, then the print dialog (one copy); 6 to print
    // (its printer and copies taken over), 7 not to.
    int ConfirmPrint(const std::string& Caption, const std::string& Text, bool IsLabel);
    // The question's text for page 1 (jacket) or 2 (label).
    std::string PrintQuestion(int Page) const;

    TMsgBoxFn MsgBox;  // how the window asks (tests put their answers in)
    // How the print dialog is run (tests answer it instead of a user): true when confirmed.
    std::function<bool(print::PrintDialogChoice&)> RunPrintDialog;
    // How the font dialog is run (tests answer it instead of a user).
    std::function<int(TfrmCD_Font&)> RunFontDialog;
    // The print position dialog for the page shown ("設定"), and how it is run.
    void spdPosClick();
    std::function<int(TfrmCD_Pos&)> RunPosDialog;

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool PreviewEvent(QObject* Watched, QEvent* Event) override;

private:
    void createPages();
    void createMenus();
    void createEditors();
    void FormCreate();
    void FormShow();
    // Whether the key was the window's (arrows, Escape, the editors' and the list's keys).
    bool FormKeyDown(int Key);

    // The text elements' boxes in the settings' order (TITLE1 .. TRACK2).
    std::array<forms::TPaintBox*, 6> textBoxes() const;
    void loadFonts();
    void saveFonts();
    void applyGeometry();
    void layoutText(forms::TPaintBox* Box, const std::string& Text, bool KeepRight);
    void layoutTexts();
    void layoutJacketTracks();
    void relayLabelTracks();
    // The label's first layout: columns counted, the first cut, the box sized and centred.
    void layoutLabelTracksFirst();
    void recommendedJacketLayout();
    void initialLabelLayout();
    void labelPhotoDefault();
    void fitPhotoBox(int Page);
    // The photo's fitted size in a square of the box's larger side.
    void fitPhotoToBoxSide(int Page);
    void keepOnPage(QWidget* Box);

    void paintPage(int Page);
    void paintFrame(forms::TPaintBox* Box);
    void elementMouseDown(forms::TPaintBox* Box, forms::TMouseButton Button, int X, int Y);
    void elementMouseMove(forms::TPaintBox* Box, forms::TShiftState Shift, int X, int Y);
    void elementDblClick(forms::TPaintBox* Box);
    void fontItemClick();
    void pageMouseDown(forms::TCustomControl* Page, forms::TMouseButton Button);
    void select(QWidget* Box);
    void gripReleased();
    void popupAt(QMenu* Menu);
    void setPhotoListOpen(bool Open);
    void setOthersEnabled(bool On);
    void redraw();

    int kind(const QWidget* Box) const;
    int pageOf(const QWidget* Box) const;
    forms::TPaintBox* photoBox(int Page) const;
    forms::TImage* photoImage(int Page) const;
    std::vector<std::string> trackTitles() const;
    // The printer check and the question for page 1 or 2; true to print.
    bool askToPrint(int Page);
    // One page of the printer with Square at the page's origin, unscaled.
    void printAtOrigin(int Page, const gfx::TGraphic& Square);
    // The label as printed: a Side x Side bitmap, whitened outside the disc.
    void drawLabel(gfx::TBitmap& Bitmap, int Side);
    // The jacket as printed, on a canvas Side device units wide.
    void drawJacket(gfx::TCanvas& Canvas, int Side);

    cdlabel::TDesignLists lists_;
    cdlabel::TTrackListResult jacketTracks_, labelTracks_;
    QWidget* selected_ = nullptr;
    controls::TFlatComboBox* editing_ = nullptr;
    QPoint dragFrom_;
    bool dragging_ = false;
    bool labelTracksFirst_ = true;   // the label's track list is laid out anew
    bool labelPhotoFirst_ = true;    // the next label photo sets the default size
    int labelCut_ = 0;               // rows of the label's first column (0: they flow)
    QSize labelPhotoDefault_{120, 120};
    bool building_ = false;
    bool printing_ = false;  // a page is being made (events run meanwhile)
    int buildCount_ = 0;
    bool closePending_ = false;
};
