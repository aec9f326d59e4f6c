// Joining hard line breaks: the worked examples, and the one-pass join against the step-by-step clean-up.
#include "core/text/LineJoin.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

const QString CRLF = QStringLiteral("\r\n");

// The clean-up exactly as the panel goes through it: each replace-all step rewrites the whole text before the
// next one starts, in this order.
QString stepByStep(QString text) {
    static const QStringList steps = {
        QStringLiteral("ч"), QStringLiteral("я"), QStringLiteral("в"), QStringLiteral("е"),
        QStringLiteral("р"), QStringLiteral("т"), QStringLiteral("ъ"), QStringLiteral("у"),
        QStringLiteral("и"), QStringLiteral("о"), QStringLiteral("п"), QStringLiteral("ш"),
        QStringLiteral("щ"), QStringLiteral("а"), QStringLiteral("с"), QStringLiteral("д"),
        QStringLiteral("ф"), QStringLiteral("г"), QStringLiteral("х"), QStringLiteral("й"),
        QStringLiteral("к"), QStringLiteral("л"), QStringLiteral(";"), QStringLiteral("з"),
        QStringLiteral("ь"), QStringLiteral("ц"), QStringLiteral("ж"), QStringLiteral("б"),
        QStringLiteral("н"), QStringLiteral("м"),
    };
    for (const QString& c : steps)
        text.replace(CRLF + c, QLatin1Char(' ') + c);
    text.replace(CRLF + QLatin1Char(','), QStringLiteral(", "));
    text.remove(QLatin1Char('_'));
    return text;
}

QString crlf(QString s) {
    return s.replace(QStringLiteral("⏎"), CRLF);
}

} // namespace

class TestLineJoin : public QObject {
    Q_OBJECT

private slots:
    void examples_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("lowercase continues") << crlf("хубав⏎ден") << "хубав ден";
        QTest::newRow("capital keeps") << crlf("край.⏎Нов ред") << crlf("край.⏎Нов ред");
        QTest::newRow("blank line") << crlf("думи⏎⏎и още") << crlf("думи⏎ и още");
        QTest::newRow("comma") << crlf("едно⏎,две") << "едно, две";
        QTest::newRow("semicolon") << crlf("едно⏎;две") << "едно ;две";
        QTest::newRow("yu keeps") << crlf("ново⏎юни") << crlf("ново⏎юни");
        QTest::newRow("underscore") << "под_черта"
                                    << "подчерта";
        QTest::newRow("underscore after break") << crlf("думи⏎_и") << crlf("думи⏎и");
        QTest::newRow("LF only") << "хубав\nден\n_и"
                                 << "хубав\nден\nи";
        QTest::newRow("digit and dash keep") << crlf("глава⏎2⏎– каза") << crlf("глава⏎2⏎– каза");
        QTest::newRow("blank line before comma") << crlf("а⏎⏎,б") << crlf("а⏎, б");
        QTest::newRow("CR before joined break") << crlf("а\r⏎и") << "а\r и";
        QTest::newRow("letter at the very end") << crlf("край⏎и") << "край и";
        QTest::newRow("break at the start") << crlf("⏎и⏎,") << " и, ";
    }
    void examples() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(vel::joinLineBreaks(input), expected);
        QCOMPARE(stepByStep(input), expected);
    }

    // Every character up to the end of the Cyrillic block after a line break, alone and between breaks.
    void everyFollowingCharacterMatchesSteps() {
        for (char16_t c = 1; c < 0x0500; ++c) {
            const QString ch(QChar{c});
            for (const QString& input :
                 QStringList{CRLF + ch, QStringLiteral("x") + CRLF + ch + CRLF + ch + QStringLiteral("y")}) {
                const QString got = vel::joinLineBreaks(input);
                if (got != stepByStep(input))
                    QFAIL(qPrintable(
                        QStringLiteral("differs after U+%1").arg(int(c), 4, 16, QLatin1Char('0'))));
            }
        }
        QVERIFY(!vel::joinsLineBreakBefore(QChar(u'ю')));
        QVERIFY(vel::joinsLineBreakBefore(QChar(u'ъ')));
    }

    // Texts dense in breaks, underscores and the characters around them, where step interactions would show.
    void randomTextsMatchSteps() {
        static const QStringList pieces = {
            CRLF,
            CRLF,
            CRLF,
            QStringLiteral("\r"),
            QStringLiteral("\n"),
            QStringLiteral("_"),
            QStringLiteral(","),
            QStringLiteral(";"),
            QStringLiteral(" "),
            QStringLiteral("ю"),
            QStringLiteral("ы"),
            QStringLiteral("Ю"),
            QStringLiteral("А"),
            QStringLiteral("."),
            QStringLiteral("7"),
            QStringLiteral("a"),
            QStringLiteral("\t"),
            QStringLiteral("а"),
            QStringLiteral("ч"),
            QStringLiteral("м"),
            QStringLiteral("н"),
            QStringLiteral("ь"),
            QStringLiteral("я"),
            QStringLiteral("з"),
            QStringLiteral("\r\r"),
            QStringLiteral("\n\n"),
        };
        const quint32 seed = 20240611;
        QRandomGenerator rng(seed);
        for (int round = 0; round < 20000; ++round) {
            QString text;
            const int length = rng.bounded(60);
            for (int i = 0; i < length; ++i)
                text += pieces.at(rng.bounded(int(pieces.size())));
            const QString got = vel::joinLineBreaks(text);
            const QString want = stepByStep(text);
            if (got != want) {
                QString shown = text;
                shown.replace(QLatin1Char('\r'), QStringLiteral("<CR>"))
                    .replace(QLatin1Char('\n'), QStringLiteral("<LF>"));
                QFAIL(qPrintable(QStringLiteral("seed %1 round %2: %3").arg(seed).arg(round).arg(shown)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestLineJoin)
#include "tst_linejoin.moc"
