#include "labels/forms/xCDTitle.h"

#include "controls/dialogs/OpenPictureDialog.h"
#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/grip/xxGrip.h"
#include "controls/imagelist/ImageListBox.h"
#include "controls/xi/XiButton.h"
#include "labels/forms/xCDFont.h"
#include "labels/forms/xCDPrnPos.h"
#include "labels/libText.h"
#include "pictures/libImg.h"
#include "platform/forms/Application.h"
#include "platform/forms/Image.h"
#include "platform/forms/ImageList.h"
#include "util/MainWindowHost.h"
#include "util/libControl.h"
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
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>

using namespace cdlabel;

namespace {

constexpr int FormWidth = 784;
constexpr int FormHeight = 664;
constexpr int HandCursor = 1;
constexpr const char* Section = "CD_LABEL";
constexpr gfx::TColor FrameColor = 0x808080;
constexpr gfx::TColor RingColor = 0xC8C8C8;
constexpr gfx::TColor EditFocusColor = 0x80FFFF;
constexpr int EditorWidth = 300, EditorHeight = 22;
constexpr QSize JacketPhotoDefault{180, 180};
constexpr int JacketPhotoMargin = 20;

// The settings keys' element names and their default font sizes, in the boxes' order.
struct FontKey {
    const char* name;
    int size;
};
constexpr FontKey FontKeys[6] = {{"TITLE1", 20}, {"ARTIST1", 13}, {"TRACK1", 11},
                                 {"TITLE2", 20}, {"ARTIST2", 17}, {"TRACK2", 8}};

QRect rectOf(const gfx::TRect& r) { return {r.Left, r.Top, r.Width(), r.Height()}; }
gfx::TRect trectOf(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

}  // namespace

TfrmCD_Label::TfrmCD_Label(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("frmCD_Label"));
    SetCaption("ＣＤジャケットとラベルの印刷");
    setFixedSize(FormWidth, FormHeight);
    setAcceptDrops(true);
    MsgBox = [](QWidget* o, const std::string& c, const std::string& t, int d, const std::string& b,
                const std::string& i) { return MsgBoxEx(o, c, t, d, b, i); };
    RunFontDialog = [](TfrmCD_Font& Dialog) { return Dialog.ShowModal(); };
    RunPosDialog = [](TfrmCD_Pos& Dialog) { return Dialog.ShowModal(); };

    createPages();
    createEditors();
    createMenus();

    auto button = [this](const char* name, const char* caption, int y) {
        auto* b = new controls::TRbButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetCaption(caption);
        b->setGeometry(632, y, 140, 30);
        SetControlCursor(b, crHandPoint);
        return b;
    };
    spdPos = button("spdPos", "設定", 32);
    spdOK = button("spdOK", "印　刷", 70);
    spdCan = button("spdCan", "閉じる", 108);
    RunPrintDialog = [this](print::PrintDialogChoice& Choice) { return print::ShowPrintDialog(this, Choice); };
    Handlers.Set(spdOK->OnClick, [this](QObject*) { forms::RunGuarded([this] { spdOKClick(); }); });
    Handlers.Set(spdPos->OnClick, [this](QObject*) { spdPosClick(); });
    Handlers.Set(spdCan->OnClick, [this](QObject*) { close(); });

    auto xiButton = [this](const char* name, const char* caption, const char* hint, int y) {
        auto* b = new controls::TXiButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetCaption(caption);
        b->SetHint(hint);
        b->setGeometry(632, y, 140, 28);
        SetControlCursor(b, crHandPoint);
        return b;
    };
    btnPic_Dir = xiButton("btnPic_Dir", "写真ファイル", "写真ファイルを開く", 160);
    btnPic_Lst = xiButton("btnPic_Lst", "写真リスト", "写真の一覧を表示する", 194);
    Handlers.Set(btnPic_Dir->OnClick, [this](QObject*) { btnPic_DirClick(); });
    Handlers.Set(btnPic_Lst->OnClick, [this](QObject*) { btnPic_LstClick(); });

    pnlPicList = new QWidget(this);
    pnlPicList->setObjectName(QStringLiteral("pnlPicList"));
    pnlPicList->setGeometry(632, 230, 140, 424);
    pnlPicList->hide();
    ImageList1 = new forms::TImageList(ThumbSide, ThumbSide, this);
    imgList = new controls::TImageListBox(pnlPicList);
    imgList->setObjectName(QStringLiteral("imgList"));
    imgList->setGeometry(0, 0, 140, 424);
    imgList->SetBorderStyle(controls::bsNone);
    imgList->SetExtendedSelect(false);
    imgList->SetMultiColumn(false);
    imgList->SetItemHeight(ThumbSide + 2);
    imgList->SetColumnWidth(ThumbSide + 2);
    imgList->SetImages(ImageList1);
    Handlers.Set(imgList->OnDblClick, [this](QObject*) { TakeListPhoto(); });

    xxGrip1 = new controls::TxxGrip(this);
    xxGrip1->SetGripSize(7);
    xxGrip1->SetColor(gfx::clRed);
    xxGrip1->SetGripMove(true);
    xxGrip1->OnMouseMove = [this](QObject*, int, int, int, int) { redraw(); };
    xxGrip1->OnMouseUp = [this](QObject*, int, int, int, int) { forms::RunGuarded([this] { gripReleased(); }); };

    Handlers.Connect(pgeCD, &QTabWidget::currentChanged, this, [this] { forms::RunGuarded([this] { pgeCDChange(); }); });
    OnCloseQuery = [this](QObject*, bool& canClose) {
        if (building_ || printing_) {  // the close follows when the lists or the page are done
            closePending_ = true;
            canClose = false;
            return;
        }
        saveFonts();
    };
    SetKeyPreview(true);
    DoCreate([this] { FormCreate(); });
}

TfrmCD_Label::~TfrmCD_Label()
{
    Handlers.Stop();
    xxGrip1->SetAttach(nullptr);
    if (!IniBase.empty())
        forms::RunGuarded([this] { IniWriteBool(IniBase, Section, "CD_WIDE", WideArea() ? -1 : 0); });
}

// ---------------------------------------------------------------- building the window

void TfrmCD_Label::createPages()
{
    pgeCD = new QTabWidget(this);
    pgeCD->setObjectName(QStringLiteral("pgeCD"));
    pgeCD->setGeometry(8, 8, 616, 648);
    auto page = [this](const char* sheet, const char* panel, const char* caption, int tag) {
        auto* tab = new QWidget;
        tab->setObjectName(QString::fromLatin1(sheet));
        tab->setProperty("Tag", tag);
        pgeCD->addTab(tab, QString::fromUtf8(caption));
        auto* p = new forms::TPaintBox(tab);
        p->setObjectName(QString::fromLatin1(panel));
        p->setGeometry(4, 4, PageSize, PageSize);
        p->SetParentColor(false);
        p->SetColor(gfx::clWhite);
        p->Tag = tag;
        return p;
    };
    auto* jacket = page("tabJacket", "pnlCD_Title", "CD Jacket", 1);
    auto* label = page("tabLabel", "pnlCD_Print", "CD Label", 2);
    pnlCD_Title = jacket;
    pnlCD_Print = label;
    Handlers.Set(jacket->OnPaint, [this](QObject*) { paintPage(1); });
    Handlers.Set(label->OnPaint, [this](QObject*) { paintPage(2); });
    for (auto* p : {jacket, label})
        Handlers.Set(p->OnMouseDown, [this, p](QObject*, forms::TMouseButton b, forms::TShiftState, int, int) {
            pageMouseDown(p, b);
        });

    auto shape = [label](const char* name) {
        auto* s = new forms::TPaintBox(label);
        s->setObjectName(QString::fromLatin1(name));
        s->hide();
        return s;
    };
    Shape3 = shape("Shape3");
    Shape4 = shape("Shape4");
    Shape5 = shape("Shape5");
    pbxIndex = shape("pbxIndex");
    pbxIndex->setGeometry(49, 404, 501, 136);
    auto caption = [label](const char* name, int y) {
        auto* l = new QLabel(label);
        l->setObjectName(QString::fromLatin1(name));
        l->move(6, y);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        l->setStyleSheet(QStringLiteral("color: #808080; background: transparent;"));
        return l;
    };
    lblCDLabel = caption("lblCDLabel", 4);
    lblCdWidth = caption("lblCdWidth", 22);

    auto element = [this](QWidget* parent, const char* name, int tag) {
        auto* b = new forms::TPaintBox(parent);
        b->setObjectName(QString::fromLatin1(name));
        b->Tag = tag;
        b->SetTransparentBackground(true);
        b->SetParentFont(false);
        Handlers.Set(b->OnPaint, [this, b](QObject*) { paintFrame(b); });
        Handlers.Set(b->OnMouseDown, [this, b](QObject*, forms::TMouseButton button, forms::TShiftState, int x, int y) {
            elementMouseDown(b, button, x, y);
        });
        Handlers.Set(b->OnMouseMove, [this, b](QObject*, forms::TShiftState shift, int x, int y) {
            elementMouseMove(b, shift, x, y);
        });
        Handlers.Set(b->OnMouseUp, [this, b](QObject*, forms::TMouseButton, forms::TShiftState, int, int) {
            if (std::exchange(dragging_, false) && b == pbxCD_Title)
                layoutJacketTracks();  // its rows depend on how far down the page it stands
        });
        Handlers.Set(b->OnDblClick, [this, b](QObject*) { elementDblClick(b); });
        return b;
    };
    // Lowest first: the photo under the texts.
    pbxTitle_DSP = element(jacket, "pbxTitle_DSP", ekPhoto);
    pbxLine = element(jacket, "pbxLine", ekRule);
    pbxTitle1 = element(jacket, "pbxTitle1", ekTitle);
    pbxArtist1 = element(jacket, "pbxArtist1", ekArtist);
    pbxCD_Title = element(jacket, "pbxCD_Title", ekTracks);
    pbxLabel_DSP = element(label, "pbxLabel_DSP", ekPhoto);
    pbxTitle2 = element(label, "pbxTitle2", ekTitle);
    pbxArtist2 = element(label, "pbxArtist2", ekArtist);
    pbxCD_Print = element(label, "pbxCD_Print", ekTracks);
    pbxTitle_DSP->setGeometry(PageSize - JacketPhotoMargin - JacketPhotoDefault.width(),
                              PageSize - JacketPhotoMargin - JacketPhotoDefault.height(),
                              JacketPhotoDefault.width(), JacketPhotoDefault.height());
    pbxLine->setGeometry(20, 100, 557, RuleHeight);
    pbxCD_Print->setGeometry(124, 404, 351, 136);
    pbxLabel_DSP->resize(labelPhotoDefault_);

    imgTitle_PIC = new forms::TImage(jacket);
    imgTitle_PIC->setObjectName(QStringLiteral("imgTitle_PIC"));
    imgTitle_PIC->hide();
    imgLabel_PIC = new forms::TImage(label);
    imgLabel_PIC->setObjectName(QStringLiteral("imgLabel_PIC"));
    imgLabel_PIC->hide();
}

void TfrmCD_Label::createEditors()
{
    auto editor = [](QWidget* page, const char* name) {
        auto* c = new controls::TFlatComboBox(page->parentWidget());
        c->setObjectName(QString::fromLatin1(name));
        c->SetStyle(controls::csDropDown);
        c->resize(EditorWidth, EditorHeight);
        c->hide();
        return c;
    };
    cmbTitle1 = editor(pnlCD_Title, "cmbTitle1");
    cmbArtist1 = editor(pnlCD_Title, "cmbArtist1");
    cmbTitle2 = editor(pnlCD_Print, "cmbTitle2");
    cmbArtist2 = editor(pnlCD_Print, "cmbArtist2");
    auto panel = [this](QWidget* page, const char* name, controls::TRbButton*& ok, controls::TRbButton*& can) {
        auto* p = new QWidget(page->parentWidget());
        p->setObjectName(QString::fromLatin1(name));
        p->resize(136, 26);
        p->hide();
        ok = new controls::TRbButton(p);
        ok->SetCaption("OK");
        ok->setGeometry(0, 0, 66, 26);
        can = new controls::TRbButton(p);
        can->SetCaption("ｷｬﾝｾﾙ");
        can->setGeometry(70, 0, 66, 26);
        for (auto* b : {ok, can})
            SetControlCursor(b, crHandPoint);
        Handlers.Set(ok->OnClick, [this](QObject*) { EndEdit(true); });
        Handlers.Set(can->OnClick, [this](QObject*) { EndEdit(false); });
        return p;
    };
    pnlEdit1 = panel(pnlCD_Title, "pnlEdit1", btnEditOK1, btnEditCan1);
    pnlEdit2 = panel(pnlCD_Print, "pnlEdit2", btnEditOK2, btnEditCan2);
}

void TfrmCD_Label::createMenus()
{
    auto menu = [this](const char* name) {
        auto* m = new QMenu(this);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto item = [this](QMenu* m, const char* name, const char* caption, bool checkable, auto handler) {
        QAction* a = m->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(checkable);
        Handlers.Connect(a, &QAction::triggered, this, [handler](bool checked) {
            forms::RunGuarded([&] { handler(checked); });
        });
        return a;
    };
    PopupMenu0 = menu("PopupMenu0");
    do_SizeFit = item(PopupMenu0, "do_SizeFit", "全面に表示", false, [this](bool) { do_SizeFitClick(); });
    do_OrgSize1 = item(PopupMenu0, "do_OrgSize1", "原寸大表示", false, [this](bool) { do_OrgSize1Click(); });
    do_IniSize = item(PopupMenu0, "do_IniSize", "規定表示に戻す", false, [this](bool) { do_IniSizeClick(); });
    do_Kill1 = item(PopupMenu0, "do_Kill1", "表示しない", true, [this](bool) { do_HideClick(); });
    PopupMenu0->addSeparator();
    do_Color1 = item(PopupMenu0, "do_Color1", "カラーの設定", false, [this](bool) { OpenFontDialog(pbxLine); });
    do_Kill0 = item(PopupMenu0, "do_Kill0", "ラインを表示しない", true, [this](bool) { do_HideClick(); });
    PopupMenu0->addSeparator();
    do_IniPos11 = item(PopupMenu0, "do_IniPos11", "推奨の位置に設定", false, [this](bool) { do_IniPos11Click(); });

    PopupMenu1 = menu("PopupMenu1");
    do_Title1 = item(PopupMenu1, "do_Title1", "タイトルの変更", false, [this](bool) { StartEdit(cmbTitle1); });
    do_Artist1 = item(PopupMenu1, "do_Artist1", "アーティストの変更", false, [this](bool) { StartEdit(cmbArtist1); });
    do_Font1 = item(PopupMenu1, "do_Font1", "フォントの設定", false, [this](bool) { fontItemClick(); });
    do_RowSize1 = item(PopupMenu1, "do_RowSize1", "行間をつめる", true, [this](bool c) { do_RowSizeClick(1, c); });
    do_Erase1 = item(PopupMenu1, "do_Erase1", "表示しない", true, [this](bool) { do_HideClick(); });
    PopupMenu1->addSeparator();
    do_IniPos12 = item(PopupMenu1, "do_IniPos12", "推奨の位置に設定", false, [this](bool) { do_IniPos11Click(); });

    PopupMenu2 = menu("PopupMenu2");
    do_IniImgPos = item(PopupMenu2, "do_IniImgPos", "規定値に戻す", false, [this](bool) { do_IniImgPosClick(); });
    do_OrgSize2 = item(PopupMenu2, "do_OrgSize2", "原寸大で表示", false, [this](bool) { do_OrgSize2Click(); });
    do_CDSizeFit = item(PopupMenu2, "do_CDSizeFit", "ＣＤに全面表示", false, [this](bool) { do_CDSizeFitClick(); });
    do_KIll2 = item(PopupMenu2, "do_KIll2", "表示しない", true, [this](bool) { do_HideClick(); });
    PopupMenu2->addSeparator();
    do_IniPos21 = item(PopupMenu2, "do_IniPos21", "最初の状態に戻す", false, [this](bool) { do_IniPos21Click(); });
    do_WideArea1 = item(PopupMenu2, "do_WideArea1", "ワイドエリアラベル印刷", true, [this](bool c) { do_WideArea1Click(c); });

    PopupMenu3 = menu("PopupMenu3");
    do_Title2 = item(PopupMenu3, "do_Title2", "タイトルの変更", false, [this](bool) { StartEdit(cmbTitle2); });
    do_Artist2 = item(PopupMenu3, "do_Artist2", "アーティストの変更", false, [this](bool) { StartEdit(cmbArtist2); });
    do_Font2 = item(PopupMenu3, "do_Font2", "フォントの設定", false, [this](bool) { fontItemClick(); });
    do_Propriety = item(PopupMenu3, "do_Propriety", "適正に配置", false, [this](bool) { do_ProprietyClick(); });
    do_Center = item(PopupMenu3, "do_Center", "中央に配置", false, [this](bool) { do_CenterClick(); });
    do_RowSize2 = item(PopupMenu3, "do_RowSize2", "行間をつめる", true, [this](bool c) { do_RowSizeClick(2, c); });
    do_Erase2 = item(PopupMenu3, "do_Erase2", "表示しない", true, [this](bool) { do_HideClick(); });
    PopupMenu3->addSeparator();
    do_IniPos22 = item(PopupMenu3, "do_IniPos22", "最初の状態に戻す", false, [this](bool) { do_IniPos21Click(); });
    do_WideArea2 = item(PopupMenu3, "do_WideArea2", "ワイドエリアラベル印刷", true, [this](bool c) { do_WideArea1Click(c); });
}

// ---------------------------------------------------------------- life cycle

void TfrmCD_Label::FormCreate()
{
    CentreOverMainWindow(this);
    AssignImeNames(this);
    SetChildShowHint(this, true);
    ReplaceCursor(this, crHandPoint, HandCursor);
    const bool wide = !IniBase.empty() && IniReadBool(IniBase, Section, "CD_WIDE", false);
    do_WideArea1->setChecked(wide);
    do_WideArea2->setChecked(wide);
    spdPos->Tag = 0;
}

void TfrmCD_Label::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    if (e->spontaneous())
        return;
    forms::RunGuarded([this] { FormShow(); });
}

void TfrmCD_Label::FormShow()
{
    labelTracksFirst_ = true;
    labelPhotoFirst_ = true;
    select(nullptr);
    loadFonts();
    applyGeometry();
    layoutTexts();
    // Once visible: the lists (which let events run) and the layouts made from them.
    QTimer::singleShot(0, this, [this] { forms::RunGuarded([this] { BuildLists(); }); });
}

void TfrmCD_Label::BuildLists()
{
    if (building_)
        return;
    building_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Done {
        TfrmCD_Label* w;
        ~Done()
        {
            QApplication::restoreOverrideCursor();
            w->building_ = false;
            ++w->buildCount_;
            if (std::exchange(w->closePending_, false))
                QTimer::singleShot(0, w, [w = w] { w->close(); });
        }
    } done{this};

    ImageList1->Clear();
    const std::vector<TPlaylistRow> rows = MainWindowHost() ? MainWindowHost()->PlaylistRows() : std::vector<TPlaylistRow>{};
    BuildDesignLists(rows, Mp3Path, lists_, *ImageList1);

    for (auto* c : {cmbTitle1, cmbTitle2})
        c->SetItems(lists_.Albums);
    for (auto* c : {cmbArtist1, cmbArtist2})
        c->SetItems(lists_.Artists);
    if (!lists_.Albums.empty())
        JacketTitle = LabelTitle = lists_.Albums.front();
    if (!lists_.Artists.empty())
        JacketArtist = LabelArtist = lists_.Artists.front();
    if (!lists_.PhotoFiles.empty()) {
        LoadPhoto(1, lists_.PhotoFiles.front());
        LoadPhoto(2, lists_.PhotoFiles.front());
    }
    layoutTexts();
    recommendedJacketLayout();
    initialLabelLayout();
    redraw();
}

// ---------------------------------------------------------------- settings

std::array<forms::TPaintBox*, 6> TfrmCD_Label::textBoxes() const
{
    return {pbxTitle1, pbxArtist1, pbxCD_Title, pbxTitle2, pbxArtist2, pbxCD_Print};
}

void TfrmCD_Label::loadFonts()
{
    if (IniBase.empty())
        return;
    const std::array<forms::TPaintBox*, 6> boxes = textBoxes();
    for (int i = 0; i < 6; ++i) {
        const std::string key = FontKeys[i].name;
        gfx::TFont f;
        f.SetName(IniReadString(IniBase, Section, "FN_" + key, gfx::DefaultFontName));
        f.SetColor(gfx::TColor(IniReadInteger(IniBase, Section, "FC_" + key, 0)));
        f.SetStyle(FontStyleFromText(IniReadString(IniBase, Section, "FX_" + key, "0000")));
        f.SetSize(IniReadInteger(IniBase, Section, "FS_" + key, FontKeys[i].size));
        boxes[i]->SetFont(f);
    }
    pbxLine->Font().SetColor(gfx::TColor(IniReadInteger(IniBase, Section, "FC_LINE01", 0)));
}

void TfrmCD_Label::saveFonts()
{
    if (IniBase.empty())
        return;
    const std::array<forms::TPaintBox*, 6> boxes = textBoxes();
    std::vector<std::pair<std::string, std::string>> values;
    for (int i = 0; i < 6; ++i) {
        const std::string key = FontKeys[i].name;
        const gfx::TFont& f = boxes[i]->Font();
        values.emplace_back("FN_" + key, f.Name());
        values.emplace_back("FC_" + key, std::to_string(int32_t(f.Color())));
        values.emplace_back("FX_" + key, FontStyleText(f.Style()));
        values.emplace_back("FS_" + key, std::to_string(f.Size()));
    }
    values.emplace_back("FC_LINE01", std::to_string(int32_t(pbxLine->Font().Color())));
    IniWriteStrings(IniBase, Section, values);
}

// ---------------------------------------------------------------- state

int TfrmCD_Label::ShownPage() const { return pgeCD->currentIndex() == 1 ? 2 : 1; }

bool TfrmCD_Label::WideArea() const { return do_WideArea1->isChecked(); }

int TfrmCD_Label::kind(const QWidget* Box) const
{
    if (auto* b = dynamic_cast<const forms::TPaintBox*>(Box); b && Box != pnlCD_Title && Box != pnlCD_Print)
        return int(b->Tag);
    return 0;
}

int TfrmCD_Label::pageOf(const QWidget* Box) const
{
    return Box && (Box == pnlCD_Print || Box->parentWidget() == pnlCD_Print) ? 2 : 1;
}

forms::TPaintBox* TfrmCD_Label::photoBox(int Page) const { return Page == 2 ? pbxLabel_DSP : pbxTitle_DSP; }

forms::TImage* TfrmCD_Label::photoImage(int Page) const { return Page == 2 ? imgLabel_PIC : imgTitle_PIC; }

std::vector<std::string> TfrmCD_Label::trackTitles() const
{
    std::vector<std::string> titles;
    if (TMainWindowHost* host = MainWindowHost())
        for (const TPlaylistRow& row : host->PlaylistRows())
            titles.push_back(row.Title);
    return titles;
}

TTrackListSpec TfrmCD_Label::TrackListSpec(int Page) const
{
    forms::TPaintBox* box = Page == 2 ? pbxCD_Print : pbxCD_Title;
    TTrackListSpec spec;
    spec.Label = Page == 2;
    spec.CloseSpacing = (Page == 2 ? do_RowSize2 : do_RowSize1)->isChecked();
    spec.Font.Assign(box->Font());
    spec.Top = box->y();
    spec.PageHeight = PageSize;
    spec.Width = box->width();
    spec.Height = box->height();
    spec.FirstColumnRows = Page == 2 ? labelCut_ : 0;
    return spec;
}

void TfrmCD_Label::redraw()
{
    pnlCD_Title->update();
    pnlCD_Print->update();
}

// ---------------------------------------------------------------- geometry and layouts

void TfrmCD_Label::applyGeometry()
{
    const TDiscKind& k = DiscKind(WideArea());
    const int side = pnlCD_Print->height();
    const std::pair<forms::TPaintBox*, int> circles[3] = {{Shape3, k.Outer}, {Shape4, k.Inner}, {Shape5, k.Hole}};
    for (const auto& [shape, mm] : circles) {
        const int d = DiscDiameter(side, mm);
        const int at = (side - d) / 2;
        shape->setGeometry(at, at, d, d);
    }
    lblCDLabel->setText(QString::fromUtf8(k.Caption));
    lblCDLabel->adjustSize();
    lblCdWidth->setText(QString::fromStdString(DiscWidthCaption(WideArea())));
    lblCdWidth->adjustSize();
    redraw();
}

void TfrmCD_Label::layoutText(forms::TPaintBox* Box, const std::string& Text, bool KeepRight)
{
    gfx::TCanvas c;
    c.Font().Assign(Box->Font());
    const int w = ExactTextWidth(c, Text), h = c.TextHeight(Text);
    const int left = KeepRight ? Box->x() + Box->width() - w : Box->x();
    Box->setGeometry(left, Box->y(), w, h);
}

void TfrmCD_Label::layoutTexts()
{
    layoutText(pbxTitle1, JacketTitle, false);
    layoutText(pbxArtist1, JacketArtist, true);
    layoutText(pbxTitle2, LabelTitle, false);
    layoutText(pbxArtist2, LabelArtist, false);
    layoutJacketTracks();
    if (xxGrip1->GripView())
        xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::layoutJacketTracks()
{
    gfx::TCanvas c;
    jacketTracks_ = LayTrackList(c, false, 0, 0, trackTitles(), TrackListSpec(1), 1.0);
    pbxCD_Title->resize(jacketTracks_.Width, jacketTracks_.Height);
    if (xxGrip1->Attach() == pbxCD_Title && xxGrip1->GripView())
        xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::layoutLabelTracksFirst()
{
    gfx::TCanvas c;
    const std::vector<std::string> titles = trackTitles();
    labelCut_ = 0;
    labelCut_ = FirstColumnCut(LayTrackList(c, false, 0, 0, titles, TrackListSpec(2), 1.0).ColumnRows);
    labelTracks_ = LayTrackList(c, false, 0, 0, titles, TrackListSpec(2), 1.0);
    const QRect index = pbxIndex->geometry();
    pbxCD_Print->setGeometry((PageSize - labelTracks_.Width) / 2,
                             index.y() + (index.height() - labelTracks_.Height) / 2, labelTracks_.Width,
                             labelTracks_.Height);
    labelTracksFirst_ = false;
    redraw();
}

void TfrmCD_Label::recommendedJacketLayout()
{
    do_RowSize1->setChecked(false);
    pbxTitle1->move(24, 44);
    const int ruleTop = pbxTitle1->y() + pbxTitle1->height() + 6;
    pbxLine->setGeometry(20, ruleTop, 557, RuleHeight);
    pbxArtist1->move(574 - pbxArtist1->width(), ruleTop + 7);
    pbxCD_Title->move(30, ruleTop + 40);
    layoutJacketTracks();
    pbxTitle_DSP->move(PageSize - JacketPhotoMargin - pbxTitle_DSP->width(),
                       PageSize - JacketPhotoMargin - pbxTitle_DSP->height());
    xxGrip1->SetGripView(false);
    redraw();
}

void TfrmCD_Label::initialLabelLayout()
{
    do_RowSize2->setChecked(false);
    pbxTitle2->move((PageSize - pbxTitle2->width()) / 2, 69);
    pbxArtist2->move((PageSize - pbxArtist2->width()) / 2, 118);
    const QRect index = pbxIndex->geometry();
    pbxCD_Print->setGeometry(index.x() + (index.width() - 351) / 2, index.y() + (index.height() - 136) / 2, 351, 136);
    labelTracksFirst_ = true;
    layoutLabelTracksFirst();
    labelPhotoDefault();
    if (kind(xxGrip1->Attach()) && pageOf(xxGrip1->Attach()) == 2)
        xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::labelPhotoDefault()
{
    QSize size = labelPhotoDefault_;
    if (imgLabel_PIC->Tag == 1) {
        const TFitRect fit = CalcFitRect(imgLabel_PIC->Picture().Width(), imgLabel_PIC->Picture().Height(),
                                         labelPhotoDefault_.width(), labelPhotoDefault_.height());
        size = {fit.Width, fit.Height};
    }
    pbxLabel_DSP->setGeometry((199 - size.width()) / 2, (PageSize - size.height()) / 2, size.width(), size.height());
    redraw();
}

// The photo's fitted size in the box's own size; the jacket's keeps its bottom-right corner.
void TfrmCD_Label::fitPhotoBox(int Page)
{
    forms::TImage* img = photoImage(Page);
    forms::TPaintBox* box = photoBox(Page);
    if (img->Tag != 1)
        return;
    const TFitRect fit = CalcFitRect(img->Picture().Width(), img->Picture().Height(), box->width(), box->height());
    if (Page == 1)
        box->setGeometry(box->x() + box->width() - fit.Width, box->y() + box->height() - fit.Height, fit.Width, fit.Height);
    else
        box->resize(fit.Width, fit.Height);
}

void TfrmCD_Label::fitPhotoToBoxSide(int Page)
{
    forms::TPaintBox* box = photoBox(Page);
    const int side = std::max(box->width(), box->height());
    const QRect before = box->geometry();
    box->resize(side, side);
    if (Page == 1)
        box->move(before.right() + 1 - side, before.bottom() + 1 - side);
    fitPhotoBox(Page);
}

void TfrmCD_Label::keepOnPage(QWidget* Box)
{
    const int left = std::clamp(Box->x(), 0, std::max(0, PageSize - Box->width()));
    const int top = std::clamp(Box->y(), 0, std::max(0, PageSize - Box->height()));
    Box->move(left, top);
}

bool TfrmCD_Label::LoadPhoto(int Page, const std::string& File)
{
    if (!IsRegularFile(File))
        return false;
    // A file that cannot be decoded loads as an empty picture: the photo stays as it was.
    forms::TImage scratch;
    if (!LoadPictureFile(scratch, File, true) || scratch.Picture().Width() <= 0 || scratch.Picture().Height() <= 0)
        return false;
    forms::TImage* img = photoImage(Page);
    img->Picture().Assign(scratch.Picture());
    img->Tag = 1;
    forms::TPaintBox* box = photoBox(Page);
    if (Page == 2 && labelPhotoFirst_) {
        labelPhotoFirst_ = false;
        fitPhotoBox(2);
        const int strip = (Shape3->width() - Shape4->width()) / 2;
        box->move(Shape3->x() + (strip - box->width()) / 2, (PageSize - box->height()) / 2);
        labelPhotoDefault_ = box->size();
    } else {
        fitPhotoToBoxSide(Page);
    }
    if (xxGrip1->Attach() == box && xxGrip1->GripView())
        xxGrip1->SetGripDraw(true);
    redraw();
    return true;
}

// ---------------------------------------------------------------- painting

void TfrmCD_Label::paintPage(int Page)
{
    forms::TPaintBox* page = Page == 2 ? pnlCD_Print : pnlCD_Title;
    gfx::TCanvas& c = page->Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(gfx::clWhite);
    c.FillRect({0, 0, page->width(), page->height()});

    forms::TImage* img = photoImage(Page);
    const bool photoHidden = (Page == 2 ? do_KIll2 : do_Kill1)->isChecked();
    if (img->Tag == 1 && !photoHidden && img->Picture().Graphic())
        c.StretchDraw(trectOf(photoBox(Page)->geometry()), *img->Picture().Graphic());

    if (Page == 2) {
        c.Pen().SetStyle(gfx::psSolid);
        c.Pen().SetColor(RingColor);
        c.Brush().SetStyle(gfx::bsClear);
        for (auto* s : {Shape3, Shape4, Shape5})
            c.Ellipse(trectOf(s->geometry()));
    }
    auto text = [&c](forms::TPaintBox* box, const std::string& s) {
        if (s.empty())
            return;
        c.Font().Assign(box->Font());
        c.Brush().SetStyle(gfx::bsClear);
        c.TextOut(box->x(), box->y(), s);
    };
    text(Page == 2 ? pbxTitle2 : pbxTitle1, Page == 2 ? LabelTitle : JacketTitle);
    if (Page == 1 && !do_Kill0->isChecked()) {
        c.Pen().SetStyle(gfx::psSolid);
        c.Pen().SetColor(pbxLine->Font().Color());
        c.MoveTo(pbxLine->x(), pbxLine->y() + 5);
        c.LineTo(pbxLine->x() + pbxLine->width(), pbxLine->y() + 5);
    }
    text(Page == 2 ? pbxArtist2 : pbxArtist1, Page == 2 ? LabelArtist : JacketArtist);
    forms::TPaintBox* tracks = Page == 2 ? pbxCD_Print : pbxCD_Title;
    if (!(Page == 2 ? do_Erase2 : do_Erase1)->isChecked()) {
        const TTrackListResult r = LayTrackList(c, true, tracks->x(), tracks->y(), trackTitles(), TrackListSpec(Page), 1.0);
        (Page == 2 ? labelTracks_ : jacketTracks_).Rows = r.Rows;
        if (Page == 2)
            labelTracks_.ColumnRows = r.ColumnRows;
    }
}

void TfrmCD_Label::paintFrame(forms::TPaintBox* Box)
{
    DrawDottedFrame(Box->Canvas(), Box->width(), Box->height(), FrameColor);
}

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

// ---------------------------------------------------------------- menu items

void TfrmCD_Label::do_SizeFitClick()
{
    const gfx::TPicture& p = imgTitle_PIC->Picture();
    pbxTitle_DSP->setGeometry(rectOf(CoverPage(p.Width(), p.Height(), PageSize)));
    xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::do_CDSizeFitClick()
{
    const gfx::TPicture& p = imgLabel_PIC->Picture();
    pbxLabel_DSP->setGeometry(rectOf(CoverPage(p.Width(), p.Height(), PageSize)));
    xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::do_OrgSize1Click()
{
    const gfx::TPicture& p = imgTitle_PIC->Picture();
    pbxTitle_DSP->resize(imgTitle_PIC->Tag == 1 ? QSize(p.Width(), p.Height()) : JacketPhotoDefault);
    keepOnPage(pbxTitle_DSP);
    xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::do_OrgSize2Click()
{
    const gfx::TPicture& p = imgLabel_PIC->Picture();
    pbxLabel_DSP->resize(imgLabel_PIC->Tag == 1 ? QSize(p.Width(), p.Height()) : QSize(120, 120));
    keepOnPage(pbxLabel_DSP);
    xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::do_IniSizeClick()
{
    pbxTitle_DSP->resize(JacketPhotoDefault);
    fitPhotoBox(1);
    pbxTitle_DSP->move(PageSize - JacketPhotoMargin - pbxTitle_DSP->width(),
                       PageSize - JacketPhotoMargin - pbxTitle_DSP->height());
    xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::do_IniPos11Click() { recommendedJacketLayout(); }

void TfrmCD_Label::do_IniImgPosClick()
{
    labelPhotoDefault();
    xxGrip1->SetGripDraw(true);
}

void TfrmCD_Label::do_IniPos21Click() { initialLabelLayout(); }

void TfrmCD_Label::do_WideArea1Click(bool Checked)
{
    do_WideArea1->setChecked(Checked);
    do_WideArea2->setChecked(Checked);
    applyGeometry();
}

void TfrmCD_Label::do_ProprietyClick()
{
    const QRect index = pbxIndex->geometry();
    pbxCD_Print->move(index.x() + (index.width() - pbxCD_Print->width()) / 2,
                      index.y() + (index.height() - pbxCD_Print->height()) / 2);
    xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::do_CenterClick()
{
    if (!kind(selected_))
        return;
    selected_->move((PageSize - selected_->width()) / 2, selected_->y());
    xxGrip1->SetGripDraw(true);
    redraw();
}

void TfrmCD_Label::do_RowSizeClick(int Page, bool Checked)
{
    (Page == 2 ? do_RowSize2 : do_RowSize1)->setChecked(Checked);
    if (Page == 1) {
        layoutJacketTracks();
        return;
    }
    relayLabelTracks();
    redraw();
}

// The label's track list in its present box, the columns flowing.
void TfrmCD_Label::relayLabelTracks()
{
    gfx::TCanvas c;
    labelTracks_ = LayTrackList(c, false, 0, 0, trackTitles(), TrackListSpec(2), 1.0);
}

// Hidden elements keep their boxes, so that the same item shows them again.
void TfrmCD_Label::do_HideClick() { redraw(); }

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
    for (QWidget* w : std::initializer_list<QWidget*>{pgeCD->tabBar(), pnlCD_Title, pnlCD_Print, spdCan, btnPic_Dir, btnPic_Lst})
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
