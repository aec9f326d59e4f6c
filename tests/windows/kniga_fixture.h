#pragma once
// A library folder with works written through storage, a running session on it, and the book window opened
// as the management window opens it.

#include "CatalogueFixture.h"
#include "FakePlatform.h"
#include "core/book/Fonts.h"
#include "core/storage/Catalogue.h"
#include "core/storage/WorkFile.h"
#include "core/storage/WorkFileBuilder.h"
#include "ui/Session.h"
#include "windows/FormB.h"
#include "windows/Govori.h"
#include "windows/KNIGA.h"
#include "windows/WindowSet.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace vel::test {

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

    explicit Library(QList<LibraryWork> works) {
        for (LibraryWork& w : works)
            w.cvetList = QStringLiteral("14745599");
        installDesignFonts();
        fake.setScreenPixels(1024, 768);
        writeLibrary(dir.path(), works);
        session = std::make_unique<Session>(fake, dir.path());
        registerWindows(*session);
        main().show();
        settle();
    }
    ~Library() { session.reset(); }

    Session& s() { return *session; }
    Govori& main() { return session->window<Govori>(); }
    FormB& formB() { return session->window<FormB>(); }
    KNIGA* book() { return session->loaded<KNIGA>(); }
    Catalogue& catalogue() { return *formB().catalogue(); }

    // The reading state as choosing a title leaves it (Text8 = the bookmark), in the given mode.
    void setCarriers(const QString& title, const QString& bookmark, const QString& mode) {
        FormB& b = formB();
        ReadingState& st = s().reading();
        b.TxtName->setText(title);
        st.setWorkName(title);
        st.setTitle(title);
        st.setFontName(QStringLiteral("Tahoma"));
        st.setFontSize(QStringLiteral("14"));
        st.setBookmark(bookmark);
        st.setPageColor(QStringLiteral("14745599"));
        st.setFormColor(QStringLiteral("12632256"));
        st.setMode(mode);
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
