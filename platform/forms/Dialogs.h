// `TOpenDialog` and `TSaveDialog`: the class library's file dialogs, over Qt's own
// (non-native) file dialog so they look and behave the same on every desktop. A Filter is
// "text|mask" pairs joined by "|" ("WAV files (*.wav)|*.wav|All (*.*)|*.*"); a mask may hold
// several patterns separated by ";". Execute runs the dialog modally and, when the user
// accepted, sets FileName and answers true. UI thread only.
#pragma once

#include <string>
#include <vector>

class QFileDialog;
class QWidget;

namespace forms {

// The folder a file dialog opens in: Dir when it is a folder, else its nearest parent that is;
// empty for an empty Dir. The toolkit takes a folder that does not exist for a file to select,
// so a missing ~/Music put "Music" in the name box.
std::string ExistingFolderOf(const std::string& Dir);

class TFileDialog {
public:
    explicit TFileDialog(QWidget* Owner) : owner_(Owner) {}
    virtual ~TFileDialog() = default;

    std::string Title;
    std::string Filter;
    int FilterIndex = 1;  // 1-based, as the filter's pairs count
    std::string InitialDir;
    std::string FileName;
    std::string DefaultExt;  // without the dot; added to a typed name that has none

    bool Execute();

    // The filter as the toolkit's name filters ("text (patterns)"), one per pair; a pair
    // without its mask is left out.
    static std::vector<std::string> NameFilters(const std::string& Filter);

protected:
    virtual bool Saving() const = 0;
    // Shows the prepared dialog modally and answers its result; a derived dialog that
    // places, sizes or watches the dialog does so here.
    virtual int Run(QFileDialog& Dialog);

private:
    QWidget* owner_;
};

class TOpenDialog : public TFileDialog {
public:
    using TFileDialog::TFileDialog;

protected:
    bool Saving() const override { return false; }
};

class TSaveDialog : public TFileDialog {
public:
    using TFileDialog::TFileDialog;

protected:
    bool Saving() const override { return true; }
};

}  // namespace forms
