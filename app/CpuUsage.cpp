#include "app/CpuUsage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <sstream>

TCpuUsage::TCpuUsage(std::string StatPath) : path_(std::move(StatPath)) {}

namespace {

// The idle and total times of the aggregate line; false when the file has none that reads.
bool ReadTimes(const std::string& Path, uint64_t& Idle, uint64_t& Total)
{
    std::ifstream in(Path);
    std::string line;
    if (!in || !std::getline(in, line))
        return false;
    std::istringstream fields(line);
    std::string name;
    if (!(fields >> name) || name != "cpu")
        return false;
    // user nice system idle iowait irq softirq steal
    std::array<uint64_t, 8> v{};
    for (uint64_t& x : v)
        if (!(fields >> x))
            return false;
    Idle = v[3] + v[4];
    Total = 0;
    for (uint64_t x : v)
        Total += x;
    return true;
}

}  // namespace

int TCpuUsage::ReadCpuLoad()
{
    uint64_t idle = 0, total = 0;
    if (!ReadTimes(path_, idle, total))
        return 0;
    const bool first = !havePrev_;
    const uint64_t lastIdle = prevIdle_, lastTotal = prevTotal_;
    prevIdle_ = idle;
    prevTotal_ = total;
    havePrev_ = true;
    if (first || idle < lastIdle || total <= lastTotal)
        return 0;
    const double dIdle = double(idle - lastIdle), dTotal = double(total - lastTotal);
    const double load = std::trunc(100.0 - 100.0 * dIdle / dTotal);
    return int(std::clamp(load, 0.0, 100.0));
}
