#include "core/commands/Import.h"

#include "core/commands/BatchImport.h"
#include "core/commands/Console.h"

#include "core/book/BookGeometry.h"
#include "core/book/Fonts.h"
#include "core/book/PageBuild.h"
#include "core/book/Recut.h"
#include "core/catalogue/CatalogueWalks.h"
#include "core/catalogue/Cover.h"
#include "core/net/BookDownload.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/Colors.h"
#include "core/storage/FaultPoint.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"
#include "core/storage/WorkFile.h"
#include "core/storage/WorkFileBuilder.h"
#include "core/text/LineJoin.h"
#include "core/text/TextImport.h"
#include "core/text/formats/BookFormats.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QTextStream>
#include <algorithm>

namespace vel {

namespace {

// The entry form refuses a text panel holding less.
constexpr int kMinTextLength = 3;

void reportReconcile(const ReconcileReport& report, QTextStream& err) {
    for (const Failure& note : report.messages())
        printFailure(err, note);
}

PreparedWork failed(PreparedWork w, const QString& error, const QString& errorEn = {}) {
    w.result.reason = error;
    w.result.error = errorEn.isEmpty() ? error : error + QStringLiteral(" / ") + errorEn;
    w.builder.reset();
    return w;
}

} // namespace

QString alreadyThere(const QString& title) {
    return QStringLiteral("В каталога вече има произведение „%1“.").arg(title);
}

QString alreadyThereEn(const QString& title) {
    return QStringLiteral("The catalogue already holds a work titled \"%1\".").arg(title);
}

NewWorkStyle newWorkStyle(TextSource source) {
    NewWorkStyle s;
    s.font = source == TextSource::Document ? schema::kDocumentFont : schema::kDefaultFont;
    s.size = schema::kDefaultSize;
    s.cvetList = schema::kDefaultPageColor;
    s.cvetForma = schema::kDefaultWindowColor;
    return s;
}

CatalogueRecord newWorkRecord(const QString& title, const QString& author, const NewWorkStyle& style) {
    return CatalogueRecord{title,
                           author,
                           style.font,
                           catalogueFontSize(style.size),
                           schema::kFirstPage,
                           colorNumberToText(style.cvetList),
                           colorNumberToText(style.cvetForma)};
}

TextSource sourceForFile(const QString& path) {
    const std::optional<BookFormat> format = bookFormatByName(path);
    return !format || *format == BookFormat::PlainText || *format == BookFormat::Zip ? TextSource::PlainText
                                                                                     : TextSource::Document;
}

std::optional<std::pair<QString, QString>> authorAndTitleFromFileName(const QString& path) {
    const QString base = bookBaseName(path);
    const qsizetype dash = base.indexOf(QStringLiteral(" - "));
    if (dash < 0)
        return std::nullopt;
    const QString author = base.left(dash).trimmed();
    const QString title = base.mid(dash + 3).trimmed();
    if (author.isEmpty() || title.isEmpty())
        return std::nullopt;
    return std::pair{author, title};
}

PreparedWork prepareWork(const QString& libraryDir, const ImportRequest& request,
                         const std::function<bool(const QString&)>& titleTaken) {
    PreparedWork w;
    ImportResult& r = w.result;
    r.title = request.title;
    r.author = request.author;

    // The main window's file command: the text with its line breaks joined, in the font it gets there.
    const QString sourceName = request.sourceName.isEmpty() ? request.file : request.sourceName;
    const TextSource source = sourceForFile(sourceName);
    // A download's temporary name says nothing: its first bytes tell the format.
    TextImportResult loaded = !request.entry.isEmpty()        ? readZippedBook(request.file, request.entry)
                              : !request.sourceName.isEmpty() ? readBook(request.file)
                                                              : readPanelText(request.file, source);
    const QString shownFile = request.name.isEmpty() ? sourceName : request.name;
    if (!loaded.ok())
        return failed(std::move(w), oneLine(QString(loaded.error).replace(request.file, shownFile)));
    if (loaded.loaded.damaged)
        r.warning =
            QStringLiteral("Файлът съдържа повредени знаци, заменени с „\uFFFD“. / The file has damaged "
                           "characters, replaced by \"\uFFFD\".");

    // Names: the command line, then the file's name (a zipped text's own name first), then the book itself.
    QStringList names;
    if (!loaded.loaded.innerName.isEmpty())
        names << loaded.loaded.innerName;
    names << shownFile;
    for (const QString& name : names) {
        if (!r.title.isEmpty() && !r.author.isEmpty())
            break;
        if (const auto named = authorAndTitleFromFileName(name)) {
            if (r.author.isEmpty())
                r.author = named->first;
            if (r.title.isEmpty())
                r.title = named->second;
        }
    }
    if (r.title.isEmpty())
        r.title = loaded.loaded.title.simplified();
    if (r.author.isEmpty())
        r.author = loaded.loaded.author.simplified();
    if (r.title.isEmpty() || r.author.isEmpty())
        return failed(std::move(w),
                      QStringLiteral("Името на файла не е във вида „Автор - Заглавие.txt“, а книгата не "
                                     "назовава заглавието и автора си: посочете --author и --title."),
                      QStringLiteral("The file's name is not of the form \"Author - Title.txt\" and the book "
                                     "does not name its title and author: give --author and --title."));

    const std::optional<QString> workFile = workFilePath(libraryDir, r.title);
    if (!workFile)
        return failed(std::move(w),
                      QStringLiteral("Заглавието „%1“ не може да бъде име на файл.").arg(r.title),
                      QStringLiteral("The title \"%1\" cannot name a file.").arg(r.title));
    if (titleTaken && titleTaken(r.title))
        return failed(std::move(w), alreadyThere(r.title), alreadyThereEn(r.title));
    if (pathTaken(*workFile))
        return failed(std::move(w), QStringLiteral("Файлът %1 вече съществува.").arg(shownPath(*workFile)),
                      QStringLiteral("The work file %1 exists already.").arg(shownPath(*workFile)));

    // A structured book's paragraphs are whole already. The text is joined in place: one copy of it is held,
    // and a second only while a joined text's navigation is carried across.
    const bool structured = loaded.loaded.structured;
    const QString bookText =
        structured || loaded.loaded.navigation.isEmpty() ? QString() : loaded.loaded.text;
    QString text = std::move(loaded.loaded.text);
    if (!structured)
        text = joinLineBreaks(std::move(text));
    if (text.size() < kMinTextLength || !hasVisibleText(text))
        return failed(std::move(w), QStringLiteral("Във файла няма текст."),
                      QStringLiteral("The file holds no text."));
    const NewWorkStyle style = newWorkStyle(source);
    w.record = newWorkRecord(r.title, r.author, style);

    // The book window's build: cut as its left page shows the text, written whole or not at all.
    w.builder = std::make_unique<WorkFileBuilder>();
    WorkFileBuilder& builder = *w.builder;
    const auto builderFailed = [&]() { return failed(std::move(w), oneLine(builder.failure().message)); };
    if (!builder.begin(libraryDir, r.title, WorkFileBuilder::Placement::Staged))
        return builderFailed();
    PageBuildProgress progress;
    const PageGeometry geometry = bookPageGeometry(request.screen.width(), request.screen.height(),
                                                   style.font, style.size, request.layout);
    if (!builder.setFact(kLayoutFact, layoutName(request.layout)) ||
        !builder.setFact(kCutFact, cutSignature(geometry)) ||
        !builder.setFact(schema::kFactAuthor, r.author) ||
        !builder.setNavigation(
            navigationForText(loaded.loaded.navigation, structured ? text : bookText, text)))
        return builderFailed();
    if (!loaded.loaded.series.isEmpty() &&
        (!builder.setFact(schema::kFactSeries, loaded.loaded.series) ||
         !builder.setFact(schema::kFactSeriesNumber, loaded.loaded.seriesNumber)))
        return builderFailed();
    if (const QByteArray cover = coverThumbnail(loaded.loaded.cover);
        !cover.isEmpty() && !builder.setCover(cover))
        return builderFailed();
    switch (buildPages(text, geometry, progress,
                       [&builder](const QString& page) { return builder.appendPage(page).ok(); })) {
    case PageBuildOutcome::Written:
        break;
    case PageBuildOutcome::TooManyPages:
        return failed(std::move(w),
                      QStringLiteral("Текстът би заел повече от %1 страници. %2")
                          .arg(kMaxPages)
                          .arg(fittingShareLine(progress.fitsPercent)),
                      QStringLiteral("The text would take more than %1 pages; about %2 % of it would fit.")
                          .arg(kMaxPages)
                          .arg(std::clamp(progress.fitsPercent.load(), 0, 99)));
    case PageBuildOutcome::Cancelled:
    case PageBuildOutcome::WriteFailed:
        return builderFailed();
    }
    r.pages = builder.pageCount();
    if (!builder.commit())
        return builderFailed();
    return w;
}

ImportResult importWork(Catalogue& cat, const QString& libraryDir, const ImportRequest& request) {
    PreparedWork w =
        prepareWork(libraryDir, request, [&cat](const QString& title) { return hasTitle(cat, title); });
    if (!w.result.ok())
        return w.result;
    faultPoint("add-built");

    // The work file and its record go in together, as the entry form's confirm and the build put them.
    const Result<> added = addWork(cat, libraryDir, w.record, w.builder->stagedPath());
    w.builder->abandon();
    if (!added)
        return failed(std::move(w), added.message(), added.failure().english).result;
    return w.result;
}

bool isWebAddress(const QString& argument) {
    return argument.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
           argument.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

ImportResult importFromUrl(Catalogue& cat, const QString& libraryDir, const QUrl& url,
                           const ImportRequest& request) {
    QNetworkAccessManager network;
    BookDownload download(network, url, libraryDir);
    if (!download.waitForFinished()) {
        ImportResult r;
        r.title = request.title;
        r.author = request.author;
        r.reason = oneLine(download.error());
        r.error = r.reason;
        return r;
    }
    ImportRequest fromFile = request;
    fromFile.file = download.path();
    fromFile.sourceName = download.sourceName();
    return importWork(cat, libraryDir, fromFile);
}

int runImport(const StartOptions& options, QTextStream& out, QTextStream& err) {
    if (options.mode != StartMode::Import || !options.error.isEmpty() || options.files.isEmpty())
        return 2;
    installDesignFonts();
    if (!QDir().mkpath(options.libraryDir)) {
        err << QStringLiteral("Папката на библиотеката не може да бъде създадена: %1 / The library folder "
                              "cannot be created: %1\n")
                   .arg(shownPath(options.libraryDir));
        return 1;
    }
    Result<Catalogue::Opened> opened = Catalogue::open(options.libraryDir);
    if (!opened) {
        err << oneLine(opened.message()) << '\n';
        return 1;
    }
    reportReconcile(reconcileLibrary(*opened->catalogue, options.libraryDir), err);
    int failures = 0;
    const ImportItems found = importItems(options.files);
    for (const QString& folder : found.emptyFolders) {
        ++failures;
        err << shownPath(folder) << QStringLiteral(": ") << kNoBooksInFolder << QStringLiteral(" / ")
            << QStringLiteral("The folder holds no books to add.\n");
    }
    QElapsedTimer clock;
    clock.start();
    BatchOptions batch{options.title, options.author, options.screen, options.layout, options.jobs};
    const auto report = [&](const BatchItem& item, int, int) {
        const ImportResult& r = item.result;
        if (!r.warning.isEmpty())
            err << item.file << QStringLiteral(": ") << r.warning << '\n';
        if (r.ok()) {
            out << QStringLiteral("%1: „%2“, %3 — %4 стр. / pages (%5 ms)\n")
                       .arg(item.file, r.title, r.author)
                       .arg(r.pages)
                       .arg(clock.restart());
        } else {
            ++failures;
            err << item.file << QStringLiteral(": ") << r.error << '\n';
        }
        out.flush();
        err.flush();
    };
    // Files go through the batch; a web address is fetched and imported in its place in the order.
    QList<ImportItem> files;
    const auto importFiles = [&] {
        if (!files.isEmpty())
            importBatch(*opened->catalogue, options.libraryDir, files, batch, report);
        files.clear();
    };
    for (const ImportItem& item : found.items) {
        const QString given = QFile::decodeName(item.file);
        if (!isWebAddress(given)) {
            files << item;
            continue;
        }
        importFiles();
        const ImportRequest request{{}, options.title, options.author, options.screen, options.layout};
        report(BatchItem{given, importFromUrl(*opened->catalogue, options.libraryDir, QUrl(given, QUrl::StrictMode),
                                              request)},
               0, 0);
    }
    importFiles();
    return failures == 0 ? 0 : 1;
}

int runList(const StartOptions& options, QTextStream& out, QTextStream& err) {
    if (options.mode != StartMode::List || !options.error.isEmpty())
        return 2;
    // Listing never creates a catalogue.
    if (!QFileInfo::exists(catalogPath(options.libraryDir))) {
        err << QStringLiteral("Няма каталог %1 / There is no catalogue %1\n")
                   .arg(shownPath(catalogPath(options.libraryDir)));
        return 1;
    }
    // A write-protected catalogue is still listed; only a writable library is put right first.
    Result<Catalogue::Opened> opened = Catalogue::open(options.libraryDir);
    if (opened)
        reportReconcile(reconcileLibrary(*opened->catalogue, options.libraryDir), err);
    else
        opened = Catalogue::open(options.libraryDir, true);
    if (!opened) {
        err << oneLine(opened.message()) << '\n';
        return 1;
    }
    for (const CatalogueRecord& rec : titledRecords(*opened->catalogue)) {
        QString pages = QStringLiteral("-");
        QString series;
        if (const auto path = workFilePath(options.libraryDir, rec.name)) {
            if (const auto work = WorkFile::open(*path)) {
                pages = QString::number(work->pageCount());
                series = seriesLabel(work->fact(schema::kFactSeries), work->fact(schema::kFactSeriesNumber));
            }
        }
        out << oneLine(rec.name) << '\t' << oneLine(rec.number) << '\t' << pages << '\t' << oneLine(rec.str)
            << '\t' << oneLine(series) << '\n';
    }
    out.flush();
    return 0;
}

} // namespace vel
