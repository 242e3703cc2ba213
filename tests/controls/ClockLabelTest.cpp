// The clock label on a fixed clock: its formats, the once-a-minute alarm and time signal,
// the event list check, the skins on its form and the settings it writes.
#include <gtest/gtest.h>

#include <memory>

#include <QApplication>

#include "ControlTestSupport.h"
#include "controls/clock/ClockLbl.h"
#include "platform/forms/Application.h"
#include "platform/forms/Form.h"
#include "shared/SettingsFixture.h"
#include "support/WaitFor.h"

using namespace controls;

namespace {

rtl::TDateTime at(int h, int mi, int s) { return rtl::EncodeDate(2024, 6, 1) + rtl::EncodeTime(h, mi, s, 0); }

// Every clock label of the test reads `now`.
struct FixedClock {
    rtl::TDateTime now = at(16, 15, 22);
    FixedClock() { TClockLabel::Clock = [this] { return now; }; }
    ~FixedClock() { TClockLabel::Clock = [] { return rtl::Now(); }; }
};

struct Reports {
    std::vector<std::string> messages;
    Reports() { forms::SetExceptionReporter([this](const std::string& m) { messages.push_back(m); }); }
    ~Reports() { forms::SetExceptionReporter(nullptr); }
};

}  // namespace

TEST(ClockLabel, TimeAndDateFormats)
{
    FixedClock clock;
    TClockLabel c;
    TLabel date;
    c.SetDateLabel(&date);
    const std::pair<TStyle, const char*> times[] = {
        {ts12Hours, "PM 04:15:22"}, {ts12HoursJ, "午後04時15分22秒"},
        {ts24Hours, "16:15:22"}, {ts24HoursJ, "16時 15分 22秒"}};
    for (const auto& [style, text] : times) {
        c.SetStyle(style);
        EXPECT_EQ(c.Caption(), text);
    }
    c.SetStyle(tsCustom);
    EXPECT_EQ(c.Caption(), "");  // an empty custom format shows nothing
    c.SetCustomFormat("hh.nn");
    EXPECT_EQ(c.Caption(), "16.15");
    const std::pair<TDateStyle, const char*> dates[] = {
        {dsShort, "24/06/01"}, {dsJap, "2024年6月1日"}, {dsJapW, "2024年6月1日(土)"},
        {dsGengo, "令和6年6月1日"}, {dsGengoW, "令和6年6月1日(土)"}};
    for (const auto& [style, text] : dates) {
        c.SetDateStyle(style);
        c.Tick();
        EXPECT_EQ(date.Caption(), text);
    }
}

TEST(ClockLabel, IntervalZeroNeverUpdatesAndFreedDateLabelIsForgotten)
{
    FixedClock clock;
    TClockLabel c;
    EXPECT_EQ(c.Interval(), 0u);
    clock.now = at(16, 15, 40);
    QApplication::processEvents();
    testsupport::waitFor([] { return false; }, 60);
    EXPECT_EQ(c.Caption(), "PM 04:15:22");  // the time it was made
    c.SetInterval(5);
    EXPECT_TRUE(testsupport::waitFor([&] { return c.Caption() == "PM 04:15:40"; }, 5000));

    auto date = std::make_unique<TLabel>();
    c.SetDateLabel(date.get());
    date.reset();
    EXPECT_EQ(c.DateLabel(), nullptr);
    c.Tick();  // and a tick after that writes no date anywhere
}

TEST(ClockLabel, AlarmsAndTimeSignalOncePerMinute)
{
    FixedClock clock;
    TClockLabel c;
    std::vector<int> alarms, casts;
    c.OnAlarm = [&](QObject*, int i) { alarms.push_back(i); };
    c.OnTimeCast = [&](QObject*, int i) { casts.push_back(i); };
    ASSERT_TRUE(c.SetEventList({"16:16 お茶", "16:16 もう一度", "16:30"}));
    c.SetTimeCast(TimeCastBit(tc30) | TimeCastBit(tc00));
    for (int s : {0, 20, 59}) {  // two lines at 16:16: the first, once
        clock.now = at(16, 16, s);
        c.Tick();
    }
    EXPECT_EQ(alarms, std::vector<int>{0});
    for (int s : {0, 1, 30, 59}) {  // the half hour: its alarm and tc30, once each
        clock.now = at(16, 30, s);
        c.Tick();
    }
    EXPECT_EQ(alarms, (std::vector<int>{0, 2}));
    EXPECT_EQ(casts, std::vector<int>{6});
    clock.now = at(16, 35, 0);  // a mark not chosen
    c.Tick();
    clock.now = at(17, 0, 0);
    c.Tick();
    EXPECT_EQ(casts, (std::vector<int>{6, 0}));
}

TEST(ClockLabel, EventListRefusesLinesThatAreNoTime)
{
    TClockLabel c;
    Reports reports;
    ASSERT_TRUE(c.SetEventList({"07:00 起床"}));
    for (const char* bad : {"25:00 夜更かし", "12:60", "9:30", "起床"}) {
        EXPECT_FALSE(c.SetEventList({"08:00", bad}));
        EXPECT_EQ(c.EventList(), std::vector<std::string>{"07:00 起床"});
    }
    ASSERT_EQ(reports.messages.size(), 4u);
    EXPECT_EQ(reports.messages[0], "2番目のデータが不正です。\nhh:mm形式で入力し直してください。");
    EXPECT_TRUE(c.SetEventList({}));
}

TEST(ClockLabel, SkinsSizeTheFormAndWrap)
{
    if (!testsupport::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick missing";
    testsupport::TempDir dir;
    // Skins written by another program, named in any case; other files are not skins.
    const std::pair<const char*, const char*> skins[] = {
        {"b.BMP", "60x40"}, {"a.bmp", "50x30"}, {"C.Bmp", "70x20"}};
    for (const auto& [name, size] : skins)
        ASSERT_EQ(testsupport::runCommand("convert", {"-size", size, "xc:#0000ff", "BMP3:" + dir.file(name)})
                      .exitCode, 0);
    testsupport::writeFile(dir.file("notes.txt"), "not a skin");
    testsupport::TempDir empty;

    forms::TForm form;
    form.resize(200, 150);
    auto* c = new TClockLabel(&form);
    TLabel date(&form);
    c->SetDateLabel(&date);
    Reports reports;
    c->SetImgDir(empty.path());
    EXPECT_EQ(c->ImgDir(), "");
    EXPECT_EQ(reports.messages, std::vector<std::string>{TClockLabel::ImgDirError});

    c->SetImgDir(dir.path());
    ASSERT_EQ(c->Skins().size(), 3u);
    EXPECT_EQ(c->Skins()[0], dir.file("a.bmp"));
    EXPECT_EQ(c->Skins()[2], dir.file("C.Bmp"));
    EXPECT_EQ(form.size(), QSize(50, 30));
    c->NextSkin();
    EXPECT_EQ(form.size(), QSize(60, 40));
    c->NextSkin();
    c->NextSkin();  // round to the first
    EXPECT_EQ(c->SkinIndex(), 0);
    c->PrevSkin();  // and back to the last
    EXPECT_EQ(c->SkinIndex(), 2);
    EXPECT_EQ(form.size(), QSize(70, 20));

    // The skin lies behind the controls on the form's face.
    c->hide();
    date.hide();
    const QImage face = form.grab().toImage();
    EXPECT_EQ(controltest::pixel(face, 5, 5), 0xFF0000u);
    controltest::saveShot(face, "ClockSkin", 2);

    TClockLabel loose;  // not on a form: no skins
    loose.SetImgDir(dir.path());
    EXPECT_TRUE(loose.Skins().empty());
}

TEST(ClockLabel, SettingsSectionsAsAnotherReaderSeesThem)
{
    FixedClock clock;
    SettingsFixture settings;
    forms::TForm form;
    form.setGeometry(40, 50, 300, 120);
    auto* c = new TClockLabel(&form);
    auto* date = new TLabel(&form);
    c->SetDateLabel(date);
    c->SetDateStyle(dsGengoW);
    c->move(8, 9);
    c->SetCustomFormat("hh:nn");
    c->SetStyle(tsCustom);
    c->SetTimeCast(TimeCastBit(tc05) | TimeCastBit(tc55));
    ASSERT_TRUE(c->SetEventList({"07:00 起床", "22:30 就寝"}));
    c->SaveToIni();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(settings.path())));  // IniSave is off
    c->SetIniSave(true);
    c->SaveToIni();

    const ParsedIni ini = readWithConfigParser(settings.path());
    std::vector<std::string> names;
    for (const auto& s : ini.sections)
        names.push_back(s.first);
    EXPECT_EQ(names, (std::vector<std::string>{"Window", "Clock", "Image", "Date", "EventList"}));
    EXPECT_EQ(ini.keys("Window")[0], (std::pair<std::string, std::string>{"Top", std::to_string(form.y())}));
    const IniKeys& clockKeys = ini.keys("Clock");
    ASSERT_EQ(clockKeys.size(), 11u);
    EXPECT_EQ(clockKeys[0], (std::pair<std::string, std::string>{"Top", "9"}));
    EXPECT_EQ(clockKeys[6], (std::pair<std::string, std::string>{"Format", "hh:nn"}));
    EXPECT_EQ(clockKeys[7], (std::pair<std::string, std::string>{"Style", "4"}));
    EXPECT_EQ(clockKeys[10], (std::pair<std::string, std::string>{"TimeCast", std::to_string(2 | 2048)}));
    EXPECT_EQ(ini.keys("Date").back(), (std::pair<std::string, std::string>{"DateStyle", "4"}));
    EXPECT_EQ(ini.keys("EventList"),
              (IniKeys{{"1", "07:00 起床"}, {"2", "22:30 就寝"}}));

    // The list is written afresh each time.
    ASSERT_TRUE(c->SetEventList({"06:00"}));
    c->SaveToIni();
    EXPECT_EQ(readWithConfigParser(settings.path()).keys("EventList"), (IniKeys{{"1", "06:00"}}));
}

TEST(ClockLabel, LooksLikeTheMainWindowsClock)
{
    FixedClock clock;
    controltest::Backdrop back([](QImage& img) { img.fill(Qt::black); }, 120, 24);
    auto* c = new TClockLabel(&back);
    c->SetParentFont(false);
    c->Font().SetHeight(-12);
    c->Font().SetColor(gfx::clRed);
    c->SetTransparent(true);
    c->move(4, 4);
    back.show();
    QApplication::processEvents();
    const QImage img = back.grab().toImage();
    EXPECT_TRUE(controltest::inkInside(img, gfx::clRed));
    EXPECT_EQ(controltest::pixel(img, 1, 1), gfx::clBlack);  // see-through around the text
    controltest::saveShot(img, "ClockLabel", 3);
}
