// Opening a work file that came from anywhere and reading all of it as the book window does: every page,
// where pages start, the contents, notes and marks (each found on its page) and the cover.
#include "core/storage/WorkFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Произведение.mdb"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const auto work = vel::WorkFile::open(path);
    if (!work)
        return 0;
    for (int n = 1; n <= work->pageCount(); ++n)
        if (!work->page(n).ok)
            break;
    work->pageStarts();
    for (const vel::ContentsEntry& e : work->contents())
        work->pageAt(e.position);
    for (const vel::NoteAnchor& note : work->notes())
        work->pageAt(note.position);
    for (const vel::BookMark& mark : work->marks())
        work->pageAt(mark.position);
    work->cover();
    return 0;
}
