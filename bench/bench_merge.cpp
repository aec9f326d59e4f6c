// The unpacker's merge of a sample library into a reader's: records and work files in together. 8,000
// works must merge about four times as long as 2,000, well under two seconds.
#include "core/storage/CatalogueRecords.h"
#include "core/storage/FileOps.h"
#include "core/storage/WorkFileBuilder.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

void BM_MergeWorks(benchmark::State& state) {
    const int count = int(state.range(0));
    QTemporaryDir source;
    vel::WorkFileBuilder b;
    if (!b.begin(source.path(), QStringLiteral("образец")) || !b.appendPage(QStringLiteral("страница")) ||
        !b.commit()) {
        state.SkipWithError("no sample work file");
        return;
    }
    const QString sample = b.finalPath();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir lib;
        auto opened = vel::Catalogue::open(lib.path());
        vel::fileops::LockedTemp staging = vel::fileops::createStagingFolder(lib.path()).value();
        std::vector<std::pair<vel::CatalogueRecord, QString>> works;
        for (int i = 0; i < count; ++i) {
            const QString title = QStringLiteral("Произведение %1").arg(i);
            const QString staged = staging.path() + u'/' + title + QStringLiteral(".mdb");
            QFile::copy(sample, staged);
            works.push_back({{title, QStringLiteral("Автор %1").arg(i % 300), QStringLiteral("Tahoma"),
                              QStringLiteral("14"), QStringLiteral("1"), QStringLiteral("16777215"),
                              QStringLiteral("12632256")},
                             staged});
        }
        ::sync(); // the copies reach the disk here, not in the merge's directory sync
        state.ResumeTiming();
        QStringList added;
        const vel::Result<> r = vel::addWorks(*opened->catalogue, lib.path(), works, &added, nullptr);
        state.PauseTiming();
        if (!r.ok() || added.size() != count)
            state.SkipWithError("merge failed");
        staging.remove();
        opened->catalogue.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MergeWorks)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
