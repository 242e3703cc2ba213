#include "app/Program.h"

#include <memory>

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include "app/Globals.h"
#include "app/MainForm.h"
#include "app/SingleInstance.h"
#include "app/xSplash.h"
#include "cd/forms/xCD.h"
#include "cd/forms/xVolume.h"
#include "pictures/PictureFormats.h"
#include "pictures/decoders/GraphicCompression.h"
#include "platform/gfx/DrawTools.h"
#include "resources/BuiltinResources.h"
#include "util/libWindows.h"
#include "visual/DIB.h"
#include "util/xMessageBox.h"

namespace {

// A handler that fails tells the user in the program's own message box over the main window,
// and the program goes on. The message goes to the log too; one that comes while such a
// notice is still open goes to the log only.
void ReportFailuresInMessageBox(QWidget* Main)
{
    forms::SetExceptionReporter([main = QPointer<QWidget>(Main)](const std::string& message) {
        static bool showing = false;
        QString line = QString::fromStdString(message);
        line.replace(QLatin1Char('\r'), QLatin1Char(' '));
        qWarning("Tambourelle: %s", qPrintable(line));
        if (showing)
            return;
        showing = true;
        ShowMessageBox(main, "Tambourelle", message, "1", "y", "x");
        showing = false;
    });
}

}  // namespace

bool InstallToolkitTranslations()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void SetProgramFont()
{
    // A character height of 12 pixels, as the windows' fonts are given, is 9 points at the
    // screen's 96 dots per inch. Qt's own dialogs scale the point size of the font they get
    // (the page preview of the page setup draws at a quarter of it), which a font sized in
    // pixels only does not have.
    gfx::TFont height;
    height.SetHeight(-12);
    QFont f(QString::fromStdString(gfx::MapFontName(gfx::DefaultFontName)));
    f.setPointSize(height.Size());
    QApplication::setFont(f);
}

int RunProgram(int argc, char** argv)
{
    const std::unique_ptr<InstanceLock> instance = OpenInstanceMutex(InstanceLockPath());
    if (!instance)
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tambourelle"));
    initBuiltinResources();
    SetProgramFont();
    InstallToolkitTranslations();
    visual::RegisterDIBFormat();
    RegisterPictureFormats();
    decoders::SetDecoderWarningSink([](const std::string& Caption, const std::string& Text) {
        MsgBoxEx(nullptr, Caption, Text, 1, "Y", "!");
    });
    IniBase = GetAppDir() + "/Tambourelle";
    // The program's "HAND" and "DRAG" cursors become screen cursors 1 and 2 when the main
    // window is made (the desktop's pointing-hand and move cursors stand for them).

    // The long-lived windows in their order: main window, then mixer, effect overlay, CD
    // player and splash. The first is the main window.
    auto main = std::make_unique<TfrmMain>();
    ReportFailuresInMessageBox(main.get());
    auto volume = std::make_unique<TfrmVolume>(main.get());
    std::unique_ptr<visual::TfrmEffect> effect;
    forms::RunGuarded([&] {
        if (main->Engine())
            effect = std::make_unique<visual::TfrmEffect>(*main, *main->Engine());
        main->frmEffect = effect.get();
    });
    std::shared_ptr<snd::SoundDevice> sound;
    forms::RunGuarded([&sound] { sound = ApplicationMixer().GetDirectSound(); });
    auto cd = std::make_unique<TfrmCD>(main.get(), sound);
    new TfrmSplash(main.get());   // fifth: owned by the main window, which shows it
    main->show();
    const int exitCode = app.exec();
    main->frmEffect = nullptr;   // the overlay goes first
    UnregisterPictureFormats();
    return exitCode;
}
