// Feeds arbitrary bytes to the ID3v1 and ID3v2 readers and to every accessor and frame
// transformation a loaded tag offers. The input goes through a file because the readers work on
// files; the file lives in memory (memfd) and is reached through /proc.
#include "tags/id3.h"
#include "tags/id3v2.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

std::string memoryFile(const std::uint8_t* data, std::size_t size)
{
    static int fd = memfd_create("id3fuzz", 0);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        __builtin_trap();
    return "/proc/self/fd/" + std::to_string(fd);
}

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
    const std::string path = memoryFile(data, size);
    Tid3tag v1;
    (void)v1.LoadFromFile(path);
    Tid3v2tag v2;
    if (v2.LoadFromFile(path) <= 0xFF)
        exercise(v2);
    return 0;
}
