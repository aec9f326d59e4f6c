// Opening a catalogue that came from anywhere as a library folder's BAZA.mdb and doing what the first start
// does with it: finish what a dead writer left, clean up, list titles and authors, order the library, then
// find a title and save its settings.
#include "core/catalogue/CatalogueWalks.h"
#include "core/catalogue/LibraryIndex.h"
#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir root;
    // A fresh folder each time: an input may leave a journal, pending notes or work files behind.
    const QString dir = root.filePath(QStringLiteral("lib"));
    QDir(dir).removeRecursively();
    if (!QDir().mkpath(dir))
        return 0;
    {
        QFile file(QDir(dir).filePath(QStringLiteral("BAZA.mdb")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    auto opened = vel::Catalogue::open(dir);
    if (!opened)
        return 0;
    vel::Catalogue& cat = *opened->catalogue;
    // What reconciling and saving report is not under test: only that hostile input neither crashes nor hangs.
    (void)vel::reconcileLibrary(cat, dir);
    cat.cleanUp();
    vel::RecordBoxes boxes;
    const vel::CatalogueLists lists = vel::spisak(cat, boxes);
    const vel::LibraryIndex index(vel::libraryEntries(cat));
    index.find(u"а", QString(), vel::TitleOrder::LastRead);
    if (!lists.authors.isEmpty())
        vel::titlesOfAuthor(cat, boxes, lists.authors.front());
    if (!lists.titles.isEmpty()) {
        const QString title = lists.titles.front();
        vel::tarsene(cat, boxes, title);
        (void)cat.saveSettings(title, QStringLiteral("Times New Roman"), QStringLiteral("12"), QStringLiteral("3"),
                         QStringLiteral("16777215"), QStringLiteral("0"));
    }
    return 0;
}
