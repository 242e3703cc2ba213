// CddbGet and the HTTP client against a server on 127.0.0.1 that the test starts: it answers by
// the request's command, records each request line and Host header, takes a bounded number of
// connections and stops after a few seconds whatever happens.
#include "cd/Cddb.h"
#include "cd/MCDPlayer.h"
#include "shared/SettingsFixture.h"
#include "support/TestSupport.h"
#include "util/Cp932.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <map>
#include <chrono>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;

namespace {

bool sendAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

std::string reply(const std::string& body, const std::string& status = "200 OK", const std::string& extra = {})
{
    return "HTTP/1.0 " + status + "\r\nContent-Type: text/plain\r\n" + extra + "\r\n" + body;
}

class LoopbackServer {
public:
    struct Request {
        std::string line, host;
    };
    // Answers one connection: the request has been read; write the answer to fd.
    using Responder = std::function<void(int fd, const Request&)>;

    explicit LoopbackServer(Responder respond, int maxConnections = 8, int lifetimeMs = 8000)
        : respond_(std::move(respond))
    {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 8) != 0
            || ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("no loopback socket");
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this, maxConnections, lifetimeMs] { serve(maxConnections, lifetimeMs); });
    }
    ~LoopbackServer()
    {
        stop_ = true;
        thread_.join();
        ::close(listen_);
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<Request> requests()
    {
        std::lock_guard lk(mutex_);
        return requests_;
    }
    bool stopping() const { return stop_; }

private:
    void serve(int maxConnections, int lifetimeMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(lifetimeMs);
        for (int served = 0; served < maxConnections && !stop_ && std::chrono::steady_clock::now() < end;) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            ++served;
            Request r;
            if (readRequest(fd, r)) {
                {
                    std::lock_guard lk(mutex_);
                    requests_.push_back(r);
                }
                respond_(fd, r);
            }
            closeGracefully(fd);
        }
    }
    // Closing with unread bytes would reset the connection, and a reset may drop the answer
    // before the client has read it: say we are done, then wait briefly for the client to close.
    static void closeGracefully(int fd)
    {
        ::shutdown(fd, SHUT_WR);
        char buf[1024];
        for (int i = 0; i < 20; ++i) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 25) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0)
                break;
        }
        ::close(fd);
    }
    static bool readRequest(int fd, Request& r)
    {
        std::string in;
        char buf[2048];
        while (in.find("\r\n\r\n") == std::string::npos && in.size() < 16384) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                return false;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return false;
            in.append(buf, size_t(n));
        }
        r.line = in.substr(0, in.find("\r\n"));
        for (size_t at = in.find("\r\n"); at != std::string::npos && at + 2 < in.size(); at = in.find("\r\n", at + 2)) {
            const std::string header = in.substr(at + 2, in.find("\r\n", at + 2) - at - 2);
            if (header.size() > 6 && strncasecmp(header.c_str(), "host: ", 6) == 0)
                r.host = header.substr(6);
        }
        return true;
    }

    Responder respond_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Request> requests_;
};

// The text after "cmd=" up to the next "&" or the end of the path.
std::string commandOf(const LoopbackServer::Request& r)
{
    const size_t at = r.line.find("cmd=");
    return at == std::string::npos ? std::string() : r.line.substr(at + 4, r.line.find_first_of("& ", at) - at - 4);
}

// Waits until the client has gone (or the server stops).
void waitForClose(int fd, const LoopbackServer& server)
{
    char buf[256];
    while (!server.stopping()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0)
            return;
    }
}

class CddbHttpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        http.ConnectTimeoutMs = 2000;
        http.ReadTimeoutMs = 1000;
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
    }, 40);
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
