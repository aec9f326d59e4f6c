// The reading state the windows share: it tells of real changes only, and a new work goes into the library
// with its record only when its file is finished under a free name.

#include "core/reading/ReadingState.h"
#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/WorkFileBuilder.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vel;

class TestReadingState : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void signalsOnlyOnChange();
    void newWorkGoesInOnlyUnderAFreeName();
};

void TestReadingState::signalsOnlyOnChange() {
    ReadingState state;
    QSignalSpy settings(&state, &ReadingState::settingsChanged);
    QSignalSpy layout(&state, &ReadingState::layoutChanged);
    QSignalSpy panel(&state, &ReadingState::panelTextChanged);
    state.setFontSize(QStringLiteral("18"));
    state.setFontSize(QStringLiteral("18"));
    state.setLayout(state.layout());
    state.setPanelText(QStringLiteral("ред\r\nпродължение"));
    state.joinPanelLines();
    QCOMPARE(settings.count(), 1);
    QCOMPARE(state.settings().font, QStringLiteral("Tahoma")); // the other settings stay
    QCOMPARE(layout.count(), 0);
    QCOMPARE(panel.count(), 2);
    QVERIFY(!state.panelText().contains(u'\n'));
}

void TestReadingState::newWorkGoesInOnlyUnderAFreeName() {
    QTemporaryDir dir;
    auto opened = Catalogue::open(dir.path());
    QVERIFY(opened->catalogue);
    ReadingState state;
    QSignalSpy added(&state, &ReadingState::workAdded);
    auto staged = [&](const QString& name, WorkFileBuilder& b) {
        return b.begin(dir.path(), name, WorkFileBuilder::Placement::Staged) && b.appendPage("страница") &&
               b.commit();
    };

    // Without a catalogue or a confirmed work there is nothing to add to or add.
    WorkFileBuilder first;
    QVERIFY(staged(QStringLiteral("Нова"), first));
    QVERIFY(!state.addBuiltWork(dir.path(), QStringLiteral("Нова"), first.stagedPath()).ok());
    state.setCatalogue(opened->catalogue.get());
    QVERIFY(!state.addBuiltWork(dir.path(), QStringLiteral("Нова"), first.stagedPath()).ok());

    state.setNewWork({QStringLiteral("Нова"), QStringLiteral("Автор"), "Tahoma", "14", "1", "0", "0"});
    QVERIFY(state.addBuiltWork(dir.path(), QStringLiteral("Нова"), first.stagedPath()).ok());
    QCOMPARE(state.title(), QStringLiteral("Нова"));
    QCOMPARE(added.count(), 1);
    QVERIFY(!state.hasNewWork());

    // A second work of the same title waits for another name; the first keeps its file and record.
    WorkFileBuilder second;
    QVERIFY(staged(QStringLiteral("Друга"), second));
    state.setNewWork({QStringLiteral("Нова"), QStringLiteral("Друг"), "Tahoma", "14", "1", "0", "0"});
    QCOMPARE(state.addBuiltWork(dir.path(), QStringLiteral("Нова"), second.stagedPath()).kind(),
             FailureKind::Exists);
    QVERIFY(state.hasNewWork());
    QCOMPARE(added.count(), 1);
    QVERIFY(state.addBuiltWork(dir.path(), QStringLiteral("Нова 2"), second.stagedPath()).ok());
    QCOMPARE(state.title(), QStringLiteral("Нова 2"));
    QCOMPARE(added.count(), 2);
}

QTEST_GUILESS_MAIN(TestReadingState)
#include "tst_readingstate.moc"
