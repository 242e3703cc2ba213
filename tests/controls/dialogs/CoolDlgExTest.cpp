// The picture open dialog runs for real, off screen (see DialogRunner.h); the toolkit's
// selection signal stands for the user's click on a file. Pictures are made by ImageMagick.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "controls/ControlTestSupport.h"
#include "controls/dialogs/CoolDlgEx.h"
#include "controls/dialogs/DialogRunner.h"
#include "controls/dialogs/OpenPictureDialog.h"
#include "controls/std/Label.h"
#include "controls/std/SpeedButton.h"
#include "pictures/PictureFormats.h"
#include "platform/forms/Image.h"
#include "platform/gfx/Picture.h"
#include "platform/midi/MidiPlayer.h"
#include "support/MidiFiles.h"
#include "support/TestSupport.h"
#include "support/WaitFor.h"

using namespace controls;
using controltest::runWith;
using testsupport::TempDir;

namespace {

std::string magick(TempDir& Dir, const std::string& Name, const std::vector<std::string>& Args)
{
    const std::string path = Dir.file(Name);
    std::vector<std::string> args = Args;
    args.push_back(path);
    const auto r = testsupport::runCommand("convert", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

void select(QFileDialog& Dialog, const std::string& Path)
{
    emit Dialog.currentChanged(QString::fromStdString(Path));
}

// The picture registry with the program's formats, for one test.
struct Formats {
    Formats() { RegisterPictureFormats(); }
    ~Formats() { UnregisterPictureFormats(); }
};

// Runs Check on the full preview that the preview button opens (clicked with the mouse, or
// its handler called), then closes it with Escape; answers whether one opened.
bool withFullPreview(TCOPDCustomArea& Area, const std::function<void(TPreviewForm&)>& Check, bool ByMouse = false)
{
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* form = dynamic_cast<TPreviewForm*>(QApplication::activeModalWidget());
        if (form == nullptr)
            return;
        opened = true;
        Check(*form);
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(form, &esc);
        EXPECT_FALSE(form->isVisible());
    });
    if (ByMouse)
        QTest::mouseClick(Area.PreviewButton, Qt::LeftButton);
    else
        Area.PreviewButtonClick();
    return opened;
}

// Sends the test's MIDI output to a memory output that outlives the players.
struct SharedOutput : midi::TMidiOutput {
    explicit SharedOutput(midi::TMemoryMidiOutput& To) : to(To) {}
    bool Open(std::string& e) override { return to.Open(e); }
    void Close() override { to.Close(); }
    void Note(int c, int k, int v) override { to.Note(c, k, v); }
    bool Write(const int16_t* f, int n) override { return to.Write(f, n); }
    midi::TMemoryMidiOutput& to;
};

}  // namespace

TEST(CoolDlgEx, FilterListsEveryRegisteredFormatAndFollowsNewOnes)
{
    // The built-in formats and two registered here, one extension twice.
    static const gfx::TGraphicClassInfo Fake{"TFakeGraphic", nullptr}, Newer{"TNewerGraphic", nullptr};
    gfx::TPicture::RegisterFileFormat("png", "Portable Network Graphics", &Fake);
    gfx::TPicture::RegisterFileFormat(".XYZ", "Fake pictures", &Fake);
    gfx::TPicture::RegisterFileFormat("png", "Newer PNG reader", &Newer);
    const std::string filter = GraphicFilter();
    gfx::TPicture::UnregisterGraphicClass(&Fake);
    gfx::TPicture::UnregisterGraphicClass(&Newer);
    EXPECT_EQ(filter, "All (*.bmp;*.jpg;*.jpeg;*.png;*.xyz)|*.bmp;*.jpg;*.jpeg;*.png;*.xyz"
                      "|Bitmaps (*.bmp)|*.bmp|JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg"
                      "|Newer PNG reader (*.png)|*.png|Fake pictures (*.xyz)|*.xyz");

    // With the program's formats: every one of them, in the dialog too.
    Formats formats;
    const std::string now = GraphicFilter();
    const std::string all = ";" + now.substr(5, now.find(')') - 5) + ";";
    TCoolOpenPictureDialog dialog(nullptr);
    EXPECT_EQ(dialog.Filter, now);
    runWith(dialog, [&](QFileDialog& d) {
        ASSERT_FALSE(d.nameFilters().isEmpty());
        const QString first = d.nameFilters().front();
        const QStringList patterns = first.mid(first.lastIndexOf('(') + 1).chopped(1).split(' ');
        for (const gfx::TFileFormat& f : gfx::TPicture::FileFormats()) {
            EXPECT_NE(all.find(";*." + f.extension + ";"), std::string::npos) << f.extension;
            EXPECT_TRUE(patterns.contains(QString::fromStdString("*." + f.extension))) << f.extension;
        }
    });
}

TEST(CoolDlgEx, APhotoShowsFittedWithItsSizeAndOpensLargeInTheFullPreview)
{
    Formats formats;
    TempDir dir;
    const std::string big = magick(dir, "big.jpg", {"-size", "4000x3000", "gradient:red-blue"});
    const std::string small = magick(dir, "small.png", {"-size", "300x200", "xc:#2080ff"});
    TCoolOpenDialog::ForgetExtra();
    TCoolOpenPictureDialog dialog(nullptr);
    dialog.InitialDir = dir.path();
    runWith(dialog, [&](QFileDialog& d) {
        TCOPDCustomArea* area = dialog.Area();
        ASSERT_NE(area, nullptr);
        // At the right of the dialog's controls, 4 px below the top, 16 px short of the edge.
        EXPECT_EQ(area->y(), 4);
        EXPECT_EQ(area->x() + area->width(), d.width() - 16);
        const auto* box = d.findChild<QDialogButtonBox*>("buttonBox");
        EXPECT_LE(box->mapTo(&d, QPoint(box->width(), 0)).x(), area->x());
        EXPECT_FALSE(area->PreviewButton->Enabled());
        EXPECT_EQ(area->PreviewButton->Glyph().Width(), 16);

        select(d, big);
        EXPECT_EQ(area->lblSize->Caption(), "( 4000 x 3000 )");
        EXPECT_TRUE(area->PreviewButton->Enabled());
        EXPECT_TRUE(area->Image->isVisible());
        // The panel shows a copy of the image's own size; the picture itself stays whole.
        EXPECT_NE(dynamic_cast<gfx::TBitmap*>(area->Image->Picture().Graphic()), nullptr);
        EXPECT_EQ(area->Image->Picture().Width(), area->Image->width());
        EXPECT_EQ(area->Picture().Width(), 4000);
        // Fitted into the panel less 4, centred, 2 px in.
        const QRect panel = area->PicturePanel->rect().adjusted(2, 2, -2, -2);
        const QRect shown = area->Image->geometry();
        EXPECT_EQ(shown.width(), panel.width());
        EXPECT_NEAR(shown.height(), panel.width() * 3 / 4, 1);
        EXPECT_NEAR(shown.center().y(), panel.center().y(), 1);
        EXPECT_EQ(area->PicturePanel->geometry(), QRect(0, 28, area->width() - 4, area->height() - 90));
        EXPECT_EQ(area->lblSize->x() + area->lblSize->width(), area->width() - 16);
        // The folder's files listed before the picture is taken (the model loads them in the
        // background).
        auto* files = d.findChild<QListView*>("listView");
        testsupport::waitFor([&] { return files->model()->rowCount(files->rootIndex()) >= 2; }, 3000);
        // A click in the list reaches the preview through the toolkit's own signal.
        select(d, small);
        auto* details = d.findChild<QTreeView*>("treeView");
        for (int row = 0; row < files->model()->rowCount(files->rootIndex()); ++row) {
            const QModelIndex at = files->model()->index(row, 0, files->rootIndex());
            if (at.data().toString() == "big.jpg")
                details->setCurrentIndex(at);
        }
        EXPECT_EQ(area->lblSize->Caption(), "( 4000 x 3000 )");
        controltest::saveShot(d.grab().toImage(), "coolpicturedlg_photo");

        // Growing the dialog takes the area along.
        d.resize(d.size() + QSize(120, 60));
        QApplication::processEvents();
        EXPECT_EQ(area->x() + area->width(), d.width() - 16);

        const QRect work = d.screen()->availableGeometry();
        const double scale = std::min((work.width() - 60) / 4000.0, (work.height() - 60) / 3000.0);
        EXPECT_TRUE(withFullPreview(*area, [&](TPreviewForm& f) {
            EXPECT_EQ(f.objectName(), "PreviewForm");
            EXPECT_EQ(f.windowTitle().toStdString(), " プレビュー");
            EXPECT_EQ(f.size(), QSize(int(4000 * scale + 0.5) + 12, int(3000 * scale + 0.5) + 12));
            EXPECT_NEAR(f.frameGeometry().center().x(), work.center().x(), 1);
            EXPECT_NEAR(f.frameGeometry().center().y(), work.center().y(), 1);
            EXPECT_EQ(f.Image->geometry(), QRect(6, 6, f.width() - 12, f.height() - 12));
            controltest::saveShot(f.grab().toImage().scaled(f.size() / 4), "coolpicturedlg_fullpreview");

            // Dragging the picture moves the window (where the window system leaves it to us).
            if (f.windowHandle()->startSystemMove())
                return;
            const QPoint before = f.pos();
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, 50), f.Image->mapToGlobal(QPointF(50, 50)),
                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.Image, &press);
            QMouseEvent drag(QEvent::MouseMove, QPointF(80, 70), f.Image->mapToGlobal(QPointF(80, 70)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.Image, &drag);
            EXPECT_EQ(f.pos(), before + QPoint(30, 20));
        }, true));

        // A picture that fits the work area opens at its own size.
        select(d, small);
        EXPECT_EQ(area->lblSize->Caption(), "( 300 x 200 )");
        EXPECT_TRUE(withFullPreview(*area, [&](TPreviewForm& f) { EXPECT_EQ(f.size(), QSize(312, 212)); }));
    });
    EXPECT_EQ(dialog.Area(), nullptr);
}

TEST(CoolDlgEx, IconsFallBackToTheGeneralReaderAndWhatCannotShowClears)
{
    Formats formats;
    TempDir dir;
    const std::string good = magick(dir, "good.png", {"-size", "40x30", "xc:#ff0000"});
    const std::string gif = magick(dir, "small.gif", {"-size", "30x20", "gradient:red-blue"});
    // A 32-bit icon whose directory claims 24 bits: the 32-bit reader refuses it.
    const std::string ico = magick(dir, "broken.ico", {"-size", "16x16", "xc:#00ff00"});
    {
        std::fstream f(ico, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(12);
        f.put(24);
    }
    std::string damaged = magick(dir, "damaged.png", {"-size", "64x64", "plasma:"});
    std::filesystem::resize_file(damaged, std::filesystem::file_size(damaged) / 2);
    const std::string song = dir.file("tune.mid");
    testsupport::writeMidiMelody(song, {60});
    std::filesystem::create_directory(dir.file("folder.png"));

    TCoolOpenPictureDialog dialog(nullptr);
    dialog.InitialDir = dir.path();
    runWith(dialog, [&](QFileDialog& d) {
        TCOPDCustomArea* area = dialog.Area();
        ASSERT_NE(area, nullptr);
        select(d, ico);
        EXPECT_EQ(area->lblSize->Caption(), "( 16 x 16 )");
        EXPECT_TRUE(area->Image->Transparent());
        gfx::TBitmap& bmp = area->Image->Picture().Bitmap();
        EXPECT_EQ(bmp.Canvas().Pixels(8, 8), gfx::TColor(0x00FF00));

        // A GIF keeps its own class (and so its animation) in the panel.
        select(d, gif);
        EXPECT_EQ(area->lblSize->Caption(), "( 30 x 20 )");
        EXPECT_EQ(area->Image->Picture().Graphic()->ClassType(), area->Picture().Graphic()->ClassType());
        EXPECT_EQ(dynamic_cast<gfx::TBitmap*>(area->Image->Picture().Graphic()), nullptr);
        EXPECT_TRUE(area->Image->isVisible());

        // A selection loads at once and lets no other event run meanwhile (a second
        // selection must not start amid the first).
        bool ranMeanwhile = false;
        QTimer::singleShot(0, [&] { ranMeanwhile = true; });
        select(d, good);
        EXPECT_EQ(area->lblSize->Caption(), "( 40 x 30 )");
        EXPECT_FALSE(ranMeanwhile);

        for (const std::string& gone : {dir.file("folder.png"), dir.file("missing.jpg"), song, damaged}) {
            select(d, good);
            ASSERT_TRUE(area->PreviewButton->Enabled());
            select(d, gone);
            EXPECT_EQ(area->lblSize->Caption(), "") << gone;
            EXPECT_FALSE(area->Image->isVisible()) << gone;
            EXPECT_TRUE(area->Image->Picture().Graphic() == nullptr) << gone;
            // The button of an empty picture is off, and a click on it opens nothing.
            EXPECT_FALSE(area->PreviewButton->Enabled()) << gone;
            EXPECT_FALSE(withFullPreview(*area, [](TPreviewForm&) {}));
        }
        EXPECT_EQ(QApplication::activeModalWidget(), &d);  // no message box came up
    });
}

TEST(CoolDlgEx, AMidiFilePlaysUntilAnotherSelectionAndTheDialogClosesTheDevice)
{
    Formats formats;
    TempDir dir;
    const std::string first = dir.file("first.mid"), second = dir.file("second.MIDI");
    testsupport::writeMidiMelody(first, std::vector<int>(50, 62), 96 * 4);
    testsupport::writeMidiMelody(second, std::vector<int>(50, 65), 96 * 4);
    const std::string photo = magick(dir, "photo.jpg", {"-size", "64x48", "gradient:"});
    midi::TMemoryMidiOutput out;
    TCOPDCustomArea::MidiOutputFactory = [&] { return std::make_unique<SharedOutput>(out); };

    TCoolOpenPictureDialog dialog(nullptr);
    runWith(dialog, [&](QFileDialog& d) {
        TCOPDCustomArea* area = dialog.Area();
        select(d, first);
        EXPECT_EQ(area->PlayingMidi(), first);
        EXPECT_TRUE(out.IsOpen());
        ASSERT_TRUE(testsupport::waitFor([&] { return !out.Notes().empty(); }, 5000));
        EXPECT_EQ(out.Notes().front().Key, 62);
        EXPECT_FALSE(area->PreviewButton->Enabled());
        select(d, second);
        EXPECT_EQ(area->PlayingMidi(), second);
        EXPECT_EQ(out.OpenCount(), 2);  // the first file's device was closed
        select(d, photo);
        EXPECT_EQ(area->PlayingMidi(), "");
        EXPECT_FALSE(out.IsOpen());
        EXPECT_EQ(area->lblSize->Caption(), "( 64 x 48 )");
        select(d, first);
        EXPECT_TRUE(out.IsOpen());
    });
    EXPECT_FALSE(out.IsOpen());
    TCOPDCustomArea::MidiOutputFactory = [] { return midi::CreateAlsaMidiOutput(); };
}

TEST(CoolDlgEx, AWildcardInTheNameBoxListsMidiFilesAndATypedMidiNamePlaysAndOpens)
{
    Formats formats;
    TempDir dir;
    const std::string song = dir.file("scale.mid");
    testsupport::writeMidiMelody(song, {60, 62, 64, 65, 67, 69, 71, 72}, 96 * 4);
    magick(dir, "photo.jpg", {"-size", "64x48", "gradient:"});
    midi::TMemoryMidiOutput out;
    TCOPDCustomArea::MidiOutputFactory = [&] { return std::make_unique<SharedOutput>(out); };

    const auto listed = [](QFileDialog& d) {
        auto* view = d.findChild<QListView*>("listView");
        QStringList names;
        for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
            names << view->model()->index(r, 0, view->rootIndex()).data().toString();
        return names;
    };
    TCoolOpenPictureDialog dialog(nullptr);
    dialog.InitialDir = dir.path();
    const bool accepted = runWith(dialog, [&](QFileDialog& d) {
        auto* edit = d.findChild<QLineEdit*>("fileNameEdit");
        QPushButton* open = d.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open);
        ASSERT_TRUE(edit != nullptr && open != nullptr);
        ASSERT_TRUE(testsupport::waitFor([&] { return listed(d) == QStringList{"photo.jpg"}; }, 5000));

        // The wildcard entered lists the MIDI files, asks for no file, and a click plays one.
        QTest::keyClicks(edit, "*.mid");
        bool asked = false;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = true;
                box->reject();
            }
        });
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_FALSE(asked) << "a message box looked for a file named *.mid";
        ASSERT_TRUE(testsupport::waitFor([&] { return listed(d) == QStringList{"scale.mid"}; }, 5000));
        auto* view = d.findChild<QListView*>("listView");
        view->setCurrentIndex(view->model()->index(0, 0, view->rootIndex()));
        EXPECT_EQ(dialog.Area()->PlayingMidi(), song);
        EXPECT_TRUE(open->isEnabled());

        // Choosing a file type again lists by it; a picture clicked stops the music.
        emit d.findChild<QComboBox*>("fileTypeCombo")->activated(0);
        ASSERT_TRUE(testsupport::waitFor([&] { return listed(d) == QStringList{"photo.jpg"}; }, 5000));
        view->setCurrentIndex(view->model()->index(0, 0, view->rootIndex()));
        EXPECT_EQ(dialog.Area()->PlayingMidi(), "");

        // The name of the hidden MIDI file typed: it plays, and 開く opens it.
        edit->clear();
        QTest::keyClicks(edit, "scale.mid");
        EXPECT_EQ(dialog.Area()->PlayingMidi(), song);
        ASSERT_TRUE(testsupport::waitFor([&] { return open->isEnabled(); }, 5000));
        QTest::mouseClick(open, Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(dialog.FileName, song);
    TCOPDCustomArea::MidiOutputFactory = [] { return midi::CreateAlsaMidiOutput(); };
}

TEST(CoolDlgEx, TheWindowsCallOpensThePictureDialogInTheNearestFolderThatExists)
{
    TempDir dir;
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (d == nullptr)
            return;
        shown = true;
        EXPECT_EQ(d->windowTitle(), "画像を開く");
        EXPECT_EQ(d->directory().absolutePath().toStdString(), dir.path());
        // The preview area declares no meta-object of its own, so findChild would take any
        // widget for it: look for it by its C++ type.
        const QList<QWidget*> children = d->findChildren<QWidget*>();
        EXPECT_TRUE(std::any_of(children.begin(), children.end(),
                                [](QWidget* w) { return dynamic_cast<TCOPDCustomArea*>(w) != nullptr; }));
        d->reject();
    });
    EXPECT_EQ(ExecuteOpenPictureDialog(nullptr, dir.file("gone/deeper")), "");
    EXPECT_TRUE(shown);
}
