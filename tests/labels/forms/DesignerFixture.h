// A music folder of tagged MP3s and photos, a playlist over it and a scratch settings file,
// for the jacket and label designer's tests.
#pragma once

#include "labels/forms/xCDTitle.h"
#include "shared/SettingsFixture.h"
#include "shared/TaggedSongs.h"
#include "support/TestSupport.h"
#include "util/MainWindowHost.h"

#include <QPoint>
#include <memory>
#include <string>
#include <vector>

class QWidget;

struct PlaylistHost : TMainWindowHost {
    std::vector<TPlaylistRow> rows;
    QWidget* MainWindow() const override { return nullptr; }
    void SetListSelectedTexts(int, const std::array<std::string, 6>&) override {}
    std::vector<TPlaylistRow> PlaylistRows() const override { return rows; }
    bool HoldForTagWrite(const std::string&) override { return false; }
    void ResumeAfterTagWrite() override {}
};

class DesignerFixture {
public:
    DesignerFixture();
    ~DesignerFixture();

    // A tagged song in the music folder and on the playlist; Photo goes into its TPHO frame.
    void song(const std::string& File, const std::string& Title, const std::string& Artist,
              const std::string& Album, const std::string& Photo = "");
    // Playlist rows titled "Track n" without files behind them.
    void titles(int Count, const std::string& Stem = "Track ");
    // A JPEG of W x H in one colour, made by ImageMagick, in the music folder (or at Path).
    std::string photo(const std::string& Name, int W, int H, const std::string& Colour = "red");
    // The designer, shown and with its lists built.
    std::unique_ptr<TfrmCD_Label> open();

    SettingsFixture settings;
    testsupport::TempDir music;
    PlaylistHost host;
    std::string savedMp3Path;
};

// Mouse events as the window gets them, at a point of the widget.
void mouse(QWidget* W, int Type, QPoint At, int Button, int Buttons);
// Saves the widget's grab() as build/screenshots/labels/<Name>.png.
void saveShot(QWidget& W, const std::string& Name);
// Presses the widget at From, drags by By with the left button and releases.
void drag(QWidget* W, QPoint From, QPoint By);
