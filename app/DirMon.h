// Watches one folder (optionally with its sub-folders) for changes made by anyone and
// reports them as events on the user-interface thread.
//
// TDirMon owns an inotify instance and a watcher thread. The watcher reads the kernel's
// change records, decodes them (TDirChangeDecoder) and appends the changes to a queue; the
// first change of a batch posts one queued call to the monitor, which lives on the
// user-interface thread and raises OnCreated, OnDeleted, OnModified and OnRenamed from it.
// The watcher never waits for the user-interface thread, so stopping or destroying the
// monitor never deadlocks, however busy the handlers are.
//
// Nothing is lost silently: when the kernel's queue overflows, or more changes wait for the
// user-interface thread than MaxQueuedChanges, the changes of that batch are replaced by one
// OnOverflow (the caller rescans the folder) and watching goes on. When the watched folder
// itself disappears (deleted, moved away, unmounted) the monitor stops and raises OnError;
// a sub-folder that cannot be watched also raises OnError, and the rest stays watched.
//
// Names are relative to the watched folder ("song.mp3", "disc 1/song.mp3" with
// WatchSubtree). inotify watches one folder at a time, so with WatchSubtree every
// sub-folder gets its own watch, sub-folders that appear later included; the contents of a
// folder made while watching are reported as created once its watch is in place (a file
// made in that same instant may then be reported twice).
//
// Every member is for the user-interface thread (the thread that created the monitor).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <QObject>

class EDirMonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TNotifyFilter {
    nfFILE_NAME,
    nfDIR_NAME,
    nfATTRIBUTES,
    nfSIZE,
    nfLAST_WRITE,
    nfLAST_ACCESS,
    nfCREATION,
    nfSECURITY
};
using TNotifyFilters = std::set<TNotifyFilter>;

enum TDirChangeAction { dcCreated, dcDeleted, dcModified, dcRenamed, dcOverflow, dcError };

struct TDirChange {
    TDirChangeAction Action = dcCreated;
    std::string FileName;   // relative to the watched folder; the old name of a rename
    std::string NewName;    // dcRenamed: the new name
    std::string Message;    // dcError: what went wrong
    bool IsDir = false;
    bool Moved = false;     // dcCreated/dcDeleted: moved in from or out to another folder
    bool Stopped = false;   // dcError: the watch has ended
};

// Decodes the records of inotify reads into changes. It keeps the table of watched
// folders (watch descriptor -> folder relative to the watched one, "" or "sub/") and the
// first half of a rename until its second half arrives, which may be in the next read:
// a move out of the watched folders has no second half and becomes dcDeleted, a move in
// from elsewhere has no first half and becomes dcCreated. Owned by the watcher thread.
class TDirChangeDecoder {
public:
    void SetRoot(int Wd);
    void SetFolder(int Wd, const std::string& RelDir);
    // The watch descriptors of RelDir and everything below it, and forgets them.
    std::vector<int> RemoveTree(const std::string& RelDir);
    // A watched folder was renamed inside the watched tree.
    void RenameTree(const std::string& OldRel, const std::string& NewRel);

    // Decodes one read. Malformed or truncated records end the decoding of the buffer.
    void Decode(const char* Data, std::size_t Size, std::vector<TDirChange>& Out);
    bool HasPendingMove() const { return !PendingMove.FileName.empty(); }
    // The rename's second half is not coming: the first half becomes a move out.
    void Flush(std::vector<TDirChange>& Out);
    // Watches of folders that moved out of the tree, for the caller to end.
    std::vector<int> TakeDroppedWatches();

private:
    void DecodeRecord(int Wd, std::uint32_t Mask, std::uint32_t Cookie, const std::string& Name,
                      std::vector<TDirChange>& Out);
    void RootLost(const char* Why, std::vector<TDirChange>& Out);

    std::map<int, std::string> Folders;
    int RootWd = -1;
    bool RootGone = false;
    TDirChange PendingMove;   // dcDeleted with Moved, waiting for its partner
    std::uint32_t PendingCookie = 0;
    std::vector<int> DroppedWatches;
};

class TDirMon : public QObject {
public:
    using TFileEvent = std::function<void(TDirMon* Sender, const std::string& FileName)>;
    using TRenameEvent = std::function<void(TDirMon* Sender, const std::string& fromFileName,
                                            const std::string& toFileName)>;
    using TNotifyEvent = std::function<void(TDirMon* Sender)>;
    using TErrorEvent = std::function<void(TDirMon* Sender, const std::string& Message)>;

    explicit TDirMon(QObject* Owner = nullptr);
    ~TDirMon() override;

    // The watched folder with a trailing "/". Setting a folder that does not exist keeps
    // the old one; setting another folder while active restarts the watch there.
    const std::string& Path() const { return FPath; }
    void SetPath(const std::string& Value);

    // true starts (EDirMonError when the folder cannot be watched; with empty
    // WatchFilters nothing starts and no error is raised), false stops.
    bool Active() const { return FActive; }
    void SetActive(bool Value);

    // Read when the watch starts.
    TNotifyFilters WatchFilters{nfFILE_NAME, nfDIR_NAME, nfLAST_WRITE, nfCREATION};
    bool WatchSubtree = false;

    // Bound on the changes waiting for the user-interface thread; beyond it they are
    // replaced by one OnOverflow. May be changed at any time.
    std::atomic<std::size_t> MaxQueuedChanges{65536};

    TFileEvent OnCreated;
    TFileEvent OnDeleted;
    TFileEvent OnModified;
    TRenameEvent OnRenamed;
    TNotifyEvent OnOverflow;   // changes were lost: rescan the folder
    TErrorEvent OnError;       // Active() tells whether the watch goes on

private:
    void Start();
    void Stop();
    bool WatchFolder(const std::string& RelDir, std::vector<TDirChange>& Out);
    void WatchTree(const std::string& RelDir, bool ReportContents,
                   std::vector<TDirChange>& Out);
    void FollowFolders(std::vector<TDirChange>& Changes);
    void Run();
    void Post(std::vector<TDirChange>& Changes);
    void Drain();
    void Dispatch(const TDirChange& Change);
    bool Wanted(const TDirChange& Change) const;

    std::string FPath;
    bool FActive = false;

    // The watch; touched by the watcher thread while it runs, by Start/Stop otherwise.
    int Fd = -1;
    int StopFd = -1;
    std::uint32_t Mask = 0;
    TNotifyFilters Filters;
    bool Subtree = false;
    TDirChangeDecoder Decoder;
    std::thread Worker;

    // Hand-over to the user-interface thread.
    std::mutex QueueMutex;
    std::vector<TDirChange> Queue;
    bool DrainPosted = false;
    bool Overflowed = false;
    unsigned Generation = 0;   // user-interface thread: bumped by every Stop
};
