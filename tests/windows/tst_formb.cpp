// The management window driven as a user drives it, on a scripted platform and a real catalogue.
#include "CatalogueFixture.h"
#include "FakePlatform.h"
#include "core/catalogue/CatalogueWalks.h"
#include "core/storage/LibraryPaths.h"
#include "ui/Session.h"
#include "windows/FormB.h"
#include "windows/Govori.h"
#include "windows/KNIGA.h"
#include "windows/WindowSet.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>

using namespace vel;
using namespace vel::test;

namespace {

const QString kVazov = QStringLiteral("Иван Вазов");
const QString kElin = QStringLiteral("Елин Пелин");

struct Run {
    QTemporaryDir dir;
    FakePlatform fake;
    std::unique_ptr<Session> session;

    explicit Run(const QList<Row>& rows = {{QStringLiteral("Под игото"), kVazov},
                                           {QStringLiteral("Гераците"), kElin},
                                           {QStringLiteral("Чичовци"), kVazov},
                                           {"", ""}}) {
        writeCatalogue(dir.path(), rows);
        session = std::make_unique<Session>(fake, dir.path());
        registerWindows(*session);
    }
    ~Run() { session.reset(); }
    FormB& formB() { return session->window<FormB>(); }
    Database& db() { return formB().catalogue()->database(); }
    QStringList items(QComboBox* c) {
        QStringList l;
        for (int i = 0; i < c->count(); ++i)
            l << c->itemText(i);
        return l;
    }
    QStringList messageTexts() const {
        QStringList l;
        for (const auto& m : fake.messages)
            l << m.title + u'|' + m.text;
        return l;
    }
    void choose(QComboBox* c, const QString& text) {
        const int i = c->findText(text, Qt::MatchExactly);
        QVERIFY(i >= 0);
        c->setCurrentIndex(i);
        Q_EMIT c->activated(i);
    }
    // Writes a work file for the title.
    void workFile(const QString& title) {
        QFile f(*workFilePath(dir.path(), title));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
};

void mouseMove(QWidget* w) {
    QMouseEvent e(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

bool samePicture(const PictureButton* b, const PictureBox* holder) {
    return b->picture().cacheKey() == holder->picture().cacheKey();
}

} // namespace

class TstFormB : public QObject {
    Q_OBJECT

private slots:
    void loadCleansListsAndRestsOnTheFirstWork();
    void cursorOperationsAndPickList();
    void settingsSaveFindsTheFirstMatchOnly();
    void entryFormMessagesCancelAndConfirm();
    void entryFormNeverOverwritesAWork();
    void oneCharacterTitleAndAuthorFilter();
    void choosingATitleOpensTheBook();
    void findingAmongTheTitlesAndTheWorkCard();
    void deleting();
    void hoverAndClock();
};

void TstFormB::loadCleansListsAndRestsOnTheFirstWork() {
    Run run({{"", QStringLiteral("сирак")},
             {QStringLiteral("Под игото"), kVazov},
             {"", ""},
             {QStringLiteral("Гераците"), kElin},
             {QStringLiteral("Чичовци"), kVazov},
             {"", ""}});
    FormB& f = run.formB();
    QCOMPARE(f.TxtName->text(), QStringLiteral("Под игото"));
    QCOMPARE(titlesIn(run.db()), QStringList({"Под игото", "Гераците", "Чичовци", ""}));
    QCOMPARE(run.items(f.Combo1), QStringList({"Под игото", "Гераците", "Чичовци"}));
    QCOMPARE(run.items(f.Combo2), QStringList({kAllAuthors, kVazov, kElin}));
    QCOMPARE(f.List1->count(), 2);
    // Filling the lists leaves the headings in place.
    QCOMPARE(f.Combo1->currentText(), QStringLiteral("БИБЛИОТЕКА"));
    QCOMPARE(f.Combo2->currentText(), QStringLiteral("ИЗБОР НА АВТОР"));
    // Only the background, the clock, the hammer, Command2 and Command333 show.
    QVERIFY(f.TxtNumber->isHidden() && f.Combo1->isHidden() && f.Frame1->isHidden() &&
            f.Picture2->isHidden());
    QVERIFY(!f.Picture4->isHidden() && !f.Command2->isHidden() && !f.Command333->isHidden());
    QVERIFY(f.s->isVisible() && f.s1->isVisible() && f.s2->isVisible() && !f.s3->isVisible());
    QCOMPARE(f.windowTitle(), QStringLiteral("Управление на БИБЛИОТЕКАТА"));
    QCOMPARE(f.size(), QSize(704, 417));
    QCOMPARE(twLeft(f.Label6), 1245.0);

    // Only blank records: all removed, one entry slot, empty title box.
    Run blank(QList<Row>{{"", "x"}, {"", ""}});
    QCOMPARE(blank.formB().TxtName->text(), QString());
    QCOMPARE(readCatalogue(blank.db()).size(), 1);
}

void TstFormB::cursorOperationsAndPickList() {
    Run run;
    FormB& f = run.formB();
    // Napred with an empty author box neither saves nor moves.
    f.TxtName->setText(QStringLiteral("Друго"));
    f.TxtNumber->clear();
    f.Napred();
    QCOMPARE(f.catalogue()->rs().position(), 0);
    QCOMPARE(titlesIn(run.db()).first(), QStringLiteral("Под игото"));
    // Napred off the last work lands on the entry slot and empties both boxes.
    f.catalogue()->rs().Move(2);
    f.Pokazhi();
    f.Napred();
    QVERIFY(f.TxtName->text().isEmpty() && f.TxtNumber->text().isEmpty());
    QCOMPARE(readCatalogue(run.db()).size(), 4);

    f.show();
    f.Combo3_Click();
    QCOMPARE(f.pickListOpen, qint16(1));
    QVERIFY(!f.List1->isHidden());
    QCOMPARE(twHeight(f.List1), 6255.0 - 3240 - 100);
    f.Combo3_Click();
    QCOMPARE(f.pickListOpen, qint16(0));
    QVERIFY(f.List1->isHidden());
    f.Combo3_Click();
    f.List1->setCurrentRow(1);
    f.List1_Click();
    QCOMPARE(f.TxtNumber->text(), kElin);
    QVERIFY(f.List1->isHidden());
    QCOMPARE(f.pickListOpen, qint16(0));
}

void TstFormB::settingsSaveFindsTheFirstMatchOnly() {
    Run run({{QStringLiteral("Едно"), kVazov},
             {QStringLiteral("Две"), kElin},
             {QStringLiteral("Две"), kVazov},
             {"", ""}});
    FormB& f = run.formB();
    f.session().reading().setTitle(QStringLiteral("Две"));
    f.session().reading().setFontName(QStringLiteral("Arial"));
    f.session().reading().setFontSize(QStringLiteral("12.5"));
    f.session().reading().setBookmark(QStringLiteral("41"));
    f.session().reading().setPageColor(QStringLiteral("255"));
    f.session().reading().setFormColor(QStringLiteral("65280"));
    const QList<Row> before = readCatalogue(run.db());
    f.TimerZapis->start();
    f.TimerZapis_Timer();
    QVERIFY(!f.TimerZapis->isActive());
    const QList<Row> after = readCatalogue(run.db());
    QCOMPARE(after[1], Row({"Две", kElin, "Arial", "12.5", "41", "255", "65280"}));
    QCOMPARE(after[0], before[0]);
    QCOMPARE(after[2], before[2]);
    QCOMPARE(f.TxtName->text(), QStringLiteral("Две"));
}

void TstFormB::entryFormMessagesCancelAndConfirm() {
    Run run;
    Govori& main = run.session->window<Govori>();
    FormB& f = run.formB();
    run.fake.messages.clear();

    // Two characters in the panel are not enough.
    main.Ntext->setText(QStringLiteral("ab"));
    f.show();
    f.Command3_Click();
    QCOMPARE(
        run.messageTexts(),
        QStringList({"ВНИМАНИЕ !|Няма въведен текст !\r\nИзползвайте бутоните за въвеждане на файлове."}));
    QCOMPARE(run.fake.messages[0].icon, MsgIcon::Critical);
    QVERIFY(!f.isVisible() && f.Dobavi->isHidden());
    // Nor is white space, however much of it.
    run.fake.messages.clear();
    main.Ntext->setText(QStringLiteral(" \r\n\t\u00A0\u200B ").repeated(50));
    f.show();
    f.Command3_Click();
    QCOMPARE(run.messageTexts().size(), 1);
    QVERIFY(!f.isVisible() && f.Dobavi->isHidden());

    // Three open the form on the entry slot; cancelling changes nothing in the catalogue.
    main.Ntext->setText(QStringLiteral("abc"));
    const QList<Row> before = readCatalogue(run.db());
    f.Command3_Click();
    QVERIFY(!f.Dobavi->isHidden() && !f.TxtName->isHidden() && !f.Combo3->isHidden() && f.Combo1->isHidden());
    QVERIFY(f.TxtName->text().isEmpty() && f.TxtNumber->text().isEmpty());
    f.TxtName->setText(QStringLiteral("Нещо"));
    f.TxtNumber->setText(QStringLiteral("Някой"));
    f.Command4_Click();
    QCOMPARE(readCatalogue(run.db()), before);
    QVERIFY(f.Dobavi->isHidden() && !f.Command3->isHidden() && !f.Combo1->isHidden());
    QCOMPARE(f.Combo1->currentText(), QStringLiteral("БИБЛИОТЕКА"));

    // Confirming: the warning first, then only the first missing field.
    const QString warning =
        QStringLiteral("ВНИМАНИЕ ОТГОВОРНА ОПЕРАЦИЯ |Ще последва създаване на нов тип файл "
                       "(базаданни).\r\nПроцесът не трябва да "
                       "се прекъсва до окончателното му завършване.\r\nАко все пак го прекъснете ще "
                       "повредите файла.\r\nПо-големите "
                       "произведения отнемат повече време.\r\nЗа да продължи натиснете ОК!");
    f.Command3_Click();
    run.fake.messages.clear();
    f.Dobavi_Click();
    f.TxtName->setText(QStringLiteral("Нова"));
    f.Dobavi_Click();
    QCOMPARE(run.messageTexts(),
             QStringList(
                 {warning,
                  "ВНИМАНИЕ !|Не е въведено име на произведението!\r\nВъведете име на произведението и чак "
                  "тогава потвърдете.",
                  warning,
                  "ВНИМАНИЕ !|Не е въведено името на автора!\r\nВъведете името на автора и чак тогава "
                  "потвърдете."}));
    QCOMPARE(run.fake.messages[0].icon, MsgIcon::None);
    QCOMPARE(readCatalogue(run.db()), before);

    // Confirmed: the slot becomes the work, a new slot follows, the book is asked to build it.
    f.TxtNumber->setText(kElin);
    main.Ntext->setFontName(QStringLiteral("Arial"));
    main.Ntext->setFontSize(14.25);
    main.Ntext->setBackColor(0x00FFFF);
    main.setBackColor(0xC0C0C0);
    f.Dobavi_Click();
    // The record goes in with the finished work file, never before it.
    QCOMPARE(readCatalogue(run.db()), before);
    QTRY_VERIFY_WITH_TIMEOUT(!f.session().reading().hasNewWork(), 30000);
    const QList<Row> after = readCatalogue(run.db());
    QCOMPARE(after.size(), 5);
    QCOMPARE(after[3], Row({"Нова", kElin, "Arial", "14.25", "1", "65535", "12632256"}));
    QCOMPARE(after[4].mid(0, 2), Row({"", ""}));
    QCOMPARE(run.items(f.Combo1).last(), QStringLiteral("Нова"));
    QCOMPARE(f.Label4->text(), QStringLiteral("Star"));
    QCOMPARE(f.Text1->text(), QStringLiteral("Нова"));
    QCOMPARE(f.Text2->text(), QStringLiteral("Нова"));
    QCOMPARE(f.Text7->text(), QStringLiteral("14.25"));
    QCOMPARE(f.Text9->text(), QStringLiteral("65535"));
    KNIGA* book = run.session->loaded<KNIGA>();
    QVERIFY(book);
    QCOMPARE(book->windowTitle(), QStringLiteral("Нова"));
    QVERIFY(!main.isVisible());
}

void TstFormB::entryFormNeverOverwritesAWork() {
    Run run;
    run.session->window<Govori>().Ntext->setText(QStringLiteral("Текст"));
    FormB& f = run.formB();
    // A work appended behind the entry slot, as a foreign catalogue may have it.
    QVERIFY(run.db().exec(QStringLiteral("INSERT INTO Phones (Name, Number) VALUES ('Последна', 'Някой')")));
    f.catalogue()->rs().requery();
    f.Command3_Click();
    QVERIFY(f.catalogue()->isEntrySlot());
    QCOMPARE(f.catalogue()->rs().position(), 5);
    // Meanwhile the cursor moves to a work; the confirm still fills the slot at the end.
    f.catalogue()->rs().MoveFirst();
    f.TxtName->setText(QStringLiteral("Нова"));
    f.TxtNumber->setText(kVazov);
    f.Dobavi_Click();
    QTRY_VERIFY_WITH_TIMEOUT(!f.session().reading().hasNewWork(), 30000);
    QCOMPARE(titlesIn(run.db()),
             QStringList({"Под игото", "Гераците", "Чичовци", "", "Последна", "Нова", ""}));
}

void TstFormB::oneCharacterTitleAndAuthorFilter() {
    Run run({{QStringLiteral("Първа"), QStringLiteral("Автор")},
             {QStringLiteral("Я"), QStringLiteral("автор")},
             {QStringLiteral("Трета"), QStringLiteral("Автор")},
             {"", ""}});
    FormB& f = run.formB();
    QCOMPARE(run.items(f.Combo1), QStringList({"Първа", "Я", "Трета"}));
    QCOMPARE(run.items(f.Combo2), QStringList({kAllAuthors, "Автор", "автор"}));
    QCOMPARE(readCatalogue(run.db()).size(), 4);

    run.choose(f.Combo2, QStringLiteral("Автор"));
    QCOMPARE(run.items(f.Combo1), QStringList({"Първа", "Трета"}));
    QCOMPARE(f.Combo1->currentText(), QStringLiteral("Произведения на Автор"));
    run.choose(f.Combo2, QStringLiteral("автор"));
    QCOMPARE(run.items(f.Combo1), QStringList({"Я"}));
    run.choose(f.Combo2, kAllAuthors);
    QCOMPARE(run.items(f.Combo1), QStringList({"Първа", "Я", "Трета"}));
    QCOMPARE(f.Combo1->currentText(), QStringLiteral("БИБЛИОТЕКА"));
    QCOMPARE(readCatalogue(run.db()).size(), 4);
}

void TstFormB::choosingATitleOpensTheBook() {
    Run run({{QStringLiteral("Две"), kVazov, "Arial", "12", "7", "255", "65280"},
             {QStringLiteral("Две"), kElin, "Tahoma", "16", "9", "1", "2"},
             {"", ""}});
    Govori& main = run.session->window<Govori>();
    FormB& f = run.formB();
    f.show();
    f.Combo1->show();
    run.choose(f.Combo1, QStringLiteral("Две"));
    QCOMPARE(f.catalogue()->rs().position(), 0);
    QCOMPARE(
        QStringList({f.Text6->text(), f.Text7->text(), f.Text8->text(), f.Text9->text(), f.Text10->text()}),
        QStringList({"Arial", "12", "7", "255", "65280"}));
    QCOMPARE(main.Ntext->fontName(), QStringLiteral("Arial"));
    QCOMPARE(main.Ntext->fontSize(), 12.0);
    QCOMPARE(main.Ntext->backColor(), 255);
    QCOMPARE(main.backColor(), 65280);
    QCOMPARE(f.Text2->text(), QStringLiteral("Две"));
    QCOMPARE(f.Label4->text(), QStringLiteral("Nov"));
    QCOMPARE(main.windowTitle(), QStringLiteral("Две"));
    QVERIFY(run.session->isLoaded<KNIGA>());
    QVERIFY(!f.isVisible() && f.Combo1->isHidden() && f.Combo2->isHidden());
}

void TstFormB::findingAmongTheTitlesAndTheWorkCard() {
    Run run;
    FormB& f = run.formB();
    f.showReadingLayout();
    QVERIFY(!f.TxtTarsi->isHidden() && !f.ComboRed->isHidden());
    const auto type = [&](const QString& text) {
        f.TxtTarsi->setText(text);
        Q_EMIT f.TxtTarsi->textEdited(text);
    };
    type(QStringLiteral("ВАЗ"));
    QCOMPARE(run.items(f.Combo1), QStringList({"Под игото", "Чичовци"}));
    f.ComboRed->setCurrentIndex(1);
    Q_EMIT f.ComboRed->activated(1);
    type(QString());
    QCOMPARE(run.items(f.Combo1), QStringList({"Гераците", "Под игото", "Чичовци"}));
    // The author filter narrows with it.
    run.choose(f.Combo2, kElin);
    QCOMPARE(run.items(f.Combo1), QStringList({"Гераците"}));

    // A work stored with a series and a cover shows them; one without shows its author alone.
    {
        WorkFileBuilder b;
        QVERIFY(b.begin(run.dir.path(), QStringLiteral("Под игото")));
        QImage cover(60, 90, QImage::Format_RGB32);
        cover.fill(Qt::darkRed);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        cover.save(&buffer, "JPEG");
        QVERIFY(b.setFact(schema::kFactSeries, QStringLiteral("Под игото")) &&
                b.setFact(schema::kFactSeriesNumber, QStringLiteral("1")) && b.setCover(jpeg) && b.appendPage("а") &&
                b.commit());
    }
    f.showWorkCard(QStringLiteral("Под игото"));
    QVERIFY(!f.Korica->isHidden() && !f.Korica->picture().isNull());
    QCOMPARE(f.Svedenia->text(), kVazov + QStringLiteral("\nПод игото #1"));
    f.showWorkCard(QStringLiteral("Гераците"));
    QVERIFY(f.Korica->isHidden());
    QCOMPARE(f.Svedenia->text(), kElin);
    f.hideLists();
    QVERIFY(f.TxtTarsi->isHidden() && f.Svedenia->isHidden());
}

void TstFormB::deleting() {
    Run run;
    FormB& f = run.formB();
    run.workFile(QStringLiteral("Под игото"));
    const QString file = *workFilePath(run.dir.path(), QStringLiteral("Под игото"));

    // Cancel leaves everything.
    run.fake.messageAnswers = {MsgAnswer::Cancel};
    f.show();
    f.Iztrii_Click();
    QCOMPARE(run.fake.messages.size(), size_t(1));
    QCOMPARE(run.fake.messages[0].title, QStringLiteral("ВНИМАНИЕ ОПЕРАЦИЯ ИЗТРИВАНЕ "));
    QCOMPARE(run.fake.messages[0].text,
             QStringLiteral("От БИБЛИОТЕКАТА ще бъде изтрито произведението:\r\n\r\nПод игото\r\n\r\nАко сте "
                            "сигурни натиснете ОК!\r\nАко не сте сигурни натиснете Отказ (Cancel)!"));
    QVERIFY(QFile::exists(file) && f.isVisible());
    QCOMPARE(readCatalogue(run.db()).size(), 4);

    // OK with the file there: file and record go, the window hides.
    f.Iztrii_Click();
    QVERIFY(!QFile::exists(file));
    QVERIFY(!f.isVisible());
    QCOMPARE(titlesIn(run.db()), QStringList({"Гераците", "Чичовци", ""}));
    QCOMPARE(run.items(f.Combo1), QStringList({"Гераците", "Чичовци"}));
    QCOMPARE(run.items(f.Combo2), QStringList({kAllAuthors, kElin, kVazov}));
    QCOMPARE(f.Combo2->currentText(), QStringLiteral("ИЗБОР НА АВТОР"));
    QVERIFY(f.TxtName->text().isEmpty());
    // The cursor is on the entry slot now: a second click asks nothing.
    f.Iztrii_Click();
    QCOMPARE(run.fake.messages.size(), size_t(2));

    // Without its file: the record goes all the same and the window stays.
    f.show();
    f.catalogue()->rs().MoveFirst();
    f.Iztrii_Click();
    QCOMPARE(titlesIn(run.db()), QStringList({"Чичовци", ""}));
    QVERIFY(f.isVisible());
}

void TstFormB::hoverAndClock() {
    Run run;
    FormB& f = run.formB();
    f.show();
    f.Command3->show();
    f.Combo3->show();
    f.TxtNumber->show();
    mouseMove(f.Command3);
    mouseMove(f.Combo3);
    QVERIFY(samePicture(f.Command3, f.Image2));
    QVERIFY(samePicture(f.Combo3, f.Image12));
    // Leaving the square over the author box restores it alone.
    mouseMove(f.TxtNumber);
    QVERIFY(samePicture(f.Combo3, f.Image11));
    QVERIFY(samePicture(f.Command3, f.Image2));
    mouseMove(&f);
    QVERIFY(samePicture(f.Command3, f.Image1));

    // A tick at 03:00:15 turns the hands and draws an aphorism index.
    run.fake.time = QTime(3, 0, 15);
    f.Timer4_Timer();
    QVERIFY(f.s->isVisible());
    QVERIFY(std::abs(f.s->x2 - 4255) < 0.5 && std::abs(f.s->y2 - 3625.7) < 0.5);
    QVERIFY(std::abs(f.s2->x2 - 3805) < 0.5 && std::abs(f.s2->y2 - 3625.3) < 0.5);
    bool ok = false;
    const int index = f.Text4->text().toInt(&ok);
    QVERIFY(ok && index >= 1 && index <= 88);

    // The alarm at 12: 00, armed, rings at noon: the window comes up and beeps.
    f.hide();
    f.Command333_Click();
    QVERIFY(!f.Frame1->isHidden() && !f.Command5->isHidden());
    QCOMPARE(f.Command333->toolTip(), QStringLiteral("Стоп"));
    f.Command5_Click();
    QVERIFY(f.Command5->isHidden() && !f.Label5->isHidden());
    run.fake.time = QTime(12, 0, 30);
    f.Timer4_Timer();
    QVERIFY(f.Timer1->isActive());
    const int beeps = run.fake.beeps;
    f.Timer1_Timer();
    QVERIFY(f.isVisible() && !f.Picture2->isHidden());
    QCOMPARE(run.fake.beeps, beeps + 1);
    run.fake.time = QTime(12, 1, 0);
    f.Timer4_Timer();
    QVERIFY(!f.Timer1->isActive());
}

QTEST_MAIN(TstFormB)
#include "tst_formb.moc"
