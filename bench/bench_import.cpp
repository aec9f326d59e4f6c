// Importing the sample novella (about 180,000 characters) from the command line's pipeline: loading with
// encoding detection, joining lines, cutting at the 1024 x 768 book page and storing work file and record.
#include "BenchImport.h"

#include <QDir>
#include <QFileInfo>

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

} // namespace
