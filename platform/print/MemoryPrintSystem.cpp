#include "platform/print/MemoryPrintSystem.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace print {

MemoryPrintSystem::MemoryPrintSystem(std::string jobFolder) : folder_(std::move(jobFolder)) {}

void MemoryPrintSystem::AddPrinter(PrinterInfo printer, bool isDefault)
{
    list_.printers.push_back(std::move(printer));
    if (isDefault || list_.defaultIndex < 0)
        list_.defaultIndex = int(list_.printers.size()) - 1;
}

void MemoryPrintSystem::RemovePrinter(const std::string& name)
{
    auto& ps = list_.printers;
    const auto it = std::find_if(ps.begin(), ps.end(), [&](const PrinterInfo& p) { return p.name == name; });
    if (it == ps.end())
        return;
    const int index = int(it - ps.begin());
    ps.erase(it);
    if (list_.defaultIndex >= index)
        list_.defaultIndex = ps.empty() ? -1 : std::max(0, list_.defaultIndex - 1);
}

void MemoryPrintSystem::MakeUnreadable(const std::string& name)
{
    unreadable_.push_back(name);
}

void MemoryPrintSystem::RefuseJobs(const std::string& name, const std::string& reason)
{
    refusing_.emplace_back(name, reason);
}

PrinterList MemoryPrintSystem::Printers()
{
    return list_;
}

PrinterLookup MemoryPrintSystem::Find(const std::string& name)
{
    PrinterLookup found = PrintSystem::Find(name);
    if (found.status == PrinterLookup::Found &&
        std::find(unreadable_.begin(), unreadable_.end(), name) != unreadable_.end())
        found = {PrinterLookup::Unreadable, {}};
    return found;
}

bool MemoryPrintSystem::Submit(const std::string& pdfPath, const PrintJob& job, std::string& error)
{
    if (Find(job.printer).status != PrinterLookup::Found) {
        error = "The printer " + job.printer + " is not available";
        return false;
    }
    for (const auto& [name, reason] : refusing_)
        if (name == job.printer) {
            error = RefusedJobMessage(name, reason, true);
            return false;
        }
    const std::string kept = folder_ + "/job-" + std::to_string(jobs_.size() + 1) + ".pdf";
    std::error_code ec;
    std::filesystem::copy_file(pdfPath, kept, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        error = "Cannot keep the job: " + ec.message();
        return false;
    }
    jobs_.push_back({job, kept});
    return true;
}

}  // namespace print
