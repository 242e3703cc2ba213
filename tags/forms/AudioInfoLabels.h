// The eighteen information labels that the tag editor and the details view show under a music
// file's tag: each label's name, the prefix before its text (padded so that the texts line up
// in a fixed-pitch font) and the slot of the audio-file information record it shows.
#pragma once

#include "tags/libMP3Header.h"

#include <array>
#include <string>

struct TAudioInfoLabel {
    const char* Name;
    const char* Prefix;
    TAudioInfoSlot Slot;
};

inline constexpr std::array<TAudioInfoLabel, 18> AudioInfoLabels{{
    {"lblOriginal", "Original      : ", aiOriginal},
    {"lblCopyRight", "Copyright     : ", aiCopyright},
    {"lblVersion", "Mpeg Version  : ", aiVersion},
    {"lblVBR", "VBR           : ", aiVbr},
    {"lblCRC", "CRC           : ", aiCrc},
    {"lblPadding", "Padding       : ", aiPadding},
    {"lblEmphasis", "Emphasis      : ", aiEmphasis},
    {"lblExtension", "Extension     : ", aiPrivate},
    {"lblFileSize", "File Size     : ", aiFileSize},
    {"lblStart", "Start Byte    : ", aiStartByte},
    {"lblFrames", "Frames        : ", aiFrames},
    {"lblSamples", "Samples       : ", aiSamples},
    {"lblFormat", "", aiFormat},
    {"lblEncoder", "Encoder       : ", aiEncoder},
    {"lblDuration", "Duration      : ", aiDuration},
    {"lblRate", "Sample Rate   : ", aiSampleRate},
    {"lblBPS", "Bit Rate      : ", aiBitRate},
    {"lblMode", "Audio Mode    : ", aiChannelMode},
}};

// The label's text for the record as GetAudioFileInfo left it. NUL bytes (the VBR header's
// name of a file without one) are left out, as a label ends its text there.
inline std::string AudioInfoText(const TAudioInfoLabel& Label, const TAudioFileInfo& Info)
{
    std::string text = Label.Prefix;
    for (char c : Info.Text[size_t(Label.Slot)])
        if (c != '\0')
            text += c;
    return text;
}
