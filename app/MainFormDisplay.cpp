// The main window as the playback engine writes it: each call of sound::TDxSoundDisplay lands
// on the control it names.
#include "app/MainForm.h"

#include <QColor>
#include <QTimer>
#include <QVariant>

#include "app/Globals.h"
#include "platform/gfx/Raster.h"

namespace {

QColor toQColor(gfx::TColor c)
{
    return QColor::fromRgb(gfx::raster::toQRgb(c));   // system colours resolved too
}

void setBackground(QWidget* w, gfx::TColor c)
{
    w->setStyleSheet(QStringLiteral("background: %1;").arg(toQColor(c).name()));
}

QTreeWidgetItem* rowOf(QTreeWidget* list, int32_t row)
{
    return row >= 0 && row < list->topLevelItemCount() ? list->topLevelItem(row) : nullptr;
}

}  // namespace

void SetFontColor(QLabel* Label, gfx::TColor Color)
{
    if (Label->property("FontColor").isValid() && FontColor(Label) == Color)
        return;
    Label->setProperty("FontColor", QVariant::fromValue<qulonglong>(Color));
    Label->setStyleSheet(QStringLiteral("color: %1;").arg(toQColor(Color).name()));
}

gfx::TColor FontColor(const QLabel* Label)
{
    const QVariant v = Label->property("FontColor");
    return v.isValid() ? gfx::TColor(v.toULongLong()) : gfx::TColor(0);
}

std::string TfrmMain::Mp3Path() const { return ::Mp3Path; }
bool TfrmMain::ChkRepeartChecked() const { return chkRepeart->Checked(); }
intptr_t TfrmMain::SpdEffectTag() const { return spdEffect->Tag; }
bool TfrmMain::DoEffect99Checked() const { return do_EffectMode[31]->isChecked(); }
bool TfrmMain::DoEffect999Checked() const { return do_Effect999->isChecked(); }
bool TfrmMain::PnlLyricsVisible() const { return !pnlLyrics->isHidden(); }
std::string TfrmMain::LblFavoriteCaption() const { return lblFavorite->text().toStdString(); }
gfx::TPoint TfrmMain::DxdLeftSize() const { return {dxdLeft->width(), dxdLeft->height()}; }
gfx::TPoint TfrmMain::DxdRightSize() const { return {dxdRight->width(), dxdRight->height()}; }

void TfrmMain::SetTimPlayEnabled(bool On) { timPlay.SetEnabled(On); }
void TfrmMain::SetTimListEnabled(bool On) { timList.SetEnabled(On); }
void TfrmMain::SetTimLyrics1Enabled(bool On) { timLyrics1.SetEnabled(On); }
void TfrmMain::SetTimLyrics2Enabled(bool On) { timLyrics2.SetEnabled(On); }
void TfrmMain::SetTimDxTimerInterval(int Ms) { timDxTimer.SetInterval(Ms); }

void TfrmMain::SetLblPlayCaption(const std::string& Text) { lblPlay->setText(QString::fromStdString(Text)); }
void TfrmMain::SetLblPlayFontColor(gfx::TColor Color) { SetFontColor(lblPlay, Color); }
void TfrmMain::SetLblFavoriteFontColor(gfx::TColor Color) { SetFontColor(lblFavorite, Color); }
void TfrmMain::SetLblFavorite0FontColor(gfx::TColor Color) { SetFontColor(lblFavorite0, Color); }
void TfrmMain::SetLblDurationCaption(const std::string& Text) { lblDuration->setText(QString::fromStdString(Text)); }
void TfrmMain::SetLblDurationTag(intptr_t Tag) { lblDuration->setProperty("Tag", qlonglong(Tag)); }
void TfrmMain::SetLblMusicCaption(const std::string& Text) { lblMusic->setText(QString::fromStdString(Text)); }
// The painter draws these captions over the panes: repainting them is repainting the panes.
void TfrmMain::RepaintLblMusic() { pnlOsillo1->update(); }
void TfrmMain::RepaintLblClock() { pnlOsillo2->update(); }

void TfrmMain::SetGauge1Position(int32_t Position) { Gauge1->SetPosition(Position); }
void TfrmMain::SetBarLeftPosition(int32_t Position) { barLeft->SetPosition(Position); }
void TfrmMain::SetBarRightPosition(int32_t Position) { barRight->SetPosition(Position); }

void TfrmMain::SetTrackFrequencyTag(intptr_t Tag) { trackFrequency->Tag = Tag; }
void TfrmMain::SetTrackFrequencyMax(int32_t Max) { trackFrequency->SetMax(Max); }
void TfrmMain::SetTrackFrequencyPosition(int32_t Position) { trackFrequency->SetPosition(Position); }
void TfrmMain::SetTrackFrequencyEnabled(bool On) { trackFrequency->setEnabled(On); }

void TfrmMain::LstFileDeselect(int32_t Row)
{
    if (auto* item = rowOf(lstFile, Row))
        item->setSelected(false);
}

void TfrmMain::LstFileSelectOnly(int32_t Row)
{
    auto* item = rowOf(lstFile, Row);
    if (!item)
        return;
    lstFile->clearSelection();
    lstFile->setFocus();
    lstFile->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    item->setSelected(true);
    lstFile->scrollToItem(item);
}

void TfrmMain::ShowTrackTitle(int32_t Row) { ShowTrackTitle(lstFile, Row); }

void TfrmMain::SetPnlLyricsVisible(bool On) { pnlLyrics->setVisible(On); }
void TfrmMain::SetPnlOsillo1Color(gfx::TColor Color) { setBackground(pnlOsillo1, Color); }
void TfrmMain::SetPnlOsillo2Color(gfx::TColor Color) { setBackground(pnlOsillo2, Color); }
void TfrmMain::RepaintPnlOsillo1() { pnlOsillo1->repaint(); }
void TfrmMain::RepaintPnlOsillo2() { pnlOsillo2->repaint(); }
void TfrmMain::InvalidateDxdLeft() { dxdLeft->update(); }
void TfrmMain::InvalidateDxdRight() { dxdRight->update(); }
// The window's own canvas lies under its controls, so a fill there never shows: the panes
// are cleared by their own repaint.
void TfrmMain::FillFormRectBlack(const gfx::TRect&) {}

void TfrmMain::SetPnlMeterVisible(bool On) { pnlMeter->setVisible(On); }
void TfrmMain::SetPnlMeterLeft(int32_t Left) { pnlMeter->move(Left, pnlMeter->y()); }
void TfrmMain::SetLblLeftTop(int32_t Top) { lblLeft->move(lblLeft->x(), Top); }
void TfrmMain::RepaintLblLeft() { pnlOsillo1->update(); }
void TfrmMain::RepaintLblRight() { pnlOsillo2->update(); }

void TfrmMain::SetLEDStatus(int Number, bool On)
{
    controls::TLED* leds[] = {LED1, LED2, LED3};
    if (Number >= 1 && Number <= 3)
        leds[Number - 1]->SetStatus(On);
}

void TfrmMain::SetLCD1BrushColor(gfx::TColor Color)
{
    LCD1->setStyleSheet(QStringLiteral("background: %1; border-radius: 5px;").arg(toQColor(Color).name()));
}

void TfrmMain::SetMtrLeftValue(int32_t Value) { mtrLeft->SetValue(Value); }
void TfrmMain::SetMtrRightValue(int32_t Value) { mtrRight->SetValue(Value); }
void TfrmMain::SetMtrBalanseValue(int32_t Value) { mtrBalanse->SetValue(Value); }
void TfrmMain::SetDbrMeterProcess(int Process)
{
    if (Process >= visual::apNone && Process <= visual::apFillBounce)
        dbrMeter->SetProcess(visual::TDBAnimProcessType(Process));
}
void TfrmMain::SetLcdMeterValue(const std::string& Text) { lcdMeter->SetValue(Text); }

bool TfrmMain::TMainMeterPanel::LEDStatus(int Number) const
{
    const controls::TLED* leds[] = {F.LED1, F.LED2, F.LED3};
    return Number >= 1 && Number <= 3 && leds[Number - 1]->Status();
}

void TfrmMain::TMainMeterPanel::SetMeterValue(TMeter Meter, int Value)
{
    controls::TAnalogMeter* meters[] = {F.mtrLeft, F.mtrRight, F.mtrBalanse};
    meters[Meter]->SetValue(Value);
}

int TfrmMain::TMainMeterPanel::MeterValue(TMeter Meter) const
{
    const controls::TAnalogMeter* meters[] = {F.mtrLeft, F.mtrRight, F.mtrBalanse};
    return meters[Meter]->Value();
}

gfx::TColor TfrmMain::TMainMeterPanel::LblMK0FontColor() const { return FontColor(F.lblMK0); }
void TfrmMain::TMainMeterPanel::SetLblMK0FontColor(gfx::TColor Color) { SetFontColor(F.lblMK0, Color); }
void TfrmMain::TMainMeterPanel::SetDbrMeterWidth(int Width) { F.dbrMeter->resize(Width, F.dbrMeter->height()); }

void TfrmMain::TMainMeterPanel::SetShiftLamp(int Index)
{
    if (F.DxSound)
        F.DxSound->SetShiftLamp(Index);
}

std::uint32_t TfrmMain::TMainMeterPanel::PlayPositionMs()
{
    return F.DxSound ? F.DxSound->Channel().GetPosition() : 0;
}

void TfrmMain::SetLblM0FontColor(int Index, gfx::TColor Color)
{
    if (Index >= 0 && Index < int(lblM0.size()))
        SetFontColor(lblM0[size_t(Index)], Color);
}

void TfrmMain::SetLblM0PTag(intptr_t Tag) { lblM0[0]->setProperty("Tag", qlonglong(Tag)); }
void TfrmMain::SetMsgOstrelText(const std::string& Text) { msgOstrel->SetShowStrings({Text}); }
void TfrmMain::StartMsgOstrel() { msgOstrel->Start(); }
void TfrmMain::StopMsgOstrel() { msgOstrel->Stop(); }

// The clock runs but nothing is heard: the user is told once, after the handler that started
// play has finished, and the log keeps the device's own error.
void TfrmMain::PlayingSilently(const std::string& Reason)
{
    qWarning("Tambourelle: no sound device could be opened, play is silent: %s", Reason.c_str());
    QTimer::singleShot(0, this, [this] {
        forms::RunGuarded([this] {
            MsgBoxEx(this, "サウンド",
                     "サウンドデバイスを開けませんでした！！\r\r　　音を出さずに再生します。", 1, "Y", "!");
        });
    });
}

gfx::TCanvas* TfrmMain::PaintBoxCanvas(int Channel)
{
    return &(Channel == 0 ? pbxLeft : pbxRight)->Canvas();
}

void TfrmMain::SetPaneTag(int Channel, intptr_t Level)
{
    (Channel == 0 ? dxdLeft : dxdRight)->setProperty("Tag", qlonglong(Level));
}

void TfrmMain::ReadOverlayLabels(TOverlayLabels& Labels) const
{
    auto read = [](TOverlayLabel& to, const QLabel* from) {
        to.Text = from->text().toStdString();
        to.Left = from->x();
        to.Top = from->y();
    };
    read(Labels.Left, lblLeft);
    read(Labels.Right, lblRight);
    read(Labels.Music, lblMusic);
    read(Labels.Duration, lblDuration);
    Labels.Clock.Text = lblClock->Caption();
    Labels.Clock.Left = lblClock->x();
    Labels.Clock.Top = lblClock->y();
    Labels.DurationTag = int(lblDuration->property("Tag").toLongLong());
}

bool TfrmMain::DxdLeftVisible() const { return !dxdLeft->isHidden(); }

TVisualSurface* TfrmMain::PaneSurface(int Channel) { return &paneSurfaces_[Channel == 0 ? 0 : 1]; }

visual::TDXDraw* TfrmMain::PaneDXDraw(int Channel) { return Channel == 0 ? dxdLeft : dxdRight; }

gfx::TCanvas* TfrmMain::SurfaceCanvas(int Channel)
{
    visual::TDXDraw* pane = Channel == 0 ? dxdLeft : dxdRight;
    return pane->Surface && pane->Surface->HasSurface() ? &pane->Surface->Canvas() : nullptr;
}

// The display timer runs while the left pane's surfaces exist.
void TfrmMain::dxdLeftInitialize() { timDxTimer.SetEnabled(true); }
void TfrmMain::dxdLeftFinalize() { timDxTimer.SetEnabled(false); }

bool TfrmMain::TimDxTimerEnabled() const { return timDxTimer.Enabled(); }

int TfrmMain::Gauge1Position() const { return Gauge1->Position(); }

gfx::TCanvas* TfrmMain::EffectCanvas() { return &pbxEffect->Canvas(); }
int TfrmMain::EffectWidth() const { return pbxEffect->Width(); }
int TfrmMain::EffectHeight() const { return pbxEffect->Height(); }
QPoint TfrmMain::Mp3PanelOrigin() const { return pnlMp3->mapToGlobal(pnlMp3->pos()); }
int TfrmMain::LevelBarPosition(int Channel) const { return (Channel == 0 ? barLeft : barRight)->Position(); }

intptr_t TfrmMain::PaneLevel(int Channel) const
{
    return intptr_t((Channel == 0 ? dxdLeft : dxdRight)->property("Tag").toLongLong());
}
