// The main window on a scratch settings file, its engine on the memory sound device whose
// manual clock also drives the channel's refill thread; every question is answered yes. The
// window is loaded (an empty music folder) when the constructor returns.
#pragma once

#include "shared/SettingsFixture.h"

#include "app/Globals.h"
#include "app/MainForm.h"
#include "platform/sound/MemorySoundDevice.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

struct MemoryPlayer {
    SettingsFixture settings;
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> device = snd::MemorySoundDevice::create(clock);
    sound::TcbDSMixer mixer{[this](const std::string&) { return device; }};
    std::unique_ptr<TfrmMain> w;

    MemoryPlayer()
    {
        Mp3Path.clear();
        MusicFolders.clear();
        w = std::make_unique<TfrmMain>(&mixer, nullptr, &clock);
        w->MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                         const std::string&) { return 6; };
        w->show();
        testsupport::waitFor([&] { return w->Loaded(); });
        EXPECT_TRUE(w->Loaded());
    }
    ~MemoryPlayer()
    {
        w->close();
        w.reset();
        Mp3Path.clear();
        MusicFolders.clear();
    }
    MemoryPlayer(const MemoryPlayer&) = delete;
    MemoryPlayer& operator=(const MemoryPlayer&) = delete;
    sound::TDxSound& engine() { return *w->DxSound; }
};
