// The conversions of the music list's files between WAV and MP3. A WAV is encoded into a new
// MP3 beside it that carries the WAV's tag texts and is listed right below it; an MP3's frames
// are wrapped into a RIFF WAVE file beside it, which the directory monitor lists.
//
// Both let events run (the encoder serves the event loop while it works; the wrapping may
// ask a question), so they mark the window busy: a second conversion is refused and a close
// waits for the running one. The rows may change meanwhile, so a row is found again by its
// path afterwards. UI thread only.
#include "app/MainForm.h"

#include "app/DirMon.h"
#include "app/MainFormSupport.h"
#include "cd/LameCoder.h"
#include "platform/rtl/AsciiCase.h"
#include "platform/rtl/FileNames.h"
#include "platform/rtl/StringList.h"
#include "tags/forms/TagDialogSupport.h"
#include "tags/libID3Tag.h"
#include "util/libControl.h"
#include "util/Cp932.h"
#include "util/libWindows.h"

#include <QAction>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScopeGuard>

#include <filesystem>
#include <utility>

namespace {

// Row Hint of the list when it still stands for Path, else the first row that does; -1 none.
int rowOfPath(const QTreeWidget* List, const std::string& Path, int Hint)
{
    const int count = List->topLevelItemCount();
    if (Hint >= 0 && Hint < count && TfrmMain::RowPath(List->topLevelItem(Hint)) == Path)
        return Hint;
    for (int i = 0; i < count; ++i)
        if (TfrmMain::RowPath(List->topLevelItem(i)) == Path)
            return i;
    return -1;
}

// The wrapping's texts break lines with "\r\n"; the standard dialogs with "\n".
QString dialogText(const std::string& Text)
{
    return QString::fromStdString(Text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

void TfrmMain::ConnectConvertCommands()
{
    LameCoder1 = std::make_unique<cd::TLameCoder>();
    LameCoder1->DefaultExt = ".mp3";
    Handlers.Set(LameCoder1->OnProgress, [this](cd::TLameCoder*, std::uint16_t Percent) { LameCoder1Progress(Percent); });
    Handlers.Connect(do_ConvMp3, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_ConvMp3Click(); }); });
    Handlers.Connect(do_ConvWav, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_ConvWavClick(); }); });

    WrapDialogs.Inform = [this](const std::string& Text) {
        QMessageBox::information(this, QGuiApplication::applicationDisplayName(), dialogText(Text));
    };
    WrapDialogs.AskTakeHeader = [this](const std::string& Text) {
        switch (QMessageBox::question(this, QGuiApplication::applicationDisplayName(), dialogText(Text),
                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
        case QMessageBox::Yes:
            return TRiffAnswer::Yes;
        case QMessageBox::No:
            return TRiffAnswer::No;
        default:
            return TRiffAnswer::Cancel;
        }
    };
}

void TfrmMain::LameCoder1Progress(std::uint16_t Percent) { GaugeMP3->SetProgress(Percent); }

std::string TfrmMain::MakeUniqueOutputName(const std::string& Path) { return MakeUniqueFileName(Path); }

// Runs Convert on the music list's first selected row (its index and path), with the window
// marked busy.
void TfrmMain::ConvertSelected(const std::function<void(int Index, const std::string& Path)>& Convert)
{
    TReentryGuard guard(busy_);
    if (!guard)
        return;
    const auto finish = qScopeGuard([this] { FinishBusyStep(); });
    const int index = FirstSelectedIndex(lstMP3);
    const std::string path = RowPath(index < 0 ? nullptr : lstMP3->topLevelItem(index));
    if (!path.empty())
        Convert(index, path);
}

void TfrmMain::do_ConvMp3Click()
{
    ConvertSelected([this](int index, const std::string& path) { ConvertToMp3(index, path); });
}

void TfrmMain::ConvertToMp3(int Index, const std::string& Path)
{
    // Refused before anything else, so that a refusal leaves the playing file alone: MPEG audio
    // in RIFF, and whatever else the encoder cannot take (24-bit or float samples, ADPCM,
    // more than two channels, a file that is no RIFF WAVE at all, which it would read as raw
    // samples).
    GetAudioFileInfo(Path);
    if (rtl::LowerAscii(AudioFileInfo.Text[aiFormat]).find("mpeg") != std::string::npos ||
        !LameCoder1->CanEncodeWave(Path)) {
        MsgBoxEx(this, "ＭＰ３変換", "『 " + cp932::nameForDisplay(Path.substr(Path.rfind('/') + 1)) + " 』" + " は 『ＭＰ３』 に変換出来ません！！", 1,
                 "Y", "i");
        return;
    }
    const bool wasCurrent = StopIfCurrent(Path);
    std::string out;
    EncodeToMp3(Path, out);
    const int at = rowOfPath(lstMP3, Path, Index);
    InsertFileRow(out, at < 0 ? -1 : at + 1);
    if (wasCurrent)
        ShowTrackTitle(lstMP3, at);
}

void TfrmMain::EncodeToMp3(const std::string& WavPath, std::string& OutPath)
{
    // The tag of the WAV itself: the record may hold another file's by now, and the engine
    // reads the next track's tag into it while the encoder lets events run.
    ReadTag(WavPath);
    const TCarriedTagTexts kept;

    cd::TLameCoder& coder = *LameCoder1;
    coder.SetQuality(cd::NORMAL_QUALITY);
    coder.SetMode(cd::STEREO);
    coder.SetSampleRate(44100);
    coder.SetBitrate(128);
    coder.SetCRC(true);
    GaugeMP3->SetMaxValue(100);
    GaugeMP3->SetProgress(0);
    const std::string out = MakeUniqueOutputName(rtl::ChangeFileExt(WavPath, ".mp3"));
    coder.SetInputFiles(rtl::TStringList{WavPath});
    coder.SetOutputFiles(rtl::TStringList{out});

    bool tagged = false;
    {
        // The monitor would list the new file a second time beside the row made below.
        const bool watched = DirMon1->Active();
        if (watched)
            DirMon1->SetActive(false);
        setEnabled(false);
        pnlCnvMp3->show();
        pnlCnvMp3->raise();
        TWaitCursor hourglass;
        const auto giveBack = qScopeGuard([&] {
            pnlCnvMp3->hide();
            setEnabled(true);
            if (watched)
                ResumeWatching();
        });
        try {
            coder.EncodeFiles();
        } catch (...) {
            std::error_code ec;
            std::filesystem::remove(out, ec);   // nothing half-made stays behind
            throw;
        }
        // The new file's tag holds the WAV's texts and nothing another file left in the record.
        ClearTag();
        kept.Restore();
        tagged = WriteTag(out);
    }
    OutPath = out;
    // The sound is there all the same; only its tag is missing.
    if (!tagged)
        MsgBoxEx(this, TagMsgCaption, TagNotSavedText, 1, "y", "x");
}

void TfrmMain::do_ConvWavClick()
{
    ConvertSelected([this](int index, const std::string& path) {
        const bool wasCurrent = StopIfCurrent(path);
        // The title comes back even when the write fails and its error goes to the message box.
        const auto title = qScopeGuard([&] {
            if (wasCurrent)
                ShowTrackTitle(lstMP3, rowOfPath(lstMP3, path, index));
        });
        const TMp3WrapDialogs previous = std::exchange(Mp3WrapDialogs, WrapDialogs);
        const auto restore = qScopeGuard([&] { Mp3WrapDialogs = previous; });
        (void)ConvertMp3ToRiffWave(path);
    });
}
