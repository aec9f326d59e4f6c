// Listing a large catalogue: opening it and filling the title list, the author filter and the author pick
// list, and narrowing the titles to one author. The catalogue file is written once, outside the timing.
#include "bench/BenchText.h"
#include "core/catalogue/CatalogueWalks.h"
#include "core/storage/Catalogue.h"
#include "core/storage/Database.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

constexpr int kAuthors = 1000;

QString authorName(int i) {
    return QStringLiteral("Автор %1").arg(i % kAuthors);
}

// A library folder holding a catalogue of `works` works and the entry slot after them.
const QTemporaryDir& libraryOf(int works) {
    static std::map<int, std::unique_ptr<QTemporaryDir>> dirs;
    auto& dir = dirs[works];
    if (dir)
        return *dir;
    dir = std::make_unique<QTemporaryDir>();
    auto opened = vel::Catalogue::open(dir->path()); // creates it holding one entry slot
    vel::Database& db = opened->catalogue->database();
    db.exec(QStringLiteral("DELETE FROM Phones"));
    vel::Transaction t(db);
    vel::Statement insert(db, QStringLiteral("INSERT INTO Phones (Name, Number, Font, Size, STR, CvetList, "
                                             "CvetForma) VALUES (?1, ?2, 'Tahoma', '14.25', '1', '16777215', "
                                             "'12632256')"));
    vel::bench::TextRandom random;
    const QStringList& words = vel::bench::bulgarianWords();
    for (int i = 0; i < works; ++i) {
        const QString title = words[int(random.next() % words.size())] + u' ' +
                              words[int(random.next() % words.size())] + u' ' + QString::number(i);
        insert.bind(1, title);
        insert.bind(2, authorName(int(random.next() % kAuthors)));
        insert.step();
        insert.reset();
    }
    db.exec(QStringLiteral("INSERT INTO Phones (Name, Number) VALUES ('', '')"));
    t.commit();
    return *dir;
}

void BM_ListCatalogue(benchmark::State& state) {
    const QString folder = libraryOf(int(state.range(0))).path();
    for (auto _ : state) {
        auto opened = vel::Catalogue::open(folder);
        vel::Catalogue& cat = *opened->catalogue;
        cat.cleanUp();
        vel::RecordBoxes boxes;
        cat.rs().MoveFirst();
        cat.pokazhi(boxes);
        vel::CatalogueLists lists = vel::spisak(cat, boxes);
        benchmark::DoNotOptimize(lists.titles.size());
        if (lists.titles.size() != state.range(0) || lists.authors.size() != kAuthors)
            state.SkipWithError("the lists are incomplete");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_FilterAuthor(benchmark::State& state) {
    const QString folder = libraryOf(int(state.range(0))).path();
    auto opened = vel::Catalogue::open(folder);
    vel::Catalogue& cat = *opened->catalogue;
    cat.cleanUp();
    vel::RecordBoxes boxes;
    const QString author = authorName(7);
    for (auto _ : state) {
        QStringList titles = vel::titlesOfAuthor(cat, boxes, author);
        benchmark::DoNotOptimize(titles.size());
        if (titles.isEmpty())
            state.SkipWithError("no title of the author");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The settings save after a book closes, for the work stored last.
void BM_SaveSettings(benchmark::State& state) {
    const QString folder = libraryOf(int(state.range(0))).path();
    auto opened = vel::Catalogue::open(folder);
    vel::Catalogue& cat = *opened->catalogue;
    cat.rs().MoveLast();
    cat.rs().MovePrevious();
    const QString title = cat.rs().field(QStringLiteral("Name"));
    int page = 1;
    for (auto _ : state) {
        if (cat.saveSettings(title, QStringLiteral("Tahoma"), QStringLiteral("14"),
                             QString::number(page += 2), QStringLiteral("16777215"),
                             QStringLiteral("12632256")) != vel::Catalogue::SaveResult::Saved)
            state.SkipWithError("the work was not found");
    }
}

} // namespace

BENCHMARK(BM_SaveSettings)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListCatalogue)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterAuthor)->Arg(100000)->Unit(benchmark::kMillisecond);
