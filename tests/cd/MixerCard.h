// A sound card's simple mixer as the in-memory mixer holds it, for the mixer component's and
// the volume control's tests. Ranges differ from element to element, as on real cards.
#pragma once

#include "platform/mixer/Mixer.h"

#include <vector>

namespace cdtest {

enum CardElement { kMaster, kPcm, kSynth, kCd, kSub, kCapture, kMic, kLine };

inline std::vector<mixer::MemoryElement> soundCard(bool exclusiveCapture = true)
{
    std::vector<mixer::MemoryElement> e(8);
    e[kMaster] = {.name = "Master", .playbackVolume = true, .playbackSwitch = true, .max = 87,
                  .playback = {87, 87}};
    e[kPcm] = {.name = "PCM", .playbackVolume = true, .playbackSwitch = true, .max = 255,
               .playback = {0, 0}, .playbackOn = false};
    e[kSynth] = {.name = "Synth", .channels = 1, .playbackVolume = true, .max = 31, .playback = {31, 0}};
    e[kCd] = {.name = "CD", .active = false, .playbackVolume = true, .playbackSwitch = true, .max = 31,
              .playback = {0, 31}};
    e[kSub] = {.name = "Subwoofer", .playbackVolume = true, .max = 31};
    e[kCapture] = {.name = "Capture", .captureVolume = true, .captureSwitch = true, .max = 63,
                   .capture = {63, 63}, .captureOn = true};
    e[kMic] = {.name = "Mic", .playbackVolume = true, .playbackSwitch = true, .captureVolume = true,
               .captureSwitch = true, .captureExclusive = exclusiveCapture, .max = 31,
               .capture = {31, 31}, .captureOn = true};
    e[kLine] = {.name = "Line", .captureVolume = true, .captureSwitch = true,
                .captureExclusive = exclusiveCapture, .max = 31};
    return e;
}

}  // namespace cdtest
