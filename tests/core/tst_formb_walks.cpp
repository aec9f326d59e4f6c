// The catalogue walks without any window.
#include "CatalogueFixture.h"
#include "core/catalogue/CatalogueWalks.h"

#include <QTemporaryDir>

using namespace vel;
using namespace vel::test;

namespace {

struct Opened {
    QTemporaryDir dir;
    std::unique_ptr<Catalogue> cat;
    RecordBoxes boxes;
    explicit Opened(const QList<Row>& rows) {
        writeCatalogue(dir.path(), rows);
        cat = std::move(Catalogue::open(dir.path()).catalogue);
        cat->cleanUp();
    }
};

const QString A = QStringLiteral("А");
const QString B = QStringLiteral("Б");

} // namespace

class TstFormBWalks : public QObject {
    Q_OBJECT

private slots:
    void onlyTheEntrySlot();
    void walkEndsOnlyAtTheEntrySlot();
    void searchFindsTheFirstAndStopsAtTheSlot();
};

void TstFormBWalks::onlyTheEntrySlot() {
    // One empty title and one empty author, and no second slot.
    Opened o(QList<Row>{{"", ""}});
    const CatalogueLists lists = spisak(*o.cat, o.boxes);
    QCOMPARE(lists.titles, QStringList({QString()}));
    QCOMPARE(lists.authors, QStringList({QString()}));
    QCOMPARE(o.cat->rs().recordCount(), 1);
}

void TstFormBWalks::walkEndsOnlyAtTheEntrySlot() {
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

void TstFormBWalks::searchFindsTheFirstAndStopsAtTheSlot() {
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

QTEST_GUILESS_MAIN(TstFormBWalks)
#include "tst_formb_walks.moc"
