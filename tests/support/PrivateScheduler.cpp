#include "support/PrivateScheduler.h"

#include <cups/cups.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace testsupport {

namespace {

// A loopback port nobody listens on now. Another test may take it before cupsd does; start()
// then sees cupsd give up and asks for another.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

bool answers(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

std::string lastLines(const std::string& text)
{
    return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

}  // namespace

PrivateScheduler::PrivateScheduler()
{
    if (!haveProgram("cupsd") && !std::filesystem::exists("/usr/sbin/cupsd")) {
        failure_ = "cupsd is not installed (scripts/setup.sh installs cups-daemon)";
        return;
    }
    for (int attempt = 0; attempt < 3; ++attempt)
        if (start(freePort()))
            return;
}

PrivateScheduler::~PrivateScheduler()
{
    stop();
    server_.reset();
    // The next libcups call asks the environment again, not the stopped scheduler.
    cupsSetServer(nullptr);
}

bool PrivateScheduler::start(int port)
{
    stop();
    const std::string root = dir_.path();
    for (const char* sub : {"conf", "spool", "spool/tmp", "cache", "state", "log"})
        std::filesystem::create_directories(root + "/" + sub);
    // Paths of its own for everything cupsd writes, so nothing of the machine's scheduler is
    // read or touched; file: device URIs let the queues need no backend.
    writeFile(dir_.file("conf/cups-files.conf"),
              "ServerRoot " + root + "/conf\n"
              "RequestRoot " + root + "/spool\n"
              "TempDir " + root + "/spool/tmp\n"
              "CacheDir " + root + "/cache\n"
              "StateDir " + root + "/state\n"
              "Printcap " + root + "/state/printcap\n"
              "ErrorLog " + root + "/log/error_log\n"
              "AccessLog " + root + "/log/access_log\n"
              "PageLog " + root + "/log/page_log\n"
              "FileDevice Yes\n");
    // Anyone on this loopback port may do anything: the tests add and stop queues without
    // authenticating.
    writeFile(dir_.file("conf/cupsd.conf"),
              "Listen 127.0.0.1:" + std::to_string(port) + "\n"
              "Browsing No\n"
              "WebInterface No\n"
              // At this level the log shows the options each job hands its printer's driver.
              "LogLevel debug\n"
              "DefaultPolicy open\n"
              "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
              "<Policy open>\n"
              "  JobPrivateAccess all\n  JobPrivateValues none\n"
              "  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
              "  <Limit All>\n    Order allow,deny\n    Allow all\n  </Limit>\n"
              "</Policy>\n");

    const std::string conf = dir_.file("conf/cupsd.conf"), files = dir_.file("conf/cups-files.conf");
    const std::string output = dir_.file("log/output");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const char* program = haveProgram("cupsd") ? "cupsd" : "/usr/sbin/cupsd";
    const char* argv[] = {program, "-f", "-c", conf.c_str(), "-s", files.c_str(), nullptr};
    const int spawned = posix_spawnp(&pid_, program, &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        failure_ = std::string("cupsd could not be run: ") + std::strerror(spawned);
        return false;
    }

    // Up once it takes connections; given up when it quits or has not come up in 20 s.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!answers(port)) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            failure_ = "cupsd quit: " + lastLines(readFile(output) + readFile(dir_.file("log/error_log")));
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            failure_ = "cupsd did not answer on port " + std::to_string(port);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    server_ = std::make_unique<ScopedEnv>("CUPS_SERVER", "127.0.0.1:" + std::to_string(port));
    cupsSetServer(nullptr);
    failure_.clear();
    return true;
}

void PrivateScheduler::stop()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

std::string PrivateScheduler::DriverOptions(int job)
{
    const std::string marker = "[Job " + std::to_string(job) + "] argv[5]=\"";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string log = readFile(dir_.file("log/error_log"));
        if (const size_t at = log.find(marker); at != std::string::npos) {
            const size_t from = at + marker.size();
            return log.substr(from, log.find('"', from) - from);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

std::string PrivateScheduler::AddQueue(const std::string& name, const std::string& ppd, const std::string& refusal)
{
    const std::string ppdPath = dir_.file(name + ".ppd");
    writeFile(ppdPath, ppd);
    CommandResult r = runCommand("lpadmin", {"-p", name, "-v", "file:///dev/null", "-P", ppdPath, "-E"});
    if (r.exitCode != 0)
        return "lpadmin: " + r.err;
    if (!refusal.empty()) {
        r = runCommand("cupsreject", {"-r", refusal, name});
        if (r.exitCode != 0)
            return "cupsreject: " + r.err;
    }
    return {};
}

JobPaper NewestJobPaper(const std::string& queue)
{
    JobPaper paper;
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
    int id = 0;
    for (int i = 0; i < count; ++i)
        id = std::max(id, jobs[i].id);
    cupsFreeJobs(count, jobs);
    if (id == 0)
        return paper;
    paper.id = id;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (!response)
        return paper;
    auto text = [](ipp_t* in, const char* name) {
        ipp_attribute_t* a = ippFindAttribute(in, name, IPP_TAG_ZERO);
        const char* v = a ? ippGetString(a, 0, nullptr) : nullptr;
        return std::string(v ? v : "");
    };
    auto number = [](ipp_t* in, const char* name) {
        ipp_attribute_t* a = ippFindAttribute(in, name, IPP_TAG_INTEGER);
        return a ? ippGetInteger(a, 0) : -1;
    };
    paper.media = text(response, "media");
    paper.source = text(response, "media-source");
    if (ipp_attribute_t* col = ippFindAttribute(response, "media-col", IPP_TAG_BEGIN_COLLECTION)) {
        ipp_t* media = ippGetCollection(col, 0);
        if (ipp_attribute_t* size = ippFindAttribute(media, "media-size", IPP_TAG_BEGIN_COLLECTION)) {
            paper.width = number(ippGetCollection(size, 0), "x-dimension");
            paper.length = number(ippGetCollection(size, 0), "y-dimension");
        }
        paper.left = number(media, "media-left-margin");
        paper.top = number(media, "media-top-margin");
        paper.right = number(media, "media-right-margin");
        paper.bottom = number(media, "media-bottom-margin");
        if (const std::string source = text(media, "media-source"); !source.empty())
            paper.source = source;
    }
    ippDelete(response);
    return paper;
}

std::string TestPpd(const std::string& defaultSize, bool borderlessOnly)
{
    struct Size {
        const char* keyword;
        const char* text;
        int width, length;  // points
    };
    const Size sizes[] = {{"Env10", "Envelope #10", 297, 684},
                          {"A4", "A4", 595, 842},
                          {"Letter", "Letter", 612, 792},
                          {"B5", "JIS B5", 516, 729}};
    std::string choices, regions, areas, dimensions;
    for (const Size& s : sizes)
        for (const bool borderless : {false, true}) {
            if (borderlessOnly && !borderless)
                continue;
            const std::string key = std::string(s.keyword) + (borderless ? ".Borderless" : "");
            const std::string text = std::string(s.text) + (borderless ? " Borderless" : "");
            const std::string w = std::to_string(s.width), l = std::to_string(s.length);
            const std::string code = "\"<</PageSize[" + w + " " + l + "]>>setpagedevice\"\n";
            choices += "*PageSize " + key + "/" + text + ": " + code;
            regions += "*PageRegion " + key + "/" + text + ": " + code;
            areas += "*ImageableArea " + key + ": \"" +
                     (borderless ? "0 0 " + w + " " + l
                                 : "12 12 " + std::to_string(s.width - 12) + " " + std::to_string(s.length - 12)) +
                     "\"\n";
            dimensions += "*PaperDimension " + key + ": \"" + w + " " + l + "\"\n";
        }
    const std::string& def = defaultSize;
    return "*PPD-Adobe: \"4.3\"\n"
           "*FormatVersion: \"4.3\"\n"
           "*FileVersion: \"1.0\"\n"
           "*LanguageVersion: English\n"
           "*LanguageEncoding: ISOLatin1\n"
           "*PCFileName: \"TESTPHOT.PPD\"\n"
           "*Manufacturer: \"Test\"\n"
           "*Product: \"(Test Photo)\"\n"
           "*ModelName: \"Test Photo\"\n"
           "*ShortNickName: \"Test Photo\"\n"
           "*NickName: \"Test Photo\"\n"
           "*PSVersion: \"(3010.000) 0\"\n"
           "*LanguageLevel: \"3\"\n"
           "*ColorDevice: True\n"
           "*DefaultColorSpace: RGB\n"
           "*FileSystem: False\n"
           "*Throughput: \"1\"\n"
           "*LandscapeOrientation: Plus90\n"
           "*TTRasterizer: Type42\n"
           // The printer takes PDF as it is, so a job needs no filter the machine may lack.
           "*cupsFilter: \"application/pdf 0 -\"\n"
           "*OpenUI *PageSize/Media Size: PickOne\n"
           "*OrderDependency: 10 AnySetup *PageSize\n"
           "*DefaultPageSize: " + def + "\n" + choices +
           "*CloseUI: *PageSize\n"
           "*OpenUI *PageRegion: PickOne\n"
           "*OrderDependency: 10 AnySetup *PageRegion\n"
           "*DefaultPageRegion: " + def + "\n" + regions +
           "*CloseUI: *PageRegion\n"
           "*DefaultImageableArea: " + def + "\n" + areas +
           "*DefaultPaperDimension: " + def + "\n" + dimensions +
           "*OpenUI *InputSlot/Paper Source: PickOne\n"
           "*OrderDependency: 20 AnySetup *InputSlot\n"
           "*DefaultInputSlot: Upper\n"
           "*InputSlot Upper/Upper Cassette: \"\"\n"
           "*InputSlot Manual/Manual Feeder: \"\"\n"
           "*InputSlot Disc/CD Tray: \"\"\n"
           "*CloseUI: *InputSlot\n"
           "*OpenUI *Resolution/Resolution: PickOne\n"
           "*OrderDependency: 10 AnySetup *Resolution\n"
           "*DefaultResolution: 600dpi\n"
           "*Resolution 300dpi/300 dpi: \"\"\n"
           "*Resolution 600dpi/600 dpi: \"\"\n"
           "*CloseUI: *Resolution\n"
           "*DefaultFont: Courier\n"
           "*Font Courier: Standard \"(001.004S)\" Standard ROM\n";
}

}  // namespace testsupport
