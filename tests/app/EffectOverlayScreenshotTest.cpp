// The effect overlay on the main window, opened as the effect button will open it, while a
// tagged song plays beside album art: grabs of the effect area after two seconds, in the album
// phase and at 15 % of the track (grey), written under screenshots/app/ for a person to look at.
#include "MemoryPlayer.h"
#include "visual/forms/EffectFolder.h"
#include "visual/forms/EffectForm.h"

#include <QCoreApplication>
#include <QDir>

TEST(EffectOverlayScreenshot, OverTheMainWindow)
{
    testsupport::EffectFolder f;
    MemoryPlayer p;
    Mp3Path = f.dir.path();
    p.w->pnlFile->hide();
    p.w->pnlEffect->show();
    p.w->pnlEffect->raise();
    p.engine().PlayFile(f.song);
    visual::TfrmEffect effect(*p.w, p.engine());
    effect.Restart(true);
    effect.Show();
    ASSERT_TRUE(effect.Timer1.Enabled());
    const QString outDir = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(outDir);
    auto run = [&](int frames) { testsupport::runEffectFrames(effect, frames); };
    auto grab = [&](const char* name) {
        const QImage shot = p.w->pbxEffect->grab().toImage();
        EXPECT_EQ(shot.width(), p.w->EffectWidth());
        int lit = 0;
        for (int y = 0; y < shot.height(); y += 4)
            for (int x = 0; x < shot.width(); x += 4)
                lit += qGray(shot.pixel(x, y)) > 60;
        EXPECT_GT(lit, 200) << name;
        EXPECT_TRUE(shot.save(outDir + name));
    };
    run(120);
    grab("effect-overlay.png");
    while (!effect.AlbumPhase())
        run(1);
    run(120);
    grab("effect-overlay-album.png");
    p.w->SetGauge1Position(15);
    run(2);
    EXPECT_TRUE(effect.GreyMode());
    grab("effect-overlay-grey.png");
    effect.Close();
}
