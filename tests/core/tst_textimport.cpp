// Bringing texts in: encodings, line ends, refused files and word-processor documents.
#include "core/text/TextImport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <future>

using vel::TextImportResult;

namespace {

const QString kProse =
    QStringLiteral("Когато слънцето изгря над Витоша, старият учител вече пишеше писмо до своя приятел.\n"
                   "В писмото разказваше за дъжда, за реката и за децата, които тичаха по улицата.\n"
                   "Юнаците от песента никога не се връщаха у дома; само вятърът помнеше имената им.");
const QString kCapitals =
    QStringLiteral("ГЛАВА ПЪРВА\nКАК СЕЛОТО ПОСРЕЩНА ПРОЛЕТТА И ЗАЩО ЖЕРАВИТЕ ЗАКЪСНЯХА");

QString crlf(QString s) {
    return s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QByteArray encode(const QString& text, const char* encoding, bool bom = false) {
    QStringEncoder encoder(encoding, bom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
    QByteArray bytes = encoder(text);
    Q_ASSERT(!encoder.hasError());
    return bytes;
}

bool hasLoneLineEnd(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\n') && (i == 0 || text[i - 1] != QLatin1Char('\r')))
            return true;
        if (text[i] == QLatin1Char('\r') && (i + 1 == text.size() || text[i + 1] != QLatin1Char('\n')))
            return true;
    }
    return false;
}

bool haveProgram(const char* name) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

} // namespace

class TestTextImport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void encodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8") << encode(kProse, "UTF-8") << "UTF-8" << kProse;
        QTest::newRow("UTF-8 with mark") << encode(kProse, "UTF-8", true) << "UTF-8" << kProse;
        QTest::newRow("UTF-16LE with mark") << encode(kProse, "UTF-16LE", true) << "UTF-16LE" << kProse;
        QTest::newRow("UTF-16BE with mark") << encode(kProse, "UTF-16BE", true) << "UTF-16BE" << kProse;
        QTest::newRow("UTF-16LE without mark") << encode(kProse, "UTF-16LE") << "UTF-16LE" << kProse;
        QTest::newRow("UTF-32LE with mark") << encode(kProse, "UTF-32LE", true) << "UTF-32LE" << kProse;
        QTest::newRow("windows-1251") << encode(kProse, "windows-1251") << "windows-1251" << kProse;
        QTest::newRow("KOI8-R") << encode(kProse, "KOI8-R") << "KOI8-R" << kProse;
        QTest::newRow("IBM866") << encode(kProse, "IBM866") << "IBM866" << kProse;
        QTest::newRow("windows-1251 capitals")
            << encode(kCapitals, "windows-1251") << "windows-1251" << kCapitals;
        QTest::newRow("KOI8-R capitals") << encode(kCapitals, "KOI8-R") << "KOI8-R" << kCapitals;
        const QString quotes = QStringLiteral("„Под игото“ – роман… № 5");
        QTest::newRow("windows-1251 typography")
            << encode(quotes, "windows-1251") << "windows-1251" << quotes;
        QTest::newRow("windows-1251 one word")
            << encode(QStringLiteral("Юли"), "windows-1251") << "windows-1251" << QStringLiteral("Юли");
        QTest::newRow("KOI8-R one word")
            << encode(QStringLiteral("Юли"), "KOI8-R") << "KOI8-R" << QStringLiteral("Юли");
        const QString odd = QStringLiteral("Глава\tпърва\f\n\x1b[0mкрай");
        QTest::newRow("tab, form feed, escape") << odd.toUtf8() << "UTF-8" << odd;
        QTest::newRow("empty") << QByteArray() << "UTF-8" << QString();
        QByteArray cut = encode(QStringLiteral("Край на реда щ"), "UTF-8");
        cut.chop(1);
        QTest::newRow("UTF-8 cut inside the last letter")
            << cut << "UTF-8" << QStringLiteral("Край на реда ") + QChar(QChar::ReplacementCharacter);
        QTest::newRow("DOS end-of-file mark") << encode(kProse, "windows-1251") + "\x1a"
                                              << "windows-1251" << kProse;
    }
    void encodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QFETCH(QString, text);
        const TextImportResult result = vel::loadTextFile(write(QStringLiteral("sample.txt"), bytes));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.loaded.encoding, encoding);
        QCOMPARE(result.loaded.text, crlf(text));
    }

    // Bytes that decoders tolerate but UTF-8 forbids send the text to the single-byte code pages.
    void utf8Validity_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("utf8");
        const QByteArray word = encode(QStringLiteral("дума "), "UTF-8");
        QTest::newRow("four-byte character") << word + "\xf0\x9f\x93\x96" << true;
        QTest::newRow("overlong slash") << word + "\xc0\xaf" << false;
        QTest::newRow("surrogate") << word + "\xed\xa0\x80" << false;
        QTest::newRow("past U+10FFFF") << word + "\xf4\x90\x80\x80" << false;
        QTest::newRow("lead without continuation") << word + "\xd0" + word << false;
    }
    void utf8Validity() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, utf8);
        QCOMPARE(vel::decodeText(bytes).loaded.encoding == QStringLiteral("UTF-8"), utf8);
    }

    // A UTF-8 text with one stray byte stays UTF-8, the byte becomes U+FFFD and the load says so; the same
    // text in windows-1251 is still read as that.
    void strayByteInUtf8() {
        const QString text = QStringLiteral("Това е един обикновен български текст за проба. ").repeated(20);
        QByteArray bytes = text.toUtf8();
        bytes.insert(bytes.indexOf(' '), '\xff');
        const TextImportResult damaged = vel::decodeText(bytes);
        QCOMPARE(damaged.loaded.encoding, QStringLiteral("UTF-8"));
        QVERIFY(damaged.loaded.damaged);
        QCOMPARE(damaged.loaded.text.count(QChar(QChar::ReplacementCharacter)), 1);
        QCOMPARE(damaged.loaded.text.size(), text.size() + 1);
        const TextImportResult single = vel::decodeText(encode(text, "windows-1251"));
        QCOMPARE(single.loaded.encoding, QStringLiteral("windows-1251"));
        QVERIFY(!single.loaded.damaged);
        QCOMPARE(single.loaded.text, text);
    }

    // The guesser on the sample library's own prose, cut into excerpts of several lengths at many places
    // and written in every encoding it reads: long excerpts are always right, short ones nearly always.
    void realTextInEveryEncoding() {
        QString prose;
        const QDir library(QFINDTESTDATA("../../assets/library"));
        for (const QString& name : library.entryList({"*.txt"}, QDir::Files, QDir::Name)) {
            QFile f(library.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            prose += QString::fromUtf8(f.readAll()).remove(u'\r');
        }
        QVERIFY(prose.size() > 100000);
        const char* encodings[] = {"UTF-8", "UTF-16LE", "UTF-16BE", "windows-1251", "KOI8-R", "IBM866"};
        constexpr int kPlaces = 200;
        for (const int length : {16, 40, 100, 400, 4000}) {
            QStringList misses;
            int tried = 0;
            for (const char* encoding : encodings) {
                for (int k = 0; k < kPlaces; ++k) {
                    QString excerpt = prose.mid(qsizetype(k) * (prose.size() - length) / kPlaces, length);
                    QStringEncoder encoder(encoding);
                    QByteArray bytes = encoder(excerpt);
                    if (encoder.hasError()) {
                        // Signs the code page lacks, written as a typist of that code page would.
                        for (const auto& [from, to] : {std::pair{u"ѝ", u"и"},
                                                       {u"—", u"-"},
                                                       {u"–", u"-"},
                                                       {u"„", u"\""},
                                                       {u"“", u"\""},
                                                       {u"«", u"\""},
                                                       {u"»", u"\""},
                                                       {u"…", u"..."},
                                                       {u"№", u"N"}})
                            excerpt.replace(QString::fromUtf16(from), QString::fromUtf16(to));
                        QStringEncoder plain(encoding);
                        bytes = plain(excerpt);
                        if (plain.hasError())
                            continue;
                    }
                    const TextImportResult r = vel::decodeText(bytes);
                    ++tried;
                    if (r.loaded.encoding != QLatin1String(encoding) || r.loaded.text != crlf(excerpt))
                        misses << QStringLiteral("%1 as %2: %3").arg(encoding, r.loaded.encoding, excerpt);
                }
            }
            qInfo("%d characters: %lld of %d excerpts misread", length, misses.size(), tried);
            const qsizetype allowed = length >= 100 ? 0 : tried / 50;
            QVERIFY2(misses.size() <= allowed, qPrintable(misses.join(u'\n')));
        }
    }

    void lineEnds_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("LF") << "едно\nдве\n"
                            << "едно\r\nдве\r\n";
        QTest::newRow("CR") << "едно\rдве\r"
                            << "едно\r\nдве\r\n";
        QTest::newRow("CR LF kept") << "едно\r\nдве"
                                    << "едно\r\nдве";
        QTest::newRow("mixed") << "а\r\r\nб\n\rв"
                               << "а\r\n\r\nб\r\n\r\nв";
        QTest::newRow("blank lines") << "\n\n"
                                     << "\r\n\r\n";
    }
    void lineEnds() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(vel::toCrLf(input), expected);
        const TextImportResult loaded = vel::loadTextFile(write(QStringLiteral("ends.txt"), input.toUtf8()));
        QVERIFY(loaded.ok());
        QCOMPARE(loaded.loaded.text, expected);
    }

    // Texts of several MiB are decoded a slice at a time: characters, surrogate pairs and CR LF pairs that
    // straddle a slice's end come out whole, as decoding the file at once and converting line ends would.
    void largeTextsDecodeInSlices_data() {
        QTest::addColumn<QByteArray>("encoding");
        QTest::newRow("UTF-8") << QByteArray("UTF-8");
        QTest::newRow("UTF-16LE") << QByteArray("UTF-16LE");
        QTest::newRow("UTF-16BE") << QByteArray("UTF-16BE");
        QTest::newRow("windows-1251") << QByteArray("windows-1251");
    }
    void largeTextsDecodeInSlices() {
        QFETCH(QByteArray, encoding);
        const bool unicode = encoding.startsWith("UTF");
        // Odd lengths shift every boundary; a letter outside the BMP where the encoding has one.
        const QStringList lines = {QStringLiteral("Лека нощ, мили деца"), QStringLiteral("ъ"),
                                   unicode ? QStringLiteral("звезда \U0001F31F") : QStringLiteral("звезда"),
                                   QStringLiteral("Юнак")};
        const QStringList ends = {QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r")};
        QString text;
        for (int i = 0; text.size() < 3 * 1024 * 1024; ++i)
            text += lines[i % lines.size()] + ends[i % ends.size()];
        const bool bom = encoding.startsWith("UTF-16");
        const QByteArray bytes = encode(text, encoding.constData(), bom);
        const TextImportResult loaded = vel::loadTextFile(write(QStringLiteral("large.txt"), bytes));
        QVERIFY(loaded.ok());
        QCOMPARE(loaded.loaded.encoding, QString::fromLatin1(encoding));
        QVERIFY(loaded.loaded.text == vel::toCrLf(text));
        QVERIFY(vel::decodeText(bytes).loaded.text == loaded.loaded.text);
    }

    void refusedFiles() {
        const QString missing = m_dir.filePath(QStringLiteral("няма го.txt"));
        TextImportResult result = vel::loadTextFile(missing);
        QVERIFY(!result.ok());
        QCOMPARE(result.error, QStringLiteral("Файлът не съществува:\r\n") + missing);
        QVERIFY(result.loaded.text.isEmpty());

        // A device would be read for ever.
        if (QFile::exists(QStringLiteral("/dev/zero")))
            QVERIFY(!vel::loadTextFile(QStringLiteral("/dev/zero")).ok());

        result = vel::loadTextFile(m_dir.path());
        QCOMPARE(result.error, QStringLiteral("Файлът не може да бъде прочетен:\r\n") + m_dir.path());

        // A picture: NUL bytes among the rest.
        QByteArray picture =
            QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000000100000001008060000001ff3ff61");
        picture += encode(kProse, "UTF-8");
        const QString png = write(QStringLiteral("picture.txt"), picture);
        QCOMPARE(vel::loadTextFile(png).error,
                 QStringLiteral("Файлът не съдържа текст (изглежда двоичен):\r\n") + png);

        // Mostly control bytes, no NUL.
        QByteArray controls;
        for (int i = 0; i < 400; ++i)
            controls += char(1 + i % 8) + QByteArray("ab");
        QVERIFY(!vel::loadTextFile(write(QStringLiteral("controls.txt"), controls)).ok());

        // Size is checked before anything is read (the file is sparse).
        const QString huge = m_dir.filePath(QStringLiteral("huge.txt"));
        {
            QFile file(huge);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(vel::kMaxTextFileBytes + 1));
        }
        QCOMPARE(vel::loadTextFile(huge).error,
                 QStringLiteral("Файлът е твърде голям (повече от 512 MB):\r\n") + huge);
        QFile::remove(huge);
    }

    void unreadableFile() {
        const QString path = write(QStringLiteral("locked.txt"), "text");
        QFile::setPermissions(path, QFileDevice::Permissions());
        QFile probe(path);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("running with rights that read any file");
        QCOMPARE(vel::loadTextFile(path).error,
                 QStringLiteral("Файлът не може да бъде прочетен:\r\n") + path);
    }

    // The tables behind detection are built on first use; several workers at once must agree.
    void loadsInWorkerThreads() {
        const QString cp1251 = write(QStringLiteral("w1.txt"), encode(kProse, "windows-1251"));
        const QString koi8 = write(QStringLiteral("w2.txt"), encode(kProse, "KOI8-R"));
        std::vector<std::future<TextImportResult>> jobs;
        for (int i = 0; i < 8; ++i)
            jobs.push_back(std::async(std::launch::async, vel::loadTextFile, i % 2 ? koi8 : cp1251));
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            const TextImportResult result = jobs[i].get();
            QCOMPARE(result.loaded.text, crlf(kProse));
            QCOMPARE(result.loaded.encoding,
                     i % 2 ? QStringLiteral("KOI8-R") : QStringLiteral("windows-1251"));
        }
    }

    void documents_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("story") << "razkaz.doc"
                               << QStringList{
                                      QStringLiteral("Утрото в селото"),
                                      QStringLiteral(
                                          "„Хубав ден ще бъде“, помисли си той, „ако вятърът не докара "
                                          "дъжд от юг.“"),
                                      QStringLiteral("Юли беше горещ, а щурците пееха до късно вечер."),
                                  };
        QTest::newRow("formatted") << "balkan.doc"
                                   << QStringList{
                                          QStringLiteral("Песен за Балкана"),
                                          QStringLiteral("първа точка"),
                                          QStringLiteral(
                                              "Абзац номер 24: Старата планина се издига над полето, а "
                                              "реките текат бавно към Дунава и морето."),
                                      };
        // Too short for antiword, read by the second extractor.
        QTest::newRow("short") << "kratak.doc"
                               << QStringList{
                                      QStringLiteral("Песен за Балкана"),
                                      QStringLiteral(
                                          "Щастие, ъгъл, юнак, ябълка, жълто, цвете, шепот, чаша, йод, ьо."),
                                  };
    }
    void documents() {
        if (!haveProgram("antiword") || !haveProgram("catdoc"))
            QSKIP("antiword or catdoc is not installed");
        QFETCH(QString, file);
        QFETCH(QStringList, lines);
        const QString path = QFINDTESTDATA(QStringLiteral("../data/") + file);
        QVERIFY(!path.isEmpty());
        const TextImportResult result = vel::extractDocText(path);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QVERIFY(!hasLoneLineEnd(result.loaded.text));
        const QStringList got = result.loaded.text.split(QStringLiteral("\r\n"));
        for (const QString& line : lines)
            QVERIFY2(got.contains(line), qPrintable(line));
    }

    void documentFailures() {
        const QString doc = QFINDTESTDATA("../data/razkaz.doc");
        QVERIFY(!doc.isEmpty());

        const QList<vel::DocExtractor> none = {{QStringLiteral("velmora-no-such-reader"), {}}};
        QCOMPARE(
            vel::extractDocText(doc, none).error,
            QStringLiteral("Няма инсталирана програма за четене на документи .doc (antiword или catdoc)."));

        const QList<vel::DocExtractor> failing = {{QStringLiteral("false"), {}}};
        QCOMPARE(vel::extractDocText(doc, failing).error,
                 QStringLiteral("Файлът не е документ, който може да бъде прочетен:\r\n") + doc);

        // A converter that hangs is stopped with what it started; one that floods its output too.
        const QString pidFile = m_dir.filePath(QStringLiteral("sleeper.pid"));
        const QList<vel::DocExtractor> hanging = {
            {QStringLiteral("sh"),
             {QStringLiteral("-c"), QStringLiteral("sleep 20 & echo $! > \"$0\"; wait"), pidFile}}};
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(vel::extractDocText(doc, hanging, {300}).error,
                 QStringLiteral("Четенето на документа продължи твърде дълго и беше прекъснато:\r\n") + doc);
        QVERIFY(timer.elapsed() < 5000);
        QFile pid(pidFile);
        QVERIFY(pid.open(QIODevice::ReadOnly));
        const QString stat =
            QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid.readAll().trimmed()));
        const auto gone = [&stat] {
            QFile state(stat);
            return !state.open(QIODevice::ReadOnly) || state.readAll().split(' ').value(2) == "Z";
        };
        QTRY_VERIFY(gone());

        const QList<vel::DocExtractor> flooding = {{QStringLiteral("yes"), {}}};
        QCOMPARE(vel::extractDocText(doc, flooding, {5000, 1024 * 1024}).error,
                 QStringLiteral("Програмата за четене на документа извежда прекалено много текст и беше "
                                "спряна:\r\n") +
                     doc);

        QByteArray zip = QByteArray::fromHex("504b0304140000000800");
        zip += QByteArray(64, '\0');
        const QString docx = write(QStringLiteral("new.doc"), zip);
        QCOMPARE(vel::extractDocText(docx).error,
                 QStringLiteral("Файлът не е документ, който може да бъде прочетен:\r\n") + docx);
    }

    void plainTextUnderDocumentName() {
        const QString path = write(QStringLiteral("old.doc"), encode(kProse, "windows-1251"));
        const TextImportResult result = vel::extractDocText(path, {});
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.loaded.text, crlf(kProse));
    }
};

QTEST_GUILESS_MAIN(TestTextImport)
#include "tst_textimport.moc"
