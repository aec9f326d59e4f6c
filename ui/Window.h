#pragma once
// The base of the five windows: load on first touch, show and hide, close = unload, the form's own handlers.

#include "ui/Controls.h"
#include "ui/TwipsBox.h"

#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace vel {

class Session;

class Window : public QWidget {
    Q_OBJECT
public:
    enum class StartState { Normal, Maximized, Minimized };

    Window(Session& session, const QString& name);
    ~Window() override;

    Session& session() const { return session_; }

    // The form's handlers, named as the windows' own code names them.
    virtual void Form_Load() {}
    virtual void Form_Resize() {}
    virtual void Form_Unload() {}
    virtual void Form_MouseMove() {}

    // Shows the window; the first show applies the design's start state (maximized, minimized).
    void show();
    // Unloads the window: its unload handler runs and the instance is gone; touching it loads a new one.
    void close();
    bool isLoaded() const { return !unloading_; }

Q_SIGNALS:
    void backColorChanged();

public:

    // The designed controls in creation order (lines, shapes and timers included).
    const std::vector<QObject*>& controls() const { return controls_; }

    void setBackColor(std::int32_t colorNumber);
    std::int32_t backColor() const { return backColor_; }
    void setBackgroundPicture(const QPixmap& picture);
    void setStartState(StartState state) { startState_ = state; }

    // Design helpers: create a control with its design name (also its objectName), kind and box in twips.
    template <class T> T* add(T* control, ControlKind kind, const QString& name) {
        control->setObjectName(name);
        setControlKind(control, kind);
        controls_.push_back(control);
        return control;
    }
    template <class T> T* add(T* widget, ControlKind kind, const QString& name, const TwipsRect& box) {
        add(widget, kind, name);
        setTwipsBox(widget, box);
        return widget;
    }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    friend class Session;
    Session& session_;
    std::vector<QObject*> controls_;
    std::int32_t backColor_;
    QPixmap background_;
    StartState startState_ = StartState::Normal;
    bool shownOnce_ = false;
    bool unloading_ = false;
};

} // namespace vel
