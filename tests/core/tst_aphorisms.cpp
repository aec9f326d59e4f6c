// The aphorism table as delivered with the program, and the choice of a text by the clock's index text.

#include "core/Assets.h"
#include "core/clock/Aphorisms.h"

#include <QFile>
#include <QSet>
#include <QtTest>

using namespace vel;

namespace {

QByteArray about(int index, const QByteArray& what) {
    return QByteArray("aphorism ") + QByteArray::number(index) + QByteArray(": ") + what;
}

} // namespace

class TestAphorisms : public QObject {
    Q_OBJECT

private slots:
    void table_holdsEightyEightWellFormedTexts();
    void table_isTheResourceLineByLineUntrimmed();
    void slots_firstLastAndEmpty();
    void indexText_choosesTheSlot_data();
    void indexText_choosesTheSlot();
};

void TestAphorisms::table_holdsEightyEightWellFormedTexts() {
    const QStringList& texts = aphorisms();
    QCOMPARE(texts.size(), 88);
    QCOMPARE(QSet<QString>(texts.begin(), texts.end()).size(), texts.size());

    int endingWithSpace = 0;
    for (int i = 0; i < texts.size(); ++i) {
        const QString& text = texts.at(i);
        // Counted in characters, not UTF-16 units or bytes.
        const qsizetype length = text.toUcs4().size();
        QVERIFY2(length >= 37 && length <= 314,
                 about(i + 1, QByteArray::number(length) + QByteArray(" characters")));
        QVERIFY2(!text.front().isSpace(), about(i + 1, "starts with a blank"));
        QVERIFY2(!text.contains(QChar::ReplacementCharacter), about(i + 1, "broken UTF-8"));

        int cyrillic = 0;
        int letters = 0;
        for (const QChar c : text) {
            const bool paragraphBreak = c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
                                        c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
            QVERIFY2(!paragraphBreak && c != QLatin1Char('\t'), about(i + 1, "is not one paragraph"));
            if (c.isLetter()) {
                ++letters;
                if (c.script() == QChar::Script_Cyrillic)
                    ++cyrillic;
            }
        }
        QVERIFY2(letters > 0 && cyrillic == letters, about(i + 1, "has letters outside Cyrillic"));
        QVERIFY2(letters * 10 >= length * 7, about(i + 1, "is not mostly words"));

        if (text.endsWith(QLatin1Char(' '))) {
            ++endingWithSpace;
            QVERIFY2(!text.chopped(1).back().isSpace(), about(i + 1, "ends with more than one blank"));
        }
    }
    QCOMPARE(endingWithSpace, 9);
}

void TestAphorisms::table_isTheResourceLineByLineUntrimmed() {
    initAssets();
    QFile file(QStringLiteral(":/aphorisms.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF")); // a byte-order mark would end up in the first text
    QVERIFY(!bytes.contains('\r'));
    QCOMPARE(bytes.count('\n'), 88);
    QVERIFY(bytes.endsWith('\n'));
    QCOMPARE(aphorisms().join(QLatin1Char('\n')) + QLatin1Char('\n'), QString::fromUtf8(bytes));
}

void TestAphorisms::slots_firstLastAndEmpty() {
    const QStringList& texts = aphorisms();
    QCOMPARE(aphorism(1), texts.first());
    QCOMPARE(aphorism(2), texts.at(1));
    QCOMPARE(aphorism(88), texts.last());
    for (int index : {0, -1, 89, 100, 101})
        QVERIFY2(aphorism(index).isEmpty(), QByteArray::number(index));
}

void TestAphorisms::indexText_choosesTheSlot_data() {
    QTest::addColumn<QString>("text4");
    QTest::addColumn<int>("slot"); // 0: an empty slot

    QTest::newRow("first") << "1" << 1;
    QTest::newRow("last") << "88" << 88;
    QTest::newRow("middle") << "45" << 45;
    QTest::newRow("blanks around") << " 7 " << 7;
    QTest::newRow("empty slot 89") << "89" << 0;
    QTest::newRow("empty slot 100") << "100" << 0;
    // No index yet, or none that names a slot: the first text rather than a failure.
    QTest::newRow("before the first tick") << "Text4" << 1;
    QTest::newRow("empty") << "" << 1;
    QTest::newRow("zero") << "0" << 1;
    QTest::newRow("negative") << "-5" << 1;
    QTest::newRow("past the table") << "101" << 1;
    QTest::newRow("overflow") << "4294967297" << 1;
    QTest::newRow("fraction") << "2.5" << 1;
    QTest::newRow("trailing junk") << "12a" << 1;
}

void TestAphorisms::indexText_choosesTheSlot() {
    QFETCH(QString, text4);
    QFETCH(int, slot);
    const QString expected = slot == 0 ? QString() : aphorisms().at(slot - 1);
    QCOMPARE(aphorismForIndexText(text4), expected);
}

QTEST_GUILESS_MAIN(TestAphorisms)
#include "tst_aphorisms.moc"
