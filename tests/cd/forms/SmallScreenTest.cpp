// The CD player, its CDDB and ripper windows, the voice recorder and the volume control on an
// 800 x 600 screen, as on a machine without a sound card or CD drive: each opens wholly inside
// the work area. Screenshots go to screenshots/small-screen/.
#include "cd/forms/xCD.h"
#include "cd/forms/xCD2MP3.h"
#include "cd/forms/xCDDB.h"
#include "cd/forms/xCDDB_INF.h"
#include "cd/forms/xCDDB_MP3.h"
#include "cd/forms/xVolume.h"
#include "cd/forms/xWAVE.h"
#include "platform/mixer/Mixer.h"
#include "platform/sound/Clock.h"
#include "platform/wave/TestWave.h"
#include "shared/SettingsFixture.h"
#include "support/SmallScreen.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QApplication>

using namespace testsupport;

namespace {

int answerNo(QWidget*, const std::string&, const std::string&, int, const std::string&, const std::string&) { return 2; }


}  // namespace

TEST(CdWindowsOnSmallScreen, EveryWindowOpensInsideTheWorkArea)
{
    SKIP_UNLESS_ON_SMALL_SCREEN();
    SettingsFixture settings;
    // Nobody answers there: the CDDB windows report that at once.
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", "127.0.0.1:1");
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER2", "127.0.0.1:1");
    snd::ManualClock clock;
    TfrmCD cd(nullptr, nullptr, clock);
    cd.MsgBoxEx = answerNo;
    cd.OpenCddbWindow = [] {};
    ExpectOpensInside(cd, "cd-player");
    {
        TfrmMP3 ripper(&cd);
        ripper.MsgBoxEx = answerNo;
        ExpectOpensInside(ripper, "cd-ripper");
    }
    {
        TfrmCDDB cddb(nullptr, &cd);
        cddb.MsgBoxHook = answerNo;
        ExpectOpensInside(cddb, "cddb");
    }
    {
        TfrmCDDB_INF info;
        ExpectOpensInside(info, "cddb-info");
    }
    {
        TfrmCDDB_MP3 names;
        names.MsgBoxHook = answerNo;
        ExpectOpensInside(names, "cddb-ripper");
    }
    {
        auto none = std::make_shared<wave::GeneratedWaveSystem>(clock, wave::InputScript{}, 0);
        TfrmWAV recorder(nullptr, none);
        recorder.MsgBoxEx = answerNo;
        ExpectOpensInside(recorder, "voice-recorder");
    }
    {
        TfrmVolume volume(nullptr, std::make_shared<mixer::MemoryMixerSystem>(0, std::vector<mixer::MemoryElement>{}));
        ExpectOpensInside(volume, "volume-control");
    }
}
