#include "GIFTestSupport.h"

#include "pictures/gif/GIFCodec.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <sstream>

namespace giftest {

namespace {
void put16(Bytes& b, int v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
}  // namespace

GifBuilder& GifBuilder::header(int width, int height, int globalBits, const char* signature)
{
    bytes.insert(bytes.end(), signature, signature + 6);
    put16(bytes, width);
    put16(bytes, height);
    bytes.push_back(uint8_t(globalBits ? 0x80 | (globalBits - 1) | ((globalBits - 1) << 4) : 0));
    bytes.push_back(0);
    bytes.push_back(0);
    if (globalBits)
        colors(1 << globalBits);
    return *this;
}

GifBuilder& GifBuilder::colors(int count)
{
    for (int i = 0; i < count; ++i) {
        bytes.push_back(uint8_t(i * 37));
        bytes.push_back(uint8_t(255 - i));
        bytes.push_back(uint8_t(i * 11 + 5));
    }
    return *this;
}

GifBuilder& GifBuilder::raw(const Bytes& b)
{
    bytes.insert(bytes.end(), b.begin(), b.end());
    return *this;
}

GifBuilder& GifBuilder::gce(int disposal, int delay, int transparent)
{
    raw({0x21, 0xF9, 4, uint8_t((disposal << 2) | (transparent >= 0 ? 1 : 0))});
    put16(bytes, delay);
    return raw({uint8_t(transparent >= 0 ? transparent : 0), 0});
}

GifBuilder& GifBuilder::comment(const std::string& text)
{
    raw({0x21, 0xFE, uint8_t(text.size())});
    bytes.insert(bytes.end(), text.begin(), text.end());
    return raw({0});
}

GifBuilder& GifBuilder::loop(int count)
{
    raw({0x21, 0xFF, 11});
    const std::string id = "NETSCAPE2.0";
    bytes.insert(bytes.end(), id.begin(), id.end());
    raw({3, 1});
    put16(bytes, count);
    return raw({0});
}

GifBuilder& GifBuilder::frame(int left, int top, int width, int height, const Bytes& pixels, int bits, uint8_t packed,
                              int localBits)
{
    bytes.push_back(',');
    put16(bytes, left);
    put16(bytes, top);
    put16(bytes, width);
    put16(bytes, height);
    if (localBits)
        packed = uint8_t(packed | 0x80 | (localBits - 1));
    bytes.push_back(packed);
    if (localBits)
        colors(1 << localBits);
    return raw(lzw(pixels, width, height, bits, (packed & 0x40) != 0));
}

GifBuilder& GifBuilder::trailer() { return raw({';'}); }

Bytes lzw(const Bytes& pixels, int width, int height, int bits, bool interlaced, bool rle)
{
    rtl::TMemoryStream out;
    std::unique_ptr<TGIFEncoder> encoder;
    if (rle)
        encoder = std::make_unique<TRLEEncoder>();
    else
        encoder = std::make_unique<TLZWEncoder>();
    encoder->Compress(out, bits, width, height, interlaced, pixels.data(), 256);
    return out.Bytes();
}

Bytes packCodes(int minimumCodeSize, const std::vector<std::pair<int, int>>& codesAndSizes, bool terminate)
{
    Bytes data;
    uint32_t acc = 0;
    int n = 0;
    for (auto [code, size] : codesAndSizes) {
        acc |= uint32_t(code) << n;
        n += size;
        while (n >= 8) {
            data.push_back(uint8_t(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    if (n > 0)
        data.push_back(uint8_t(acc));
    Bytes out{uint8_t(minimumCodeSize)};
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t len = std::min<size_t>(255, data.size() - i);
        out.push_back(uint8_t(len));
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + len));
    }
    if (terminate)
        out.push_back(0);
    return out;
}

Loaded load(const Bytes& file)
{
    Loaded r;
    r.image = std::make_unique<TGIFImage>();
    r.image->OnWarning = [&r](TGIFImage&, int, const std::string& m) { r.warnings.push_back(m); };
    rtl::TMemoryStream stream(file);
    try {
        r.image->LoadFromStream(stream);
    } catch (const std::exception& e) {
        r.error = e.what();
    }
    r.image->OnWarning = nullptr;
    return r;
}

Loaded loadFile(const std::string& path) { return load(readBytes(path)); }

Bytes frameRGBA(TGIFSubImage& frame)
{
    Bytes out;
    TGIFColorMap& map = frame.ActiveColorMap();
    const int t = frame.Transparent() && frame.GraphicControlExtension()
                      ? frame.GraphicControlExtension()->TransparentIndex : -1;
    for (uint8_t p : frame.DataBuffer()) {
        if (p == t || p >= map.Count()) {
            out.insert(out.end(), {0, 0, 0, 0});
            continue;
        }
        const TGIFColor& c = map.Data()[p];
        out.insert(out.end(), {c.Red, c.Green, c.Blue, 255});
    }
    return out;
}

Bytes magickRGBA(const std::string& path, int index)
{
    const auto r = testsupport::runCommand("convert", {path + "[" + std::to_string(index) + "]", "-depth", "8", "rgba:-"});
    if (r.exitCode != 0)
        return {};
    Bytes out(r.out.begin(), r.out.end());
    for (size_t i = 0; i + 3 < out.size(); i += 4)
        if (out[i + 3] == 0)
            out[i] = out[i + 1] = out[i + 2] = 0;
    return out;
}

std::vector<Bytes> magickCoalesced(const std::string& path, int width, int height)
{
    const auto r = testsupport::runCommand("convert", {path, "-coalesce", "-depth", "8", "rgba:-"});
    std::vector<Bytes> frames;
    const size_t size = size_t(width) * size_t(height) * 4;
    if (r.exitCode != 0 || size == 0)
        return frames;
    for (size_t at = 0; at + size <= r.out.size(); at += size) {
        Bytes f(r.out.begin() + long(at), r.out.begin() + long(at + size));
        for (size_t i = 0; i + 3 < f.size(); i += 4)
            if (f[i + 3] == 0)
                f[i] = f[i + 1] = f[i + 2] = 0;
        frames.push_back(std::move(f));
    }
    return frames;
}

int magickFrames(const std::string& path)
{
    const auto r = testsupport::runCommand("identify", {"-format", "%s\n", path});
    return int(std::count(r.out.begin(), r.out.end(), '\n'));
}

bool haveTools()
{
    return testsupport::haveProgram("convert") && testsupport::haveProgram("identify") &&
           testsupport::haveProgram("gifsicle");
}

void writeBytes(const std::string& path, const Bytes& bytes)
{
    testsupport::writeFile(path, std::string(bytes.begin(), bytes.end()));
}

Bytes readBytes(const std::string& path)
{
    const std::string s = testsupport::readFile(path);
    return Bytes(s.begin(), s.end());
}

Bytes saved(TGIFImage& image)
{
    rtl::TMemoryStream out;
    image.SaveToStream(out);
    return out.Bytes();
}

Bytes noise(int count, int colors, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes b(static_cast<size_t>(count));
    for (auto& p : b)
        p = uint8_t(random() % unsigned(colors));
    return b;
}

std::vector<std::string> gifsicleFacts(const std::string& path)
{
    const auto r = testsupport::runCommand("gifsicle", {"--xinfo", path});
    std::vector<std::string> facts;
    std::istringstream in(r.out);
    std::string line;
    static const std::regex images(R"(^\* .* (\d+) images?$)"), ext(R"(^extension \d+: (.*?)( packetized)?$)");
    while (std::getline(in, line)) {
        std::smatch m;
        if (std::regex_match(line, m, images)) {
            facts.push_back("images " + m[1].str());
            continue;
        }
        line.erase(0, line.find_first_not_of(' '));
        if (line.rfind("+ ", 0) == 0)
            line.erase(0, 2);
        if (line.empty() || line[0] == '0' || line[0] == '|')
            continue;  // extension data dumps, colour lists
        if (std::regex_match(line, m, ext))
            line = m[1].str();
        facts.push_back(line);
    }
    std::sort(facts.begin(), facts.end());
    return facts;
}

std::vector<std::string> ourFacts(TGIFImage& image)
{
    std::vector<std::string> facts;
    const int n = image.Images().Count();
    facts.push_back("images " + std::to_string(n));
    facts.push_back("logical screen " + std::to_string(image.Width()) + "x" + std::to_string(image.Height()));
    if (image.GlobalColorMap().Count() > 0) {
        facts.push_back("global color table [" + std::to_string(image.GlobalColorMap().Count()) + "]");
        facts.push_back("background " + std::to_string(image.Header().BackgroundColorIndex));
    }
    for (int i = 0; i < n; ++i) {
        TGIFSubImage& f = *image.Images()[i];
        std::string head = "image #" + std::to_string(i) + " " + std::to_string(f.Width()) + "x" + std::to_string(f.Height());
        if (f.Left() || f.Top())
            head += " at " + std::to_string(f.Left()) + "," + std::to_string(f.Top());
        if (f.Interlaced())
            head += " interlaced";
        if (f.Transparent() && f.GraphicControlExtension())
            head += " transparent " + std::to_string(f.GraphicControlExtension()->TransparentIndex);
        facts.push_back(head);
        if (f.ColorMap().Count() > 0)
            facts.push_back("local color table [" + std::to_string(f.ColorMap().Count()) + "]");
        for (int k = 0; k < f.Extensions().Count(); ++k) {
            TGIFExtension* e = f.Extensions()[k];
            if (auto* g = dynamic_cast<TGIFGraphicControlExtension*>(e)) {
                static const char* names[] = {"none", "asis", "background", "previous"};
                std::string s;
                if (g->Disposal() != 0)
                    s = std::string("disposal ") + (g->Disposal() < 4 ? names[g->Disposal()] : "?");
                if (g->Delay) {
                    char d[32];
                    std::snprintf(d, sizeof d, "delay %d.%02ds", g->Delay / 100, g->Delay % 100);
                    s += (s.empty() ? "" : " ") + std::string(d);
                }
                if (!s.empty())
                    facts.push_back(s);
            } else if (auto* c = dynamic_cast<TGIFCommentExtension*>(e)) {
                std::string text;
                for (const auto& l : c->Text)
                    text += l;
                facts.push_back("comment " + text);
            } else if (auto* l = dynamic_cast<TGIFAppExtNSLoop*>(e)) {
                facts.push_back(l->Loops ? "loop count " + std::to_string(l->Loops) : "loop forever");
            } else if (auto* a = dynamic_cast<TGIFApplicationExtension*>(e)) {
                facts.push_back("app '" + std::string(a->Identifier.begin(), a->Identifier.end()) + "' before #" +
                                std::to_string(i));
            } else if (dynamic_cast<TGIFTextExtension*>(e)) {
                facts.push_back("0x01 before #" + std::to_string(i));
            }
        }
    }
    std::sort(facts.begin(), facts.end());
    return facts;
}

}  // namespace giftest
