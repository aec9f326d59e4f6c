// Finding one's place in a long work: the first hits of a search must come as fast in a 16,000-page work as in
// a 1,000-page one, and the pages of a work's contents are found from the stored pages in one pass.
#include "BenchText.h"
#include "core/nav/BookSearch.h"
#include "core/storage/WorkFile.h"
#include "core/storage/WorkFileBuilder.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

namespace {

constexpr int kPageChars = 1500;
constexpr int kEntries = 500;
const QString kPhrase = QStringLiteral("Звездна нощ\r\nнад реката");

// A work of `pages` pages of prose with the phrase on every 50th page, split over a line break, and 500
// contents entries spread over it. Built once per size.
QString work(int pages) {
    static QTemporaryDir dir;
    static std::map<int, QString> built;
    if (const auto it = built.find(pages); it != built.end())
        return it->second;
    const QString text = vel::bench::bulgarianText(size_t(pages) * kPageChars);
    vel::WorkFileBuilder b;
    if (!b.begin(dir.path(), QStringLiteral("Дълга %1").arg(pages)))
        qFatal("%s", qPrintable(b.failure().message));
    vel::BookNavigation nav;
    for (int i = 0; i < kEntries; ++i)
        nav.contents.push_back({1, QStringLiteral("Глава %1").arg(i + 1), int(qint64(i) * text.size() / kEntries)});
    for (int n = 0; n < pages; ++n) {
        QString page = text.mid(qsizetype(n) * kPageChars, kPageChars);
        if (n % 50 == 3)
            page.insert(700, u' ' + kPhrase + u' ');
        if (!b.appendPage(page))
            qFatal("%s", qPrintable(b.failure().message));
    }
    if (!b.setNavigation(nav) || !b.commit())
        qFatal("%s", qPrintable(b.failure().message));
    return built[pages] = b.finalPath();
}

// The first 20 hits, as the book window lists them while the reader types.
void BM_SearchWork(benchmark::State& state) {
    const QString path = work(int(state.range(0)));
    for (auto _ : state) {
        auto w = vel::WorkFile::open(path);
        const auto hits = vel::searchWork(w->pageCount(), [&](int n) { return w->page(n).text; }, QStringLiteral("звездна нощ над"), 20);
        if (hits.size() != 20)
            state.SkipWithError("hits missing");
        benchmark::DoNotOptimize(hits.data());
    }
}
BENCHMARK(BM_SearchWork)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond);

// Every hit: the whole text read once.
void BM_SearchWorkWhole(benchmark::State& state) {
    const QString path = work(int(state.range(0)));
    for (auto _ : state) {
        auto w = vel::WorkFile::open(path);
        benchmark::DoNotOptimize(vel::searchWork(w->pageCount(), [&](int n) { return w->page(n).text; }, QStringLiteral("звездна нощ над")).size());
    }
}
BENCHMARK(BM_SearchWorkWhole)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond);

// The pages of 500 contents entries, from a freshly opened work.
void BM_ContentsPages(benchmark::State& state) {
    const QString path = work(int(state.range(0)));
    for (auto _ : state) {
        auto w = vel::WorkFile::open(path);
        int sum = 0;
        for (const vel::ContentsEntry& e : w->contents())
            sum += w->pageAt(e.position);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ContentsPages)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond);

} // namespace
