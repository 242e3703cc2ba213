#include "util/xMessageBox.h"

#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QFile>
#include <QMouseEvent>
#include <QTimer>

#include "util/libText.h"
#include "util/libWindows.h"

namespace {

void keyClick(QWidget* w, Qt::Key key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

// Shows a box and, once it runs modally, does what `act` does to it.
int runBox(const std::string& buttons, const std::string& def,
           const std::function<void(TfrmMessageBox&)>& act)
{
    bool acted = false;
    QTimer::singleShot(0, qApp, [&] {
        if (frmMessageBox) {
            acted = true;
            act(*frmMessageBox);
        }
    });
    const int result = ShowMessageBox(nullptr, "Test", "本当に削除しますか？", def, buttons, "?");
    EXPECT_TRUE(acted);
    return result;
}

QWidget* target(TfrmMessageBox& box)
{
    return box.focusWidget() ? box.focusWidget() : &box;
}

std::string screenshotDir()
{
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots";
    QDir().mkpath(dir);
    return dir.toStdString();
}

void saveShot(TfrmMessageBox& box, const std::string& name)
{
    box.show();
    QCoreApplication::processEvents();
    box.grab().save(QString::fromStdString(screenshotDir() + "/" + name + ".png"));
    box.hide();
}

}  // namespace

TEST(MessageBox, OneLineTextGivesMinimumWidthAndLabelBottomPlus100)
{
    TfrmMessageBox box;
    box.Setup(nullptr, "確認", "保存しました。", 1, "y", "i");
    const int labelRight = box.lblMsg->x() + box.lblMsg->width() + 20;
    ASSERT_LE(labelRight, 350);
    EXPECT_EQ(box.WindowWidth(), 350);
    EXPECT_EQ(box.lblMsg->y(), 18);
    EXPECT_GT(box.lblMsg->height(), 0);
    EXPECT_EQ(box.WindowHeight(), 18 + box.lblMsg->height() + 100);
    EXPECT_EQ(box.Caption(), "確認");
}

TEST(MessageBox, LongAndMultiLineTextsGrowTheWindow)
{
    TfrmMessageBox one;
    one.Setup(nullptr, "c", "一行", 1, "y", "");
    TfrmMessageBox box;
    const std::string line(80, 'W');
    box.Setup(nullptr, "c", "first\r" + line + "\r\nthird\nfourth", 1, "y", "");
    const int labelRight = box.lblMsg->x() + box.lblMsg->width() + 20;
    ASSERT_GT(labelRight, 350);
    EXPECT_EQ(box.WindowWidth(), labelRight + 16);
    // CR, CR LF and LF each break a line.
    EXPECT_EQ(box.lblMsg->height(), 4 * one.lblMsg->height());
    EXPECT_EQ(box.WindowHeight(), 18 + box.lblMsg->height() + 100);
}

TEST(MessageBox, ButtonsStandRightAlignedAndEdgeToEdge)
{
    struct Case {
        const char* set;
        bool yes, no, cancel;
    } cases[] = {{"y", true, false, false}, {"yn", true, true, false}, {"yc", true, false, true},
                 {"ync", true, true, true}, {"YN", true, true, false}, {"Yc", true, false, true},
                 {"YNC", true, true, true}, {"ny", true, false, false}, {"", true, false, false}};
    for (const Case& c : cases) {
        TfrmMessageBox box;
        box.Setup(nullptr, "c", "text", 1, c.set, "");
        EXPECT_EQ(!box.btnMode1->isHidden(), c.yes) << c.set;
        EXPECT_EQ(!box.btnMode2->isHidden(), c.no) << c.set;
        EXPECT_EQ(!box.btnMode3->isHidden(), c.cancel) << c.set;
        // Outer window coordinates of the visible buttons, left to right.
        std::vector<int> lefts;
        for (TxpButtonEx* b : {box.btnMode1, box.btnMode2, box.btnMode3})
            if (!b->isHidden())
                lefts.push_back(b->x() + TfrmMessageBox::FrameWidth);
        EXPECT_EQ(lefts.back(), box.WindowWidth() - 95) << c.set;
        for (std::size_t i = 1; i < lefts.size(); ++i)
            EXPECT_EQ(lefts[i] - lefts[i - 1], 83) << c.set;
        EXPECT_EQ(box.btnMode1->width(), 83);
        EXPECT_EQ(box.btnMode1->height(), 25);
    }
}

TEST(MessageBox, HasADialogsBorderWithOnlyTheCloseBox)
{
    TfrmMessageBox box;
    const Qt::WindowFlags flags = box.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);   // only the buttons named here
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint));
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
}

TEST(MessageBox, PlacedOnTheOwnerAndKeptInsideTheWorkArea)
{
    QPoint work(-1, -1);
    GetWorkArea(work);
    ASSERT_GT(work.x(), 400);
    QWidget owner;
    owner.setGeometry(100, 80, 500, 300);
    TfrmMessageBox box;
    box.Setup(&owner, "c", "text", 1, "y", "");
    const QRect o = owner.frameGeometry();
    EXPECT_EQ(box.WindowLeft(), o.x() + (o.width() - box.WindowWidth()) / 2);
    EXPECT_EQ(box.WindowTop(), o.y() + (o.height() - box.WindowHeight()) / 2);
    EXPECT_EQ(box.pos(), QPoint(box.WindowLeft(), box.WindowTop()));

    owner.setGeometry(work.x() - 100, work.y() - 50, 120, 60);
    TfrmMessageBox edge;
    edge.Setup(&owner, "c", "text", 1, "y", "");
    EXPECT_EQ(edge.WindowLeft(), work.x() - edge.WindowWidth());
    EXPECT_EQ(edge.WindowTop(), work.y() - edge.WindowHeight());

    owner.setGeometry(-300, -200, 100, 100);
    TfrmMessageBox corner;
    corner.Setup(&owner, "c", "text", 1, "y", "");
    EXPECT_EQ(corner.WindowLeft(), 0);
    EXPECT_EQ(corner.WindowTop(), 0);

    TfrmMessageBox centred;
    centred.Setup(nullptr, "c", "text", 1, "y", "");
    EXPECT_EQ(centred.WindowLeft(), (work.x() - centred.WindowWidth()) / 2);
}

TEST(MessageBox, DefaultButtonMovesToAVisibleNeighbour)
{
    TfrmMessageBox box;
    box.Setup(nullptr, "c", "t", 3, "yn", "");
    EXPECT_EQ(DefaultButton, 2);
    box.Setup(nullptr, "c", "t", 2, "yc", "");
    EXPECT_EQ(DefaultButton, 3);
    box.Setup(nullptr, "c", "t", 2, "ync", "");
    EXPECT_EQ(DefaultButton, 2);
    EXPECT_EQ(ButtonMode, 4);
}

TEST(MessageBox, DefaultButtonTakesTheFocusWhenShown)
{
    struct Case {
        const char* set;
        const char* def;
        const char* focused;
    } cases[] = {{"yn", "3", "いいえ(N)"}, {"yc", "2", "ｷｬﾝｾﾙ(ESC)"}, {"ync", "1", "はい(Y)"},
                 {"y", "3", "はい(Y)"}, {"ync", "3", "ｷｬﾝｾﾙ(ESC)"}};
    for (const Case& c : cases) {
        std::string focused;
        runBox(c.set, c.def, [&](TfrmMessageBox& box) {
            if (auto* b = dynamic_cast<TxpButtonEx*>(box.focusWidget()))
                focused = b->Caption();
            box.SetModalResult(forms::mrCancel);
        });
        EXPECT_EQ(focused, c.focused) << c.set << " default " << c.def;
    }
}

TEST(MessageBox, EveryKeyAndTheCloseBoxInEverySet)
{
    struct Case {
        const char* set;
        int esc, n, y, close, spaceOnDefault3;
    } cases[] = {{"y", 6, 0, 6, 6, 6}, {"yn", 7, 7, 6, 7, 7}, {"yc", 2, 0, 6, 2, 2},
                 {"ync", 2, 7, 6, 2, 2}, {"YN", 7, 7, 6, 7, 7}, {"Y", 6, 0, 6, 6, 6}};
    for (const Case& c : cases) {
        EXPECT_EQ(runBox(c.set, "1", [](TfrmMessageBox& b) { keyClick(target(b), Qt::Key_Escape, "\x1b"); }), c.esc) << c.set;
        EXPECT_EQ(runBox(c.set, "1", [](TfrmMessageBox& b) { keyClick(target(b), Qt::Key_Y, "y"); }), c.y) << c.set;
        EXPECT_EQ(runBox(c.set, "1", [](TfrmMessageBox& b) { b.close(); }), c.close) << c.set;
        int n = runBox(c.set, "1", [](TfrmMessageBox& b) {
            keyClick(target(b), Qt::Key_N, "n");
            if (b.isVisible())  // the key was not the box's: it stays open
                b.SetModalResult(99);
        });
        EXPECT_EQ(n, c.n ? c.n : 99) << c.set;
        // Enter and Space press the focused (default) button.
        EXPECT_EQ(runBox(c.set, "1", [](TfrmMessageBox& b) { keyClick(target(b), Qt::Key_Return, "\r"); }), 6) << c.set;
        EXPECT_EQ(runBox(c.set, "3", [](TfrmMessageBox& b) { keyClick(target(b), Qt::Key_Space, " "); }),
                  c.spaceOnDefault3) << c.set;
    }
}

TEST(MessageBox, ClickingEachButtonAnswersItsResult)
{
    const std::pair<TxpButtonEx* TfrmMessageBox::*, int> buttons[] = {
        {&TfrmMessageBox::btnMode1, 6}, {&TfrmMessageBox::btnMode2, 7}, {&TfrmMessageBox::btnMode3, 2}};
    for (auto [member, expected] : buttons) {
        EXPECT_EQ(runBox("ync", "1", [member](TfrmMessageBox& b) {
                      QWidget* button = b.*member;
                      QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)),
                                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
                      QApplication::sendEvent(button, &press);
                      QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)),
                                          Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
                      QApplication::sendEvent(button, &release);
                  }),
                  expected);
    }
}

TEST(MessageBox, NonNumericDefaultRaisesBeforeShowing)
{
    bool shown = false;
    QTimer::singleShot(0, qApp, [&] {
        shown = frmMessageBox != nullptr;
        if (frmMessageBox)
            frmMessageBox->SetModalResult(forms::mrCancel);
    });
    EXPECT_THROW(ShowMessageBox(nullptr, "c", "t", "yes", "y", "i"), EConvertError);
    EXPECT_THROW(ShowMessageBox(nullptr, "c", "t", "", "y", "i"), EConvertError);
    EXPECT_THROW(ShowMessageBox(nullptr, "c", "t", "2 ", "y", "i"), EConvertError);
    QCoreApplication::processEvents();
    EXPECT_FALSE(shown);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(dynamic_cast<TfrmMessageBox*>(w), nullptr);
}

TEST(MessageBox, IconsDifferAndUnknownCharactersKeepTheDesignIcon)
{
    const QImage design = MessageBoxIcon(0)->ToImage();
    EXPECT_EQ(MessageBoxIcon('z')->ToImage(), design);
    std::vector<QImage> icons;
    for (char c : {'!', '?', 'i', 'x'}) {
        const QImage img = MessageBoxIcon(c)->ToImage();
        EXPECT_EQ(img.size(), QSize(32, 32));
        for (const QImage& other : icons)
            EXPECT_NE(img, other) << c;
        icons.push_back(img);
    }
    TfrmMessageBox box;
    box.Setup(nullptr, "c", "t", 1, "y", "X");  // compared without letter case
    EXPECT_EQ(box.Image1->Picture().Bitmap().ToImage(), MessageBoxIcon('x')->ToImage());
}

TEST(MessageBox, Screenshots)
{
    const std::pair<const char*, const char*> icons[] = {
        {"!", "exclamation"}, {"?", "question"}, {"i", "information"}, {"x", "error"}};
    for (auto [icon, name] : icons) {
        TfrmMessageBox box;
        box.Setup(nullptr, "確認", "ファイルを保存しますか？", 1, "ync", icon);
        saveShot(box, std::string("messagebox-icon-") + name);
    }
    for (const char* set : {"y", "yn", "yc", "ync"}) {
        TfrmMessageBox box;
        box.Setup(nullptr, "Tambourelle", "お気に入りが変更されています。\r保存しますか？", 2, set, "?");
        saveShot(box, std::string("messagebox-set-") + set);
    }
    TfrmMessageBox box;
    box.Setup(nullptr, "エラー",
              "次のファイルを読み込めませんでした。\r"
              "/home/user/ミュージック/アルバム/ａｂｃ　全角のとても長いファイル名の曲.mp3\r"
              "ファイルが壊れているか、対応していない形式です。",
              1, "y", "x");
    saveShot(box, "messagebox-long-japanese");
    EXPECT_GT(box.WindowWidth(), 350);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(screenshotDir() + "/messagebox-long-japanese.png")));
}
