// A music folder as the effect overlay tests and grabs use it.
#pragma once

#include <string>
#include <tuple>

#include "support/AudioFixtures.h"
#include "tags/libID3Tag.h"
#include "visual/forms/EffectForm.h"

namespace testsupport {

// A music folder with a tagged song (title, artist, lyrics, photo), two album-art pictures
// (300 and 150 pixels wide) and a cover picture.
struct EffectFolder {
    TempDir dir;
    std::string song, other;
    EffectFolder()
    {
        song = makeMp3(dir, "song.mp3", 44100, 2, 3.0, {"-b", "128"});
        other = makeMp3(dir, "other.mp3", 22050, 1, 1.0, {"-b", "64"});
        for (auto [name, size, colour] : {std::tuple{"AlbumArt1.jpg", "300x300", "orange"},
                                          {"AlbumArt2.jpg", "150x150", "green"},
                                          {"cover.jpg", "300x300", "purple"},
                                          {"photo.jpg", "240x320", "skyblue"}}) {
            auto r = runCommand("convert", {"-size", size, std::string("gradient:") + colour + "-navy",
                                            "-fill", "white", "-draw", "circle 75,75 75,20", dir.file(name)});
            EXPECT_EQ(r.exitCode, 0) << r.err;
        }
        ClearTag();
        CurrentTag.Title = "踊るタンブレル";
        CurrentTag.Artist = "Tambourelle Band";
        CurrentTag.Album = "Evening Songs";
        CurrentTag.Year = "2026";
        CurrentTag.Lyrics = "First line of the song\n\nSecond line: with a colon\nLast line";
        CurrentTag.PhotoName = "photo.jpg";
        EXPECT_TRUE(WriteTag(song));
        ClearTag();
    }
};


// Frames as the timers would give them: a particle step with every third frame.
inline void runEffectFrames(visual::TfrmEffect& effect, int frames)
{
    for (int i = 0; i < frames; ++i) {
        effect.Timer1Timer();
        if (i % 3 == 0)
            effect.Timer2Timer();
    }
}

}  // namespace testsupport
