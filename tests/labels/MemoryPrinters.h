// The printers the label tests print on: a memory print system whose jobs land in a scratch
// folder, put in place for a test and replaced by an empty one afterwards.
#pragma once

#include "platform/print/MemoryPrintSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace labeltest {

// A4, B5 and Letter, an automatic bin and a disc tray, margins 3 mm left and right and
// 4.2 mm top and bottom.
print::PrinterInfo discPrinter(const std::string& name, int dpi);
// A printer that lists no papers and no bins.
print::PrinterInfo barePrinter(const std::string& name);

class MemoryPrinters : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The system the test declares its printers in; takes effect with use().
    print::MemoryPrintSystem& system() { return *pending_; }
    void use();
    // The system in use after use().
    print::MemoryPrintSystem& current() { return *current_; }

    testsupport::TempDir jobs_;

private:
    std::unique_ptr<print::MemoryPrintSystem> pending_;
    print::MemoryPrintSystem* current_ = nullptr;
};

}  // namespace labeltest
