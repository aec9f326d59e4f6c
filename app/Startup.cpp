#include "app/Startup.h"

#include "app/Probe.h"
#include "core/book/Fonts.h"
#include "core/commands/Audiobook.h"
#include "core/commands/Import.h"
#include "core/commands/Navigate.h"
#include "core/opds/OpdsWalk.h"
#include "core/storage/Catalogue.h"
#include "core/storage/FileOps.h"
#include "core/storage/LibraryHome.h"
#include "core/storage/RawNames.h"
#include "ui/NullAudioOutput.h"
#include "ui/QtPlatform.h"
#include "ui/Session.h"
#include "windows/Govori.h"
#include "windows/WindowSet.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTextStream>
#include <QTranslator>
#include <cstdio>
#include <memory>
#include <vector>

namespace vel {

namespace {

const char kUsage[] =
    "Употреба:\n"
    "  velmora [--library ПАПКА] [ФАЙЛ]\n"
    "  velmora [--library ПАПКА] --import ФАЙЛ... [--title ЗАГЛАВИЕ --author АВТОР] [--screen ШxВ]\n"
    "                                              [--layout book|plain] [--jobs N]\n"
    "  velmora [--library ПАПКА] --list\n"
    "  velmora --opds АДРЕС [--search ДУМИ]\n"
    "  velmora [--library ПАПКА] --audiobook ЗАГЛАВИЕ [--pages A-Б] --out ФАЙЛ\n"
    "  velmora [--library ПАПКА] --contents ЗАГЛАВИЕ\n"
    "  velmora [--library ПАПКА] --search ЗАГЛАВИЕ ДУМИ...\n"
    "\n"
    "  --library ПАПКА   библиотеката (BAZA.mdb и произведенията) е в ПАПКА. Без нея: папката на\n"
    "                    програмата, а за инсталирана програма ~/.local/share/velmora\n"
    "  ФАЙЛ              текстов файл (.txt) или документ (.doc), зареден направо в текстовото поле\n"
    "  --import ФАЙЛ...  добавя произведенията от файловете без прозорци: текстът се зарежда, редовете\n"
    "                    се съединяват и се нарязва на страници както в прозореца на книгата.\n"
    "                    Файл с име „Автор - Заглавие.txt“ дава автора и заглавието си сам;\n"
    "                    вместо файл може да се даде уеб адрес (http:// или https://) на книга\n"
    "  --title ЗАГЛАВИЕ  заглавието (само при един файл)\n"
    "  --author АВТОР    авторът\n"
    "  --screen ШxВ      екранът, за който се нарязват страниците, в пиксели (1024x768)\n"
    "  --layout book     страниците се подреждат като в печатна книга: двустранно подравнени редове,\n"
    "                    пренасяне на думите, отстъп в началото на абзаца, полета (по подразбиране)\n"
    "  --layout plain    текстът се подрежда както е, без пренасяне и полета\n"
    "  --jobs N          колко произведения се нарязват едновременно (по подразбиране: броя ядра)\n"
    "  --list            показва каталога: заглавие, автор, страници, отбелязана страница, поредица\n"
    "                    (с табулации)\n"
    "  --opds АДРЕС      показва книгите на онлайн каталог OPDS, като следва разделите му до книгите:\n"
    "                    заглавие, автор и адрес на най-добрия формат (с табулации)\n"
    "  --opds АДРЕС --search ДУМИ  само книгите, които търсенето на каталога намира\n"
    "  --audiobook ЗАГЛАВИЕ  изговаря страниците на произведението във ФАЙЛ (.wav, .flac или .ogg)\n"
    "                    с гласа и скоростта от speech.ini в библиотеката\n"
    "  --pages A-Б       само страници от A до Б (или само A)\n"
    "  --out ФАЙЛ        аудиофайлът\n"
    "  --contents ЗАГЛАВИЕ  показва съдържанието: ниво, страница, заглавие (с табулации)\n"
    "  --search ЗАГЛАВИЕ ДУМИ...  показва намерените места: страница и думите около тях (с табулация)\n"
    "  --help            тази помощ\n"
    "  Изход: 0 всичко е наред, 1 някой файл не е добавен или записан, 2 грешен команден ред.\n"
    "\n"
    "Usage:\n"
    "  velmora [--library DIR] [FILE]\n"
    "  velmora [--library DIR] --import FILE... [--title TITLE --author AUTHOR] [--screen WxH]\n"
    "                                           [--layout book|plain] [--jobs N]\n"
    "  velmora [--library DIR] --list\n"
    "  velmora --opds URL [--search WORDS]\n"
    "  velmora [--library DIR] --audiobook TITLE [--pages A-B] --out FILE\n"
    "  velmora [--library DIR] --contents TITLE\n"
    "  velmora [--library DIR] --search TITLE WORDS...\n"
    "\n"
    "  --library DIR     keep the library (BAZA.mdb and the works) in DIR. Without it: the program's\n"
    "                    folder, or ~/.local/share/velmora for an installed program\n"
    "  FILE              a text file (.txt) or document (.doc) loaded straight into the text panel\n"
    "  --import FILE...  add the files as works without any window: the text is loaded, its lines are\n"
    "                    joined and it is cut into pages as the book window cuts it.\n"
    "                    A file named \"Author - Title.txt\" gives its author and title itself;\n"
    "                    a web address (http:// or https://) of a book may stand for a file\n"
    "  --title TITLE     the title (one file only)\n"
    "  --author AUTHOR   the author\n"
    "  --screen WxH      the screen the pages are cut for, in pixels (1024x768)\n"
    "  --layout book     set the pages as a printed book: justified lines, hyphenated words, indented\n"
    "                    paragraphs, margins (the default)\n"
    "  --layout plain    set the text as it is, without hyphens or margins\n"
    "  --jobs N          how many works are cut at once (the number of cores by default)\n"
    "  --list            print the catalogue: title, author, pages, bookmark, series (tab-separated)\n"
    "  --opds URL        print the books of an online OPDS catalogue, following its sections down to\n"
    "                    the books: title, author and address of the best format (tab-separated)\n"
    "  --opds URL --search WORDS  only the books the catalogue's search finds\n"
    "  --audiobook TITLE speak the work's pages into FILE (.wav, .flac or .ogg) with the voice and\n"
    "                    rate of speech.ini in the library\n"
    "  --pages A-B       only pages A to B (or A alone)\n"
    "  --out FILE        the audio file\n"
    "  --contents TITLE  print the work's contents: level, page, heading (tab-separated)\n"
    "  --search TITLE WORDS...  print where the words stand: page and the words around them (tab)\n"
    "  --help            this help\n"
    "  Exit status: 0 all went well, 1 some file was not added or written, 2 bad command line.\n";

QString both(const char* bulgarian, const char* english) {
    return QString::fromUtf8(bulgarian) + QStringLiteral(" / ") + QString::fromUtf8(english);
}

// The screen's sizes are kept in 16-bit twips counts elsewhere: a sane range keeps them there.
std::optional<QSize> screenSize(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{3,4})[xX](\\d{3,4})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QSize s(m.captured(1).toInt(), m.captured(2).toInt());
    if (s.width() < 320 || s.height() < 240 || s.width() > 2184 || s.height() > 2184)
        return std::nullopt;
    return s;
}

// "A-B" or "A", 1 <= A <= B.
std::optional<std::pair<int, int>> pageRange(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,5})\\s*(?:-\\s*(\\d{1,5})\\s*)?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int a = m.captured(1).toInt();
    const int b = m.captured(2).isEmpty() ? a : m.captured(2).toInt();
    if (a < 1 || b < a)
        return std::nullopt;
    return std::pair{a, b};
}

} // namespace

StartOptions parseStartOptions(const QStringList& args, const QString& defaultLibraryDir) {
    StartOptions o;
    o.libraryDir = defaultLibraryDir;
    bool import = false, list = false, titled = false, authored = false, screened = false, laidOut = false;
    bool audiobook = false, paged = false, outed = false, contents = false, search = false, opds = false;
    bool onlyFiles = false;
    auto fail = [&o](const QString& message) {
        o.error = message;
        return o;
    };
    // "--name value" and "--name=value" alike.
    auto value = [&args](int& i, const QString& name, QString* out) {
        const QString& a = args[i];
        if (a.startsWith(name + u'=')) {
            *out = a.mid(name.size() + 1);
            return true;
        }
        if (a != name || i + 1 >= args.size())
            return false;
        *out = args[++i];
        return true;
    };
    auto isOption = [](const QString& a, const char* name) {
        const QString n = QString::fromLatin1(name);
        return a == n || a.startsWith(n + u'=');
    };

    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        QString v;
        if (onlyFiles || !a.startsWith(u'-') || a == u"-") {
            o.files << a;
        } else if (a == u"--") {
            onlyFiles = true;
        } else if (a == u"--help" || a == u"-h") {
            o.help = true;
        } else if (a == u"--import") {
            import = true;
        } else if (a == u"--list") {
            list = true;
        } else if (isOption(a, "--library")) {
            if (!value(i, QStringLiteral("--library"), &v) || v.isEmpty())
                return fail(both("Липсва папката след --library.", "The folder after --library is missing."));
            o.libraryDir = QDir(v).absolutePath();
        } else if (isOption(a, "--title")) {
            if (!value(i, QStringLiteral("--title"), &v) || v.trimmed().isEmpty())
                return fail(both("Липсва заглавието след --title.", "The title after --title is missing."));
            o.title = v.trimmed();
            titled = true;
        } else if (isOption(a, "--author")) {
            if (!value(i, QStringLiteral("--author"), &v) || v.trimmed().isEmpty())
                return fail(both("Липсва авторът след --author.", "The author after --author is missing."));
            o.author = v.trimmed();
            authored = true;
        } else if (isOption(a, "--screen")) {
            const std::optional<QSize> s =
                value(i, QStringLiteral("--screen"), &v) ? screenSize(v) : std::nullopt;
            if (!s)
                return fail(both("След --screen се очаква размер като 1024x768.",
                                 "--screen expects a size such as 1024x768."));
            o.screen = *s;
            screened = true;
        } else if (isOption(a, "--layout")) {
            const std::optional<PageLayout> l =
                value(i, QStringLiteral("--layout"), &v) ? layoutFromName(v) : std::nullopt;
            if (!l)
                return fail(
                    both("След --layout се очаква book или plain.", "--layout expects book or plain."));
            o.layout = *l;
            laidOut = true;
        } else if (isOption(a, "--jobs")) {
            bool ok = false;
            const int jobs = value(i, QStringLiteral("--jobs"), &v) ? v.toInt(&ok) : 0;
            if (!ok || jobs < 1 || jobs > 256)
                return fail(both("След --jobs се очаква число от 1 до 256.", "--jobs expects a number from 1 to 256."));
            o.jobs = jobs;
            laidOut = true;
        } else if (isOption(a, "--audiobook")) {
            if (!value(i, QStringLiteral("--audiobook"), &v) || v.trimmed().isEmpty())
                return fail(
                    both("Липсва заглавието след --audiobook.", "The title after --audiobook is missing."));
            o.audiobookTitle = v.trimmed();
            audiobook = true;
        } else if (isOption(a, "--opds")) {
            if (!value(i, QStringLiteral("--opds"), &v) || v.trimmed().isEmpty())
                return fail(both("Липсва адресът след --opds.", "The address after --opds is missing."));
            o.opdsUrl = v.trimmed();
            opds = true;
        } else if (isOption(a, "--contents") || isOption(a, "--search")) {
            const bool searching = isOption(a, "--search");
            const QString name = QString::fromLatin1(searching ? "--search" : "--contents");
            if (!value(i, name, &v) || v.trimmed().isEmpty())
                return fail(QStringLiteral("Липсва заглавието след %1. / The title after %1 is missing.").arg(name));
            o.workTitle = v.trimmed();
            (searching ? search : contents) = true;
        } else if (isOption(a, "--pages")) {
            const auto range = value(i, QStringLiteral("--pages"), &v) ? pageRange(v) : std::nullopt;
            if (!range)
                return fail(both("След --pages се очакват страници като 3-10.",
                                 "--pages expects pages such as 3-10."));
            o.firstPage = range->first;
            o.lastPage = range->second;
            paged = true;
        } else if (isOption(a, "--out")) {
            if (!value(i, QStringLiteral("--out"), &v) || v.isEmpty())
                return fail(both("Липсва файлът след --out.", "The file after --out is missing."));
            o.outFile = v;
            outed = true;
        } else {
            return fail(QStringLiteral("Непозната възможност: %1 / Unknown option: %1").arg(a));
        }
    }
    if (o.help)
        return o;

    // With --opds, --search takes the words to look for in the catalogue, not a work's title.
    if (opds && search) {
        search = false;
        o.searchWords = (QStringList{o.workTitle} + o.files).join(u' ').simplified();
        o.workTitle.clear();
        o.files.clear();
    }
    if (int(import) + int(list) + int(audiobook) + int(contents) + int(search) + int(opds) > 1)
        return fail(both("--import, --list, --audiobook, --contents, --search и --opds не вървят заедно.",
                         "--import, --list, --audiobook, --contents, --search and --opds do not go together."));
    if (!audiobook && (paged || outed))
        return fail(both("--pages и --out вървят само с --audiobook.",
                         "--pages and --out go only with --audiobook."));
    if (!import && (titled || authored || screened || laidOut))
        return fail(both("--title, --author, --screen, --layout и --jobs вървят само с --import.",
                         "--title, --author, --screen, --layout and --jobs go only with --import."));
    if (import) {
        o.mode = StartMode::Import;
        if (o.files.isEmpty())
            return fail(both("Няма файлове за --import.", "No files to --import."));
        if (titled && o.files.size() > 1)
            return fail(both("--title се дава само за един файл.", "--title goes with one file only."));
    } else if (audiobook) {
        o.mode = StartMode::Audiobook;
        if (!outed)
            return fail(both("Липсва --out ФАЙЛ за --audiobook.", "--audiobook needs --out FILE."));
        if (!o.files.isEmpty())
            return fail(both("--audiobook не приема файлове.", "--audiobook takes no files."));
    } else if (opds) {
        o.mode = StartMode::Opds;
        if (!o.files.isEmpty())
            return fail(both("--opds не приема файлове.", "--opds takes no files."));
    } else if (contents) {
        o.mode = StartMode::Contents;
        if (!o.files.isEmpty())
            return fail(both("--contents не приема файлове.", "--contents takes no files."));
    } else if (search) {
        o.mode = StartMode::Search;
        if (o.files.join(QString()).trimmed().isEmpty())
            return fail(both("Липсват думите за --search.", "--search needs the words to find."));
    } else if (list) {
        o.mode = StartMode::List;
        if (!o.files.isEmpty())
            return fail(both("--list не приема файлове.", "--list takes no files."));
    } else if (o.files.size() > 1) {
        return fail(both("Може да се отвори само един файл.", "Only one file can be opened."));
    }
    return o;
}

namespace {

int runWindows(const StartOptions& opts) {
    installDesignFonts();
    // Qt's own dialogs (files, colours, fonts) speak Bulgarian too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Bulgarian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QtPlatform platform;

    // A damaged catalogue is reported and left as it is; a missing one is created with its entry slot.
    if (!QDir().mkpath(opts.libraryDir)) {
        platform.messageBox(QStringLiteral("Папката на библиотеката не може да бъде създадена:\r\n") +
                                opts.libraryDir,
                            MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("ВЕЛМОРА"));
        return 1;
    }
    if (auto checked = Catalogue::open(opts.libraryDir); !checked) {
        platform.messageBox(checked.message(), MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("ВЕЛМОРА"));
        return 1;
    }

    Session session(platform, opts.libraryDir);
    registerWindows(session);
    QObject::connect(&session, &Session::lastWindowClosed, qApp, &QApplication::quit, Qt::QueuedConnection);
    // Test-only seams of the desktop suite, off unless their variables are set.
    if (qEnvironmentVariable("VELMORA_AUDIO") == QLatin1String("null"))
        session.setSpeechParts({}, [] { return std::make_unique<NullAudioOutput>(); });
    const std::unique_ptr<Probe> probe = Probe::fromEnvironment();
    Govori& main = session.window<Govori>();
    main.show();
    if (!session.anyLoaded())
        return 0;
    // A file named on the command line goes into the text panel, unless the program is on its way out to
    // unpack the library.
    if (!opts.files.isEmpty() && session.isLoaded<Govori>() && !main.isLeavingToUnpack()) {
        const QString path = QFileInfo(opts.files.front()).absoluteFilePath();
        main.loadFile(path, sourceForFile(path));
    }
    return QApplication::exec();
}

} // namespace

// Arguments whose bytes are not UTF-8 (file and folder names) are held open by their bytes for the whole run
// and stand in the arguments as paths Qt can use; a library folder so named is made first when missing.
class RawArguments {
public:
    RawArguments(int argc, char** argv) {
        for (int i = 0; i < argc; ++i) {
            QByteArray a(argv[i]);
            if (isUtf8(a))
                continue;
            const bool library =
                (i > 0 && qstrcmp(argv[i - 1], "--library") == 0) || a.startsWith("--library=");
            QByteArray prefix;
            if (a.startsWith("--library=")) {
                prefix = "--library=";
                a.remove(0, prefix.size());
            }
            held_.push_back(std::make_unique<RawPath>(a, library));
            if (library && held_.back()->path().isEmpty())
                error_ = QStringLiteral("Папката на библиотеката не може да бъде създадена: %1 / The library "
                                        "folder cannot be created: %1")
                             .arg(readableName(a));
            if (!held_.back()->path().isEmpty())
                paths_.insert(QString::fromLocal8Bit(argv[i]),
                              QString::fromLatin1(prefix) + held_.back()->path());
        }
    }
    const QString& error() const { return error_; }
    QStringList resolve(QStringList args) const {
        for (QString& a : args)
            a = paths_.value(a, a);
        return args;
    }

private:
    std::vector<std::unique_ptr<RawPath>> held_;
    QHash<QString, QString> paths_;
    QString error_;
};

int runVelmora(int argc, char** argv) {
    const RawArguments rawArguments(argc, argv);
    if (!rawArguments.error().isEmpty()) {
        std::fprintf(stderr, "%s\n", rawArguments.error().toLocal8Bit().constData());
        return 1;
    }
    // The mode decides what kind of application is needed, so it is known before there is one.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    raw = rawArguments.resolve(raw);
    const StartOptions early = parseStartOptions(raw, QString());
    if (early.help || !early.error.isEmpty()) {
        if (!early.error.isEmpty())
            std::fprintf(stderr, "%s\n\n", early.error.toLocal8Bit().constData());
        std::fputs(kUsage, early.help ? stdout : stderr);
        return early.help ? 0 : 2;
    }

    if (early.mode == StartMode::Audiobook) {
        QCoreApplication app(argc, argv);
        const StartOptions opts =
            parseStartOptions(rawArguments.resolve(QCoreApplication::arguments()),
                              defaultLibraryDir(QCoreApplication::applicationDirPath()));
        QTextStream out(stdout), err(stderr);
        return runAudiobook(opts, out, err);
    }
    if (early.mode == StartMode::List || early.mode == StartMode::Contents || early.mode == StartMode::Search ||
        early.mode == StartMode::Opds) {
        QCoreApplication app(argc, argv);
        const StartOptions opts =
            parseStartOptions(rawArguments.resolve(QCoreApplication::arguments()),
                              defaultLibraryDir(QCoreApplication::applicationDirPath()));
        QTextStream out(stdout), err(stderr);
        if (opts.mode == StartMode::Contents)
            return runContents(opts, out, err);
        if (opts.mode == StartMode::Search)
            return runSearch(opts, out, err);
        if (opts.mode == StartMode::Opds)
            return runOpds(opts, out, err);
        return runList(opts, out, err);
    }
    if (early.mode == StartMode::Import) {
        // Text layout needs fonts, hence a GUI application, but no windows and no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        const StartOptions opts = parseStartOptions(rawArguments.resolve(QGuiApplication::arguments()),
                                                    defaultLibraryDir(QGuiApplication::applicationDirPath()));
        QTextStream out(stdout), err(stderr);
        return runImport(opts, out, err);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora"));
    QApplication::setQuitOnLastWindowClosed(false); // the windows decide when the program ends
    const StartOptions opts = parseStartOptions(rawArguments.resolve(QApplication::arguments()),
                                                defaultLibraryDir(QApplication::applicationDirPath()));
    return runWindows(opts);
}

} // namespace vel
