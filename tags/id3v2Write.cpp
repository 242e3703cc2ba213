// Writing the frame list as an ID3v2.3 / ID3v2.4 tag at the start offset of an existing file.
//
// The frames are brought into the form their flags ask for in copies, so a failing save leaves
// the object as it was. The old tag's extent is decided once, by reading it as a load does,
// before anything is written. The tag is assembled in memory; when it has exactly the size of
// the old tag's room (and an ID3v1 tag saved with it replaces one) it overwrites that room in
// place (nothing else of the file is touched), otherwise the file is rewritten through a
// temporary file, with the ID3v1 tag, and renamed over the original.
//
// Where we differ from a literal reading of the format's older writers: ID3v2.3 tags are
// unsynchronised as a whole after assembly (frame sizes count the bytes before
// unsynchronisation, as readers expect), and the CRC-32 is the standard one over the frames.
#include "tags/id3v2.h"

#include "tags/id3File.h"
#include "tags/id3v2Detail.h"
#include "util/SafeFile.h"

#include <optional>
#include <unistd.h>
#include <zlib.h>

using namespace id3v2;

namespace {

constexpr std::uint64_t kMaxTagBody = 0x0FFFFFFF;

void putBigEndian32(std::string& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void putSyncSafe(std::string& out, std::uint32_t v)
{
    for (int shift = 21; shift >= 0; shift -= 7)
        out += static_cast<char>((v >> shift) & 0x7F);
}

std::uint8_t statusFlagsTo23(std::uint8_t s) { return static_cast<std::uint8_t>((s << 1) & 0xE0); }

std::uint8_t formatFlagsTo23(std::uint8_t f)
{
    return static_cast<std::uint8_t>(((f & kCompression) ? 0x80 : 0) | ((f & kEncryption) ? 0x40 : 0) |
                                     ((f & kGrouping) ? 0x20 : 0));
}

struct WriterOptions {
    int version;
    bool unsyncAll;
    bool dropUnsupported;
    bool dropEmpty;
    int level;
};

// Brings one frame (a copy) into the form its flags ask for. Returns a failure status, or 0;
// `skip` is set for a frame that is not written.
std::uint16_t prepareFrame(TFrame& f, const WriterOptions& o, std::uint16_t& status, bool& skip)
{
    skip = false;
    if (o.version == 4 && o.unsyncAll)
        f.FormatFlags |= kUnsync;
    if (o.version == 3)
        f.FormatFlags &= static_cast<std::uint8_t>(~kUnsync);  // the whole tag is done instead
    if (o.dropEmpty) {
        if (f.FormatFlags & kCompression)
            f.FormatFlags |= kDataLength;
        if (f.Data.empty()) {
            skip = true;
            return 0;
        }
    }
    // Encryption and grouping cannot be applied or removed here.
    for (auto [bit, failure] : {std::pair{kEncryption, kEncryptionChange}, std::pair{kGrouping, kGroupingChange}}) {
        if (!((f.FormatFlags ^ f.DataFlags) & bit))
            continue;
        if (!o.dropUnsupported)
            return failure;
        f.FormatFlags = static_cast<std::uint8_t>((f.FormatFlags & ~bit) | (f.DataFlags & bit));
        status |= kFlagDropped;
    }

    std::string d = (f.DataFlags & kUnsync) ? undoUnsync(f.Data) : f.Data;
    const bool held = f.DataFlags & kCompression;
    if (f.DataFlags & kEncryption) {
        // Encrypted bytes stay as they are, compressed or not.
        f.FormatFlags = static_cast<std::uint8_t>((f.FormatFlags & ~kCompression) | (f.DataFlags & kCompression));
        if (o.version == 4 && (f.FormatFlags & kDataLength) && f.DataLength == 0) {
            if (!o.dropUnsupported)
                return kNoDataLength;
            f.FormatFlags &= static_cast<std::uint8_t>(~kDataLength);
            status |= kFlagDropped;
        }
    } else {
        const bool want = f.FormatFlags & kCompression;
        std::string plain;
        if (held && !inflate(d, kMaxInflatedSize, plain))
            return kMalformed;  // damaged compressed data cannot be carried on with a true length
        if (!held)
            plain = d;
        f.DataLength = static_cast<std::uint32_t>(plain.size());
        if (!want)
            d = std::move(plain);
        else if (!held)
            d = compress(plain, o.level);
    }
    if (o.version == 4 && (f.FormatFlags & kUnsync))
        d = unsync(d);
    f.Data = std::move(d);
    f.DataFlags = f.FormatFlags & (kGrouping | kCompression | kEncryption | kUnsync);
    return 0;
}

std::string frameBytes(const TFrame& f, int version)
{
    std::string extras;
    if (version == 3) {
        if (f.FormatFlags & kCompression)
            putBigEndian32(extras, f.DataLength);
        if (f.FormatFlags & kEncryption)
            extras += static_cast<char>(f.EncryptionMethod);
        if (f.FormatFlags & kGrouping)
            extras += static_cast<char>(f.GroupID);
    } else {
        if (f.FormatFlags & kGrouping)
            extras += static_cast<char>(f.GroupID);
        if (f.FormatFlags & kEncryption)
            extras += static_cast<char>(f.EncryptionMethod);
        if (f.FormatFlags & kDataLength)
            putSyncSafe(extras, f.DataLength);
    }
    std::string out = f.FrameID;
    auto size = static_cast<std::uint32_t>(std::min<std::size_t>(extras.size() + f.Data.size(), UINT32_MAX));
    if (version == 3) {
        putBigEndian32(out, size);
        out += static_cast<char>(statusFlagsTo23(f.StatusFlags));
        out += static_cast<char>(formatFlagsTo23(f.FormatFlags));
    } else {
        putSyncSafe(out, size);
        out += static_cast<char>(f.StatusFlags & 0x70);
        out += static_cast<char>(f.FormatFlags & 0x4F);
    }
    return out + extras + f.Data;
}

// Where an ID3v1 tag behind the ID3v2 tag starts, or the file size when there is none.
std::optional<std::uint64_t> id3v1Start(int fd, std::uint64_t fileSize, std::uint64_t tagEnd)
{
    using id3v2detail::kId3v1Size;
    if (fileSize < kId3v1Size || fileSize - kId3v1Size < tagEnd)
        return fileSize;
    const std::optional<bool> v1 = id3v2detail::endsWithId3v1Tag(fd, fileSize);
    if (!v1)
        return std::nullopt;
    return *v1 ? fileSize - kId3v1Size : fileSize;
}

struct ExtendedHeader {
    bool present = false;
    std::uint8_t flags = 0;  // ID3v2.4 layout
    std::uint32_t crc = 0;
    std::uint8_t restrictions = 0;
};

std::string extendedHeaderBytes(int version, const ExtendedHeader& e, std::uint32_t padding)
{
    std::string ext;
    if (!e.present)
        return ext;
    const bool crc = e.flags & kExtCrc;
    if (version == 3) {
        putBigEndian32(ext, crc ? 10 : 6);
        ext += static_cast<char>(crc ? 0x80 : 0);
        ext += '\0';
        putBigEndian32(ext, padding);
        if (crc)
            putBigEndian32(ext, e.crc);
        return ext;
    }
    std::string data;
    if (e.flags & kExtUpdate)
        data += '\0';
    if (crc) {
        data += '\5';
        data += static_cast<char>((e.crc >> 28) & 0x0F);
        putSyncSafe(data, e.crc & 0x0FFFFFFF);
    }
    if (e.flags & kExtRestrictions) {
        data += '\1';
        data += static_cast<char>(e.restrictions);
    }
    putSyncSafe(ext, static_cast<std::uint32_t>(6 + data.size()));
    ext += '\1';
    ext += static_cast<char>(e.flags);
    return ext + data;
}

// Where the new tags go: the old ID3v2 tag's room at `offset`, and the ID3v1 tag's place.
struct Placement {
    std::uint64_t fileSize = 0;
    std::uint64_t offset = 0;
    std::uint64_t room = 0;
    std::uint64_t id3v1At = 0;  // a trailing ID3v1 tag's start, else the file size
};

// Puts the finished tags into the file: in place when the ID3v2 tag fills the old room exactly
// and the file keeps its size, else through a temporary file that takes the bytes around the
// old tags. In place, a failed write is undone as far as the disk lets us.
bool placeTags(int fd, const std::string& fileName, const Placement& at, const std::string& tag,
               std::string_view id3v1)
{
    const bool v1InPlace = id3v1.empty() || at.id3v1At < at.fileSize;
    if (tag.size() == at.room && v1InPlace) {
        std::string oldTag, oldV1;
        if (!safefile::readAt(fd, at.offset, at.room, oldTag) ||
            (!id3v1.empty() && !safefile::readAt(fd, at.id3v1At, id3v1.size(), oldV1)))
            return false;
        if (safefile::writeAt(fd, at.offset, tag) && (id3v1.empty() || safefile::writeAt(fd, at.id3v1At, id3v1)) &&
            safefile::flushInPlace(fd))
            return true;
        (void)safefile::writeAt(fd, at.offset, oldTag);
        (void)safefile::writeAt(fd, at.id3v1At, oldV1);
        return false;
    }
    const std::uint64_t tail = at.offset + at.room;
    const std::uint64_t tailEnd = id3v1.empty() ? at.fileSize : at.id3v1At;
    return safefile::replaceFile(fileName, [&](int out) {
        return safefile::copyRange(fd, 0, at.offset, out) && safefile::writeAll(out, tag) &&
               safefile::copyRange(fd, tail, tailEnd - tail, out) && safefile::writeAll(out, id3v1);
    });
}

}  // namespace

// All frames as they will be written, each in the form its flags ask for.
std::uint16_t Tid3v2tag::frameBlock(int version, bool unsyncAll, std::string& frames, std::vector<int>& written,
                                    std::uint16_t& status) const
{
    WriterOptions o{version, unsyncAll, DropUnsupportedFlags, DropEmptyFrames, CompressionLevel};
    for (int i = 1; i <= Frames.Count(); ++i) {
        TFrame f = Frames[i];
        bool skip = false;
        if (std::uint16_t failure = prepareFrame(f, o, status, skip); failure)
            return failure;
        if (!skip) {
            frames += frameBytes(f, version);
            written.push_back(i);
        }
        if (frames.size() > kMaxTagBody)
            return kTagTooLarge;
    }
    return frames.empty() ? kNoFrames : 0;
}

// The room of the tag now at `offset`, decided by reading it as a load would: 0 when there is
// none. A tag we could not read is never replaced, nor one whose size field runs past the end
// of the file, into its ID3v1 tag or into the audio (the load's failure status).
std::uint16_t Tid3v2tag::oldRoom(int fd, std::uint64_t fileSize, std::uint64_t offset, std::uint64_t& room) const
{
    room = 0;
    std::string head;
    if (fileSize - offset < 3)
        return 0;
    if (!safefile::readAt(fd, offset, 3, head))
        return id3file::kReadFailed;
    if (head != "ID3")
        return 0;
    Tid3v2tag old;
    const std::uint16_t status = old.loadTag(fd, fileSize, offset, true);
    if (status > 0xFF)
        return status == kNoTag ? kMalformed : status;
    if (old.paddingHoldsFrame_)
        return kBadFrameId;
    std::string header;
    if (!safefile::readAt(fd, offset, 10, header))
        return id3file::kReadFailed;
    room = id3v2detail::tagRoom(header);
    return 0;
}

std::uint64_t Tid3v2tag::paddingFor(std::uint64_t newSize, std::uint64_t room, std::uint64_t rest) const
{
    if (PaddingMode == 0)
        return PaddingSize;
    if (PaddingMode == 1 && newSize <= room && PaddingLimit < PaddingUnit)
        return room - newSize;
    return PaddingUnit == 0 ? 0 : PaddingUnit - (rest + newSize) % PaddingUnit;
}

std::uint16_t Tid3v2tag::writeTag(int fd, const std::string& fileName, std::uint8_t version,
                                  std::uint8_t revision, std::uint64_t offset, std::string_view id3v1)
{
    const int ver = version > 254 ? MajorVersion : version;
    const int rev = revision > 254 ? Revision : revision;
    if (ver != 3 && ver != 4)
        return kBadVersion;
    if (rev != 0)
        return kBadRevision;
    if (Frames.Count() == 0)
        return kNoFrames;
    Progress = 0;
    StatusText = "Preparing tag";
    auto fileSize = id3file::fileSize(fd);
    if (!fileSize)
        return id3file::kReadFailed;
    if (*fileSize < offset)
        return kOffsetPastEnd;
    Placement at{*fileSize, offset, 0, *fileSize};
    if (std::uint16_t failure = oldRoom(fd, *fileSize, offset, at.room); failure)
        return failure;
    const std::uint64_t room = at.room;
    if (!id3v1.empty()) {
        auto v1 = id3v1Start(fd, *fileSize, offset + room);
        if (!v1)
            return id3file::kReadFailed;
        at.id3v1At = *v1;
    }

    bool unsyncAll = HeaderFlags & kHeaderUnsync;
    for (int i = 1; i <= Frames.Count(); ++i)
        unsyncAll = unsyncAll || (Frames[i].FormatFlags & kUnsync);
    std::uint16_t status = 0;
    std::string frames;
    std::vector<int> written;
    if (std::uint16_t failure = frameBlock(ver, unsyncAll, frames, written, status); failure)
        return failure;
    Progress = 10;

    ExtendedHeader ext;
    ext.flags = ExtFlags & (ver == 3 ? kExtCrc : kExtUpdate | kExtCrc | kExtRestrictions);
    ext.present = (HeaderFlags & kHeaderExtended) || ext.flags;
    ext.restrictions = Restrictions;
    if (ext.flags & kExtCrc) {
        StatusText = "Calculating CRC-32";
        ext.crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(frames.data()), static_cast<uInt>(frames.size())));
    }
    // What follows the header; an ID3v2.3 tag is unsynchronised as a whole, the padding aside.
    auto bodyWith = [&](std::uint64_t padding) {
        std::string body = extendedHeaderBytes(ver, ext, static_cast<std::uint32_t>(padding)) + frames;
        if (ver == 3 && unsyncAll) {
            body = unsync(body);
            if (!body.empty() && static_cast<unsigned char>(body.back()) == 0xFF)
                body += '\0';
        }
        return body;
    };
    // A 2.3 extended header holds the padding size, and unsynchronisation may change its length:
    // settle on a padding whose body agrees with it.
    const std::uint64_t rest = at.id3v1At - room + id3v1.size();  // the file but the ID3v2 tag
    std::uint64_t padding = paddingFor(10 + bodyWith(0).size(), room, rest);
    std::string body = bodyWith(padding);
    for (int round = 0; round < 3 && paddingFor(10 + body.size(), room, rest) != padding; ++round) {
        padding = paddingFor(10 + body.size(), room, rest);
        body = bodyWith(padding);
    }
    if (body.size() + padding > kMaxTagBody)
        return kTagTooLarge;

    std::uint8_t headerFlags = HeaderFlags & kHeaderExperimental;
    headerFlags |= (unsyncAll ? kHeaderUnsync : 0) | (ext.present ? kHeaderExtended : 0);
    const auto bodySize = static_cast<std::uint32_t>(body.size() + padding);
    std::string tag = "ID3";
    tag += static_cast<char>(ver);
    tag += static_cast<char>(rev);
    tag += static_cast<char>(headerFlags);
    putSyncSafe(tag, bodySize);
    tag += body;
    tag.resize(10 + bodySize, '\0');
    // A net under the writer: a tag that would not give back every frame it was given, with
    // the same data, is not written.
    if (!readsBackWhole(tag, written))
        return kMalformed;

    StatusText = tag.size() == room ? "Writing new tag" : "Re-positioning audio data";
    if (!placeTags(fd, fileName, at, tag, id3v1))
        return id3file::kWriteFailed;

    MajorVersion = static_cast<std::uint8_t>(ver);
    Revision = static_cast<std::uint8_t>(rev);
    TagSize = bodySize;
    HeaderFlags = headerFlags;
    PaddingSize = static_cast<std::uint32_t>(padding);
    ExtHeaderSize = 0;
    if (ext.present) {
        std::string e = extendedHeaderBytes(ver, ext, 0);
        ExtHeaderSize = static_cast<std::uint32_t>(ver == 3 ? e.size() - 4 : e.size());
    }
    Crc32 = ext.crc;
    LoadStatus = status;
    Modified = false;
    StartOffset = static_cast<std::uint32_t>(offset);
    Progress = 100;
    StatusText = "Save Complete";
    return status;
}

std::uint16_t Tid3v2tag::SaveToFile(const std::string& fileName, std::uint8_t version,
                                    std::uint8_t revision, std::int64_t startOffset,
                                    std::string_view id3v1Tag)
{
    const bool own = fileName == "=";
    const std::string name = own ? FileName : fileName;
    const std::uint64_t offset = startOffset >= 0 ? static_cast<std::uint64_t>(startOffset) : (own ? StartOffset : 0);
    if (!loadAllowsSave())
        return kMalformed;
    if (!loadSkippedData())
        return id3file::kReadFailed;
    if (!id3file::isRegularFile(name))
        return id3file::kOpenFailed;
    if (id3file::isReadOnly(name))
        return id3file::kReadOnlyFile;
    id3file::Fd fd = id3file::openForWriting(name);
    if (!fd.valid())
        return id3file::kOpenFailed;
    std::uint16_t status = writeTag(fd.get(), name, version, revision, offset, id3v1Tag);
    if (status <= 0xFF)
        FileName = name;
    return status;
}

