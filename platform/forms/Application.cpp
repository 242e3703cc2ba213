#include "platform/forms/Application.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QtGlobal>

namespace forms {

namespace {
TExceptionReporter& reporter()
{
    static TExceptionReporter r = [](const std::string& m) { qWarning("%s", m.c_str()); };
    return r;
}
}  // namespace

void SetExceptionReporter(TExceptionReporter r)
{
    reporter() = std::move(r);
}

void HandleException(const std::exception& e)
{
    if (reporter())
        reporter()(e.what());
}

bool RunGuarded(const std::function<void()>& fn)
{
    try {
        fn();
        return true;
    } catch (const std::exception& e) {
        HandleException(e);
    } catch (...) {
        HandleException(std::runtime_error("Unknown error"));
    }
    return false;
}

void PostToUiThread(std::function<void()> fn)
{
    PostToUiThread(QCoreApplication::instance(), std::move(fn));
}

void PostToUiThread(QObject* context, std::function<void()> fn)
{
    if (!context)
        return;
    QMetaObject::invokeMethod(context, [f = std::move(fn)] { RunGuarded(f); }, Qt::QueuedConnection);
}

void ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

namespace {
int paintDepth = 0;  // UI thread only
}  // namespace

bool InPaintEvent()
{
    return paintDepth > 0;
}

PaintEventScope::PaintEventScope()
{
    ++paintDepth;
}

PaintEventScope::~PaintEventScope()
{
    --paintDepth;
}

}  // namespace forms
