// The frame list, the per-frame transformations and the frame accessors of Tid3v2tag.
//
// A frame's data is decoded (unsynchronisation undone, inflated) into a copy when an accessor
// reads it, so reading never changes what a later save writes. Setters replace the data with
// plain bytes and keep the wanted flags, so the writer applies them again.
#include "tags/id3v2.h"

#include "platform/rtl/AsciiCase.h"
#include "util/Cp932.h"
#include "util/Utf16.h"

#include <QString>
#include <algorithm>
#include <optional>
#include <stdexcept>
#include <zlib.h>

// ---------------------------------------------------------------------------------------------
// Byte transformations

namespace id3v2 {

std::string unsync(std::string_view data)
{
    std::string out;
    out.reserve(data.size() + data.size() / 64);
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += data[i];
        if (static_cast<unsigned char>(data[i]) == 0xFF && i + 1 < data.size()) {
            auto next = static_cast<unsigned char>(data[i + 1]);
            if (next == 0x00 || next >= 0xE0)
                out += '\0';
        }
    }
    return out;
}

std::string undoUnsync(std::string_view data)
{
    std::string out;
    out.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += data[i];
        if (static_cast<unsigned char>(data[i]) != 0xFF || i + 1 >= data.size() || data[i + 1] != 0)
            continue;
        // An inserted zero: the byte after it would have read as a sync signal or another 0xFF 00.
        if (i + 2 >= data.size() || data[i + 2] == 0 || static_cast<unsigned char>(data[i + 2]) >= 0xE0)
            ++i;
    }
    return out;
}

std::string compress(std::string_view data, int level)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    int r = compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                      std::clamp(level, 0, 9));
    if (r != Z_OK)
        throw std::runtime_error("zlib cannot compress");
    out.resize(size);
    return out;
}

bool inflate(std::string_view data, std::size_t cap, std::string& out)
{
    out.clear();
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(data.size(), UINT32_MAX));
    constexpr std::size_t kChunk = 1 << 16;
    int r = Z_OK;
    while (r == Z_OK) {
        // The output grows chunk by chunk; no size from the file is trusted for an allocation.
        std::size_t old = out.size();
        if (old >= cap + 1)
            break;
        std::size_t chunk = std::min(kChunk, cap + 1 - old);
        out.resize(old + chunk);
        z.next_out = reinterpret_cast<Bytef*>(out.data() + old);
        z.avail_out = static_cast<uInt>(chunk);
        r = ::inflate(&z, Z_NO_FLUSH);
        out.resize(old + chunk - z.avail_out);
        if (r == Z_BUF_ERROR && z.avail_in == 0)
            break;  // truncated stream
        if (r == Z_BUF_ERROR)
            r = Z_OK;
    }
    inflateEnd(&z);
    return r == Z_STREAM_END && out.size() <= cap;
}

}  // namespace id3v2

using namespace id3v2;

// ---------------------------------------------------------------------------------------------
// Frame list

TFrame& TFrameIndex::operator[](int index)
{
    if (index < 1 || index > Count())
        throw std::out_of_range("Array range out of bounds.");
    return frames_[static_cast<std::size_t>(index - 1)];
}

const TFrame& TFrameIndex::operator[](int index) const
{
    return const_cast<TFrameIndex&>(*this)[index];
}

static bool validFrameId(const std::string& id)
{
    return id.size() == 4 && std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

int TFrameIndex::AddFrame(std::string_view frameId)
{
    std::string id = rtl::UpperAscii(std::string(frameId));
    if (!validFrameId(id))
        return 0;
    TFrame f;
    f.FrameID = id;
    f.Changed = true;
    frames_.push_back(std::move(f));
    return Count();
}

void TFrameIndex::DeleteFrame(int index)
{
    (*this)[index];  // range check
    frames_.erase(frames_.begin() + (index - 1));
}

int TFrameIndex::Find(std::string_view frameId, int from) const
{
    std::string id = rtl::UpperAscii(std::string(frameId));
    for (int i = std::max(from, 1); i <= Count(); ++i)
        if (frames_[static_cast<std::size_t>(i - 1)].FrameID == id)
            return i;
    return 0;
}

int TFrameIndex::CompressFrame(int index, int level)
{
    TFrame& f = (*this)[index];
    if (f.DataFlags & kEncryption)
        return 1;
    if (f.DataFlags & kUnsync)
        return 2;
    if (f.DataFlags & kCompression)
        return -1;
    f.DataLength = static_cast<std::uint32_t>(f.Data.size());
    f.Data = compress(f.Data, level);
    f.DataFlags |= kCompression;
    f.Changed = true;
    return 0;
}

int TFrameIndex::DecompressFrame(int index)
{
    TFrame& f = (*this)[index];
    if (f.DataFlags & kEncryption)
        return 1;
    if (f.DataFlags & kUnsync)
        return 2;
    if (!(f.DataFlags & kCompression))
        return -1;
    std::string plain;
    if (!inflate(f.Data, kMaxInflatedSize, plain))
        return -3;
    int result = f.DataLength != 0 && plain.size() != f.DataLength ? -2 : 0;
    f.Data = std::move(plain);
    f.DataLength = 0;
    f.DataFlags &= static_cast<std::uint8_t>(~kCompression);
    f.Changed = true;
    return result;
}

int TFrameIndex::UnsyncFrame(int index)
{
    TFrame& f = (*this)[index];
    if (f.DataFlags & kUnsync)
        return -1;
    if (!(f.DataFlags & (kCompression | kEncryption)))
        f.DataLength = static_cast<std::uint32_t>(f.Data.size());
    f.Data = unsync(f.Data);
    f.DataFlags |= kUnsync;
    f.Changed = true;
    return 0;
}

int TFrameIndex::UndoUnsyncFrame(int index)
{
    TFrame& f = (*this)[index];
    if (!(f.DataFlags & kUnsync))
        return -1;
    f.Data = undoUnsync(f.Data);
    f.DataFlags &= static_cast<std::uint8_t>(~kUnsync);
    f.Changed = true;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Text coding

namespace {

constexpr std::uint8_t kCp932 = 0, kUtf16Bom = 1, kUtf16Be = 2, kUtf8 = 3;

bool isWide(std::uint8_t enc) { return enc == kUtf16Bom || enc == kUtf16Be; }

// Position of the terminator of the field starting at `pos` (or the end of the data).
std::size_t terminatorAt(std::string_view d, std::size_t pos, std::uint8_t enc)
{
    if (!isWide(enc)) {
        std::size_t z = d.find('\0', pos);
        return z == std::string_view::npos ? d.size() : z;
    }
    for (std::size_t i = pos; i + 1 < d.size(); i += 2)
        if (d[i] == 0 && d[i + 1] == 0)
            return i;
    return d.size();
}

std::string decodeText(std::string_view bytes, std::uint8_t enc)
{
    switch (enc) {
    case kCp932:
        return cp932::toUtf8(bytes);
    case kUtf16Bom:
        return utf16::toUtf8(bytes, false);
    case kUtf16Be:
        return utf16::toUtf8(bytes, true);
    default:
        // Malformed sequences become U+FFFD.
        return cp932::isValidUtf8(bytes)
                   ? std::string(bytes)
                   : QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
    }
}

// Control characters end a text; where line breaks are not allowed, any but NUL, LF and CR is
// an error (false).
bool cutAtControl(std::string& s, bool lineBreaks)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20)
            continue;
        if (lineBreaks && (c == '\n' || c == '\r'))
            continue;
        if (!lineBreaks && c != 0 && c != '\n' && c != '\r')
            return false;
        s.resize(i);
        return true;
    }
    return true;
}

std::string encodeText(std::string_view utf8, std::uint8_t enc)
{
    switch (enc) {
    case kCp932:
        return cp932::encodeLossy(utf8);
    case kUtf16Bom:
        return utf16::fromUtf8(utf8, false);
    case kUtf16Be:
        return utf16::fromUtf8(utf8, true);
    default:
        return std::string(utf8);
    }
}

std::string terminator(std::uint8_t enc)
{
    return isWide(enc) ? std::string(2, '\0') : std::string(1, '\0');
}

// CP932 holds the text when its bytes decode to the very same text: the converter maps some
// characters one way (U+301C WAVE DASH is written as the byte pair that reads back as U+FF5E),
// and such a text would not come back as typed.
bool cp932Holds(std::string_view utf8)
{
    const std::optional<std::string> bytes = cp932::encode(utf8);
    return bytes && cp932::toUtf8(*bytes) == utf8;
}

// The asked encoding, except that CP932 gives way to UTF-16 when it cannot hold a text, and that
// ID3v2.3 knows only encodings 0 and 1.
std::uint8_t chooseEncoding(std::uint8_t asked, std::uint8_t majorVersion,
                            std::initializer_list<std::string_view> texts)
{
    if (asked == kCp932)
        return std::all_of(texts.begin(), texts.end(), cp932Holds) ? kCp932 : kUtf16Bom;
    if (majorVersion < 4 && asked > kUtf16Bom)
        return kUtf16Bom;
    return asked;
}

// The frame's data as plain bytes, or an accessor result saying why there are none.
std::uint8_t plainData(const TFrame& f, std::string& out)
{
    std::string d = (f.DataFlags & kUnsync) ? undoUnsync(f.Data) : f.Data;
    if (f.DataFlags & kEncryption)
        return kEncrypted;
    if (f.DataFlags & kCompression) {
        if (!inflate(d, kMaxInflatedSize, out))
            return kNoData;
    } else {
        out = std::move(d);
    }
    return out.empty() ? kNoData : kDone;
}

}  // namespace

std::string id3v2::plainFrameData(const TFrame& f)
{
    std::string d;
    if (plainData(f, d) == kDone)
        return d;
    return (f.DataFlags & kUnsync) ? undoUnsync(f.Data) : f.Data;
}

namespace {

void replaceData(TFrame& f, std::string data)
{
    f.Data = std::move(data);
    // Plain now; a group identifier is not a transformation of the data and stays.
    f.DataFlags &= kGrouping;
    f.DataLength = 0;
    // We cannot encrypt: new text is written as it is.
    f.FormatFlags &= static_cast<std::uint8_t>(~kEncryption);
    f.Changed = true;
}

bool hasLanguage(std::string_view id) { return id == "COMM" || id == "USLT" || id == "USER"; }
bool hasDescription(std::string_view id) { return id != "USER"; }
bool allowsLineBreaks(std::string_view id) { return id == "COMM" || id == "USLT"; }

// The encoding byte of a frame's data; nothing when the data cannot be read. Neither
// unsynchronisation nor a group identifier moves the first byte of plain data.
std::optional<std::uint8_t> storedEncoding(const TFrame& f)
{
    std::string d;
    if (f.DataFlags & (kCompression | kEncryption)) {
        if (plainData(f, d) != kDone)
            return std::nullopt;
    } else if (!f.Data.empty()) {
        d = f.Data.substr(0, 1);
    }
    if (d.empty() || static_cast<std::uint8_t>(d[0]) > kUtf8)
        return std::nullopt;
    return static_cast<std::uint8_t>(d[0]);
}

bool holdsText(const TFrame& f) { return f.FrameID.starts_with('T') || hasLanguage(f.FrameID); }

// What a setter asked for encoding 0 (the program's own choice) writes frame `index` in (0: a
// new frame). Other readers of the file (TagLib, mutagen and the players built on them) know
// encoding 0 only as Latin-1, so Unicode text stays Unicode: a frame keeps the encoding it was
// stored in, and a new frame in a tag that held Unicode text frames when it was read takes the
// Unicode form of its version. Frames stored in encoding 0, and tags read without Unicode
// text, keep CP932 for the program's Windows-era peers.
std::uint8_t programEncoding(const TFrameIndex& frames, int index, std::uint8_t majorVersion, bool readWithUnicode)
{
    if (index != 0)
        if (const std::optional<std::uint8_t> own = storedEncoding(frames[index]))
            return *own;
    if (readWithUnicode)
        return majorVersion >= 4 ? kUtf8 : kUtf16Bom;
    return kCp932;
}

std::string languageBytes(std::string_view language)
{
    std::string l(language.substr(0, 3));
    l.resize(3, ' ');
    return l;
}

bool validLanguage(std::string_view language)
{
    return std::none_of(language.begin(), language.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

bool Tid3v2tag::holdsUnicodeText() const
{
    for (int i = 1; i <= Frames.Count(); ++i)
        if (const TFrame& f = Frames[i]; holdsText(f))
            if (const std::optional<std::uint8_t> e = storedEncoding(f); e && *e != kCp932)
                return true;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Accessors

struct Tid3v2tag::Parsed {
    std::uint8_t encoding = 0;
    std::string language;
    std::string description;
    std::string text;
};

namespace {

// Splits a COMM/USLT/USER/TXXX/WXXX frame into its parts.
std::uint8_t parseRecord(std::string_view id, const std::string& d, std::uint8_t& encoding,
                         std::string& language, std::string& description, std::string& text)
{
    encoding = static_cast<std::uint8_t>(d[0]);
    if (encoding > kUtf8)
        return kBadEncoding;
    std::size_t pos = 1;
    if (hasLanguage(id)) {
        if (d.size() < 4)
            return kNoData;
        language = d.substr(1, 3);
        pos = 4;
    }
    if (hasDescription(id)) {
        std::size_t end = terminatorAt(d, pos, encoding);
        description = decodeText(std::string_view(d).substr(pos, end - pos), encoding);
        pos = std::min(d.size(), end + terminator(encoding).size());
    }
    // A URL is always single-byte text, whatever the description's encoding.
    std::uint8_t textEncoding = id == "WXXX" ? kCp932 : encoding;
    std::size_t end = terminatorAt(d, pos, textEncoding);
    text = decodeText(std::string_view(d).substr(pos, end - pos), textEncoding);
    return cutAtControl(text, allowsLineBreaks(id)) ? kDone : kBadCharacter;
}

}  // namespace

std::uint8_t Tid3v2tag::findRecord(std::string_view frameId, std::string_view description,
                                   std::string_view language, Parsed& found, int& index) const
{
    std::uint8_t firstError = kNoFrame;
    for (int i = Frames.Find(frameId); i != 0; i = Frames.Find(frameId, i + 1)) {
        std::string d;
        Parsed p;
        std::uint8_t r = plainData(Frames[i], d);
        if (r == kDone)
            r = parseRecord(frameId, d, p.encoding, p.language, p.description, p.text);
        if (r != kDone) {
            if (firstError == kNoFrame)
                firstError = r;
            continue;
        }
        if (hasDescription(frameId) && p.description != description)
            continue;
        if (language.size() == 3 && p.language != language)
            continue;
        found = std::move(p);
        index = i;
        return kDone;
    }
    index = 0;
    return firstError;
}

std::uint8_t Tid3v2tag::storeRecord(std::string_view frameId, int index, std::uint8_t encoding,
                                    std::string_view language, std::string_view description,
                                    std::string_view text)
{
    while (!description.empty() && description.back() == '\0')
        description.remove_suffix(1);
    bool url = frameId == "WXXX";
    if (encoding == kCp932)
        encoding = programEncoding(Frames, index, MajorVersion, readWithUnicode_);
    std::uint8_t enc = url ? chooseEncoding(encoding, MajorVersion, {description})
                           : chooseEncoding(encoding, MajorVersion, {description, text});
    std::string data(1, static_cast<char>(enc));
    if (hasLanguage(frameId))
        data += languageBytes(language);
    if (hasDescription(frameId))
        data += encodeText(description, enc) + terminator(enc);
    data += encodeText(text, url ? kCp932 : enc);
    if (index == 0)
        index = Frames.AddFrame(frameId);
    replaceData(Frames[index], std::move(data));
    return kDone;
}

std::uint8_t Tid3v2tag::GetTextFrame(std::string_view frameId, std::string& text) const
{
    text.clear();
    std::string id = rtl::UpperAscii(std::string(frameId));
    if (!validFrameId(id) || id[0] != 'T' || id == "TXXX")
        return kIdNotAllowed;
    int i = Frames.Find(id);
    if (i == 0)
        return kNoFrame;
    std::string d;
    if (std::uint8_t r = plainData(Frames[i], d); r != kDone)
        return r;
    auto enc = static_cast<std::uint8_t>(d[0]);
    if (enc > kUtf8)
        return kBadEncoding;
    std::size_t end = terminatorAt(d, 1, enc);
    std::string t = decodeText(std::string_view(d).substr(1, end - 1), enc);
    if (!cutAtControl(t, false))
        return kBadCharacter;
    text = std::move(t);
    return kDone;
}

std::uint8_t Tid3v2tag::SetTextFrame(std::string_view frameId, std::string_view text)
{
    std::string id = rtl::UpperAscii(std::string(frameId));
    if (!validFrameId(id) || id[0] != 'T' || id == "TXXX")
        return kIdNotAllowed;
    int i = Frames.Find(id);
    if (text.empty()) {
        if (i == 0)
            return kDone;
        Frames.DeleteFrame(i);
        return kDeleted;
    }
    std::uint8_t enc = chooseEncoding(programEncoding(Frames, i, MajorVersion, readWithUnicode_), MajorVersion, {text});
    if (i == 0)
        i = Frames.AddFrame(id);
    replaceData(Frames[i], static_cast<char>(enc) + encodeText(text, enc));
    return kDone;
}

std::uint8_t Tid3v2tag::getComment(std::string_view frameId, TCommentRecord& rec,
                                   std::string_view description, std::string_view language) const
{
    Parsed p;
    int index = 0;
    std::uint8_t r = findRecord(frameId, description, language, p, index);
    if (r != kDone)
        return r;
    rec.Encoding = p.encoding;
    rec.Language = p.language;
    rec.Description = p.description;
    rec.Text = p.text;
    return kDone;
}

std::uint8_t Tid3v2tag::setComment(std::string_view frameId, const TCommentRecord& rec,
                                   std::string_view description, std::string_view language)
{
    if (rec.Encoding > kUtf8)
        return kBadEncoding;
    if (!validLanguage(rec.Language))
        return kBadLanguage;
    Parsed p;
    int index = 0;
    findRecord(frameId, description, language, p, index);
    if (rec.Text.empty()) {
        if (index == 0)
            return kDone;
        Frames.DeleteFrame(index);
        return kDeleted;
    }
    return storeRecord(frameId, index, rec.Encoding, rec.Language, rec.Description, rec.Text);
}

std::uint8_t Tid3v2tag::GetComment(TCommentRecord& rec, std::string_view description,
                                   std::string_view language) const
{
    return getComment("COMM", rec, description, language);
}

std::uint8_t Tid3v2tag::SetComment(const TCommentRecord& rec, std::string_view description,
                                   std::string_view language)
{
    return setComment("COMM", rec, description, language);
}

std::uint8_t Tid3v2tag::GetLyrics(TCommentRecord& rec, std::string_view description,
                                  std::string_view language) const
{
    return getComment("USLT", rec, description, language);
}

std::uint8_t Tid3v2tag::SetLyrics(const TCommentRecord& rec, std::string_view description,
                                  std::string_view language)
{
    return setComment("USLT", rec, description, language);
}

std::uint8_t Tid3v2tag::GetUser(TUserRecord& rec, std::string_view language) const
{
    Parsed p;
    int index = 0;
    std::uint8_t r = findRecord("USER", {}, language, p, index);
    if (r != kDone)
        return r;
    rec.Encoding = p.encoding;
    rec.Language = p.language;
    rec.Text = p.text;
    return kDone;
}

std::uint8_t Tid3v2tag::SetUser(const TUserRecord& rec, std::string_view language)
{
    if (rec.Encoding > kUtf8)
        return kBadEncoding;
    if (!validLanguage(rec.Language))
        return kBadLanguage;
    Parsed p;
    int index = 0;
    findRecord("USER", {}, language, p, index);
    if (rec.Text.empty()) {
        if (index == 0)
            return kDone;
        Frames.DeleteFrame(index);
        return kDeleted;
    }
    return storeRecord("USER", index, rec.Encoding, rec.Language, {}, rec.Text);
}

std::uint8_t Tid3v2tag::getUserText(std::string_view frameId, TUserTextRecord& rec,
                                    std::string_view description) const
{
    Parsed p;
    int index = 0;
    std::uint8_t r = findRecord(frameId, description, {}, p, index);
    if (r != kDone)
        return r;
    rec.Encoding = p.encoding;
    rec.Description = p.description;
    rec.Value = p.text;
    return kDone;
}

std::uint8_t Tid3v2tag::setUserText(std::string_view frameId, const TUserTextRecord& rec,
                                    std::string_view description)
{
    if (rec.Encoding > kUtf8)
        return kBadEncoding;
    Parsed p;
    int index = 0;
    findRecord(frameId, description, {}, p, index);
    if (rec.Value.empty()) {
        if (index == 0)
            return kDone;
        Frames.DeleteFrame(index);
        return kDeleted;
    }
    return storeRecord(frameId, index, rec.Encoding, {}, rec.Description, rec.Value);
}

std::uint8_t Tid3v2tag::GetUserText(TUserTextRecord& rec, std::string_view description) const
{
    return getUserText("TXXX", rec, description);
}

std::uint8_t Tid3v2tag::SetUserText(const TUserTextRecord& rec, std::string_view description)
{
    return setUserText("TXXX", rec, description);
}

std::uint8_t Tid3v2tag::GetUserUrl(TUserTextRecord& rec, std::string_view description) const
{
    return getUserText("WXXX", rec, description);
}

std::uint8_t Tid3v2tag::SetUserUrl(const TUserTextRecord& rec, std::string_view description)
{
    return setUserText("WXXX", rec, description);
}
