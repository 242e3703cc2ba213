// A CUPS scheduler of the test's own: cupsd run in the foreground on a free loopback port,
// with its configuration, spool, cache and logs in a temporary folder, and CUPS_SERVER
// pointing this process (and the lp tools it runs) at it, so the program sees only the queues
// the test adds and never the machine's own scheduler. Stopped and removed on destruction.
#pragma once

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace testsupport {

class PrivateScheduler {
public:
    PrivateScheduler();
    ~PrivateScheduler();
    PrivateScheduler(const PrivateScheduler&) = delete;
    PrivateScheduler& operator=(const PrivateScheduler&) = delete;

    // "" once the scheduler answers; otherwise why it could not be started.
    const std::string& Failure() const { return failure_; }

    // Adds a queue set up with a PPD file of that text, taking jobs, or refusing them with
    // `refusal` as the administrator's reason when one is given. "" on success, else lpadmin's
    // or cupsreject's complaint.
    std::string AddQueue(const std::string& name, const std::string& ppd, const std::string& refusal = {});

    // The options the scheduler handed the driver of job `job` ("PageSize=A4 InputSlot=Disc
    // ..."), once it has started the job; "" when it has not within a minute.
    std::string DriverOptions(int job);

private:
    bool start(int port);
    void stop();

    TempDir dir_;
    pid_t pid_ = -1;
    std::string failure_;
    std::unique_ptr<ScopedEnv> server_;
};

// What the newest job of a queue (held in the scheduler's history) asked for of its paper:
// "media" where the job named the paper so, media-col's size and margins (hundredths of a
// millimetre, -1 where not given), and its paper source. `id` is 0 without such a job.
struct JobPaper {
    int id = 0;
    std::string media;
    int width = -1, length = -1;
    int left = -1, top = -1, right = -1, bottom = -1;
    std::string source;
};
JobPaper NewestJobPaper(const std::string& queue);

// A PPD file of a photo printer for the queues of these tests: an envelope, A4, Letter and JIS
// B5, each also borderless ("A4.Borderless"), `defaultSize` by default, paper trays with names
// of their own, 300 and 600 dpi (600 by default), taking PDF as it is. With `borderlessOnly`
// it lists only the borderless papers, as photo drivers do.
std::string TestPpd(const std::string& defaultSize = "A4", bool borderlessOnly = false);

}  // namespace testsupport

// Starts nothing by itself: a test that needs the scheduler checks it answered. Only a
// scheduler that cannot run at all here (not root, no rights) skips the test; as root, where CI
// runs, a scheduler that does not answer is a failure.
#define TAMBOURELLE_NEED_SCHEDULER(s)                                          \
    do {                                                                       \
        if (!(s).Failure().empty()) {                                          \
            if (::geteuid() == 0)                                              \
                FAIL() << "the private CUPS scheduler: " << (s).Failure();     \
            GTEST_SKIP() << "no private CUPS scheduler here: " << (s).Failure(); \
        }                                                                      \
    } while (0)
