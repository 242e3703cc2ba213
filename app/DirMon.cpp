#include "app/DirMon.h"
#include "util/libWindows.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <QDir>
#include <QMetaObject>
#include <QPointer>
#include <QtGlobal>

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Changes of names need the create/delete/move records; the others map onto the inotify
// records that come closest to the time stamps and attributes they stand for.
constexpr std::uint32_t NameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t FilterEvents[] = {
    NameEvents,               // nfFILE_NAME
    NameEvents,               // nfDIR_NAME
    IN_ATTRIB,                // nfATTRIBUTES
    IN_MODIFY,                // nfSIZE
    IN_MODIFY | IN_ATTRIB,    // nfLAST_WRITE (touch changes only the time stamp)
    IN_ACCESS,                // nfLAST_ACCESS
    IN_ATTRIB,                // nfCREATION
    IN_ATTRIB,                // nfSECURITY
};
constexpr std::uint32_t ModifyEvents = IN_MODIFY | IN_ATTRIB | IN_ACCESS;
constexpr std::uint32_t AlwaysEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

// How long the watcher waits for the second half of a rename that a read split.
constexpr int RenamePartnerWaitMs = 20;

std::string ErrorText(int Error, const std::string& Folder)
{
    return std::string(std::strerror(Error)) + ": " + Folder;
}

TDirChange ErrorChange(std::string Message, bool Stopped)
{
    TDirChange c;
    c.Action = dcError;
    c.Message = std::move(Message);
    c.Stopped = Stopped;
    return c;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TDirChangeDecoder

void TDirChangeDecoder::SetRoot(int Wd)
{
    Folders.clear();
    Folders[Wd] = "";
    RootWd = Wd;
    RootGone = false;
    PendingMove = {};
}

void TDirChangeDecoder::SetFolder(int Wd, const std::string& RelDir)
{
    Folders[Wd] = RelDir.empty() || RelDir.back() == '/' ? RelDir : RelDir + "/";
}

std::vector<int> TDirChangeDecoder::RemoveTree(const std::string& RelDir)
{
    const std::string prefix = RelDir + "/";
    std::vector<int> removed;
    for (auto it = Folders.begin(); it != Folders.end();) {
        if (it->first != RootWd && it->second.starts_with(prefix)) {
            removed.push_back(it->first);
            it = Folders.erase(it);
        } else {
            ++it;
        }
    }
    return removed;
}

void TDirChangeDecoder::RenameTree(const std::string& OldRel, const std::string& NewRel)
{
    const std::string oldPrefix = OldRel + "/";
    for (auto& [wd, rel] : Folders)
        if (wd != RootWd && rel.starts_with(oldPrefix))
            rel = NewRel + "/" + rel.substr(oldPrefix.size());
}

void TDirChangeDecoder::Decode(const char* Data, std::size_t Size, std::vector<TDirChange>& Out)
{
    // struct inotify_event: wd, mask, cookie, len, then len bytes of NUL-padded name.
    std::size_t pos = 0;
    while (Size - pos >= sizeof(inotify_event)) {
        inotify_event ev;
        std::memcpy(&ev, Data + pos, sizeof ev);
        pos += sizeof ev;
        if (ev.len > Size - pos)
            break;
        const char* name = Data + pos;
        pos += ev.len;
        DecodeRecord(ev.wd, ev.mask, ev.cookie, std::string(name, strnlen(name, ev.len)), Out);
    }
}

void TDirChangeDecoder::Flush(std::vector<TDirChange>& Out)
{
    if (!HasPendingMove())
        return;
    // A folder that left the watched tree: records of its watches are no longer ours.
    if (PendingMove.IsDir)
        for (int wd : RemoveTree(PendingMove.FileName))
            DroppedWatches.push_back(wd);
    Out.push_back(std::move(PendingMove));
    PendingMove = {};
}

std::vector<int> TDirChangeDecoder::TakeDroppedWatches()
{
    return std::exchange(DroppedWatches, {});
}

void TDirChangeDecoder::RootLost(const char* Why, std::vector<TDirChange>& Out)
{
    if (RootGone)
        return;
    RootGone = true;
    Flush(Out);
    Out.push_back(ErrorChange(Why, true));
}

void TDirChangeDecoder::DecodeRecord(int Wd, std::uint32_t Mask, std::uint32_t Cookie,
                                     const std::string& Name, std::vector<TDirChange>& Out)
{
    if (Mask & IN_Q_OVERFLOW) {
        PendingMove = {};   // its partner may be among the lost records
        TDirChange c;
        c.Action = dcOverflow;
        Out.push_back(std::move(c));
        return;
    }
    auto folder = Folders.find(Wd);
    if (folder == Folders.end())
        return;   // a folder whose watch is already gone
    if (Wd == RootWd) {
        if (Mask & IN_UNMOUNT)
            return RootLost("The watched folder was unmounted", Out);
        if (Mask & (IN_DELETE_SELF | IN_IGNORED))
            return RootLost("The watched folder was deleted", Out);
        if (Mask & IN_MOVE_SELF)
            return RootLost("The watched folder was moved", Out);
    }
    if (Mask & IN_IGNORED) {
        Folders.erase(folder);
        return;
    }
    if (Name.empty())
        return;   // a change of the sub-folder itself: its parent reports it

    const bool isRenameEnd = (Mask & IN_MOVED_TO) && HasPendingMove() && Cookie == PendingCookie;
    if (HasPendingMove() && !isRenameEnd)
        Flush(Out);

    TDirChange c;
    c.FileName = folder->second + Name;
    c.IsDir = (Mask & IN_ISDIR) != 0;
    if (Mask & IN_CREATE) {
        c.Action = dcCreated;
    } else if (Mask & IN_DELETE) {
        c.Action = dcDeleted;
    } else if (Mask & IN_MOVED_FROM) {
        c.Action = dcDeleted;
        c.Moved = true;
        PendingMove = std::move(c);
        PendingCookie = Cookie;
        return;
    } else if (Mask & IN_MOVED_TO) {
        if (isRenameEnd) {
            c.Action = dcRenamed;
            c.NewName = std::move(c.FileName);
            c.FileName = std::move(PendingMove.FileName);
            PendingMove = {};
            // Later records of this read already name the folder by its new name.
            if (c.IsDir)
                RenameTree(c.FileName, c.NewName);
        } else {
            c.Action = dcCreated;
            c.Moved = true;
        }
    } else if (Mask & ModifyEvents) {
        c.Action = dcModified;
    } else {
        return;
    }
    Out.push_back(std::move(c));
}

// ---------------------------------------------------------------------------------------
// TDirMon

TDirMon::TDirMon(QObject* Owner) : QObject(Owner) {}

TDirMon::~TDirMon()
{
    Stop();
}

void TDirMon::SetPath(const std::string& Value)
{
    // The folder's name is kept as bytes, which need not be UTF-8: Latin-1 carries each byte
    // through the cleaning, which only looks at '/' and '.'.
    if (!IsFolder(Value))
        return;
    std::string path = QDir::cleanPath(QString::fromLatin1(Value)).toLatin1().toStdString();
    if (path.back() != '/')
        path += '/';
    // Restarting on the same folder would only drop the changes still on their way.
    if (path == FPath)
        return;
    // The watcher thread reads FPath, so it changes only while no watch runs.
    const bool wasActive = FActive;
    Stop();
    FPath = path;
    if (wasActive)
        Start();
}

void TDirMon::SetActive(bool Value)
{
    if (Value)
        Start();
    else
        Stop();
}

void TDirMon::Start()
{
    if (FActive)
        return;
    std::uint32_t mask = 0;
    for (TNotifyFilter f : WatchFilters)
        mask |= FilterEvents[f];
    if (mask == 0)
        return;
    Filters = WatchFilters;
    Subtree = WatchSubtree;
    Mask = mask | AlwaysEvents | (Subtree ? NameEvents : 0);

    Fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (Fd < 0)
        throw EDirMonError(ErrorText(errno, FPath));
    const int wd = inotify_add_watch(Fd, FPath.c_str(), Mask);
    StopFd = wd < 0 ? -1 : eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wd < 0 || StopFd < 0) {
        const int error = errno;
        ::close(Fd);
        Fd = -1;
        throw EDirMonError(ErrorText(error, FPath));
    }
    Decoder.SetRoot(wd);
    std::vector<TDirChange> problems;
    if (Subtree)
        WatchTree("", false, problems);
    {
        std::lock_guard lock(QueueMutex);
        Queue.clear();
        DrainPosted = false;
        Overflowed = false;
    }
    Worker = std::thread([this] { Run(); });
    FActive = true;
    if (!problems.empty())
        Post(problems);
}

void TDirMon::Stop()
{
    if (Worker.joinable()) {
        const std::uint64_t one = 1;
        if (::write(StopFd, &one, sizeof one) != sizeof one)
            qWarning("TDirMon: cannot signal the watcher thread: %s", std::strerror(errno));
        Worker.join();
    }
    if (Fd >= 0)
        ::close(Fd);
    if (StopFd >= 0)
        ::close(StopFd);
    Fd = StopFd = -1;
    {
        std::lock_guard lock(QueueMutex);
        Queue.clear();
        Overflowed = false;
    }
    ++Generation;   // a drain already running delivers nothing more of the old watch
    FActive = false;
}

// Adds the watch of one sub-folder. A sub-folder's own removal or move is told by its
// parent's records, so its watch leaves those out. A folder already gone again is no error.
bool TDirMon::WatchFolder(const std::string& RelDir, std::vector<TDirChange>& Out)
{
    const std::string full = FPath + RelDir;
    const int wd = inotify_add_watch(Fd, full.c_str(), Mask & ~(IN_DELETE_SELF | IN_MOVE_SELF));
    if (wd >= 0) {
        Decoder.SetFolder(wd, RelDir);
        return true;
    }
    if (errno != ENOENT && errno != ENOTDIR)
        Out.push_back(ErrorChange(ErrorText(errno, full), false));
    return false;
}

// Adds watches for the sub-folders below RelDir ("" for the watched folder). With
// ReportContents (a folder made while watching) its entries are reported as created, since
// they came after the folder and no watch saw them come.
void TDirMon::WatchTree(const std::string& RelDir, bool ReportContents,
                        std::vector<TDirChange>& Out)
{
    const std::string full = FPath + RelDir;
    DIR* dir = ::opendir(full.c_str());
    if (!dir)
        return;   // gone again already; its parent reports that
    const std::string prefix = RelDir.empty() ? RelDir : RelDir + "/";
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        const std::string rel = prefix + name;
        if (::lstat((FPath + rel).c_str(), &st) != 0)
            continue;
        const bool isDir = S_ISDIR(st.st_mode);
        if (ReportContents) {
            TDirChange c;
            c.FileName = rel;
            c.IsDir = isDir;
            Out.push_back(c);
        }
        if (isDir && WatchFolder(rel, Out))
            WatchTree(rel, ReportContents, Out);
    }
    ::closedir(dir);
}

// Watches the folders the changes made or brought in, and ends the watches of folders
// that left (the decoder already renamed and dropped them in its table).
void TDirMon::FollowFolders(std::vector<TDirChange>& Changes)
{
    if (!Subtree)
        return;
    std::vector<TDirChange> out;
    out.reserve(Changes.size());
    for (TDirChange& c : Changes) {
        const bool newFolder = c.IsDir && c.Action == dcCreated;
        const bool madeHere = !c.Moved;
        const std::string name = c.FileName;
        out.push_back(std::move(c));
        if (newFolder && WatchFolder(name, out))
            WatchTree(name, madeHere, out);
    }
    Changes = std::move(out);
    for (int wd : Decoder.TakeDroppedWatches())
        inotify_rm_watch(Fd, wd);
}

// The watcher thread: waits for records or the stop signal, never for the user interface.
void TDirMon::Run()
{
    alignas(inotify_event) char buffer[64 * 1024];
    std::vector<TDirChange> changes;
    bool rootGone = false;
    while (!rootGone) {
        pollfd fds[2] = {{StopFd, POLLIN, 0}, {Fd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, Decoder.HasPendingMove() ? RenamePartnerWaitMs : -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (fds[0].revents)
            return;
        changes.clear();
        if (ready == 0) {
            Decoder.Flush(changes);
        } else if (ready < 0) {
            changes.push_back(ErrorChange(ErrorText(errno, FPath), true));
        } else {
            const ssize_t n = ::read(Fd, buffer, sizeof buffer);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n < 0) {
                changes.push_back(ErrorChange(ErrorText(errno, FPath), true));
            } else {
                Decoder.Decode(buffer, static_cast<std::size_t>(n), changes);
            }
        }
        FollowFolders(changes);
        for (const TDirChange& c : changes)
            rootGone = rootGone || (c.Action == dcError && c.Stopped);
        Post(changes);
    }
}

// Watcher thread (and Start): queues the wanted changes and posts one drain per batch.
void TDirMon::Post(std::vector<TDirChange>& Changes)
{
    std::lock_guard lock(QueueMutex);
    for (TDirChange& c : Changes) {
        if (c.Action != dcError && (Overflowed || !Wanted(c)))
            continue;
        if (c.Action == dcOverflow || (c.Action != dcError && Queue.size() >= MaxQueuedChanges)) {
            // The caller rescans; what waits in the queue is part of what it will find.
            std::erase_if(Queue, [](const TDirChange& q) { return q.Action != dcError; });
            TDirChange overflow;
            overflow.Action = dcOverflow;
            Queue.push_back(std::move(overflow));
            Overflowed = true;
            continue;
        }
        Queue.push_back(std::move(c));
    }
    if (!Queue.empty() && !DrainPosted) {
        DrainPosted = true;
        QMetaObject::invokeMethod(this, [this] { Drain(); }, Qt::QueuedConnection);
    }
}

bool TDirMon::Wanted(const TDirChange& Change) const
{
    switch (Change.Action) {
    case dcCreated:
    case dcDeleted:
    case dcRenamed:
        return Filters.contains(Change.IsDir ? nfDIR_NAME : nfFILE_NAME);
    default:
        return true;   // modifications are only watched for when a filter asks for them
    }
}

// User-interface thread: raises the events of everything queued so far. A handler may
// stop, restart or delete the monitor; the rest of the batch is then dropped.
void TDirMon::Drain()
{
    std::vector<TDirChange> batch;
    {
        std::lock_guard lock(QueueMutex);
        batch.swap(Queue);
        DrainPosted = false;
        Overflowed = false;
    }
    QPointer<TDirMon> self(this);
    const unsigned generation = Generation;
    for (const TDirChange& c : batch) {
        if (!self || Generation != generation)
            return;
        try {
            Dispatch(c);
        } catch (const std::exception& e) {
            qCritical("%s", e.what());
        } catch (...) {
            qCritical("TDirMon: an event handler failed");
        }
    }
}

void TDirMon::Dispatch(const TDirChange& Change)
{
    switch (Change.Action) {
    case dcCreated:
        if (OnCreated)
            OnCreated(this, Change.FileName);
        break;
    case dcDeleted:
        if (OnDeleted)
            OnDeleted(this, Change.FileName);
        break;
    case dcModified:
        if (OnModified)
            OnModified(this, Change.FileName);
        break;
    case dcRenamed:
        if (OnRenamed)
            OnRenamed(this, Change.FileName, Change.NewName);
        break;
    case dcOverflow:
        if (OnOverflow)
            OnOverflow(this);
        break;
    case dcError:
        if (Change.Stopped)
            Stop();
        if (OnError)
            OnError(this, Change.Message);
        break;
    }
}
