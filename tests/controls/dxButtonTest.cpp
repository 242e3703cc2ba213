// The themed button and its framework: the face, border and frames by pixels, the glyph
// greying, mouse and key clicks, the update batching, the style manager's repaints and the
// screenshots of the button's looks.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QTest>

#include "ControlTestSupport.h"
#include "display/DisplayTestSupport.h"
#include "controls/dx/dxButtons.h"
#include "platform/forms/Form.h"

using namespace controls;
using controltest::pixel;
using controltest::snapshot;

namespace {

using displaytest::PaintCounter;

const auto settle = displaytest::Host::settle;

void enter(QWidget& w)
{
    QEnterEvent e(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(&w, &e);
}

void leave(QWidget& w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(&w, &e);
}

// Whether any pixel of the image has the colour.
bool shows(const QImage& img, TColor c)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (pixel(img, x, y) == c)
                return true;
    return false;
}

// A shown, active form with two buttons.
struct ButtonForm {
    forms::TForm form;
    TdxButton* b = new TdxButton(&form);
    TdxButton* other = new TdxButton(&form);
    ButtonForm()
    {
        // 66 pixels high: faces of exactly 64 rows, one band a row.
        form.resize(200, 170);
        b->setGeometry(10, 10, 73, 66);
        other->move(10, 90);
        b->SetCaption("&OK");
        other->SetCaption("Other");
        form.show();
        QApplication::setActiveWindow(&form);
    }
};

}  // namespace

TEST(dxButton, Defaults)
{
    TdxButton b;
    EXPECT_EQ(std::tuple(b.Width(), b.Height(), b.Layout(), b.ModalResult(), int(b.Spacing())),
              std::tuple(73, 21, blGlyphLeft, 0, 3));
    // AutoGray, ShowAccelChar, SmoothEdges, WordWrap, TabStop on; Cancel, Default, ShowFocusRect off.
    EXPECT_EQ(std::tuple(b.AutoGray(), b.ShowAccelChar(), b.SmoothEdges(), b.WordWrap(), b.TabStop(),
                         b.Cancel(), b.Default(), b.ShowFocusRect()),
              std::tuple(true, true, true, true, true, false, false, false));
    EXPECT_EQ(b.RepaintOptions(0), 0x7D);
    EXPECT_EQ(b.RepaintOptions(1), 0x03);
}

// The looks by pixels.
TEST(dxButton, LooksFollowMouseFocusDefaultAndEnabling)
{
    enum Setup { Plain, Hot, Pressed, PressedOutside, Focused, DefaultBtn, DefaultDxFocus, Disabled };
    using B = TdxButton;
    struct Case {
        Setup setup;
        TColor top;  // (5, 1): face or frame, first band
    } cases[] = {
        {Plain, B::NormalFrom}, {Hot, B::HotFrom}, {Pressed, B::PressedFrom},
        {PressedOutside, B::DefaultFrom}, {Focused, B::DefaultFrom}, {DefaultBtn, B::DefaultFrom},
        {DefaultDxFocus, B::NormalFrom}, {Disabled, B::NormalFrom},
    };
    for (const Case& k : cases) {
        ButtonForm f;
        f.form.setFocus();
        f.b->SetCaption("");
        switch (k.setup) {
        case Plain: break;
        case Hot: enter(*f.b); break;
        case Pressed:
            enter(*f.b);
            QTest::mousePress(f.b, Qt::LeftButton, {}, QPoint(10, 10));
            break;
        case PressedOutside:
            enter(*f.b);
            QTest::mousePress(f.b, Qt::LeftButton, {}, QPoint(10, 10));
            QTest::mouseMove(f.b, QPoint(150, 10));
            leave(*f.b);
            break;
        case Focused: f.b->setFocus(); break;
        case DefaultBtn: f.b->SetDefault(true); break;
        case DefaultDxFocus: f.b->SetDefault(true); f.other->setFocus(); break;
        case Disabled: f.b->SetEnabled(false); break;
        }
        const QImage img = snapshot(*f.b);
        EXPECT_EQ(pixel(img, 5, 1), k.top) << k.setup;
        const bool on = k.setup != Disabled;
        EXPECT_EQ(pixel(img, 30, 0), on ? B::BorderColor : B::DisabledBorderColor) << k.setup;
        EXPECT_EQ(pixel(img, 0, 1), on ? B::SmoothColor : B::DisabledBorderColor) << k.setup;
        if (k.setup == Plain) {
            EXPECT_EQ(pixel(img, 5, 64), TdxButton::NormalTo);
            f.b->SetSmoothEdges(false);
            EXPECT_EQ(pixel(snapshot(*f.b), 0, 1), TdxButton::BorderColor);
        }
        if (k.setup == Hot || k.setup == Focused) {  // a frame two pixels wide, the face inside
            EXPECT_EQ(pixel(img, 5, 3), TdxButton::NormalFrom) << k.setup;
        }
    }
}

TEST(dxButton, GlyphGreysWhenDisabledWithAutoGray)
{
    const TColor ink = gfx::RGB(30, 60, 90), grey = gfx::RGB(160, 160, 160);
    gfx::TBitmap g(8, 8);
    g.Canvas().Brush().SetColor(gfx::clFuchsia);
    g.Canvas().FillRect(gfx::Rect(0, 0, 8, 8));
    g.Canvas().Brush().SetColor(ink);
    g.Canvas().FillRect(gfx::Rect(2, 2, 6, 6));
    struct Case { bool enabled, autoGray; TColor seen, unseen; } cases[] = {
        {true, true, ink, grey}, {false, true, grey, ink}, {false, false, ink, grey},
    };
    for (const Case& k : cases) {
        ButtonForm f;
        f.b->SetGlyph(g);
        f.b->SetAutoGray(k.autoGray);
        f.b->SetEnabled(k.enabled);
        const QImage img = snapshot(*f.b);
        EXPECT_TRUE(shows(img, k.seen)) << k.enabled << k.autoGray;
        EXPECT_FALSE(shows(img, k.unseen)) << k.enabled << k.autoGray;
        EXPECT_FALSE(shows(img, gfx::clFuchsia));  // the see-through colour never shows
    }
}

TEST(dxButton, PressInsideReleaseOutsideDoesNotClickAndReleaseRepaints)
{
    ButtonForm f;
    f.b->SetModalResult(forms::mrYes);
    int clicks = 0;
    f.b->OnClick = [&](QObject*) { ++clicks; };
    enter(*f.b);
    QTest::mousePress(f.b, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(f.b, Qt::LeftButton, {}, QPoint(150, 10));
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(f.b->LButtonDown());
    EXPECT_FALSE(f.b->MouseIn());
    EXPECT_NE(pixel(snapshot(*f.b), 5, 1), TdxButton::HotFrom);
    EXPECT_EQ(f.form.ModalResult(), forms::mrNone);

    // A release inside clicks, sets the window's result and repaints at once: no pressed face
    // stays behind although the mouse-up hook's own repaint bit is off.
    PaintCounter paints(f.b);
    enter(*f.b);
    QTest::mousePress(f.b, Qt::LeftButton, {}, QPoint(10, 10));
    settle();
    paints.count = 0;
    QTest::mouseRelease(f.b, Qt::LeftButton, {}, QPoint(10, 10));
    settle();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(f.form.ModalResult(), forms::mrYes);
    EXPECT_GE(paints.count, 1);
    EXPECT_EQ(pixel(snapshot(*f.b), 5, 1), TdxButton::HotFrom);
    // No release reaches a disabled button: disabling while pressed drops the pressed face.
    QTest::mousePress(f.b, Qt::LeftButton, {}, QPoint(10, 10));
    f.b->SetEnabled(false);
    f.b->SetEnabled(true);
    EXPECT_FALSE(f.b->LButtonDown());
    EXPECT_NE(pixel(snapshot(*f.b), 5, 1), TdxButton::PressedFrom);
}

TEST(dxButton, KeysClick)
{
    enum Focus { OnB, OnOther, OnForm };
    struct Case {
        const char* what;
        Focus focus;
        bool isDefault, isCancel;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        bool toForm;  // sent to the window rather than to the focused widget
        int clicks;
    } cases[] = {
        {"Return on the button", OnB, false, false, Qt::Key_Return, {}, false, 1},
        {"Return, default, no dx focus", OnForm, true, false, Qt::Key_Return, {}, true, 1},
        {"Return, default, other dx focused", OnOther, true, false, Qt::Key_Return, {}, false, 0},
        {"Escape, cancel", OnOther, false, true, Qt::Key_Escape, {}, false, 1},
        {"Shift+Escape, cancel", OnOther, false, true, Qt::Key_Escape, Qt::ShiftModifier, false, 0},
        {"Escape, not cancel", OnB, false, false, Qt::Key_Escape, {}, false, 0},
        {"Space on the button", OnB, false, false, Qt::Key_Space, {}, false, 1},
        {"Alt+accelerator", OnForm, false, false, Qt::Key_O, Qt::AltModifier, true, 1},
        {"Alt+accelerator, other dx focused", OnOther, false, false, Qt::Key_O, Qt::AltModifier, false, 1},
        {"plain accelerator, focused", OnB, false, false, Qt::Key_O, {}, false, 1},
        {"plain accelerator, elsewhere", OnOther, false, false, Qt::Key_O, {}, false, 0},
    };
    for (const Case& k : cases) {
        ButtonForm f;
        int clicks = 0;
        f.b->OnClick = [&](QObject*) { ++clicks; };
        f.b->SetDefault(k.isDefault);
        f.b->SetCancel(k.isCancel);
        f.b->SetModalResult(forms::mrOk);
        QWidget* target = k.focus == OnB ? static_cast<QWidget*>(f.b)
                        : k.focus == OnOther ? static_cast<QWidget*>(f.other) : &f.form;
        target->setFocus();
        QWidget* to = k.toForm ? &f.form : target;
        QTest::keyPress(to, k.key, k.mods);
        if (k.key == Qt::Key_Space) {
            EXPECT_EQ(clicks, 0) << k.what;  // pressed, not yet clicked
            EXPECT_EQ(pixel(snapshot(*f.b), 5, 1), TdxButton::PressedFrom) << k.what;
        }
        QTest::keyRelease(to, k.key, k.mods);
        EXPECT_EQ(clicks, k.clicks) << k.what;
        EXPECT_EQ(f.form.ModalResult(), k.clicks ? forms::mrOk : forms::mrNone) << k.what;
        if (k.key == Qt::Key_Space) {
            EXPECT_NE(pixel(snapshot(*f.b), 5, 1), TdxButton::PressedFrom) << k.what;
        }
    }
    // A disabled button answers no key.
    ButtonForm f;
    int clicks = 0;
    f.b->OnClick = [&](QObject*) { ++clicks; };
    f.b->SetDefault(true);
    f.b->SetCancel(true);
    f.b->SetEnabled(false);
    f.form.setFocus();
    QTest::keyClick(&f.form, Qt::Key_Return);
    QTest::keyClick(&f.form, Qt::Key_Escape);
    QTest::keyClick(&f.form, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(clicks, 0);
}

TEST(dxButton, UpdateBatchingRepaintsOnce)
{
    ButtonForm f;
    f.form.setFocus();
    PaintCounter paints(f.b);
    settle();
    paints.count = 0;
    f.b->BeginUpdate();
    enter(*f.b);
    settle();
    leave(*f.b);
    f.b->SetSpacing(7);
    settle();
    EXPECT_EQ(paints.count, 0);
    f.b->EndUpdate();
    settle();
    EXPECT_EQ(paints.count, 1);
    // Outside an update the same hooks repaint.
    paints.count = 0;
    enter(*f.b);
    settle();
    EXPECT_EQ(paints.count, 1);
}

TEST(dxStyleManager, ThemeChangeRepaintsEveryListedControl)
{
    ButtonForm f;
    auto* third = new TdxButton(&f.form);
    third->show();
    auto* manager = new TdxStyleManager(&f.form);
    int fired = 0;
    manager->OnThemeChanged = [&](QObject*) { ++fired; };
    f.b->SetStyleManager(manager);
    f.other->SetStyleManager(manager);
    PaintCounter pb(f.b), po(f.other), pt(third);
    settle();
    pb.count = po.count = pt.count = 0;
    manager->SetTheme(OfficeXP);
    manager->SetTheme(OfficeXP);  // no change, no event
    settle();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(pb.count, 1);
    EXPECT_EQ(po.count, 1);
    EXPECT_EQ(pt.count, 0);
    EXPECT_EQ(f.b->EffectiveTheme(), OfficeXP);
    f.b->Style().SetUseStyleManager(false);
    EXPECT_EQ(f.b->EffectiveTheme(), WindowsXP);

    f.other->SetStyleManager(nullptr);
    EXPECT_EQ(manager->Controls().size(), 1u);
    delete third;
    delete manager;  // clears the reference of the control still listed
    EXPECT_EQ(f.b->StyleManager(), nullptr);
}

TEST(dxButton, ActionLendsCaptionEnablingAndGlyph)
{
    ButtonForm f;
    QAction action("&Wave");
    QImage icon(8, 8, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter(&icon).fillRect(2, 2, 4, 4, QColor(0, 128, 0));
    action.setIcon(QIcon(QPixmap::fromImage(icon)));
    action.setEnabled(false);
    int triggered = 0;
    QObject::connect(&action, &QAction::triggered, [&] { ++triggered; });
    f.b->SetAction(&action);
    EXPECT_EQ(f.b->Caption(), "&Wave");
    EXPECT_FALSE(f.b->Enabled());
    EXPECT_TRUE(shows(snapshot(*f.b), gfx::RGB(142, 142, 142)));  // greyed icon: 128 / 3 + 100
    action.setEnabled(true);
    action.setText("Close");
    EXPECT_TRUE(f.b->Enabled());
    EXPECT_EQ(f.b->Caption(), "Close");
    EXPECT_TRUE(shows(snapshot(*f.b), gfx::RGB(0, 128, 0)));
    f.b->Click();
    EXPECT_EQ(triggered, 1);
}

namespace {
// Records which hooks ran.
class HookProbe : public TdxCustomControl {
public:
    using TdxCustomControl::TdxCustomControl;
    std::vector<TdxHook> ran;

protected:
#define PROBE(Name, Id, Params, Args) \
    void Name Params override { ran.push_back(Id); TdxCustomControl::Name Args; }
    PROBE(DoBorderChanged, dxhBorderChanged, (), ())
    PROBE(DoEnabledChanged, dxhEnabledChanged, (), ())
    PROBE(DoFocusChanged, dxhFocusChanged, (QWidget* w), (w))
    PROBE(DoLMouseDown, dxhLMouseDown, (forms::TShiftState s, int x, int y), (s, x, y))
    PROBE(DoMouseEnter, dxhMouseEnter, (), ())
    PROBE(DoMouseLeave, dxhMouseLeave, (), ())
    PROBE(DoMouseMove, dxhMouseMove, (forms::TShiftState s, int x, int y), (s, x, y))
    PROBE(DoLMouseUp, dxhLMouseUp, (forms::TShiftState s, int x, int y), (s, x, y))
    PROBE(DoParentColorChanged, dxhParentColorChanged, (), ())
    PROBE(DoParentFontChanged, dxhParentFontChanged, (), ())
    PROBE(DoPositionChanged, dxhPositionChanged, (), ())
    PROBE(DoSizeChanged, dxhSizeChanged, (), ())
    PROBE(DoTextChanged, dxhTextChanged, (), ())
#undef PROBE
};
}  // namespace

TEST(dxCustomControl, HooksFollowTheirEventsAndTrackState)
{
    forms::TForm form;
    form.resize(200, 100);
    auto* p = new HookProbe(&form);
    p->setGeometry(10, 10, 50, 20);
    p->SetTabStop(true);
    form.show();
    QApplication::setActiveWindow(&form);
    form.setFocus();
    gfx::TFont bigger;
    bigger.SetSize(14);
    const std::pair<TdxHook, std::function<void()>> steps[] = {
        {dxhBorderChanged, [&] { p->setContentsMargins(2, 2, 2, 2); }},
        {dxhEnabledChanged, [&] { p->SetEnabled(false); p->SetEnabled(true); }},
        {dxhFocusChanged, [&] { p->setFocus(); }},
        {dxhMouseEnter, [&] { enter(*p); }},
        {dxhLMouseDown, [&] { QTest::mousePress(p, Qt::LeftButton, {}, QPoint(5, 5)); }},
        {dxhMouseMove, [&] { QTest::mouseMove(p, QPoint(6, 6)); }},
        {dxhLMouseUp, [&] { QTest::mouseRelease(p, Qt::LeftButton, {}, QPoint(6, 6)); }},
        {dxhMouseLeave, [&] { leave(*p); }},
        {dxhParentColorChanged, [&] { form.SetColor(0x123456); }},
        {dxhParentFontChanged, [&] { form.SetFont(bigger); }},
        {dxhPositionChanged, [&] { p->move(20, 20); }},
        {dxhSizeChanged, [&] { p->resize(60, 25); }},
        {dxhTextChanged, [&] { p->SetCaption("x"); }},
    };
    for (const auto& [hook, act] : steps) {
        p->ran.clear();
        act();
        EXPECT_NE(std::find(p->ran.begin(), p->ran.end(), hook), p->ran.end()) << hook;
    }
    p->setFocus();
    EXPECT_TRUE(p->FocusedBit() && p->ActiveIsDxControl());
    form.setFocus();
    EXPECT_FALSE(p->FocusedBit());
    EXPECT_FALSE(p->ActiveIsDxControl());
}
