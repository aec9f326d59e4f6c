// A library of thousands: each keystroke of the title filter over 100,000 works, and importing a folder of
// 1,000 small books against the same text imported as one book (the per-book overhead).
#include "BenchText.h"
#include "core/catalogue/LibraryIndex.h"
#include "core/commands/BatchImport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

vel::LibraryIndex hundredThousandWorks() {
    const QStringList& words = vel::bench::bulgarianWords();
    vel::bench::TextRandom rnd;
    std::vector<vel::LibraryEntry> entries;
    for (int i = 0; i < 100'000; ++i) {
        const auto word = [&] { return words[rnd.below(int(words.size()))]; };
        entries.push_back({word() + u' ' + word() + u' ' + word() + u' ' + QString::number(i),
                           word() + u' ' + word(), qint64(rnd.next())});
    }
    return vel::LibraryIndex(std::move(entries));
}

// Three letters typed one by one, in the title order, over every work.
void BM_FilterTitles(benchmark::State& state) {
    static const vel::LibraryIndex index = hundredThousandWorks();
    const QString typed = QStringLiteral("хор");
    for (auto _ : state) {
        for (qsizetype n = 1; n <= typed.size(); ++n)
            benchmark::DoNotOptimize(index.find(QStringView(typed).left(n), {}, vel::TitleOrder::Title));
    }
    state.counters["keystrokes"] = benchmark::Counter(double(state.iterations() * typed.size()),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FilterTitles)->Unit(benchmark::kMillisecond);

// The index built once when the library opens.
void BM_IndexTitles(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(hundredThousandWorks());
}
BENCHMARK(BM_IndexTitles)->Unit(benchmark::kMillisecond)->Iterations(1);

constexpr std::size_t kBookChars = 10'000; // about 20 KB of Cyrillic UTF-8

// `books` files "Автор - Заглавие N.txt" in dir, each its own slice of one prose.
QStringList writeBooks(const QString& dir, int books) {
    const QString prose = vel::bench::bulgarianText(kBookChars * std::size_t(books));
    QStringList files;
    for (int i = 0; i < books; ++i) {
        const QString path = dir + QStringLiteral("/Автор - Заглавие %1.txt").arg(i);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(prose.mid(qsizetype(kBookChars) * i, qsizetype(kBookChars)).toUtf8());
        files << path;
    }
    return files;
}

void timeBatch(benchmark::State& state, bool oneBook) {
    const int books = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        // Made and removed untimed: removing 2,000 files is no part of an import.
        auto src = std::make_unique<QTemporaryDir>(), lib = std::make_unique<QTemporaryDir>();
        QStringList files = writeBooks(src->path(), books);
        if (oneBook) {
            // The same text, one file.
            QFile whole(src->filePath(QStringLiteral("Автор - Всичко.txt")));
            whole.open(QIODevice::WriteOnly);
            for (const QString& f : files) {
                QFile part(f);
                part.open(QIODevice::ReadOnly);
                whole.write(part.readAll());
            }
            files = {whole.fileName()};
        }
        auto opened = vel::Catalogue::open(lib->path());
        state.ResumeTiming();
        int added = 0;
        for (const vel::BatchItem& item :
             vel::importBatch(*opened->catalogue, lib->path(), vel::importItems(files).items, {}))
            added += item.result.ok() ? 1 : 0;
        state.PauseTiming();
        opened->catalogue.reset();
        src.reset();
        lib.reset();
        state.ResumeTiming();
        if (added != files.size()) {
            state.SkipWithError("not every book was added");
            return;
        }
    }
}

void BM_ImportFolder(benchmark::State& state) {
    timeBatch(state, false);
}
BENCHMARK(BM_ImportFolder)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->MeasureProcessCPUTime()->UseRealTime();

void BM_ImportTxt(benchmark::State& state) {
    timeBatch(state, true);
}
BENCHMARK(BM_ImportTxt)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->MeasureProcessCPUTime()->UseRealTime();

} // namespace
