#include "platform/cdaudio/CdAudioDevice.h"

#include "platform/shell/CdDrives.h"

#include "platform/cdio/CdioDisc.h"
#include "platform/cdio/CueSheet.h"

#include "platform/forms/Application.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <vector>

// Playback design: the sound buffer is a one-second ring in the disc's own format (44.1 kHz,
// 16-bit stereo). `written` counts the audio frames put into the ring since the play began,
// `heard` those the buffer's audible cursor has passed; the feeder tops the ring up every
// tick and notices the end. Sectors past the end point, and sectors of data tracks, go in as
// silence, so the device never hears data bytes as PCM and the end is heard whole.
// A cue sheet is read by cdio_disc::CueImage (tracks, files, byte order); other images and
// drives through libcdio.

namespace cdaudio {

namespace {

constexpr uint32_t kBytesPerSector = CDIO_CD_FRAMESIZE_RAW;  // 2352
constexpr uint32_t kRingSectors = kFramesPerSecond;          // one second
constexpr uint32_t kRingFrames = kRingSectors * kSamplesPerFrame;
constexpr uint32_t kChunkSectors = 25;
constexpr int kTickMs = 100;
constexpr uint32_t kPregap = 150;  // address of sector 0 of the disc

using cdio_disc::CdioHandle;

// The simulated trays of images, shared by every device and the watcher.
std::mutex trayMutex;
std::set<std::string> openTrays;

void setImageTray(const std::string& image, bool open)
{
    std::lock_guard lk(trayMutex);
    if (open)
        openTrays.insert(image);
    else
        openTrays.erase(image);
}

struct Toc {
    uint32_t first = 1;                 // number of the first track
    std::vector<uint32_t> start;        // addresses, one per track
    std::vector<bool> audio;
    uint32_t leadout = 0;

    uint32_t count() const { return uint32_t(start.size()); }
    bool hasTrack(uint32_t t) const { return t >= first && t - first < count(); }
    uint32_t startOf(uint32_t t) const { return start[t - first]; }
    uint32_t endOf(uint32_t t) const { return t - first + 1 < count() ? start[t - first + 1] : leadout; }
    // The track that holds `address`; the first for addresses before it, the last after.
    uint32_t trackAt(uint32_t address) const
    {
        auto it = std::upper_bound(start.begin(), start.end(), address);
        return first + uint32_t(it == start.begin() ? 0 : it - start.begin() - 1);
    }
    uint32_t lengthOf(uint32_t t) const
    {
        const uint32_t len = endOf(t) - startOf(t);
        return t - first + 1 == count() && len > 0 ? len - 1 : len;
    }
};

uint32_t digitSum(uint32_t n)
{
    uint32_t s = 0;
    for (; n > 0; n /= 10)
        s += n % 10;
    return s;
}

uint32_t cddbDiscId(const Toc& toc)
{
    uint32_t sum = 0;
    for (uint32_t a : toc.start)
        sum += digitSum(a / kFramesPerSecond);
    const uint32_t seconds = toc.leadout / kFramesPerSecond - toc.start[0] / kFramesPerSecond;
    return ((sum % 255) << 24) | ((seconds & 0xFFFF) << 8) | (toc.count() & 0xFF);
}

}  // namespace

// The texts the user reads in the CD windows' message boxes, in the program's language.
std::string errorText(int code)
{
    static const std::array<const char*, 9> texts = {
        "コマンドは正常に終了しました。",
        "CD ドライブまたはディスク イメージが見つかりません。",
        "デバイスの準備ができていません。ドライブに読み取れるディスクがないか、トレイが開いています。",
        "指定したトラックまたは位置はディスクの範囲外です。",
        "指定した時間の形式は無効です。",
        "ディスクを再生するサウンド デバイスがありません。",
        "ディスクを読み取れませんでした。",
        "ドライブのトレイを動かせませんでした。",
        "サウンド デバイスは CD オーディオを再生できません。",
    };
    return code >= 0 && size_t(code) < texts.size() ? texts[size_t(code)] : "不明な CD オーディオ エラーです。";
}

uint32_t packMsf(uint32_t frames)
{
    const uint32_t m = std::min<uint32_t>(frames / (60 * kFramesPerSecond), 255);
    return m | ((frames / kFramesPerSecond % 60) << 8) | ((frames % kFramesPerSecond) << 16);
}

uint32_t msfFrames(uint32_t msf)
{
    return (msf & 0xFF) * 60 * kFramesPerSecond + ((msf >> 8) & 0xFF) * kFramesPerSecond + ((msf >> 16) & 0xFF);
}

bool imageTrayOpen(const std::string& image)
{
    std::lock_guard lk(trayMutex);
    return openTrays.count(image) > 0;
}

bool isImage(const std::string& drive)
{
    struct stat st {};
    return shell::hasImageExtension(drive) && (::stat(drive.c_str(), &st) != 0 || S_ISREG(st.st_mode));
}

std::string volumeLabel(const std::string& drive)
{
    if (isImage(drive) && imageTrayOpen(drive))
        return {};
    if (isImage(drive) && cdio_disc::isCueSheet(drive)) {
        cdio_disc::CueError error;
        const auto image = cdio_disc::CueImage::open(drive, error);
        if (!image)
            return {};
        const auto& tracks = image->tracks();
        if (std::all_of(tracks.begin(), tracks.end(), [](const cdio_disc::CueTrack& t) { return t.audio; }))
            return "Audio CD";
    } else {
        CdioHandle cd(drive.empty() ? nullptr : cdio_open(drive.c_str(), DRIVER_UNKNOWN));
        if (!cd)
            return {};
        int first = 0, count = 0;
        if (!cdio_disc::TrackRange(cd.get(), first, count))
            return {};
        bool allAudio = true;
        for (int t = first; t < first + count; ++t)
            allAudio = allAudio && cdio_get_track_format(cd.get(), track_t(t)) == TRACK_FORMAT_AUDIO;
        if (allAudio)
            return "Audio CD";
    }
    std::string label;
    (void)shell::discLabel(drive, label);
    return label;
}

struct CdAudioDevice::State {
    State(std::string d, std::shared_ptr<snd::SoundDevice> snd, snd::TickSource& t)
        : drive(std::move(d)), image(isImage(drive)), sheet(image && cdio_disc::isCueSheet(drive)),
          sound(std::move(snd)), ticks(t)
    {
    }

    const std::string drive;
    const bool image;
    const bool sheet;  // a cue sheet, read by CueImage rather than libcdio
    std::shared_ptr<snd::SoundDevice> sound;
    snd::TickSource& ticks;

    std::mutex m;
    CdioHandle cd;
    std::unique_ptr<cdio_disc::CueImage> cue;
    cdio_disc::CueError cueError;  // why the sheet gave no disc
    Toc toc;
    uint32_t format = kMsf;
    Mode mode = Mode::NotReady;
    uint32_t position = 0;      // address; while playing, kept by update()

    std::shared_ptr<snd::SoundBuffer> buffer;
    uint32_t playFrom = 0, playTo = 0;
    uint64_t written = 0, heard = 0;
    uint32_t lastCursor = 0;
    NotifyFn pending;
    std::vector<uint8_t> chunk;

    // Reports hold it weakly; the destructor drops it, and with it every report still
    // queued. Checked and dropped on the user-interface thread only, so the test cannot race.
    std::shared_ptr<const bool> alive = std::make_shared<const bool>(true);
    std::unique_ptr<snd::Waiter> waiter;
    std::thread feeder;
    bool active = false;
    bool terminated = false;

    bool present() const { return mode != Mode::NotReady && mode != Mode::Open; }

    void post(const NotifyFn& fn, Notify value)
    {
        if (fn)
            forms::PostToUiThread([token = std::weak_ptr(alive), fn, value] {
                if (token.lock())
                    fn(value);
            });
    }

    void settlePending(Notify value)
    {
        if (pending)
            post(std::exchange(pending, {}), value);
    }

    void loadDisc()
    {
        cd.reset();
        cue.reset();
        cueError = {};
        toc = {};
        mode = Mode::NotReady;
        position = 0;
        if (image && imageTrayOpen(drive)) {
            mode = Mode::Open;
            return;
        }
        if (sheet) {
            loadSheet();
            return;
        }
        cd.reset(cdio_open(drive.c_str(), DRIVER_UNKNOWN));
        if (!cd)
            return;
        int first = 0, count = 0;
        if (!cdio_disc::TrackRange(cd.get(), first, count))
            return;
        Toc t;
        t.first = first;
        for (int n = first; n <= first + count; ++n) {
            const bool leadout = n == first + count;
            const lba_t lba = cdio_get_track_lba(cd.get(), track_t(leadout ? CDIO_CDROM_LEADOUT_TRACK : n));
            const uint32_t prev = t.start.empty() ? 0 : t.start.back();
            if (lba == CDIO_INVALID_LBA || lba < 0 || (!t.start.empty() && uint32_t(lba) <= prev))
                return;  // a table that does not climb is no disc we can address
            if (leadout)
                t.leadout = uint32_t(lba);
            else {
                t.start.push_back(uint32_t(lba));
                t.audio.push_back(cdio_get_track_format(cd.get(), track_t(n)) == TRACK_FORMAT_AUDIO);
            }
        }
        toc = std::move(t);
        mode = Mode::Stopped;
        position = toc.start[0];
    }

    void loadSheet()
    {
        cue = cdio_disc::CueImage::open(drive, cueError);
        if (!cue)
            return;
        const auto& tracks = cue->tracks();
        Toc t;
        t.first = uint32_t(tracks.front().number);
        for (const cdio_disc::CueTrack& track : tracks) {
            t.start.push_back(track.start + kPregap);
            t.audio.push_back(track.audio);
        }
        t.leadout = cue->leadout() + kPregap;
        toc = std::move(t);
        mode = Mode::Stopped;
        position = toc.start[0];
    }

    bool readSectors(uint32_t address, uint32_t count, uint8_t* out)
    {
        if (cue)
            return cue->read(address - kPregap, count, out);
        return cdio_read_audio_sectors(cd.get(), out, lsn_t(address) - lsn_t(kPregap), count) == DRIVER_OP_SUCCESS;
    }

    // --- addresses in the current time format

    uint32_t encode(uint32_t address) const
    {
        if (format == kMilliseconds)
            return uint32_t(uint64_t(address) * 1000 / kFramesPerSecond);
        if (format == kMsf)
            return packMsf(address);
        const uint32_t t = toc.trackAt(address);
        const uint32_t rel = address - std::min(address, toc.startOf(t));
        return (t & 0xFF) | (packMsf(rel) << 8);
    }

    uint32_t encodeLength(uint32_t frames) const
    {
        return format == kMilliseconds ? uint32_t(uint64_t(frames) * 1000 / kFramesPerSecond) : packMsf(frames);
    }

    // An address on the disc: before the first track counts as its start; past the lead-out,
    // or in a track the disc does not have, is out of range.
    int decode(uint32_t value, uint32_t& address) const
    {
        uint64_t a = 0;
        if (format == kMilliseconds)
            a = uint64_t(value) * kFramesPerSecond / 1000;
        else if (format == kMsf)
            a = msfFrames(value);
        else {
            const uint32_t t = value & 0xFF;
            if (!toc.hasTrack(t))
                return error::kOutOfRange;
            a = uint64_t(toc.startOf(t)) + msfFrames(value >> 8);
        }
        if (a > toc.leadout)
            return error::kOutOfRange;
        address = std::max(uint32_t(a), toc.start[0]);
        return error::kOk;
    }

    // --- playback (lock held)

    void stopBuffer()
    {
        active = false;
        if (buffer)
            (void)buffer->Stop();
    }

    void finish(Notify how)
    {
        stopBuffer();
        mode = Mode::Stopped;
        position = how == Notify::Successful ? playTo : uint32_t(playFrom + heard / kSamplesPerFrame);
        settlePending(how);
    }

    // Follows the audible cursor; ends the play once its last frame has been heard.
    void update()
    {
        if (mode != Mode::Playing)
            return;
        uint32_t cursor = 0;
        (void)buffer->GetCurrentPosition(&cursor, nullptr);
        cursor /= 4;
        heard = std::min<uint64_t>(heard + (cursor + kRingFrames - lastCursor) % kRingFrames, written);
        lastCursor = cursor;
        position = std::min(playTo, uint32_t(playFrom + heard / kSamplesPerFrame));
        if (heard >= uint64_t(playTo - playFrom) * kSamplesPerFrame)
            finish(Notify::Successful);
    }

    // Tops the ring up; false after a read error (the play has then ended).
    bool fill()
    {
        while (mode == Mode::Playing && written + kSamplesPerFrame <= heard + kRingFrames) {
            const uint32_t address = uint32_t(playFrom + written / kSamplesPerFrame);
            const uint32_t ringSector = uint32_t(written / kSamplesPerFrame % kRingSectors);
            const uint32_t space = uint32_t((heard + kRingFrames - written) / kSamplesPerFrame);
            uint32_t n = std::min({space, kRingSectors - ringSector, kChunkSectors});
            const bool silent = address >= playTo || !toc.audio[toc.trackAt(address) - toc.first];
            if (address < playTo)
                n = std::min({n, playTo - address, toc.endOf(toc.trackAt(address)) - address});
            chunk.assign(size_t(n) * kBytesPerSector, 0);
            if (!silent && !readSectors(address, n, chunk.data())) {
                finish(Notify::Failure);
                return false;
            }
            void *p1 = nullptr, *p2 = nullptr;
            uint32_t n1 = 0, n2 = 0;
            if (buffer->Lock(ringSector * kBytesPerSector, uint32_t(chunk.size()), &p1, &n1, &p2, &n2) != 0) {
                finish(Notify::Failure);
                return false;
            }
            std::memcpy(p1, chunk.data(), n1);
            (void)buffer->Unlock(p1, n1, p2, n2);
            written += uint64_t(n) * kSamplesPerFrame;
        }
        return true;
    }

    int startPlay(uint32_t from, uint32_t to, const NotifyFn& notify)
    {
        if (!sound)
            return error::kNoSoundDevice;
        if (!buffer) {
            snd::BufferDesc desc;
            desc.flags = snd::caps::kGlobalFocus | snd::caps::kGetCurrentPosition2;
            desc.bufferBytes = kRingSectors * kBytesPerSector;
            desc.format = snd::WaveFormat::pcm(44100, 2, 16);
            if (sound->createSoundBuffer(desc, &buffer) != 0)
                return error::kNotPlayable;
        }
        settlePending(Notify::Superseded);
        stopBuffer();
        pending = notify;
        playFrom = from;
        playTo = to;
        position = from;
        written = heard = 0;
        lastCursor = 0;
        mode = Mode::Playing;
        if (from >= to) {
            finish(Notify::Successful);
            return error::kOk;
        }
        (void)buffer->SetCurrentPosition(0);
        if (!fill())
            return error::kOk;  // reported through the notification
        if (buffer->Play(snd::kPlayLooping) != 0) {
            finish(Notify::Failure);
            return error::kOk;
        }
        active = true;
        waiter->wake();
        return error::kOk;
    }

    void feed()
    {
        for (;;) {
            bool on = false;
            {
                std::lock_guard lk(m);
                if (terminated)
                    return;
                on = active;
            }
            waiter->wait(on ? kTickMs : -1);
            std::lock_guard lk(m);
            if (terminated)
                return;
            if (active) {
                update();
                fill();
            }
        }
    }
};

CdAudioDevice::CdAudioDevice(std::unique_ptr<State> state) : s_(std::move(state)) {}

std::unique_ptr<CdAudioDevice> CdAudioDevice::open(const std::string& drive,
                                                   std::shared_ptr<snd::SoundDevice> sound,
                                                   snd::TickSource& ticks, int& error)
{
    error = error::kNoDrive;
    struct stat st {};
    const bool image = isImage(drive);
    if (drive.empty() || (!image && (::stat(drive.c_str(), &st) != 0 || !cdio_is_device(drive.c_str(), DRIVER_DEVICE))))
        return nullptr;
    if (image && ::stat(drive.c_str(), &st) != 0 && !imageTrayOpen(drive))
        return nullptr;
    auto state = std::make_unique<State>(drive, std::move(sound), ticks);
    state->loadDisc();
    state->waiter = ticks.createWaiter();
    State* s = state.get();
    state->feeder = std::thread([s] { s->feed(); });
    error = error::kOk;
    return std::unique_ptr<CdAudioDevice>(new CdAudioDevice(std::move(state)));
}

CdAudioDevice::~CdAudioDevice()
{
    {
        std::lock_guard lk(s_->m);
        s_->terminated = true;
        s_->stopBuffer();
        s_->pending = {};
    }
    s_->waiter->wake();
    s_->feeder.join();
    s_->buffer.reset();
    s_->alive.reset();  // drops notifications still queued for this device
}

const std::string& CdAudioDevice::drive() const { return s_->drive; }

int CdAudioDevice::status(Status item, uint32_t& value, uint32_t track)
{
    std::lock_guard lk(s_->m);
    State& s = *s_;
    value = 0;
    s.update();
    switch (item) {
    case Status::Mode:
        value = uint32_t(s.mode);
        return error::kOk;
    case Status::TimeFormat:
        value = s.format;
        return error::kOk;
    case Status::MediaPresent:
        value = s.present() ? 1 : 0;
        return error::kOk;
    default:
        break;
    }
    if (!s.present())
        return error::kNotReady;
    if (track != 0 && !s.toc.hasTrack(track))
        return error::kOutOfRange;
    switch (item) {
    case Status::Position:
        value = track == 0 ? s.encode(s.position)
                : s.format == kTmsf ? (track & 0xFF)
                                    : s.encode(s.toc.startOf(track));
        break;
    case Status::Length:
        value = s.encodeLength(track == 0 ? s.toc.leadout : s.toc.lengthOf(track));
        break;
    case Status::NumberOfTracks:
        value = s.toc.count();
        break;
    default:
        break;
    }
    return error::kOk;
}

int CdAudioDevice::setTimeFormat(uint32_t format, const NotifyFn& notify)
{
    std::lock_guard lk(s_->m);
    if (format != kMilliseconds && format != kMsf && format != kTmsf)
        return error::kBadTimeFormat;
    s_->format = format;
    s_->post(notify, Notify::Successful);
    return error::kOk;
}

int CdAudioDevice::play(std::optional<uint32_t> from, std::optional<uint32_t> to, const NotifyFn& notify)
{
    std::lock_guard lk(s_->m);
    State& s = *s_;
    s.update();
    if (!s.present())
        return error::kNotReady;
    uint32_t a = s.position, b = s.toc.leadout;
    if (from)
        if (int e = s.decode(*from, a))
            return e;
    if (to)
        if (int e = s.decode(*to, b))
            return e;
    if (a > b)
        return error::kOutOfRange;
    return s.startPlay(a, b, notify);
}

int CdAudioDevice::pause(const NotifyFn& notify)
{
    std::lock_guard lk(s_->m);
    State& s = *s_;
    s.update();
    if (!s.present())
        return error::kNotReady;
    if (s.mode == Mode::Playing) {
        s.stopBuffer();
        s.mode = Mode::Paused;
        s.settlePending(Notify::Aborted);
    }
    s.post(notify, Notify::Successful);
    return error::kOk;
}

int CdAudioDevice::stop(const NotifyFn& notify)
{
    std::lock_guard lk(s_->m);
    State& s = *s_;
    s.update();
    if (!s.present())
        return error::kNotReady;
    if (s.mode == Mode::Playing || s.mode == Mode::Paused) {
        s.stopBuffer();
        s.mode = Mode::Stopped;
        s.settlePending(Notify::Aborted);
    }
    s.post(notify, Notify::Successful);
    return error::kOk;
}

int CdAudioDevice::seek(uint32_t to, const NotifyFn& notify)
{
    std::lock_guard lk(s_->m);
    State& s = *s_;
    s.update();
    if (!s.present())
        return error::kNotReady;
    uint32_t a = 0;
    if (int e = s.decode(to, a))
        return e;
    s.settlePending(Notify::Superseded);
    s.stopBuffer();
    s.mode = Mode::Stopped;
    s.position = a;
    s.post(notify, Notify::Successful);
    return error::kOk;
}

int CdAudioDevice::seekToStart(const NotifyFn& notify)
{
    uint32_t target = 0;
    {
        std::lock_guard lk(s_->m);
        if (!s_->present())
            return error::kNotReady;
        target = s_->encode(s_->toc.start[0]);
    }
    return seek(target, notify);
}

int CdAudioDevice::seekToEnd(const NotifyFn& notify)
{
    uint32_t target = 0;
    {
        std::lock_guard lk(s_->m);
        if (!s_->present())
            return error::kNotReady;
        target = s_->encode(s_->toc.leadout);
    }
    return seek(target, notify);
}

int CdAudioDevice::setDoor(bool open, const NotifyFn& notify)
{
    std::lock_guard lk(s_->m);
    State& s = *s_;
    s.update();
    if (s.mode == Mode::Playing || s.mode == Mode::Paused)
        s.settlePending(Notify::Aborted);
    s.stopBuffer();
    if (s.image)
        setImageTray(s.drive, open);
    else if (!(open ? shell::ejectTray(s.drive) : shell::closeTray(s.drive)))
        return error::kTrayFailed;
    if (open) {
        s.cd.reset();
        s.cue.reset();
        s.toc = {};
        s.mode = Mode::Open;
    } else
        s.loadDisc();
    s.post(notify, Notify::Successful);
    return error::kOk;
}

int CdAudioDevice::info(InfoItem item, std::string& text)
{
    std::lock_guard lk(s_->m);
    State& s = *s_;
    text.clear();
    if (item == InfoItem::Product) {
        cdio_hwinfo_t hw {};
        if (!s.image && s.cd && cdio_get_hwinfo(s.cd.get(), &hw))
            text = std::string(hw.psz_vendor) + " " + hw.psz_model;
        else
            text = s.image ? "CD Audio (disc image)" : "CD Audio";
        return error::kOk;
    }
    if (!s.present())
        return error::kNotReady;
    if (item == InfoItem::Mcn) {
        if (char* mcn = s.cd ? cdio_get_mcn(s.cd.get()) : nullptr) {
            text = mcn;
            cdio_free(mcn);
        }
        return error::kOk;
    }
    text = std::to_string(cddbDiscId(s.toc));
    return error::kOk;
}

cdio_disc::CueError CdAudioDevice::imageError() const
{
    std::lock_guard lk(s_->m);
    return s_->cueError;
}

Caps CdAudioDevice::caps() const
{
    Caps c;
    c.canPlay = true;
    c.canEject = !s_->image;
    return c;
}

}  // namespace cdaudio
