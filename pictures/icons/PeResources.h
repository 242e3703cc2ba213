// The icon groups of a Windows executable (PE, 32 or 64 bit), read from its resource
// directory without running or mapping anything: the DOS header leads to the PE header, its
// resource data directory to the section holding the resources, and the root of the resource
// tree to the group-icon type and its names. Read-only, every offset and count checked
// against the file; a damaged resource tree ends the listing where it stops making sense.
// Any thread.
#pragma once

#include "platform/rtl/Streams.h"

#include <optional>
#include <string>
#include <vector>

struct TIconGroups {
    // Whether the resource tree has the group-icon type at all.
    bool HasGroupType = false;
    // Each group's name in tree order: "#" and the number, or the stored name (UTF-8).
    std::vector<std::string> Names;
};

// The icon groups of the executable in stream; nothing when it is not a PE file.
std::optional<TIconGroups> ReadIconGroups(rtl::TStream& stream);
