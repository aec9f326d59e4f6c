#pragma once
// A library folder with works written through storage, a running session on it, and the book window opened
// as the management window opens it.

#include "FakePlatform.h"
#include "windows/Govori.h"
#include "windows/FormB.h"
#include "windows/KNIGA.h"
#include "core/storage/Catalogue.h"
#include "core/storage/WorkFile.h"
#include "core/storage/WorkFileBuilder.h"
#include "core/book/Fonts.h"
#include "ui/Session.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace vel::test {

struct BookWork {
    QString title;
    QStringList pages; // no work file without pages
    QString str = QStringLiteral("1");
};

// Pages "Страница 1" .. "Страница n".
inline QStringList numberedPages(int n) {
    QStringList pages;
    for (int i = 1; i <= n; ++i)
        pages << QStringLiteral("Страница %1").arg(i);
    return pages;
}

inline QString workPath(const QString& dir, const QString& title) {
    return dir + u'/' + title + u".mdb";
}

inline QStringList storedPages(const QString& path) {
    QStringList pages;
    auto wf = WorkFile::open(path);
    if (!wf)
        return pages;
    for (int i = 1; i <= wf->pageCount(); ++i)
        pages << wf->page(i).text;
    return pages;
}

// The catalogue's records as title -> STR, in stored order.
inline QList<QPair<QString, QString>> catalogueRecords(Catalogue& cat) {
    QList<QPair<QString, QString>> records;
    Recordset& rs = cat.rs();
    const int keep = rs.position();
    for (rs.MoveFirst(); !rs.eof(); rs.MoveNext())
        records.append({rs.field(QStringLiteral("Name")), rs.field(QStringLiteral("STR"))});
    rs.MoveFirst();
    if (keep > 0)
        rs.Move(keep);
    return records;
}

struct Library {
    QTemporaryDir dir;
    FakePlatform fake;
    std::unique_ptr<Session> session;

    explicit Library(const QList<BookWork>& works) {
        installDesignFonts();
        fake.setScreenPixels(1024, 768);
        auto opened = Catalogue::open(dir.path());
        if (!opened)
            qFatal("catalogue: %s", qPrintable(opened.error));
        Catalogue& cat = *opened.catalogue;
        for (const BookWork& w : works) {
            cat.rs().MoveLast();
            cat.rs().Edit();
            cat.rs().setField(QStringLiteral("Name"), w.title);
            cat.rs().setField(QStringLiteral("Number"), QStringLiteral("Автор"));
            cat.rs().setField(QStringLiteral("Font"), QStringLiteral("Tahoma"));
            cat.rs().setField(QStringLiteral("Size"), QStringLiteral("14"));
            cat.rs().setField(QStringLiteral("STR"), w.str);
            cat.rs().setField(QStringLiteral("CvetList"), QStringLiteral("14745599"));
            cat.rs().setField(QStringLiteral("CvetForma"), QStringLiteral("12632256"));
            cat.rs().Update();
            cat.prazenZapis();
            if (!w.pages.isEmpty()) {
                WorkFileBuilder b;
                b.begin(dir.path(), w.title);
                for (const QString& p : w.pages)
                    b.appendPage(p);
                if (!b.commit())
                    qFatal("work file: %s", qPrintable(b.errorString()));
            }
        }
        opened.catalogue.reset();
        session = std::make_unique<Session>(fake, dir.path());
        main().show();
        settle();
    }
    ~Library() { session.reset(); }

    Session& s() { return *session; }
    Govori& main() { return session->window<Govori>(); }
    FormB& formB() { return session->window<FormB>(); }
    KNIGA* book() { return session->loaded<KNIGA>(); }
    Catalogue& catalogue() { return *formB().catalogue(); }

    // The carriers as choosing a title leaves them (Text8 = the bookmark), in the given mode.
    void setCarriers(const QString& title, const QString& bookmark, const QString& mode) {
        FormB& b = formB();
        b.TxtName->setText(title);
        b.Text1->setText(title);
        b.Text2->setText(title);
        b.Text6->setText(QStringLiteral("Tahoma"));
        b.Text7->setText(QStringLiteral("14"));
        b.Text8->setText(bookmark);
        b.Text9->setText(QStringLiteral("14745599"));
        b.Text10->setText(QStringLiteral("12632256"));
        b.Label4->setText(mode);
    }

    // Opens a stored work at the bookmark, running the timed steps in their order.
    KNIGA& open(const QString& title, const QString& bookmark = QStringLiteral("1")) {
        setCarriers(title, bookmark, QStringLiteral("Nov"));
        KNIGA& k = session->window<KNIGA>();
        k.show();
        k.TimerPosleden_Timer();
        if (KNIGA* still = book()) {
            still->Timer2_Timer();
            if (still->naiPosleden->isActive())
                still->naiPosleden_Timer();
        }
        return k;
    }

    // Lets deferred deletes and queued calls run.
    static void settle() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
};

} // namespace vel::test
