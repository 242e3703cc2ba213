// The designer's printing: the question, the print dialog, and the two pages.
//
// The jacket is recorded as vector commands at the printer's resolution and played at its
// origin, so its text stays text. The label is one bitmap at the printer's resolution: its
// photo may cover the whole square, and whatever lies outside the disc is whitened as a
// region (square less the outer circle), so no picture colour can stop the whitening.
// Both take the track list's rows and columns from the screen's layout, so that the paper
// shows the rows the screen shows. Nothing is written to disk on the way.
#include "labels/forms/xCDTitle.h"

#include "labels/forms/CDPrintSettings.h"
#include "labels/libPrinter.h"
#include "labels/libText.h"
#include "platform/forms/Application.h"
#include "platform/forms/Image.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Metafile.h"
#include "platform/print/Printer.h"
#include "util/libText.h"

#include <QApplication>
#include <QTimer>

using namespace cdlabel;

namespace {

constexpr gfx::TColor FrameColor = 0x808080;

// While a page is made: the hourglass; afterwards a job left open by a failure is dropped.
struct PrintingGuard {
    bool& busy;
    explicit PrintingGuard(bool& flag) : busy(flag)
    {
        busy = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~PrintingGuard()
    {
        if (print::Printer().Printing())
            print::Printer().Abort();
        // The dialog's file and copies were this page's only.
        print::Printer().SetOutputFile({});
        print::Printer().SetCopies(1);
        QApplication::restoreOverrideCursor();
        busy = false;
    }
};

gfx::TRect rectOf(const QRect& r, const std::function<int(int)>& at)
{
    return {at(r.x()), at(r.y()), at(r.x() + r.width()), at(r.y() + r.height())};
}

// A title or artist at its box's place on the page, its font's height converted.
void textAt(gfx::TCanvas& c, const forms::TPaintBox* box, const std::string& s, const std::function<int(int)>& at,
            double scale)
{
    if (s.empty())
        return;
    c.Font().Assign(ScaleFont(box->Font(), scale));
    TextOutRotated(c, 0, at(box->x()), at(box->y()), s, gfx::clWhite);
}

}  // namespace

void TfrmCD_Label::spdOKClick()
{
    if (printing_)
        return;
    // A close asked for while the page was made follows it, whatever became of the page.
    struct CloseAfter {
        TfrmCD_Label* w;
        ~CloseAfter()
        {
            if (std::exchange(w->closePending_, false))
                QTimer::singleShot(0, w, [w = w] { w->close(); });
        }
    } after{this};
    ApplyPrinterChoice(true);
    if (ShownPage() == 1)
        PrintJacket();
    else
        PrintLabel();
}

bool TfrmCD_Label::CheckPrinterInstalled(const std::string& Caption)
{
    // Printers come and go while the program runs: the list is read afresh.
    print::Printer().Refresh();
    if (GetPrinterCount() > 0)
        return true;
    MsgBox(this, Caption, "　　プリンターが登録されていません！！", 1, "Y", "i");
    return false;
}

std::string TfrmCD_Label::PrintQuestion(int Page) const
{
    const bool label = Page == 2;
    std::string name = TrimBlanksUtf8(label ? LabelTitle : JacketTitle);
    if (name.empty())
        name = TrimBlanksUtf8(label ? LabelArtist : JacketArtist);
    std::string text;
    if (!name.empty())
        text.append("『　").append(name).append("　』　の印刷を行います。");
    else
        text.append(label ? "ＣＤラベルの印刷を行います。" : "ＣＤジャケットの印刷を行います。");
    text.append("\r\n").append("\r\n");
    text.append(label ? "印刷用紙又はＣＤを用意して下さい。" : "印刷用紙を用意して下さい。");
    return text;
}

int TfrmCD_Label::ConfirmPrint(const std::string& Caption, const std::string& Text, bool IsLabel)
{
    const TPrintOrigin origin = ReadPrintOrigin(IsLabel);
    std::string message = Text;
    message.append("　").append("\r\r\r- Printer Infomation ------------------");
    message.append("\r\r").append(" プリンター : ").append(GetPrinterName());
    message.append("\r\r").append(" 用　紙 : ").append(GetPaperName());
    message.append("\r\r").append(" 給　紙 : ").append(GetBinName());
    message.append("\r\r").append(" 方　向 : ").append(GetOrientationName());
    message.append("\r\r").append(" 原　点 : ( ").append(origin.X).append("mm , ").append(origin.Y).append("mm )");
    message.append("\r\r").append(" サイズ : ( 120mm x 120mm )");
    message.append("\r\r").append("-----------------------------------");
    // Only a yes prints: a box closed without an answer is no consent either.
    if (MsgBox(this, Caption, message, 1, "YN", "i") != 6)
        return 7;
    print::Printer().Refresh();  // one may have been added while the question was open
    print::PrintDialogChoice choice;
    choice.printer = GetPrinterName();
    choice.copies = 1;
    if (!RunPrintDialog(choice))
        return 7;
    if (!choice.pdfFile.empty()) {
        print::Printer().SetOutputFile(choice.pdfFile);
    } else if (choice.printer != GetPrinterName()) {
        SetPrinterIndex(FindPrinterIndex(choice.printer));  // -1, a printer gone since: no change
    }
    print::Printer().SetCopies(choice.copies);
    return 6;
}

bool TfrmCD_Label::askToPrint(int Page)
{
    const std::string caption = Page == 2 ? "ＣＤラベル印刷" : "ＣＤジャケット印刷";
    return CheckPrinterInstalled(caption) && ConfirmPrint(caption, PrintQuestion(Page), Page == 2) == 6;
}

void TfrmCD_Label::printAtOrigin(int Page, const gfx::TGraphic& Square)
{
    const bool label = Page == 2;
    print::TPrinter& printer = print::Printer();
    printer.SetTitle(label ? "ＣＤラベル印刷" : "ＣＤジャケット印刷");
    printer.BeginDoc();
    // The origin is measured from the paper's corner, the page's from the printable corner.
    const TOriginMm origin = ReadPrintOriginMm(label);
    int ox = 0, oy = 0;
    GetPrinterOffsetTenthMm(ox, oy);
    printer.Canvas().Draw(MmToDeviceX(origin.X - ox / 10.0), MmToDeviceY(origin.Y - oy / 10.0), Square);
    printer.EndDoc();
}

void TfrmCD_Label::drawJacket(gfx::TCanvas& c, int Side)
{
    int dpi = 0, dpiY = 0;
    GetPrinterDpi(dpi, dpiY);
    const double scale = dpi / 25.4 * PageMm / PageSize;  // device units per preview pixel
    auto at = [](int v) { return MmToDeviceX(v * double(PageMm) / PageSize); };

    // The cutting line.
    c.Pen().SetStyle(gfx::psDot);
    c.Pen().SetColor(FrameColor);
    c.Brush().SetStyle(gfx::bsClear);
    c.Rectangle(0, 0, Side, Side);
    if (imgTitle_PIC->Tag == 1 && !do_Kill1->isChecked() && imgTitle_PIC->Picture().Graphic())
        c.StretchDraw(rectOf(pbxTitle_DSP->geometry(), at), *imgTitle_PIC->Picture().Graphic());
    c.Brush().SetColor(gfx::clWhite);
    textAt(c, pbxTitle1, JacketTitle, at, scale);
    if (!do_Kill0->isChecked()) {
        c.Pen().SetStyle(gfx::psSolid);
        c.Pen().SetColor(pbxLine->Font().Color());
        const int x = at(pbxLine->x()), y = at(pbxLine->y());
        c.MoveTo(x, y + 5);
        c.LineTo(x + at(pbxLine->width()), y + 5);
    }
    textAt(c, pbxArtist1, JacketArtist, at, scale);
    if (!do_Erase1->isChecked()) {
        layoutJacketTracks();
        TTrackListSpec spec = TrackListSpec(1);
        spec.Columns = {jacketTracks_.Rows};
        LayTrackList(c, true, at(pbxCD_Title->x()), at(pbxCD_Title->y()), trackTitles(), spec, scale);
    }
}

void TfrmCD_Label::PrintJacket()
{
    if (!askToPrint(1))
        return;
    PrintingGuard guard(printing_);
    forms::ProcessMessages();
    const int side = MmToDeviceX(PageMm);
    gfx::TMetafile jacket;
    {
        gfx::TMetafileCanvas canvas(jacket, side, side);
        drawJacket(canvas, side);
    }
    printAtOrigin(1, jacket);
}

void TfrmCD_Label::drawLabel(gfx::TBitmap& Bitmap, int Side)
{
    // 32 bits a pixel: the photo is stretched onto it row by row, where 24 would go pixel by pixel.
    Bitmap.SetPixelFormat(gfx::pf32bit);
    Bitmap.SetSize(Side, Side);  // white
    const double scale = double(Side) / PageSize;
    auto at = [scale](int v) { return ScaleLength(v, scale); };
    gfx::TCanvas& c = Bitmap.Canvas();
    c.Brush().SetColor(gfx::clWhite);
    c.Brush().SetStyle(gfx::bsClear);

    if (imgLabel_PIC->Tag == 1 && !do_KIll2->isChecked() && imgLabel_PIC->Picture().Graphic())
        c.StretchDraw(rectOf(pbxLabel_DSP->geometry(), at), *imgLabel_PIC->Picture().Graphic());
    textAt(c, pbxTitle2, LabelTitle, at, scale);
    textAt(c, pbxArtist2, LabelArtist, at, scale);
    if (!do_Erase2->isChecked()) {
        relayLabelTracks();
        TTrackListSpec spec = TrackListSpec(2);
        spec.Columns = labelTracks_.ColumnRows;
        if (spec.Columns.empty())
            spec.Columns = {0};
        LayTrackList(c, true, at(pbxCD_Print->x()), at(pbxCD_Print->y()), trackTitles(), spec, scale);
    }

    const gfx::TRect outer = rectOf(Shape3->geometry(), at), hub = rectOf(Shape4->geometry(), at);
    // The hub white with its dotted guide.
    c.Pen().SetStyle(gfx::psDot);
    c.Pen().SetColor(FrameColor);
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(gfx::clWhite);
    c.Ellipse(hub);
    WhitenOutsideDisc(c, outer, Side);
}

void TfrmCD_Label::PrintLabel()
{
    if (!askToPrint(2))
        return;
    PrintingGuard guard(printing_);
    forms::ProcessMessages();
    gfx::TBitmap label;
    drawLabel(label, MmToDeviceX(PageMm));
    printAtOrigin(2, label);
}
