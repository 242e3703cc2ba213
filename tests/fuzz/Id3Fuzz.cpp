// Feeds arbitrary bytes to the ID3v1 and ID3v2 readers, to every accessor and frame
// transformation a loaded tag offers, and to the tag facade that turns a tag into the record
// the windows show. The input goes through a file because the readers work on files.
#include "tags/id3.h"
#include "tags/id3v2.h"
#include "tags/libID3Tag.h"
#include "tests/fuzz/MemoryFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void exercise(Tid3v2tag& tag)
{
    std::string text;
    TCommentRecord comment;
    TUserRecord user;
    TUserTextRecord userText;
    tag.GetComment(comment, "", "None");
    tag.GetLyrics(comment, "", "eng");
    tag.GetUser(user, "None");
    tag.GetUserText(userText, "");
    tag.GetUserUrl(userText, "");
    for (int i = 1; i <= tag.Frames.Count(); ++i) {
        tag.GetTextFrame(tag.Frames[i].FrameID, text);
        tag.Frames.UndoUnsyncFrame(i);
        tag.Frames.DecompressFrame(i);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool setUp = (SetupTagObjects(true), true);
    (void)setUp;
    // The facade reads the ID3v2 tag of ".mp3" files only.
    const std::string path = fuzz::memoryFile(data, size, ".mp3");
    Tid3tag v1;
    (void)v1.LoadFromFile(path);
    Tid3v2tag v2;
    if (v2.LoadFromFile(path) <= 0xFF)
        exercise(v2);
    (void)ReadTag(path);
    return 0;
}
