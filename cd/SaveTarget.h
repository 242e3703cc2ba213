// What the ripper and the voice recorder share about the file a user names to save into
// (whether it exists is util's PathExists).
#pragma once

#include <QFileInfo>
#include <QString>

#include <string>

namespace save_target {

// Asked before a file of the same name is overwritten.
inline constexpr const char* SameNameText = "同じ名前があります！！\r\r　　　　上書きしてもよろしいですか？";

// The folder the file is in, remembered as where the next save dialog opens.
inline std::string FolderOf(const std::string& Path)
{
    return QFileInfo(QString::fromStdString(Path)).absolutePath().toStdString();
}

}  // namespace save_target
