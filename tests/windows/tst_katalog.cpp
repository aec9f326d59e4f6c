// The online catalogue window against a catalogue on the loopback address: browsing down to a book and
// adding it, and a book whose download fails adding nothing.
#include "CatalogueFixture.h"
#include "FakePlatform.h"
#include "LibraryFiles.h"
#include "LoopbackServer.h"
#include "core/book/Fonts.h"
#include "core/opds/OpdsCatalogues.h"
#include "ui/Session.h"
#include "windows/FormB.h"
#include "windows/Katalog.h"

#include <QTemporaryDir>

using namespace vel;
using namespace vel::test;

namespace {

const QByteArray kFb2 =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><FictionBook "
    "xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\">"
    "<description><title-info><book-title>Друго</book-title></title-info></description><body><section>"
    "<p>Това беше в едно време, когато градчето спеше.</p></section></body></FictionBook>";

QByteArray feed(const QString& entries) {
    return (QStringLiteral("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Проба</title>%1</feed>")
                .arg(entries))
        .toUtf8();
}

} // namespace

class TestKatalog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { installDesignFonts(); }

    void browsesDownAndAddsABook() {
        LoopbackServer server;
        server.route("/root", {200, feed("<entry><title>Нови</title><link href=\"/new\" "
                                         "type=\"application/atom+xml;profile=opds-catalog\"/></entry>")});
        server.route("/new",
                     {200, feed("<entry><title>Чичовци</title><author><name>Иван Вазов</name></author>"
                                "<summary>Повест</summary>"
                                "<link rel=\"http://opds-spec.org/acquisition\" href=\"/b.fb2\" "
                                "type=\"application/x-fictionbook+xml\"/></entry>"
                                "<entry><title>Липсваща</title><author><name>Някой</name></author>"
                                "<link rel=\"http://opds-spec.org/acquisition\" href=\"/gone.fb2\" "
                                "type=\"application/x-fictionbook+xml\"/></entry>")});
        server.route("/b.fb2", {200, kFb2, "application/x-fictionbook+xml"});
        QTemporaryDir dir;
        writeCatalogue(dir.path(), {{"", ""}});
        QVERIFY(addCatalogue(dir.path(), {"Проба", server.url("/root")}));
        rememberLastCatalogue(dir.path(), server.url("/root"));
        FakePlatform fake;
        Session session(fake, dir.path());
        FormB& library = session.window<FormB>();
        Katalog& w = session.window<Katalog>();

        QCOMPARE(w.Combo1->currentText(), "Проба");
        QTRY_COMPARE(w.List1->count(), 1);
        QCOMPARE(w.List1->item(0)->text(), "▸ Нови");
        QVERIFY(!w.Dobavi->isEnabled());
        Q_EMIT w.List1->itemActivated(w.List1->item(0));
        QTRY_COMPARE(w.List1->count(), 2);
        QCOMPARE(w.List1->item(0)->text(), "Чичовци — Иван Вазов");
        QVERIFY(w.TextOpisanie->toPlainText().contains("Повест"));
        QVERIFY(w.CommandNazad->isEnabled());

        // The entry's title and author, not the book's own.
        w.Dobavi->click();
        QTRY_COMPARE(fake.messages.size(), size_t(1));
        QCOMPARE(fake.messages[0].text, "„Чичовци“ от Иван Вазов е добавена в библиотеката (1 стр.).");
        QCOMPARE(recordsOf(dir.path()).size(), size_t(1));
        QCOMPARE(recordsOf(dir.path())[0].number, "Иван Вазов");
        QVERIFY(library.Combo1->findText("Чичовци") >= 0);

        w.List1->setCurrentRow(1);
        w.Dobavi->click();
        QTRY_COMPARE(fake.messages.size(), size_t(2));
        QVERIFY(fake.messages[1].text.contains("404"));
        QCOMPARE(recordsOf(dir.path()).size(), size_t(1));
        QCOMPARE(QDir(dir.path()).entryList({".velmora-*"}, QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(TestKatalog)
#include "tst_katalog.moc"
