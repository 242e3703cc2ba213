// "test_cd --serve PORT": the tests' loopback CDDB server on its own, to try the CDDB window
// by hand. It answers every query with one exact match under the asked disc id and every read
// with the demo disc's titles (scripts/make-demo-disc.sh), "Track n" past its three tracks.
// It serves until the program is stopped.
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <sstream>

using namespace testsupport;

namespace {

std::vector<std::string> words(const std::string& command)
{
    std::vector<std::string> w;
    std::stringstream in(command);
    for (std::string part; std::getline(in, part, '+');)
        w.push_back(part);
    return w;
}

// One exact match for any query (remembering its track count), the demo disc for any read.
void answer(int fd, const LoopbackServer::Request& r, std::atomic<int>& tracks)
{
    const std::vector<std::string> w = words(commandOf(r));
    std::string body = "500 Command syntax error\r\n";
    if (w.size() >= 4 && w[0] == "cddb" && w[1] == "query") {
        tracks = std::clamp(std::atoi(w[3].c_str()), 1, 99);
        body = "200 misc " + w[2] + " Tambourelle / Demo Disc\r\n";
    } else if (w.size() >= 4 && w[0] == "cddb" && w[1] == "read") {
        static const char* const demo[] = {"Tone 440 Hz", "Tone 554 Hz", "Tone 659 Hz"};
        body = "210 " + w[2] + " " + w[3] + " CD database entry follows\r\n# xmcd\r\nDISCID=" + w[3] +
               "\r\nDTITLE=Tambourelle / Demo Disc\r\n";
        for (int i = 0; i < tracks; ++i)
            body += "TTITLE" + std::to_string(i) + "=" + (i < 3 ? demo[i] : "Track " + std::to_string(i + 1)) + "\r\n";
        body += "EXTD= YEAR: 2026\r\n.\r\n";
    }
    std::printf("%s\n  -> %s", r.line.c_str(), body.substr(0, body.find('\n') + 1).c_str());
    std::fflush(stdout);
    sendAll(fd, reply(body));
}

int serve(int argc, char** argv)
{
    const int port = argc >= 3 ? std::atoi(argv[2]) : 0;
    if (port <= 0 || port > 65535) {
        std::fprintf(stderr, "usage: test_cd --serve PORT\n");
        return 2;
    }
    std::atomic<int> tracks{3};
    std::unique_ptr<LoopbackServer> server;
    try {
        server = std::make_unique<LoopbackServer>(
            [&tracks](int fd, const LoopbackServer::Request& r) { answer(fd, r, tracks); }, 1 << 30, 1 << 30, port);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "test_cd --serve: port %d: %s\n", port, e.what());
        return 1;
    }
    std::printf("CDDB server on %s: put CDDB_SERVER=%s under [CDPlayer] in the settings file\n",
                server->host().c_str(), server->host().c_str());
    std::fflush(stdout);
    server->wait();
    return 0;
}

const TestProgramMode serveMode("serve", serve);

}  // namespace
