#include "app/libFavorite.h"
#include "util/CaseFold.h"

#include "app/Globals.h"
#include "app/libMusic.h"
#include "platform/rtl/AsciiCase.h"
#include "util/Cp932.h"
#include "util/libIni.h"


#include <algorithm>
#include <unordered_set>

namespace {

const std::string kNamesSection = "Favorite";
constexpr std::size_t kMaxNameChars = 2047;  // longer values are cut when read back

// The settings file compares section names by ASCII case only; names equal that way share
// one section.
bool sameSection(const std::string& a, const std::string& b)
{
    return rtl::SameAsciiText(a, b);
}

bool isControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// False for a name that no favourite can have: the settings file trims blanks and splits
// lines, so such a name would address another favourite's section, or none.
bool isAddressable(const std::string& name)
{
    return !name.empty() && !isBlank(name.front()) && !isBlank(name.back()) &&
           std::none_of(name.begin(), name.end(), isControl);
}

[[noreturn]] void refuse(const std::string& name)
{
    std::string shown = cp932::isValidUtf8(name) && std::none_of(name.begin(), name.end(), isControl)
                            ? "「" + name + "」"
                            : "";
    throw EFavoriteNameError("お気に入りの名前" + shown +
                             "は使えません（空の名前、前後の空白、改行などの制御文字、"
                             "「]」「=」は使えません）");
}

std::string sectionOf(const std::string& name)
{
    if (!isAddressable(name))
        refuse(name);
    return kNamesSection + "_" + name;
}

std::vector<std::string> readList(const std::string& section)
{
    std::vector<std::string> list;
    IniReadSectionList(IniBase, section, list, false);
    return list;
}

// Writes Items as the keys after the Stored ones, in one rewrite of the file. A key that
// already holds a value (a file edited by hand, with gaps in its numbering) is never
// overwritten: the section is then renumbered as a whole instead.
void appendToList(const std::string& section, std::vector<std::string> stored,
                  const std::vector<std::string>& items)
{
    const std::size_t first = stored.size() + 1;
    const std::unordered_set<std::string> used = IniReadValueKeys(IniBase, section);
    std::vector<std::pair<std::string, std::string>> values;
    values.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::string key = std::to_string(first + i);
        if (used.contains(key)) {
            stored.insert(stored.end(), items.begin(), items.end());
            WriteListSection(section, stored);
            return;
        }
        values.emplace_back(std::move(key), items[i]);
    }
    if (!values.empty())
        IniWriteStrings(IniBase, section, values);
}

std::ptrdiff_t indexOfExact(const std::vector<std::string>& list, const std::string& item)
{
    auto it = std::find(list.begin(), list.end(), item);
    return it == list.end() ? -1 : it - list.begin();
}

bool containsText(const std::vector<std::string>& list, const std::string& item)
{
    return std::any_of(list.begin(), list.end(), [&](const std::string& s) { return SameFavoriteName(s, item); });
}

}  // namespace

bool SameFavoriteName(const std::string& A, const std::string& B)
{
    return CaseFolded(A) == CaseFolded(B);
}

bool IsValidFavoriteName(const std::string& Name)
{
    if (!isAddressable(Name) || !cp932::isValidUtf8(Name) ||
        Name.find_first_of("]=") != std::string::npos)
        return false;
    // The reader takes one pair of enclosing double quotes off a value.
    if (Name.size() >= 2 && Name.front() == '"' && Name.back() == '"')
        return false;
    std::size_t chars = std::count_if(Name.begin(), Name.end(),
                                      [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    return chars <= kMaxNameChars;
}

void ReadFavoriteNames(std::vector<std::string>& List)
{
    List = readList(kNamesSection);
}

bool FavoriteExists(const std::string& Name)
{
    return containsText(readList(kNamesSection), Name);
}

bool AddFavoriteName(const std::string& Name)
{
    if (!IsValidFavoriteName(Name))
        refuse(Name);
    std::vector<std::string> names = readList(kNamesSection);
    if (containsText(names, Name))
        return false;
    // Entries left behind under this name by an older version must not reappear in it.
    IniEraseSection(IniBase, sectionOf(Name));
    appendToList(kNamesSection, std::move(names), {Name});
    return true;
}

void DeleteFavorite(const std::string& Name)
{
    std::vector<std::string> names = readList(kNamesSection);
    std::ptrdiff_t at = indexOfExact(names, Name);
    if (at < 0)
        return;
    names.erase(names.begin() + at);
    WriteListSection(kNamesSection, names);
    // A name differing only in case (possible in a file edited by hand) shares the section.
    bool shared = std::any_of(names.begin(), names.end(), [&](const std::string& n) { return sameSection(n, Name); });
    if (!shared && isAddressable(Name))
        IniEraseSection(IniBase, sectionOf(Name));
}

void ReadFavoriteItems(std::vector<std::string>& List, const std::string& Name)
{
    List = readList(sectionOf(Name));
}

void DeleteFavoriteItem(const std::string& Name, const std::string& Path)
{
    const std::string section = sectionOf(Name);
    std::vector<std::string> items = readList(section);
    std::ptrdiff_t at = indexOfExact(items, Path);
    if (at < 0)
        return;
    items.erase(items.begin() + at);
    WriteListSection(section, items);
}

bool RenameFavorite(const std::string& FromName, const std::string& ToName)
{
    if (!IsValidFavoriteName(ToName))
        refuse(ToName);
    const std::string fromSection = sectionOf(FromName);
    std::vector<std::string> names = readList(kNamesSection);
    std::ptrdiff_t at = indexOfExact(names, FromName);
    if (at < 0)
        return false;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (static_cast<std::ptrdiff_t>(i) != at && SameFavoriteName(names[i], ToName))
            return false;

    // Entries first, name last: an interruption leaves the favourite under its old name.
    const std::string toSection = sectionOf(ToName);
    WriteListSection(toSection, readList(fromSection));
    if (!sameSection(fromSection, toSection))
        IniEraseSection(IniBase, fromSection);
    // The key is the name's place in the list unless the numbering has gaps (a file edited
    // by hand); then the list is renumbered rather than another name overwritten.
    const std::string key = std::to_string(at + 1);
    if (IniReadString(IniBase, kNamesSection, key, "") == FromName) {
        IniWriteString(IniBase, kNamesSection, key, ToName);
    } else {
        names[static_cast<std::size_t>(at)] = ToName;
        WriteListSection(kNamesSection, names);
    }
    return true;
}

void AppendFavoriteItems(const std::string& Name, const std::vector<std::string>& Paths)
{
    const std::string section = sectionOf(Name);
    std::vector<std::string> stored = readList(section);
    std::unordered_set<std::string> known;
    for (const auto& path : stored)
        known.insert(CaseFolded(path));
    std::vector<std::string> added;
    for (const auto& path : Paths)
        if (!known.contains(CaseFolded(path)))
            added.push_back(path);
    appendToList(section, std::move(stored), added);
}

void WriteFavoriteItems(const std::string& Name, const std::vector<std::string>& Paths)
{
    WriteListSection(sectionOf(Name), Paths);
}
