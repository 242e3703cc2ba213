#include "support/TestSupport.h"
#include "util/Cp932.h"
#include "util/Utf16.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// CP932 bytes of a UTF-8 text according to python3's own cp932 codec.
std::string pythonCp932(const std::string& utf8)
{
    auto r = runCommand(python3(), {"-c",
        "import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().decode('utf-8').encode('cp932'))"},
        utf8);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

}  // namespace

TEST(Cp932, RoundTripsAgainstPythonCodec)
{
    // Full-width space, kanji, hiragana, half-width katakana with voiced marks, ASCII, symbols.
    const std::vector<std::string> texts = {
        "\xE3\x80\x80" "abc",                       // full-width space + abc
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",     // 日本語
        "\xEF\xBD\xB6\xEF\xBE\x9E\xEF\xBE\x8A\xEF\xBE\x9F",  // ｶﾞﾊﾟ
        "\xE3\x82\xBD\xE3\x83\x8D\xE3\x83\x83\xE3\x83\x88",  // ソネット (ソ has trail byte 0x5C)
        "\xE2\x91\xA0\xE3\x88\xB1",                 // ①㈱ (NEC and IBM extensions)
        "Tambourelle 1.0 - ~!@#",
    };
    for (const auto& t : texts) {
        auto ours = cp932::encode(t);
        ASSERT_TRUE(ours.has_value()) << t;
        EXPECT_EQ(*ours, pythonCp932(t)) << t;
        EXPECT_EQ(cp932::toUtf8(*ours), t);
    }
}

TEST(Cp932, UnmappableTextIsRefusedOrReplacedNeverDropped)
{
    const std::string text = "a\xF0\x9F\x8E\xB5" "b\xC3\xA9";  // a🎵bé
    EXPECT_FALSE(cp932::encode(text).has_value());
    EXPECT_FALSE(cp932::canEncode(text));
    EXPECT_EQ(cp932::encodeLossy(text), "a?b?");
    EXPECT_EQ(cp932::byteLength(text), 4u);
    EXPECT_EQ(cp932::encodeLossy("x\xFFy"), "x?y");  // invalid UTF-8 byte
}

TEST(Cp932, DecodingMarksBadBytesAndGoesOn)
{
    EXPECT_EQ(cp932::toUtf8("a\x81"), "a\xEF\xBF\xBD");        // lead byte cut off at the end
    EXPECT_EQ(cp932::toUtf8("\xA0z"), "\xEF\xBF\xBDz");        // 0xA0 is not CP932
    EXPECT_EQ(cp932::toUtf8(std::string("\x00", 1)), std::string("\x00", 1));
}

TEST(Cp932, CutsCountCp932BytesWithoutSplittingCharacters)
{
    const std::string text = "a\xE6\x97\xA5\xEF\xBD\xB6" "b";  // a日ｶb = 1+2+1+1 bytes
    EXPECT_EQ(cp932::byteLength(text), 5u);
    EXPECT_EQ(cp932::cutToBytes(text, 0), "");
    EXPECT_EQ(cp932::cutToBytes(text, 1), "a");
    EXPECT_EQ(cp932::cutToBytes(text, 2), "a");                 // 日 would be split
    EXPECT_EQ(cp932::cutToBytes(text, 3), "a\xE6\x97\xA5");
    EXPECT_EQ(cp932::cutToBytes(text, 4), "a\xE6\x97\xA5\xEF\xBD\xB6");
    EXPECT_EQ(cp932::cutToBytes(text, 99), text);
}

TEST(Cp932, Utf8ValidityAndFallbackDecoding)
{
    EXPECT_TRUE(cp932::isValidUtf8("plain \xE6\x97\xA5"));
    EXPECT_FALSE(cp932::isValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(cp932::isValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(cp932::isValidUtf8("\xE6\x97"));          // truncated
    EXPECT_EQ(cp932::fromUtf8OrCp932("\x93\xFA\x96\x7B"), "\xE6\x97\xA5\xE6\x9C\xAC");  // 日本 in CP932
    EXPECT_EQ(cp932::fromUtf8OrCp932("\xE6\x97\xA5"), "\xE6\x97\xA5");
}

// File names as unpacked from old archives: shown readable where CP932 reads them, escaped
// where nothing does, each part between slashes on its own.
TEST(Cp932, FileNamesForDisplay)
{
    const std::string test = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";  // テスト in UTF-8
    EXPECT_EQ(cp932::nameForDisplay("/music/" + test + ".mp3"), "/music/" + test + ".mp3");
    EXPECT_EQ(cp932::nameForDisplay("\x83\x65\x83\x58\x83\x67.mp3"), test + ".mp3");
    // A UTF-8 folder above a Shift-JIS file: each keeps its own reading (read whole as CP932,
    // the folder's UTF-8 bytes would turn into other kanji).
    EXPECT_EQ(cp932::nameForDisplay("/" + test + "/\x83\x65\x83\x58\x83\x67.mp3"),
              "/" + test + "/" + test + ".mp3");
    EXPECT_EQ(cp932::nameForDisplay("\xB1\xB2.wav"), "\xEF\xBD\xB1\xEF\xBD\xB2.wav");  // ｱｲ half-width
    // Latin-1 and cut names are no CP932: their odd bytes are shown escaped, the rest kept.
    EXPECT_EQ(cp932::nameForDisplay("caf\xE9.wav"), "caf\\xE9.wav");
    EXPECT_EQ(cp932::nameForDisplay("ab\x83"), "ab\\x83");
    EXPECT_EQ(cp932::nameForDisplay(test + "\xFF/x"), test + "\\xFF/x");
    EXPECT_NE(cp932::nameForDisplay("caf\xE9"), cp932::nameForDisplay("caf\xE8"));
    EXPECT_EQ(cp932::nameForDisplay(""), "");
    EXPECT_EQ(cp932::nameForDisplay("/"), "/");
}

TEST(Utf16, ByteOrderMarksSurrogatesAndDamage)
{
    // "日a" + U+1F3B5 (a surrogate pair), little-endian behind a mark.
    const std::string le("\xFF\xFE\xE5\x65" "a\x00" "\x3C\xD8\xB5\xDF", 10);
    EXPECT_EQ(utf16::toUtf8(le, true), "\xE6\x97\xA5" "a\xF0\x9F\x8E\xB5");  // the mark wins
    EXPECT_EQ(utf16::fromUtf8("\xE6\x97\xA5" "a\xF0\x9F\x8E\xB5", false), le);
    const std::string be = utf16::fromUtf8("\xE6\x97\xA5", true);
    EXPECT_EQ(be, std::string("\x65\xE5", 2));
    EXPECT_EQ(utf16::toUtf8(be, true), "\xE6\x97\xA5");
    // A lone high surrogate and an odd trailing byte.
    EXPECT_EQ(utf16::toUtf8(std::string("\x3C\xD8" "b\x00" "c", 5), false), "\xEF\xBF\xBD" "b");
}

// ASCII takes a short way through the decoder: every byte of it, alone and beside a
// double-byte character, must decode as python's cp932 codec decodes it.
TEST(Cp932, AsciiDecodesAsThePythonCodecDoes)
{
    std::string ascii;
    for (int b = 1; b < 0x80; ++b)
        ascii += static_cast<char>(b);
    const std::string sjisKanji = "\x93\xfa";  // 日
    for (const std::string& bytes : {ascii, ascii + sjisKanji, sjisKanji + ascii}) {
        auto r = runCommand(python3(), {"-c",
            "import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().decode('cp932').encode('utf-8'))"},
            bytes);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(cp932::toUtf8(bytes), r.out);
    }
}
