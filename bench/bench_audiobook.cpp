// Audiobooks against the engine alone: the same pages synthesized, and their samples handed to the Vorbis
// encoder the way the stock command-line encoders feed it (1,024 frames a call). CPU time of this process.
#include "core/commands/Audiobook.h"
#include "core/commands/Import.h"
#include "core/storage/LibraryPaths.h"
#include "core/speech/SpeechText.h"
#include "core/storage/WorkFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <benchmark/benchmark.h>
#include <sndfile.h>

namespace {

constexpr int kPages = 2;
const QString kTitle = QStringLiteral("Мраморната хартия");

// A library holding the sample novella, cut at 1024 x 768.
const QTemporaryDir& library() {
    static QTemporaryDir dir;
    static const bool made = [] {
        auto opened = vel::Catalogue::open(dir.path());
        const QString novella = QFileInfo(QStringLiteral(__FILE__))
                                    .dir()
                                    .filePath(QStringLiteral("../assets/library/Калина Дренска - Мраморната "
                                                             "хартия.txt"));
        return opened && vel::importWork(*opened->catalogue, dir.path(), {novella, kTitle, {}}).ok();
    }();
    Q_UNUSED(made);
    return dir;
}

QStringList pages() {
    QStringList texts;
    if (auto work = vel::WorkFile::open(*vel::workFilePath(library().path(), kTitle)))
        for (int n = 1; n <= kPages && n <= work->pageCount(); ++n)
            texts << work->page(n).text;
    return texts;
}

std::unique_ptr<vel::SpeechEngine> engine(benchmark::State& state) {
    auto e = vel::EspeakEngine::create(vel::SpeechSettings{});
    if (!e) {
        state.SkipWithError(qPrintable(e.message()));
        return nullptr;
    }
    return std::move(*e);
}

void BM_Synthesize(benchmark::State& state) {
    const QStringList texts = pages();
    auto e = engine(state);
    if (!e)
        return;
    double seconds = 0;
    for (auto _ : state) {
        seconds = 0;
        for (const QString& text : texts)
            seconds += e->synthesize(text).value().seconds();
    }
    state.counters["audio_s"] = seconds;
}

// What reading a page aloud costs before its first sound: the engine made, as on the first command, and the
// page's first sentence synthesized (playback starts as soon as that piece is queued).
void BM_FirstSpeech(benchmark::State& state) {
    const QStringList texts = pages();
    if (texts.isEmpty()) {
        state.SkipWithError("no pages");
        return;
    }
    double firstPieceSeconds = 0;
    for (auto _ : state) {
        auto e = engine(state);
        if (!e)
            return;
        const std::vector<vel::TextPiece> pieces = vel::speechPieces(texts.front());
        if (!pieces.empty())
            firstPieceSeconds =
                e->synthesize(texts.front().mid(pieces[0].start, pieces[0].length)).value().seconds();
    }
    state.counters["first_audio_s"] = firstPieceSeconds;
}

// The stock encoder's share: the same samples, 1,024 frames a call, as oggenc and sox hand them over.
void BM_EncodeOgg(benchmark::State& state) {
    const QStringList texts = pages();
    auto e = engine(state);
    if (!e)
        return;
    std::vector<std::int16_t> samples;
    for (const QString& text : texts) {
        const vel::Utterance u = e->synthesize(text).value();
        samples.insert(samples.end(), u.samples.begin(), u.samples.end());
    }
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("stock.ogg")));
    for (auto _ : state) {
        SF_INFO info{};
        info.samplerate = e->sampleRate();
        info.channels = 1;
        info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        SNDFILE* f = sf_open(path.constData(), SFM_WRITE, &info);
        double quality = 0.4;
        sf_command(f, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
        for (std::size_t at = 0; at < samples.size(); at += 1024)
            sf_write_short(f, samples.data() + at, sf_count_t(std::min<std::size_t>(1024, samples.size() - at)));
        sf_close(f);
    }
}

void audiobook(benchmark::State& state, const char* suffix) {
    QTemporaryDir dir;
    vel::StartOptions o;
    o.mode = vel::StartMode::Audiobook;
    o.libraryDir = library().path();
    o.audiobookTitle = kTitle;
    o.firstPage = 1;
    o.lastPage = kPages;
    o.outFile = dir.filePath(QStringLiteral("book.") + QLatin1String(suffix));
    for (auto _ : state) {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        if (vel::runAudiobook(o, outStream, errStream) != 0) {
            state.SkipWithError(qPrintable(err));
            return;
        }
    }
}

void BM_AudiobookWav(benchmark::State& state) {
    audiobook(state, "wav");
}

void BM_AudiobookOgg(benchmark::State& state) {
    audiobook(state, "ogg");
}

} // namespace

BENCHMARK(BM_Synthesize)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_FirstSpeech)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_EncodeOgg)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_AudiobookWav)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_AudiobookOgg)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
