// The single-instance lock: held once per runtime folder, free again after its holder ends,
// and a second start of the real program ends at once and silently.
#include "app/SingleInstance.h"

#include "support/TestSupport.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>

using testsupport::waitFor;

// How long a test waits for what it expects.
constexpr int kWaitMs = 15000;

namespace {

QString lockPath(const testsupport::TempDir& dir)
{
    return QString::fromStdString(dir.path()) + "/MutexObjectForFlorvennic.lock";
}

// The process id the lock file names (0 while there is none).
qint64 lockOwner(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readLine().trimmed().toLongLong();
}

struct Program {
    explicit Program(const testsupport::TempDir& runtime)
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
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

TEST(SingleInstance, TheLockIsHeldOnceAndFreedWithItsHolder)
{
    testsupport::TempDir dir;
    auto first = OpenInstanceMutex(dir.path());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(OpenInstanceMutex(dir.path()), nullptr);
    first.reset();
    EXPECT_NE(OpenInstanceMutex(dir.path()), nullptr);
}

TEST(SingleInstance, AFolderThatCannotHoldTheLockDoesNotKeepTheProgramOut)
{
    auto lock = OpenInstanceMutex("/nonexistent/folder/for/the/lock");
    ASSERT_NE(lock, nullptr);
    EXPECT_FALSE(lock->isLocked());
}

TEST(SingleInstance, ASecondStartOfTheProgramEndsSilently)
{
    if (!haveTheProgram())
        GTEST_SKIP() << "the program is not built";
    testsupport::TempDir runtime;
    Program first(runtime);
    first.p.start();
    ASSERT_TRUE(first.p.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return lockOwner(lockPath(runtime)) == first.p.processId(); }, kWaitMs));

    Program second(runtime);
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
    Program third(runtime);
    third.p.start();
    ASSERT_TRUE(third.p.waitForStarted());
    EXPECT_TRUE(waitFor([&] { return lockOwner(lockPath(runtime)) == third.p.processId(); }, kWaitMs));
    EXPECT_EQ(third.p.state(), QProcess::Running);
}
