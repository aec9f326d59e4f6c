// Books in their own formats: lines, notes and metadata as the book has them, archives, and the inputs that
// must be refused without harm.
#include "LibraryFiles.h"
#include "ZipWriter.h"
#include "core/book/Fonts.h"
#include "core/commands/Import.h"
#include "core/text/formats/BookFormats.h"
#include "core/text/formats/Zip.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

using namespace vel;
using namespace vel::test;

namespace {

// Every format's fixture tells this story: a heading, a paragraph with a note, two stanzas of verse.
const QStringList kStory = {
    "Глава първа",    "Тя тръгна по пътя[1] към реката.", "Две думи за вятъра,", "две думи за нощта.", "",
    "Сняг и тишина.", "[1] Старият път край Витоша.",
};

QByteArray fb2(const QString& body, const char* encoding = "UTF-8") {
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"%1\"?>\n"
            "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
            "xmlns:l=\"http://www.w3.org/1999/xlink\">\n"
            "<description><title-info><author><first-name>Елин</first-name><last-name>Пелин</last-name>"
            "</author><book-title>Гераците</book-title></title-info>"
            "<document-info><author><nickname>maker</nickname></author></document-info></description>\n")
            .arg(QLatin1String(encoding)) +
        body +
        QStringLiteral("\n<binary id=\"c.jpg\" content-type=\"image/jpeg\">AAAA</binary></FictionBook>");
    QStringEncoder enc(encoding);
    return enc(xml);
}

const QString kFb2Body = QStringLiteral(
    "<body><image l:href=\"#c.jpg\"/><section><title><p>Глава  първа</p></title>\n"
    "<p>Тя тръгна по <emphasis>пътя</emphasis><a l:href=\"#n1\" type=\"note\">1</a> към реката.</p>\n"
    "<poem><stanza><v>Две думи за вятъра,</v><v>две думи за нощта.</v></stanza>"
    "<stanza><v>Сняг и тишина.</v></stanza></poem></section></body>\n"
    "<body name=\"notes\"><section id=\"n1\"><title><p>1</p></title><p>Старият път край Витоша.</p></section>"
    "</body>");

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    writeFile(path, bytes);
    return path;
}

QStringList linesOf(const TextImportResult& r) {
    return r.loaded.text.split(QStringLiteral("\r\n"));
}

} // namespace

class TstBookFormats : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installDesignFonts(); }

    void booksReadToTheirLinesAndNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("fb2 utf-8") << "kniga.fb2" << fb2(kFb2Body);
        QTest::newRow("fb2 windows-1251") << "kniga.fb2" << fb2(kFb2Body, "windows-1251");
        QTest::newRow("fb2.zip") << "kniga.fb2.zip" << makeZip({{"kniga.fb2", fb2(kFb2Body)}});
    }
    void booksReadToTheirLinesAndNames() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const TextImportResult r = readBook(write(dir, name, bytes));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(linesOf(r), kStory);
        QCOMPARE(r.loaded.title, QStringLiteral("Гераците"));
        QCOMPARE(r.loaded.author, QStringLiteral("Елин Пелин"));
        QVERIFY(r.loaded.structured);
    }

    // A zipped Windows-1251 text is a plain text; the name inside the archive is the one that counts.
    void zippedPlainText() {
        QTemporaryDir dir;
        const QByteArray cp1251 = QStringEncoder("windows-1251")(QStringLiteral("Първи ред\nвтори ред"));
        const QString zip = write(dir, "arhiv.zip",
                                  makeZip({{"__MACOSX/._x.txt", "junk"},
                                           {"Йордан Йовков - Албена.txt", cp1251},
                                           {"korica.jpg", "\xff\xd8"}}));
        const TextImportResult r = readBook(zip);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.loaded.text, QStringLiteral("Първи ред\r\nвтори ред"));
        QCOMPARE(r.loaded.encoding, QStringLiteral("windows-1251"));
        QVERIFY(!r.loaded.structured);

        auto opened = Catalogue::open(dir.path());
        const ImportResult imported = importWork(*opened.catalogue, dir.path(), ImportRequest{zip, {}, {}});
        QVERIFY2(imported.ok(), qPrintable(imported.error));
        QCOMPARE(imported.title, QStringLiteral("Албена"));
        QCOMPARE(imported.author, QStringLiteral("Йордан Йовков"));
        QCOMPARE(pagesOf(dir.path(), "Албена").join(QString()).simplified(),
                 QStringLiteral("Първи ред втори ред"));
    }

    void badInputsAreRefusedWithAReason_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QString bomb = "<?xml version=\"1.0\"?><!DOCTYPE FictionBook [<!ENTITY a0 \"ха-ха-ха-ха\">";
        for (int i = 1; i < 12; ++i)
            bomb += QStringLiteral("<!ENTITY a%1 \"%2\">")
                        .arg(i)
                        .arg(QStringLiteral("&a%1;").arg(i - 1).repeated(10));
        bomb += "]><FictionBook><body><p>&a11;</p></body></FictionBook>";
        QTest::newRow("malformed fb2") << "a.fb2" << fb2("<body><p>Текст</body>") << "грешка в XML";
        QTest::newRow("entity expansion") << "a.fb2" << bomb.toUtf8() << "грешка в XML";
        QTest::newRow("fb2 without text")
            << "a.fb2" << fb2("<body><section><p> </p></section></body>") << "няма текст";
        QTest::newRow("not a zip") << "a.zip" << QByteArray("PK\x03\x04 nothing more") << "ZIP";
        QTest::newRow("zip bomb") << "a.txt.zip" << makeZip({{"a.txt", QByteArray(40 << 20, 'a')}})
                                  << "прекалено голям обем";
        QTest::newRow("two texts") << "a.zip" << makeZip({{"a.txt", "едно"}, {"b.fb2", "две"}})
                                   << "повече от един текст";
        QTest::newRow("no text in zip") << "a.zip" << makeZip({{"a.jpg", "x"}}) << "няма текст";
    }
    void badInputsAreRefusedWithAReason() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = write(dir, name, bytes);
        const TextImportResult r = readBook(path);
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains(reason), qPrintable(r.error));
        QVERIFY(r.error.endsWith(path));
        QVERIFY(r.loaded.text.isEmpty());
    }

    // A folder: every book in name order, each added whole or not at all, failures named, the rest going on.
    void folderImport() {
        QTemporaryDir books, library;
        QDir(books.path()).mkdir("под");
        write(books, "b.fb2", fb2(kFb2Body));
        write(books, "a.fb2", fb2("<body><p>счупен"));
        write(books, "под/Иван Вазов - Чичовци.txt", "Чичовци се събраха.");
        write(books, "c.jpg", "\xff\xd8");
        StartOptions o;
        o.mode = StartMode::Import;
        o.libraryDir = library.path();
        o.files = {books.path()};
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(runImport(o, outStream, errStream), 1);
        QVERIFY2(err.startsWith(books.filePath("a.fb2") + ": ") && err.count('\n') == 1, qPrintable(err));
        const QStringList added = out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(added.size(), 2);
        QVERIFY(added[0].startsWith(books.filePath("b.fb2") + ": „Гераците“, Елин Пелин"));
        QVERIFY(added[1].contains("„Чичовци“, Иван Вазов"));
        QCOMPARE(pagesOf(library.path(), "Гераците").join("\r\n"), kStory.join("\r\n"));
        QCOMPARE(recordsOf(library.path()).size(), std::size_t(2));
    }
};

QTEST_MAIN(TstBookFormats)
#include "tst_bookformats.moc"
