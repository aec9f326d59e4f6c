// RAZ.exe: unpacks the sample library into the reader's library folder and starts the program again on it.
// It has no window of its own: it reports on the standard error and by its exit status.
#include "core/storage/LibraryHome.h"
#include "core/storage/RawNames.h"
#include "unpack/Unpack.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

namespace {

const char kUsage[] =
    "Употреба: RAZ.exe [--library ПАПКА] [--archive ФАЙЛ] [--no-start]\n"
    "          RAZ.exe --pack ПАПКА ФАЙЛ\n"
    "  Разархивира примерната библиотека в ПАПКА (без нея: папката на библиотеката по подразбиране) и\n"
    "  стартира отново velmora с нея. Съществуващи произведения и записи в каталога не се презаписват.\n"
    "  --archive ФАЙЛ   архивът; без него: sample-library.tar.gz до RAZ.exe, после в ../share/velmora/\n"
    "  --no-start       само разархивира\n"
    "  --pack ПАПКА ФАЙЛ  събира каталога и произведенията от ПАПКА в архива ФАЙЛ\n"
    "  Изход: 0 успех, 1 неуспех, 2 грешен команден ред.\n"
    "\n"
    "Usage: RAZ.exe [--library DIR] [--archive FILE] [--no-start]\n"
    "       RAZ.exe --pack DIR FILE\n"
    "  Unpacks the sample library into DIR (without it: the default library folder) and starts velmora\n"
    "  again on it. Existing works and catalogue records are never written over.\n"
    "  --archive FILE   the archive; without it: sample-library.tar.gz beside RAZ.exe, then in\n"
    "                   ../share/velmora/\n"
    "  --no-start       only unpack\n"
    "  --pack DIR FILE  pack the catalogue and the works of DIR into the archive FILE\n"
    "  Exit status: 0 success, 1 failure, 2 bad command line.\n";

int usage(QTextStream& err, const QString& problem) {
    if (!problem.isEmpty())
        err << problem << "\n\n";
    err << QString::fromUtf8(kUsage);
    return 2;
}

// The program beside the unpacker, else the one on the search path.
QString findVelmora() {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("velmora"));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("velmora"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();

    QString library, archive, packDir, packFile;
    bool start = true;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--help" || a == u"-h") {
            QTextStream(stdout) << QString::fromUtf8(kUsage);
            return 0;
        } else if (a == u"--library" && i + 1 < args.size()) {
            library = QDir(args[++i]).absolutePath();
        } else if (a == u"--archive" && i + 1 < args.size()) {
            archive = QDir(args[++i]).absolutePath();
        } else if (a == u"--no-start") {
            start = false;
        } else if (a == u"--pack" && i + 2 < args.size()) {
            packDir = args[++i];
            packFile = args[++i];
        } else {
            return usage(err, QStringLiteral("Непозната или непълна възможност: %1").arg(a));
        }
    }

    if (!packDir.isEmpty()) {
        QString error;
        if (!vel::unpack::packLibrary(packDir, packFile, &error)) {
            err << "RAZ.exe: " << error << '\n';
            return 1;
        }
        return 0;
    }

    if (library.isEmpty())
        library = vel::defaultLibraryDir(QCoreApplication::applicationDirPath());
    if (archive.isEmpty())
        archive = vel::unpack::findArchive(QCoreApplication::applicationDirPath());
    if (archive.isEmpty()) {
        err << "RAZ.exe: " << QStringLiteral("Архивът на библиотеката не е намерен:");
        for (const QString& c : vel::unpack::archiveCandidates(QCoreApplication::applicationDirPath()))
            err << ' ' << vel::shownPath(c);
        err << '\n';
        return 1;
    }

    const vel::unpack::UnpackReport report = vel::unpack::unpackLibrary(archive, library);
    for (const QString& s : report.skipped)
        err << "RAZ.exe: " << QStringLiteral("пропуснат ") << s << '\n';
    for (const QString& t : report.kept)
        err << "RAZ.exe: " << QStringLiteral("„%1“ вече е в каталога и остава непроменено").arg(t) << '\n';
    if (!report.ok()) {
        err << "RAZ.exe: " << report.error << '\n';
        return 1;
    }
    err << "RAZ.exe: "
        << QStringLiteral("разархивирани %1 произведения в %2")
               .arg(report.placed.size())
               .arg(vel::shownPath(library))
        << '\n';
    err.flush();

    if (!start)
        return 0;
    const QString velmora = findVelmora();
    if (velmora.isEmpty() ||
        !QProcess::startDetached(velmora, {QStringLiteral("--library"), library}, library)) {
        err << "RAZ.exe: " << QStringLiteral("velmora не може да бъде стартирана.") << '\n';
        return 1;
    }
    return 0;
}
