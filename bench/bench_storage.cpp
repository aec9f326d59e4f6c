// Opening a stored work at its bookmark: a 32767-page work must open as fast as a 10-page one.
#include "core/storage/LibraryPaths.h"
#include "core/storage/WorkFile.h"
#include "core/storage/WorkFileBuilder.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

namespace {

// About 1500 Cyrillic characters in lines of prose, different on every page.
QString pageText(int n) {
    static const QString words[] = {
        QStringLiteral("планината"), QStringLiteral("вечерта"),  QStringLiteral("слънцето"),
        QStringLiteral("говореше"),  QStringLiteral("тихо"),     QStringLiteral("над"),
        QStringLiteral("селото"),    QStringLiteral("старецът"), QStringLiteral("и"),
        QStringLiteral("реката"),    QStringLiteral("шумеше"),   QStringLiteral("книгата"),
    };
    QString text;
    text.reserve(1600);
    for (int i = 0; text.size() < 1500; ++i) {
        text += words[(n * 7 + i * 5) % 12];
        text += (i % 11 == 10) ? QStringLiteral(".\r\n") : QStringLiteral(" ");
    }
    return text;
}

// Builds each size once per run, outside the timed loops.
QString workFile(int pages) {
    static QTemporaryDir dir;
    static std::map<int, QString> built;
    auto it = built.find(pages);
    if (it != built.end())
        return it->second;
    vel::WorkFileBuilder b;
    const QString title = QStringLiteral("Произведение %1").arg(pages);
    if (!b.begin(dir.path(), title))
        qFatal("%s", qPrintable(b.failure().message));
    for (int n = 1; n <= pages; ++n) {
        if (!b.appendPage(pageText(n)))
            qFatal("%s", qPrintable(b.failure().message));
    }
    if (!b.commit())
        qFatal("%s", qPrintable(b.failure().message));
    return built[pages] = b.finalPath();
}

void BM_OpenWork(benchmark::State& state) {
    const int pages = int(state.range(0));
    const QString path = workFile(pages);
    for (auto _ : state) {
        QString error;
        auto work = vel::WorkFile::open(path, &error);
        if (!work) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        const int last = work->pageCount();
        auto left = work->page(last - 1);
        auto right = work->page(last);
        benchmark::DoNotOptimize(left.text.size() + right.text.size());
    }
}

} // namespace

BENCHMARK(BM_OpenWork)->Arg(10)->Arg(vel::kMaxPages)->Unit(benchmark::kMillisecond);
