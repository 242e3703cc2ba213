// The CD ripper window over a cue/bin image in the CD player window, with titles from the
// system CD database, a scratch save folder and the questions and file dialogs answered
// here. Files are checked by ffprobe, python3-mutagen and our own tag reader.
#include "cd/CdTestSupport.h"
#include "cd/forms/xCD.h"
#include "cd/forms/xCD2MP3.h"
#include "platform/sound/MemorySoundDevice.h"
#include "shared/SettingsFixture.h"
#include "support/CdImages.h"
#include "tags/libID3Tag.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QFileInfo>
#include <QTimer>
#include <QTreeWidget>

#include <deque>
#include <map>

using namespace testsupport;

namespace {

struct Question {
    std::string caption, text;
    int defaultButton;
    std::string buttons;
    bool operator==(const Question&) const = default;
};

const std::vector<std::string> kTitles = {"夜明け: 始まり?", "A/B の道", "\u3000"};
// The end message with every chosen track written (or none, after STOP).
std::string endText(int written, int chosen)
{
    return "録音が終了しました！！\r\r　　" + std::to_string(written) + " / " + std::to_string(chosen) +
           " トラックを保存しました";
}

std::map<std::string, std::string> mutagenTags(const std::string& path)
{
    static const char* script = R"(
import sys
from mutagen.id3 import ID3
from mutagen.mp3 import MP3
t = ID3(sys.argv[1], translate=False)
def text(f):  # encoding 0 holds Shift-JIS, which mutagen takes for Latin-1
    s = str(f.text[0])
    return s.encode("latin-1").decode("cp932") if f.encoding == 0 else s
for k in ["TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK", "TIME"]:
    print(k + "=" + (text(t[k]) if k in t else ""))
c = t.getall("COMM")
print("COMM=" + (text(c[0]) if c else ""))
print("VBR=" + str(int(MP3(sys.argv[1]).info.bitrate_mode) in (2, 3)))
)";
    const CommandResult r = runCommand(python3(), {"-c", script, path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::map<std::string, std::string> out;
    QString all = QString::fromStdString(r.out);
    for (const QString& line : all.split('\n', Qt::SkipEmptyParts))
        out[line.section('=', 0, 0).toStdString()] = line.section('=', 1).toStdString();
    return out;
}

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> out;
    for (const QString& f : QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name))
        out.push_back(f.toStdString());
    return out;
}

class RipperWindowTest : public ::testing::Test {
protected:
    RipperWindowTest()
    {
        InitGenreList();
        QDir().mkpath(QString::fromStdString(saveDir()));
        insert("disc", {{true, 150, 440}, {true, 113, 675}, {true, 120, 900}}, kTitles);
        IniWriteString(IniBase, "Ripper", "MP3_PATH", saveDir());
    }
    std::string saveDir() const { return dir.file("save"); }
    // Puts a disc image in the drive, its titles in the system CD database; before ripper().
    void insert(const std::string& name, const std::vector<ImageTrack>& tracks, const std::vector<std::string>& titles)
    {
        cue = writeCdImage(dir, name, tracks);
        IniWriteString(IniBase, "CDPlayer", "CD_DRIVE", cue);
        TCDPlayer p(clock);
        p.SetSoundDevice(sound);
        p.Reopen();
        p.WriteCdPlayerIni(p.GetMediaIdentity(), "山田 花子", "四季の歌", "1998", "J-Pop", "misc", titles);
    }
    std::string bin() const { return cue.substr(0, cue.size() - 4) + ".bin"; }

    // The CD window with the disc, and the ripper over it.
    std::unique_ptr<TfrmMP3> ripper()
    {
        if (!cdWindow) {
            cdWindow = std::make_unique<TfrmCD>(nullptr, sound, clock);
            cdWindow->MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                                    const std::string&) { return 2; };
            cdWindow->OpenCddbWindow = [] {};
            cdWindow->show();
            QCoreApplication::processEvents();
        }
        auto w = std::make_unique<TfrmMP3>(cdWindow.get());
        w->MsgBoxEx = [this](QWidget*, const std::string& c, const std::string& t, int d, const std::string& b,
                             const std::string&) {
            asked.push_back({c, t, d, b});
            if (onAsk)
                onAsk();
            const int a = answers.empty() ? 2 : answers.front();
            if (!answers.empty())
                answers.pop_front();
            return a;
        };
        w->ExecuteDialog = [this](forms::TFileDialog& d) {
            dialogs.push_back(d.Title);
            if (picks.empty())
                return false;
            d.FileName = picks.front();
            picks.pop_front();
            return !d.FileName.empty();
        };
        w->show();
        QCoreApplication::processEvents();
        return w;
    }
    static void select(TfrmMP3& w, std::initializer_list<int> rows)
    {
        w.lstTrack->clearSelection();
        for (int r : rows)
            w.lstTrack->topLevelItem(r)->setSelected(true);
    }
    std::string trackBytes(int i) const
    {
        const std::vector<uint32_t> at = cdInfoAddresses(cue);
        return binSlice(cue, at[size_t(i)], at[size_t(i) + 1] - at[size_t(i)]);
    }

    SettingsFixture settings;
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> sound = snd::MemorySoundDevice::create(clock);
    std::string cue;
    std::unique_ptr<TfrmCD> cdWindow;
    std::vector<Question> asked;
    std::deque<int> answers;
    std::function<void()> onAsk;
    std::vector<std::string> dialogs;
    std::deque<std::string> picks;
};

}  // namespace

TEST(RipperFileNames, CharactersNoFileNameHoldsBecomeFullWidth)
{
    EXPECT_EQ(FileNameOfTitle("a\\b/c:d*e?f\"g<h>i|j"), "a＼b／c：d＊e？f＂g＜h＞i｜j");
    EXPECT_EQ(FileNameOfTitle("歌\t\x01名\x7f."), "歌名.");
}

TEST_F(RipperWindowTest, ListMirrorsThePlayerAndNoDiscDisablesTheRip)
{
    auto w = ripper();
    EXPECT_EQ(w->Caption(), "Varn CD RIPPER");
    ASSERT_EQ(w->lstTrack->topLevelItemCount(), 3);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(w->lstTrack->topLevelItem(r)->text(c).toStdString(), cdWindow->sgdTrack->Cells(c, r));
        }
    }
    EXPECT_EQ(w->lstTrack->selectedItems(), QList<QTreeWidgetItem*>{w->lstTrack->topLevelItem(0)});
    EXPECT_EQ(w->lstTrack->columnWidth(1), TitleWidth(*w->lstTrack, false));
    EXPECT_EQ(w->pos(), cdWindow->pos() + QPoint(40, 40));
    EXPECT_TRUE(w->sbPlay->isEnabled());
    {
        // The window's light text stays on its own labels, off the dialogs it opens.
        QDialog chooser(w.get());
        auto* prompt = new QLabel(QStringLiteral("フォルダの選択"), &chooser);
        prompt->ensurePolished();
        w->lblFolder->ensurePolished();
        EXPECT_EQ(w->lblFolder->palette().color(QPalette::WindowText), QColor(0xE8, 0xE8, 0xE8));
        EXPECT_EQ(prompt->palette().color(QPalette::WindowText), chooser.palette().color(QPalette::WindowText));
        EXPECT_NE(prompt->palette().color(QPalette::WindowText), QColor(0xE8, 0xE8, 0xE8));
    }
    cdWindow->CDPlayer1AfterRemove();
    w->FillTrackList();
    EXPECT_EQ(w->lstTrack->topLevelItemCount(), 0);
    EXPECT_FALSE(w->sbPlay->isEnabled());
    EXPECT_FALSE(w->sbStop->isEnabled());

    // Twelve tracks fit without scrolling: the title column keeps its whole width.
    std::vector<ImageTrack> tracks(12, {true, 75, 440});
    const std::vector<std::string> titles = {"春の歌", "夏の海", "秋の空", "冬の星", "朝の光", "夜の街",
                                             "風の道", "雨の日", "雪の花", "月の舟", "星の雫", "旅の終わり"};
    const std::string twelve = writeCdImage(dir, "twelve", tracks);
    IniWriteString(IniBase, "CDPlayer", "CD_DRIVE", twelve);
    {
        TCDPlayer p(clock);
        p.SetSoundDevice(sound);
        p.Reopen();
        p.WriteCdPlayerIni(p.GetMediaIdentity(), "山田 花子", "四季の歌", "1998", "J-Pop", "misc", titles);
    }
    w.reset();
    cdWindow.reset();
    w = ripper();
    ASSERT_EQ(w->lstTrack->topLevelItemCount(), 12);
    EXPECT_EQ(w->lstTrack->topLevelItem(11)->text(1).toStdString(), "旅の終わり");
    EXPECT_EQ(w->lstTrack->columnWidth(1), TitleWidth(*w->lstTrack, false));
    w->grab().save(cdtest::screenshotDir() + "/cd-ripper.png");
}

TEST_F(RipperWindowTest, Mp3RipNamesTagsAndEncodesTheChosenTracks)
{
    auto w = ripper();
    select(*w, {0, 1, 2});
    w->cmbBitrate->SetItemIndex(2);
    bool shot = false;
    auto progress = w->CDRIP1->OnProgress;
    w->CDRIP1->OnProgress = [&](cd::TCDRIP* s, std::uint16_t pct) {
        progress(s, pct);
        if (!shot && w->Gauge2->Position() == 1 && pct >= 50) {
            shot = true;
            w->grab().save(cdtest::screenshotDir() + "/cd-ripper-mid-rip.png");
        }
    };
    std::vector<bool> enabledAfterTrack;
    auto endTrack = w->CDRIP1->OnEndTrack;
    w->CDRIP1->OnEndTrack = [&](cd::TCDRIP* s, std::uint16_t n) {
        endTrack(s, n);
        enabledAfterTrack.push_back(w->sbPlay->isEnabled() || w->chkWAV->isEnabled());
    };
    answers = {6, 6};
    w->sbPlayClick();
    EXPECT_EQ(enabledAfterTrack, std::vector<bool>(3, false));
    EXPECT_TRUE(w->sbPlay->isEnabled());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], (Question{"CD Ripper", "ＭＰ３形式　で録音を開始します！！\r\r　　よろしいですか？", 1, "yn"}));
    EXPECT_EQ(asked[1], (Question{"CD Ripper", endText(3, 3), 1, "y"}));
    EXPECT_EQ(filesIn(saveDir()), (std::vector<std::string>{"A／B の道.mp3", "Track 03.mp3", "夜明け： 始まり？.mp3"}));
    EXPECT_EQ(w->Gauge2->Position(), 3);
    EXPECT_TRUE(w->lstTrack->selectedItems().isEmpty());

    const std::string first = saveDir() + "/夜明け： 始まり？.mp3";
    const cdtest::Probe p = cdtest::probe(first);
    EXPECT_EQ(p.codec, "mp3");
    EXPECT_EQ(p.rate, 44100);
    EXPECT_EQ(p.channels, 2);
    EXPECT_EQ(p.bitRate, 128000);
    auto tags = mutagenTags(first);
    EXPECT_EQ(tags["TIT2"], "夜明け: 始まり?");
    EXPECT_EQ(tags["TPE1"], "山田 花子");
    EXPECT_EQ(tags["TALB"], "四季の歌");
    EXPECT_EQ(tags["TYER"], "1998");
    EXPECT_NE(tags["TCON"].find("J-Pop"), std::string::npos) << tags["TCON"];
    EXPECT_EQ(tags["TRCK"], "1");
    EXPECT_EQ(tags["COMM"], "Varn CD Ripper Ver 1.00");
    EXPECT_EQ(tags["TIME"], cdWindow->sgdTrack->Cells(2, 0));
    EXPECT_EQ(tags["VBR"], "False");
    ASSERT_TRUE(ReadTag(first));
    EXPECT_EQ(CurrentTag.CddbPath, cdWindow->CDPlayer1->CddbQueryPath());
    EXPECT_EQ(mutagenTags(saveDir() + "/A／B の道.mp3")["TRCK"], "2");
}

TEST_F(RipperWindowTest, WavRipIsTheDiscSliceAndNeverOverwrites)
{
    auto w = ripper();
    w->chkWAV->SetChecked(true);
    EXPECT_FALSE(w->chkMP3->Checked());
    for (int i = 0; i < 3; ++i) {
        select(*w, {1});
        answers = {6, 6};
        w->sbPlayClick();
    }
    EXPECT_EQ(asked[0].text, "ＷＡＶ形式　で録音を開始します！！\r\r　　よろしいですか？");
    EXPECT_EQ(filesIn(saveDir()), (std::vector<std::string>{"A／B の道(2).wav", "A／B の道(3).wav", "A／B の道.wav"}));
    const std::string wav = readFile(saveDir() + "/A／B の道(3).wav");
    ASSERT_GT(wav.size(), 44u);
    const std::string want = trackBytes(1);
    EXPECT_TRUE(wav.substr(44, want.size()) == want);
    ReadTag(saveDir() + "/A／B の道(3).wav");  // a WAV's tag is its ID3v1 tag
    EXPECT_EQ(CurrentTag.Track, "2");

    // VBR after 160 kbit/s keeps 160 as the floor.
    w->chkMP3->SetChecked(true);
    w->ApplyBitrate(3);
    w->cmbBitrate->SetItemIndex(6);
    select(*w, {0});
    answers = {6, 6};
    w->sbPlayClick();
    EXPECT_EQ(mutagenTags(saveDir() + "/夜明け： 始まり？.mp3")["VBR"], "True");
    EXPECT_EQ(w->LameCoder1->Bitrate(), 160u);
    EXPECT_TRUE(w->LameCoder1->EnableVBR());
}

TEST_F(RipperWindowTest, StopMissingFolderAndNoWriteNothingMore)
{
    auto w = ripper();
    select(*w, {0, 1, 2});
    bool stopped = false;
    auto progress = w->CDRIP1->OnProgress;
    w->CDRIP1->OnProgress = [&](cd::TCDRIP* s, std::uint16_t pct) {
        progress(s, pct);
        if (!stopped) {
            stopped = true;
            w->close();  // refused while the rip runs
            EXPECT_TRUE(w->isVisible());
            w->sbStopClick();
        }
    };
    answers = {6, 6};
    w->sbPlayClick();
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(filesIn(saveDir()).empty());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, endText(0, 3));
    EXPECT_TRUE(w->sbPlay->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    asked.clear();
    answers = {7};
    w->sbPlayClick();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_TRUE(filesIn(saveDir()).empty());

    asked.clear();
    w->ShowFolder(dir.file("gone"));
    w->sbPlayClick();
    EXPECT_EQ(asked, (std::vector<Question>{{"CD Ripper", "現在の保存先フォルダがありません！！", 1, "y"}}));
}

TEST_F(RipperWindowTest, WavToMp3CarriesTheTagsAndAsksBeforeOverwriting)
{
    const std::string wav = dir.file("song.wav"), mp3 = dir.file("song.mp3"), other = dir.file("other.mp3");
    writeCdWav(wav, trackBytes(0));
    ClearTag();
    CurrentTag.Title = "朝の歌";
    CurrentTag.Artist = "花子";
    CurrentTag.Track = "7";
    ASSERT_TRUE(WriteTag(wav));
    auto w = ripper();

    picks = {wav};  // no output yet: no question
    w->spdCnvClick(w->spdCnv);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(dialogs, std::vector<std::string>{"ＷＡＶ ファイルを開く"});
    auto tags = mutagenTags(mp3);
    EXPECT_EQ(tags["TIT2"], "朝の歌");
    EXPECT_EQ(tags["TPE1"], "花子");
    EXPECT_EQ(tags["TRCK"], "7");
    EXPECT_EQ(IniReadString(IniBase, "Ripper", "WAV_PATH", ""), dir.path());
    EXPECT_EQ(cdtest::probe(mp3).bitRate, 128000);

    const Question same{"ＭＰ３変換", "同じ名前があります！！\r\r　　　　上書きしてもよろしいですか？", 3, "ync"};
    writeFile(other, "keep");
    const struct {
        std::deque<int> answers;
        std::deque<std::string> picks;
        std::vector<Question> asked;
        std::string otherAfter;
    } cases[] = {
        {{2}, {wav}, {same}, "keep"},                                             // Cancel
        {{7, 7}, {wav, other}, {same, {"確認", same.text, 2, "yn"}}, "keep"},     // No, then No again
        {{7}, {wav, ""}, {same}, "keep"},                                         // No, save dialog cancelled
        {{7, 6}, {wav, other}, {same, {"確認", same.text, 2, "yn"}}, ""},          // No, then Yes
    };
    for (const auto& c : cases) {
        asked.clear();
        answers = c.answers;
        picks = c.picks;
        w->spdCnvClick(w->spdCnv);
        EXPECT_EQ(asked, c.asked);
        if (!c.otherAfter.empty()) {
            EXPECT_EQ(readFile(other), c.otherAfter);
        } else {
            EXPECT_EQ(mutagenTags(other)["TIT2"], "朝の歌");
        }
    }

    // A WAV the encoder refuses (block align 0) leaves the old file and a usable window.
    std::string bad = readFile(wav);
    bad[32] = bad[33] = 0;
    writeFile(wav, bad);
    const std::string before = readFile(mp3);
    answers = {6};
    picks = {wav};
    EXPECT_THROW(w->spdCnvClick(w->spdCnv), std::exception);
    EXPECT_EQ(readFile(mp3), before);
    EXPECT_TRUE(w->spdCnv->isEnabled());
    EXPECT_FALSE(w->Converting());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"disc.bin", "disc.cue", "other.mp3", "song.mp3", "song.wav"}));
}

TEST_F(RipperWindowTest, SettingsRoundTripAndCloseWaitsForAConversion)
{
    {
        auto w = ripper();
        EXPECT_TRUE(w->chkMP3->Checked());
        EXPECT_EQ(w->cmbBitrate->ItemIndex(), 2);
        EXPECT_EQ(w->Folder(), saveDir());
        w->chkWAV->SetChecked(true);
        w->cmbBitrate->SetItemIndex(5);
        w->close();
    }
    EXPECT_EQ(IniReadString(IniBase, "Ripper", "MP3_MODE", ""), "0");
    {
        auto w = ripper();
        EXPECT_TRUE(w->chkWAV->Checked());
        EXPECT_EQ(w->cmbBitrate->ItemIndex(), 5);
        w->chkMP3->SetChecked(true);

        const std::string wav = dir.file("song.wav");
        writeCdWav(wav, trackBytes(0));
        picks = {wav};
        bool tried = false;
        w->LameCoder1->OnProgress = [&](cd::TLameCoder*, std::uint16_t) {
            if (!std::exchange(tried, true)) {
                w->close();
                EXPECT_TRUE(w->isVisible());
            }
        };
        w->spdCnvClick(w->spdCnv);
        EXPECT_TRUE(tried);
        w->close();
        EXPECT_FALSE(w->isVisible());
    }
    EXPECT_EQ(IniReadString(IniBase, "Ripper", "MP3_MODE", ""), "-1");
    EXPECT_EQ(IniReadInteger(IniBase, "Ripper", "MP3_BITRATE", 0), 5);
}

TEST_F(RipperWindowTest, Mp3ButtonShowsTheRipperWithThePlayerPaused)
{
    ripper().reset();  // the CD window with the disc
    EXPECT_TRUE(cdWindow->spdMP3->isEnabled());
    cdWindow->sbPlayClick();
    ASSERT_EQ(cdWindow->PlayState, 1);
    int stateWhileShown = -1;
    QTimer::singleShot(0, [&] {
        if (auto* r = dynamic_cast<TfrmMP3*>(QApplication::activeModalWidget())) {
            stateWhileShown = cdWindow->PlayState;
            EXPECT_EQ(r->lstTrack->topLevelItemCount(), 3);
            r->close();
        }
    });
    cdWindow->spdMP3Click();
    EXPECT_EQ(stateWhileShown, 2);
    EXPECT_EQ(cdWindow->PlayState, 1);
    cdWindow->sbStopClick();
}

TEST_F(RipperWindowTest, ADataTrackAfterTheAudioIsRippedByNumber)
{
    // An enhanced CD: the data track comes last.
    insert("enhanced", {{true, 150, 440}, {true, 113, 675}, {false, 100}}, {"一", "二", "データ"});
    auto w = ripper();
    ASSERT_EQ(w->lstTrack->topLevelItemCount(), 3);
    w->chkWAV->SetChecked(true);
    select(*w, {0, 1, 2});
    answers = {6, 6};
    EXPECT_NO_THROW(w->sbPlayClick());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, endText(3, 3));
    EXPECT_EQ(filesIn(saveDir()), (std::vector<std::string>{"データ.wav", "一.wav", "二.wav"}));
    // The sectors as the image holds them, then the file's ID3v1 tag.
    const std::string data = readFile(saveDir() + "/データ.wav");
    ASSERT_EQ(data.size(), 44u + 100 * 2352 + 128);
    EXPECT_TRUE(data.substr(44, 100 * 2352) == trackBytes(2));
    ReadTag(saveDir() + "/データ.wav");
    EXPECT_EQ(CurrentTag.Track, "3");
}

TEST_F(RipperWindowTest, AnImageThatLostItsEndIsNamedTrackByTrackAndKeepsTheChoice)
{
    // The image lost its end after the disc was read: the sheet now points past its file, so
    // no track can be read; each is named, nothing is written and the batch runs to its end.
    auto w = ripper();
    ASSERT_TRUE(QFile::resize(QString::fromStdString(bin()), 200 * 2352));
    select(*w, {1, 0, 2});
    answers = {6, 6};
    EXPECT_NO_THROW(w->sbPlayClick());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, endText(0, 3) + "\r\rトラック 1 を読み込めません: 夜明け: 始まり?"
                             "\rトラック 2 を読み込めません: A/B の道\rトラック 3 を読み込めません");
    EXPECT_TRUE(filesIn(saveDir()).empty());
    EXPECT_EQ(w->Gauge2->Position(), 3);
    // What was not read stays chosen, for another try.
    EXPECT_EQ(w->lstTrack->selectedItems(),
              (QList<QTreeWidgetItem*>{w->lstTrack->topLevelItem(1), w->lstTrack->topLevelItem(0),
                                       w->lstTrack->topLevelItem(2)}));
    EXPECT_EQ(w->lblTrack->text().toStdString(), "トラック 3 を読み込めません");
    EXPECT_TRUE(w->sbPlay->isEnabled());
    w->grab().save(cdtest::screenshotDir() + "/cd-ripper-read-failure.png");
}

TEST_F(RipperWindowTest, ATrackReadShortIsRemovedAndTheNextIsRipped)
{
    insert("mixed", {{true, 150, 440}, {false, 120}, {true, 113, 675}}, {"一", "データ", "三"});
    const std::string whole = readFile(bin());
    auto w = ripper();
    w->chkWAV->SetChecked(true);
    // The data sectors stop coming in the middle of track 2 (its sectors are read as they are,
    // so a missing one fails its chunk), and are back for track 3.
    bool cut = false;
    std::int64_t shortSize = -1;
    auto progress = w->CDRIP1->OnProgress;
    w->CDRIP1->OnProgress = [&](cd::TCDRIP* s, std::uint16_t pct) {
        progress(s, pct);
        if (w->lblTrack->text() == QStringLiteral("データ") && !std::exchange(cut, true))
            QFile::resize(QString::fromStdString(bin()), (150 + 40) * 2352);
    };
    auto endTrack = w->CDRIP1->OnEndTrack;
    w->CDRIP1->OnEndTrack = [&](cd::TCDRIP* s, std::uint16_t n) {
        endTrack(s, n);
        if (n == 2) {
            shortSize = QFileInfo(QString::fromStdString(saveDir() + "/データ.wav")).size();
            writeFile(bin(), whole);
        }
    };
    select(*w, {0, 1, 2});
    answers = {6, 6};
    w->sbPlayClick();
    EXPECT_TRUE(cut);
    EXPECT_GT(shortSize, 44);
    EXPECT_LT(shortSize, 44 + 120 * 2352);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, endText(2, 3) + "\r\rトラック 2 を読み込めません: データ");
    EXPECT_EQ(filesIn(saveDir()), (std::vector<std::string>{"一.wav", "三.wav"}));
    const std::string want = trackBytes(2);
    EXPECT_TRUE(readFile(saveDir() + "/三.wav").substr(44, want.size()) == want);
}

namespace {

// The ripper as its teardown starts it: its handlers stopped, the window still whole.
struct StoppableRipper : TfrmMP3 {
    using TfrmMP3::TfrmMP3;
    void StopHandlers() { Handlers.Stop(); }
};

}  // namespace

// The ripper's handlers on its controls, menu, coder and ripper end with the window's
// handlers, so the components going with the window (or a copy of an event held past it)
// reach none of its code.
TEST_F(RipperWindowTest, OnceItsTeardownStartsNoControlOrComponentReachesTheWindow)
{
    ripper().reset();  // the CD window with the disc
    auto w = std::make_unique<StoppableRipper>(cdWindow.get());
    ASSERT_TRUE(w->CDRIP1);
    w->LameCoder1->OnProgress(w->LameCoder1.get(), 40);
    EXPECT_EQ(w->Gauge1->Position(), 40);
    const cd::TRipProgressEvent held = w->CDRIP1->OnProgress;

    w->StopHandlers();
    w->lstTrack->clearSelection();
    w->LameCoder1->OnProgress(w->LameCoder1.get(), 70);
    w->CDRIP1->OnProgress(w->CDRIP1.get(), 80);
    w->run_SelAll->trigger();
    const bool mp3 = w->chkMP3->Checked();
    w->chkWAV->OnClick(w->chkWAV);
    EXPECT_EQ(w->Gauge1->Position(), 40);
    EXPECT_TRUE(w->lstTrack->selectedItems().isEmpty());
    EXPECT_EQ(w->chkMP3->Checked(), mp3);

    w.reset();
    held(nullptr, 90);  // the window is gone: nothing runs
}

TEST(RipperEndText, CountsTheTracksAndListsAtMostTenFailures)
{
    std::vector<std::string> failures;
    for (int t = 1; t <= 12; ++t)
        failures.push_back(ReadFailureText(t, t == 1 ? "" : "曲"));
    const std::string text = RipEndText(0, 12, failures);
    EXPECT_TRUE(text.starts_with("録音が終了しました！！\r\r　　0 / 12 トラックを保存しました\r\rトラック 1 を読み込めません\rトラック 2 を読み込めません: 曲\r"));
    EXPECT_TRUE(text.ends_with("\rトラック 10 を読み込めません: 曲\r　ほか 2 トラック"));
}
