// Pictures of the windows for looking at them: the main window at start, with the library, and a work opened
// in the book window, saved as PNG files. Runs on any library with at least one work, offscreen or on a
// display:  velmora_grab --library DIR --out DIR [--screen WxH]
// --screen draws offscreen on a screen of that size (1024x768 is the size --import cuts for by default).
#include "core/book/Fonts.h"
#include "ui/QtPlatform.h"
#include "ui/Session.h"
#include "windows/FormB.h"
#include "windows/Govori.h"
#include "windows/KNIGA.h"
#include "windows/book/BookFinder.h"
#include "windows/WindowSet.h"

#include <QLineEdit>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryFile>
#include <QTimer>
#include <cstdio>

using namespace vel;

namespace {

// Lets the windows' own timers run for a while.
void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget& w, const QString& dir, const char* name) {
    const QString path = QDir(dir).filePath(QString::fromLatin1(name));
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "written" : "NOT written", qPrintable(path));
    return ok;
}

} // namespace

// The offscreen platform's screen is 800x800 unless a configuration file names another size; it has to be
// chosen before the application starts.
std::unique_ptr<QTemporaryFile> offscreenScreen(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--screen") != 0)
            continue;
        const QList<QByteArray> wh = QByteArray(argv[i + 1]).split('x');
        if (wh.size() != 2 || wh[0].toInt() <= 0 || wh[1].toInt() <= 0)
            return nullptr;
        auto file = std::make_unique<QTemporaryFile>();
        if (!file->open())
            return nullptr;
        file->write("{\"screens\": [{\"name\": \"grab\", \"x\": 0, \"y\": 0, \"width\": " + wh[0] +
                    ", \"height\": " + wh[1] + ", \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}");
        file->flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(file->fileName()));
        return file;
    }
    return nullptr;
}

int main(int argc, char** argv) {
    const auto screen = offscreenScreen(argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QCommandLineParser args;
    args.addOption({"library", "the library folder", "dir"});
    args.addOption({"out", "where the pictures go", "dir", "."});
    args.addOption({"screen", "draw offscreen on a screen of this size", "WxH"});
    args.addHelpOption();
    args.process(app);
    if (!args.isSet("library"))
        args.showHelp(2);

    installDesignFonts();
    QtPlatform platform;
    Session session(platform, QDir(args.value("library")).absolutePath());
    registerWindows(session);
    const QString out = args.value("out");
    QDir().mkpath(out);
    bool ok = true;

    Govori& main = session.window<Govori>();
    main.show();
    settle(1500);
    ok &= save(main, out, "main.png");

    main.Command9_Click();
    settle(500);
    ok &= save(main, out, "main-library.png");
    FormB& formB = session.window<FormB>();
    ok &= save(formB, out, "library.png");

    // The first work of the title list, opened as a click on it opens it.
    if (formB.Combo1->count() > 0) {
        formB.Combo1->setCurrentIndex(0);
        formB.Combo1_Click();
        settle(3000);
        if (KNIGA* book = session.loaded<KNIGA>()) {
            ok &= save(*book, out, "book.png");
            // The finding panel in each of its kinds; the search for a word of the first page.
            BookFinder* finder = book->finder();
            finder->showPanel(BookFinder::Mode::Contents);
            settle(300);
            ok &= save(*book, out, "book-contents.png");
            finder->showPanel(BookFinder::Mode::Search);
            finder->searchBox()->setText(book->R1->text().section(u' ', 2, 2));
            settle(500);
            ok &= save(*book, out, "book-search.png");
            finder->choose(1);
            settle(300);
            ok &= save(*book, out, "book-found.png");
            finder->markSpread();
            finder->showPanel(BookFinder::Mode::Marks);
            settle(300);
            ok &= save(*book, out, "book-marks.png");
        } else {
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
