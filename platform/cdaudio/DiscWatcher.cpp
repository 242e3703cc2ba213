#include "platform/cdaudio/DiscWatcher.h"

#include "platform/cdaudio/CdAudioDevice.h"

#include "platform/forms/Application.h"

#include <algorithm>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <map>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace cdaudio {

namespace {

// What a poll sees of one drive; a disc "changed" when any field differs.
struct Seen {
    bool present = false;
    int64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t inode = 0;
    bool operator==(const Seen&) const = default;
};

Seen look(const std::string& drive)
{
    Seen seen;
    if (isImage(drive)) {
        struct stat st {};
        if (::stat(drive.c_str(), &st) != 0 || imageTrayOpen(drive))
            return seen;
        seen = {true, int64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                uint64_t(st.st_ino)};
        return seen;
    }
    const int fd = ::open(drive.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return seen;
    seen.present = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT) == CDS_DISC_OK;
    ::close(fd);
    return seen;
}

}  // namespace

struct DiscWatcher::State {
    Handler onArrival, onRemoval;
    std::mutex m;
    std::vector<std::string> drives;
    std::map<std::string, Seen> seen;
    std::shared_ptr<const bool> alive = std::make_shared<const bool>(true);  // as the device's
    std::unique_ptr<snd::Waiter> waiter;
    std::thread worker;
    bool terminated = false;

    void post(const Handler& handler, const std::string& drive)
    {
        if (handler)
            forms::PostToUiThread([token = std::weak_ptr(alive), handler, drive] {
                if (token.lock())
                    handler(drive);
            });
    }

    void pollLocked()
    {
        for (const std::string& drive : drives) {
            const Seen now = look(drive);
            auto it = seen.find(drive);
            if (it == seen.end()) {
                seen.emplace(drive, now);
                continue;
            }
            const Seen before = std::exchange(it->second, now);
            if (before == now)
                continue;
            if (before.present)
                post(onRemoval, drive);
            if (now.present)
                post(onArrival, drive);
        }
    }

    void run()
    {
        for (;;) {
            waiter->wait(kIntervalMs);
            std::lock_guard lk(m);
            if (terminated)
                return;
            pollLocked();
        }
    }
};

DiscWatcher::DiscWatcher(Handler onArrival, Handler onRemoval, snd::TickSource& ticks)
    : s_(std::make_unique<State>())
{
    s_->onArrival = std::move(onArrival);
    s_->onRemoval = std::move(onRemoval);
    s_->waiter = ticks.createWaiter();
    State* s = s_.get();
    s_->worker = std::thread([s] { s->run(); });
}

DiscWatcher::~DiscWatcher()
{
    {
        std::lock_guard lk(s_->m);
        s_->terminated = true;
    }
    s_->waiter->wake();
    s_->worker.join();
    s_->alive.reset();  // drops notices still queued
}

void DiscWatcher::setDrives(const std::vector<std::string>& drives)
{
    std::lock_guard lk(s_->m);
    s_->drives = drives;
    std::erase_if(s_->seen, [&](const auto& kv) { return std::find(drives.begin(), drives.end(), kv.first) == drives.end(); });
    s_->pollLocked();
}

void DiscWatcher::poll()
{
    std::lock_guard lk(s_->m);
    s_->pollLocked();
}

}  // namespace cdaudio
