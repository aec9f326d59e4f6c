// Cutting a work into pages at the book window's page geometry, against one bare layout pass over the same
// text, and the memory a cut of a large text takes.
#include "bench/BenchMemory.h"
#include "core/book/PageCut.h"
#include "core/text/LineJoin.h"
#include "tests/testsupport/BulgarianText.h"
#include "ui/PageView.h"
#include "ui/RichTextView.h"
#include "ui/TwipsBox.h"

#include <QTextLayout>
#include <benchmark/benchmark.h>

namespace {

// About 2 MB as UTF-16, its hard line breaks joined as an imported text's are.
const QString& bookText() {
    static const QString text = vel::joinLineBreaks(vel::test::bulgarianText(1'000'000, 70, true));
    return text;
}

// The left page view at 1024 x 768: (15360 / 2 - 840) x (11520 - 800) twips, Tahoma 14.
const vel::PageGeometry& bookGeometry() {
    static const vel::PageGeometry geometry = [] {
        vel::RichTextView r1;
        r1.makePageView();
        r1.setFontName(QStringLiteral("Tahoma"));
        r1.setFontSize(14);
        vel::setTwipsBox(&r1, {420, 420, 15360 / 2 - 840, 11520 - 800});
        return vel::pageGeometryOf(r1);
    }();
    return geometry;
}

// Plain pages, or the same text and page set as a book: justified, hyphenated, indented.
void paginate(benchmark::State& state, vel::PageLayout layout, const QString& text = bookText()) {
    vel::PageGeometry g = bookGeometry();
    g.typesetting = vel::Typesetting::of(layout, g.font);
    std::size_t pages = 0;
    for (auto _ : state) {
        const vel::PageCut cut = vel::cutPages(text, g);
        pages = cut.pages.size();
        benchmark::DoNotOptimize(cut.pages.data());
    }
    state.counters["pages"] = double(pages);
    state.counters["pages_per_s"] =
        benchmark::Counter(double(pages * state.iterations()), benchmark::Counter::kIsRate);
    state.counters["viewport_w"] = g.viewportWidth;
    state.counters["viewport_h"] = g.viewportHeight;
}

void BM_Paginate(benchmark::State& state) {
    paginate(state, vel::PageLayout::Plain);
}

void BM_PaginateBook(benchmark::State& state) {
    paginate(state, vel::PageLayout::Book);
}

// As many characters of one letter, with no break anywhere: every line breaks inside that one word. Laid out
// a short piece at a time, it costs about what the prose of BM_PaginateBook does.
void BM_PaginateUnbroken(benchmark::State& state) {
    static const QString text(bookText().size(), QChar(0x0436));
    paginate(state, vel::PageLayout::Book, text);
}

// Hyphenating 2 million characters alone, on one core: the soft hyphens a book layout adds.
void BM_Hyphenate(benchmark::State& state) {
    static const QString text = vel::joinLineBreaks(vel::test::bulgarianText(2'000'000, 70, true));
    const vel::Typesetting t = vel::Typesetting::of(vel::PageLayout::Book, bookGeometry().font);
    std::size_t added = 0;
    for (auto _ : state) {
        const vel::LaidOutText laid = vel::laidOutText(text, t);
        added = laid.added.size();
        benchmark::DoNotOptimize(laid.text.data());
    }
    state.counters["chars"] = double(text.size());
    state.counters["hyphens"] = double(added);
}

// The floor: every paragraph laid out once into lines of the page's width, nothing else.
void BM_RawLayout(benchmark::State& state) {
    const QString& text = bookText();
    const vel::PageGeometry& g = bookGeometry();
    const qreal width = g.viewportWidth - 2 * g.documentMargin;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (auto _ : state) {
        QTextLayout layout;
        layout.setFont(g.font);
        layout.setTextOption(option);
        qreal height = 0;
        for (qsizetype from = 0; from <= text.size();) {
            qsizetype to = text.indexOf(QLatin1String("\r\n"), from);
            if (to < 0)
                to = text.size();
            layout.setText(QString::fromRawData(text.constData() + from, to - from));
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                height += line.height();
            }
            layout.endLayout();
            from = to + 2;
        }
        benchmark::DoNotOptimize(height);
    }
}

// Peak resident memory of one cut of about 20 MB of text, above what the process holds with the text
// already in memory. Writing 5 to clear_refs resets the kernel's peak (VmHWM) to the current size.
void BM_PaginateMemory(benchmark::State& state) {
    const QString text = vel::joinLineBreaks(vel::test::bulgarianText(10'000'000, 70, true));
    const vel::PageGeometry& g = bookGeometry();
    vel::cutPages(QStringLiteral("Загрявка."), g);
    const vel::bench::PeakMemory memory;
    std::size_t pages = 0;
    for (auto _ : state)
        pages = vel::cutPages(text, g).pages.size();
    const double textMb = double(text.size()) * 2 / (1024 * 1024);
    const double peakMb = memory.aboveIdleMiB();
    if (!memory.valid())
        state.SkipWithError("cannot reset the peak memory mark");
    state.counters["pages"] = double(pages);
    state.counters["text_MB"] = textMb;
    state.counters["peak_above_idle_MB"] = peakMb;
    state.counters["peak_per_text_size"] = peakMb / textMb;
}

} // namespace

// Wall time: the cut uses every core, and a reader waits for the wall clock.
BENCHMARK(BM_Paginate)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_PaginateBook)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_PaginateUnbroken)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_Hyphenate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawLayout)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_PaginateMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
