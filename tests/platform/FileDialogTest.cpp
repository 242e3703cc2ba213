// TOpenDialog / TSaveDialog: the filter pairs as the toolkit's name filters, and a run of
// the dialog answered through its own widgets.
#include "platform/forms/Dialogs.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QWidget>

using forms::TFileDialog;

TEST(FileDialog, FilterPairsBecomeNameFilters)
{
    const struct {
        std::string filter;
        std::vector<std::string> want;
    } cases[] = {
        {"", {}},
        {"  ＷＡＶファイル (*.wav)|*.wav", {"  ＷＡＶファイル (*.wav)"}},
        {"Pictures|*.jpg;*.png|All|*.*", {"Pictures (*.jpg *.png)", "All (*.*)"}},
        {"No mask|", {}},
        {"Odd|*.a|Lone", {"Odd (*.a)"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TFileDialog::NameFilters(c.filter), c.want) << c.filter;
    }
}

TEST(FileDialog, OpensInTheNearestFolderThatExists)
{
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("a.mp3"), "x");
    const struct {
        std::string given, want;
    } cases[] = {
        {"", ""},
        {dir.path(), dir.path()},
        {dir.file("Music"), dir.path()},
        {dir.file("お気に入り/Music"), dir.path()},
        {dir.file("a.mp3"), dir.path()},
        {"/no-such-folder-here/Music", "/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(forms::ExistingFolderOf(c.given), c.want) << c.given;
    }
}

TEST(FileDialog, ExecuteGivesTheChosenFileAndCancelKeepsTheName)
{
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("a.mp3"), "x");
    QWidget owner;
    for (const bool accept : {true, false}) {
        forms::TSaveDialog d(&owner);
        d.Title = "別の名前で保存";
        d.Filter = "ＭＰ３ファイル (*.mp3)|*.mp3";
        d.InitialDir = dir.path();
        d.FileName = "before";
        d.DefaultExt = "mp3";
        std::string title;
        QTimer::singleShot(0, [&] {
            auto* f = dynamic_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(f, nullptr);
            title = f->windowTitle().toStdString();
            if (accept) {
                f->selectFile(QStringLiteral("new"));
                QMetaObject::invokeMethod(f, "accept");
            } else {
                f->reject();
            }
        });
        EXPECT_EQ(d.Execute(), accept);
        EXPECT_EQ(title, "別の名前で保存");
        EXPECT_EQ(d.FileName, accept ? dir.file("new.mp3") : "before");
    }
}
