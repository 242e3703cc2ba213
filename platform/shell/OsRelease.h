// The operating system's product name, read from os-release (the freedesktop file that
// stands in for the product name the program's Windows origin read from the registry).
//
// Any thread.
#pragma once

#include <string>

namespace shell {

// PRETTY_NAME of the os-release file (NAME when PRETTY_NAME is missing), unquoted; empty
// when the file or both keys are missing. The default looks where os-release(5) says:
// /etc/os-release, then /usr/lib/os-release.
std::string osProductName();
std::string osProductName(const std::string& osReleaseFile);

}  // namespace shell
