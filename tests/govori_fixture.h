#pragma once
// A library folder with a catalogue for the main window's tests, and the session that runs on it.

#include "FakePlatform.h"
#include "core/storage/Catalogue.h"
#include "core/storage/WorkFileBuilder.h"
#include "ui/Session.h"

#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <memory>

namespace vel::test {

struct Work {
    QString title;
    QString author;
    QStringList pages; // a work file is written when there are pages
};

// A catalogue holding the works in order, ending with its entry slot.
inline void makeCatalogue(const QString& dir, const QList<Work>& works) {
    auto opened = Catalogue::open(dir);
    QVERIFY2(opened, qPrintable(opened.error));
    Catalogue& cat = *opened.catalogue;
    for (const Work& w : works) {
        cat.rs().MoveLast();
        cat.rs().Edit();
        cat.rs().setField(QStringLiteral("Name"), w.title);
        cat.rs().setField(QStringLiteral("Number"), w.author);
        cat.rs().setField(QStringLiteral("Font"), QStringLiteral("Tahoma"));
        cat.rs().setField(QStringLiteral("Size"), QStringLiteral("14"));
        cat.rs().setField(QStringLiteral("STR"), QStringLiteral("1"));
        cat.rs().setField(QStringLiteral("CvetList"), QStringLiteral("16777215"));
        cat.rs().setField(QStringLiteral("CvetForma"), QStringLiteral("12632256"));
        QVERIFY(cat.rs().Update());
        QVERIFY(cat.prazenZapis());
        if (!w.pages.isEmpty()) {
            WorkFileBuilder b;
            QVERIFY(b.begin(dir, w.title));
            for (const QString& p : w.pages)
                QVERIFY(b.appendPage(p));
            QVERIFY(b.commit());
        }
    }
}

// One run on its own library folder.
struct Run {
    QTemporaryDir dir;
    FakePlatform fake;
    std::unique_ptr<Session> session;

    explicit Run(const QList<Work>& works = {
                     {QStringLiteral("Под игото"), QStringLiteral("Иван Вазов"), {}}}) {
        makeCatalogue(dir.path(), works);
        session = std::make_unique<Session>(fake, dir.path());
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
