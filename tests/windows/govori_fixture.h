#pragma once
// A library folder with a catalogue for the main window's tests, and the session that runs on it.

#include "CatalogueFixture.h"
#include "FakePlatform.h"
#include "ui/Session.h"
#include "windows/WindowSet.h"

#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <memory>

namespace vel::test {

// One run on its own library folder.
struct Run {
    QTemporaryDir dir;
    FakePlatform fake;
    std::unique_ptr<Session> session;

    explicit Run(const QList<LibraryWork>& works = {
                     {QStringLiteral("Под игото"), {}, QStringLiteral("1"), QStringLiteral("Иван Вазов")}}) {
        writeLibrary(dir.path(), works);
        session = std::make_unique<Session>(fake, dir.path());
        registerWindows(*session);
    }
    ~Run() {
        // Unload like the end of a run; deferred deletes are flushed with the session.
        session.reset();
    }
    Session& s() { return *session; }
};

inline void sendMouse(QWidget* w, QEvent::Type type, Qt::MouseButton button = Qt::NoButton) {
    const QPointF pos(2, 2);
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button,
                  type == QEvent::MouseButtonPress ? Qt::MouseButtons(button)
                                                   : Qt::MouseButtons(Qt::NoButton),
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace vel::test
