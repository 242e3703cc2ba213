// The program's link to the event loop: running a handler so that no exception crosses Qt's
// event loop (the failure is reported through one replaceable reporter, by default a log
// line; the program installs its own message box), posting a call to the user-interface
// thread from any thread, and serving pending events from inside a long handler.
//
// PostToUiThread may be called from any thread; the rest is for the UI thread.
#pragma once
#include <exception>
#include <functional>
#include <string>

class QObject;

namespace forms {

// Receives the message of every exception caught by RunGuarded.
using TExceptionReporter = std::function<void(const std::string& message)>;
void SetExceptionReporter(TExceptionReporter reporter);
// Reports an exception as an unhandled handler failure would be.
void HandleException(const std::exception& e);

// Runs fn; an exception it raises is reported and swallowed. Returns false after a failure.
bool RunGuarded(const std::function<void()>& fn);

// Queues fn to run on the UI thread (guarded). With a context object, the call is dropped
// when that object is destroyed before it runs.
void PostToUiThread(std::function<void()> fn);
void PostToUiThread(QObject* context, std::function<void()> fn);

// Serves the events that are pending now, then returns.
void ProcessMessages();

// Whether a control's paint event is running: no nested event loop may run then.
bool InPaintEvent();
// Marks a paint event for its scope.
class PaintEventScope {
public:
    PaintEventScope();
    ~PaintEventScope();
    PaintEventScope(const PaintEventScope&) = delete;
    PaintEventScope& operator=(const PaintEventScope&) = delete;
};

}  // namespace forms
