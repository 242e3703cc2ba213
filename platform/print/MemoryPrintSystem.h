// A print system of printers that a test declares. Every submitted job's PDF is copied into
// a folder of the test's choosing and kept there with its options, so a test reads what a
// printer would have been sent. UI thread only, as every print system.
#pragma once

#include "platform/print/PrintSystem.h"

#include <string>
#include <utility>
#include <vector>

namespace print {

class MemoryPrintSystem : public PrintSystem {
public:
    struct Job {
        PrintJob options;
        std::string pdfPath;
    };

    // Jobs are kept as jobFolder/job-<n>.pdf.
    explicit MemoryPrintSystem(std::string jobFolder);

    void AddPrinter(PrinterInfo printer, bool isDefault = false);
    // The printer disappears, as when it is removed while the program runs.
    void RemovePrinter(const std::string& name);
    // The printer stays listed, but its description can no longer be read.
    void MakeUnreadable(const std::string& name);
    // The printer stays listed but refuses every job, for `reason`.
    void RefuseJobs(const std::string& name, const std::string& reason);

    PrinterList Printers() override;
    PrinterLookup Find(const std::string& name) override;
    [[nodiscard]] bool Submit(const std::string& pdfPath, const PrintJob& job,
                              std::string& error) override;

    const std::vector<Job>& Jobs() const { return jobs_; }

private:
    std::string folder_;
    PrinterList list_;
    std::vector<std::string> unreadable_;
    std::vector<std::pair<std::string, std::string>> refusing_;
    std::vector<Job> jobs_;
};

}  // namespace print
