#include "platform/collate/SortKeys.h"

#include "platform/rtl/AsciiCase.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <stdexcept>

namespace collate {

namespace {

struct CloseCollator {
    void operator()(UCollator* c) const { ucol_close(c); }
};

UCollator* collator()
{
    thread_local const std::unique_ptr<UCollator, CloseCollator> japanese = [] {
        UErrorCode error = U_ZERO_ERROR;
        std::unique_ptr<UCollator, CloseCollator> c(ucol_open("ja_JP", &error));
        if (U_FAILURE(error) || !c)
            throw std::runtime_error("the Japanese collation is not available");
        return c;
    }();
    return japanese.get();
}

// Appends the key of `utf8` to `out`, without the terminating zero ICU writes: no key holds
// a zero byte before its end, so the plain byte order of the keys stays the order of the texts.
void appendKey(std::string_view utf8, std::string& out)
{
    // The UTF-16 text in a buffer the thread keeps: a list's sort reads thousands of texts.
    thread_local std::vector<UChar> units;
    if (utf8.size() > std::size_t(INT32_MAX / 2))
        throw std::length_error("a text too long to sort");
    units.resize(std::max<std::size_t>(units.size(), utf8.size() + 1));
    int32_t length = 0;
    // ASCII (most titles in Latin letters) is its own UTF-16, unit for byte.
    if (rtl::IsAscii(utf8)) {
        std::copy(utf8.begin(), utf8.end(), units.begin());
        length = static_cast<int32_t>(utf8.size());
    } else {
        UErrorCode error = U_ZERO_ERROR;
        u_strFromUTF8WithSub(units.data(), static_cast<int32_t>(units.size()), &length, utf8.data(),
                             static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &error);
        if (U_FAILURE(error))
            length = 0;
    }
    const std::size_t at = out.size();
    // Most keys are a little longer than their text in UTF-16 units; a second call gets the rest.
    std::size_t room = std::size_t(length) * 4 + 16;
    for (;;) {
        out.resize(at + room);
        const int32_t need = ucol_getSortKey(collator(), units.data(), length,
                                             reinterpret_cast<uint8_t*>(out.data() + at), static_cast<int32_t>(room));
        if (need > 0 && std::size_t(need) <= room) {
            out.resize(at + std::size_t(need) - 1);
            return;
        }
        if (need <= 0) {
            out.resize(at);
            return;
        }
        room = std::size_t(need);
    }
}

}  // namespace

std::string sortKey(std::string_view utf8)
{
    std::string key;
    appendKey(utf8, key);
    return key;
}

int compare(std::string_view utf8A, std::string_view utf8B)
{
    // Two texts compared once need no keys: the collator walks them only as far as they differ.
    UErrorCode error = U_ZERO_ERROR;
    if (utf8A.size() <= std::size_t(INT32_MAX) && utf8B.size() <= std::size_t(INT32_MAX)) {
        const UCollationResult r = ucol_strcollUTF8(collator(), utf8A.data(), static_cast<int32_t>(utf8A.size()),
                                                    utf8B.data(), static_cast<int32_t>(utf8B.size()), &error);
        if (U_SUCCESS(error))
            return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
    }
    const int c = sortKey(utf8A).compare(sortKey(utf8B));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void SortKeys::reserve(std::size_t texts, std::size_t bytes)
{
    ends_.reserve(texts);
    bytes_.reserve(bytes);
}

std::size_t SortKeys::add(std::string_view utf8)
{
    appendKey(utf8, bytes_);
    ends_.push_back(bytes_.size());
    return ends_.size() - 1;
}

}  // namespace collate
