// Reading an ID3v2.3 / ID3v2.4 tag into the frame list.
//
// The whole tag body is read at once (its size is checked against the file first, so a hostile
// header cannot make us allocate more than the file holds), into a buffer kept from load to
// load; a load for the texts alone leaves cover art (APIC) in the file until a save needs it. Every size, offset and count taken
// from the body is checked against what remains of it. Where ID3v2.3 unsynchronises the tag as
// a whole, ID3v2.4 does it per frame: a 2.4 frame keeps its unsynchronised bytes and its flag,
// and the accessors undo it. A 2.4 footer is skipped and counted as part of the tag.
#include "tags/id3v2.h"

#include "tags/MpegFrame.h"
#include "tags/ReadOnlyFile.h"
#include "tags/id3File.h"
#include "tags/id3v2Detail.h"
#include "util/SafeFile.h"

#include <algorithm>
#include <cstring>
#include <optional>

using namespace id3v2;

namespace id3v2detail {

std::uint32_t syncSafe(const unsigned char* p, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 7) | (p[i] & 0x7F);
    return v;
}

bool validHeader(std::string_view h)
{
    if (h.size() < 10 || h.substr(0, 3) != "ID3")
        return false;
    auto b = [&](int i) { return static_cast<unsigned char>(h[static_cast<std::size_t>(i)]); };
    return b(3) < 255 && b(4) < 255 && b(6) < 0x80 && b(7) < 0x80 && b(8) < 0x80 && b(9) < 0x80;
}

std::uint64_t tagRoom(std::string_view h)
{
    auto u = reinterpret_cast<const unsigned char*>(h.data());
    std::uint64_t room = 10 + std::uint64_t(syncSafe(u + 6, 4));
    if (u[3] == 4 && (u[5] & kHeaderFooter))
        room += 10;
    return room;
}

std::optional<bool> endsWithId3v1Tag(int fd, std::uint64_t fileSize)
{
    std::string head;
    if (fileSize < kId3v1Size)
        return false;
    if (!safefile::readAt(fd, fileSize - kId3v1Size, 3, head))
        return std::nullopt;
    return head == "TAG";
}

}  // namespace id3v2detail

using namespace id3v2detail;
using tags::bigEndian32;

namespace {

// A 2.3 frame's flags in the 2.4 layout.
std::uint8_t statusFlagsFrom23(std::uint8_t s) { return static_cast<std::uint8_t>((s >> 1) & 0x70); }

std::uint8_t formatFlagsFrom23(std::uint8_t f)
{
    std::uint8_t out = 0;
    if (f & 0x80)
        out |= kCompression | kDataLength;  // the decompressed size plays the data-length role
    if (f & 0x40)
        out |= kEncryption;
    if (f & 0x20)
        out |= kGrouping;
    return out;
}

// Reads the frame's extra header bytes (the order differs between the versions); false when
// they do not fit in the frame.
bool readExtras(TFrame& f, int version, const unsigned char*& p, std::uint32_t& size)
{
    auto take = [&](std::uint32_t n) {
        if (size < n)
            return false;
        size -= n;
        return true;
    };
    if (version == 3) {
        if (f.FormatFlags & kCompression) {
            if (!take(4))
                return false;
            f.DataLength = bigEndian32(p);
            p += 4;
        }
        if (f.FormatFlags & kEncryption) {
            if (!take(1))
                return false;
            f.EncryptionMethod = *p++;
        }
        if (f.FormatFlags & kGrouping) {
            if (!take(1))
                return false;
            f.GroupID = *p++;
        }
        return true;
    }
    if (f.FormatFlags & kGrouping) {
        if (!take(1))
            return false;
        f.GroupID = *p++;
    }
    if (f.FormatFlags & kEncryption) {
        if (!take(1))
            return false;
        f.EncryptionMethod = *p++;
    }
    if (f.FormatFlags & kDataLength) {
        if (!take(4))
            return false;
        f.DataLength = syncSafe(p, 4);
        p += 4;
    }
    return true;
}

// Four characters A-Z, 0-9; with `anyCase`, once upper-cased, as the frame list stores them (a
// "tpe1" of some writer is TPE1).
bool frameId(std::string_view head, bool anyCase)
{
    return head.size() >= 4 && std::all_of(head.begin(), head.begin() + 4, [&](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (anyCase && c >= 'a' && c <= 'z');
           });
}

// A tag whose size field claims more than it holds runs into what follows it. It must not
// reach into the ID3v1 tag at the end of the file (kTagPastEnd)...
std::uint16_t reachesId3v1Tag(int fd, std::uint64_t fileSize, std::uint64_t tagEnd)
{
    if (fileSize < kId3v1Size || tagEnd <= fileSize - kId3v1Size)
        return 0;
    const std::optional<bool> v1 = endsWithId3v1Tag(fd, fileSize);
    return !v1 ? id3file::kReadFailed : *v1 ? kTagPastEnd : 0;
}

// Padding runs to 64 KB and more: compared at memcmp's pace, not a byte at a time.
bool allZero(std::string_view bytes)
{
    return bytes.empty() || (bytes[0] == '\0' && std::memcmp(bytes.data(), bytes.data() + 1, bytes.size() - 1) == 0);
}

// ...nor into the audio: what counts as padding after the frames holds no MPEG frame that is
// followed by another of the same stream. Only padding that is not all zeros is searched, in
// its bytes as stored (an unsynchronised tag's padding may be longer on disk, never shorter).
bool audioInPadding(int fd, std::uint64_t fileSize, std::uint64_t bodyEnd, std::uint64_t padding)
{
    constexpr std::uint64_t kLongestFrame = 2881;  // Layer II, 160 kbit/s at 8000 Hz, padded
    const std::uint64_t from = bodyEnd - padding;
    std::string bytes;
    if (!safefile::readAt(fd, from, std::min(fileSize, bodyEnd + kLongestFrame + 4) - from, bytes))
        return true;  // what we cannot look at may be audio
    auto u = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (std::size_t pos = 0; pos < padding && pos + 4 <= bytes.size(); ++pos) {
        if (u[pos] != 0xFF || !mpeg::isValidHeader(u + pos))
            continue;
        const mpeg::FrameHeader header = mpeg::decodeHeader(u + pos);
        const auto next = pos + static_cast<std::size_t>(mpeg::frameLength(header));
        if (next > pos && next + 4 <= bytes.size() && mpeg::isValidHeader(u + next) &&
            mpeg::sameStream(header, mpeg::decodeHeader(u + next)))
            return true;
    }
    return false;
}

// Zeros or an "MP3e" block: padding.
bool isPadding(std::string_view head)
{
    return head.substr(0, 4) == "MP3e" || head.find_first_not_of('\0') == std::string_view::npos;
}

// A-Z then three of A-Z and 0-9.
bool upperIdentifier(std::string_view id)
{
    return id.size() >= 4 && id[0] >= 'A' && id[0] <= 'Z' && frameId(id, false);
}

// Whether `rest` begins with what other readers take for a frame header: an identifier of A-Z
// then three of A-Z and 0-9, a size that is not 0 and fits in `rest`, and only flag bits the
// version defines.
bool plausibleHeaderAt(std::string_view rest, int version, bool plainSizes)
{
    if (rest.size() < 10)
        return false;
    const auto* u = reinterpret_cast<const unsigned char*>(rest.data());
    const unsigned char undefinedStatus = version == 3 ? 0x1F : 0x8F, undefinedFormat = version == 3 ? 0x1F : 0xB0;
    if (!upperIdentifier(rest) || (u[8] & undefinedStatus) || (u[9] & undefinedFormat))
        return false;
    const std::uint32_t size = plainSizes ? bigEndian32(u + 4) : syncSafe(u + 4, 4);
    return size != 0 && size <= rest.size() - 10;
}

// Whether such a header stands anywhere in `bytes`.
bool holdsPlausibleHeader(std::string_view bytes, int version, bool plainSizes)
{
    for (std::size_t p = 0; p + 10 <= bytes.size(); ++p)
        if (bytes[p] >= 'A' && bytes[p] <= 'Z' && plausibleHeaderAt(bytes.substr(p), version, plainSizes))
            return true;
    return false;
}

// 0xFF before a byte of 0xE0 or above cannot stand in unsynchronised data.
bool holdsSyncSignal(std::string_view bytes)
{
    for (std::size_t at = bytes.find('\xFF'); at != std::string_view::npos && at + 1 < bytes.size();
         at = bytes.find('\xFF', at + 1))
        if (static_cast<unsigned char>(bytes[at + 1]) >= 0xE0)
            return true;
    return false;
}

}  // namespace

char* Tid3v2tag::Scratch::room(std::size_t size)
{
    if (size > size_) {
        data_ = std::make_unique_for_overwrite<char[]>(size);
        size_ = size;
    }
    return data_.get();
}

void Tid3v2tag::resetForLoad()
{
    Frames.ClearFrames();
    MajorVersion = 3;
    Revision = 0;
    TagSize = 0;
    HeaderFlags = 0;
    ExtFlags = 0;
    PaddingSize = 0;
    ExtHeaderSize = 0;
    Crc32 = 0;
    Restrictions = 0;
    StartOffset = 0;
    Modified = false;
    readWithUnicode_ = false;
    paddingHoldsFrame_ = false;
}

bool Tid3v2tag::loadAllowsSave() const
{
    // A file without a tag may get one; a tag that failed to load may not be replaced.
    return LoadStatus <= 0xFF || LoadStatus == kNoTag || LoadStatus == kOffsetPastEnd;
}

// The tag body. Whole, it is read at once; with pictures skipped, it is read from the file in
// steps as the frames are walked, and a skipped frame's data is jumped over. Either way the
// bytes stand at their own offsets in the buffer, which is sized for the whole body.
struct Tid3v2tag::Body {
    char* data = nullptr;
    std::size_t size = 0;
    int fd = -1;                 // -1: all of `data` is there
    std::uint64_t fileOffset = 0;  // of body byte 0
    std::size_t readFrom = 0, readTo = 0;  // the bytes read since the last jump
    std::size_t step = 16 * 1024;          // of the next read ahead
    std::string whole;           // bytes the body holds itself: a 2.3 body, unsynchronisation undone

    std::string_view view() const { return {data, size}; }
    // The body becomes `bytes`, all there.
    void hold(std::string bytes)
    {
        whole = std::move(bytes);
        data = whole.data();
        size = whole.size();
    }

    // Makes [pos, pos + count) of the body available; false on a read error.
    bool ensure(std::size_t pos, std::size_t count)
    {
        if (fd < 0 || (pos >= readFrom && pos + count <= readTo))
            return true;
        // Small steps: the frames that hold texts are small, and a picture's data is skipped.
        // Behind a jump over a picture the frames left are few (often none before the padding):
        // the steps start small there and grow while frames follow.
        constexpr std::size_t kFirstStep = 4 * 1024, kLargestStep = 16 * 1024;
        if (pos < readFrom || pos > readTo) {
            readFrom = readTo = pos;
            step = kFirstStep;
        }
        const std::size_t to = std::min(size, std::max(pos + count, readTo + step));
        if (!safefile::readInto(fd, fileOffset + readTo, data + readTo, to - readTo))
            return false;
        readTo = to;
        step = std::min(step * 2, kLargestStep);
        return true;
    }

    // Whether [pos, size) holds only zeros; `failed` on a read error. What is not read yet is
    // looked at through a small buffer instead of the body's own: the padding is only looked
    // at, and the far end of a large body's buffer would be cold memory.
    bool zeroFrom(std::size_t pos, bool& failed)
    {
        failed = false;
        if (fd < 0 || pos < readFrom) {
            failed = !ensure(pos, size - pos);
            return !failed && allZero(view().substr(pos));
        }
        const std::size_t inBody = std::min(size, std::max(pos, readTo));
        if (!allZero(std::string_view(data + pos, inBody - pos)))
            return false;
        char piece[32 * 1024];
        for (std::size_t at = inBody; at < size;) {
            const std::size_t n = std::min(sizeof piece, size - at);
            if (!safefile::readInto(fd, fileOffset + at, piece, n)) {
                failed = true;
                return false;
            }
            if (!allZero(std::string_view(piece, n)))
                return false;
            at += n;
        }
        return true;
    }
};

std::uint16_t Tid3v2tag::LoadFromFile(const std::string& fileName, std::int64_t startOffset,
                                      bool SkipPictures)
{
    resetForLoad();
    Loaded = false;
    std::uint16_t status = [&]() -> std::uint16_t {
        tags::RecentFd fd(fileName);
        if (!fd.valid())
            return id3file::kOpenFailed;
        const struct stat& st = fd.status();
        ReadOnly = id3file::isReadOnly(st);
        const auto size = static_cast<std::uint64_t>(st.st_size);
        auto offset = static_cast<std::uint64_t>(static_cast<std::uint32_t>(startOffset));
        if (size <= offset)
            return kOffsetPastEnd;
        FileName = fileName;
        return loadTag(fd.get(), size, offset, SkipPictures);
    }();
    // One tag's room is kept for the next load; a huge one is given back.
    constexpr std::size_t kKeptBuffer = 4 << 20;
    if (buffer_.size() > kKeptBuffer)
        buffer_.release();
    LoadStatus = status;
    // Half a tag is never handed on, except the frames before a damaged identifier: they are
    // shown, and the status refuses every save of the tag.
    if (status > 0xFF && status != kBadFrameId)
        Frames.ClearFrames();
    readWithUnicode_ = holdsUnicodeText();
    return status;
}

std::uint16_t Tid3v2tag::loadTag(int fd, std::uint64_t fileSize, std::uint64_t offset, bool skipPictures)
{
    Progress = 0;
    StatusText = "Loading tag";
    if (fileSize - offset < 10)
        return kNoTag;
    // The header and, in the same read, what is likely the whole tag of a file without art
    // (the texts of most tags take a kilobyte or two).
    constexpr std::size_t kFirstRead = 4 * 1024;
    const auto first = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize - offset, kFirstRead));
    if (!safefile::readInto(fd, offset, buffer_.room(first), first))
        return id3file::kReadFailed;
    const std::string_view header(buffer_.room(first), 10);
    if (!validHeader(header))
        return kNoTag;
    MajorVersion = static_cast<std::uint8_t>(header[3]);
    Revision = static_cast<std::uint8_t>(header[4]);
    StartOffset = static_cast<std::uint32_t>(offset);
    if (MajorVersion != 3 && MajorVersion != 4)
        return kBadVersion;
    std::uint16_t status = 0;
    if (Revision != 0) {
        if (!AcceptRevision)
            return kBadRevision;
        status |= kRevisionNotZero;
    }

    HeaderFlags = static_cast<std::uint8_t>(header[5]);
    if (HeaderFlags & (MajorVersion == 3 ? 0x1F : 0x0F))
        status |= kUnknownHeaderFlags;
    TagSize = syncSafe(reinterpret_cast<const unsigned char*>(header.data()) + 6, 4);
    const std::uint64_t room = tagRoom(header);
    if (fileSize - offset < room)
        return kTagPastEnd;
    if (std::uint16_t failure = reachesId3v1Tag(fd, fileSize, offset + room); failure)
        return failure;
    // The size is checked against the file above, so a hostile header cannot make us
    // allocate more than the file holds.
    // The first read stays where it is when the room grows.
    if (buffer_.size() < std::size_t(TagSize) + 10) {
        const std::string kept(buffer_.room(first), first);
        std::memcpy(buffer_.room(std::size_t(TagSize) + 10), kept.data(), first);
    }
    Body body;
    body.data = buffer_.room(std::size_t(TagSize) + 10) + 10;
    body.size = TagSize;
    const std::size_t inFirst = std::min<std::size_t>(first - 10, TagSize);
    const bool unsyncAll = MajorVersion == 3 && (HeaderFlags & kHeaderUnsync);
    if (skipPictures && !unsyncAll) {
        body.fd = fd;
        body.fileOffset = offset + 10;
        body.readTo = inFirst;
    } else if (!safefile::readInto(fd, offset + first, body.data + inFirst, TagSize - inFirst)) {
        return id3file::kReadFailed;
    }
    std::size_t framesEnd = 0;
    status = parseBody(body, status, framesEnd);
    if (status > 0xFF)
        return status;
    bool failed = false;
    const bool zeroPadding = body.zeroFrom(framesEnd, failed);
    if (failed)
        return id3file::kReadFailed;
    if (!zeroPadding && audioInPadding(fd, fileSize, offset + 10 + TagSize, body.size - framesEnd))
        return kMalformed;
    // A net under the reader: padding that begins with leftovers and still holds a frame header
    // is a frame a save would drop.
    if (!zeroPadding) {
        if (!body.ensure(framesEnd, body.size - framesEnd))
            return id3file::kReadFailed;
        const std::string_view padding = body.view().substr(framesEnd);
        paddingHoldsFrame_ = !isPadding(padding.substr(0, 10)) &&
                             (holdsPlausibleHeader(padding, MajorVersion, true) ||
                              (MajorVersion == 4 && holdsPlausibleHeader(padding, MajorVersion, false)));
    }
    Loaded = true;
    Progress = 100;
    StatusText = "Load Complete";
    return status;
}

std::uint16_t Tid3v2tag::parseBody(Body& body, std::uint16_t status, std::size_t& framesEnd)
{
    framesEnd = body.size;
    std::optional<Body> other;  // the reading other readers take, where it is not ours
    if (MajorVersion == 3 && (HeaderFlags & kHeaderUnsync)) {
        // Some writers set the flag over frames stored plainly. Undoing it there takes zeros out
        // of the frames' data (a PNG's, say), and the frames behind shift and are lost. Such a
        // body is read as stored when its frames follow one another so (over a damaged frame
        // too) and it holds what unsynchronised data never does, 0xFF before a byte of 0xE0 or
        // above, or when only the stored reading leads through its frames; and when neither
        // reading leads through, a body that cannot be unsynchronised is read as stored too.
        Body undone;
        undone.hold(undoUnsync(body.view()));
        const bool storedRuns = framesChain(body, framesStart3(body.view()), true, true);
        const bool undoneRuns = framesChain(undone, framesStart3(undone.view()), true, true);
        const bool undoable = !holdsSyncSignal(body.view());
        const bool undo = storedRuns ? undoneRuns && undoable : undoneRuns || undoable;
        // Other readers undo the flag exactly when the body can be undone. Where we read the
        // body the other way, it is read their way too, and when the two disagree on any
        // frame the tag is shown but not saved: a save would drop or change what they find.
        if (undo != undoable) {
            other.emplace();
            if (undo) {
                other->data = body.data;
                other->size = body.size;
            } else {
                other->hold(undone.whole);
            }
        }
        if (undo)
            body.hold(std::move(undone.whole));
    }
    std::size_t pos = 0;
    if (HeaderFlags & kHeaderExtended) {
        // An extended header's fields lie in its first few hundred bytes.
        if (!body.ensure(0, std::min<std::size_t>(body.size, 512)))
            return id3file::kReadFailed;
        status = MajorVersion == 3 ? parseExtendedHeader3(body.view(), status, pos)
                                   : parseExtendedHeader4(body.view(), status, pos);
        if (status > 0xFF)
            return status;
    }
    Modified = false;
    const std::uint16_t result = parseFrames(body, pos, status, framesEnd);
    if (!other || result > 0xFF)
        return result;
    Tid3v2tag theirs;
    theirs.MajorVersion = MajorVersion;
    theirs.HeaderFlags = HeaderFlags;
    std::size_t theirPos = 0, theirEnd = 0;
    std::uint16_t theirStatus = 0;
    if (HeaderFlags & kHeaderExtended)
        theirStatus = theirs.parseExtendedHeader3(other->view(), 0, theirPos);
    if (theirStatus <= 0xFF)
        theirs.parseFrames(*other, theirPos, theirStatus, theirEnd);
    bool same = theirs.Frames.Count() == Frames.Count();
    for (int i = 1; same && i <= Frames.Count(); ++i)
        same = theirs.Frames[i].FrameID == Frames[i].FrameID && theirs.Frames[i].Data == Frames[i].Data;
    return same ? result : kBadFrameId;
}

// size (4, not counting itself), flags (2), padding size (4), CRC (4) when flagged
std::uint16_t Tid3v2tag::parseExtendedHeader3(std::string_view body, std::uint16_t status, std::size_t& pos)
{
    auto u = reinterpret_cast<const unsigned char*>(body.data());
    if (body.size() < 10)
        return kMalformed;
    ExtHeaderSize = bigEndian32(u);
    if (ExtHeaderSize < 6 || ExtHeaderSize > body.size() - 4)
        return kMalformed;
    const bool crc = u[4] & 0x80;
    if ((u[4] & 0x7F) || u[5])
        status |= kUnknownExtFlags;
    PaddingSize = bigEndian32(u + 6);
    if (crc && ExtHeaderSize >= 10)
        Crc32 = bigEndian32(u + 10);
    ExtFlags = crc ? kExtCrc : 0;
    pos = 4 + ExtHeaderSize;
    return status;
}

// sync-safe size (counting itself), flag-byte count, flags, then each set flag's data behind a
// length byte
std::uint16_t Tid3v2tag::parseExtendedHeader4(std::string_view body, std::uint16_t status, std::size_t& pos)
{
    auto u = reinterpret_cast<const unsigned char*>(body.data());
    if (body.size() < 6)
        return kMalformed;
    ExtHeaderSize = syncSafe(u, 4);
    const unsigned flagBytes = u[4];
    if (ExtHeaderSize < 6 || ExtHeaderSize > body.size() || flagBytes == 0 || 5u + flagBytes > ExtHeaderSize)
        return kMalformed;
    const std::uint8_t flags = u[5];
    if (flagBytes > 1 || (flags & 0x8F))
        status |= kUnknownExtFlags;
    ExtFlags = flags & (kExtUpdate | kExtCrc | kExtRestrictions);
    PaddingSize = 0;
    std::size_t p = 5 + flagBytes;
    const unsigned char* at = nullptr;
    auto data = [&](std::size_t minLength) {
        if (p >= ExtHeaderSize || u[p] < minLength || p + 1 + u[p] > ExtHeaderSize)
            return false;
        at = u + p + 1;
        p += 1 + u[p];
        return true;
    };
    if ((flags & kExtUpdate) && !data(0))
        return kMalformed;
    if (flags & kExtCrc) {
        if (!data(5))
            return kMalformed;
        Crc32 = static_cast<std::uint32_t>((std::uint64_t(at[0] & 0x7F) << 28) | syncSafe(at + 1, 4));
    }
    if (flags & kExtRestrictions) {
        if (!data(1))
            return kMalformed;
        Restrictions = at[0];
    }
    pos = ExtHeaderSize;
    return status;
}

// Where the frames of a 2.3 body begin: behind its extended header, when it has one.
std::size_t Tid3v2tag::framesStart3(std::string_view body) const
{
    if (!(HeaderFlags & kHeaderExtended) || body.size() < 4)
        return 0;
    const std::uint32_t size = bigEndian32(reinterpret_cast<const unsigned char*>(body.data()));
    return std::min<std::size_t>(body.size(), 4 + std::size_t(size));
}

bool Tid3v2tag::framesChain(Body& body, std::size_t pos, bool plain, bool overDamage) const
{
    while (pos < body.size) {
        const std::size_t left = body.size - pos;
        if (!body.ensure(pos, std::min<std::size_t>(10, left)))
            return false;
        const std::string_view head(body.data + pos, std::min<std::size_t>(10, left));
        // Padding begins with a zero, whatever bits a disk flipped behind it.
        if (isPadding(head) || head[0] == '\0')
            return true;
        if (overDamage && !frameId(head, true))
            return sizeLeadsOn(body, pos, plain);
        if (!frameId(head, true) || left <= 10)
            return false;
        const auto* p = reinterpret_cast<const unsigned char*>(head.data());
        const std::uint32_t size = plain ? bigEndian32(p + 4) : syncSafe(p + 4, 4);
        if (size > left - 10)
            return false;
        pos += 10 + size;
    }
    return true;
}

bool Tid3v2tag::sizesShowSyncSafe(Body& body, std::size_t pos) const
{
    while (pos < body.size && body.size - pos > 10) {
        if (!body.ensure(pos, 10))
            return false;
        const std::string_view head(body.data + pos, 10);
        if (isPadding(head) || !frameId(head, true))
            return false;
        const auto* p = reinterpret_cast<const unsigned char*>(head.data());
        const std::uint32_t size = syncSafe(p + 4, 4);
        if (size > body.size - pos - 10)
            return false;
        pos += 10 + size;
        if (size != bigEndian32(p + 4))
            return body.size - pos >= 10 && body.ensure(pos, 10) &&
                   (upperIdentifier(body.view().substr(pos, 4)) || sizeLeadsOn(body, pos, false));
    }
    return false;
}

bool Tid3v2tag::sizeLeadsOn(Body& body, std::size_t pos, bool plain) const
{
    if (body.size - pos <= 10 || !body.ensure(pos, 10))
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(body.data + pos);
    const std::uint32_t size = plain ? bigEndian32(p + 4) : syncSafe(p + 4, 4);
    if (size == 0 || size > body.size - pos - 10)
        return false;
    // Landing right on an identifier is as good a sign as frames that run on (that frame's own
    // size may be what is damaged).
    const std::size_t next = pos + 10 + size;
    return framesChain(body, next, plain) ||
           (body.size - next >= 4 && body.ensure(next, 4) && upperIdentifier(body.view().substr(next, 4)));
}

std::uint16_t Tid3v2tag::parseFrames(Body& body, std::size_t start, std::uint16_t status, std::size_t& framesEnd)
{
    const bool v3 = MajorVersion == 3;
    const bool skipping = body.fd >= 0;
    const std::size_t end = body.size;
    // Bytes at `pos` that are neither a frame header nor padding are a frame with a damaged
    // identifier when their size field steps over them to frames that run on to the padding or
    // the tag's end, or when anything behind them looks like a frame header to other readers:
    // those frames are the file's, and a save that took them for padding would drop them.
    // Leftovers that hold no such header stay padding. (Padding that begins with zeros or
    // "MP3e" is padding whatever follows.)
    auto damagedFrame = [&](std::size_t pos, bool plainSizes) {
        return sizeLeadsOn(body, pos, plainSizes) || holdsPlausibleHeader(body.view().substr(pos), MajorVersion, plainSizes);
    };
    // clean: the frames end at padding or at the body's end, not at junk.
    auto parse = [&](bool plainSizes, bool& clean) -> std::uint16_t {
        std::uint16_t result = status;
        std::size_t pos = start;
        framesEnd = end;
        Frames.ClearFrames();
        while (pos < end) {
            const std::size_t left = end - pos;
            if (!body.ensure(pos, std::min<std::size_t>(10, left)))
                return id3file::kReadFailed;
            std::string_view head(body.data + pos, std::min<std::size_t>(10, left));
            Progress = static_cast<std::uint8_t>(std::min<std::uint64_t>(99, (pos + 10) * 100 / (std::uint64_t(TagSize) + 10)));
            // Bytes that cannot start a frame end the frames as padding does: some writers leave
            // junk there, and every frame before it is sound. Lower-case letters start a frame
            // only where the frames run on from there: leftover text in the padding has them too.
            const bool frameHead =
                frameId(head, false) || (frameId(head, true) && framesChain(body, pos, plainSizes));
            if (isPadding(head) || !frameHead) {
                clean = isPadding(head);
                if (!clean && !body.ensure(pos, left))
                    return id3file::kReadFailed;
                if (!clean && damagedFrame(pos, plainSizes)) {
                    framesEnd = pos;
                    return kBadFrameId;
                }
                auto padding = static_cast<std::uint32_t>(left);
                if (v3 && PaddingSize != 0 && PaddingSize != padding)
                    result |= kPaddingDiffers;
                else
                    PaddingSize = padding;
                framesEnd = pos;
                break;
            }
            if (left <= 10)
                return kMalformed;  // a frame header cut short, or one with no room for data
            TFrame& f = Frames[Frames.AddFrame(head.substr(0, 4))];
            auto u = reinterpret_cast<const unsigned char*>(body.data);
            const unsigned char* p = u + pos;
            std::uint32_t size = plainSizes ? bigEndian32(p + 4) : syncSafe(p + 4, 4);
            if (size > left - 10)
                return kMalformed;
            const bool skip = skipping && f.FrameID == "APIC";
            // A skipped frame's extra header bytes (at most 6) are read all the same.
            if (!body.ensure(pos, 10 + (skip ? std::min<std::uint32_t>(size, 6) : size)))
                return id3file::kReadFailed;
            f.HeaderPosition = static_cast<std::uint32_t>(pos + 10);
            f.StatusFlags = v3 ? statusFlagsFrom23(p[8]) : static_cast<std::uint8_t>(p[8] & 0x70);
            f.FormatFlags = v3 ? formatFlagsFrom23(p[9]) : static_cast<std::uint8_t>(p[9] & 0x4F);
            if (!v3 && (HeaderFlags & kHeaderUnsync))
                f.FormatFlags |= kUnsync;  // the header's flag stands for every frame
            f.ReadStatusFlags = f.StatusFlags;
            f.DataFlags = f.FormatFlags;
            p += 10;
            if (!readExtras(f, MajorVersion, p, size))
                return kMalformed;
            f.DataPosition = static_cast<std::uint32_t>(p - u + 10);
            if (skip)
                f.SkippedSize = size;
            else
                f.Data.assign(reinterpret_cast<const char*>(p), size);
            f.Changed = false;
            pos = static_cast<std::size_t>(p - u) + size;
        }
        return result;
    };
    bool clean = true;
    const std::uint16_t result = parse(v3, clean);
    // Some writers put ID3v2.3's plain frame sizes into ID3v2.4 tags. Read as sync-safe, a frame
    // of 128 bytes or more then ends inside its own data, and the frames behind it would be lost
    // (and dropped by the next save). Plain sizes are taken when only they lead cleanly through
    // the frames, and no frame stands where the sync-safe reading of the first frame whose
    // size the two read otherwise ends: there the sizes are sync-safe, and the plain reading
    // would swallow the frame behind into the one before.
    if (v3 || (clean && result != kMalformed) || sizesShowSyncSafe(body, start) || !framesChain(body, start, true))
        return result;
    return parse(true, clean);
}

bool Tid3v2tag::readsBackWhole(const std::string& tag, const std::vector<int>& written) const
{
    Tid3v2tag back;
    back.MajorVersion = static_cast<std::uint8_t>(tag[3]);
    back.HeaderFlags = static_cast<std::uint8_t>(tag[5]);
    back.TagSize = static_cast<std::uint32_t>(tag.size() - 10);
    Body body;
    body.hold(tag.substr(10));
    std::size_t framesEnd = 0;
    if (back.parseBody(body, 0, framesEnd) > 0xFF || back.Frames.Count() != static_cast<int>(written.size()))
        return false;
    for (std::size_t k = 0; k < written.size(); ++k) {
        const TFrame& given = Frames[written[k]];
        const TFrame& read = back.Frames[static_cast<int>(k) + 1];
        if (read.FrameID != given.FrameID || plainFrameData(read) != plainFrameData(given))
            return false;
    }
    return true;
}

bool Tid3v2tag::loadSkippedData()
{
    bool any = false;
    for (int i = 1; i <= Frames.Count() && !any; ++i)
        any = Frames[i].SkippedSize != 0;
    if (!any)
        return true;
    tags::RecentFd fd(FileName);
    if (!fd.valid())
        return false;
    for (int i = 1; i <= Frames.Count(); ++i) {
        TFrame& f = Frames[i];
        if (f.SkippedSize == 0)
            continue;
        if (!safefile::readAt(fd.get(), std::uint64_t(StartOffset) + f.DataPosition, f.SkippedSize, f.Data))
            return false;
        f.SkippedSize = 0;
    }
    return true;
}
