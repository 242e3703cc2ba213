#include "platform/forms/Dialogs.h"
#include "platform/forms/ScreenFit.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QShowEvent>
#include <QStringList>

namespace forms {

std::vector<std::string> TFileDialog::NameFilters(const std::string& Filter)
{
    std::vector<std::string> parts;
    std::string::size_type from = 0;
    while (from <= Filter.size()) {
        const auto bar = Filter.find('|', from);
        parts.push_back(Filter.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
        if (bar == std::string::npos)
            break;
        from = bar + 1;
    }
    std::vector<std::string> out;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string masks = parts[i + 1];
        for (char& c : masks) {
            if (c == ';')
                c = ' ';
        }
        if (masks.find_first_not_of(' ') == std::string::npos)
            continue;
        // The toolkit reads the patterns from the text's closing parentheses; a text that
        // already ends with its masks there is taken as it is.
        const std::string& text = parts[i];
        const std::string tail = "(" + masks + ")";
        const bool named = text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
        out.push_back(named ? text : text + " " + tail);
    }
    return out;
}

std::string ExistingFolderOf(const std::string& Dir)
{
    if (Dir.empty())
        return Dir;
    QString path = QDir(QString::fromStdString(Dir)).absolutePath();
    while (!QFileInfo(path).isDir()) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return "/";
        path.truncate(slash);
    }
    return path.toStdString();
}

namespace {

using TFittedFileDialog = TFittedOnShow<QFileDialog>;

}  // namespace

int TFileDialog::Run(QFileDialog& Dialog)
{
    return Dialog.exec();
}

bool TFileDialog::Execute()
{
    TFittedFileDialog dialog(owner_, QString::fromStdString(Title), QString::fromStdString(ExistingFolderOf(InitialDir)));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(Saving() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(Saving() ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const std::string& f : NameFilters(Filter))
        filters << QString::fromStdString(f);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (FilterIndex >= 1 && FilterIndex <= filters.size())
            dialog.selectNameFilter(filters[FilterIndex - 1]);
    }
    if (!DefaultExt.empty())
        dialog.setDefaultSuffix(QString::fromStdString(DefaultExt));
    if (!FileName.empty()) {
        const QFileInfo info(QString::fromStdString(FileName));
        if (InitialDir.empty() && info.isAbsolute())
            dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (Run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    FileName = dialog.selectedFiles().front().toStdString();
    const int index = int(filters.indexOf(dialog.selectedNameFilter()));
    if (index >= 0)
        FilterIndex = index + 1;
    return true;
}

}  // namespace forms
