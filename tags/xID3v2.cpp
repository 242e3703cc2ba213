#include "tags/xID3v2.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <vector>

#include "tags/ReadOnlyFile.h"
#include "tags/id3v2Detail.h"
#include "util/Cp932.h"
#include "util/Utf16.h"

// Layout (ID3v2.3 and ID3v2.4): a 10-byte header "ID3", version, revision, flags and a
// sync-safe body size; an optional extended header; frames of a 10-byte header (identifier,
// size - plain in 2.3, sync-safe in 2.4 - and two flag bytes) and their data; padding; in 2.4
// an optional 10-byte footer. A tag whose unsynchronisation flag is set in 2.3 (or a 2.4 frame
// with its own flag) has every 0xFF 0x00 stored for 0xFF.

using id3v2detail::syncSafe;

namespace {

constexpr int kHeaderSize = 10;
// Text frames are short; a larger frame of a wanted kind is not text worth reading.
constexpr std::uint32_t kMaxTextFrame = 1 << 20;
// A tag whose whole body must be undone from unsynchronisation is read into memory up to here.
constexpr std::int64_t kMaxUnsyncBody = 16 << 20;

std::vector<std::uint8_t> removeUnsync(const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> out;
    out.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        out.push_back(data[i]);
        if (data[i] == 0xFF && i + 1 < data.size() && data[i + 1] == 0)
            ++i;
    }
    return out;
}

// Where the text of `encoding` ends (at its terminator or the end of the data).
std::size_t textEnd(int encoding, const std::uint8_t* p, std::size_t n)
{
    if (encoding == 1 || encoding == 2) {
        for (std::size_t i = 0; i + 1 < n; i += 2)
            if (p[i] == 0 && p[i + 1] == 0)
                return i;
        return n & ~std::size_t(1);
    }
    return static_cast<std::size_t>(std::find(p, p + n, 0) - p);
}

// Where the text after the terminated one starts.
std::size_t afterTerminator(int encoding, const std::uint8_t* p, std::size_t n)
{
    const std::size_t end = textEnd(encoding, p, n);
    return std::min(n, end + ((encoding == 1 || encoding == 2) ? 2 : 1));
}

// The first text of the data in the frame's encoding, as UTF-8.
std::string decodeText(int encoding, const std::uint8_t* p, std::size_t n)
{
    const std::size_t end = textEnd(encoding, p, n);
    const std::string_view bytes(reinterpret_cast<const char*>(p), end);
    switch (encoding) {
    case 1: return utf16::toUtf8(bytes, false);
    case 2: return utf16::toUtf8(bytes, true);
    case 3: return cp932::fromUtf8OrCp932(bytes);
    default: return cp932::toUtf8(bytes);
    }
}

std::string trim(std::string text)
{
    const auto blank = [](unsigned char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    text.erase(text.begin(), first);
    return text;
}

int trackNumber(const std::string& text)
{
    const std::string number = trim(text.substr(0, text.find('/')));
    int value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || error != std::errc() || end != number.data() + number.size())
        return 0;
    return value;
}

// The bytes of the tag body, read from the file frame by frame or, for a tag that is
// unsynchronised as a whole, from memory.
class TagBody {
public:
    TagBody(tags::ReadOnlyFile& file, std::int64_t start, std::int64_t size, bool unsync)
        : file_(file), start_(start), size_(size)
    {
        if (unsync && size <= kMaxUnsyncBody) {
            whole_ = removeUnsync(file.readAt(start, static_cast<std::size_t>(size)));
            size_ = static_cast<std::int64_t>(whole_->size());
        } else if (unsync) {
            size_ = 0;
        }
    }
    std::int64_t size() const { return size_; }
    std::vector<std::uint8_t> read(std::int64_t offset, std::size_t count) const
    {
        if (offset < 0 || offset >= size_)
            return {};
        count =
            static_cast<std::size_t>(std::min<std::int64_t>(std::int64_t(count), size_ - offset));
        if (!whole_)
            return file_.readAt(start_ + offset, count);
        return {whole_->begin() + offset, whole_->begin() + offset + std::int64_t(count)};
    }

private:
    tags::ReadOnlyFile& file_;
    std::int64_t start_;
    std::int64_t size_;
    std::optional<std::vector<std::uint8_t>> whole_;
};

// Text frames and the field each fills (TDRC is the year of ID3v2.4).
const std::pair<const char*, std::string TxID3v2::*> kTextFrames[] = {
    {"TIT2", &TxID3v2::Title},    {"TPE1", &TxID3v2::Artist},  {"TALB", &TxID3v2::Album},
    {"TYER", &TxID3v2::Year},     {"TDRC", &TxID3v2::Year},    {"TCON", &TxID3v2::Genre},
    {"TCOM", &TxID3v2::Composer}, {"TENC", &TxID3v2::Encoder}, {"TCOP", &TxID3v2::Copyright},
    {"TLAN", &TxID3v2::Language}};

bool isWanted(const std::string& id)
{
    return id == "TRCK" || id == "COMM" || id == "WXXX" ||
           std::any_of(std::begin(kTextFrames), std::end(kTextFrames),
                       [&](const auto& frame) { return id == frame.first; });
}

// Skips the extended header; the offset of the first frame in the body.
std::int64_t firstFrame(const TagBody& body, int version, bool hasExtendedHeader)
{
    if (!hasExtendedHeader)
        return 0;
    const auto size = body.read(0, 4);
    if (size.size() < 4)
        return body.size();
    // 2.3 counts the bytes after the size field, 2.4 the whole extended header.
    return version == 3 ? 4 + std::int64_t(tags::bigEndian32(size.data())) : syncSafe(size.data(), 4);
}

// The frame's data without the extras its format flags announce; nothing for compressed or
// encrypted frames.
std::optional<std::vector<std::uint8_t>> frameContent(int version, std::uint8_t formatFlags,
                                                      std::vector<std::uint8_t> data)
{
    std::size_t skip = 0;
    bool unsync = false;
    if (version == 3) {
        if (formatFlags & 0xC0)
            return std::nullopt;
        skip = (formatFlags & 0x20) ? 1 : 0;
    } else {
        if (formatFlags & 0x0C)
            return std::nullopt;
        skip = ((formatFlags & 0x40) ? 1 : 0) + ((formatFlags & 0x01) ? 4 : 0);
        unsync = formatFlags & 0x02;
    }
    if (skip > data.size())
        return std::nullopt;
    data.erase(data.begin(), data.begin() + std::ptrdiff_t(skip));
    return unsync ? removeUnsync(data) : data;
}

// `commentTaken`: the comment is the first COMM frame with an empty description, whatever its
// language, as the tag facade reads it; a tagger's other comments ("iTunNORM", a second
// language) come later in the file as often as not.
void applyFrame(TxID3v2& tag, const std::string& id, const std::vector<std::uint8_t>& data, bool& commentTaken)
{
    if (data.empty())
        return;
    const int encoding = data[0];
    const std::uint8_t* p = data.data() + 1;
    const std::size_t n = data.size() - 1;
    if (id == "COMM") {
        // encoding, language, description, text
        if (n < 3 || commentTaken || !decodeText(encoding, p + 3, n - 3).empty())
            return;
        const std::size_t text = 3 + afterTerminator(encoding, p + 3, n - 3);
        tag.Comment = trim(decodeText(encoding, p + text, n - text));
        commentTaken = true;
        return;
    }
    if (id == "WXXX") {
        // encoding, description, then the URL, always in single bytes
        const std::size_t url = afterTerminator(encoding, p, n);
        tag.Link = trim(decodeText(0, p + url, n - url));
        return;
    }
    const std::string text = trim(decodeText(encoding, p, n));
    if (id == "TRCK") {
        tag.Track = trackNumber(text);
        return;
    }
    for (const auto& [frameID, field] : kTextFrames) {
        if (id != frameID)
            continue;
        std::string value = text;
        if (field == &TxID3v2::Genre && value.rfind(')') != std::string::npos)
            value = trim(value.substr(value.rfind(')') + 1));  // "(17)Rock" -> "Rock"
        tag.*field = value;
    }
}

}  // namespace

namespace tags {

std::int64_t id3v2TagSize(ReadOnlyFile& file)
{
    std::uint8_t header[kHeaderSize];
    if (!file.readExact(0, sizeof header, header) || std::memcmp(header, "ID3", 3) != 0)
        return 0;
    std::int64_t size = kHeaderSize + std::int64_t(syncSafe(header + 6, 4));
    if (header[3] == 4 && (header[5] & 0x10))
        size += kHeaderSize;  // footer
    return size <= file.size() ? size : 0;
}

}  // namespace tags

void TxID3v2::ResetData()
{
    Exists = false;
    VersionID = 0;
    Size = 0;
    Track = 0;
    for (std::string* text : {&Title, &Artist, &Album, &Year, &Genre, &Comment, &Composer, &Encoder,
                              &Copyright, &Language, &Link})
        text->clear();
}

bool TxID3v2::ReadFromFile(const std::string& FileName)
{
    tags::ReadOnlyFile file(FileName);
    return ReadFromFile(file);
}

bool TxID3v2::Locate(tags::ReadOnlyFile& file)
{
    ResetData();
    if (!file.isOpen())
        return false;
    std::uint8_t header[kHeaderSize];
    if (!file.readExact(0, sizeof header, header) || std::memcmp(header, "ID3", 3) != 0)
        return true;
    Exists = true;
    VersionID = header[3];
    Size = tags::id3v2TagSize(file);
    return true;
}

bool TxID3v2::ReadFromFile(tags::ReadOnlyFile& file)
{
    std::uint8_t header[kHeaderSize];
    if (!Locate(file) || !Exists || (VersionID != 3 && VersionID != 4) ||
        !file.readExact(0, sizeof header, header))
        return file.isOpen();
    const std::uint8_t flags = header[5];
    const TagBody body(file, kHeaderSize, syncSafe(header + 6, 4), VersionID == 3 && (flags & 0x80));
    std::int64_t at = firstFrame(body, VersionID, flags & 0x40);
    bool commentTaken = false;
    while (at + kHeaderSize <= body.size()) {
        const auto frameHeader = body.read(at, kHeaderSize);
        if (frameHeader.size() < kHeaderSize || frameHeader[0] < 'A' || frameHeader[0] > 'Z')
            break;
        const std::uint32_t size = VersionID == 4 ? syncSafe(frameHeader.data() + 4, 4)
                                                  : tags::bigEndian32(frameHeader.data() + 4);
        const std::string id(reinterpret_cast<const char*>(frameHeader.data()), 4);
        at += kHeaderSize;
        if (size > body.size() - at)
            break;
        if (size <= kMaxTextFrame && isWanted(id)) {
            if (auto content = frameContent(VersionID, frameHeader[9], body.read(at, size)))
                applyFrame(*this, id, *content, commentTaken);
        }
        at += size;
    }
    return true;
}
