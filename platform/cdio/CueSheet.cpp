#include "platform/cdio/CueSheet.h"

#include "platform/rtl/AsciiCase.h"
#include "platform/wave/Riff.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

// Design: the sheet becomes a list of events in its own order (a FILE begins, a track's INDEX
// falls at a sector of the current file), then one walk over them lays the files' sectors out
// on the disc: the sectors from one index to the next belong to the track of the earlier one
// and have its sector size, a file's sectors before its first index belong to the track
// running on from the file before, and a track's PREGAP (POSTGAP) goes in as silence before
// its first index (after its last sector). The walk leaves a list of spans, each a run of
// disc sectors taken from one place in one file, or silence; reads go through the spans.

namespace cdio_disc {

struct CueImage::File {
    std::string name;  // as the sheet gives it
    std::string path;
    bool bigEndian = false;  // MOTOROLA
    bool wave = false;
    uint64_t dataOffset = 0;
    uint64_t dataBytes = 0;
    int fd = -1;
};

struct CueImage::Span {
    uint32_t start = 0;
    uint32_t count = 0;
    int file = -1;  // -1: silence the sheet adds
    uint64_t offset = 0;  // bytes into the file's data
    uint32_t sectorBytes = kRawSectorBytes;
    bool audio = true;
    uint8_t mode = 0;  // data sectors: 1 or 2
};

namespace {

constexpr std::size_t kMaxSheetBytes = 1 << 20;

struct TrackType {
    std::string_view name;
    uint32_t bytes;
    bool audio;
    uint8_t mode;
};
constexpr std::array<TrackType, 5> kTrackTypes = {{{"AUDIO", 2352, true, 0},
                                                   {"MODE1/2048", 2048, false, 1},
                                                   {"MODE1/2352", 2352, false, 1},
                                                   {"MODE2/2336", 2336, false, 2},
                                                   {"MODE2/2352", 2352, false, 2}}};

struct Track {
    CueTrack info;
    uint32_t bytes = kRawSectorBytes;
    uint8_t mode = 0;
    uint32_t pregap = 0, postgap = 0;
    int lastIndex = -1;     // the number of its last INDEX; -1 before the first
    int indexOneFile = -1;  // the file its INDEX 01 lies in
    int line = 0;
};

struct Event {
    bool fileStart = false;
    int file = -1;
    int track = -1;
    int number = 0;    // INDEX number
    uint32_t pos = 0;  // sectors from the file's start
    int line = 0;
};

struct Sheet {
    std::vector<CueImage::File> files;
    std::vector<Track> tracks;
    std::vector<Event> events;
    std::vector<int> indexesPerFile;
};

CueError fault(CueFault f, std::string file, int line = 0) { return CueError{f, std::move(file), line}; }

std::string_view trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The first blank-separated word of `s`, taken off it.
std::string_view word(std::string_view& s)
{
    s = trim(s);
    const std::size_t end = std::min(s.find_first_of(" \t"), s.size());
    const std::string_view w = s.substr(0, end);
    s.remove_prefix(end);
    return w;
}

bool number(std::string_view s, std::size_t maxDigits, uint32_t& value)
{
    if (s.empty() || s.size() > maxDigits)
        return false;
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + uint32_t(c - '0');
    }
    return true;
}

// mm:ss:ff in sectors; seconds below 60, frames below 75.
bool msf(std::string_view s, uint32_t& sectors)
{
    const std::size_t a = s.find(':'), b = a == std::string_view::npos ? a : s.find(':', a + 1);
    uint32_t m = 0, sec = 0, f = 0;
    if (b == std::string_view::npos || !number(s.substr(0, a), 3, m) || !number(s.substr(a + 1, b - a - 1), 2, sec)
        || !number(s.substr(b + 1), 2, f) || sec >= 60 || f >= 75)
        return false;
    sectors = (m * 60 + sec) * 75 + f;
    return true;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// FILE "name" TYPE, or FILE name TYPE with the name running up to the type.
CueError fileLine(std::string_view rest, int line, const std::string& sheet, Sheet& out)
{
    rest = trim(rest);
    std::string_view name, type;
    if (!rest.empty() && rest.front() == '"') {
        const std::size_t close = rest.find('"', 1);
        if (close == std::string_view::npos)
            return fault(CueFault::BadSheet, sheet, line);
        name = rest.substr(1, close - 1);
        type = trim(rest.substr(close + 1));
    } else {
        const std::size_t cut = rest.find_last_of(" \t");
        if (cut == std::string_view::npos)
            return fault(CueFault::BadSheet, sheet, line);
        name = trim(rest.substr(0, cut));
        type = rest.substr(cut + 1);
    }
    if (name.empty() || type.empty())
        return fault(CueFault::BadSheet, sheet, line);
    CueImage::File f;
    f.name = std::string(name);
    f.path = f.name.front() == '/' ? f.name : folderOf(sheet) + "/" + f.name;
    const std::string kind = rtl::UpperAscii(std::string(type));
    if (kind == "MOTOROLA")
        f.bigEndian = true;
    else if (kind == "WAVE")
        f.wave = true;
    else if (kind != "BINARY")
        return fault(CueFault::UnsupportedFile, f.name);
    out.files.push_back(std::move(f));
    out.indexesPerFile.push_back(0);
    out.events.push_back({true, int(out.files.size()) - 1, -1, 0, 0, line});
    return {};
}

// One line of the sheet into `out`.
CueError sheetLine(std::string_view text, int line, const std::string& sheet, Sheet& out)
{
    std::string_view rest = text;
    const std::string key = rtl::UpperAscii(std::string(word(rest)));
    const auto bad = [&] { return fault(CueFault::BadSheet, sheet, line); };
    if (key == "FILE")
        return fileLine(rest, line, sheet, out);
    if (key == "TRACK") {
        uint32_t n = 0;
        if (out.files.empty() || !number(word(rest), 2, n) || n < 1 || n > uint32_t(kMaxCueTracks)
            || (!out.tracks.empty() && int(n) != out.tracks.back().info.number + 1))
            return bad();
        const std::string type = rtl::UpperAscii(std::string(word(rest)));
        const auto it = std::find_if(kTrackTypes.begin(), kTrackTypes.end(), [&](const TrackType& t) { return t.name == type; });
        if (it == kTrackTypes.end())
            return bad();
        if (!out.tracks.empty() && out.tracks.back().indexOneFile < 0)
            return fault(CueFault::BadSheet, sheet, out.tracks.back().line);  // a track without INDEX 01
        Track t;
        t.info.number = int(n);
        t.info.audio = it->audio;
        t.bytes = it->bytes;
        t.mode = it->mode;
        t.line = line;
        out.tracks.push_back(t);
        return {};
    }
    if (out.tracks.empty())
        return {};  // disc-wide lines: CATALOG, TITLE, PERFORMER, REM, ...
    Track& t = out.tracks.back();
    if (key == "INDEX") {
        uint32_t n = 0, pos = 0;
        if (!number(word(rest), 2, n) || !msf(word(rest), pos) || int(n) <= t.lastIndex || (t.lastIndex < 0 && n > 1))
            return bad();
        t.lastIndex = int(n);
        if (n == 1)
            t.indexOneFile = int(out.files.size()) - 1;
        ++out.indexesPerFile.back();
        out.events.push_back({false, int(out.files.size()) - 1, int(out.tracks.size()) - 1, int(n), pos, line});
    } else if (key == "PREGAP" || key == "POSTGAP") {
        uint32_t gap = 0;
        const bool pre = key == "PREGAP";
        if (!msf(word(rest), gap) || (pre ? t.lastIndex >= 0 : t.lastIndex < 1))
            return bad();
        (pre ? t.pregap : t.postgap) = gap;
    } else if (key == "FLAGS") {
        for (std::string_view w = word(rest); !w.empty(); w = word(rest)) {
            const std::string flag = rtl::UpperAscii(std::string(w));
            t.info.copyPermitted = t.info.copyPermitted || flag == "DCP";
            t.info.preemphasis = t.info.preemphasis || flag == "PRE";
            t.info.fourChannels = t.info.fourChannels || flag == "4CH";
        }
    }
    return {};
}

CueError parse(const std::string& sheet, const std::string& text, Sheet& out)
{
    std::string_view rest = text;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF")
        rest.remove_prefix(3);
    for (int line = 1; !rest.empty(); ++line) {
        const std::size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
        if (CueError e = sheetLine(rest.substr(0, end), line, sheet, out); e.fault != CueFault::None)
            return e;
        rest.remove_prefix(end);
        if (rest.substr(0, 2) == "\r\n")
            rest.remove_prefix(2);
        else if (!rest.empty())
            rest.remove_prefix(1);
    }
    if (!out.tracks.empty() && out.tracks.back().indexOneFile < 0)
        return fault(CueFault::BadSheet, sheet, out.tracks.back().line);
    if (std::none_of(out.tracks.begin(), out.tracks.end(), [](const Track& t) { return t.info.audio; }))
        return fault(CueFault::NoAudioTrack, sheet);
    for (std::size_t f = 0; f < out.files.size(); ++f)
        if (out.indexesPerFile[f] == 0)  // a file no index points into: no place on the disc
            return fault(CueFault::BadSheet, sheet, std::find_if(out.events.begin(), out.events.end(), [&](const Event& e) {
                                                          return e.fileStart && e.file == int(f);
                                                      })->line);
    return {};
}

// Where a WAVE file's samples lie; false unless it is 44.1 kHz 16-bit stereo PCM.
bool waveData(const std::string& path, uint64_t& offset, uint64_t& bytes)
{
    wave::RiffFile riff;
    wave::ChunkInfo form, fmt, data;
    form.formType = wave::fourcc("WAVE");
    fmt.id = wave::fourcc("fmt ");
    data.id = wave::fourcc("data");
    uint8_t f[16] = {};
    if (!riff.open(path, wave::RiffFile::Read) || !riff.descend(form, nullptr, wave::RiffFile::FindRiff)
        || !riff.descend(fmt, &form, wave::RiffFile::FindChunk) || fmt.size < 16 || riff.read(f, 16) != 16)
        return false;
    const auto le16 = [&](int at) { return uint32_t(f[at] | f[at + 1] << 8); };
    const uint32_t rate = le16(4) | le16(6) << 16;
    // WAVE_FORMAT_PCM, or WAVE_FORMAT_EXTENSIBLE, whose sub-format a 16-bit stereo file only
    // ever sets to PCM.
    if ((le16(0) != 1 && le16(0) != 0xFFFE) || le16(2) != 2 || rate != 44100 || le16(12) != 4 || le16(14) != 16)
        return false;
    if (riff.seek(form.dataOffset + 4, SEEK_SET) < 0 || !riff.descend(data, &form, wave::RiffFile::FindChunk))
        return false;
    offset = uint64_t(data.dataOffset);
    bytes = data.size;  // clamped by the reader to what the file holds
    return true;
}

CueError checkFiles(Sheet& sheet)
{
    for (CueImage::File& f : sheet.files) {
        struct stat st {};
        if (::stat(f.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return fault(CueFault::MissingFile, f.name);
        f.dataBytes = uint64_t(st.st_size);
        if (f.wave && !waveData(f.path, f.dataOffset, f.dataBytes))
            return fault(CueFault::UnsupportedFile, f.name);
    }
    return {};
}

// The walk described at the top.
struct Layout {
    Sheet& sheet;
    const std::string& sheetPath;
    std::vector<CueImage::Span> spans;
    uint32_t sector = 0;
    int file = -1;
    uint32_t filePos = 0;  // sectors of the current file laid so far
    uint64_t fileByte = 0;
    bool indexInFile = false;
    int owner = -1;  // the track whose sectors are being laid

    bool grow(uint32_t n, int line, CueError& e)
    {
        if (n > kMaxDiscSectors - sector) {
            e = fault(CueFault::BadSheet, sheetPath, line);
            return false;
        }
        sector += n;
        return true;
    }

    bool silence(uint32_t n, int track, int line, CueError& e)
    {
        if (n > 0)
            spans.push_back({sector, n, -1, 0, kRawSectorBytes, sheet.tracks[std::size_t(track)].info.audio, 0});
        return grow(n, line, e);
    }

    // Lays the current file's sectors up to `pos` (or to its end) as track `track`'s.
    bool lay(bool toEnd, uint32_t pos, int track, int line, CueError& e)
    {
        const CueImage::File& f = sheet.files[std::size_t(file)];
        const Track& t = sheet.tracks[std::size_t(track)];
        const uint64_t left = f.dataBytes - fileByte;
        uint64_t n = toEnd ? left / t.bytes : pos - filePos;
        if (!toEnd && (pos < filePos || (pos == filePos && indexInFile))) {
            e = fault(CueFault::BadSheet, sheetPath, line);  // indexes that do not rise
            return false;
        }
        if (n * t.bytes > left) {
            e = fault(CueFault::ShortFile, f.name);
            return false;
        }
        if (n > kMaxDiscSectors) {
            e = fault(CueFault::BadSheet, sheetPath, line);
            return false;
        }
        if (n > 0)
            spans.push_back({sector, uint32_t(n), file, fileByte, t.bytes, t.info.audio, t.mode});
        filePos += uint32_t(n);
        fileByte += n * t.bytes;
        return grow(uint32_t(n), line, e);
    }

    CueError run()
    {
        CueError e;
        for (const Event& ev : sheet.events) {
            if (ev.fileStart) {
                if (file >= 0 && !lay(true, 0, owner, ev.line, e))
                    return e;
                file = ev.file;
                filePos = 0;
                fileByte = 0;
                indexInFile = false;
                continue;
            }
            if (!lay(false, ev.pos, owner >= 0 ? owner : ev.track, ev.line, e))
                return e;
            indexInFile = true;
            if (ev.track != owner) {
                if (owner >= 0 && !silence(sheet.tracks[std::size_t(owner)].postgap, owner, ev.line, e))
                    return e;
                if (!silence(sheet.tracks[std::size_t(ev.track)].pregap, ev.track, ev.line, e))
                    return e;
                owner = ev.track;
            }
            if (ev.number == 1)
                sheet.tracks[std::size_t(ev.track)].info.start = sector;
        }
        if (!lay(true, 0, owner, 0, e) || !silence(sheet.tracks[std::size_t(owner)].postgap, owner, 0, e))
            return e;
        // A track needs a sector of its own from INDEX 01 on: one whose file ends there is cut.
        for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
            const uint32_t end = i + 1 < sheet.tracks.size() ? sheet.tracks[i + 1].info.start : sector;
            if (end <= sheet.tracks[i].info.start)
                return fault(CueFault::ShortFile, sheet.files[std::size_t(sheet.tracks[i].indexOneFile)].name);
        }
        return {};
    }
};

bool readAll(int fd, uint8_t* out, std::size_t bytes, uint64_t offset)
{
    while (bytes > 0) {
        const ssize_t n = ::pread(fd, out, bytes, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        bytes -= std::size_t(n);
        offset += uint64_t(n);
    }
    return true;
}

uint8_t bcd(uint32_t n) { return uint8_t((n / 10) * 16 + n % 10); }

}  // namespace

bool isCueSheet(const std::string& path)
{
    return path.size() > 4 && rtl::SameAsciiText(std::string_view(path).substr(path.size() - 4), ".cue");
}

std::unique_ptr<CueImage> CueImage::open(const std::string& sheet, CueError& error)
{
    error = {};
    std::string text;
    {
        const int fd = ::open(sheet.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > kMaxSheetBytes) {
            if (fd >= 0)
                ::close(fd);
            error = fault(CueFault::BadSheet, sheet);
            return nullptr;
        }
        text.resize(std::size_t(st.st_size));
        const bool ok = readAll(fd, reinterpret_cast<uint8_t*>(text.data()), text.size(), 0);
        ::close(fd);
        if (!ok) {
            error = fault(CueFault::BadSheet, sheet);
            return nullptr;
        }
    }
    Sheet parsed;
    if ((error = parse(sheet, text, parsed)).fault != CueFault::None || (error = checkFiles(parsed)).fault != CueFault::None)
        return nullptr;
    Layout layout{parsed, sheet, {}};
    if ((error = layout.run()).fault != CueFault::None)
        return nullptr;
    std::unique_ptr<CueImage> image(new CueImage);
    for (const Track& t : parsed.tracks)
        image->tracks_.push_back(t.info);
    image->leadout_ = layout.sector;
    image->files_ = std::move(parsed.files);
    image->spans_ = std::move(layout.spans);
    return image;
}

CueImage::~CueImage()
{
    for (File& f : files_)
        if (f.fd >= 0)
            ::close(f.fd);
}

bool CueImage::read(uint32_t sector, uint32_t count, uint8_t* out)
{
    if (sector > leadout_ || count > leadout_ - sector)
        return false;
    while (count > 0) {
        const auto next = std::upper_bound(spans_.begin(), spans_.end(), sector,
                                           [](uint32_t s, const Span& span) { return s < span.start; });
        if (next == spans_.begin())
            return false;
        const Span& span = *std::prev(next);
        const uint32_t n = std::min(count, span.start + span.count - sector);
        if (span.file < 0)
            std::memset(out, 0, std::size_t(n) * kRawSectorBytes);
        else if (!readSpan(span, sector - span.start, n, out))
            return false;
        sector += n;
        count -= n;
        out += std::size_t(n) * kRawSectorBytes;
    }
    return true;
}

bool CueImage::readSpan(const Span& span, uint32_t first, uint32_t count, uint8_t* out)
{
    File& f = files_[std::size_t(span.file)];
    if (f.fd < 0 && (f.fd = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC)) < 0)
        return false;
    const uint64_t at = f.dataOffset + span.offset + uint64_t(first) * span.sectorBytes;
    if (span.sectorBytes == kRawSectorBytes) {
        if (!readAll(f.fd, out, std::size_t(count) * kRawSectorBytes, at))
            return false;
        if (span.audio && f.bigEndian)
            for (std::size_t i = 0; i + 1 < std::size_t(count) * kRawSectorBytes; i += 2)
                std::swap(out[i], out[i + 1]);
        return true;
    }
    // Cooked data sectors: sync, the address in BCD and the mode byte, then the stored bytes.
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* s = out + std::size_t(i) * kRawSectorBytes;
        std::memset(s, 0, kRawSectorBytes);
        std::memset(s + 1, 0xFF, 10);
        const uint32_t address = span.start + first + i + 150;
        s[12] = bcd(address / 4500);
        s[13] = bcd(address / 75 % 60);
        s[14] = bcd(address % 75);
        s[15] = span.mode;
        if (!readAll(f.fd, s + 16, span.sectorBytes, at + uint64_t(i) * span.sectorBytes))
            return false;
    }
    return true;
}

}  // namespace cdio_disc
