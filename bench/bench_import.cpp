// Importing texts from the command line's pipeline: loading with encoding detection, joining lines, cutting
// at the 1024 x 768 page and storing work file and record. The sample novella (about 180,000 characters);
// generated prose of a few MiB; the peak memory of large imports; and a text too long for one work, which
// must be refused after a small part of the work an import of its size would take.
#include "BenchImport.h"
#include "BenchMemory.h"
#include "BenchText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

namespace {

QString novella() {
    return QFileInfo(QStringLiteral(__FILE__))
        .dir()
        .filePath(QStringLiteral("../assets/library/Калина Дренска - Мраморната хартия.txt"));
}

void BM_ImportNovella(benchmark::State& state) {
    vel::bench::timeImports(state, vel::ImportRequest{novella(), {}, {}});
}
BENCHMARK(BM_ImportNovella)->Unit(benchmark::kMillisecond);

// A hard-wrapped text file of about `mib` MiB in `encoding`, written once per run into `dir`.
QString proseFile(const QTemporaryDir& dir, double mib, const char* encoding) {
    const QString path = dir.filePath(QStringLiteral("Автор - Проза %1 %2.txt").arg(mib).arg(encoding));
    if (QFile::exists(path))
        return path;
    // Generated prose takes about 1.8 bytes a character in UTF-8, one in a single-byte code page.
    const double bytesPerChar = qstrcmp(encoding, "UTF-8") == 0 ? 1.8 : 1.0;
    QStringEncoder encoder(encoding);
    const QByteArray bytes =
        encoder(vel::bench::bulgarianText(std::size_t(mib * 1024 * 1024 / bytesPerChar), 70, true));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

const QTemporaryDir& textDir() {
    static QTemporaryDir dir;
    return dir;
}

double fileMiB(const QString& path) {
    return double(QFileInfo(path).size()) / (1024 * 1024);
}

// CPU time of importing a few MiB as a book: the per-MiB cost BM_RefuseOverLimit is set beside.
void BM_ImportProse(benchmark::State& state) {
    const QString file = proseFile(textDir(), double(state.range(0)), "UTF-8");
    vel::bench::timeImports(state, vel::ImportRequest{file, {}, {}});
    state.counters["file_MiB"] = fileMiB(file);
}
BENCHMARK(BM_ImportProse)->Arg(4)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// A text that needs far more than 32,767 book pages (about 46,000): refused, nothing written.
void BM_RefuseOverLimit(benchmark::State& state) {
    const QString file = proseFile(textDir(), double(state.range(0)), "UTF-8");
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        auto opened = vel::Catalogue::open(dir.path());
        state.ResumeTiming();
        const vel::ImportResult r = vel::importWork(*opened->catalogue, dir.path(), {file, {}, {}});
        if (r.ok())
            state.SkipWithError("the text was not refused");
    }
    state.counters["file_MiB"] = fileMiB(file);
}
BENCHMARK(BM_RefuseOverLimit)->Arg(100)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Peak resident memory of importing a text of about `mib` MiB (plain layout) above the process's idle size.
void importMemory(benchmark::State& state, const char* encoding) {
    QTemporaryDir dir;
    const QString file = proseFile(dir, double(state.range(0)), encoding);
    const vel::bench::PeakMemory memory;
    for (auto _ : state) {
        auto opened = vel::Catalogue::open(dir.path());
        const vel::ImportResult r = vel::importWork(*opened->catalogue, dir.path(),
                                                    {file, {}, {}, {1024, 768}, vel::PageLayout::Plain});
        if (!r.ok())
            state.SkipWithError(qPrintable(r.error));
        state.counters["pages"] = r.pages;
    }
    if (!memory.valid())
        state.SkipWithError("cannot reset the peak memory mark");
    const double mib = fileMiB(file);
    state.counters["file_MiB"] = mib;
    state.counters["idle_MiB"] = memory.idleMiB();
    state.counters["peak_MiB"] = memory.peakMiB();
    state.counters["peak_above_idle_MiB"] = memory.aboveIdleMiB();
    state.counters["above_idle_per_file_MiB"] = memory.aboveIdleMiB() / mib;
}

void BM_ImportMemory(benchmark::State& state) {
    importMemory(state, "UTF-8");
}
BENCHMARK(BM_ImportMemory)->Arg(1)->Arg(5)->Arg(20)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ImportMemory1251(benchmark::State& state) {
    importMemory(state, "windows-1251");
}
BENCHMARK(BM_ImportMemory1251)->Arg(30)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
