// Opening a work file that came from anywhere, and reading every page of it.
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
    if (const auto work = vel::WorkFile::open(path)) {
        for (int n = 1; n <= work->pageCount(); ++n)
            if (!work->page(n).ok)
                break;
    }
    return 0;
}
