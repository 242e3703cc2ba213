// The designer window: its controls and menus, its life cycle, the element fonts kept in the
// settings, and what it tells of its state. Its layout is xCDTitleLayout.cpp, what the user
// does on it xCDTitleInput.cpp, its printing xCDTitlePrint.cpp.
#include "labels/forms/xCDTitle.h"

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
#include "platform/forms/ImageList.h"
#include "util/MainWindowHost.h"
#include "util/libControl.h"
#include "util/libIni.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

using namespace cdlabel;
using namespace cdlabel::designer;

namespace {

constexpr int FormWidth = 784;
constexpr int FormHeight = 664;
constexpr int HandCursor = 1;

// The settings keys' element names and their default font sizes, in the boxes' order.
struct FontKey {
    const char* name;
    int size;
};
constexpr FontKey FontKeys[6] = {{"TITLE1", 20}, {"ARTIST1", 13}, {"TRACK1", 11},
                                 {"TITLE2", 20}, {"ARTIST2", 17}, {"TRACK2", 8}};

}  // namespace

TfrmCD_Label::TfrmCD_Label(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("frmCD_Label"));
    SetCaption("ＣＤジャケットとラベルの印刷");
    // The page keeps its 5 pixels to the millimetre: on a smaller screen the window scrolls.
    pnlClient = new QWidget;
    pnlClient->setObjectName(QStringLiteral("pnlClient"));
    pnlClient->setFixedSize(FormWidth, FormHeight);
    scrClient = new QScrollArea(this);
    scrClient->setObjectName(QStringLiteral("scrClient"));
    scrClient->setFrameShape(QFrame::NoFrame);
    scrClient->setFocusPolicy(Qt::NoFocus);
    scrClient->setWidget(pnlClient);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scrClient);
    resize(FormWidth, FormHeight);
    setMaximumSize(FormWidth, FormHeight);
    setAcceptDrops(true);
    MsgBox = [](QWidget* o, const std::string& c, const std::string& t, int d, const std::string& b,
                const std::string& i) { return MsgBoxEx(o, c, t, d, b, i); };
    RunFontDialog = [](TfrmCD_Font& Dialog) { return Dialog.ShowModal(); };
    RunPosDialog = [](TfrmCD_Pos& Dialog) { return Dialog.ShowModal(); };

    createPages();
    createEditors();
    createMenus();

    auto button = [this](const char* name, const char* caption, int y) {
        auto* b = new controls::TRbButton(pnlClient);
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
        auto* b = new controls::TXiButton(pnlClient);
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

    pnlPicList = new QWidget(pnlClient);
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
    pgeCD = new QTabWidget(pnlClient);
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
        // Laid out on the screen as it prints: no whole-pixel fitting of the glyphs.
        b->Font().SetDesignMetrics(true);
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
        f.SetDesignMetrics(true);
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
    // The elements are opaque to the window system and show the page under them as they
    // last painted it: a change of the page is theirs too.
    for (forms::TPaintBox* page : {pnlCD_Title, pnlCD_Print}) {
        page->update();
        for (QWidget* element : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            element->update();
    }
}
