// The single-instance lock: one per user and display, held by one process at a time, free again
// when its holder ends however it ends, never kept by a file someone else left, and a second
// start of the real program ends at once and silently.
#include "app/SingleInstance.h"

#include "support/TestSupport.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::waitFor;

// How long a test waits for what it expects.
constexpr int kWaitMs = 15000;

namespace {

constexpr unsigned kNobody = 65534;

// The process id the lock file names (0 while there is none).
qint64 lockOwner(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readLine().trimmed().toLongLong();
}

// "test_app --holdInstanceLock PATH": takes the lock as the program does, says whether it got
// it, and keeps it until it is killed: another process of ours.
int holdInstanceLock(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    auto lock = OpenInstanceMutex(argv[2]);
    std::puts(!lock ? "busy" : lock->isLocked() ? "held" : "unguarded");
    std::fflush(stdout);
    for (;;)
        ::pause();
}
const testsupport::TestProgramMode holdMode("holdInstanceLock", holdInstanceLock);

struct Holder {
    explicit Holder(const std::string& path)
    {
        p.start(QCoreApplication::applicationFilePath(), {"--holdInstanceLock", QString::fromStdString(path)});
    }
    ~Holder()
    {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
        }
    }
    std::string answer()
    {
        if (!p.waitForReadyRead(kWaitMs))
            return "no answer";
        return p.readLine().trimmed().toStdString();
    }
    QProcess p;
};

struct Program {
    Program(const testsupport::TempDir& runtime, const QString& display)
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.remove("WAYLAND_DISPLAY");
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
        p.setProgram(QCoreApplication::applicationDirPath() + "/../app/tambourelle");
    }
    ~Program()
    {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
        }
    }
    QProcess p;
};

bool haveTheProgram()
{
    return QFileInfo(QCoreApplication::applicationDirPath() + "/../app/tambourelle").isExecutable();
}

}  // namespace

TEST(SingleInstance, OneLockPerUserAndDisplay)
{
    testsupport::TempDir runtime, shared;
    const unsigned me = unsigned(::geteuid());
    const std::string inRuntime = InstanceLockPath(runtime.path(), shared.path(), me, ":0");
    EXPECT_EQ(inRuntime, runtime.file("MutexObjectForFlorvennic-0.lock"));
    // The screen number names no other display; another display has a lock of its own.
    EXPECT_EQ(InstanceLockPath(runtime.path(), shared.path(), me, ":0.0"), inRuntime);
    EXPECT_EQ(InstanceLockPath(runtime.path(), shared.path(), me, "localhost:10.0"),
              runtime.file("MutexObjectForFlorvennic-localhost_10.lock"));
    EXPECT_EQ(InstanceLockPath(runtime.path(), shared.path(), me, "wayland-1"),
              runtime.file("MutexObjectForFlorvennic-wayland-1.lock"));
    EXPECT_EQ(InstanceLockPath(runtime.path(), shared.path(), me, ""), runtime.file("MutexObjectForFlorvennic.lock"));

    // No runtime folder, or one that is another user's (su passes it on): the shared folder,
    // under a name of the user's own.
    const std::string mine = shared.file("MutexObjectForFlorvennic-" + std::to_string(me) + "-0.lock");
    EXPECT_EQ(InstanceLockPath("", shared.path(), me, ":0"), mine);
    EXPECT_EQ(InstanceLockPath(runtime.path() + "/missing", shared.path(), me, ":0"), mine);
    EXPECT_EQ(InstanceLockPath(runtime.path(), shared.path(), me + 1, ":0"),
              shared.file("MutexObjectForFlorvennic-" + std::to_string(me + 1) + "-0.lock"));
}

TEST(SingleInstance, TheLockIsHeldOnceAndFreedWithItsHolder)
{
    testsupport::TempDir dir;
    const std::string path = InstanceLockPath(dir.path(), dir.path(), unsigned(::geteuid()), ":0");
    auto first = OpenInstanceMutex(path);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isLocked());
    EXPECT_EQ(lockOwner(path), qint64(::getpid()));
    EXPECT_EQ(OpenInstanceMutex(path), nullptr);
    // Another display is another desktop: its start goes ahead.
    EXPECT_NE(OpenInstanceMutex(InstanceLockPath(dir.path(), dir.path(), unsigned(::geteuid()), ":1")), nullptr);
    first.reset();
    EXPECT_NE(OpenInstanceMutex(path), nullptr);
}

TEST(SingleInstance, AnotherProcessHoldsTheLockUntilItDies)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("MutexObjectForFlorvennic-0.lock");
    Holder holder(path);
    ASSERT_EQ(holder.answer(), "held");
    EXPECT_EQ(lockOwner(path), holder.p.processId());
    EXPECT_EQ(OpenInstanceMutex(path), nullptr);
    Holder second(path);
    EXPECT_EQ(second.answer(), "busy");

    // Killed without a chance to clean up: the file stays, the lock does not.
    ::kill(pid_t(holder.p.processId()), SIGKILL);
    ASSERT_TRUE(holder.p.waitForFinished(kWaitMs));
    ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(path)));
    auto next = OpenInstanceMutex(path);
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(next->isLocked());
}

TEST(SingleInstance, AFileLeftBehindDoesNotKeepTheProgramOut)
{
    testsupport::TempDir dir;
    // As an older version left it: a process id that runs no more, a host name, an age.
    const std::string path = dir.file("MutexObjectForFlorvennic-0.lock");
    testsupport::writeFile(path, "999999\ntambourelle\nhost\n");
    auto lock = OpenInstanceMutex(path);
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(lock->isLocked());
    EXPECT_EQ(lockOwner(path), qint64(::getpid()));
}

// The shared temporary folder as another user left it: under our lock's name lies something
// that is not our own file. The start goes ahead (unguarded) and writes nothing into it.
TEST(SingleInstance, WhatAnotherUserLeftUnderOurNameDoesNotKeepTheProgramOut)
{
    testsupport::TempDir shared;
    const unsigned me = unsigned(::geteuid());
    const std::string path = InstanceLockPath("", shared.path(), me, ":0");

    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);   // a folder by that name
    auto inFolder = OpenInstanceMutex(path);
    ASSERT_NE(inFolder, nullptr);
    EXPECT_FALSE(inFolder->isLocked());
    ASSERT_EQ(::rmdir(path.c_str()), 0);

    const std::string elsewhere = shared.file("someone-elses");
    testsupport::writeFile(elsewhere, "theirs\n");
    ASSERT_EQ(::symlink(elsewhere.c_str(), path.c_str()), 0);   // a link to another file
    auto viaLink = OpenInstanceMutex(path);
    ASSERT_NE(viaLink, nullptr);
    EXPECT_FALSE(viaLink->isLocked());
    EXPECT_EQ(testsupport::readFile(elsewhere), "theirs\n");
    ASSERT_EQ(::unlink(path.c_str()), 0);

    if (me != 0)
        GTEST_SKIP() << "only root can leave a file of another user's here";
    // Another user's file, locked by their running program: root opens any file, and the
    // lock's owner is what keeps the two apart.
    testsupport::writeFile(path, "4242\n");
    ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    const int theirs = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(theirs, 0);
    ASSERT_EQ(::flock(theirs, LOCK_EX | LOCK_NB), 0);
    auto lock = OpenInstanceMutex(path);
    EXPECT_NE(lock, nullptr);
    EXPECT_EQ(testsupport::readFile(path), "4242\n");
    ::close(theirs);
}

TEST(SingleInstance, AFolderThatCannotHoldTheLockDoesNotKeepTheProgramOut)
{
    auto lock = OpenInstanceMutex("/nonexistent/folder/for/the/MutexObjectForFlorvennic.lock");
    ASSERT_NE(lock, nullptr);
    EXPECT_FALSE(lock->isLocked());
}

TEST(SingleInstance, ASecondStartOfTheProgramEndsSilently)
{
    if (!haveTheProgram())
        GTEST_SKIP() << "the program is not built";
    testsupport::TempDir runtime;
    const std::string lockPath = runtime.file("MutexObjectForFlorvennic-7.lock");
    Program first(runtime, ":7");
    first.p.start();
    ASSERT_TRUE(first.p.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return lockOwner(lockPath) == first.p.processId(); }, kWaitMs));

    Program second(runtime, ":7.0");
    second.p.start();
    ASSERT_TRUE(second.p.waitForFinished(15000));
    EXPECT_EQ(second.p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.p.exitCode(), 0);
    EXPECT_TRUE(second.p.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(second.p.readAllStandardError().isEmpty());
    EXPECT_EQ(first.p.state(), QProcess::Running);

    // A holder that died without letting go does not keep the next start out.
    ::kill(pid_t(first.p.processId()), SIGKILL);
    first.p.waitForFinished(5000);
    Program third(runtime, ":7");
    third.p.start();
    ASSERT_TRUE(third.p.waitForStarted());
    EXPECT_TRUE(waitFor([&] { return lockOwner(lockPath) == third.p.processId(); }, kWaitMs));
    EXPECT_EQ(third.p.state(), QProcess::Running);
}
