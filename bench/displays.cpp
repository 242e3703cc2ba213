// One display tick's worth of writes to the main window's display instruments, each followed
// by the repaint it causes (offscreen): the odometer LCD gets the next position, the two
// level needles move, the three LEDs flip, the gauge advances and the marquee scrolls one
// column. The engine does this 16 times a second while playing, so a tick should stay well
// under a millisecond. The parts are measured alone too.
#include <benchmark/benchmark.h>

#include <string>

#include <QApplication>
#include <QWidget>

#include "controls/display/AnalogMeter.h"
#include "controls/display/CoolGauge.h"
#include "controls/display/LED.h"
#include "controls/display/Lcd99.h"
#include "controls/display/LightStr.h"

using namespace controls;

namespace {

// The meter panel's instruments at their main-window sizes on a shown window.
struct Panel {
    QWidget host;
    TLCD99 lcd{&host};
    TAnalogMeter left{&host}, right{&host};
    TLED led1{&host}, led2{&host}, led3{&host};
    TCoolGauge gauge{&host};
    TLightStr marquee{&host};
    int tick = 0;

    Panel()
    {
        host.resize(400, 120);
        lcd.SetBounds(0, 0, 66, 13);
        lcd.SetDigitNum(5);
        lcd.SetOnColor(gfx::clRed);
        left.SetBounds(0, 20, 70, 70);
        right.SetBounds(75, 20, 70, 70);
        for (TAnalogMeter* m : {&left, &right}) {
            m->SetMax(150);
            m->SetCaption(m == &left ? "LT" : "RT");
        }
        led1.SetBounds(150, 20, 19, 11);
        led2.SetBounds(150, 35, 19, 11);
        led3.SetBounds(150, 50, 19, 11);
        gauge.SetBounds(180, 0, 175, 15);
        gauge.SetBorderStyle(TCoolGauge::bsNone);
        marquee.SetShowFontH(5);
        marquee.SetBounds(180, 20, 63, 15);
        marquee.SetShowInterval(1000000);  // stepped by hand below
        marquee.SetShowStrings({"Tambourelle : a rather long title that keeps scrolling"});
        marquee.Start();
        host.show();
        QApplication::processEvents();
    }

    void lcdStep()
    {
        lcd.SetValue(std::to_string(10000 + (tick * 6) % 90000));  // hundredths of a second
        lcd.repaint();
    }
    void metersStep()
    {
        left.SetValue(40 + (tick * 7) % 90);
        left.repaint();
        right.SetValue(35 + (tick * 11) % 95);
        right.repaint();
    }
    void ledsStep()
    {
        for (TLED* l : {&led1, &led2, &led3}) {
            l->SetStatus(!l->Status());
            l->repaint();
        }
    }
    void gaugeStep()
    {
        gauge.SetProgress(tick % 101);
        gauge.repaint();
    }
    void marqueeStep()
    {
        marquee.Step();
        marquee.repaint();
    }
};

// Made in main, inside the application's lifetime.
Panel* thePanel = nullptr;
Panel& panel()
{
    return *thePanel;
}

template <void (Panel::*Step)()>
void BM_Part(benchmark::State& state)
{
    Panel& p = panel();
    for (auto _ : state) {
        ++p.tick;
        (p.*Step)();
    }
}
BENCHMARK(BM_Part<&Panel::lcdStep>)->Name("BM_Lcd");
BENCHMARK(BM_Part<&Panel::metersStep>)->Name("BM_TwoNeedles");
BENCHMARK(BM_Part<&Panel::ledsStep>)->Name("BM_ThreeLeds");
BENCHMARK(BM_Part<&Panel::gaugeStep>)->Name("BM_Gauge");
BENCHMARK(BM_Part<&Panel::marqueeStep>)->Name("BM_MarqueeStep");

void BM_DisplayTick(benchmark::State& state)
{
    Panel& p = panel();
    for (auto _ : state) {
        ++p.tick;
        p.lcdStep();
        p.metersStep();
        p.ledsStep();
        p.gaugeStep();
        p.marqueeStep();
    }
}
BENCHMARK(BM_DisplayTick);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Panel p;
    thePanel = &p;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    thePanel = nullptr;
    return 0;
}
