#include "platform/forms/Handlers.h"

namespace forms {

void THandlers::Stop()
{
    *live_ = false;
    for (const QMetaObject::Connection& c : connections_)
        QObject::disconnect(c);
    connections_.clear();
    for (const QPointer<TEventHook>& hook : hooks_)
        delete hook.data();  // a hook whose widget went already is null here
    hooks_.clear();
}

void THandlers::Hook(QObject* watched, std::function<bool(QEvent*)> handler)
{
    if (Stopped())
        return;
    hooks_.emplace_back(new TEventHook(watched, [live = live_, handler = std::move(handler)](QEvent* e) {
        return *live && handler(e);
    }));
}

}  // namespace forms
