// The catalogue: opening (and creating), the start-up clean-up and the cursor operations the walks use.
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
#include <optional>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace vel;

namespace {

// One catalogue record as written by hand; nullopt stands for a missing value.
struct Row {
    std::optional<QString> name;
    std::optional<QString> number;
};

void writeCatalogue(const QString& dir, const std::vector<Row>& rows) {
    Database db;
    QVERIFY(db.open(catalogPath(dir), Database::Mode::Create));
    QVERIFY(
        db.exec(QStringLiteral("CREATE TABLE Phones (Name TEXT, Number TEXT, Font TEXT, Size TEXT, STR TEXT,"
                               " CvetList TEXT, CvetForma TEXT)")));
    for (const Row& r : rows) {
        Statement st(db, QStringLiteral("INSERT INTO Phones (Name, Number, Font) VALUES (?1, ?2, 'Tahoma')"));
        r.name ? st.bind(1, *r.name) : st.bindNull(1);
        r.number ? st.bind(2, *r.number) : st.bindNull(2);
        QCOMPARE(st.step(), Statement::Step::Done);
    }
}

std::unique_ptr<Catalogue> openCatalogue(const QString& dir) {
    auto result = Catalogue::open(dir);
    if (!result)
        qWarning("%s", qPrintable(result.error));
    return std::move(result.catalogue);
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
};

void TestCatalogue::missingCatalogueIsCreated() {
    QTemporaryDir dir;
    {
        auto result = Catalogue::open(dir.path());
        QCOMPARE(result.status, Catalogue::OpenStatus::Created);
        QCOMPARE(records(*result.catalogue), QStringList({"|"}));
        result.catalogue->rs().MoveFirst();
        QVERIFY(result.catalogue->isEntrySlot());
    }
    auto again = Catalogue::open(dir.path());
    QCOMPARE(again.status, Catalogue::OpenStatus::Opened);
    QCOMPARE(again.catalogue->rs().recordCount(), 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"BAZA.mdb"}));

    auto nowhere = Catalogue::open(dir.filePath(QStringLiteral("няма")));
    QCOMPARE(nowhere.status, Catalogue::OpenStatus::Failed);
    QVERIFY(nowhere.error.contains(QStringLiteral("BAZA.mdb")));
}

void TestCatalogue::damagedCatalogueIsLeftAlone() {
    auto expectRefused = [](const QString& dir, const QString& mention) {
        const QByteArray before = readAll(catalogPath(dir));
        auto result = Catalogue::open(dir);
        QCOMPARE(result.status, Catalogue::OpenStatus::Failed);
        QVERIFY(!result.catalogue);
        QVERIFY2(result.error.contains(catalogPath(dir)), qPrintable(result.error));
        QVERIFY2(result.error.contains(mention), qPrintable(result.error));
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
    writeCatalogue(blanks.path(), {{"", ""}, {"", "Вазов"}, {"", std::nullopt}});
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
                                  {std::nullopt, "Без заглавие"},
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
             QStringList({"Tahoma,,,,", "Arial,12.5,41,16777215,-2147483633", "Tahoma,,,,", "Tahoma,,,,"}));
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
        QVERIFY(rs.field("Font") != "Arial" && rs.field("STR").isEmpty());
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
    QCOMPARE(result.status, Catalogue::OpenStatus::Failed);
    QVERIFY(!result.catalogue);
    QVERIFY2(result.error.contains(QStringLiteral("защитен срещу запис")), qPrintable(result.error));
    QVERIFY2(result.error.contains(path), qPrintable(result.error));
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
    const WriteResult added =
        addWork(*cat, dir.path(), {"Нова", longAuthor, "Tahoma", "14", "1", "0", "0"}, b.stagedPath());
    QVERIFY(!added.ok() && added.diskFull);
    QCOMPARE(added.error, QString("Каталогът не може да бъде променен: няма свободно място на диска."));
    QCOMPARE(cat->saveSettings("Първа", QString(20000, u'ш'), "12", "3", "1", "2"),
             Catalogue::SaveResult::Failed);
    QCOMPARE(db.reason(), QString("няма свободно място на диска"));
    QCOMPARE(records(*cat), QStringList({"Първа|А", "|"}));
    QVERIFY(!QFile::exists(dir.filePath("Нова.mdb")));
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
