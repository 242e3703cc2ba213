#include "pictures/icons/PeResources.h"

#include "pictures/icons/icoutil.h"
#include "platform/rtl/LittleEndian.h"

#include <QString>

#include <algorithm>
#include <cstdint>

using rtl::le16;
using rtl::le32;

namespace {

constexpr uint32_t HighBit = 0x80000000u;
constexpr uint16_t Pe32Magic = 0x10B, Pe32PlusMagic = 0x20B;
constexpr uint32_t ResourceDirectoryIndex = 2;
constexpr int64_t SectionHeaderSize = 40, ResourceDirectorySize = 16, ResourceEntrySize = 8;

// Reads of checked ranges of the stream.
class Reader {
public:
    explicit Reader(rtl::TStream& s) : stream_(s), size_(s.Size()) {}
    // Whether count bytes from at lie inside the file; asked before anything is sized by count.
    bool fits(int64_t at, int64_t count) const { return at >= 0 && count >= 0 && at <= size_ && count <= size_ - at; }
    bool read(int64_t at, void* into, int64_t count)
    {
        if (!fits(at, count))
            return false;
        stream_.SetPosition(at);
        return stream_.Read(into, count) == count;
    }
    int64_t size() const { return size_; }

private:
    rtl::TStream& stream_;
    int64_t size_;
};

struct ResourceEntry {
    uint32_t Name;
    uint32_t Offset;
};

// The entries of the resource directory at `at` (file offset); empty when it cannot be read.
std::vector<ResourceEntry> DirectoryEntries(Reader& file, int64_t at)
{
    uint8_t dir[ResourceDirectorySize];
    if (!file.read(at, dir, sizeof dir))
        return {};
    const int64_t count = int64_t(le16(dir + 12)) + le16(dir + 14);
    if (!file.fits(at + ResourceDirectorySize, count * ResourceEntrySize))
        return {};
    std::vector<uint8_t> raw(static_cast<size_t>(count * ResourceEntrySize));
    if (!file.read(at + ResourceDirectorySize, raw.data(), int64_t(raw.size())))
        return {};
    std::vector<ResourceEntry> entries;
    for (size_t i = 0; i < raw.size(); i += ResourceEntrySize)
        entries.push_back({le32(&raw[i]), le32(&raw[i + 4])});
    return entries;
}

// A resource's name: its stored UTF-16 string, or "#" and its number.
std::string EntryName(Reader& file, int64_t base, uint32_t name)
{
    if (!(name & HighBit))
        return "#" + std::to_string(name);
    const int64_t at = base + (name & ~HighBit);
    uint8_t length[2];
    if (!file.read(at, length, 2))
        return {};
    if (!file.fits(at + 2, int64_t(le16(length)) * 2))
        return {};
    std::vector<uint8_t> chars(size_t(le16(length)) * 2);
    if (!file.read(at + 2, chars.data(), int64_t(chars.size())))
        return {};
    std::u16string text;
    for (size_t i = 0; i < chars.size(); i += 2)
        text.push_back(char16_t(le16(&chars[i])));
    return QString::fromStdU16String(text).toStdString();
}

constexpr int64_t NotPe = -2, NoResources = -1;

// The file offset of the resource tree's root; NotPe when the headers are not a PE's,
// NoResources when it has no resource tree that can be found.
int64_t ResourceBase(Reader& file, int64_t peAt)
{
    uint8_t coff[24];
    if (!file.read(peAt, coff, sizeof coff))
        return NotPe;
    const uint16_t sections = le16(coff + 4 + 2);
    const uint16_t optionalSize = le16(coff + 4 + 16);
    const int64_t optionalAt = peAt + sizeof coff;
    if (optionalSize < 2 || !file.fits(optionalAt, optionalSize))
        return NotPe;
    std::vector<uint8_t> optional(optionalSize);
    if (!file.read(optionalAt, optional.data(), optionalSize))
        return NotPe;
    const uint16_t magic = le16(optional.data());
    if (magic != Pe32Magic && magic != Pe32PlusMagic)
        return NotPe;
    const size_t countAt = magic == Pe32Magic ? 92 : 108;
    const size_t resourceAt = countAt + 4 + ResourceDirectoryIndex * 8;
    if (resourceAt + 8 > optional.size() || le32(&optional[countAt]) <= ResourceDirectoryIndex)
        return NoResources;
    const uint32_t rva = le32(&optional[resourceAt]);
    if (rva == 0 || le32(&optional[resourceAt + 4]) == 0)
        return NoResources;
    if (!file.fits(optionalAt + optionalSize, sections * SectionHeaderSize))
        return NoResources;
    std::vector<uint8_t> table(static_cast<size_t>(sections * SectionHeaderSize));
    if (!file.read(optionalAt + optionalSize, table.data(), int64_t(table.size())))
        return NoResources;
    for (size_t s = 0; s < table.size(); s += SectionHeaderSize) {
        const uint8_t* h = &table[s];
        const uint32_t virtualSize = le32(h + 8), address = le32(h + 12), rawSize = le32(h + 16), rawAt = le32(h + 20);
        const uint64_t extent = std::max(virtualSize, rawSize);
        if (rva >= address && rva - uint64_t(address) < extent)
            return int64_t(rawAt) + (rva - address);
    }
    return NoResources;
}

}  // namespace

std::optional<TIconGroups> ReadIconGroups(rtl::TStream& stream)
{
    Reader file(stream);
    uint8_t dos[64];
    uint8_t signature[4];
    if (!file.read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return std::nullopt;
    const int64_t peAt = le32(dos + 60);
    if (!file.read(peAt, signature, 4) || signature[0] != 'P' || signature[1] != 'E' || signature[2] || signature[3])
        return std::nullopt;

    TIconGroups groups;
    const int64_t base = ResourceBase(file, peAt);
    if (base == NotPe)
        return std::nullopt;
    if (base == NoResources)
        return groups;
    for (const ResourceEntry& type : DirectoryEntries(file, base)) {
        if ((type.Name & HighBit) || type.Name != RT_GROUP_ICON || !(type.Offset & HighBit))
            continue;
        groups.HasGroupType = true;
        for (const ResourceEntry& name : DirectoryEntries(file, base + (type.Offset & ~HighBit)))
            groups.Names.push_back(EntryName(file, base, name.Name));
        break;
    }
    return groups;
}
