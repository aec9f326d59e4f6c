// The book window reading stored works: opening at the bookmark, turning by mouse, keys and wheel, the
// fast-flip list, minimizing, closing with the bookmark, the missing file, and the hand-back.
#include "kniga_fixture.h"

#include "core/storage/Colors.h"
#include "windows/Form2.h"

#include <QScrollBar>
#include <QWheelEvent>

using namespace vel;
using namespace vel::test;

namespace {

QString pg(int n) {
    return QStringLiteral("Страница %1").arg(n);
}

void checkShown(KNIGA& k, int left, int count) {
    QCOMPARE(k.R1->text(), pg(left));
    QCOMPARE(k.R2->text(), left + 1 <= count ? pg(left + 1) : QString());
    QCOMPARE(k.Label1->text(), QString::number(left));
    QCOMPARE(k.Label2->text(), QString::number(left + 1));
    QCOMPARE(k.Combo1->currentText(), QString::number(left));
    QCOMPARE(k.pageCounter(), left + 1);
}

void clickPage(RichTextView* view) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(30, 30));
}

void wheel(QWidget* target, int delta) {
    const QPointF pos(20, 20);
    QWheelEvent e(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &e);
}

// Closes the book with the cross and lets the settings save run.
void closeAndSave(Library& lib) {
    lib.book()->Label11_Click();
    QVERIFY(lib.formB().TimerZapis->isActive());
    lib.formB().TimerZapis_Timer();
    Library::settle();
}

// The library back in its reading layout over the main window.
void checkLibraryShown(Library& lib) {
    FormB& b = lib.formB();
    QVERIFY(b.isVisible());
    QVERIFY(!b.Combo1->isHidden() && !b.Combo2->isHidden());
    QVERIFY(b.TxtName->isHidden() && b.Command3->isHidden() && b.Iztrii->isHidden());
    QVERIFY(lib.main().isVisible());
    QVERIFY(!lib.main().Text1->isHidden()); // an aphorism
}

QString storedStr(Library& lib, const QString& title) {
    for (const auto& [name, str] : catalogueRecords(lib.catalogue()))
        if (name == title)
            return str;
    return QStringLiteral("<none>");
}

} // namespace

class TstKniga : public QObject {
    Q_OBJECT

private slots:
    void opensAtBookmark();
    void turningByMouseKeysAndWheel();
    void closingRecordsTheLeftPage();
    void fontSizeSurvivesReading();
    void missingWorkFile();
    void fastFlipList();
    void minimizeAndRestoreKeepTheSpread();
    void handBack();
};

void TstKniga::opensAtBookmark() {
    Library lib({{QStringLiteral("Десет"), numberedPages(10)}});
    lib.main().Command6->show();
    lib.main().Command5->show();
    KNIGA& k = lib.open(QStringLiteral("Десет"), QStringLiteral("5"));
    checkShown(k, 5, 10);
    QCOMPARE(k.windowTitle(), QStringLiteral("Десет"));
    QVERIFY(lib.main().Command6->isHidden());
    QVERIFY(lib.main().Command5->isHidden());
    QVERIFY(lib.main().Text1->isHidden());
    // Both lists hold the left pages; the fast-flip list marks the one on show.
    QCOMPARE(k.lastPage(), 10);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(k.Combo1->itemText(i), QString::number(2 * i + 1));
        QCOMPARE(k.combo11->item(i)->text(), QString::number(2 * i + 1));
    }
    QCOMPARE(k.combo11->count(), 5);
    QCOMPARE(k.combo11->currentRow(), 2);
    // 1024 x 768: pages placed by the layout step for the window's size, the font scaled once, not stepped.
    QCOMPARE(k.fontStep, 0.0f);
    const TwipsRect window = twipsBox(&k);
    const BookLayout layout = bookLayout(window.width, window.height, twWidth(k.Label1), twWidth(k.Label2));
    QCOMPARE(twipsBox(k.R1), layout.r1);
    QCOMPARE(twipsBox(k.R2), layout.r2);
    QVERIFY(qAbs(k.R1->fontSize() - 14 * 0.989) < 1e-4);
    QCOMPARE(k.R1->viewport()->cursor().shape(), Qt::BitmapCursor);

    // A real start: the timers run the steps in their order, and nothing is written.
    const QDateTime before = QFileInfo(workPath(lib.dir.path(), QStringLiteral("Десет"))).lastModified();
    closeAndSave(lib);
    lib.setCarriers(QStringLiteral("Десет"), QStringLiteral("9"), QStringLiteral("Nov"));
    lib.s().window<KNIGA>().show();
    QTRY_COMPARE(lib.book()->lastPage(), 10);
    checkShown(*lib.book(), 9, 10);
    QCOMPARE(QFileInfo(workPath(lib.dir.path(), QStringLiteral("Десет"))).lastModified(), before);
}

void TstKniga::turningByMouseKeysAndWheel() {
    Library lib({{QStringLiteral("Седем"), numberedPages(7)}});
    KNIGA& k = lib.open(QStringLiteral("Седем"));
    clickPage(k.R1);
    checkShown(k, 1, 7);
    clickPage(k.R2);
    checkShown(k, 3, 7);
    clickPage(k.R2);
    clickPage(k.R2);
    checkShown(k, 7, 7);
    QCOMPARE(k.combo11->currentRow(), 3);
    clickPage(k.R2);
    checkShown(k, 7, 7);
    clickPage(k.R1);
    checkShown(k, 5, 7);

    QTest::keyClick(&k, Qt::Key_Right);
    checkShown(k, 7, 7);
    QTest::keyClick(&k, Qt::Key_PageUp);
    QTest::keyClick(&k, Qt::Key_Left);
    checkShown(k, 3, 7);
    QTest::keyClick(&k, Qt::Key_Space);
    QTest::keyClick(&k, Qt::Key_PageDown);
    checkShown(k, 7, 7);

    // The wheel turns one spread per notch, over the pages too, and never scrolls a page.
    wheel(k.R1->viewport(), 120);
    checkShown(k, 5, 7);
    wheel(&k, 60);
    checkShown(k, 5, 7);
    wheel(&k, 60);
    checkShown(k, 3, 7);
    wheel(k.R2->viewport(), -240);
    checkShown(k, 7, 7);
    QCOMPARE(k.R1->verticalScrollBar()->value(), 0);
}

void TstKniga::closingRecordsTheLeftPage() {
    const struct {
        int pages, turnsFrom1;
        QString recorded;
    } cases[] = {
        {100, 0, "1"},
        {100, 49, "95"},
        {99, 48, "93"},
        {4, 1, "3"},
    };
    for (const auto& c : cases) {
        Library lib({{QStringLiteral("Кн"), numberedPages(c.pages)},
                     {QStringLiteral("Друга"), numberedPages(3), "3"}});
        KNIGA& k = lib.open(QStringLiteral("Кн"));
        for (int i = 0; i < c.turnsFrom1; ++i)
            k.naprede();
        QCOMPARE(k.Combo1->currentText(), QString::number(1 + 2 * c.turnsFrom1));
        lib.main().setWindowTitle(QStringLiteral("Кн"));
        closeAndSave(lib);
        QVERIFY(!lib.book());
        QCOMPARE(lib.formB().Text8->text(), c.recorded);
        QCOMPARE(storedStr(lib, QStringLiteral("Кн")), c.recorded);
        QCOMPARE(storedStr(lib, QStringLiteral("Друга")), QStringLiteral("3"));
        checkLibraryShown(lib);
        QVERIFY(!lib.main().Command6->isHidden());
        QVERIFY(!lib.main().Command5->isHidden());
        QCOMPARE(lib.main().windowTitle(), QStringLiteral(" ВЕЛМОРА "));
    }
}

void TstKniga::fontSizeSurvivesReading() {
    // The size on show is scaled to the screen; the stored size is the one the work was opened with.
    Library lib({{QStringLiteral("Шрифт"), numberedPages(3)}});
    for (const char* size : {"14", "14.25"}) {
        lib.setCarriers(QStringLiteral("Шрифт"), QStringLiteral("1"), QStringLiteral("Nov"));
        lib.s().reading().setFontSize(QString::fromLatin1(size));
        lib.s().reading().setPageColor(QStringLiteral("-2147483643")); // a system colour
        KNIGA& k = lib.s().window<KNIGA>();
        k.show();
        k.TimerPosleden_Timer();
        k.Timer2_Timer();
        k.naiPosleden_Timer();
        QVERIFY(qAbs(k.R1->fontSize() - pointsFromText(QString::fromLatin1(size)).value() * 0.989) < 1e-4);
        closeAndSave(lib);
        QCOMPARE(lib.formB().Text7->text(), QString::fromLatin1(size));
        QCOMPARE(lib.formB().Text6->text(), QStringLiteral("Tahoma"));
        QCOMPARE(lib.formB().Text9->text(), QStringLiteral("-2147483643"));
        QCOMPARE(lib.formB().Text10->text(), QStringLiteral("12632256"));
        Recordset& rs = lib.catalogue().rs();
        rs.MoveFirst();
        QCOMPARE(rs.field(QStringLiteral("Size")), QString::fromLatin1(size));
    }
}

void TstKniga::missingWorkFile() {
    Library lib({{QStringLiteral("Изгубена"), {}, "17"}, {QStringLiteral("Друга"), numberedPages(3), "3"}});
    lib.open(QStringLiteral("Изгубена"), QStringLiteral("17"));
    QCOMPARE(lib.fake.messages.size(), size_t(1));
    const RecordedMessage& m = lib.fake.messages.back();
    QCOMPARE(m.title, QStringLiteral("ВНИМАНИЕ! НАЛИЧИЕ НА НЕСЪОТВЕТСТВИЕ! "));
    QCOMPARE(m.text,
             QStringLiteral("Съжалявам, но не намерих търсения файл.\r\nВъзможни са следните варианти:\r\n"
                            "файла е изтрит, преименуван или преместен.\r\nПроверете посочените възможности."
                            "\r\nЗа да продължи натиснете ОК!"));
    QCOMPARE(m.buttons, MsgButtons::Ok);
    QCOMPARE(m.icon, MsgIcon::None);
    QVERIFY(!lib.book());
    checkLibraryShown(lib);
    QVERIFY(lib.formB().TimerZapis->isActive());
    lib.formB().TimerZapis_Timer();
    QCOMPARE(storedStr(lib, QStringLiteral("Изгубена")), QStringLiteral("1"));
    QCOMPARE(storedStr(lib, QStringLiteral("Друга")), QStringLiteral("3"));

    // A bookmark that is no number takes the same path.
    Library other({{QStringLiteral("Лоша"), numberedPages(3)}});
    other.open(QStringLiteral("Лоша"), QStringLiteral("пет"));
    QCOMPARE(other.fake.messages.size(), size_t(1));
    QVERIFY(!other.book());
}

void TstKniga::fastFlipList() {
    Library lib({{QStringLiteral("Десет"), numberedPages(10)}});
    KNIGA& k = lib.open(QStringLiteral("Десет"));
    k.Label9_Click();
    QVERIFY(!k.combo11->isHidden());
    QCOMPARE(twHeight(k.combo11), twHeight(k.R1) - 450);
    QCOMPARE(k.combo11->palette().color(QPalette::Base), colorFromNumber(k.R1->backColor()));
    k.Label9_Click();
    QVERIFY(k.combo11->isHidden());

    k.Label9_Click();
    QTest::mouseClick(k.combo11->viewport(), Qt::LeftButton, {},
                      k.combo11->visualItemRect(k.combo11->item(3)).center());
    QVERIFY(k.combo11->isHidden());
    checkShown(k, 7, 10);
    QVERIFY(k.Timer3->isActive());
    k.Timer3_Timer();
    checkShown(k, 7, 10);
    k.naprede();
    checkShown(k, 9, 10);
    QCOMPARE(k.combo11->currentRow(), 4);

    // A turn and a click on the background both close the list.
    k.Label9_Click();
    clickPage(k.R1);
    QVERIFY(k.combo11->isHidden());
    QCOMPARE(k.combo11->currentRow(), 3);
    k.Label9_Click();
    k.Image1_Click();
    QVERIFY(k.combo11->isHidden());
}

void TstKniga::minimizeAndRestoreKeepTheSpread() {
    Library lib({{QStringLiteral("Десет"), numberedPages(10)}});
    KNIGA& k = lib.open(QStringLiteral("Десет"), QStringLiteral("5"));
    k.Label9_Click();
    k.Label12_Click();
    Form2* f = lib.s().loaded<Form2>();
    QVERIFY(f);
    QCOMPARE(f->windowTitle(), QStringLiteral("ТАРВИНА"));
    QVERIFY(f->isVisible());
    QVERIFY(f->isMinimized());
    QVERIFY(!k.isVisible());
    QVERIFY(!lib.main().isVisible());
    QVERIFY(!lib.formB().isVisible());

    f->showNormal(); // the user restores the task-bar entry
    QCoreApplication::processEvents();
    QVERIFY(k.isVisible());
    QVERIFY(lib.main().isVisible());
    QVERIFY(!lib.formB().isVisible());
    QVERIFY(f->isHidden());
    QCOMPARE(f->Label1->text(), QString());
    checkShown(k, 5, 10);
    QVERIFY(!k.combo11->isHidden());
    QCOMPARE(k.combo11->currentRow(), 2);

    // A second minimize shows the same entry again; closing it instead of restoring also brings the book
    // back.
    k.naprede();
    k.Label12_Click();
    QCOMPARE(lib.s().loaded<Form2>(), f);
    QVERIFY(f->isMinimized());
    QVERIFY(!k.isVisible());
    f->close();
    QCoreApplication::processEvents();
    QVERIFY(k.isVisible());
    checkShown(k, 7, 10);
}

void TstKniga::handBack() {
    {
        Library lib(
            {{QStringLiteral("Три"), {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, "3"}});
        KNIGA& k = lib.open(QStringLiteral("Три"), QStringLiteral("3"));
        lib.s().reading().setWorkName(QStringLiteral("друго"));
        k.Label7_Click();
        QCOMPARE(k.R1->text(), QStringLiteral("\r\n\r\n                       МОЛЯ ИЗЧАКАЙТЕ !"));
        QCOMPARE(k.R2->text(), QStringLiteral("\r\n\r\nГОЛЕМИТЕ ПРОИЗВЕДЕНИЯ ОТНЕМАТ ВРЕМЕ!"));
        QVERIFY(k.Timer4->isActive());
        k.Timer4_Timer();
        QVERIFY(!lib.book());
        QCOMPARE(lib.main().Ntext->text(), QStringLiteral("ABC"));
        QCOMPARE(lib.formB().Text1->text(), QStringLiteral("Три"));
        QCOMPARE(lib.formB().Text8->text(), QStringLiteral("1"));
        // The font and colour commands under the hidden pair are the ones within reach.
        QVERIFY(lib.main().Command6->isHidden());
        QVERIFY(lib.main().Command5->isHidden());
        QVERIFY(lib.main().isVisible());
        lib.formB().TimerZapis_Timer();
        QCOMPARE(storedStr(lib, QStringLiteral("Три")), QStringLiteral("1"));
        QCOMPARE(storedPages(workPath(lib.dir.path(), QStringLiteral("Три"))),
                 (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
    }
    {
        // An empty first page, and a page repeating everything before it, are left out.
        Library lib({{QStringLiteral("Празна"),
                      {QString(), QStringLiteral("X"), QStringLiteral("X"), QStringLiteral("Y")}}});
        KNIGA& k = lib.open(QStringLiteral("Празна"));
        k.Label7_Click();
        k.Timer4_Timer();
        QCOMPARE(lib.main().Ntext->text(), QStringLiteral("XY"));
    }
}

QTEST_MAIN(TstKniga)
#include "tst_kniga.moc"
