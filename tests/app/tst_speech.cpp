// Speech: the Bulgarian voice, word positions, and audiobooks written through the command line's road.
#include "CatalogueFixture.h"
#include "LibraryFiles.h"
#include "app/Startup.h"
#include "core/commands/Audiobook.h"
#include "core/speech/EspeakEngine.h"
#include "core/speech/SpeechChoices.h"
#include "core/speech/SpeechText.h"

#include <sndfile.h>

#include <QDir>
#include <QTextStream>
#include <QtTest>
#include <cmath>

using namespace vel;
using namespace vel::test;

namespace {

double rms(const std::vector<std::int16_t>& s) {
    double sum = 0;
    for (const std::int16_t v : s)
        sum += double(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / double(s.size()));
}

struct AudioFacts {
    int format = 0;
    int rate = 0;
    int channels = 0;
    double seconds = 0;
};

AudioFacts readBack(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return {};
    sf_close(f);
    return {info.format & SF_FORMAT_TYPEMASK, info.samplerate, info.channels,
            double(info.frames) / std::max(1, info.samplerate)};
}

struct CommandRun {
    int status = 0;
    QString out, err;
};

CommandRun audiobook(const QString& library, const QStringList& args,
                     const SpeechEngineFactory& factory = defaultSpeechEngineFactory()) {
    CommandRun r;
    QTextStream out(&r.out), err(&r.err);
    const StartOptions o = parseStartOptions(QStringList{"velmora", "--library", library} + args, QString());
    r.status = o.error.isEmpty() ? runAudiobook(o, out, err, factory) : 2;
    if (!o.error.isEmpty())
        r.err = o.error;
    return r;
}

const QString kSentence =
    QStringLiteral("Пътят към селото беше дълъг и прашен, а слънцето печеше безмилостно.");

} // namespace

class TstSpeech : public QObject {
    Q_OBJECT
private slots:
    void bulgarianSentence() {
        auto engine = EspeakEngine::create(SpeechSettings{});
        QVERIFY2(engine, qPrintable(engine.message()));
        const Result<Utterance> said = (*engine)->synthesize(kSentence);
        QVERIFY2(said, qPrintable(said.message()));
        const Utterance& u = *said;
        // Eleven words at 175 a minute: about four seconds, with the pauses.
        QVERIFY2(u.seconds() > 2.0 && u.seconds() < 8.0, qPrintable(QString::number(u.seconds())));
        QVERIFY(rms(u.samples) > 500);
        QStringList spoken;
        for (const SpokenWord& w : u.words)
            spoken << kSentence.mid(w.start, w.length);
        QCOMPARE(spoken, kSentence.split(QRegularExpression(QStringLiteral("[ ,.]+")), Qt::SkipEmptyParts));
        for (std::size_t i = 1; i < u.words.size(); ++i)
            QVERIFY(u.words[i].sample > u.words[i - 1].sample);

        // A faster rate speaks the same text in less time.
        auto fast = EspeakEngine::create(SpeechSettings{QStringLiteral("bg"), 350, false});
        QVERIFY(fast && (*fast)->synthesize(kSentence)->seconds() < u.seconds() * 0.75);

        // Every rate and voice the windows offer speaks.
        for (const SpeechChoice& c : speechChoices()) {
            auto chosen = EspeakEngine::create(c.appliedTo(SpeechSettings{}));
            QVERIFY2(chosen, qPrintable(c.label + ": " + chosen.message()));
            QVERIFY2(rms((*chosen)->synthesize(kSentence)->samples) > 500, qPrintable(c.label));
        }
    }

    void wordsStayInPlaceOverSentencesAndLines() {
        // The synthesizer loses a character at every sentence end and counts code points, not UTF-16.
        auto engine = EspeakEngine::create(SpeechSettings{});
        QVERIFY(engine);
        QString text;
        for (int i = 0; i < 12; ++i)
            text += QStringLiteral("Ден %1 мина. Вятърът 🌬 духаше!\r\n").arg(i + 1);
        const Result<Utterance> spoken = (*engine)->synthesize(text);
        QVERIFY(spoken);
        const Utterance& u = *spoken;
        int vyatar = 0;
        for (const SpokenWord& w : u.words) {
            QVERIFY(w.start >= 0 && w.start + w.length <= text.size());
            QVERIFY2(text[w.start].isLetterOrNumber(), qPrintable(text.mid(w.start, 10)));
            if (text.mid(w.start, w.length) == u"Вятърът")
                ++vyatar;
        }
        QCOMPARE(vyatar, 12);
        QCOMPARE(text.mid(u.words.back().start, u.words.back().length), QStringLiteral("духаше"));
    }

    void noVoice() {
        const auto none = EspeakEngine::create(SpeechSettings{QStringLiteral("няма-такъв"), 175, false});
        const QString why = none.message();
        QVERIFY(!none);
        QVERIFY2(why.startsWith(QStringLiteral("Гласът „няма-такъв“ не може да бъде зареден")),
                 qPrintable(why));
    }

    void piecesAndLaidOutPositions() {
        const QString t = QStringLiteral("Първо. Второ изречение! Трето…\r\n\r\nКрай");
        QStringList parts;
        for (const TextPiece& p : speechPieces(t))
            parts << t.mid(p.start, p.length).trimmed();
        QCOMPARE(parts, QStringList({"Първо.", "Второ изречение!", "Трето…", "Край"}));
        // A long sentence is cut at a space.
        const QString words = QStringLiteral("дума ").repeated(200);
        for (const TextPiece& p : speechPieces(words, 100))
            QVERIFY(p.length <= 100 && (p.start == 0 || words[p.start - 1] == u' '));

        // CR LF is one break in the view; soft hyphens exist only there.
        const QString stored = QStringLiteral("ред\r\nпреди дума");
        const QString laidOut = QStringLiteral("ред\u2029пре\u00ADди ду\u00ADма");
        QCOMPARE(laidOutOffset(stored, laidOut, 5), 4);   // "преди"
        QCOMPARE(laidOutOffset(stored, laidOut, 11), 11); // "дума"
        QCOMPARE(laidOutOffset(stored, laidOut, 99), int(laidOut.size()));
    }

    void audiobookFiles() {
        QTemporaryDir libDir;
        writeLibrary(libDir.path(), {{QStringLiteral("Разказ"),
                                      {kSentence, QStringLiteral("Втора страница. Кратка."), kSentence}}});
        const QString lib = libDir.path();
        QTemporaryDir outDir;
        const double one = (*EspeakEngine::create(SpeechSettings{}))->synthesize(kSentence)->seconds();

        struct Case {
            QString file;
            int type;
        };
        for (const Case& c : {Case{"книга.wav", SF_FORMAT_WAV}, Case{"книга.flac", SF_FORMAT_FLAC},
                              Case{"книга.ogg", SF_FORMAT_OGG}}) {
            const QString path = outDir.filePath(c.file);
            const CommandRun r = audiobook(lib, {"--audiobook", "Разказ", "--pages", "3", "--out", path});
            QVERIFY2(r.status == 0, qPrintable(r.err));
            QVERIFY(r.out.contains(QStringLiteral("Страница 1 от 1")));
            const AudioFacts f = readBack(path);
            QCOMPARE(f.format, c.type);
            QCOMPARE(f.rate, 22050);
            QCOMPARE(f.channels, 1);
            QVERIFY2(std::abs(f.seconds - one) < 0.1, qPrintable(QString::number(f.seconds)));
        }
        // The whole work is all its pages.
        const QString whole = outDir.filePath("цяла.wav");
        QCOMPARE(audiobook(lib, {"--audiobook", "Разказ", "--out", whole}).status, 0);
        QVERIFY(readBack(whole).seconds > 2 * one + 0.5);

        // Failures: a clear message, no file, the earlier one untouched, no temporary left behind.
        const QByteArray before = contents(whole);
        auto noVoice = [](const SpeechSettings&) -> Result<std::unique_ptr<SpeechEngine>> {
            return fail(FailureKind::Unsupported, QStringLiteral("няма"));
        };
        QDir(outDir.path()).mkdir("папка.wav");
        const struct {
            QStringList args;
            QString message;
        } failures[] = {
            {{"--audiobook", "Няма", "--out", whole}, "В библиотеката няма произведение „Няма“."},
            {{"--audiobook", "Разказ", "--pages", "2-4", "--out", whole},
             "Страници 2-4 са извън произведението"},
            {{"--audiobook", "Разказ", "--out", "/proc/книга.wav"}, "В папката /proc не може да се пише."},
            {{"--audiobook", "Разказ", "--out", outDir.filePath("книга.mp3")}, "трябва да завършва на .wav"},
            {{"--audiobook", "Разказ", "--out", outDir.filePath("папка.wav")}, "е папка."},
            {{"--audiobook", "Разказ", "--pages", "0-2", "--out", whole}, "След --pages се очакват страници"},
            {{"--audiobook", "Разказ"}, "Липсва --out ФАЙЛ"},
        };
        for (const auto& [args, message] : failures) {
            const CommandRun r = audiobook(lib, args);
            QVERIFY2(r.status != 0 && r.err.contains(message) && r.err.contains(" / "), qPrintable(r.err));
        }
        const CommandRun r = audiobook(lib, {"--audiobook", "Разказ", "--out", whole}, noVoice);
        QVERIFY(r.status == 1 && r.err.contains(QStringLiteral("Няма глас за четене: няма")));
        QCOMPARE(contents(whole), before);
        QCOMPARE(QDir(outDir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    }
};

QTEST_GUILESS_MAIN(TstSpeech)
#include "tst_speech.moc"
