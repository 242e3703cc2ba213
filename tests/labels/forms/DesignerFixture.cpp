#include "DesignerFixture.h"

#include "support/WaitFor.h"
#include "tags/libID3Tag.h"
#include "util/libIni.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMouseEvent>
#include <gtest/gtest.h>

using namespace testsupport;

DesignerFixture::DesignerFixture()
{
    SetupTagObjects(true);
    InitGenreList();
    RegisterMainWindowHost(&host);
    savedMp3Path = Mp3Path;
    Mp3Path = music.path();
}

DesignerFixture::~DesignerFixture()
{
    RegisterMainWindowHost(nullptr);
    Mp3Path = savedMp3Path;
}

void DesignerFixture::song(const std::string& File, const std::string& Title, const std::string& Artist,
                           const std::string& Album, const std::string& Photo)
{
    writeTaggedSongs(music.path(), {{File, Title, Artist, Album, "", "", ""}});
    const std::string path = music.file(File);
    if (!Photo.empty()) {
        ReadTag(path);
        CurrentTag.PhotoName = Photo;
        EXPECT_TRUE(WriteTag(path)) << path;
    }
    host.rows.push_back({Title, path});
}

void DesignerFixture::titles(int Count, const std::string& Stem)
{
    for (int i = 1; i <= Count; ++i)
        host.rows.push_back({Stem + std::to_string(i), music.file("none" + std::to_string(i) + ".mp3")});
}

std::string DesignerFixture::photo(const std::string& Name, int W, int H, const std::string& Colour)
{
    const std::string path = Name.find('/') == std::string::npos ? music.file(Name) : Name;
    const CommandResult r = runCommand("convert", {"-size", std::to_string(W) + "x" + std::to_string(H),
                                                   "xc:" + Colour, path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

std::unique_ptr<TfrmCD_Label> DesignerFixture::open()
{
    auto w = std::make_unique<TfrmCD_Label>();
    w->show();
    EXPECT_TRUE(waitFor([&] { return w->BuildCount() > 0; }, 10000));
    return w;
}

void mouse(QWidget* W, int Type, QPoint At, int Button, int Buttons)
{
    QMouseEvent e(QEvent::Type(Type), QPointF(At), W->mapToGlobal(QPointF(At)), Qt::MouseButton(Button),
                  Qt::MouseButtons(Buttons), Qt::NoModifier);
    QApplication::sendEvent(W, &e);
}

void drag(QWidget* W, QPoint From, QPoint By)
{
    mouse(W, QEvent::MouseButtonPress, From, Qt::LeftButton, Qt::LeftButton);
    mouse(W, QEvent::MouseMove, From + By, Qt::NoButton, Qt::LeftButton);
    mouse(W, QEvent::MouseButtonRelease, From + By, Qt::LeftButton, Qt::NoButton);
}

void saveShot(QWidget& W, const std::string& Name)
{
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/labels";
    QDir().mkpath(dir);
    EXPECT_TRUE(W.grab().save(dir + "/" + QString::fromStdString(Name) + ".png"));
}
