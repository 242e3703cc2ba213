// Clicks go through the window system's path, where an open completion list sees them first.
#define QTEST_QPA_MOUSE_HANDLING
#include "util/DirDialog.h"
#include "app/Program.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QCompleter>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QWidget>

#include <filesystem>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct Open {
    QDialog* window = nullptr;
    QFileDialog* browser = nullptr;
};

// Runs Execute while Drive works the open dialog from inside its event loop. A dialog that
// Drive leaves open is cancelled, so a failing test cannot hang.
bool run(TDirDialog& d, const std::function<void(Open&)>& Drive)
{
    bool driven = false;
    QTimer::singleShot(0, [&] {
        Open o;
        o.window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        o.browser = o.window ? o.window->findChild<QFileDialog*>() : nullptr;
        driven = o.browser != nullptr;
        if (driven)
            Drive(o);
        if (o.window && o.window->isVisible()) {
            ADD_FAILURE() << "the dialog was left open";
            o.window->reject();
        }
    });
    const bool result = d.Execute();
    EXPECT_TRUE(driven);
    return result;
}

// OK as the Enter key gives it, which also works while the OK button is disabled.
void choose(Open& o)
{
    static_cast<QDialog*>(o.browser)->accept();
}

std::string labelText(const Open& o)
{
    auto* label = o.window->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    return label ? label->text().toStdString() : std::string();
}

}  // namespace

TEST(DirDialog, CreationDefaultsOptionsAndSelection)
{
    try {
        TDirDialog orphan(nullptr);
        ADD_FAILURE() << "a chooser without a window was made";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "This component should be placed on TWinControl descendant.");
    }
    QWidget owner;
    TDirDialog d(&owner);
    EXPECT_EQ(d.Promt, "Select directory");
    EXPECT_EQ(d.Options(), unsigned(ddoNewStyle));
    EXPECT_EQ(d.BrowseFlags(), 0x40u);
    d.SetOptions(ddoNewStyle | ddoEditBox);
    EXPECT_EQ(d.BrowseFlags(), 0x70u);
    d.SetOptions(ddoEditBox);
    EXPECT_EQ(d.BrowseFlags(), 0x30u);

    TempDir dir;
    d.SetSelection(dir.path());
    EXPECT_EQ(d.Selection(), dir.path() + "/");
    d.SetSelection(dir.file("missing"));
    EXPECT_EQ(d.Selection(), dir.file("missing"));
    EXPECT_EQ(NormalizeDirSelection(dir.path() + "//"), dir.path());
    EXPECT_EQ(NormalizeDirSelection("/"), "/");
}

TEST(DirDialog, PreselectsPromptsAndReturnsTheChosenFolder)
{
    TempDir dir;
    fs::create_directory(dir.file("音楽"));
    QWidget owner;
    TDirDialog d(&owner);
    d.Caption = "音楽フォルダーの選択";
    d.Promt = "ファイルの種類 : au aif wav mp1 mp2 mp3 wma mpa\r\r音楽フォルダの選択 :";
    d.SetSelection(dir.file("音楽"));
    std::string label;
    const bool ok = run(d, [&](Open& o) {
        EXPECT_TRUE(o.browser->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(o.browser->fileMode(), QFileDialog::Directory);
        EXPECT_EQ(o.window->windowTitle().toStdString(), d.Caption);
        label = labelText(o);
        choose(o);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(d.Directory, dir.file("音楽"));
    EXPECT_EQ(label, "ファイルの種類 : au aif wav mp1 mp2 mp3 wma mpa\n\n音楽フォルダの選択 :");

    // BeforeExecute may reword the prompt for one showing; picking another folder.
    fs::create_directory(dir.file("other"));
    d.BeforeExecute = [](std::string& p) { p = "別の" + p; };
    EXPECT_TRUE(run(d, [&](Open& o) {
        label = labelText(o);
        o.browser->setDirectory(QString::fromStdString(dir.file("other")));
        choose(o);
    }));
    EXPECT_EQ(d.Directory, dir.file("other"));
    EXPECT_TRUE(label.starts_with("別のファイルの種類"));
}

TEST(DirDialog, CancellingKeepsTheLastDirectory)
{
    TempDir dir;
    QWidget owner;
    TDirDialog d(&owner);
    d.Directory = "/kept";
    d.SetSelection(dir.path());
    EXPECT_FALSE(run(d, [](Open& o) { o.browser->reject(); }));
    EXPECT_EQ(d.Directory, "/kept");
}

TEST(DirDialog, PlacedWhereOnShowDialogSays)
{
    QWidget owner;
    TDirDialog d(&owner);
    QPoint proposed;
    QPoint placed;
    QSize size;
    d.OnShowDialog = [&](QPoint& pt) {
        proposed = pt;
        pt = QPoint(32, 32);
    };
    run(d, [&](Open& o) {
        placed = o.window->pos();
        size = o.window->size();
        o.browser->reject();
    });
    const QRect screen = owner.screen()->geometry();
    EXPECT_EQ(proposed, QPoint(screen.x() + (screen.width() - size.width()) / 2,
                               screen.y() + (screen.height() - size.height()) / 3));
    EXPECT_EQ(placed, QPoint(32, 32));
}

TEST(DirDialog, SelectionVettingAndInvalidNames)
{
    TempDir dir;
    fs::create_directory(dir.file("locked"));
    fs::create_directory(dir.file("open"));
    QWidget owner;
    TDirDialog d(&owner);
    std::vector<std::string> asked;
    d.OnSelectDirectory = [&](const std::string& name, bool& ok) {
        asked.push_back(name);
        ok = !name.ends_with("locked");
    };
    d.SetSelection(dir.file("locked"));
    bool refused = false;
    EXPECT_TRUE(run(d, [&](Open& o) {
        QCoreApplication::processEvents();
        auto* box = o.browser->findChild<QDialogButtonBox*>();
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons())
            EXPECT_EQ(b->isEnabled(), box->buttonRole(b) != QDialogButtonBox::AcceptRole);
        choose(o);
        refused = o.window->isVisible();
        o.browser->setDirectory(QString::fromStdString(dir.file("open")));
        choose(o);
    }));
    EXPECT_TRUE(refused);
    EXPECT_EQ(d.Directory, dir.file("open"));
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), dir.file("locked"));

    // Edit-box style: a typed name that is no folder goes to OnInvalidDirectory, which
    // decides whether the dialog closes (without a result).
    d.OnSelectDirectory = nullptr;
    d.SetOptions(ddoNewStyle | ddoEditBox);
    std::vector<std::string> invalid;
    bool stayed = false;
    d.OnInvalidDirectory = [&](const std::string& name, bool& canClose) {
        invalid.push_back(name);
        canClose = invalid.size() > 1;
    };
    EXPECT_FALSE(run(d, [&](Open& o) {
        auto* edit = o.browser->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        edit->setText("no such folder");
        choose(o);
        stayed = o.window->isVisible();
        choose(o);
    }));
    EXPECT_TRUE(stayed);
    EXPECT_EQ(invalid, (std::vector<std::string>{"no such folder", "no such folder"}));
    EXPECT_EQ(d.Directory, dir.file("open"));

    // Without the edit-box style the path box is still there: a typed folder is chosen, a
    // typed name that is no folder keeps the dialog open and asks no one.
    d.SetOptions(ddoNewStyle);
    invalid.clear();
    EXPECT_TRUE(run(d, [&](Open& o) {
        auto* edit = o.browser->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        EXPECT_FALSE(edit->isHidden());
        edit->setText("no such folder");
        choose(o);
        stayed = o.window->isVisible();
        edit->setText(QString::fromStdString(dir.file("locked")));
        choose(o);
    }));
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(invalid.empty());
    EXPECT_EQ(d.Directory, dir.file("locked"));
}

// A path typed into the name box brings up its completions; the first click on OK (選択)
// closes them and still chooses the folder.
TEST(DirDialog, OneClickOnOkChoosesATypedFolderWhileItsCompletionsShow)
{
    TempDir dir;
    fs::create_directory(dir.file("music"));
    fs::create_directory(dir.file("musical"));
    QWidget owner;
    TDirDialog d(&owner);
    d.SetSelection(dir.path());
    bool popped = false;
    EXPECT_TRUE(run(d, [&](Open& o) {
        auto* edit = o.browser->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        ASSERT_NE(edit->completer(), nullptr);
        QAbstractButton* ok = nullptr;
        for (QAbstractButton* b : o.browser->findChild<QDialogButtonBox*>()->buttons())
            if (o.browser->findChild<QDialogButtonBox*>()->buttonRole(b) == QDialogButtonBox::AcceptRole)
                ok = b;
        ASSERT_NE(ok, nullptr);
        QApplication::setActiveWindow(o.window);
        edit->setFocus();
        QTest::keyClicks(edit, QString::fromStdString(dir.file("music")));
        QWidget* popup = edit->completer()->popup();
        popped = QTest::qWaitFor([&] { return popup->isVisible(); }, 5000);
        ASSERT_TRUE(popped);
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !o.window->isVisible(); }, 5000));
    }));
    EXPECT_TRUE(popped);
    EXPECT_EQ(d.Directory, dir.file("music"));
}

// With Qt's Japanese texts loaded, as the program loads them at start, the browser's own
// labels and buttons are no longer English.
TEST(DirDialog, SpeaksJapaneseWithTheToolkitTranslations)
{
    ASSERT_TRUE(InstallToolkitTranslations()) << "qt6-translations-l10n is not installed";
    QWidget owner;
    TDirDialog d(&owner);
    QStringList texts;
    run(d, [&](Open& o) {
        if (auto* look = o.browser->findChild<QLabel*>("lookInLabel"))
            texts << look->text();
        for (QAbstractButton* b : o.browser->findChild<QDialogButtonBox*>()->buttons())
            texts << b->text();
        o.browser->reject();
    });
    for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    ASSERT_EQ(texts.size(), 3);
    for (const char* english : {"Look in:", "&Choose", "Cancel"})
        EXPECT_FALSE(texts.contains(QLatin1String(english))) << english;
    EXPECT_TRUE(texts.contains(QString::fromUtf8("キャンセル")));
}

TEST(DirDialog, PersonalRootCannotBeLeft)
{
    TempDir dir;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    fs::create_directories(dir.file("config"));
    fs::create_directories(dir.file("docs/songs"));
    writeFile(dir.file("config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"" + dir.file("docs") + "\"\n");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.file("config")));
    const bool located = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                             .toStdString() == dir.file("docs");
    if (located) {
        QWidget owner;
        TDirDialog d(&owner);
        d.InitialDirectory = idPersonal;
        EXPECT_EQ(d.RootFolder(), dir.file("docs"));
        d.SetSelection("/");   // outside the root: not preselected
        std::string shown, returned;
        EXPECT_TRUE(run(d, [&](Open& o) {
            shown = o.browser->directory().absolutePath().toStdString();
            o.browser->setDirectory("/");
            returned = o.browser->directory().absolutePath().toStdString();
            o.browser->setDirectory(QString::fromStdString(dir.file("docs/songs")));
            choose(o);
        }));
        EXPECT_EQ(shown, dir.file("docs"));
        EXPECT_EQ(returned, dir.file("docs"));
        EXPECT_EQ(d.Directory, dir.file("docs/songs"));
    }
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
    if (!located)
        GTEST_SKIP() << "the documents folder cannot be redirected here";
}
