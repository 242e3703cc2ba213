// A small HTTP GET client on QtNetwork, for the CDDB look-ups: the caller hands it a URL and
// gets back the reply's status, header and cookie texts and body bytes. QtNetwork takes the
// proxy from the environment (http_proxy, no_proxy), follows redirects (also from http to
// https where a server moved) and speaks HTTPS; it is asked for plain requests without
// keep-alive, as an HTTP/1.0 client sends them.
//
// The host text may carry ":port"; a URL that starts with "https://" is used as it is.
//
// `Get` runs the request on the calling thread's event loop and waits for it in a local event
// loop, so the window's timers and painting go on meanwhile; `Abort` (from a handler that runs
// during the wait, such as an Escape key) ends it as a failure. A request that gets no
// connection within ConnectTimeoutMs, or no data for ReadTimeoutMs once connected, fails.
// A body longer than kMaxBody fails as well (a CDDB reply is a few kilobytes).
//
// The events follow a socket HTTP component's: connect, connection failed, disconnect,
// failure and success (with the command kind, always kGet here), host resolved, invalid
// host, packet received and sent (bytes of total; a total of 0 is unknown), and the status
// line with the reply number. QtNetwork reports no step before the request is on its way, so
// host resolved, connect and packet sent come together then.
//
// User-interface thread only (the thread that owns the event loop). Get refuses to run while
// another Get of the same client waits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace net {

// Command kinds of the success and failure events.
enum CommandKind { kGet = 0, kOptions, kHead, kPost, kPut, kPatch, kCopy, kMove, kDelete, kLink, kUnLink, kTrace, kWrapped };

constexpr std::size_t kMaxBody = 1 << 20;

struct HttpEvents {
    std::function<void()> OnConnect;
    std::function<void()> OnConnectionFailed;
    std::function<void()> OnDisconnect;
    std::function<void(int Kind)> OnSuccess;
    std::function<void(int Kind)> OnFailure;
    std::function<void()> OnHostResolved;
    std::function<void()> OnInvalidHost;
    std::function<void(std::int64_t Bytes, std::int64_t Total)> OnPacketRecvd;
    std::function<void(std::int64_t Bytes, std::int64_t Total)> OnPacketSent;
    std::function<void(int ReplyNumber, const std::string& Text)> OnStatus;
};

enum class HttpOutcome { Ok, Aborted, InvalidHost, ConnectionFailed, ConnectTimeout, ReadTimeout, TooLarge, Busy, Failed };

struct HttpReply {
    HttpOutcome Outcome = HttpOutcome::Failed;
    int ReplyNumber = 0;     // the HTTP status; 0 when none came
    std::string StatusText;  // the status line's reason text
    std::string Header;      // the reply's header lines, "Name: value" each, joined by "\r\n"
    std::string Cookie;      // the Set-Cookie values, joined by "\r\n"
    std::string Body;        // the body's bytes as they came
    std::string Error;       // why it failed, in English; empty on success
    bool ok() const { return Outcome == HttpOutcome::Ok; }
};

// "https://" or "http://" at the start (any case): the text is a whole URL already.
bool HasUrlScheme(const std::string& Host);

class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    HttpEvents Events;
    int ConnectTimeoutMs = 10000;
    int ReadTimeoutMs = 20000;

    // Fetches Url. The reply is Ok when a status line and the whole body came, whatever the
    // status number (a CDDB server answers errors in the body).
    HttpReply Get(const std::string& Url);
    void Abort();
    bool Busy() const;

private:
    struct Run;
    Run* run_ = nullptr;  // the Get that waits, if any
};

}  // namespace net
