// Every test program runs inside one QApplication (headless: QT_QPA_PLATFORM=offscreen is set
// by CTest), so widgets, timers and queued calls behave as in the program.
//
// Each run also gets a home of its own: HOME and the XDG folders point into a temporary folder
// that goes with the run, so nothing a test does (Qt's file-dialog history, settings, the
// trash, lock files) reaches the settings of the user who runs the tests.
#include <cstdio>
#include <string_view>

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A helper run of the program ("PROGRAM --Name args...", see TestProgramMode) works in the
    // home of the test that started it: such helpers are killed when done with, and a home of
    // their own would stay behind.
    testsupport::TestProgramMode::Fn mode;
    if (argc >= 2 && std::string_view(argv[1]).starts_with("--"))
        mode = testsupport::TestProgramMode::Find(argv[1] + 2);
    const QString startersHome = qEnvironmentVariable("TAMBOURELLE_TEST_HOME");
    const bool ownHome = !mode || startersHome.isEmpty() || !QFileInfo(startersHome).isDir();
    QString root = startersHome;
    if (ownHome) {
        QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tambourelle-test-home-XXXXXX"));
        if (!home.isValid()) {
            fprintf(stderr, "test: no temporary home folder: %s\n", qPrintable(home.errorString()));
            return 1;
        }
        // Removed below by the names' bytes: QTemporaryDir cannot delete names that are not UTF-8.
        home.setAutoRemove(false);
        root = home.path();
        struct Folder {
            const char* variable;
            const char* path;
        };
        // ImageMagick, which the tests run as a yardstick, leaves links to its inputs in its
        // temporary folder: that folder goes with the home.
        for (const Folder& f :
             {Folder{"HOME", ""}, Folder{"XDG_CONFIG_HOME", "/.config"}, Folder{"XDG_DATA_HOME", "/.local/share"},
              Folder{"XDG_CACHE_HOME", "/.cache"}, Folder{"XDG_STATE_HOME", "/.local/state"},
              Folder{"XDG_RUNTIME_DIR", "/runtime"}, Folder{"MAGICK_TEMPORARY_PATH", "/magick"},
              Folder{"TAMBOURELLE_TEST_HOME", ""}}) {
            const QString path = root + QLatin1String(f.path);
            QDir().mkpath(path);
            qputenv(f.variable, QFile::encodeName(path));
        }
        // Qt accepts a runtime folder only when it is private to the user.
        QFile::setPermissions(root + QStringLiteral("/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // The headless screen is a desk of 1920 x 1080, which holds the main window at its default
    // size: the offscreen platform's own 800 x 600 would shrink it to fit. With --small-screen
    // (the CTest entries of the suites named ...OnSmallScreen) it is a screen of 800 x 600.
    bool smallScreen = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) != "--small-screen")
            continue;
        smallScreen = true;
        for (int j = i; j + 1 < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        break;
    }
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        const QString config = root + QStringLiteral("/screen.json");
        QFile file(config);
        if (file.open(QIODevice::WriteOnly))
            file.write(smallScreen
                           ? R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 800, "height": 600,)"
                             R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})"
                           : R"({"screens": [{"name": "desk", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
                             R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        file.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    }

    int result = 0;
    {
        QApplication app(argc, argv);
        if (mode) {
            result = mode(argc, argv);
        } else {
            ::testing::InitGoogleTest(&argc, argv);
            result = RUN_ALL_TESTS();
        }
    }
    if (ownHome && !testsupport::removeTree(QFile::encodeName(root).toStdString()))
        fprintf(stderr, "test: cannot remove the temporary home %s\n", qPrintable(root));
    return result;
}
