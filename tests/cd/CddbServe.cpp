// "test_cd --serve PORT [refuse|slow|5xx|garbage]": the tests' CDDB server on its own, to try
// the CDDB windows by hand. It answers every query with one exact match under the asked disc
// id and every read with the demo disc's titles (scripts/make-demo-disc.sh), "Track n" past
// its three tracks. With a fault named, PORT is a first server failing that way (nothing
// listens there for "refuse") and the good one runs on PORT + 1, for the fallback server.
// It serves until the program is stopped.
#include "cd/CddbTestServer.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
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
std::string answer(const std::string& command, std::atomic<int>& tracks)
{
    const std::vector<std::string> w = words(command);
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
    std::printf("%s\n  -> %s", command.c_str(), body.substr(0, body.find('\n') + 1).c_str());
    std::fflush(stdout);
    return body;
}

int serve(int argc, char** argv)
{
    using cddbtest::Fault;
    const int port = argc >= 3 ? std::atoi(argv[2]) : 0;
    const char* mode = argc >= 4 ? argv[3] : "";
    const struct {
        const char* name;
        Fault fault;
    } modes[] = {{"", Fault::None}, {"refuse", Fault::None}, {"slow", Fault::Slow}, {"5xx", Fault::ServerError},
                 {"garbage", Fault::Garbage}};
    const auto* chosen = std::find_if(std::begin(modes), std::end(modes),
                                      [&](const auto& m) { return std::strcmp(m.name, mode) == 0; });
    const bool failing = *mode != 0;
    if (port <= 0 || port + (failing ? 1 : 0) > 65535 || chosen == std::end(modes)) {
        std::fprintf(stderr, "usage: test_cd --serve PORT [refuse|slow|5xx|garbage]\n");
        return 2;
    }
    std::atomic<int> tracks{3};
    const auto demo = [&tracks](const std::string& command) { return answer(command, tracks); };
    std::unique_ptr<cddbtest::Server> first, good;
    try {
        if (failing && chosen->fault != Fault::None)
            first = std::make_unique<cddbtest::Server>(demo, chosen->fault, 0, 1 << 30, 1 << 30, port);
        good = std::make_unique<cddbtest::Server>(demo, Fault::None, 0, 1 << 30, 1 << 30, port + (failing ? 1 : 0));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "test_cd --serve: port %d: %s\n", port, e.what());
        return 1;
    }
    if (failing) {
        std::printf("CDDB servers: 127.0.0.1:%d (%s), 127.0.0.1:%d: put CDDB_SERVER=127.0.0.1:%d and "
                    "CDDB_SERVER2=%s under [CDPlayer] in the settings file\n",
                    port, mode, port + 1, port, good->host().c_str());
    } else {
        std::printf("CDDB server on %s: put CDDB_SERVER=%s under [CDPlayer] in the settings file\n",
                    good->host().c_str(), good->host().c_str());
    }
    std::fflush(stdout);
    good->wait();
    return 0;
}

const TestProgramMode serveMode("serve", serve);

}  // namespace
