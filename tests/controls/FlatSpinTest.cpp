// Spin button and floating-point spin edit: the button pair's layout and built-in arrows, the
// repeat timer's intervals (its ticks fired by hand), the keys, and the edit's reading of its
// text, clamping, steps, character filter, paste rule and re-apply on leaving.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/flat/TFlatSpinEditUnit.h"
#include "platform/forms/Form.h"

using namespace controls;
using controltest::activate;
using controltest::snapshot;

TEST(SpinButton, LayoutAndBuiltInArrows)
{
    TSpinButton spin;
    EXPECT_EQ(spin.Width(), 21);
    EXPECT_EQ(spin.Height(), 10);
    EXPECT_EQ(spin.UpButton().geometry(), QRect(0, 0, 11, 10));
    EXPECT_EQ(spin.DownButton().geometry(), QRect(10, 0, 11, 10));
    EXPECT_EQ(spin.FocusedButton(), &spin.UpButton());
    EXPECT_EQ(spin.UpButton().Layout(), blGlyphTop);
    EXPECT_EQ(spin.DownButton().Layout(), blGlyphBottom);
    EXPECT_EQ(spin.UpButton().Margin(), 2);
    ASSERT_FALSE(spin.UpGlyph().Empty());
    ASSERT_FALSE(spin.DownGlyph().Empty());
    EXPECT_EQ(spin.UpNumGlyphs(), 1);
    // The arrows point their ways: the up arrow's widest row at the bottom.
    auto inkInRow = [](const gfx::TBitmap& g, int y) {
        int n = 0;
        for (int x = 0; x < g.Width(); ++x)
            n += g.PixelColor(x, y) != gfx::clBlack;
        return n;
    };
    const int last = spin.UpGlyph().Height() - 1;
    EXPECT_GT(inkInRow(spin.UpGlyph(), last), inkInRow(spin.UpGlyph(), 0));
    EXPECT_GT(inkInRow(spin.DownGlyph(), 0), inkInRow(spin.DownGlyph(), last));

    // A new size keeps the width of the pair and gives the buttons the height.
    spin.show();
    spin.resize(40, 16);
    EXPECT_EQ(spin.Width(), 21);
    EXPECT_EQ(spin.DownButton().geometry(), QRect(10, 0, 11, 16));

    gfx::TBitmap own(24, 8, gfx::pf24bit);
    spin.SetUpGlyph(own);
    EXPECT_EQ(spin.UpNumGlyphs(), 3);
    spin.SetUpGlyph(gfx::TBitmap());
    EXPECT_EQ(spin.UpGlyph().Width(), spin.DownGlyph().Width());
    EXPECT_EQ(spin.UpNumGlyphs(), 1);
}

TEST(SpinButton, RepeatsAfter400ThenEvery100WhileHeld)
{
    forms::TForm form;
    form.resize(80, 40);
    auto* spin = new TSpinButton(&form);
    spin->resize(21, 16);
    int ups = 0, downs = 0;
    spin->OnUpClick = [&](QObject*) { ++ups; };
    spin->OnDownClick = [&](QObject*) { ++downs; };
    activate(form);
    TTimerSpeedButton& up = spin->UpButton();
    EXPECT_EQ(up.RepeatTimer(), nullptr);

    QTest::mousePress(&up, Qt::LeftButton, {}, QPoint(4, 4));
    ASSERT_NE(up.RepeatTimer(), nullptr);
    EXPECT_TRUE(up.RepeatTimer()->Enabled());
    EXPECT_EQ(up.RepeatTimer()->Interval(), 400);
    EXPECT_EQ(ups, 0);
    up.TimerExpired();
    EXPECT_EQ(up.RepeatTimer()->Interval(), 100);
    EXPECT_EQ(ups, 1);
    up.TimerExpired();
    EXPECT_EQ(ups, 2);
    // Dragged off the button: it shows up again and the ticks stop clicking.
    QTest::mouseMove(&up, QPoint(4, 40));
    up.TimerExpired();
    EXPECT_EQ(ups, 2);
    QTest::mouseRelease(&up, Qt::LeftButton, {}, QPoint(4, 40));
    EXPECT_FALSE(up.RepeatTimer()->Enabled());
    EXPECT_EQ(ups, 2);

    // A short click steps once, at the release; a tick after it does nothing.
    QTest::mouseClick(&spin->DownButton(), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(downs, 1);
    spin->DownButton().TimerExpired();
    EXPECT_EQ(downs, 1);

    // Without the allow-timer flag no timer is made.
    TTimerSpeedButton plain(&form);
    plain.move(40, 0);
    plain.show();
    QTest::mousePress(&plain, Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(plain.RepeatTimer(), nullptr);
    QTest::mouseRelease(&plain, Qt::LeftButton, {}, QPoint(4, 4));
}

TEST(SpinButton, KeysAndTheFocusMark)
{
    forms::TForm form;
    auto* spin = new TSpinButton(&form);
    spin->SetTabStop(true);
    int ups = 0, downs = 0;
    spin->OnUpClick = [&](QObject*) { ++ups; };
    spin->OnDownClick = [&](QObject*) { ++downs; };
    activate(form);
    spin->setFocus();
    EXPECT_TRUE(spin->UpButton().TimeBtnState() & tbFocusRect);
    QTest::keyClick(spin, Qt::Key_Space);
    EXPECT_EQ(ups, 1);
    QTest::keyClick(spin, Qt::Key_Down);
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(spin->FocusedButton(), &spin->DownButton());
    EXPECT_TRUE(spin->DownButton().TimeBtnState() & tbFocusRect);
    EXPECT_FALSE(spin->UpButton().TimeBtnState() & tbFocusRect);
    QTest::keyClick(spin, Qt::Key_Space);
    EXPECT_EQ(downs, 2);
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(ups, 2);
    spin->clearFocus();
    EXPECT_FALSE(spin->UpButton().TimeBtnState() & tbFocusRect);
}

TEST(FlatSpinEdit, ReadsItsText)
{
    TFlatSpinEditFloat e;
    EXPECT_EQ(e.Text(), "0.00");
    EXPECT_EQ(e.Precision(), 9);
    EXPECT_EQ(e.Digits(), 2);
    EXPECT_DOUBLE_EQ(e.Increment(), 0.5);
    e.SetText("1,234.50");
    EXPECT_DOUBLE_EQ(e.GetValue(), 1234.5);
    e.SetText("(2.5)");
    EXPECT_DOUBLE_EQ(e.GetValue(), -2.5);
    e.SetText("");
    EXPECT_DOUBLE_EQ(e.GetValue(), 0);
    e.SetText(" \xC2\xA5" "1,235 ");
    EXPECT_DOUBLE_EQ(e.GetValue(), 1235);
    e.SetMinValue(3);
    e.SetMaxValue(10);
    e.SetText("abc");
    EXPECT_DOUBLE_EQ(e.GetValue(), 3);
}

TEST(FlatSpinEdit, ClampsAndFormats)
{
    TFlatSpinEditFloat e;
    e.SetValue(-1E6);  // MinValue = MaxValue = 0: no clamp
    EXPECT_EQ(e.Text(), "-1000000");
    e.SetMaxValue(100);
    e.SetValue(150);
    EXPECT_EQ(e.Text(), "100");
    EXPECT_EQ(e.cursorPosition(), 3);
    e.SetValue(-5);
    EXPECT_EQ(e.Text(), "0");
    // The format's setters rewrite the text at once.
    e.SetValue(12.345);
    e.SetFloatFormat(rtl::ffFixed);
    EXPECT_EQ(e.Text(), "12.35");
    e.SetDigits(1);
    EXPECT_EQ(e.Text(), "12.4");  // 12.35 read back, rounded away from zero
    e.SetPrecision(2);
    EXPECT_EQ(e.Text(), "12.0");
    e.SetFloatFormat(rtl::ffCurrency);
    EXPECT_DOUBLE_EQ(e.GetValue(), 12);

    e.SetFloatFormat(rtl::ffGeneral);
    e.SetPrecision(9);
    e.SetValue(99.75);
    e.UpClick();
    EXPECT_EQ(e.Text(), "100");  // clamped at the top
    e.DownClick();
    EXPECT_EQ(e.Text(), "99.5");
    e.SetReadOnly(true);
    e.DownClick();
    EXPECT_EQ(e.Text(), "99.5");
}

TEST(FlatSpinEdit, KeysCharactersAndPaste)
{
    forms::TForm form;
    auto* e = new TFlatSpinEditFloat(&form);
    auto* other = new TFlatSpinEditFloat(&form);
    other->move(0, 40);
    e->SetMaxValue(100);
    int changes = 0;
    e->OnChange = [&](QObject*) { ++changes; };
    activate(form);
    e->setFocus();
    e->SetText("");
    QTest::keyClicks(e, "1a2.x5-");
    EXPECT_EQ(e->Text(), "12.5-");
    EXPECT_GT(changes, 0);
    e->SetValue(2);
    QTest::keyClick(e, Qt::Key_Up);
    EXPECT_EQ(e->Text(), "2.5");
    QTest::keyClick(e, Qt::Key_Down);
    QTest::keyClick(e, Qt::Key_Down);
    EXPECT_EQ(e->Text(), "1.5");

    QApplication::clipboard()->setText("42");
    e->selectAll();
    QTest::keySequence(e, QKeySequence::Paste);
    EXPECT_EQ(e->Text(), "42");

    // With the editor off, digits, backspace and paste are refused; the steps still work.
    e->SetEditorEnabled(false);
    e->end(false);
    QTest::keyClicks(e, "7");
    QTest::keyClick(e, Qt::Key_Backspace);
    QApplication::clipboard()->setText("9");
    QTest::keySequence(e, QKeySequence::Paste);
    e->selectAll();
    QTest::keySequence(e, QKeySequence::Cut);
    EXPECT_EQ(e->Text(), "42");
    QTest::keyClick(e, Qt::Key_Up);
    EXPECT_EQ(e->Text(), "42.5");

    // Leaving re-applies a value out of range.
    e->SetEditorEnabled(true);
    e->SetText("150");
    other->setFocus();
    EXPECT_EQ(e->Text(), "100");
    // Coming back by the keyboard selects the text.
    e->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(e->selectedText(), QString("100"));
}

TEST(FlatSpinEdit, HeightAndButtonPlace)
{
    forms::TForm form;
    form.resize(200, 80);
    auto* e = new TFlatSpinEditFloat(&form);
    activate(form);
    e->resize(80, 4);
    const int minHeight = QFontMetrics(e->font()).height() + 7;
    EXPECT_EQ(e->height(), minHeight);
    e->resize(80, 30);
    TSpinButton& b = e->Button();
    EXPECT_EQ(b.Width(), 21);
    EXPECT_EQ(b.x(), 80 - 21 - 5);
    EXPECT_EQ(b.height(), 30 - 6);
    EXPECT_EQ(e->textMargins().right(), 21 + 3);
    QFont big = e->font();
    big.setPixelSize(30);
    e->setFont(big);
    EXPECT_GE(e->height(), QFontMetrics(big).height() + 7);

    e->setFont(QFont());
    e->resize(90, 21);
    e->SetValue(12.5);
    controltest::saveShot(snapshot(*e), "flat_spin_edit", 3);
}
