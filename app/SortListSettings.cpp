// The saved settings of a sortable list: its column widths, its sort and its view style, in
// sections of the settings file under the list's own key.
#include <cstdlib>
#include <string>
#include <vector>

#include "app/SortListView.h"
#include "util/libIni.h"

namespace {

std::string sectionOf(const TSortListSaveSettings& s, const char* part)
{
    return s.RegistryKey + "\\" + part;
}

}  // namespace

void TCustomSortListView::WriteSavedSettings()
{
    const TSortListSaveSettings& s = SaveSettings;
    if (!s.AutoSave || s.RegistryKey.empty())
        return;
    if (s.SaveColumnSizes) {
        std::string sizes;
        for (int i = 0; i < columnCount(); ++i)
            sizes += (i ? "," : "") + std::to_string(columnWidth(i));
        IniWriteString(IniBase, sectionOf(s, "Columns"), "Sizes", sizes);
    }
    if (s.SaveCurrentSort) {
        IniWriteBool(IniBase, sectionOf(s, "Sort"), "Ascending", ascending_);
        IniWriteInteger(IniBase, sectionOf(s, "Sort"), "SortCol", lastColumn_);
    }
    if (s.SaveViewStyle)
        IniWriteInteger(IniBase, sectionOf(s, "ViewStyle"), "ViewStyle", viewStyle_);
}

void TCustomSortListView::ReadSavedSettings()
{
    const TSortListSaveSettings& s = SaveSettings;
    if (!s.AutoSave || s.RegistryKey.empty())
        return;
    if (s.SaveColumnSizes) {
        // Widths in column order; a missing or unreadable one leaves its column as it is.
        const std::string sizes = IniReadString(IniBase, sectionOf(s, "Columns"), "Sizes", "");
        size_t start = 0;
        for (int i = 0; i < columnCount() && start <= sizes.size(); ++i) {
            size_t end = sizes.find(',', start);
            if (end == std::string::npos)
                end = sizes.size();
            const std::string one = sizes.substr(start, end - start);
            char* stop = nullptr;
            const long w = one.empty() ? -1 : std::strtol(one.c_str(), &stop, 10);
            if (w >= 0 && w <= 100000 && stop && *stop == '\0')
                setColumnWidth(i, int(w));
            start = end + 1;
        }
    }
    if (s.SaveCurrentSort) {
        const bool ascending = IniReadBool(IniBase, sectionOf(s, "Sort"), "Ascending", true);
        const int column = IniReadInteger(IniBase, sectionOf(s, "Sort"), "SortCol", 0);
        ascending_ = ascending;
        if (column >= 0 && column < columnCount()) {
            lastColumn_ = column;
            SortAgain();
        }
    }
    if (s.SaveViewStyle) {
        const int style = IniReadInteger(IniBase, sectionOf(s, "ViewStyle"), "ViewStyle", viewStyle_);
        if (style >= vsIcon && style <= vsReport)
            viewStyle_ = TViewStyle(style);
    }
}
