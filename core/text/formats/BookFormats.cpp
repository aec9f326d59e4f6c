#include "core/text/formats/BookFormats.h"

#include "core/storage/RawNames.h"
#include "core/text/formats/Epub.h"
#include "core/text/formats/Fb2.h"
#include "core/text/formats/Html.h"
#include "core/text/formats/OfficeXml.h"
#include "core/text/formats/Rtf.h"
#include "core/text/formats/Sfb.h"
#include "core/text/formats/Zip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace vel {

namespace {

struct Suffix {
    const char* suffix;
    BookFormat format;
};

// Longest first, so that ".fb2.zip" is not taken for ".zip" alone by a later reader of this list.
constexpr Suffix kSuffixes[] = {
    {".txt", BookFormat::PlainText}, {".fb2", BookFormat::Fb2},  {".epub", BookFormat::Epub},
    {".docx", BookFormat::Docx},     {".odt", BookFormat::Odt},  {".rtf", BookFormat::Rtf},
    {".html", BookFormat::Html},     {".htm", BookFormat::Html}, {".xhtml", BookFormat::Html},
    {".doc", BookFormat::Doc},       {".sfb", BookFormat::Sfb},  {".zip", BookFormat::Zip},
};

// A listing of a zip's books names no more than this many; the rest are counted.
constexpr int kNamesListed = 10;

// The name and the first bytes; the bytes win, as a reader of the file would find them.
BookFormat sniffFormat(const QString& name, QByteArrayView head) {
    const BookFormat byName = bookFormatByName(name).value_or(BookFormat::PlainText);
    if (head.startsWith(QByteArray::fromHex("d0cf11e0a1b11ae1")))
        return BookFormat::Doc;
    if ((head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06")) && byName != BookFormat::Epub &&
        byName != BookFormat::Docx && byName != BookFormat::Odt)
        return BookFormat::Zip;
    if (head.startsWith("{\\rtf"))
        return BookFormat::Rtf;
    if (head.first(std::min<qsizetype>(head.size(), 512)).indexOf("<FictionBook") >= 0)
        return BookFormat::Fb2;
    return byName;
}

// A book inside a zip: any name a reader takes but another zip (archives are not opened inside archives).
bool isZippedBookName(const QString& name) {
    if (name.startsWith(QStringLiteral("__MACOSX/")) || QFileInfo(name).fileName().startsWith(u'.'))
        return false;
    const std::optional<BookFormat> format = bookFormatByName(name);
    return format && *format != BookFormat::Zip;
}

// The entries that make a zip an EPUB, a DOCX or an ODT rather than an archive of books.
std::optional<BookFormat> packagedFormat(const QStringList& names) {
    if (names.contains(QStringLiteral("META-INF/container.xml")))
        return BookFormat::Epub;
    if (names.contains(QStringLiteral("word/document.xml")))
        return BookFormat::Docx;
    if (names.contains(QStringLiteral("content.xml")) && names.contains(QStringLiteral("mimetype")))
        return BookFormat::Odt;
    return std::nullopt;
}

QStringList bookEntries(const QStringList& names) {
    QStringList books;
    for (const QString& n : names)
        if (isZippedBookName(n))
            books << n;
    return books;
}

QString severalBooksText(const QStringList& books) {
    QStringList shown = books.mid(0, kNamesListed);
    if (books.size() > kNamesListed)
        shown << QStringLiteral("и още %1").arg(books.size() - kNamesListed);
    return QStringLiteral("В архива има няколко книги (%1); разархивирайте го и отворете книгата, която "
                          "искате")
        .arg(shown.join(QStringLiteral(", ")));
}

// Reads from a zip wherever it lies (a file or memory); `read` takes the filter of entries wanted.
using ZipRead = std::function<ZipContents(const std::function<bool(const QString&)>&)>;

TextImportResult readZippedEntry(const ZipRead& read, const QString& entry);

TextImportResult readPackage(BookFormat format, const ZipRead& read) {
    switch (format) {
    case BookFormat::Epub: {
        QString coverName;
        TextImportResult book = readEpub(read(isEpubTextEntry), &coverName);
        if (book.ok() && !coverName.isEmpty()) {
            // Only the cover among the pictures; a damaged one costs the book nothing.
            const ZipContents cover = read([&](const QString& name) { return name == coverName; });
            if (cover.ok() && !cover.entries.isEmpty())
                book.loaded.cover = cover.entries.front().data;
        }
        return book;
    }
    case BookFormat::Docx:
        return readDocx(read(isDocxTextEntry));
    case BookFormat::Odt:
        return readOdt(read(isOdtTextEntry));
    default:
        break;
    }
    // Any other zip: what it holds tells which kind of book it is.
    const ZipContents listing = read([](const QString&) { return false; });
    if (!listing.ok())
        return TextImportResult::failed(zipFailureText(listing.failure));
    if (const auto packaged = packagedFormat(listing.names))
        return readPackage(*packaged, read);
    const QStringList books = bookEntries(listing.names);
    if (books.isEmpty())
        return TextImportResult::failed(
            QStringLiteral("В архива няма книга (текст, FB2, SFB, EPUB, HTML, DOCX, ODT, RTF или DOC)"));
    if (books.size() > 1)
        return TextImportResult::failed(severalBooksText(books));
    return readZippedEntry(read, books.front());
}

TextImportResult readBytesAs(BookFormat format, const QByteArray& bytes, bool inZip) {
    switch (format) {
    case BookFormat::Fb2:
        return readFb2(bytes);
    case BookFormat::Rtf:
        return readRtf(bytes);
    case BookFormat::Html:
        return readHtml(bytes);
    case BookFormat::Sfb:
        return readSfb(bytes);
    case BookFormat::PlainText:
        return decodeText(bytes);
    case BookFormat::Doc: {
        // The extractors read files: the document goes to a private folder for them and no further.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("document.doc"));
        QFile file(path);
        if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return TextImportResult::failed(QStringLiteral("Документът не може да бъде разархивиран"));
        file.close();
        TextImportResult r = extractDocText(path);
        if (!r.ok())
            r.error = r.error.section(QStringLiteral(":\r\n"), 0, 0);
        return r;
    }
    case BookFormat::Zip:
        if (inZip)
            return TextImportResult::failed(QStringLiteral("Архив в архива не се отваря; разархивирайте го първо"));
        break;
    default:
        break;
    }
    return readPackage(format, [&bytes](const std::function<bool(const QString&)>& wanted) {
        return readZip(bytes, wanted);
    });
}

TextImportResult readZippedEntry(const ZipRead& read, const QString& entry) {
    const ZipContents one = read([&entry](const QString& n) { return n == entry; });
    if (!one.ok())
        return TextImportResult::failed(zipFailureText(one.failure));
    if (one.entries.isEmpty())
        return TextImportResult::failed(QStringLiteral("В архива няма книга %1").arg(entry));
    const QByteArray& data = one.entries.front().data;
    TextImportResult result = readBytesAs(sniffFormat(entry, data.left(512)), data, true);
    result.loaded.innerName = QFileInfo(entry).fileName();
    return result;
}

ZipRead zipFile(const QString& path) {
    return [path](const std::function<bool(const QString&)>& wanted) { return readZip(path, wanted); };
}

} // namespace

std::optional<BookFormat> bookFormatByName(const QString& path) {
    for (const Suffix& s : kSuffixes)
        if (path.endsWith(QLatin1String(s.suffix), Qt::CaseInsensitive))
            return s.format;
    return std::nullopt;
}

QStringList bookFilePatterns() {
    QStringList patterns;
    for (const Suffix& s : kSuffixes)
        patterns << u'*' + QLatin1String(s.suffix);
    return patterns;
}

QString bookBaseName(const QString& fileName) {
    QString name = QFileInfo(fileName).fileName();
    const bool zipped = name.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive);
    if (zipped)
        name.chop(4);
    for (const Suffix& s : kSuffixes) {
        if (s.format != BookFormat::Zip && name.endsWith(QLatin1String(s.suffix), Qt::CaseInsensitive)) {
            name.chop(qsizetype(qstrlen(s.suffix)));
            return name;
        }
    }
    return zipped ? name : QFileInfo(name).completeBaseName();
}

TextImportResult readBookBytes(const QByteArray& bytes, const QString& name) {
    return readBytesAs(sniffFormat(name, bytes.left(512)), bytes, false);
}

QStringList zippedBooks(const QString& path) {
    QByteArray head;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        head = file.read(512);
    if (sniffFormat(path, head) != BookFormat::Zip)
        return {};
    const ZipContents listing = readZip(path, [](const QString&) { return false; });
    if (!listing.ok() || packagedFormat(listing.names))
        return {};
    return bookEntries(listing.names);
}

TextImportResult readZippedBook(const QString& path, const QString& entry) {
    TextImportResult result = readZippedEntry(zipFile(path), entry);
    if (!result.ok())
        result.error = withPath(result.error, path + u'/' + entry);
    return result;
}

TextImportResult readBook(const QString& path) {
    if (auto refused = refuseBeforeReading(path))
        return *refused;

    QByteArray head;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return TextImportResult::failed(withPath(QStringLiteral("Файлът не може да бъде прочетен"), path));
        head = file.read(512);
    }
    const BookFormat format = sniffFormat(path, head);
    // The plain-text and document readers name the file themselves.
    if (format == BookFormat::Doc)
        return extractDocText(path);
    if (format == BookFormat::PlainText)
        return loadTextFile(path);
    TextImportResult result;
    if (format == BookFormat::Epub || format == BookFormat::Docx || format == BookFormat::Odt ||
        format == BookFormat::Zip) {
        result = readPackage(format, zipFile(path));
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return TextImportResult::failed(withPath(QStringLiteral("Файлът не може да бъде прочетен"), path));
        result = readBytesAs(format, file.readAll(), false);
    }
    if (!result.ok())
        result.error = withPath(result.error, path);
    return result;
}

} // namespace vel
