#include "labels/libPrinter.h"

#include "platform/print/PageSetup.h"
#include "platform/rtl/Numerics.h"
#include "platform/rtl/StringList.h"

#include <QApplication>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr double kMmPerInch = 25.4;
// Fonts and the screen are laid out at 96 pixels to the inch.
constexpr double kScreenDpi = 96;

struct ShortPaperName {
    std::string_view name;
    int code;
};
constexpr std::array<ShortPaperName, 11> kShortPaperNames = {{
    {"A6", 70}, {"A5", 11}, {"A4", 9}, {"A3", 8}, {"A2", 66}, {"B5", 13}, {"B4", 12},
    {"T3", 73}, {"T4", 74}, {"PC", 43}, {"US", 256},
}};
constexpr int kA4 = 9;

// The places these checks have always been reported at: users and support notes quote them.
constexpr int kOpenLine = 1362, kPropertiesLine = 1365;

[[noreturn]] void assertionFailed(int line)
{
    throw EAssertionFailed("Assertion failure (libPrinter, line " + std::to_string(line) + ")");
}

const print::PrinterInfo* selected()
{
    return print::Printer().Selected();
}

bool samePaper(const print::Paper& a, const print::Paper& b)
{
    if (a.code != b.code)
        return false;
    return a.code != print::kCustomPaperCode ||
           (std::abs(a.widthMm - b.widthMm) < 0.5 && std::abs(a.lengthMm - b.lengthMm) < 0.5);
}

// Locks, lets `edit` change the device mode, applies and unlocks; the orientation is the
// printer object's, and stays what it was.
template <typename Edit>
void editDevMode(Edit edit)
{
    if (!selected())
        return;
    const bool landscape = IsLandscape();
    TPrinterDevMode rec;
    LockDevMode(rec);
    edit(rec.Mode);
    ApplyDevMode(rec);
    UnlockDevMode(rec);
    SetLandscape(landscape);
}

// The selected printer's papers or bins, as the driver lists them; none without a printer.
template <typename Item>
using PrinterItems = std::vector<Item> print::PrinterInfo::*;

template <typename Item, typename Match>
int indexIn(PrinterItems<Item> list, Match match)
{
    const print::PrinterInfo* p = selected();
    if (!p)
        return -1;
    const std::vector<Item>& items = p->*list;
    for (int i = 0; i < int(items.size()); ++i)
        if (match(items[i]))
            return i;
    return -1;
}

// "The Index-th code" of the list: an index outside it changes nothing, as an empty list does.
template <typename Item, typename Take>
void setByIndex(PrinterItems<Item> list, int Index, Take take)
{
    const print::PrinterInfo* p = selected();
    if (!p || Index < 0 || Index >= int((p->*list).size()))
        return;
    const Item item = (p->*list)[Index];
    editDevMode([&](print::TDeviceMode& mode) { take(mode, item); });
}

template <typename Item>
void namesOf(PrinterItems<Item> list, rtl::TStringList& names)
{
    names.Clear();
    if (const print::PrinterInfo* p = selected())
        for (const Item& item : p->*list)
            names.Add(item.name);
}

int tenthMm(int units, int dpi)
{
    return dpi > 0 ? int(rtl::Round(units * 10 / (dpi / kMmPerInch))) : 0;
}

}  // namespace

double ScreenPixelsPerMm()
{
    return kScreenDpi / kMmPerInch;
}

void GetPrinterDpi(int& X, int& Y)
{
    X = Y = print::Printer().Dpi();
}

void GetPhysicalOffset(int& X, int& Y)
{
    X = print::Printer().PhysicalOffsetX();
    Y = print::Printer().PhysicalOffsetY();
}

double PrinterToScreenRatioX()
{
    return print::Printer().Dpi() / kScreenDpi;
}

double PrinterToScreenRatioY()
{
    return PrinterToScreenRatioX();
}

void GetPrinterOffsetTenthMm(int& X, int& Y)
{
    const int dpi = print::Printer().Dpi();
    int ox = 0, oy = 0;
    GetPhysicalOffset(ox, oy);
    X = tenthMm(ox, dpi);
    Y = tenthMm(oy, dpi);
}

void GetPrintableSizeTenthMm(int& W, int& H)
{
    const int dpi = print::Printer().Dpi();
    // Down to whole millimetres: a square placed at the far end of the range these give lies
    // wholly on the printable area, where rounding up would cut off its right or bottom edge.
    auto wholeMm = [dpi](int units) { return dpi > 0 ? int(std::floor(units * kMmPerInch / dpi + 1e-9)) : 0; };
    W = wholeMm(print::Printer().PageWidth()) * 10;
    H = wholeMm(print::Printer().PageHeight()) * 10;
}

std::string GetPaperName()
{
    TPrinterDevMode rec;
    LockDevMode(rec);
    UnlockDevMode(rec);
    for (const ShortPaperName& p : kShortPaperNames)
        if (p.code == rec.Mode.paper.code)
            return std::string(p.name);
    return "??";
}

void SetPaperByName(const std::string& Name)
{
    int code = kA4;
    for (const ShortPaperName& p : kShortPaperNames)
        if (p.name == Name)
            code = p.code;
    editDevMode([code](print::TDeviceMode& mode) {
        print::Paper paper = print::PaperForCode(code);
        // A code without a standard size keeps the size of the paper it replaces.
        if (paper.widthMm <= 0) {
            paper.widthMm = mode.paper.widthMm;
            paper.lengthMm = mode.paper.lengthMm;
        }
        mode.paper = paper;
    });
}

int GetPaperIndex()
{
    const print::Paper current = print::Printer().DeviceMode().paper;
    // A queue lists a size more than once (plain and borderless): its name tells them apart.
    const int named = indexIn(&print::PrinterInfo::papers,
                              [&](const print::Paper& p) { return samePaper(p, current) && p.name == current.name; });
    return named >= 0 ? named
                      : indexIn(&print::PrinterInfo::papers, [&](const print::Paper& p) { return samePaper(p, current); });
}

void SetPaperIndex(int Index)
{
    setByIndex(&print::PrinterInfo::papers, Index,
               [](print::TDeviceMode& mode, const print::Paper& paper) { mode.paper = paper; });
}

void GetPaperNames(rtl::TStringList& List)
{
    namesOf(&print::PrinterInfo::papers, List);
}

std::string GetPaperDisplayName()
{
    const int index = GetPaperIndex();
    return index >= 0 ? selected()->papers[index].name : GetPaperName();
}

int GetBinIndex()
{
    const std::string current = print::Printer().DeviceMode().bin;
    return indexIn(&print::PrinterInfo::bins, [&](const print::Bin& b) { return b.keyword == current; });
}

void SetBinIndex(int Index)
{
    setByIndex(&print::PrinterInfo::bins, Index,
               [](print::TDeviceMode& mode, const print::Bin& bin) { mode.bin = bin.keyword; });
}

void GetBinNames(rtl::TStringList& List)
{
    namesOf(&print::PrinterInfo::bins, List);
}

std::string GetBinName()
{
    const int index = GetBinIndex();
    return index >= 0 ? selected()->bins[index].name : std::string();
}

bool ShowPrinterProperties()
{
    return print::ShowPageSetup(QApplication::activeWindow());
}

int GetPrinterCount()
{
    return int(print::Printer().Printers().size());
}

int GetPrinterNames(rtl::TStringList& List)
{
    List.Clear();
    for (const std::string& name : print::Printer().Printers())
        List.Add(name);
    return List.Count();
}

std::string GetPrinterName()
{
    const int index = print::Printer().PrinterIndex();
    return index >= 0 ? print::Printer().Printers()[index] : "X";
}

int FindPrinterIndex(const std::string& Name)
{
    const std::vector<std::string>& names = print::Printer().Printers();
    const auto found = std::find(names.begin(), names.end(), Name);
    return found == names.end() ? -1 : int(found - names.begin());
}

void SetPrinterIndex(int Index)
{
    if (Index >= 0 && Index < GetPrinterCount())
        print::Printer().SetPrinterIndex(Index);
}

int GetPrinterIndex()
{
    const int index = print::Printer().PrinterIndex();
    return index < 0 ? 0 : index;
}

void SetLandscape(bool Flag)
{
    print::Printer().SetOrientation(Flag ? print::poLandscape : print::poPortrait);
}

bool IsLandscape()
{
    return print::Printer().Orientation() == print::poLandscape;
}

std::string GetOrientationName()
{
    return IsLandscape() ? "横" : "縦";
}

void LockDevMode(TPrinterDevMode& Rec)
{
    Rec = {};
    if (const print::PrinterInfo* p = selected()) {
        Rec.Device = p->name;
        Rec.Mode = print::Printer().DeviceMode();
    } else {
        Rec.Mode.paper.code = 0;
    }
    Rec.Locked = true;
}

void ApplyDevMode(const TPrinterDevMode& Rec)
{
    const print::PrinterLookup found = print::CurrentPrintSystem().Find(Rec.Device);
    if (found.status == print::PrinterLookup::Missing)
        assertionFailed(kOpenLine);
    if (found.status == print::PrinterLookup::Unreadable)
        assertionFailed(kPropertiesLine);
    print::Printer().SetDeviceMode(found.info, Rec.Mode);
}

void UnlockDevMode(const TPrinterDevMode&) {}

int MmToDeviceX(double Mm)
{
    return int(rtl::Round(ScreenPixelsPerMm() * Mm * PrinterToScreenRatioX()));
}

int MmToDeviceY(double Mm)
{
    return int(rtl::Round(ScreenPixelsPerMm() * Mm * PrinterToScreenRatioY()));
}
