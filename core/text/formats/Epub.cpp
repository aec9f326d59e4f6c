#include "core/text/formats/Epub.h"

#include "core/text/formats/BookLines.h"
#include "core/text/formats/Html.h"
#include "core/text/formats/XmlRead.h"

#include <QDir>
#include <QHash>
#include <QUrl>

namespace vel {

namespace {

// More parts than any book is made of; a package naming one chapter over and over stops here.
constexpr int kMaxSpineItems = 10'000;

const QString kContainer = QStringLiteral("META-INF/container.xml");
const QString kEncryption = QStringLiteral("META-INF/encryption.xml");

// Fonts may be obfuscated by these methods without the book being locked.
bool isFontObfuscation(QStringView algorithm) {
    return algorithm == u"http://www.idpf.org/2008/embedding" ||
           algorithm == u"http://ns.adobe.com/pdf/enc#RC";
}

// True when encryption.xml locks anything but fonts.
bool contentEncrypted(const QByteArray& encryption) {
    XmlReader xml(encryption);
    QString algorithm;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"EncryptionMethod") {
            algorithm = xml.attributes().value(QStringLiteral("Algorithm")).toString();
        } else if (xml.name() == u"CipherReference") {
            const QString uri = xml.attributes().value(QStringLiteral("URI")).toString().toLower();
            const bool font = uri.endsWith(u".ttf") || uri.endsWith(u".otf") || uri.endsWith(u".woff") ||
                              uri.endsWith(u".woff2");
            if (!font || !isFontObfuscation(algorithm))
                return true;
        }
    }
    // An encryption file that cannot be read is taken to lock the book.
    return xml.hasError();
}

QString rootFile(const QByteArray& container) {
    XmlReader xml(container);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"rootfile")
            return xml.attributes().value(QStringLiteral("full-path")).toString();
    }
    return {};
}

struct Package {
    QString title;
    QStringList authors;
    QString series;
    QString seriesNumber;
    QString cover; // the cover image's path in the archive
    QStringList documents; // in reading order
    QString nav;           // EPUB 3 navigation document
    QString ncx;           // EPUB 2 table of contents
    bool wellFormed = true;
    bool tooManyParts = false;
};

QString resolve(const QString& base, const QString& href) {
    QString path = QUrl::fromPercentEncoding(href.section(u'#', 0, 0).toUtf8());
    if (!base.isEmpty())
        path = base + u'/' + path;
    return QDir::cleanPath(path);
}

Package readPackage(const QByteArray& opf, const QString& base) {
    Package p;
    XmlReader xml(opf);
    QHash<QString, QString> manifest;
    QStringList linear, nonLinear;
    // EPUB 3 names a collection and refines it with its position; calibre's meta say the same.
    QHash<QString, QString> collections, positions;
    QString collectionOrder, calibreSeries, calibreIndex, coverItem, coverImage;
    QString ncxId;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        const QXmlStreamAttributes a = xml.attributes();
        if (name == u"title" && xml.namespaceUri() == u"http://purl.org/dc/elements/1.1/") {
            const QString t = xml.elementText();
            if (p.title.isEmpty())
                p.title = t;
        } else if (name == u"creator") {
            // Illustrators and translators are creators too; an EPUB 2 role says so.
            QStringView role;
            for (const QXmlStreamAttribute& attribute : a)
                if (attribute.name() == u"role")
                    role = attribute.value();
            const QString who = xml.elementText();
            if (!who.isEmpty() && (role.isEmpty() || role == u"aut"))
                p.authors << who;
        } else if (name == u"meta") {
            const QStringView property = a.value(QStringLiteral("property"));
            const QStringView metaName = a.value(QStringLiteral("name"));
            const QString content = a.value(QStringLiteral("content")).toString().simplified();
            if (property == u"belongs-to-collection") {
                const QString id = a.value(QStringLiteral("id")).toString();
                if (!collections.contains(id)) {
                    collections.insert(id, xml.elementText().simplified());
                    if (collectionOrder.isNull())
                        collectionOrder = id;
                }
            } else if (property == u"group-position") {
                positions.insert(a.value(QStringLiteral("refines")).toString().remove(0, 1),
                                 xml.elementText().simplified());
            } else if (metaName == u"calibre:series") {
                calibreSeries = content;
            } else if (metaName == u"calibre:series_index") {
                calibreIndex = content;
            } else if (metaName == u"cover") {
                coverItem = content;
            }
        } else if ((name == u"item" || name == u"itemref") &&
                   manifest.size() + linear.size() + nonLinear.size() >= 2 * kMaxSpineItems) {
            p.tooManyParts = true;
            break;
        } else if (name == u"item") {
            const QString href = resolve(base, a.value(QStringLiteral("href")).toString());
            manifest.insert(a.value(QStringLiteral("id")).toString(), href);
            const QList<QStringView> properties = a.value(QStringLiteral("properties")).split(u' ');
            if (properties.contains(u"nav"))
                p.nav = href;
            if (properties.contains(u"cover-image"))
                coverImage = href;
        } else if (name == u"spine") {
            ncxId = a.value(QStringLiteral("toc")).toString();
        } else if (name == u"itemref") {
            const QString doc = manifest.value(a.value(QStringLiteral("idref")).toString());
            if (!doc.isEmpty())
                (a.value(QStringLiteral("linear")) == u"no" ? nonLinear : linear) << doc;
        }
    }
    p.wellFormed = !xml.hasError();
    p.documents = linear + nonLinear;
    p.ncx = manifest.value(ncxId);
    p.tooManyParts = p.tooManyParts || p.documents.size() > kMaxSpineItems;
    if (!collectionOrder.isNull() && !collections.value(collectionOrder).isEmpty()) {
        p.series = collections.value(collectionOrder);
        p.seriesNumber = positions.value(collectionOrder);
    } else {
        p.series = calibreSeries;
        p.seriesNumber = calibreSeries.isEmpty() ? QString() : calibreIndex;
    }
    // calibre writes whole numbers as "1.0".
    if (p.seriesNumber.endsWith(QStringLiteral(".0")))
        p.seriesNumber.chop(2);
    p.cover = !coverImage.isEmpty() ? coverImage : manifest.value(coverItem);
    return p;
}

// "chapter.xhtml#id" relative to the document that says it, as the chapters' targets are keyed.
QString targetKey(const QString& base, const QString& href) {
    const QString fragment = href.section(u'#', 1);
    const QString document = href.startsWith(u'#') ? base : resolve(base.section(u'/', 0, -2), href);
    return fragment.isEmpty() ? document : document + u'#' + fragment;
}

// The EPUB 3 navigation document's table of contents: nested lists of links.
std::vector<BookLines::OutlineItem> readNavOutline(const QByteArray& bytes, const QString& path) {
    std::vector<BookLines::OutlineItem> items;
    XmlReader xml(bytes);
    int navDepth = 0, lists = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (name == u"nav") {
                bool toc = false;
                for (const QXmlStreamAttribute& a : xml.attributes())
                    toc = toc || (a.name() == u"type" && a.value().split(u' ').contains(u"toc"));
                if (navDepth > 0 || toc)
                    ++navDepth;
                else
                    xml.skipCurrentElement();
            } else if (navDepth > 0 && name == u"ol") {
                ++lists;
            } else if (navDepth > 0 && name == u"a" && lists > 0) {
                const QString href = xml.attributes().value(QStringLiteral("href")).toString();
                const QString label = xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
                items.push_back({lists, label, targetKey(path, href)});
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == u"nav" && navDepth > 0)
                --navDepth;
            else if (xml.name() == u"ol" && navDepth > 0)
                --lists;
        }
    }
    return items;
}

// The EPUB 2 table of contents: nested navigation points, each with a label and a place.
std::vector<BookLines::OutlineItem> readNcxOutline(const QByteArray& bytes, const QString& path) {
    std::vector<BookLines::OutlineItem> items;
    std::vector<size_t> open; // the items of the points being read
    XmlReader xml(bytes);
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (name == u"navPoint") {
                open.push_back(items.size());
                items.push_back({int(open.size()), {}, {}});
            } else if (name == u"text" && !open.empty() && items[open.back()].heading.isEmpty()) {
                items[open.back()].heading = xml.readElementText().simplified();
            } else if (name == u"content" && !open.empty()) {
                items[open.back()].target =
                    targetKey(path, xml.attributes().value(QStringLiteral("src")).toString());
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == u"navPoint" && !open.empty()) {
            open.pop_back();
        }
    }
    return items;
}

} // namespace

bool isEpubTextEntry(const QString& name) {
    static const QStringList endings = {".xml", ".opf", ".xhtml", ".html", ".htm", ".xht", ".ncx"};
    for (const QString& e : endings)
        if (name.endsWith(e, Qt::CaseInsensitive))
            return true;
    return false;
}

TextImportResult readEpub(const ZipContents& zip, QString* coverEntry) {
    TextImportResult result;
    if (!zip.ok()) {
        result.error = zipFailureText(zip.failure);
        return result;
    }
    QHash<QString, const QByteArray*> files;
    for (const ZipEntry& e : zip.entries)
        files.insert(e.name, &e.data);

    if (zip.names.contains(QStringLiteral("META-INF/rights.xml")) ||
        (files.contains(kEncryption) && contentEncrypted(*files.value(kEncryption)))) {
        result.error = QStringLiteral("Книгата е защитена срещу копиране (DRM) и не може да бъде прочетена");
        return result;
    }
    const QString opfPath = files.contains(kContainer) ? rootFile(*files.value(kContainer)) : QString();
    if (opfPath.isEmpty() || !files.contains(opfPath)) {
        result.error = QStringLiteral("Файлът не е книга EPUB (липсва описанието на книгата)");
        return result;
    }
    const Package package = readPackage(*files.value(opfPath), opfPath.section(u'/', 0, -2));
    if (!package.wellFormed) {
        result.error = QStringLiteral("Описанието на книгата EPUB е повредено");
        return result;
    }
    if (package.tooManyParts) {
        result.error = QStringLiteral("Книгата EPUB се състои от прекалено много части (повече от %1)")
                           .arg(kMaxSpineItems);
        return result;
    }

    BookLines lines;
    for (const QString& doc : package.documents) {
        if (lines.refused())
            break;
        const QByteArray* bytes = files.value(doc);
        if (!bytes)
            continue;
        BookLines chapter;
        chapter.target(doc);
        XmlReader xml(*bytes);
        if (!readXhtml(xml, chapter)) {
            // A chapter over the limits is not read some other way; one only left open is tag soup.
            if (xml.error() == QXmlStreamReader::CustomError && !xml.tooDeep()) {
                lines.refuse(xmlFailureText(xml));
                break;
            }
            chapter = BookLines();
            chapter.target(doc);
            readTagSoup(decodeText(*bytes).loaded.text, chapter);
        }
        chapter.qualifyTargets(doc);
        lines.append(chapter);
    }
    // The book's own table of contents, when it has one, stands instead of the headings of its text.
    if (const QByteArray* nav = files.value(package.nav))
        lines.setOutline(readNavOutline(*nav, package.nav));
    else if (const QByteArray* ncx = files.value(package.ncx))
        lines.setOutline(readNcxOutline(*ncx, package.ncx));
    result.loaded.title = package.title;
    result.loaded.author = package.authors.join(QStringLiteral(", "));
    result.loaded.series = package.series;
    result.loaded.seriesNumber = package.seriesNumber;
    if (coverEntry)
        *coverEntry = package.cover;
    finishBook(lines, result);
    return result;
}

} // namespace vel
