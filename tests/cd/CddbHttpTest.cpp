// CddbGet and the HTTP client against a server on 127.0.0.1 that the test starts: it answers by
// the request's command, records each request line and Host header, takes a bounded number of
// connections and stops after a few seconds whatever happens.
#include "cd/Cddb.h"
#include "cd/MCDPlayer.h"
#include "shared/SettingsFixture.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"
#include "util/Cp932.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include <map>
#include <thread>

using namespace testsupport;

namespace {

class CddbHttpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        http.ConnectTimeoutMs = 2000;
        // Generous: a loaded test machine may stall a loopback answer for a second; the test of
        // the timeout itself sets its own.
        http.ReadTimeoutMs = 5000;
        http.Events.OnConnect = [this] { events.push_back("connect"); };
        http.Events.OnConnectionFailed = [this] { events.push_back("connection failed"); };
        http.Events.OnDisconnect = [this] { events.push_back("disconnect"); };
        http.Events.OnHostResolved = [this] { events.push_back("resolved"); };
        http.Events.OnInvalidHost = [this] { events.push_back("invalid host"); };
        http.Events.OnSuccess = [this](int kind) { events.push_back("success " + std::to_string(kind)); };
        http.Events.OnFailure = [this](int kind) { events.push_back("failure " + std::to_string(kind)); };
        http.Events.OnStatus = [this](int n, const std::string& t) { events.push_back("status " + std::to_string(n) + " " + t); };
        http.Events.OnPacketSent = [this](int64_t b, int64_t t) { sent = b > 0 && b == t; };
        http.Events.OnPacketRecvd = [this](int64_t b, int64_t) { received = b; };
    }
    // The events of the last call, in order, without repeats of the packet ones.
    std::vector<std::string> take() { return std::exchange(events, {}); }

    net::HttpClient http;
    std::vector<std::string> events;
    bool sent = false;
    int64_t received = 0;
};

const std::string kCp932Entry = "210 misc 0a0b0c0d CD database entry follows\r\n# xmcd\r\nDTITLE=歌手 / アルバム\r\n"
                                "TTITLE0=一\r\nEXTD= YEAR: 1987\r\n.\r\n";

}  // namespace

TEST_F(CddbHttpTest, AnswersMapToTheirCodes)
{
    LoopbackServer server([](int fd, const LoopbackServer::Request& r) {
        const std::string cmd = commandOf(r);
        static const std::map<std::string, std::string> bodies = {
            {"exact", "200 rock 7a0c0a0b Artist / Title\r\n"},
            {"list210", "210 Found exact matches, list follows\r\nrock 7a0c0a0b A / B\r\nmisc 7a0c0a0c C / D\r\n.\r\n"},
            {"list211", "211 Found inexact matches, list follows\r\njazz 01020304 E / F\r\n.\r\n"},
            {"none", "202 No match found\r\n"},
            {"e401", "401 Specified CDDB entry not found.\r\n"},
            {"e409", "409 No handshake\r\n"},
            {"e500", "500 Command syntax error\r\n"},
            {"e600", "600 Timeout\r\n"},
            {"e700", "700 Timeout\r\n"},
            {"garbage", "Hello there\r\n"},
            {"binary", std::string("\x00\x01\xFF\xFE\x80 210\r\n", 9)},
            {"empty", ""},
        };
        if (cmd == "missing")
            sendAll(fd, reply("<html><head><title>404 Not Found</title></head><body>Not Found</body></html>",
                              "404 Not Found"));
        else if (cmd == "cp932")
            sendAll(fd, reply(*cp932::encode(kCp932Entry), "200 OK", "Set-Cookie: session=abc\r\n"));
        else if (cmd == "utf8")
            sendAll(fd, reply(kCp932Entry, "200 OK", "Content-Length: " + std::to_string(kCp932Entry.size()) + "\r\n"));
        else if (cmd == "oversized")
            sendAll(fd, reply("210 ok\r\n" + std::string(net::kMaxBody, 'x') + "\r\n.\r\n"));
        else
            sendAll(fd, reply(bodies.count(cmd) ? bodies.at(cmd) : ""));
    }, 100, 30000);  // Qt sends a request again when its connection ends early: room for twice the cases
    auto url = [&](const std::string& cmd) { return "http://" + server.host() + "/~cddb/cddb.cgi?cmd=" + cmd + CddbHello; };

    struct Case {
        std::string cmd;
        int code;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"exact", 200, "rock 7a0c0a0b Artist / Title"},
        {"list210", 210, "rock 7a0c0a0b A / B\nmisc 7a0c0a0c C / D"},
        {"list211", 210, "jazz 01020304 E / F"},
        {"none", 202, ""},
        {"e401", 401, ""},
        {"e409", 409, ""},
        {"e500", 500, ""},
        {"e600", 600, ""},
        {"e700", 600, ""},
        {"garbage", 999, ""},
        {"binary", 999, ""},
        {"empty", 999, ""},
        {"missing", 999, ""},
        {"oversized", 999, ""},
    };
    for (const Case& c : cases) {
        const TCddbAnswer a = CddbGet(http, url(c.cmd));
        EXPECT_EQ(a.Code, c.code) << c.cmd;
        EXPECT_EQ(a.Text, c.text) << c.cmd;
    }
    // The 404 page reached the status event; the oversized body ended as a failure.
    (void)CddbGet(http, url("missing"));
    std::vector<std::string> ev = take();
    EXPECT_NE(std::find(ev.begin(), ev.end(), "status 404 Not Found"), ev.end());
    EXPECT_EQ(ev.back(), "success 0");
    const TCddbAnswer big = CddbGet(http, url("oversized"));
    EXPECT_FALSE(big.Error.empty());
    EXPECT_EQ(take().back(), "failure 0");

    // A Japanese entry in CP932 and in UTF-8 reads the same; the cookie and the header come along.
    for (const std::string cmd : {"cp932", "utf8"}) {
        const TCddbAnswer a = CddbGet(http, url(cmd));
        ASSERT_EQ(a.Code, 210) << cmd;
        std::string year, title, artist;
        std::vector<std::string> tracks;
        TCDPlayer::ParseXmcd(a.Text, year, tracks, title, artist);
        EXPECT_EQ(artist + "|" + title + "|" + year, "歌手|アルバム|1987") << cmd;
        EXPECT_EQ(tracks, std::vector<std::string>{"一"}) << cmd;
        if (cmd == "cp932") {
            EXPECT_EQ(a.Cookie, "session=abc");
            EXPECT_NE(a.Header.find("Content-Type: text/plain"), std::string::npos);
        }
    }
    ev = take();
    const std::vector<std::string> order = {"resolved", "connect", "status 200 OK", "disconnect", "success 0"};
    std::vector<std::string> seen;
    for (const std::string& e : std::vector<std::string>(ev.begin(), ev.begin() + std::min<size_t>(ev.size(), 5)))
        seen.push_back(e);
    EXPECT_EQ(seen, order);
    EXPECT_TRUE(sent);
    EXPECT_EQ(received, int64_t(kCp932Entry.size()));

    // Every request went out as a plain GET of the path, with the Host header.
    const auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().line, "GET /~cddb/cddb.cgi?cmd=exact" + std::string(CddbHello) + " HTTP/1.1");
    for (const auto& r : requests) {
        EXPECT_EQ(r.host, server.host());
    }
}

TEST_F(CddbHttpTest, SlowAnswersComeAndDeadServersTimeOut)
{
    LoopbackServer server([&](int fd, const LoopbackServer::Request& r) {
        const std::string cmd = commandOf(r);
        if (cmd == "slow") {
            const std::string body = "200 rock 7a0c0a0b Slow / Answer\r\n";
            sendAll(fd, reply(""));
            for (size_t at = 0; at < body.size(); at += 7) {  // five pieces, 300 ms apart
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                sendAll(fd, body.substr(at, 7));
            }
        } else {
            waitForClose(fd, server);  // reads the request and never answers
        }
    });
    auto url = [&](const std::string& cmd) { return "http://" + server.host() + "/~cddb/cddb.cgi?cmd=" + cmd; };

    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    QElapsedTimer clock;
    clock.start();
    const TCddbAnswer slow = CddbGet(http, url("slow"));
    EXPECT_EQ(slow.Code, 200);
    EXPECT_EQ(slow.Text, "rock 7a0c0a0b Slow / Answer");
    EXPECT_GE(ticks, int(clock.elapsed() / 50 / 2)) << "the window's timers stop while it waits";

    http.ReadTimeoutMs = 1000;
    clock.restart();
    const TCddbAnswer dead = CddbGet(http, url("never"));
    EXPECT_EQ(dead.Code, 600);
    EXPECT_FALSE(dead.Error.empty());
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(take().back(), "failure 0");

    // Escape during the wait ends the request at once; a second Get meanwhile is refused.
    net::HttpOutcome nested = net::HttpOutcome::Ok;
    QTimer::singleShot(100, [&] {
        nested = http.Get(url("never")).Outcome;
        http.Abort();
    });
    clock.restart();
    EXPECT_EQ(http.Get(url("never")).Outcome, net::HttpOutcome::Aborted);
    EXPECT_EQ(nested, net::HttpOutcome::Busy);
    EXPECT_LT(clock.elapsed(), 900);
}

TEST_F(CddbHttpTest, NoServerNoHostAndTheConfiguredServers)
{
    int port = 0;
    {
        LoopbackServer closed([](int, const LoopbackServer::Request&) {}, 0, 0);
        port = std::stoi(closed.host().substr(10));
    }
    const TCddbAnswer refused = CddbGet(http, "http://127.0.0.1:" + std::to_string(port) + "/x");
    EXPECT_EQ(refused.Code, 999);
    EXPECT_EQ(take(), (std::vector<std::string>{"connection failed", "failure 0"}));
    EXPECT_EQ(http.Get("http:///nohost").Outcome, net::HttpOutcome::InvalidHost);
    EXPECT_EQ(take(), (std::vector<std::string>{"invalid host", "failure 0"}));

    SettingsFixture settings;
    EXPECT_EQ(CddbPrimaryServer(), "gnudb.gnudb.org");
    EXPECT_EQ(CddbFallbackServer(), "gnudb.gnudb.org");
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER", "127.0.0.1:8880");
    IniWriteString(IniBase, "CDPlayer", "CDDB_SERVER2", "https://cddb.example");
    EXPECT_EQ(CddbPrimaryServer(), "127.0.0.1:8880");
    EXPECT_EQ(CddbFallbackServer(), "https://cddb.example");
}
