#include "labels/forms/CDPrintSettings.h"

#include "labels/libPrinter.h"
#include "platform/rtl/FloatFormat.h"
#include "util/libIni.h"

namespace cdlabel {

namespace {

constexpr const char* LabelSection = "CD_LABEL";
constexpr const char* JacketSection = "CD_JACKET";

const char* sectionOf(bool Label) { return Label ? LabelSection : JacketSection; }

// The designs' default origins, millimetres.
TOriginMm defaultOrigin(bool Label) { return Label ? TOriginMm{5.5, 91} : TOriginMm{10, 10}; }

int readIndex(const char* Key)
{
    return IniReadInteger(IniBase, LabelSection, Key, -1);
}

}  // namespace

TPrintOrigin ReadPrintOrigin(bool Label)
{
    const TOriginMm d = defaultOrigin(Label);
    TPrintOrigin o{rtl::FloatToStr(d.X), rtl::FloatToStr(d.Y)};
    if (IniBase.empty())
        return o;
    o.X = IniReadString(IniBase, sectionOf(Label), "CD_POS_X", o.X);
    o.Y = IniReadString(IniBase, sectionOf(Label), "CD_POS_Y", o.Y);
    return o;
}

void WritePrintOrigin(bool Label, const TPrintOrigin& Origin)
{
    if (IniBase.empty())
        return;
    IniWriteStrings(IniBase, sectionOf(Label), {{"CD_POS_X", Origin.X}, {"CD_POS_Y", Origin.Y}});
}

double OriginMm(const std::string& Text, double Default)
{
    double v = 0;
    return rtl::TryStrToFloat(Text, v) ? v : Default;
}

TOriginMm ReadPrintOriginMm(bool Label)
{
    const TPrintOrigin o = ReadPrintOrigin(Label);
    const TOriginMm d = defaultOrigin(Label);
    return {OriginMm(o.X, d.X), OriginMm(o.Y, d.Y)};
}

TPrinterChoice ReadPrinterChoice()
{
    TPrinterChoice c;
    if (IniBase.empty())
        return c;
    c.PrinterName = IniReadString(IniBase, LabelSection, "PRINTER_NAME", "");
    c.PrinterIndex = readIndex("PRINTER_INDEX");
    c.BinIndex = readIndex("BINS_INDEX");
    c.PaperIndex = readIndex("PAPER_INDEX");
    c.OrientationIndex = readIndex("Orientation_INDEX");
    return c;
}

void WritePrinterChoice(int OrientationIndex)
{
    if (IniBase.empty())
        return;
    IniWriteStrings(IniBase, LabelSection,
                    {{"PRINTER_INDEX", std::to_string(GetPrinterIndex())},
                     {"PRINTER_NAME", GetPrinterCount() > 0 ? GetPrinterName() : std::string()},
                     {"BINS_INDEX", std::to_string(GetBinIndex())},
                     {"PAPER_INDEX", std::to_string(GetPaperIndex())},
                     {"Orientation_INDEX", std::to_string(OrientationIndex)}});
}

void ApplyPrinterChoice(bool WithOrientation)
{
    const TPrinterChoice c = ReadPrinterChoice();
    if (GetPrinterCount() <= 0)
        return;
    int printer = c.PrinterName.empty() ? -1 : FindPrinterIndex(c.PrinterName);
    if (printer < 0)
        printer = c.PrinterIndex;
    if (printer >= 0)
        SetPrinterIndex(printer);
    if (c.BinIndex >= 0)
        SetBinIndex(c.BinIndex);
    if (c.PaperIndex >= 0)
        SetPaperIndex(c.PaperIndex);
    if (WithOrientation && c.OrientationIndex >= 0)
        SetLandscape(c.OrientationIndex == 1);
}

}  // namespace cdlabel
