// The reader on hand-made tags: status words, bounds, padding, footers, unsynchronisation.
#include "TagTestSupport.h"
#include "support/TestSupport.h"
#include "tags/id3v2.h"

#include <gtest/gtest.h>

using namespace id3v2;
using namespace tagtest;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

const std::string kAudio = std::string("\xFF\xFB\x90\x00", 4) + std::string(600, 'a');

std::string title(int version, const std::string& text)
{
    return frame(version, "TIT2", std::string(1, '\0') + text);
}

struct Loaded {
    std::uint16_t status;
    Tid3v2tag tag;
};

class Id3v2Read : public testing::Test {
protected:
    std::string write(const std::string& bytes) { return makeFile(dir.file("f.mp3"), bytes); }
    std::uint16_t load(const std::string& bytes, Tid3v2tag& tag) { return tag.LoadFromFile(write(bytes)); }
    std::string titleOf(const Tid3v2tag& tag)
    {
        std::string t;
        tag.GetTextFrame("TIT2", t);
        return t;
    }
    TempDir dir;
};

}  // namespace

TEST_F(Id3v2Read, VersionRevisionAndHeaderChecks)
{
    Tid3v2tag tag;
    std::string body = title(3, "x") + std::string(20, '\0');
    EXPECT_EQ(load(id3Header(2, 0, 0, static_cast<unsigned>(body.size())) + body + kAudio, tag), kBadVersion);
    EXPECT_EQ(load(id3Header(4, 1, 0, static_cast<unsigned>(body.size())) + body + kAudio, tag), kRevisionNotZero);
    tag.AcceptRevision = false;
    EXPECT_EQ(load(id3Header(4, 1, 0, static_cast<unsigned>(body.size())) + body + kAudio, tag), kBadRevision);
    std::string badSize = id3Header(3, 0, 0, 30);
    badSize[9] = '\x80';
    EXPECT_EQ(load(badSize + body + kAudio, tag), kNoTag);
    EXPECT_EQ(load(id3Header(3, 0, 0x01, static_cast<unsigned>(body.size())) + body + kAudio, tag), kUnknownHeaderFlags);
    EXPECT_EQ(tag.LoadFromFile(write(kAudio), static_cast<std::int64_t>(kAudio.size())), kOffsetPastEnd);
    EXPECT_EQ(load("ID3", tag), kNoTag);
    EXPECT_EQ(tag.LoadFromFile(dir.file("missing")), 0x100);
}

TEST_F(Id3v2Read, PaddingIdentifiersAndFrameBounds)
{
    Tid3v2tag tag;
    std::string frames = title(3, "abc") + frame(3, "TPE1", std::string("\0B", 2));
    std::string padded = frames + std::string(37, '\0');
    ASSERT_EQ(load(id3Header(3, 0, 0, static_cast<unsigned>(padded.size())) + padded + kAudio, tag), 0);
    EXPECT_EQ(tag.PaddingSize, 37u);
    EXPECT_EQ(tag.Frames[2].FrameID, "TPE1");
    EXPECT_EQ(titleOf(tag), "abc");

    std::string mp3e = frames + "MP3ext junk";
    ASSERT_EQ(load(id3Header(3, 0, 0, static_cast<unsigned>(mp3e.size())) + mp3e + kAudio, tag), 0);
    EXPECT_EQ(tag.PaddingSize, 11u);
    ASSERT_EQ(load(id3Header(4, 0, 0, static_cast<unsigned>(frames.size())) + frames + kAudio, tag), 0);
    EXPECT_EQ(tag.PaddingSize, 0u);

    auto expectStatus = [&](const std::string& body, std::uint16_t want, int version = 3) {
        EXPECT_EQ(load(id3Header(version, 0, 0, static_cast<unsigned>(body.size())) + body + kAudio, tag), want);
        EXPECT_EQ(tag.Frames.Count(), 0) << "a failed load hands on no frames";
    };
    // A lower-case identifier is the upper-case one.
    std::string lower = title(3, "abc") + frame(3, "tpe1", std::string("\0B", 2)) + std::string(10, '\0');
    ASSERT_EQ(load(id3Header(3, 0, 0, static_cast<unsigned>(lower.size())) + lower + kAudio, tag), 0);
    ASSERT_EQ(tag.Frames.Count(), 2);
    EXPECT_EQ(tag.Frames[2].FrameID, "TPE1");
    EXPECT_EQ(tag.PaddingSize, 10u);
    // Bytes that cannot start a frame and lead nowhere by their size field (leftovers of older
    // frames) end the frames as padding does.
    for (const std::string& junk : {std::string("junk\x01\x02"), std::string("tle\0\0\0\x7F\x30\0\0"),
                                    frame(3, "TI-2", std::string("\0x", 2)).substr(0, 7)}) {
        std::string body = title(3, "abc") + junk + std::string(10, '\0');
        ASSERT_EQ(load(id3Header(3, 0, 0, static_cast<unsigned>(body.size())) + body + kAudio, tag), 0) << junk;
        EXPECT_EQ(tag.Frames.Count(), 1);
        EXPECT_EQ(tag.PaddingSize, junk.size() + 10);
        EXPECT_EQ(titleOf(tag), "abc");
    }
    std::string tooLong = title(3, "abc");
    tooLong[7] = 60;  // size past the tag
    expectStatus(tooLong + std::string(10, '\0'), kMalformed);
    expectStatus(title(3, "abc") + "TPE1\x00\x00", kMalformed);  // a header cut short
    // A 2.4 frame whose data-length indicator does not fit in the frame.
    expectStatus(frame(4, "TIT2", "\0ab", 0, kDataLength) + std::string(8, '\0'), kMalformed, 4);
    // Extended headers larger than the tag, or too small.
    EXPECT_EQ(load(id3Header(3, 0, kHeaderExtended, 20) + bigEndian(1000) + std::string(16, '\0') + kAudio, tag),
              kMalformed);
    EXPECT_EQ(load(id3Header(4, 0, kHeaderExtended, 20) + syncSafe(3) + std::string(16, '\0') + kAudio, tag),
              kMalformed);
}

// A frame whose identifier is damaged but whose size is intact is stepped over by nobody: it
// and the frames behind it are the file's, so the load stops with 0x2100 and keeps the frames
// before it for display (a save refuses such a tag).
TEST_F(Id3v2Read, DamagedIdentifierBeforeFramesIsNoPadding)
{
    Tid3v2tag tag;
    const std::string damaged = frame(3, "T\xB1T2", std::string("\0x", 2));
    const std::string behind = frame(3, "TPE1", std::string("\0B", 2)) + frame(3, "TALB", std::string("\0C", 2));
    struct Case {
        const char* what;
        int version;
        std::string body;
    };
    const Case cases[] = {
        {"frames and padding behind", 3, title(3, "abc") + damaged + behind + std::string(20, '\0')},
        {"frames to the tag's end", 3, title(3, "abc") + damaged + behind},
        {"the last frame, padding behind", 3, title(3, "abc") + damaged + std::string(20, '\0')},
        {"hyphen, 2.4", 4, frame(4, "TIT2", std::string("\0abc", 4)) + frame(4, "TI-2", std::string("\0x", 2)) +
                               frame(4, "TPE1", std::string("\0B", 2)) + std::string(8, '\0')},
        // Leftovers of an older tag that still hold a whole frame: a frame other readers find.
        {"leftovers holding a frame", 3,
         title(3, "abc") + "er title\x01" + frame(3, "TPE1", std::string("\0B", 2)) + std::string(20, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(load(id3Header(c.version, 0, 0, static_cast<unsigned>(c.body.size())) + c.body + kAudio, tag),
                  kBadFrameId);
        EXPECT_EQ(tag.LoadStatus, kBadFrameId);
        ASSERT_EQ(tag.Frames.Count(), 1);
        EXPECT_EQ(titleOf(tag), "abc");
    }
    // Padding that begins with zeros or "MP3e" is padding whatever follows.
    for (const std::string& start : {std::string(10, '\0'), std::string("MP3ext")}) {
        const std::string body = title(3, "abc") + start + frame(3, "TPE1", std::string("\0B", 2)) + std::string(8, '\0');
        EXPECT_EQ(load(id3Header(3, 0, 0, static_cast<unsigned>(body.size())) + body + kAudio, tag), 0) << start;
        EXPECT_EQ(tag.Frames.Count(), 1);
    }
}

TEST_F(Id3v2Read, ExtendedHeadersAreRead)
{
    Tid3v2tag tag;
    std::string frames = title(3, "abc") + std::string(10, '\0');
    std::string ext3 = bigEndian(10) + std::string("\x80\0", 2) + bigEndian(10) + bigEndian(0xCAFEBABE);
    ASSERT_EQ(load(id3Header(3, 0, kHeaderExtended, static_cast<unsigned>(ext3.size() + frames.size())) + ext3 +
                       frames + kAudio,
                   tag),
              0);
    EXPECT_EQ(tag.Crc32, 0xCAFEBABEu);
    EXPECT_EQ(tag.ExtFlags, kExtCrc);
    EXPECT_EQ(tag.PaddingSize, 10u);
    EXPECT_EQ(titleOf(tag), "abc");

    std::string crc = std::string("\x05\x0C", 2) + syncSafe(0x0AFEBABE);
    std::string ext4 = syncSafe(6 + 1 + 6 + 2) + "\x01" + static_cast<char>(kExtUpdate | kExtCrc | kExtRestrictions) +
                       std::string(1, '\0') + crc + "\x01\x42";
    std::string body = ext4 + title(4, "def") + std::string(10, '\0');
    ASSERT_EQ(load(id3Header(4, 0, kHeaderExtended, static_cast<unsigned>(body.size())) + body + kAudio, tag), 0);
    EXPECT_EQ(tag.Crc32, 0xCAFEBABEu);
    EXPECT_EQ(tag.Restrictions, 0x42);
    EXPECT_EQ(titleOf(tag), "def");
}

TEST_F(Id3v2Read, Version4FooterAndPerFrameUnsynchronisation)
{
    // "ÿà" in UTF-16LE is FF 00 E0 00: unsynchronised, with a data-length indicator.
    std::string plain = std::string("\x01\xFF\xFE\xFF\x00\xE0\x00", 7);
    std::string stored = syncSafe(static_cast<unsigned>(plain.size())) + unsync(plain);
    std::string body = frame(4, "TIT2", stored, 0, kUnsync | kDataLength) + std::string(16, '\0');
    std::string footer = "3DI" + std::string("\x04\x00\x10", 3) + syncSafe(static_cast<unsigned>(body.size()));
    std::string file = id3Header(4, 0, kHeaderFooter, static_cast<unsigned>(body.size())) + body + footer + kAudio;
    std::string path = write(file);

    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(path), 0);
    EXPECT_EQ(titleOf(tag), "ÿà");
    EXPECT_EQ(tag.Frames[1].DataLength, plain.size());

    // The footer belongs to the old tag: a save replaces it with the rest of the tag.
    tag.SetTextFrame("TIT2", "新");
    ASSERT_EQ(tag.SaveToFile(path), 0);
    std::string saved = readFile(path);
    EXPECT_EQ(saved.substr(saved.size() - kAudio.size()), kAudio);
    EXPECT_EQ(saved.find("3DI"), std::string::npos);
    Tid3v2tag back;
    ASSERT_EQ(back.LoadFromFile(path), 0);
    EXPECT_EQ(titleOf(back), "新");

    // A footer that would reach past the end of the file makes the tag reach past it too.
    std::string cut = id3Header(4, 0, kHeaderFooter, static_cast<unsigned>(body.size())) + body + "3DI";
    EXPECT_EQ(load(cut, tag), kTagPastEnd);
}

TEST_F(Id3v2Read, ATagPastTheEndIsNeverOverwritten)
{
    std::string body = title(3, "abc") + std::string(10, '\0');
    std::string file = id3Header(3, 0, 0, 5000) + body + kAudio;  // claims more than the file holds
    std::string path = write(file);
    Tid3v2tag tag;
    EXPECT_EQ(tag.LoadFromFile(path), kTagPastEnd);
    tag.SetTextFrame("TIT2", "new");
    EXPECT_GT(tag.SaveToFile(path), 0xFF);
    EXPECT_EQ(readFile(path), file);

    // Nor by an object that never read this file.
    Tid3v2tag fresh;
    fresh.SetTextFrame("TIT2", "new");
    EXPECT_EQ(fresh.SaveToFile(path), kTagPastEnd);
    std::string v2 = id3Header(2, 0, 0, static_cast<unsigned>(body.size())) + body + kAudio;
    makeFile(path, v2);
    EXPECT_EQ(fresh.SaveToFile(path), kBadVersion);
    EXPECT_EQ(readFile(path), v2);
}

TEST_F(Id3v2Read, ALoadForgetsThePreviousFile)
{
    std::string body = title(4, "old") + frame(4, "TPE1", std::string("\0who", 4)) + std::string(10, '\0');
    Tid3v2tag tag;
    ASSERT_EQ(load(id3Header(4, 0, 0, static_cast<unsigned>(body.size())) + body + kAudio, tag), 0);
    ASSERT_EQ(tag.Frames.Count(), 2);

    std::string plain = dir.file("plain.mp3");
    makeFile(plain, kAudio);
    EXPECT_EQ(tag.LoadFromFile(plain), kNoTag);
    EXPECT_EQ(tag.Frames.Count(), 0);
    EXPECT_EQ(tag.MajorVersion, 3);
    tag.SetTextFrame("TALB", "only");
    ASSERT_EQ(tag.SaveToFile(plain), 0);
    Tid3v2tag back;
    ASSERT_EQ(back.LoadFromFile(plain), 0);
    ASSERT_EQ(back.Frames.Count(), 1);
    EXPECT_EQ(back.Frames[1].FrameID, "TALB");
}

// Padding is looked at in pieces behind the frames, also when the frames before it hold a
// picture that a quick load steps over: MPEG frames anywhere in it (far behind the first
// piece, or in its last bytes) make the tag one that runs into the audio, whichever way it is
// loaded; zeros and stray bytes do not.
TEST_F(Id3v2Read, AudioFarInsideLongPaddingIsFound)
{
    const std::string picture = frame(3, "APIC", std::string("\0image/jpeg\0\3\0", 14) + std::string(100000, 'p'));
    const std::string audio = mp3Audio().substr(0, 3000);
    const std::size_t padding = 50000;
    struct Case {
        const char* name;
        std::size_t at;  // of the bytes in the padding
        std::string bytes;
        std::uint16_t status;
    };
    for (const Case& c : {Case{"zeros", 0, "", 0}, Case{"stray bytes", 45000, "\xFF\xFB junk", 0},
                          Case{"audio far in", 40000, audio, kMalformed},
                          Case{"audio at the end", padding - 1000, audio.substr(0, 1000), kMalformed}}) {
        for (const bool quick : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (quick ? " quick" : " whole"));
            std::string pad(padding, '\0');
            pad.replace(c.at, c.bytes.size(), c.bytes);
            const std::string body = title(3, "abc") + picture + pad;
            Tid3v2tag tag;
            EXPECT_EQ(tag.LoadFromFile(write(id3Header(3, 0, 0, static_cast<unsigned>(body.size())) + body + kAudio), 0,
                                       quick),
                      c.status);
            if (c.status == 0) {
                EXPECT_EQ(titleOf(tag), "abc");
                EXPECT_EQ(tag.PaddingSize, padding);
            }
        }
    }
}

// A 2.4 tag with sync-safe sizes whose padding begins with leftover bytes: its frames do not
// run cleanly to zero padding, yet the plain reading of a picture's size, which does, would
// swallow the frame behind the picture (and a save would drop it).
TEST_F(Id3v2Read, SyncSafeSizesBeforeLeftoversStaySyncSafe)
{
    const std::string picture = frame(4, "APIC", std::string("\0image/png\0\3\0", 13) + std::string(187, 'p'));
    const std::string body = picture + frame(4, "TCON", std::string("\0Rock", 5)) + "er title of an older tag" +
                             std::string(200, '\0');
    Tid3v2tag tag;
    ASSERT_EQ(load(id3Header(4, 0, 0, static_cast<unsigned>(body.size())) + body + kAudio, tag), 0);
    ASSERT_EQ(tag.Frames.Count(), 2);
    EXPECT_EQ(tag.Frames[1].Data.size(), 200u);
    std::string genre;
    EXPECT_EQ(tag.GetTextFrame("TCON", genre), kDone);
    EXPECT_EQ(genre, "Rock");
}
