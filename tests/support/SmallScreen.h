// Windows on a small screen. The suites named ...OnSmallScreen have CTest entries of their own
// that run the test program with --small-screen, whose headless screen is then 800 x 600 (see
// TestMain.cpp); run on the usual desk, as a whole test program is, they skip.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace testsupport {

inline bool OnSmallScreen()
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return s && s->geometry().size() == QSize(800, 600);
}

// The shown window's frame lies wholly inside the work area of its screen.
inline ::testing::AssertionResult InsideWorkArea(const QWidget& Window)
{
    const QRect area = Window.screen()->availableGeometry();
    const QRect frame = Window.frameGeometry();
    if (Window.isVisible() && area.contains(frame))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << Window.metaObject()->className() << " \"" << Window.windowTitle().toStdString() << "\" at ("
           << frame.x() << ", " << frame.y() << ") " << frame.width() << " x " << frame.height()
           << (Window.isVisible() ? "" : " (hidden)") << " on a work area of " << area.width() << " x "
           << area.height();
}

// Saves the screen as a person would see it with the window on it, for looking at:
// screenshots/small-screen/<Name>.png beside the test programs' folder.
inline void SaveScreen(QWidget& Window, const QString& Name)
{
    const QRect screen = Window.screen()->geometry();
    QImage desk(screen.size(), QImage::Format_RGB32);
    desk.fill(QColor(0x3a, 0x6e, 0xa5));
    {
        QPainter p(&desk);
        if (QWidget* owner = Window.parentWidget() ? Window.parentWidget()->window() : nullptr;
            owner && owner->isVisible())
            p.drawPixmap(owner->geometry().topLeft() - screen.topLeft(), owner->grab());
        p.drawPixmap(Window.geometry().topLeft() - screen.topLeft(), Window.grab());
    }
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots/small-screen");
    QDir().mkpath(dir);
    desk.save(dir + QLatin1Char('/') + Name + QStringLiteral(".png"));
}

// Shows the window and expects it wholly inside the work area; saves the screen as Name.
inline void ExpectOpensInside(QWidget& Window, const char* Name)
{
    Window.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(InsideWorkArea(Window)) << Name;
    SaveScreen(Window, QString::fromLatin1(Name));
}

}  // namespace testsupport

#define SKIP_UNLESS_ON_SMALL_SCREEN()                                                            \
    if (!testsupport::OnSmallScreen())                                                           \
    GTEST_SKIP() << "runs on the 800 x 600 screen of --small-screen"
