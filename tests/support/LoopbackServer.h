// A small HTTP server on 127.0.0.1 for the CDDB tests: it answers each connection through a
// responder, records each request line and Host header, takes a bounded number of
// connections and stops after a few seconds whatever happens.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <strings.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testsupport {

inline bool sendAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

inline std::string reply(const std::string& body, const std::string& status = "200 OK", const std::string& extra = {})
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

    // Port 0 takes a free port.
    explicit LoopbackServer(Responder respond, int maxConnections = 8, int lifetimeMs = 8000, int port = 0)
        : respond_(std::move(respond))
    {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
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
        if (thread_.joinable())
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
    // Waits until the server has stopped by itself (its connections or its time are used up).
    void wait()
    {
        if (thread_.joinable())
            thread_.join();
    }

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
inline std::string commandOf(const LoopbackServer::Request& r)
{
    const size_t at = r.line.find("cmd=");
    return at == std::string::npos ? std::string() : r.line.substr(at + 4, r.line.find_first_of("& ", at) - at - 4);
}

// Waits until the client has gone (or the server stops).
inline void waitForClose(int fd, const LoopbackServer& server)
{
    char buf[256];
    while (!server.stopping()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0)
            return;
    }
}

}  // namespace testsupport
