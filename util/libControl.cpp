#include "util/libControl.h"

#include <map>

#include <QCursor>
#include <QGuiApplication>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QVariant>
#include <QWidget>

#include "platform/forms/Application.h"
#include "platform/forms/Control.h"

namespace {

constexpr const char* CursorProperty = "tambourelleCursor";

struct StockCursor {
    TCursor id;
    Qt::CursorShape shape;
};

// Stock identifiers and their Qt shapes; the first entry of a shape names it.
constexpr StockCursor StockCursors[] = {
    {crDefault, Qt::ArrowCursor}, {crArrow, Qt::ArrowCursor}, {crNone, Qt::BlankCursor},
    {crCross, Qt::CrossCursor}, {crIBeam, Qt::IBeamCursor}, {crSizeNESW, Qt::SizeBDiagCursor},
    {crSizeNS, Qt::SizeVerCursor}, {crSizeNWSE, Qt::SizeFDiagCursor},
    {crSizeWE, Qt::SizeHorCursor}, {crUpArrow, Qt::UpArrowCursor},
    {crHourGlass, Qt::WaitCursor}, {crDrag, Qt::DragMoveCursor},
    {crNoDrop, Qt::ForbiddenCursor}, {crHSplit, Qt::SplitHCursor},
    {crVSplit, Qt::SplitVCursor}, {crMultiDrag, Qt::DragCopyCursor},
    {crSQLWait, Qt::BusyCursor}, {crNo, Qt::ForbiddenCursor}, {crAppStart, Qt::BusyCursor},
    {crHelp, Qt::WhatsThisCursor}, {crHandPoint, Qt::PointingHandCursor},
    {crSizeAll, Qt::SizeAllCursor},
};

std::map<TCursor, QCursor>& customCursors()
{
    static std::map<TCursor, QCursor> cursors;
    return cursors;
}

QCursor cursorOf(TCursor id)
{
    if (auto it = customCursors().find(id); it != customCursors().end())
        return it->second;
    for (const StockCursor& s : StockCursors)
        if (s.id == id)
            return QCursor(s.shape);
    return QCursor(Qt::ArrowCursor);
}

}  // namespace

void RegisterCursor(TCursor Id, const QCursor& Cursor)
{
    customCursors()[Id] = Cursor;
}

TCursor ControlCursor(const QWidget* Control)
{
    const QVariant set = Control->property(CursorProperty);
    if (set.isValid())
        return TCursor(set.toInt());
    if (!Control->testAttribute(Qt::WA_SetCursor))
        return crDefault;
    const Qt::CursorShape shape = Control->cursor().shape();
    for (const StockCursor& s : StockCursors)
        if (s.shape == shape)
            return s.id;
    return crDefault;
}

void SetControlCursor(QWidget* Control, TCursor Id)
{
    Control->setProperty(CursorProperty, int(Id));
    if (Id == crDefault)
        Control->unsetCursor();
    else
        Control->setCursor(cursorOf(Id));
}

void ReplaceCursor(QObject* Owner, TCursor OldCursor, TCursor NewCursor)
{
    if (!Owner)
        return;
    for (QWidget* w : Owner->findChildren<QWidget*>())
        forms::RunGuarded([&] {
            if (ControlCursor(w) == OldCursor)
                SetControlCursor(w, NewCursor);
        });
}

void SetChildShowHint(QWidget* Parent, bool Value)
{
    if (!Parent)
        return;
    for (QWidget* w : Parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (auto* c = dynamic_cast<forms::TCustomControl*>(w))
            c->SetShowHint(Value);
}

void SetMemoMargins(QTextEdit* Memo, int Left, int Top)
{
    if (!Memo)
        return;
    QTextDocument* doc = Memo->document();
    doc->setDocumentMargin(0);
    QTextFrameFormat format = doc->rootFrame()->frameFormat();
    format.setLeftMargin(Left);
    format.setTopMargin(Top);
    format.setRightMargin(2);
    format.setBottomMargin(0);
    doc->rootFrame()->setFrameFormat(format);
}

void RowNavigateKey(int Min, int Max, int& Index, std::uint16_t& Key, bool& Down)
{
    constexpr std::uint16_t Return = 13, Up = 38, DownArrow = 40;
    if (Key == Return || Key == DownArrow) {
        Down = true;
        if (Index < Max)
            ++Index;
        else
            Key = 0;
    } else if (Key == Up) {
        Down = false;
        if (Index > Min)
            --Index;
        else
            Key = 0;
    }
}

TWaitCursor::TWaitCursor()
{
    if (qGuiApp)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

TWaitCursor::~TWaitCursor()
{
    if (qGuiApp)
        QGuiApplication::restoreOverrideCursor();
}
