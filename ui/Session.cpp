#include "ui/Session.h"

#include "core/speech/EspeakEngine.h"
#include "ui/QtAudioOutput.h"
#include "ui/Speaker.h"
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

Speaker& Session::speaker() {
    if (!speaker_) {
        if (!engines_)
            engines_ = defaultSpeechEngineFactory();
        std::unique_ptr<AudioOutput> output = outputs_ ? outputs_() : std::make_unique<QtAudioOutput>();
        speaker_ = std::make_unique<Speaker>(libraryDir_, engines_, std::move(output));
    }
    return *speaker_;
}

void Session::setSpeechParts(SpeechEngineFactory engines, AudioOutputFactory outputs) {
    engines_ = std::move(engines);
    outputs_ = std::move(outputs);
    speaker_.reset();
}

void Session::setWindowFactory(Role role, WindowFactory factory) {
    factories_[role] = std::move(factory);
}

Window& Session::open(Role role) {
    if (Window* w = loaded(role))
        return *w;
    auto f = factories_.find(role);
    if (f == factories_.end())
        qFatal("Session::open: no window registered for role %d", int(role));
    Window* w = f->second(*this).release();
    windows_[role].reset(w);
    w->Form_Load();
    return *w;
}

Window* Session::loaded(Role role) const {
    auto it = windows_.find(role);
    return it == windows_.end() ? nullptr : it->second.get();
}

void Session::show(Role role) {
    open(role).show();
}

void Session::hide(Role role) {
    if (Window* w = loaded(role))
        w->hide();
}

void Session::close(Role role) {
    if (Window* w = loaded(role))
        unload(w);
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
