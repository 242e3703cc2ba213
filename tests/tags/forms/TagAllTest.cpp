// The bulk tag change and the details view driven offscreen on real MP3s and a WAV, with the
// recording host standing for the main window. What the bulk change writes is compared frame
// by frame by python3-mutagen; the settings file is read back by configparser.
#include "RecordingTagHost.h"
#include "tags/TagTestSupport.h"
#include "shared/SettingsFixture.h"
#include "shared/TaggedSongs.h"
#include "support/AudioFixtures.h"
#include "support/TestSupport.h"
#include "support/WaitFor.h"

#include "controls/gradient/RbButton.h"
#include "controls/std/ComboBox.h"
#include "platform/forms/Image.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Picture.h"
#include "tags/forms/AudioInfoLabels.h"
#include "tags/libID3Tag.h"
#include "tags/forms/xDetails.h"
#include "tags/forms/xTAG.h"
#include "tags/forms/xTagAll.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <filesystem>
#include <sys/stat.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// Every frame of each file but TCON, and its ID3v1 tag but the genre byte, as mutagen reads
// them: what a genre change must leave as it was.
const char* const DumpScript = R"(
import sys
from mutagen.id3 import ID3
for path in sys.argv[1:]:
    t = ID3(path)
    print(path, t.version)
    for k in sorted(t.keys()):
        if not k.startswith('TCON'):
            print(' ', k, repr(t[k]))
    tail = open(path, 'rb').read()[-128:]
    print(' v1', tail[:127].hex() if tail[:3] == b'TAG' else 'none')
)";

// Frames of other programs that the dialog must keep: another language's comment, a
// described TXXX, a composer, a private frame and a cover.
const char* const ForeignFramesScript = R"(
import sys
from mutagen.id3 import ID3, COMM, TXXX, TCOM, PRIV, APIC
for path in sys.argv[1:]:
    t = ID3(path)
    t.add(COMM(encoding=1, lang='eng', desc='iTunNORM', text=' 0000 0001'))
    t.add(TXXX(encoding=3, desc='MusicBrainz Album Id', text='c0ffee'))
    t.add(TCOM(encoding=1, text='作曲者'))
    t.add(PRIV(owner='WM/MediaClassPrimaryID', data=b'\x01\x02'))
    t.add(APIC(encoding=0, mime='image/png', type=3, desc='', data=b'\x89PNG fake'))
    t.save(v2_version=t.version[1], v1=1)
)";

std::string id3v1GenreByte(const std::string& path)
{
    const std::string bytes = readFile(path);
    return bytes.size() >= 128 && bytes.compare(bytes.size() - 128, 3, "TAG") == 0
               ? std::to_string(int(uint8_t(bytes.back())))
               : "none";
}

// A folder of tagged songs listed as the music list's rows, the tag objects and a scratch
// settings file.
struct BulkRig {
    SettingsFixture settings;
    TempDir dir;
    RecordingHost host;
    std::vector<std::string> files;

    BulkRig(int songs, bool withWav)
    {
        SetupTagObjects(true);
        host.folder = dir.path();
        std::vector<TaggedSong> list;
        for (int i = 0; i < songs; ++i) {
            const std::string n = std::to_string(i + 1);
            list.push_back({"song" + n + ".mp3", "歌" + n, i % 2 ? "歌手" : "Artist", "アルバム", "1999",
                            i % 3 ? "Pop" : "演歌", n});
        }
        writeTaggedSongs(dir.path(), list);
        for (const TaggedSong& s : list)
            addRow(dir.file(s.file), s.title, s.genre);
        if (withWav)
            addRow(makePcm(dir, "voice.wav", 8000, 1, 16, 0.2), "voice", "");
    }
    ~BulkRig() { SetupTagObjects(false); }

    void addRow(const std::string& path, const std::string& title, const std::string& genre)
    {
        files.push_back(path);
        host.music.push_back({std::to_string(files.size()), title, "", "", "", genre, "", path});
    }
    void selectAll()
    {
        host.selected.clear();
        for (std::size_t i = 0; i < files.size(); ++i)
            host.selected.push_back(int(i));
    }
    std::unique_ptr<TfrmTagAll> open(const std::string& category)
    {
        host.category = category;
        auto f = std::make_unique<TfrmTagAll>(host);
        f->show();
        f->activateWindow();
        waitFor([&] { return f->isActiveWindow(); }, 2000);
        return f;
    }
    std::vector<std::string> mp3s() const
    {
        std::vector<std::string> v;
        for (const std::string& f : files)
            if (f.ends_with(".mp3"))
                v.push_back(f);
        return v;
    }
    std::string dump() const
    {
        auto r = runCommand(python3(), [&] {
            std::vector<std::string> args{"-c", DumpScript};
            for (const std::string& f : mp3s())
                args.push_back(f);
            return args;
        }());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }
};

void typeText(QWidget* to, const char* text)
{
    for (const QChar c : QString::fromUtf8(text)) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(to, &press);
    }
}

void typeKey(QWidget* to, Qt::Key key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(to, &press);
}

std::vector<bool> enabled(const std::initializer_list<QWidget*>& widgets)
{
    std::vector<bool> v;
    for (QWidget* w : widgets)
        v.push_back(w->isEnabled());
    return v;
}

}  // namespace

TEST(TagAll, GenreChangesOnlyTheGenreOfEverySelectedFile)
{
    BulkRig rig(30, true);
    {
        std::vector<std::string> args{"-c", ForeignFramesScript};
        for (const std::string& f : rig.mp3s())
            args.push_back(f);
        auto r = runCommand(python3(), args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        // Our ID3v1 tag, as any save of ours would leave it.
        for (const std::string& f : rig.mp3s()) {
            ReadTag(f);
            ASSERT_TRUE(WriteTag(f));
        }
    }
    const std::string before = rig.dump();
    // Every row but the second.
    rig.selectAll();
    rig.host.selected.erase(rig.host.selected.begin() + 1);
    auto f = rig.open("Genre");
    EXPECT_EQ(f->windowTitle().toStdString(), "タグの一括変更");
    EXPECT_EQ(f->lblClass->text().toStdString(), "Classification: Genre");
    EXPECT_EQ(f->GroupBox1->title().toStdString(), " ID3v2 ");
    EXPECT_EQ(f->Edit2->text().toStdString(), "演歌");  // the first selected file's
    EXPECT_EQ(enabled({f->Edit1, f->Edit2, f->Edit3, f->Edit4, f->cmbCategry, f->cmbGenre, f->lbl01, f->lbl02,
                       f->lbl03, f->lbl04, f->lbl12}),
              (std::vector<bool>{false, true, false, false, true, true, false, true, false, false, true}));

    f->cmbCategry->SetItemIndex(f->cmbCategry->Items().IndexOf("Jazz"));
    f->cmbCategryChange(f->cmbCategry);
    EXPECT_EQ(f->Edit2->text().toStdString(), "Jazz");
    f->spdOkClick(f->spdOk);
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(rig.host.messages,
              std::vector<std::string>{"ＴＡＧ編集|データが編集されています！！\r登録してもよろしいですか？|ync"});
    EXPECT_EQ(rig.host.calls, (std::vector<std::string>{"monitor off", "monitor on"}));
    EXPECT_EQ(rig.host.refreshes, 1);

    // Only TCON and the ID3v1 genre byte changed, and only in the selected files.
    EXPECT_EQ(rig.dump(), before);
    for (std::size_t i = 0; i < rig.files.size(); ++i) {
        const std::string& path = rig.files[i];
        const bool chosen = i != 1;
        const std::string oldGenre = i == 30 ? "" : i % 3 ? "Pop" : "演歌";
        EXPECT_EQ(rig.host.music[i][5], chosen ? "Jazz" : oldGenre) << path;
        EXPECT_EQ(id3v1GenreByte(path), chosen ? "8" : "13") << path;
        if (i < 30) {
            EXPECT_EQ(tagtest::readWithTagLib(path).at("TCON"), chosen ? "Jazz" : oldGenre) << path;
        }
    }
}

TEST(TagAll, YearDigitsOnlyAndAFileThatCannotBeWrittenKeepsItsRow)
{
    BulkRig rig(3, false);
    rig.selectAll();
    ASSERT_EQ(::chmod(rig.files[1].c_str(), 0444), 0);
    const std::string locked = readFile(rig.files[1]);
    auto f = rig.open("Year");
    EXPECT_EQ(enabled({f->Edit1, f->Edit2, f->Edit3, f->Edit4, f->cmbCategry, f->cmbGenre}),
              (std::vector<bool>{true, false, false, false, false, false}));
    EXPECT_TRUE(f->Edit1->hasFocus());
    f->Edit1->clear();
    typeText(f->Edit1, "2x0年0１1");
    EXPECT_EQ(f->Edit1->text().toStdString(), "2001");
    f->SaveTagAll();
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_EQ(rig.host.messages[0], "ＴＡＧ編集|次のファイルのタグを保存できませんでした。\rsong2.mp3|y");
    EXPECT_EQ(readFile(rig.files[1]), locked);
    for (int i : {0, 2}) {
        EXPECT_EQ(rig.host.music[size_t(i)][4], "2001");
        EXPECT_EQ(tagtest::readWithTagLib(rig.files[size_t(i)]).year, 2001u);
    }
    EXPECT_EQ(rig.host.music[1][4], "");  // as the list showed it

    // A row whose index stands for another file by now is left alone.
    rig.host.music[0][7] = "/elsewhere/other.mp3";
    f->Edit1->setText("1984");
    f->SaveTagAll();
    EXPECT_EQ(rig.host.music[0][4], "2001");
    EXPECT_EQ(rig.host.music[2][4], "1984");
}

// A year past the box's four digits (a date some writers put into TYER) shows whole, takes no
// more typing and, left alone, asks nothing on leaving.
TEST(TagAll, TheYearBoxShowsTheWholeStoredYear)
{
    BulkRig rig(0, false);
    const std::string path = tagtest::makeFile(rig.dir.file("dated.mp3"), tagtest::mp3Audio());
    tagtest::writeWithMutagen(path, 3, {{"TIT2", 1, "日付の曲"}, {"TYER", 1, "2001-05-03"}});
    rig.addRow(path, "日付の曲", "");
    rig.selectAll();
    auto f = rig.open("Year");
    EXPECT_EQ(f->Edit1->text().toStdString(), "2001-05-03");
    f->Edit1->end(false);
    typeText(f->Edit1, "7");
    EXPECT_EQ(f->Edit1->text().toStdString(), "2001-05-03");
    EXPECT_FALSE(f->IsTagAllModified());
    QCoreApplication::processEvents();
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/tags/";
    QDir().mkpath(dir);
    EXPECT_TRUE(f->grab().toImage().save(dir + "tag-all-stored-year.png"));
    typeKey(f->Edit1, Qt::Key_Escape);
    EXPECT_FALSE(f->isVisible());
    EXPECT_TRUE(rig.host.messages.empty());
}

TEST(TagAll, TheEngineFileIsClosedAndGivenBackAlsoWhenItsWriteFails)
{
    BulkRig rig(3, false);
    rig.selectAll();
    rig.host.gauge = 40;
    for (const std::string status : {"play", "pause", "stop"}) {
        for (const bool writable : {true, false}) {
            ASSERT_EQ(::chmod(rig.files[1].c_str(), writable ? 0644 : 0444), 0);
            rig.host.file = rig.files[1];
            rig.host.status = status;
            rig.host.calls.clear();
            rig.host.answers.clear();
            auto f = rig.open("Artist");
            f->Edit3->setText(QString::fromStdString("誰か " + status));
            f->SaveTagAll();
            EXPECT_EQ(rig.host.calls, (std::vector<std::string>{"monitor off", "close", "monitor on",
                                                                "reopen " + rig.files[1] + " 40 " + status}))
                << status << writable;
        }
    }
    // A close or a second OK while the save lets events run waits for it.
    rig.host.calls.clear();
    auto f = rig.open("Album");
    f->Edit4->setText("別のアルバム");
    rig.host.whileClosing = [&] {
        f->close();
        f->spdOkClick(f->spdOk);
    };
    f->SaveTagAll();
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(std::count(rig.host.calls.begin(), rig.host.calls.end(), "close"), 1);
    EXPECT_EQ(rig.host.music[2][3], "別のアルバム");
}

TEST(TagAll, NoSelectedRowReadsAndWritesNothing)
{
    BulkRig rig(2, false);
    const std::string before = readFile(rig.files[0]);
    ReadTag(rig.files[1]);
    auto f = rig.open("Genre");
    EXPECT_EQ(CurrentTag.TagFileName, rig.files[1]);  // nothing read
    EXPECT_EQ(enabled({f->Edit1, f->Edit2, f->Edit3, f->Edit4, f->cmbCategry, f->cmbGenre}),
              (std::vector<bool>(6, false)));
    EXPECT_EQ(f->GroupBox1->title().toStdString(), "  ");
    f->spdOkClick(f->spdOk);
    EXPECT_FALSE(f->isVisible());
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_TRUE(rig.host.calls.empty());
    EXPECT_EQ(readFile(rig.files[0]), before);
    // Another classification leaves nothing editable either.
    rig.selectAll();
    auto g = rig.open("Title");
    EXPECT_EQ(enabled({g->Edit1, g->Edit2, g->Edit3, g->Edit4}), (std::vector<bool>(4, false)));
}

TEST(TagAll, GenreHistoryAndKeys)
{
    BulkRig rig(2, false);
    rig.selectAll();
    IniWriteSectionList(IniBase, "TAG_GENRE", {"甲", "乙"});
    {
        auto f = rig.open("Genre");
        EXPECT_EQ(f->cmbGenre->Items().Count(), 2);
        f->Edit2->setText("ネオ演歌");
        f->SaveTagAll();
        f->SaveTagAll();  // the same genre again is not added twice
        EXPECT_EQ(f->cmbGenre->Items().Count(), 3);
        EXPECT_EQ(f->cmbGenre->ItemIndex(), 2);
        f->cmbGenre->SetItemIndex(0);
        f->cmbGenreChange(f->cmbGenre);
        EXPECT_EQ(f->Edit2->text().toStdString(), "甲");
        f->SyncGenreHistory();
        int key = forms::VK_DELETE;
        f->cmbGenreKeyDown(f->cmbGenre, key, forms::TShiftState());
        EXPECT_EQ(f->cmbGenre->ItemIndex(), -1);
        // Escape in a field is Cancel: with changes it asks, and No keeps the dialog.
        rig.host.answers = {7, 6};
        typeKey(f->Edit2, Qt::Key_Escape);
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(rig.host.messages.back(), "ＴＡＧ編集|データが編集されています！！\r終了してもよろしいですか？|yn");
        typeKey(f->Edit2, Qt::Key_Escape);
        EXPECT_FALSE(f->isVisible());
    }
    EXPECT_EQ(readWithConfigParser(rig.settings.path()).keys("TAG_GENRE"),
              (IniKeys{{"1", "乙"}, {"2", "ネオ演歌"}}));
    EXPECT_EQ(tagtest::readWithTagLib(rig.files[1]).at("TCON"), "ネオ演歌");
}

TEST(TagAll, Screenshot)
{
    BulkRig rig(4, false);
    rig.selectAll();
    IniWriteSectionList(IniBase, "TAG_GENRE", {"ネオ演歌", "シティポップ"});
    auto f = rig.open("Genre");
    f->Edit2->setText("シティポップ");
    f->SyncGenreHistory();
    QCoreApplication::processEvents();
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/tags/";
    QDir().mkpath(dir);
    EXPECT_TRUE(f->grab().toImage().save(dir + "tag-all.png"));
}

// ------------------------------------------------------------------------ details view

namespace {

struct DetailsRig {
    SettingsFixture settings;
    TempDir dir;
    RecordingHost host;
    std::string mp3;

    DetailsRig()
    {
        SetupTagObjects(true);
        fs::create_directory(dir.file("music"));
        host.folder = dir.file("music");
        writeTaggedSongs(host.folder, {{"song.mp3", "夜明けのうた", "山田 花子", "夏の記憶", "2007", "JPop", "2"}});
        mp3 = host.folder + "/song.mp3";
    }
    ~DetailsRig() { SetupTagObjects(false); }

    void picture(const std::string& path)
    {
        auto r = runCommand("convert", {"-size", "640x480", "gradient:#f6d365-#fda085", "-fill", "#ffffff80", "-draw",
                                        "circle 320,240 320,120", path});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    void retag(const std::function<void()>& change)
    {
        ReadTag(mp3);
        change();
        ASSERT_TRUE(WriteTag(mp3));
    }
    std::unique_ptr<TfrmDetails> open(const std::string& path)
    {
        auto f = std::make_unique<TfrmDetails>(host);
        f->lblFile->setText(QString::fromStdString(path));
        f->show();
        QCoreApplication::processEvents();
        return f;
    }
    static std::vector<std::string> values(const TfrmDetails& f)
    {
        std::vector<std::string> v;
        for (QLabel* l : {f.lblYear, f.lblGenre, f.lblAlbum, f.lblArtist, f.lblTitle, f.lblTrack})
            v.push_back(l->text().toStdString());
        return v;
    }
    // Whether the photo area shows only white.
    static bool blank(const TfrmDetails& f)
    {
        const QImage shot = f.pnlPhoto->grab().toImage();
        for (int y = 2; y < shot.height() - 2; ++y)
            for (int x = 2; x < shot.width() - 2; ++x)
                if (shot.pixelColor(x, y) != Qt::white)
                    return false;
        return true;
    }
};

}  // namespace

TEST(Details, ShowsTheTagPhotoAndTheEditorsInformationLabels)
{
    DetailsRig rig;
    rig.picture(rig.host.folder + "/cover.jpg");
    rig.retag([] {
        CurrentTag.Comment = "ライブ録音";
        CurrentTag.Lyrics = "夜が明ける\n小さな鳥が 歌いだす";
        CurrentTag.PhotoName = "cover.jpg";
    });
    auto f = rig.open(rig.mp3);
    EXPECT_EQ(f->windowTitle().toStdString(), "Details Infomation");
    EXPECT_EQ(f->lblInfo->text().toStdString(), "( ID3v2 )");
    EXPECT_EQ(f->lblName->text().toStdString(), "File : song.mp3");
    EXPECT_EQ(DetailsRig::values(*f), (std::vector<std::string>{":  2007", ":  JPop", ":  夏の記憶", ":  山田 花子",
                                                                 ":  夜明けのうた", ":  2"}));
    EXPECT_EQ(f->edtComment->toPlainText().toStdString(), "ライブ録音");
    EXPECT_EQ(f->edtLyrics->toPlainText().toStdString(), "夜が明ける\n小さな鳥が 歌いだす");
    EXPECT_TRUE(f->edtLyrics->isReadOnly());
    EXPECT_EQ(f->imgPhoto->Picture().Width(), f->pnlPhoto->width());
    EXPECT_TRUE(f->imgPhoto->isVisible());
    EXPECT_FALSE(DetailsRig::blank(*f));

    // The same labels, prefixes and texts as the editor's, from one table.
    TfrmTAG editor(rig.host);
    editor.lblFile->setText(QString::fromStdString(rig.mp3));
    editor.show();
    GetAudioFileInfo(rig.mp3);
    for (std::size_t i = 0; i < AudioInfoLabels.size(); ++i) {
        EXPECT_EQ(f->lblInfos[i]->objectName().toStdString(), AudioInfoLabels[i].Name);
        EXPECT_EQ(f->lblInfos[i]->text().toStdString(), AudioInfoText(AudioInfoLabels[i], AudioFileInfo));
        EXPECT_EQ(f->lblInfos[i]->text(), editor.lblInfo[i]->text()) << i;
    }
    EXPECT_EQ(f->lblInfos[0]->text().toStdString().substr(0, 16), "Original      : ");
    EXPECT_EQ(f->lblInfos[12]->text().toStdString().substr(0, 16), "EncoderID     : ");

    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/tags/";
    QDir().mkpath(dir);
    EXPECT_TRUE(f->grab().toImage().save(dir + "details.png"));

    // Escape closes; nothing was written.
    const std::string bytes = readFile(rig.mp3);
    typeKey(f->edtLyrics, Qt::Key_Escape);
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(readFile(rig.mp3), bytes);
}

TEST(Details, EmptyTitlesUntaggedFilesAndPhotosOutsideTheFolder)
{
    DetailsRig rig;
    rig.picture(rig.dir.file("x.jpg"));
    rig.retag([] {
        CurrentTag.Title.clear();
        CurrentTag.PhotoName = "../x.jpg";
    });
    auto f = rig.open(rig.mp3);
    EXPECT_EQ(f->lblTitle->text().toStdString(), ":  ");  // no file-name stand-in
    EXPECT_TRUE(DetailsRig::blank(*f));

    const std::string bare = tagtest::makeFile(rig.host.folder + "/bare.mp3", tagtest::mp3Audio());
    auto g = rig.open(bare);
    EXPECT_EQ(g->lblInfo->text().toStdString(), "(  )");
    EXPECT_EQ(DetailsRig::values(*g), std::vector<std::string>(6, ":  "));
    EXPECT_TRUE(g->edtComment->toPlainText().isEmpty());
    EXPECT_TRUE(DetailsRig::blank(*g));
}
