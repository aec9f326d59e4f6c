// Joining line breaks against the cheapest possible pass over the same text: a scan that only counts CR LF.
#include "core/text/LineJoin.h"
#include "tests/testsupport/BulgarianText.h"

#include <benchmark/benchmark.h>

namespace {

// About 20 MB as UTF-16.
const QString& wrappedText() {
    static const QString text = vel::test::bulgarianText(10'000'000, 70, true);
    return text;
}

void BM_JoinLineBreaks(benchmark::State& state) {
    const QString& text = wrappedText();
    for (auto _ : state) {
        QString joined = vel::joinLineBreaks(text);
        benchmark::DoNotOptimize(joined.constData());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
}

void BM_ScanCrLf(benchmark::State& state) {
    const QString& text = wrappedText();
    for (auto _ : state) {
        const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
        const char16_t* const last = p + text.size() - 1;
        qsizetype count = 0;
        for (; p < last; ++p)
            count += (p[0] == u'\r') & (p[1] == u'\n');
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
}

} // namespace

BENCHMARK(BM_JoinLineBreaks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanCrLf)->Unit(benchmark::kMillisecond);
