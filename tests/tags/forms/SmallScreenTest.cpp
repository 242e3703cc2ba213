// The tag editor, the bulk change and the details view on an 800 x 600 screen: each opens
// wholly inside the work area. Screenshots go to screenshots/small-screen/.
#include "RecordingTagHost.h"
#include "shared/SettingsFixture.h"
#include "shared/TaggedSongs.h"
#include "support/SmallScreen.h"
#include "support/TestSupport.h"

#include "tags/libID3Tag.h"
#include "tags/forms/xDetails.h"
#include "tags/forms/xTAG.h"
#include "tags/forms/xTagAll.h"

#include <gtest/gtest.h>

#include <QLabel>

using namespace testsupport;

TEST(TagWindowsOnSmallScreen, EveryWindowOpensInsideTheWorkArea)
{
    SKIP_UNLESS_ON_SMALL_SCREEN();
    SettingsFixture settings;
    TempDir dir;
    SetupTagObjects(true);
    writeTaggedSongs(dir.path(), {{"song.mp3", "題名", "歌手", "アルバム", "1999", "Pop", "3"}});
    RecordingHost host;
    host.folder = dir.path();
    {
        TfrmTAG editor(host);
        editor.lblFile->setText(QString::fromStdString(dir.file("song.mp3")));
        editor.lblFileTag = 1;
        ExpectOpensInside(editor, "tag-editor");
    }
    {
        TfrmTagAll bulk(host);
        ExpectOpensInside(bulk, "tag-bulk-change");
    }
    {
        TfrmDetails details(host);
        details.lblFile->setText(QString::fromStdString(dir.file("song.mp3")));
        ExpectOpensInside(details, "tag-details");
    }
    SetupTagObjects(false);
}
