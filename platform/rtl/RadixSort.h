// A stable sort of elements by a 64-bit key of each, for the program's long lists (a folder's
// names, a list's rows): byte by byte from the key's last, linear in the elements, where a
// comparison sort costs a factor of their logarithm more. Pure function, any thread.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace rtl {

// Sorts [First, Last) by Key(element), keeping the order of equal keys, over Buffer (as long
// as the range). The bytes that all keys share are skipped; short ranges go to a merge sort.
template <typename T, typename KeyOf>
void RadixSort(T* First, T* Last, T* Buffer, KeyOf Key)
{
    const auto n = std::size_t(Last - First);
    if (n < 256) {
        std::stable_sort(First, Last, [&](const T& a, const T& b) { return Key(a) < Key(b); });
        return;
    }
    std::vector<std::array<std::size_t, 256>> counts(8, std::array<std::size_t, 256>{});
    for (const T* e = First; e != Last; ++e) {
        const std::uint64_t k = Key(*e);
        for (int b = 0; b < 8; ++b)
            ++counts[std::size_t(b)][(k >> (8 * b)) & 0xFF];
    }
    T* from = First;
    T* to = Buffer;
    for (int b = 0; b < 8; ++b) {
        std::array<std::size_t, 256>& count = counts[std::size_t(b)];
        if (count[(Key(*First) >> (8 * b)) & 0xFF] == n)
            continue;  // every key has this byte
        std::size_t at = 0;
        for (std::size_t& c : count) {
            const std::size_t k = c;
            c = at;
            at += k;
        }
        for (const T* e = from; e != from + n; ++e)
            to[count[(Key(*e) >> (8 * b)) & 0xFF]++] = *e;
        std::swap(from, to);
    }
    if (from != First)
        std::copy(from, from + n, First);
}

// Sorts [First, Last) by Head(element), a number that orders elements as their first bytes
// do, and elements with the same head by ByRest: the radix sort sets nearly all of them apart,
// and a comparison sort puts each run of equal heads in order. Buffer as for RadixSort.
template <typename T, typename HeadOf, typename Less>
void SortByHeads(T* First, T* Last, T* Buffer, HeadOf Head, Less ByRest)
{
    RadixSort(First, Last, Buffer, Head);
    for (T* from = First; from != Last;) {
        const std::uint64_t head = Head(*from);
        T* to = std::find_if(from + 1, Last, [&](const T& e) { return Head(e) != head; });
        if (to - from > 1)
            std::sort(from, to, ByRest);
        from = to;
    }
}

// The first 8 bytes of Text as a number that orders texts as their bytes do (zero-padded,
// so a text orders before any longer one it begins, when no text holds a zero byte).
inline std::uint64_t TextHead(std::string_view Text)
{
    std::uint64_t head = 0;
    for (std::size_t b = 0; b < 8; ++b)
        head = (head << 8) | (b < Text.size() ? std::uint8_t(Text[b]) : 0);
    return head;
}

}  // namespace rtl
