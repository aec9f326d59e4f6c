// Timing imports: each iteration imports the same file into a fresh library.
#pragma once

#include "core/commands/Import.h"
#include "core/storage/Catalogue.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace vel::bench {

// The "pages" counter holds what one import made.
inline void timeImports(benchmark::State& state, const ImportRequest& request) {
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        auto opened = Catalogue::open(dir.path());
        state.ResumeTiming();
        const ImportResult r = importWork(*opened->catalogue, dir.path(), request);
        if (!r.ok()) {
            state.SkipWithError(qPrintable(r.error));
            return;
        }
        state.counters["pages"] = r.pages;
    }
}

} // namespace vel::bench
