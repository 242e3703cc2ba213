#include "cd/libYear.h"

#include "util/libText.h"

std::string NormalizeDate(const std::string& S)
{
    std::string out;
    for (char c : TrimBlanksUtf8(S)) {
        const char d = (c >= '0' && c <= '9') ? c : '/';
        if (d == '/' && (out.empty() || out.back() == '/'))
            continue;  // no leading "/" and no runs
        out += d;
    }
    if (!out.empty() && out.back() == '/')
        out.pop_back();
    return out;
}
