// The spread arithmetic without a window: opening at a bookmark, turning, jumping, the end-of-book rule.
#include "core/book/Spread.h"

#include <QTest>

using namespace vel;

namespace {

// A work of n pages "p1".."pn", labelled by their numbers; reads are counted.
struct Work {
    QStringList texts;
    QStringList labels;
    int reads = 0;
    QList<int> unreadable;

    explicit Work(int n) {
        for (int i = 1; i <= n; ++i) {
            texts << QStringLiteral("p%1").arg(i);
            labels << QString::number(i);
        }
    }
    Spread spread() {
        return Spread(int(texts.size()), [this](int n) {
            ++reads;
            if (unreadable.contains(n))
                return StoredPage{{}, {}, false};
            return StoredPage{labels[n - 1], texts[n - 1], true};
        });
    }
};

QString page(int n) {
    return QStringLiteral("p%1").arg(n);
}

// The spread rules for left page n of a work of `count` pages.
void checkSpread(const Spread& s, int n, int count) {
    const SpreadView& v = s.view();
    QCOMPARE(v.leftText, page(n));
    QCOMPARE(v.rightText, n + 1 <= count ? page(n + 1) : QString());
    QCOMPARE(v.label1, QString::number(n));
    QCOMPARE(v.label2, QString::number(n + 1));
    QCOMPARE(v.pageBox, QString::number(n));
    QCOMPARE(s.pageCounter(), n + 1);
    QCOMPARE(s.cursor(), n + 1); // on page n + 1, or the end position after the last page
}

} // namespace

class TstSpread : public QObject {
    Q_OBJECT

private slots:
    void turningThroughWholeWorks_data();
    void turningThroughWholeWorks();
    void bookmarks();
    void jumps();
    void unreadablePagesChangeNothing();
    void endOfBookRule();
    void pageLists();
    void screenAndLayout();
    void carrierNumbers();
};

void TstSpread::turningThroughWholeWorks_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("lastLeft");
    QTest::newRow("1 page") << 1 << 1;
    QTest::newRow("2 pages") << 2 << 1;
    QTest::newRow("7 pages") << 7 << 7;
    QTest::newRow("8 pages") << 8 << 7;
    QTest::newRow("10 pages") << 10 << 9;
}

void TstSpread::turningThroughWholeWorks() {
    QFETCH(int, count);
    QFETCH(int, lastLeft);
    Work w(count);
    Spread s = w.spread();
    QVERIFY(s.openAtBookmark(1));
    QCOMPARE(s.lastPage(), count);
    checkSpread(s, 1, count);
    QVERIFY(!s.back());
    checkSpread(s, 1, count);

    for (int n = 3; n <= lastLeft; n += 2) {
        QVERIFY(s.forward());
        checkSpread(s, n, count);
    }
    const int readsAtEnd = w.reads;
    QVERIFY(!s.forward());
    checkSpread(s, lastLeft, count);
    QCOMPARE(w.reads, readsAtEnd);

    for (int n = lastLeft - 2; n >= 1; n -= 2) {
        QVERIFY(s.back());
        checkSpread(s, n, count);
    }
    QVERIFY(!s.back());
}

void TstSpread::bookmarks() {
    {
        // Opening reads only the last page (its number) and the spread itself.
        Work w(10);
        Spread s = w.spread();
        QVERIFY(s.openAtBookmark(5));
        checkSpread(s, 5, 10);
        QCOMPARE(w.reads, 3);
    }
    {
        // Beyond the end: the last spread, correctly labelled, and turning back all the way works.
        Work w(7);
        Spread s = w.spread();
        QVERIFY(s.openAtBookmark(11));
        checkSpread(s, 7, 7);
        for (int n = 5; n >= 1; n -= 2) {
            QVERIFY(s.back());
            checkSpread(s, n, 7);
        }
        Work even(8);
        Spread e = even.spread();
        QVERIFY(e.openAtBookmark(30));
        checkSpread(e, 7, 8);
    }
    {
        Work w(4);
        Spread s = w.spread();
        QVERIFY(s.openAtBookmark(0));
        checkSpread(s, 1, 4);
        QVERIFY(s.openAtBookmark(-3));
        checkSpread(s, 1, 4);
    }
    {
        // Two equal pages at the bookmark: the right one is shown empty.
        Work w(6);
        w.texts[3] = w.texts[2];
        Spread s = w.spread();
        QVERIFY(s.openAtBookmark(3));
        QCOMPARE(s.view().leftText, page(3));
        QCOMPARE(s.view().rightText, QString());
        QCOMPARE(s.view().label2, QStringLiteral("4"));
    }
}

void TstSpread::jumps() {
    for (int count : {10, 7}) {
        Work w(count);
        Spread s = w.spread();
        QVERIFY(s.openAtBookmark(1));
        QVERIFY(s.showAt(7));
        checkSpread(s, 7, count);
        s.tidyUp();
        checkSpread(s, 7, count);
    }
    {
        // A jump labels the pages with their stored numbers.
        Work w(4);
        w.labels = QStringList{QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("13"),
                               QStringLiteral("14")};
        Spread s = w.spread();
        QVERIFY(s.showAt(3));
        QCOMPARE(s.view().label1, QStringLiteral("13"));
        QCOMPARE(s.view().label2, QStringLiteral("14"));
        QCOMPARE(s.pageCounter(), 14);
        // The tidy-up puts the left label one below the right one.
        w.labels[2] = QStringLiteral("x");
        QVERIFY(s.showAt(3));
        QCOMPARE(s.view().label1, QStringLiteral("x"));
        s.tidyUp();
        QCOMPARE(s.view().label1, QStringLiteral("13"));
    }
}

void TstSpread::unreadablePagesChangeNothing() {
    Work w(6);
    Spread s = w.spread();
    QVERIFY(s.openAtBookmark(1));
    const SpreadView before = s.view();
    w.unreadable = {3};
    QVERIFY(!s.forward());
    QCOMPARE(s.view(), before);
    QCOMPARE(s.pageCounter(), 2);
    QVERIFY(!s.showAt(3));
    QCOMPARE(s.view(), before);
    w.unreadable.clear();
    QVERIFY(s.forward());
    checkSpread(s, 3, 6);

    Spread empty;
    QVERIFY(!empty.isOpen());
    QVERIFY(!empty.forward());
    QVERIFY(!empty.back());
    QVERIFY(!empty.showAt(1));
    QVERIFY(!empty.openAtBookmark(1));
}

void TstSpread::endOfBookRule() {
    const struct {
        int left, last, recorded;
    } cases[] = {
        {1, 100, 1},  {97, 100, 97}, {99, 100, 95}, {95, 99, 95}, {97, 99, 93},
        {99, 99, 95}, {5, 5, 1},     {3, 4, 3},     {1, 1, 1},    {4, 4, 4},
    };
    for (const auto& c : cases)
        QVERIFY2(Spread::endOfBookRule(c.left, c.last) == c.recorded,
                 qPrintable(QStringLiteral("%1 of %2").arg(c.left).arg(c.last)));
}

void TstSpread::pageLists() {
    QCOMPARE(Spread::leftPageNumbers(7), (QStringList{"1", "3", "5", "7"}));
    QCOMPARE(Spread::leftPageNumbers(2), QStringList{"1"});
    QCOMPARE(Spread::leftPageNumbers(1), QStringList{"1"});
    QVERIFY(Spread::leftPageNumbers(0).isEmpty());
    const QStringList longest = Spread::leftPageNumbers(32767);
    QCOMPARE(longest.size(), 16384);
    QCOMPARE(longest.last(), QStringLiteral("32767"));

    QCOMPARE(Spread::listRowOf(1, 7), 0);
    QCOMPARE(Spread::listRowOf(7, 7), 3);
    QCOMPARE(Spread::listRowOf(32767, 32767), 16383);
    QCOMPARE(Spread::listRowOf(8, 10), -1);
    QCOMPARE(Spread::listRowOf(9, 8), -1);
    QCOMPARE(Spread::listRowOf(0, 8), -1);
}

void TstSpread::screenAndLayout() {
    QCOMPARE(Spread::fontStep(1.0f, 1.0f), 0);
    QCOMPARE(Spread::fontStep(1280.0f / 1024, 1024.0f / 768), 1);
    QCOMPARE(Spread::fontStep(800.0f / 1024, 600.0f / 768), -1);

    const BookLayout l = bookLayout(15360, 11520, 975, 975);
    QCOMPARE(l.r1, (TwipsRect{420, 420, 6840, 10720}));
    QCOMPARE(l.r2, (TwipsRect{8100, 420, 6880, 10720}));
    QCOMPARE(l.label1Top, 420.0 + 10720 + 70);
    QCOMPARE(l.label2Top, l.label1Top);
    // Each number is centred under its page.
    QCOMPARE(l.label1Left + 975 / 2.0, l.r1.left + l.r1.width / 2);
    QCOMPARE(l.label2Left + 975 / 2.0, l.r2.left + l.r2.width / 2);
}

void TstSpread::carrierNumbers() {
    QCOMPARE(pointsFromText(QStringLiteral("14,25")), std::optional<double>(14.25));
    QVERIFY(!pointsFromText(QStringLiteral("Text7")));
    QCOMPARE(steppedFontSize(14 * 0.989f, 1), 14.846);
    QVERIFY(!wholeNumber16(QStringLiteral("32768")));
    QVERIFY(!wholeNumber16(QStringLiteral("7.5")));
}

QTEST_GUILESS_MAIN(TstSpread)
#include "tst_spread.moc"
