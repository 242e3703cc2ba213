#include "cd/MCDPlayer.h"

#include "cd/CddbText.h"
#include "platform/net/HttpClient.h"
#include "platform/rtl/AsciiCase.h"
#include "platform/shell/AudioCdHandler.h"
#include "platform/shell/CdDrives.h"
#include "platform/shell/UserFolders.h"
#include "util/libIni.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>

const std::vector<std::string> CddbCategories = {"Rock", "Misc",    "Classical", "Jazz",   "Folk", "Blues",
                                                 "Soundtrack", "Newage", "Country", "Reggae", "Data"};
const char* const CddbHello = "&hello=Ostrel+Pelmo+Ostrel_CDPlayer+1.0&proto=4";

namespace {

uint32_t byteOf(uint32_t v, int n) { return (v >> (8 * n)) & 0xFF; }

int msfMs(uint32_t v) { return int(byteOf(v, 0) * 60 + byteOf(v, 1)) * 1000; }

// A CD has at most 99 tracks; a database entry that claims more is not believed.
constexpr int kMaxTracks = 99;
constexpr const char* kCddbScript = "/~cddb/cddb.cgi?cmd=";

// A request text as the server expects it: lower case up to the hello text, which keeps its
// own case, on one line and without surrounding blanks.
std::string requestText(const std::string& lowered, const std::string& hello)
{
    std::string text = rtl::LowerAscii(lowered) + (hello.empty() ? std::string(CddbHello) : hello);
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), std::make_reverse_iterator(first), blank).base();
    return std::string(first, last);
}

std::string sectionOf(uint32_t mediaId)
{
    char name[16];
    std::snprintf(name, sizeof name, "%06X", unsigned(mediaId));
    return name;
}

int trackCount(const std::string& text)
{
    // Digits only, read no further than past the limit: anything else is no count at all.
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        n = std::min(n * 10 + (c - '0'), kMaxTracks + 1);
    }
    return std::min(n, kMaxTracks);
}

}  // namespace

class TCDPlayer::FormatScope {
public:
    FormatScope(TCDPlayer& p, uint32_t format) : p_(p), saved_(p.GetTimeFormat()) { p_.SetTimeFormat(format); }
    ~FormatScope()
    {
        try {
            p_.SetTimeFormat(saved_);
        } catch (const std::exception&) {
            // the device went away meanwhile; nothing left to restore
        }
    }
    FormatScope(const FormatScope&) = delete;
    FormatScope& operator=(const FormatScope&) = delete;

private:
    TCDPlayer& p_;
    uint32_t saved_;
};

TCDPlayer::TCDPlayer(snd::TickSource& ticks) : ticks_(ticks)
{
    watcher_ = std::make_unique<cdaudio::DiscWatcher>([this](const std::string& d) { DeviceArrival(d); },
                                                      [this](const std::string& d) { DeviceRemoval(d); }, ticks_);
    FillDriveList();
    if (!drives_.empty())
        CurrentDrive = drives_.front();
}

TCDPlayer::~TCDPlayer()
{
    watcher_.reset();
    Close();
    toc_.clear();
}

void TCDPlayer::SetSoundDevice(std::shared_ptr<snd::SoundDevice> Device) { sound_ = std::move(Device); }

void TCDPlayer::check(int error) const
{
    if (error != cdaudio::error::kOk)
        throw EMCIDeviceError(error, cdaudio::errorText(error));
}

cdaudio::NotifyFn TCDPlayer::notifier()
{
    return [this](cdaudio::Notify n) { NotifyHandler(n); };
}

uint32_t TCDPlayer::status(cdaudio::Status Item, uint32_t Track)
{
    if (!device_)
        return 0;
    uint32_t v = 0;
    check(device_->status(Item, v, Track));
    return v;
}

// --- device

uint32_t TCDPlayer::Open()
{
    if (device_)
        return deviceId_;
    int error = cdaudio::error::kNoDrive;
    const std::string drive = drives_.empty() ? std::string() : drives_.front();
    device_ = cdaudio::CdAudioDevice::open(drive, sound_, ticks_, error);
    // The drive the settings name tells the user what was looked for.
    if (error == cdaudio::error::kNoDrive && !drive.empty())
        throw EMCIDeviceError(error, cdaudio::errorText(error) + "\r\r" + drive);
    check(error);
    deviceId_ = nextDeviceId_++;
    GetDeviceCaps();
    SetTimeFormat(cdaudio::kTmsf);
    return deviceId_;
}

void TCDPlayer::Close()
{
    device_.reset();  // joins the feeder; drops its queued reports
    deviceId_ = 0;
}

void TCDPlayer::Reopen()
{
    Close();
    Open();
    if (HasAudioDisc())
        LoadDiscInfo();
}

void TCDPlayer::LoadDiscInfo()
{
    ReadToc();
    std::vector<std::string> tracks;
    knownDisc_ = ReadCdPlayerIni(GetMediaIdentity(), artist_, tracks, category_, genre_, date_, title_);
    takeTitles(tracks);
    discId_ = toc_.empty() ? 0 : ComputeDiscId();
}

void TCDPlayer::takeTitles(const std::vector<std::string>& Tracks)
{
    for (size_t i = 0; i < Tracks.size() && i < toc_.size(); ++i)
        toc_[i].Title = Tracks[i];
}

void TCDPlayer::ReadToc()
{
    FormatScope msf(*this, cdaudio::kMsf);
    const int n = std::min(GetTrackCount(), 255);
    TTOC toc(size_t(std::max(n, 0)));
    for (int t = 1; t <= n; ++t) {
        TTOCEntry& e = toc[size_t(t - 1)];
        const uint32_t s = GetTrackPosition(t);
        e.StartFrame = int32_t(byteOf(s, 0) * 60 * 75 + byteOf(s, 1) * 75 + byteOf(s, 2));
        const int32_t seconds = e.StartFrame / 75;
        e.StartMinute = seconds / 60;
        e.StartSecond = seconds % 60;
        const uint32_t l = GetTrackLength(t);
        e.LengthMinute = int32_t(byteOf(l, 0));
        e.LengthSecond = int32_t(byteOf(l, 1));
    }
    toc_ = std::move(toc);
}

void TCDPlayer::ClearDiscInfo()
{
    category_.clear();
    artist_.clear();
    title_.clear();
    date_.clear();
    toc_.clear();
}

// --- transport

void TCDPlayer::Play()
{
    if (!device_)
        return;
    // Position and length compared in one format: in TMSF the two never pack alike.
    if (AutoRewind && !startSet_ && !endSet_) {
        bool atEnd = false;
        {
            FormatScope msf(*this, cdaudio::kMsf);
            atEnd = GetPosition() == GetLength();
        }
        if (atEnd)
            Rewind();
    }
    std::optional<uint32_t> from, to;
    if (startSet_)
        from = startPosition_;
    if (endSet_)
        to = endPosition_;
    startSet_ = endSet_ = false;
    check(device_->play(from, to, notifier()));
}

void TCDPlayer::Pause()
{
    if (device_)
        check(device_->pause(notifier()));
}

void TCDPlayer::Stop()
{
    if (device_)
        check(device_->stop(notifier()));
}

void TCDPlayer::seekTo(uint32_t Target)
{
    if (GetMode() == cdmPlaying) {
        SetStartPosition(Target);
        Play();
    } else if (device_)
        check(device_->seek(Target, notifier()));
}

void TCDPlayer::Next()
{
    if (!device_)
        return;
    if (GetTimeFormat() != cdaudio::kTmsf) {
        check(device_->seekToEnd(notifier()));
        return;
    }
    const int current = GetCurrentTrack(), count = GetTrackCount();
    seekTo(GetTrackPosition(current < count ? current + 1 : count));
}

void TCDPlayer::Previous()
{
    if (!device_)
        return;
    if (GetTimeFormat() != cdaudio::kTmsf) {
        check(device_->seekToStart(notifier()));
        return;
    }
    const uint32_t p = GetPosition();
    const int track = int(byteOf(p, 0));
    const uint32_t s = GetTrackPosition(track);
    const bool firstSecond = byteOf(p, 1) == byteOf(s, 1) && byteOf(p, 2) == byteOf(s, 2);
    seekTo(track != 1 && firstSecond ? GetTrackPosition(track - 1) : s);
}

void TCDPlayer::Rewind()
{
    if (device_)
        check(device_->seekToStart({}));
}

void TCDPlayer::Seek(uint32_t Position)
{
    if (device_)
        check(device_->seek(Position, notifier()));
}

void TCDPlayer::SetStartPosition(uint32_t Position)
{
    startPosition_ = Position;
    startSet_ = true;
}

void TCDPlayer::SetTrack(int Track)
{
    if (Track != GetCurrentTrack())
        Seek(GetTrackPosition(Track));
}

void TCDPlayer::SetPositionInTrack(int Ms)
{
    if (!device_)
        return;
    TTOCEntry entry;
    GetTrackInfo(GetCurrentTrack() - 1, entry);
    FormatScope ms(*this, cdaudio::kMilliseconds);
    Seek(uint32_t(std::max(0, entry.StartMinute * 60000 + entry.StartSecond * 1000 + Ms)));
}

void TCDPlayer::Eject()
{
    if (device_)
        check(device_->setDoor(true, {}));
}

void TCDPlayer::CloseDoor()
{
    if (device_)
        check(device_->setDoor(false, {}));
}

// --- status

void TCDPlayer::SetTimeFormat(uint32_t Format)
{
    if (device_)
        check(device_->setTimeFormat(Format & 127));
}

uint32_t TCDPlayer::GetTimeFormat() { return device_ ? status(cdaudio::Status::TimeFormat) : cdaudio::kTmsf; }
int TCDPlayer::GetMode() { return int(status(cdaudio::Status::Mode)); }
uint32_t TCDPlayer::GetLength() { return status(cdaudio::Status::Length); }
uint32_t TCDPlayer::GetPosition() { return status(cdaudio::Status::Position); }
int TCDPlayer::GetTrackCount() { return int(status(cdaudio::Status::NumberOfTracks)); }
uint32_t TCDPlayer::GetTrackPosition(int Track) { return status(cdaudio::Status::Position, uint32_t(Track)); }
uint32_t TCDPlayer::GetTrackLength(int Track) { return status(cdaudio::Status::Length, uint32_t(Track)); }
int TCDPlayer::GetCurrentTrack() { return int(byteOf(GetPosition(), 0)); }

int TCDPlayer::GetLengthMs() { return msfMs(GetLength()); }
int TCDPlayer::GetCurrentTrackLengthMs() { return msfMs(GetTrackLength(GetCurrentTrack())); }

int TCDPlayer::GetPositionMs()
{
    int m = 0, s = 0;
    GetTimeByMode(tfTotalElapsed, m, s);
    return (m * 60 + s) * 1000;
}

int TCDPlayer::GetTrackElapsedMs()
{
    int m = 0, s = 0;
    GetTimeByMode(tfTrackElapsed, m, s);
    return (m * 60 + s) * 1000;
}

void TCDPlayer::GetTimeByMode(TDisplayTimeFormats Mode, int& Min, int& Sec)
{
    auto seconds = [](uint32_t msf) { return int(byteOf(msf, 0) * 60 + byteOf(msf, 1)); };
    switch (Mode) {
    case tfTotalElapsed: {
        FormatScope msf(*this, cdaudio::kMsf);
        const uint32_t p = GetPosition();
        Min = int(byteOf(p, 0));
        Sec = int(byteOf(p, 1));
        break;
    }
    case tfTotalRemain: {
        FormatScope msf(*this, cdaudio::kMsf);
        const int r = seconds(GetLength()) - seconds(GetPosition());
        Min = r / 60;
        Sec = r % 60;
        break;
    }
    case tfTrackElapsed: {
        const uint32_t p = GetPosition();
        Min = int(byteOf(p, 1));
        Sec = int(byteOf(p, 2));
        break;
    }
    case tfTrackRemain: {
        const uint32_t p = GetPosition();
        const uint32_t l = GetTrackLength(GetCurrentTrack());
        const int e = int(byteOf(p, 1) * 60 + byteOf(p, 2));
        FormatScope msf(*this, cdaudio::kMsf);
        const int r = seconds(l) - e;
        Min = r / 60;
        Sec = r % 60;
        break;
    }
    }
}

void TCDPlayer::GetDisplayTime(int& Min, int& Sec)
{
    GetTimeByMode(DisplayTimeMode, min_, sec_);
    Min = min_;
    Sec = sec_;
}

void TCDPlayer::GetTrackInfo(int Index, TTOCEntry& Entry) const
{
    if (Index < 0 || size_t(Index) >= toc_.size())
        throw ECDPlayerError();
    Entry = toc_[size_t(Index)];
}

// --- information

std::string TCDPlayer::GetInfo(cdaudio::InfoItem Item)
{
    if (!device_)
        return {};
    std::string text;
    if (const int error = device_->info(Item, text))
        return cdaudio::errorText(error);
    return text;
}

uint32_t TCDPlayer::GetMediaIdentity()
{
    const std::string text = GetInfo(cdaudio::InfoItem::MediaIdentity);
    // Disc ids use all 32 bits: one of 2^31 or more is a number like any other.
    if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return 0;
    const unsigned long long v = std::stoull(text);
    return v > 0xFFFFFFFFull ? 0 : uint32_t(v);
}

void TCDPlayer::GetDeviceCaps()
{
    caps_ = 0;
    if (!device_)
        return;
    const cdaudio::Caps c = device_->caps();
    caps_ = uint8_t((c.canEject ? 2 : 0) | (c.canPlay ? 4 : 0) | (c.canRecord ? 8 : 0) | (c.hasVideo ? 16 : 0));
}

std::string TCDPlayer::GetVolumeLabel(const std::string& Drive) { return cdaudio::volumeLabel(Drive); }

bool TCDPlayer::IsAudioDisc(const std::string& Drive)
{
    try {
        std::string label = GetVolumeLabel(Drive);
        std::transform(label.begin(), label.end(), label.begin(), [](unsigned char c) { return char(std::toupper(c)); });
        return label == "AUDIO CD" || GetTrackCount() >= 2;
    } catch (const std::exception&) {
        return false;
    }
}

// --- drives, notices, AutoPlay

void TCDPlayer::FillDriveList()
{
    drives_.clear();
    if (!IniBase.empty())
        if (std::string own = IniReadString(IniBase, "CDPlayer", "CD_DRIVE", ""); !own.empty())
            drives_.push_back(own);
    for (const std::string& d : shell::cdDriveDevices())
        if (std::find(drives_.begin(), drives_.end(), d) == drives_.end())
            drives_.push_back(d);
    watcher_->setDrives(drives_);
}

void TCDPlayer::DeviceArrival(const std::string& Drive)
{
    if (Drive == CurrentDrive) {
        Close();
        Reopen();
        if (HasAudioDisc())
            LoadDiscInfo();
    }
    if (AfterInsert)
        AfterInsert(this, Drive);
}

void TCDPlayer::DeviceRemoval(const std::string& Drive)
{
    ClearDiscInfo();
    if (AfterRemove)
        AfterRemove(this, Drive);
}

void TCDPlayer::NotifyHandler(cdaudio::Notify Value)
{
    TNotifyValues v = nvSuccessful;
    switch (Value) {
    case cdaudio::Notify::Successful: v = nvSuccessful; break;
    case cdaudio::Notify::Superseded: v = nvSuperseded; break;
    case cdaudio::Notify::Aborted: v = nvAborted; break;
    case cdaudio::Notify::Failure: v = nvFailure; break;
    }
    if (OnNotify)
        OnNotify(this, v);
}

bool TCDPlayer::AutoRun() const { return !shell::audioCdHandler().empty(); }

void TCDPlayer::SetAutoRun(bool Value)
{
    if (!shell::setAudioCdHandler(Value ? shell::kAudioCdDesktopEntry : ""))
        throw ECDPlayerError("The audio CD AutoPlay handler could not be written.");
}

std::string TCDPlayer::DefaultPlayer() const
{
    const std::string entry = shell::audioCdHandler();
    return shell::desktopEntryExec(entry.empty() ? shell::kAudioCdDesktopEntry : entry);
}

void TCDPlayer::SetDefaultPlayer(const std::string& Value)
{
    if (!shell::setOwnAudioCdCommand(Value))
        throw ECDPlayerError("The audio CD player command could not be written.");
}

// --- disc identity, CDDB requests, the system CD database

int TCDPlayer::DigitSum(int64_t N)
{
    int sum = 0;
    for (; N > 0; N /= 10)
        sum += int(N % 10);
    return sum;
}

int TCDPlayer::MsfToSeconds(uint32_t Msf) { return int(byteOf(Msf, 0) * 60 + byteOf(Msf, 1)); }

uint32_t TCDPlayer::ComputeDiscId()
{
    const int n = int(toc_.size());
    if (n == 0 || n != GetTrackCount())
        throw ECDPlayerError();
    int sum = 0;
    for (const TTOCEntry& e : toc_)
        sum += DigitSum(int64_t(e.StartMinute) * 60 + e.StartSecond);
    FormatScope msf(*this, cdaudio::kMsf);
    const uint32_t s = GetTrackPosition(n), l = GetTrackLength(n);
    const uint32_t endFrames = (byteOf(s, 0) * 60 + byteOf(s, 1)) * 75 + byteOf(s, 2) + byteOf(l, 0) * 4500
                               + byteOf(l, 1) * 75 + byteOf(l, 2) + 1;
    const uint32_t seconds = endFrames / 75 - uint32_t(MsfToSeconds(GetTrackPosition(1)));
    return (uint32_t(sum % 255) << 24) | ((seconds & 0xFFFF) << 8) | (uint32_t(n) & 0xFF);
}

std::string TCDPlayer::queryCommand()
{
    char id[16];
    std::snprintf(id, sizeof id, "%08x", unsigned(ComputeDiscId()));
    std::string text = std::string("cddb+query+") + id + "+" + std::to_string(toc_.size());
    for (const TTOCEntry& e : toc_)
        text += "+" + std::to_string(e.StartFrame);
    return text + "+" + std::to_string(MsfToSeconds(GetLength()));
}

std::string TCDPlayer::CddbQueryPath() { return requestText(kCddbScript + queryCommand(), {}); }

std::string TCDPlayer::MakeHttpUrl(const std::string& Host, const std::string& Path)
{
    return (net::HasUrlScheme(Host) ? Host : "http://" + Host) + Path;
}

std::string TCDPlayer::CddbQueryUrl(const std::string& Host, const std::string& Hello)
{
    return requestText(MakeHttpUrl(Host, kCddbScript + queryCommand()), Hello);
}

std::string TCDPlayer::CddbReadUrl(const std::string& Host, const std::string& Category, const std::string& DiscId,
                                   const std::string& Hello)
{
    std::string command = "cddb+read+" + Category;
    if (!DiscId.empty())
        command += "+" + DiscId;
    return requestText(MakeHttpUrl(Host, kCddbScript + command), Hello);
}

void TCDPlayer::ParseXmcd(const std::string& Text, std::string& Year, std::vector<std::string>& Tracks,
                          std::string& Title, std::string& Artist)
{
    ParseXmcdText(Text, Year, Tracks, Title, Artist);
}

std::string TCDPlayer::CdPlayerIniBase() { return shell::configHomePath() + "/Tambourelle/cdplayer"; }

bool TCDPlayer::ReadCdPlayerIni(uint32_t MediaId, std::string& Artist, std::vector<std::string>& Tracks,
                                std::string& Category, std::string& Genre, std::string& Date, std::string& Title)
{
    Tracks.clear();
    Artist.clear();
    Category.clear();
    Genre.clear();
    Date.clear();
    Title.clear();
    const auto values = IniReadSection(CdPlayerIniBase(), sectionOf(MediaId));
    if (!values)
        return false;
    auto value = [&](const std::string& key) {
        const auto it = values->find(key);
        return it == values->end() ? std::string() : it->second;
    };
    Title = value("title");
    Artist = value("artist");
    Date = value("date");
    if (Date.empty())
        Date = value("year");
    Genre = value("genre");
    Category = value("category");
    const int count = trackCount(value("numtracks"));
    for (int i = 0; i < count; ++i)
        Tracks.push_back(value(std::to_string(i)));
    return true;
}

void TCDPlayer::WriteCdPlayerIni(uint32_t MediaId, const std::string& Artist, const std::string& Title,
                                 const std::string& Date, const std::string& Genre, const std::string& Category,
                                 const std::vector<std::string>& Tracks)
{
    const std::string base = CdPlayerIniBase();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(base).parent_path(), ec);
    std::vector<std::pair<std::string, std::string>> values = {
        {"artist", Artist}, {"title", Title}, {"genre", Genre}, {"category", Category}, {"date", Date},
        {"numtracks", std::to_string(Tracks.size())}};
    for (size_t i = 0; i < Tracks.size(); ++i)
        values.emplace_back(std::to_string(i), Tracks[i]);
    IniWriteStrings(base, sectionOf(MediaId), values);
    artist_ = Artist;
    title_ = Title;
    genre_ = Genre;
    category_ = Category;
    date_ = Date;
    takeTitles(Tracks);
}
