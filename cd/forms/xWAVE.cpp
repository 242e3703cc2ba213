#include "cd/forms/xWAVE.h"
#include "cd/SaveTarget.h"

#include "pictures/libImg.h"
#include "platform/forms/Application.h"
#include "platform/gfx/Raster.h"
#include "platform/rtl/FileNames.h"
#include "tags/libID3Tag.h"
#include "util/MainWindowHost.h"
#include "util/libControl.h"
#include "util/libIni.h"
#include "util/libStamp.h"
#include "util/libWindows.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int FormWidth = 640;
constexpr int FormHeight = 344;
constexpr int BoxWidth = 600;
constexpr int BoxHeight = 256;
constexpr gfx::TColor PanelColor = 0xE0E0E0;
constexpr int HandCursor = 1;
const char* const Section = "VOICE";
const char* const BoxCaption = "VOICE RECORDER";
const char* const UnsavedText = "保存されていない音声があります。終了してもよろしいですか？";

// The auto-stop limit of each cmbStop item: hundredths of a second of silence, as timRec takes
// 10 off the gauge every 100 ms; 900 never runs out.
constexpr int StopLimits[] = {900, 50, 100, 200, 300, 400, 500};
constexpr int NoAutoStop = 900;

QColor qcolor(gfx::TColor c) { return QColor::fromRgb(gfx::raster::toQRgb(c)); }

std::string baseNameOf(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).completeBaseName().toStdString();
}

std::shared_ptr<wave::WaveSystem> g_waves;

}  // namespace

void SetRecorderWaveSystem(std::shared_ptr<wave::WaveSystem> Waves) { g_waves = std::move(Waves); }

// ---------------------------------------------------------------- helpers

TWaveBox::TWaveBox(QWidget* parent, int w, int h) : QWidget(parent), Image(w, h, QImage::Format_RGB32)
{
    Image.fill(Qt::black);
    setFixedSize(w, h);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TWaveBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, Image);
}

int64_t MonitorLevel(const uint8_t* Samples, size_t Count)
{
    int64_t level = 0;
    for (size_t i = 0; i < Count; ++i)
        level += std::abs(int(Samples[i]) - BoxHeight / 2);
    return level;
}

int64_t RecordLevel(const uint8_t* Samples16, size_t Bytes)
{
    const size_t samples = Bytes / 2;
    if (samples == 0)
        return 0;
    int64_t sum = 0;
    for (size_t i = 0; i < samples; ++i)
        sum += std::abs(int(int8_t(Samples16[2 * i + 1])));
    return sum * TfrmWAV::MonitorBufferBytes / int64_t(samples);
}

int LevelBarHeight(int Old, int64_t Level)
{
    int h = int(std::min<int64_t>(Level / 128, TfrmWAV::BarColumnHeight));
    if (Old > h)
        h = (Old + h) / 2;
    return h;
}

std::array<TPlayColumn, 600> PlayColumns(const uint8_t* Data, size_t Bytes, const snd::WaveFormat& Format)
{
    std::array<TPlayColumn, 600> cols{};
    const size_t align = Format.blockAlign;
    if (align == 0)
        return cols;
    const size_t frames = Bytes / align;
    const bool wide = Format.bitsPerSample == 16;
    const size_t sample = wide ? 2 : 1;
    for (size_t c = 0; c < cols.size(); ++c) {
        const size_t first = c * frames / cols.size(), last = (c + 1) * frames / cols.size();
        TPlayColumn& col = cols[c];
        if (first >= last)
            continue;  // fewer frames than columns: this one gets none
        col.Valid = true;
        col.Min = 255;
        col.Max = 0;
        for (size_t f = first; f < last; ++f)
            for (size_t s = 0; s + sample <= align; s += sample) {
                const uint8_t* p = Data + f * align + s;
                const uint8_t v = wide ? uint8_t(int(int8_t(p[1])) + 128) : p[0];
                col.Min = std::min(col.Min, v);
                col.Max = std::max(col.Max, v);
            }
    }
    return cols;
}

// ---------------------------------------------------------------- life cycle

TfrmWAV::TfrmWAV(QWidget* parent, std::shared_ptr<wave::WaveSystem> Waves)
    : TForm(parent),
      SaveDialog1(this),
      SaveDialog2(this),
      OpenDialog1(this),
      waves_(Waves ? std::move(Waves) : g_waves ? g_waves : wave::alsaWaveSystem()),
      monitor_(waves_),
      player_(waves_)
{
    setObjectName(QStringLiteral("frmWAV"));
    SetCaption("Varn VOICE RECORDER");
    MsgBoxEx = ::MsgBoxEx;
    ExecuteDialog = [](forms::TFileDialog& d) { return d.Execute(); };
    WorkDir = GetAppDir();

    Audio1 = std::make_unique<cd::TAudio>(waves_, mixer::alsaMixerSystem());
    cd::TRecorder& rec = Audio1->Recorder();
    Audio1->SetAudioDeviceID(0);
    Audio1->SetSeparateCtrls(true);
    rec.SetBitsPerSample(cd::TBPS::_16);
    rec.SetChannels(cd::TChannels::Stereo);
    rec.SetSampleRate(44100);
    rec.SetNoSamples(2000);
    rec.SetSplitChannels(true);
    rec.SetTrigLevel(200);
    Handlers.Set(Audio1->OnRecord, [this](cd::TAudio*, const uint8_t* l, const uint8_t* r, uint32_t n) {
        forms::RunGuarded([&] { Audio1Record(l, r, n); });
    });
    LameCoder1 = std::make_unique<cd::TLameCoder>();
    LameCoder1->DefaultExt = ".mp3";

    SaveDialog1.Filter = "MP3ファイル (*.mp3)|*.mp3";
    SaveDialog1.Title = "ＭＰ３ファイルの保存";
    SaveDialog1.DefaultExt = "mp3";
    SaveDialog2.Filter = "WAVファイル (*.wav)|*.wav";
    SaveDialog2.Title = "ＷＡＶファイルの保存";
    SaveDialog2.DefaultExt = "wav";
    OpenDialog1.Filter = "WAVファイル (*.wav)|*.wav";
    OpenDialog1.Title = "ＷＡＶ ファイルを開く";

    timRec.SetEnabled(false);
    timRec.SetInterval(100);
    timRec.SetOnTimer([this] { timRecTimer(); });
    timPlay.SetEnabled(false);
    timPlay.SetInterval(35);
    timPlay.SetOnTimer([this] { timPlayTimer(); });

    createControls();
    OnCloseQuery = [this](QObject*, bool& canClose) { FormCloseQuery(canClose); };
    OnClose = [this](QObject*) { FormClose(); };
    DoCreate([this] { FormCreate(); });
}

TfrmWAV::~TfrmWAV()
{
    Handlers.Stop();
    timRec.SetEnabled(false);
    timPlay.SetEnabled(false);
    StopEverything();
}

void TfrmWAV::createControls()
{
    setFixedSize(FormWidth, FormHeight);
    SetColor(PanelColor);
    setAcceptDrops(true);

    pbxWave = new TWaveBox(this, BoxWidth, BoxHeight);
    pbxWave->setObjectName(QStringLiteral("pbxWave"));
    pbxWave->move(8, 8);
    pbxPlay = new TWaveBox(this, BoxWidth, BoxHeight);
    pbxPlay->setObjectName(QStringLiteral("pbxPlay"));
    pbxPlay->move(8, 8);
    pbxPlay->hide();
    DrawGrid(pbxWave->Image, "Oscilloscope");

    pnlMax = new QFrame(this);
    pnlMax->setGeometry(8 + BoxWidth + 8, 8, 15, BarColumnHeight);
    pnlMax->setAutoFillBackground(true);
    pnlMax->setStyleSheet(QStringLiteral("QFrame { background: black; }"));
    lblMax = new QLabel(pnlMax);
    lblMax->setObjectName(QStringLiteral("lblMax"));
    lblMax->setAutoFillBackground(true);
    lblMax->setStyleSheet(QStringLiteral("QLabel { background: #00FF00; }"));
    SetBar(0);

    Gauge = new controls::TRbProgressBar(this);
    Gauge->setGeometry(8, 270, FormWidth - 16, 10);
    Gauge->SetShowText(false);
    Gauge->SetDefaultFrom(0x0080FF);
    Gauge->SetColor(PanelColor);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setGeometry(8, 284, 200, 18);

    auto* lblStop = new QLabel(QStringLiteral("Auto Stop:"), this);
    lblStop->setGeometry(350, 284, 70, 18);
    cmbStop = new controls::TFlatComboBox(this);
    cmbStop->setObjectName(QStringLiteral("cmbStop"));
    cmbStop->setGeometry(420, 282, 80, 20);
    cmbStop->SetStyle(controls::csDropDownList);
    cmbStop->SetItems({" non", " 0.5sec", " 1.0sec", " 2.0sec", " 3.0sec", " 4.0sec", " 5.0sec"});

    chkMP3 = new controls::TFlatCheckBox(this);
    chkMP3->SetCaption("MP3");
    chkMP3->setGeometry(512, 282, 56, 20);
    chkWAV = new controls::TFlatCheckBox(this);
    chkWAV->SetCaption("WAV");
    chkWAV->setGeometry(572, 282, 56, 20);
    for (auto* c : {chkMP3, chkWAV}) {
        c->SetColor(PanelColor);
        SetControlCursor(c, crHandPoint);
    }
    Handlers.Set(chkMP3->OnClick, [this](QObject*) { chkMP3Click(); });
    Handlers.Set(chkWAV->OnClick, [this](QObject*) { chkWAVClick(); });

    struct Btn {
        controls::TRbButton** slot;
        const char* name;
        const char* caption;
        int left;
    };
    const Btn buttons[] = {
        {&spdRec, "spdRec", "REC", 8},     {&spdStop, "spdStop", "STOP", 84}, {&spdPlay, "spdPlay", "PLAY", 160},
        {&spdSave, "spdSave", "SAVE", 236}, {&spdClose, "spdClose", "close", FormWidth - 80},
    };
    for (const Btn& b : buttons) {
        auto* btn = new controls::TRbButton(this);
        btn->setObjectName(QString::fromLatin1(b.name));
        btn->SetCaption(b.caption);
        btn->setGeometry(b.left, 310, 72, 26);
        SetControlCursor(btn, crHandPoint);
        *b.slot = btn;
    }
    Handlers.Set(spdRec->OnClick, [this](QObject*) { spdRecClick(); });
    Handlers.Set(spdStop->OnClick, [this](QObject*) { spdStopClick(); });
    Handlers.Set(spdPlay->OnClick, [this](QObject*) { spdPlayClick(); });
    Handlers.Set(spdSave->OnClick, [this](QObject*) { spdSaveClick(); });
    Handlers.Set(spdClose->OnClick, [this](QObject*) { spdCloseClick(); });

    PopupMenu1 = new QMenu(this);
    run_PlayWav = PopupMenu1->addAction(QStringLiteral("WAVファイルの再生"));
    Handlers.Connect(run_PlayWav, &QAction::triggered, this,
                     [this] { forms::RunGuarded([this] { run_PlayWavClick(); }); });
    for (QWidget* w : {static_cast<QWidget*>(pbxWave), static_cast<QWidget*>(pbxPlay)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        Handlers.Connect(w, &QWidget::customContextMenuRequested, this,
                         [this, w](const QPoint& p) { PopupMenu1->exec(w->mapToGlobal(p)); });
    }
}

void TfrmWAV::FormCreate()
{
    CentreOverMainWindow(this);
    SetChildShowHint(this, true);
    AssignImeNames(this);
    ReplaceCursor(this, crHandPoint, HandCursor);
    const bool ini = !IniBase.empty();
    const int stop = ini ? IniReadInteger(IniBase, Section, "WAV_STOP", 0) : 0;
    cmbStop->SetItemIndex(stop >= 0 && stop < cmbStop->count() ? stop : 0);
    chkMP3->SetChecked(!ini || IniReadBool(IniBase, Section, "WAV_MP3", true));
    chkWAV->SetChecked(!chkMP3->Checked());
    wavPath_ = ini ? IniReadString(IniBase, Section, "WAV_PATH", GetSpecialFolder(7)) : GetSpecialFolder(7);
    GoIdle();  // the monitor starts when the window shows
}

void TfrmWAV::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    forms::RunGuarded([this] { FormShow(); });
}

void TfrmWAV::FormShow()
{
    if (!recording_ && !playing_)
        StartMonitor();
}

void TfrmWAV::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    TForm::keyPressEvent(e);
}

int TfrmWAV::ask(const std::string& Text, int Default, const std::string& Buttons, const std::string& Icon)
{
    return MsgBoxEx(this, BoxCaption, Text, Default, Buttons, Icon);
}

std::string TfrmWAV::TempWav() const { return WorkDir + "/temp.wav"; }
std::string TfrmWAV::TempMp3() const { return WorkDir + "/temp.mp3"; }

void TfrmWAV::FormCloseQuery(bool& CanClose)
{
    // A save or the wait before a playback runs inside one of this window's handlers; a
    // recording is ended with STOP first (close is disabled meanwhile, Escape is refused).
    if (pumping_ || recording_) {
        CanClose = false;
        return;
    }
    if (unsaved_ && ask(UnsavedText, 2, "yn", "?") != 6)
        CanClose = false;
}

void TfrmWAV::FormClose()
{
    StopEverything();
    GoIdle();
    QFile::remove(QString::fromStdString(TempWav()));
    QFile::remove(QString::fromStdString(TempMp3()));
    if (!IniBase.empty()) {
        IniWriteBool(IniBase, Section, "WAV_MP3", chkMP3->Checked() ? 255 : 0);
        IniWriteInteger(IniBase, Section, "WAV_STOP", cmbStop->ItemIndex());
    }
}

void TfrmWAV::StopEverything()
{
    timRec.SetEnabled(false);
    timPlay.SetEnabled(false);
    StopRecording();
    EndPlayback();
    StopMonitor();
}

// ---------------------------------------------------------------- controls

void TfrmWAV::chkMP3Click() { chkWAV->SetChecked(!chkMP3->Checked()); }
void TfrmWAV::chkWAVClick() { chkMP3->SetChecked(!chkWAV->Checked()); }

void TfrmWAV::SetStatus(const char* Text, uint32_t Color)
{
    if (Text)
        lblStatus->setText(QString::fromUtf8(Text));
    QPalette pal = lblStatus->palette();
    pal.setColor(QPalette::WindowText, qcolor(Color));
    lblStatus->setPalette(pal);
}

void TfrmWAV::SetBusy(bool Busy)
{
    for (QWidget* w : std::initializer_list<QWidget*>{spdRec, chkMP3, chkWAV, cmbStop, spdClose})
        w->setEnabled(!Busy);
    spdPlay->setEnabled(!Busy && unsaved_);
    spdSave->setEnabled(!Busy && unsaved_);
}

void TfrmWAV::GoIdle()
{
    SetBusy(false);
    SetStatus("[ Idle ]", gfx::clBlack);
    Gauge->SetMax(100);
    Gauge->SetPosition(0);
    timRec.SetEnabled(false);
    timPlay.SetEnabled(false);
    pbxPlay->hide();
}

void TfrmWAV::SetBar(int Height)
{
    barHeight_ = std::clamp(Height, 0, int(BarColumnHeight));
    lblMax->setGeometry(0, BarColumnHeight - barHeight_, 15, barHeight_);
}

void TfrmWAV::DrawGrid(QImage& Image, const char* Text)
{
    Image.fill(Qt::black);
    QPainter p(&Image);
    p.setPen(qcolor(gfx::clMaroon));
    for (int x = 100; x < Image.width(); x += 100)
        p.drawLine(x, 0, x, Image.height() - 1);
    p.setPen(qcolor(gfx::clRed));
    p.drawLine(0, Image.height() / 2, Image.width() - 1, Image.height() / 2);
    p.setPen(qcolor(gfx::clBlue));
    QFont font = p.font();
    font.setStyleStrategy(QFont::NoAntialias);  // plain pixels, as the trace is drawn
    p.setFont(font);
    p.drawText(10, 10 + p.fontMetrics().ascent(), QString::fromLatin1(Text));
}

// ---------------------------------------------------------------- the idle monitor

void TfrmWAV::StartMonitor()
{
    if (monitor_.isOpen())
        return;
    const snd::WaveFormat format = snd::WaveFormat::pcm(12800, 1, 8);
    const uint64_t gen = ++monitorGen_;
    int32_t openResult = monitor_.open(0, format, [this, gen](wave::WaveHeader* h) {
        std::vector<uint8_t> copy(h->data, h->data + h->bytesRecorded);
        const int index = int(h->user);
        forms::PostToUiThread(this, [this, gen, index, copy = std::move(copy)] {
            if (gen == monitorGen_ && monitor_.isOpen())
                MonitorData(index, copy);
        });
    });
    int32_t prepareResult = wave::result::kInvalidHandle, addResult = wave::result::kInvalidHandle,
            startResult = wave::result::kInvalidHandle;
    if (openResult == wave::result::kOk) {
        prepareResult = addResult = wave::result::kOk;
        for (int i = 0; i < MonitorBuffers; ++i) {
            monitorData_[size_t(i)].assign(MonitorBufferBytes, 128);
            wave::WaveHeader& h = monitorHeaders_[size_t(i)];
            h = {};
            h.data = monitorData_[size_t(i)].data();
            h.bufferLength = MonitorBufferBytes;
            h.user = uintptr_t(i);
            if (prepareResult == wave::result::kOk)
                prepareResult = monitor_.prepareHeader(&h);
            if (prepareResult == wave::result::kOk && addResult == wave::result::kOk)
                addResult = monitor_.addBuffer(&h);
        }
        if (prepareResult == wave::result::kOk && addResult == wave::result::kOk)
            startResult = monitor_.start();
    }
    if (openResult || prepareResult || addResult || startResult) {
        StopMonitor();
        ask("WaveInOpen :" + std::to_string(openResult) + "\rWaveInPrepareHeader :" + std::to_string(prepareResult) +
                "\rWaveInAddBuffer :" + std::to_string(addResult) + "\rStartError :" + std::to_string(startResult),
            1, "y", "x");
    }
}

void TfrmWAV::StopMonitor()
{
    ++monitorGen_;
    if (!monitor_.isOpen())
        return;
    (void)monitor_.reset();
    for (wave::WaveHeader& h : monitorHeaders_)
        if (h.flags & wave::WaveHeader::Prepared)
            (void)monitor_.unprepareHeader(&h);
    (void)monitor_.close();
}

void TfrmWAV::MonitorData(int Index, const std::vector<uint8_t>& Bytes)
{
    if (playing_ || Index < 0 || Index >= MonitorBuffers)
        return;
    if (!Bytes.empty()) {
        QImage& img = pbxWave->Image;
        DrawGrid(img, "Oscilloscope");
        QPainter p(&img);
        p.setPen(qcolor(gfx::clLime));
        const double step = double(img.width()) / double(Bytes.size());
        QPolygonF line;
        line.reserve(int(Bytes.size()));
        for (size_t i = 0; i < Bytes.size(); ++i)
            line << QPointF(double(i) * step, double(Bytes[i]));
        p.drawPolyline(line);
        p.end();
        pbxWave->update();
        SetBar(LevelBarHeight(barHeight_, MonitorLevel(Bytes.data(), Bytes.size())));
    }
    if (monitor_.isOpen())
        (void)monitor_.addBuffer(&monitorHeaders_[size_t(Index)]);
}

// ---------------------------------------------------------------- recording

void TfrmWAV::spdRecClick()
{
    if (recording_ || playing_ || pumping_)
        return;
    StopMonitor();
    const int index = cmbStop->ItemIndex();
    limit_ = index >= 1 && index <= 6 ? StopLimits[index] : NoAutoStop;
    Gauge->SetMax(limit_);
    Gauge->SetPosition(0);
    cd::TRecorder& rec = Audio1->Recorder();
    rec.SetChannels(cd::TChannels::Stereo);
    rec.SetBitsPerSample(cd::TBPS::_16);
    rec.SetSplitChannels(true);
    rec.SetTrigLevel(rec.BitsPerSample() == cd::TBPS::_16 ? 1311 : 132);
    rec.SetTriggered(false);
    left_ = std::make_unique<rtl::TMemoryStream>();
    right_ = std::make_unique<rtl::TMemoryStream>();
    SetBar(0);
    if (!rec.Open() || !rec.Start()) {
        const std::string error = Audio1->ErrorText();
        rec.Close();
        GoIdle();
        StartMonitor();
        ask(error, 1, "y", "x");
        return;
    }
    recording_ = true;
    SetBusy(true);
    SetStatus("[ Recording ]", gfx::clRed);
}

void TfrmWAV::Audio1Record(const uint8_t* Left, const uint8_t* Right, uint32_t Bytes)
{
    if (!recording_)
        return;
    if (Bytes == 0) {
        spdStopClick();
        return;
    }
    left_->Write(Left, Bytes);
    if (Right)
        right_->Write(Right, Bytes);
    statusToggle_ = !statusToggle_;
    SetStatus(nullptr, statusToggle_ ? gfx::clYellow : gfx::clLime);
    // The monitor is stopped while recording: the bar follows the recording itself, at the
    // monitor's loudness scale, so that the auto-stop hears the silence.
    SetBar(LevelBarHeight(barHeight_, RecordLevel(Left, Bytes)));
    if (limit_ == NoAutoStop) {
        Gauge->SetPosition(Gauge->Max());
    } else if (!timRec.Enabled()) {
        Gauge->SetPosition(limit_);
        timRec.SetEnabled(true);
    }
    unsaved_ = true;
}

void TfrmWAV::timRecTimer()
{
    if (!recording_)
        return;
    if (barHeight_ < 10)
        Gauge->SetPosition(std::max(0, Gauge->Position() - 10));
    else
        Gauge->SetPosition(limit_);
    if (Gauge->Position() <= 0)
        spdStopClick();
}

void TfrmWAV::StopRecording()
{
    if (!recording_)
        return;
    recording_ = false;
    Audio1->Recorder().Close();
}

void TfrmWAV::spdStopClick()
{
    StopRecording();
    EndPlayback();
    GoIdle();
    if (isVisible())
        StartMonitor();
}

// ---------------------------------------------------------------- playing

void TfrmWAV::spdPlayClick()
{
    if (recording_ || playing_ || pumping_ || !left_)
        return;
    if (!Audio1->SaveToFile(TempWav(), *left_, right_.get())) {
        ask("一時ファイルを書き込めません: " + TempWav(), 1, "y", "x");
        return;
    }
    PlayWaveFile(TempWav());
}

void TfrmWAV::run_PlayWavClick()
{
    if (recording_ || pumping_)
        return;
    OpenDialog1.InitialDir = wavPath_;
    if (!ExecuteDialog(OpenDialog1))
        return;
    PlayDroppedFile(OpenDialog1.FileName);
}

void TfrmWAV::PlayDroppedFile(const std::string& FileName)
{
    if (recording_ || pumping_ || !IsWaveFileExt(FileName))
        return;
    if (playing_) {
        TReentryGuard guard(pumping_);
        EndPlayback();
        GoIdle();
        QPointer<TfrmWAV> self(this);
        Delay(500);
        if (!self)
            return;
    }
    PlayWaveFile(FileName);
}

void TfrmWAV::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void TfrmWAV::dropEvent(QDropEvent* e)
{
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return;
    e->acceptProposedAction();
    const std::string file = urls.front().toLocalFile().toStdString();
    forms::RunGuarded([&] { PlayDroppedFile(file); });
}

void TfrmWAV::PlayWaveFile(const std::string& FileName)
{
    if (recording_ || playing_)
        return;
    try {
        playStream_ = std::make_unique<waveio::TFileWaveStream>(FileName);
        playReader_ = std::make_unique<waveio::TPCMWaveReader>(*playStream_);
    } catch (const std::exception&) {
        // Not a file that can be played; a playback stopped for it gave the input back.
        playReader_.reset();
        playStream_.reset();
        if (isVisible())
            StartMonitor();
        return;
    }
    StopMonitor();
    const snd::WaveFormat format = playReader_->Format();
    const uint32_t align = std::max<uint32_t>(1, format.blockAlign);
    // 100 ms of sound in whole frames, and never less than one frame.
    const uint32_t frames = std::max<uint32_t>(1, uint32_t(uint64_t(format.avgBytesPerSec) * 100 / (align * 1000)));
    const uint64_t gen = ++playGen_;
    int32_t r = player_.open(wave::kWaveMapper, format, [this, gen](wave::WaveHeader* h) {
        const int index = int(h->user);
        forms::PostToUiThread(this, [this, gen, index] {
            if (gen == playGen_ && playing_)
                BufferPlayed(index);
        });
    });
    if (r != wave::result::kOk) {
        playReader_.reset();
        playStream_.reset();
        StartMonitor();
        ask(wave::waveErrorText(r) + " Could not open the output device for playing: ", 1, "y", "x");
        return;
    }
    playing_ = true;
    emptyBuffers_ = 0;
    SetBusy(true);
    SetStatus("[ Playing ]", gfx::clBlue);
    timPlay.SetEnabled(true);
    DrawGrid(pbxPlay->Image, "Oscilloscope");
    pbxPlay->show();
    pbxPlay->raise();
    for (int i = 0; i < PlayBuffers; ++i) {
        PlayBuffer& b = playBuffers_[size_t(i)];
        b.data.assign(size_t(frames) * align, 0);
        b.header = {};
        b.header.data = b.data.data();
        b.header.bufferLength = uint32_t(b.data.size());
        b.header.user = uintptr_t(i);
        (void)player_.prepareHeader(&b.header);
    }
    for (int i = 0; i < PlayBuffers && playing_; ++i)
        if (FillBuffer(i))
            (void)player_.write(&playBuffers_[size_t(i)].header);
    if (playing_)
        PaintPlay(0);
}

bool TfrmWAV::FillBuffer(int Index)
{
    PlayBuffer& b = playBuffers_[size_t(Index)];
    const snd::WaveFormat& f = playReader_->Format();
    const uint32_t align = std::max<uint32_t>(1, f.blockAlign);
    const int64_t want = int64_t(b.data.size() / align);
    int64_t got = 0;
    try {
        got = playReader_->Read(b.data.data(), want);
    } catch (const std::exception&) {
        got = 0;  // a damaged file ends where it can no longer be read
    }
    got = std::clamp<int64_t>(got, 0, want);
    std::fill(b.data.begin() + ptrdiff_t(got * align), b.data.end(), uint8_t(f.bitsPerSample == 8 ? 128 : 0));
    if (got == 0 && ++emptyBuffers_ >= PlayBuffers) {
        // Every buffer that still held sound has come back: the end.
        forms::PostToUiThread(this, [this, gen = uint64_t(playGen_)] {
            if (gen == playGen_ && playing_)
                spdStopClick();
        });
        return false;
    }
    return true;
}

void TfrmWAV::BufferPlayed(int Index)
{
    if (Index < 0 || Index >= PlayBuffers)
        return;
    PaintPlay((Index + 1) % PlayBuffers);
    if (FillBuffer(Index))
        (void)player_.write(&playBuffers_[size_t(Index)].header);
}

void TfrmWAV::PaintPlay(int NextIndex)
{
    const PlayBuffer& b = playBuffers_[size_t(NextIndex)];
    const std::array<TPlayColumn, 600> columns = PlayColumns(b.data.data(), b.data.size(), playReader_->Format());
    QImage& img = pbxPlay->Image;
    DrawGrid(img, "Oscilloscope");
    QPainter p(&img);
    int64_t sum = 0;
    for (int c = 0; c < int(columns.size()); ++c) {
        if (c % 100 == 0) {
            auto light = [] { return 127 + int(QRandomGenerator::global()->bounded(128)); };
            p.setPen(QColor(light(), light(), light()));
        }
        const TPlayColumn& col = columns[size_t(c)];
        if (!col.Valid)
            continue;
        p.drawLine(c, 255 - col.Min, c, 255 - col.Max);
        sum += std::abs(img.height() / 2 - int(col.Max));
    }
    p.end();
    pbxPlay->update();
    SetBar(LevelBarHeight(barHeight_, int64_t(1.7 * double(sum))));
}

void TfrmWAV::timPlayTimer()
{
    if (!playing_)
        return;
    statusToggle_ = !statusToggle_;
    SetStatus(nullptr, statusToggle_ ? gfx::clBlue : gfx::clLime);
}

void TfrmWAV::EndPlayback()
{
    ++playGen_;
    if (player_.isOpen()) {
        (void)player_.reset();
        for (PlayBuffer& b : playBuffers_)
            if (b.header.flags & wave::WaveHeader::Prepared)
                (void)player_.unprepareHeader(&b.header);
        (void)player_.close();
    }
    playing_ = false;
    playReader_.reset();
    playStream_.reset();
}

// ---------------------------------------------------------------- saving

void TfrmWAV::spdSaveClick()
{
    if (recording_ || playing_ || pumping_ || !left_)
        return;
    TReentryGuard guard(pumping_);
    const bool mp3 = chkMP3->Checked();
    controls::TCoolSaveDialog& dialog = mp3 ? SaveDialog1 : SaveDialog2;
    dialog.InitialDir = wavPath_;
    if (!ExecuteDialog(dialog))
        return;
    const std::string file = rtl::ChangeFileExt(dialog.FileName, mp3 ? ".mp3" : ".wav");
    if (PathExists(file) && ask(save_target::SameNameText, 1, "yn", "?") != 6)
        return;
    QPointer<TfrmWAV> self(this);
    const bool saved = SaveRecording(file, mp3);
    if (!self)
        return;
    if (!saved)
        return;
    unsaved_ = false;
    SetBusy(false);
}

bool TfrmWAV::SaveRecording(const std::string& FileName, bool Mp3)
{
    if (!Audio1->SaveToFile(TempWav(), *left_, right_.get())) {
        ask("一時ファイルを書き込めません: " + TempWav(), 1, "y", "x");
        return false;
    }
    wavPath_ = save_target::FolderOf(FileName);
    if (!IniBase.empty())
        IniWriteString(IniBase, Section, "WAV_PATH", wavPath_);
    std::string work = TempWav();
    if (Mp3) {
        cd::TLameCoder& c = *LameCoder1;
        c.SetBitrate(128);
        c.SetSampleRate(44100);
        c.SetQuality(cd::NORMAL_QUALITY);
        c.SetMode(cd::STEREO);
        c.SetEnableVBR(false);
        c.SetPrivate(false);
        c.SetCRC(true);
        c.SetCopyright(false);
        c.SetOriginal(true);
        rtl::TStringList inputs;
        inputs.Add(TempWav());
        c.SetInputFiles(inputs);
        Handlers.Set(c.OnProgress, [this](cd::TLameCoder*, std::uint16_t pct) { Gauge->SetPosition(pct); });
        Handlers.Set(c.OnEndProcess, [this](cd::TLameCoder*) {
            Gauge->SetMax(100);
            Gauge->SetPosition(0);
        });
        Gauge->SetMax(100);
        QPointer<TfrmWAV> self(this);
        try {
            c.EncodeFiles();
        } catch (const std::exception& e) {
            if (self)
                ask(e.what(), 1, "y", "x");
            return false;
        }
        if (!self)
            return false;
        work = c.OutputFiles().Count() > 0 ? c.OutputFiles()[0] : TempMp3();
    }
    if (!CopyFileSetArchive(work, FileName, 1)) {
        ask("ファイルを保存できません: " + FileName, 1, "y", "x");
        return false;
    }
    ClearTag();
    CurrentTag.Comment = "Varn Voice Recorder Ver 1.00";
    CurrentTag.Track = "1";
    CurrentTag.Year = MakeDateStamp().substr(0, 4);
    CurrentTag.Genre = "Other";
    CurrentTag.Title = baseNameOf(FileName);
    CurrentTag.Album = "Varn inc.";
    CurrentTag.Artist = "Varn Tambourelle";
    if (!WriteTag(FileName)) {
        ask("タグを書き込めません: " + FileName, 1, "y", "x");
        return false;
    }
    Gauge->SetMax(100);
    Gauge->SetPosition(100);
    return true;
}
