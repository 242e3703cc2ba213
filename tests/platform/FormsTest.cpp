// Windows and controls' base: modal results, dialog keys, painting through the canvas,
// parent colours, loading state, mouse capture, timers and posted calls.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QTimer>

#include "platform/forms/Application.h"
#include "platform/forms/Form.h"
#include "platform/forms/Image.h"
#include "platform/gfx/Jpeg.h"
#include "platform/forms/Timer.h"
#include "support/WaitFor.h"

using namespace forms;

using testsupport::waitFor;

// How long a test waits for what it expects.
constexpr int kWaitMs = 5000;

namespace {

// A small button of our own: answers Return when Default, Escape when Cancel, and its
// accelerator, by setting the form's modal result.
class TestButton : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    bool Default = false, Cancel = false;
    int Result = mrNone;
    char32_t Accel = 0;
    int loaded = 0, focusNotices = 0, ups = 0, clicks = 0;
    bool DialogKey(int key, TShiftState) override
    {
        if ((Default && key == VK_RETURN) || (Cancel && key == VK_ESCAPE)) {
            ParentForm()->SetModalResult(Result);
            return true;
        }
        return false;
    }
    bool DialogChar(char32_t ch) override
    {
        if (ch != Accel)
            return false;
        ParentForm()->SetModalResult(Result);
        return true;
    }
    void Loaded() override { ++loaded; }
    void FocusChanged(QWidget*) override { ++focusNotices; }

protected:
    void Paint() override
    {
        Canvas().Brush().SetColor(Color());
        Canvas().Pen().SetColor(gfx::clBlack);
        Canvas().Rectangle(0, 0, Width(), Height());
    }
    void MouseUp(TMouseButton, TShiftState, int, int) override { ++ups; }
    void Click() override { ++clicks; }
};

void sendKey(QWidget* w, int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, qtKey, mods, text);
    QApplication::sendEvent(w, &press);
}

void sendMouse(QWidget* w, QEvent::Type type, QPoint p)
{
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

TEST(Forms, SettingModalResultClosesTheModalWindow)
{
    TForm f;
    QTimer::singleShot(0, &f, [&] { f.SetModalResult(mrYes); });
    EXPECT_EQ(f.ShowModal(), mrYes);
    EXPECT_FALSE(f.isVisible());
    // Closing the window gives mrCancel.
    TForm g;
    QTimer::singleShot(0, &g, [&] { g.close(); });
    EXPECT_EQ(g.ShowModal(), mrCancel);
    // Outside a modal run the result is only stored.
    TForm h;
    h.show();
    h.SetModalResult(mrOk);
    EXPECT_TRUE(h.isVisible());
}

TEST(Forms, ReturnAndEscapeReachOurDefaultAndCancelButtons)
{
    TForm f;
    auto* ok = new TestButton(&f);
    ok->Default = true;
    ok->Result = mrOk;
    auto* cancel = new TestButton(&f);
    cancel->Cancel = true;
    cancel->Result = mrCancel;
    cancel->Accel = U'C';
    cancel->setFocusPolicy(Qt::StrongFocus);
    QTimer::singleShot(0, &f, [&] { sendKey(cancel, Qt::Key_Return); });
    EXPECT_EQ(f.ShowModal(), mrOk);  // Return went to the default button, not the focused one
    QTimer::singleShot(0, &f, [&] { sendKey(&f, Qt::Key_Escape); });
    EXPECT_EQ(f.ShowModal(), mrCancel);
    cancel->Result = mrAbort;
    QTimer::singleShot(0, &f, [&] { sendKey(&f, Qt::Key_C, Qt::AltModifier, "c"); });
    EXPECT_EQ(f.ShowModal(), mrAbort);
    // Alt+letter reaches the window's accelerators also while one of our controls has the focus.
    cancel->Result = mrRetry;
    f.show();
    sendKey(ok, Qt::Key_C, Qt::AltModifier, "c");
    EXPECT_EQ(f.ModalResult(), mrRetry);
    f.hide();
    // Escape without a Cancel control does not close the window.
    TForm g;
    g.show();
    sendKey(&g, Qt::Key_Escape);
    EXPECT_TRUE(g.isVisible());
}

// A key field: wants Return itself when told to, and logs the keys its OnKeyDown saw.
class KeyField : public TCustomControl {
public:
    bool WantsReturn = false;
    std::vector<int> seen;
    explicit KeyField(QWidget* parent) : TCustomControl(parent)
    {
        OnKeyDown = [this](QObject*, int& key, TShiftState) { seen.push_back(key); };
    }

protected:
    bool WantsKey(int key) const override { return WantsReturn && key == VK_RETURN; }
};

TEST(Forms, DefaultButtonAnswersReturnUnlessTheFocusedControlWantsIt)
{
    TForm f;
    auto* field = new KeyField(&f);
    // Without a Default button, Return and Escape reach the control's OnKeyDown.
    sendKey(field, Qt::Key_Return);
    sendKey(field, Qt::Key_Escape);
    EXPECT_EQ(field->seen, (std::vector<int>{VK_RETURN, VK_ESCAPE}));
    // A Default button answers Return before a control that does not want it.
    auto* ok = new TestButton(&f);
    ok->Default = true;
    ok->Result = mrOk;
    field->seen.clear();
    QTimer::singleShot(0, &f, [&] { sendKey(field, Qt::Key_Return); });
    EXPECT_EQ(f.ShowModal(), mrOk);
    EXPECT_TRUE(field->seen.empty());
    // A control that wants Return keeps it from the Default button.
    field->WantsReturn = true;
    f.show();
    f.SetModalResult(mrNone);
    sendKey(field, Qt::Key_Return);
    EXPECT_EQ(field->seen, std::vector<int>{VK_RETURN});
    EXPECT_EQ(f.ModalResult(), mrNone);
}

TEST(Forms, ControlsPaintThroughTheirCanvasAndFollowTheParentColour)
{
    TForm f;
    auto* a = new TestButton(&f);
    auto* b = new TestButton(&f);
    a->setGeometry(0, 0, 10, 8);
    b->SetColor(gfx::clLime);
    f.SetColor(gfx::clRed);
    EXPECT_EQ(a->Color(), gfx::clRed);
    EXPECT_EQ(b->Color(), gfx::clLime);
    const QImage img = a->grab().toImage();
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 0));        // the outline
    EXPECT_EQ(img.pixel(9, 7), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(4, 4), qRgb(255, 0, 0));      // parent's colour as brush
    // Drawing outside Paint lands in the same picture.
    a->Canvas().SetPixel(4, 4, gfx::clBlue);
    EXPECT_EQ(a->Canvas().Pixels(4, 4), gfx::clBlue);
    // Fonts follow the parent until set.
    f.Font().SetName("Arial");
    EXPECT_EQ(a->Font().Name(), "Arial");
    a->Font().SetSize(20);
    f.Font().SetName("Tahoma");
    EXPECT_EQ(a->Font().Name(), "Arial");
    EXPECT_FALSE(a->ParentFont());
}

TEST(Forms, LoadingLastsUntilTheFirstShow)
{
    TForm f;
    new QWidget(&f);  // plain Qt widgets beside ours are left alone
    auto* c = new TestButton(&f);
    new QLabel("x", &f);
    EXPECT_TRUE(c->Loading());
    f.show();
    EXPECT_FALSE(c->Loading());
    EXPECT_EQ(c->loaded, 1);
    f.hide();
    f.show();
    EXPECT_EQ(c->loaded, 1);
}

TEST(Forms, MouseReleaseOutsideWithAndWithoutCapture)
{
    TestButton b;
    b.resize(20, 20);
    sendMouse(&b, QEvent::MouseButtonPress, {5, 5});
    sendMouse(&b, QEvent::MouseButtonRelease, {50, 50});
    EXPECT_EQ(b.ups, 1);     // captured: the release is reported
    EXPECT_EQ(b.clicks, 0);  // but it is no click
    b.SetCaptureMouse(false);
    sendMouse(&b, QEvent::MouseButtonPress, {5, 5});
    sendMouse(&b, QEvent::MouseButtonRelease, {50, 50});
    EXPECT_EQ(b.ups, 1);
    sendMouse(&b, QEvent::MouseButtonPress, {5, 5});
    sendMouse(&b, QEvent::MouseButtonRelease, {6, 6});
    EXPECT_EQ(b.ups, 2);
    EXPECT_EQ(b.clicks, 1);
}

TEST(Forms, TimerFiresWhileEnabledAndSurvivesAFailingHandler)
{
    std::vector<std::string> reports;
    SetExceptionReporter([&](const std::string& m) { reports.push_back(m); });
    TTimer t;
    int ticks = 0;
    t.SetInterval(1);
    t.SetOnTimer([&] {
        if (++ticks == 1)
            throw std::runtime_error("tick failed");
    });
    EXPECT_TRUE(waitFor([&] { return ticks >= 3; }, kWaitMs));
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0], "tick failed");
    t.SetEnabled(false);
    const int stopped = ticks;
    QApplication::processEvents();
    EXPECT_EQ(ticks, stopped);
    SetExceptionReporter(nullptr);
}

TEST(Forms, PostedCallsRunOnTheUiThread)
{
    const auto ui = std::this_thread::get_id();
    std::thread::id ranOn;
    bool ran = false;
    std::thread worker([&] { PostToUiThread([&] { ranOn = std::this_thread::get_id(); ran = true; }); });
    worker.join();
    EXPECT_TRUE(waitFor([&] { return ran; }, kWaitMs));
    EXPECT_EQ(ranOn, ui);
    // A call bound to an object that is gone is dropped.
    bool late = false;
    {
        QObject context;
        PostToUiThread(&context, [&] { late = true; });
    }
    QApplication::processEvents();
    EXPECT_FALSE(late);
    EXPECT_FALSE(RunGuarded([] { throw std::runtime_error("x"); }));
}

TEST(Forms, ImageShowsItsPictureAndItsCanvasDrawsOnIt)
{
    TImage img;
    img.resize(40, 20);
    // Drawing on an empty image makes a bitmap of the control's size.
    img.Canvas().Brush().SetColor(gfx::clRed);
    img.Canvas().FillRect(gfx::Rect(0, 0, 40, 20));
    ASSERT_NE(img.Picture().Graphic(), nullptr);
    EXPECT_EQ(img.Picture().Width(), 40);
    EXPECT_EQ(img.grab().toImage().pixel(10, 10), qRgb(255, 0, 0));

    auto pic = std::make_unique<gfx::TBitmap>(10, 10, gfx::pf24bit);
    img.Picture().TakeGraphic(std::move(pic));
    EXPECT_EQ(img.DestRect(), gfx::Rect(0, 0, 10, 10));
    img.SetCenter(true);
    EXPECT_EQ(img.DestRect(), gfx::Rect(15, 5, 25, 15));
    img.SetStretch(true);
    img.SetProportional(true);
    EXPECT_EQ(img.DestRect(), gfx::Rect(10, 0, 30, 20));
    img.SetAutoSize(true);
    EXPECT_EQ(img.width(), 10);
    img.Picture().TakeGraphic(std::make_unique<gfx::TJPEGImage>());
    EXPECT_THROW(img.Canvas(), gfx::EInvalidGraphicOperation);
}

TEST(Forms, PlainLettersOnAControlReachTheAccelerators)
{
    TForm f;
    auto* yes = new TestButton(&f);
    yes->Accel = U'Y';
    yes->Result = mrYes;
    yes->setFocusPolicy(Qt::StrongFocus);
    QTimer::singleShot(0, &f, [&] { sendKey(yes, Qt::Key_Y, Qt::NoModifier, "y"); });
    EXPECT_EQ(f.ShowModal(), mrYes);
}

TEST(Forms, SeeThroughControlsStartFromTheParentsPicture)
{
    TPaintBox parent;
    parent.resize(30, 30);
    parent.OnPaint = [&](QObject*) {
        parent.Canvas().Brush().SetColor(gfx::clBlue);
        parent.Canvas().FillRect(gfx::Rect(0, 0, 30, 30));
    };
    auto* child = new TPaintBox(&parent);
    child->setGeometry(5, 5, 10, 10);
    child->OnPaint = [&](QObject*) { child->Canvas().SetPixel(0, 0, gfx::clRed); };
    child->SetTransparentBackground(true);
    const QImage img = child->grab().toImage();
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(5, 5), qRgb(0, 0, 255));
}

namespace {

// A window whose handlers on its children count into `calls`; its list is cleared in its
// destructor, after Stop, as the main window's lists are when it goes.
class HandlerWindow : public TForm {
public:
    explicit HandlerWindow(int& calls) : list(new QListWidget(this)), control(new TCustomControl(this))
    {
        list->addItems({"a", "b"});
        Handlers.Connect(list->model(), &QAbstractItemModel::modelReset, this, [&calls] { ++calls; });
        Handlers.Connect(list->model(), &QAbstractItemModel::rowsRemoved, this, [&calls] { ++calls; });
        Handlers.Hook(control, [&calls](QEvent* e) { return e->type() == QEvent::User && ++calls > 0; });
        Handlers.Set(control->OnClick, [&calls](QObject*) { ++calls; });
    }
    ~HandlerWindow() override
    {
        Handlers.Stop();
        list->clear();
    }
    void Stop() { Handlers.Stop(); }
    QListWidget* list;
    TCustomControl* control;
};

}  // namespace

TEST(Forms, HandlersStopDeliveringWhenTheWindowsTeardownStarts)
{
    int calls = 0;
    auto fire = [](HandlerWindow& w) {
        delete w.list->takeItem(0);
        QEvent user(QEvent::User);
        QCoreApplication::sendEvent(w.control, &user);
        w.control->OnClick(nullptr);
    };
    {
        HandlerWindow w(calls);
        fire(w);
        EXPECT_EQ(calls, 3);  // a removed row, the hooked event, the click
        const TNotifyEvent kept = w.control->OnClick;
        w.Stop();
        fire(w);
        kept(nullptr);  // a copy held elsewhere is silenced as well
        EXPECT_EQ(calls, 3);
    }
    calls = 0;
    delete new HandlerWindow(calls);  // the destructor's own clear and the children's going
    EXPECT_EQ(calls, 0);
}

namespace {

// A window that previews its controls' keys (swallowing "x") and whose FormCreate fails once.
class PreviewWindow : public TForm {
public:
    explicit PreviewWindow(std::vector<int>& seen) : edit(new QLineEdit(this)), seen_(seen)
    {
        SetKeyPreview(true);
        DoCreate([this] { ++created; throw std::runtime_error("no settings"); });
        DoCreate([this] { ++created; });
    }
    ~PreviewWindow() override
    {
        Handlers.Stop();
        // What the controls' going may still deliver to them reaches no preview.
        QKeyEvent key(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, "c");
        QCoreApplication::sendEvent(edit, &key);
    }
    void Stop() { Handlers.Stop(); }
    QLineEdit* edit;
    int created = 0;

protected:
    bool PreviewEvent(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        seen_.push_back(static_cast<QKeyEvent*>(e)->key());
        return watched == edit && static_cast<QKeyEvent*>(e)->key() == Qt::Key_X;
    }

private:
    std::vector<int>& seen_;
};

}  // namespace

TEST(Forms, KeyPreviewSeesTheControlsKeysFirstUntilTheTeardownStarts)
{
    std::vector<std::string> reports;
    SetExceptionReporter([&](const std::string& m) { reports.push_back(m); });
    std::vector<int> seen;
    auto press = [](QWidget* w, Qt::Key key, const QString& text) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(w, &down);
    };
    {
        PreviewWindow w(seen);
        // FormCreate ran once, its failure reported, and the window was made all the same.
        EXPECT_EQ(w.created, 1);
        EXPECT_EQ(reports, std::vector<std::string>{"no settings"});
        press(w.edit, Qt::Key_A, "a");
        press(w.edit, Qt::Key_X, "x");
        EXPECT_EQ(seen, (std::vector<int>{Qt::Key_A, Qt::Key_X}));
        EXPECT_EQ(w.edit->text(), "a");  // the preview swallowed the x
        w.SetKeyPreview(false);
        press(w.edit, Qt::Key_X, "x");
        EXPECT_EQ(w.edit->text(), "ax");
        w.SetKeyPreview(true);
        w.Stop();
        press(w.edit, Qt::Key_B, "b");
        EXPECT_EQ(seen.size(), 2u);
        EXPECT_EQ(w.edit->text(), "axb");
    }
    seen.clear();
    delete new PreviewWindow(seen);
    EXPECT_TRUE(seen.empty());
    SetExceptionReporter(nullptr);
}
