// Importing a book from FB2 against the same paragraphs as a plain text: about 5 MB of UTF-8 each, read,
// cut at the 1024 x 768 book page and stored.
#include "BenchImport.h"
#include "tests/testsupport/BulgarianText.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// About 2.7 million Cyrillic characters: 5 MB in UTF-8. One paragraph a line.
QStringList paragraphs() {
    static const QStringList list =
        vel::test::bulgarianText(2'700'000, 70, false).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    return list;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

void importFile(benchmark::State& state, const QString& name, const QByteArray& bytes) {
    QTemporaryDir source;
    const QString file = source.filePath(name);
    writeFile(file, bytes);
    state.counters["MB"] = double(bytes.size()) / (1024 * 1024);
    vel::bench::timeImports(state,
                            vel::ImportRequest{file, QStringLiteral("Книга"), QStringLiteral("Автор")});
}

void BM_ImportTxt(benchmark::State& state) {
    importFile(state, QStringLiteral("kniga.txt"), paragraphs().join(QStringLiteral("\r\n")).toUtf8());
}
BENCHMARK(BM_ImportTxt)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ImportFb2(benchmark::State& state) {
    QString xml =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FictionBook><description><title-info>"
                       "<book-title>Книга</book-title></title-info></description><body><section>\n");
    for (const QString& p : paragraphs())
        xml += QStringLiteral("<p>") + p + QStringLiteral("</p>\n");
    xml += QStringLiteral("</section></body></FictionBook>\n");
    importFile(state, QStringLiteral("kniga.fb2"), xml.toUtf8());
}
BENCHMARK(BM_ImportFb2)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
