// Fixtures and independent checks shared by the tag tests: a short real MP3 made with sox and
// lame, a decode check with ffmpeg, and CP932 helpers for what TagLib hands back.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <taglib/tstring.h>

namespace TagLib::ID3v2 { class Tag; }

namespace tagtest {

// A short MP3 stream (no tags), made once per test run.
const std::string& mp3Audio();

// True when ffmpeg decodes the whole file without a complaint.
bool decodesCleanly(const std::string& path);

// Writes the bytes to `path` and returns the path.
std::string makeFile(const std::string& path, const std::string& bytes);

}  // namespace tagtest

namespace tagtest {

// Hand-made ID3v2 building blocks for tests of the reader.
std::string syncSafe(unsigned value);
std::string bigEndian(unsigned value);
std::string id3Header(int version, int revision, int flags, unsigned bodySize);
// A frame with a 2.3 (big-endian) or 2.4 (sync-safe) size; `data` includes any extra bytes.
std::string frame(int version, const std::string& id, const std::string& data, int statusFlags = 0,
                  int formatFlags = 0);

}  // namespace tagtest

namespace tagtest {

// What TagLib reads from a file's ID3v2 tag, in UTF-8 (Latin-1 strings are our CP932 bytes).
struct TagLibView {
    unsigned year = 0;
    std::map<std::string, std::string> texts;  // frame id (TXXX, WXXX, COMM, USLT too) -> text
    std::map<std::string, TagLib::String::Type> encodings;
    std::string at(const std::string& id) const
    {
        auto it = texts.find(id);
        return it == texts.end() ? "(no " + id + " frame)" : it->second;
    }
};

TagLibView readWithTagLib(const std::string& path);
// Sets a text frame (TIT2, TPE1, TALB ...) or the comment (COMM) in the given encoding,
// replacing frames of that id. TagLib's own setters take a process-wide default encoding, and
// changing that default also changes how TagLib reads every later frame, so tests never do.
void setText(TagLib::ID3v2::Tag& tag, const std::string& id, const TagLib::String& value,
             TagLib::String::Type encoding);
// What TagLib read, in UTF-8: Latin-1 strings are our CP932 bytes.
std::string text(const TagLib::String& s, TagLib::String::Type encoding);

}  // namespace tagtest

namespace tagtest {

// One frame as mutagen writes or reads it. COMM and USLT have language "jpn" and an empty
// description.
struct MutagenFrame {
    std::string id;
    int encoding = 0;
    std::string text;  // UTF-8; for encoding 0 the CP932 bytes of the frame, as Windows-era peers wrote them
};
// Gives the file (without a tag) an ID3v2 tag of `version` (3 or 4) written by mutagen.
void writeWithMutagen(const std::string& path, int version, const std::vector<MutagenFrame>& frames);
// The frames mutagen reads, untranslated, by frame id (COMM and USLT by id alone).
std::map<std::string, MutagenFrame> mutagenFrames(const std::string& path);

}  // namespace tagtest
