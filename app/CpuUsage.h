// `TCpuUsage`: the processor load in percent between two readings, from the kernel's
// aggregate "cpu" line of /proc/stat (or the file a test names). The idle share counts idle
// and iowait; the total adds user, nice, system, irq, softirq and steal (guest time is
// already inside user). The first reading gives 0; a file that is missing or garbled, or
// counters that went backwards or did not move, give 0. UI thread only.
#pragma once

#include <cstdint>
#include <string>

class TCpuUsage {
public:
    explicit TCpuUsage(std::string StatPath = "/proc/stat");
    // 0..100.
    int ReadCpuLoad();

private:
    std::string path_;
    uint64_t prevIdle_ = 0;
    uint64_t prevTotal_ = 0;
    bool havePrev_ = false;
};
