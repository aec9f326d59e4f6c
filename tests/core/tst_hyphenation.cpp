// Where words may break: the letters kept on each side, words the patterns cannot speak for, and pattern
// files that cannot be used.
#include "core/book/Hyphenation.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vel;

namespace {
std::vector<int> breaksOf(const Hyphenator& h, QStringView word) {
    std::vector<int> at;
    h.breaks(word, at);
    return at;
}

std::unique_ptr<Hyphenator> patternsFrom(const QTemporaryDir& dir, const QByteArray& text) {
    const QString path = dir.filePath(QStringLiteral("hyph.dic"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return nullptr;
    f.close();
    return Hyphenator::load(path);
}
} // namespace

class TestHyphenation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bulgarianWords() {
        const Hyphenator* h = Hyphenator::bulgarian();
        QVERIFY2(h, "the hyphen-bg patterns are not installed");
        for (const QString& word :
             QStringList{QStringLiteral("литература"), QStringLiteral("библиотека"),
                         QStringLiteral("противообществен"), QStringLiteral("ябълка")}) {
            const std::vector<int> at = breaksOf(*h, word);
            QVERIFY2(!at.empty(), qPrintable(word));
            QVERIFY(std::is_sorted(at.begin(), at.end()) &&
                    std::adjacent_find(at.begin(), at.end()) == at.end());
            QVERIFY(at.front() >= Hyphenator::kMinSide && at.back() <= word.size() - Hyphenator::kMinSide);
            // Capitals break where the lower case does.
            QCOMPARE(breaksOf(*h, word.toUpper()), at);
        }
    }

    void wordsLeftWhole() {
        const Hyphenator* h = Hyphenator::bulgarian();
        QVERIFY(h);
        // Too short, a Latin "о" in a Cyrillic word, a letter outside the Basic Multilingual Plane, nothing.
        const QString outsidePlane =
            QString(QStringLiteral("библи") + QString::fromUcs4(U"\U0001D51E") + QStringLiteral("тека"));
        for (const QString& word :
             QStringList{QStringLiteral("как"), QStringLiteral("библиoтека"), outsidePlane, QString()})
            QVERIFY2(breaksOf(*h, word).empty(), qPrintable(word));
        // Breaks are appended: what the caller holds stays.
        std::vector<int> at{99};
        h->breaks(u"литература", at);
        QVERIFY(at.size() > 1 && at.front() == 99);
    }

    void ownPatterns() {
        QTemporaryDir dir;
        const auto h = patternsFrom(dir, "UTF-8\nLEFTHYPHENMIN 2\nRIGHTHYPHENMIN 2\nа1б\n");
        QVERIFY(h);
        QVERIFY(h->covers(u'а') && h->covers(u'Б') && !h->covers(u'в'));
        QCOMPARE(breaksOf(*h, u"аабба"), std::vector<int>{2});
        // A break too near either end is not made.
        QVERIFY(breaksOf(*h, u"абаа").empty());
        QVERIFY(breaksOf(*h, u"аабв").empty());
    }

    void unusablePatternFiles() {
        QTemporaryDir dir;
        QVERIFY(!Hyphenator::load(QString()));
        QVERIFY(!Hyphenator::load(dir.filePath(QStringLiteral("няма.dic"))));
        // Only UTF-8 patterns are read: others would break words at the wrong letters.
        QVERIFY(!patternsFrom(dir, "ISO8859-5\n\xd0\x31\xd1\n"));
    }
};

QTEST_GUILESS_MAIN(TestHyphenation)
#include "tst_hyphenation.moc"
