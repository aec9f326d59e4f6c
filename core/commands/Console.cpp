#include "core/commands/Console.h"

#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"

#include <QTextStream>

namespace vel {

void printFailure(QTextStream& err, const Failure& failure, const QString& subject) {
    if (!subject.isEmpty())
        err << subject << QStringLiteral(": ");
    err << failure.bilingual() << '\n';
    err.flush();
}

Failure noCatalogue(const QString& libraryDir) {
    const QString path = shownPath(catalogPath(libraryDir));
    return fail(FailureKind::NotFound, QStringLiteral("Няма каталог %1").arg(path),
                QStringLiteral("There is no catalogue %1").arg(path));
}

} // namespace vel
