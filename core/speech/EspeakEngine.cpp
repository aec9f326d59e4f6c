#include "core/speech/EspeakEngine.h"

#include "core/speech/SpeechText.h"

#include <espeak-ng/espeak_ng.h>

#include <QByteArray>
#include <mutex>

namespace vel {

namespace {

// The library keeps one synthesizer for the whole process: every use goes through this lock, and the voice
// and rate are set again before each text, since another engine may have changed them.
struct Collected;

struct Library {
    std::mutex lock;
    Collected* current = nullptr; // the text being spoken, while the lock is held
    bool tried = false;
    espeak_ng_STATUS status = ENS_OK;
    int sampleRate = 0;
};

Library& library() {
    static Library lib;
    return lib;
}

QString statusText(espeak_ng_STATUS status) {
    char buffer[512] = {};
    espeak_ng_GetStatusCodeMessage(status, buffer, sizeof buffer);
    return QString::fromLocal8Bit(buffer);
}

struct Collected {
    Utterance* out = nullptr;
    const QString* text = nullptr; // the piece being spoken
    qint64 sampleBase = 0;         // the samples before the piece
    std::vector<SpokenWord> marks; // where the synthesizer said a word starts, in the piece
};

int collect(short* wav, int count, espeak_EVENT* events) {
    Collected* c = library().current;
    if (!c)
        return 0;
    if (wav && count > 0)
        c->out->samples.insert(c->out->samples.end(), wav, wav + count);
    for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type != espeakEVENT_WORD)
            continue;
        // Positions count code points from 1; the word may start past punctuation reported with it.
        const QString& t = *c->text;
        int start = utf16OffsetOfCodePoint(t, e->text_position);
        while (start < t.size() && !t[start].isLetterOrNumber())
            ++start;
        // Numbers and signs can be announced as several words at one place: the first one counts.
        if (start < t.size() && (c->marks.empty() || c->marks.back().start < start))
            c->marks.push_back({c->sampleBase + e->sample, start, 0});
    }
    return 0;
}

// Every word of the piece with the sample it starts at. Short unstressed words are spoken together with
// the next one and get no mark of their own: their start is placed between the neighbouring marks in
// proportion to the characters between them.
void placeWords(const QString& piece, int pieceStart, std::vector<SpokenWord> marks, qint64 endSample,
                std::vector<SpokenWord>& words) {
    std::vector<SpokenWord> tokens;
    for (int i = 0; i < piece.size();) {
        if (!piece[i].isLetterOrNumber()) {
            ++i;
            continue;
        }
        int end = i;
        while (end < piece.size() &&
               (piece[end].isLetterOrNumber() || piece[end].isMark() ||
                (piece[end] == u'-' && end + 1 < piece.size() && piece[end + 1].isLetterOrNumber())))
            ++end;
        tokens.push_back({-1, i, end - i});
        i = end;
    }
    // Marks inside a word belong to that word.
    std::size_t m = 0;
    for (SpokenWord& t : tokens) {
        while (m < marks.size() && marks[m].start < t.start + t.length) {
            if (t.sample < 0)
                t.sample = marks[m].sample;
            ++m;
        }
    }
    const qint64 firstSample = marks.empty() ? endSample : marks.front().sample;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].sample >= 0)
            continue;
        std::size_t before = i, after = i;
        while (before > 0 && tokens[before - 1].sample < 0)
            --before;
        while (after < tokens.size() && tokens[after].sample < 0)
            ++after;
        const qint64 from = before > 0 ? tokens[before - 1].sample : firstSample;
        const int fromChar = before > 0 ? tokens[before - 1].start : tokens[before].start;
        const qint64 to = after < tokens.size() ? tokens[after].sample : endSample;
        const int toChar = after < tokens.size() ? tokens[after].start : int(piece.size());
        const double share = toChar > fromChar ? double(tokens[i].start - fromChar) / (toChar - fromChar) : 0;
        tokens[i].sample = from + qint64(share * double(std::max<qint64>(0, to - from)));
    }
    qint64 last = words.empty() ? 0 : words.back().sample;
    for (SpokenWord t : tokens) {
        t.sample = std::max(t.sample, last);
        last = t.sample;
        t.start += pieceStart;
        words.push_back(t);
    }
}

} // namespace

SpeechEngineFactory defaultSpeechEngineFactory() {
    return [](const SpeechSettings& settings) -> Result<std::unique_ptr<SpeechEngine>> {
        Result<std::unique_ptr<EspeakEngine>> made = EspeakEngine::create(settings);
        if (!made)
            return made.failure();
        return std::unique_ptr<SpeechEngine>(std::move(*made));
    };
}

EspeakEngine::EspeakEngine(QString voice, int rate, int sampleRate)
    : voice_(std::move(voice)), rate_(rate), sampleRate_(sampleRate) {}

Result<std::unique_ptr<EspeakEngine>> EspeakEngine::create(const SpeechSettings& settings) {
    Library& lib = library();
    std::scoped_lock guard(lib.lock);
    auto fail = [](const QString& text) { return vel::fail(FailureKind::Unsupported, text); };
    if (!lib.tried) {
        lib.tried = true;
        espeak_ng_InitializePath(nullptr);
        lib.status = espeak_ng_Initialize(nullptr);
        if (lib.status == ENS_OK)
            lib.status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
        if (lib.status == ENS_OK) {
            espeak_SetSynthCallback(collect);
            lib.sampleRate = espeak_ng_GetSampleRate();
        }
    }
    if (lib.status != ENS_OK)
        return fail(QStringLiteral("Синтезаторът на реч не може да започне: %1").arg(statusText(lib.status)));
    const QByteArray name = settings.voice.toUtf8();
    if (const espeak_ng_STATUS s = espeak_ng_SetVoiceByName(name.constData()); s != ENS_OK)
        return fail(
            QStringLiteral("Гласът „%1“ не може да бъде зареден: %2").arg(settings.voice, statusText(s)));
    const int rate = std::clamp(settings.rate, SpeechSettings::kMinRate, SpeechSettings::kMaxRate);
    return std::unique_ptr<EspeakEngine>(new EspeakEngine(settings.voice, rate, lib.sampleRate));
}

Result<Utterance> EspeakEngine::synthesize(const QString& text) {
    Utterance u;
    u.sampleRate = sampleRate_;
    Library& lib = library();
    std::scoped_lock guard(lib.lock);
    const QByteArray name = voice_.toUtf8();
    if (const espeak_ng_STATUS s = espeak_ng_SetVoiceByName(name.constData()); s != ENS_OK)
        return fail(FailureKind::Unsupported,
                    QStringLiteral("Гласът „%1“ не може да бъде зареден: %2").arg(voice_, statusText(s)));
    espeak_ng_SetParameter(espeakRATE, rate_, 0);
    for (const TextPiece& piece : speechPieces(text)) {
        const QString part = text.mid(piece.start, piece.length);
        const QByteArray utf8 = part.toUtf8();
        Collected c{&u, &part, qint64(u.samples.size()), {}};
        lib.current = &c;
        const espeak_ng_STATUS s = espeak_ng_Synthesize(utf8.constData(), size_t(utf8.size()) + 1, 0,
                                                        POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
        lib.current = nullptr;
        if (s != ENS_OK)
            return fail(FailureKind::Io,
                        QStringLiteral("Текстът не може да бъде изговорен: %1").arg(statusText(s)));
        placeWords(part, piece.start, std::move(c.marks), qint64(u.samples.size()), u.words);
    }
    return u;
}

} // namespace vel
