#include "tags/forms/libGenreHistory.h"

#include "controls/std/ComboBox.h"
#include "platform/rtl/StringList.h"
#include "util/libIni.h"

#include <vector>

namespace {
constexpr const char* kSection = "TAG_GENRE";
}

void LoadGenreHistory(rtl::TStringList& History)
{
    std::vector<std::string> values;
    IniReadSectionList(IniBase, kSection, values, false);
    History.Clear();
    for (const std::string& v : values)
        History.Add(v);
}

void SaveGenreHistory(const rtl::TStringList& History)
{
    std::vector<std::string> values;
    for (int i = 0; i < History.Count(); ++i)
        values.push_back(History[i]);
    IniWriteSectionList(IniBase, kSection, values);
}

bool AddGenreHistory(rtl::TStringList& History, const rtl::TStringList& Standard,
                     const std::string& Genre)
{
    if (Genre.empty() || Standard.IndexOf(Genre) >= 0 || History.IndexOf(Genre) >= 0)
        return false;
    History.Add(Genre);
    return true;
}

void DeleteGenreHistory(controls::TComboBox& History, const std::string& Genre)
{
    const int index = History.ItemIndex();
    if (index >= 0 && index < History.Items().Count())
        History.Items().Delete(index);
    SyncGenreHistory(History, Genre);
}

void SyncGenreHistory(controls::TComboBox& History, const std::string& Genre)
{
    History.SetItemIndex(History.Items().IndexOf(Genre));
}
