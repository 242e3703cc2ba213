// The order texts sort in across the program: ICU's Japanese collation, letter case deciding
// only ties (what QCollator gives for the Japanese locale, case sensitive), whatever the
// system's locale is.
//
// A text's sort key is a byte string whose plain byte order (memcmp) is that order. SortKeys
// writes the keys of many texts one after another into one arena, so that a sort of a long
// list compares contiguous bytes rather than chasing a separate allocation per row.
// A SortKeys object belongs to one thread; the collator behind it is opened once per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace collate {

// The sort key of a UTF-8 text (each invalid sequence read as U+FFFD).
std::string sortKey(std::string_view utf8);

// -1, 0 or 1 as `a` sorts before, with or after `b`.
int compare(std::string_view utf8A, std::string_view utf8B);

class SortKeys {
public:
    void reserve(std::size_t texts, std::size_t bytes);
    // Appends the key of `utf8`; keys are numbered from 0 in the order they were added.
    std::size_t add(std::string_view utf8);
    std::size_t size() const { return ends_.size(); }
    std::string_view key(std::size_t i) const
    {
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return {bytes_.data() + begin, ends_[i] - begin};
    }

private:
    std::string bytes_;
    std::vector<std::size_t> ends_;
};

}  // namespace collate
