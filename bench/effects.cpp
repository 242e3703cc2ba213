// The chain a user can switch on in the main window, all four at once, in the engine's
// order (echo, waves reverb, chorus, flanger), on 44.1 kHz stereo in device-sized blocks.
// The "realtime" counter is seconds of audio processed per second of CPU: the chain must
// stay far above 1 so that the device thread keeps up on a busy machine.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "platform/sound/effects/SoundEffects.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr std::size_t kBlock = 1024;  // frames per device period

void runChain(benchmark::State& state, std::initializer_list<snd::EffectKind> kinds) {
    std::vector<std::unique_ptr<snd::SoundEffect>> chain;
    for (auto kind : kinds) {
        chain.push_back(snd::createSoundEffect(kind));
        chain.back()->prepare(kRate, kChannels);
    }
    // Ten seconds of a tone with noise, replayed through the chain.
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
    std::vector<float> source(10 * kRate * kChannels);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = 0.5f * float(std::sin(2 * M_PI * 440 * double(i / kChannels) / kRate)) + noise(rng);
    std::vector<float> block(kBlock * kChannels);
    std::size_t at = 0;
    for (auto _ : state) {
        std::copy_n(source.begin() + at, block.size(), block.begin());
        at = (at + block.size()) % (source.size() - block.size());
        for (auto& effect : chain) effect->process(block.data(), kBlock);
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["realtime"] = benchmark::Counter(double(state.iterations()) * kBlock / kRate,
                                                    benchmark::Counter::kIsRate);
}

void BM_UserEffectChain(benchmark::State& state) {
    runChain(state, {snd::EffectKind::Echo, snd::EffectKind::WavesReverb, snd::EffectKind::Chorus,
                     snd::EffectKind::Flanger});
}
BENCHMARK(BM_UserEffectChain);

// Each effect alone, to see where the chain's time goes.
void BM_OneEffect(benchmark::State& state) {
    runChain(state, {static_cast<snd::EffectKind>(state.range(0))});
}
BENCHMARK(BM_OneEffect)->DenseRange(0, 6)->ArgName("kind");

}  // namespace

BENCHMARK_MAIN();
