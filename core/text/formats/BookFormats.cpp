#include "core/text/formats/BookFormats.h"

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

QString withPath(const QString& reason, const QString& path) {
    return reason + QStringLiteral(":\r\n") + QDir::toNativeSeparators(path);
}

TextImportResult failure(const QString& message) {
    return {{}, message};
}

bool isZippedTextName(const QString& name) {
    if (name.startsWith(QStringLiteral("__MACOSX/")) || QFileInfo(name).fileName().startsWith(u'.'))
        return false;
    return name.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive) ||
           name.endsWith(QStringLiteral(".fb2"), Qt::CaseInsensitive) ||
           name.endsWith(QStringLiteral(".sfb"), Qt::CaseInsensitive);
}

TextImportResult zippedText(const ZipContents& zip) {
    if (!zip.ok())
        return failure(zipFailureText(zip.failure));
    if (zip.entries.isEmpty())
        return failure(QStringLiteral("В архива няма текст (файл .txt или .fb2)"));
    if (zip.entries.size() > 1)
        return failure(QStringLiteral("В архива има повече от един текст; разархивирайте го и отворете "
                                      "текста, който искате"));
    const ZipEntry& entry = zip.entries.front();
    TextImportResult result = entry.name.endsWith(QStringLiteral(".fb2"), Qt::CaseInsensitive)
                                  ? readFb2(entry.data)
                              : entry.name.endsWith(QStringLiteral(".sfb"), Qt::CaseInsensitive)
                                  ? readSfb(entry.data)
                                  : decodeText(entry.data);
    result.loaded.innerName = QFileInfo(entry.name).fileName();
    return result;
}

TextImportResult readByFormat(const QString& path, BookFormat format) {
    switch (format) {
    case BookFormat::Doc:
        return extractDocText(path);
    case BookFormat::Epub: {
        QString coverName;
        TextImportResult book = readEpub(readZip(path, isEpubTextEntry), &coverName);
        if (book.ok() && !coverName.isEmpty()) {
            // Only the cover among the pictures; a damaged one costs the book nothing.
            const ZipContents cover = readZip(path, [&](const QString& name) { return name == coverName; });
            if (cover.ok() && !cover.entries.isEmpty())
                book.loaded.cover = cover.entries.front().data;
        }
        return book;
    }
    case BookFormat::Docx:
        return readDocx(readZip(path, isDocxTextEntry));
    case BookFormat::Odt:
        return readOdt(readZip(path, isOdtTextEntry));
    case BookFormat::Zip: {
        // Any zip: what it holds tells which kind of book it is.
        const ZipContents listing = readZip(path, [](const QString&) { return false; });
        if (!listing.ok())
            return failure(zipFailureText(listing.failure));
        if (listing.names.contains(QStringLiteral("META-INF/container.xml")))
            return readByFormat(path, BookFormat::Epub);
        if (listing.names.contains(QStringLiteral("word/document.xml")))
            return readByFormat(path, BookFormat::Docx);
        if (listing.names.contains(QStringLiteral("content.xml")) &&
            listing.names.contains(QStringLiteral("mimetype")))
            return readByFormat(path, BookFormat::Odt);
        return zippedText(readZip(path, isZippedTextName));
    }
    default:
        break;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("Файлът не може да бъде прочетен"));
    const QByteArray bytes = file.readAll();
    switch (format) {
    case BookFormat::Fb2:
        return readFb2(bytes);
    case BookFormat::Rtf:
        return readRtf(bytes);
    case BookFormat::Html:
        return readHtml(bytes);
    case BookFormat::Sfb:
        return readSfb(bytes);
    default:
        return decodeText(bytes);
    }
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

TextImportResult readZippedText(const QByteArray& zip) {
    return zippedText(readZip(zip, isZippedTextName));
}

TextImportResult readBook(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return failure(withPath(QStringLiteral("Файлът не съществува"), path));
    if (!info.isFile())
        return failure(withPath(QStringLiteral("Файлът не може да бъде прочетен"), path));
    if (info.size() > kMaxTextFileBytes)
        return failure(withPath(QStringLiteral("Файлът е твърде голям (повече от 512 MB)"), path));

    QByteArray head;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return failure(withPath(QStringLiteral("Файлът не може да бъде прочетен"), path));
        head = file.read(512);
    }
    BookFormat format = bookFormatByName(path).value_or(BookFormat::PlainText);
    if (head.startsWith(QByteArray::fromHex("d0cf11e0a1b11ae1")))
        format = BookFormat::Doc;
    else if ((head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06")) && format != BookFormat::Epub &&
             format != BookFormat::Docx && format != BookFormat::Odt)
        format = BookFormat::Zip;
    else if (head.startsWith("{\\rtf"))
        format = BookFormat::Rtf;
    else if (head.contains("<FictionBook"))
        format = BookFormat::Fb2;

    // The plain-text and document readers name the file themselves.
    if (format == BookFormat::Doc)
        return extractDocText(path);
    if (format == BookFormat::PlainText)
        return loadTextFile(path);
    TextImportResult result = readByFormat(path, format);
    if (!result.ok())
        result.error = withPath(result.error, path);
    return result;
}

} // namespace vel
