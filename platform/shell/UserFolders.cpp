#include "platform/shell/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

namespace shell {

namespace {

std::string standardPath(QStandardPaths::StandardLocation location)
{
    return QDir::cleanPath(QStandardPaths::writableLocation(location)).toStdString();
}

// $XDG_CONFIG_HOME or $XDG_DATA_HOME when set to an absolute path, else the default under
// the home folder, as the XDG base-directory rules say.
std::string xdgHome(const char* variable, const char* fallbackBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (value.startsWith('/'))
        return QDir::cleanPath(value).toStdString();
    return QDir::cleanPath(QDir::homePath() + '/' + fallbackBelowHome).toStdString();
}

}  // namespace

std::string configHomePath() { return xdgHome("XDG_CONFIG_HOME", ".config"); }

std::vector<std::string> dataFolderPaths()
{
    std::vector<std::string> folders = {xdgHome("XDG_DATA_HOME", ".local/share")};
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = "/usr/local/share:/usr/share";
    for (const QString& dir : dirs.split(':', Qt::SkipEmptyParts))
        if (dir.startsWith('/'))
            folders.push_back(QDir::cleanPath(dir).toStdString());
    return folders;
}

std::string homeTrashPath()
{
    return xdgHome("XDG_DATA_HOME", ".local/share") + "/Trash";
}

std::string userFolderPath(UserFolder folder)
{
    switch (folder) {
    case UserFolder::Desktop: return standardPath(QStandardPaths::DesktopLocation);
    case UserFolder::Applications: return xdgHome("XDG_DATA_HOME", ".local/share") + "/applications";
    case UserFolder::Documents: return standardPath(QStandardPaths::DocumentsLocation);
    case UserFolder::Autostart: return xdgHome("XDG_CONFIG_HOME", ".config") + "/autostart";
    case UserFolder::Music: return standardPath(QStandardPaths::MusicLocation);
    case UserFolder::Fonts: return xdgHome("XDG_DATA_HOME", ".local/share") + "/fonts";
    case UserFolder::Trash: return homeTrashPath() + "/files";
    case UserFolder::Recent:
    case UserFolder::SendTo: break;
    }
    return {};
}

bool moveToTrash(const std::string& path)
{
    if (path.empty() || !QFileInfo::exists(QString::fromStdString(path)))
        return false;
    // The freedesktop trash rules want a missing home trash made on first use; Qt makes only the
    // last level, so a fresh $XDG_DATA_HOME would refuse the move.
    const QString trash = QString::fromStdString(homeTrashPath());
    if (!QFileInfo::exists(trash) && QDir().mkpath(trash)) {
        QFile::setPermissions(trash, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                         | QFileDevice::ExeOwner);
        QDir().mkpath(trash + "/files");
        QDir().mkpath(trash + "/info");
    }
    // A trash path taken by a file would make Qt fall back to odd places (folders made in the
    // current directory): refuse instead, the file stays where it is.
    if (!QFileInfo(trash).isDir())
        return false;
    return QFile::moveToTrash(QString::fromStdString(path));
}

}  // namespace shell
