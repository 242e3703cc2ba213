// The music list's conversions on a scanned, watched folder: a tagged WAV made by sox becomes
// an MP3 that ffprobe and mutagen read as the encoder and the WAV's tag should make it, listed
// right below its WAV; refusals and encoder failures give the window back and leave no file
// and no row; an MP3 becomes a RIFF-wrapped WAV that ffprobe reads and the monitor lists.
#include "shared/SettingsFixture.h"
#include "shared/TaggedSongs.h"

#include "app/DirMon.h"
#include "app/Globals.h"
#include "app/MainForm.h"
#include "cd/LameCoder.h"
#include "platform/forms/Application.h"
#include "platform/sound/MemorySoundDevice.h"
#include "support/WaitFor.h"
#include "tags/libID3Tag.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

// The main window on a scratch settings file whose music folder is Music, scanned and watched;
// its engine plays on the memory sound device. Questions are recorded and answered yes;
// failures that reach the program's message box are recorded too.
struct ConvertRig {
    SettingsFixture settings;
    TempDir music;
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> device = snd::MemorySoundDevice::create(clock);
    sound::TcbDSMixer mixer{[this](const std::string&) { return device; }};
    std::unique_ptr<TfrmMain> w;
    Strings asked, failures;

    // Make writes the folder's files once the tag objects exist and before the scan.
    explicit ConvertRig(const std::function<void(ConvertRig&)>& Make)
    {
        IniWriteString(settings.base, "SETTING", "MP3_PATH", music.path());
        IniWriteSectionList(settings.base, "MUSIC_FOLDER", {music.path()});
        Mp3Path.clear();
        MusicFolders.clear();
        w = std::make_unique<TfrmMain>(&mixer, nullptr, &clock);
        w->MsgBoxEx = [this](QWidget*, const std::string& c, const std::string& t, int, const std::string&,
                             const std::string&) {
            asked.push_back(c + "|" + t);
            return 6;
        };
        forms::SetExceptionReporter([this](const std::string& m) { failures.push_back(m); });
        Make(*this);
        w->show();
        EXPECT_TRUE(waitFor([&] { return w->Loaded(); }));
        EXPECT_TRUE(w->DirMon1->Active());
    }
    ~ConvertRig()
    {
        forms::SetExceptionReporter(nullptr);
        waitFor([&] { return !w->Library.Busy(); });
        w->close();
        w.reset();
        Mp3Path.clear();
        MusicFolders.clear();
    }
    int rowOf(const std::string& Path) const
    {
        for (int i = 0; i < w->lstMP3->topLevelItemCount(); ++i)
            if (TfrmMain::RowPath(w->lstMP3->topLevelItem(i)) == Path)
                return i;
        return -1;
    }
    // Selects Path's row alone and runs Command as the music list's popup menu offers it;
    // Meanwhile runs between the menu's showing and the click.
    void run(QAction* Command, const std::string& Path, const std::function<void()>& Meanwhile = {})
    {
        const int row = rowOf(Path);
        ASSERT_GE(row, 0) << Path;
        w->lstMP3->clearSelection();
        w->lstMP3->topLevelItem(row)->setSelected(true);
        w->PopupMenu2Popup();
        ASSERT_TRUE(Command->isEnabled());
        if (Meanwhile)
            Meanwhile();
        Command->trigger();
    }
    // The window is given back whatever happened.
    void expectGivenBack() const
    {
        EXPECT_TRUE(w->isEnabled());
        EXPECT_FALSE(w->pnlCnvMp3->isVisible());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(w->DirMon1->Active());
    }
};

std::string makeWav(const std::string& Path, const char* Seconds = "3")
{
    const auto r = runCommand("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Path, "synth", Seconds, "sine", "440"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return Path;
}

// "key=value" lines of ffprobe about the file's container and first stream.
std::string probe(const std::string& Path)
{
    const auto r = runCommand("ffprobe", {"-v", "error", "-show_entries",
                                          "format=format_name:stream=codec_name,sample_rate,channels,bit_rate",
                                          "-of", "default=nw=1", Path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

// The ID3v2 frames as mutagen reads them: id -> text, encoding 0 read as CP932 as the program
// writes it; frames mutagen does not know are there with an empty text.
QJsonObject mutagenFrames(const std::string& Path)
{
    static const char* program = R"(
import sys, json
from mutagen.id3 import ID3
t = ID3(sys.argv[1], translate=False, load_v1=False)
def text(f):
    if hasattr(f, "url"):
        return f.url
    s = f.text if isinstance(f.text, str) else "/".join(str(x) for x in f.text)
    return s.encode("latin-1").decode("cp932") if getattr(f, "encoding", 3) == 0 else s
frames = {f.FrameID: text(f) for f in t.values()}
for raw in t.unknown_frames:  # frames of our own, such as TCDB and TPHO
    frames[raw[:4].decode("latin-1")] = ""
print(json.dumps(frames))
)";
    const auto r = runCommand(python3(), {"-c", program, Path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
}

// The folder takes no new file, also for root (immutable); false when it cannot be made so.
bool lockFolder(const std::string& Folder, bool Lock)
{
    if (geteuid() == 0)
        return runCommand("chattr", {Lock ? "+i" : "-i", Folder}).exitCode == 0;
    fs::permissions(Folder, Lock ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_all);
    return true;
}

}  // namespace

TEST(MainFormConvert, AWavBecomesAnMp3WithItsTagRightBelowIt)
{
    std::string wav, other, bare;
    ConvertRig rig([&](ConvertRig& r) {
        bare = makeWav(r.music.file("bare.wav"), "1");
        wav = makeWav(r.music.file("a.wav"));
        ReadTag(wav);
        CurrentTag.Title = "雨の歌";
        CurrentTag.Artist = "山田花子";
        CurrentTag.Album = "四季";
        CurrentTag.Year = "2001";
        CurrentTag.Genre = "Rock";
        CurrentTag.Track = "3";
        CurrentTag.Comment = "メモ";
        ASSERT_TRUE(WriteTag(wav));
        for (const char* taken : {"a.mp3", "a(2).mp3"})
            writeFile(r.music.file(taken), "taken");
        // Another song whose tag has what a WAV's cannot: a CDDB path, a photo, lyrics.
        writeTaggedSongs(r.music.path(), {{"b.mp3", "別の歌", "誰か", "", "", "", ""}});
        other = r.music.file("b.mp3");
        ReadTag(other);
        CurrentTag.CddbPath = "/~cddb/cddb.cgi?cmd=x";
        CurrentTag.PhotoName = "photo.jpg";
        CurrentTag.Lyrics = "よその歌詞";
        ASSERT_TRUE(WriteTag(other));
    });
    const int wavRow = rig.rowOf(wav);
    ASSERT_GE(wavRow, 0);
    const int rows = rig.w->lstMP3->topLevelItemCount();

    // The WAV plays: it is closed for the conversion and its title shows again afterwards.
    rig.w->DxSound->PlayFile(wav);
    rig.w->DxSound->Play();
    ASSERT_EQ(rig.w->DxSound->FileNamme(), wav);

    // Meanwhile: the window is taken, the panel shows, the monitor rests, and the engine
    // reads another file's tag into the record (as list play does when it moves on).
    // At half way the window is photographed for a person to look at.
    bool held = true;
    QImage half;
    const auto progress = rig.w->LameCoder1->OnProgress;
    rig.w->LameCoder1->OnProgress = [&](cd::TLameCoder* c, std::uint16_t p) {
        progress(c, p);
        if (p >= 50 && half.isNull()) {
            EXPECT_EQ(rig.w->GaugeMP3->Percent(), p);
            half = rig.w->grab().toImage();
        }
        held = held && !rig.w->isEnabled() && QGuiApplication::overrideCursor() && rig.w->pnlCnvMp3->isVisible() &&
               !rig.w->DirMon1->Active();
        ReadTag(other);
    };
    rig.run(rig.w->do_ConvMp3, wav, [&] { ReadTag(other); });

    const QString shots = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(shots);
    EXPECT_TRUE(half.save(shots + "converter.png"));

    const std::string out = rig.music.file("a(3).mp3");
    ASSERT_TRUE(fs::exists(out));
    EXPECT_TRUE(held);
    rig.expectGivenBack();
    EXPECT_EQ(rig.w->GaugeMP3->Progress(), 100);
    EXPECT_TRUE(rig.failures.empty() && rig.asked.empty());
    EXPECT_EQ(rig.w->DxSound->FileNamme(), "");
    EXPECT_EQ(rig.w->lblMusic->text().toStdString(), "雨の歌");

    // The new row stands right below the WAV's, numbered with the rest.
    ASSERT_EQ(rig.w->lstMP3->topLevelItemCount(), rows + 1);
    EXPECT_EQ(rig.rowOf(out), wavRow + 1);
    EXPECT_EQ(rig.w->lstMP3->topLevelItem(wavRow + 1)->text(2).toStdString(), "雨の歌");
    for (int i = 0; i <= rows; ++i)
        EXPECT_EQ(rig.w->lstMP3->topLevelItem(i)->text(1).toInt(), i + 1);

    const std::string p = probe(out);
    for (const char* want : {"format_name=mp3", "codec_name=mp3", "sample_rate=44100", "channels=2", "bit_rate=128000"})
        EXPECT_NE(p.find(want), std::string::npos) << want << " in\n" << p;
    // The WAV's texts (a WAV carries an ID3v1 tag: no lyrics, USER, TXXX or WXXX), and
    // nothing of the other song the record held meanwhile.
    const QJsonObject f = mutagenFrames(out);
    const std::pair<const char*, const char*> texts[] = {{"TIT2", "雨の歌"}, {"TPE1", "山田花子"}, {"TALB", "四季"},
                                                         {"TCON", "Rock"},  {"TRCK", "3"},         {"COMM", "メモ"}};
    for (const auto& [id, text] : texts)
        EXPECT_EQ(f[id].toString().toStdString(), text) << id;
    EXPECT_EQ((f["TYER"].toString() + f["TDRC"].toString()).toStdString(), "2001");
    for (const char* absent : {"TCDB", "TPHO", "USLT"})
        EXPECT_FALSE(f.contains(absent)) << absent;

    // A WAV without a tag gives an MP3 without a word: nothing to tag is no failed save.
    rig.run(rig.w->do_ConvMp3, bare);
    EXPECT_NE(probe(rig.music.file("bare.mp3")).find("codec_name=mp3"), std::string::npos);
    EXPECT_TRUE(rig.asked.empty() && rig.failures.empty());

    // While a conversion runs, a second one is refused and a close waits for its end.
    int tries = 0;
    rig.w->LameCoder1->OnProgress = [&](cd::TLameCoder* c, std::uint16_t p) {
        progress(c, p);
        if (tries++ == 0) {
            rig.w->do_ConvMp3Click();
            rig.w->close();
            QCoreApplication::processEvents();
            EXPECT_TRUE(rig.w->isVisible());
        }
    };
    rig.run(rig.w->do_ConvMp3, wav);
    EXPECT_TRUE(fs::exists(rig.music.file("a(4).mp3")));
    EXPECT_FALSE(fs::exists(rig.music.file("a(5).mp3")));
    EXPECT_TRUE(rig.failures.empty());
    EXPECT_TRUE(waitFor([&] { return !rig.w->isVisible(); }, 5000));
}

TEST(MainFormConvert, RefusalsAndFailuresLeaveNoFileAndNoRow)
{
    std::string wrapped, locked, failing, deep;
    ConvertRig rig([&](ConvertRig& r) {
        // 24-bit samples, which the encoder does not take.
        deep = r.music.file("e.wav");
        ASSERT_EQ(runCommand("sox", {"-n", "-r", "44100", "-c", "2", "-b", "24", deep, "synth", "0.5", "sine", "440"})
                      .exitCode,
                  0);
        // A WAV that holds MPEG audio: an MP3 wrapped by the program itself.
        writeTaggedSongs(r.music.path(), {{"m.mp3", "", "", "", "", "", ""}});
        wrapped = ConvertMp3ToRiffWave(r.music.file("m.mp3"));
        fs::remove(r.music.file("m.mp3"));
        fs::create_directory(r.music.file("locked"));
        locked = makeWav(r.music.file("locked/c.wav"), "1");
        // A title, so that the new MP3 needs an ID3v2 tag, which a locked folder refuses.
        ReadTag(locked);
        CurrentTag.Title = "歌";
        ASSERT_TRUE(WriteTag(locked));
        failing = makeWav(r.music.file("d.wav"));
    });
    ASSERT_EQ(wrapped, rig.music.file("m.wav"));
    // The locked folder's WAV is listed as an imported file would be.
    rig.w->InsertFileRow(locked, -1);
    const bool canLock = lockFolder(rig.music.file("locked"), true);
    struct Unlock {
        std::string folder;
        ~Unlock() { lockFolder(folder, false); }   // also when a check above gave up
    } unlock{rig.music.file("locked")};
    // The encoder fails halfway.
    const auto progress = rig.w->LameCoder1->OnProgress;
    rig.w->LameCoder1->OnProgress = [&](cd::TLameCoder* c, std::uint16_t p) {
        progress(c, p);
        if (p >= 50)
            throw cd::ELameError("Write Error");
    };
    // A refusal leaves the playing file alone.
    rig.w->DxSound->PlayFile(wrapped);
    ASSERT_EQ(rig.w->DxSound->FileNamme(), wrapped);
    struct Case {
        std::string wav, asked, failure;
    };
    std::vector<Case> cases = {
        {wrapped, "ＭＰ３変換|『 m.wav 』 は 『ＭＰ３』 に変換出来ません！！", ""},
        {deep, "ＭＰ３変換|『 e.wav 』 は 『ＭＰ３』 に変換出来ません！！", ""},
        {failing, "", "Write Error"},
    };
    if (canLock)
        cases.push_back({locked, "", "Cannot create file \"" + rig.music.file("locked/c.mp3") + "\"."});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wav);
        rig.asked.clear();
        rig.failures.clear();
        const int rows = rig.w->lstMP3->topLevelItemCount();
        rig.run(rig.w->do_ConvMp3, c.wav);
        rig.expectGivenBack();
        EXPECT_EQ(rig.asked, c.asked.empty() ? Strings{} : Strings{c.asked});
        EXPECT_EQ(rig.failures, c.failure.empty() ? Strings{} : Strings{c.failure});
        EXPECT_FALSE(fs::exists(fs::path(c.wav).replace_extension(".mp3")));
        EXPECT_EQ(rig.w->lstMP3->topLevelItemCount(), rows);
        EXPECT_EQ(rig.w->DxSound->FileNamme(), wrapped);
    }
    if (!canLock) {
        ADD_FAILURE() << "the folder could not be locked: the unwritable folder was not tried";
        return;
    }
    EXPECT_EQ(QDir(QString::fromStdString(rig.music.file("locked"))).entryList(QDir::Files).size(), 1);
    lockFolder(rig.music.file("locked"), false);

    // The folder locks once the MP3 is there: its sound stays, listed under its file name,
    // and the user hears that its tag was not saved.
    rig.w->LameCoder1->OnProgress = progress;
    rig.w->LameCoder1->OnEndFile = [&](cd::TLameCoder*, std::uint16_t, const std::string&) {
        lockFolder(rig.music.file("locked"), true);
    };
    rig.asked.clear();
    rig.failures.clear();
    rig.run(rig.w->do_ConvMp3, locked);
    lockFolder(rig.music.file("locked"), false);
    rig.expectGivenBack();
    EXPECT_EQ(rig.asked, Strings{"ＴＡＧ編集|タグを保存できませんでした！！"});
    EXPECT_TRUE(rig.failures.empty());
    const std::string out = rig.music.file("locked/c.mp3");
    EXPECT_NE(probe(out).find("codec_name=mp3"), std::string::npos);
    ASSERT_EQ(rig.rowOf(out), rig.rowOf(locked) + 1);
    EXPECT_EQ(rig.w->lstMP3->topLevelItem(rig.rowOf(out))->text(2).toStdString(), "c.mp3");
}

TEST(MainFormConvert, AnMp3BecomesAWavTheMonitorLists)
{
    ConvertRig rig([](ConvertRig& r) {
        writeTaggedSongs(r.music.path(), {{"x.mp3", "エックス", "", "", "", "", ""}});
        writeFile(r.music.file("z.mp3"), std::string(4096, 'z'));
    });
    std::vector<std::pair<char, std::string>> dialogs;   // 'i' information, '?' question
    rig.w->WrapDialogs.Inform = [&](const std::string& t) { dialogs.emplace_back('i', t); };
    rig.w->WrapDialogs.AskTakeHeader = [&](const std::string& t) {
        dialogs.emplace_back('?', t);
        return TRiffAnswer::Yes;
    };

    rig.run(rig.w->do_ConvWav, rig.music.file("x.mp3"));
    const std::string x = rig.music.file("x.wav");
    ASSERT_TRUE(fs::exists(x));
    const std::string p = probe(x);
    EXPECT_NE(p.find("format_name=wav"), std::string::npos) << p;
    EXPECT_NE(p.find("codec_name=mp3"), std::string::npos) << p;
    EXPECT_TRUE(dialogs.empty());
    EXPECT_TRUE(waitFor([&] { return rig.rowOf(x) >= 0; }, 5000));

    // A file that already wraps its MP3 in RIFF: asked whether to take that header; yes keeps
    // the RIFF part as it is.
    fs::copy_file(x, rig.music.file("y.mp3"));
    rig.w->InsertFileRow(rig.music.file("y.mp3"), -1);
    rig.run(rig.w->do_ConvWav, rig.music.file("y.mp3"));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], std::make_pair('?', rig.music.file("y.mp3") + "\r\nhas a RIFF WAVE header!\r\n\r\nTake this header?"));
    const std::string riff = readFile(x);
    EXPECT_EQ(readFile(rig.music.file("y.wav")).substr(0, 70), riff.substr(0, 70));

    // Not MP3 at all: told so, nothing written.
    rig.run(rig.w->do_ConvWav, rig.music.file("z.mp3"));
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1], std::make_pair('i', std::string("This file is no MP3 valid file!")));
    EXPECT_FALSE(fs::exists(rig.music.file("z.wav")));
    // The window's dialogs were lent for the conversion only.
    EXPECT_FALSE(Mp3WrapDialogs.Inform || Mp3WrapDialogs.AskTakeHeader);
}
