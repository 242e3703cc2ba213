#include "cd/CdTestSupport.h"

#include <QCoreApplication>
#include <QDir>

#include <cmath>
#include <sstream>

namespace cdtest {

using testsupport::runCommand;

std::string outDir()
{
    const QString dir = QCoreApplication::applicationDirPath() + "/out/cd";
    QDir().mkpath(dir);
    return dir.toStdString();
}

QString screenshotDir()
{
    const QString d = QCoreApplication::applicationDirPath() + "/../screenshots/cd";
    QDir().mkpath(d);
    return d;
}

Probe probe(const std::string& path)
{
    auto r = runCommand("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                    "stream=codec_name,sample_rate,channels,bit_rate:format=duration", "-of",
                                    "default=nw=1", path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    Probe p;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (value == "N/A")
            continue;
        if (key == "codec_name")
            p.codec = value;
        else if (key == "sample_rate")
            p.rate = std::stoi(value);
        else if (key == "channels")
            p.channels = std::stoi(value);
        else if (key == "bit_rate")
            p.bitRate = std::stol(value);
        else if (key == "duration")
            p.seconds = std::stod(value);
    }
    return p;
}

std::vector<std::int16_t> decode(const std::string& path)
{
    auto r = runCommand("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return testsupport::asSamples16(r.out);
}

std::vector<double> channel(const std::vector<std::int16_t>& samples, int channels, int which)
{
    std::vector<double> c;
    c.reserve(samples.size() / std::size_t(channels));
    for (std::size_t i = std::size_t(which); i < samples.size(); i += std::size_t(channels))
        c.push_back(samples[i]);
    return c;
}

namespace {

double correlation(const std::vector<double>& ref, const std::vector<double>& got, int lag, std::size_t from,
                   std::size_t count)
{
    double xy = 0, xx = 0, yy = 0;
    for (std::size_t i = from; i < from + count && i < ref.size() && i + std::size_t(lag) < got.size(); ++i) {
        const double x = ref[i], y = got[i + std::size_t(lag)];
        xy += x * y;
        xx += x * x;
        yy += y * y;
    }
    return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
}

}  // namespace

Match align(const std::vector<double>& ref, const std::vector<double>& got, int maxLag)
{
    // A window a little way in, past any fade-in of the encoder.
    const std::size_t from = std::min<std::size_t>(2048, ref.size() / 4);
    const std::size_t window = std::min<std::size_t>(8192, ref.size() / 2);
    Match best;
    best.correlation = -2;
    for (int lag = 0; lag <= maxLag; ++lag) {
        const double c = correlation(ref, got, lag, from, window);
        if (c > best.correlation)
            best = {lag, c};
    }
    best.correlation = correlation(ref, got, best.lag, 0, ref.size());
    return best;
}

double correlationAt(const std::vector<double>& ref, const std::vector<double>& got, int lag)
{
    return correlation(ref, got, lag, 0, ref.size());
}

double rms(const std::vector<double>& a)
{
    double s = 0;
    for (double x : a)
        s += x * x;
    return a.empty() ? 0 : std::sqrt(s / double(a.size()));
}

}  // namespace cdtest
