#include "EffectTestSupport.h"

#include <cmath>
#include <random>

namespace fxtest {

std::vector<float> impulse(std::size_t frames, int channels, std::size_t at) {
    std::vector<float> v(frames * channels, 0.0f);
    for (int c = 0; c < channels; ++c) v[at * channels + c] = 1.0f;
    return v;
}

std::vector<float> noise(std::size_t samples, float amplitude, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-amplitude, amplitude);
    std::vector<float> v(samples);
    for (float& x : v) x = dist(rng);
    return v;
}

std::vector<float> channel(const std::vector<float>& frames, int channels, int c) {
    std::vector<float> v;
    for (std::size_t i = c; i < frames.size(); i += channels) v.push_back(frames[i]);
    return v;
}

double reverbTime(const std::vector<float>& response, int rate) {
    std::vector<double> decay(response.size() + 1, 0.0);
    for (std::size_t i = response.size(); i-- > 0;)
        decay[i] = decay[i + 1] + double(response[i]) * response[i];
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (std::size_t i = 0; i < response.size(); ++i) {
        const double db = 10.0 * std::log10(decay[i] / decay[0] + 1e-300);
        if (db > -5.0) continue;
        if (db < -35.0) break;
        const double t = double(i) / rate;
        sx += t, sy += db, sxx += t * t, sxy += t * db, ++n;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);  // dB per second
    return -60.0 / slope;
}

double centroid(const std::vector<float>& signal, std::size_t from, std::size_t to) {
    double weight = 0, moment = 0;
    for (std::size_t i = from; i < to && i < signal.size(); ++i) {
        weight += std::abs(signal[i]);
        moment += std::abs(signal[i]) * double(i);
    }
    return weight > 0 ? moment / weight : -1.0;
}

}  // namespace fxtest
