// Writing files to a disc through the desktop's own burning program: the program stages the
// files in a folder of its own and starts the application that the freedesktop MIME
// associations give for blank CDs, handing it the files as its desktop entry's Exec line
// asks. The burner titles and writes the disc; no other program's windows are touched.
//
// UI thread only (the process bookkeeping is not shared).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace shell {

inline constexpr const char* kBlankCdMimeType = "x-content/blank-cd";

// $XDG_CACHE_HOME/Tambourelle/cd-burning (default ~/.cache/...); not created.
std::string cdBurningFolderPath();

// The desktop entry for blank CDs: the mimeapps.list default, else the first entry of the
// data folders whose MimeType lists it; empty when there is none.
std::string blankCdBurnerEntry();

// The burner's arguments from an Exec line: quoting undone, %F and %U (alone in their
// argument) become the files, %f and %u the folder, %% a "%", the other field codes drop
// out. Empty when the line has no program.
std::vector<std::string> expandExecLine(const std::string& exec, const std::vector<std::string>& files,
                                        const std::string& folder);

// Starts the burner detached with the staged files; its process id, 0 when none started.
std::int64_t startCdBurner(const std::vector<std::string>& files, const std::string& folder);

// Whether the process still runs.
bool processRuns(std::int64_t pid);

}  // namespace shell
