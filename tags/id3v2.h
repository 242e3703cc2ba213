// ID3v2.3 / ID3v2.4 tags at a given offset of a file: the frame list (`TFrameIndex`), the
// accessors for the frames the tag facade uses (text frames, COMM, USLT, USER, TXXX, WXXX), and
// the reading and writing of the whole tag (`Tid3v2tag`).
//
// Frame data is held as stored (compressed or unsynchronised when so read) and decoded only when
// an accessor reads it; flags are held in the ID3v2.4 layout for both versions. Texts are UTF-8
// here. On disk, encoding 0 is CP932 (the program's peers' code page), 1 UTF-16 with a byte-order
// mark, 2 UTF-16BE, 3 UTF-8. Encoding 0 asked of a setter is the program's own choice: a frame
// stored in Unicode keeps its encoding, a new frame in a tag read with Unicode text frames takes
// UTF-16 (2.3) or UTF-8 (2.4); otherwise CP932 when every text of the frame comes back from it
// exactly, UTF-16 (1) when not. An ID3v2.3 tag gets 1 where 2 or 3 is asked. URLs are
// single-byte text whatever the encoding.
//
// Loading and saving report 16-bit status words: 0..255 success with information bits, above 255
// failure (see the constants below). A tag that did not load is never overwritten. A save that
// changes the tag's size rewrites the file through a temporary file (util/SafeFile.h), so the
// original stays intact on any failure; a save that fits the old room writes only the tag region.
//
// Implementation: id3v2Frames.cpp (frame list, accessors), id3v2Read.cpp, id3v2Write.cpp.
// Used on the user-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace id3v2 {

// Status words of load and save.
constexpr std::uint16_t kPaddingDiffers = 0x04;
constexpr std::uint16_t kFlagDropped = 0x08;
constexpr std::uint16_t kRevisionNotZero = 0x10;
constexpr std::uint16_t kUnknownExtFlags = 0x40;
constexpr std::uint16_t kUnknownHeaderFlags = 0x80;
constexpr std::uint16_t kOffsetPastEnd = 0x800;
constexpr std::uint16_t kNoTag = 0x1000;
constexpr std::uint16_t kBadVersion = 0x1100;
constexpr std::uint16_t kBadRevision = 0x1200;
constexpr std::uint16_t kTagPastEnd = 0x2000;
constexpr std::uint16_t kBadFrameId = 0x2100;
constexpr std::uint16_t kTagTooLarge = 0x2200;
constexpr std::uint16_t kEncryptionChange = 0xC000;
constexpr std::uint16_t kGroupingChange = 0xC100;
constexpr std::uint16_t kNoDataLength = 0xC200;
constexpr std::uint16_t kNoFrames = 0xFD00;
constexpr std::uint16_t kMalformed = 0xFE00;

// Header flags.
constexpr std::uint8_t kHeaderUnsync = 0x80;
constexpr std::uint8_t kHeaderExtended = 0x40;
constexpr std::uint8_t kHeaderExperimental = 0x20;
constexpr std::uint8_t kHeaderFooter = 0x10;

// Extended-header flags (ID3v2.4 layout).
constexpr std::uint8_t kExtUpdate = 0x40;
constexpr std::uint8_t kExtCrc = 0x20;
constexpr std::uint8_t kExtRestrictions = 0x10;

// Frame format flags (ID3v2.4 layout).
constexpr std::uint8_t kGrouping = 0x40;
constexpr std::uint8_t kCompression = 0x08;
constexpr std::uint8_t kEncryption = 0x04;
constexpr std::uint8_t kUnsync = 0x02;
constexpr std::uint8_t kDataLength = 0x01;

// Accessor results.
constexpr std::uint8_t kDone = 0;
constexpr std::uint8_t kNoFrame = 1;
constexpr std::uint8_t kNoData = 2;
constexpr std::uint8_t kIdNotAllowed = 3;
constexpr std::uint8_t kBadEncoding = 6;
constexpr std::uint8_t kBadLanguage = 7;
constexpr std::uint8_t kBadCharacter = 8;
constexpr std::uint8_t kEncrypted = 9;
constexpr std::uint8_t kDeleted = 255;

// The most a compressed frame may inflate to; larger frames count as undecodable.
constexpr std::size_t kMaxInflatedSize = 64u << 20;

// Unsynchronisation: a 0x00 goes after every 0xFF that is followed by 0x00 or a byte of at
// least 0xE0, and is taken out again on reading (also after a 0xFF at the very end).
std::string unsync(std::string_view data);
std::string undoUnsync(std::string_view data);

// zlib; inflate stops with false past `cap` bytes or on damaged data.
std::string compress(std::string_view data, int level);
bool inflate(std::string_view data, std::size_t cap, std::string& out);

}  // namespace id3v2

struct TFrame {
    bool Changed = false;
    std::uint32_t HeaderPosition = 0;
    std::uint32_t Reserved = 0;
    std::uint32_t DataPosition = 0;
    std::string FrameID;
    std::uint8_t ReadStatusFlags = 0;
    std::uint8_t DataFlags = 0;    // as read; also the state of `Data` (grouped, compressed, ...)
    std::uint8_t StatusFlags = 0;  // wanted on writing
    std::uint8_t FormatFlags = 0;  // wanted on writing
    std::uint32_t DataLength = 0;  // size of the plain data, 0 when unknown
    std::uint8_t EncryptionMethod = 0;
    std::uint8_t GroupID = 0;
    std::string Data;
    // Bytes of data that a load skipping pictures left in the file (at DataPosition from the
    // tag's start); a save reads them back first. 0 when Data holds the frame's data.
    std::uint32_t SkippedSize = 0;
};

namespace id3v2 {
// The frame's data with unsynchronisation undone and inflated; encrypted or damaged data as
// stored, unsynchronisation undone. What two frames hold alike is alike here.
std::string plainFrameData(const TFrame& f);
}  // namespace id3v2

class TFrameIndex {
public:
    int Count() const { return static_cast<int>(frames_.size()); }
    // 1-based; throws std::out_of_range "Array range out of bounds." past the list.
    TFrame& operator[](int index);
    const TFrame& operator[](int index) const;

    // Index of the new frame, or 0 when the identifier, upper-cased, is not four of A-Z, 0-9.
    int AddFrame(std::string_view frameId);
    void DeleteFrame(int index);
    void ClearFrames() { frames_.clear(); }
    // First frame with the identifier at or after `from`, or 0.
    int Find(std::string_view frameId, int from = 1) const;

    // 0 done; CompressFrame: 1 encrypted, 2 unsynchronised, -1 already compressed;
    // DecompressFrame: 1 encrypted, 2 unsynchronised, -1 not compressed, -2 length differs
    // from DataLength (data replaced), -3 damaged or too large (data kept);
    // UnsyncFrame / UndoUnsyncFrame: -1 already / not unsynchronised.
    int CompressFrame(int index, int level);
    int DecompressFrame(int index);
    int UnsyncFrame(int index);
    int UndoUnsyncFrame(int index);

private:
    std::vector<TFrame> frames_;
};

// COMM and USLT.
struct TCommentRecord {
    std::uint8_t Encoding = 0;
    std::string Language = "JPN";
    std::string Description;
    std::string Text;
};

struct TUserRecord {
    std::uint8_t Encoding = 0;
    std::string Language = "JPN";
    std::string Text;
};

// TXXX (Value is the text) and WXXX (Value is the URL).
struct TUserTextRecord {
    std::uint8_t Encoding = 0;
    std::string Description;
    std::string Value;
};

class Tid3v2tag {
public:
    std::uint8_t MajorVersion = 3;
    std::uint8_t Revision = 0;
    std::uint32_t TagSize = 0;
    std::uint8_t HeaderFlags = 0;
    std::uint8_t ExtFlags = 0;
    std::uint32_t PaddingSize = 0;
    std::uint32_t ExtHeaderSize = 0;
    std::uint32_t Crc32 = 0;
    std::uint8_t Restrictions = 0;
    std::uint16_t LoadStatus = 0;
    bool Modified = false;
    bool ReadOnly = false;
    std::string FileName;
    std::uint32_t StartOffset = 0;
    bool Loaded = true;
    std::uint8_t Progress = 0;
    std::string StatusText;
    TFrameIndex Frames;

    std::uint8_t UnusedOption = 0;
    bool AcceptRevision = true;
    bool DropUnsupportedFlags = false;
    bool DropEmptyFrames = true;
    std::uint8_t CompressionLevel = 2;
    std::uint8_t PaddingMode = 1;
    std::uint32_t PaddingUnit = 4096;
    std::uint32_t PaddingLimit = 4096;

    // SkipPictures: the data of APIC frames (cover art, often hundreds of KB) stays in the
    // file until a save needs it, for callers that only want the texts.
    [[nodiscard]] std::uint16_t LoadFromFile(const std::string& fileName, std::int64_t startOffset = 0,
                                             bool SkipPictures = false);
    // Version / revision above 254 mean the held ones; FileName "=" means the object's own file;
    // a negative offset means the held StartOffset for "=", else 0. A 128-byte `id3v1Tag` is
    // saved with the ID3v2 tag in one write (over the file's ID3v1 tag or appended): both are
    // saved or neither is.
    [[nodiscard]] std::uint16_t SaveToFile(const std::string& fileName, std::uint8_t version = 255,
                                           std::uint8_t revision = 255, std::int64_t startOffset = -1,
                                           std::string_view id3v1Tag = {});

    // Text frames: identifiers starting with "T", except "TXXX".
    std::uint8_t GetTextFrame(std::string_view frameId, std::string& text) const;
    std::uint8_t SetTextFrame(std::string_view frameId, std::string_view text);

    // `language` filters only when it is exactly three characters long.
    std::uint8_t GetComment(TCommentRecord& rec, std::string_view description, std::string_view language) const;
    std::uint8_t SetComment(const TCommentRecord& rec, std::string_view description, std::string_view language);
    std::uint8_t GetLyrics(TCommentRecord& rec, std::string_view description, std::string_view language) const;
    std::uint8_t SetLyrics(const TCommentRecord& rec, std::string_view description, std::string_view language);
    std::uint8_t GetUser(TUserRecord& rec, std::string_view language) const;
    std::uint8_t SetUser(const TUserRecord& rec, std::string_view language);
    std::uint8_t GetUserText(TUserTextRecord& rec, std::string_view description) const;
    std::uint8_t SetUserText(const TUserTextRecord& rec, std::string_view description);
    std::uint8_t GetUserUrl(TUserTextRecord& rec, std::string_view description) const;
    std::uint8_t SetUserUrl(const TUserTextRecord& rec, std::string_view description);

private:
    struct Parsed;  // one decoded COMM/USLT/USER/TXXX/WXXX frame
    std::uint8_t findRecord(std::string_view frameId, std::string_view description,
                            std::string_view language, Parsed& found, int& index) const;
    std::uint8_t storeRecord(std::string_view frameId, int index, std::uint8_t encoding,
                             std::string_view language, std::string_view description,
                             std::string_view text);
    std::uint8_t getComment(std::string_view frameId, TCommentRecord& rec, std::string_view description,
                            std::string_view language) const;
    std::uint8_t setComment(std::string_view frameId, const TCommentRecord& rec,
                            std::string_view description, std::string_view language);
    std::uint8_t getUserText(std::string_view frameId, TUserTextRecord& rec, std::string_view description) const;
    std::uint8_t setUserText(std::string_view frameId, const TUserTextRecord& rec,
                             std::string_view description);

    // Whether the tag held a Unicode text frame when it was read: new frames then take the
    // Unicode form of the version, whichever frames a save changes or deletes.
    bool readWithUnicode_ = false;
    bool holdsUnicodeText() const;

    struct Body;  // the tag body being parsed, read from the file as the parse goes
    void resetForLoad();
    std::uint16_t loadTag(int fd, std::uint64_t fileSize, std::uint64_t offset, bool skipPictures);
    // `framesEnd`: where the padding (or the body's end) begins.
    std::uint16_t parseBody(Body& body, std::uint16_t status, std::size_t& framesEnd);
    std::uint16_t parseExtendedHeader3(std::string_view body, std::uint16_t status, std::size_t& pos);
    std::uint16_t parseExtendedHeader4(std::string_view body, std::uint16_t status, std::size_t& pos);
    std::uint16_t parseFrames(Body& body, std::size_t pos, std::uint16_t status, std::size_t& framesEnd);
    // Whether the frames from `pos` follow one another up to the padding or the body's end when
    // their sizes are read as plain big-endian numbers (`plain`) or as sync-safe ones; with
    // `overDamage`, also when they lead to a frame whose damaged identifier's size leads on.
    bool framesChain(Body& body, std::size_t pos, bool plain, bool overDamage = false) const;
    std::size_t framesStart3(std::string_view body) const;
    // Whether the size field of the 10 bytes at `pos` steps over them to frames that follow one
    // another up to the padding or the body's end (a frame whose identifier is damaged).
    bool sizeLeadsOn(Body& body, std::size_t pos, bool plain) const;
    // Whether, read with sync-safe sizes from `pos`, a frame stands behind the first frame whose
    // size reads otherwise as a plain number (ID3v2.4 tags): an identifier, or a damaged one
    // whose size leads on.
    bool sizesShowSyncSafe(Body& body, std::size_t pos) const;
    // Reads back the data a load skipping pictures left in the file; false when it cannot.
    bool loadSkippedData();
    // The tag as read, kept from load to load. It grows without being cleared: a load reads
    // every byte it looks at first, and a load that skips cover art never touches the pages
    // the art would fill. Copies of the tag neither share nor copy it.
    class Scratch {
    public:
        Scratch() = default;
        Scratch(const Scratch&) {}
        Scratch& operator=(const Scratch&) { return *this; }
        char* room(std::size_t size);  // at least `size` bytes; what they held is lost
        std::size_t size() const { return size_; }
        void release() { data_.reset(), size_ = 0; }

    private:
        std::unique_ptr<char[]> data_;
        std::size_t size_ = 0;
    };
    Scratch buffer_;
    bool loadAllowsSave() const;
    // `written`: the indexes of the frames in the block, in order (empty ones are dropped).
    std::uint16_t frameBlock(int version, bool unsyncAll, std::string& frames, std::vector<int>& written,
                             std::uint16_t& status) const;
    // Whether a tag assembled for a save, read back as a load reads it, holds the frames
    // `written` in their order with the same plain data.
    bool readsBackWhole(const std::string& tag, const std::vector<int>& written) const;
    // Set by a load whose padding begins with neither zeros nor "MP3e" and holds what other
    // readers take for a frame header; no save replaces such a tag.
    bool paddingHoldsFrame_ = false;
    std::uint64_t paddingFor(std::uint64_t newSize, std::uint64_t room, std::uint64_t rest) const;
    std::uint16_t oldRoom(int fd, std::uint64_t fileSize, std::uint64_t offset, std::uint64_t& room) const;
    std::uint16_t writeTag(int fd, const std::string& fileName, std::uint8_t version,
                           std::uint8_t revision, std::uint64_t offset, std::string_view id3v1);
};
