// The tag editor driven offscreen as a user would, on real MP3s and a WAV, with a recording
// host that answers the questions and stands for the main window and the engine. What the
// dialog writes is read back by TagLib, python3 and ImageMagick.
#include "RecordingTagHost.h"
#include "tags/TagTestSupport.h"
#include "shared/SettingsFixture.h"
#include "shared/TaggedSongs.h"
#include "support/AudioFixtures.h"
#include "support/TestSupport.h"
#include "support/WaitFor.h"

#include "controls/dialogs/CoolDlgEx.h"
#include "controls/gradient/RbButton.h"
#include "controls/std/Label.h"
#include "controls/std/ComboBox.h"
#include "platform/forms/Application.h"
#include "platform/forms/Control.h"
#include "platform/forms/Image.h"
#include "tags/forms/TagDialogHost.h"
#include "tags/libID3Tag.h"
#include "tags/forms/xTAG.h"
#include "util/Cp932.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QUrl>

#include <algorithm>
#include <deque>
#include <functional>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// A music folder with a Japanese-tagged MP3 and a WAV, the tag objects and a scratch
// settings file.
struct EditorRig {
    SettingsFixture settings;
    TempDir dir;
    RecordingHost host;
    std::string mp3, wav;

    EditorRig()
    {
        SetupTagObjects(true);
        host.folder = dir.path();
        writeTaggedSongs(dir.path(), {{"song.mp3", "古い題名", "歌手", "アルバム", "1999", "Pop", "3"}});
        mp3 = dir.file("song.mp3");
        wav = makePcm(dir, "voice.wav", 8000, 1, 16, 0.2);
    }
    ~EditorRig() { SetupTagObjects(false); }

    std::unique_ptr<TfrmTAG> open(const std::string& path, int list = 1)
    {
        auto f = std::make_unique<TfrmTAG>(host);
        f->lblFile->setText(QString::fromStdString(path));
        f->lblFileTag = list;
        f->show();
        f->activateWindow();
        waitFor([&] { return f->isActiveWindow(); }, 2000);
        return f;
    }
    std::string picture(const std::string& name, int w, int h)
    {
        const std::string path = dir.file(name);
        auto r = runCommand("convert", {"-size", std::to_string(w) + "x" + std::to_string(h), "gradient:red-blue", path});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return path;
    }
    std::vector<std::string> photos() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (TfrmTAG::IsPhotoFileName(e.path().filename().string()))
                names.push_back(e.path().filename().string());
        return names;
    }
};

// The audio of an MP3: the bytes between its ID3v2 tag and its ID3v1 tag.
std::string mp3Audio(const std::string& bytes)
{
    std::size_t start = 0;
    if (bytes.compare(0, 3, "ID3") == 0 && bytes.size() >= 10) {
        start = 10 + (std::size_t(uint8_t(bytes[6])) << 21 | std::size_t(uint8_t(bytes[7])) << 14 |
                      std::size_t(uint8_t(bytes[8])) << 7 | std::size_t(uint8_t(bytes[9])));
    }
    std::size_t end = bytes.size();
    if (end >= 128 && bytes.compare(end - 128, 3, "TAG") == 0)
        end -= 128;
    return bytes.substr(start, end - start);
}

void typeKey(QWidget* to, Qt::Key key, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(to, &press);
}

}  // namespace

TEST(TagEditor, SavesTypedJapaneseTextsAndAPhotoThatOtherReadersRead)
{
    EditorRig rig;
    const std::string audioBefore = mp3Audio(readFile(rig.mp3));
    const std::string jpg = rig.picture("big.jpg", 1200, 900);
    auto f = rig.open(rig.mp3);
    EXPECT_EQ(f->windowTitle().toStdString(), "ID3v2 Tagger");
    EXPECT_EQ(f->GroupBox1->title().toStdString(), " ID3v2 ");
    EXPECT_EQ(f->Edit5->text().toStdString(), "古い題名");
    EXPECT_EQ(f->lblName->text().toStdString(), "File : song.mp3");
    EXPECT_EQ(f->lblInfo[2]->text().toStdString().rfind("Mpeg Version  : ", 0), 0u);

    f->Edit1->setText("2024");
    f->Edit2->setText("ネオ演歌");
    f->Edit3->setText("山田 花子");
    f->Edit4->setText("夏の記憶");
    f->Edit5->setText("夜明けのうた");
    f->Edit7->setPlainText("良い曲です");
    f->Edit8->setPlainText("一行目\n二行目");
    f->OpenPictureDialog1 = [&](const std::string&) { return jpg; };
    f->btnPhotoClick(f->btnPhoto);
    const std::string photo = f->PhotoName();
    ASSERT_TRUE(TfrmTAG::IsPhotoFileName(photo)) << photo;
    EXPECT_EQ(IniReadString(IniBase, "SETTING", "PHOTO_TAG_PATH", ""), rig.dir.path());

    f->spdOkClick(f->spdOk);
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(f->Tag, 1);
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_EQ(rig.host.messages[0], "ＴＡＧ編集|データが編集されています！！\r\r登録してもよろしいですか？|ync");

    const tagtest::TagLibView v = tagtest::readWithTagLib(rig.mp3);
    EXPECT_EQ(v.at("TIT2"), "夜明けのうた");
    EXPECT_EQ(v.at("TPE1"), "山田 花子");
    EXPECT_EQ(v.at("TALB"), "夏の記憶");
    EXPECT_EQ(v.year, 2024u);  // TagLib reads TYER as the year
    EXPECT_EQ(v.at("TCON"), "ネオ演歌");
    EXPECT_EQ(v.at("COMM"), "良い曲です");
    EXPECT_EQ(v.at("USLT").substr(0, 9), "一行目");
    EXPECT_EQ(v.at("TPHO"), photo);
    EXPECT_EQ(mp3Audio(readFile(rig.mp3)), audioBefore);

    // The photo at full size, read-only, beside the music.
    const std::string photoPath = rig.dir.file(photo);
    struct stat st {};
    ASSERT_EQ(::stat(photoPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    auto id = runCommand("identify", {"-format", "%m %w x %h", photoPath});
    EXPECT_EQ(id.out, "JPEG 1200 x 900") << id.err;

    // The row and the title display follow; the genre is remembered.
    EXPECT_EQ(rig.host.row[0], "夜明けのうた");
    EXPECT_EQ(rig.host.row[4], "ネオ演歌");
    EXPECT_EQ(rig.host.lblMusic, "夜明けのうた");
    EXPECT_EQ(rig.host.calls, (std::vector<std::string>{"monitor off", "monitor on"}));
    f.reset();
    const ParsedIni ini = readWithConfigParser(rig.settings.path());
    EXPECT_EQ(ini.keys("TAG_GENRE"), (IniKeys{{"1", "ネオ演歌"}}));

    // Reopened: the history offers it, and choosing another photo replaces the old file.
    auto g = rig.open(rig.mp3);
    EXPECT_EQ(g->cmbGenre->ItemIndex(), 0);
    const std::string other = rig.picture("other.jpg", 40, 30);
    g->FileDrop1FileDrop({other});
    EXPECT_NE(g->PhotoName(), photo);
    g->spdOkClick(g->spdOk);
    EXPECT_EQ(rig.photos(), std::vector<std::string>{g->PhotoName()});
}

TEST(TagEditor, AWavGetsOnlyAnId3v1TagOfCp932Fields)
{
    EditorRig rig;
    const std::string before = readFile(rig.wav);
    auto f = rig.open(rig.wav, 2);
    EXPECT_TRUE(f->Edit2->isReadOnly());
    EXPECT_FALSE(f->Edit8->isEnabled());
    EXPECT_FALSE(f->btnPhoto->isEnabled());
    EXPECT_EQ(f->Edit5->text().toStdString(), "voice");  // no title: the file's name

    // 30-byte fields: 16 kanji typed keep 15, and a character is never split.
    f->Edit3->clear();
    f->Edit3->insert(QString::fromUtf8("一二三四五六七八九十一二三四五六"));
    EXPECT_EQ(f->Edit3->text(), QString::fromUtf8("一二三四五六七八九十一二三四五"));
    f->Edit4->clear();
    f->Edit4->insert(QString::fromUtf8("a一二三四五六七八九十一二三四五"));
    EXPECT_EQ(f->Edit4->text(), QString::fromUtf8("a一二三四五六七八九十一二三四"));
    f->cmbCategry->SetItemIndex(f->cmbCategry->Items().IndexOf("Polka"));
    f->cmbCategryChange(f->cmbCategry);
    EXPECT_EQ(f->Edit2->text().toStdString(), "Polka");
    f->spdOkClick(f->spdOk);
    EXPECT_EQ(f->Tag, 1);

    const std::string after = readFile(rig.wav);
    ASSERT_EQ(after.size(), before.size() + 128);
    EXPECT_EQ(after.substr(0, before.size()), before);
    static const char* script = R"(
import sys
b = open(sys.argv[1], 'rb').read()[-128:]
f = lambda s, e: b[s:e].split(b'\0')[0].rstrip(b' ').decode('cp932')
print('|'.join([b[:3].decode(), f(3, 33), f(33, 63), f(63, 93), str(b[127])]), end='')
)";
    auto r = runCommand(python3(), {"-c", script, rig.wav});
    EXPECT_EQ(r.out, "TAG|voice|一二三四五六七八九十一二三四五|a一二三四五六七八九十一二三四|75") << r.err;
    EXPECT_EQ(rig.host.row[0], "voice");
}

TEST(TagEditor, PhotoFailuresChangeNothing)
{
    EditorRig rig;
    // A damaged JPEG, dropped or chosen with the button, over a stored photo: the user is told
    // through the default handler, and neither name nor preview nor the stored photo changes.
    // A file that is no picture type is ignored without a word.
    {
        const std::string stored = "20240101120000000" "00000007.jpg";
        rig.picture(stored, 60, 40);
        ReadTag(rig.mp3);
        CurrentTag.PhotoName = stored;
        ASSERT_TRUE(WriteTag(rig.mp3));
        std::vector<std::string> told;
        forms::SetExceptionReporter([&](const std::string& m) { told.push_back(m); });
        const auto reporterBack = qScopeGuard([] { forms::SetExceptionReporter(nullptr); });
        auto f = rig.open(rig.mp3);
        const QImage preview = f->imgPhoto->grab().toImage();
        const std::string bad = tagtest::makeFile(rig.dir.file("bad.jpg"), std::string("\xFF\xD8\xFF\xE0 not a jpeg", 15));
        const std::string text = tagtest::makeFile(rig.dir.file("notes.txt"), "not a picture");
        for (const std::string& file : {bad, text}) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f->pnlPhoto, &enter);
            ASSERT_TRUE(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f->pnlPhoto, &drop);
        }
        f->OpenPictureDialog1 = [&](const std::string&) { return bad; };
        forms::RunGuarded([&] { f->btnPhotoClick(f->btnPhoto); });
        const std::string expected = "『 bad.jpg 』 は画像として読み込めません！！\r\r写真は変更されていません。";
        EXPECT_EQ(told, (std::vector<std::string>{expected, expected}));
        EXPECT_EQ(f->PhotoName(), stored);
        EXPECT_EQ(f->imgPhoto->grab().toImage(), preview);
        EXPECT_FALSE(f->IsTagModified());
        f->spdCanClick(f->spdCan);
        EXPECT_TRUE(rig.host.messages.empty());  // nothing changed: no question
        EXPECT_FALSE(f->isVisible());
        EXPECT_EQ(rig.photos(), std::vector<std::string>{stored});
        ReadTag(rig.mp3);
        CurrentTag.PhotoName.clear();
        ASSERT_TRUE(WriteTag(rig.mp3));
        fs::remove(rig.dir.file(stored));
    }
    // A tag naming a file outside the folder: removing the photo deletes nothing.
    const std::string victim = rig.dir.file("victim.jpg");
    rig.picture("victim.jpg", 8, 8);
    fs::create_directory(rig.dir.file("music"));
    fs::copy_file(rig.mp3, rig.dir.file("music/song.mp3"));
    rig.host.folder = rig.dir.file("music");
    SetupTagObjects(true);
    ReadTag(rig.dir.file("music/song.mp3"));
    CurrentTag.PhotoName = "../victim.jpg";
    ASSERT_TRUE(WriteTag(rig.dir.file("music/song.mp3")));
    {
        auto f = rig.open(rig.dir.file("music/song.mp3"));
        f->PopupMenu1Popup();
        EXPECT_TRUE(f->do_DelPhoto->isEnabled());
        f->do_DelPhotoClick();
        EXPECT_EQ(f->PhotoName(), "");
        f->spdOkClick(f->spdOk);
        EXPECT_EQ(f->Tag, 1);
        EXPECT_TRUE(fs::exists(victim));
        EXPECT_EQ(tagtest::readWithTagLib(rig.dir.file("music/song.mp3")).at("TPHO"), "(no TPHO frame)");
    }
    // A read-only MP3: the tag, the photo and the row stay, and the user is told.
    rig.host.folder = rig.dir.path();
    rig.host.messages.clear();
    const std::string jpg = rig.picture("new.jpg", 64, 48);
    ASSERT_EQ(::chmod(rig.mp3.c_str(), 0444), 0);
    const std::string before = readFile(rig.mp3);
    const auto rowBefore = rig.host.row;
    auto f = rig.open(rig.mp3);
    f->Edit5->setText("別の題名");
    f->FileDrop1FileDrop({jpg});
    EXPECT_FALSE(f->SaveTag());
    EXPECT_EQ(readFile(rig.mp3), before);
    EXPECT_TRUE(rig.photos().empty());
    EXPECT_EQ(rig.host.row, rowBefore);
    EXPECT_EQ(f->Tag, 0);
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_EQ(rig.host.messages[0], "ＴＡＧ編集|タグを保存できませんでした！！|y");
}

TEST(TagEditor, ThePhotoButtonOpensThePictureDialogWithItsPreview)
{
    EditorRig rig;
    const std::string jpg = rig.picture("cover.jpg", 320, 240);
    IniWriteString(IniBase, "SETTING", "PHOTO_TAG_PATH", rig.dir.path());
    auto f = rig.open(rig.mp3);
    bool reached = false;
    QTimer user;
    user.setInterval(10);
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (d == nullptr || reached)
            return;
        reached = true;
        user.stop();
        EXPECT_EQ(d->windowTitle().toStdString(), "画像を開く");
        EXPECT_EQ(d->directory().absolutePath().toStdString(), rig.dir.path());
        auto* area = dynamic_cast<controls::TCOPDCustomArea*>(d->findChild<QWidget*>("COPDCustomArea"));
        ASSERT_NE(area, nullptr);
        emit d->currentChanged(QString::fromStdString(jpg));
        EXPECT_EQ(area->lblSize->Caption(), "( 320 x 240 )");
        // Chosen once the dialog lists it (its model reads the folder in the background).
        auto* files = d->findChild<QListView*>("listView");
        EXPECT_TRUE(waitFor([&] {
            for (int row = 0; row < files->model()->rowCount(files->rootIndex()); ++row)
                if (files->model()->index(row, 0, files->rootIndex()).data().toString() == "cover.jpg")
                    return true;
            return false;
        }, 5000));
        d->findChild<QLineEdit*>("fileNameEdit")->setText("cover.jpg");
        QPushButton* open = d->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open);
        EXPECT_TRUE(waitFor([&] { return open->isEnabled(); }, 3000));
        open->click();
        if (d->isVisible())
            d->reject();
    });
    user.start();
    f->btnPhotoClick(f->btnPhoto);
    ASSERT_TRUE(reached);
    EXPECT_TRUE(TfrmTAG::IsPhotoFileName(f->PhotoName())) << f->PhotoName();
    EXPECT_TRUE(f->IsTagModified());
}

TEST(TagEditor, TheEngineGetsItsFileAndStateBack)
{
    EditorRig rig;
    struct Case {
        std::string engineFile, status;
        std::vector<std::string> calls;
    };
    const std::string upper = rig.dir.file("SONG.MP3");
    for (const Case& c : {
             Case{rig.mp3, "play", {"close", "monitor off", "monitor on", "reopen " + rig.mp3 + " 40 play"}},
             Case{rig.mp3, "pause", {"close", "monitor off", "monitor on", "reopen " + rig.mp3 + " 40 pause"}},
             Case{rig.mp3, "stop", {"close", "monitor off", "monitor on", "reopen " + rig.mp3 + " 40 stop"}},
             // Compared without case, reopened by the engine's own path.
             Case{upper, "play", {"close", "monitor off", "monitor on", "reopen " + upper + " 40 play"}},
             Case{rig.wav, "play", {"monitor off", "monitor on"}},
         }) {
        rig.host.file = c.engineFile;
        rig.host.status = c.status;
        rig.host.gauge = 40;
        rig.host.calls.clear();
        auto f = rig.open(rig.mp3);
        f->Edit3->setText("誰か");
        EXPECT_TRUE(f->SaveTag()) << c.engineFile;
        EXPECT_EQ(rig.host.calls, c.calls) << c.engineFile << " " << c.status;
    }
    // A close or a second OK while the engine lets events run waits for the save.
    {
        rig.host.file = rig.mp3;
        rig.host.calls.clear();
        auto f = rig.open(rig.mp3);
        f->Edit3->setText("誰か別の人");
        rig.host.whileClosing = [&] {
            f->close();
            f->spdOkClick(f->spdOk);
        };
        EXPECT_TRUE(f->SaveTag());
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(std::count(rig.host.calls.begin(), rig.host.calls.end(), "close"), 1);
        rig.host.whileClosing = nullptr;
    }
    // Also when the write fails.
    ASSERT_EQ(::chmod(rig.mp3.c_str(), 0444), 0);
    rig.host.file = rig.mp3;
    rig.host.status = "pause";
    rig.host.calls.clear();
    auto f = rig.open(rig.mp3);
    f->Edit3->setText("誰も");
    EXPECT_FALSE(f->SaveTag());
    EXPECT_EQ(rig.host.calls.back(), "reopen " + rig.mp3 + " 40 pause");
}

TEST(TagEditor, QuestionsKeysAndFields)
{
    EditorRig rig;
    auto f = rig.open(rig.mp3);
    // Digits only in the year, four at most.
    f->Edit1->clear();
    f->Edit1->setFocus();
    QCoreApplication::processEvents();
    for (const char* t : {"2", "x", "0", "年", "2", "4", "9"})
        typeKey(f->Edit1, Qt::Key_unknown, QString::fromUtf8(t));
    EXPECT_EQ(f->Edit1->text().toStdString(), "2024");
    // Enter moves on to the next field.
    typeKey(f->Edit1, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f->Edit2->hasFocus());
    EXPECT_EQ(f->Edit2->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x80));

    // Cancel with changes asks; No keeps the dialog.
    rig.host.answers = {7};
    f->spdCanClick(f->spdCan);
    EXPECT_TRUE(f->isVisible());
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_EQ(rig.host.messages[0], "ＴＡＧ編集|データが編集されています！！\r\r　　終了してもよろしいですか？|yn");
    // OK with changes: Cancel keeps it, No closes without saving.
    rig.host.answers = {2, 7};
    f->spdOkClick(f->spdOk);
    EXPECT_TRUE(f->isVisible());
    f->spdOkClick(f->spdOk);
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(tagtest::readWithTagLib(rig.mp3).year, 1999u);
    EXPECT_EQ(f->Tag, 0);

    // The history: Delete removes the chosen entry; it is written back on closing.
    IniWriteSectionList(IniBase, "TAG_GENRE", {"甲", "乙"});
    auto g = rig.open(rig.mp3);
    g->Edit2->setText("乙");
    g->SyncGenreHistory();
    EXPECT_EQ(g->cmbGenre->ItemIndex(), 1);
    int key = forms::VK_DELETE;
    g->cmbGenreKeyDown(g->cmbGenre, key, forms::TShiftState());
    EXPECT_EQ(g->cmbGenre->Items().Count(), 1);
    EXPECT_EQ(g->cmbGenre->ItemIndex(), -1);
    // Escape is Cancel; without changes it closes silently.
    g->Edit2->setText("Pop");
    rig.host.messages.clear();
    typeKey(g->Edit3, Qt::Key_Escape);
    EXPECT_FALSE(g->isVisible());
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(readWithConfigParser(rig.settings.path()).keys("TAG_GENRE"), (IniKeys{{"1", "甲"}}));
}

// Tags as other programs write them: a track "n/m", a full date, a genre code, lyrics with
// Windows line breaks past the memo's 2,000 bytes and a comment past its 100. Each box shows
// the whole stored text; opening and leaving asks nothing; a save of another field writes every
// field the user left alone back as it was stored, for mutagen and TagLib alike.
TEST(TagEditor, BoxesShowTheWholeStoredTextAndWriteItBackUnchanged)
{
    std::string lyrics;
    for (int i = 0; i < 150; ++i)
        lyrics += "夜明けの歌 " + std::to_string(i) + "\r\n";
    lyrics += "終わり";
    std::string comment;
    for (int i = 0; i < 8; ++i)
        comment += "ライブ録音の一曲目です";
    ASSERT_GT(cp932::byteLength(lyrics), 2000u);
    ASSERT_GT(cp932::byteLength(comment), 100u);
    struct Case {
        int version;
        const char* yearFrame;
        const char* yearStored;
        const char* yearShown;
    };
    for (Case c : {Case{4, "TDRC", "2001-05-03", "2001"}, Case{3, "TYER", "2001-05-03", "2001-05-03"}}) {
        SCOPED_TRACE(c.version);
        EditorRig rig;
        tagtest::makeFile(rig.mp3, tagtest::mp3Audio());
        tagtest::writeWithMutagen(rig.mp3, c.version,
                                  {{"TIT2", 1, "元の題名"}, {"TRCK", 1, "1/5"}, {c.yearFrame, 1, c.yearStored},
                                   {"TCON", 1, "(17)"}, {"USLT", 1, lyrics}, {"COMM", 1, comment}});
        auto f = rig.open(rig.mp3);
        EXPECT_EQ(f->Edit6->text().toStdString(), "1/5");
        EXPECT_EQ(f->Edit1->text().toStdString(), c.yearShown);
        EXPECT_EQ(f->Edit2->text().toStdString(), "Rock");
        EXPECT_EQ(f->Edit7->toPlainText().toStdString(), comment);
        EXPECT_EQ(f->Edit8->toPlainText().toStdString().size(), lyrics.size() - 150);  // CR LF shows as one break
        const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/tags/";
        QDir().mkpath(dir);
        EXPECT_TRUE(f->grab().toImage().save(dir + QString("tag-editor-stored-texts-v2.%1.png").arg(c.version)));
        // Escape without an edit closes without a question.
        typeKey(f->Edit1, Qt::Key_Escape);
        EXPECT_FALSE(f->isVisible());
        EXPECT_TRUE(rig.host.messages.empty());

        // A year past four digits takes no more typing; the artist changes and is saved.
        auto g = rig.open(rig.mp3);
        g->Edit1->end(false);
        typeKey(g->Edit1, Qt::Key_unknown, "9");
        EXPECT_EQ(g->Edit1->text().toStdString(), c.yearShown);
        g->Edit3->setText(QString::fromUtf8("新しい歌手"));
        g->spdOkClick(g->spdOk);
        EXPECT_EQ(g->Tag, 1);
        const auto m = tagtest::mutagenFrames(rig.mp3);
        EXPECT_EQ(m.at("TPE1").text, "新しい歌手");
        EXPECT_EQ(m.at("TRCK").text, "1/5");
        EXPECT_EQ(m.at(c.yearFrame).text, c.yearStored);
        EXPECT_EQ(m.at("TCON").text, "(17)");
        EXPECT_TRUE(m.at("USLT").text == lyrics) << "the lyrics changed";
        EXPECT_EQ(m.at("COMM").text, comment);
        EXPECT_EQ(m.at("TIT2").text, "元の題名");
        const tagtest::TagLibView v = tagtest::readWithTagLib(rig.mp3);
        EXPECT_EQ(v.at("TRCK"), "1/5");
        EXPECT_TRUE(v.at("USLT") == lyrics) << "TagLib reads other lyrics";
        EXPECT_EQ(rig.host.row[5], "1/5");
        EXPECT_EQ(rig.host.row[3], c.yearShown);
    }
}

// What a user sees for a Japanese-tagged MP3 with photo and lyrics: saved for a look.
TEST(TagEditor, Screenshot)
{
    EditorRig rig;
    auto r = runCommand("convert", {"-size", "640x480", "gradient:#f6d365-#fda085", "-fill", "#ffffff80", "-draw",
                                    "circle 320,240 320,120", rig.dir.file("cover.jpg")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto f0 = rig.open(rig.mp3);
    f0->FileDrop1FileDrop({rig.dir.file("cover.jpg")});
    f0->Edit5->setText("夜明けのうた");
    f0->Edit3->setText("山田 花子");
    f0->Edit4->setText("二〇〇七年 夏のベスト・セレクション");
    f0->Edit2->setText("JPop");
    f0->Edit7->setPlainText("ライブ録音。二曲目のアンコール。");
    f0->Edit8->setPlainText(QString::fromUtf8("夜が明ける 窓をあけて\n小さな鳥が 歌いだす\n\nまだ眠い街に 光がおりて\n今日がはじまる"));
    ASSERT_TRUE(f0->SaveTag());
    f0.reset();

    auto f = rig.open(rig.mp3);
    QCoreApplication::processEvents();
    EXPECT_EQ(f->imgPhoto->Picture().Width(), f->pnlPhoto->width());
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/tags/";
    QDir().mkpath(dir);
    EXPECT_TRUE(f->grab().toImage().save(dir + "tag-editor.png"));
}
