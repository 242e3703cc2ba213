// `TfrmVolume`, the volume control (instance `frmVolume`, made at start-up right after the main
// window and kept until the program ends; the main window and the CD player show it modally).
// Six track bars bound to lines of the first mixer device, each with its caption and a
// "Level = " readout, and buttons that open the voice recorder and close the window.
//
// The bars follow the mixer: their positions are read when the window shows and whenever the
// mixer reports a change, and setting them so writes nothing back. Only the user's moves
// write, and a move unmutes its line and sets both of its channels.
//
// User-interface thread only.
#pragma once

#include "cd/AMixer.h"
#include "controls/dx/dxButtons.h"
#include "platform/forms/Form.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QSlider;

class TfrmVolume : public forms::TForm {
public:
    static constexpr int Bars = 6;

    explicit TfrmVolume(QWidget* parent = nullptr,
                        std::shared_ptr<mixer::MixerSystem> Mixers = mixer::alsaMixerSystem());
    ~TfrmVolume() override;

    std::unique_ptr<TAudioMixer> Mixer;

    // The destinations' names; destination 0's name and its connections' names.
    std::vector<std::string> DestinationNames;
    std::vector<std::string> LineNames;

    std::array<QSlider*, Bars> trkVolume{};
    std::array<QLabel*, Bars> lblCaption{};
    std::array<QLabel*, Bars> lblVol{};
    controls::TdxButton* spdWave;
    controls::TdxButton* spdClose;

    // The line of the bar with Tag: destination 0 itself, its connections 0..3, and
    // connection 1 of destination 1.
    static void BarLine(int Tag, int& Destination, int& Connection);

    // The bars and readouts from the mixer, without a write.
    void ReadPositions();
    void trkVolumeChange(int Tag);
    void MixerControlChange(TAudioMixer* Sender, int MixerId, uint32_t Id);
    // The voice recorder, made for this showing and freed after it.
    void spdWaveClick();
    void spdCloseClick() { close(); }

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void createControls();
    void FormCreate();
};

// The volume control (null before start-up has made it and after it is gone).
extern TfrmVolume* frmVolume;
