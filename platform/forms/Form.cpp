#include "platform/forms/Form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>

#include "platform/forms/Application.h"
#include "platform/forms/ScreenFit.h"
#include "platform/gfx/Raster.h"

namespace forms {

TForm::TForm(QWidget* parent) : QDialog(parent)
{
    font_.OnChange = [this] { propagateLook(this, false, true); };
    SetColor(gfx::clBtnFace);
    Handlers.Connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && isAncestorOf(now))
            forEachControl([now](TCustomControl& c) { RunGuarded([&] { c.FocusChanged(now); }); return false; });
    });
}

TForm::~TForm()
{
    Handlers.Stop();  // before QWidget deletes the children, whose going moves the focus
}

void TForm::DoCreate(const std::function<void()>& FormCreate)
{
    if (created_)
        return;
    created_ = true;
    RunGuarded(FormCreate);
}

void TForm::SetKeyPreview(bool on)
{
    keyPreview_ = on;
    if (!on || previewHooked_)
        return;
    previewHooked_ = true;
    // Through Handlers: once the window's teardown starts, its controls' going (focus moves,
    // hides) reaches none of its preview code.
    for (QWidget* w : findChildren<QWidget*>())
        Handlers.Hook(w, [this, w](QEvent* e) {
            bool eaten = false;
            if (keyPreview_)
                RunGuarded([&] { eaten = PreviewEvent(w, e); });
            return eaten;
        });
}

template <class Fn>
void TForm::forEachControl(Fn fn)
{
    // Our controls carry no meta-object of their own, so findChildren<TCustomControl*> would
    // hand back every widget; only a dynamic_cast tells ours from plain Qt widgets.
    for (QWidget* w : findChildren<QWidget*>())
        if (auto* c = dynamic_cast<TCustomControl*>(w))
            if (fn(*c))
                return;
}

void TForm::SetModalResult(int result)
{
    modalResult_ = result;
    if (result != mrNone && inModal_)
        done(result);
}

int TForm::ShowModal()
{
    modalResult_ = mrNone;
    inModal_ = true;
    exec();
    inModal_ = false;
    if (modalResult_ == mrNone)
        modalResult_ = mrCancel;
    return modalResult_;
}

void TForm::SetColor(TColor c)
{
    color_ = c;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(gfx::raster::toQRgb(c)));
    setPalette(pal);
    setAutoFillBackground(true);
    propagateLook(this, true, false);
}

std::string TForm::Caption() const
{
    return windowTitle().toStdString();
}

void TForm::SetCaption(const std::string& text)
{
    setWindowTitle(QString::fromStdString(text));
}

bool TForm::DispatchDialogKey(int key, TShiftState shift)
{
    bool taken = false;
    forEachControl([&](TCustomControl& c) {
        if (!c.isEnabled() || !c.isVisible())
            return false;
        RunGuarded([&] { taken = c.DialogKey(key, shift); });
        return taken;
    });
    return taken;
}

bool TForm::DispatchDialogChar(char32_t ch)
{
    bool taken = false;
    forEachControl([&](TCustomControl& c) {
        if (!c.isEnabled() || !c.isVisible())
            return false;
        RunGuarded([&] { taken = c.DialogChar(ch); });
        return taken;
    });
    return taken;
}

void TForm::keyPressEvent(QKeyEvent* e)
{
    const int key = VirtualKey(e->key());
    const TShiftState shift = ShiftState(e->modifiers());
    if (key == VK_RETURN || key == VK_ESCAPE) {
        DispatchDialogKey(key, shift);
        return;  // never QDialog's implicit accept/reject
    }
    if (DispatchAccelerator(key, shift, e->text()))
        return;
    QDialog::keyPressEvent(e);
}

bool TForm::DispatchAccelerator(int key, TShiftState shift, const QString& text)
{
    if (!(shift & ssAlt))
        return false;
    const char32_t ch = key >= 'A' && key <= 'Z' ? char32_t(key) : text.toUpper().toUcs4().value(0);
    return ch != 0 && DispatchDialogChar(ch);
}

void TForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);  // centres a dialog over its owner
    if (!e->spontaneous())
        PlaceOnScreen();
    if (loading_) {
        loading_ = false;
        forEachControl([](TCustomControl& c) { RunGuarded([&] { c.Loaded(); }); return false; });
    }
    if (OnShow)
        RunGuarded([this] { OnShow(this); });
}

void TForm::closeEvent(QCloseEvent* e)
{
    bool canClose = true;
    if (OnCloseQuery)
        RunGuarded([&] { OnCloseQuery(this, canClose); });
    if (!canClose) {
        e->ignore();
        return;
    }
    if (OnClose)
        RunGuarded([this] { OnClose(this); });
    QDialog::closeEvent(e);
}

void TForm::PlaceOnScreen()
{
    FitWindowOnScreen(*this, TScreenFit::Inside);
}

void TForm::reject()
{
    if (modalResult_ == mrNone)
        modalResult_ = mrCancel;
    QDialog::reject();
}

}  // namespace forms
