#include "cd/forms/xCD2MP3.h"
#include "cd/SaveTarget.h"

#include "cd/forms/PanelLook.h"
#include "cd/forms/xCD.h"
#include "platform/forms/Application.h"
#include "platform/gfx/DrawTools.h"
#include "platform/rtl/FileNames.h"
#include "tags/libID3Tag.h"
#include "util/Cp932.h"
#include "util/libControl.h"
#include "util/libIni.h"
#include "util/libText.h"
#include "util/libWindows.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

constexpr int FormWidth = 436;
constexpr int FormHeight = 384;
constexpr gfx::TColor PanelColor = 0x30211A;
constexpr int ScrollBarWidth = 17;
const char* const Section = "Ripper";
const char* const RipCaption = "CD Ripper";
const char* const ConvertCaption = "ＭＰ３変換";
constexpr std::size_t MaxFailuresShown = 10;

std::string iniString(const char* key, const std::string& def)
{
    return IniBase.empty() ? def : IniReadString(IniBase, Section, key, def);
}

void iniWriteString(const char* key, const std::string& value)
{
    if (!IniBase.empty())
        IniWriteString(IniBase, Section, key, value);
}

// Restores the window when a rip or a conversion ends, also by an exception.
struct RunScope {
    bool& running;
    std::function<void()> done;
    RunScope(bool& r, std::function<void()> d) : running(r), done(std::move(d)) { running = true; }
    ~RunScope()
    {
        running = false;
        done();
    }
};

}  // namespace

int TitleWidth(const QTreeWidget& List, bool Scrolls)
{
    return List.width() - 2 * List.frameWidth() - 120 - (Scrolls ? ScrollBarWidth : 0);
}

std::string FileNameOfTitle(const std::string& Title)
{
    static constexpr std::string_view NotInNames = "\\/:*?\"<>|";
    std::string out;
    out.reserve(Title.size());
    for (char c : Title) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            continue;
        if (NotInNames.find(c) != std::string_view::npos)
            out += cp932::toUtf8(ToFullWidth(std::string(1, c)));
        else
            out += c;
    }
    return out;
}

TfrmMP3::TfrmMP3(QWidget* parent)
    : TForm(parent), OpenDialog1(this), SaveDialog1(this)
{
    setObjectName(QStringLiteral("frmMP3"));
    SetCaption("Varn CD RIPPER");
    MsgBoxEx = ::MsgBoxEx;
    ExecuteDialog = [](forms::TFileDialog& d) { return d.Execute(); };
    LameCoder1 = std::make_unique<cd::TLameCoder>();
    LameCoder1->DefaultExt = ".mp3";
    Handlers.Set(LameCoder1->OnProgress, [this](cd::TLameCoder*, std::uint16_t pct) { setProgress(pct); });
    createControls();
    OnCloseQuery = [this](QObject*, bool& canClose) { FormCloseQuery(canClose); };
    DoCreate([this] { FormCreate(); });
}

// FormDestroy has nothing to do: the components go with the window.
TfrmMP3::~TfrmMP3()
{
    Handlers.Stop();  // the ripper, the coder and the controls going reach no handler of this window
    busyCursor(false);
}

void TfrmMP3::createControls()
{
    setFixedSize(FormWidth, FormHeight);
    SetColor(PanelColor);
    // Only the window's own labels: a sheet reaches every descendant, and the folder and file
    // dialogs opened from here are children on a light face that light text would blank out.
    setStyleSheet(QStringLiteral("#frmMP3 > QLabel { color: #E8E8E8; background: transparent; }"));

    lstTrack = new QTreeWidget(this);
    lstTrack->setObjectName(QStringLiteral("lstTrack"));
    lstTrack->setGeometry(8, 8, FormWidth - 16, 220);
    lstTrack->setRootIsDecorated(false);
    lstTrack->setUniformRowHeights(true);
    lstTrack->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the columns are sized to fit
    QFont listFont(QString::fromStdString(gfx::MapFontName("ＭＳ Ｐゴシック")));
    listFont.setPointSize(9);
    lstTrack->setFont(listFont);
    lstTrack->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstTrack->setHeaderLabels({QStringLiteral("No"), QStringLiteral(" Title"), QStringLiteral("Time"),
                               QStringLiteral("Start")});
    lstTrack->header()->setStretchLastSection(false);
    lstTrack->header()->setSectionsMovable(false);
    for (int c : {0, 2, 3})
        lstTrack->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    lstTrack->setColumnWidth(0, 30);
    lstTrack->setColumnWidth(1, TitleWidth(*lstTrack, false));
    lstTrack->setColumnWidth(2, 45);
    lstTrack->setColumnWidth(3, 45);
    lstTrack->setContextMenuPolicy(Qt::CustomContextMenu);
    PopupMenu1 = new QMenu(this);
    run_SelAll = PopupMenu1->addAction(QStringLiteral("全て選択"));
    Handlers.Connect(run_SelAll, &QAction::triggered, this, [this] { forms::RunGuarded([this] { run_SelAllClick(); }); });
    Handlers.Connect(lstTrack, &QWidget::customContextMenuRequested, this,
                     [this](const QPoint& p) { PopupMenu1->exec(lstTrack->viewport()->mapToGlobal(p)); });

    Gauge1 = new controls::TRbProgressBar(this);
    Gauge1->setGeometry(8, 236, FormWidth - 16, 14);
    Gauge1->SetDefaultFrom(0xFFB040);
    Gauge2 = new controls::TRbProgressBar(this);
    Gauge2->setGeometry(8, 254, FormWidth - 16, 8);
    Gauge2->SetDefaultFrom(0x00FF80);
    for (auto* g : {Gauge1, Gauge2}) {
        g->SetShowText(false);
        g->SetColor(PanelColor);
    }
    lblTrack = new QLabel(this);
    lblTrack->setObjectName(QStringLiteral("lblTrack"));
    lblTrack->setGeometry(8, 268, FormWidth - 16, 18);

    chkMP3 = new controls::TFlatCheckBox(this);
    chkMP3->SetCaption("MP3");
    chkMP3->setGeometry(8, 294, 56, 20);
    chkWAV = new controls::TFlatCheckBox(this);
    chkWAV->SetCaption("WAV");
    chkWAV->setGeometry(68, 294, 56, 20);
    for (auto* c : {chkMP3, chkWAV}) {
        DressDarkCheckBox(*c, PanelColor);
        SetControlCursor(c, crHandPoint);
    }
    Handlers.Set(chkMP3->OnClick, [this](QObject*) { chkMP3Click(); });
    Handlers.Set(chkWAV->OnClick, [this](QObject*) { chkWAVClick(); });
    cmbBitrate = new controls::TFlatComboBox(this);
    cmbBitrate->setGeometry(132, 294, 96, 20);
    cmbBitrate->SetStyle(controls::csDropDownList);
    cmbBitrate->SetItems({"  64kbps", "  96kbps", " 128kbps", " 160kbps", " 192kbps", " 224kbps", " VBR"});

    lblFolder = new QLabel(this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setGeometry(8, 322, FormWidth - 16 - 80, 18);

    struct Btn {
        controls::TRbButton** slot;
        const char* name;
        const char* caption;
        const char* hint;
        int left, top, width;
    };
    const Btn buttons[] = {
        {&spdDir, "spdDir", "保存先", "保存フォルダーの指定", FormWidth - 80, 318, 72},
        {&sbPlay, "sbPlay", "REC", "録音", 8, 350, 64},
        {&sbStop, "sbStop", "STOP", "停止", 76, 350, 64},
        {&spdCnv, "spdCnv", "WAV→MP3", "ＷＡＶファイルをＭＰ３に変換", 236, 350, 96},
        {&spdClose, "spdClose", "閉じる", "閉じる", FormWidth - 80, 350, 72},
    };
    for (const Btn& b : buttons) {
        auto* btn = new controls::TRbButton(this);
        btn->setObjectName(QString::fromLatin1(b.name));
        btn->SetCaption(b.caption);
        btn->SetHint(b.hint);
        btn->setGeometry(b.left, b.top, b.width, 24);
        SetControlCursor(btn, crHandPoint);
        *b.slot = btn;
    }
    spdCnv->Tag = 1;
    Handlers.Set(sbPlay->OnClick, [this](QObject*) { sbPlayClick(); });
    Handlers.Set(sbStop->OnClick, [this](QObject*) { sbStopClick(); });
    Handlers.Set(spdDir->OnClick, [this](QObject*) { spdDirClick(); });
    Handlers.Set(spdCnv->OnClick, [this](QObject* s) { spdCnvClick(s); });
    Handlers.Set(spdClose->OnClick, [this](QObject*) { spdCloseClick(); });

    OpenDialog1.Title = "ＷＡＶ ファイルを開く";
    SaveDialog1.Title = "別の名前で保存";
    SaveDialog1.Filter = "ＭＰ３ファイル (*.mp3)|*.mp3";
    DirDialog1 = new TDirDialog(this);
    DirDialog1->SetOptions(ddoNewStyle);
    // DirDialog1ShowDialog: just inside the window's top-left corner.
    Handlers.Set(DirDialog1->OnShowDialog, [this](QPoint& Pt) { Pt = frameGeometry().topLeft() + QPoint(16, 16); });
}

// ---------------------------------------------------------------- life cycle

void TfrmMP3::FormCreate()
{
    chkMP3->SetChecked(IniBase.empty() || IniReadBool(IniBase, Section, "MP3_MODE", true));
    chkWAV->SetChecked(!chkMP3->Checked());
    const int index = IniBase.empty() ? 2 : IniReadInteger(IniBase, Section, "MP3_BITRATE", 2);
    cmbBitrate->SetItemIndex(index >= 0 && index < cmbBitrate->count() ? index : 2);
    ShowFolder(iniString("MP3_PATH", GetSpecialFolder(7)));
    Gauge1->SetPosition(0);
    Gauge2->SetPosition(0);
    SetChildShowHint(this, true);

    // The ripper reads the drive the player has open.
    if (frmCD) {
        const std::vector<std::string>& drives = frmCD->CDPlayer1->DriveList();
        try {
            CDRIP1 = std::make_unique<cd::TCDRIP>(drives);
        } catch (const cd::ECDRIPError&) {
            CDRIP1.reset();  // the rip controls stay disabled
        }
        if (CDRIP1) {
            const auto at = std::find(drives.begin(), drives.end(), frmCD->CDPlayer1->CurrentDrive);
            if (at != drives.end())
                CDRIP1->SetCDRomNum(int(at - drives.begin()));
        }
    }
    if (CDRIP1) {
        CDRIP1->WriteWAV = true;
        CDRIP1->SetCoder(LameCoder1.get());
        Handlers.Set(CDRIP1->OnBeginTrack, [this](cd::TCDRIP*, std::uint16_t) { CDRIP1BeginTrack(); });
        Handlers.Set(CDRIP1->OnEndTrack, [this](cd::TCDRIP*, std::uint16_t) { CDRIP1EndTrack(); });
        Handlers.Set(CDRIP1->OnProgress, [this](cd::TCDRIP*, std::uint16_t pct) { setProgress(pct); });
    }
}

void TfrmMP3::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    forms::RunGuarded([this] { FormShow(); });
}

void TfrmMP3::FormShow()
{
    FillTrackList();
    if (frmCD)
        move(frmCD->x() + 40, frmCD->y() + 40);
    lstTrack->setFocus();
}

void TfrmMP3::FormCloseQuery(bool& CanClose)
{
    // A rip or a conversion runs inside one of this window's handlers.
    if (ripping_ || converting_) {
        CanClose = false;
        return;
    }
    if (!IniBase.empty()) {
        IniWriteBool(IniBase, Section, "MP3_MODE", chkMP3->Checked() ? -1 : 0);
        IniWriteInteger(IniBase, Section, "MP3_BITRATE", cmbBitrate->ItemIndex());
    }
}

void TfrmMP3::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    TForm::keyPressEvent(e);
}

// ---------------------------------------------------------------- list and controls

void TfrmMP3::FillTrackList()
{
    lstTrack->clear();
    const controls::TStringGrid* grid = frmCD ? frmCD->sgdTrack : nullptr;
    const bool haveTracks = grid && grid->RowCount() > 0 && !grid->Cells(0, 0).empty() && CDRIP1;
    sbPlay->SetEnabled(haveTracks);
    sbStop->SetEnabled(haveTracks);
    if (!grid || grid->Cells(0, 0).empty())
        return;
    for (int r = 0; r < grid->RowCount(); ++r) {
        auto* item = new QTreeWidgetItem(lstTrack);
        for (int c = 0; c < 4; ++c) {
            item->setText(c, QString::fromStdString(grid->Cells(c, r)));
            if (c != 1)
                item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    const int rowHeight = std::max(1, lstTrack->sizeHintForRow(0));
    const bool scrolls = lstTrack->topLevelItemCount() * rowHeight > lstTrack->viewport()->height();
    lstTrack->setColumnWidth(1, TitleWidth(*lstTrack, scrolls));
    lstTrack->setCurrentItem(lstTrack->topLevelItem(0));
    lstTrack->topLevelItem(0)->setSelected(true);
}

void TfrmMP3::SetRipControls(bool Enabled, bool StopEnabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{sbPlay, spdDir, spdCnv, spdClose, chkMP3, chkWAV, cmbBitrate,
                                                     lstTrack})
        w->setEnabled(Enabled);
    if (Enabled && !CDRIP1)
        sbPlay->SetEnabled(false);
    sbStop->SetEnabled(StopEnabled);
}

void TfrmMP3::chkMP3Click() { chkWAV->SetChecked(!chkMP3->Checked()); }
void TfrmMP3::chkWAVClick() { chkMP3->SetChecked(!chkWAV->Checked()); }
void TfrmMP3::run_SelAllClick() { lstTrack->selectAll(); }

void TfrmMP3::ShowFolder(const std::string& Path)
{
    folder_ = Path;
    const QString path = QString::fromStdString(Path);
    lblFolder->setText(lblFolder->fontMetrics().elidedText(path, Qt::ElideMiddle, lblFolder->width()));
    lblFolder->setToolTip(path);
}

void TfrmMP3::spdDirClick()
{
    DirDialog1->Caption = "保存フォルダーの指定";
    DirDialog1->Promt = "ファイルの種類 : MP3 WAV\r\rフォルダの選択 :";
    DirDialog1->SetSelection(folder_);
    if (!DirDialog1->Execute() || DirDialog1->Directory.empty())
        return;
    ShowFolder(DirDialog1->Directory);
    iniWriteString("MP3_PATH", DirDialog1->Directory);
}

void TfrmMP3::setProgress(int Percent) { Gauge1->SetPosition(Percent); }

void TfrmMP3::busyCursor(bool On)
{
    if (On == cursorSet_)
        return;
    cursorSet_ = On;
    if (On)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

int TfrmMP3::ask(const std::string& Caption, const std::string& Text, int Default, const std::string& Buttons,
                 const std::string& Icon)
{
    return MsgBoxEx(this, Caption, Text, Default, Buttons, Icon);
}

// ---------------------------------------------------------------- ripping

void TfrmMP3::ApplyBitrate(int Index)
{
    static constexpr std::uint32_t Rates[] = {64, 96, 128, 160, 192, 224};
    cd::TLameCoder& c = *LameCoder1;
    if (Index >= 0 && Index < 6) {
        c.SetBitrate(Rates[Index]);
        c.SetEnableVBR(false);
    } else if (Index == 6) {  // the bit rate chosen before stays as the floor
        c.SetEnableVBR(true);
        c.SetWriteVBRHeader(true);
        c.SetVBRQuality(4);
        c.SetMaxBitrate(320);
    }
    c.SetSampleRate(44100);
    c.SetQuality(cd::NORMAL_QUALITY);
    c.SetMode(cd::STEREO);
    c.SetPrivate(false);
    c.SetCRC(true);
    c.SetCopyright(false);
    c.SetOriginal(false);
}

void TfrmMP3::UniqueFileName(std::string& FileName, std::string& OtherName) const
{
    const bool wav = CDRIP1 && CDRIP1->WriteWAV;
    const std::string ext = wav ? ".wav" : ".mp3";
    if (PathExists(FileName)) {
        const std::string stem = rtl::ChangeFileExt(FileName, "");
        for (int n = 2;; ++n) {
            std::string candidate = stem + "(" + std::to_string(n) + ")" + ext;
            if (!PathExists(candidate)) {
                FileName = std::move(candidate);
                break;
            }
        }
    }
    OtherName = rtl::ChangeFileExt(FileName, wav ? ".wav" : ".pcm");
}

void TfrmMP3::sbPlayClick()
{
    if (ripping_ || converting_ || !CDRIP1)
        return;
    if (!QFileInfo(QString::fromStdString(folder_)).isDir()) {
        ask(RipCaption, "現在の保存先フォルダがありません！！", 1, "y", "x");
        return;
    }
    std::string question = chkMP3->Checked() ? "ＭＰ３" : "ＷＡＶ";
    question.append("形式　で録音を開始します！！\r\r　　よろしいですか？");
    if (ask(RipCaption, question, 1, "yn", "?") != 6)
        return;
    ripSelected();
}

void TfrmMP3::ripSelected()
{
    TCDPlayer& player = *frmCD->CDPlayer1;
    const std::string artist = player.GetArtist(), album = player.GetTitle(), genre = player.GetGenre(),
                      date = player.GetDate();
    std::vector<int> rows;
    for (int i = 0; i < lstTrack->topLevelItemCount(); ++i) {
        if (lstTrack->topLevelItem(i)->isSelected())
            rows.push_back(i);
    }
    if (rows.empty())
        return;
    const bool mp3 = chkMP3->Checked();
    CDRIP1->Encode = mp3;
    CDRIP1->WriteWAV = !mp3;
    Gauge2->SetMax(int(rows.size()));
    Gauge2->SetPosition(0);
    sbStop->Tag = 0;
    int written = 0;
    std::vector<std::string> failures;
    {
        RunScope scope(ripping_, [this] {
            SetRipControls(true, true);
            busyCursor(false);
        });
        int done = 0;
        for (int row : rows) {
            if (sbStop->Tag == 1)
                break;
            QTreeWidgetItem* item = lstTrack->topLevelItem(row);
            lstTrack->scrollToItem(item);
            const int track = row + 1;
            const std::string title = TrimBlanksUtf8(item->text(1).toStdString());
            std::string name = TrimBlanksUtf8(FileNameOfTitle(title));
            if (name.empty()) {  // never a bare ".mp3", a hidden file here
                char buf[32];
                std::snprintf(buf, sizeof buf, "Track %02d", track % 100);
                name = buf;
            }
            std::string file = folder_ + "/" + name + (mp3 ? ".mp3" : ".wav");
            std::string other;
            UniqueFileName(file, other);
            SetRipControls(false, true);
            lblTrack->setText(QString::fromStdString(name));
            ApplyBitrate(cmbBitrate->ItemIndex());
            CDRIP1->RipTrack(track, file);
            QFile::remove(QString::fromStdString(cd::JitterFileName(file)));
            forms::ProcessMessages();
            if (sbStop->Tag == 1) {  // cut short: not a whole track, so not kept
                QFile::remove(QString::fromStdString(file));
                break;
            }
            Gauge2->SetPosition(++done);
            if (!rippedWhole(track, file)) {
                // The item stays selected, ready for another try; the batch goes on.
                QFile::remove(QString::fromStdString(file));
                failures.push_back(ReadFailureText(track, title));
                lblTrack->setText(QString::fromStdString(failures.back()));
                continue;
            }
            ClearTag();
            CurrentTag.CddbPath = player.CddbQueryPath();
            CurrentTag.TimeText = item->text(2).toStdString();
            CurrentTag.Comment = "Varn CD Ripper Ver 1.00";
            CurrentTag.Track = std::to_string(track);
            CurrentTag.Year = date;
            CurrentTag.Genre = genre;
            CurrentTag.Title = title;
            CurrentTag.Album = album;
            CurrentTag.Artist = artist;
            if (!WriteTag(file))
                throw std::runtime_error("タグを書き込めません: " + file);
            ++written;
            Delay(250);
            item->setSelected(false);
        }
    }
    ask(RipCaption, RipEndText(written, int(rows.size()), failures), 1, "y", failures.empty() ? "i" : "!");
}

bool TfrmMP3::rippedWhole(int Track, const std::string& File) const
{
    const cd::TTrack& t = CDRIP1->Tracks()[std::size_t(Track - 1)];
    return PathExists(File) && CDRIP1->SectorsRead() >= t.EndSector - t.StartSector + 1;
}

std::string ReadFailureText(int Track, const std::string& Title)
{
    const std::string text = "トラック " + std::to_string(Track) + " を読み込めません";
    return Title.empty() ? text : text + ": " + Title;
}

std::string RipEndText(int Written, int Chosen, const std::vector<std::string>& Failures)
{
    std::string text = "録音が終了しました！！\r\r　　" + std::to_string(Written) + " / " + std::to_string(Chosen) +
                       " トラックを保存しました";
    if (!Failures.empty())
        text += "\r";
    for (std::size_t i = 0; i < Failures.size() && i < MaxFailuresShown; ++i)
        text += "\r" + Failures[i];
    if (Failures.size() > MaxFailuresShown)
        text += "\r　ほか " + std::to_string(Failures.size() - MaxFailuresShown) + " トラック";
    return text;
}

void TfrmMP3::sbStopClick()
{
    sbStop->Tag = 1;
    if (CDRIP1)
        CDRIP1->Cancel();
    SetRipControls(true, true);
}

void TfrmMP3::CDRIP1BeginTrack() { busyCursor(true); }

void TfrmMP3::CDRIP1EndTrack()
{
    // Within the loop the controls stay off until its last track is tagged: a click between
    // two tracks would change the mode or the folder in the middle of the batch.
    if (!ripping_)
        SetRipControls(true, true);
    busyCursor(false);
    if (sbStop->Tag != 1)
        Gauge1->SetPosition(100);
}

// ---------------------------------------------------------------- WAV to MP3

void TfrmMP3::spdCnvClick(QObject* Sender)
{
    if (ripping_ || converting_)
        return;
    OpenDialog1.Filter = "  ＷＡＶファイル (*.wav)|*.wav";
    OpenDialog1.InitialDir = iniString("WAV_PATH", GetSpecialFolder(7));
    OpenDialog1.FileName.clear();
    if (!ExecuteDialog(OpenDialog1) || OpenDialog1.FileName.empty())
        return;
    const std::string input = OpenDialog1.FileName;
    std::string output = rtl::ChangeFileExt(input, ".mp3");
    iniWriteString("WAV_PATH", save_target::FolderOf(input));
    if (PathExists(output)) {
        const int answer = ask(ConvertCaption, save_target::SameNameText, 3, "ync", "?");
        if (answer == 2)
            return;
        if (answer == 7) {
            SaveDialog1.InitialDir = save_target::FolderOf(output);
            SaveDialog1.FileName = output;
            SaveDialog1.DefaultExt = "mp3";
            if (!ExecuteDialog(SaveDialog1) || SaveDialog1.FileName.empty())
                return;
            output = SaveDialog1.FileName;
            if (PathExists(output) && ask("確認", save_target::SameNameText, 2, "yn", "?") != 6)
                return;
        }
    }
    // Encoding over the source itself would lose it.
    if (QFileInfo(QString::fromStdString(output)).canonicalFilePath() ==
        QFileInfo(QString::fromStdString(input)).canonicalFilePath())
        throw std::runtime_error("変換元と同じファイルには保存できません: " + output);

    busyCursor(true);
    RunScope scope(converting_, [this] {
        SetRipControls(true, true);
        busyCursor(false);
    });
    SetRipControls(false, false);
    cd::TLameCoder& c = *LameCoder1;
    const auto* button = dynamic_cast<const forms::TCustomControl*>(Sender);
    if (button && button->Tag == 1) {
        c.SetQuality(cd::NORMAL_QUALITY);
        c.SetSampleRate(44100);
        c.SetBitrate(128);
        c.SetMaxBitrate(320);
    } else {
        c.SetQuality(cd::VOICE_QUALITY);
        c.SetSampleRate(22050);
        c.SetBitrate(96);
        c.SetMaxBitrate(160);
    }
    c.SetMode(cd::STEREO);
    c.SetCRC(true);
    for (auto* g : {Gauge1, Gauge2}) {
        g->SetPosition(0);
        g->SetMax(100);
    }
    ReadTag(input);
    const TCurrentTag kept = CurrentTag;
    c.SetInputFiles(rtl::TStringList{input});
    c.SetOutputFiles(rtl::TStringList{output});
    c.EncodeFiles();
    ClearTag();
    CurrentTag.UserDefText = kept.UserDefText;
    CurrentTag.UserUrl = kept.UserUrl;
    CurrentTag.UserText = kept.UserText;
    CurrentTag.CddbPath = kept.CddbPath;
    CurrentTag.TimeText = kept.TimeText;
    CurrentTag.Comment = kept.Comment;
    CurrentTag.Lyrics = kept.Lyrics;
    CurrentTag.Track = kept.Track;
    CurrentTag.Year = kept.Year;
    CurrentTag.Genre = kept.Genre;
    CurrentTag.Title = kept.Title;
    CurrentTag.Album = kept.Album;
    CurrentTag.Artist = kept.Artist;
    const std::string* texts[] = {&CurrentTag.UserDefText, &CurrentTag.UserUrl, &CurrentTag.UserText,
                                  &CurrentTag.CddbPath,    &CurrentTag.TimeText, &CurrentTag.Comment,
                                  &CurrentTag.Lyrics,      &CurrentTag.Track,    &CurrentTag.Year,
                                  &CurrentTag.Genre,       &CurrentTag.Title,    &CurrentTag.Album,
                                  &CurrentTag.Artist};
    // An untagged source leaves nothing to carry over (and a tag of no frame cannot be written).
    if (std::any_of(std::begin(texts), std::end(texts), [](const std::string* t) { return !t->empty(); }) &&
        !WriteTag(output))
        throw std::runtime_error("タグを書き込めません: " + output);
}
