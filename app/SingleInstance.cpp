#include "app/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

std::string InstanceLockFolder()
{
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::tempPath();
    return dir.toStdString();
}

std::unique_ptr<QLockFile> OpenInstanceMutex(const std::string& Folder)
{
    const QString path = QDir(QString::fromStdString(Folder)).filePath(
        QString::fromLatin1(InstanceMutexName) + QStringLiteral(".lock"));
    auto lock = std::make_unique<QLockFile>(path);
    // A lock whose owner is gone counts as stale at once; a live owner keeps it for ever.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0) && lock->error() == QLockFile::LockFailedError)
        return nullptr;
    return lock;
}
