#pragma once
// One run of the program: the platform, the library folder, the module-wide screen values and the five
// windows, each loaded when first touched.

#include "core/book/ScreenModule.h"
#include "core/reading/ReadingState.h"
#include "core/speech/SpeechEngine.h"
#include "ui/Platform.h"

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

namespace vel {

class AudioOutput;
class Speaker;
class Window;

// The windows by what they are for; a window opens, shows and hides another by its role.
enum class Role { Main, Library, Book, NameDialog, MinimizedBook, OnlineCatalogue };

// What another window asks of the library window.
enum class LibraryRequest {
    Reading,  // the lists, the entry form closed
    Lists,    // the lists shown again, the rest as it was
    Managing, // the entry form as it was left, or the add command; delete
    Reopen,   // the current work opened again as stored
    Reload,   // works were added from elsewhere: the lists filled anew
};

class Session : public QObject {
    Q_OBJECT
public:
    Session(Platform& platform, QString libraryDir, QObject* parent = nullptr);
    ~Session() override;

    Platform& platform() const { return platform_; }
    const QString& libraryDir() const { return libraryDir_; }
    ScreenModule& screen() { return screen_; }

    // What the windows share about the work in hand.
    ReadingState& reading() { return reading_; }

    // How each role's window is made; the window set registers all five.
    using WindowFactory = std::function<std::unique_ptr<Window>(Session&)>;
    void setWindowFactory(Role role, WindowFactory factory);

    // Touching a window loads it first (its load handler runs once the instance is registered).
    Window& open(Role role);
    Window* loaded(Role role) const;
    bool isLoaded(Role role) const { return loaded(role) != nullptr; }
    // Shows the role's window, loading it first.
    void show(Role role);
    // Hiding or closing a window that is not loaded does nothing.
    void hide(Role role);
    void close(Role role);

    // The same by the window's own type, for the program's start and for tests.
    template <class W> W& window() {
        if (!factories_.contains(W::kRole))
            setWindowFactory(W::kRole, [](Session& s) { return std::make_unique<W>(s); });
        return static_cast<W&>(open(W::kRole));
    }
    template <class W> W* loaded() const { return static_cast<W*>(loaded(W::kRole)); }
    template <class W> bool isLoaded() const { return isLoaded(W::kRole); }
    template <class W> void close() { close(W::kRole); }

    // Requests one window makes of another, heard by the window they concern.
    void askLibrary(LibraryRequest request) { Q_EMIT libraryAsked(request); }
    // An aphorism under the library window, or none.
    void askAphorism(bool shown) { Q_EMIT aphorismAsked(shown); }
    // The pointer left the picture buttons of a window: highlights elsewhere go out as well.
    void hoverLeft() { Q_EMIT hoverLeftButtons(); }

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
    void libraryAsked(LibraryRequest request);
    void aphorismAsked(bool shown);
    void hoverLeftButtons();

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
    ReadingState reading_;
    std::map<Role, WindowFactory> factories_;
    std::map<Role, std::unique_ptr<Window, DeferredDelete>> windows_;
};

// Shows one aphorism under the library window and empties the text panel.
inline void ShowAphorism(Session& session) {
    session.askAphorism(true);
}

} // namespace vel
