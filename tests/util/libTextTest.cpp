#include "support/TestSupport.h"
#include "util/Cp932.h"
#include "util/libText.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// CP932 bytes of a UTF-8 literal.
std::string sj(const std::string& utf8)
{
    return cp932::encode(utf8).value();
}

std::string hex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Runs `def f(b, n)` of python3 (b: the CP932 bytes, n: the number) on each case and returns
// the bytes it gives; the golden results come from python's own cp932 codec.
std::vector<std::string> pythonGolden(const std::string& function,
                                      const std::vector<std::pair<std::string, int>>& cases)
{
    std::string input;
    for (const auto& [bytes, n] : cases)
        input += hex(bytes) + " " + std::to_string(n) + "\n";
    const std::string script = "import sys, unicodedata\n" + function +
        "\nfor line in sys.stdin:\n"
        "    h, n = line.split(' ')\n"
        "    print(f(bytes.fromhex(h), int(n)).hex())\n";
    auto r = runCommand(python3(), {"-c", script}, input);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> out;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        std::string bytes;
        for (std::size_t i = 0; i + 1 < line.size(); i += 2)
            bytes += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
        out.push_back(bytes);
    }
    EXPECT_EQ(out.size(), cases.size());
    out.resize(cases.size());
    return out;
}

}  // namespace

TEST(libText, FullWidthMatchesUnicodeMappingThroughPythonCodec)
{
    // ASCII goes to U+FF01.., space to U+3000; half-width kana by NFKC, which also joins the
    // voiced marks; a mark left alone is the spacing mark.
    const std::string golden =
        "def f(b, n):\n"
        "    t = unicodedata.normalize('NFKC', b.decode('cp932'))\n"
        "    t = t.replace('\\u3099', '\\u309b').replace('\\u309a', '\\u309c')\n"
        "    t = ''.join('\\u3000' if c == ' ' else chr(ord(c) + 0xFEE0) if '!' <= c <= '~' else c for c in t)\n"
        "    # our codec writes the IBM extension codes for these two, as Windows did; python the NEC ones\n"
        "    ibm = {'\\uff02': b'\\xfa\\x57', '\\uff07': b'\\xfa\\x56'}\n"
        "    return b''.join(ibm.get(c) or c.encode('cp932') for c in t)\n";
    std::string ascii, kana;
    for (int c = 0x20; c <= 0x7E; ++c)
        ascii += static_cast<char>(c);
    for (int c = 0xA1; c <= 0xDD; ++c)
        kana += static_cast<char>(c);
    const std::vector<std::pair<std::string, int>> cases = {
        {ascii, 0},
        {kana, 0},
        {sj("ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞ"), 0},
        {sj("ｱﾞﾟﾞﾏﾟ ﾃﾞｨｽｸ 日本語 ＡＢＣ かな\\~"), 0},
    };
    auto expected = pythonGolden(golden, cases);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(hex(ToFullWidth(cases[i].first)), hex(expected[i])) << i;

    // No length limit: a long text is converted whole.
    const std::string longText(3000, 'a');
    EXPECT_EQ(ToFullWidth(longText), [] { std::string s; for (int i = 0; i < 3000; ++i) s += sj("ａ"); return s; }());
    // Control characters and a lone lead byte at the end stay as they are.
    EXPECT_EQ(ToFullWidth("\t\x81"), "\t\x81");
}

TEST(libText, TrimBlanksKnowsCharacterBoundaries)
{
    // python strips exactly the two blanks; the decoded text keeps the characters whole.
    const std::string golden =
        "def f(b, n):\n"
        "    return b.decode('cp932').strip(' \\u3000').encode('cp932')\n";
    const std::vector<std::pair<std::string, int>> cases = {
        {sj("\u3000 abc\u3000"), 0},
        {sj("＝@"), 0},            // 0x81 0x81 0x40: its last two bytes look like a full-width space
        {sj("ａ@\u3000 "), 0},     // 0x82 0x81 0x40 then blanks
        {sj(" \u3000亜亜\u3000"), 0},  // trail byte 0x9F is in the lead-byte range
        {sj("\tabc\t "), 0},       // tabs are not blanks
        {sj("\u3000 \u3000"), 0},
        {sj("ｱ ｲ"), 0},
    };
    auto expected = pythonGolden(golden, cases);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(hex(TrimBlanks(cases[i].first)), hex(expected[i])) << i;
    EXPECT_EQ(TrimBlanks(sj("\u3000 abc\u3000")), "abc");
    EXPECT_EQ(TrimBlanks(sj("＝@")), sj("＝@"));
}

TEST(libText, WholeCharacterCutsNeverSplitADoubleByteCharacter)
{
    // The longest prefix / suffix of whole characters within n bytes, by python's codec.
    const std::string left =
        "def f(b, n):\n"
        "    t = b.decode('cp932')\n"
        "    return max((t[:i].encode('cp932') for i in range(len(t) + 1) if len(t[:i].encode('cp932')) <= n), key=len)\n";
    const std::string right =
        "def f(b, n):\n"
        "    t = b.decode('cp932')\n"
        "    return max((t[i:].encode('cp932') for i in range(len(t) + 1) if len(t[i:].encode('cp932')) <= n), key=len)\n";
    const std::string text = sj("日亜ｶa本");  // 2 + 2 + 1 + 1 + 2 bytes
    std::vector<std::pair<std::string, int>> cases;
    for (int n = 0; n <= 9; ++n)
        cases.emplace_back(text, n);
    auto expectedLeft = pythonGolden(left, cases);
    auto expectedRight = pythonGolden(right, cases);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(hex(LeftTextWhole(text, i)), hex(expectedLeft[i])) << i;
        EXPECT_EQ(hex(RightTextWhole(text, i)), hex(expectedRight[i])) << i;
    }
    EXPECT_EQ(LeftTextWhole(sj("日"), 1), "");
    EXPECT_EQ(LeftTextWhole(sj("日"), 2), sj("日"));
    EXPECT_EQ(CharLength(sj("日"), 0), 2u);
    EXPECT_EQ(CharLength("\x81", 0), 1u);  // lead byte cut off at the end

    // The plain cuts take bytes as asked, even half a character.
    EXPECT_EQ(LeftText(sj("日"), 1), "\x93");
    EXPECT_EQ(RightText("abc", 5), "abc");
    EXPECT_EQ(LeftText("abc", 0), "");
    EXPECT_EQ(RightText("abc", 2), "bc");
}

TEST(libText, WideCutsKeepSurrogatePairsWhole)
{
    const std::u16string w = u"日本語a\U0001F3B5b";  // the note needs two UTF-16 units
    EXPECT_EQ(WideLeftText(w, 2), sj("日本"));
    EXPECT_EQ(WideLeftText(w, 5), sj("日本語a"));  // half of the pair is dropped
    EXPECT_EQ(WideLeftText(w, 6), sj("日本語a") + "?");
    EXPECT_EQ(WideRightText(w, 2), "b");           // half of the pair is dropped
    EXPECT_EQ(WideRightText(w, 3), "?b");
    EXPECT_EQ(WideRightText(w, 99), sj("日本語a") + "?b");
}

TEST(libText, ByteAndCharacterClasses)
{
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_FALSE(IsLeadByte(0xDF));       // half-width katakana are single bytes
    EXPECT_TRUE(IsLeadByte(0xFC));
    EXPECT_FALSE(IsTrailByte(0x7F));
    EXPECT_TRUE(IsTrailByte(0x80));
    EXPECT_FALSE(IsControlChar('\x81'));  // a high byte is not a negative "code below 0x20"
    EXPECT_TRUE(IsControlChar('\x1F'));
    for (int c = 0; c < 256; ++c) {
        char key = static_cast<char>(c);
        SwallowEnterEsc(key);
        EXPECT_EQ(key, c == 13 || c == 27 ? '\0' : static_cast<char>(c)) << c;
    }
}

TEST(libText, NumericTextIsAlwaysReadableAsANumber)
{
    for (std::string s : {"-12.5", "0", "5.", ".5", "-.5", "007"}) {
        EXPECT_TRUE(IsNumericText(s)) << s;
        EXPECT_NO_THROW(TextToFloat(s)) << s;
    }
    for (std::string s : {"", "-", "+", ".", "+12", "1.2.3", "--1", "1 2", " 1", "1e3", "-.", "abc"})
        EXPECT_FALSE(IsNumericText(s)) << s;

    EXPECT_EQ(NormalizeNumberText(" - "), "0");
    EXPECT_EQ(NormalizeNumberText("-.5"), "-0.5");
    EXPECT_EQ(NormalizeNumberText(sj("\u300012\u3000")), "12");
    EXPECT_EQ(TextToFloat(sj(" 12.5\u3000")), 12.5L);
    EXPECT_EQ(TextToFloat("-.5"), -0.5L);
    EXPECT_EQ(TextToFloat("+1e3"), 1000.0L);
    EXPECT_EQ(TextToFloat(""), 0.0L);
    for (std::string s : {"1.2.3", "abc", "1,000", "1e", "--1", "1e99999"})
        EXPECT_THROW(TextToFloat(s), EConvertError) << s;
}

TEST(libText, GroupedNumbersUseTheJapaneseSeparatorAndRightAlign)
{
    EXPECT_EQ(FormatGrouped("1234567.891", 0), "1,234,567.891");
    EXPECT_EQ(FormatGrouped("-1234", 8), "  -1,234");
    EXPECT_EQ(FormatGrouped("123", 2), "23");
    EXPECT_EQ(FormatGrouped("999", 0), "999");
    EXPECT_EQ(FormatGrouped("-100", 0), "-100");
    EXPECT_EQ(FormatGrouped("-0.5", 0), "-0.5");      // negative zero keeps its sign
    EXPECT_EQ(FormatGrouped(".25", 0), "0.25");
    EXPECT_EQ(FormatGrouped("", 3), "   ");
    const std::string padded = FormatGrouped("1", 50);  // padding stops at 40 blanks
    EXPECT_EQ(padded.size(), 41u);
    EXPECT_EQ(padded.find_first_not_of(' '), 40u);
    EXPECT_THROW(FormatGrouped("12a.5", 0), EConvertError);

    EXPECT_EQ(FormatFloatGrouped(1234567.0L, 0), "1,234,567");
    EXPECT_EQ(FormatFloatGrouped(-1234.5L, 0), "-1,234.5");
    EXPECT_EQ(FormatFloatGrouped(0.1L, 0), "0.1");
    EXPECT_EQ(FormatFloatGrouped(1e20L, 0), "100,000,000,000,000,000,000");
    // Whole numbers take a short way; it must give what the long way gives.
    for (const long double v : {0.0L, 7.0L, 999.0L, 1000.0L, -1000.0L, 123456789012.0L, 8999999999999999.0L,
                                9000000000000001.0L})
        EXPECT_EQ(FormatFloatGrouped(v, 12), FormatGrouped(std::to_string(static_cast<long long>(v)), 12)) << double(v);
    EXPECT_EQ(FormatFloatGrouped(-0.0L, 0), "-0");
}
