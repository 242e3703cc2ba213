#include "pictures/DecoderFixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace decoderfixtures {

Bytes pattern(int w, int h, int seed)
{
    Bytes rgb(size_t(w) * h * 3);
    uint32_t noise = uint32_t(seed) * 2654435761u + 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
            if ((x / 7 + y / 5) % 3 == 0) {  // noisy block: literals
                for (int c = 0; c < 3; ++c) {
                    noise = noise * 1103515245u + 12345u;
                    p[c] = uint8_t(noise >> 16);
                }
            } else {  // flat block: runs
                p[0] = uint8_t(40 * (x / 7) + seed);
                p[1] = uint8_t(60 * (y / 5));
                p[2] = uint8_t((x / 7) % 2 ? 220 : 30);
            }
        }
    return rgb;
}

std::string writePpm(const testsupport::TempDir& dir, const std::string& name, const Bytes& rgb, int w, int h)
{
    std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    s.append(reinterpret_cast<const char*>(rgb.data()), rgb.size());
    testsupport::writeFile(dir.file(name), s);
    return dir.file(name);
}

Bytes readBytes(const std::string& path)
{
    const std::string s = testsupport::readFile(path);
    return Bytes(s.begin(), s.end());
}

namespace {

struct Reader {
    const Bytes& b;
    bool be;
    bool ok = true;
    uint32_t u16(size_t at)
    {
        if (at + 2 > b.size())
            return ok = false, 0;
        return be ? uint32_t(b[at]) << 8 | b[at + 1] : uint32_t(b[at + 1]) << 8 | b[at];
    }
    uint32_t u32(size_t at)
    {
        if (at + 4 > b.size())
            return ok = false, 0;
        return be ? u16(at) << 16 | u16(at + 2) : u16(at + 2) << 16 | u16(at);
    }
};

}  // namespace

uint32_t Tiff::get(uint16_t tag, uint32_t fallback) const
{
    auto it = values.find(tag);
    return it == values.end() || it->second.empty() ? fallback : it->second[0];
}

Tiff readTiff(const std::string& path)
{
    Tiff t;
    const Bytes b = readBytes(path);
    if (b.size() < 8)
        return t;
    t.bigEndian = b[0] == 'M';
    Reader r{b, t.bigEndian};
    const uint32_t ifd = r.u32(4);
    const uint32_t count = r.u16(ifd);
    for (uint32_t i = 0; i < count && r.ok; ++i) {
        const size_t e = ifd + 2 + size_t(i) * 12;
        const uint16_t tag = uint16_t(r.u16(e));
        const uint32_t type = r.u16(e + 2), n = r.u32(e + 4);
        const size_t unit = type == 3 ? 2 : type == 4 ? 4 : 1;
        const size_t at = unit * n <= 4 ? e + 8 : r.u32(e + 8);
        if (type == 3 || type == 4) {
            for (uint32_t k = 0; k < n; ++k)
                t.values[tag].push_back(type == 3 ? r.u16(at + k * 2) : r.u32(at + k * 4));
        } else if (at + n <= b.size()) {
            t.raw[tag] = Bytes(b.begin() + long(at), b.begin() + long(at + n));
        }
    }
    const bool tiled = t.values.count(324);
    const auto& offsets = t.values[tiled ? 324 : 273];
    const auto& sizes = t.values[tiled ? 325 : 279];
    for (size_t i = 0; i < offsets.size() && i < sizes.size(); ++i) {
        if (size_t(offsets[i]) + sizes[i] > b.size())
            return Tiff{};
        t.strips.emplace_back(b.begin() + offsets[i], b.begin() + offsets[i] + sizes[i]);
    }
    return t;
}

void writeTiff(const std::string& path, const std::map<uint16_t, std::vector<uint32_t>>& tags,
               const std::vector<Bytes>& strips)
{
    std::map<uint16_t, std::vector<uint32_t>> all = tags;
    Bytes data;
    std::vector<uint32_t> offsets, sizes;
    size_t at = 8;
    for (const Bytes& s : strips) {
        offsets.push_back(uint32_t(at + data.size()));
        sizes.push_back(uint32_t(s.size()));
        data.insert(data.end(), s.begin(), s.end());
    }
    all[273] = offsets;
    all[279] = sizes;
    Bytes out = {'I', 'I', 42, 0, 0, 0, 0, 0};
    out.insert(out.end(), data.begin(), data.end());
    if (out.size() & 1)
        out.push_back(0);
    auto put16 = [&](Bytes& o, uint32_t v) { o.push_back(uint8_t(v)), o.push_back(uint8_t(v >> 8)); };
    auto put32 = [&](Bytes& o, uint32_t v) { put16(o, v & 0xFFFF), put16(o, v >> 16); };
    // Arrays longer than one value go after the directory.
    const size_t ifd = out.size();
    size_t extra = ifd + 2 + all.size() * 12 + 4;
    Bytes dir, tail;
    put16(dir, uint32_t(all.size()));
    for (const auto& [tag, v] : all) {
        put16(dir, tag);
        put16(dir, 4);
        put32(dir, uint32_t(v.size()));
        if (v.size() == 1) {
            put32(dir, v[0]);
        } else {
            put32(dir, uint32_t(extra + tail.size()));
            for (uint32_t x : v)
                put32(tail, x);
        }
    }
    put32(dir, 0);
    out[4] = uint8_t(ifd), out[5] = uint8_t(ifd >> 8), out[6] = uint8_t(ifd >> 16), out[7] = uint8_t(ifd >> 24);
    out.insert(out.end(), dir.begin(), dir.end());
    out.insert(out.end(), tail.begin(), tail.end());
    testsupport::writeFile(path, std::string(out.begin(), out.end()));
}

bool run(const std::string& program, const std::vector<std::string>& args)
{
    const auto r = testsupport::runCommand(program, args);
    EXPECT_EQ(r.exitCode, 0) << program << ": " << r.err;
    return r.exitCode == 0;
}

Bytes tiffRgba(const testsupport::TempDir& dir, const std::string& path)
{
    const std::string out = dir.file("rgba-reference.tif");
    if (!run("tiff2rgba", {"-c", "none", path, out}))
        return {};
    const Tiff t = readTiff(out);
    Bytes rgba;
    for (const Bytes& s : t.strips)
        rgba.insert(rgba.end(), s.begin(), s.end());
    rgba.resize(std::min(rgba.size(), size_t(t.width()) * t.height() * 4));
    return rgba;
}

}  // namespace decoderfixtures
