// Walking the main window with Tab: every control the keyboard reaches must show that it has
// the focus, with a mark strong enough to see. Each stop is grabbed without and with the
// focus; a sheet of the focused stops is written under screenshots/app/ for a person to look at.
#include "shared/SettingsFixture.h"
#include "shared/TaggedSongs.h"

#include "app/Globals.h"
#include "app/MainForm.h"
#include "app/libMusic.h"
#include "app/xSplash.h"
#include "support/WaitFor.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using testsupport::waitFor;

namespace {

const std::vector<TaggedSong> kSongs = {
    {"01.mp3", "さくらの歌", "山田花子", "春の風", "2006", "J-Pop", "1"},
    {"02.mp3", "夏の終わり", "鈴木一郎", "季節の歌", "2005", "J-Pop", "2"},
    {"03.mp3", "Nocturne", "Chopin", "Nocturnes", "1832", "Classical", "3"},
};

QImage shotOf(QWidget* w)
{
    QCoreApplication::processEvents();
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels that changed by a third of the scale or more in some channel: a mark one can see,
// not a shade.
int strongChanges(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))});
            n += d >= 85;
        }
    return n;
}

void pressTab()
{
    QWidget* at = QApplication::focusWidget();
    ASSERT_NE(at, nullptr);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(at, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &release);
    QCoreApplication::processEvents();
}

}  // namespace

TEST(MainFormFocus, EveryTabStopShowsAClearFocusMark)
{
    SettingsFixture settings;
    testsupport::TempDir music;
    const std::string folder = music.file("J-POP");
    std::filesystem::create_directories(folder);
    IniWriteString(settings.base, "SETTING", "MP3_PATH", folder);
    IniWriteString(settings.base, "MUSIC_FOLDER", "1", folder);
    Mp3Path.clear();
    TfrmMain w;
    w.MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                    const std::string&) { return 6; };
    writeTaggedSongs(folder, kSongs);
    w.show();
    ASSERT_TRUE(waitFor([&] { return w.Loaded(); }));
    if (w.frmSplash)
        w.frmSplash->hide();
    auto* fav = new QTreeWidgetItem(w.trrFavorite, QStringList{QStringLiteral("Favorite")});
    new QTreeWidgetItem(fav, QStringList{QStringLiteral("Drive")});
    w.trrFavorite->expandAll();
    std::vector<std::string> playlist;
    for (const TaggedSong& s : kSongs)
        playlist.push_back(folder + "/" + s.file);
    ASSERT_TRUE(FillList(w.Library, w.lstFile, playlist, true));
    w.activateWindow();
    w.lstMP3->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), w.lstMP3);

    // The stops in the order Tab reaches them, once round.
    std::vector<QWidget*> stops{w.lstMP3};
    for (int i = 0; i < 100; ++i) {
        pressTab();
        QWidget* at = QApplication::focusWidget();
        ASSERT_NE(at, nullptr);
        if (at == stops.front())
            break;
        ASSERT_TRUE(std::find(stops.begin(), stops.end(), at) == stops.end())
            << at->objectName().toStdString() << " reached twice";
        stops.push_back(at);
    }
    EXPECT_GE(stops.size(), 20u);

    std::vector<QImage> sheet;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        QWidget* stop = stops[i];
        QWidget* other = stops[(i + 1) % stops.size()];
        other->setFocus(Qt::TabFocusReason);
        const QImage without = shotOf(stop);
        stop->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), stop);
        const QImage with = shotOf(stop);
        const std::string name = stop->objectName().toStdString();
        // A frame round a 20-pixel control is some 70 pixels; a half-drawn or faint one is less.
        const int perimeter = std::min(stop->width(), 200) + std::min(stop->height(), 20);
        EXPECT_GE(strongChanges(without, with), perimeter) << name << " shows no clear focus";
        sheet.push_back(with.copy(0, 0, std::min(with.width(), 240), std::min(with.height(), 60)));
    }

    // The focused stops one under another, each at most 240 x 60.
    int height = 0;
    for (const QImage& s : sheet)
        height += s.height() + 4;
    QImage out(244, height, QImage::Format_RGB32);
    out.fill(Qt::darkGray);
    QPainter p(&out);
    int y = 0;
    for (const QImage& s : sheet) {
        p.drawImage(2, y + 2, s);
        y += s.height() + 4;
    }
    p.end();
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(dir);
    EXPECT_TRUE(out.save(dir + "main-focus-stops.png"));
    w.trrGenre->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(shotOf(&w).save(dir + "main-focus-tree.png"));
    w.close();
    MusicFolders.clear();
}
