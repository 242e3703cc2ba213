// `TStringList`: an ordered list of UTF-8 strings, each with an optional integer object slot,
// with the class library's behaviours the windows rely on:
//  - Sorted lists keep their order on Add and find by binary search; comparison ignores the
//    case of ASCII letters unless CaseSensitive (other bytes compare as they are);
//  - Duplicates on a sorted list: dupIgnore (Add returns the existing index), dupAccept,
//    dupError (EStringListError "String list does not allow duplicates");
//  - Text joins lines with "\n" and splits on "\r\n", "\n" or "\r";
//  - CommaText quotes items holding a blank, comma or quote ("a b" -> "\"a b\""), and reads
//    unquoted blanks as separators too;
//  - Values[name] reads "name=value" lines; setting an empty value deletes the line.
// An index out of range raises EStringListError "List index out of bounds (n)".
// A list belongs to one thread at a time.
#pragma once
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace rtl {

class EStringListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> items);

    int Count() const { return int(items_.size()); }
    const std::string& operator[](int i) const { return Strings(i); }
    const std::string& Strings(int i) const;
    void SetStrings(int i, const std::string& s);
    intptr_t Objects(int i) const;
    void SetObjects(int i, intptr_t o);

    int Add(const std::string& s);
    int AddObject(const std::string& s, intptr_t o);
    void AddStrings(const TStringList& other);
    // Not allowed on a sorted list (EStringListError).
    void Insert(int i, const std::string& s);
    void Delete(int i);
    void Clear();
    void Exchange(int a, int b);
    void Move(int from, int to);
    int IndexOf(const std::string& s) const;
    // Binary search of a sorted list: true when found; index is the match or insertion point.
    bool Find(const std::string& s, int& index) const;

    bool Sorted() const { return sorted_; }
    void SetSorted(bool on);
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates d) { duplicates_ = d; }
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool on);
    void Sort();
    // Stable sort by a comparison returning <0, 0, >0.
    void CustomSort(const std::function<int(const TStringList&, int, int)>& compare);

    std::string Text() const;
    void SetText(const std::string& text);
    std::string CommaText() const;
    void SetCommaText(const std::string& text);

    std::string Names(int i) const;
    std::string ValueFromIndex(int i) const;
    int IndexOfName(const std::string& name) const;
    std::string Values(const std::string& name) const;
    void SetValues(const std::string& name, const std::string& value);

    void Assign(const TStringList& other);
    // UTF-8 text files; SaveToFile writes a temporary file and renames it.
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;

    std::function<void()> OnChange;

private:
    struct Item {
        std::string text;
        intptr_t object = 0;
    };
    int compare(const std::string& a, const std::string& b) const;
    void checkIndex(int i) const;
    void changed();
    std::vector<Item> items_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    TDuplicates duplicates_ = dupIgnore;
};

}  // namespace rtl
