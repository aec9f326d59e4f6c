// Importing the sample novella (about 180,000 characters) from the command line's pipeline: loading with
// encoding detection, joining lines, cutting at the 1024 x 768 book page and storing work file and record.
#include "core/commands/Import.h"
#include "core/storage/Catalogue.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QString novella() {
    return QFileInfo(QStringLiteral(__FILE__))
        .dir()
        .filePath(QStringLiteral("../assets/library/Калина Дренска - Мраморната хартия.txt"));
}

void BM_ImportNovella(benchmark::State& state) {
    const QString file = novella();
    int pages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        auto opened = vel::Catalogue::open(dir.path());
        state.ResumeTiming();
        const vel::ImportResult r =
            vel::importWork(*opened.catalogue, dir.path(), vel::ImportRequest{file, {}, {}});
        if (!r.ok()) {
            state.SkipWithError(qPrintable(r.error));
            return;
        }
        pages = r.pages;
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_ImportNovella)->Unit(benchmark::kMillisecond);

} // namespace
