#include "cd/forms/xVolume.h"

#include "cd/forms/xWAVE.h"

#include "platform/forms/Application.h"
#include "util/MainWindowHost.h"
#include "util/libControl.h"
#include "util/libWindows.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QSignalBlocker>
#include <QSlider>

TfrmVolume* frmVolume = nullptr;

namespace {

constexpr int FormWidth = 420;
constexpr int FormHeight = 276;
constexpr int RowTop = 14;
constexpr int RowHeight = 34;
constexpr int HandCursor = 1;

const char* const Captions[TfrmVolume::Bars] = {
    "メインボリューム", "ＷＡＶE サウンド", "SWシンセサイザ", "ＣＤ プレーヤー", "サブウーファ", "マイクボリューム",
};

QString level(int position) { return QStringLiteral("Level = %1").arg(position); }

}  // namespace

TfrmVolume::TfrmVolume(QWidget* parent, std::shared_ptr<mixer::MixerSystem> Mixers) : TForm(parent)
{
    setObjectName(QStringLiteral("frmVolume"));
    SetCaption("ボリューム コントロール");
    Mixer = std::make_unique<TAudioMixer>(std::move(Mixers));
    Handlers.Set(Mixer->OnControlChange, [this](TAudioMixer* s, int id, uint32_t control) { MixerControlChange(s, id, control); });
    createControls();
    frmVolume = this;
    DoCreate([this] { FormCreate(); });
}

TfrmVolume::~TfrmVolume()
{
    Handlers.Stop();
    Mixer.reset();
    if (frmVolume == this)
        frmVolume = nullptr;
}

void TfrmVolume::createControls()
{
    setFixedSize(FormWidth, FormHeight);
    for (int t = 0; t < Bars; ++t) {
        const int top = RowTop + t * RowHeight;
        auto* caption = new QLabel(QString::fromUtf8(Captions[t]), this);
        caption->setObjectName(QStringLiteral("lblCaption%1").arg(t));
        caption->setGeometry(14, top, 116, 24);
        auto* bar = new QSlider(Qt::Horizontal, this);
        bar->setObjectName(QStringLiteral("trkVolume%1").arg(t));
        bar->setProperty("Tag", t);
        bar->setRange(0, 255);
        bar->setToolTip(QStringLiteral("Volume"));
        bar->setGeometry(132, top, 184, 24);
        auto* readout = new QLabel(level(0), this);
        readout->setObjectName(QStringLiteral("lblVol%1").arg(t));
        readout->setGeometry(326, top, 84, 24);
        Handlers.Connect(bar, &QSlider::valueChanged, this, [this, t] { forms::RunGuarded([this, t] { trkVolumeChange(t); }); });
        lblCaption[t] = caption;
        trkVolume[t] = bar;
        lblVol[t] = readout;
    }
    auto button = [this](const char* name, const char* caption, int left) {
        auto* b = new controls::TdxButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetCaption(caption);
        b->setGeometry(left, FormHeight - 44, 90, 28);
        SetControlCursor(b, crHandPoint);
        return b;
    };
    spdWave = button("spdWave", "録音", FormWidth - 206);
    spdWave->SetHint("ボイスレコーダー");
    spdClose = button("spdClose", "閉じる", FormWidth - 106);
    Handlers.Set(spdWave->OnClick, [this](QObject*) { spdWaveClick(); });
    Handlers.Set(spdClose->OnClick, [this](QObject*) { spdCloseClick(); });
}

void TfrmVolume::FormCreate()
{
    CentreOverMainWindow(this);
    AssignImeNames(this);
    SetChildShowHint(this, true);
    ReplaceCursor(this, crHandPoint, HandCursor);

    DestinationNames.clear();
    LineNames.clear();
    for (int d = 0; d < Mixer->Destinations.Count(); ++d)
        DestinationNames.push_back(Mixer->Destinations.Items(d)->Data.name);
    if (const TMixerDestination* main = Mixer->Destinations.Items(0)) {
        LineNames.push_back(main->Data.name);
        for (int c = 0; c < main->Connections.Count(); ++c)
            LineNames.push_back(main->Connections.Items(c)->Data.name);
    }
    for (int t = 1; t < Bars; ++t)
        lblVol[t]->clear();
    if (IsWindows7()) {
        spdWave->SetEnabled(false);
        for (int t : {3, 4, 5})
            lblCaption[t]->setEnabled(false);
    }
    const int lines = static_cast<int>(LineNames.size());
    for (int t = 0; t < Bars - 1; ++t)
        trkVolume[t]->setEnabled(lines > t);
    trkVolume[5]->setEnabled(DestinationNames.size() >= 2 && lines >= 3);
    // A bar at rest looks the same enabled or not: a line the mixer lacks greys its caption
    // and shows no level, so the row reads as out of use.
    for (int t = 0; t < Bars; ++t) {
        if (trkVolume[t]->isEnabled())
            continue;
        lblCaption[t]->setEnabled(false);
        lblVol[t]->clear();
        // The toolkit's own style draws a disabled handle as an enabled one: it takes the
        // face colour and so reads as a slot without a knob.
        QPalette flat = trkVolume[t]->palette();
        flat.setColor(QPalette::Disabled, QPalette::Button, flat.color(QPalette::Disabled, QPalette::Window));
        trkVolume[t]->setPalette(flat);
    }
}

void TfrmVolume::BarLine(int Tag, int& Destination, int& Connection)
{
    Destination = Tag < 5 ? 0 : 1;
    Connection = Tag < 5 ? Tag - 1 : 1;
}

void TfrmVolume::ReadPositions()
{
    for (int t = 0; t < Bars; ++t) {
        // The bar being dragged keeps the user's hand; its line is not even read.
        QSlider* bar = trkVolume[t];
        if (bar->isSliderDown())
            continue;
        int d = 0, c = 0;
        BarLine(t, d, c);
        bool stereo = false, muteOff = false, volumeOff = false, selected = false;
        int mute = -1, right = -1, left = -1;
        if (!Mixer->GetLineVolume(d, c, stereo, muteOff, volumeOff, selected, mute, right, left))
            continue;
        // What the mixer says is shown, not written back: each write would bring another
        // change notice.
        const QSignalBlocker quiet(bar);
        bar->setValue((left + 1) / 256);
        lblVol[t]->setText(level(bar->value()));
    }
}

void TfrmVolume::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    forms::RunGuarded([this] {
        ReadPositions();
        trkVolume[0]->setFocus();
    });
}

void TfrmVolume::MixerControlChange(TAudioMixer*, int, uint32_t)
{
    // The focus stays where the user has it: moving it to the first bar would send the
    // next arrow key to another line.
    ReadPositions();
}

void TfrmVolume::trkVolumeChange(int Tag)
{
    int d = 0, c = 0;
    BarLine(Tag, d, c);
    const int position = trkVolume[Tag]->value();
    // Position 0 is silence, not "no volume given" (0 * 256 - 1 = -1 would leave the line
    // as loud as it was).
    const int volume = position > 0 ? position * 256 - 1 : 0;
    Mixer->SetLineVolume(d, c, 0, -1, volume);
    lblVol[Tag]->setText(level(position));
}

void TfrmVolume::spdWaveClick()
{
    auto recorder = std::make_unique<TfrmWAV>(this);
    recorder->ShowModal();
}

void TfrmVolume::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        forms::RunGuarded([this] { spdCloseClick(); });
        return;
    }
    TForm::keyPressEvent(e);
}
