// The tests' CDDB server on 127.0.0.1: it answers each request by its command (the words
// after "cmd=", "+" between them), or fails the way real servers fail: it never answers (the
// client's read time-out), answers with an HTTP 5xx status and a CDDB 5xx code, or sends
// bytes that are no CDDB answer. A refused connection needs no server: refusingHost() names a
// port where nothing listens. Used by the window tests and by "test_cd --serve".
#pragma once

#include "support/LoopbackServer.h"

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace cddbtest {

enum class Fault { None, Slow, ServerError, Garbage };

// Command prefix -> answer body; the last prefix that matches answers, others get "500".
using Answers = std::map<std::string, std::string>;
// The answer body for a command.
using Answerer = std::function<std::string(const std::string& Command)>;

class Server {
public:
    // delayMs > 0 sends the answer eight bytes at a time, delayMs apart.
    Server(Answerer answer, Fault fault, int delayMs = 0, int maxConnections = 40, int lifetimeMs = 20000,
           int port = 0)
        : server_(
              [this, answer = std::move(answer), fault, delayMs](int fd, const testsupport::LoopbackServer::Request& r) {
                  respond(fd, fault == Fault::None ? answer(testsupport::commandOf(r)) : std::string(), fault, delayMs);
              },
              maxConnections, lifetimeMs, port)
    {
    }
    explicit Server(Answers answers, int delayMs = 0) : Server(byPrefix(std::move(answers)), Fault::None, delayMs) {}
    explicit Server(Fault fault) : Server(byPrefix({}), fault) {}

    std::string host() const { return server_.host(); }
    std::vector<std::string> commands()
    {
        std::vector<std::string> c;
        for (const auto& r : server_.requests())
            c.push_back(testsupport::commandOf(r));
        return c;
    }
    void wait() { server_.wait(); }

    static Answerer byPrefix(Answers answers)
    {
        return [answers = std::move(answers)](const std::string& cmd) {
            std::string body = "500 Command syntax error\r\n";
            for (const auto& [prefix, answer] : answers)
                if (cmd.starts_with(prefix))
                    body = answer;
            return body;
        };
    }

private:
    void respond(int fd, const std::string& body, Fault fault, int delayMs)
    {
        using testsupport::reply;
        using testsupport::sendAll;
        const auto length = [](const std::string& b) { return "Content-Length: " + std::to_string(b.size()) + "\r\n"; };
        static const std::string busy = "530 Server error, server busy\r\n";
        static const std::string junk("\x89PNG\r\n\x1a\n\0\0\0\rIHDR<html>busy</html>\r\n", 32);
        switch (fault) {
        case Fault::Slow: testsupport::waitForClose(fd, server_); return;
        case Fault::ServerError: sendAll(fd, reply(busy, "503 Service Unavailable", length(busy))); return;
        case Fault::Garbage: sendAll(fd, reply(junk, "200 OK", length(junk))); return;
        case Fault::None: break;
        }
        if (delayMs == 0) {
            sendAll(fd, reply(body, "200 OK", length(body)));
            return;
        }
        sendAll(fd, reply("", "200 OK", length(body)));
        for (size_t at = 0; at < body.size() && !server_.stopping(); at += 8) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            sendAll(fd, body.substr(at, 8));
        }
    }

    testsupport::LoopbackServer server_;
};

// 127.0.0.1 and a port that was free a moment ago: a connection there is refused.
inline std::string refusingHost()
{
    testsupport::LoopbackServer closed([](int, const testsupport::LoopbackServer::Request&) {}, 0, 0);
    return closed.host();
}

}  // namespace cddbtest
