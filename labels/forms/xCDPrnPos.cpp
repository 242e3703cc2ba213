#include "labels/forms/xCDPrnPos.h"

#include "controls/flat/TFlatCheckBoxUnit.h"
#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/flat/TFlatSpinEditUnit.h"
#include "controls/gradient/RbButton.h"
#include "labels/forms/CDLayout.h"
#include "labels/forms/CDPrintSettings.h"
#include "labels/libPrinter.h"
#include "platform/forms/Application.h"
#include "platform/forms/Control.h"
#include "platform/rtl/FloatFormat.h"
#include "platform/rtl/StringList.h"
#include "util/MainWindowHost.h"
#include "util/libControl.h"
#include "util/libIni.h"
#include "util/libText.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>

#include <algorithm>
#include <cmath>

using namespace cdlabel;

namespace {

constexpr int HandCursor = 1;
constexpr int SquarePixels = 180;     // the 120 mm square at 1.5 pixels to the millimetre
constexpr double SquareMm = 120;
constexpr double CapX = 150, CapY = 235;
constexpr int SmallPaper = 1200;      // tenths of a millimetre: the square's side
constexpr gfx::TColor DiscColor = 0xE6FFFF, HubColor = 0xF9F4F4;
constexpr gfx::TColor SquareFill = 0xE8E8E8, JacketFill = 0xFFF4EC, RingPen = 0xB0B0B0;
const char* const DialogCaption = "印刷設定";
const char* const PreviewFont = "ＭＳ Ｐゴシック";

const char* presetSection(bool Label) { return Label ? "CD_LABEL_POS" : "CD_JACKET_POS"; }

// Millimetres as the settings and the labels write them: "5.5", "91".
std::string mm(double V) { return rtl::FloatToStr(V); }

// trunc(tenths x 0.15) without the binary error of 0.15.
int sheetPixels(int Tenths) { return Tenths * 15 / 100; }

bool isWhole(double V) { return std::fabs(V - std::round(V)) < 1e-6; }

}  // namespace

bool ParsePrintPreset(const std::string& Line, TPrintPreset& Preset)
{
    const size_t by = Line.find(" x ");
    if (by == std::string::npos)
        return false;
    const size_t comma = Line.find(',', by + 3);
    if (comma == std::string::npos)
        return false;
    TPrintPreset p;
    if (!rtl::TryStrToFloat(Line.substr(0, by), p.X) || !rtl::TryStrToFloat(Line.substr(by + 3, comma - by - 3), p.Y))
        return false;
    if (!std::isfinite(p.X) || !std::isfinite(p.Y))
        return false;
    p.Position = Line.substr(0, comma);
    p.Printer = Line.substr(comma + 1);
    Preset = p;
    return true;
}

const std::vector<std::string>& BuiltInLabelPresets()
{
    static const std::vector<std::string> presets = {
        "5.5 x 86,CANON PIXUSiP3100", "5.5 x 86,CANON MP770", "5.5 x 91,CANON PIXUS850i", "15 x 7.5,EPSON PM-G800"};
    return presets;
}

double ArrowStep(double Value, bool Up)
{
    if (isWhole(Value))
        return std::round(Value) + (Up ? 0.5 : -0.5);
    return Up ? std::ceil(Value) : std::floor(Value);
}

// ---------------------------------------------------------------- the preset list

TCD_PosCombo::TCD_PosCombo(QWidget* parent) : TComboBox97(parent)
{
    Font().SetName(PreviewFont);
    Font().SetSize(9);
    Font().SetColor(gfx::clBlack);
}

// Black ink, but the highlight's own text colour on the selected row: black on the
// highlight cannot be read.
void TCD_PosCombo::DrawItem(int Index, const gfx::TRect& Rect, controls::TOwnerDrawState State)
{
    gfx::TCanvas& c = Canvas();
    c.FillRect(Rect);
    if (Index < 0 || Index >= Items().Count())
        return;
    c.Font().SetName(PreviewFont);
    c.Font().SetSize(9);
    c.Font().SetColor((State & controls::odSelected) ? gfx::clHighlightText : gfx::clBlack);
    c.Brush().SetStyle(gfx::bsClear);
    const std::string& line = Items()[Index];
    const size_t comma = line.find(',');
    c.TextOut(Rect.Left + 2, Rect.Top, line.substr(0, comma));
    if (comma != std::string::npos)
        c.TextOut(Rect.Left + 50, Rect.Top, ":  " + line.substr(comma + 1));
}

// ---------------------------------------------------------------- building the window

TfrmCD_Pos::TfrmCD_Pos(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("frmCD_Pos"));
    SetCaption(DialogCaption);
    setFixedSize(616, 470);
    MsgBox = [](QWidget* o, const std::string& c, const std::string& t, int d, const std::string& b,
                const std::string& i) { return MsgBoxEx(o, c, t, d, b, i); };

    // Holds the keyboard for the preview; the sheet covers it.
    lstFocus = new QListWidget(this);
    lstFocus->setObjectName(QStringLiteral("lstFocus"));
    lstFocus->setGeometry(14, 14, 1, 1);

    pnlA4 = new forms::TPaintBox(this);
    pnlA4->setObjectName(QStringLiteral("pnlA4"));
    pnlA4->setGeometry(12, 12, 315, 445);
    Handlers.Set(pnlA4->OnPaint, [this](QObject*) {
        gfx::TCanvas& c = pnlA4->Canvas();
        c.Brush().SetStyle(gfx::bsSolid);
        c.Brush().SetColor(gfx::clWhite);
        c.Pen().SetStyle(gfx::psSolid);
        c.Pen().SetColor(gfx::clGray);
        c.Rectangle(0, 0, pnlA4->width(), pnlA4->height());
    });
    Handlers.Set(pnlA4->OnMouseDown, [this](QObject*, forms::TMouseButton, forms::TShiftState, int, int) {
        lstFocus->setFocus();
    });

    pbxArea = new forms::TPaintBox(pnlA4);
    pbxArea->setObjectName(QStringLiteral("pbxArea"));
    Handlers.Set(pbxArea->OnPaint, [this](QObject*) { paintArea(); });
    Handlers.Set(pbxArea->OnMouseDown, [this](QObject*, forms::TMouseButton, forms::TShiftState, int, int) {
        lstFocus->setFocus();
    });

    pbxCD = new forms::TPaintBox(pnlA4);
    pbxCD->setObjectName(QStringLiteral("pbxCD"));
    pbxCD->setGeometry(0, 0, SquarePixels, SquarePixels);
    SetControlCursor(pbxCD, crHandPoint);
    Handlers.Set(pbxCD->OnPaint, [this](QObject*) { paintSquare(); });
    Handlers.Set(pbxCD->OnMouseDown, [this](QObject*, forms::TMouseButton b, forms::TShiftState, int x, int y) {
        squareMouseDown(b, x, y);
    });
    Handlers.Set(pbxCD->OnMouseMove, [this](QObject*, forms::TShiftState, int x, int y) { squareMouseMove(x, y); });
    Handlers.Set(pbxCD->OnMouseUp, [this](QObject*, forms::TMouseButton, forms::TShiftState, int, int) {
        squareMouseUp();
    });

    constexpr int Right = 344, Wide = 260;
    auto label = [this](const char* name, const char* text, int x, int y) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        if (name)
            l->setObjectName(QString::fromLatin1(name));
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    auto check = [this](const char* name, const char* caption, int y) {
        auto* b = new controls::TFlatCheckBox(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetCaption(caption);
        b->setGeometry(Right, y, 200, 18);
        SetControlCursor(b, crHandPoint);
        Handlers.Set(b->OnClick, [this, b](QObject*) { chkDesignClick(b); });
        return b;
    };
    chkJacket = check("chkJacket", " CDジャケットの設定", 12);
    chkLabel = check("chkLabel", " CDラベルの設定", 34);

    auto combo = [this](const char* name, int x, int y, int w) {
        auto* c = new controls::TFlatComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        c->SetStyle(controls::csDropDownList);
        c->setGeometry(x, y, w, 22);
        return c;
    };
    label(nullptr, "プリンター", Right, 62);
    cmbPrinter = combo("cmbPrinter", Right, 80, Wide);
    label(nullptr, "給紙方法", Right, 108);
    cmbBins = combo("cmbBins", Right, 126, Wide);
    label(nullptr, "用紙サイズ", Right, 154);
    cmbPaper = combo("cmbPaper", Right, 172, 170);
    label(nullptr, "印刷の向き", Right + 180, 154);
    cmbWay = combo("cmbWay", Right + 180, 172, 80);
    cmbWay->SetItems({"縦", "横"});
    auto onChange = [this](controls::TFlatComboBox* c, void (TfrmCD_Pos::*handler)()) {
        Handlers.Set(c->OnChange, [this, handler](QObject*) {
            if (!filling_)
                (this->*handler)();
        });
    };
    onChange(cmbPrinter, &TfrmCD_Pos::cmbPrinterChange);
    onChange(cmbBins, &TfrmCD_Pos::cmbBinsChange);
    onChange(cmbPaper, &TfrmCD_Pos::cmbPaperChange);
    onChange(cmbWay, &TfrmCD_Pos::cmbWayChange);

    auto button = [this](const char* name, const char* caption, int x, int y, int w) {
        auto* b = new controls::TRbButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetCaption(caption);
        b->setGeometry(x, y, w, 28);
        SetControlCursor(b, crHandPoint);
        return b;
    };
    btnPrinter = button("btnPrinter", "プロパティ設定", Right, 206, 120);
    Handlers.Set(btnPrinter->OnClick, [this](QObject*) { btnPrinterClick(); });
    lblPaper = label("lblPaper", "", Right + 130, 212);

    label(nullptr, "印刷位置 (用紙の左上から)", Right, 248);
    auto spin = [this](const char* name, int y, double max) {
        auto* s = new controls::TFlatSpinEditFloat(this);
        s->setObjectName(QString::fromLatin1(name));
        s->setGeometry(Right + 44, y, 80, 22);
        s->SetDigits(2);
        s->SetIncrement(0.5);
        s->SetMaxValue(max);
        Handlers.Set(s->OnChange, [this](QObject*) { spinChange(); });
        return s;
    };
    label(nullptr, "横 X", Right, 272);
    spnX = spin("spnX", 268, 135);
    lblSpanX = label("lblSpanX", "", Right + 132, 272);
    label(nullptr, "縦 Y", Right, 302);
    spnY = spin("spnY", 298, 265);
    lblSpanY = label("lblSpanY", "", Right + 132, 302);

    label(nullptr, "登録した位置 (Delete キーで削除)", Right, 336);
    cmbPos = new TCD_PosCombo(this);
    cmbPos->setObjectName(QStringLiteral("cmbPos"));
    cmbPos->setGeometry(Right, 354, Wide, 22);
    cmbPos->SetStyle(controls::csOwnerDrawFixed);
    Handlers.Set(cmbPos->OnChange, [this](QObject*) { cmbPosChange(); });

    spdOK = button("spdOK", "決 定", Right + 44, 426, 104);
    spdCan = button("spdCan", "ｷｬﾝｾﾙ", Right + 156, 426, 104);
    Handlers.Set(spdOK->OnClick, [this](QObject*) { spdOKClick(); });
    Handlers.Set(spdCan->OnClick, [this](QObject*) { spdCanClick(); });

    SetKeyPreview(true);
    DoCreate([this] { FormCreate(); });
}

TfrmCD_Pos::~TfrmCD_Pos() { Handlers.Stop(); }

void TfrmCD_Pos::FormCreate()
{
    AssignImeNames(this);
    SetChildShowHint(this, true);
    ReplaceCursor(this, crHandPoint, HandCursor);
}

void TfrmCD_Pos::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    if (e->spontaneous())
        return;
    CentreOver(this, parentWidget());
    forms::RunGuarded([this] { FormShow(); });
}

void TfrmCD_Pos::FormShow()
{
    const bool labelDesign = Tag == 1;
    Tag = 0;  // until confirmed
    filling_ = true;
    print::Printer().Refresh();  // printers come and go while the program runs
    ApplyPrinterChoice(true);
    fillPrinters();
    fillBins();
    fillPapers();
    fillWay();
    chkLabel->SetChecked(labelDesign);
    chkJacket->SetChecked(!labelDesign);
    filling_ = false;
    loadDesign();
    lstFocus->setFocus();
}

bool TfrmCD_Pos::label() const { return chkLabel->Checked(); }

// ---------------------------------------------------------------- the printer's lists

// A list of the printer's, with its current entry chosen (-1: none); not the user's change.
void TfrmCD_Pos::fillList(controls::TFlatComboBox* Combo, void (*Names)(rtl::TStringList&), int (*Index)())
{
    const bool was = filling_;
    filling_ = true;
    rtl::TStringList names;
    Names(names);
    std::vector<std::string> items;
    for (int i = 0; i < names.Count(); ++i)
        items.push_back(names[i]);
    Combo->SetItems(items);
    const int index = Index();
    Combo->SetItemIndex(items.empty() ? -1 : index);
    filling_ = was;
}

void TfrmCD_Pos::fillPrinters()
{
    fillList(cmbPrinter, [](rtl::TStringList& l) { GetPrinterNames(l); }, GetPrinterIndex);
}

void TfrmCD_Pos::fillBins() { fillList(cmbBins, GetBinNames, GetBinIndex); }

// A paper the printer does not list is made A4.
void TfrmCD_Pos::fillPapers()
{
    fillList(cmbPaper, GetPaperNames, [] {
        if (GetPaperIndex() < 0)
            SetPaperByName("A4");
        return GetPaperIndex();
    });
}

void TfrmCD_Pos::fillWay()
{
    const bool was = filling_;
    filling_ = true;
    cmbWay->SetItemIndex(IsLandscape() ? 1 : 0);
    filling_ = was;
}

void TfrmCD_Pos::refillFromPrinter()
{
    fillBins();
    fillPapers();
    fillWay();
}

void TfrmCD_Pos::cmbPrinterChange()
{
    if (cmbPrinter->ItemIndex() < 0)
        return;
    SetPrinterIndex(cmbPrinter->ItemIndex());
    refillFromPrinter();
    computeArea();
}

void TfrmCD_Pos::btnPrinterClick()
{
    if (!ShowPrinterProperties())
        return;
    refillFromPrinter();
    computeArea();
}

void TfrmCD_Pos::cmbBinsChange()
{
    SetBinIndex(cmbBins->ItemIndex());
    fillPapers();
    fillWay();
    computeArea();
}

void TfrmCD_Pos::cmbPaperChange()
{
    SetPaperIndex(cmbPaper->ItemIndex());
    computeArea();
}

// The printer turns at once, so the area and the caps are those of the paper as it will print.
void TfrmCD_Pos::cmbWayChange()
{
    SetLandscape(cmbWay->ItemIndex() == 1);
    computeArea();
}

// ---------------------------------------------------------------- designs and presets

void TfrmCD_Pos::chkDesignClick(controls::TFlatCheckBox* Sender)
{
    if (filling_)
        return;
    filling_ = true;
    (Sender == chkJacket ? chkLabel : chkJacket)->SetChecked(!Sender->Checked());
    filling_ = false;
    loadDesign();
}

void TfrmCD_Pos::loadDesign()
{
    const bool lbl = label();
    std::vector<std::string> presets;
    if (!IniBase.empty())
        IniReadSectionList(IniBase, presetSection(lbl), presets, false);
    if (lbl)
        for (const std::string& p : BuiltInLabelPresets())
            if (std::find(presets.begin(), presets.end(), p) == presets.end())
                presets.push_back(p);
    cmbPos->Items().Clear();
    for (const std::string& p : presets)
        cmbPos->Items().Add(p);
    cmbPos->SetItemIndex(-1);
    lastPreset_ = -1;

    const TOriginMm origin = ReadPrintOriginMm(lbl);
    updateArea();
    setOrigin(origin.X, origin.Y);
    afterArea();
}

std::vector<std::string> TfrmCD_Pos::Presets() const
{
    std::vector<std::string> lines;
    for (int i = 0; i < cmbPos->Items().Count(); ++i)
        lines.push_back(cmbPos->Items()[i]);
    return lines;
}

void TfrmCD_Pos::cmbPosChange()
{
    const int index = cmbPos->ItemIndex();
    if (index < 0)
        return;
    TPrintPreset preset;
    if (!ParsePrintPreset(cmbPos->Items()[index], preset)) {
        cmbPos->SetItemIndex(lastPreset_);
        return;
    }
    rtl::TStringList names;
    GetPrinterNames(names);
    const int printer = names.IndexOf(preset.Printer);
    if (printer < 0 && MsgBox(this, DialogCaption,
                              "指定のプリンターが存在しません！！\r\r　　設定してもよろしいですか？", 2, "YN",
                              "?") != forms::mrYes) {
        cmbPos->SetItemIndex(lastPreset_);
        return;
    }
    // The printer first: its area bounds the position.
    if (printer >= 0)
        SetPrinterIndex(printer);
    fillPrinters();
    refillFromPrinter();
    updateArea();
    setOrigin(preset.X, preset.Y);
    afterArea();
}

void TfrmCD_Pos::cmbPosDelete()
{
    const int index = cmbPos->ItemIndex();
    if (index < 0)
        return;
    cmbPos->Items().Delete(index);
    cmbPos->SetItemIndex(-1);
    lastPreset_ = -1;
}

void TfrmCD_Pos::selectMatchingPreset()
{
    const std::string line = mm(spnX->Value()) + " x " + mm(spnY->Value()) + "," + GetPrinterName();
    lastPreset_ = cmbPos->Items().IndexOf(line);
    cmbPos->SetItemIndex(lastPreset_);
}

// ---------------------------------------------------------------- area and square

void TfrmCD_Pos::computeArea()
{
    updateArea();
    afterArea();
}

void TfrmCD_Pos::updateArea()
{
    int ox = 0, oy = 0, w = 0, h = 0;
    GetPrinterOffsetTenthMm(ox, oy);
    GetPrintableSizeTenthMm(w, h);
    areaWidth_ = w;
    areaHeight_ = h;
    const int left = sheetPixels(ox), top = sheetPixels(oy);
    pbxArea->setGeometry(left, top, sheetPixels(w), sheetPixels(h));
    // A paper narrower than the square leaves it one place: the range's start.
    pixelRange_ = QRect(QPoint(left, top), QPoint(std::max(left, sheetPixels(w) - SquarePixels + left),
                                                  std::max(top, sheetPixels(h) - SquarePixels + top)));
    rangeX_.Min = ox / 10.0;
    rangeX_.Max = std::max(rangeX_.Min, std::min(w / 10.0 - SquareMm + rangeX_.Min, CapX));
    rangeY_.Min = oy / 10.0;
    rangeY_.Max = std::max(rangeY_.Min, std::min(h / 10.0 - SquareMm + rangeY_.Min, CapY));
    const bool was = filling_;
    filling_ = true;
    spnX->SetMinValue(rangeX_.Min);
    spnX->SetMaxValue(rangeX_.Max);
    spnY->SetMinValue(rangeY_.Min);
    spnY->SetMaxValue(rangeY_.Max);
    filling_ = was;
    auto span = [](QLabel* l, const TPosRange& r) {
        l->setText(QString::fromStdString("( " + mm(r.Min) + "mm - " + mm(r.Max) + "mm )"));
        l->adjustSize();
    };
    span(lblSpanX, rangeX_);
    span(lblSpanY, rangeY_);
    lblPaper->setText(QString::fromStdString("[ " + GetPaperDisplayName() + " ]"));
    lblPaper->adjustSize();
    pbxArea->update();
}

void TfrmCD_Pos::afterArea()
{
    setOrigin(spnX->Value(), spnY->Value());
    selectMatchingPreset();
    if (areaWidth_ < SmallPaper || areaHeight_ < SmallPaper)
        MsgBox(this, DialogCaption,
               "用紙が小さすぎます！！\r\r　『　Ａ４、Ｂ５、ＣＤ/ＤＶＤトレイ、ＣＤ/ＤＶＤレーベル、プリンタブルディスク　』"
               "　などを選択して下さい！！",
               1, "Y", "?");
}

// Both spins take their values clamped to the ranges, and the square follows.
void TfrmCD_Pos::setOrigin(double X, double Y)
{
    const bool was = filling_;
    filling_ = true;
    spnX->SetValue(rangeX_.Clamp(X));
    spnY->SetValue(rangeY_.Clamp(Y));
    filling_ = was;
    placeSquare();
}

void TfrmCD_Pos::placeSquare()
{
    const double x = rangeX_.Clamp(spnX->Value()), y = rangeY_.Clamp(spnY->Value());
    const int left = std::clamp(int(std::trunc(x * 1.5)), pixelRange_.left(), pixelRange_.right());
    const int top = std::clamp(int(std::trunc(y * 1.5)), pixelRange_.top(), pixelRange_.bottom());
    pbxCD->move(left, top);
    pbxCD->update();
}

// A value typed out of range stays as typed until the edit is left (a first digit would
// otherwise be replaced before the second is typed); the square shows it clamped meanwhile.
void TfrmCD_Pos::spinChange()
{
    if (filling_ || dragging_)
        return;
    for (auto [spin, range] : {std::pair{spnX, &rangeX_}, std::pair{spnY, &rangeY_}}) {
        const double v = spin->Value();
        if (range->Clamp(v) != v && !spin->hasFocus()) {
            filling_ = true;
            spin->SetValue(range->Clamp(v));
            filling_ = false;
        }
    }
    placeSquare();
}

void TfrmCD_Pos::MoveByKey(int Key)
{
    switch (Key) {
    case forms::VK_LEFT:
    case forms::VK_RIGHT:
        setOrigin(ArrowStep(spnX->Value(), Key == forms::VK_RIGHT), spnY->Value());
        break;
    case forms::VK_UP:
    case forms::VK_DOWN:
        setOrigin(spnX->Value(), ArrowStep(spnY->Value(), Key == forms::VK_DOWN));
        break;
    default:
        break;
    }
}

void TfrmCD_Pos::squareMouseDown(forms::TMouseButton Button, int X, int Y)
{
    lstFocus->setFocus();
    if (Button != forms::mbLeft)
        return;
    dragging_ = true;
    grab_ = QPoint(X, Y);
}

void TfrmCD_Pos::squareMouseMove(int X, int Y)
{
    if (!dragging_)
        return;
    const int left = std::clamp(pbxCD->x() + X - grab_.x(), pixelRange_.left(), pixelRange_.right());
    const int top = std::clamp(pbxCD->y() + Y - grab_.y(), pixelRange_.top(), pixelRange_.bottom());
    pbxCD->move(left, top);
    const bool was = filling_;
    filling_ = true;
    spnX->SetValue(std::trunc(left / 1.5));
    spnY->SetValue(std::trunc(top / 1.5));
    filling_ = was;
    pbxCD->update();
}

void TfrmCD_Pos::squareMouseUp()
{
    if (!dragging_)
        return;
    dragging_ = false;
    setOrigin(spnX->Value(), spnY->Value());
}

void TfrmCD_Pos::paintArea()
{
    gfx::TCanvas& c = pbxArea->Canvas();
    const int w = pbxArea->width(), h = pbxArea->height();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(gfx::clWhite);
    c.FillRect(gfx::TRect{0, 0, w, h});
    DrawDottedFrame(c, w, h, gfx::clRed);
    c.Brush().SetStyle(gfx::bsClear);
    c.Font().SetName(PreviewFont);
    c.Font().SetSize(8);
    c.Font().SetStyle(0);
    const std::string area = "印刷範囲";
    const int th = c.TextHeight(area);
    const int tx = 24, ty = h - th - 8;
    c.Pen().SetStyle(gfx::psSolid);
    c.MoveTo(1, h - 2);
    c.LineTo(tx - 2, ty + th / 2);
    c.LineTo(tx, ty + th / 2);
    c.Font().SetColor(gfx::clRed);
    c.TextOut(tx + 2, ty, area);
    c.Font().SetColor(gfx::clGreen);
    c.TextOut(tx + 2 + c.TextWidth(area), ty, " , Paper : [ " + GetPaperDisplayName() + " ]");
}

void TfrmCD_Pos::paintSquare()
{
    gfx::TCanvas& c = pbxCD->Canvas();
    const int side = SquarePixels;
    const bool lbl = label();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(lbl ? SquareFill : JacketFill);
    c.FillRect(gfx::TRect{0, 0, side, side});
    if (lbl) {
        const TDiscKind& k = DiscKind(WideArea);
        c.Pen().SetStyle(gfx::psSolid);
        c.Pen().SetColor(RingPen);
        auto circle = [&](int d, gfx::TColor fill) {
            const int at = (side - d) / 2;
            c.Brush().SetColor(fill);
            c.Ellipse(at, at, at + d, at + d);
        };
        circle(side, gfx::clWhite);
        circle(int(std::trunc(1.5 * (k.Outer - 2))), DiscColor);
        circle(int(std::trunc(1.5 * k.Inner)), HubColor);
        circle(int(std::trunc(1.5 * k.Hole)), gfx::clWhite);
    }
    c.Brush().SetStyle(gfx::bsClear);
    DrawDottedFrame(c, side, side, gfx::clBlue);

    c.Font().SetName(PreviewFont);
    c.Font().SetSize(8);
    c.Font().SetStyle(0);
    c.Font().SetColor(gfx::clBlue);
    const double x = spnX->Value(), y = spnY->Value();
    const std::string corner = "( " + mm(x) + "mm , " + mm(y) + "mm )";
    const int th = c.TextHeight(corner);
    c.Pen().SetStyle(gfx::psSolid);
    c.MoveTo(1, 1);
    c.LineTo(8, 4 + th / 2);
    c.LineTo(12, 4 + th / 2);
    c.TextOut(13, 4, corner);
    if (lbl) {
        const std::string centre = "( " + mm(x + 60) + "mm , " + mm(y + 60) + "mm )";
        c.TextOut((side - c.TextWidth(centre)) / 2, side / 2 - th - 2, centre);
        c.Pen().SetColor(gfx::clBlue);
        c.MoveTo(side / 2 - 3, side / 2);
        c.LineTo(side / 2 + 4, side / 2);
        c.MoveTo(side / 2, side / 2 - 3);
        c.LineTo(side / 2, side / 2 + 4);
    }
    const std::string bottom = std::string("( ") + (lbl ? "ＣＤ印刷用トレー" : "ＣＤジャケット印刷範囲") + " )";
    c.TextOut((side - c.TextWidth(bottom)) / 2, side - th - 4, bottom);
}

// ---------------------------------------------------------------- closing and keys

void TfrmCD_Pos::spdOKClick()
{
    const bool lbl = label();
    WritePrintOrigin(lbl, {mm(rangeX_.Clamp(spnX->Value())), mm(rangeY_.Clamp(spnY->Value()))});
    if (!IniBase.empty())
        WriteListSection(presetSection(lbl), Presets());
    WritePrinterChoice(std::max(cmbWay->ItemIndex(), 0));
    Tag = 1;
    SetModalResult(forms::mrOk);
    close();
}

void TfrmCD_Pos::spdCanClick()
{
    Tag = 0;
    SetModalResult(forms::mrCancel);
    close();
}

void TfrmCD_Pos::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        spdCanClick();
        return;
    }
    TForm::keyPressEvent(e);
}

bool TfrmCD_Pos::PreviewEvent(QObject* Watched, QEvent* Event)
{
    if (Event->type() != QEvent::KeyPress)
        return false;
    auto* k = static_cast<QKeyEvent*>(Event);
    if (k->key() == Qt::Key_Escape) {
        forms::RunGuarded([this] { spdCanClick(); });
        return true;
    }
    if (Watched == spnX || Watched == spnY) {
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter)
            return true;
        const QString text = k->text();
        if (text.isEmpty() || (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return false;
        const char32_t ch = text.toUcs4().value(0);
        if (ch == 0x7F)  // Delete edits like Backspace
            return false;
        return ch >= 0x80 || !(IsDigitChar(char(ch)) || IsControlChar(char(ch)));
    }
    const int vk = forms::VirtualKey(k->key());
    if (Watched == lstFocus &&
        (vk == forms::VK_LEFT || vk == forms::VK_RIGHT || vk == forms::VK_UP || vk == forms::VK_DOWN)) {
        forms::RunGuarded([this, vk] { MoveByKey(vk); });
        return true;
    }
    if (Watched == cmbPos && vk == forms::VK_DELETE) {
        forms::RunGuarded([this] { cmbPosDelete(); });
        return true;
    }
    return false;
}
