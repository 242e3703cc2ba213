// The main window and the dialogs it opens on an 800 x 600 screen, as on a small netbook or a
// virtual desktop: the music-folder and export folder choosers, the name input, the message box
// and the file dialog each open wholly inside the work area, with the chooser's path box and
// buttons on the screen. Screenshots go to screenshots/small-screen/.
#include "shared/SettingsFixture.h"
#include "support/SmallScreen.h"
#include "support/WaitFor.h"

#include "app/Globals.h"
#include "app/MainForm.h"
#include "app/Program.h"
#include "platform/gfx/DrawTools.h"
#include "app/xInput.h"
#include "controls/dialogs/CoolDlg.h"
#include "platform/forms/Form.h"
#include "util/DirDialog.h"
#include "util/xMessageBox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <QTimer>

#include <functional>

using namespace testsupport;

namespace {

// Looks at the modal window Show opens from inside its event loop, then closes it.
void whileOpen(const std::function<void()>& Show, const std::function<void(QWidget&)>& Look)
{
    bool looked = false;
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        QCoreApplication::processEvents();
        Look(*w);
        looked = true;
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
        else
            w->close();
    });
    Show();
    EXPECT_TRUE(looked);
}

// Inside the work area, and the controls a person needs to finish on the screen too.
void expectUsable(QWidget& w, const char* name)
{
    EXPECT_TRUE(InsideWorkArea(w)) << name;
    const QRect area = w.screen()->availableGeometry();
    for (QWidget* c : w.findChildren<QWidget*>()) {
        const bool needed = c->objectName() == QLatin1String("fileNameEdit") ||
                            (qobject_cast<QAbstractButton*>(c) && qobject_cast<QDialogButtonBox*>(c->parentWidget()));
        if (!needed || !c->isVisible())
            continue;
        const QRect onScreen(c->mapToGlobal(QPoint(0, 0)), c->size());
        EXPECT_TRUE(area.contains(onScreen)) << name << ": " << c->objectName().toStdString() << " "
                                             << c->metaObject()->className() << " at " << onScreen.y()
                                             << ".." << onScreen.bottom();
    }
    SaveScreen(w, QString::fromLatin1(name));
}

// The program's font and the toolkit's Japanese texts, as the program sets them.
void UseProgramLook()
{
    InstallToolkitTranslations();
    QFont f(QString::fromStdString(gfx::MapFontName(gfx::DefaultFontName)));
    f.setPixelSize(12);
    QApplication::setFont(f);
}

}  // namespace


TEST(DialogsOnSmallScreen, TheMainWindowsDialogsOpenInsideTheWorkArea)
{
    SKIP_UNLESS_ON_SMALL_SCREEN();
    SettingsFixture settings;
    UseProgramLook();
    Mp3Path.clear();
    MusicFolders.clear();
    TfrmMain main;
    main.MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                       const std::string&) { return 7; };
    main.show();
    ASSERT_TRUE(waitFor([&] { return main.Loaded(); }));
    EXPECT_TRUE(InsideWorkArea(main));

    whileOpen([&] { main.do_AddMusicDirClick(); }, [](QWidget& w) { expectUsable(w, "music-folder-dialog"); });
    whileOpen([&] { main.do_CopyList1Click(); }, [](QWidget& w) { expectUsable(w, "export-folder-dialog"); });
    whileOpen([&] { ShowMessageBox(&main, "確認", "ＣＤＤＢにアクセスをします。よろしいですか？", "1", "yn", "?"); },
              [](QWidget& w) { expectUsable(w, "message-box"); });
    whileOpen(
        [&] {
            TfrmInput input(&main);
            input.ShowModal();
        },
        [](QWidget& w) { expectUsable(w, "name-input"); });
    whileOpen(
        [&] {
            controls::TCoolOpenDialog open(&main);
            open.Title = "ＷＡＶ ファイルを開く";
            (void)open.Execute();
        },
        [](QWidget& w) { expectUsable(w, "open-file-dialog"); });
}

// A chooser taller than the screen (a long prompt) placed low and to the right by its owner
// shrinks onto the screen with its path box and buttons, and a window that the program sized
// larger than the screen shrinks to it, never below what its layout needs.
TEST(DialogsOnSmallScreen, WindowsLargerThanTheScreenShrinkOntoIt)
{
    SKIP_UNLESS_ON_SMALL_SCREEN();
    UseProgramLook();
    QWidget owner;
    owner.setGeometry(0, 0, 800, 600);
    owner.show();
    TDirDialog chooser(&owner);
    std::string prompt = "音楽フォルダの選択 :";
    for (int i = 0; i < 24; ++i)
        prompt += "\r行 " + std::to_string(i);
    chooser.Promt = prompt;
    chooser.OnShowDialog = [](QPoint& pt) { pt = QPoint(420, 300); };
    whileOpen([&] { (void)chooser.Execute(); }, [](QWidget& w) {
        EXPECT_LE(w.frameGeometry().height(), 600);
        expectUsable(w, "folder-dialog-long-prompt");
    });

    forms::TForm form(&owner);
    auto* layout = new QVBoxLayout(&form);
    auto* list = new QListWidget(&form);
    list->setMinimumSize(300, 200);
    layout->addWidget(list);
    form.resize(1000, 900);
    form.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(InsideWorkArea(form));
    EXPECT_GE(list->height(), 200);
}
