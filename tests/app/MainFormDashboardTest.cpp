// The main window's hint component, its clock and the meter panel's instances as the window
// sets them up.
#include "shared/SettingsFixture.h"

#include "app/Globals.h"
#include "app/MainForm.h"
#include "support/WaitFor.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>

namespace {

// The window's hint component changes the application's hints for good, as it does in the
// program; the tests that follow get Qt's tool tips back.
struct HintsBack {
    ~HintsBack()
    {
        forms::TApplicationHints& h = forms::TApplicationHints::Instance();
        h.SetHintWindowClass({});
        h.SetHintPause(500);
        h.SetHintHidePause(2500);
        h.OnHint = nullptr;
        h.OnShowHint = nullptr;
    }
};

}  // namespace

TEST(MainFormDashboard, HintClockAndMetersAsTheWindowSetsThem)
{
    HintsBack hintsBack;
    SettingsFixture settings;
    Mp3Path.clear();
    MusicFolders.clear();
    TfrmMain w;

    // Balloon hints, black on the info colour with a silver shadow, at once, for 15 s.
    ASSERT_EQ(controls::TAppHint::Current(), w.AppHint1);
    EXPECT_EQ(w.AppHint1->HintStyle(), controls::hsFukidashi);
    EXPECT_EQ(w.AppHint1->Font().Color(), gfx::clBlack);
    EXPECT_EQ(w.AppHint1->Brush().Color(), gfx::clInfoBk);
    EXPECT_EQ(w.AppHint1->ShadowColor(), gfx::clSilver);
    EXPECT_EQ(w.AppHint1->HintPause(), 0);
    EXPECT_EQ(w.AppHint1->HintHidePause(), 15000);

    // The clock: red 12-pixel text, see-through, hidden (the visualiser draws its caption).
    EXPECT_TRUE(w.lblClock->isHidden());
    EXPECT_EQ(w.lblClock->Interval(), 500u);
    EXPECT_EQ(w.lblClock->Style(), controls::ts12Hours);
    EXPECT_TRUE(w.lblClock->Transparent());
    EXPECT_EQ(w.lblClock->Font().Color(), gfx::clRed);
    EXPECT_EQ(w.lblClock->Font().Height(), -12);
    TOverlayLabels labels;
    w.ReadOverlayLabels(labels);
    EXPECT_EQ(labels.Clock.Text, w.lblClock->Caption());
    EXPECT_EQ(labels.Clock.Text.size(), std::string("PM 04:15:22").size());
    EXPECT_EQ(QPoint(labels.Clock.Left, labels.Clock.Top), w.lblClock->pos());

    struct Meter { controls::TAnalogMeter* m; QSize size; int max; const char* caption; };
    for (const Meter& m : {Meter{w.mtrLeft, {70, 70}, 150, "LT"}, Meter{w.mtrRight, {70, 70}, 150, "RT"},
                           Meter{w.mtrBalanse, {52, 56}, 100, "BL"}}) {
        EXPECT_EQ(m.m->size(), m.size) << m.caption;
        EXPECT_EQ(m.m->Min(), 0) << m.caption;
        EXPECT_EQ(m.m->Max(), m.max) << m.caption;
        EXPECT_EQ(m.m->Caption(), m.caption);
    }
    EXPECT_EQ(w.lcdMeter->Value(), "0");  // the layout's "88888" until the engine's reset
    w.MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                    const std::string&) { return 7; };
}

// Over the position gauge the balloon comes with the first move that finds its hint, and
// stays for 15 s; a picture of it is left for a person to look at.
TEST(MainFormDashboard, GaugeHintComesAsABalloonAtOnce)
{
    HintsBack hintsBack;
    SettingsFixture settings;
    Mp3Path.clear();
    MusicFolders.clear();
    TfrmMain w;
    w.MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                    const std::string&) { return 7; };
    w.show();
    ASSERT_TRUE(testsupport::waitFor([&] { return w.Loaded(); }));
    auto move = [&](int x) {
        const QPoint p(x, 5);
        QMouseEvent e(QEvent::MouseMove, QPointF(p), QPointF(w.Gauge1->mapToGlobal(p)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.Gauge1, &e);
    };
    move(60);  // the gauge writes its hint as the mouse moves over it
    move(62);
    forms::TApplicationHints& hints = forms::TApplicationHints::Instance();
    auto* balloon = dynamic_cast<controls::THintEx*>(hints.HintWindow());
    ASSERT_NE(balloon, nullptr);
    ASSERT_TRUE(balloon->isVisible());
    EXPECT_EQ(balloon->ShownStyle(), controls::hsFukidashi);
    EXPECT_EQ(balloon->Caption(), std::to_string(60 * 100 / w.Gauge1->width()) + "%");
    EXPECT_EQ(hints.HideTimerInterval(), 15000);
    const QString shots = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(shots);
    EXPECT_TRUE(balloon->grab().toImage().scaled(balloon->size() * 3).save(shots + "gauge-hint.png"));
    hints.CancelHint();
}
