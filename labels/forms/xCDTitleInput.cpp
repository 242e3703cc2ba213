// What the user does on the designer: pressing, dragging and double-clicking its elements,
// the popup menus, the font and position dialogs, editing the title and artist in place, the
// photo file dialog, list and drops, and the keys.
#include "labels/forms/xCDTitle.h"

#include "controls/dialogs/OpenPictureDialog.h"
#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/grip/xxGrip.h"
#include "controls/imagelist/ImageListBox.h"
#include "controls/xi/XiButton.h"
#include "labels/forms/xCDFont.h"
#include "labels/forms/xCDPrnPos.h"
#include "labels/forms/xCDTitleParts.h"
#include "platform/forms/Application.h"
#include "platform/forms/Image.h"
#include "util/libIni.h"
#include "util/libText.h"
#include "util/libWindows.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>

#include <algorithm>

using namespace cdlabel;
using namespace cdlabel::designer;

// ---------------------------------------------------------------- mouse

void TfrmCD_Label::select(QWidget* Box)
{
    selected_ = Box;
    const int k = kind(Box);
    if (!k) {
        xxGrip1->SetGripView(false);
        return;
    }
    // Titles and artists move only; the rest the grip resizes.
    xxGrip1->SetAttach(Box);
    xxGrip1->SetGripMove(k == ekTracks || k == ekPhoto || k == ekRule);
    xxGrip1->SetGripView(true);
}

void TfrmCD_Label::elementMouseDown(forms::TPaintBox* Box, forms::TMouseButton Button, int X, int Y)
{
    select(Box);
    if (Button == forms::mbLeft) {
        dragFrom_ = {X, Y};
        dragging_ = true;
    } else if (Button == forms::mbRight) {
        const int k = kind(Box);
        const bool text = k == ekTitle || k == ekArtist || k == ekTracks;
        popupAt(pageOf(Box) == 2 ? (text ? PopupMenu3 : PopupMenu2) : (text ? PopupMenu1 : PopupMenu0));
    }
}

void TfrmCD_Label::elementMouseMove(forms::TPaintBox* Box, forms::TShiftState Shift, int X, int Y)
{
    if (!dragging_ || (Shift & forms::ssLeft) == 0)
        return;
    const QPoint by = QPoint(X, Y) - dragFrom_;
    if (by.isNull())
        return;
    Box->move(Box->pos() + by);
    if (xxGrip1->Attach() == Box)
        xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::elementDblClick(forms::TPaintBox* Box)
{
    if (editing_)
        return;
    const int k = kind(Box);
    if (k == ekPhoto)
        btnPic_DirClick();
    else if (k == ekTitle || k == ekArtist || k == ekTracks)
        OpenFontDialog(Box);
}

void TfrmCD_Label::fontItemClick()
{
    const int k = kind(selected_);
    if (k == ekTitle || k == ekArtist || k == ekTracks)
        OpenFontDialog(static_cast<forms::TPaintBox*>(selected_));
}

void TfrmCD_Label::OpenFontDialog(forms::TPaintBox* Box)
{
    const int k = kind(Box);
    const int page = pageOf(Box);
    std::string sample;
    if (k == ekTitle)
        sample = page == 1 ? JacketTitle : LabelTitle;
    else if (k == ekArtist)
        sample = page == 1 ? JacketArtist : LabelArtist;
    else if (k == ekTracks) {
        const std::vector<std::string> titles = trackTitles();
        if (!titles.empty())
            sample = titles.front();
    }
    TfrmCD_Font dialog(this);
    dialog.Font().Assign(Box->Font());
    dialog.lblSample->setText(QString::fromStdString(sample));
    dialog.Tag = k == ekRule ? 1 : 0;
    RunFontDialog(dialog);
    Box->Font().Assign(dialog.Font());
    if (k == ekTitle || k == ekArtist)
        layoutTexts();
    else if (Box == pbxCD_Title)
        layoutJacketTracks();
    else if (Box == pbxCD_Print)
        relayLabelTracks();
    redraw();
}

void TfrmCD_Label::spdPosClick()
{
    // Without a printer the dialog has nothing to set, and its 決 定 would store an empty
    // choice over the saved one: say so as printing does.
    if (!CheckPrinterInstalled("印刷設定"))
        return;
    TfrmCD_Pos dialog(this);
    dialog.Tag = spdPos->Tag;
    dialog.WideArea = WideArea();
    RunPosDialog(dialog);
}

void TfrmCD_Label::pageMouseDown(forms::TCustomControl* Page, forms::TMouseButton Button)
{
    select(Page);
    if (Button == forms::mbRight)
        popupAt(Page == pnlCD_Print ? PopupMenu2 : PopupMenu0);
}

void TfrmCD_Label::gripReleased()
{
    QWidget* box = xxGrip1->Attach();
    const int k = kind(box);
    if (k == ekTracks || k == ekPhoto)
        box->resize(std::max(box->width(), MinBoxSide), std::max(box->height(), MinBoxSide));
    if (k == ekPhoto)
        fitPhotoBox(pageOf(box));
    if (k == ekRule)
        box->resize(box->width(), RuleHeight);
    if (box == pbxCD_Print) {  // the user's size: the columns flow in it
        labelCut_ = 0;
        relayLabelTracks();
    }
    xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::popupAt(QMenu* Menu)
{
    PopupMenuPopup(Menu);
    for (QAction* a : Menu->actions())
        if (a->isVisible() && !a->isSeparator()) {
            Menu->popup(QCursor::pos());
            return;
        }
}

void TfrmCD_Label::PopupMenuPopup(QMenu*)
{
    const bool open = editing_ || pnlPicList->isVisible();
    const int k = kind(selected_);
    const int page = pageOf(selected_);
    const bool photo = k == ekPhoto && photoImage(page)->Tag == 1;
    auto show = [open](std::initializer_list<QAction*> items, bool on) {
        for (QAction* a : items)
            a->setVisible(!open && on);
    };
    show({do_SizeFit, do_OrgSize1, do_IniSize, do_Kill1}, photo && page == 1);
    show({do_IniImgPos, do_OrgSize2, do_CDSizeFit, do_KIll2}, photo && page == 2);
    show({do_Color1, do_Kill0}, k == ekRule);
    show({do_Title1, do_Title2}, k == ekTitle);
    show({do_Artist1, do_Artist2}, k == ekArtist);
    show({do_RowSize1, do_Erase1, do_RowSize2, do_Erase2, do_Propriety}, k == ekTracks);
    show({do_Center}, k == ekTitle || k == ekArtist || k == ekTracks);
    show({do_Font1, do_Font2, do_IniPos11, do_IniPos12, do_IniPos21, do_IniPos22, do_WideArea1, do_WideArea2}, true);
    for (QMenu* m : {PopupMenu0, PopupMenu1, PopupMenu2, PopupMenu3})
        for (QAction* a : m->actions())
            if (a->isSeparator())
                a->setVisible(!open);
}

// ---------------------------------------------------------------- title and artist editing

void TfrmCD_Label::StartEdit(controls::TFlatComboBox* Editor)
{
    if (editing_)
        return;
    setPhotoListOpen(false);
    const bool label = Editor == cmbTitle2 || Editor == cmbArtist2;
    forms::TPaintBox* box = Editor == cmbTitle1   ? pbxTitle1
                            : Editor == cmbArtist1 ? pbxArtist1
                            : Editor == cmbTitle2  ? pbxTitle2
                                                   : pbxArtist2;
    const std::string& text = Editor == cmbTitle1   ? JacketTitle
                              : Editor == cmbArtist1 ? JacketArtist
                              : Editor == cmbTitle2  ? LabelTitle
                                                     : LabelArtist;
    // Page coordinates are the editor's too: the page lies at the sheet's corner.
    const QPoint origin = box->parentWidget()->pos();
    int left = box->x();
    if (Editor == cmbArtist1)
        left = box->x() + box->width() - EditorWidth;
    else if (label)
        left = std::max(2, box->x() + (box->width() - EditorWidth) / 2);
    const int top = box->y() + box->height() + 4;
    Editor->setGeometry(origin.x() + left, origin.y() + top, EditorWidth, EditorHeight);
    Editor->setEditText(QString::fromStdString(text));
    QWidget* panel = label ? pnlEdit2 : pnlEdit1;
    panel->move(Editor->x() + EditorWidth - panel->width(), Editor->y() + EditorHeight + 2);
    editing_ = Editor;
    setOthersEnabled(false);
    Editor->show();
    Editor->raise();
    panel->show();
    panel->raise();
    Editor->SetColor(EditFocusColor);
    Editor->setFocus();
}

void TfrmCD_Label::EndEdit(bool Store)
{
    controls::TFlatComboBox* editor = std::exchange(editing_, nullptr);
    if (!editor)
        return;
    if (Store) {
        const std::string text = TrimBlanksUtf8(editor->currentText().toStdString());
        (editor == cmbTitle1    ? JacketTitle
         : editor == cmbArtist1 ? JacketArtist
         : editor == cmbTitle2  ? LabelTitle
                                : LabelArtist) = text;
    }
    editor->hide();
    (editor == cmbTitle2 || editor == cmbArtist2 ? pnlEdit2 : pnlEdit1)->hide();
    setOthersEnabled(true);
    if (Store)
        layoutTexts();
}

void TfrmCD_Label::setOthersEnabled(bool On)
{
    for (QWidget* w : std::initializer_list<QWidget*>{pgeCD->tabBar(), pnlCD_Title, pnlCD_Print, spdPos, spdOK, spdCan,
                                                      btnPic_Dir, btnPic_Lst})
        w->setEnabled(On);
}

// ---------------------------------------------------------------- photos

void TfrmCD_Label::btnPic_DirClick()
{
    const std::string dir = IniBase.empty() ? GetSpecialFolder(7)
                                            : IniReadString(IniBase, Section, "PHOTO_CD_PATH", GetSpecialFolder(7));
    const std::string file = ExecuteOpenPictureDialog(this, dir);
    if (file.empty())
        return;
    if (!IniBase.empty())
        IniWriteString(IniBase, Section, "PHOTO_CD_PATH", QFileInfo(QString::fromStdString(file)).absolutePath().toStdString());
    LoadPhoto(ShownPage(), file);
}

void TfrmCD_Label::btnPic_LstClick() { setPhotoListOpen(!pnlPicList->isVisible()); }

void TfrmCD_Label::setPhotoListOpen(bool Open)
{
    pnlPicList->setVisible(Open);
    if (Open)
        imgList->setFocus();
}

void TfrmCD_Label::TakeListPhoto()
{
    const int index = imgList->ItemIndex();
    if (index < 0 || index >= int(lists_.PhotoFiles.size())) {
        MsgBox(this, "写真選択", "　　写真を選択して下さい！！", 1, "Y", "?");
        return;
    }
    LoadPhoto(ShownPage(), lists_.PhotoFiles[size_t(index)]);
}

void TfrmCD_Label::pgeCDChange()
{
    setPhotoListOpen(false);
    EndEdit(false);
    spdPos->Tag = ShownPage() == 2 ? 1 : 0;
}

void TfrmCD_Label::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls() && !e->mimeData()->urls().isEmpty() && e->mimeData()->urls().first().isLocalFile())
        e->acceptProposedAction();
}

void TfrmCD_Label::dropEvent(QDropEvent* e)
{
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    e->acceptProposedAction();
    const std::string file = urls.first().toLocalFile().toStdString();
    forms::RunGuarded([&] { LoadPhoto(ShownPage(), file); });
}

// ---------------------------------------------------------------- keys

bool TfrmCD_Label::FormKeyDown(int Key)
{
    if (editing_) {
        if (Key == forms::VK_RETURN || Key == forms::VK_ESCAPE) {
            EndEdit(Key == forms::VK_RETURN);
            return true;
        }
        return false;
    }
    if (pnlPicList->isVisible() && imgList->hasFocus()) {
        if (Key == forms::VK_RETURN)
            TakeListPhoto();
        else if (Key == forms::VK_ESCAPE)
            setPhotoListOpen(false);
        else
            return false;
        return true;
    }
    if (Key == forms::VK_ESCAPE) {
        close();
        return true;
    }
    if (!kind(selected_) || Key < forms::VK_LEFT || Key > forms::VK_DOWN)
        return false;
    const QPoint by = Key == forms::VK_LEFT ? QPoint(-1, 0)
                      : Key == forms::VK_UP ? QPoint(0, -1)
                      : Key == forms::VK_RIGHT ? QPoint(1, 0)
                                               : QPoint(0, 1);
    selected_->move(selected_->pos() + by);
    if (selected_ == pbxCD_Title)
        layoutJacketTracks();
    xxGrip1->SetGripDraw(true);
    redraw();
    return true;
}

bool TfrmCD_Label::PreviewEvent(QObject* Watched, QEvent* Event)
{
    if (editing_ && (Watched == editing_ || Watched == editing_->lineEdit())) {
        if (Event->type() == QEvent::FocusIn)
            editing_->SetColor(EditFocusColor);
        else if (Event->type() == QEvent::FocusOut)
            editing_->SetColor(gfx::clWhite);
    }
    // A key that a control passes on to its parent comes by again: only its first stop counts.
    if (Event->type() != QEvent::KeyPress || Watched != QApplication::focusWidget())
        return false;
    const int key = forms::VirtualKey(static_cast<QKeyEvent*>(Event)->key());
    bool taken = false;
    forms::RunGuarded([&] { taken = FormKeyDown(key); });
    return taken;
}

void TfrmCD_Label::keyPressEvent(QKeyEvent* e)
{
    bool taken = false;
    forms::RunGuarded([&] { taken = FormKeyDown(forms::VirtualKey(e->key())); });
    if (!taken)
        TForm::keyPressEvent(e);
}
