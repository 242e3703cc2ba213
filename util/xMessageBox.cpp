#include "util/xMessageBox.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>

#include "platform/forms/Application.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "util/libControl.h"
#include "util/libIme.h"
#include "util/libText.h"
#include "util/libWindows.h"

using gfx::RGB;
using gfx::TColor;

int ButtonMode = 1;
int DefaultButton = 1;
TfrmMessageBox* frmMessageBox = nullptr;

namespace {

constexpr const char* MessageFontName = "ＭＳ Ｐゴシック";

void setMessageFont(gfx::TFont& font)
{
    font.SetName(MessageFontName);
    font.SetHeight(-12);
    font.SetColor(gfx::clBlack);
    font.SetCharset(128);
}

// The platform's conversion of decimal (or "$" hexadecimal) text to a 32-bit integer:
// leading blanks allowed, nothing after the digits.
int StrToInt(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    long long value = 0;
    const std::size_t firstDigit = i;
    for (; i < text.size(); ++i) {
        const int c = std::tolower(static_cast<unsigned char>(text[i]));
        const int digit = std::isdigit(c) ? c - '0' : (base == 16 && c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (digit < 0)
            break;
        value = value * base + digit;
        if (value > 0x100000000LL)
            break;
    }
    const long long signedValue = negative ? -value : value;
    if (i == firstDigit || i != text.size() || signedValue > INT_MAX || signedValue < INT_MIN)
        throw EConvertError("'" + text + "' is not a valid integer value");
    return int(signedValue);
}

// Callers write the set in either case ("YN" as well as "yn"); read as written, "YN" would
// fall back to a yes-only box that cannot be refused.
int buttonModeOf(const std::string& buttons)
{
    std::string set = buttons;
    for (char& c : set)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (set == "yn") return 2;
    if (set == "yc") return 3;
    if (set == "ync") return 4;
    return 1;
}

void drawRing(gfx::TCanvas& c, TColor fill, TColor edge)
{
    c.Pen().SetStyle(gfx::psClear);
    c.Brush().SetColor(RGB(150, 150, 150));
    c.Ellipse(10, 12, 126, 128);  // drop shadow
    c.Pen().SetStyle(gfx::psSolid);
    c.Pen().SetWidth(5);
    c.Pen().SetColor(edge);
    c.Brush().SetColor(fill);
    c.Ellipse(4, 4, 120, 120);
    // A soft highlight in the upper half gives the disc some depth.
    c.Pen().SetStyle(gfx::psClear);
    c.Brush().SetColor(gfx::RGB((gfx::GetRValue(fill) + 255) / 2, (gfx::GetGValue(fill) + 255) / 2,
                                (gfx::GetBValue(fill) + 255) / 2));
    c.Ellipse(24, 12, 100, 56);
    c.Brush().SetColor(fill);
    c.Ellipse(18, 26, 106, 70);
    c.Pen().SetStyle(gfx::psSolid);
}

void drawCentredText(gfx::TCanvas& c, const std::string& text, int height, TColor color)
{
    c.Font().SetName("Arial");
    c.Font().SetHeight(height);
    c.Font().SetStyle(gfx::fsBold);
    c.Font().SetColor(color);
    c.Brush().SetStyle(gfx::bsClear);
    const gfx::TSize size = c.TextExtent(text);
    c.TextOut(62 - size.cx / 2, 62 - size.cy / 2, text);
}

void drawIcon(gfx::TCanvas& c, char icon)
{
    switch (icon) {
    case '!': {  // exclamation: a yellow warning triangle
        const gfx::TPoint shadow[] = {{68, 12}, {126, 124}, {10, 124}};
        c.Pen().SetStyle(gfx::psClear);
        c.Brush().SetColor(RGB(150, 150, 150));
        c.Polygon(shadow);
        const gfx::TPoint tri[] = {{64, 4}, {122, 116}, {6, 116}};
        c.Pen().SetStyle(gfx::psSolid);
        c.Pen().SetWidth(5);
        c.Pen().SetColor(RGB(160, 110, 0));
        c.Brush().SetColor(RGB(255, 208, 40));
        c.Polygon(tri);
        c.Pen().SetStyle(gfx::psClear);
        c.Brush().SetColor(RGB(30, 30, 30));
        const gfx::TPoint bar[] = {{56, 36}, {72, 36}, {68, 86}, {60, 86}};
        c.Polygon(bar);
        c.Ellipse(55, 92, 73, 110);
        break;
    }
    case '?':
        drawRing(c, RGB(40, 110, 215), RGB(20, 60, 150));
        drawCentredText(c, "?", -88, gfx::clWhite);
        break;
    case 'x':
        drawRing(c, RGB(220, 45, 40), RGB(140, 20, 20));
        c.Pen().SetColor(gfx::clWhite);
        c.Pen().SetWidth(16);
        c.MoveTo(38, 38);
        c.LineTo(86, 86);
        c.MoveTo(86, 38);
        c.LineTo(38, 86);
        break;
    default:  // information, also the design icon
        drawRing(c, RGB(40, 110, 215), RGB(20, 60, 150));
        c.Pen().SetStyle(gfx::psClear);
        c.Brush().SetColor(gfx::clWhite);
        c.Ellipse(52, 20, 72, 40);
        c.Rectangle(54, 48, 71, 98);
        c.Rectangle(46, 48, 71, 56);
        c.Rectangle(46, 92, 80, 101);
        break;
    }
}

}  // namespace

std::unique_ptr<gfx::TBitmap> MessageBoxIcon(char Icon)
{
    // Drawn four times larger and scaled down smoothly, so the round shapes have soft edges
    // against the window colour.
    constexpr int Scale = 4, Size = 32;
    gfx::TBitmap large(Size * Scale, Size * Scale, gfx::pf24bit);
    gfx::TCanvas& c = large.Canvas();
    c.Brush().SetColor(gfx::ColorToRGB(gfx::clBtnFace));
    c.FillRect(gfx::TRect{0, 0, Size * Scale, Size * Scale});
    drawIcon(c, Icon);
    auto icon = std::make_unique<gfx::TBitmap>(Size, Size, gfx::pf24bit);
    icon->FromImage(large.ToImage().scaled(Size, Size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return icon;
}

TMessageLabel::TMessageLabel(QWidget* parent) : TCustomControl(parent)
{
    SetParentFont(false);
    SetTabStop(false);
}

std::string TMessageLabel::shownText() const
{
    // Lines may end in CR alone; the canvas breaks lines at LF.
    std::string text;
    const std::string& caption = Caption();
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '\r') {
            text += '\n';
            if (i + 1 < caption.size() && caption[i + 1] == '\n')
                ++i;
        } else {
            text += caption[i];
        }
    }
    return text;
}

void TMessageLabel::TextChanged()
{
    gfx::TCanvas measure;
    measure.Font().Assign(Font());
    gfx::TRect r{0, 0, 0, 0};
    measure.DrawText(shownText(), r, gfx::DT_CALCRECT | gfx::DT_NOPREFIX);
    resize(r.Width(), r.Height());
    Invalidate();
}

void TMessageLabel::Paint()
{
    gfx::TCanvas& c = Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(gfx::TRect{0, 0, Width(), Height()});
    c.Font().Assign(Font());
    c.Brush().SetStyle(gfx::bsClear);
    gfx::TRect r{0, 0, Width(), Height()};
    c.DrawText(shownText(), r, gfx::DT_NOPREFIX);
}

TfrmMessageBox::TfrmMessageBox(QWidget* parent) : TForm(parent)
{
    // A dialog's border: the title bar with its close box only, nothing to minimise, maximise
    // or size; always over the program's other windows.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    SetCaption("Confirm");
    setFixedSize(322, 106);

    Image1 = new forms::TImage(this);
    Image1->setGeometry(14, 14, 32, 32);
    Image1->SetAutoSize(true);
    Image1->Picture().SetGraphic(MessageBoxIcon(0).get());

    lblMsg = new TMessageLabel(this);
    setMessageFont(lblMsg->Font());
    lblMsg->move(63, 18);

    pnlButton = new forms::TCustomControl(this);
    pnlButton->SetTabStop(false);
    auto makeButton = [this](const char* caption, int tag) {
        auto* b = new TxpButtonEx(pnlButton);
        b->SetParentFont(false);
        setMessageFont(b->Font());
        b->SetCaption(caption);
        b->Tag = tag;
        b->setGeometry(0, 6, 83, 25);
        SetControlCursor(b, crHandPoint);
        b->installEventFilter(this);
        return b;
    };
    btnMode1 = makeButton("はい(Y)", 1);
    btnMode2 = makeButton("いいえ(N)", 2);
    btnMode3 = makeButton("ｷｬﾝｾﾙ(ESC)", 3);
    btnMode1->ModalResult = forms::mrYes;
    btnMode2->ModalResult = forms::mrNo;
    btnMode3->ModalResult = forms::mrCancel;
    setTabOrder(btnMode1, btnMode2);
    setTabOrder(btnMode2, btnMode3);
    installEventFilter(this);
    OnCloseQuery = [this](QObject*, bool& canClose) { frmCloseQuery(canClose); };
}

TfrmMessageBox::~TfrmMessageBox()
{
    Handlers.Stop();
    if (frmMessageBox == this)
        frmMessageBox = nullptr;
}

void TfrmMessageBox::Setup(QWidget* Owner, const std::string& Caption, const std::string& Text,
                           int DefaultButtonArg, const std::string& Buttons,
                           const std::string& Icon)
{
    SetCaption(Caption);
    lblMsg->SetCaption(Text);

    const char icon = Icon.size() == 1 ? char(std::tolower(static_cast<unsigned char>(Icon[0]))) : 0;
    if (icon == '!' || icon == '?' || icon == 'i' || icon == 'x') {
        Image1->Picture().SetGraphic(MessageBoxIcon(icon).get());
        QApplication::beep();
    }

    const int right = lblMsg->x() + lblMsg->width() + 20;
    windowWidth_ = right <= 350 ? 350 : right + 16;
    windowHeight_ = lblMsg->y() + lblMsg->height() + 100;

    QPoint work(0, 0);
    GetWorkArea(work);
    if (Owner) {
        const QRect o = Owner->isWindow()
                            ? Owner->frameGeometry()
                            : QRect(Owner->mapToGlobal(QPoint(0, 0)), Owner->size());
        windowLeft_ = o.x() + (o.width() - windowWidth_) / 2;
        windowTop_ = o.y() + (o.height() - windowHeight_) / 2;
    } else {
        windowLeft_ = (work.x() - windowWidth_) / 2;
        windowTop_ = (work.y() - windowHeight_) / 2;
    }
    GetWorkArea(work);
    windowTop_ = std::max(windowTop_, 0);
    windowLeft_ = std::max(windowLeft_, 0);
    if (windowTop_ + windowHeight_ > work.y())
        windowTop_ = work.y() - windowHeight_;
    if (windowLeft_ + windowWidth_ > work.x())
        windowLeft_ = work.x() - windowWidth_;
    applyGeometry();

    ButtonMode = buttonModeOf(Buttons);
    placeButtons();

    int def = DefaultButtonArg;
    if (def == 2 && btnMode2->isHidden())
        def = 3;
    else if (def == 3 && btnMode3->isHidden())
        def = 2;
    DefaultButton = def;
}

void TfrmMessageBox::applyGeometry()
{
    const int clientWidth = windowWidth_ - 2 * FrameWidth;
    const int clientHeight = windowHeight_ - TitleHeight - FrameWidth;
    setFixedSize(clientWidth, clientHeight);
    move(windowLeft_, windowTop_);
    pnlButton->setGeometry(0, clientHeight - 41, clientWidth, 41);
}

void TfrmMessageBox::placeButtons()
{
    const int w = windowWidth_;
    // Positions count from the window's outer edge, as the button row was laid out.
    auto place = [](TxpButtonEx* b, int left) {
        b->move(left - FrameWidth, b->y());
        b->setHidden(false);
    };
    btnMode2->setHidden(true);
    btnMode3->setHidden(true);
    switch (ButtonMode) {
    case 2:
        place(btnMode1, w - 178);
        place(btnMode2, w - 95);
        break;
    case 3:
        place(btnMode1, w - 178);
        place(btnMode3, w - 95);
        break;
    case 4:
        place(btnMode1, w - 261);
        place(btnMode2, w - 178);
        place(btnMode3, w - 95);
        break;
    default:
        place(btnMode1, w - 95);
        break;
    }
}

int TfrmMessageBox::KeyResult(int key) const
{
    switch (key) {
    case forms::VK_ESCAPE:
        if (!btnMode3->isHidden())
            return forms::mrCancel;
        return btnMode2->isHidden() ? forms::mrYes : forms::mrNo;
    case 'N':
        return btnMode2->isHidden() ? 0 : forms::mrNo;
    case 'Y':
        return btnMode1->isHidden() ? 0 : forms::mrYes;
    default:
        return 0;
    }
}

bool TfrmMessageBox::eventFilter(QObject* watched, QEvent* e)
{
    // The window sees every key before its buttons do.
    if (e->type() == QEvent::KeyPress && (watched == this || watched->parent() == pnlButton)) {
        const int result = KeyResult(forms::VirtualKey(static_cast<QKeyEvent*>(e)->key()));
        if (result != 0) {
            SetModalResult(result);
            return true;
        }
    }
    return TForm::eventFilter(watched, e);
}

void TfrmMessageBox::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    SetImeAlphaMode(this);
    SetImeMode(this, 1);
    repaint();
    TxpButtonEx* focus = DefaultButton == 1 ? btnMode1 : DefaultButton == 2 ? btnMode2 : btnMode3;
    if (focus->isHidden())  // a default naming a button the set does not show
        focus = btnMode1;
    focus->setFocus(Qt::OtherFocusReason);
}

void TfrmMessageBox::frmCloseQuery(bool&)
{
    // The close box answers like the set's last button: yes in a "y" box, no in a "yn" box.
    if (ModalResult() != forms::mrNone && ModalResult() != forms::mrCancel)
        return;
    if (ButtonMode == 1)
        SetModalResult(forms::mrYes);
    else if (ButtonMode == 2)
        SetModalResult(forms::mrNo);
}

int ShowMessageBox(QWidget* Owner, const std::string& Caption, const std::string& Text,
                   const std::string& DefaultButtonText, const std::string& Buttons,
                   const std::string& Icon)
{
    const int def = StrToInt(DefaultButtonText);  // raises before anything is shown
    QPointer<TfrmMessageBox> box = new TfrmMessageBox(nullptr);
    int result = forms::mrCancel;
    try {
        frmMessageBox = box;
        box->Setup(Owner, Caption, Text, def, Buttons, Icon);
        result = box->ShowModal();
    } catch (const std::exception&) {
        // Reporting would need another message box; the caller takes it as a cancel.
        result = forms::mrCancel;
    }
    forms::ProcessMessages();
    frmMessageBox = nullptr;
    delete box.data();
    return result;
}

int MsgBoxEx(QWidget* Owner, const std::string& Caption, const std::string& Text,
             int DefaultButton, const std::string& Buttons, const std::string& Icon)
{
    return ShowMessageBox(Owner, Caption, Text, std::to_string(DefaultButton), Buttons, Icon);
}
