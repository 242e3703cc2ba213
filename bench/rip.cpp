// Ripping speed: TCDRIP::RipTrack of a 5-minute track of a cue/bin image, to WAV and to MP3
// (128 kbit/s), against a plain libcdio-paranoia loop over the same sectors in the same mode
// (full paranoia) that writes the samples to a file, plus the `lame` tool encoding that file
// with the coder's settings for the MP3 case. The component adds its chunking, format handling,
// event-loop service and the coder's streaming.
//
// Goal: `ratio` (component time / plain time) at most 1.3 for both; read the median and the
// spread over the 5 repetitions.
//
// The image is made with sox under the temp folder and removed at the end of the run.
#include "cd/CDRIP.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <stdexcept>

using namespace benchsupport;

namespace {

const QString kDir = QDir::tempPath() + "/tambourelle-bench-rip";

QString benchCue()
{
    const QString cue = kDir + "/disc.cue";
    if (QFile::exists(cue))
        return cue;
    QDir().mkpath(kDir);
    // 22,500 sectors of 2,352 bytes: exactly 5 minutes.
    if (!run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", "-L", "-t", "raw",
                     kDir + "/disc.bin", "synth", "300", "sine", "100-5000", "pinknoise", "vol", "0.5"}))
        throw std::runtime_error("cannot make the benchmark image (sox is needed)");
    QFile f(cue);
    if (!f.open(QIODevice::WriteOnly) ||
        f.write("FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n") < 0)
        throw std::runtime_error("cannot write the benchmark cue sheet");
    return cue;
}

// The 44-byte header of a 16-bit stereo 44.1 kHz WAV with `bytes` of samples.
void writeWavHeader(std::FILE* f, std::uint32_t bytes)
{
    const auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            std::fputc(int((v >> (8 * i)) & 0xFF), f);
    };
    const auto u16 = [&](unsigned v) {
        std::fputc(int(v & 0xFF), f);
        std::fputc(int(v >> 8), f);
    };
    std::fputs("RIFF", f);
    u32(bytes + 36);
    std::fputs("WAVEfmt ", f);
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(176400);
    u16(4);
    u16(16);
    std::fputs("data", f);
    u32(bytes);
}

// The plain loop: every sector of the track through paranoia into a WAV file.
void plainRip(const QString& cue, const QString& out)
{
    cdrom_drive_t* d = cdio_cddap_identify(cue.toUtf8().constData(), CDDA_MESSAGE_FORGETIT, nullptr);
    if (!d || cdio_cddap_open(d) != 0)
        throw std::runtime_error("libcdio cannot open the image");
    d->b_swap_bytes = false;
    cdrom_paranoia_t* p = cdio_paranoia_init(d);
    cdio_paranoia_modeset(p, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    const lsn_t first = cdio_cddap_track_firstsector(d, 1), last = cdio_cddap_track_lastsector(d, 1);
    cdio_paranoia_seek(p, first, SEEK_SET);
    std::FILE* f = std::fopen(out.toUtf8().constData(), "wb");
    writeWavHeader(f, std::uint32_t(last - first + 1) * CDIO_CD_FRAMESIZE_RAW);
    for (lsn_t s = first; s <= last; ++s) {
        const std::int16_t* sector = cdio_paranoia_read_limited(p, nullptr, 20);
        if (!sector || std::fwrite(sector, 1, CDIO_CD_FRAMESIZE_RAW, f) != CDIO_CD_FRAMESIZE_RAW)
            throw std::runtime_error("the plain rip failed");
    }
    std::fclose(f);
    cdio_paranoia_free(p);
    cdio_cddap_close(d);
}

void BM_RipTrack(benchmark::State& state)
{
    const bool mp3 = state.range(0) != 0;
    const QString cue = benchCue();
    const QString plain = kDir + "/plain.wav", lameOut = kDir + "/lame.mp3", ours = kDir + "/ours.wav";
    cd::TCDRIP rip({cue.toStdString()});
    cd::TLameCoder coder;
    rip.SetCoder(&coder);
    rip.Encode = mp3;
    rip.WriteWAV = !mp3;
    double base = 0, component = 0;
    for (auto _ : state) {
        const double b = secondsOf([&] {
            plainRip(cue, plain);
            if (mp3 && !run("lame", {"--quiet", "--noreplaygain", "-b", "128", "-m", "s", "-q", "5", "-p", "-t", plain,
                                     lameOut}))
                throw std::runtime_error("lame failed");
        });
        const double c = secondsOf([&] { rip.RipTrack(1, ours.toStdString()); });
        state.SetIterationTime(c);
        base += b;
        component += c;
    }
    const double n = double(state.iterations());
    if (!QFile::exists(kDir + (mp3 ? "/ours.mp3" : "/ours.wav")))
        state.SkipWithError("the rip wrote no file");
    state.counters["plain_s"] = base / n;
    state.counters["component_s"] = component / n;
    state.counters["ratio"] = component / base;   // goal: <= 1.3
}

}  // namespace

BENCHMARK(BM_RipTrack)
    ->ArgName("mp3")->Arg(0)->Arg(1)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)
    ->ComputeStatistics("min", smallest)->ComputeStatistics("max", largest)
    ->DisplayAggregatesOnly(true);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    QDir(kDir).removeRecursively();
    return 0;
}
