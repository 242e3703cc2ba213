// Disc identity, CDDB request URLs, answers and the system CD database. Disc ids are checked
// against libdiscid (python3-libdiscid).
#include "cd/CddbText.h"
#include "cd/MCDPlayer.h"
#include "platform/sound/Clock.h"
#include "shared/SettingsFixture.h"
#include "support/CdImages.h"
#include "support/TestSupport.h"
#include "util/Cp932.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

using namespace testsupport;

namespace {

// A disc image of silent tracks of the given lengths in sectors: a cue sheet and a sparse bin,
// so that even a long first track costs nothing to write.
std::string writeSilentImage(const TempDir& dir, const std::string& name, const std::vector<uint32_t>& sectors)
{
    std::string cue = "FILE \"" + name + ".bin\" BINARY\n";
    uint32_t at = 0;
    for (size_t i = 0; i < sectors.size(); ++i) {
        char text[96];
        std::snprintf(text, sizeof text, "  TRACK %02zu AUDIO\n    INDEX 01 %02u:%02u:%02u\n", i + 1, at / 4500,
                      at / 75 % 60, at % 75);
        cue += text;
        at += sectors[i];
    }
    writeFile(dir.file(name + ".cue"), cue);
    writeFile(dir.file(name + ".bin"), "");
    std::filesystem::resize_file(dir.file(name + ".bin"), uintmax_t(at) * 2352);
    return dir.file(name + ".cue");
}

class CddbTest : public ::testing::Test {
protected:
    std::unique_ptr<TCDPlayer> player(const std::string& drive)
    {
        IniWriteString(IniBase, "CDPlayer", "CD_DRIVE", drive);
        auto p = std::make_unique<TCDPlayer>(clock);
        p->Reopen();
        return p;
    }
    std::string database() const { return readFile(TCDPlayer::CdPlayerIniBase() + ".ini"); }

    SettingsFixture settings;
    const TempDir& dir = settings.dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    snd::ManualClock clock;
};

}  // namespace

TEST_F(CddbTest, DiscIdAndQueryUrlAgreeWithLibdiscid)
{
    struct Disc {
        const char* name;
        std::vector<uint32_t> sectors;
    };
    std::vector<uint32_t> twelve;
    for (uint32_t i = 0; i < 12; ++i)
        twelve.push_back(300 + i * 37);
    const std::vector<Disc> discs = {
        {"one", {1000}},
        {"three", {150, 160, 187}},
        {"twelve", twelve},
        {"leadout-one-frame-short", {225, 224}},  // lead-out at 599 = 8 s less one frame
        {"starts-150-and-20000", {19850, 300}},
    };
    for (const Disc& d : discs) {
        SCOPED_TRACE(d.name);
        auto p = player(writeSilentImage(dir, d.name, d.sectors));
        ASSERT_EQ(p->TOC().size(), d.sectors.size());
        std::vector<uint32_t> offsets;
        uint32_t at = 150;
        for (uint32_t s : d.sectors) {
            offsets.push_back(at);
            at += s;
        }
        char ours[16];
        std::snprintf(ours, sizeof ours, "%08x", unsigned(p->ComputeDiscId()));
        const std::string theirs = libdiscidId(at, offsets);
        const std::string url = p->CddbQueryUrl("127.0.0.1:8880", "");
        std::printf("%-24s ours %s  libdiscid %s  %s\n", d.name, ours, theirs.c_str(), url.c_str());
        EXPECT_EQ(ours, theirs);
        if (d.sectors.front() == 19850) {
            EXPECT_EQ(p->ComputeDiscId() >> 24, 2u + 14u);
        }
        EXPECT_EQ(p->DiscId(), p->ComputeDiscId());
        EXPECT_EQ(p->GetMediaIdentity(), p->DiscId());

        std::string expected = "/~cddb/cddb.cgi?cmd=cddb+query+" + theirs + "+" + std::to_string(offsets.size());
        for (uint32_t o : offsets)
            expected += "+" + std::to_string(o);
        expected += "+" + std::to_string(at / 75) + CddbHello;
        EXPECT_EQ(p->CddbQueryPath(), expected);
        EXPECT_EQ(url, "http://127.0.0.1:8880" + expected);
        EXPECT_EQ(p->CddbQueryUrl("CDDB.Example.ORG", "&hello=A+B+C+1&proto=4"),
                  "http://cddb.example.org" + expected.substr(0, expected.find('&')) + "&hello=A+B+C+1&proto=4");
    }
    // The two starts give 2 and 266 whole seconds, digit sums 2 and 14.
    EXPECT_EQ(TCDPlayer::DigitSum(2), 2);
    EXPECT_EQ(TCDPlayer::DigitSum(266), 14);
    EXPECT_EQ(TCDPlayer::DigitSum(0), 0);
    EXPECT_EQ(TCDPlayer::DigitSum(-5), 0);
    EXPECT_EQ(TCDPlayer::MsfToSeconds(0x00020304), 4 * 60 + 3);

    TCDPlayer empty(clock);
    EXPECT_THROW(empty.ComputeDiscId(), ECDPlayerError);
}

TEST_F(CddbTest, ReadUrls)
{
    const std::string hello = CddbHello;
    const std::string script = "/~cddb/cddb.cgi?cmd=cddb+read+";
    EXPECT_EQ(TCDPlayer::CddbReadUrl("gnudb.gnudb.org", "rock", "7a0c0a0b", ""),
              "http://gnudb.gnudb.org" + script + "rock+7a0c0a0b" + hello);
    // A category given a capital for the grid is lower-cased again; the id may come along.
    EXPECT_EQ(TCDPlayer::CddbReadUrl("Host:8080", "Rock+7A0C0A0B", "", "&hello=X+Y+Z+2&proto=4\r\n"),
              "http://host:8080" + script + "rock+7a0c0a0b&hello=X+Y+Z+2&proto=4");
    EXPECT_EQ(TCDPlayer::MakeHttpUrl("https://cddb.example:8443", "/x"), "https://cddb.example:8443/x");
    EXPECT_EQ(TCDPlayer::MakeHttpUrl("cddb.example", "/x"), "http://cddb.example/x");
    EXPECT_EQ(CddbCategories.size(), 11u);
    EXPECT_EQ(CddbCategories.front(), "Rock");
    EXPECT_EQ(CddbCategories.back(), "Data");
}

TEST(CddbText, ParseXmcd)
{
    struct Case {
        const char* name;
        std::string text;
        std::string year, title, artist;
        std::vector<std::string> tracks;
    };
    std::string twelve = "DTITLE=A / B\n";
    std::vector<std::string> twelveTitles;
    for (int i = 0; i < 12; ++i) {
        twelve += "TTITLE" + std::to_string(i) + "=Song " + std::to_string(i) + "\n";
        twelveTitles.push_back("Song " + std::to_string(i));
    }
    const std::vector<Case> cases = {
        {"title split over two lines", "# xmcd\r\nDTITLE=Some Art\r\nDTITLE=ist / The Title\r\nTTITLE0=One\r\n.\r\n",
         "", "The Title", "Some Artist", {"One"}},
        {"no separator", "DTITLE=Just a title\nTTITLE0=x\n", "", "", "", {"x"}},
        {"twelve tracks", twelve, "", "B", "A", twelveTitles},
        {"continued title", "DTITLE=A / B\nTTITLE0=One\nTTITLE1=Long ti\nTTITLE1=tle\nTTITLE2=Three\n", "", "B",
         "A", {"One", "Long title", "Three"}},
        {"year", "DTITLE=A / B\nTTITLE0=x\nEXTD= YEAR: 1998\nEXTD= ID3G: 17\nEXTD= YEAR: 2005\n", "1998", "B", "A",
         {"x"}},
        {"free text is no year", "DTITLE=A / B\nEXTD=Recorded live at the 2001 festival\n", "", "B", "A", {}},
        {"Japanese", "DTITLE=山田太郎 / 春の歌\nTTITLE0=桜\nTTITLE1=風\n", "", "春の歌", "山田太郎", {"桜", "風"}},
        {"later DTITLE ignored", "DTITLE=A / B\nTTITLE0=x\nDTITLE=C / D\n", "", "B", "A", {"x"}},
        {"tracks past 99 dropped", "TTITLE0=a\nTTITLE99=b\nTTITLE4294967296=c\nTTITLE=d\nTTITLEx=e\n", "", "", "",
         {"a"}},
    };
    for (const Case& c : cases) {
        std::string year = "old", title = "old", artist = "old";
        std::vector<std::string> tracks{"old"};
        TCDPlayer::ParseXmcd(c.text, year, tracks, title, artist);
        EXPECT_EQ(year, c.year) << c.name;
        EXPECT_EQ(title, c.title) << c.name;
        EXPECT_EQ(artist, c.artist) << c.name;
        EXPECT_EQ(tracks, c.tracks) << c.name;
    }
    // An entry parses when it holds a title line at all.
    EXPECT_TRUE(HasXmcdTitles("# xmcd\nDTITLE=\n"));
    EXPECT_TRUE(HasXmcdTitles("TTITLE12=x"));
    EXPECT_FALSE(HasXmcdTitles("<html>busy</html>\r\nTTITLE=x\r\nTTITLEx=y\r\n DTITLE=z\r\n"));
    EXPECT_FALSE(HasXmcdTitles(""));
}

TEST(CddbText, AnswerCodesAndMatchLines)
{
    struct Case {
        std::string body;
        int code;
        std::string text;
    };
    // The loopback test covers every code as a server sends it; these are the edges of the text.
    const std::vector<Case> cases = {
        {"200   rock 7a0c0a0b Artist / Title  \r\nignored\r\n", 200, "rock 7a0c0a0b Artist / Title"},
        {"210 Found exact matches\r\nrock 1 A / B\r\nmisc 2 C / D\r\n.\r\n", 210, "rock 1 A / B\nmisc 2 C / D"},
        {"211 no terminator\nrock 1 A / B", 210, ""},
        {"600", 600, ""},
        {"20", 999, ""},
        {"230 something else", 999, ""},
    };
    for (const Case& c : cases) {
        std::string text = "old";
        EXPECT_EQ(CddbMapBody(c.body, text), c.code) << c.body;
        EXPECT_EQ(text, c.text) << c.body;
    }

    struct Line {
        std::string line, category, id, rest;
        bool whole;
    };
    const std::vector<Line> lines = {
        {"rock 7a0c0a0b Artist / Title", "Rock", "7a0c0a0b", "Artist / Title", true},
        {"200 misc 12345678  Spaced out  ", "Misc", "12345678", "Spaced out", true},
        {"Jazz 1234", "Jazz", "1234", "", false},
        {"jazz", "Jazz", "", "", false},
        {"12345", "", "", "", false},
        {"", "", "", "", false},
        {"ñu 1 x", "ñu", "1", "x", true},
    };
    for (const Line& l : lines) {
        std::string category, id, rest;
        EXPECT_EQ(ParseMatchLine(l.line, category, id, rest), l.whole) << l.line;
        EXPECT_EQ(category + "|" + id + "|" + rest, l.category + "|" + l.id + "|" + l.rest) << l.line;
    }
    // Any bytes, and one huge line, give parts of the input and no more.
    std::string bytes;
    for (int i = 0; i < 4096; ++i)
        bytes += char((i * 131 + 7) & 0xFF);
    const std::string huge = "rock " + std::string(3 << 20, 'x') + " y";
    for (const std::string& any : {bytes, huge}) {
        std::string category, id, rest, text;
        ParseMatchLine(any, category, id, rest);
        EXPECT_LE(category.size() + id.size() + rest.size(), any.size());
        CddbMapBody(any, text);
        EXPECT_LE(text.size(), any.size());
    }
}

TEST_F(CddbTest, SystemCdDatabase)
{
    const std::string base = TCDPlayer::CdPlayerIniBase();
    EXPECT_EQ(base, dir.file("config") + "/Tambourelle/cdplayer");
    ASSERT_FALSE(std::filesystem::exists(dir.file("config")));

    TCDPlayer p(clock);
    const std::vector<std::string> titles = {"一曲目", "", "Track = three"};
    p.WriteCdPlayerIni(0x1234, "山田", "春の歌", "1999/04/01", "J-Pop", "Misc", titles);  // makes the folder
    p.WriteCdPlayerIni(0xFEDCBA98u, "Big", "Id", "2001", "", "Rock", {"x"});
    EXPECT_EQ(p.GetArtist(), "Big");
    EXPECT_EQ(p.GetCategory(), "Rock");
    const std::string written = database();
    const ParsedIni parsed = readWithConfigParser(base + ".ini");
    ASSERT_TRUE(parsed.has("001234") && parsed.has("FEDCBA98"));
    EXPECT_EQ(parsed.keys("001234"), (IniKeys{{"artist", "山田"}, {"title", "春の歌"}, {"genre", "J-Pop"},
                                              {"category", "Misc"}, {"date", "1999/04/01"}, {"numtracks", "3"},
                                              {"0", "一曲目"}, {"1", ""}, {"2", "Track = three"}}));

    std::string artist, category, genre, date, title;
    std::vector<std::string> tracks;
    ASSERT_TRUE(TCDPlayer::ReadCdPlayerIni(0x1234, artist, tracks, category, genre, date, title));
    EXPECT_EQ(artist + "|" + title + "|" + date + "|" + genre + "|" + category, "山田|春の歌|1999/04/01|J-Pop|Misc");
    EXPECT_EQ(tracks, titles);
    EXPECT_FALSE(TCDPlayer::ReadCdPlayerIni(0x999999, artist, tracks, category, genre, date, title));
    EXPECT_TRUE(artist.empty() && tracks.empty() && title.empty());

    // Rewriting one disc leaves the others' sections as they were, comments included.
    writeFile(base + ".ini", "; shared with another player\n[ABCDEF]\nartist=Other\nyear=1975\nnumtracks=3\n0=a\n2=c\n\n"
                                 + written);
    p.WriteCdPlayerIni(0x1234, "New", "T", "", "", "", {});
    const std::string after = database();
    EXPECT_NE(after.find("; shared with another player\n[ABCDEF]\nartist=Other\nyear=1975\nnumtracks=3\n0=a\n2=c\n"),
              std::string::npos);
    EXPECT_NE(after.find("[FEDCBA98]\nartist=Big\n"), std::string::npos);

    // "year" stands in for "date"; a missing track key is an empty title.
    ASSERT_TRUE(TCDPlayer::ReadCdPlayerIni(0xABCDEF, artist, tracks, category, genre, date, title));
    EXPECT_EQ(date, "1975");
    EXPECT_EQ(tracks, (std::vector<std::string>{"a", "", "c"}));

    struct Count {
        std::string numtracks;
        size_t tracks;
    };
    for (const Count& c : std::vector<Count>{{"x12", 0}, {"-3", 0}, {"", 0}, {"99999999999999999999", 99}, {"7", 7}}) {
        writeFile(base + ".ini", "[000001]\nnumtracks=" + c.numtracks + "\n");
        ASSERT_TRUE(TCDPlayer::ReadCdPlayerIni(1, artist, tracks, category, genre, date, title));
        EXPECT_EQ(tracks.size(), c.tracks) << c.numtracks;
    }

    // A file an older program wrote in CP932.
    writeFile(base + ".ini", *cp932::encode("[000002]\ntitle=日本語のタイトル\nartist=歌手\n"));
    ASSERT_TRUE(TCDPlayer::ReadCdPlayerIni(2, artist, tracks, category, genre, date, title));
    EXPECT_EQ(title, "日本語のタイトル");
    EXPECT_EQ(artist, "歌手");
}

TEST_F(CddbTest, LoadDiscInfoTakesTheDatabaseEntry)
{
    auto p = player(writeSilentImage(dir, "disc", {300, 200, 250}));
    EXPECT_FALSE(p->KnownDisc());
    p->WriteCdPlayerIni(p->GetMediaIdentity(), "Artist", "Title", "2020", "Pop", "Misc", {"a", "b", "c", "d", "e"});
    p->ClearDiscInfo();
    p->LoadDiscInfo();
    EXPECT_TRUE(p->KnownDisc());
    EXPECT_EQ(p->GetTitle(), "Title");
    EXPECT_EQ(p->GetGenre(), "Pop");
    ASSERT_EQ(p->TOC().size(), 3u);
    EXPECT_EQ(p->TOC()[2].Title, "c");
    EXPECT_EQ(p->DiscId(), p->GetMediaIdentity());
}
