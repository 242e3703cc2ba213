#include "shared/SettingsFixture.h"
#include "app/MainForm.h"
#include "app/libFavorite.h"
#include "app/xInput.h"
#include "controls/gradient/RbButton.h"
#include "controls/std/Label.h"
#include "controls/xx/xxComboBox.h"
#include "util/xMessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <optional>

namespace {

struct Question {
    std::string caption, text;
    int buttonMode = 0, defaultButton = 0;
};

// Answers the message box that the next step opens with `answer` and tells what it asked;
// nothing when no box opened. The box is closed in any case, so a test never hangs on it.
class Answerer {
public:
    explicit Answerer(int answer)
    {
        QTimer::singleShot(0, qApp, [this, answer] {
            if (!frmMessageBox)
                return;
            asked = Question{frmMessageBox->Caption(), frmMessageBox->lblMsg->Caption(), ButtonMode, DefaultButton};
            frmMessageBox->SetModalResult(answer);
        });
    }
    ~Answerer() { QCoreApplication::processEvents(); }
    std::optional<Question> asked;
};

void press(QWidget* w, Qt::Key key, const QString& text = {})
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &up);
}

// A dialog shown (not modally) with `text` in its edit box and these favourites stored.
struct ShownDialog {
    ShownDialog(const std::string& text, const std::vector<std::string>& favourites = {})
    {
        for (const std::string& name : favourites)
            EXPECT_TRUE(AddFavoriteName(name)) << name;
        form.edtInp->setText(QString::fromStdString(text));
        form.show();
        QCoreApplication::processEvents();
    }
    std::string text() const { return form.edtInp->text().toStdString(); }
    SettingsFixture settings;
    TfrmInput form;
};

}  // namespace

TEST(xInput, CancelAfterTypingAsksAndNoKeepsTheDialogOpen)
{
    SettingsFixture settings;
    TfrmInput form;
    form.edtInp->setText("Rock");
    form.show();
    form.edtInp->setText("Rock 2");
    form.Tag = 1;
    {
        Answerer no(forms::mrNo);
        form.spdOKClick(form.spdCan);
        ASSERT_TRUE(no.asked);
        EXPECT_EQ(no.asked->caption, "ＣＤ情報");
        EXPECT_EQ(no.asked->text, "データが編集されています！！\r終了してもよろしいですか？");
        EXPECT_EQ(no.asked->buttonMode, 2);  // yes / no
        EXPECT_EQ(no.asked->defaultButton, 2);
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.Tag, 1) << "No leaves everything as it was";
    EXPECT_EQ(form.edtInp->text(), "Rock 2");

    Answerer yes(forms::mrYes);
    form.spdOKClick(form.spdCan);
    EXPECT_TRUE(yes.asked);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.Tag, 0);
}

TEST(xInput, CancelWithoutChangesAndTheCloseBoxCloseAtOnceWithTagZero)
{
    ShownDialog d("Jazz");
    {
        Answerer any(forms::mrYes);
        d.form.spdOKClick(d.form.spdCan);
        EXPECT_FALSE(any.asked);
    }
    EXPECT_FALSE(d.form.isVisible());
    EXPECT_EQ(d.form.Tag, 0);

    ShownDialog edited("Jazz");
    edited.form.edtInp->setText("　Blues　");
    Answerer any(forms::mrYes);
    edited.form.close();  // the window's close box: no question, callers read cancel
    EXPECT_FALSE(any.asked);
    EXPECT_FALSE(edited.form.isVisible());
    EXPECT_EQ(edited.form.Tag, 0);
    EXPECT_EQ(edited.text(), "Blues");
}

TEST(xInput, OkTrimsAsciiAndFullWidthBlanksAtBothEndsOnly)
{
    const std::pair<std::string, std::string> cases[] = {
        {"　 ドライブ用　", "ドライブ用"},
        {"  夏の　歌 ", "夏の　歌"},
        {"　😀 絵文字　", "😀 絵文字"},  // CP932 cannot hold the emoji; it stays
        {"\tTab\t", "\tTab\t"},
        {"　 　", ""},
    };
    for (const auto& [typed, kept] : cases) {
        ShownDialog d("");
        d.form.edtInp->setText(QString::fromStdString(typed));
        d.form.spdOKClick(d.form.spdOK);
        EXPECT_FALSE(d.form.isVisible()) << typed;
        EXPECT_EQ(d.form.Tag, 1) << typed;
        EXPECT_EQ(d.text(), kept) << typed;
    }
}

TEST(xInput, EnterIsOkAndEscapeIsCancelWhereverTheFocusIs)
{
    {
        ShownDialog d("Rock");
        press(d.form.edtInp, Qt::Key_A, "a");
        EXPECT_EQ(d.text(), "Rocka") << "other keys still reach the edit";
        press(d.form.edtInp, Qt::Key_Return, "\r");
        EXPECT_FALSE(d.form.isVisible());
        EXPECT_EQ(d.form.Tag, 1);
        EXPECT_EQ(d.text(), "Rocka");
    }
    {
        // Enter on the focused Cancel button is still OK, and only once.
        ShownDialog d("Rock");
        d.form.edtInp->setText("Pop");
        Answerer any(forms::mrNo);
        press(d.form.spdCan, Qt::Key_Return, "\r");
        EXPECT_FALSE(any.asked);
        EXPECT_EQ(d.form.Tag, 1);
        EXPECT_FALSE(d.form.isVisible());
    }
    {
        ShownDialog d("Rock");
        press(d.form.edtInp, Qt::Key_Escape, "\x1b");
        EXPECT_FALSE(d.form.isVisible());
        EXPECT_EQ(d.form.Tag, 0);
    }
    {
        // Escape after an edit asks; No keeps the dialog and the text.
        ShownDialog d("Rock");
        d.form.edtInp->setText("Rock!");
        {
            Answerer no(forms::mrNo);
            press(d.form.edtInp, Qt::Key_Escape, "\x1b");
            EXPECT_TRUE(no.asked);
        }
        EXPECT_TRUE(d.form.isVisible());
        EXPECT_EQ(d.text(), "Rock!");
    }
}

TEST(xInput, DropDownOffersTheStoredNamesAndOpensOnTheMatchingOne)
{
    ShownDialog d("ｊａｚｚ", {"Rock", "ＪＡＺＺ", "ポップス"});
    auto& combo = *d.form.cmbInput;
    ASSERT_EQ(combo.Items().Count(), 3);
    EXPECT_EQ(combo.Items()[2], "ポップス");
    EXPECT_EQ(combo.DropDownCount(), 16);
    EXPECT_FALSE(combo.TabStop());

    combo.showPopup();
    EXPECT_EQ(combo.ItemIndex(), 1) << "full-width letters match without regard to case";
    combo.hidePopup();

    d.form.edtInp->setText("rock");
    combo.showPopup();
    EXPECT_EQ(combo.ItemIndex(), 0);
    combo.hidePopup();

    d.form.edtInp->setText("Roc");
    combo.showPopup();
    EXPECT_EQ(combo.ItemIndex(), -1);
    combo.hidePopup();
}

TEST(xInput, ChoosingANameFillsTheEditWithTheCaretAtTheEnd)
{
    ShownDialog d("x", {"Rock", "ポップス"});
    d.form.activateWindow();
    auto& combo = *d.form.cmbInput;
    combo.showPopup();
    combo.setCurrentIndex(1);
    Q_EMIT combo.activated(1);  // what a click on the entry does
    combo.hidePopup();
    EXPECT_EQ(d.text(), "ポップス");
    EXPECT_EQ(d.form.edtInp->cursorPosition(), d.form.edtInp->text().size());
    EXPECT_FALSE(d.form.edtInp->hasSelectedText());
    EXPECT_EQ(QApplication::focusWidget(), d.form.edtInp) << "the edit takes the focus back";
}

// The window with its frame (3 pixels a side, 23 of title bar and top frame) lies in the
// middle of `over`, halves rounded toward zero.
void expectCentred(const TfrmInput& form, const QRect& over)
{
    const int outerWidth = form.width() + 6, outerHeight = form.height() + 26;
    EXPECT_EQ(form.x(), over.x() + (over.width() - outerWidth) / 2);
    EXPECT_EQ(form.y(), over.y() + (over.height() - outerHeight) / 2);
}

TEST(xInput, IsCentredOverTheMainWindowElseItsOwner)
{
    SettingsFixture settings;
    QWidget owner;
    owner.setGeometry(-300, 50, 801, 600);
    expectCentred(TfrmInput(&owner), owner.frameGeometry());

    TfrmMain main;
    main.setGeometry(40, 30, 1001, 701);
    expectCentred(TfrmInput(&owner), main.frameGeometry());
}

TEST(xInput, LooksRight)
{
    SettingsFixture settings;
    ASSERT_TRUE(AddFavoriteName("ドライブ用"));
    ASSERT_TRUE(AddFavoriteName("夏の歌"));
    TfrmInput form;
    EXPECT_EQ(form.Caption(), "お気に入り");
    EXPECT_EQ(form.spdOK->Caption(), "決　定");
    EXPECT_EQ(form.spdCan->Caption(), "ｷｬﾝｾﾙ");

    form.lblTitle->SetCaption("新規に作成するお気に入りの 『タイトル』 を入力して下さい。\r"
                              "既存のお気に入りに追加する場合はその名前を入力して下さい！！");
    form.edtInp->setText("ドライブ用");
    form.show();
    QCoreApplication::processEvents();
    // Every control inside the window, the two-line prompt above the edit.
    for (QWidget* w : std::initializer_list<QWidget*>{form.lblTitle, form.cmbInput, form.edtInp, form.spdOK, form.spdCan})
        EXPECT_TRUE(form.rect().contains(w->geometry())) << w->metaObject()->className();
    controls::TLabel oneLine(&form);
    oneLine.SetCaption("A");
    EXPECT_GE(form.lblTitle->height(), 2 * oneLine.height());
    EXPECT_LE(form.lblTitle->geometry().bottom(), form.edtInp->y());

    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/app";
    QDir().mkpath(dir);
    const QString path = dir + "/xInput.png";
    ASSERT_TRUE(form.grab().save(path));
    EXPECT_TRUE(QFileInfo::exists(path));
}
