#include "platform/rtl/StringList.h"

#include <algorithm>

#include "platform/rtl/AsciiCase.h"
#include "platform/rtl/Streams.h"

namespace rtl {

namespace {
bool needsQuotes(const std::string& s)
{
    if (s.empty())
        return true;
    for (unsigned char c : s)
        if (c <= ' ' || c == ',' || c == '"')
            return true;
    return false;
}
}  // namespace

TStringList::TStringList(std::initializer_list<std::string> items)
{
    for (const auto& s : items)
        items_.push_back({s, 0});
}

int TStringList::compare(const std::string& a, const std::string& b) const
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = caseSensitive_ ? a[i] : LowerAscii(a[i]);
        const unsigned char y = caseSensitive_ ? b[i] : LowerAscii(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void TStringList::checkIndex(int i) const
{
    if (i < 0 || i >= Count())
        throw EStringListError("List index out of bounds (" + std::to_string(i) + ")");
}

void TStringList::changed()
{
    if (OnChange)
        OnChange();
}

const std::string& TStringList::Strings(int i) const
{
    checkIndex(i);
    return items_[size_t(i)].text;
}

void TStringList::SetStrings(int i, const std::string& s)
{
    if (sorted_)
        throw EStringListError("Operation not allowed on sorted list");
    checkIndex(i);
    items_[size_t(i)].text = s;
    changed();
}

intptr_t TStringList::Objects(int i) const
{
    checkIndex(i);
    return items_[size_t(i)].object;
}

void TStringList::SetObjects(int i, intptr_t o)
{
    checkIndex(i);
    items_[size_t(i)].object = o;
}

int TStringList::Add(const std::string& s)
{
    return AddObject(s, 0);
}

int TStringList::AddObject(const std::string& s, intptr_t o)
{
    int index = Count();
    if (sorted_) {
        if (Find(s, index)) {
            if (duplicates_ == dupIgnore)
                return index;
            if (duplicates_ == dupError)
                throw EStringListError("String list does not allow duplicates");
        }
    }
    items_.insert(items_.begin() + index, Item{s, o});
    changed();
    return index;
}

void TStringList::AddStrings(const TStringList& other)
{
    for (const auto& it : other.items_)
        AddObject(it.text, it.object);
}

void TStringList::Insert(int i, const std::string& s)
{
    if (sorted_)
        throw EStringListError("Operation not allowed on sorted list");
    if (i < 0 || i > Count())
        throw EStringListError("List index out of bounds (" + std::to_string(i) + ")");
    items_.insert(items_.begin() + i, Item{s, 0});
    changed();
}

void TStringList::Delete(int i)
{
    checkIndex(i);
    items_.erase(items_.begin() + i);
    changed();
}

void TStringList::Clear()
{
    if (items_.empty())
        return;
    items_.clear();
    changed();
}

void TStringList::Exchange(int a, int b)
{
    checkIndex(a);
    checkIndex(b);
    std::swap(items_[size_t(a)], items_[size_t(b)]);
    changed();
}

void TStringList::Move(int from, int to)
{
    checkIndex(from);
    checkIndex(to);
    Item it = items_[size_t(from)];
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, it);
    changed();
}

int TStringList::IndexOf(const std::string& s) const
{
    if (sorted_) {
        int i;
        return Find(s, i) ? i : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (compare(items_[size_t(i)].text, s) == 0)
            return i;
    return -1;
}

bool TStringList::Find(const std::string& s, int& index) const
{
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = compare(items_[size_t(mid)].text, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (duplicates_ != dupAccept)
                    lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::SetSorted(bool on)
{
    if (on == sorted_)
        return;
    if (on)
        Sort();
    sorted_ = on;
}

void TStringList::SetCaseSensitive(bool on)
{
    if (on == caseSensitive_)
        return;
    caseSensitive_ = on;
    if (sorted_)
        Sort();
}

void TStringList::Sort()
{
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const Item& a, const Item& b) { return compare(a.text, b.text) < 0; });
    changed();
}

void TStringList::CustomSort(const std::function<int(const TStringList&, int, int)>& cmp)
{
    std::vector<int> order(items_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return cmp(*this, a, b) < 0; });
    std::vector<Item> sortedItems;
    for (int i : order) sortedItems.push_back(items_[size_t(i)]);
    items_ = std::move(sortedItems);
    changed();
}

std::string TStringList::Text() const
{
    std::string s;
    for (const auto& it : items_) {
        s += it.text;
        s += '\n';
    }
    return s;
}

void TStringList::SetText(const std::string& text)
{
    items_.clear();
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find_first_of("\r\n", i);
        if (end == std::string::npos) {
            items_.push_back({text.substr(i), 0});
            break;
        }
        items_.push_back({text.substr(i, end - i), 0});
        i = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    if (sorted_)
        Sort();
    changed();
}

std::string TStringList::CommaText() const
{
    std::string s;
    for (size_t k = 0; k < items_.size(); ++k) {
        if (k) s += ',';
        const std::string& t = items_[k].text;
        if (!needsQuotes(t) ) {
            s += t;
            continue;
        }
        s += '"';
        for (char c : t) {
            if (c == '"') s += '"';
            s += c;
        }
        s += '"';
    }
    return s;
}

void TStringList::SetCommaText(const std::string& text)
{
    items_.clear();
    size_t i = 0;
    auto skipBlanks = [&] { while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i; };
    skipBlanks();
    while (i < text.size()) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') { item += '"'; i += 2; continue; }
                    ++i;
                    break;
                }
                item += text[i++];
            }
            while (i < text.size() && text[i] != ',' && static_cast<unsigned char>(text[i]) > ' ') item += text[i++];
        } else {
            while (i < text.size() && text[i] != ',' && static_cast<unsigned char>(text[i]) > ' ') item += text[i++];
        }
        items_.push_back({item, 0});
        skipBlanks();
        if (i < text.size() && text[i] == ',') {
            ++i;
            skipBlanks();
            if (i >= text.size()) items_.push_back({"", 0});  // a trailing comma ends an empty item
        }
    }
    if (sorted_)
        Sort();
    changed();
}

std::string TStringList::Names(int i) const
{
    const std::string& s = Strings(i);
    const size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int i) const
{
    const std::string& s = Strings(i);
    const size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

int TStringList::IndexOfName(const std::string& name) const
{
    for (int i = 0; i < Count(); ++i) {
        const std::string& s = items_[size_t(i)].text;
        const size_t eq = s.find('=');
        if (eq != std::string::npos && compare(s.substr(0, eq), name) == 0)
            return i;
    }
    return -1;
}

std::string TStringList::Values(const std::string& name) const
{
    const int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValues(const std::string& name, const std::string& value)
{
    const int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
        return;
    }
    if (i < 0) {
        Add(name + "=" + value);
    } else {
        items_[size_t(i)].text = name + "=" + value;
        changed();
    }
}

void TStringList::Assign(const TStringList& other)
{
    if (&other == this)
        return;
    items_ = other.items_;
    sorted_ = other.sorted_;
    caseSensitive_ = other.caseSensitive_;
    duplicates_ = other.duplicates_;
    changed();
}

void TStringList::LoadFromFile(const std::string& path)
{
    TMemoryStream m;
    m.LoadFromFile(path);
    SetText(std::string(m.Bytes().begin(), m.Bytes().end()));
}

void TStringList::SaveToFile(const std::string& path) const
{
    const std::string text = Text();
    TMemoryStream m;
    m.WriteBuffer(text.data(), int64_t(text.size()));
    m.SaveToFile(path);
}

}  // namespace rtl
