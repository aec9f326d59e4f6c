// Reading aloud in the windows: the text panel's selection and the book reading itself, with a fake voice.
#include "FakeSpeech.h"
#include "kniga_fixture.h"
#include "ui/Speaker.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QtTest>

using namespace vel;
using namespace vel::test;

namespace {

// The spoken texts of a library's pages, one per page, in reading order.
QStringList pageTexts(int n) {
    QStringList pages;
    for (int i = 1; i <= n; ++i)
        pages << QStringLiteral("Страница %1 чете се").arg(i);
    return pages;
}

void selectAll(RichTextView* view) {
    QTextCursor c(view->document());
    c.select(QTextCursor::Document);
    view->setTextCursor(c);
}

void release(Govori& g) {
    QWidget* w = g.Ntext->viewport();
    const QPointF pos(2, 2);
    QMouseEvent e(QEvent::MouseButtonRelease, pos, w->mapToGlobal(pos), Qt::LeftButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TstReading : public QObject {
    Q_OBJECT
private slots:
    void bookReadsSpreadAfterSpreadToTheEnd() {
        FakeSpeech speech;
        Library lib({{QStringLiteral("Кн"), pageTexts(5)}});
        speech.install(lib.s());
        KNIGA& k = lib.open(QStringLiteral("Кн"));
        QTest::keyClick(&k, Qt::Key_F5);
        QVERIFY(k.isReading());
        QTRY_VERIFY(!k.isReading());
        // Left then right page, the spread turning after each right page; the last spread has no right page.
        QCOMPARE(speech.texts(), pageTexts(5));
        QCOMPARE(k.spread().view().label1, QStringLiteral("5"));
        QCOMPARE(k.Combo1->currentText(), QStringLiteral("5"));
        QVERIFY(!lib.s().speaker().isSpeaking());
    }

    void wordsHighlightedAndReaderTurnStops() {
        FakeSpeech speech;
        Library lib({{QStringLiteral("Кн"),
                      {QStringLiteral("Едно\r\nдве три"), QStringLiteral("четири"), QStringLiteral("пет"),
                       QStringLiteral("шест")}}});
        speech.autoPlay = false;
        speech.install(lib.s());
        KNIGA& k = lib.open(QStringLiteral("Кн"));
        k.Image2_Click();
        QTRY_VERIFY(speech.output && speech.output->finished);
        speech.output->playTo(FakeSpeech::kSamplesPerWord + 1);
        auto spoken = [](RichTextView* v) {
            return v->extraSelections().size() == 1 ? v->extraSelections().front().cursor.selectedText()
                                                    : QString();
        };
        QTRY_COMPARE(spoken(k.R1), QStringLiteral("две"));

        // The left page heard, the right one read and highlighted; the left one no more.
        speech.output->playTo(speech.output->queued);
        QVERIFY(k.readingRightPage());
        QTRY_VERIFY(speech.output->finished);
        speech.output->playTo(1);
        QTRY_COMPARE(spoken(k.R2), QStringLiteral("четири"));
        QVERIFY(k.R1->extraSelections().isEmpty());

        // The book turns itself after the right page.
        speech.output->playTo(speech.output->queued);
        QCOMPARE(k.spread().view().label1, QStringLiteral("3"));
        QVERIFY(k.isReading() && !k.readingRightPage());
        QTRY_VERIFY(speech.output->finished);

        // A turn by the reader stops the reading where he turns to.
        k.R2_Click();
        QVERIFY(!k.isReading());
        QVERIFY(!lib.s().speaker().isSpeaking());
        QVERIFY(k.R1->extraSelections().isEmpty() && k.R2->extraSelections().isEmpty());
        QCOMPARE(k.spread().view().label1, QStringLiteral("3"));
        QCOMPARE(speech.texts().last(), QStringLiteral("пет")); // nothing after the stop
    }

    void closingStopsAndTheBookmarkFollows() {
        FakeSpeech speech;
        Library lib({{QStringLiteral("Кн"), pageTexts(12)}});
        speech.autoPlay = false;
        speech.install(lib.s());
        KNIGA& k = lib.open(QStringLiteral("Кн"));
        k.toggleReading();
        for (int page = 1; page <= 6; ++page) {
            QTRY_VERIFY(speech.output->finished);
            speech.output->playTo(speech.output->queued);
        }
        QTRY_VERIFY(speech.output->finished); // page 7 under way
        QCOMPARE(k.Combo1->currentText(), QStringLiteral("7"));
        k.Label11_Click();
        QVERIFY(!lib.s().speaker().isSpeaking());
        lib.formB().TimerZapis_Timer();
        Library::settle();
        QCOMPARE(lib.formB().Text8->text(), QStringLiteral("7"));
    }

    // Switching the layout stops reading before the work file is replaced, and both pages are set anew in
    // the plain layout: the book layout's justification and thin spaces leave nothing behind.
    void layoutSwitchStopsReadingAndSetsBothPagesPlain() {
        FakeSpeech speech;
        QStringList pages;
        for (int i = 1; i <= 6; ++i)
            pages << QStringLiteral("Дълго изречение на страница %1, което се пренася. ").arg(i).repeated(30);
        Library lib({{QStringLiteral("Кн"), pages}});
        speech.autoPlay = false;
        speech.install(lib.s());
        KNIGA& k = lib.open(QStringLiteral("Кн")); // stored plain: set as a book first
        k.switchLayout();
        QTRY_VERIFY_WITH_TIMEOUT(!k.isBuilding(), 30000);
        QCOMPARE(k.pageLayout(), PageLayout::Book);
        k.toggleReading();
        QTRY_VERIFY(lib.s().speaker().isSpeaking());
        k.switchLayout();
        QVERIFY(!k.isReading() && !lib.s().speaker().isSpeaking());
        QTRY_VERIFY_WITH_TIMEOUT(!k.isBuilding(), 30000);
        QCOMPARE(k.pageLayout(), PageLayout::Plain);
        QCOMPARE(lib.s().reading().layout(), PageLayout::Plain);
        for (RichTextView* view : {k.R1, k.R2}) {
            QVERIFY(!view->text().isEmpty());
            QVERIFY(view->document()->defaultTextOption().alignment() != Qt::AlignJustify);
            for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next()) {
                for (auto it = b.begin(); !it.atEnd(); ++it) {
                    const QTextCharFormat f = it.fragment().charFormat();
                    QVERIFY(!f.hasProperty(QTextFormat::FontPointSize) ||
                            f.fontPointSize() == view->document()->defaultFont().pointSizeF());
                }
            }
        }
    }

    void panelSpeaksSelectionAndHandOffStays() {
        FakeSpeech speech;
        Library lib({{QStringLiteral("Кн"), pageTexts(1)}});
        speech.autoPlay = false;
        speech.install(lib.s());
        Govori& g = lib.main();
        g.Ntext->show();
        g.Ntext->setText(QStringLiteral("Първо изречение."));
        selectAll(g.Ntext);

        // Off: only the hand-off.
        QVERIFY(!g.panelReading());
        release(g);
        QCOMPARE(lib.fake.keysSent, 1);
        QVERIFY(speech.texts().isEmpty());

        // The button reads a selection at once, without switching anything; a second click stops it.
        g.Command15_Click();
        QVERIFY(!g.panelReading());
        QTRY_COMPARE(speech.texts(), QStringList{"Първо изречение."});
        QVERIFY(lib.s().speaker().isSpeaking());
        g.Command15_Click();
        QVERIFY(!lib.s().speaker().isSpeaking() && !g.panelReading());

        // Without a selection it switches reading each selection as it is made.
        g.Ntext->setTextCursor(QTextCursor(g.Ntext->document()));
        g.Command15_Click();
        QVERIFY(g.panelReading());
        QVERIFY(!lib.s().speaker().isSpeaking());
        selectAll(g.Ntext);
        release(g);
        QCOMPARE(lib.fake.keysSent, 2);
        QTRY_COMPARE(speech.texts(), (QStringList{"Първо изречение.", "Първо изречение."}));
        g.Ntext->setText(QStringLiteral("Второ."));
        selectAll(g.Ntext);
        release(g);
        QCOMPARE(lib.fake.keysSent, 3);
        QTRY_COMPARE(speech.texts().size(), 3);
        QCOMPARE(speech.texts().back(), QStringLiteral("Второ."));
        QVERIFY(lib.s().speaker().isSpeaking() && lib.s().speaker().client() == &g);

        // Escape stops; so does the control, which is remembered by the library.
        QTest::keyClick(&g, Qt::Key_Escape);
        QVERIFY(!lib.s().speaker().isSpeaking());
        release(g);
        QVERIFY(lib.s().speaker().isSpeaking());
        g.Command15_Click(); // stops what is read, the switch stays on
        QVERIFY(!lib.s().speaker().isSpeaking() && g.panelReading());
        g.Ntext->setTextCursor(QTextCursor(g.Ntext->document()));
        g.Command15_Click();
        QVERIFY(!g.panelReading());
        g.Command15_Click();
        QVERIFY(SpeechSettings::load(lib.dir.path()).panelReading);
    }

    // A right click on either speech control offers the rates and voices, marks those in use, and a choice
    // stops what is being said and is remembered by the library.
    void rateAndVoiceFromTheControls() {
        FakeSpeech speech;
        Library lib({{QStringLiteral("Кн"), pageTexts(2)}});
        speech.autoPlay = false;
        speech.install(lib.s());
        Govori& g = lib.main();
        lib.fake.menuAnswers = {2, std::nullopt};
        Q_EMIT g.Command15->customContextMenuRequested(QPoint(1, 1));
        QCOMPARE(lib.fake.menus.size(), 1u);
        QStringList marked;
        for (const MenuItem& item : lib.fake.menus.front())
            marked << (item.checked ? "*" : "") + item.text;
        QCOMPARE(marked,
                 QStringList({"Бавно", "*Обикновено", "Бързо", "Много бързо", "*Мъжки глас", "Женски глас"}));
        QCOMPARE(SpeechSettings::load(lib.dir.path()).rate, 230);
        Q_EMIT g.Command15->customContextMenuRequested(QPoint(1, 1)); // dismissed: nothing changes
        QCOMPARE(lib.s().speaker().settings().rate, 230);

        KNIGA& book = lib.open(QStringLiteral("Кн"));
        QTest::keyClick(&book, Qt::Key_F5);
        QTRY_VERIFY(lib.s().speaker().isSpeaking());
        lib.fake.menuAnswers = {5};
        Q_EMIT book.Image2->customContextMenuRequested(QPoint(1, 1));
        QVERIFY(!lib.s().speaker().isSpeaking());
        QCOMPARE(lib.fake.menus.back()[2].checked, true);
        QCOMPARE(SpeechSettings::load(lib.dir.path()).voice, QString("bg+f3"));

        // A choice that cannot be kept for later runs still holds for this one, and the reader is told.
        const QString ini = SpeechSettings::filePath(lib.dir.path());
        QVERIFY(QFile::remove(ini) && QDir().mkpath(ini));
        lib.fake.menuAnswers = {4};
        Q_EMIT book.Image2->customContextMenuRequested(QPoint(1, 1));
        QCOMPARE(lib.s().speaker().settings().voice, QString("bg"));
        QVERIFY2(lib.fake.lastMessage().startsWith("Настройките на гласа не могат да бъдат запазени"),
                 qPrintable(lib.fake.lastMessage()));
    }

    void noVoiceIsReported() {
        FakeSpeech speech;
        Library lib({{QStringLiteral("Кн"), pageTexts(2)}});
        speech.voiceError = QStringLiteral("Гласът „bg“ не може да бъде зареден: липсва");
        speech.install(lib.s());
        const QString expected = QStringLiteral(
            "Четенето на глас не може да започне:\r\nГласът „bg“ не може да бъде зареден: липсва");

        Govori& g = lib.main();
        g.Command15_Click();
        g.Ntext->setText(QStringLiteral("Текст."));
        selectAll(g.Ntext);
        release(g);
        QCOMPARE(lib.fake.lastMessage(), expected);
        QCOMPARE(lib.fake.keysSent, 1);
        // Switched off, so the next release brings no second message.
        QVERIFY(!g.panelReading());
        release(g);
        QCOMPARE(lib.fake.messages.size(), std::size_t(1));

        KNIGA& k = lib.open(QStringLiteral("Кн"));
        k.toggleReading();
        QVERIFY(!k.isReading());
        QCOMPARE(lib.fake.lastMessage(), expected);
    }
};

QTEST_MAIN(TstReading)
#include "tst_reading.moc"
