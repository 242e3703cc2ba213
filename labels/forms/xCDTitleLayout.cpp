// The designer's layout: the disc's circles, the text elements sized to their texts, the
// track lists, the recommended and initial layouts, the photo boxes fitted to their pictures,
// the pages' painting, and the menu items that place, fit and hide what the pages show.
#include "labels/forms/xCDTitle.h"

#include "controls/grip/xxGrip.h"
#include "labels/forms/xCDTitleParts.h"
#include "labels/libText.h"
#include "pictures/libImg.h"
#include "platform/forms/Application.h"
#include "platform/forms/Image.h"
#include "util/libWindows.h"

#include <QAction>
#include <QLabel>

#include <algorithm>

using namespace cdlabel;
using namespace cdlabel::designer;

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
