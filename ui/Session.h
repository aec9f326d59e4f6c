#pragma once
// One run of the program: the platform, the library folder, the module-wide screen values and the five
// windows, each loaded when first touched.

#include "core/book/ScreenModule.h"
#include "core/speech/SpeechEngine.h"
#include "ui/Platform.h"

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <typeindex>

namespace vel {

class AudioOutput;
class Speaker;
class Window;

class Session : public QObject {
    Q_OBJECT
public:
    Session(Platform& platform, QString libraryDir, QObject* parent = nullptr);
    ~Session() override;

    Platform& platform() const { return platform_; }
    const QString& libraryDir() const { return libraryDir_; }
    ScreenModule& screen() { return screen_; }

    // Touching a window loads it first (its load handler runs once the instance is registered).
    template <class W> W& window() {
        if (W* w = loaded<W>())
            return *w;
        auto* w = new W(*this);
        windows_[std::type_index(typeid(W))].reset(w);
        w->Form_Load();
        return *w;
    }
    template <class W> W* loaded() const {
        auto it = windows_.find(std::type_index(typeid(W)));
        return it == windows_.end() ? nullptr : static_cast<W*>(it->second.get());
    }
    template <class W> bool isLoaded() const { return loaded<W>() != nullptr; }
    // Closing a window that is not loaded does nothing.
    template <class W> void close() {
        if (W* w = loaded<W>())
            unload(w);
    }

    // The one voice of the program, made at first use from the library's settings.
    Speaker& speaker();
    // What the speaker is made of; before its first use (tests speak without a voice or a sound card).
    using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;
    void setSpeechParts(SpeechEngineFactory engines, AudioOutputFactory outputs);

    void unload(Window* w);
    bool anyLoaded() const { return !windows_.empty(); }

Q_SIGNALS:
    // No window is loaded any more: the program ends.
    void lastWindowClosed();

private:
    struct DeferredDelete {
        void operator()(Window* w) const;
    };
    Platform& platform_;
    QString libraryDir_;
    ScreenModule screen_;
    SpeechEngineFactory engines_;
    AudioOutputFactory outputs_;
    // Outlives the windows, which may still hear from it while they go.
    std::unique_ptr<Speaker> speaker_;
    std::map<std::type_index, std::unique_ptr<Window, DeferredDelete>> windows_;
};

} // namespace vel
