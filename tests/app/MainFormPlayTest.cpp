// The main window's player driven through its handlers, on the memory sound device with its
// manual clock and a playlist of WAV and MP3 files made by sox and lame: what plays after a
// double click, a single click and the play button, list play with and without repeat,
// shuffle, seeking with the gauge, stepping, pause, frequency keys and effects.
#include "ListColumns.h"
#include "MemoryPlayer.h"
#include "shared/SettingsFixture.h"

#include "app/Globals.h"
#include "app/MainForm.h"
#include "app/libMusic.h"
#include "cd/forms/xCD.h"
#include "cd/forms/xVolume.h"
#include "cd/forms/xWAVE.h"
#include "platform/wave/TestWave.h"
#include "support/CdImages.h"
#include "util/MainWindowHost.h"
#include "platform/sound/MemorySoundDevice.h"
#include "platform/sound/NullSoundDevice.h"
#include "support/AudioFixtures.h"
#include "tags/libID3Tag.h"
#include "support/QtMessages.h"
#include "support/WaitFor.h"
#include "tests/visual/SurfaceRig.h"

#include <gtest/gtest.h>

#include <tuple>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QtCore/qtestsupport_core.h>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

using namespace testsupport;

namespace {

struct Song {
    std::string title, path;
};

// Four one-second songs (WAV and MP3 in turn) and one of four seconds, made once.
const std::vector<Song>& songs()
{
    static TempDir dir;
    static const std::vector<Song> made = [] {
        std::vector<Song> s;
        const char* titles[] = {"さくら", "Summer Rain", "星空", "Blue Note"};
        for (int i = 0; i < 4; ++i) {
            const std::string name = "song" + std::to_string(i);
            const std::string path = i % 2 == 0 ? makePcm(dir, name + ".wav", 44100, 2, 16, 1.0)
                                                : makeMp3(dir, name + ".mp3", 44100, 2, 1.0, {"-b", "128"});
            s.push_back({titles[i], path});
        }
        s.push_back({"長い曲", makePcm(dir, "long.wav", 22050, 2, 16, 4.0)});
        return s;
    }();
    return made;
}

// A row as the lists hold it: empty caption, then "No.", Title, Artist, Album, Year, Genre,
// Track and the full path.
void addSongRow(TSortListView* list, const Song& song)
{
    auto* item = new QTreeWidgetItem(list);
    const std::string no = std::to_string(list->topLevelItemCount());
    const std::string cells[] = {no, song.title, "Artist", "Album", "2007", "Pop", "1", song.path};
    for (int c = 0; c < 8; ++c)
        item->setText(c + 1, QString::fromStdString(cells[c]));
}

// A key pressed and released on a widget, as the keyboard delivers it to the focused one.
void keyClick(QWidget* to, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(to, &release);
}

// A double click with the left button at a point of a widget, as the mouse delivers it.
void doubleClick(QWidget* on, QPoint at)
{
    const QPointF local(at), global(on->mapToGlobal(at));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, local, global, Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(on, &e);
    }
}

void selectOnly(QTreeWidget* list, int row)
{
    list->clearSelection();
    list->topLevelItem(row)->setSelected(true);
}

// The memory player with the first playlistRows songs in its playlist.
struct PlayerRig : MemoryPlayer {
    explicit PlayerRig(int playlistRows = 4)
    {
        for (int i = 0; i < playlistRows; ++i)
            addSongRow(w->lstFile, songs()[size_t(i)]);
        // As the commands that fill the playlist do.
        w->spdPlayList->setEnabled(playlistRows > 0);
        w->lstFile->clearSelection();
    }
    // Plays `ms` more milliseconds in steps of 100 ms with a display tick after each.
    void run(int64_t ms)
    {
        for (int64_t done = 0; done < ms && w->DxSound; done += 100) {
            clock.advance(std::min<int64_t>(100, ms - done));
            QCoreApplication::processEvents();
            w->timDxTimerTimer();
        }
    }
    template <class F>
    void runUntil(F done, int64_t limitMs = 10000)
    {
        for (int64_t t = 0; t < limitMs && !done(); t += 100)
            run(100);
    }
    bool sounding()
    {
        auto bytes = device->takeRecorded();
        std::vector<int16_t> s(bytes.size() / 2);
        std::memcpy(s.data(), bytes.data(), s.size() * 2);
        return std::any_of(s.begin(), s.end(), [](int16_t v) { return v != 0; });
    }
    int64_t positionMs() { return engine().Channel().GetPosition(); }
};

}  // namespace

TEST(MainFormPlay, DoubleClickPlaysTheRowsFileAndAMissingFileOnlyShowsItsTitle)
{
    PlayerRig rig;
    TfrmMain& w = *rig.w;
    selectOnly(w.lstFile, 1);
    w.lstFileDblClick();
    EXPECT_EQ(rig.engine().FileNamme(), songs()[1].path);
    EXPECT_EQ(rig.engine().PlayStatus(), "play");
    EXPECT_EQ(w.lblMusic->text().toStdString(), "Summer Rain");
    EXPECT_EQ(w.lblPlay->text().toStdString(), "[ Playing ]");
    EXPECT_EQ(w.lstMP3->property("Tag").toInt(), 0);
    rig.run(300);
    EXPECT_TRUE(rig.sounding());
    EXPECT_GT(w.Gauge1->Position(), 0);
    EXPECT_NE(w.lblDuration->text().toStdString().find(" / 00:01"), std::string::npos);

    // Another row stops this one and plays that one instead.
    selectOnly(w.lstFile, 2);
    w.lstFileDblClick();
    EXPECT_EQ(rig.engine().FileNamme(), songs()[2].path);
    EXPECT_TRUE(rig.engine().IsPlaying());

    addSongRow(w.lstFile, {"消えた曲", songs()[0].path + ".gone.wav"});
    selectOnly(w.lstFile, 4);
    w.lstFileDblClick();
    EXPECT_EQ(w.lblMusic->text().toStdString(), "消えた曲");
    EXPECT_EQ(rig.engine().FileNamme(), songs()[2].path);   // nothing else happened
    EXPECT_TRUE(rig.engine().IsPlaying());

    // No selected row: nothing at all.
    w.lstFile->clearSelection();
    w.lstMP3DblClick();
    w.lstFileDblClick();
    EXPECT_EQ(rig.engine().FileNamme(), songs()[2].path);
}

// Names as unzipped from old archives (Latin-1, Shift-JIS bytes) and names full of signs:
// the list keeps each one's bytes, so its row plays that very file, and a name differing
// only in an odd byte is another file.
TEST(MainFormPlay, EveryRowPlaysTheFileOfItsOwnNameWhateverItsBytes)
{
    PlayerRig rig(0);
    TfrmMain& w = *rig.w;
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"caf\xe9.wav", "caf\xe8.wav"},
        {"\x83\x65\x83\x58\x83\x67.wav", "\x83\x65\x83\x58\x83\x68.wav"},
        {"-a #%&'\" b.WAV", "-a #%&'\" c.WAV"},
    };
    std::vector<std::string> paths;
    for (const auto& c : cases) {
        paths.push_back(dir.file(c.first));
        std::filesystem::copy_file(songs()[0].path, paths.back());
    }
    FillList(w.Library, w.lstFile, paths, false);   // kept in this order
    ASSERT_EQ(w.lstFile->topLevelItemCount(), int(cases.size()));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        selectOnly(w.lstFile, int(i));
        w.lstFileDblClick();
        EXPECT_EQ(rig.engine().FileNamme(), paths[i]) << i;
        EXPECT_TRUE(rig.engine().IsPlaying()) << i;
        EXPECT_TRUE(w.IsCurrentFile(paths[i])) << i;
        EXPECT_FALSE(w.IsCurrentFile(dir.file(cases[i].second))) << i;
    }
}

TEST(MainFormPlay, ASingleClickWhileStoppedIsWhatThePlayButtonOpensOnce)
{
    PlayerRig rig;
    TfrmMain& w = *rig.w;
    selectOnly(w.lstFile, 2);   // the selection change proposes the row
    EXPECT_EQ(w.PendingFile, songs()[2].path);
    EXPECT_EQ(w.lblMusic->text().toStdString(), "星空");
    w.sbPlayClick();
    EXPECT_EQ(rig.engine().FileNamme(), songs()[2].path);
    EXPECT_TRUE(rig.engine().IsPlaying());
    EXPECT_TRUE(w.PendingFileOpened);
    rig.run(300);
    EXPECT_TRUE(rig.sounding());

    w.sbStopClick();
    EXPECT_EQ(rig.engine().PlayStatus(), "stop");
    EXPECT_EQ(w.lblPlay->text().toStdString(), "Play List :");
    // Once opened, a click no longer proposes; play replays the engine's file.
    selectOnly(w.lstFile, 0);
    EXPECT_EQ(w.PendingFile, songs()[2].path);
    w.sbPlayClick();
    EXPECT_EQ(rig.engine().FileNamme(), songs()[2].path);
    EXPECT_TRUE(rig.engine().IsPlaying());
}

TEST(MainFormPlay, ListPlayRunsToTheEndAndStopsOrWrapsWithRepeat)
{
    PlayerRig rig(3);
    TfrmMain& w = *rig.w;
    w.spdPlayListClick();
    EXPECT_TRUE(rig.engine().ListPlay());
    EXPECT_TRUE(w.PendingFileOpened);
    EXPECT_EQ(rig.engine().FileNamme(), songs()[0].path);
    EXPECT_TRUE(w.timList.Enabled());
    std::vector<std::string> heard{rig.engine().FileNamme()};
    rig.runUntil([&] {
        if (rig.engine().FileNamme() != heard.back())
            heard.push_back(rig.engine().FileNamme());
        return !rig.engine().IsPlaying();
    });
    EXPECT_EQ(heard, (std::vector<std::string>{songs()[0].path, songs()[1].path, songs()[2].path}));
    EXPECT_EQ(rig.engine().PlayStatus(), "stop");
    EXPECT_EQ(rig.engine().ListPosition(), 3);   // the count
    EXPECT_FALSE(w.timList.Enabled());

    // With repeat the list goes round to its first row.
    w.chkRepeart->SetChecked(true);
    w.spdPlayListClick();
    rig.runUntil([&] { return rig.engine().ListPosition() == 2; });
    rig.runUntil([&] { return rig.engine().ListPosition() != 2; });
    EXPECT_TRUE(rig.engine().IsPlaying());
    EXPECT_EQ(rig.engine().ListPosition(), 0);
    EXPECT_EQ(rig.engine().FileNamme(), songs()[0].path);
    EXPECT_EQ(w.lblMusic->text().toStdString(), "さくら");
    EXPECT_TRUE(w.lstFile->topLevelItem(0)->isSelected());
}

TEST(MainFormPlay, DuringListPlayAPlaylistRowMovesTheListAndAMusicListRowEndsIt)
{
    PlayerRig rig(4);
    TfrmMain& w = *rig.w;
    addSongRow(w.lstMP3, songs()[4]);
    w.spdPlayListClick();
    rig.run(300);
    // Forward to row 2, which plays; the next track is row 3.
    selectOnly(w.lstFile, 2);
    w.lstFileDblClick();
    EXPECT_TRUE(rig.engine().ListPlay());
    EXPECT_EQ(rig.engine().ListPosition(), 2);
    EXPECT_EQ(rig.engine().FileNamme(), songs()[2].path);
    rig.runUntil([&] { return rig.engine().ListPosition() != 2; });
    EXPECT_EQ(rig.engine().ListPosition(), 3);
    EXPECT_EQ(rig.engine().FileNamme(), songs()[3].path);
    EXPECT_EQ(w.lblMusic->text().toStdString(), "Blue Note");
    // Back to row 1, then on to row 2 again.
    selectOnly(w.lstFile, 1);
    w.lstFileDblClick();
    EXPECT_EQ(rig.engine().ListPosition(), 1);
    rig.runUntil([&] { return rig.engine().ListPosition() != 1; });
    EXPECT_EQ(rig.engine().FileNamme(), songs()[2].path);

    selectOnly(w.lstMP3, 0);
    w.lstMP3DblClick();
    EXPECT_FALSE(rig.engine().ListPlay());
    EXPECT_EQ(rig.engine().FileNamme(), songs()[4].path);
    EXPECT_TRUE(rig.engine().IsPlaying());
    EXPECT_EQ(w.lstMP3->property("Tag").toInt(), 1);
}

// List play moves the playlist's selection on while a question is open; the command acts on
// the rows chosen when it started, whichever row the selection has reached.
TEST(MainFormPlay, ARowRemovedDuringListPlayIsTheOneChosen)
{
    PlayerRig rig(4);
    TfrmMain& w = *rig.w;
    w.spdPlayListClick();
    for (auto [command, rows] : {std::pair{&TfrmMain::do_DelListClick, 3}, std::pair{&TfrmMain::do_DelListAllClick, 0}}) {
        w.MsgBoxEx = [&](QWidget*, const std::string&, const std::string&, int, const std::string&, const std::string&) {
            if (rig.engine().ListPlay()) {
                const int from = rig.engine().ListPosition();
                rig.runUntil([&] { return rig.engine().ListPosition() != from; });
                EXPECT_TRUE(w.lstFile->topLevelItem(from + 1)->isSelected());
            }
            return 6;
        };
        selectOnly(w.lstFile, 0);
        w.PopupMenu3Popup();
        (w.*command)();
        std::vector<std::string> left;
        for (int i = 0; i < w.lstFile->topLevelItemCount(); ++i)
            left.push_back(w.lstFile->topLevelItem(i)->text(2).toStdString());
        EXPECT_EQ(left.size(), size_t(rows));
        if (rows == 3) {
            EXPECT_EQ(left, (std::vector<std::string>{"Summer Rain", "星空", "Blue Note"}));
        }
        EXPECT_FALSE(rig.engine().ListPlay());
        for (int i = 0; i < 4; ++i)
            addSongRow(w.lstFile, songs()[size_t(i)]);
        w.spdPlayListClick();
    }
}

TEST(MainFormPlay, ShuffleKeepsEveryRowOnceAndReachesEveryOrder)
{
    PlayerRig rig(4);
    TfrmMain& w = *rig.w;
    const auto before = columnTexts(w.lstFile, 8);
    std::set<std::vector<std::string>> orders;
    // 1000 shuffles miss one of the 24 orders with a chance near 1e-17 (200 missed one in
    // about 170 runs).
    for (int i = 0; i < 1000; ++i) {
        w.do_ShuffleClick();
        auto now = columnTexts(w.lstFile, 8);
        orders.insert(now);
        std::sort(now.begin(), now.end());
        auto sortedBefore = before;
        std::sort(sortedBefore.begin(), sortedBefore.end());
        ASSERT_EQ(now, sortedBefore);
    }
    // 24 orders of four rows, each with chance 1/24 per shuffle.
    EXPECT_EQ(orders.size(), 24u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(w.lstFile->topLevelItem(i)->text(1).toInt(), i + 1);   // renumbered

    // Shuffling during list play stops it first.
    w.spdPlayListClick();
    ASSERT_TRUE(rig.engine().ListPlay());
    w.do_ShuffleClick();
    EXPECT_FALSE(rig.engine().ListPlay());
    EXPECT_EQ(rig.engine().PlayStatus(), "stop");
}

TEST(MainFormPlay, ShuffleOfTwoRowsCanSwapThemAndOfOneRowDoesNothing)
{
    PlayerRig rig(2);
    TfrmMain& w = *rig.w;
    std::map<std::string, int> firsts;
    for (int i = 0; i < 60; ++i) {
        w.do_ShuffleClick();
        ++firsts[columnTexts(w.lstFile, 8)[0]];
    }
    EXPECT_EQ(firsts.size(), 2u);
    delete w.lstFile->takeTopLevelItem(1);
    w.do_ShuffleClick();
    EXPECT_EQ(columnTexts(w.lstFile, 8).size(), 1u);
}

TEST(MainFormPlay, TheGaugeSeeksWhereItIsClickedAndStaysWithinTheTrack)
{
    PlayerRig rig(0);
    TfrmMain& w = *rig.w;
    addSongRow(w.lstFile, songs()[4]);   // four seconds
    selectOnly(w.lstFile, 0);
    w.lstFileDblClick();
    const int width = w.Gauge1->width();
    ASSERT_EQ(width, 251);
    w.Gauge1MouseDown(forms::mbLeft, forms::ssLeft, width / 2, 5);
    EXPECT_NEAR(rig.positionMs(), 4000 * (width / 2) / width, 30);
    EXPECT_TRUE(rig.engine().IsPlaying());
    // Only a plain left click seeks.
    w.Gauge1MouseDown(forms::mbLeft, forms::ssLeft | forms::ssShift, width / 4, 5);
    w.Gauge1MouseDown(forms::mbRight, forms::ssRight, width / 4, 5);
    EXPECT_NEAR(rig.positionMs(), 2000, 30);
    // A drag past the left end holds at the start; moving without the button only sets the hint.
    w.Gauge1MouseMove(forms::ssLeft, -40, 5);
    EXPECT_LT(rig.positionMs(), 30);
    EXPECT_EQ(w.Gauge1->Hint(), "0%");
    w.Gauge1MouseMove(0, 3 * width / 4, 5);
    EXPECT_LT(rig.positionMs(), 30);
    EXPECT_EQ(w.Gauge1->Hint(), "74%");
    // Fast forward steps 10 gauge pixels from the gauge's position, rewind back.
    w.Gauge1MouseDown(forms::mbLeft, forms::ssLeft, width / 2, 5);
    for (bool forward : {true, true, false}) {
        rig.run(100);   // the display tick moves the gauge
        const int pixel = w.Gauge1->Position() * width / 100;
        forward ? w.timFFTimer() : w.timRFTimer();
        EXPECT_NEAR(rig.positionMs(), 4000 * (pixel + (forward ? 10 : -10)) / width, 30);
    }
    // At the start of the gauge rewind stays at the start.
    w.Gauge1MouseDown(forms::mbLeft, forms::ssLeft, 3, 5);
    w.Gauge1->SetPosition(1);
    w.timRFTimer();
    EXPECT_LT(rig.positionMs(), 30);
    // At the end of the gauge fast forward does not move past the track.
    w.Gauge1->SetPosition(100);
    const int64_t before = rig.positionMs();
    w.timFFTimer();
    EXPECT_EQ(rig.positionMs(), before);
    // The buttons start and stop the stepping timers; the status names the step while the
    // button is held, through the steps' seeks.
    w.Gauge1MouseDown(forms::mbLeft, forms::ssLeft, width / 2, 5);
    for (auto [button, timer, tick, status] :
         {std::tuple{w.sbStep, &w.timFF, &TfrmMain::timFFTimer, "[ Forward ]"},
          std::tuple{w.sbBack, &w.timRF, &TfrmMain::timRFTimer, "[ Rewind ]"}}) {
        w.sbBackMouseDown(button);
        EXPECT_TRUE(timer->Enabled());
        EXPECT_EQ(w.lblPlay->text().toStdString(), status);
        (w.*tick)();
        rig.run(100);
        EXPECT_EQ(w.lblPlay->text().toStdString(), status);
        w.sbBackMouseUp(button);
        EXPECT_FALSE(timer->Enabled());
        EXPECT_EQ(w.lblPlay->text().toStdString(), "[ Playing ]");
    }
}

TEST(MainFormPlay, PauseHoldsThePositionAndASecondPressResumes)
{
    PlayerRig rig(0);
    TfrmMain& w = *rig.w;
    addSongRow(w.lstFile, songs()[4]);
    selectOnly(w.lstFile, 0);
    w.lstFileDblClick();
    rig.run(500);
    w.sbPauseClick();
    EXPECT_EQ(rig.engine().PlayStatus(), "pause");
    EXPECT_EQ(w.lblPlay->text().toStdString(), "[ Paused ]");
    EXPECT_FALSE(w.timPlay.Enabled());
    const int64_t held = rig.positionMs();
    rig.sounding();
    rig.run(800);
    EXPECT_EQ(rig.positionMs(), held);
    EXPECT_FALSE(rig.sounding());
    w.sbPauseClick();
    EXPECT_EQ(rig.engine().PlayStatus(), "play");
    rig.run(500);
    EXPECT_GT(rig.positionMs(), held + 300);
    EXPECT_TRUE(rig.sounding());
}

TEST(MainFormPlay, EffectsSwitchedOnWhilePlayingJoinTheChainAndPlayOn)
{
    PlayerRig rig(0);
    TfrmMain& w = *rig.w;
    addSongRow(w.lstFile, songs()[4]);
    selectOnly(w.lstFile, 0);
    w.lstFileDblClick();
    rig.run(300);
    w.chkEcho->SetChecked(true);
    w.chkReverb->SetChecked(true);
    EXPECT_TRUE(rig.engine().Echo());
    EXPECT_TRUE(rig.engine().Reverb());
    EXPECT_FALSE(rig.engine().Chorus());
    EXPECT_TRUE(rig.engine().FXManager().Added(2));   // echo
    EXPECT_TRUE(rig.engine().FXManager().Added(6));   // waves reverb
    EXPECT_FALSE(rig.engine().FXManager().Added(0));
    EXPECT_TRUE(rig.engine().IsPlaying());
    rig.sounding();
    rig.run(300);
    EXPECT_TRUE(rig.sounding());
    w.ckkChorus->SetChecked(true);
    w.chkFlanger->SetChecked(true);
    EXPECT_TRUE(rig.engine().FXManager().Added(0));
    EXPECT_TRUE(rig.engine().FXManager().Added(3));
    w.chkEcho->SetChecked(false);
    EXPECT_FALSE(rig.engine().FXManager().Added(2));
    EXPECT_TRUE(rig.engine().IsPlaying());
}

TEST(MainFormPlay, CtrlArrowsStepTheFrequencyWithinTheSlider)
{
    PlayerRig rig(0);
    TfrmMain& w = *rig.w;
    addSongRow(w.lstFile, songs()[4]);   // 22050 Hz
    selectOnly(w.lstFile, 0);
    w.lstFileDblClick();
    EXPECT_EQ(w.trackFrequency->Position(), 22050);
    w.activateWindow();
    w.lstFile->setFocus();
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), w.lstFile);
    keyClick(w.lstFile, Qt::Key_Left, Qt::ControlModifier);
    keyClick(w.lstFile, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(w.trackFrequency->Position(), 21650);
    uint32_t hz = 0;
    ASSERT_EQ(rig.engine().Channel().Buffer()->GetFrequency(&hz), 0);
    EXPECT_EQ(hz, 21650u);
    keyClick(w.lstFile, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(w.trackFrequency->Position(), 21850);
    // A plain arrow moves in the list, not the frequency.
    keyClick(w.lstFile, Qt::Key_Left);
    EXPECT_EQ(w.trackFrequency->Position(), 21850);
    // At the slider's ends it keeps its limit.
    w.trackFrequency->SetPosition(w.trackFrequency->Max() - 50);
    int key = forms::VK_RIGHT;
    w.FormKeyDown(key, forms::ssCtrl);
    EXPECT_EQ(w.trackFrequency->Position(), w.trackFrequency->Max());
    EXPECT_EQ(key, 0);
    key = forms::VK_RIGHT;
    w.FormKeyDown(key, forms::ssCtrl);
    EXPECT_EQ(w.trackFrequency->Position(), w.trackFrequency->Max());
    // A double click on the scale label goes back to the file's own rate.
    w.lblScaleDblClick();
    EXPECT_EQ(w.trackFrequency->Position(), 22050);
    // Enter in the playlist plays its selected row.
    w.sbStopClick();
    addSongRow(w.lstFile, songs()[1]);
    selectOnly(w.lstFile, 1);
    w.lstFile->setFocus();
    keyClick(w.lstFile, Qt::Key_Return);
    EXPECT_EQ(rig.engine().FileNamme(), songs()[1].path);
    EXPECT_TRUE(rig.engine().IsPlaying());
}

TEST(MainFormPlay, TheBlinkTimersAlternateTheirLabels)
{
    PlayerRig rig(0);
    TfrmMain& w = *rig.w;
    SetFontColor(w.lblPlay, 0x0000FF);
    w.timPlayTimer();
    EXPECT_EQ(FontColor(w.lblPlay), 0xFF0000u);
    w.timPlayTimer();
    EXPECT_EQ(FontColor(w.lblPlay), 0x0000FFu);
    w.lblFavorite->clear();
    SetFontColor(w.lblFavorite0, 0);
    w.timListTimer();
    EXPECT_EQ(FontColor(w.lblFavorite0), 0x0000FFu);
    w.lblFavorite->setText("ドライブ");
    SetFontColor(w.lblFavorite, 0x0000FF);
    w.timListTimer();
    EXPECT_EQ(FontColor(w.lblFavorite), 0u);
    EXPECT_EQ(FontColor(w.lblFavorite0), 0x0000FFu);
}

TEST(MainFormPlay, EitherAutoShuffleCommandTogglesTheCheckBoxAndBothMarks)
{
    PlayerRig rig(0);
    TfrmMain& w = *rig.w;
    ASSERT_FALSE(w.chkShuffle->Checked());
    w.do_AutoShuffle2->trigger();
    EXPECT_TRUE(w.chkShuffle->Checked());
    EXPECT_TRUE(w.do_AutoShuffle1->isChecked());
    EXPECT_TRUE(w.do_AutoShuffle2->isChecked());
    w.do_AutoShuffle1->trigger();
    EXPECT_FALSE(w.chkShuffle->Checked());
    EXPECT_FALSE(w.do_AutoShuffle1->isChecked());
    EXPECT_FALSE(w.do_AutoShuffle2->isChecked());
}

// What a person does: a double click with the mouse on a playlist row, heard through the
// device the program falls back to without a sound card, in real time, to the song's end.
// The first play says once that it is silent, and the log keeps the device's error.
TEST(MainFormPlay, ARowDoubleClickedWithTheMousePlaysThroughTheNullDeviceToItsEnd)
{
    SettingsFixture settings;
    Mp3Path.clear();
    const std::string error = "ALSA default: cannot open: No such file or directory";
    sound::TcbDSMixer mixer{[&](const std::string&) {
        return snd::NullSoundDevice::create(snd::WaveFormat::pcm(44100, 2, 16), error);
    }};
    TfrmMain w(&mixer);
    std::vector<std::string> told;
    w.MsgBoxEx = [&](QWidget*, const std::string& Caption, const std::string& Text, int, const std::string& Buttons,
                     const std::string&) {
        told.push_back(Caption + "|" + Text + "|" + Buttons);
        return 6;
    };
    const testsupport::QtMessages log;
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Loaded(); }, 10000));
    addSongRow(w.lstFile, songs()[1]);
    addSongRow(w.lstFile, songs()[2]);
    QCoreApplication::processEvents();
    const QRect row = w.lstFile->visualItemRect(w.lstFile->topLevelItem(1));
    doubleClick(w.lstFile->viewport(), row.center());
    EXPECT_EQ(w.DxSound->FileNamme(), songs()[2].path);
    EXPECT_EQ(w.lblMusic->text().toStdString(), "星空");
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.Gauge1->Position() >= 50; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.DxSound->PlayStatus() == "stop"; }, 10000));
    EXPECT_EQ(w.Gauge1->Position(), 100);
    EXPECT_EQ(w.lblPlay->text().toStdString(), "Play List :");
    doubleClick(w.lstFile->viewport(), row.center());   // a second play is not told again
    QCoreApplication::processEvents();
    EXPECT_EQ(told, (std::vector<std::string>{
                        "サウンド|サウンドデバイスを開けませんでした！！\r\r　　音を出さずに再生します。|Y"}));
    EXPECT_EQ(std::count_if(log.Lines().begin(), log.Lines().end(),
                            [&](const std::string& l) { return l.find(error) != std::string::npos; }),
              1);
    w.close();
}

// A picture of the window while a song plays, for a person to look at.
TEST(MainFormPlay, ScreenshotWhilePlaying)
{
    PlayerRig rig(4);
    TfrmMain& w = *rig.w;
    w.lblFavorite->setText("ドライブ");
    w.spdPlayListClick();
    rig.run(700);
    QCoreApplication::processEvents();
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(dir);
    const QImage shot = w.grab().toImage();
    EXPECT_TRUE(shot.save(dir + "playing.png"));
    EXPECT_TRUE(rig.engine().IsPlaying());
}

// A song whose tag carries lyrics and names a photo in the music folder, played with the
// panes on their surfaces; each of the star, lyrics and fortune modes picked from the panes'
// menu and the window grabbed (screenshots/app/mode-NN.png), mode 24 once more past 90 %.
TEST(MainFormPlay, ScreenshotsOfTheGraveyardLyricsStarAndFortuneModes)
{
    TempDir dir;
    const std::string song = makeMp3(dir, "lyrics.mp3", 44100, 2, 20.0, {"-b", "128"});
    auto r = runCommand("convert", {"-size", "120x90", "gradient:orange-purple", dir.file("photo.jpg")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ClearTag();
    CurrentTag.Title = "歌える歌";
    CurrentTag.PhotoName = "photo.jpg";
    CurrentTag.Lyrics = "さくら さくら\n弥生の空は\n\n見渡す限り";
    ASSERT_TRUE(WriteTag(song));

    PlayerRig rig(0);
    TfrmMain& w = *rig.w;
    ASSERT_TRUE(w.do_Effect999->isChecked());  // the panes draw on their surfaces
    Mp3Path = dir.path();
    addSongRow(w.lstFile, {"歌える歌", song});
    selectOnly(w.lstFile, 0);
    w.lstFileDblClick();
    ASSERT_EQ(rig.engine().PhotoIndex(), 0);
    const QString out = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(out);
    for (int mode : {14, 15, 16, 17, 22, 23, 24}) {
        w.do_EffectMode[size_t(mode)]->trigger();
        rig.run(1500);
        QCoreApplication::processEvents();
        EXPECT_EQ(rig.engine().Effect(), mode);
        EXPECT_GT(litPixels(*w.dxdLeft->Surface), 100) << mode;
        EXPECT_GT(litPixels(*w.dxdRight->Surface), 100) << mode;
        EXPECT_TRUE(w.grab().toImage().save(out + QStringLiteral("mode-%1.png").arg(mode)));
    }
    w.Gauge1MouseDown(forms::mbLeft, forms::ssLeft, w.Gauge1->width() * 92 / 100, 5);
    rig.run(800);
    QCoreApplication::processEvents();
    EXPECT_GT(w.Gauge1->Position(), 90);
    EXPECT_TRUE(w.grab().toImage().save(out + "mode-24-fortune.png"));
    EXPECT_TRUE(rig.engine().IsPlaying());
}

// The dashboard mode on surfaces: the meter panel shows beside the night road, the segment bar
// animates on its own and is switched to random flicker, the odometer counts and the gears
// climb; on paint boxes the panel stays hidden.
TEST(MainFormPlay, MeterModeDrivesTheDashboardOnSurfacesOnly)
{
    PlayerRig rig(1);
    TfrmMain& w = *rig.w;
    w.SetDirectXMode(true);
    w.do_EffectMode[30]->trigger();
    ASSERT_EQ(w.DxSound->Effect(), 30);
    EXPECT_EQ(w.dbrMeter->Process(), visual::apDouble);
    // The bar animates by itself once the window has loaded.
    const std::uint32_t first = w.dbrMeter->EnableMask();
    EXPECT_TRUE(testsupport::waitFor([&] { return w.dbrMeter->EnableMask() != first; }));
    auto litGear = [&] {
        int lit = -1;
        for (int i = 0; i < 8; ++i)
            if (FontColor(w.lblM0[size_t(i)]) != 0x808080u)
                lit = i;
        return lit;
    };
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(dir);
    w.spdPlayListClick();
    rig.run(300);
    for (int tick = 0; tick < 20; ++tick)  // frames at one moment of the song
        w.timDxTimerTimer();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.pnlMeter->isHidden());
    EXPECT_EQ(w.dbrMeter->Process(), visual::apRandom);
    EXPECT_EQ(w.dbrMeter->width(), 96);
    EXPECT_NE(w.lcdMeter->Value(), "0");
    EXPECT_EQ(w.msgOstrel->ShowStrings()[0], "Tambourelle : " + w.lblMusic->text().toStdString());
    EXPECT_EQ(litGear(), 3) << "P, R, N, then first gear after 15 frames";
    EXPECT_TRUE(w.grab().toImage().save(dir + "meter-start.png"));
    for (int tick = 0; tick < 120; ++tick)
        w.timDxTimerTimer();
    EXPECT_GE(litGear(), 5) << "third to fifth gear once the start-up has run";

    w.DxSound->Seek(95, 100);
    rig.run(20);
    w.timDxTimerTimer();
    EXPECT_GE(w.Gauge1->Position(), 93);
    EXPECT_EQ(litGear(), 100 - w.Gauge1->Position());
    EXPECT_TRUE(w.grab().toImage().save(dir + "meter-95.png"));
    rig.runUntil([&] { return w.DxSound->PlayStatus() == "stop"; });
    EXPECT_EQ(litGear(), 0) << "P at the end";
    EXPECT_TRUE(w.grab().toImage().save(dir + "meter-end.png"));

    w.SetDirectXMode(false);
    rig.run(200);
    EXPECT_TRUE(w.pnlMeter->isHidden());
}

TEST(MainFormPlay, TheVoiceButtonAndMenuOpenTheRecorderModallyAndFreeIt)
{
    PlayerRig rig(0);
    TfrmMain& w = *rig.w;
    EXPECT_TRUE(w.spdVoice->isEnabled());
    SetRecorderWaveSystem(std::make_shared<wave::GeneratedWaveSystem>(rig.clock, wave::InputScript{}));
    for (int way = 0; way < 2; ++way) {
        QPointer<TfrmWAV> shown;
        bool listening = false;
        QTimer::singleShot(0, [&] {
            shown = dynamic_cast<TfrmWAV*>(QApplication::activeModalWidget());
            if (shown) {
                listening = shown->MonitorRunning();
                shown->close();
            }
        });
        if (way == 0)
            w.spdVoiceClick();
        else
            w.do_Recoder->trigger();
        EXPECT_TRUE(listening) << way;
        EXPECT_TRUE(shown.isNull()) << "freed after showing, " << way;
    }
    SetRecorderWaveSystem(nullptr);
}

TEST(MainFormPlay, TheCdButtonPausesWhatPlaysWhileTheCdPlayerShowsAndTheVolumeButtonsShowTheVolumeControl)
{
    PlayerRig rig(2);
    TfrmMain& w = *rig.w;
    TempDir discDir;
    IniWriteString(IniBase, "CDPlayer", "CD_DRIVE", writeCdImage(discDir, "disc", {{true, 75, 440}}));
    TfrmCD cd(&w, rig.device, rig.clock);
    cd.OpenCddbWindow = [] {};
    ASSERT_EQ(frmCD, &cd);
    std::vector<std::string> whileShown;
    auto closeWhenShown = [&] {
        QTimer::singleShot(0, &cd, [&] {
            whileShown.push_back(rig.engine().PlayStatus());
            cd.close();
        });
    };
    closeWhenShown();
    w.spdCdClick();  // nothing plays: only shows
    selectOnly(w.lstFile, 1);
    w.lstFileDblClick();
    rig.run(200);
    closeWhenShown();
    w.spdCdClick();
    EXPECT_EQ(whileShown, (std::vector<std::string>{"stop", "pause"}));
    EXPECT_EQ(rig.engine().PlayStatus(), "play");

    // The windows below the main window see its playlist and hold the engine off a file.
    TMainWindowHost* host = MainWindowHost();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->MainWindow(), &w);
    const std::vector<TPlaylistRow> rows = host->PlaylistRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].Title, songs()[1].title);
    EXPECT_EQ(rows[1].Path, songs()[1].path);
    EXPECT_FALSE(host->HoldForTagWrite(songs()[0].path));
    ASSERT_TRUE(host->HoldForTagWrite(songs()[1].path));
    EXPECT_EQ(rig.engine().FileNamme(), "");
    host->ResumeAfterTagWrite();
    EXPECT_EQ(rig.engine().FileNamme(), songs()[1].path);
    EXPECT_EQ(rig.engine().PlayStatus(), "play");

    // The volume control, centred over the main window, is shown by the main window's
    // button and menu item and by the CD player's button; the music plays on meanwhile.
    TfrmVolume volume(&w, std::make_shared<mixer::MemoryMixerSystem>(0));
    EXPECT_LE((volume.geometry().center() - w.frameGeometry().center()).manhattanLength(), 1);
    int shown = 0;
    std::function<void()> open[] = {[&] { w.spdVolume->OnClick(w.spdVolume); }, [&] { w.do_Volume->trigger(); },
                                    [&] { cd.spdVolume->OnClick(cd.spdVolume); }};
    for (auto& click : open) {
        QTimer::singleShot(0, &volume, [&] {
            shown += volume.isVisible() && QApplication::activeModalWidget() == &volume;
            volume.close();
        });
        click();
    }
    EXPECT_EQ(shown, 3);
    EXPECT_TRUE(cd.spdVolume->isEnabled());
    EXPECT_EQ(rig.engine().PlayStatus(), "play");
}
