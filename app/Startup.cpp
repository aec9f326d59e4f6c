#include "app/Startup.h"

#include "app/Govori.h"
#include "storage/Catalogue.h"
#include "storage/FileOps.h"
#include "ui/Fonts.h"
#include "ui/QtPlatform.h"
#include "ui/Session.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

namespace vel {

namespace {

const char kUsage[] =
    "Употреба: velmora [--library ПАПКА]\n"
    "  --library ПАПКА   библиотеката (BAZA.mdb и произведенията) е в ПАПКА,\n"
    "                    вместо в папката на програмата\n"
    "  --help            тази помощ\n"
    "\n"
    "Usage: velmora [--library DIR]\n"
    "  --library DIR     keep the library (BAZA.mdb and the works) in DIR instead of the program's folder\n"
    "  --help            this help\n";

} // namespace

StartOptions parseStartOptions(const QStringList& args, const QString& executableDir) {
    StartOptions o;
    o.libraryDir = executableDir;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--library")) {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("Липсва папката след --library.");
                return o;
            }
            o.libraryDir = QDir(args[++i]).absolutePath();
        } else if (a.startsWith(QLatin1String("--library="))) {
            o.libraryDir = QDir(a.mid(10)).absolutePath();
        } else {
            o.error = QStringLiteral("Непозната възможност: ") + a;
            return o;
        }
    }
    return o;
}

int runVelmora(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora"));
    QApplication::setQuitOnLastWindowClosed(false); // the windows decide when the program ends

    const StartOptions opts = parseStartOptions(QApplication::arguments(), QApplication::applicationDirPath());
    if (opts.help || !opts.error.isEmpty()) {
        if (!opts.error.isEmpty())
            std::fprintf(stderr, "%s\n\n", qPrintable(opts.error));
        std::fputs(kUsage, opts.help ? stdout : stderr);
        return opts.help ? 0 : 2;
    }

    installDesignFonts();
    // Qt's own dialogs (files, colours, fonts) speak Bulgarian too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Bulgarian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QtPlatform platform;

    // A damaged catalogue is reported and left as it is; a missing one is created with its entry slot.
    if (!QDir().mkpath(opts.libraryDir)) {
        platform.messageBox(QStringLiteral("Папката на библиотеката не може да бъде създадена:\r\n") + opts.libraryDir,
                            MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("ВЕЛМОРА"));
        return 1;
    }
    if (auto checked = Catalogue::open(opts.libraryDir); !checked) {
        platform.messageBox(checked.error, MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("ВЕЛМОРА"));
        return 1;
    }

    fileops::removeStaleTemps(opts.libraryDir);

    Session session(platform, opts.libraryDir);
    QObject::connect(&session, &Session::lastWindowClosed, &app, &QApplication::quit, Qt::QueuedConnection);
    session.window<Govori>().show();
    if (!session.anyLoaded())
        return 0;
    return QApplication::exec();
}

} // namespace vel
