// The open and save dialogs run for real, off screen (see DialogRunner.h).
#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include "controls/ControlTestSupport.h"
#include "controls/dialogs/DialogRunner.h"
#include "controls/dialogs/CoolDlg.h"

using namespace controls;
using controltest::runWith;

namespace {

QPoint placeIn(const QWidget& W, const QWidget& Dialog)
{
    return W.mapTo(&Dialog, QPoint(0, 0));
}

class Recording : public TCoolSaveDialog {
public:
    using TCoolSaveDialog::TCoolSaveDialog;
    int ResizedCount = 0;

protected:
    void Resized(QDialog&) override { ++ResizedCount; }
};

}  // namespace

TEST(CoolDlg, OpensCentredAThirdDownAndTheOwnerMayMoveIt)
{
    TCoolOpenDialog::ForgetExtra();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    TCoolOpenDialog first(nullptr);
    runWith(first, [&](QFileDialog& d) {
        const QRect r = d.frameGeometry();
        EXPECT_EQ(r.left(), screen.left() + (screen.width() - r.width()) / 2);
        EXPECT_EQ(r.top(), screen.top() + (screen.height() - r.height()) / 3);
        EXPECT_FALSE(d.sidebarUrls().isEmpty());  // the user's places
        EXPECT_EQ(d.sidebarUrls().front(), QUrl::fromLocalFile(QDir::homePath()));
    });

    TCoolOpenDialog moved(nullptr);
    int seenW = 0;
    moved.OnSettingPos = [&](TCoolOpenDialog&, int& X, int&, int W, int) {
        X = 0;
        seenW = W;
    };
    runWith(moved, [&](QFileDialog& d) {
        EXPECT_EQ(d.frameGeometry().left(), screen.left());
        EXPECT_EQ(seenW, d.frameGeometry().width());
    });
}

TEST(CoolDlg, GrowthMovesTheRightHandButtonsAndIsRememberedForTheNextDialog)
{
    TCoolOpenDialog::ForgetExtra();
    QSize first;
    int cancelFromRight = 0;
    Recording grown(nullptr);
    runWith(grown, [&](QFileDialog& d) {
        first = d.size();
        EXPECT_EQ(d.minimumSize(), first);
        // Left of and above the file view's centre: stays; left of it and below: moves down.
        auto* top = d.findChild<QLabel*>("lookInLabel");
        auto* label = d.findChild<QLabel*>("fileNameLabel");
        ASSERT_NE(top, nullptr);
        auto* box = d.findChild<QDialogButtonBox*>("buttonBox");
        ASSERT_NE(label, nullptr);
        ASSERT_NE(box, nullptr);
        QPushButton* buttons[] = {box->button(QDialogButtonBox::Save), box->button(QDialogButtonBox::Cancel)};
        const QPoint topAt = placeIn(*top, d), labelAt = placeIn(*label, d);
        QPoint buttonsAt[2];
        for (int i = 0; i < 2; ++i) {
            ASSERT_NE(buttons[i], nullptr);
            buttonsAt[i] = placeIn(*buttons[i], d);
        }
        const int before = grown.ResizedCount;
        d.resize(first + QSize(100, 40));
        QApplication::processEvents();
        EXPECT_GT(grown.ResizedCount, before);
        EXPECT_EQ(placeIn(*top, d), topAt);
        EXPECT_EQ(placeIn(*label, d), labelAt + QPoint(0, 40));
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(placeIn(*buttons[i], d), buttonsAt[i] + QPoint(100, 40)) << i;
        }
        cancelFromRight = d.width() - placeIn(*buttons[1], d).x();
        auto* grip = d.findChild<TCoolGrip*>();
        ASSERT_NE(grip, nullptr);
        EXPECT_EQ(grip->geometry(), QRect(d.width() - 16, d.height() - 16, 16, 16));
        controltest::saveShot(d.grab().toImage(), "cooldlg_save_enlarged");
    });
    EXPECT_EQ(TCoolOpenDialog::RememberedExtra(), QSize(100, 40));

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    TCoolOpenDialog next(nullptr);
    runWith(next, [&](QFileDialog& d) {
        // Its own first size (the toolkit's remembered column widths may change it) is its
        // minimum; it opens larger than that by the remembered growth.
        const QSize own = d.minimumSize();
        EXPECT_EQ(d.size(), own + QSize(100, 40));
        // Laid out for that size: the grip in its corner, Cancel at the right edge as before.
        const auto* grip = d.findChild<TCoolGrip*>();
        ASSERT_NE(grip, nullptr);
        EXPECT_EQ(grip->geometry().bottomRight(), QPoint(d.width() - 1, d.height() - 1));
        const auto* cancel = d.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Cancel);
        EXPECT_EQ(d.width() - placeIn(*cancel, d).x(), cancelFromRight);
        EXPECT_EQ(d.frameGeometry().left(), screen.left() + (screen.width() - d.frameGeometry().width()) / 2);
        // It cannot be made smaller than its first size.
        d.resize(own - QSize(50, 50));
        QApplication::processEvents();
        EXPECT_EQ(d.size(), own);
    });
    EXPECT_EQ(TCoolOpenDialog::RememberedExtra(), QSize(0, 0));
}

TEST(CoolDlg, FilterAndDefaultExtensionReachTheDialog)
{
    TCoolOpenDialog::ForgetExtra();
    QTemporaryDir dir;
    TCoolSaveDialog save(nullptr);
    save.Title = "別の名前で保存";
    save.Filter = "ＭＰ３ファイル (*.mp3)|*.mp3";
    save.DefaultExt = "wav";
    save.InitialDir = dir.path().toStdString();
    const bool accepted = runWith(save, [&](QFileDialog& d) {
        EXPECT_EQ(d.windowTitle(), QString("別の名前で保存"));
        EXPECT_EQ(d.nameFilters(), QStringList{"ＭＰ３ファイル (*.mp3)"});
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
        d.selectFile("voice");
        d.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Save)->click();
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(save.FileName, (dir.path() + "/voice.wav").toStdString());
}
