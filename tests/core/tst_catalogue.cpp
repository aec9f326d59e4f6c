// The catalogue: opening (and creating), the start-up clean-up, the cursor operations and the walks built
// from them, and deleting a work while other programs write.
#include "CatalogueFixture.h"
#include "core/catalogue/CatalogueWalks.h"
#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/WorkFileBuilder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace vel;
using namespace vel::test;

namespace {

std::unique_ptr<Catalogue> openCatalogue(const QString& dir) {
    auto result = Catalogue::open(dir);
    if (!result)
        qWarning("%s", qPrintable(result.message()));
    return result ? std::move(result->catalogue) : nullptr;
}

// Every record as "name|number", in stored order, with "∅" for a missing value.
QStringList records(Catalogue& cat) {
    QStringList out;
    Recordset& rs = cat.rs();
    for (rs.MoveFirst(); !rs.eof(); rs.MoveNext()) {
        auto val = [&](const char* f) { return rs.isNull(f) ? QStringLiteral("∅") : rs.field(f); };
        out << val("Name") + u'|' + val("Number");
    }
    return out;
}

// Sets or clears the file system's immutable flag; false where it cannot be set.
bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void missingCatalogueIsCreated();
    void damagedCatalogueIsLeftAlone();
    void cleanUp();
    void napred();
    void saveSettings();
    void saveSettingsWithoutMatch();
    void entrySlotAtEnd();
    void writeProtectedCatalogueIsRefused();
    void fullDiskIsSaidAndChangesNothing();
    void deleteLeavesAnotherProgramsChange();
    void deletePutsTheFileBackWhenTheRecordStays();
    void setAsideNamesAreNumbered();
    void onlyTheEntrySlot();
    void walkEndsOnlyAtTheEntrySlot();
    void searchFindsTheFirstAndStopsAtTheSlot();
};

void TestCatalogue::missingCatalogueIsCreated() {
    QTemporaryDir dir;
    {
        auto result = Catalogue::open(dir.path());
        QVERIFY(result && result->created);
        QCOMPARE(records(*result->catalogue), QStringList({"|"}));
        result->catalogue->rs().MoveFirst();
        QVERIFY(result->catalogue->isEntrySlot());
    }
    auto again = Catalogue::open(dir.path());
    QVERIFY(again && !again->created);
    QCOMPARE(again->catalogue->rs().recordCount(), 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"BAZA.mdb"}));

    auto nowhere = Catalogue::open(dir.filePath(QStringLiteral("няма")));
    QVERIFY(!nowhere);
    QVERIFY(nowhere.message().contains(QStringLiteral("BAZA.mdb")));
}

void TestCatalogue::damagedCatalogueIsLeftAlone() {
    auto expectRefused = [](const QString& dir, const QString& mention) {
        const QByteArray before = readAll(catalogPath(dir));
        auto result = Catalogue::open(dir);
        QVERIFY(!result);
        QVERIFY2(result.message().contains(catalogPath(dir)), qPrintable(result.message()));
        QVERIFY2(result.message().contains(mention), qPrintable(result.message()));
        QCOMPARE(readAll(catalogPath(dir)), before);
    };

    QTemporaryDir junk;
    {
        QFile f(catalogPath(junk.path()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray bytes(8192, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919 + 13) & 0xff);
        f.write(bytes);
    }
    expectRefused(junk.path(), QStringLiteral("повреден"));

    QTemporaryDir noTable;
    {
        Database db;
        QVERIFY(db.open(catalogPath(noTable.path()), Database::Mode::Create));
        QVERIFY(db.exec(QStringLiteral("CREATE TABLE Other (Name TEXT); INSERT INTO Other VALUES ('x')")));
    }
    expectRefused(noTable.path(), QStringLiteral("Phones"));

    QTemporaryDir noField;
    {
        Database db;
        QVERIFY(db.open(catalogPath(noField.path()), Database::Mode::Create));
        QVERIFY(db.exec(QStringLiteral("CREATE TABLE Phones (Name TEXT, Number TEXT, Font TEXT, Size TEXT,"
                                       " STR TEXT, CvetList TEXT)")));
    }
    expectRefused(noField.path(), QStringLiteral("CvetForma"));
}

void TestCatalogue::cleanUp() {
    QTemporaryDir blanks;
    writeCatalogue(blanks.path(), {{"", ""}, {"", "Вазов"}, {"", QString()}});
    auto cat = openCatalogue(blanks.path());
    QVERIFY(cat->cleanUp());
    QCOMPARE(records(*cat), QStringList({"|"}));
    cat->rs().MoveFirst();
    RecordBoxes boxes{"стари", "стойности"};
    cat->pokazhi(boxes);
    QVERIFY(boxes.name.isEmpty() && boxes.number.isEmpty());

    QTemporaryDir works;
    writeCatalogue(works.path(), {{"", ""},
                                  {"Под игото", "Вазов"},
                                  {"", "Елин Пелин"},
                                  {QString(), "Без заглавие"},
                                  {"Тютюн", "Димов"},
                                  {"", ""},
                                  {"Железният светилник", "Талев"},
                                  {"", ""}});
    cat = openCatalogue(works.path());
    QVERIFY(cat->cleanUp());
    QCOMPARE(cat->rs().position(), 0);
    QCOMPARE(records(*cat),
             QStringList({"Под игото|Вазов", "∅|Без заглавие", "Тютюн|Димов", "Железният светилник|Талев"}));

    // After the first walk the three works are followed by exactly one entry slot.
    QTemporaryDir three;
    writeCatalogue(three.path(),
                   {{"", ""}, {"А", "Автор 1"}, {"", ""}, {"Б", "Автор 2"}, {"В", "Автор 1"}, {"", ""}});
    cat = openCatalogue(three.path());
    QVERIFY(cat->cleanUp());
    cat->rs().MoveFirst();
    cat->pokazhi(boxes);
    QCOMPARE(boxes.name, QString("А"));
    while (cat->napred(boxes)) {
    }
    QCOMPARE(records(*cat), QStringList({"А|Автор 1", "Б|Автор 2", "В|Автор 1", "|"}));
}

void TestCatalogue::napred() {
    QTemporaryDir dir;
    writeCatalogue(dir.path(), {{"Първа", "Автор"}, {"Втора", "Автор"}});
    auto cat = openCatalogue(dir.path());
    Recordset& rs = cat->rs();
    RecordBoxes boxes;
    cat->pokazhi(boxes);

    RecordBoxes noAuthor{"Първа", ""};
    QVERIFY(!cat->napred(noAuthor));
    QCOMPARE(rs.position(), 0);
    RecordBoxes noTitle{"", "Автор"};
    QVERIFY(!cat->napred(noTitle));
    QCOMPARE(rs.position(), 0);
    QCOMPARE(records(*cat), QStringList({"Първа|Автор", "Втора|Автор"}));

    // The boxes are saved into the record being left.
    rs.MoveFirst();
    boxes = {"Първа (поправена)", "Автор"};
    QVERIFY(cat->napred(boxes));
    QCOMPARE(boxes.name, QString("Втора"));
    QCOMPARE(rs.position(), 1);

    // Stepping off the last work appends an entry slot, lands on it and empties the boxes.
    QVERIFY(cat->napred(boxes));
    QCOMPARE(rs.position(), 2);
    QVERIFY(cat->isEntrySlot());
    QVERIFY(boxes.name.isEmpty() && boxes.number.isEmpty());
    QVERIFY(!cat->napred(boxes)); // and goes no further
    QCOMPARE(records(*cat), QStringList({"Първа (поправена)|Автор", "Втора|Автор", "|"}));

    QVERIFY(cat->prazenZapis());
    QCOMPARE(rs.position(), 3);
    QVERIFY(cat->isEntrySlot());
}

void TestCatalogue::saveSettings() {
    QTemporaryDir dir;
    writeCatalogue(dir.path(), {{"Друга", "Х"}, {"Двойник", "А"}, {"Двойник", "Б"}, {"", ""}});
    {
        auto cat = openCatalogue(dir.path());
        RecordBoxes boxes;
        QCOMPARE(cat->saveSettings("Двойник", "Arial", "12.5", "41", "16777215", "-2147483633", &boxes),
                 Catalogue::SaveResult::Saved);
        QCOMPARE(cat->rs().position(), 1);
        QCOMPARE(boxes.name, QString("Двойник"));
        QCOMPARE(boxes.number, QString("А"));
    }
    auto cat = openCatalogue(dir.path());
    Recordset& rs = cat->rs();
    QStringList settings;
    for (rs.MoveFirst(); !rs.eof(); rs.MoveNext()) {
        QStringList f;
        for (const char* name : {"Font", "Size", "STR", "CvetList", "CvetForma"})
            f << rs.field(name);
        settings << f.join(u',');
    }
    QCOMPARE(settings,
             QStringList({"f2,f3,f4,f5,f6", "Arial,12.5,41,16777215,-2147483633", "f2,f3,f4,f5,f6",
                          "f2,f3,f4,f5,f6"}));
    QCOMPARE(records(*cat), QStringList({"Друга|Х", "Двойник|А", "Двойник|Б", "|"}));
}

void TestCatalogue::saveSettingsWithoutMatch() {
    QTemporaryDir dir;
    writeCatalogue(dir.path(), {{"Първа", "А"}, {"Втора", "Б"}, {"", ""}});
    auto cat = openCatalogue(dir.path());
    RecordBoxes boxes;
    QCOMPARE(cat->saveSettings("Изтрита", "Arial", "12", "3", "1", "2", &boxes),
             Catalogue::SaveResult::NoRecord);
    QCOMPARE(cat->rs().position(), 2); // stopped on the entry slot
    QVERIFY(cat->isEntrySlot());
    Recordset& rs = cat->rs();
    for (rs.MoveFirst(); !rs.eof(); rs.MoveNext())
        QVERIFY(rs.field("Font") != "Arial" && rs.field("STR") != "3");
    QCOMPARE(rs.recordCount(), 3);

    // No entry slot at the end: the walk appends one, stops there, and still writes nothing.
    QTemporaryDir bare;
    writeCatalogue(bare.path(), {{"Първа", "А"}});
    cat = openCatalogue(bare.path());
    QCOMPARE(cat->saveSettings("Друга", "Arial", "12", "3", "1", "2"), Catalogue::SaveResult::NoRecord);
    QCOMPARE(records(*cat), QStringList({"Първа|А", "|"}));

    // A work without an author is passed, as the lists pass it: the works after it still get their save.
    QTemporaryDir blocked;
    writeCatalogue(blocked.path(), {{"Без автор", ""}, {"След него", "А"}});
    cat = openCatalogue(blocked.path());
    QCOMPARE(cat->saveSettings("След него", "Arial", "12", "3", "1", "2"), Catalogue::SaveResult::Saved);
    QCOMPARE(cat->rs().position(), 1);
    QCOMPARE(cat->rs().field("STR"), QString("3"));
    QCOMPARE(cat->saveSettings("Без автор", "Arial", "12", "4", "1", "2"), Catalogue::SaveResult::Saved);
    QCOMPARE(cat->rs().position(), 0);
    QCOMPARE(cat->rs().field("STR"), QString("4"));
}

void TestCatalogue::entrySlotAtEnd() {
    QTemporaryDir dir;
    writeCatalogue(dir.path(), {{"Първа", "А"}, {"Втора", "Б"}});
    auto cat = openCatalogue(dir.path());
    cat->rs().MoveNext();
    QVERIFY(cat->ensureEntrySlotAtEnd());
    QVERIFY(cat->ensureEntrySlotAtEnd());
    QCOMPARE(cat->rs().position(), 1); // the cursor stays
    QCOMPARE(records(*cat), QStringList({"Първа|А", "Втора|Б", "|"}));
}

void TestCatalogue::writeProtectedCatalogueIsRefused() {
    QTemporaryDir dir;
    writeCatalogue(dir.path(), {{"Първа", "А"}});
    const QString path = catalogPath(dir.path());
    const QByteArray before = readAll(path);
    // Permissions protect the file from everyone but the superuser; the immutable flag from that one too.
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    const bool immutable = QFile(path).open(QIODevice::ReadWrite) && setImmutable(path, true);
    if (QFile(path).open(QIODevice::ReadWrite))
        QSKIP("the file cannot be write-protected here");

    auto result = Catalogue::open(dir.path());
    if (immutable)
        setImmutable(path, false);
    QVERIFY(!result);
    QVERIFY2(result.message().contains(QStringLiteral("защитен срещу запис")), qPrintable(result.message()));
    QVERIFY2(result.message().contains(path), qPrintable(result.message()));
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"BAZA.mdb"}));
}

// A catalogue that cannot grow: the add and the settings save fail, say the disk is full, and change nothing.
void TestCatalogue::fullDiskIsSaidAndChangesNothing() {
    QTemporaryDir dir;
    writeCatalogue(dir.path(), {{"Първа", "А"}, {"", ""}});
    auto cat = openCatalogue(dir.path());
    Database& db = cat->database();
    QVERIFY(db.exec("PRAGMA max_page_count = 1")); // never below the pages in use: no room to grow
    WorkFileBuilder b;
    QVERIFY(b.begin(dir.path(), "Нова", WorkFileBuilder::Placement::Staged) && b.appendPage("страница") &&
            b.commit());
    const QString longAuthor(20000, u'я');
    const Result<> added =
        addWork(*cat, dir.path(), {"Нова", longAuthor, "Tahoma", "14", "1", "0", "0"}, b.stagedPath());
    QVERIFY(!added && added.kind() == FailureKind::DiskFull);
    QCOMPARE(added.message(), QString("Каталогът не може да бъде променен: няма свободно място на диска."));
    QCOMPARE(cat->saveSettings("Първа", QString(20000, u'ш'), "12", "3", "1", "2"),
             Catalogue::SaveResult::Failed);
    QCOMPARE(db.reason(), QString("няма свободно място на диска"));
    QCOMPARE(records(*cat), QStringList({"Първа|А", "|"}));
    QVERIFY(!QFile::exists(dir.filePath("Нова.mdb")));
}

namespace {
// A catalogue with the work "Първа" (its file holding one page) and the entry slot; the cursor on the work.
std::unique_ptr<Catalogue> oneWork(const QString& dir) {
    writeCatalogue(dir, {{"Първа", "А"}, {"", ""}});
    WorkFileBuilder b;
    if (!b.begin(dir, "Първа") || !b.appendPage("страница") || !b.commit())
        return nullptr;
    auto cat = openCatalogue(dir);
    cat->rs().MoveFirst();
    return cat;
}
} // namespace

void TestCatalogue::deleteLeavesAnotherProgramsChange() {
    QTemporaryDir dir;
    auto cat = oneWork(dir.path());
    QVERIFY(cat);
    const QByteArray before = readAll(dir.filePath("Първа.mdb"));
    Database other;
    QVERIFY(other.open(catalogPath(dir.path()), Database::Mode::ReadWrite));
    QVERIFY(other.exec("UPDATE Phones SET Name = 'Преименувана' WHERE Name = 'Първа'"));

    const Result<RemovedWork> removed = removeCurrentWork(*cat, dir.path(), "Първа");
    QVERIFY(!removed && removed.kind() == FailureKind::NotFound);
    QVERIFY2(removed.message().contains("друга програма"), qPrintable(removed.message()));
    QCOMPARE(readAll(dir.filePath("Първа.mdb")), before);
    QCOMPARE(records(*cat), QStringList({"Преименувана|А", "|"}));
}

void TestCatalogue::deletePutsTheFileBackWhenTheRecordStays() {
    QTemporaryDir dir;
    auto cat = oneWork(dir.path());
    QVERIFY(cat);
    const QByteArray before = readAll(dir.filePath("Първа.mdb"));
    // The file is moved aside first; then the record refuses to go: another table still refers to it.
    QVERIFY(cat->database().exec("CREATE UNIQUE INDEX names ON Phones (Name); PRAGMA foreign_keys = ON;"
                                 "CREATE TABLE Keep (Title TEXT REFERENCES Phones (Name));"
                                 "INSERT INTO Keep VALUES ('Първа');"));

    const Result<RemovedWork> removed = removeCurrentWork(*cat, dir.path(), "Първа");
    QVERIFY(!removed);
    QCOMPARE(readAll(dir.filePath("Първа.mdb")), before);
    QCOMPARE(records(*cat), QStringList({"Първа|А", "|"}));
    QCOMPARE(QDir(dir.path()).entryList({".velmora-build-*"}, QDir::Files | QDir::Hidden), QStringList());
    // Nothing is left for the next open to finish.
    Statement pending(cat->database(), QStringLiteral("SELECT count(*) FROM %1").arg(schema::kPendingTable));
    QVERIFY(pending.step() == Statement::Step::Row && pending.int64(0) == 0);
}

void TestCatalogue::setAsideNamesAreNumbered() {
    QTemporaryDir dir;
    auto cat = openCatalogue(dir.path());
    const QDir lib(dir.path());
    QVERIFY(lib.mkpath(kAsideFolder));
    for (const char* name : {"Чужд.mdb", "Чужд (2).mdb"}) {
        QFile f(lib.filePath(kAsideFolder + u'/' + QString::fromUtf8(name)));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("по-ранен") > 0);
    }
    QFile foreign(lib.filePath("Чужд.mdb"));
    QVERIFY(foreign.open(QIODevice::WriteOnly) && foreign.write("не е произведение") > 0);
    foreign.close();

    const ReconcileReport report = reconcileLibrary(*cat, dir.path());
    QCOMPARE(report.setAside, QStringList{"Чужд.mdb"});
    QCOMPARE(report.messages().size(), size_t(1));
    QCOMPARE(readAll(lib.filePath(kAsideFolder + "/Чужд (3).mdb")), QByteArray("не е произведение"));
    QCOMPARE(readAll(lib.filePath(kAsideFolder + "/Чужд.mdb")), QByteArray("по-ранен"));
    QVERIFY(!QFile::exists(lib.filePath("Чужд.mdb")));
}

namespace {
// A catalogue of exactly these records, cleaned up as at start-up, and the window's boxes.
struct Opened {
    QTemporaryDir dir;
    std::unique_ptr<Catalogue> cat;
    RecordBoxes boxes;
    explicit Opened(const QList<Row>& rows) {
        writeCatalogue(dir.path(), rows);
        cat = openCatalogue(dir.path());
        cat->cleanUp();
    }
};

const QString A = QStringLiteral("А");
const QString B = QStringLiteral("Б");
} // namespace

void TestCatalogue::onlyTheEntrySlot() {
    // One empty title and one empty author, and no second slot.
    Opened o(QList<Row>{{"", ""}});
    const CatalogueLists lists = spisak(*o.cat, o.boxes);
    QCOMPARE(lists.titles, QStringList({QString()}));
    QCOMPARE(lists.authors, QStringList({QString()}));
    QCOMPARE(o.cat->rs().recordCount(), 1);
}

void TestCatalogue::walkEndsOnlyAtTheEntrySlot() {
    // A one-character title, and a record without an author, are listed with the works after them; a record
    // without any title value is passed over; a catalogue without an entry slot gets one.
    Opened o({{QStringLiteral("Първо"), A},
              {QString(), QStringLiteral("x")},
              {QStringLiteral("Я"), B},
              {QStringLiteral("Безименно"), QString()},
              {QStringLiteral("Последно"), A}});
    const CatalogueLists lists = spisak(*o.cat, o.boxes);
    QCOMPARE(lists.titles, QStringList({"Първо", "Я", "Безименно", "Последно"}));
    QCOMPARE(lists.authors, QStringList({A, B, QString()}));
    QCOMPARE(o.cat->rs().recordCount(), 6);
    QVERIFY(o.cat->isEntrySlot());
    QVERIFY(o.boxes.name.isEmpty());
    // The next walk finds the slot and appends nothing.
    QCOMPARE(allTitles(*o.cat, o.boxes).size(), 4);
    QCOMPARE(o.cat->rs().recordCount(), 6);
}

void TestCatalogue::searchFindsTheFirstAndStopsAtTheSlot() {
    Opened o({{QStringLiteral("Две"), A, "Arial", "12", "7", "255", "0"},
              {QStringLiteral("Същото"), A, "Tahoma", "14.25", "9", "65280", "16711680"},
              {QStringLiteral("Същото"), B, "Courier", "10", "3", "1", "2"},
              {"", ""}});
    const auto found = tarsene(*o.cat, o.boxes, QStringLiteral("Същото"));
    QVERIFY(found);
    QCOMPARE(found->font, QStringLiteral("Tahoma"));
    QCOMPARE(found->size, QStringLiteral("14.25"));
    QCOMPARE(found->str, QStringLiteral("9"));
    QCOMPARE(found->cvetList, QStringLiteral("65280"));
    QCOMPARE(found->cvetForma, QStringLiteral("16711680"));
    QCOMPARE(o.cat->rs().position(), 1);
    QCOMPARE(o.boxes.number, A);

    // A title nobody carries ends the search at the entry slot, and the empty title finds nothing.
    QVERIFY(!tarsene(*o.cat, o.boxes, QStringLiteral("Няма го")));
    QVERIFY(o.cat->isEntrySlot());
    QVERIFY(!tarsene(*o.cat, o.boxes, QString()));
    QCOMPARE(o.cat->rs().recordCount(), 4);
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
