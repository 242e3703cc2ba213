#include "labels/forms/xCDFont.h"

#include "controls/flat/TFlatSpeedButtonUnit.h"
#include "controls/flat/TFlatSpinEditUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/pickers/scFontCombobox.h"
#include "controls/pickers/selstyle.h"
#include "controls/xx/xxSpeedButton.h"
#include "labels/libText.h"
#include "platform/forms/Application.h"
#include "platform/forms/Control.h"
#include "platform/gfx/Raster.h"
#include "util/MainWindowHost.h"
#include "util/libControl.h"
#include "util/libIni.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QLabel>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int HandCursor = 1;
constexpr int CustomColors = 16;
const char* const FontSection = "CD_FONT";
const char* const ColorSection = "CD_COLOR";

std::string colorKey(int i) { return "Color" + std::to_string(i); }

// A stored custom colour: hexadecimal 0xBBGGRR. The default "FFFFFFFF" is no colour value at
// all and, like any text that is none, reads as white.
gfx::TColor readCustomColor(const std::string& text)
{
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0' || v > 0xFFFFFF)
        return gfx::clWhite;
    return gfx::TColor(v);
}

std::string customColorText(gfx::TColor c)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", unsigned(c) & 0xFFFFFFu);
    return buf;
}

}  // namespace

gfx::TColor ColorFromQColor(const QColor& c) { return gfx::raster::fromQRgb(c.rgb()); }

QColor QColorFromColor(gfx::TColor c) { return QColor::fromRgb(gfx::raster::toQRgb(c)); }

TfrmCD_Font::TfrmCD_Font(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("frmCD_Font"));
    SetCaption("フォントの設定");
    setFixedSize(356, 272);

    auto label = [this](const char* name, const char* text, int x, int y) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setObjectName(QString::fromLatin1(name));
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    lblName = label("lblName", "フォント名", 12, 10);
    lblSize = label("lblSize", "サイズ", 264, 10);
    lblStyle = label("lblStyle", "スタイル", 12, 60);
    lblColor = label("lblColor", "文字の色", 160, 60);
    lblSample = label("lblSample", "", 12, 0);
    lblSample->hide();  // carries the sample text only

    cmbFontName = new controls::TscFontComboBox(this);
    cmbFontName->setObjectName(QStringLiteral("cmbFontName"));
    cmbFontName->setGeometry(12, 28, 240, 22);
    cmbFontName->SetMaxUsed(15);
    cmbFontName->SetFontUsed(true);  // without it the used block never grows
    cmbFontName->SetColorUsed(gfx::clBlue);
    cmbFontName->SetShowPreviewInList(false);
    // The name is final only once the list has closed; typing changes it with the list shut.
    auto nameChange = [this](QObject*) {
        if (filling_ || cmbFontName->FontName().empty())
            return;
        preview_.SetName(cmbFontName->FontName());
        pbxPreview->update();
    };
    Handlers.Set(cmbFontName->OnChange, nameChange);
    Handlers.Set(cmbFontName->OnCloseUp, nameChange);

    spnSize = new controls::TFlatSpinEditFloat(this);
    spnSize->setObjectName(QStringLiteral("spnSize"));
    spnSize->setGeometry(264, 28, 80, 22);
    spnSize->SetMinValue(4);
    spnSize->SetMaxValue(100);
    spnSize->SetIncrement(1);
    Handlers.Set(spnSize->OnChange, [this](QObject*) {
        if (filling_)
            return;
        preview_.SetSize(int(std::trunc(spnSize->Value())));
        pbxPreview->update();
    });

    auto style = [this](const char* name, const char* caption, int x, gfx::TFontStyle s, int group) {
        auto* b = new controls::TxxSpeedButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetCaption(caption);
        b->setGeometry(x, 78, 28, 24);
        b->Font().SetStyle(s);
        b->SetGroupIndex(group);
        b->SetAllowAllUp(true);
        SetControlCursor(b, crHandPoint);
        Handlers.Set(b->OnClick, [this](QObject*) { styleClick(); });
        return b;
    };
    spdBold = style("spdBold", "B", 12, gfx::fsBold, 1);
    spdItalic = style("spdItalic", "I", 44, gfx::fsItalic, 2);
    spdUnderline = style("spdUnderline", "U", 76, gfx::fsUnderline, 3);
    spdStrikeOut = style("spdStrikeOut", "S", 108, gfx::fsStrikeOut, 4);

    cmbFontColor = new controls::TPvlColorCombo(this);
    cmbFontColor->setObjectName(QStringLiteral("cmbFontColor"));
    cmbFontColor->setGeometry(160, 78, 140, 22);
    Handlers.Set(cmbFontColor->OnChange, [this](QObject*) {
        if (!filling_)
            SetPreviewColor(cmbFontColor->ColorValue());
    });

    spdColor = new controls::TFlatSpeedButton(this);
    spdColor->setObjectName(QStringLiteral("spdColor"));
    spdColor->setGeometry(306, 77, 38, 24);
    spdColor->SetHint("色の作成");
    SetControlCursor(spdColor, crHandPoint);
    Handlers.Set(spdColor->OnClick, [this](QObject*) { spdColorClick(); });

    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);

    pbxPreview = new forms::TPaintBox(this);
    pbxPreview->setObjectName(QStringLiteral("pbxPreview"));
    pbxPreview->setGeometry(12, 114, 332, 104);
    Handlers.Set(pbxPreview->OnPaint, [this](QObject*) { paintPreview(); });

    auto button = [this](const char* name, const char* caption, int x) {
        auto* b = new controls::TRbButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetCaption(caption);
        b->setGeometry(x, 232, 88, 28);
        SetControlCursor(b, crHandPoint);
        return b;
    };
    spdOK = button("spdOK", "ok", 160);
    spdCan = button("spdCan", "cancel", 256);
    Handlers.Set(spdOK->OnClick, [this](QObject*) {
        Font().Assign(preview_);
        SetModalResult(forms::mrOk);
        close();
    });
    Handlers.Set(spdCan->OnClick, [this](QObject*) {
        SetModalResult(forms::mrCancel);
        close();
    });

    // The window's Font is the element's being edited, not the look of the dialog's own controls.
    for (QWidget* w : findChildren<QWidget*>())
        if (auto* c = dynamic_cast<forms::TCustomControl*>(w); c && c != pbxPreview)
            c->SetParentFont(false);

    DoCreate([this] { FormCreate(); });
}

TfrmCD_Font::~TfrmCD_Font()
{
    Handlers.Stop();
    if (IniBase.empty())
        return;
    std::vector<std::pair<std::string, std::string>> values;
    for (int i = 0; i < CustomColors; ++i)
        values.emplace_back(colorKey(i), customColorText(ColorFromQColor(QColorDialog::customColor(i))));
    IniWriteStrings(IniBase, ColorSection, values);
}

void TfrmCD_Font::FormCreate()
{
    // Without the vertical "@" families, and only the kinds a label can print.
    cmbFontName->SetFontTypes(controls::ftTrueTypeAnsi | controls::ftTrueTypeSymbol | controls::ffShiftJis);
    cmbFontName->LoadFonts(false);
    for (int i = 0; i < CustomColors; ++i) {
        const std::string text = IniBase.empty() ? "" : IniReadString(IniBase, ColorSection, colorKey(i), "FFFFFFFF");
        QColorDialog::setCustomColor(i, QColorFromColor(readCustomColor(text)));
    }
    AssignImeNames(this);
    SetChildShowHint(this, true);
    ReplaceCursor(this, crHandPoint, HandCursor);
}

void TfrmCD_Font::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    if (e->spontaneous())
        return;
    CentreOverMainWindow(this);
    forms::RunGuarded([this] { FormShow(); });
}

void TfrmCD_Font::FormShow()
{
    filling_ = true;
    if (!IniBase.empty()) {
        std::vector<std::string> used;
        IniReadSectionList(IniBase, FontSection, used, false);
        rtl::TStringList list;
        for (const std::string& u : used)
            list.Add(u);
        cmbFontName->SetUsedFonts(list);
    }
    preview_.Assign(Font());
    preview_.SetDesignMetrics(true);  // centred as the designer measures the element
    const gfx::TFontStyles s = preview_.Style();
    spdBold->SetDown(s & gfx::fsBold);
    spdItalic->SetDown(s & gfx::fsItalic);
    spdUnderline->SetDown(s & gfx::fsUnderline);
    spdStrikeOut->SetDown(s & gfx::fsStrikeOut);
    spnSize->SetValue(preview_.Size());
    cmbFontColor->SetColorValue(preview_.Color());
    spdColor->SetColor(preview_.Color());
    cmbFontName->SetFontName(preview_.Name());  // a selection, not a use
    filling_ = false;

    const bool colorMode = Tag == 1;
    for (QWidget* w : std::initializer_list<QWidget*>{cmbFontName, spnSize, spdBold, spdItalic, spdUnderline,
                                                      spdStrikeOut, lblName, lblSize, lblStyle})
        w->setEnabled(!colorMode);
    if (colorMode) {
        SetCaption("ラインカラーの設定");
        lblColor->setText(QStringLiteral("ラインの色"));
        lblColor->adjustSize();
    }
    pbxPreview->update();
}

void TfrmCD_Font::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        SetModalResult(forms::mrCancel);
        close();
        return;
    }
    TForm::keyPressEvent(e);
}

// A modal run ends by hiding the dialog (a close that follows finds it hidden already): every
// way out of it passes here.
void TfrmCD_Font::hideEvent(QHideEvent* e)
{
    TForm::hideEvent(e);
    if (e->spontaneous() || Tag != 0 || IniBase.empty())
        return;
    rtl::TStringList used;
    cmbFontName->GetUsedFonts(used);
    std::vector<std::string> list;
    for (int i = 0; i < used.Count(); ++i)
        list.push_back(used[i]);
    WriteListSection(FontSection, list);
}

void TfrmCD_Font::SetPreviewColor(gfx::TColor Color)
{
    preview_.SetColor(Color);
    spdColor->SetColor(Color);
    if (cmbFontColor->ColorValue() != Color) {
        filling_ = true;
        cmbFontColor->SetColorValue(Color);
        filling_ = false;
    }
    pbxPreview->update();
}

void TfrmCD_Font::spdColorClick()
{
    ColorDialog1->setCurrentColor(QColorFromColor(preview_.Color()));
    if (ColorDialog1->exec() == QDialog::Accepted)
        SetPreviewColor(ColorFromQColor(ColorDialog1->selectedColor()));
}

void TfrmCD_Font::styleClick()
{
    gfx::TFontStyles s = 0;
    if (spdBold->Down())
        s |= gfx::fsBold;
    if (spdItalic->Down())
        s |= gfx::fsItalic;
    if (spdUnderline->Down())
        s |= gfx::fsUnderline;
    if (spdStrikeOut->Down())
        s |= gfx::fsStrikeOut;
    preview_.SetStyle(s);
    pbxPreview->update();
}

void TfrmCD_Font::paintPreview()
{
    gfx::TCanvas& c = pbxPreview->Canvas();
    const int w = pbxPreview->width(), h = pbxPreview->height();
    c.Brush().SetColor(gfx::clWhite);
    c.Brush().SetStyle(gfx::bsSolid);
    c.FillRect(gfx::TRect{0, 0, w, h});
    if (Tag == 1) {
        c.Pen().SetColor(preview_.Color());
        c.Pen().SetWidth(1);
        c.Pen().SetStyle(gfx::psSolid);
        c.MoveTo(4, h / 2);
        c.LineTo(w - 4, h / 2);
        return;
    }
    const std::string text = lblSample->text().toStdString();
    c.Font().Assign(preview_);
    const int x = (w - ExactTextWidth(c, text)) / 2;
    const int y = (h - c.TextHeight(text)) / 2 - 2;
    TextOutRotated(c, 0, x, y, text, gfx::clWhite);
}
