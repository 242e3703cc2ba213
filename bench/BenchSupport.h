// Fixtures of the benchmarks: running the tools that make them (sox, lame, ffmpeg), folders
// of tagged MP3 copies, and statistics of repetitions. The benchmarks make their files once
// under the temp folder and keep them for later runs.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace benchsupport {

// Runs a program to its end with its output dropped and its errors shown; true when it
// exited normally with 0.
inline bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Encodes `synth` (sox's synth effect and the ones after it) at `rate` Hz, 16 bits, to the
// MP3 `mp3` at `kbps` kbit/s through a WAV in `wav`, which is removed; `lameOptions` go to
// lame as well (tags, for instance).
inline void makeMp3(const QString& mp3, const QString& wav, int rate, int channels,
                    const QStringList& synth, int kbps, const QStringList& lameOptions = {})
{
    if (!run("sox", QStringList{"-n", "-r", QString::number(rate), "-c", QString::number(channels), "-b",
                                "16", wav} + synth) ||
        !run("lame", QStringList{"--quiet", "-b", QString::number(kbps)} + lameOptions + QStringList{wav, mp3}))
        throw std::runtime_error("cannot make the benchmark MP3 (sox and lame are needed)");
    QFile::remove(wav);
}

// Writes each of `files` as a copy of `mp3` given its own tag by `tag(file, index)`.
inline void copyTagged(const QString& mp3, const std::vector<std::string>& files,
                       const std::function<void(const std::string&, int)>& tag)
{
    for (std::size_t n = 0; n < files.size(); ++n) {
        const QString file = QString::fromStdString(files[n]);
        QFile::remove(file);
        if (!QFile::copy(mp3, file))
            throw std::runtime_error("cannot copy the benchmark MP3");
        tag(files[n], int(n));
    }
}

// Statistics for ComputeStatistics beside the mean and median: the worst and best repetition.
inline double largest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }
inline double smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace benchsupport
