// The icon readers on icons that icoutils' icotool and ImageMagick write, checked against
// icotool's own extraction of the same images; hand-made icons for what those tools do not
// write (16-bit entries, broken and hostile files); the executable's icon-group listing
// against icoutils' wrestool.
#include "pictures/PictureFixtures.h"
#include "pictures/icons/Icon32.h"
#include "pictures/icons/icoread.h"
#include "pictures/icons/icoutil.h"
#include "platform/rtl/LittleEndian.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QRegularExpression>
#include <QTreeWidget>

#include <algorithm>
#include <cstring>
#include <set>

using namespace testsupport;
using namespace picturefixtures;

namespace {

#define REQUIRE_TOOLS()                                          \
    if (!haveTools())                                            \
    GTEST_SKIP() << "icoutils (icotool) and ImageMagick are needed"

void put16(std::string& s, size_t at, uint32_t v)
{
    s[at] = char(v & 0xFF);
    s[at + 1] = char(v >> 8 & 0xFF);
}

void put32(std::string& s, size_t at, uint32_t v)
{
    put16(s, at, v & 0xFFFF);
    put16(s, at + 2, v >> 16);
}

// A one-image icon written by hand: directory, a 40-byte header (height doubled), the colour
// table, colour rows and mask rows as given.
std::string handMadeIcon(int w, int h, int bits, const std::string& table, const std::string& colorRows,
                         const std::string& maskRows)
{
    std::string s(22 + 40, '\0');
    put16(s, 2, 1);
    put16(s, 4, 1);
    s[6] = char(w);
    s[7] = char(h);
    put16(s, 10, 1);
    put16(s, 12, uint32_t(bits));
    put32(s, 14, uint32_t(40 + table.size() + colorRows.size() + maskRows.size()));
    put32(s, 18, 22);
    put32(s, 22, 40);
    put32(s, 26, uint32_t(w));
    put32(s, 30, uint32_t(2 * h));
    put16(s, 34, 1);
    put16(s, 36, uint32_t(bits));
    return s + table + colorRows + maskRows;
}

void loadBytes(TInternalIcon& icon, const std::string& bytes)
{
    rtl::TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    icon.LoadFromStream(stream);
}

gfx::TBitmap* image(const TInternalIcon& icon, int index, int* colors = nullptr)
{
    int c = -2;
    gfx::TBitmap* b = icon.GetImage(index, c);
    if (colors)
        *colors = c;
    return b;
}

}  // namespace

// Also leaves every icon at 4x in build/pictures-look/icons.png for a look.
TEST(InternalIcon, EveryDepthAndSizeEqualsIcotoolsExtractionOnWhite)
{
    REQUIRE_TOOLS();
    TempDir dir;
    std::vector<QImage> shown;
    for (int bits : {1, 4, 8, 24, 32})
        for (int side : {16, 32, 48}) {
            SCOPED_TRACE("bits " + std::to_string(bits) + ", side " + std::to_string(side));
            const std::string tag = std::to_string(bits) + "-" + std::to_string(side);
            const int colors = bits <= 8 ? 1 << bits : 0;
            const std::string ico =
                makeIcon(dir, tag + ".ico", {drawPicture(dir, tag + ".png", side, side, side + bits, colors)}, bits);
            const QImage extracted = extract(dir, ico, 1);
            TInternalIcon icon;
            EXPECT_TRUE(icon.LoadFromFile(ico));
            int got = -2;
            const gfx::TBitmap* b = image(icon, 0, &got);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(got, colors);
            EXPECT_EQ(firstDifference(*b, flattenOnWhite(extracted)), "");  // 32 bits: alpha unused
            EXPECT_EQ(b->PixelColor(0, 0), gfx::clWhite);                    // a see-through corner
            shown.push_back(b->ToImage());

            // The 32-bit reader takes 32-bit icons, raw colours without alpha, and leaves the
            // others to the general reader without raising.
            TIcon32 icon32;
            ASSERT_EQ(icon32.LoadFromFile(ico), bits == 32);
            if (bits == 32) {
                EXPECT_EQ(firstDifference(icon32.Bitmap(), extracted.convertToFormat(QImage::Format_RGB32)), "");
                EXPECT_EQ(icon32.Bitmap().PixelFormat(), gfx::pf32bit);
                EXPECT_EQ(icon32.IconWidth(), side);
                EXPECT_EQ(icon32.Width(), side);
                EXPECT_FALSE(icon32.isVisible());  // made without a parent: no window of its own
            } else {
                EXPECT_TRUE(icon32.Data().empty());
            }
        }
    int width = 8;
    for (const QImage& i : shown)
        width += 4 * i.width() + 8;
    QImage sheet(width, 4 * 48 + 16, QImage::Format_RGB32);
    sheet.fill(QColor(128, 128, 128));
    QPainter painter(&sheet);
    int x = 8;
    for (const QImage& i : shown) {
        painter.drawImage(QRect(x, 8, 4 * i.width(), 4 * i.height()), i);
        x += 4 * i.width() + 8;
    }
    painter.end();
    EXPECT_TRUE(sheet.save(lookDir() + "/icons.png"));
}

TEST(InternalIcon, ThreeImagesGiveThreeBitmapsAndIndexThreeNothing)
{
    REQUIRE_TOOLS();
    TempDir dir;
    const std::string ico = makeIcon(dir, "three.ico",
                                     {drawPicture(dir, "a.png", 16, 16, 1, 2), drawPicture(dir, "b.png", 32, 32, 2, 16),
                                      drawPicture(dir, "c.png", 48, 48, 3, 0)},
                                     0);
    TInternalIcon icon;
    icon.LoadFromFile(ico);
    EXPECT_EQ(icon.ImageCount(), 3);
    ASSERT_EQ(icon.DecodedCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(firstDifference(*image(icon, i), flattenOnWhite(extract(dir, ico, i + 1))), "") << "image " << i;
    int colors = 0;
    EXPECT_EQ(image(icon, 3, &colors), nullptr);
    EXPECT_EQ(colors, -1);
    icon.Clear();
    EXPECT_EQ(image(icon, 0), nullptr);
}

TEST(Icon32, TakesTheFirstEntrysImageAndTheHeadersHeight)
{
    REQUIRE_TOOLS();
    TempDir dir;
    TIcon32 icon32;
    EXPECT_EQ(icon32.IconWidth(), 32);
    EXPECT_EQ(icon32.IconHeight(), 32);
    EXPECT_EQ(icon32.Height(), 32);
    // The first image of a three-image icon lies behind three entries, not at byte 22.
    const std::string three = makeIcon(dir, "three.ico",
                                       {drawPicture(dir, "a.png", 16, 16, 1, 0), drawPicture(dir, "b.png", 32, 32, 2, 0),
                                        drawPicture(dir, "c.png", 48, 48, 3, 0)},
                                       32);
    ASSERT_TRUE(icon32.LoadFromFile(three));
    EXPECT_EQ(firstDifference(icon32.Bitmap(), extract(dir, three, 1).convertToFormat(QImage::Format_RGB32)), "");

    // ImageMagick's ICO writer, and a picture that is not square.
    const std::string magick = dir.file("magick.ico"), png = dir.file("magick-read.png");
    ASSERT_EQ(runCommand("convert", {drawPicture(dir, "tall.png", 20, 30, 5, 0), magick}).exitCode, 0);
    ASSERT_EQ(runCommand("convert", {magick, "PNG32:" + png}).exitCode, 0);
    ASSERT_TRUE(icon32.LoadFromFile(magick));
    EXPECT_EQ(icon32.IconHeight(), 30);
    EXPECT_EQ(icon32.Height(), 30);
    EXPECT_EQ(firstDifference(icon32.Bitmap(), QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32)),
              "");
}

TEST(Icon32, PngEntriesAreLeftToTheGeneralReader)
{
    REQUIRE_TOOLS();
    TempDir dir;
    const std::string small = drawPicture(dir, "small.png", 16, 16, 1, 2);
    const std::string big = drawPicture(dir, "big.png", 64, 64, 2, 0);
    TIcon32 icon32;
    // A PNG image in a 32-bit entry: not a bitmap header.
    EXPECT_FALSE(icon32.LoadFromFile(makeIcon(dir, "png.ico", {}, 0, {big})));
    EXPECT_EQ(icon32.IconWidth(), 32);

    // The general reader stores such an entry as an empty image and reads on.
    const std::string mixed = makeIcon(dir, "mixed.ico", {small}, 0, {big});
    TInternalIcon icon;
    icon.LoadFromFile(mixed);
    ASSERT_EQ(icon.DecodedCount(), 2);
    int colors = 0;
    EXPECT_EQ(firstDifference(*image(icon, 0, &colors), flattenOnWhite(extract(dir, mixed, 1))), "");
    EXPECT_EQ(colors, 2);
    EXPECT_TRUE(image(icon, 1, &colors)->Empty());
    EXPECT_EQ(colors, -1);
}

TEST(InternalIcon, SixteenBitEntriesAndZeroWidthBytes)
{
    // 2 x 2 at 16 bits (5-5-5), bottom row first: blue, white / black, green; the top-left
    // pixel is masked (and black in the colour image), so white shows there.
    const std::string bottomUp = std::string("\x1F\x00\xFF\x7F", 4) + std::string("\x00\x00\xE0\x03", 4);
    const std::string mask = std::string("\x00\x00\x00\x00", 4) + std::string("\x80\x00\x00\x00", 4);
    TInternalIcon icon;
    loadBytes(icon, handMadeIcon(2, 2, 16, "", bottomUp, mask));
    int colors = -2;
    const gfx::TBitmap* b = image(icon, 0, &colors);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(colors, 0);
    EXPECT_EQ(b->PixelColor(0, 0), gfx::clWhite);
    EXPECT_EQ(b->PixelColor(1, 0), gfx::TColor(0x00FF00));
    EXPECT_EQ(b->PixelColor(0, 1), gfx::TColor(0xFF0000));
    EXPECT_EQ(b->PixelColor(1, 1), gfx::clWhite);

    // Each image is stretched to its entry's size (nearest pixel); a width byte of 0 (a
    // 256-pixel entry) makes an empty image, whose colour count still comes from its header.
    const std::string oneBit = handMadeIcon(2, 2, 1, std::string("\0\0\0\0\xFF\xFF\xFF\0", 8),
                                            std::string("\x40\0\0\0\x80\0\0\0", 8), std::string(8, '\0'));
    std::string stretched = oneBit;
    stretched[6] = 4;
    stretched[7] = 4;
    loadBytes(icon, stretched);
    b = image(icon, 0, &colors);
    ASSERT_EQ(b->Width(), 4);
    EXPECT_EQ(colors, 2);
    EXPECT_EQ(b->PixelColor(0, 0), gfx::clWhite);  // top row (stored last): white, black
    EXPECT_EQ(b->PixelColor(1, 1), gfx::clWhite);
    EXPECT_EQ(b->PixelColor(3, 1), gfx::clBlack);
    EXPECT_EQ(b->PixelColor(0, 3), gfx::clBlack);  // bottom row (stored first): black, white
    EXPECT_EQ(b->PixelColor(3, 3), gfx::clWhite);
    std::string zero = oneBit;
    zero[6] = 0;
    loadBytes(icon, zero);
    EXPECT_TRUE(image(icon, 0, &colors)->Empty());
    EXPECT_EQ(colors, 2);
}

TEST(IconReaders, HostileFilesGiveEmptyImagesRefusalsOrStreamErrorsNeverMore)
{
    const std::string good = handMadeIcon(2, 2, 24, "", std::string(16, '\x33'), std::string(8, '\0'));
    auto check = [](const std::string& bytes, int decoded, bool empty) {
        TInternalIcon icon;
        loadBytes(icon, bytes);
        EXPECT_EQ(icon.DecodedCount(), decoded);
        for (int i = 0; i < icon.DecodedCount(); ++i) {
            int colors = 0;
            EXPECT_EQ(image(icon, i, &colors)->Empty(), empty) << i;
            EXPECT_EQ(colors, empty ? -1 : 0);
        }
    };
    check(good, 1, false);
    // Every cut: header or entries cut give a stream error, cut image data an empty image.
    for (size_t n = 0; n < good.size(); ++n) {
        TInternalIcon icon;
        try {
            loadBytes(icon, good.substr(0, n));
            EXPECT_GE(n, 22u);
            EXPECT_TRUE(image(icon, 0)->Empty());
        } catch (const rtl::EReadError&) {
            EXPECT_LT(n, 22u);
        }
    }
    // Offset and size past the end; header sizes 0, core, short, huge; sides near 2^31,
    // beyond 256, top-down.
    const std::pair<size_t, uint32_t> patches[] = {
        {18, 0xFFFFFFF0}, {14, 0x7FFFFFFF}, {22, 0},   {22, 12},         {22, 39},         {22, 0xFFFFFFF0}, {26, 0x7FFFFFFF},
        {26, 0x80000000}, {26, 257},        {30, 514}, {30, 0x7FFFFFFF}, {30, 0x80000000}, {30, 0xFFFFFFFC}};
    for (auto [at, value] : patches) {
        std::string bytes = good;
        put32(bytes, at, value);
        check(bytes, 1, true);
    }
    // 65535 entries that all name the one image: 101 are kept. Without the entries there: a
    // stream error before anything is allocated.
    std::string entry = good.substr(6, 16);
    put32(entry, 12, 6 + 65535 * 16);
    std::string many = good.substr(0, 6);
    put16(many, 4, 65535);
    for (int e = 0; e < 65535; ++e)
        many += entry;
    check(many + good.substr(22), TInternalIcon::MaxImages, false);
    TInternalIcon icon;
    EXPECT_THROW(loadBytes(icon, many.substr(0, 6 + 16)), rtl::EReadError);

    // The 32-bit decoder: with no image size in the header, the entry's size less 104 counts;
    // every cut, a side beyond 256 and a header that is not 40 bytes are refused or read short.
    std::string bytes = handMadeIcon(2, 2, 32, "", std::string(16, '\x40'), std::string(8, '\0'));
    put32(bytes, 14, 104 + 16);
    gfx::TBitmap out;
    ASSERT_TRUE(DecodeIcon32(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out));
    EXPECT_EQ(out.PixelColor(1, 1), gfx::TColor(0x404040));
    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_EQ(DecodeIcon32(reinterpret_cast<const uint8_t*>(bytes.data()), n, out), n >= 22 + 40) << n;
    for (auto [at, value] : {std::pair<size_t, uint32_t>{26, 300}, {22, 108}}) {
        std::string odd = bytes;
        put32(odd, at, value);
        EXPECT_FALSE(DecodeIcon32(reinterpret_cast<const uint8_t*>(odd.data()), odd.size(), out));
    }
}

namespace {

// A stream whose reads fail past `limit` bytes while it claims its whole size.
class FailingStream : public rtl::TMemoryStream {
public:
    FailingStream(std::vector<uint8_t> bytes, int64_t limit) : TMemoryStream(std::move(bytes)), limit_(limit) {}
    int64_t Read(void* buffer, int64_t count) override
    {
        if (Position() + count > limit_)
            return 0;
        return TMemoryStream::Read(buffer, count);
    }

private:
    int64_t limit_;
};

}  // namespace

TEST(InternalIcon, AStreamErrorPassesAndKeepsTheImagesReadBefore)
{
    const std::string one = handMadeIcon(2, 2, 24, "", std::string(16, '\x33'), std::string(8, '\0'));
    // Two entries naming two copies of the image, the second copy behind the failing point.
    std::string two = one.substr(0, 6) + one.substr(6, 16) + one.substr(6, 16);
    put16(two, 4, 2);
    const std::string data = one.substr(22);
    put32(two, 18, uint32_t(two.size()));
    put32(two, 34, uint32_t(two.size() + data.size()));
    two += data + data;
    TInternalIcon icon;
    FailingStream stream(std::vector<uint8_t>(two.begin(), two.end()), int64_t(two.size() - 4));
    EXPECT_THROW(icon.LoadFromStream(stream), rtl::EReadError);
    EXPECT_EQ(icon.DecodedCount(), 1);
    ASSERT_NE(image(icon, 0), nullptr);
    EXPECT_EQ(image(icon, 0)->PixelColor(0, 0), gfx::TColor(0x333333));
}

TEST(IconUtilities, RowSizesColourCountsAndNames)
{
    EXPECT_EQ(BytesPerScanline(17, 1, 32), 4);
    EXPECT_EQ(BytesPerScanline(33, 1, 32), 8);
    EXPECT_EQ(BytesPerScanline(3, 24, 8), 9);
    EXPECT_EQ(BytesPerScanline(0, 24, 32), 0);
    EXPECT_EQ(GetDInColors(8), 256);
    EXPECT_EQ(GetDInColors(24), 0);
    EXPECT_EQ(ResourceTypeName(14), "GroupIcon");
    EXPECT_EQ(ResourceTypeName(3), "#3");
    EXPECT_THROW(OutOfResources(0), EOutOfResources);
}

namespace {

// A small PE32 executable with a resource section: group icons #1, "APP" and #7 and one
// plain icon; `wrestool -l` lists what it holds.
const char* const WritePe = R"PY(
import struct, sys
def directory(entries):  # entries: (name_or_id, offset, is_dir), named first
    named = sum(1 for e in entries if isinstance(e[0], int) and e[0] & 0x80000000)
    out = struct.pack('<IIHHHH', 0, 0, 4, 0, named, len(entries) - named)
    for name, offset, is_dir in entries:
        out += struct.pack('<II', name, offset | (0x80000000 if is_dir else 0))
    return out
# layout inside .rsrc: root, type dirs, name dirs, language dirs, data entries, strings, data
rsrc = bytearray(0x400)
root = directory([(3, 0x20, True), (14, 0x38, True)])
rsrc[0:len(root)] = root
rsrc[0x20:0x20 + 24] = directory([(1, 0x80, True)])
rsrc[0x38:0x38 + 40] = directory([(0x80000000 | 0x300, 0x98, True), (1, 0xB0, True), (7, 0xC8, True)])
for at, data in ((0x80, 0x100), (0x98, 0x110), (0xB0, 0x120), (0xC8, 0x130)):
    rsrc[at:at + 24] = directory([(1033, data, False)])
for i, at in enumerate((0x100, 0x110, 0x120, 0x130)):
    rsrc[at:at + 16] = struct.pack('<IIII', 0x1000 + 0x200, 16, 0, 0)
name = 'APP'.encode('utf-16-le')
rsrc[0x300:0x302 + len(name)] = struct.pack('<H', 3) + name
dos = bytearray(0x80); dos[0:2] = b'MZ'; struct.pack_into('<I', dos, 0x3C, 0x80)
coff = struct.pack('<HHIIIHH', 0x14C, 1, 0, 0, 0, 224, 0x0102)
opt = bytearray(224)
struct.pack_into('<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII', opt, 0, 0x10B, 1, 0, 0x200, 0, 0, 0x1000, 0x1000, 0x1000,
                 0x400000, 0x1000, 0x200, 4, 0, 0, 0, 4, 0, 0, 0x2000, 0x200, 0, 2, 0, 0x100000, 0x1000,
                 0x100000, 0x1000, 0, 16)
struct.pack_into('<II', opt, 96 + 2 * 8, 0x1000, len(rsrc))
section = struct.pack('<8sIIIIIIHHI', b'.rsrc', 0x1000, 0x1000, len(rsrc), 0x200, 0, 0, 0, 0, 0x40000040)
head = bytes(dos) + b'PE\0\0' + coff + bytes(opt) + section
open(sys.argv[1], 'wb').write(head + bytes(0x200 - len(head)) + bytes(rsrc))
)PY";

}  // namespace

TEST(InternalIcon, ListsTheIconGroupsOfAnExecutableAsWrestoolDoes)
{
    if (!haveProgram("wrestool"))
        GTEST_SKIP() << "icoutils (wrestool) is needed";
    TempDir dir;
    const std::string exe = dir.file("small.exe");
    writeFile(dir.file("pe.py"), WritePe);
    ASSERT_EQ(runCommand(python3(), {dir.file("pe.py"), exe}).exitCode, 0);

    const CommandResult listing = runCommand("wrestool", {"-l", "--type=14", exe});
    ASSERT_EQ(listing.exitCode, 0) << listing.err;
    std::set<std::string> theirs;
    const QRegularExpression nameField("--name=('?)([^' ]+)\\1");
    for (const QString& line : QString::fromStdString(listing.out).split('\n', Qt::SkipEmptyParts)) {
        const auto m = nameField.match(line);
        if (m.hasMatch())
            theirs.insert((m.captured(1).isEmpty() ? "#" : "") + m.captured(2).toStdString());
    }
    ASSERT_EQ(theirs, (std::set<std::string>{"#1", "#7", "APP"})) << listing.out;

    QTreeWidget tree;
    TInternalIcon icon;
    EXPECT_TRUE(icon.ListIconGroups(exe, tree));
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree.topLevelItem(0);
    EXPECT_EQ(top->text(0), "GroupIcon");
    EXPECT_EQ(top->data(0, TInternalIcon::ImageIndexRole).toInt(), 0);
    EXPECT_EQ(top->data(0, TInternalIcon::SelectedIndexRole).toInt(), 1);
    std::set<std::string> ours;
    for (int i = 0; i < top->childCount(); ++i) {
        ours.insert(top->child(i)->text(0).toStdString());
        EXPECT_EQ(top->child(i)->data(0, TInternalIcon::ImageIndexRole).toInt(), 2);
        EXPECT_EQ(top->child(i)->data(0, TInternalIcon::SelectedIndexRole).toInt(), 2);
    }
    EXPECT_EQ(ours, theirs);

    // Not an executable, a missing file, and every cut of the executable: false or a shorter
    // listing, never more.
    QTreeWidget other;
    writeFile(dir.file("text.exe"), "MZ but nothing more");
    EXPECT_FALSE(icon.ListIconGroups(dir.file("text.exe"), other));
    EXPECT_FALSE(icon.ListIconGroups(dir.file("missing.exe"), other));
    const std::string whole = readFile(exe);
    for (size_t n = 0; n < whole.size(); n += 7) {
        writeFile(dir.file("cut.exe"), whole.substr(0, n));
        QTreeWidget cut;
        icon.ListIconGroups(dir.file("cut.exe"), cut);
        EXPECT_LE(cut.topLevelItemCount(), 1);
        if (cut.topLevelItemCount()) {
            EXPECT_LE(cut.topLevelItem(0)->childCount(), 3);
        }
    }
}
