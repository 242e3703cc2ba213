#include "support/TestSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name)
{
    if (const char* old = std::getenv(name))
        old_ = old;
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

TempDir::TempDir()
{
    QTemporaryDir dir(QDir::tempPath() + "/tambourelle-test-XXXXXX");
    dir.setAutoRemove(false);
    if (!dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    path_ = dir.path().toStdString();
}

TempDir::~TempDir()
{
    if (!removeTree(path_))
        std::fprintf(stderr, "test: cannot remove the temporary folder %s\n", path_.c_str());
}

bool removeTree(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path root(path);
    if (fs::symlink_status(root, ec).type() == fs::file_type::directory) {
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
        for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
            removeTree(it->path().native());
    }
    fs::remove(root, ec);
    return !fs::exists(fs::symlink_status(root, ec));
}

CommandResult runCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input)
{
    QProcess p;
    QStringList qargs;
    for (const auto& a : args)
        qargs << QString::fromStdString(a);
    p.start(QString::fromStdString(program), qargs);
    CommandResult r;
    if (!p.waitForStarted(10000)) {
        r.err = "cannot start " + program;
        return r;
    }
    if (!input.empty())
        p.write(input.data(), static_cast<qint64>(input.size()));
    p.closeWriteChannel();
    p.waitForFinished(120000);
    QByteArray out = p.readAllStandardOutput();
    QByteArray err = p.readAllStandardError();
    r.out.assign(out.constData(), static_cast<size_t>(out.size()));
    r.err.assign(err.constData(), static_cast<size_t>(err.size()));
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

std::string python3()
{
    return QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

bool haveProgram(const std::string& program)
{
    return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
}

std::string readFile(const std::string& path)
{
    // Opened by the path's own bytes: test names need not be UTF-8.
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f || !f.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot write " + path);
}

std::string dataDir()
{
    return TAMBOURELLE_TEST_DATA_DIR;
}

std::string sourceDir()
{
    return TAMBOURELLE_SOURCE_DIR;
}

}  // namespace testsupport

namespace testsupport {

namespace {
std::vector<std::pair<std::string, TestProgramMode::Fn>>& modes()
{
    static std::vector<std::pair<std::string, TestProgramMode::Fn>> m;
    return m;
}
}  // namespace

TestProgramMode::TestProgramMode(const char* Name, Fn Run) { modes().emplace_back(Name, std::move(Run)); }

TestProgramMode::Fn TestProgramMode::Find(const std::string& Name)
{
    for (const auto& [name, fn] : modes())
        if (name == Name)
            return fn;
    return {};
}

namespace {

// A "Vm..." line of /proc/self/status, in bytes (-1 when it is missing).
int64_t statusBytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::strtoll(line.c_str() + field.size() + 1, nullptr, 10) * 1024;
    return -1;
}

}  // namespace

PeakMemoryMode::PeakMemoryMode(const char* Name, std::function<void(const std::vector<std::string>&)> Work)
{
    TestProgramMode(Name, [Work](int argc, char** argv) {
        const std::vector<std::string> args(argv + 2, argv + argc);
        // The peak starts again from the memory in use now (5: reset the high-water mark).
        std::ofstream("/proc/self/clear_refs") << "5";
        const int64_t before = statusBytes("VmRSS");
        Work(args);
        std::printf("%lld\n", static_cast<long long>(statusBytes("VmHWM") - before));
        return 0;
    });
}

int64_t PeakMemoryOf(const std::string& Mode, const std::vector<std::string>& Args)
{
    std::vector<std::string> args{"--" + Mode};
    args.insert(args.end(), Args.begin(), Args.end());
    const CommandResult r = runCommand(QFile::symLinkTarget("/proc/self/exe").toStdString(), args);
    if (r.exitCode != 0 || r.out.empty())
        return -1;
    return std::strtoll(r.out.c_str(), nullptr, 10);
}

}  // namespace testsupport
