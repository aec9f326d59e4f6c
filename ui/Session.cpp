#include "ui/Session.h"

#include "ui/Window.h"

namespace vel {

void Session::DeferredDelete::operator()(Window* w) const {
    // The window may be inside one of its own handlers: let the event loop delete it.
    w->deleteLater();
}

Session::Session(Platform& platform, QString libraryDir, QObject* parent)
    : QObject(parent), platform_(platform), libraryDir_(std::move(libraryDir)) {}

Session::~Session() {
    // At the end of a run every window is unloaded already; anything left goes without running handlers.
    for (auto& [type, w] : windows_)
        delete w.release();
}

void Session::unload(Window* w) {
    if (!w || w->unloading_)
        return;
    w->unloading_ = true;
    w->Form_Unload();
    w->QWidget::hide();
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
        if (it->second.get() == w) {
            windows_.erase(it);
            break;
        }
    }
    if (windows_.empty())
        Q_EMIT lastWindowClosed();
}

} // namespace vel
