// The print system of the CUPS scheduler, through libcups: its queues (and their instances)
// as printers, their media, media sources, margins and default resolution from the
// destination's IPP attributes, and jobs sent as PDF files that CUPS rasterises for the
// printer. Without a scheduler the printer list is empty at once. UI thread only.
#pragma once

#include "platform/print/PrintSystem.h"

#include <memory>

namespace print {

std::unique_ptr<PrintSystem> MakeCupsPrintSystem();

}  // namespace print
