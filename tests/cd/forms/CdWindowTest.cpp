// The CD player window over cue/bin images playing into a memory sound device on a manual
// clock, with scratch settings and a scratch system CD database; the questions are answered
// here and the CDDB window's opening is recorded.
#include "cd/CdTestSupport.h"
#include "cd/libYear.h"
#include "cd/forms/xCD.h"
#include "platform/sound/MemorySoundDevice.h"
#include "shared/SettingsFixture.h"
#include "support/CdImages.h"
#include "tags/libID3Tag.h"
#include "util/MainWindowHost.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include <deque>
#include <filesystem>

using namespace testsupport;

namespace {

struct Question {
    std::string caption, text;
    int defaultButton;
    std::string buttons, icon;
    bool operator==(const Question&) const = default;
};

std::string s(const QLabel* l) { return l->text().toStdString(); }
std::string s(const QLineEdit* e) { return e->text().toStdString(); }

class CdWindowTest : public ::testing::Test {
protected:
    CdWindowTest() { InitGenreList(); }

    std::unique_ptr<TfrmCD> window(const std::string& cue)
    {
        IniWriteString(IniBase, "CDPlayer", "CD_DRIVE", cue);
        auto w = std::make_unique<TfrmCD>(nullptr, sound, clock);
        w->MsgBoxEx = [this](QWidget*, const std::string& c, const std::string& t, int d, const std::string& b,
                             const std::string& i) {
            asked.push_back({c, t, d, b, i});
            const int a = answers.empty() ? 2 : answers.front();
            if (!answers.empty())
                answers.pop_front();
            return a;
        };
        w->OpenCddbWindow = [this] { ++cddbOpened; };
        return w;
    }
    void show(TfrmCD& w)
    {
        w.show();
        QApplication::setActiveWindow(&w);
        QCoreApplication::processEvents();
    }
    // The media identity a disc image gets, and its entry in the system CD database.
    void storeTitles(const std::string& cue, const std::string& artist, const std::string& title,
                     const std::vector<std::string>& tracks)
    {
        IniWriteString(IniBase, "CDPlayer", "CD_DRIVE", cue);
        TCDPlayer p(clock);
        p.SetSoundDevice(sound);
        p.Reopen();
        p.WriteCdPlayerIni(p.GetMediaIdentity(), artist, title, "1998", "J-Pop", "misc", tracks);
    }
    static void key(QWidget* w, int qtKey, const QString& text = {})
    {
        QKeyEvent e(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
        QApplication::sendEvent(w, &e);
    }

    SettingsFixture settings;
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> sound = snd::MemorySoundDevice::create(clock);
    std::vector<Question> asked;
    std::deque<int> answers;
    int cddbOpened = 0;
};

const std::vector<ImageTrack> kTones = {{true, 150, 440}, {true, 113, 675}, {true, 187, 900}};
// Long enough to seek by 10 s inside the first track.
const std::vector<ImageTrack> kLong = {{true, 75 * 25, 440}, {true, 75 * 25, 660}, {true, 75 * 3, 880}};

std::string mmss(uint32_t frames) { return QString::asprintf("%2.2u:%2.2u", frames / 75 / 60, frames / 75 % 60).toStdString(); }

}  // namespace

TEST_F(CdWindowTest, UnknownDiscFillsTheGridAndGoesToCddbWithoutAsking)
{
    const std::string cue = writeCdImage(dir, "tones", kTones);
    auto w = window(cue);
    show(*w);
    EXPECT_EQ(s(w->lblArtist), "Unknown CD");
    EXPECT_EQ(s(w->lblAlbum), "Unknown");
    EXPECT_EQ(s(w->lbGenre), "Genre: ???");
    EXPECT_EQ(s(w->lblTrack), "Track 1 of 3");
    EXPECT_EQ(w->lblAlbum->x(), w->lblArtist->x() + w->lblArtist->width() + 16);
    EXPECT_EQ(cddbOpened, 1);  // after the showing, without a question
    EXPECT_TRUE(asked.empty());

    // Starts and lengths as cd-info reads the sheet.
    const std::vector<uint32_t> at = cdInfoAddresses(cue);
    ASSERT_EQ(w->sgdTrack->RowCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(w->sgdTrack->Cells(0, i), "  " + std::to_string(i + 1) + ".");
        EXPECT_EQ(w->sgdTrack->Cells(1, i), "Track " + std::to_string(i + 1));
        EXPECT_EQ(w->sgdTrack->Cells(2, i), mmss(at[size_t(i) + 1] - at[size_t(i)]));
        EXPECT_EQ(w->sgdTrack->Cells(3, i), mmss(at[size_t(i)]));
    }
    // The disc's clock counts from address 0, the 2 s before track 1 included.
    EXPECT_EQ(s(w->lblTotal), "Total: 00:00 / " + mmss(at.back()));
    EXPECT_EQ(w->sgdTrack->ColWidths(1), w->sgdTrack->width() - 120);

    // The button asks first; No ends there.
    answers = {forms::mrNo, forms::mrYes};
    w->spdCDDBClick(w->spdCDDB);
    w->spdCDDBClick(w->spdCDDB);
    const Question q{"確認", "ＣＤＤＢにアクセスをします。よろしいですか？", 1, "yn", "?"};
    EXPECT_EQ(asked, (std::vector<Question>{q, q}));
    EXPECT_EQ(cddbOpened, 2);
}

TEST_F(CdWindowTest, KnownDiscShowsItsTitlesInTheColumnColours)
{
    std::vector<ImageTrack> tracks;
    std::vector<std::string> titles;
    const char* names[] = {"春の歌", "夏の海", "秋の空", "冬の星", "朝の光", "夜の街", "風の道", "雨の日", "雪の花", "月の舟", "星の雫", "旅の終わり"};
    for (int i = 0; i < 12; ++i) {
        tracks.push_back({true, uint32_t(75 * (2 + i % 3)), 300 + 40 * i});
        titles.push_back(names[i]);
    }
    const std::string cue = writeCdImage(dir, "twelve", tracks);
    storeTitles(cue, "山田 花子", "四季の歌", titles);
    auto w = window(cue);
    show(*w);
    EXPECT_EQ(cddbOpened, 0);
    EXPECT_EQ(s(w->lblArtist), "Artist: 山田 花子");
    EXPECT_EQ(s(w->lblAlbum), "Album: 四季の歌");
    EXPECT_EQ(s(w->lbGenre), "Genre: J-Pop");
    EXPECT_EQ(s(w->lblSerial), QString::asprintf("SN: %06X", w->CDPlayer1->GetMediaIdentity()).toStdString());
    EXPECT_EQ(w->sgdTrack->Cells(1, 11), "旅の終わり");
    EXPECT_EQ(w->sgdTrack->Cells(0, 11), " 12.");

    const QImage img = w->grab().toImage();
    img.save(cdtest::screenshotDir() + "/cd-player-12-tracks.png");
    // Each column's text colour appears in its column, and the selected row is outlined.
    const QRect grid = w->sgdTrack->geometry();
    int left = grid.left();
    for (int col = 0; col < 4; ++col) {
        SCOPED_TRACE(col);
        const int width = w->sgdTrack->ColWidths(col);
        const gfx::TColor c = TfrmCD::ColumnColors[col];
        const QRgb want = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
        bool found = false;
        for (int y = grid.top(); y < grid.top() + 15 * 12 && !found; ++y)
            for (int x = left; x < left + width && !found; ++x)
                found = img.pixel(x, y) == want;
        EXPECT_TRUE(found);
        left += width;
    }
    const QRgb outline = qRgb(0x80, 0x80, 0x80);
    EXPECT_EQ(img.pixel(grid.left(), grid.top() + 5), outline);
    EXPECT_EQ(img.pixel(grid.left() + 100, grid.top()), outline);
    EXPECT_EQ(img.pixel(grid.left() + 100, grid.top() + 14), outline);
    EXPECT_NE(img.pixel(grid.left() + 100, grid.top() + 15), outline);  // row 2 has none

    // The repeat box's tick shows on the dark panel: checking it brings light pixels into the box.
    auto lightInBox = [&] {
        const gfx::TRect b = w->chkRepeart->BoxRect();
        const QImage box = w->chkRepeart->grab(QRect(b.Left, b.Top, b.Width(), b.Height())).toImage();
        int n = 0;
        for (int y = 0; y < box.height(); ++y)
            for (int x = 0; x < box.width(); ++x)
                n += qGray(box.pixel(x, y)) > 180;
        return n;
    };
    const int unticked = lightInBox();
    w->chkRepeart->SetChecked(true);
    EXPECT_GT(lightInBox(), unticked + 5);
    w->chkRepeart->grab().save(cdtest::screenshotDir() + "/cd-player-repeat.png");
    w->chkRepeart->SetChecked(false);

    w->set_CDInfoClick();
    QCoreApplication::processEvents();
    w->grab().save(cdtest::screenshotDir() + "/cd-player-edit-mode.png");
    EXPECT_EQ(s(w->edtInp2), "四季の歌");
    EXPECT_EQ(w->sgdTitle->Cells(1, 0), "春の歌");
    EXPECT_EQ(QApplication::focusWidget(), w->edtTitle);  // every disc field is filled
    EXPECT_EQ(s(w->edtTitle), "春の歌");
}

TEST_F(CdWindowTest, NineteenTracksMakeRoomForTheScrollBar)
{
    for (int n : {18, 19}) {
        SCOPED_TRACE(n);
        auto w = window(writeCdImage(dir, "n" + std::to_string(n), std::vector<ImageTrack>(size_t(n), {true, 75, 440})));
        show(*w);
        EXPECT_EQ(w->sgdTrack->RowCount(), n);
        EXPECT_EQ(w->sgdTrack->ColWidths(1), w->sgdTrack->width() - 120 - (n >= 19 ? 22 : 0));
    }
}

TEST_F(CdWindowTest, TimerTextsTransportAndRepeat)
{
    auto w = window(writeCdImage(dir, "long", kLong));
    show(*w);
    TfrmCD& f = *w;
    TCDPlayer& p = *f.CDPlayer1;
    f.sbPlayClick();
    clock.advance(12000);
    f.Timer1Timer();
    EXPECT_EQ(s(f.lblTrack), "Track: 1 of 3");
    EXPECT_EQ(s(f.lblTime), "Time: 00:12 / 00:25");
    EXPECT_EQ(s(f.lblTotal), "Total: 00:14 / 00:55");  // the disc's clock counts the 2 s before track 1
    EXPECT_EQ(f.Gauge1->Position(), p.GetTrackElapsedMs());
    EXPECT_EQ(f.Gauge2->Position(), p.GetPositionMs());

    struct Step {
        const char* name;
        std::function<void()> act;
        int track, elapsedMs;
    };
    int k = 0;
    const std::vector<Step> steps = {
        {"step", [&] { f.sbStepClick(); }, 1, 22000},
        {"back", [&] { f.sbBackClick(); }, 1, 12000},
        {"Left", [&] { k = forms::VK_LEFT; f.sgdTrackKeyDown(k); }, 1, 2000},
        {"Right", [&] { k = forms::VK_RIGHT; f.sgdTrackKeyDown(k); }, 1, 12000},
        {"gauge click at the middle", [&] { f.lblGaugeMouseDown(f.lblGauge->width() / 2); }, 1, 12000},
        {"double click on row 2", [&] { f.sgdTrack->SetRow(1); f.sgdTrackDblClick(); }, 2, 0},
        {"Enter on row 3", [&] { f.sgdTrack->SetRow(2); k = forms::VK_RETURN; f.sgdTrackKeyDown(k); }, 3, 0},
        {"previous", [&] { f.sbPrevClick(); }, 2, 0},
        {"next", [&] { f.sbNextClick(); }, 3, 0},
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.name);
        st.act();
        EXPECT_EQ(p.GetMode(), cdmPlaying);
        EXPECT_EQ(p.GetCurrentTrack(), st.track);
        EXPECT_NEAR(p.GetTrackElapsedMs(), st.elapsedMs, 1000);
    }

    // The last track runs out between two ticks: without repeat the display shows the end once.
    clock.advance(4000);
    EXPECT_EQ(p.GetMode(), cdmStopped);
    f.Timer1Timer();
    EXPECT_EQ(f.Gauge2->Position(), f.Gauge2->Max());
    EXPECT_EQ(f.PlayState, 0);
    EXPECT_EQ(p.GetMode(), cdmStopped);
    // With repeat, track 1 plays again.
    f.chkRepeart->SetChecked(true);
    f.sgdTrack->SetRow(2);
    f.sgdTrackDblClick();
    clock.advance(4000);
    f.Timer1Timer();
    EXPECT_EQ(p.GetMode(), cdmPlaying);
    EXPECT_EQ(p.GetCurrentTrack(), 1);
    EXPECT_EQ(f.sgdTrack->Row(), 0);
    f.sbStopClick();
}

TEST_F(CdWindowTest, ACloseDuringASeekWaitsForIt)
{
    auto w = window(writeCdImage(dir, "long", kLong));
    show(*w);
    TfrmCD& f = *w;
    f.sbPlayClick();
    clock.advance(2000);
    f.Timer1Timer();
    // While the step waits, a close and a second step arrive: the step is refused, the close
    // is carried out once the first step has played on.
    int nested = 0;
    QTimer::singleShot(0, &f, [&] {
        f.sbStepClick();
        ++nested;
        EXPECT_FALSE(f.close());
        EXPECT_TRUE(f.isVisible());
    });
    f.sbStepClick();
    EXPECT_EQ(nested, 1);
    EXPECT_NEAR(f.CDPlayer1->GetTrackElapsedMs(), 12000, 1000);
    EXPECT_EQ(f.CDPlayer1->GetMode(), cdmPlaying);
    QCoreApplication::processEvents();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.CDPlayer1->GetMode(), cdmStopped);
}

TEST_F(CdWindowTest, RemovalArrivalAndTheTray)
{
    const std::string cue = writeCdImage(dir, "tones", kTones);
    auto w = window(cue);
    show(*w);
    w->CDPlayer1->Watcher().setDrives({cue});
    auto poll = [&] {
        w->CDPlayer1->Watcher().poll();
        QCoreApplication::processEvents();
    };
    poll();
    EXPECT_EQ(w->sbEject->Hint(), "ＣＤドアオープン");
    w->sbEjectClick();
    EXPECT_EQ(w->sbEject->Hint(), "ＣＤドアクローズ");
    poll();
    EXPECT_TRUE(w->Removed);
    const std::vector<std::pair<QLabel*, std::string>> empty = {
        {w->lbGenre, "Genre:"}, {w->lblAlbum, "Album:"}, {w->lblArtist, "Artist:"}, {w->lblTrack, "Track: 0 of 0"},
        {w->lblSerial, "SN:"}, {w->lblTime, "Time: 00:00 / 00:00"}, {w->lblTotal, "Total: 00:00 / 00:00"}};
    for (const auto& [label, text] : empty)
        EXPECT_EQ(s(label), text);
    EXPECT_EQ(w->sgdTrack->Cells(0, 0), "");
    EXPECT_FALSE(w->sbPlay->Enabled());

    w->sbEjectClick();
    EXPECT_EQ(w->sbEject->Hint(), "ＣＤドアオープン");
    poll();
    QCoreApplication::processEvents();  // the CDDB window's turn
    EXPECT_FALSE(w->Removed);
    EXPECT_EQ(s(w->lblArtist), "Unknown CD");
    EXPECT_EQ(w->sgdTrack->RowCount(), 3);
    EXPECT_TRUE(w->sbPlay->Enabled());
    EXPECT_EQ(cddbOpened, 2);  // the first showing and the new disc while the window shows
}

// A sheet that names a file that is not there, or names other files than its stem: the
// window shows no disc and says which file is missing; once the file is there, the disc
// plays, and the line goes.
TEST_F(CdWindowTest, ImageWithAMissingFileSaysWhichFile)
{
    writeCdImage(dir, "tones", kTones);  // tones.bin: what the sheet below must not play
    const std::string cue = dir.file("tones.cue");
    writeFile(cue, "REM written by a ripper\nFILE \"Disc 1.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                   "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n");
    auto w = window(cue);
    show(*w);
    EXPECT_FALSE(w->DiscPresent);
    EXPECT_EQ(s(w->lblArtist), "Artist:");
    EXPECT_EQ(s(w->lblTrack), "Track: 0 of 0");
    EXPECT_EQ(w->sgdTrack->Cells(0, 0), "");
    EXPECT_FALSE(w->sbPlay->Enabled());
    EXPECT_TRUE(w->lblStatus->isVisible());
    EXPECT_EQ(s(w->lblStatus), "ディスクイメージのファイルが見つかりません: Disc 1.bin");
    EXPECT_EQ(cddbOpened, 0);
    w->grab().save(cdtest::screenshotDir() + "/cd-player-missing-file.png");

    std::filesystem::copy_file(dir.file("tones.bin"), dir.file("Disc 1.bin"));
    w->CDPlayer1AfterInsert();
    EXPECT_TRUE(w->DiscPresent);
    EXPECT_EQ(w->sgdTrack->RowCount(), 2);
    EXPECT_EQ(w->sgdTrack->Cells(2, 1), mmss(113 + 187 - 1));
    EXPECT_FALSE(w->lblStatus->isVisible());

    // A file cut shorter than the sheet's last index, and a sheet with data tracks only.
    std::filesystem::resize_file(dir.file("Disc 1.bin"), 100 * 2352);
    w->CDPlayer1AfterInsert();
    EXPECT_FALSE(w->DiscPresent);
    EXPECT_EQ(s(w->lblTrack), "Track: 0 of 0");
    EXPECT_EQ(w->sgdTrack->Cells(0, 0), "");
    EXPECT_EQ(s(w->lblStatus), "ディスクイメージのファイルが途中で切れています: Disc 1.bin");
    writeFile(cue, "FILE \"Disc 1.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
    w->CDPlayer1AfterInsert();
    EXPECT_EQ(s(w->lblStatus), "音楽トラックがありません: tones.cue");
}

// The main window as a recording stand-in: only the window to centre over matters here.
struct RecordingHost : TMainWindowHost {
    QWidget* main = nullptr;
    QWidget* MainWindow() const override { return main; }
    void SetListSelectedTexts(int, const std::array<std::string, 6>&) override {}
    std::vector<TPlaylistRow> PlaylistRows() const override { return {}; }
    bool HoldForTagWrite(const std::string&) override { return false; }
    void ResumeAfterTagWrite() override {}
};

TEST_F(CdWindowTest, CentresOverTheMainWindow)
{
    QWidget main;
    main.setGeometry(100, 50, 1000, 700);
    RecordingHost host;
    host.main = &main;
    RegisterMainWindowHost(&host);
    auto w = window(writeCdImage(dir, "tones", kTones));
    RegisterMainWindowHost(nullptr);
    const QRect frame = main.frameGeometry();
    EXPECT_EQ(w->x(), frame.left() + (frame.width() - w->width()) / 2);
    EXPECT_EQ(w->y(), frame.top() + (frame.height() - w->height()) / 2);
}

TEST(NormalizeDate, JoinsTheNumbersWithSingleSlashes)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1998-10-03", "1998/10/03"}, {"1998..10", "1998/10"}, {"/1998/", "1998"},
        {"　1998 ", "1998"}, {"", ""}, {"-", ""}, {"1998年10月", "1998/10"}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(NormalizeDate(in), out) << in;
}

TEST_F(CdWindowTest, EditModeInputsAndNavigation)
{
    auto w = window(writeCdImage(dir, "tones", kTones));
    show(*w);
    TfrmCD& f = *w;
    f.set_CDInfoClick();
    QCoreApplication::processEvents();
    ASSERT_TRUE(f.EditMode());
    EXPECT_EQ(QApplication::focusWidget(), f.edtInp1);  // the disc's fields are empty

    // The year takes digits, "/" .. "9" and spaces only.
    for (const char* typed : {"1", "a", "-", "9", ".", "/", "8"})
        key(f.edtInp1, 0, QString::fromLatin1(typed));
    EXPECT_EQ(s(f.edtInp1), "19/8");
    f.edtInp1->setText(QStringLiteral("19-8"));
    key(f.edtInp1, Qt::Key_Up);  // at the first field: stays, but leaves the text tidy
    EXPECT_EQ(QApplication::focusWidget(), f.edtInp1);
    EXPECT_EQ(s(f.edtInp1), "19/8");
    key(f.edtInp1, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), f.edtInp2);
    f.edtInp2->setText(QStringLiteral("　四季の歌　"));
    key(f.edtInp2, Qt::Key_Return);
    EXPECT_EQ(s(f.edtInp2), "四季の歌");
    EXPECT_EQ(QApplication::focusWidget(), f.edtInp3);
    key(f.edtInp3, Qt::Key_Down);
    f.edtInp4->setFocus();
    f.cmbCategry->setFocus();  // picks nothing: "" is the list's first name
    f.cmbCategry->setCurrentIndex(5);
    emit f.cmbCategry->activated(5);
    EXPECT_EQ(f.edtInp4->text(), f.cmbCategry->itemText(5));
    f.edtInp4->setFocus();
    key(f.edtInp4, Qt::Key_Down);  // into the title grid, on row 0
    EXPECT_EQ(QApplication::focusWidget(), f.edtTitle);

    // The title editor: Down and Enter store and move on, stopping at the last row; Up at row 0.
    f.edtTitle->setText(QStringLiteral(" 一 "));
    key(f.edtTitle, Qt::Key_Up);
    EXPECT_EQ(f.sgdTitle->Row(), 0);
    key(f.edtTitle, Qt::Key_Down);
    f.edtTitle->setText(QStringLiteral("二"));
    key(f.edtTitle, Qt::Key_Return);
    key(f.edtTitle, Qt::Key_Return);
    EXPECT_EQ(f.sgdTitle->Row(), 2);
    EXPECT_EQ(f.sgdTitle->Cells(1, 0), "一");
    EXPECT_EQ(f.sgdTitle->Cells(1, 1), "二");
    const gfx::TRect row2 = f.sgdTitle->CellRect(1, 2);
    EXPECT_EQ(f.pnlTitle->geometry().center().y(), (row2.Top + row2.Bottom - 1) / 2);
}

TEST_F(CdWindowTest, EditModeAsksBeforeStoringOrDiscarding)
{
    const std::string cue = writeCdImage(dir, "tones", kTones);
    auto w = window(cue);
    show(*w);
    TfrmCD& f = *w;
    const std::string db = TCDPlayer::CdPlayerIniBase() + ".ini";
    const std::string section = QString::asprintf("%06X", f.CDPlayer1->GetMediaIdentity()).toStdString();
    const Question store{"ＣＤ情報", "データが編集されています！！\r登録してもよろしいですか？", 1, "ync", "?"};
    const Question quit{"ＣＤ情報", "データが編集されています！！\r終了してもよろしいですか？", 2, "yn", "?"};
    auto edit = [&] {
        f.set_CDInfoClick();
        f.edtInp2->setText(QStringLiteral("四季"));
        f.sgdTitle->SetCells(1, 1, "夏");
    };

    // Without a change, Escape leaves at once; the window's own close is refused meanwhile.
    f.set_CDInfoClick();
    EXPECT_FALSE(f.close());
    int esc = forms::VK_ESCAPE;
    f.FormKeyDown(esc);
    EXPECT_FALSE(f.EditMode());
    EXPECT_TRUE(asked.empty());

    struct Case {
        const char* name;
        controls::TRbButton* button;
        int answer;
        Question question;
        bool staysInEditMode, stored;
    };
    const std::vector<Case> cases = {
        {"OK, Cancel", f.spdOk, forms::mrCancel, store, true, false},
        {"OK, No", f.spdOk, forms::mrNo, store, false, false},
        {"Escape, No", f.spdCan, forms::mrNo, quit, true, false},
        {"Escape, Yes", f.spdCan, forms::mrYes, quit, false, false},
        {"OK, Yes", f.spdOk, forms::mrYes, store, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!f.EditMode())
            edit();
        asked.clear();
        answers = {c.answer};
        if (c.button == f.spdCan) {
            int k = forms::VK_ESCAPE;
            f.FormKeyDown(k);
        } else {
            f.spdOkClick(c.button);
        }
        EXPECT_EQ(asked, std::vector<Question>{c.question});
        EXPECT_EQ(f.EditMode(), c.staysInEditMode);
        EXPECT_EQ(QFile::exists(QString::fromStdString(db)) && readWithConfigParser(db).has(section), c.stored);
    }
    const IniKeys keys = readWithConfigParser(db).keys(section);
    const auto value = [&](const std::string& k) {
        for (const auto& [key, v] : keys)
            if (key == k)
                return v;
        return std::string("(missing)");
    };
    EXPECT_EQ(value("title"), "四季");
    EXPECT_EQ(value("1"), "夏");
    EXPECT_EQ(s(f.lblAlbum), "Album: 四季");
    EXPECT_EQ(f.sgdTrack->Cells(1, 1), "夏");
    EXPECT_EQ(f.sgdTrack->Cells(1, 0), "Track 1");

    // What was stored is there after a restart.
    w.reset();
    auto again = window(cue);
    show(*again);
    EXPECT_EQ(s(again->lblAlbum), "Album: 四季");
    EXPECT_EQ(again->sgdTrack->Cells(1, 1), "夏");
}

TEST_F(CdWindowTest, RepeatIsStoredAsMinusOne)
{
    const std::string cue = writeCdImage(dir, "tones", kTones);
    {
        auto w = window(cue);
        show(*w);
        EXPECT_FALSE(w->chkRepeart->Checked());
        w->chkRepeart->SetChecked(true);
        EXPECT_TRUE(w->close());
    }
    const IniKeys keys = readWithConfigParser(settings.path()).keys("CDPlayer");
    EXPECT_NE(std::find(keys.begin(), keys.end(), std::pair<std::string, std::string>("CD_REPEAT", "-1")), keys.end());
    auto again = window(cue);
    EXPECT_TRUE(again->chkRepeart->Checked());
}
