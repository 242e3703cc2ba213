// The printer's properties dialog. Linux printer drivers have no dialog of their own, so
// Qt's page setup dialog stands in: paper and orientation for the selected printer, taken
// over by the printer object when the user confirms. The dialog's run is a seam, so tests
// answer it without a user. UI thread only.
#pragma once

#include <functional>

class QPageSetupDialog;
class QWidget;

namespace print {

// Shows the dialog for the selected printer of `Printer()`; true when the user confirmed and
// the printer took the chosen paper and orientation, false when cancelled or when no printer
// is installed.
bool ShowPageSetup(QWidget* parent);

// Runs the dialog instead of its exec() (null: exec() again); returns a QDialog result, after
// setting the dialog's printer as the user would have.
void SetPageSetupRunner(std::function<int(QPageSetupDialog&)> runner);

}  // namespace print
