// The book window's contents, search and marks panel, and a note read over the page without turning it.
#include "kniga_fixture.h"
#include "windows/book/BookFinder.h"

#include <QLineEdit>
#include <QTreeWidget>

using namespace vel;
using namespace vel::test;

namespace {

const QString kTitle = QStringLiteral("Бележки");

// Six pages, a chapter on every odd one, a note reference on the first.
QStringList pages() {
    QStringList p;
    for (int i = 1; i <= 6; ++i)
        p << (i % 2 ? QStringLiteral("Глава %1\r\nТекст[1] номер %1.\r\n").arg(i)
                    : QStringLiteral("Продължение %1.\r\n").arg(i));
    return p;
}

void writeWork(const QString& dir) {
    writeLibrary(dir, {{kTitle, {}}});
    BookNavigation nav;
    int at = 0;
    for (int i = 1; i <= 6; ++i) {
        if (i % 2)
            nav.contents.push_back({1, QStringLiteral("Глава %1").arg(i), at});
        at += int(pages()[i - 1].size());
    }
    nav.notes.push_back({int(pages()[0].indexOf(u'[')), 3, QStringLiteral("Бележката под линия.")});
    WorkFileBuilder b;
    QVERIFY(b.begin(dir, kTitle));
    QVERIFY(b.setNavigation(nav));
    for (const QString& p : pages())
        QVERIFY(b.appendPage(p));
    QVERIFY(b.commit());
}

// Where the view shows the character at `index` of its page text.
QPoint charAt(RichTextView* view, int index) {
    QTextCursor c(view->document());
    c.setPosition(view->documentPosition(index) + 1);
    const QRect r = view->cursorRect(c);
    return QPoint(r.left() - 3, r.center().y());
}

QStringList rows(QTreeWidget* list) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(0).trimmed() + u'|' + list->topLevelItem(i)->text(1);
    return out;
}

} // namespace

class TestFinder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void contentsSearchAndMarksOpenTheirSpreads() {
        Library lib({});
        writeWork(lib.dir.path());
        KNIGA& k = lib.open(kTitle);
        BookFinder* f = k.finder();
        QVERIFY(f);

        f->showPanel(BookFinder::Mode::Contents);
        QVERIFY(f->panelVisible());
        QCOMPARE(rows(f->list()), (QStringList{"Глава 1|1", "Глава 3|3", "Глава 5|5"}));
        f->choose(2);
        QCOMPARE(k.Label1->text(), QStringLiteral("5"));
        QVERIFY(!f->panelVisible());

        f->showPanel(BookFinder::Mode::Search);
        f->searchBox()->setText(QStringLiteral("ПРОДЪЛЖЕНИЕ 4"));
        QTRY_COMPARE(f->list()->topLevelItemCount(), 1);
        QVERIFY(rows(f->list())[0].contains(QStringLiteral("номер 3. Продължение 4. Глава 5")));
        QVERIFY(rows(f->list())[0].endsWith(QStringLiteral("|4")));
        f->choose(0);
        QCOMPARE(k.Label1->text(), QStringLiteral("3"));
        // The hit is marked on its page: the right one here.
        QCOMPARE(k.R2->extraSelections().size(), 1);
        QCOMPARE(k.R2->extraSelections()[0].cursor.selectedText(), QStringLiteral("Продължение 4"));

        // A mark of the spread on show, listed with its page, and removed.
        const size_t messages = lib.fake.messages.size();
        f->markSpread();
        f->showPanel(BookFinder::Mode::Marks);
        QCOMPARE(f->list()->topLevelItemCount(), 1);
        QCOMPARE(f->list()->topLevelItem(0)->text(1), QStringLiteral("3"));
        QVERIFY(f->list()->topLevelItem(0)->text(0).endsWith(QStringLiteral("Глава 3 Текст[1] номер 3.")));
        f->list()->setCurrentItem(f->list()->topLevelItem(0));
        f->removeMark(f->list()->topLevelItem(0)->data(0, Qt::UserRole).toLongLong());
        QCOMPARE(f->list()->topLevelItemCount(), 0);
        QCOMPARE(lib.fake.messages.size(), messages);
    }

    void aNoteOpensOverThePageAndCloses() {
        Library lib({});
        writeWork(lib.dir.path());
        KNIGA& k = lib.open(kTitle);
        NotePopup* popup = k.finder()->notePopup();
        const QPoint marker = charAt(k.R1, int(pages()[0].indexOf(u'[')) + 1);

        QTest::mouseClick(k.R1->viewport(), Qt::LeftButton, {}, marker);
        QVERIFY(popup->isVisible());
        QCOMPARE(popup->text(), QStringLiteral("Бележката под линия."));
        QCOMPARE(k.Label1->text(), QStringLiteral("1"));
        QTest::keyClick(popup, Qt::Key_Escape);
        QVERIFY(!popup->isVisible());

        // A click closes it and does not turn the page; the next click turns as ever.
        QTest::mouseClick(k.R1->viewport(), Qt::LeftButton, {}, marker);
        QVERIFY(popup->isVisible());
        QTest::mouseClick(k.R2->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!popup->isVisible());
        QCOMPARE(k.Label1->text(), QStringLiteral("1"));
        QTest::mouseClick(k.R2->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(k.Label1->text(), QStringLiteral("3"));
    }
};

QTEST_MAIN(TestFinder)
#include "tst_finder.moc"
